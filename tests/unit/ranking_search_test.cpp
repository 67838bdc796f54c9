#include "jobs/ranking/ranking_search.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/hooks.h"
#include "jobs/ranking/ranking_run.h"
#include "jobs/ranking/today_search_page.h"
#include "support/fake_pages.h"
#include "text/encoding.h"
#include "text/numbers.h"
#include "text/text_ops.h"

namespace tarvisk {
namespace {

using test::SearchItem;
using test::SearchPage;

// A page of `count` items with ids base + 1 .. base + count.
std::u16string numberedPage(long long base, int count) {
    std::vector<SearchItem> items;
    for (int k = 1; k <= count; ++k) {
        items.push_back(SearchItem{NumberText(static_cast<double>(base + k))});
    }
    return SearchPage(items);
}

std::u16string idOf(long long base, int k) {
    return NumberText(static_cast<double>(base + k));
}

// A fake search host: one page text per page number (missing pages are empty answers), with the
// address each answer came from and its status where one is given; records the address of every
// request and lower-cases the address variable as the request routine does.
struct FakeSearch {
    FakeSearch() {
        SetClock([] { return Date{2024, 3, 5}; });
    }
    ~FakeSearch() { SetClock({}); }
    FakeSearch(const FakeSearch&) = delete;
    FakeSearch& operator=(const FakeSearch&) = delete;

    std::vector<std::u16string> pages;
    std::vector<std::u16string> addresses;
    std::vector<int> statuses;
    std::vector<std::u16string> requested;

