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

TEST(ChecksCsv, WritesEveryFactTheListAndThePreviousCheckInChinese) {
    CheckRow reported;
    reported.account = u"刷单小号";
    reported.facts = test::SampleFacts(u"刷单小号", 75, 7, Verdict::Unsafe);
    reported.checkedAt = 1714543402;
    reported.listed = ListEntry{u"刷单小号", BuyerList::Block, u"拍下不付款, 差评", 0};
    reported.previous = StoredCheck{1, 1714000000, test::SampleFacts(u"刷单小号")};
    CheckRow unknown = reported;
    StoreProblem locked;
    locked.kind = StoreProblemKind::Locked;
    unknown.listed = StoredValue<ListEntry>::Unknown(locked);
    unknown.previous = StoredValue<StoredCheck>::Unknown(locked);
    CheckRow stopped;
    stopped.account = u"被封账号";
    stopped.message = u"对不起，亲输入的淘宝账号已被查封";

    const std::string bytes = ChecksCsv({reported, unknown, stopped});
    ASSERT_EQ(bytes.rfind("\xEF\xBB\xBF", 0), 0u);
    const std::vector<std::string> rows = lines(bytes.substr(3));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0],
              "查询时间,账号,注册时间,注册天数,新账号,用户ID,评价页,好评率,实名认证,角色,卖家信用,买家信用,"
              "本周好评,本周中评,本周差评,本月好评,本月中评,本月差评,结论,名单,备注,上次查询时间,上次结论,说明");
    const std::string facts =
        LocalTimeText(1714543402) +
        ",刷单小号,2014年11月26日,3500,否,UvCHYvmcuOFIbvmNT0lTQSRgMOmHb8QT,"
        "http://rate.taobao.com/user-rate-UvCHYvmcuOFIbvmNT0lTQSRgMOmHb8QT.htm,99.85%,个人认证,买家,"
        "0,75,7,0,0,9,0,1,不安全,";
    EXPECT_EQ(rows[1], facts + "黑名单,\"拍下不付款, 差评\"," + LocalTimeText(1714000000) + ",安全,");
    EXPECT_EQ(rows[2], facts + "名单状态未知,,上次查询未知,,");
    EXPECT_EQ(rows[3], ",被封账号,,,,,,,,,,,,,,,,,,,,,,对不起，亲输入的淘宝账号已被查封");
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
              "\xEF\xBB\xBF序号,宝贝名,位置,宝贝ID,图片,销售量\r\n"
              "1,\"软件开发, \"\"定制\"\"\",1页 1行 第1,\"=\"\"1234567890123456789\"\"\",//img.example/a.jpg,300\r\n");
    // The walk's keyword and time lead every row.
    const std::pair<std::u16string, std::u16string> walk[] = {{u"关键字", u"连衣裙"},
                                                              {u"查询时间", u"2026-12-08 17:20"}};
    EXPECT_TRUE(ResultTableCsv(table, u"id", walk)
                    .starts_with("\xEF\xBB\xBF关键字,查询时间,序号,宝贝名,位置,宝贝ID,图片,销售量\r\n"
                                 "连衣裙,2026-12-08 17:20,1,"));
}

TEST(ShopListingCsv, WritesIdsAndTitles) {
    EXPECT_EQ(ShopListingCsv({{u"42054041382", u"=SUM(1)"}, {u"520000000001", u"正品"}}),
              "\xEF\xBB\xBF宝贝ID,宝贝标题\r\n\"=\"\"42054041382\"\"\",'=SUM(1)\r\n\"=\"\"520000000001\"\"\",正品\r\n");
}

class WriteCsvFileTest : public test::ScratchStore {};

TEST_F(WriteCsvFileTest, ReplacesTheFileWholeOrLeavesItAlone) {
    const std::filesystem::path file = m_folder / "结果.csv";
    ASSERT_TRUE(WriteCsvFile(file, "old"));
    ASSERT_TRUE(WriteCsvFile(file, "new"));
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), "new");
    EXPECT_FALSE(WriteCsvFile(m_folder / "missing" / "x.csv", "x"));
    EXPECT_FALSE(WriteCsvFile(m_folder, "x"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_folder), {}), 1);
}

TEST_F(WriteCsvFileTest, AnExportedFileHasTheModeTheUsersUmaskGives) {
    const std::filesystem::path file = m_folder / "结果.csv";
    for (const auto& [mask, mode] : {std::pair<mode_t, mode_t>{022, 0644}, {077, 0600}, {002, 0664}}) {
        std::filesystem::remove(file);
        const mode_t before = ::umask(mask);
        const bool written = WriteCsvFile(file, "x");
        ::umask(before);
        ASSERT_TRUE(written);
        struct stat info {};
        ASSERT_EQ(::stat(file.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, mode) << std::oct << mask;
    }
}

} // namespace
} // namespace tarvisk
