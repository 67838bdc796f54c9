#include "jobs/ranking/picture_view.h"

#include "text/html.h"

namespace tarvisk {

std::u16string PictureViewHtml(const ResultTable& table) {
    std::u16string html;
    const int rows = table.rowCount();
    for (int first = 1; first <= rows; first += 4) {
        html += u"<div>";
        for (int row = first; row < first + 4 && row <= table.rowCount(); ++row) {
            html += u"<img title='" + EscapeHtml(ListViewGetCell(table, u"位置", row)) +
                    u"' style='border:0px solid #0f0' width='80' height='80' src='" +
                    EscapeHtml(ListViewGetCell(table, u"图片", row) + u"_80x80.jpg") + u"'/> ";
        }
        html += u"</div>";
    }
    return html;
}

} // namespace tarvisk