    RankingOptions options() {
        RankingOptions o;
        o.fetch = [this](std::u16string& url) {
            requested.push_back(url);
            std::ranges::transform(url, url.begin(), [](char16_t c) {
                return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
            });
            const std::size_t n = requested.size();
            return FetchedPage(n <= pages.size() ? pages[n - 1] : std::u16string(),
                               HttpAnswer{n <= addresses.size() ? addresses[n - 1] : std::u16string(),
                                          n <= statuses.size() ? statuses[n - 1] : 0});
        };
        return o;
    }
};

ResultTable rankingTable() {
    ResultTable table;
    ListViewSetColumns(table, kRankingColumnTitles, kRankingColumnWidths);
    return table;
}

std::vector<std::u16string> column(const ResultTable& table, const std::u16string& title) {
    std::vector<std::u16string> cells;
    for (int row = 1; row <= table.rowCount(); ++row) {
        cells.push_back(title == u"No." ? table.text(row, 0) : ListViewGetCell(table, title, row));
    }
    return cells;
}

TEST(PositionText, FourItemsARow) {
    const std::tuple<int, int, std::u16string> cases[] = {
        {1, 1, u"1页 1行 第1"}, {1, 4, u"1页 1行 第4"},   {1, 5, u"1页 2行 第1"},
        {2, 7, u"2页 2行 第3"}, {3, 44, u"3页 11行 第4"}, {100, 45, u"100页 12行 第1"},
    };
    for (const auto& [page, k, expected] : cases) {
        EXPECT_EQ(PositionText(page, k), expected) << page << " " << k;
    }
}

TEST(RankingSearchUrl, BuildsTheAddressOnce) {
    EXPECT_EQ(RankingSearchUrl(u"中 a", Date{2024, 3, 5}, u"0.7055475"),
              u"http://s.taobao.com/search?initiative_id=tbindexz_20240305&spm=1.7274553.1997520841.1"
              u"&sourceId=tb.index&search_type=item&ssid=s5-e&commend=all&q=%E4%B8%AD%20a"
              u"&suggest=history_1&_input_charset=utf-8&source=suggest&_0.7055475");
    EXPECT_NE(RankingSearchUrl(u"", Date{987, 12, 31}, u"0.5").find(u"tbindexz_09871231&"), std::u16string::npos);
    EXPECT_NE(RankingSearchUrl(u"", Date{2024, 1, 1}, u"0.5").find(u"&q=&suggest"), std::u16string::npos);
}

TEST(SetPageOffset, FortyFourItemsAPage) {
    const std::tuple<std::u16string, int, std::u16string> cases[] = {
        {u"http://h/search?q=a&_0.5", 1, u"http://h/search?q=a&_0.5&s=0"},
        {u"http://h/search?q=a&_0.5&s=0", 2, u"http://h/search?q=a&_0.5&s=44"},
        {u"http://h/search?q=a&_0.5&s=44", 3, u"http://h/search?q=a&_0.5&s=88"},
        {u"http://h/search?q=a&_0.5&s=4312", 100, u"http://h/search?q=a&_0.5&s=4356"},
        {u"http://h/search?s=44&q=a&s=44", 3, u"http://h/search?s=44&q=a&s=88"},           // only "&s=" counts
        {u"http://h/search?x=1&s=0&q=a&s=44", 4, u"http://h/search?x=1&s=0&q=a&s=132"},    // the last field
        {u"http://h/search?x=1&s=44&q=a&s=44", 5, u"http://h/search?x=1&s=176&q=a&s=176"}, // every copy
        {u"http://h/search?q=a&S=44", 3, u"http://h/search?q=a&s=88"},                     // found ignoring case
    };
    for (const auto& [before, page, after] : cases) {
        std::u16string url = before;
        SetPageOffset(url, page);
        EXPECT_EQ(url, after) << ToUtf8(before) << " page " << page;
    }
}

TEST(ParseRankingPage, PairsTheFieldsOfOneItem) {
    const std::vector<SearchItem> items = {
        {u"12345678901", u"\\u7ea2\\u8272 dress \\/ 2024", u"\\/\\/pics.taobaocdn.com\\/a\\/1.jpg", u"1234人付款"},
        {u"123456789012", u"plain", u"http:\\/\\/x\\/2.png", u"0人付款"},
        {u"1234567890", u"%41%u4E2D", u"", u"99"},
    };
    const std::vector<RankingItem> expected = {
        {u"12345678901", u"//pics.taobaocdn.com/a/1.jpg", u"红色 dress / 2024", u"1234"},
        {u"123456789012", u"http://x/2.png", u"plain", u"0"},
        {u"1234567890", u"", u"A中", u"99"},
    };
    EXPECT_EQ(ParseRankingPage(SearchPage(items)), expected);
}

TEST(ParseRankingPage, WhereTheIdsAreTaken) {
    const std::u16string id = u"{\"nid\":\"11111111111\"}";
    struct Case {
        const char* name;
        std::u16string page;
        std::vector<std::u16string> ids;
    };
    const Case cases[] = {
        {"no marker", u"{\"nid\":\"11111111111\"}", {}},
        {"empty page", u"", {}},
        {"marker is case-sensitive", u"Dynamic" + id, {}},
        {"ids before the marker do not count", id + u"dynamic", {}},
        {"the marker starts the cut", u"dynamic" + id, {u"11111111111"}},
        {"inside the 3000 characters", u"dynamic" + std::u16string(2974, u' ') + id, {u"11111111111"}},
        {"the cut shortens an id", u"dynamic" + std::u16string(2975, u' ') + id, {u"1111111111"}},
        {"the cut leaves too few digits", u"dynamic" + std::u16string(2976, u' ') + id, {}},
        {"the first marker counts", u"dynamic" + std::u16string(3000, u' ') + u"dynamic" + id, {}},
        {"ids of 10 to 12 digits",
         u"dynamic{\"nid\":\"123456789\"}{\"nid\":\"1234567890123\"}{\"NID\":\"2222222222\"}",
         {u"123456789012", u"2222222222"}},
    };
    for (const Case& c : cases) {
        std::vector<std::u16string> ids;
        for (const RankingItem& item : ParseRankingPage(c.page)) {
            ids.push_back(item.id);
        }
        EXPECT_EQ(ids, c.ids) << c.name;
    }
}

TEST(ParseRankingPage, SalesWrittenWithWanCountTenThousands) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"300+人付款", u"300"},
        {u"1234人付款", u"1234"},
        {u"2.0万+人付款", u"20000"},
        {u"1.5万人付款", u"15000"},
        {u"12万+人收货", u"120000"},
        {u"1.25万", u"12500"},
        {u"2.0\\u4e07+\\u4eba\\u4ed8\\u6b3e", u"20000"}, // as the page's JSON may escape it
        {u"3.5\\U4E07", u"35000"},
        {u"2.0 万", u"2"},               // not right after the digits
        {u"1.23456万", u"1"},            // more decimals than a count of 万 carries
        {u"1234567891万", u"123456789"}, // the sales pattern reads at most nine digits
        {u"万", u""},
    };
    for (const auto& [sales, count] : cases) {
        SearchItem item{u"12345678901"};
        item.sales = sales;
        const std::vector<RankingItem> items = ParseRankingPage(SearchPage({item}));
        ASSERT_EQ(items.size(), 1u);
        EXPECT_EQ(items[0].sales, count) << ToUtf8(sales);
    }
}

TEST(ParseRankingPage, FieldsAreCountedFromTheStartOfThePage) {
    // Two pictures for three ids: the third item has none; a stray title before the item list
    // shifts every title by one.
    std::u16string page = u"{\"raw_title\":\"banner\"}" + SearchPage({{u"11111111111"}, {u"22222222222"}});
    page += u"dynamic{\"nid\":\"33333333333\"}";
    const std::vector<RankingItem> items = ParseRankingPage(page);
    ASSERT_EQ(items.size(), 3u); // the first "dynamic" is inside the page's own data section
    EXPECT_EQ(items[0].title, u"banner");
    EXPECT_EQ(items[1].title, u"t");
    EXPECT_EQ(items[2].id, u"33333333333");
    EXPECT_EQ(items[2].picture, u"");
    EXPECT_EQ(items[2].title, u"t");
    EXPECT_EQ(items[2].sales, u"");
}

