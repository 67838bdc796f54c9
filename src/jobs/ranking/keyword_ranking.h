#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "jobs/ranking/ranking_search.h"

// The ranking walk for several keywords in a row: the same target and page count, one keyword after the other,
// with progress, a pause between pages (and between keywords) and cancel. A login or verification page ends the
// whole run: the marketplace then wants the user, and every further keyword would only meet the same page.

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
};

/// Walks `base` (its target and pages) for each keyword in order and returns how many walks were told (fewer than
/// all when cancelled, or when a walk ended at a login or verification page).
std::size_t RunKeywordRankings(const RankingQuery& base, const std::vector<std::u16string>& keywords,
                               const KeywordRankingOptions& options);

} // namespace tarvisk
