#include "store/csv.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "text/encoding.h"

namespace tarvisk {
namespace {

std::string textCell(const std::u16string& value) {
    std::string line = CsvRecordWriter().text(value).line();
    return line.substr(0, line.size() - 2);
}

TEST(CsvRecordWriter, QuotesAndGuardsTextCells) {
    const struct {
        std::u16string value;
        std::string written;
    } cases[] = {
        {u"", ""},
        {u"老实买家", "老实买家"},
        {u"a,b", "\"a,b\""},
        {u"say \"hi\"", "\"say \"\"hi\"\"\""},
        {u"two\nlines", "\"two\nlines\""},
        {u"cr\r\nlf", "\"cr\r\nlf\""},
        {u"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
        {u"+86 138", "'+86 138"},
        {u"-不发货", "'-不发货"},
        {u"@SUM(A1)", "'@SUM(A1)"},
        {u"\tindented", "'\tindented"},
        {u"'quoted", "''quoted"},
        {u"-3", "-3"},
        {u"99.5", "99.5"},
        {u"+7", "+7"},
        {u"1.2.3", "1.2.3"},
        {u" a ", " a "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(textCell(c.value), c.written) << ToUtf8(c.value);
    }
    // What a page said loses its control characters; tabs and line breaks stay.
    const std::u16string title(u"\x1b[31m红\x07\0\tx\r\ny", 13);
    EXPECT_EQ(CsvRecordWriter().pageText(title).line(), "\"\xEF\xBF\xBD[31m红\xEF\xBF\xBD\xEF\xBF\xBD\tx\r\ny\"\r\n");
}

TEST(CsvRecordWriter, WritesDigitsAsIdsAndEndsRecordsWithCrLf) {
    EXPECT_EQ(CsvRecordWriter().id(u"42054041382").line(), "\"=\"\"42054041382\"\"\"\r\n");
    EXPECT_EQ(CsvRecordWriter().id(u"1234567890123456789").text(u"x").line(), "\"=\"\"1234567890123456789\"\"\",x\r\n");
    EXPECT_EQ(CsvRecordWriter().id(u"ab12").line(), "ab12\r\n");
    EXPECT_EQ(CsvRecordWriter().id(u"").line(), "\r\n");
    EXPECT_EQ(CsvRecordWriter().text(u"").text(u"").line(), ",\r\n");
}

TEST(Csv, EveryTextAndIdComesBackAsWritten) {
    const std::vector<std::u16string> texts = {
        u"老实买家",   u"备注，带逗号",
        u"他说\"好\"", u"第一行\r\n第二行",
        u"只有\n换行", u"末尾换行\n",
        u"=1+1",       u"-不发货",
        u"'",          u"''",
        u"@",          u"",
        u"  空格  ",   u"a,\"b\",\r\nc",
    };
    const std::vector<std::u16string> ids = {u"42054041382", u"1234567890123456789", u"0012", u"x1"};
    std::string bytes = kUtf8Bom;
    for (const std::u16string& text : texts) {
        bytes += CsvRecordWriter().text(u"row").text(text).line();
    }
    for (const std::u16string& id : ids) {
        bytes += CsvRecordWriter().id(id).text(u"id").line();
    }
    const CsvTable table = ReadCsv(bytes);
    ASSERT_TRUE(table.problems.empty());
    ASSERT_EQ(table.records.size(), texts.size() + ids.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(table.records[i].fields.size(), 2u) << i;
        EXPECT_EQ(CsvCellText(table.records[i].fields[1]), texts[i]) << ToUtf8(texts[i]);
    }
    for (std::size_t i = 0; i < ids.size(); ++i) {
        EXPECT_EQ(CsvCellText(table.records[texts.size() + i].fields[0]), ids[i]);
    }
}

TEST(ReadCsv, CountsLinesAcrossQuotedLineBreaksAndSkipsBlankLines) {
    const CsvTable table = ReadCsv("a,b\r\n\"x\r\ny\",z\r\n\r\nlast,\"\"\n\"end\"");
    ASSERT_TRUE(table.problems.empty());
    ASSERT_EQ(table.records.size(), 4u);
    const int lines[] = {1, 2, 5, 6};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(table.records[i].line, lines[i]);
    }
    EXPECT_EQ(table.records[1].fields, (std::vector<std::u16string>{u"x\r\ny", u"z"}));
    EXPECT_EQ(table.records[2].fields, (std::vector<std::u16string>{u"last", u""}));
    EXPECT_EQ(table.records[3].fields, (std::vector<std::u16string>{u"end"}));
}

TEST(ReadCsv, ReadsWhatSpreadsheetsWriteAndKeepsStrayQuotes) {
    const struct {
        const char* name;
        std::string bytes;
        std::vector<std::u16string> fields;
    } cases[] = {
        {"utf-8 with bom", "\xEF\xBB\xBF买家,黑名单", {u"买家", u"黑名单"}},
        {"utf-8 without bom", "买家,黑名单", {u"买家", u"黑名单"}},
        {"gbk", EncodeGbk(u"买家,黑名单"), {u"买家", u"黑名单"}},
        {"lone cr line ends", "a\rb", {u"a"}},
        {"quote inside a field", "a\"b,c", {u"a\"b", u"c"}},
        {"text after a closing quote", "\"a\"b,c", {u"ab", u"c"}},
        {"text after an empty quoted field", "\"\"x,y", {u"x", u"y"}},
    };
    for (const auto& c : cases) {
        const CsvTable table = ReadCsv(c.bytes);
        ASSERT_FALSE(table.records.empty()) << c.name;
        EXPECT_EQ(table.records.front().fields, c.fields) << c.name;
    }
}

TEST(ReadCsv, AnUnclosedQuoteIsAProblemAtItsLineAndTheRecordsBeforeItStay) {
    const CsvTable table = ReadCsv("a,b\r\nc,d\r\n\"open,e\r\nf,g\r\n");
    ASSERT_EQ(table.records.size(), 2u);
    ASSERT_EQ(table.problems.size(), 1u);
    EXPECT_EQ(table.problems.front().line, 3);
}

TEST(CsvCellText, UndoesOnlyWhatTheWriterDid) {
    const struct {
        std::u16string cell;
        std::u16string text;
    } cases[] = {
        {u"=\"42054041382\"", u"42054041382"},
        {u"=\"4205a\"", u"=\"4205a\""},
        {u"=\"\"", u"=\"\""},
        {u"'=1+1", u"=1+1"},
        {u"''x", u"'x"},
        {u"'x", u"'x"},
        {u"'-3", u"'-3"},
        {u"'", u"'"},
        {u"plain", u"plain"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CsvCellText(c.cell), c.text) << ToUtf8(c.cell);
    }
}

} // namespace
} // namespace tarvisk
