// StripTags over fuzzed pages: the text between tags is made of pieces of the page, holds no "<"
// and no line feed (a piece ends at the first "<" and never crosses a line), and is never longer.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "text/regex.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::u16string text = (data[0] & 1) != 0 ? tarvisk::fuzz::RawUnits(bytes) : tarvisk::fuzz::PageText(bytes);
    const std::u16string stripped = tarvisk::StripTags(text);
    using tarvisk::fuzz::Check;
    Check(stripped.size() <= text.size(), "the text between tags is not longer than the text");
    Check(stripped.find(u'<') == std::u16string::npos, "no \"<\" is left");
    Check(stripped.find(u'\n') == std::u16string::npos, "no line feed is left");
    Check(tarvisk::StripTags(text) == stripped, "the same text gives the same result");
    return 0;
}
