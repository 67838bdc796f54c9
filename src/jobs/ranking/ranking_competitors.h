#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "jobs/ranking/ranking_run.h"

// Who ranks above the target: the items a run listed before the target item (or the shop's first item), each
// with how it moved since the previous run of the same keyword and target, and its sales and price then and now.

namespace tarvisk {

/// How many of a run's items count as its competitors when it did not find its target.
inline constexpr std::size_t kCompetitorsWhenNotFound = 20;

/// One item above the target in the newest run, and the same item in the run before it.
struct Competitor {
    RunItem item;
    /// The same item among the previous run's competitors; none when it was not above the target then (新上榜).
    std::optional<RunItem> before;
    friend bool operator==(const Competitor&, const Competitor&) = default;
};

/// The competitors of `run` (with its items): the items it listed before the found one, or the first
/// kCompetitorsWhenNotFound when it did not find its target. A run that has no answer has none.
std::vector<RunItem> ItemsAbove(const RankingRun& run);

/// The competitors of `newest` with each one's place in `previous` (the keyword's previous answered run of the same
/// kind and target, with its items), in the order of `newest`. Without a previous run every item is new.
std::vector<Competitor> CompareCompetitors(const RankingRun& newest, const std::optional<RankingRun>& previous);

/// How a competitor moved, by its place counted from page 1 (as RankingPlace counts the target's): u"新上榜",
/// u"↑3" (three places higher), u"↓2", u"=".
std::u16string CompetitorChangeText(const Competitor& competitor, RankingPositionKind kind);

} // namespace tarvisk
