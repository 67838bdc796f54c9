#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jobs/ranking/ranking_run.h"

// The history of ranking walks: the run (jobs/ranking/ranking_run.h) of every walk that gave an answer, with the
// pages it could not read, and the keywords the ranking window tracks, so that the ranking window and tarvisk-cli
// can tell how an item's rank for a keyword moves from day to day.

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

/// What the history adds to a finished walk.
struct RankingRunContext {
    std::optional<RankingRun> previous; ///< the run of the same keyword and target it is compared with
    bool saved = false;                 ///< this run is now in the history
};
/// Looks up the previous run of the keyword and target (PreviousRankingRun), then stores `run`.
RankingRunContext RecordRankingRun(LocalStore& store, const RankingRun& run);

/// The keywords the ranking window tracks, in the user's order. None when the database cannot be read.
std::optional<std::vector<std::u16string>> TrackedKeywords(LocalStore& store);
/// Replaces the tracked keywords (repeats after the first are dropped). False when they could not be stored.
bool SetTrackedKeywords(LocalStore& store, const std::vector<std::u16string>& keywords);

} // namespace tarvisk
