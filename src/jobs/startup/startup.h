#pragma once

#include <optional>
#include <string>

// What the main window does before it is shown: it refuses to run from an archive tool's temporary folder,
// and it reads its maker's notice, which may show a message, open an address and end the program.

namespace tarvisk {

inline constexpr char16_t kUnpackMessage[] = u"请把文件全部解压，再运行";

/// True when the program runs from an archive tool's temporary folder: the last piece of `programFolder`,
/// split at "/" and "\", begins with "rar" or "zip" in any letter case (Rar$EXa0.123, zipped; not myrar).
bool RunsFromArchiveFolder(const std::u16string& programFolder);

/// The marketplace login page the login browser opens.
std::u16string LoginPageUrl();
/// The maker's notice page.
std::u16string NoticeUrl();
/// The notice page's answer: a POST with an empty body that waits at most 10 seconds; empty when nothing came.
std::u16string FetchNotice();

struct Notice {
    std::u16string message; ///< shown in a message box
    std::u16string address; ///< opened in the user's browser; may be empty
    friend bool operator==(const Notice&, const Notice&) = default;
};

/// The notice in an answer of the form message + "|" + address (pieces after the second are ignored). None
/// for an empty answer, for one without "|", and for one holding "<" (an error page is never a notice).
std::optional<Notice> ParseNotice(const std::u16string& answer);

/// True for an address the user's browser may be asked to open: "http://" or "https://" (any letter case)
/// followed by a host. A notice never starts a program or opens a local file.
bool IsWebAddress(const std::u16string& address);

} // namespace tarvisk
