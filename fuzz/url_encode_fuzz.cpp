// UrlEncodeUtf8 and UrlEncodeGbk over fuzzed text: the result holds only the characters an address
// may carry, every escape is "%" and two upper-case hexadecimal digits, and the escaped bytes decode
// back to the text (UTF-8 for a text without surrogates; GBK as far as the code page holds it).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "text/encoding.h"

namespace {

using tarvisk::fuzz::Check;

bool IsUpperHex(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F');
}

/// The bytes of an encoded text: every "%XX" one byte, every other character its own byte.
std::string EscapedBytes(const std::u16string& encoded) {
    std::string bytes;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] != u'%') {
            Check(encoded[i] < 0x80, "unescaped characters are ASCII");
            bytes += static_cast<char>(encoded[i]);
            continue;
        }
        Check(i + 2 < encoded.size() && IsUpperHex(encoded[i + 1]) && IsUpperHex(encoded[i + 2]),
              "every escape is \"%\" and two upper-case hexadecimal digits");
        const std::u16string hex = encoded.substr(i + 1, 2);
        bytes += static_cast<char>(std::stoi(std::string(hex.begin(), hex.end()), nullptr, 16));
        i += 2;
    }
    return bytes;
}

bool IsSafeUtf8(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.' ||
           c == u'_' || c == u'%';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string text = (size % 2 == 1) ? tarvisk::fuzz::RawUnits(bytes) : tarvisk::FromUtf8(bytes);

    const std::u16string utf8 = tarvisk::UrlEncodeUtf8(text);
    Check(std::all_of(utf8.begin(), utf8.end(), IsSafeUtf8), "UTF-8 escapes leave only letters, digits and -._");
    const std::string utf8Bytes = EscapedBytes(utf8);
    const bool surrogates =
        std::any_of(text.begin(), text.end(), [](char16_t c) { return c >= 0xD800 && c <= 0xDFFF; });
    if (!surrogates)
        Check(tarvisk::DecodeUtf8Bytes(utf8Bytes) == text, "the UTF-8 escapes decode back to the text");
    std::u16string latin1;
    for (const char byte : utf8Bytes)
        latin1 += static_cast<char16_t>(static_cast<unsigned char>(byte));
    Check(tarvisk::UnescapeText(utf8) == latin1, "UnescapeText reads the escapes back as one character a byte");

    const std::u16string gbk = tarvisk::UrlEncodeGbk(text);
    Check(std::all_of(gbk.begin(), gbk.end(),
                      [](char16_t c) { return IsSafeUtf8(c) && c != u'-' && c != u'.' && c != u'_'; }),
          "GBK escapes leave only letters");
    // Each surrogate half is a character of its own to the escapes, and "?" to the code page.
    if (!surrogates)
        Check(tarvisk::DecodeGbkBytes(EscapedBytes(gbk)) == tarvisk::DecodeGbkBytes(tarvisk::EncodeGbk(text)),
              "the GBK escapes are the text's code page 936 bytes");
    return 0;
}
