#include "text/html.h"

namespace tarvisk {

std::u16string EscapeHtml(const std::u16string& text) {
    std::u16string escaped;
    escaped.reserve(text.size());
    for (const char16_t c : text) {
        switch (c) {
        case u'&':
            escaped += u"&amp;";
            break;
        case u'<':
            escaped += u"&lt;";
            break;
        case u'>':
            escaped += u"&gt;";
            break;
        case u'"':
            escaped += u"&quot;";
            break;
        case u'\'':
            escaped += u"&#39;";
            break;
        default:
            escaped.push_back(c);
        }
    }
    return escaped;
}

} // namespace tarvisk
