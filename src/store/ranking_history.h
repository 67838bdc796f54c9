#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jobs/ranking/ranking_competitors.h"
#include "jobs/ranking/ranking_run.h"

// The history of ranking walks: the run (jobs/ranking/ranking_run.h) of every walk that gave an answer, with the
// pages it could not read and the items it listed, so that the ranking window and tarvisk-cli can tell how an item's
// rank for a keyword moves from day to day, and who ranks above it. (The tracked keywords: tracked_keywords.h.)

namespace tarvisk {

class LocalStore;

/// Stores a run (its id is not read). False when it could not be stored (the store reports why).
bool StoreRankingRun(LocalStore& store, const RankingRun& run);
/// The stored runs, newest first: of `keyword` (all keywords when empty), of `target` (all targets when none), at
/// most `limit` of them (0: all). None when the database cannot be read.
std::optional<std::vector<RankingRun>> StoredRankingRuns(LocalStore& store, const std::u16string& keyword,
                                                         const std::optional<TrackedTarget>& target,
                                                         std::size_t limit = 0);
/// The targets with stored runs, the one run most recently first. None when the database cannot be read.
std::optional<std::vector<TrackedTarget>> RankedTargets(LocalStore& store);
/// The item title the newest run of `target` that found its item gave; empty when none did, or the database cannot
/// be read.
std::u16string NewestItemTitle(LocalStore& store, const TrackedTarget& target);

/// The run a new walk of `keyword` for `target` is compared with: ComparedRun of the stored runs. None without
/// one, or when the database cannot be read.
std::optional<RankingRun> PreviousRankingRun(LocalStore& store, const std::u16string& keyword,
                                             const TrackedTarget& target);

/// The items the stored run `runId` listed, in walk order (none stored before the history kept items). None when
/// the database cannot be read.
std::optional<std::vector<RunItem>> StoredRunItems(LocalStore& store, std::int64_t runId);

/// The competitor view of a keyword and target: its newest answered run (found or not found), the previous answered
/// run of the same position kind, and the items above the target in the newest with their changes.
struct CompetitorView {
    /// With its items; none when the keyword has no answered run for the target. A run stored before the history
    /// kept items has none, and so no competitors.
    std::optional<RankingRun> run;
    /// With its items; none without an earlier answered run of the same kind, and when that one was stored before
    /// the history kept items.
    std::optional<RankingRun> previous;
    std::vector<Competitor> competitors;
};
/// The competitor view (CompareCompetitors) of `keyword` and `target`. None when the database cannot be read.
std::optional<CompetitorView> StoredCompetitors(LocalStore& store, const std::u16string& keyword,
                                                const TrackedTarget& target);

/// Deletes the runs made before `before` (seconds since 1970-01-01 UTC), with their items and unread pages, and
/// returns how many. None when they could not be deleted (the store reports why).
std::optional<std::int64_t> PruneRankingRuns(LocalStore& store, std::int64_t before);
/// How old runs may grow before the window offers to prune them, in days, by default.
inline constexpr int kDefaultPruneDays = 365;

/// What the history adds to a finished walk.
struct RankingRunContext {
    std::optional<RankingRun> previous; ///< the run of the same keyword and target it is compared with
    bool saved = false;                 ///< this run is now in the history
};
/// Looks up the previous run of the keyword and target (PreviousRankingRun), then stores `run`.
RankingRunContext RecordRankingRun(LocalStore& store, const RankingRun& run);

} // namespace tarvisk
