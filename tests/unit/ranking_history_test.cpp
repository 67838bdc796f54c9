#include "store/ranking_history.h"

#include <string>
#include <vector>

#include <SQLiteCpp/Database.h>
#include <gtest/gtest.h>

#include "store/exports.h"
#include "store/local_store.h"
#include "text/encoding.h"
#include "store_test_support.h"

namespace tarvisk {
namespace {

class RankingHistoryTest : public test::ScratchStore {};

RankingRun foundRun(const std::u16string& keyword, std::int64_t ranAt, int number,
                    const TrackedTarget& target = {RankingTarget::OneItem, u"42054041382"}) {
    RankingRun run;
    run.ranAt = ranAt;
    run.keyword = keyword;
    run.target = target;
    run.outcome = RankingOutcome::Found;
    run.page = (number - 1) / 44 + 1;
    const int ordinal = (number - 1) % 44 + 1;
    run.row = (ordinal - 1) / 4 + 1;
    run.column = (ordinal - 1) % 4 + 1;
    run.number = number;
    run.itemId = target.kind == RankingTarget::OneItem ? target.value : u"40000000001";
    run.itemTitle = u"连衣裙 <b>夏</b>";
    run.pagesAsked = 10;
    run.pagesWalked = run.page;
    return run;
}

RankingRun otherRun(const std::u16string& keyword, std::int64_t ranAt, RankingOutcome outcome,
                    const TrackedTarget& target = {RankingTarget::OneItem, u"42054041382"}) {
    RankingRun run;
    run.ranAt = ranAt;
    run.keyword = keyword;
    run.target = target;
    run.outcome = outcome;
    run.pagesAsked = 3;
    run.pagesWalked = 3;
    if (outcome == RankingOutcome::Incomplete) {
        run.unreadPages = {{2, PageKind::Empty, u"http://s.taobao.com/search?q=a&s=44"},
                           {3, PageKind::Verification, u"https://sec.taobao.com/query.htm"}};
    }
    return run;
}

/// A run that found its item on today's page 2 at `place`, paid or at `natural` among the unpaid items.
RankingRun todayRun(std::int64_t ranAt, int place, bool paid, int natural) {
    RankingRun run = foundRun(u"连衣裙", ranAt, kRankingItemsPerPage + place);
    run.positionKind = RankingPositionKind::Place;
    run.paid = paid;
    run.naturalPlace = natural;
    return run;
}

std::vector<std::int64_t> timesOf(const std::vector<RankingRun>& runs) {
    std::vector<std::int64_t> times;
    for (const RankingRun& run : runs) {
        times.push_back(run.ranAt);
    }
    return times;
}

TEST(TrackedTargets, NameAnItemByItsIdAndAShopByItsHost) {
    const struct {
        TrackedTarget target;
        std::u16string value;
        std::u16string text;
    } cases[] = {
        {ItemTarget(u"42054041382"), u"42054041382", u"宝贝 42054041382"},
        {ItemTarget(u"http://item.taobao.com/item.htm?id=42054041382&spm=1"), u"42054041382", u"宝贝 42054041382"},
        {ShopTarget(u"http://DemoShop1.taobao.com/"), u"demoshop1.taobao.com", u"店铺 demoshop1.taobao.com"},
        {ShopTarget(u" demoshop1.taobao.com "), u"demoshop1.taobao.com", u"店铺 demoshop1.taobao.com"},
        {ShopTarget(u"demoshop1.taobao.com/search.htm"), u"demoshop1.taobao.com", u"店铺 demoshop1.taobao.com"},
        {ShopTarget(u"  "), u"", u"店铺 "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.target.value, c.value) << ToUtf8(c.text);
        EXPECT_EQ(TrackedTargetText(c.target), c.text);
    }
}

TEST(FinishedRun, GivesWhereTheTargetStoodOrWhetherTheWalkHasAnAnswer) {
    TrackedWalk walk;
    walk.query.keyword = u"连衣裙";
    walk.query.pages = 3.7;
    walk.target = ItemTarget(u"42054041382");
    const UnreadPage empty{2, PageKind::Empty, u"http://s.taobao.com/search?s=44"};

    RankingResult found;
    found.found = true;
    found.pagesFetched = 2;
    found.foundRow = RankingRow{
        51, u"2页 2行 第3", {u"42054041382", u"", u"标题", u""}, 2, 7, RankingPositionKind::Grid, false, 0, {}, {}};
    const auto run = FinishedRun(walk, found, 1714543402);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->outcome, RankingOutcome::Found);
    EXPECT_EQ(run->ranAt, 1714543402);
    EXPECT_EQ(run->keyword, u"连衣裙");
    EXPECT_EQ((std::vector{run->page, run->row, run->column, run->number}), (std::vector{2, 2, 3, 51}));
    EXPECT_EQ(run->itemTitle, u"标题");
    EXPECT_EQ(run->pagesAsked, 3);
    EXPECT_EQ(run->pagesWalked, 2);
    EXPECT_EQ(RankingOutcomeText(*run), u"2页 2行 第3 (#51)");

