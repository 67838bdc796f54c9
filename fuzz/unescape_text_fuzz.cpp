// UnescapeText over fuzzed titles: never longer than its input, a text without "%" and backslash
// comes back unchanged, and an escape made by hand decodes to its code unit.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "text/encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using tarvisk::fuzz::Check;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string text = (size % 2 == 1) ? tarvisk::fuzz::RawUnits(bytes) : tarvisk::fuzz::PageText(bytes);
    const std::u16string plain = tarvisk::UnescapeText(text);
    Check(plain.size() <= text.size(), "unescaping never makes a text longer");
    if (text.find_first_of(u"%\\") == std::u16string::npos)
        Check(plain == text, "a text without escapes stays as it is");
    if (!text.empty()) {
        static constexpr char16_t kHex[] = u"0123456789abcdef";
        const char16_t unit = text[0];
        const std::u16string escape = {
            u'%', u'u', kHex[unit >> 12], kHex[(unit >> 8) & 0xF], kHex[(unit >> 4) & 0xF], kHex[unit & 0xF]};
        Check(tarvisk::UnescapeText(escape) == std::u16string(1, unit), "\"%u\" and four digits give that code unit");
    }
    return 0;
}
