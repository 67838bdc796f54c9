#include "jobs/ranking/ranking_trend.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "jobs/ranking/daily_schedule.h"
#include "jobs/ranking/keyword_ranking.h"
#include "core/hooks.h"
#include "support/fake_pages.h"
#include "text/encoding.h"

namespace tarvisk {
namespace {

/// A run; a found one at `place` on the result pages, met as the walk's row `number` (the place unless given).
RankingRun run(const std::u16string& keyword, std::int64_t ranAt, RankingOutcome outcome, int place = 0,
               int number = 0) {
    RankingRun r;
    r.keyword = keyword;
    r.ranAt = ranAt;
    r.outcome = outcome;
    r.pagesAsked = 3;
    if (outcome == RankingOutcome::Found) {
        r.page = (place - 1) / 44 + 1;
        r.row = ((place - 1) % 44) / 4 + 1;
        r.column = (place - 1) % 4 + 1;
        r.number = number > 0 ? number : place;
    }
    return r;
}

constexpr RankingOutcome kFound = RankingOutcome::Found;
constexpr RankingOutcome kNotFound = RankingOutcome::NotFound;
constexpr RankingOutcome kIncomplete = RankingOutcome::Incomplete;

TEST(NotFoundLevel, LiesBelowTheLowestPlaceFoundOnARoundNumber) {
    const std::pair<int, int> cases[] = {{0, 20}, {1, 20}, {7, 20}, {10, 30}, {11, 30}, {51, 80}, {440, 540}};
    for (const auto& [lowest, level] : cases) {
        EXPECT_EQ(NotFoundLevel(lowest), level) << lowest;
    }
}

TEST(RankingTrendOf, DrawsEachKeywordOldestFirstWithNotFoundRunsAtTheBottom) {
    // Newest first, as the history gives them.
    // "b" at 500 was found on page 2 after an unread first page: its row number is 7, its place 51.
    const std::vector<RankingRun> runs = {
        run(u"b", 500, kNotFound),     run(u"a", 400, kFound, 12), run(u"a", 300, kIncomplete),
        run(u"b", 250, kFound, 51, 7), run(u"a", 200, kNotFound),  run(u"a", 100, kFound, 3),
    };
    const std::vector<KeywordRuns> groups = GroupByKeyword(runs);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].keyword, u"b");
    EXPECT_EQ(groups[1].runs.size(), 4u);

    const RankingTrend trend = RankingTrendOf(groups);
    EXPECT_EQ(trend.lowestFound, 51);
    EXPECT_EQ(trend.notFoundLevel, 80);
    ASSERT_EQ(trend.lines.size(), 2u);
    EXPECT_EQ(trend.lines[0].keyword, u"b");
    EXPECT_EQ(trend.lines[0].points,
              (std::vector<TrendPoint>{{250, 51, true, u"2页 2行 第3"}, {500, 80, false, u"未找到（查了前3页）"}}));
    // The incomplete run leaves no point.
    EXPECT_EQ(trend.lines[1].points, (std::vector<TrendPoint>{{100, 3, true, u"1页 1行 第3"},
                                                              {200, 80, false, u"未找到（查了前3页）"},
                                                              {400, 12, true, u"1页 3行 第4"}}));
    EXPECT_TRUE(RankingTrendOf({}).lines.empty());
}

TEST(RankingTrendOf, RunsOfTodaysPageAreALineOfTheirOwn) {
    RankingRun today = run(u"a", 300, kFound, 15);
    today.positionKind = RankingPositionKind::Place;
    const std::vector<RankingRun> runs = {today, run(u"a", 200, kFound, 3), run(u"b", 100, kFound, 5)};
    const RankingTrend trend = RankingTrendOf(GroupByKeyword(runs));
    ASSERT_EQ(trend.lines.size(), 3u);
    EXPECT_EQ(trend.lines[0].keyword, u"a");
    EXPECT_EQ(trend.lines[0].points, (std::vector<TrendPoint>{{200, 3, true, u"1页 1行 第3"}}));
    EXPECT_EQ(trend.lines[1].keyword, u"a（今日页面）");
    EXPECT_EQ(trend.lines[1].points, (std::vector<TrendPoint>{{300, 15, true, u"1页 第15个"}}));
    EXPECT_EQ(trend.lines[2].keyword, u"b");
    // The best run is of the kind of the latest.
    EXPECT_EQ(OverviewOf(GroupByKeyword(runs)[0]).best, today);
}

TEST(OverviewOf, TellsTheBestAndTheLatestRun) {
    // By the place on the result pages, not by the row number of the walk.
    const KeywordRuns keyword{u"a",
                              {run(u"a", 400, kIncomplete), run(u"a", 300, kFound, 9, 2), run(u"a", 200, kFound, 3),
                               run(u"a", 150, kFound, 3), run(u"a", 100, kNotFound)}};
    const KeywordOverview overview = OverviewOf(keyword);
    EXPECT_EQ(overview.runs, 5u);
    ASSERT_TRUE(overview.best && overview.latest);
    // Of equal places the newest counts.
    EXPECT_EQ(overview.best->ranAt, 200);
    EXPECT_EQ(overview.latest->ranAt, 400);
    EXPECT_FALSE(OverviewOf({u"b", {run(u"b", 1, kNotFound)}}).best);
}