TEST(RunRankingSearch, WalksEveryPageWithoutATarget) {
    FakeSearch search;
    search.pages = {numberedPage(10000000000, 44), numberedPage(20000000000, 44), numberedPage(30000000000, 3)};
    ResultTable table = rankingTable();
    ListViewAddRow(table, u"id", u"stale row");
    std::vector<std::pair<int, int>> progress;
    RankingOptions options = search.options();
    options.progress = [&](int page, int pages) { progress.emplace_back(page, pages); };
    const RankingResult result =
        RunRankingSearch(RankingQuery{u"软件开发", 3, RankingTarget::OneItem, u"99999999999", {}}, table, options);

    ASSERT_EQ(search.requested.size(), 3u);
    const std::u16string first = search.requested[0];
    EXPECT_TRUE(first.starts_with(u"http://s.taobao.com/search?initiative_id=tbindexz_20240305&"));
    EXPECT_NE(first.find(u"&sourceId=tb.index&"), std::u16string::npos);
    EXPECT_NE(first.find(u"&q=%E8%BD%AF%E4%BB%B6%E5%BC%80%E5%8F%91&"), std::u16string::npos);
    // The random field follows "&_" directly, and the offset comes right after it.
    const std::size_t random = first.find(u"&source=suggest&_0.");
    ASSERT_NE(random, std::u16string::npos);
    const std::u16string tail = first.substr(random + 17);
    EXPECT_TRUE(tail.ends_with(u"&s=0"));
    EXPECT_EQ(tail.find(u'='), tail.size() - 2);
    // Later pages go out with the lower-cased address the request routine left behind.
    std::u16string lowered = first.substr(0, first.size() - 4);
    std::ranges::transform(lowered, lowered.begin(), [](char16_t c) { return c < 128 ? std::tolower(c) : c; });
    EXPECT_EQ(search.requested[1], lowered + u"&s=44");
    EXPECT_EQ(search.requested[2], lowered + u"&s=88");
    EXPECT_NE(search.requested[2].find(u"&sourceid=tb.index&"), std::u16string::npos);
    EXPECT_NE(search.requested[2].find(u"&q=%e8%bd%af"), std::u16string::npos);

    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
    ASSERT_EQ(table.rowCount(), 91);
    EXPECT_EQ(table.text(45, 0), u"45"); // "No." goes on counting across pages
    EXPECT_EQ(ListViewGetCell(table, u"id", 45), idOf(20000000000, 1));
    EXPECT_EQ(ListViewGetCell(table, u"位置", 45), u"2页 1行 第1");
    EXPECT_EQ(ListViewGetCell(table, u"位置", 44), u"1页 11行 第4");
    EXPECT_EQ(ListViewGetCell(table, u"位置", 91), u"3页 1行 第3");
    EXPECT_FALSE(result.found);
    EXPECT_EQ(result.caption, u"未找到");
    EXPECT_EQ(result.toolTip, u"");
}

// The walk reads the page its fetch judged on the way (through the pause, the choice of fetch) from that read.
TEST(RunRankingSearch, ReadsThePageFromTheReadItsFetchHandsOn) {
    ResultTable table = rankingTable();
    RankingOptions options;
    options.fetch = [](std::u16string&) {
        FetchedPage page(u"<html>nothing the readers know</html>");
        SearchPageRead read;
        read.reader = SearchReader::Answer;
        read.kind = PageKind::Normal;
        read.items = {{{u"42054041382", u"//img/1.jpg", u"标题", u"5"}, u"9.90", u"店", u"", false}};
        JudgedOnce<SearchPageRead>(page, [&read](const FetchedPage&) { return read; });
        return page;
    };
    const RankingResult result =
        RunRankingSearch(RankingQuery{u"k", 1, RankingTarget::OneItem, u"42054041382", {}}, table, options);
    EXPECT_TRUE(result.found);
    EXPECT_EQ(result.caption, u"1页 第1个（自然排名第1）");
}

