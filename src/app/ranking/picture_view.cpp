#include "app/ranking/picture_view.h"

namespace tarvisk {

namespace {

// Escapes a text for an HTML attribute quoted with either kind of quote.
std::u16string attributeText(const std::u16string& text) {
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
            escaped += c;
        }
    }
    return escaped;
}

} // namespace

std::u16string PictureViewHtml(const ResultTable& table) {
    std::u16string html;
    const int rows = table.rowCount();
    for (int first = 1; first <= rows; first += 4) {
        html += u"<div>";
        for (int row = first; row < first + 4 && row <= table.rowCount(); ++row) {
            html += u"<img title='" + attributeText(ListViewGetCell(table, u"位置", row)) +
                    u"' style='border:0px solid #0f0' width='80' height='80' src='" +
                    attributeText(ListViewGetCell(table, u"图片", row) + u"_80x80.jpg") + u"'/> ";
        }
        html += u"</div>";
    }
    return html;
}

} // namespace tarvisk
