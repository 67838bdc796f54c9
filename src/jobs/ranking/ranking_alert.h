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

/// When a tracked keyword's run calls for an alert.
struct AlertRule {
    int dropPlaces = 5;  ///< a drop of this many places or more (1 and up); 0: none for a drop
    bool fellOut = true; ///< found before, not found now within at least as many pages
    bool unread = true;  ///< the marketplace ended the run with a login or verification page
    friend bool operator==(const AlertRule&, const AlertRule&) = default;
};

/// The rule of a command line's --alert-drop N: every alert, drops from N places.
AlertRule DropAlertRule(int dropPlaces);

/// The rule as the windows write it: u"下降5位以上、跌出、读不到", u"跌出", u"不提醒".
std::u16string AlertRuleText(const AlertRule& rule);

/// The alert `run` gives against `previous` (see ComparedRun) by `rule`; none when nothing calls for one:
/// - a place `rule.dropPlaces` or more lower (RankingPlace, as the change column counts it):
///   u"下降8位：1页 第3个 → 1页 第11个";
/// - not found within the pages it read, found before within them: u"跌出前3页（上次 2页 第5个）";
/// - a run the marketplace ended with a login or verification page (NeedsTheUser), whatever the previous run:
///   u"没有读完：淘宝要求登录".
std::optional<std::u16string> RankingAlertText(const std::optional<RankingRun>& previous, const RankingRun& run,
                                               const AlertRule& rule);

/// What the seller does after an alert of a run that could not be read: pass the page in the window, then walk the
/// keywords left again.
inline constexpr char16_t kUnreadAlertAdvice[] =
    u"请在 Tarvisk 的排名窗口里登录淘宝或通过滑块验证，然后点“重新查询未完成的”";

} // namespace tarvisk
