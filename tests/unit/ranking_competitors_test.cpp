#include "jobs/ranking/ranking_competitors.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <SQLiteCpp/Database.h>
#include <gtest/gtest.h>

#include "store/local_store.h"
#include "store/ranking_history.h"
#include "text/encoding.h"
#include "text/numbers.h"
#include "store_test_support.h"

namespace tarvisk {
namespace {

constexpr RankingPositionKind kGrid = RankingPositionKind::Grid;
constexpr RankingPositionKind kPlace = RankingPositionKind::Place;

/// The item `id` at `place` on result page `page`, with its price and sales.
RunItem listed(const std::u16string& id, int page, int place, const std::u16string& price = u"59.00",
               const std::u16string& sales = u"100") {
    return {0,     page,  place, NumberText(page) + u"页 第" + NumberText(place) + u"个", id, u"标题 " + id, u"店铺",
            price, sales, false};
}

/// A run of `kind` for 软件开发 that listed `items` in this order and, when found, found the last of them.
RankingRun walked(RankingOutcome outcome, std::vector<RunItem> items, RankingPositionKind kind = kGrid,
                  std::int64_t ranAt = 100) {
    RankingRun run;
    run.ranAt = ranAt;
    run.keyword = u"软件开发";
    run.target = ItemTarget(u"42054041382");
    run.outcome = outcome;
    run.positionKind = kind;
    run.pagesAsked = 3;
    run.pagesWalked = 3;
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i].number = static_cast<int>(i + 1);
    }
    if (outcome == RankingOutcome::Found) {
        const RunItem& found = items.back();
        run.page = found.page;
        run.row = PositionRow(found.place);
        run.column = PositionColumn(found.place);
        run.number = found.number;
        run.itemId = found.id;
    }
    run.items = std::move(items);
    return run;
}

RankingRun found(std::vector<RunItem> items, RankingPositionKind kind = kGrid, std::int64_t ranAt = 100) {
    return walked(RankingOutcome::Found, std::move(items), kind, ranAt);
}

/// `count` items n01, n02, ... on page 1 from place 1.
std::vector<RunItem> numbered(int count) {
    std::vector<RunItem> items;
    for (int i = 1; i <= count; ++i) {
        items.push_back(listed((i < 10 ? u"n0" : u"n") + NumberText(i), 1, i));
    }
    return items;
}

/// "id change" for each competitor, in order.
std::vector<std::u16string> changes(const std::vector<Competitor>& competitors, RankingPositionKind kind) {
    std::vector<std::u16string> texts;
    for (const Competitor& competitor : competitors) {
        texts.push_back(competitor.item.id + u" " + CompetitorChangeText(competitor, kind));
    }
    return texts;
}

