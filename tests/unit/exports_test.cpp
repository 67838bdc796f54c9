#include "store/exports.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "jobs/ranking/ranking_search.h"
#include "core/date.h"
#include "text/encoding.h"
#include "store_test_support.h"

namespace tarvisk {
namespace {

std::vector<std::string> lines(const std::string& bytes) {
    std::vector<std::string> result;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
        result.push_back(bytes.substr(start, end - start));
    }
    return result;
}

TEST(ChecksCsv, WritesEveryFactTheListAndThePreviousCheck) {
    CheckRow reported;
    reported.account = u"刷单小号";
    reported.facts = test::SampleFacts(u"刷单小号", 75, 7, Verdict::Unsafe);
    reported.checkedAt = 1714543402;
    reported.listed = ListEntry{u"刷单小号", BuyerList::Block, u"拍下不付款, 差评", 0};
    reported.previous = StoredCheck{1, 1714000000, test::SampleFacts(u"刷单小号")};
    CheckRow stopped;
    stopped.account = u"被封账号";
    stopped.message = u"对不起，亲输入的淘宝账号已被查封";

    const std::string bytes = ChecksCsv({reported, stopped});
    ASSERT_EQ(bytes.rfind("\xEF\xBB\xBF", 0), 0u);
    const std::vector<std::string> rows = lines(bytes.substr(3));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], "checked_at,account,registration_date,days_since_registration,new_account,user_id,rating_link,"
                       "good_rate,certification,role,seller_credit,buyer_credit,week_good,week_neutral,week_bad,"
                       "month_good,month_neutral,month_bad,verdict,list,note,previous_checked_at,previous_verdict,"
                       "message");
    EXPECT_EQ(rows[1], LocalTimeText(1714543402) +
                           ",刷单小号,2014年11月26日,3500,false,UvCHYvmcuOFIbvmNT0lTQSRgMOmHb8QT,"
                           "http://rate.taobao.com/user-rate-UvCHYvmcuOFIbvmNT0lTQSRgMOmHb8QT.htm,99.85,personal,buyer,"
                           "0,75,7,0,0,9,0,1,不安全,block,\"拍下不付款, 差评\"," +
                           LocalTimeText(1714000000) + ",安全,");
    EXPECT_EQ(rows[2], ",被封账号,,,,,,,,,,,,,,,,,,,,,,对不起，亲输入的淘宝账号已被查封");
}

TEST(HistoryRows, GiveEachCheckTheOneBeforeItOfItsAccountAndTheListEntry) {
    const std::vector<StoredCheck> checks = {
        {4, 400, test::SampleFacts(u"a", 4)},
        {3, 300, test::SampleFacts(u"b", 3)},
        {2, 200, test::SampleFacts(u"a", 2)},
        {1, 100, test::SampleFacts(u"a", 1)},
    };
    const std::vector<CheckRow> rows = HistoryRows(checks, {{u"a", BuyerList::Allow, u"老客户", 0}});
    ASSERT_EQ(rows.size(), 4u);
    const std::int64_t previous[] = {200, 0, 100, 0};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].checkedAt, checks[i].checkedAt);
        EXPECT_EQ(rows[i].facts->buyerCredit, checks[i].facts.buyerCredit);
        EXPECT_EQ(rows[i].previous ? rows[i].previous->checkedAt : 0, previous[i]) << i;
        EXPECT_EQ(rows[i].listed.has_value(), rows[i].account == u"a") << i;
    }
}

TEST(ResultTableCsv, WritesTheTableAsShownWithItsIdsKept) {
    ResultTable table;
    ListViewSetColumns(table, kRankingColumnTitles, kRankingColumnWidths);
    const int row = table.addRow();
    const std::u16string cells[] = {u"软件开发, \"定制\"", u"1页 1行 第1", u"1234567890123456789",
                                    u"//img.example/a.jpg", u"300"};
    for (int column = 1; column <= 5; ++column) {
        table.setText(row, column, cells[column - 1]);
    }
    EXPECT_EQ(ResultTableCsv(table, u"id"),
              "\xEF\xBB\xBFNo.,宝贝名,位置,id,图片,销售量\r\n"
              "1,\"软件开发, \"\"定制\"\"\",1页 1行 第1,\"=\"\"1234567890123456789\"\"\",//img.example/a.jpg,300\r\n");
}

TEST(ShopListingCsv, WritesIdsAndTitles) {
    EXPECT_EQ(ShopListingCsv({{u"42054041382", u"=SUM(1)"}, {u"520000000001", u"正品"}}),
              "\xEF\xBB\xBFid,title\r\n\"=\"\"42054041382\"\"\",'=SUM(1)\r\n\"=\"\"520000000001\"\"\",正品\r\n");
}

class WriteCsvFileTest : public test::ScratchStore {};

TEST_F(WriteCsvFileTest, ReplacesTheFileWholeOrLeavesItAlone) {
    const std::filesystem::path file = m_folder / "结果.csv";
    ASSERT_TRUE(WriteCsvFile(file, "old"));
    ASSERT_TRUE(WriteCsvFile(file, "new"));
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), "new");
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    EXPECT_FALSE(WriteCsvFile(m_folder / "missing" / "x.csv", "x"));
    EXPECT_FALSE(WriteCsvFile(m_folder, "x"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_folder), {}), 1);
}

} // namespace
} // namespace tarvisk
