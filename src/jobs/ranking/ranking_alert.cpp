#include "jobs/ranking/ranking_alert.h"

#include <algorithm>

#include "text/numbers.h"

namespace tarvisk {

std::optional<std::u16string> RankingAlertText(const std::optional<RankingRun>& previous, const RankingRun& run,
                                               int dropPlaces) {
    if (run.outcome == RankingOutcome::Incomplete) {
        const auto wanted =
            std::ranges::find_if(run.unreadPages, [](const UnreadPage& page) { return NeedsTheUser(page.kind); });
        if (wanted != run.unreadPages.end()) {
            return u"没有读完：" + PageKindReason(wanted->kind);
        }
        return std::nullopt;
    }
    const RankingChange change = CompareRankingRuns(previous, run);
    if (change.move == RankingMove::Lower && change.places >= dropPlaces) {
        return u"下降" + NumberText(change.places) + u"位：" + RankingOutcomeText(*previous, OutcomeDetail::Position) +
               u" → " + RankingOutcomeText(run, OutcomeDetail::Position);
    }
    if (change.move == RankingMove::FellOut) {
        return u"跌出前" + NumberText(run.pagesAsked) + u"页（上次 " +
               RankingOutcomeText(*previous, OutcomeDetail::Position) + u"）";
    }
    return std::nullopt;
}

} // namespace tarvisk