TEST(RunRankingSearch, StopsAtTheTarget) {
    struct Case {
        const char* name;
        RankingQuery query;
        int fetched;
        int rows;
        std::u16string caption;
    };
    const std::u16string seventhOfPage2 = idOf(20000000000, 7);
    const Case cases[] = {
        {"one item, 7th of page 2", {u"k", 3, RankingTarget::OneItem, seventhOfPage2, {}}, 2, 51, u"2页 2行 第3"},
        {"one item, first of page 1",
         {u"k", 3, RankingTarget::OneItem, idOf(10000000000, 1), {}},
         1,
         1,
         u"1页 1行 第1"},
        {"shop items: the first met wins",
         {u"k", 3, RankingTarget::ShopItems, {}, {idOf(30000000000, 2), seventhOfPage2, u"1"}},
         2,
         51,
         u"2页 2行 第3"},
        {"shop mode ignores the item id", {u"k", 3, RankingTarget::ShopItems, seventhOfPage2, {}}, 3, 132, u"未找到"},
        {"item mode ignores the shop ids", {u"k", 3, RankingTarget::OneItem, {}, {seventhOfPage2}}, 3, 132, u"未找到"},
        {"ids are compared as text", {u"k", 3, RankingTarget::OneItem, u" " + seventhOfPage2, {}}, 3, 132, u"未找到"},
        {"no pages", {u"k", 0, RankingTarget::OneItem, seventhOfPage2, {}}, 0, 0, u"未找到"},
        {"a fraction of a page", {u"k", 2.5, RankingTarget::OneItem, u"1", {}}, 2, 88, u"未找到"},
    };
    for (const Case& c : cases) {
        FakeSearch search;
        search.pages = {numberedPage(10000000000, 44), numberedPage(20000000000, 44), numberedPage(30000000000, 44)};
        ResultTable table = rankingTable();
        const RankingResult result = RunRankingSearch(c.query, table, search.options());
        EXPECT_EQ(static_cast<int>(search.requested.size()), c.fetched) << c.name;
        EXPECT_EQ(result.pagesFetched, c.fetched) << c.name;
        EXPECT_EQ(table.rowCount(), c.rows) << c.name;
        EXPECT_EQ(result.caption, c.caption) << c.name;
        EXPECT_EQ(result.found, c.caption != u"未找到") << c.name;
        EXPECT_EQ(result.toolTip, result.found ? u"已找到" : u"") << c.name;
        if (result.found) {
            EXPECT_EQ(ListViewGetCell(table, u"位置", 0.0 + table.rowCount()), c.caption) << c.name;
        }
    }
}

// Today's page: a captured answer of the search endpoint, items given as id and whether paid (item 101 costs 101.00
// in the shop 店101).
FetchedPage todayPage(const std::vector<std::pair<std::u16string, bool>>& items) {
    std::u16string entries;
    for (const auto& [id, paid] : items) {
        entries += std::u16string(entries.empty() ? u"" : u",") + u"{\"item_id\":\"" + id + u"\",\"title\":\"t\"," +
                   u"\"price\":\"" + id + u".00\",\"nick\":\"店" + id + u"\",\"isP4p\":\"" +
                   (paid ? u"true" : u"false") + u"\"}";
    }
    FetchedPage page(u"<div id=\"content_items_wrapper\"></div>");
    page.answers.push_back(
        {u"https://h5api.m.taobao.com/h5/" + std::u16string(kTodaySearchApi) + u"/2.0/?a=1",
         u"mtopjsonp1({\"ret\":[\"SUCCESS::调用成功\"],\"data\":{\"itemsArray\":[" + entries + u"]}})"});
    return page;
}

TEST(RunRankingSearch, TodaysPageCountsEveryItemMarksAdsAndGivesTheNaturalPlace) {
    // Page 1: 101 (ad), 102, 103 (ad), 104; page 2: 201 (ad), 202, 203, 204 (ad).
    const std::vector<FetchedPage> pages = {
        todayPage({{u"101", true}, {u"102", false}, {u"103", true}, {u"104", false}}),
        todayPage({{u"201", true}, {u"202", false}, {u"203", false}, {u"204", true}})};
    const struct {
        const char* name;
        std::u16string target;
        bool firstPageUnread;
        std::u16string caption;
    } cases[] = {
        {"an unpaid item counts the unpaid items from page 1", u"203", false, u"2页 第3个（自然排名第4）"},
        {"a paid placement is marked and has no natural place", u"204", false, u"2页 第4个（广告）"},
        {"after a page not read the natural place is not known", u"203", true, u"2页 第3个"},
    };
    for (const auto& c : cases) {
        RankingOptions options;
        int fetched = 0;
        options.fetch = [&](std::u16string&) {
            const FetchedPage& page = pages[fetched++];
            return c.firstPageUnread && fetched == 1 ? FetchedPage(u"<html>维护中</html>") : page;
        };
        ResultTable table = rankingTable();
        const RankingResult result = RunRankingSearch({u"k", 2, RankingTarget::OneItem, c.target, {}}, table, options);
        EXPECT_EQ(result.caption, c.caption) << c.name;
        EXPECT_EQ(result.positionKind, RankingPositionKind::Place) << c.name;
        std::vector<std::u16string> shown = {u"1页 第1个（广告）", u"1页 第2个",         u"1页 第3个（广告）",
                                             u"1页 第4个",         u"2页 第1个（广告）", u"2页 第2个",
                                             u"2页 第3个",         u"2页 第4个（广告）"};
        shown.erase(shown.begin(), shown.begin() + (c.firstPageUnread ? 4 : 0));
        shown.resize(static_cast<std::size_t>(table.rowCount()));
        EXPECT_EQ(column(table, u"位置"), shown) << c.name;
    }
}

