#include "jobs/ranking/ranking_run.h"

#include <algorithm>

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

std::u16string ShopTargetProblem(const ShopCrawlResult& shop, const std::u16string& address, PageAdvice advice) {
    if (const std::optional<UnreadPage>& unread = shop.unreadPage) {
        return u"店铺宝贝列表不完整（第" + NumberText(unread->number) + u"页没有读到：" + unread->address +
               u"），没有查询排名：店铺排在最前的宝贝可能不在已列出的宝贝里。" + advice(unread->kind);
    }
    if (shop.items.empty()) {
        std::u16string normalized = address;
        const std::u16string firstPage = ShopPageUrl(ShopNameOf(NormalizeShopAddress(normalized)), 1);
        return u"店铺页面 " + firstPage + u" 没有列出任何宝贝，没有查询排名。请检查店铺地址。";
    }
    return {};
}

std::optional<RankingRun> FinishedRun(const TrackedWalk& walk, const RankingResult& result, std::int64_t ranAt) {
    if ((result.cancelled && !result.foundRow) || result.pagesFetched == 0) {
        return std::nullopt;
    }
    RankingRun run;
    run.ranAt = ranAt;
    run.keyword = walk.query.keyword;
    run.target = walk.target;
    run.pagesAsked = RankingPagesToWalk(walk.query.pages);
    run.pagesWalked = result.pagesFetched;
    run.unreadPages = result.unreadPages;
    run.positionKind = result.positionKind;
    for (const RankingRow& row : result.rows) {
        run.items.push_back({row.number, row.page, row.ordinal, row.position, row.item.id, row.item.title, row.shop,
                             row.price, row.item.sales, row.paid});
    }
    if (const std::optional<RankingRow>& found = result.foundRow) {
        run.outcome = RankingOutcome::Found;
        run.page = found->page;
        run.row = PositionRow(found->ordinal);
        run.column = PositionColumn(found->ordinal);
        run.number = found->number;
        run.itemId = found->item.id;
        run.itemTitle = found->item.title;
        run.paid = found->paid;
        run.naturalPlace = found->naturalPlace;
    } else {
        run.outcome = result.conclusive() ? RankingOutcome::NotFound : RankingOutcome::Incomplete;
    }
    return run;
}

const char* PositionKindCode(RankingPositionKind kind) {
    return kind == RankingPositionKind::Place ? "place" : "grid";
}

int RankingOrdinal(const RankingRun& run) {
    return (run.row - 1) * 4 + run.column;
}

std::u16string RankingOutcomeText(const RankingRun& run, OutcomeDetail detail) {
    switch (run.outcome) {
    case RankingOutcome::Found: {
        const std::u16string position =
            run.positionKind == RankingPositionKind::Grid
                ? PositionText(run.page, RankingOrdinal(run))
                : PlacePositionText(run.page, RankingOrdinal(run)) + (run.paid ? kPaidMark : u"");
        if (detail == OutcomeDetail::Position) {
            return position;
        }
        return FoundPositionText(position, run.positionKind, run.paid, run.naturalPlace) +
               (detail == OutcomeDetail::RowNumber ? u" (#" + NumberText(run.number) + u")" : u"");
    }
    case RankingOutcome::NotFound:
        return kRankingNotFound;
    case RankingOutcome::Incomplete:
        break;
    }
    return kRankingIncomplete;
}

std::u16string PreviousOutcomeText(const std::optional<RankingRun>& previous, OutcomeDetail detail) {
    return previous && previous->outcome != RankingOutcome::Incomplete ? RankingOutcomeText(*previous, detail)
                                                                       : std::u16string(u"无记录");
}

int RankingPlace(const RankingRun& run) {
    if (run.outcome != RankingOutcome::Found) {
        return 0;
    }
    return PlaceFromFirstPage(run.positionKind, run.page, RankingOrdinal(run));
}

int PlaceFromFirstPage(RankingPositionKind kind, int page, int place) {
    const int perPage = kind == RankingPositionKind::Grid ? kRankingItemsPerPage : kTodayItemsPerPage;
    return (page - 1) * perPage + place;
}

std::optional<RankingRun> ComparedRun(std::span<const RankingRun> earlier) {
    const auto answered =
        std::ranges::find_if(earlier, [](const RankingRun& run) { return run.outcome != RankingOutcome::Incomplete; });
    if (answered != earlier.end()) {
        return *answered;
    }
    return earlier.empty() ? std::nullopt : std::optional(earlier.front());
}

RankingChange CompareRankingRuns(const std::optional<RankingRun>& previous, const RankingRun& run) {
    if (!previous) {
        return {RankingMove::FirstRun};
    }
    if (previous->outcome == RankingOutcome::Incomplete || run.outcome == RankingOutcome::Incomplete ||
        previous->positionKind != run.positionKind) {
        return {RankingMove::Incomparable};
    }
    const bool foundBefore = previous->outcome == RankingOutcome::Found;
    const bool foundNow = run.outcome == RankingOutcome::Found;
    if (!foundNow) {
        if (!foundBefore) {
            return {RankingMove::StillNotFound};
        }
        return {previous->page <= run.pagesAsked ? RankingMove::FellOut : RankingMove::Incomparable};
    }
    if (!foundBefore) {
        return {run.page <= previous->pagesAsked ? RankingMove::NewlyFound : RankingMove::Incomparable};
    }
    const int higher = RankingPlace(*previous) - RankingPlace(run);
    if (higher == 0) {
        return {RankingMove::Same};
    }
    return higher > 0 ? RankingChange{RankingMove::Higher, higher} : RankingChange{RankingMove::Lower, -higher};
}

std::u16string RankingChangeText(const std::optional<RankingRun>& previous, const RankingRun& run) {
    const RankingChange change = CompareRankingRuns(previous, run);
    switch (change.move) {
    case RankingMove::FirstRun:
        return u"首次查询";
    case RankingMove::Incomparable:
        return u"无法比较";
    case RankingMove::Same:
        return u"持平";
    case RankingMove::Higher:
        return u"↑" + NumberText(change.places);
    case RankingMove::Lower:
        return u"↓" + NumberText(change.places);
    case RankingMove::NewlyFound:
        return u"新上榜";
    case RankingMove::FellOut:
        return u"跌出";
    case RankingMove::StillNotFound:
        break;
    }
    return u"仍未找到";
}

} // namespace tarvisk
