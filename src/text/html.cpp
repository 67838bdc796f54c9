#include "text/html.h"

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

} // namespace tarvisk