TEST(RunRankingSearch, KeepsEveryRowItListedForTheHistory) {
    const std::vector<FetchedPage> pages = {todayPage({{u"101", true}, {u"102", false}}),
                                            todayPage({{u"201", false}, {u"202", false}})};
    RankingOptions options;
    std::size_t fetched = 0;
    options.fetch = [&](std::u16string&) { return pages[fetched++]; };
    TrackedWalk walk{{u"k", 2, RankingTarget::OneItem, u"201", {}}, ItemTarget(u"201")};
    ResultTable table = rankingTable();
    const RankingResult result = RunRankingSearch(walk.query, table, options);
    EXPECT_TRUE(result.found);
    const auto run = FinishedRun(walk, result, 5);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->items, (std::vector<RunItem>{
                              {1, 1, 1, u"1页 第1个（广告）", u"101", u"t", u"店101", u"101.00", u"", true},
                              {2, 1, 2, u"1页 第2个", u"102", u"t", u"店102", u"102.00", u"", false},
                              {3, 2, 1, u"2页 第1个", u"201", u"t", u"店201", u"201.00", u"", false},
                          }));
}

// A gateway that answers page 1 whatever page is asked: the walk did not advance, and has no answer.
TEST(RunRankingSearch, APageThatRepeatsAnEarlierOneEndsTheWalkIncomplete) {
    const FetchedPage first = todayPage({{u"101", false}, {u"102", false}});
    RankingOptions options;
    int fetched = 0;
    options.fetch = [&](std::u16string&) {
        ++fetched;
        return first;
    };
    ResultTable table = rankingTable();
    const RankingResult result = RunRankingSearch({u"k", 3, RankingTarget::OneItem, u"999", {}}, table, options);
    EXPECT_EQ(fetched, 2);
    EXPECT_EQ(table.rowCount(), 2);
    EXPECT_EQ(result.caption, u"结果不完整");
    ASSERT_EQ(result.unreadPages.size(), 1U);
    EXPECT_EQ(result.unreadPages.front().kind, PageKind::Repeated);
    EXPECT_NE(RankingUnreadMessage(result).find(u"第2页停止：和前面的页相同：淘宝没有翻页"), std::u16string::npos);
}

TEST(RunRankingSearch, FillsEachRowInOrder) {
    FakeSearch search;
    search.pages = {SearchPage({{u"12345678901", u"\\u7ea2 a", u"http:\\/\\/p\\/1.jpg", u"7人付款"}})};
    ResultTable table = rankingTable();
    std::vector<std::u16string> events;
    table.setObserver([&](const TableChange& change) {
        if (change.kind == TableChange::Kind::RowAdded) {
            events.push_back(u"row " + NumberText(change.row));
        } else if (change.kind == TableChange::Kind::CellChanged) {
            events.push_back(table.columns()[change.column].title + u"=" + table.text(change.row, change.column));
        }
    });
    std::vector<RankingRow> rows;
    RankingOptions options = search.options();
    options.rowAdded = [&](const RankingRow& row) { rows.push_back(row); };
    RunRankingSearch(RankingQuery{u"k", 1, RankingTarget::OneItem, u"12345678901", {}}, table, options);

    const std::vector<std::u16string> expected = {
        u"row 1", u"id=12345678901", u"图片=http://p/1.jpg", u"宝贝名=红 a", u"位置=1页 1行 第1", u"销售量=7",
    };
    EXPECT_EQ(events, expected);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].number, 1);
    EXPECT_EQ(rows[0].position, u"1页 1行 第1");
    EXPECT_EQ(rows[0].item, (RankingItem{u"12345678901", u"http://p/1.jpg", u"红 a", u"7"}));
}

TEST(RunRankingSearch, PagesWithoutItemsAddNoRows) {
    FakeSearch search;
    // Page 2 has no marker: nothing of page 1 may be scanned again. Page 3 is an empty answer.
    search.pages = {numberedPage(10000000000, 2), u"<html>没有找到相关的宝贝</html>", u"",
                    numberedPage(40000000000, 1)};
    ResultTable table = rankingTable();
    RunRankingSearch(RankingQuery{u"k", 4, RankingTarget::OneItem, u"1", {}}, table, search.options());
    EXPECT_EQ(search.requested.size(), 4u);
    EXPECT_EQ(column(table, u"位置"), (std::vector<std::u16string>{u"1页 1行 第1", u"1页 1行 第2", u"4页 1行 第1"}));
    EXPECT_EQ(column(table, u"No."), (std::vector<std::u16string>{u"1", u"2", u"3"}));
}

