#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jobs/ranking/ranking_run.h"

// How an item's rank for its keywords moved, from the stored runs: the points of the chart (the place on the result
// pages over time, RankingPlace, one line per keyword, better places higher) and each keyword's best and latest run.

namespace tarvisk {

/// The runs of one keyword, newest first (as the history gives them).
struct KeywordRuns {
    std::u16string keyword;
    std::vector<RankingRun> runs;
};

/// Runs (of any keywords, newest first) grouped by keyword: the keyword run most recently first, each keyword's runs
/// newest first.
std::vector<KeywordRuns> GroupByKeyword(const std::vector<RankingRun>& runs);

/// One point of a line: when the run was made, the place it is drawn at and what it found.
struct TrendPoint {
    std::int64_t ranAt = 0;
    int place = 0;      ///< the place (RankingPlace), or the not-found level
    bool found = false; ///< false: a not-found run, drawn at the not-found level
    /// The run's outcome: u"2页 2行 第3", or u"未找到（查了前3页）".
    std::u16string outcome;
    friend bool operator==(const TrendPoint&, const TrendPoint&) = default;
};

struct TrendLine {
    std::u16string keyword;
    std::vector<TrendPoint> points; ///< oldest first
};

struct RankingTrend {
    std::vector<TrendLine> lines;
    /// The lowest place found on any line (0 when nothing was found).
    int lowestFound = 0;
    /// Where not-found runs are drawn: well below the lowest place found on any line (see NotFoundLevel).
    int notFoundLevel = 0;
};

/// The level of the not-found runs below a lowest place found of `lowestFound` (0 when nothing was found), far
/// enough below it to be told apart at a glance: the place and a fifth of it, rounded up to a multiple of ten, plus
/// ten. 51 gives 80, 7 gives 20, 0 gives 20, 440 gives 540.
int NotFoundLevel(int lowestFound);

/// What follows the keyword of the line of today's pages' runs when the keyword also has runs of the older page.
inline constexpr char16_t kTodayLineMark[] = u"（今日页面）";

/// One line for each keyword of `keywords`, in their order: a found run at its place, a not-found run at the
/// not-found level, oldest first. A run without an answer (结果不完整) leaves no point: it says nothing of the rank.
/// Places on the older page and on today's page are not compared: a keyword with runs of both kinds gets two
/// lines, the older page's first, then today's, named keyword + kTodayLineMark.
RankingTrend RankingTrendOf(const std::vector<KeywordRuns>& keywords);

/// A keyword's runs at a glance.
struct KeywordOverview {
    std::u16string keyword;
    std::size_t runs = 0;
    /// the found run with the best place (the newest of equals), of the latest run's position kind
    std::optional<RankingRun> best;
    std::optional<RankingRun> latest; ///< the newest run
};

KeywordOverview OverviewOf(const KeywordRuns& keyword);

} // namespace tarvisk
