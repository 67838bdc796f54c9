#include "text/line_file.h"

#include <filesystem>
#include <fstream>
#include <streambuf>

namespace tarvisk {

LineFileResult ReadFileLines(const std::string& path, const std::function<void(std::string_view line)>& onLine,
                             std::size_t maxLineBytes) {
    using Status = LineFileResult::Status;
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return {Status::Unreadable};
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {Status::Unreadable};
    }
    std::streambuf& buffer = *in.rdbuf();
    std::string line;
    std::size_t number = 1;
    for (;;) {
        const std::streambuf::int_type c = buffer.sbumpc();
        if (c == std::streambuf::traits_type::eof() || c == '\n') {
            // A file that ends with a line feed has no empty line after it.
            if (c == '\n' || !line.empty()) {
                onLine(line);
            }
            if (c == std::streambuf::traits_type::eof()) {
                break;
            }
            line.clear();
            ++number;
        } else if (line.size() == maxLineBytes) {
            return {Status::LineTooLong, number};
        } else {
            line.push_back(static_cast<char>(c));
        }
    }
    return {Status::Read};
}

} // namespace tarvisk