    const struct {
        const char* name;
        int fetched;
        std::vector<UnreadPage> unread;
        bool cancelled;
        std::optional<RankingOutcome> outcome;
    } cases[] = {
        {"every page read", 3, {}, false, RankingOutcome::NotFound},
        {"a page not read", 3, {empty}, false, RankingOutcome::Incomplete},
        {"stopped by the user", 2, {}, true, std::nullopt},
        {"a walk of no page", 0, {}, false, std::nullopt},
    };
    for (const auto& c : cases) {
        RankingResult result;
        result.pagesFetched = c.fetched;
        result.unreadPages = c.unread;
        result.cancelled = c.cancelled;
        const auto notFound = FinishedRun(walk, result, 5);
        ASSERT_EQ(notFound.has_value(), c.outcome.has_value()) << c.name;
        if (notFound) {
            EXPECT_EQ(notFound->outcome, *c.outcome) << c.name;
            EXPECT_EQ(notFound->unreadPages, c.unread) << c.name;
            EXPECT_EQ(notFound->number, 0) << c.name;
        }
    }
    // A walk stopped after it found its target has its answer.
    found.cancelled = true;
    EXPECT_TRUE(FinishedRun(walk, found, 5));
}

/// A run that found its target at `place` on the result pages of a walk of `pagesAsked` pages, met as the walk's row
/// `number`.
RankingRun foundAt(int place, int number, int pagesAsked = 10) {
    RankingRun run = foundRun(u"k", 1, place);
    run.number = number;
    run.pagesAsked = pagesAsked;
    return run;
}

RankingRun notFoundWithin(int pagesAsked) {
    RankingRun run = otherRun(u"k", 1, RankingOutcome::NotFound);
    run.pagesAsked = pagesAsked;
    return run;
}

TEST(RankingChangeText, ComparesLikeWithLike) {
    const RankingRun at51 = foundRun(u"k", 1, 51);
    const RankingRun at48 = foundRun(u"k", 2, 48);
    const RankingRun notFound = otherRun(u"k", 3, RankingOutcome::NotFound);
    const RankingRun incomplete = otherRun(u"k", 4, RankingOutcome::Incomplete);
    const struct {
        std::optional<RankingRun> previous;
        RankingRun run;
        std::u16string text;
    } cases[] = {
        {std::nullopt, at51, u"首次查询"},
        {at51, at48, u"↑3"},
        {at48, at51, u"↓3"},
        {at48, at48, u"持平"},
        {notFound, at48, u"新上榜"},
        {at48, notFound, u"跌出"},
        {notFound, notFound, u"仍未找到"},
        {incomplete, at48, u"无法比较"},
        {at48, incomplete, u"无法比较"},
        // The place on the result pages counts, not the row number of the walk, which depends on how many items the
        // pages before held: 3页 1行 第1 (row 45 after an unread page 2) is one place lower than 2页 11行 第4.
        {foundAt(88, 88), foundAt(89, 45), u"↓1"},
        {foundAt(89, 45), foundAt(88, 88), u"↑1"},
        // Not found is "not within the pages read": against a run found on a later page nothing is known.
        {foundAt(100, 100), notFoundWithin(2), u"无法比较"},
        {foundAt(100, 100), notFoundWithin(3), u"跌出"},
        {notFoundWithin(2), foundAt(100, 100), u"无法比较"},
        {notFoundWithin(3), foundAt(100, 100), u"新上榜"},
        {notFoundWithin(2), notFoundWithin(10), u"仍未找到"},
        // A place on today's page and one on the older page are not one scale.
        {todayRun(1, 16, false, 50), todayRun(2, 15, false, 49), u"↑1"},
        {at48, todayRun(2, 15, false, 49), u"无法比较"},
        {todayRun(1, 16, false, 50), at48, u"无法比较"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RankingChangeText(c.previous, c.run), c.text)
            << ToUtf8(c.text) << " " << RankingPlace(c.run) << " after "
            << (c.previous ? RankingPlace(*c.previous) : -1);
    }
    EXPECT_EQ(RankingOutcomeText(todayRun(1, 3, true, 0)), u"2页 第3个（广告） (#47)");
    EXPECT_EQ(RankingOutcomeText(notFound), u"未找到");
    EXPECT_EQ(RankingOutcomeText(incomplete), u"结果不完整");
    EXPECT_EQ(PreviousOutcomeText(incomplete), u"无记录"); // no earlier run had an answer
    EXPECT_EQ(PreviousOutcomeText(std::nullopt), u"无记录");
}

TEST(ComparedRun, IsTheLastRunThatGaveAnAnswer) {
    const RankingRun incomplete = otherRun(u"k", 30, RankingOutcome::Incomplete);
    const RankingRun found = foundRun(u"k", 20, 5);
    const RankingRun notFound = otherRun(u"k", 10, RankingOutcome::NotFound);
    EXPECT_EQ(ComparedRun(std::vector{incomplete, found, notFound}), found);
    EXPECT_EQ(ComparedRun(std::vector{notFound, found}), notFound);
    EXPECT_EQ(ComparedRun(std::vector{incomplete, incomplete}), incomplete);
    EXPECT_EQ(ComparedRun({}), std::nullopt);
}

TEST_F(RankingHistoryTest, AStoredRunComesBackWhole) {
    LocalStore store(m_file, recorded());
    const std::vector<RankingRun> runs = {
        foundRun(u"连衣裙", 100, 51), otherRun(u"连衣裙", 200, RankingOutcome::Incomplete),
        otherRun(u"连衣裙", 300, RankingOutcome::NotFound), todayRun(400, 15, false, 56), todayRun(500, 3, true, 0)};
    for (const RankingRun& run : runs) {
        ASSERT_TRUE(StoreRankingRun(store, run));
    }
    const auto stored = StoredRankingRuns(store, u"连衣裙", ItemTarget(u"42054041382"));
    ASSERT_TRUE(stored);
    ASSERT_EQ(stored->size(), runs.size());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        RankingRun back = (*stored)[runs.size() - 1 - i];
        EXPECT_GT(back.id, 0);
        back.id = 0;
        EXPECT_EQ(back, runs[i]) << i;
    }
    EXPECT_TRUE(m_problems.empty());
}

