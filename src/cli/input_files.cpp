#include "cli/input_files.h"

#include "text/encoding.h"

namespace tarvisk::cli {

std::string LineFileProblem(const LineFileResult& result, const std::string& what, const std::string& path) {
    if (result.status == LineFileResult::Status::LineTooLong) {
        return what + " " + path + " 的第" + std::to_string(result.lineNumber) + "行超过" +
               std::to_string(kMaxLineBytes) + "字节";
    }
    return "无法读取" + what + " " + path;
}

LineFileResult ReadListFile(const std::string& path, std::vector<std::u16string>& lines) {
    bool first = true;
    return ReadFileLines(path, [&](std::string_view text) {
        std::string line(text);
        if (first && line.starts_with("\xEF\xBB\xBF")) {
            line.erase(0, 3);
        }
        first = false;
        std::erase(line, '\r');
        if (line.find_first_not_of(" \t") != std::string::npos) {
            lines.push_back(FromUtf8(line));
        }
    });
}

} // namespace tarvisk::cli
