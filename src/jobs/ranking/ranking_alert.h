#pragma once

#include <optional>
#include <string>

#include "jobs/ranking/ranking_run.h"

// A tracked keyword's rank that moved the wrong way, said in one line for the seller: the walk of a keyword
// compared with the run of the same keyword and target the history compares it with (ComparedRun), so that a
// daily run can tell someone when a rank drops instead of leaving it in a log nobody reads.

namespace tarvisk {

/// What the first line of an alert message says, naming the program the message comes from.
inline constexpr char16_t kRankingAlertTitle[] = u"Tarvisk 排名提醒";

/// The alert `run` gives against `previous` (see ComparedRun) with a threshold of `dropPlaces` (1 and up); none
/// when nothing calls for one:
/// - a place `dropPlaces` or more lower (RankingPlace, as the change column counts it):
///   u"下降8位：1页 第3个 → 1页 第11个";
/// - not found within the pages it read, found before within them: u"跌出前3页（上次 2页 第5个）";
/// - a run the marketplace ended with a login or verification page (NeedsTheUser), whatever the previous run:
///   u"没有读完：淘宝要求登录".
std::optional<std::u16string> RankingAlertText(const std::optional<RankingRun>& previous, const RankingRun& run,
                                               int dropPlaces);

} // namespace tarvisk