TEST_F(RankingHistoryTest, RunsOfAFileBeforeTodaysPagesAreOfTheOlderPage) {
    {
        StoreOptions before = recorded();
        before.steps = SchemaSteps().first(2);
        LocalStore store(m_file, before);
        ASSERT_TRUE(store.write([](SQLite::Database& db) {
            db.exec("INSERT INTO ranking_runs (ran_at, keyword, target_kind, target, outcome, found_page, found_row, "
                    "found_column, found_number, item_id, item_title, pages_asked, pages_walked) VALUES (100, "
                    "'连衣裙', 'item', '42054041382', 'found', 2, 2, 3, 51, '42054041382', 't', 10, 2)");
        }));
    }
    LocalStore store(m_file, recorded());
    ASSERT_TRUE(StoreRankingRun(store, todayRun(200, 15, false, 56)));
    const auto stored = StoredRankingRuns(store, u"", std::nullopt);
    ASSERT_TRUE(stored);
    ASSERT_EQ(stored->size(), 2u);
    EXPECT_EQ(RankingOutcomeText((*stored)[1]), u"2页 2行 第3 (#51)");
    EXPECT_EQ(RankingOutcomeText((*stored)[0], OutcomeDetail::NaturalPlace), u"2页 第15个（自然排名第56）");
    EXPECT_TRUE(m_problems.empty());
}

