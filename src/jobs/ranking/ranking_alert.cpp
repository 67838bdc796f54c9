#include "jobs/ranking/ranking_alert.h"

#include <algorithm>

#include "text/numbers.h"

namespace tarvisk {

AlertRule DropAlertRule(int dropPlaces) {
    return {dropPlaces, true, true};
}

std::u16string AlertRuleText(const AlertRule& rule) {
    std::u16string text;
    const auto add = [&text](const std::u16string& part) { text += (text.empty() ? u"" : u"、") + part; };
    if (rule.dropPlaces > 0) {
        add(u"下降" + NumberText(rule.dropPlaces) + u"位以上");
    }
    if (rule.fellOut) {
        add(u"跌出");
    }
    if (rule.unread) {
        add(u"读不到");
    }
    return text.empty() ? u"不提醒" : text;
}

std::optional<std::u16string> RankingAlertText(const std::optional<RankingRun>& previous, const RankingRun& run,
                                               const AlertRule& rule) {
    if (run.outcome == RankingOutcome::Incomplete) {
        if (!rule.unread) {
            return std::nullopt;
        }
        const auto wanted =
            std::ranges::find_if(run.unreadPages, [](const UnreadPage& page) { return NeedsTheUser(page.kind); });
        if (wanted != run.unreadPages.end()) {
            return u"没有读完：" + PageKindReason(wanted->kind);
        }
        return std::nullopt;
    }
    const RankingChange change = CompareRankingRuns(previous, run);
    if (change.move == RankingMove::Lower && rule.dropPlaces > 0 && change.places >= rule.dropPlaces) {
        return u"下降" + NumberText(change.places) + u"位：" + RankingOutcomeText(*previous, OutcomeDetail::Position) +
               u" → " + RankingOutcomeText(run, OutcomeDetail::Position);
    }
    if (change.move == RankingMove::FellOut && rule.fellOut) {
        return u"跌出前" + NumberText(run.pagesAsked) + u"页（上次 " +
               RankingOutcomeText(*previous, OutcomeDetail::Position) + u"）";
    }
    return std::nullopt;
}

} // namespace tarvisk
