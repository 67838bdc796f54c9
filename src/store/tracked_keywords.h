#pragma once

#include <optional>
#include <string>
#include <vector>

#include "jobs/ranking/ranking_alert.h"
#include "jobs/ranking/ranking_run.h"

// The tracked keywords: each belongs to a target of its own (an item, or a shop), stored with it, and carries its
// alert rule. The daily run and `tarvisk-cli track` walk every keyword for its target; the keyword panel shows the
// keywords of one target at a time.

namespace tarvisk {

class LocalStore;

/// One tracked keyword.
struct TrackedKeyword {
    std::u16string keyword;
    /// Its target. Empty (a value of u"") for a keyword tracked before keywords had targets, until the ranking
    /// window has a target for it to take (AdoptWindowTarget).
    TrackedTarget target;
    AlertRule alert;
    bool hasTarget() const { return !target.value.empty(); }
    friend bool operator==(const TrackedKeyword&, const TrackedKeyword&) = default;
};

/// The tracked keywords in the user's order. None when the database cannot be read.
std::optional<std::vector<TrackedKeyword>> TrackedKeywords(LocalStore& store);

/// The targets of the tracked keywords, in the order of their first keyword (without the empty one).
std::vector<TrackedTarget> TrackedTargets(const std::vector<TrackedKeyword>& keywords);
/// The keywords of `target`, in order.
std::vector<std::u16string> KeywordsOf(const std::vector<TrackedKeyword>& keywords, const TrackedTarget& target);

/// Gives the keywords tracked before keywords had targets the ranking window's target, once: stored so, they keep
/// it whatever the window's boxes say later. False when the database could not be written.
bool AdoptWindowTarget(LocalStore& store, const TrackedTarget& windowTarget);

/// Replaces the keywords of `target` with `keywords` (blank ones and repeats dropped), in their order: a keyword
/// kept keeps its alert rule, a new one takes `rule`. False when they could not be stored.
bool SetTargetKeywords(LocalStore& store, const TrackedTarget& target, const std::vector<std::u16string>& keywords,
                       const AlertRule& rule);
/// Sets the alert rule of every keyword of `target`. False when it could not be stored.
bool SetTargetAlertRule(LocalStore& store, const TrackedTarget& target, const AlertRule& rule);

/// What adding or removing one tracked keyword did.
enum class TrackChange {
    Added,
    Updated, ///< tracked already: its alert rule is now the one given
    Removed,
    NotTracked, ///< nothing to remove
    Failed,     ///< the database could not be written (the store reports why)
};
/// Tracks `keyword` for `target` with `rule`, after the keywords tracked so far.
TrackChange AddTrackedKeyword(LocalStore& store, const std::u16string& keyword, const TrackedTarget& target,
                              const AlertRule& rule);
TrackChange RemoveTrackedKeyword(LocalStore& store, const std::u16string& keyword, const TrackedTarget& target);

/// How the windows and `track list` name a target: an item with the title its newest found run gave
/// (u"宝贝 42054041382 连衣裙…"), a shop with the name its found items showed (u"店铺
/// 演示店铺一（demoshop1.taobao.com）"); the id or host alone when the history knows no title or name.
std::u16string TrackedTargetCaption(LocalStore& store, const TrackedTarget& target);

} // namespace tarvisk
