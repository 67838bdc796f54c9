#pragma once

#include <string>
#include <vector>

#include "text/line_file.h"

namespace tarvisk::cli {

/// Why a file named on the command line could not be taken, for stderr: "无法读取账号文件 F", or
/// "账号文件 F 的第3行超过65536字节". `what` names the file's kind.
std::string LineFileProblem(const LineFileResult& result, const std::string& what, const std::string& path);

/// Appends the lines of a list file (accounts, keywords), one entry a line, to `lines`: UTF-8 (a leading byte-order
/// mark is dropped), CR removed, blank lines skipped.
LineFileResult ReadListFile(const std::string& path, std::vector<std::u16string>& lines);

} // namespace tarvisk::cli