TEST(RunRankingSearch, ALoginOrVerificationPageEndsTheWalkAndTheRowsBeforeItStay) {
    const std::u16string login = u"https://login.taobao.com/member/login.jhtml?redirectURL=http%3A%2F%2Fs.taobao.com";
    const std::u16string punish = u"http://s.taobao.com//search/_____tmd_____/punish?x5secdata=x";
    struct Case {
        const char* name;
        int page; // the page that is not a result page
        std::u16string text;
        std::u16string address;
        PageKind kind;
        std::u16string shown; // the address the walk names; empty: the one it asked for
    };
    const Case cases[] = {
        {"slider at the first page", 1, u"<div id=\"nc_1_n1z\" class=\"nc_iconfont btn_slide\"></div>", u"",
         PageKind::Verification, u""},
        {"slider at a later page", 3, u"<p>亲，访问受限了</p>", u"", PageKind::Verification, u""},
        {"redirect to punish", 2, u"<html></html>", punish, PageKind::Verification, punish},
        {"redirect to login, not followed", 2, u"", login, PageKind::Login, login},
        {"login form at a later page", 4, u"<form action=\"/member/login.jhtml\"><input name=\"TPL_username\">", u"",
         PageKind::Login, u""},
    };
    for (const Case& c : cases) {
        FakeSearch search;
        for (int page = 1; page < c.page; ++page) {
            search.pages.push_back(numberedPage(10000000000LL * page, 3));
        }
        search.pages.push_back(c.text);
        search.addresses.resize(c.page);
        search.addresses.back() = c.address;
        search.pages.push_back(numberedPage(90000000000, 3));
        ResultTable table = rankingTable();
        const RankingResult result =
            RunRankingSearch(RankingQuery{u"k", 10, RankingTarget::OneItem, u"1", {}}, table, search.options());

        EXPECT_EQ(search.requested.size(), static_cast<std::size_t>(c.page)) << c.name;
        EXPECT_EQ(table.rowCount(), 3 * (c.page - 1)) << c.name;
        EXPECT_FALSE(result.found) << c.name;
        EXPECT_FALSE(result.conclusive()) << c.name;
        EXPECT_TRUE(result.endedAtUnreadPage) << c.name;
        // Without an address of its own, the page is named by the walk's address variable, which the
        // request has lower-cased.
        const std::u16string shown = c.shown.empty() ? LowerAscii(search.requested.back()) : c.shown;
        EXPECT_EQ(result.unreadPages, (std::vector<UnreadPage>{{c.page, c.kind, shown}})) << c.name;
        EXPECT_EQ(result.caption, kRankingIncomplete) << c.name;
        EXPECT_NE(RankingUnreadMessage(result).find(u"在第" + NumberText(c.page) + u"页停止"), std::u16string::npos)
            << c.name;
    }
}

TEST(RunRankingSearch, APageThatIsNoResultPageIsUnreadAndTheWalkGoesOn) {
    struct Case {
        const char* name;
        std::u16string page2; // page 2 as it is answered
        int status;
        PageKind kind; // Normal: page 2 is read
    };
    const std::u16string busy = u"<html><body><h1>系统繁忙，请稍后再试</h1></body></html>";
    const Case cases[] = {
        {"no answer at all", u"", 0, PageKind::Empty},
        {"only blanks", u" \r\n\t\u3000", 200, PageKind::Empty},
        {"503 busy", busy, 503, PageKind::ErrorStatus},
        {"500 with a result page", numberedPage(20000000000, 3), 500, PageKind::ErrorStatus},
        {"an unknown status", busy, 999, PageKind::ErrorStatus},
        {"a page of no search", u"<html><body>garbage</body></html>", 200, PageKind::Unrecognised},
        {"a search without results", u"<div class=\"m-noresult\">没有找到相关的宝贝</div>", 200, PageKind::Normal},
    };
    // Pages 1 and 3 hold the ids 10000000001..3 and 30000000001..3.
    const std::u16string target = idOf(30000000000, 2);
    for (const Case& c : cases) {
        for (const bool targetOnPage3 : {false, true}) {
            FakeSearch search;
            search.pages = {numberedPage(10000000000, 3), c.page2, numberedPage(30000000000, 3)};
            search.statuses = {200, c.status, 200};
            ResultTable table = rankingTable();
            const RankingResult result =
                RunRankingSearch(RankingQuery{u"k", 3, RankingTarget::OneItem, targetOnPage3 ? target : u"1", {}},
                                 table, search.options());
            const std::string name = std::string(c.name) + (targetOnPage3 ? ", found after it" : ", not found");
            EXPECT_EQ(search.requested.size(), 3u) << name;
            EXPECT_EQ(table.rowCount(), targetOnPage3 ? 5 : 6) << name; // page 2 lists nothing
            const std::vector<UnreadPage> unread = c.kind == PageKind::Normal
                                                       ? std::vector<UnreadPage>{}
                                                       : std::vector<UnreadPage>{{2, c.kind, search.requested[1]}};
            EXPECT_EQ(result.unreadPages, unread) << name;
            EXPECT_FALSE(result.endedAtUnreadPage) << name;
            EXPECT_EQ(result.caption, targetOnPage3    ? u"3页 1行 第2"
                                      : unread.empty() ? kRankingNotFound
                                                       : kRankingIncomplete)
                << name;
            EXPECT_EQ(RankingUnreadMessage(result).empty(), result.conclusive()) << name;
        }
    }
}

