// RegexCapture over fuzzed rating pages with the rating cell patterns, and with short fuzzed
// patterns and wildcards: the result is always a piece of the index-th match, and an invalid
// pattern is reported as std::invalid_argument, never as a crash.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "text/regex.h"

namespace {

constexpr std::size_t kMaxPatternUnits = 12;
constexpr std::size_t kMaxTextForPatterns = 1024;

const char16_t* const kCellPatterns[] = {
    u"<td class=\"rateok\">.*?</td>",
    u"<td class=\"ratenormal\">.*?</td>",
    u"<td class=\"ratebad\">.*?</td>",
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto input = tarvisk::fuzz::ReadPatternsAndPage(data, size);
    if (!input)
        return 0;
    const std::uint8_t mode = input->mode;
    std::u16string& text = input->page;
    std::u16string pattern;
    std::u16string wildcard = u".*?";
    if ((mode & 0x80) == 0) {
        pattern = kCellPatterns[mode % std::size(kCellPatterns)];
    } else {
        pattern = input->first.substr(0, kMaxPatternUnits);
        wildcard = input->second.substr(0, kMaxPatternUnits / 2);
        text.resize(std::min(text.size(), kMaxTextForPatterns));
    }
    const int index = (mode >> 2) % 4;
    try {
        const std::u16string captured = tarvisk::RegexCapture(text, pattern, index, wildcard);
        const std::u16string match = tarvisk::RegexMatch(text, pattern, index);
        tarvisk::fuzz::Check(tarvisk::fuzz::Contains(match, captured), "the capture is a piece of the match");
        tarvisk::fuzz::Check(!match.empty() || captured.empty(), "no match gives empty text");
    } catch (const std::invalid_argument&) {
        tarvisk::fuzz::Check((mode & 0x80) != 0, "the program's own patterns are valid");
    }
    return 0;
}