TEST(CompareCompetitors, TellsHowEachItemAboveTheTargetMoved) {
    const RunItem target1 = listed(u"T", 1, 3);
    std::vector<std::u16string> firstTwenty = {u"n01 新上榜", u"n02 ="};
    for (int i = 3; i <= 20; ++i) {
        firstTwenty.push_back((i < 10 ? u"n0" : u"n") + NumberText(i) + u" 新上榜");
    }
    RankingRun withoutItems = found({listed(u"a", 1, 1), target1});
    withoutItems.items.clear();
    const struct {
        const char* name;
        std::optional<RankingRun> previous;
        RankingRun newest;
        std::vector<std::u16string> changes;
    } cases[] = {
        {"without a previous run every item is new",
         std::nullopt,
         found({listed(u"a", 1, 1), listed(u"b", 1, 2), target1}),
         {u"a 新上榜", u"b 新上榜"}},
        {"up, down and the same, counted across pages of 44",
         found({listed(u"a", 1, 1), listed(u"b", 1, 2), listed(u"d", 1, 3), listed(u"c", 1, 40), listed(u"T", 2, 10)}),
         found({listed(u"b", 1, 1), listed(u"a", 1, 2), listed(u"d", 1, 3), listed(u"x", 1, 4), listed(u"c", 2, 3),
                listed(u"T", 2, 20)}),
         {u"b ↑1", u"a ↓1", u"d =", u"x 新上榜", u"c ↓7"}},
        {"today's pages count 48 a page",
         found({listed(u"a", 1, 46), listed(u"T", 2, 5)}, kPlace),
         found({listed(u"a", 2, 1), listed(u"T", 2, 5)}, kPlace),
         {u"a ↓3"}},
        {"an item below the target then is new above it",
         found({listed(u"a", 1, 1), listed(u"T", 1, 2), listed(u"y", 1, 3)}),
         found({listed(u"y", 1, 1), listed(u"a", 1, 2), target1}),
         {u"y 新上榜", u"a ↓1"}},
        {"not found: the first 20 items", found({listed(u"n25", 1, 1), listed(u"n02", 1, 2), target1}),
         walked(RankingOutcome::NotFound, numbered(25)), firstTwenty},
        {"an item past the first 20 of a run that did not find the target was not above it",
         walked(RankingOutcome::NotFound, numbered(25)),
         found({listed(u"n21", 1, 1), listed(u"n02", 1, 2), target1}),
         {u"n21 新上榜", u"n02 ="}},
        {"a run of the other page is not compared",
         found({listed(u"a", 1, 1), target1}, kPlace),
         found({listed(u"a", 1, 1), target1}),
         {u"a 新上榜"}},
        {"a run stored before the history kept items tells nothing",
         withoutItems,
         found({listed(u"a", 1, 1), target1}),
         {u"a 新上榜"}},
        {"a run without an answer has no competitors",
         found({listed(u"a", 1, 1), target1}),
         walked(RankingOutcome::Incomplete, {listed(u"a", 1, 1), listed(u"b", 1, 2)}),
         {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(changes(CompareCompetitors(c.newest, c.previous), c.newest.positionKind), c.changes) << c.name;
    }
}

TEST(CompareCompetitors, CarriesSalesAndPriceOfThePreviousRun) {
    const RankingRun previous = found({listed(u"a", 1, 1, u"59.00", u"100"), listed(u"T", 1, 2)});
    const RankingRun newest = found({listed(u"a", 1, 1, u"49.90", u"130"), listed(u"T", 1, 2)});
    const std::vector<Competitor> competitors = CompareCompetitors(newest, previous);
    ASSERT_EQ(competitors.size(), 1u);
    EXPECT_EQ(competitors[0].item, newest.items[0]);
    ASSERT_TRUE(competitors[0].before);
    EXPECT_EQ(competitors[0].before->price, u"59.00");
    EXPECT_EQ(competitors[0].before->sales, u"100");
}

class StoredCompetitorsTest : public test::ScratchStore {
protected:
    void SetUp() override {
        ScratchStore::SetUp();
        m_store = std::make_unique<LocalStore>(m_file, recorded());
    }
    void TearDown() override {
        m_store.reset();
        ScratchStore::TearDown();
    }
    void store(const RankingRun& run) { ASSERT_TRUE(StoreRankingRun(*m_store, run)); }
    /// The number of rows of `table`.
    int rows(const char* table) {
        int count = -1;
        EXPECT_TRUE(m_store->read([&](SQLite::Database& db) {
            count = db.execAndGet(std::string("SELECT count(*) FROM ") + table).getInt();
        }));
        return count;
    }

    std::unique_ptr<LocalStore> m_store;
};

TEST_F(StoredCompetitorsTest, ComparesTheNewestAnsweredRunWithThePreviousOfItsKind) {
    store(found({listed(u"a", 1, 1), listed(u"b", 1, 2), listed(u"T", 1, 3)}, kGrid, 100));
    store(found({listed(u"b", 1, 1), listed(u"T", 1, 2)}, kPlace, 200));
    store(walked(RankingOutcome::Incomplete, {listed(u"c", 1, 1)}, kGrid, 300));
    store(found({listed(u"b", 1, 1), listed(u"a", 1, 2), listed(u"c", 1, 3), listed(u"T", 1, 4)}, kGrid, 400));
    RankingRun otherKeyword = found({listed(u"z", 1, 1), listed(u"T", 1, 2)}, kGrid, 500);
    otherKeyword.keyword = u"连衣裙";
    store(otherKeyword);
    RankingRun otherTarget = found({listed(u"z", 1, 1), listed(u"S", 1, 2)}, kGrid, 600);
    otherTarget.target = ShopTarget(u"demoshop1.taobao.com");
    store(otherTarget);

    const auto view = StoredCompetitors(*m_store, u"软件开发", ItemTarget(u"42054041382"));
    ASSERT_TRUE(view);
    ASSERT_TRUE(view->run && view->previous);
    EXPECT_EQ(view->run->ranAt, 400);
    EXPECT_EQ(view->run->items.size(), 4u);
    EXPECT_EQ(view->previous->ranAt, 100);
    EXPECT_EQ(changes(view->competitors, kGrid), (std::vector<std::u16string>{u"b ↑1", u"a ↓1", u"c 新上榜"}));
    EXPECT_TRUE(m_problems.empty());
}

TEST_F(StoredCompetitorsTest, APreviousRunWithoutItemsCountsAsNone) {
    RankingRun before = found({listed(u"a", 1, 1), listed(u"T", 1, 2)}, kGrid, 100);
    before.items.clear();
    store(before);
    store(found({listed(u"a", 1, 1), listed(u"T", 1, 2)}, kGrid, 200));
    const auto view = StoredCompetitors(*m_store, u"软件开发", ItemTarget(u"42054041382"));
    ASSERT_TRUE(view && view->run);
    EXPECT_FALSE(view->previous);
    EXPECT_EQ(changes(view->competitors, kGrid), (std::vector<std::u16string>{u"a 新上榜"}));

    const auto none = StoredCompetitors(*m_store, u"软件开发", ItemTarget(u"42054046447"));
    ASSERT_TRUE(none);
    EXPECT_FALSE(none->run);
    EXPECT_TRUE(none->competitors.empty());
}

TEST_F(StoredCompetitorsTest, AHundredPagesOfItemsComeBackWithTheirRunOnly) {
    std::vector<RunItem> items;
    for (int page = 1; page <= kRankingMaxPages; ++page) {
        for (int place = 1; place <= kRankingItemsPerPage; ++place) {
            RunItem item = listed(NumberText(page * 100 + place), page, place, u"1" + NumberText(place) + u".50",
                                  NumberText(page));
            item.paid = place % 7 == 0;
            item.shop = place % 2 == 0 ? u"" : u"店铺 \"引号\"";
            items.push_back(item);
        }
    }
    const RankingRun run = walked(RankingOutcome::NotFound, items, kPlace);
    store(run);
    store(found({listed(u"a", 1, 1), listed(u"T", 1, 2)}, kGrid, 200));

    const auto runs = StoredRankingRuns(*m_store, u"软件开发", std::nullopt);
    ASSERT_TRUE(runs);
    ASSERT_EQ(runs->size(), 2u);
    EXPECT_TRUE((*runs)[1].items.empty());
    const auto back = StoredRunItems(*m_store, (*runs)[1].id);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->size(), 4400u);
    EXPECT_EQ(*back, run.items);
}

TEST_F(StoredCompetitorsTest, PruningDeletesOldRunsWithTheirUnreadPagesAndItems) {
    for (const std::int64_t ranAt : {100, 200, 300}) {
        RankingRun run = walked(RankingOutcome::Incomplete, {listed(u"a", 1, 1), listed(u"b", 1, 2)}, kGrid, ranAt);
        run.unreadPages = {{2, PageKind::Empty, u"http://s.taobao.com/search?s=44"}};
        store(run);
    }
    EXPECT_EQ(PruneRankingRuns(*m_store, 300), 2);
    const auto runs = StoredRankingRuns(*m_store, u"", std::nullopt);
    ASSERT_TRUE(runs);
    ASSERT_EQ(runs->size(), 1u);
    EXPECT_EQ((*runs)[0].ranAt, 300);
    EXPECT_EQ(rows("ranking_run_items"), 2);
    EXPECT_EQ(rows("ranking_unread_pages"), 1);
    EXPECT_EQ(PruneRankingRuns(*m_store, 300), 0);
    EXPECT_TRUE(m_problems.empty());
}

} // namespace
} // namespace tarvisk
