#include "jobs/ranking/ranking_competitors.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <unordered_map>

#include "text/numbers.h"

namespace tarvisk {

std::vector<RunItem> ItemsAbove(const RankingRun& run) {
    switch (run.outcome) {
    case RankingOutcome::Found: {
        // The found item is the walk's last row: every row before it stood above it.
        std::vector<RunItem> above;
        std::ranges::copy_if(run.items, std::back_inserter(above),
                             [&run](const RunItem& item) { return item.number < run.number; });
        return above;
    }
    case RankingOutcome::NotFound:
        return {run.items.begin(),
                run.items.begin() + static_cast<std::ptrdiff_t>(std::min(run.items.size(), kCompetitorsWhenNotFound))};
    case RankingOutcome::Incomplete:
        break;
    }
    return {};
}

std::vector<Competitor> CompareCompetitors(const RankingRun& newest, const std::optional<RankingRun>& previous) {
    // The older page may list an item twice: it is compared with where it first stood.
    std::unordered_map<std::u16string, RunItem> before;
    if (previous && previous->positionKind == newest.positionKind) {
        for (RunItem& item : ItemsAbove(*previous)) {
            before.try_emplace(item.id, std::move(item));
        }
    }
    std::vector<Competitor> competitors;
    for (RunItem& item : ItemsAbove(newest)) {
        const auto met = before.find(item.id);
        competitors.push_back({std::move(item), met == before.end() ? std::nullopt : std::optional(met->second)});
    }
    return competitors;
}

std::u16string CompetitorChangeText(const Competitor& competitor, RankingPositionKind kind) {
    if (!competitor.before) {
        return u"新上榜";
    }
    const int higher = PlaceFromFirstPage(kind, competitor.before->page, competitor.before->place) -
                       PlaceFromFirstPage(kind, competitor.item.page, competitor.item.place);
    if (higher == 0) {
        return u"=";
    }
    return (higher > 0 ? u"↑" : u"↓") + NumberText(higher > 0 ? higher : -higher);
}

} // namespace tarvisk