TEST(RankingUnreadMessage, NamesThePagesAndTheReasons) {
    RankingResult result;
    result.unreadPages = {{2, PageKind::Empty, u"a"}, {5, PageKind::Empty, u"b"}};
    EXPECT_EQ(RankingUnreadMessage(result),
              u"在读到的页面中没有找到目标宝贝，但第2、5页没有读到（淘宝返回了空白页），所以“未找到”并不可信。"
              u"请稍后重新查询。");
    result.unreadPages.push_back({7, PageKind::Verification, u"c"});
    result.endedAtUnreadPage = true;
    EXPECT_EQ(RankingUnreadMessage(result),
              u"排名查询在第7页停止：淘宝要求安全验证（滑块或访问受限），没有找到目标宝贝。之前各页的宝贝已列出。"
              u"另外，第2、5页没有读到（淘宝返回了空白页）。请先在浏览器中通过验证，再重新查询。");
    result.unreadPages = {{2, PageKind::Empty, u"a"}, {3, PageKind::ErrorStatus, u"b"}, {5, PageKind::Empty, u"c"}};
    result.endedAtUnreadPage = false;
    EXPECT_EQ(
        RankingUnreadMessage(result),
        u"在读到的页面中没有找到目标宝贝，但第2、5页没有读到（淘宝返回了空白页），第3页没有读到（淘宝的服务器出错或"
        u"繁忙，返回了错误页），所以“未找到”并不可信。请稍后重新查询。");
    result.unreadPages = {{1, PageKind::Login, u"d"}};
    result.endedAtUnreadPage = true;
    EXPECT_EQ(RankingUnreadMessage(result),
              u"排名查询在第1页停止：淘宝要求登录，没有找到目标宝贝。之前各页的宝贝已列出。请先登录淘宝，再重新查询。");
    result.found = true;
    EXPECT_EQ(RankingUnreadMessage(result), u"");
}

TEST(RunRankingSearch, TheSameIdTwiceGivesTwoRows) {
    FakeSearch search;
    search.pages = {SearchPage({{u"12345678901"}, {u"12345678901"}}), SearchPage({{u"12345678901"}})};
    ResultTable table = rankingTable();
    RunRankingSearch(RankingQuery{u"k", 2, RankingTarget::OneItem, u"2", {}}, table, search.options());
    EXPECT_EQ(column(table, u"id"), std::vector<std::u16string>(3, u"12345678901"));
    EXPECT_EQ(column(table, u"位置"), (std::vector<std::u16string>{u"1页 1行 第1", u"1页 1行 第2", u"2页 1行 第1"}));
}

TEST(RunRankingSearch, CancelKeepsTheRowsFoundSoFar) {
    std::atomic<bool> cancel = false;
    FakeSearch search;
    search.pages = {numberedPage(10000000000, 5), numberedPage(20000000000, 5), numberedPage(30000000000, 5)};
    RankingOptions options = search.options();
    options.cancel = &cancel;
    options.rowAdded = [&](const RankingRow& row) {
        if (row.number == 7) {
            cancel = true; // pressed while page 2 is being listed
        }
    };
    ResultTable table = rankingTable();
    const RankingResult result =
        RunRankingSearch(RankingQuery{u"k", 10, RankingTarget::OneItem, u"1", {}}, table, options);
    EXPECT_EQ(search.requested.size(), 2u);
    EXPECT_EQ(table.rowCount(), 10);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.caption, u"已取消");
    EXPECT_EQ(result.pagesRead, 2);
    EXPECT_EQ(RankingCancelledText(result.pagesRead), u"已取消：读到第2页");
    EXPECT_FALSE(CancelRequested());
}

