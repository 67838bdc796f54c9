#include "jobs/ranking/ranking_alert.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "text/encoding.h"

namespace tarvisk {
namespace {

/// A run of today's pages that found its item at `place` on page `page` of a walk of `pagesAsked` pages.
RankingRun foundAt(int page, int place, int pagesAsked = 3) {
    RankingRun run;
    run.outcome = RankingOutcome::Found;
    run.positionKind = RankingPositionKind::Place;
    run.page = page;
    run.row = PositionRow(place);
    run.column = PositionColumn(place);
    run.pagesAsked = pagesAsked;
    run.pagesWalked = page;
    return run;
}

RankingRun notFoundWithin(int pagesAsked) {
    RankingRun run;
    run.positionKind = RankingPositionKind::Place;
    run.pagesAsked = pagesAsked;
    run.pagesWalked = pagesAsked;
    return run;
}

/// A run that ended at a page of `kind` on page 2.
RankingRun endedAt(PageKind kind) {
    RankingRun run = notFoundWithin(3);
    run.outcome = RankingOutcome::Incomplete;
    run.pagesWalked = 2;
    run.unreadPages = {{2, kind, u"https://s.taobao.com/search?q=a&s=48"}};
    return run;
}

TEST(RankingAlertText, FiresForADropOfTheThresholdAFallOutAndAPageThatWantsTheUser) {
    const struct {
        const char* name;
        std::optional<RankingRun> previous;
        RankingRun run;
        int drop;
        std::optional<std::u16string> alert;
    } cases[] = {
        {"a drop by exactly N", foundAt(1, 3), foundAt(1, 11), 8, u"下降8位：1页 第3个 → 1页 第11个"},
        {"a drop by N - 1", foundAt(1, 3), foundAt(1, 11), 9, std::nullopt},
        {"a drop onto the next page", foundAt(1, 47), foundAt(2, 2), 3, u"下降3位：1页 第47个 → 2页 第2个"},
        {"a rise", foundAt(1, 11), foundAt(1, 3), 1, std::nullopt},
        {"fell out", foundAt(2, 5), notFoundWithin(3), 5, u"跌出前3页（上次 2页 第5个）"},
        {"not found within fewer pages than before", foundAt(2, 5), notFoundWithin(1), 5, std::nullopt},
        {"not found before nor now", notFoundWithin(3), notFoundWithin(3), 1, std::nullopt},
        {"a login page", foundAt(1, 3), endedAt(PageKind::Login), 5, u"没有读完：淘宝要求登录"},
        {"a slider page, no previous run", std::nullopt, endedAt(PageKind::Verification), 5,
         u"没有读完：淘宝要求安全验证（滑块或访问受限）"},
        {"an empty page", foundAt(1, 3), endedAt(PageKind::Empty), 5, std::nullopt},
        {"no previous run", std::nullopt, foundAt(3, 40), 1, std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<std::u16string> alert = RankingAlertText(c.previous, c.run, DropAlertRule(c.drop));
        EXPECT_EQ(alert, c.alert) << c.name << ": " << (alert ? ToUtf8(*alert) : "none");
    }
}

TEST(RankingAlertText, ARuleRaisesOnlyTheAlertsItAsksFor) {
    const struct {
        const char* name;
        AlertRule rule;
        std::optional<RankingRun> previous;
        RankingRun run;
        bool alert;
    } cases[] = {
        {"no drop alerts", {0, true, true}, foundAt(1, 3), foundAt(2, 40), false},
        {"no fall-out alerts", {5, false, true}, foundAt(2, 5), notFoundWithin(3), false},
        {"no unread alerts", {5, true, false}, foundAt(1, 3), endedAt(PageKind::Login), false},
        {"fall-out alone still fires", {0, true, false}, foundAt(2, 5), notFoundWithin(3), true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RankingAlertText(c.previous, c.run, c.rule).has_value(), c.alert) << c.name;
    }
    EXPECT_EQ(AlertRuleText({5, true, true}), u"下降5位以上、跌出、读不到");
    EXPECT_EQ(AlertRuleText({0, false, false}), u"不提醒");
}

} // namespace
} // namespace tarvisk
