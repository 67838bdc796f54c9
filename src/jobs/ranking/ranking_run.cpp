#include "jobs/ranking/ranking_run.h"

#include "jobs/shop/shop_crawl.h"
#include "text/numbers.h"
#include "text/text_ops.h"

namespace tarvisk {

TrackedTarget ItemTarget(const std::u16string& idOrAddress) {
    return {RankingTarget::OneItem, ItemIdFromText(idOrAddress)};
}

TrackedTarget ShopTarget(const std::u16string& address) {
    std::u16string normalized = TrimBlanks(address, u" \t\r\n");
    if (normalized.empty()) {
        return {RankingTarget::ShopItems, {}};
    }
    NormalizeShopAddress(normalized);
    return {RankingTarget::ShopItems, AddressHost(normalized)};
}

const char* TrackedTargetCode(RankingTarget kind) {
    return kind == RankingTarget::ShopItems ? "shop" : "item";
}

std::u16string TrackedTargetText(const TrackedTarget& target) {
    return (target.kind == RankingTarget::ShopItems ? u"店铺 " : u"宝贝 ") + target.value;
}

const char* RankingOutcomeCode(RankingOutcome outcome) {
    switch (outcome) {
    case RankingOutcome::Found:
        return "found";
    case RankingOutcome::NotFound:
        return "not_found";
    case RankingOutcome::Incomplete:
        break;
    }
    return "incomplete";
}

std::optional<RankingRun> FinishedRun(const TrackedWalk& walk, const RankingResult& result, std::int64_t ranAt) {
    if (result.cancelled && !result.foundRow) {
        return std::nullopt;
    }
    RankingRun run;
    run.ranAt = ranAt;
    run.keyword = walk.query.keyword;
    run.target = walk.target;
    run.pagesAsked = RankingPagesToWalk(walk.query.pages);
    run.pagesWalked = result.pagesFetched;
    run.unreadPages = result.unreadPages;
    if (const std::optional<RankingRow>& found = result.foundRow) {
        run.outcome = RankingOutcome::Found;
        run.page = found->page;
        run.row = PositionRow(found->ordinal);
        run.column = PositionColumn(found->ordinal);
        run.number = found->number;
        run.itemId = found->item.id;
        run.itemTitle = found->item.title;
    } else {
        run.outcome =
            result.conclusive() && walk.targetListComplete ? RankingOutcome::NotFound : RankingOutcome::Incomplete;
    }
    return run;
}

std::u16string RankingOutcomeText(const RankingRun& run) {
    switch (run.outcome) {
    case RankingOutcome::Found:
        return NumberText(run.page) + u"页 " + NumberText(run.row) + u"行 第" + NumberText(run.column) + u" (#" +
               NumberText(run.number) + u")";
    case RankingOutcome::NotFound:
        return kRankingNotFound;
    case RankingOutcome::Incomplete:
        break;
    }
    return kRankingIncomplete;
}

std::u16string PreviousOutcomeText(const std::optional<RankingRun>& previous) {
    return previous ? RankingOutcomeText(*previous) : std::u16string(u"无记录");
}

std::u16string RankingChangeText(const std::optional<RankingRun>& previous, const RankingRun& run) {
    if (!previous) {
        return u"首次查询";
    }
    if (previous->outcome == RankingOutcome::Incomplete || run.outcome == RankingOutcome::Incomplete) {
        return u"无法比较";
    }
    const bool foundBefore = previous->outcome == RankingOutcome::Found;
    if (run.outcome == RankingOutcome::NotFound) {
        return foundBefore ? u"跌出" : u"仍未找到";
    }
    if (!foundBefore) {
        return u"新上榜";
    }
    const int higher = previous->number - run.number;
    if (higher == 0) {
        return u"持平";
    }
    return (higher > 0 ? u"↑" : u"↓") + NumberText(higher > 0 ? higher : -higher);
}

} // namespace tarvisk
