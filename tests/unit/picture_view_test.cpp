#include "jobs/ranking/picture_view.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "jobs/ranking/ranking_search.h"
#include "text/numbers.h"

namespace tarvisk {
namespace {

struct Row {
    std::u16string position;
    std::u16string picture;
};

ResultTable tableOf(const std::vector<Row>& rows) {
    ResultTable table;
    ListViewSetColumns(table, kRankingColumnTitles, kRankingColumnWidths);
    for (const Row& row : rows) {
        ListViewAddRow(table, u"No.", table.rowCount() + 1);
        ListViewSetCell(table, u"位置", 0, row.position);
        ListViewSetCell(table, u"图片", 0, row.picture);
    }
    return table;
}

std::u16string img(const std::u16string& title, const std::u16string& src) {
    return u"<img title='" + title + u"' style='border:0px solid #0f0' width='80' height='80' src='" + src + u"'/> ";
}

std::vector<Row> numberedRows(int count) {
    std::vector<Row> rows;
    for (int i = 1; i <= count; ++i) {
        rows.push_back({u"p" + NumberText(i), u"//x/" + NumberText(i) + u".jpg"});
    }
    return rows;
}

std::u16string numberedImg(int i) {
    return img(u"p" + NumberText(i), u"//x/" + NumberText(i) + u".jpg_80x80.jpg");
}

TEST(PictureViewHtml, GroupsOfFour) {
    struct Case {
        int rows;
        std::u16string html;
    };
    const Case cases[] = {
        {0, u""},
        {1, u"<div>" + numberedImg(1) + u"</div>"},
        {4, u"<div>" + numberedImg(1) + numberedImg(2) + numberedImg(3) + numberedImg(4) + u"</div>"},
        {5, u"<div>" + numberedImg(1) + numberedImg(2) + numberedImg(3) + numberedImg(4) + u"</div><div>" +
                numberedImg(5) + u"</div>"},
        {8, u"<div>" + numberedImg(1) + numberedImg(2) + numberedImg(3) + numberedImg(4) + u"</div><div>" +
                numberedImg(5) + numberedImg(6) + numberedImg(7) + numberedImg(8) + u"</div>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PictureViewHtml(tableOf(numberedRows(c.rows))), c.html) << c.rows << " rows";
    }
}

TEST(PictureViewHtml, CellsAsTheyAreWhenHarmless) {
    const std::vector<Row> rows = {
        {u"2页 2行 第3", u"//pics.taobaocdn.com/bao/uploaded/i1/T1.jpg"},
        {u"", u""}, // an empty picture cell leaves just the suffix
    };
    EXPECT_EQ(PictureViewHtml(tableOf(rows)),
              u"<div>" + img(u"2页 2行 第3", u"//pics.taobaocdn.com/bao/uploaded/i1/T1.jpg_80x80.jpg") +
                  img(u"", u"_80x80.jpg") + u"</div>");
}

TEST(PictureViewHtml, EscapesWhatCouldBreakOutOfTheAttributes) {
    const std::vector<Row> rows = {
        {u"x' onerror='alert(1)", u"http://p/a.jpg?a=1&b=2"},
        {u"<script>\"", u"x'/><script>alert(1)</script><img src='"},
    };
    const std::u16string html = PictureViewHtml(tableOf(rows));
    EXPECT_EQ(html, u"<div>" + img(u"x&#39; onerror=&#39;alert(1)", u"http://p/a.jpg?a=1&amp;b=2_80x80.jpg") +
                        img(u"&lt;script&gt;&quot;",
                            u"x&#39;/&gt;&lt;script&gt;alert(1)&lt;/script&gt;&lt;img src=&#39;_80x80.jpg") +
                        u"</div>");
    EXPECT_EQ(html.find(u"<script"), std::u16string::npos);
}

TEST(PictureViewHtml, ReadsTheTableAsItIsNow) {
    ResultTable table = tableOf(numberedRows(2));
    const std::u16string before = PictureViewHtml(table);
    EXPECT_EQ(PictureViewHtml(table), before);
    ListViewSetCell(table, u"图片", 2, u"//y/new.jpg");
    EXPECT_EQ(PictureViewHtml(table), u"<div>" + numberedImg(1) + img(u"p2", u"//y/new.jpg_80x80.jpg") + u"</div>");
    ListViewClearItems(table);
    EXPECT_EQ(PictureViewHtml(table), u"");
}

} // namespace
} // namespace tarvisk
