#include "cli/input_files.h"

namespace tarvisk::cli {

std::string LineFileProblem(const LineFileResult& result, const std::string& what, const std::string& path) {
    if (result.status == LineFileResult::Status::LineTooLong) {
        return "line " + std::to_string(result.lineNumber) + " of the " + what + " " + path + " is longer than " +
               std::to_string(kMaxLineBytes) + " bytes";
    }
    return "cannot read the " + what + " " + path;
}

} // namespace tarvisk::cli
