#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Files the program writes for the user (the settings file, exported tables) are replaced whole:
// a crash or a full disk leaves either the old file or the new one, never half of one.

namespace tarvisk {

/// A file written piece by piece into a fresh file beside `file`, which takes its place whole at commit(). Until
/// then, and when any step fails, `file` stays as it was; a replacement never committed is removed.
class FileReplacement {
public:
    /// The new file gets `permissions`, or with none the mode a new file gets under the user's umask.
    FileReplacement(std::filesystem::path file, std::optional<std::filesystem::perms> permissions);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    /// Adds bytes; false when they could not be written (the replacement is then given up).
    bool append(std::string_view bytes);
    /// Flushes the new file to disk and renames it over `file`. False, with `file` left as it was, when any step of
    /// the replacement failed.
    bool commit();

private:
    std::filesystem::path m_file;
    std::filesystem::path m_temporary;
    int m_fd = -1;
    bool m_ok = false;
};

/// Replaces `file` whole by `bytes` (see FileReplacement): by default readable by the user alone.
bool ReplaceFile(const std::filesystem::path& file, const std::string& bytes,
                 std::optional<std::filesystem::perms> permissions = std::filesystem::perms::owner_read |
                                                                     std::filesystem::perms::owner_write);

/// True when `file` exists and is read-only: no one may write it, or this user may not. Replacing a file goes by
/// its folder's permissions, so a program asks before it replaces such a file.
bool IsReadOnlyFile(const std::filesystem::path& file);

/// The bytes of a regular file of at most `maxBytes` bytes; none when it is missing, not a regular file, larger,
/// or cannot be read.
std::optional<std::string> ReadFileBytes(const std::filesystem::path& file, std::uintmax_t maxBytes);

/// The user's home folder: $HOME, else the one the user database names (empty when neither is known).
std::filesystem::path HomeFolder();

/// A per-user base folder of the XDG rules with the program's folder "Tarvisk" in it: $`variable`/Tarvisk when
/// the variable holds an absolute path (relative values are invalid and ignored), else ~/`fallback`/Tarvisk.
std::filesystem::path UserFolder(const char* variable, const std::filesystem::path& fallback);

/// The read-only files of an installed program in `programFolder` (a `bin` folder): <prefix>/share/tarvisk beside
/// it, wherever the prefix is; none when the program runs from its build folder or from a folder of its own.
std::optional<std::filesystem::path> InstalledDataFolder(const std::filesystem::path& programFolder);

/// Where the program's read-only files (the report's badge images in tbimgs/) are: the installed data folder, else
/// the program's own folder, where the build puts them.
std::filesystem::path ResourceFolder(const std::filesystem::path& programFolder);

} // namespace tarvisk
