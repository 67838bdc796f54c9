#pragma once

#include <functional>
#include <iosfwd>
#include <string_view>

namespace tarvisk::cli {

/// Exit status when the program meets a failure it did not foresee (an exception).
inline constexpr int kUnexpectedFailure = 1;

/// Runs `body` and returns its exit status. An exception it throws (out of memory, a library error) ends it
/// with one line on `errors`, the program's name (`program`), "：意外的错误：" and what was thrown, and
/// kUnexpectedFailure.
int RunGuarded(const std::function<int()>& body, std::ostream& errors, std::string_view program);

} // namespace tarvisk::cli