TEST_F(RankingHistoryTest, RunsComeNewestFirstByKeywordTargetAndLimit) {
    LocalStore store(m_file, recorded());
    const TrackedTarget item = ItemTarget(u"42054041382");
    const TrackedTarget shop = ShopTarget(u"demoshop1.taobao.com");
    ASSERT_TRUE(StoreRankingRun(store, foundRun(u"a", 100, 5, item)));
    ASSERT_TRUE(StoreRankingRun(store, foundRun(u"b", 400, 6, item)));
    ASSERT_TRUE(StoreRankingRun(store, foundRun(u"a", 300, 7, shop)));
    ASSERT_TRUE(StoreRankingRun(store, foundRun(u"a", 200, 8, item)));
    // Two runs in the same second keep the order in which they were stored.
    ASSERT_TRUE(StoreRankingRun(store, otherRun(u"a", 200, RankingOutcome::NotFound, item)));

    const struct {
        std::u16string keyword;
        std::optional<TrackedTarget> target;
        std::size_t limit;
        std::vector<std::int64_t> times;
    } cases[] = {
        {u"", std::nullopt, 0, {400, 300, 200, 200, 100}},
        {u"a", std::nullopt, 0, {300, 200, 200, 100}},
        {u"a", item, 0, {200, 200, 100}},
        {u"a", item, 2, {200, 200}},
        {u"", shop, 0, {300}},
        {u"c", std::nullopt, 0, {}},
    };
    for (const auto& c : cases) {
        const auto runs = StoredRankingRuns(store, c.keyword, c.target, c.limit);
        ASSERT_TRUE(runs);
        EXPECT_EQ(timesOf(*runs), c.times) << ToUtf8(c.keyword) << " limit " << c.limit;
    }
    const auto ofA = StoredRankingRuns(store, u"a", item);
    EXPECT_EQ(ofA->front().outcome, RankingOutcome::NotFound);

    const auto targets = RankedTargets(store);
    ASSERT_TRUE(targets);
    EXPECT_EQ(*targets, (std::vector{item, shop}));
}

TEST_F(RankingHistoryTest, RecordingARunTellsThePreviousRunOfItsKeywordAndTarget) {
    LocalStore store(m_file, recorded());
    const RankingRun first = foundRun(u"a", 100, 51);
    RankingRunContext context = RecordRankingRun(store, first);
    EXPECT_TRUE(context.saved);
    EXPECT_FALSE(context.previous);
    // Another keyword and another target do not count.
    RecordRankingRun(store, foundRun(u"b", 150, 3));
    RecordRankingRun(store, foundRun(u"a", 160, 3, ShopTarget(u"demoshop1.taobao.com")));
    // A run without an answer between them is passed over.
    RecordRankingRun(store, otherRun(u"a", 170, RankingOutcome::Incomplete));
    context = RecordRankingRun(store, foundRun(u"a", 200, 48));
    ASSERT_TRUE(context.previous);
    EXPECT_EQ(context.previous->number, 51);
    EXPECT_EQ(RankingChangeText(context.previous, foundRun(u"a", 200, 48)), u"↑3");
}

TEST_F(RankingHistoryTest, RunsExportWithFoundOnlyCellsEmptyForTheOthers) {
    RankingRun today = foundRun(u"c", 0, 51);
    today.positionKind = RankingPositionKind::Place;
    const std::string csv =
        RankingRunsCsv({foundRun(u"a", 0, 51), otherRun(u"b", 0, RankingOutcome::Incomplete), today});
    EXPECT_NE(csv.find("查询时间,关键字,目标类型,目标,结果,页,行,列,名次,宝贝ID,宝贝标题,要查页数,已查页数,未读页"),
              std::string::npos);
    EXPECT_NE(csv.find(",a,宝贝,\"=\"\"42054041382\"\"\",2页 2行 第3 (#51),2,2,3,51,\"=\"\"42054041382\"\"\","),
              std::string::npos);
    EXPECT_NE(
        csv.find(
            ",b,宝贝,\"=\"\"42054041382\"\"\",结果不完整,,,,,,,3,3,第2页：淘宝返回了空白页；第3页：淘宝要求安全验证"),
        std::string::npos);
    // Today's page places its items in one run: no row and column.
    EXPECT_NE(csv.find(",c,宝贝,\"=\"\"42054041382\"\"\",2页 第7个 (#51),2,,,51,"), std::string::npos);
}

} // namespace
} // namespace tarvisk
