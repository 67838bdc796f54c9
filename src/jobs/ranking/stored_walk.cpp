#include "jobs/ranking/stored_walk.h"

#include <algorithm>

#include "text/numbers.h"
#include "text/settings.h"
#include "text/text_ops.h"

namespace tarvisk {

bool StoredWalk::hasTarget() const {
    return target == RankingTarget::OneItem ? !itemId.empty() : !TrimBlanks(shopAddress, u" \t\u3000").empty();
}

TrackedTarget StoredTarget(const StoredWalk& walk) {
    return walk.target == RankingTarget::OneItem ? ItemTarget(walk.itemId) : ShopTarget(walk.shopAddress);
}

StoredWalk ReadStoredWalk() {
    StoredWalk walk;
    if (LeadingNumber(ReadSetting(kTargetKindKey)) == 2) {
        walk.target = RankingTarget::ShopItems;
    }
    walk.itemId = ItemIdFromText(ReadSetting(kItemIdKey));
    walk.shopAddress = ReadSetting(kShopAddressKey);
    walk.pages = static_cast<int>(LeadingNumber(BoundedPagesText(ReadSetting(kPagesKey))));
    walk.pauseSeconds = StoredPauseSeconds();
    return walk;
}

int StoredPauseSeconds() {
    return static_cast<int>(std::clamp(LeadingNumber(ReadSetting(kPauseKey)), 0.0, double{kMaxWindowPauseSeconds}));
}

} // namespace tarvisk
