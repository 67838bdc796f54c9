#pragma once

#include <string>

#include "jobs/ranking/ranking_run.h"
#include "jobs/ranking/ranking_search.h"

// What the ranking window walks, as it keeps it in the settings file while the user changes its boxes: the target
// (one item by its id, or the items of a shop by its address), the pages to read and the pause between pages. The
// window's keyword runs, the daily one included, walk it; so does `track` on the command line, read the same way.

namespace tarvisk {

// Settings keys of the ranking window's boxes.
inline constexpr char16_t kTargetKindKey[] = u"op"; ///< u"1": one item; u"2": the shop's items
inline constexpr char16_t kItemIdKey[] = u"Goods";
inline constexpr char16_t kShopAddressKey[] = u"SURL";
inline constexpr char16_t kPagesKey[] = u"Pages";
inline constexpr char16_t kPauseKey[] = u"Pause";

/// The longest pause the window offers, in seconds.
inline constexpr int kMaxWindowPauseSeconds = 600;

struct StoredWalk {
    RankingTarget target = RankingTarget::OneItem;
    std::u16string itemId;      ///< one item: its id, empty when none is set
    std::u16string shopAddress; ///< the shop's items: its address as typed, empty when none is set
    int pages = 1;              ///< held to 1 .. kRankingMaxPages
    int pauseSeconds = 0;       ///< held to 0 .. kMaxWindowPauseSeconds
    /// True when the target it names is set (an item id, or a shop address).
    bool hasTarget() const;
};

/// The target `walk` names, as the history names it (its item id or the host of its shop).
TrackedTarget StoredTarget(const StoredWalk& walk);

/// The walk the ranking window keeps in the settings file; an item target when none was chosen, as the window
/// starts.
StoredWalk ReadStoredWalk();

/// The pause the window keeps, held to 0 .. kMaxWindowPauseSeconds (0 when none is kept).
int StoredPauseSeconds();

} // namespace tarvisk
