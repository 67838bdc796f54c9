#pragma once

#include <string>
#include <vector>

#include "text/line_file.h"

namespace tarvisk::cli {

/// Why a file named on the command line could not be taken, for stderr: "cannot read the account file F",
/// or "line 3 of the account file F is longer than 65536 bytes". `what` names the file's kind.
std::string LineFileProblem(const LineFileResult& result, const std::string& what, const std::string& path);

/// Appends the lines of a list file (accounts, keywords), one entry a line, to `lines`: UTF-8 (a leading byte-order
/// mark is dropped), CR removed, blank lines skipped.
LineFileResult ReadListFile(const std::string& path, std::vector<std::u16string>& lines);

} // namespace tarvisk::cli
