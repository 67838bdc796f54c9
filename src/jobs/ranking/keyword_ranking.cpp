#include "jobs/ranking/keyword_ranking.h"

#include "core/job.h"
#include "table/result_table.h"

namespace tarvisk {

std::vector<RankingQuery> KeywordQueries(const RankingQuery& base, const std::vector<std::u16string>& keywords) {
    std::vector<RankingQuery> walks;
    for (const std::u16string& keyword : keywords) {
        walks.push_back(base);
        walks.back().keyword = keyword;
    }
    return walks;
}

std::size_t RunKeywordRankings(const std::vector<RankingQuery>& walks, const KeywordRankingOptions& options) {
    // The pause before each keyword after the first: its first page follows the last page of the one before.
    const JobScope scope(options.cancel, {}, options.pauseSeconds);
    const int count = static_cast<int>(walks.size());
    std::size_t told = 0;
    int blockedInRow = 0;
    for (std::size_t i = 0; i < walks.size() && !scope.stopped(); ++i) {
        scope.reachPage(static_cast<int>(i) + 1, count);
        if (scope.stopped()) {
            break;
        }
        const RankingQuery& query = walks[i];
        RankingOptions walk;
        walk.fetch = options.fetch;
        walk.pauseSeconds = options.pauseSeconds;
        walk.cancel = options.cancel;
        // Skipping a keyword's login or slider skips the keyword: the list goes on with the next one.
        walk.endAtSkippedPage = true;
        if (options.progress) {
            walk.progress = [&options, i](int page, int pages) { options.progress(i, page, pages); };
        }
        // Each walk fills a table of its own; only its result is kept.
        ResultTable table;
        ListViewSetColumns(table, kRankingColumnTitles, kRankingColumnWidths);
        const RankingResult result = RunRankingSearch(query, table, walk);
        if (result.cancelled && !result.found) {
            break;
        }
        if (options.ranked) {
            options.ranked(i, result);
        }
        ++told;
        // The marketplace wants the user, or only the browser reads its pages: every keyword after it would stop at
        // the same page. Nobody there to pass it, the run tries the next keyword after a while, in case the page
        // was the marketplace's passing mood.
        if (!result.endedAtUnreadPage || !EndsTheRun(result.unreadPages.back().kind)) {
            blockedInRow = 0;
            continue;
        }
        if (!options.unattendedWait || ++blockedInRow >= kUnattendedBlockedLimit) {
            break;
        }
        if (i + 1 < walks.size()) {
            PauseBetweenPages(*options.unattendedWait);
        }
    }
    return told;
}

} // namespace tarvisk
