// TextBetween over fuzzed text with the program's markers, with fuzzed literal markers and with short
// fuzzed patterns (which may be invalid): it never throws, and its result is the stretch of the text
// between the two markers or empty text.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "text/regex.h"

namespace {

using tarvisk::fuzz::Check;

constexpr std::size_t kMaxPatternUnits = 6;
constexpr std::size_t kMaxTextForPatterns = 1024;

int Position(const std::u16string& text, const std::u16string& marker, int index) {
    try {
        return tarvisk::RegexPosition(text, marker, index == 0 ? 1 : index);
    } catch (const std::invalid_argument&) {
        return 0;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto input = tarvisk::fuzz::ReadPatternsAndPage(data, size);
    if (!input)
        return 0;
    const std::uint8_t mode = input->mode;
    std::u16string& text = input->page;
    std::u16string start;
    std::u16string end;
    switch (mode % 4) {
    case 0: // the shop crawl's title markers
        start = u">";
        end = u"<";
        break;
    case 1: // the shop crawl's shop name markers
        start = u"//";
        end = u".com/";
        break;
    case 2: // fuzzed literal markers: the pattern text is longer than what it matches
        start = u"\\Q" + input->first + u"\\E";
        end = u"\\Q" + input->second + u"\\E";
        break;
    default: // short fuzzed patterns, valid or not, over a short text
        start = input->first.substr(0, kMaxPatternUnits);
        end = input->second.substr(0, kMaxPatternUnits);
        text.resize(std::min(text.size(), kMaxTextForPatterns));
        break;
    }
    const int startIndex = (mode >> 2) % 4;
    const int endIndex = (mode >> 4) % 4;

    const std::u16string between = tarvisk::TextBetween(text, start, end, startIndex, endIndex);
    Check(tarvisk::fuzz::Contains(text, between), "the result is part of the text");
    const long long p1 = Position(text, start, startIndex);
    const long long p2 = Position(text, end, endIndex);
    const long long from = p1 + static_cast<long long>(start.size());
    const long long length = p2 - from;
    if (from >= 1 && length >= 0 && from <= static_cast<long long>(text.size())) {
        Check(between == text.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(length)),
              "the result starts after the start marker's pattern and ends at the end marker");
    } else {
        Check(between.empty(), "markers that frame nothing give empty text");
    }
    return 0;
}
