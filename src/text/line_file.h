#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// Text files given by the user, read one line at a time: an account list, a cookies.txt file. A line is
// never longer than a limit, so a file of one endless line (by mistake, or made to hurt) cannot fill memory.

namespace tarvisk {

/// The longest line such a file may hold: far above any account name or cookie, far below what would
/// matter to memory.
inline constexpr std::size_t kMaxLineBytes = 64 * 1024;

/// How reading a file line by line ended.
struct LineFileResult {
    enum class Status { Read, Unreadable, LineTooLong };
    Status status = Status::Read;
    /// With LineTooLong: the line (counted from 1) longer than the limit.
    std::size_t lineNumber = 0;
};

/// Hands each line of the file at `path` to `onLine`, in order, without its line feed (a carriage return
/// before it stays). Stops at the first line longer than `maxLineBytes` (LineTooLong), without reading the
/// rest of it; the lines before it have been handed over. Unreadable: the file cannot be opened or read, or
/// is a folder.
LineFileResult ReadFileLines(const std::string& path, const std::function<void(std::string_view line)>& onLine,
                             std::size_t maxLineBytes = kMaxLineBytes);

} // namespace tarvisk
