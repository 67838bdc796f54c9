#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "jobs/ranking/ranking_search.h"

// The ranking walk for several keywords in a row, each with its target and page count, one keyword after the other,
// with progress, a pause between pages (and between keywords) and cancel. A login or verification page ends the
// whole run when someone watches it: the marketplace then wants the user, and every further keyword would only meet
// the same page. A run nobody watches (the daily run, `track`) leaves that keyword incomplete, waits a while and
// goes on, and ends only when the next keyword meets such a page too.

namespace tarvisk {

struct KeywordRankingOptions {
    /// The page fetch of every walk; empty means the walk's own.
    RankingPageFetch fetch;
    /// Seconds to wait (give or take 30%) before every page after the first, the first page of the next keyword
    /// included; 0: none.
    double pauseSeconds = 0;
    /// Told, before each page, the keyword's position in the list (from 0) and page `page` of `pages`.
    std::function<void(std::size_t index, int page, int pages)> progress;
    /// Told each walk that ended, with the keyword's position, on the walking thread. A walk the user stopped
    /// before it found its target is not told.
    std::function<void(std::size_t index, const RankingResult& result)> ranked;
    /// When set, the walks run inside a CancelScope on this flag: no further page is fetched once it is set.
    const std::atomic<bool>* cancel = nullptr;
    /// Set for a run nobody watches: the seconds (give or take 30%) it waits after a keyword that met a login or
    /// verification page before it walks the next; kUnattendedBlockedLimit such keywords in a row end it. None: the
    /// first such page ends the run.
    std::optional<double> unattendedWait;
};

/// How many keywords in a row may meet a login or verification page before a run nobody watches ends.
inline constexpr int kUnattendedBlockedLimit = 2;
/// How long a run nobody watches waits after such a page, by default.
inline constexpr double kUnattendedWaitSeconds = 60;

/// The walks of `keywords` in order, each as `base` asks (its target and pages).
std::vector<RankingQuery> KeywordQueries(const RankingQuery& base, const std::vector<std::u16string>& keywords);

/// Makes the walks in order and returns how many were told (fewer than all when cancelled, or when a login or
/// verification page ended the run).
std::size_t RunKeywordRankings(const std::vector<RankingQuery>& walks, const KeywordRankingOptions& options);

} // namespace tarvisk
