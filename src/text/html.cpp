#include "text/html.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace tarvisk {

namespace {

/// The character reference of a character that means markup, or nothing for any other character.
std::u16string_view referenceOf(char16_t c) {
    switch (c) {
    case u'&':
        return u"&amp;";
    case u'<':
        return u"&lt;";
    case u'>':
        return u"&gt;";
    case u'"':
        return u"&quot;";
    case u'\'':
        return u"&#39;";
    default:
        return {};
    }
}

} // namespace

std::u16string EscapeHtml(const std::u16string& text) {
    std::u16string escaped;
    escaped.reserve(text.size());
    for (const char16_t c : text) {
        const std::u16string_view reference = referenceOf(c);
        if (reference.empty())
            escaped.push_back(c);
        else
            escaped += reference;
    }
    return escaped;
}

std::u16string DataUri(std::string_view mimeType, std::string_view bytes) {
    constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::u16string uri = u"data:";
    uri.append(mimeType.begin(), mimeType.end());
    uri += u";base64,";
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t count = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 3; ++k) {
            group = group << 8 | (k < count ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        }
        for (std::size_t k = 0; k < 4; ++k) {
            uri += k <= count ? static_cast<char16_t>(kDigits[group >> (18 - 6 * k) & 0x3F]) : u'=';
        }
    }
    return uri;
}

} // namespace tarvisk