TEST(RunRankingSearch, APageWhoseRequestTheUserCutShortIsNotRead) {
    std::atomic<bool> cancel = false;
    RankingOptions options;
    options.cancel = &cancel;
    int fetched = 0;
    options.fetch = [&](std::u16string&) {
        if (++fetched == 3) {
            cancel = true; // the request of page 3 gives up
            return std::u16string();
        }
        return numberedPage(10000000000 + fetched * 1000LL, 2);
    };
    ResultTable table = rankingTable();
    const RankingResult result =
        RunRankingSearch(RankingQuery{u"k", 10, RankingTarget::OneItem, u"1", {}}, table, options);
    EXPECT_EQ(result.pagesFetched, 3);
    EXPECT_EQ(result.pagesRead, 2);
    EXPECT_EQ(table.rowCount(), 4);
    EXPECT_EQ(result.caption, u"已取消");
    EXPECT_EQ(RankingCancelledText(0), u"已取消：还没读完第1页");
}

TEST(RunRankingSearch, AStopAfterTheLastPageWasReadStopsNothing) {
    std::atomic<bool> cancel = false;
    FakeSearch search;
    search.pages = {numberedPage(10000000000, 5), numberedPage(20000000000, 5)};
    RankingOptions options = search.options();
    options.cancel = &cancel;
    options.rowAdded = [&](const RankingRow& row) {
        cancel = row.number == 10; // pressed as the last row of the last page comes in
    };
    ResultTable table = rankingTable();
    const RankingResult result =
        RunRankingSearch(RankingQuery{u"k", 2, RankingTarget::OneItem, u"1", {}}, table, options);
    EXPECT_EQ(result.pagesRead, 2);
    EXPECT_FALSE(result.cancelled);
    EXPECT_EQ(result.caption, kRankingNotFound);
}

TEST(RunRankingSearch, WalksAtMostAHundredPages) {
    FakeSearch search;
    ResultTable table = rankingTable();
    const RankingResult result =
        RunRankingSearch(RankingQuery{u"k", 1e9, RankingTarget::OneItem, u"1", {}}, table, search.options());
    EXPECT_EQ(result.pagesFetched, 100);
    EXPECT_TRUE(search.requested.back().ends_with(u"&s=4356"));
}

TEST(BoundedPagesText, HeldBetweenOneAndAHundred) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"10", u"10"},   {u"0", u"1"},     {u"-5", u"1"},    {u"abc", u"1"},           {u"", u"1"},
        {u"150", u"100"}, {u"100", u"100"}, {u"2.5", u"2.5"}, {u"7 pages", u"7 pages"}, {u"100.5", u"100"},
    };
    for (const auto& [typed, held] : cases) {
        EXPECT_EQ(BoundedPagesText(typed), held) << ToUtf8(typed);
    }
}

TEST(WalkedKeyword, WithoutTheBlanksAroundIt) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u" 软件开发 ", u"软件开发"},
        {u"\u3000连衣裙\t\r\n", u"连衣裙"},
        {u"男士  外套", u"男士  外套"},
        {u" \u3000 ", u""},
        {u"x", u"x"},
    };
    for (const auto& [typed, walked] : cases) {
        EXPECT_EQ(WalkedKeyword(typed), walked) << ToUtf8(typed);
        EXPECT_EQ(IsBlankKeyword(typed), walked.empty()) << ToUtf8(typed);
    }
}

TEST(ItemIdFromText, TheAddressesIdElseTheLastRunOfNineToTwelveDigits) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"42054041382", u"42054041382"},
        {u"http://item.taobao.com/item.htm?spm=a1z10.1&id=42054041382", u"42054041382"},
        // The id= of an item address wins over the numbers after it.
        {u"https://detail.tmall.com/item.htm?id=42054041382&skuId=4987654321", u"42054041382"},
        {u"https://item.taobao.com/item.htm?ID=520813250866&ns=1&abbucket=12&spm=a21n57.1.0.0.123456789",
         u"520813250866"},
        {u"https://h5.m.taobao.com/awp/core/detail.htm?item_id=42054041382&sku_id=4987654321", u"42054041382"},
        {u"https://a.m.tmall.com/i42054041382.htm?skuId=4987654321&id=123", u"4987654321"}, // no id= of 9-12 digits
        {u"https://x/item.htm?skuId=4987654321", u"4987654321"},                            // skuId= is not id=
        {u"https://x/item.htm?id=1234567890123&pid=987654321", u"987654321"},               // 13 digits are no id
        {u"12345678", u""},
        {u"1234567890123", u"123456789012"},
        {u"123456789012345678901", u"345678901"},
        {u"", u""},
    };
    for (const auto& [text, id] : cases) {
        EXPECT_EQ(ItemIdFromText(text), id) << ToUtf8(text);
    }
}

} // namespace
} // namespace tarvisk