TEST(DailySchedule, RunsOnceADayFromItsTime) {
    const Date today{2024, 5, 1};
    const Date yesterday{2024, 4, 30};
    const struct {
        bool enabled;
        int minute;
        std::optional<Date> lastRun;
        int now;
        bool due;
        std::u16string next;
    } cases[] = {
        {false, 540, std::nullopt, 600, false, u""},
        {true, 540, std::nullopt, 539, false, u"今天 09:00"},
        {true, 540, std::nullopt, 540, true, u"现在"},
        {true, 540, yesterday, 1439, true, u"现在"},
        {true, 540, today, 600, false, u"明天 09:00"},
        // The day's run was made before its time was moved later: not again today.
        {true, 1200, today, 1300, false, u"明天 20:00"},
        {true, 0, today, 0, false, u"明天 00:00"},
    };
    for (const auto& c : cases) {
        const DailySchedule schedule{c.enabled, c.minute, c.lastRun};
        EXPECT_EQ(DueDailyRun(schedule, {today, c.now}), c.due ? std::optional(today) : std::nullopt)
            << c.minute << " at " << c.now;
        EXPECT_EQ(NextDailyRunText(schedule, today, c.now), c.next) << c.minute << " at " << c.now;
    }
}

TEST(DailySchedule, ATimeTheMachineSleptThroughIsDueOnWaking) {
    const Date today{2024, 3, 1};
    const Date yesterday{2024, 2, 29};
    const DayMinute wake{today, 7 * 60}; // before today's 09:00
    const struct {
        const char* name;
        std::optional<Date> lastRun;
        std::optional<DayMinute> lastLooked;
        std::optional<Date> due;
    } cases[] = {
        {"asleep over yesterday's time", Date{2024, 2, 28}, DayMinute{yesterday, 8 * 60}, yesterday},
        {"asleep for days", Date{2024, 2, 20}, DayMinute{Date{2024, 2, 25}, 22 * 60}, yesterday},
        {"yesterday's run was made", yesterday, DayMinute{yesterday, 8 * 60}, std::nullopt},
        {"asleep only after yesterday's time", Date{2024, 2, 28}, DayMinute{yesterday, 10 * 60}, std::nullopt},
        {"just started: waits for today's time", Date{2024, 2, 20}, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DueDailyRun({true, 9 * 60, c.lastRun}, wake, c.lastLooked), c.due) << c.name;
    }
    // After today's time, today's run is due whenever the program looked before.
    EXPECT_EQ(DueDailyRun({true, 9 * 60, yesterday}, {today, 10 * 60}, DayMinute{today, 8 * 60}), today);
    EXPECT_FALSE(DueDailyRun({false, 9 * 60, std::nullopt}, wake, DayMinute{Date{2024, 2, 1}, 0}));
    EXPECT_EQ(AddDays(today, -1), yesterday);
    EXPECT_EQ(AddDays(Date{2023, 12, 31}, 1), (Date{2024, 1, 1}));
}

TEST(DailySchedule, TimesOfDayReadAndWrite) {
    const std::pair<std::u16string, std::optional<int>> cases[] = {
        {u"09:05", 545}, {u"9:05", 545},  {u"00:00", 0}, {u"23:59", 1439}, {u"24:00", {}}, {u"12:60", {}},
        {u"1:5", {}},    {u"123:00", {}}, {u"", {}},     {u"ab:cd", {}},   {u":30", {}},   {u"12-30", {}},
    };
    for (const auto& [text, minute] : cases) {
        EXPECT_EQ(ParseTimeOfDay(text), minute) << ToUtf8(text);
    }
    EXPECT_EQ(TimeOfDayText(545), u"09:05");
    EXPECT_EQ(TimeOfDayText(1439), u"23:59");
}

/// A fake search: each keyword's pages, by the keyword in the address; records the keywords asked for.
struct KeywordSearch {
    KeywordSearch() {
        SetClock([] { return Date{2024, 5, 1}; });
    }
    ~KeywordSearch() { SetClock({}); }
    KeywordSearch(const KeywordSearch&) = delete;
    KeywordSearch& operator=(const KeywordSearch&) = delete;

    std::vector<std::pair<std::u16string, FetchedPage>> answers; // a marker in the address, the answer
    std::vector<std::u16string> asked;

    KeywordRankingOptions options() {
        KeywordRankingOptions o;
        o.fetch = [this](std::u16string& url) {
            asked.push_back(url);
            for (const auto& [marker, page] : answers) {
                if (url.find(marker) != std::u16string::npos) {
                    return page;
                }
            }
            return FetchedPage(u"", u"");
        };
        return o;
    }
};

