#include "jobs/ranking/ranking_trend.h"

#include <algorithm>
#include <map>

#include "text/numbers.h"

namespace tarvisk {

std::vector<KeywordRuns> GroupByKeyword(const std::vector<RankingRun>& runs) {
    std::vector<KeywordRuns> groups;
    std::map<std::u16string, std::size_t> index;
    for (const RankingRun& run : runs) {
        const auto [at, added] = index.emplace(run.keyword, groups.size());
        if (added) {
            groups.push_back({run.keyword, {}});
        }
        groups[at->second].runs.push_back(run);
    }
    return groups;
}

int NotFoundLevel(int lowestFound) {
    constexpr int kStep = 10;
    const int below = std::max(lowestFound, 1) + lowestFound / 5;
    return (below + kStep - 1) / kStep * kStep + kStep;
}

RankingTrend RankingTrendOf(const std::vector<KeywordRuns>& keywords) {
    RankingTrend trend;
    int lowestFound = 0;
    for (const KeywordRuns& keyword : keywords) {
        for (const RankingRun& run : keyword.runs) {
            lowestFound = std::max(lowestFound, RankingPlace(run));
        }
    }
    trend.lowestFound = lowestFound;
    trend.notFoundLevel = NotFoundLevel(lowestFound);
    for (const KeywordRuns& keyword : keywords) {
        // Places on the older page and on today's are not one scale: each kind of run gets a line of its own.
        const bool bothKinds = std::ranges::any_of(
            keyword.runs, [&](const RankingRun& run) { return run.positionKind != keyword.runs.front().positionKind; });
        for (const RankingPositionKind kind : {RankingPositionKind::Grid, RankingPositionKind::Place}) {
            TrendLine line{keyword.keyword + (bothKinds && kind == RankingPositionKind::Place ? kTodayLineMark : u""),
                           {}};
            for (auto run = keyword.runs.rbegin(); run != keyword.runs.rend(); ++run) {
                if (run->positionKind != kind) {
                    continue;
                }
                if (run->outcome == RankingOutcome::Found) {
                    line.points.push_back(
                        {run->ranAt, RankingPlace(*run), true, RankingOutcomeText(*run, OutcomeDetail::NaturalPlace)});
                } else if (run->outcome == RankingOutcome::NotFound) {
                    // Not found says only that the item was not within the pages read.
                    line.points.push_back(
                        {run->ranAt, trend.notFoundLevel, false,
                         RankingOutcomeText(*run) + u"（查了前" + NumberText(run->pagesAsked) + u"页）"});
                }
            }
            const bool hasRuns =
                std::ranges::any_of(keyword.runs, [kind](const RankingRun& run) { return run.positionKind == kind; });
            if (hasRuns || (keyword.runs.empty() && kind == RankingPositionKind::Grid)) {
                trend.lines.push_back(std::move(line));
            }
        }
    }
    return trend;
}

KeywordOverview OverviewOf(const KeywordRuns& keyword) {
    KeywordOverview overview{keyword.keyword, keyword.runs.size(), std::nullopt, std::nullopt};
    if (!keyword.runs.empty()) {
        overview.latest = keyword.runs.front();
    }
    for (const RankingRun& run : keyword.runs) {
        // Places on the older page and on today's are not one scale: the best is of the latest run's kind.
        if (run.outcome == RankingOutcome::Found && run.positionKind == overview.latest->positionKind &&
            (!overview.best || RankingPlace(run) < RankingPlace(*overview.best))) {
            overview.best = run;
        }
    }
    return overview;
}

} // namespace tarvisk
