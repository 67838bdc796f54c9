#include "store/buyer_lists.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "store/local_store.h"
#include "text/encoding.h"
#include "text/line_file.h"
#include "store_test_support.h"

namespace tarvisk {
namespace {

class BuyerListsTest : public test::ScratchStore {};

TEST_F(BuyerListsTest, AnAccountIsOnOneListWithOneNote) {
    LocalStore store(m_file, recorded());
    ASSERT_TRUE(PutListEntries(store, {{u"刷单小号", BuyerList::Block, u"拍下不付款", 100},
                                       {u"老实买家", BuyerList::Allow, u"", 101},
                                       {u"abc", BuyerList::Allow, u"老客户", 102}}));
    EXPECT_EQ(FindListEntry(store, u"刷单小号").value(),
              (ListEntry{u"刷单小号", BuyerList::Block, u"拍下不付款", 100}));
    EXPECT_FALSE(FindListEntry(store, u"ABC"));

    // Putting an account again moves it and replaces its note.
    ASSERT_TRUE(PutListEntries(store, {{u"abc", BuyerList::Block, u"改了", 103}}));
    const auto all = ListEntries(store);
    ASSERT_TRUE(all);
    std::vector<std::u16string> order;
    for (const ListEntry& entry : *all) {
        order.push_back(entry.account + u":" + BuyerListName(entry.list) + u":" + entry.note);
    }
    EXPECT_EQ(order,
              (std::vector<std::u16string>{u"abc:黑名单:改了", u"刷单小号:黑名单:拍下不付款", u"老实买家:白名单:"}));
    EXPECT_EQ(ListEntries(store, BuyerList::Allow)->size(), 1u);

    EXPECT_EQ(RemoveListEntry(store, u"abc"), std::optional(true));
    EXPECT_EQ(RemoveListEntry(store, u"abc"), std::optional(false));
    EXPECT_EQ(ListEntries(store, BuyerList::Block)->size(), 1u);
    EXPECT_TRUE(m_problems.empty());
}

TEST_F(BuyerListsTest, AnEntryWithoutATimeGetsTheTimeItWasPut) {
    LocalStore store(m_file, recorded());
    ASSERT_TRUE(PutListEntries(store, {{u"a", BuyerList::Block, u"", 0}}));
    EXPECT_GT(FindListEntry(store, u"a")->updatedAt, 1700000000);
}

TEST(BuyerLists, ListNamesAndAccountsAreReadStrictly) {
    const std::pair<std::u16string, std::optional<BuyerList>> lists[] = {
        {u"block", BuyerList::Block},  {u"ALLOW", BuyerList::Allow}, {u"黑名单", BuyerList::Block},
        {u"白名单", BuyerList::Allow}, {u"blocked", std::nullopt},   {u"", std::nullopt},
    };
    for (const auto& [text, list] : lists) {
        EXPECT_EQ(ParseBuyerList(text), list) << ToUtf8(text);
    }
    const std::pair<std::u16string, std::optional<std::u16string>> accounts[] = {
        {u"  abc  ", u"abc"},   {u"\tabc", std::nullopt},     {u"a\nb", std::nullopt},
        {u"   ", std::nullopt}, {u"买家 一号", u"买家 一号"},
    };
    for (const auto& [text, account] : accounts) {
        EXPECT_EQ(ListAccount(text), account) << ToUtf8(text);
    }
}

TEST(ListCsv, ExportedEntriesImportUnchanged) {
    const std::vector<ListEntry> entries = {
        {u"刷单小号", BuyerList::Block, u"拍下不付款，多次\"恶意\"差评", 0},
        {u"=cmd", BuyerList::Block, u"第一行\r\n第二行", 0},
        {u"老实买家", BuyerList::Allow, u"", 0},
        {u"1234567890123456789", BuyerList::Allow, u"-老客户", 0},
    };
    for (const bool bom : {true, false}) {
        const std::string bytes = ListCsv(entries, bom);
        EXPECT_EQ(bytes.rfind(bom ? "\xEF\xBB\xBF"
                                    "账号,名单,备注\r\n"
                                  : "账号,名单,备注\r\n",
                              0),
                  0u);
        EXPECT_NE(bytes.find("\r\n刷单小号,黑名单,"), std::string::npos);
        const ListCsvImport imported = ReadListCsv(bytes);
        EXPECT_TRUE(imported.problems.empty());
        EXPECT_EQ(imported.entries, entries);
    }
}

TEST(ListCsv, BadRowsAreNamedByTheirLinesAndTheGoodOnesStay) {
    const std::string bytes = "Note , ACCOUNT,list,source\r\n"      // line 1: columns in another order, one more
                              "老客户,老实买家,allow,店里\r\n"      // 2
                              "\"两行\r\n备注\",刷单小号,block\r\n" // 3-4
                              "x,,block\r\n"                        // 5: no account
                              "x,某人,grey\r\n"                     // 6: no such list
                              "x,某人,block,a,b\r\n"                // 7: more fields than the header
                              "\r\n"                                // 8: blank
                              ",\"  带空格  \",Allow\r\n"           // 9
                              "\"unclosed,a,block\r\n";             // 10
    const ListCsvImport imported = ReadListCsv(bytes);
    EXPECT_EQ(imported.entries, (std::vector<ListEntry>{{u"老实买家", BuyerList::Allow, u"老客户", 0},
                                                        {u"刷单小号", BuyerList::Block, u"两行\r\n备注", 0},
                                                        {u"带空格", BuyerList::Allow, u"", 0}}));
    std::vector<int> lines;
    for (const CsvProblem& problem : imported.problems) {
        lines.push_back(problem.line);
        EXPECT_FALSE(problem.reason.empty());
    }
    EXPECT_EQ(lines, (std::vector<int>{5, 6, 7, 10}));
    EXPECT_NE(imported.problems[1].reason.find("grey"), std::string::npos);
}

TEST(ListCsv, TakesOnlyWhatItReadsWholeAndUnambiguously) {
    const std::string gbkBuyer = EncodeGbk(u"表格买家");
    const struct {
        const char* name;
        std::string bytes;
        std::vector<ListEntry> entries;
        std::vector<int> problemLines;
        bool hasNotes = true;
    } cases[] = {
        {"Chinese header and lists",
         "账号,名单,备注\n甲,黑名单,拍下不付款\n乙,白名单,\n",
         {{u"甲", BuyerList::Block, u"拍下不付款", 0}, {u"乙", BuyerList::Allow, u"", 0}},
         {}},
        {"no note column", "account,list\n甲,block\n", {{u"甲", BuyerList::Block, u"", 0}}, {}, false},
        {"UTF-8 with one stray byte",
         "账号,名单,备注\n刷单小号,黑名单,拍下不付款\n坏\xFF,黑名单,\n老实买家,白名单,\n",
         {{u"刷单小号", BuyerList::Block, u"拍下不付款", 0}, {u"老实买家", BuyerList::Allow, u"", 0}},
         {3}},
        {"GBK with one stray byte",
         "account,list\n" + gbkBuyer + ",block\n\xFF" + gbkBuyer + ",block\n",
         {{u"表格买家", BuyerList::Block, u"", 0}},
         {3},
         false},
        {"valid as UTF-8 and as GBK",
         "account,list,note\n刷单,block,好评\n",
         {{u"刷单", BuyerList::Block, u"好评", 0}},
         {}},
        {"one account on both lists",
         "账号,名单\n甲,黑名单\n乙,白名单\n甲,白名单\n",
         {{u"乙", BuyerList::Allow, u"", 0}},
         {2, 4},
         false},
        {"one account with two notes", "账号,名单,备注\n甲,黑名单,a\n甲,黑名单,b\n", {}, {2, 3}},
        {"the same row twice", "账号,名单,备注\n甲,黑名单,a\n甲,黑名单,a\n", {{u"甲", BuyerList::Block, u"a", 0}}, {}},
        {"a note over the limit",
         "账号,名单,备注\n甲,黑名单," + std::string(kMaxNoteLength + 1, 'x') + "\n乙,黑名单," +
             std::string(kMaxNoteLength, 'x') + "\n",
         {{u"乙", BuyerList::Block, std::u16string(kMaxNoteLength, u'x'), 0}},
         {2}},
    };
    for (const auto& c : cases) {
        const ListCsvImport imported = ReadListCsv(c.bytes);
        EXPECT_EQ(imported.entries, c.entries) << c.name;
        std::vector<int> lines;
        for (const CsvProblem& problem : imported.problems) {
            lines.push_back(problem.line);
        }
        EXPECT_EQ(lines, c.problemLines) << c.name;
        EXPECT_EQ(imported.hasNotes, c.hasNotes) << c.name;
    }
}

TEST_F(BuyerListsTest, AnImportWithoutNotesKeepsTheNotesStored) {
    LocalStore store(m_file, recorded());
    ASSERT_TRUE(PutListEntries(store, {{u"甲", BuyerList::Block, u"拍下不付款", 0}}));
    const ListCsvImport imported = ReadListCsv("account,list\n甲,allow\n乙,block\n");
    ASSERT_TRUE(PutListEntries(store, imported.entries, imported.notes()));
    EXPECT_EQ(FindListEntry(store, u"甲")->note, u"拍下不付款");
    EXPECT_EQ(FindListEntry(store, u"甲")->list, BuyerList::Allow);
    EXPECT_EQ(FindListEntry(store, u"乙")->note, u"");
}

TEST_F(BuyerListsTest, AListFileWithALineOverTheLimitIsRefusedWhole) {
    const struct {
        std::string bytes;
        bool refused;
        int line;
    } cases[] = {
        {"账号,名单,备注\n甲,黑名单," + std::string(kMaxLineBytes, 'x') + "\n乙,黑名单,\n", true, 2},
        {"账号,名单\n甲,黑名单\n", false, 0},
    };
    for (const auto& c : cases) {
        const std::filesystem::path file = m_folder / "lists.csv";
        std::ofstream(file, std::ios::binary) << c.bytes;
        const ListCsvImport imported = ReadListCsvFile(file);
        EXPECT_EQ(imported.refused, c.refused);
        EXPECT_EQ(imported.entries.empty(), c.refused);
        EXPECT_EQ(imported.problems.empty() ? 0 : imported.problems.front().line, c.line);
    }
    EXPECT_TRUE(ReadListCsvFile(m_folder / "missing.csv").refused);
}

TEST(ListCsv, ATableWithoutItsHeaderImportsNothing) {
    const struct {
        const char* name;
        std::string bytes;
        int line;
    } cases[] = {
        {"empty", "", 1},
        {"data on line 1", "刷单小号,block,\r\n", 1},
        {"no list column", "\r\naccount,note\r\na,b\r\n", 2},
    };
    for (const auto& c : cases) {
        const ListCsvImport imported = ReadListCsv(c.bytes);
        EXPECT_TRUE(imported.entries.empty()) << c.name;
        ASSERT_EQ(imported.problems.size(), 1u) << c.name;
        EXPECT_EQ(imported.problems.front().line, c.line) << c.name;
    }
}

} // namespace
} // namespace tarvisk
