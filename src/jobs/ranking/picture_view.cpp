#include "jobs/ranking/picture_view.h"

#include "text/html.h"

namespace tarvisk {

std::u16string PictureViewHtml(const ResultTable& table, int markedRow) {
    std::u16string html;
    const int rows = table.rowCount();
    for (int first = 1; first <= rows; first += 4) {
        html += u"<div>";
        for (int row = first; row < first + 4 && row <= table.rowCount(); ++row) {
            const bool marked = row == markedRow;
            html += u"<img " + (marked ? u"id='" + std::u16string(kMarkedPictureId) + u"' " : u"") + u"title='" +
                    EscapeHtml(ListViewGetCell(table, u"位置", row)) + u"' style='border:0px solid #0f0" +
                    (marked ? u";outline:4px solid #f40;outline-offset:-4px" : u"") +
                    u"' width='80' height='80' src='" +
                    EscapeHtml(ListViewGetCell(table, u"图片", row) + u"_80x80.jpg") + u"'/> ";
        }
        html += u"</div>";
    }
    return html;
}

} // namespace tarvisk