std::u16string pageWith(const std::vector<std::u16string>& ids) {
    std::vector<test::SearchItem> items;
    for (const std::u16string& id : ids) {
        items.push_back({id});
    }
    return test::SearchPage(items);
}

TEST(RunKeywordRankings, WalksEachKeywordWithTheSameTargetAndTellsEachResult) {
    KeywordSearch search;
    // "aa" finds the item on its first page, "bb" does not find it on its one page.
    search.answers = {{u"q=aa", FetchedPage(pageWith({u"100000001", u"420540413820"}), u"")},
                      {u"q=bb", FetchedPage(pageWith({u"100000002"}), u"")}};
    RankingQuery base;
    base.pages = 1;
    base.target = RankingTarget::OneItem;
    base.itemId = u"420540413820";
    KeywordRankingOptions options = search.options();
    std::vector<std::pair<std::size_t, bool>> told;
    std::vector<std::size_t> progress;
    options.ranked = [&](std::size_t index, const RankingResult& result) { told.emplace_back(index, result.found); };
    options.progress = [&](std::size_t index, int page, int pages) {
        EXPECT_EQ(page, 1);
        EXPECT_EQ(pages, 1);
        progress.push_back(index);
    };
    EXPECT_EQ(RunKeywordRankings(KeywordQueries(base, {u"aa", u"bb"}), options), 2u);
    EXPECT_EQ(told, (std::vector<std::pair<std::size_t, bool>>{{0, true}, {1, false}}));
    EXPECT_EQ(progress, (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(search.asked.size(), 2u);
}

TEST(RunKeywordRankings, ALoginPageOrTheUsersCancelEndsTheRun) {
    KeywordSearch search;
    const std::u16string login = u"https://login.taobao.com/member/login.jhtml";
    search.answers = {{u"q=aa", FetchedPage(u"", login)}, {u"q=bb", FetchedPage(pageWith({u"100000002"}), u"")}};
    RankingQuery base;
    base.pages = 2;
    base.itemId = u"420540413820";
    KeywordRankingOptions options = search.options();
    std::vector<std::size_t> told;
    options.ranked = [&](std::size_t index, const RankingResult& result) {
        EXPECT_TRUE(result.endedAtUnreadPage);
        told.push_back(index);
    };
    EXPECT_EQ(RunKeywordRankings(KeywordQueries(base, {u"aa", u"bb"}), options), 1u);
    EXPECT_EQ(told, std::vector<std::size_t>{0});
    EXPECT_EQ(search.asked.size(), 1u);

    // Cancelled while "bb" walks: "bb" is not told (it has no answer) and "cc" never starts.
    std::atomic<bool> cancel = false;
    KeywordSearch second;
    // The request of "bb" gives up at once: its answer stays empty.
    second.answers = {{u"q=aa", FetchedPage(pageWith({u"100000001"}), u"")}};
    options = second.options();
    options.cancel = &cancel;
    told.clear();
    options.ranked = [&](std::size_t index, const RankingResult&) { told.push_back(index); };
    options.progress = [&](std::size_t index, int, int) {
        if (index == 1) {
            cancel = true;
        }
    };
    base.pages = 1;
    EXPECT_EQ(RunKeywordRankings(KeywordQueries(base, {u"aa", u"bb", u"cc"}), options), 1u);
    EXPECT_EQ(told, std::vector<std::size_t>{0});
}

TEST(RunKeywordRankings, ARunNobodyWatchesGoesPastOneBlockedKeywordAndEndsAtTwoInARow) {
    const FetchedPage login(u"", u"https://login.taobao.com/member/login.jhtml");
    const FetchedPage found(pageWith({u"420540413820"}), u"");
    // Each case: which of the keywords a, b, c, d meet a login page, and which are told.
    const struct {
        const char* name;
        std::vector<std::u16string> blocked;
        std::vector<std::size_t> told;
    } cases[] = {
        {"none", {}, {0, 1, 2, 3}},
        {"one, then read", {u"a"}, {0, 1, 2, 3}},
        {"apart", {u"a", u"c"}, {0, 1, 2, 3}},
        {"two in a row", {u"b", u"c"}, {0, 1, 2}},
    };
    for (const auto& c : cases) {
        KeywordSearch search;
        for (const std::u16string keyword : {u"a", u"b", u"c", u"d"}) {
            const bool blocked = std::ranges::find(c.blocked, keyword) != c.blocked.end();
            search.answers.emplace_back(u"q=" + keyword + u"&", blocked ? login : found);
        }
        RankingQuery base;
        base.pages = 1;
        base.itemId = u"420540413820";
        KeywordRankingOptions options = search.options();
        options.unattendedWait = 0;
        std::vector<std::size_t> told;
        options.ranked = [&](std::size_t index, const RankingResult&) { told.push_back(index); };
        EXPECT_EQ(RunKeywordRankings(KeywordQueries(base, {u"a", u"b", u"c", u"d"}), options), c.told.size()) << c.name;
        EXPECT_EQ(told, c.told) << c.name;
    }
}

} // namespace
} // namespace tarvisk
