#include "table/result_table.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tarvisk {
namespace {

ResultTable tableWith(const std::u16string& titles, int rows = 0) {
    ResultTable table;
    ListViewSetColumns(table, titles, u"");
    for (int i = 0; i < rows; ++i) {
        table.addRow();
    }
    return table;
}

// Every row's cells, the row-number column first.
std::vector<std::vector<std::u16string>> contents(const ResultTable& table) {
    std::vector<std::vector<std::u16string>> rows;
    for (int r = 1; r <= table.rowCount(); ++r) {
        std::vector<std::u16string> cells;
        for (int c = 0; c < table.columnCount(); ++c) {
            cells.push_back(table.text(r, c));
        }
        rows.push_back(cells);
    }
    return rows;
}

TEST(ListViewSetColumns, TitlesAndWidths) {
    struct Case {
        std::u16string titles;
        std::u16string widths;
        std::vector<TableColumn> expected;
    };
    const Case cases[] = {
        {u"a|B|c", u"10|20|30", {{u"a", 10}, {u"B", 20}, {u"c", 30}}},
        {u"a|B|c", u"10", {{u"a", 0}, {u"B", 0}, {u"c", 0}}},            // no separator: ignored
        {u"a|B|c", u"10|0|x", {{u"a", 10}, {u"B", 0}, {u"c", 0}}},       // 0 and text keep the default
        {u"a|B|c", u"-5|7.9|", {{u"a", 0}, {u"B", 8}, {u"c", 0}}},       // negative, fraction (rounded), empty piece
        {u"a|B|c", u"10|20", {{u"a", 10}, {u"B", 20}, {u"c", 0}}},       // fewer widths than titles
        {u"a||c", u"1|2|3", {{u"a", 1}, {u"", 2}, {u"c", 3}}},           // empty title is a column
        {u"", u"1|2", {}},                                               // no titles, no columns
        {u"No.|宝贝名", u" 30|300px", {{u"No.", 30}, {u"宝贝名", 300}}}, // leading number reading
    };
    for (const Case& c : cases) {
        ResultTable table = tableWith(u"old", 3);
        ListViewSetColumns(table, c.titles, c.widths);
        EXPECT_EQ(table.columns(), c.expected) << std::string(c.titles.begin(), c.titles.end());
        EXPECT_EQ(table.rowCount(), 0);
    }
}

TEST(ListViewColumnIndex, MatchesTitlesIgnoringCase) {
    const ResultTable table = tableWith(u"a|B|c|No.|b");
    const std::pair<std::u16string, std::optional<int>> cases[] = {
        {u"A", 0}, {u"b", 1}, {u"C", 2}, {u"d", std::nullopt}, {u"NO.", 3}, {u"no", std::nullopt}, {u"", std::nullopt},
    };
    for (const auto& [title, expected] : cases) {
        EXPECT_EQ(ListViewColumnIndex(table, title), expected);
    }
    EXPECT_EQ(ListViewColumnIndex(tableWith(u"x||y"), u""), 1); // an empty title is found too
}

TEST(ListViewSetCell, RowAddressing) {
    struct Case {
        const char* name;
        int rowsBefore;
        double row;
        std::u16string title;
        int rowsAfter;
        double rowAfter;               // what the caller's variable holds afterwards
        std::optional<int> writtenRow; // where "v" lands, none: nothing written
    };
    const Case cases[] = {
        {"row 5 of an empty table grows it", 0, 5, u"B", 5, 5, 5},
        {"row 0 is the last row", 3, 0, u"b", 3, 3, 3},
        {"row 0 of an empty table writes nothing", 0, 0, u"b", 0, 0, std::nullopt},
        {"existing row", 4, 2, u"C", 4, 2, 2},
        {"first column is never written", 2, 1, u"a", 2, 1, std::nullopt},
        {"unknown title writes nothing but still grows", 1, 3, u"zz", 3, 3, std::nullopt},
        {"negative row", 2, -1, u"b", 2, -1, std::nullopt},
        {"fraction rounds half to even", 3, 2.5, u"b", 3, 2.5, 2},
    };
    for (const Case& c : cases) {
        ResultTable table = tableWith(u"a|B|c", c.rowsBefore);
        double row = c.row;
        ListViewSetCell(table, c.title, row, u"v");
        EXPECT_EQ(table.rowCount(), c.rowsAfter) << c.name;
        EXPECT_EQ(row, c.rowAfter) << c.name;
        for (int r = 1; r <= table.rowCount(); ++r) {
            EXPECT_EQ(table.text(r, 0), std::u16string(1, u'0' + r)) << c.name;
            const bool written = c.writtenRow == r;
            const int column = c.title == u"C" ? 2 : 1;
            EXPECT_EQ(table.text(r, column), written ? u"v" : u"") << c.name << " row " << r;
        }
    }
}

TEST(ListViewSetCell, RowGivenAsTextIsReadAndWrittenBack) {
    ResultTable table = tableWith(u"a|b", 2);
    std::u16string row = u" 2nd";
    ListViewSetCell(table, u"b", row, u"x");
    EXPECT_EQ(row, u"2");
    EXPECT_EQ(table.text(2, 1), u"x");

    std::u16string last = u"abc"; // reads as 0: the last row
    ListViewSetCell(table, u"b", last, u"y");
    EXPECT_EQ(last, u"2");
    EXPECT_EQ(table.text(2, 1), u"y");
}

TEST(ListViewSetCell, WildRowNumberCannotExhaustMemory) {
    ResultTable table = tableWith(u"a|b");
    ListViewSetCell(table, u"b", 1e12, u"x");
    ListViewSetCell(table, u"b", ResultTable::kMaxRows + 1.0, u"x");
    EXPECT_EQ(table.rowCount(), 0);
}

TEST(ListViewGetCell, ReadsOnlyExistingSubItems) {
    ResultTable table = tableWith(u"a|B|c", 3);
    ListViewSetCell(table, u"b", 2, u"two");
    ListViewSetCell(table, u"c", 3, u"three");
    const std::pair<std::pair<std::u16string, double>, std::u16string> cases[] = {
        {{u"B", 2}, u"two"}, {{u"C", 3}, u"three"}, {{u"b", 0}, u""}, // row 0 has no special meaning
        {{u"b", 4}, u""},    {{u"b", -2}, u""},     {{u"a", 2}, u""}, // first column reads empty
        {{u"zz", 2}, u""},   {{u"b", 1}, u""},
    };
    for (const auto& [address, expected] : cases) {
        EXPECT_EQ(ListViewGetCell(table, address.first, address.second), expected);
    }
    std::u16string row = u"3 ";
    EXPECT_EQ(ListViewGetCell(table, u"c", row), u"three");
    EXPECT_EQ(row, u"3");
}

TEST(ListViewAddRow, NumbersRowsAndWritesTheNamedColumn) {
    ResultTable table = tableWith(u"No.|name|id");
    ListViewAddRow(table, u"no.", 1);           // first column: only the number shows
    ListViewAddRow(table, u"NAME", u"second");  // named column
    ListViewAddRow(table, u"missing", u"lost"); // unknown title: a bare row
    ListViewAddRow(table, u"id", 2.5);          // numbers are written as text
    const std::vector<std::vector<std::u16string>> expected = {
        {u"1", u"", u""},
        {u"2", u"second", u""},
        {u"3", u"", u""},
        {u"4", u"", u"2.5"},
    };
    EXPECT_EQ(contents(table), expected);
}

TEST(ListViewClearItems, KeepsColumnsAndRestartsNumbering) {
    ResultTable table = tableWith(u"No.|x", 4);
    ListViewClearItems(table);
    EXPECT_EQ(table.rowCount(), 0);
    EXPECT_EQ(table.columnCount(), 2);
    ListViewAddRow(table, u"x", u"again");
    EXPECT_EQ(contents(table), (std::vector<std::vector<std::u16string>>{{u"1", u"again"}}));
}

TEST(ResultTable, ObserverHearsEveryChangeInOrder) {
    ResultTable table;
    std::vector<std::tuple<TableChange::Kind, int, int>> heard;
    table.setObserver([&](const TableChange& c) { heard.emplace_back(c.kind, c.row, c.column); });
    ListViewSetColumns(table, u"No.|x|y", u"");
    ListViewAddRow(table, u"No.", 1);
    ListViewSetCell(table, u"y", 0, u"v");
    ListViewSetCell(table, u"x", 3, u"w");
    ListViewSetCell(table, u"nothing", 0, u"u"); // no change, no notice
    ListViewClearItems(table);
    using K = TableChange::Kind;
    const std::vector<std::tuple<K, int, int>> expected = {
        {K::ColumnsReset, 0, 0}, {K::RowAdded, 1, 0},    {K::CellChanged, 1, 2}, {K::RowAdded, 2, 0},
        {K::RowAdded, 3, 0},     {K::CellChanged, 3, 1}, {K::RowsCleared, 0, 0},
    };
    EXPECT_EQ(heard, expected);
}

} // namespace
} // namespace tarvisk
