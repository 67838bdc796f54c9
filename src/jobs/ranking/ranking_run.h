#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "jobs/page_check.h"
#include "jobs/ranking/ranking_search.h"
#include "jobs/shop/shop_crawl.h"

// One ranking walk as the history keeps it: its keyword, its target, where the target stood (or that it was not
// found) and the pages it could not read; how the programs write its outcome, and what changed from the run
// before it.
//
// A walk that did not find its target and could not read a page it asked for (an empty or error page, a login
// or verification page, a page of another layout) has no answer: it is incomplete (结果不完整), never not found.
// A walk the user stopped before it found its target makes no run at all. (A shop's items are walked only once
// the shop's listing was read to its end.)

namespace tarvisk {

/// What a walk looked for, as the history names it: one item by its id, or the items of a shop by its host.
struct TrackedTarget {
    RankingTarget kind = RankingTarget::OneItem;
    std::u16string value; ///< the item id, or the shop's host name, e.g. u"demoshop1.taobao.com"
    friend bool operator==(const TrackedTarget&, const TrackedTarget&) = default;
};

/// One item: its id (a pasted item address gives the id in it, as the ranking window reads it).
TrackedTarget ItemTarget(const std::u16string& idOrAddress);
/// A shop by its address as typed: u"http://DemoShop1.taobao.com/" and u"demoshop1.taobao.com" both give the host
/// u"demoshop1.taobao.com".
TrackedTarget ShopTarget(const std::u16string& address);
/// "item" or "shop", as the database, the command line and the CSV files write the kind.
const char* TrackedTargetCode(RankingTarget kind);
/// As the windows name a target: u"宝贝 42054041382", u"店铺 demoshop1.taobao.com".
std::u16string TrackedTargetText(const TrackedTarget& target);

enum class RankingOutcome {
    Found,
    NotFound,   ///< every page asked for was read, and the target was not on them
    Incomplete, ///< not found, but not every page was read: no answer
};

/// "found", "not_found" or "incomplete".
const char* RankingOutcomeCode(RankingOutcome outcome);

/// One item a walk listed, as the history keeps it: where it stood and what its page said of it.
struct RunItem {
    int number = 0; ///< the walk's row number "No.", from 1
    int page = 0;   ///< the result page, from 1
    int place = 0;  ///< its place on the page, from 1
    /// As the walk showed it: u"2页 第15个", u"1页 第2个（广告）", u"2页 2行 第3".
    std::u16string position;
    std::u16string id;
    std::u16string title;
    std::u16string shop;  ///< the shop's name; empty where the page does not say (the older page)
    std::u16string price; ///< as the page writes it, e.g. u"59.00"; empty where the page does not say
    std::u16string sales; ///< digits, as RankingItem has them
    bool paid = false;    ///< a paid placement (today's page)
    friend bool operator==(const RunItem&, const RunItem&) = default;
};

/// One walk as the history keeps it.
struct RankingRun {
    std::int64_t id = 0;
    std::int64_t ranAt = 0; ///< seconds since 1970-01-01 UTC
    std::u16string keyword;
    TrackedTarget target;
    RankingOutcome outcome = RankingOutcome::NotFound;
    /// Found: the result page, the row and the column on it, and the row number of the walk ("No."), which counts
    /// every item the walk passed: the 7th item of page 2 after a full first page is 2, 2, 3 and 51. Else 0.
    int page = 0;
    int row = 0;
    int column = 0;
    int number = 0;
    std::u16string itemId; ///< found: the item met (of a shop: which of its items); else empty
    std::u16string itemTitle;
    /// How the pages the walk read place their items: a run compares only with runs of its kind. Today's page
    /// (Place) gives the found item's place on its page as the older row and column would (row 2, column 3: 7th).
    RankingPositionKind positionKind = RankingPositionKind::Grid;
    bool paid = false;                   ///< found on today's page as a paid placement
    int naturalPlace = 0;                ///< found on today's page: its place among the unpaid items, 0 when not known
    int pagesAsked = 0;                  ///< the pages the walk was to read
    int pagesWalked = 0;                 ///< the pages it fetched
    std::vector<UnreadPage> unreadPages; ///< the pages it could not read, in walk order
    /// Every item it listed, in walk order, the found one last. StoredRankingRuns leaves them out (StoredRunItems
    /// reads them); runs stored before the history kept items have none.
    std::vector<RunItem> items;
    friend bool operator==(const RankingRun&, const RankingRun&) = default;
};

/// A walk to make, and how the history names what it looks for.
struct TrackedWalk {
    RankingQuery query;
    TrackedTarget target;
};

/// Why the items of the shop at `address` cannot be ranked on its listing `shop` (a finished crawl): a listing that
/// ended at a page it could not read may lack the shop's first item in the results, and one without items has
/// nothing to look for. Names the shop page, and ends with `advice` for a page not read; empty when the listing may
/// be walked.
std::u16string ShopTargetProblem(const ShopCrawlResult& shop, const std::u16string& address,
                                 PageAdvice advice = PageKindAdvice);

/// The run that a walk made as `walk` asked, with `result`, makes in the history. None for a walk the user stopped
/// before it found its target, and for a walk of no page at all.
std::optional<RankingRun> FinishedRun(const TrackedWalk& walk, const RankingResult& result, std::int64_t ranAt);

/// "grid" or "place", as the database and the command line write a run's position kind.
const char* PositionKindCode(RankingPositionKind kind);

/// The place on its page of a found run's item (the row and column of the older page, the place of today's).
int RankingOrdinal(const RankingRun& run);

/// How much of a found run's place its text says.
enum class OutcomeDetail {
    Position,     ///< the position alone: u"2页 第15个", u"1页 第3个（广告）" (a list short of room)
    NaturalPlace, ///< and today's place among the unpaid items: u"2页 第15个（自然排名第56）" (the windows)
    RowNumber,    ///< and the row number of the walk: u"2页 第15个（自然排名第56） (#63)" (the command line)
};

/// The outcome as the programs write it: u"2页 2行 第3 (#51)" and the other forms of OutcomeDetail; u"未找到";
/// u"结果不完整".
std::u16string RankingOutcomeText(const RankingRun& run, OutcomeDetail detail = OutcomeDetail::RowNumber);
/// The outcome of the previous run of a keyword and target, u"无记录" without one, and when no earlier run gave an
/// answer (ComparedRun gives an incomplete one then, to say the runs cannot be compared).
std::u16string PreviousOutcomeText(const std::optional<RankingRun>& previous,
                                   OutcomeDetail detail = OutcomeDetail::RowNumber);
/// Where a found run's item stood on the result pages, counted as if every page before it had held its 44 items
/// (today's page: 48): the 7th item of page 2 is 51, however many items the walk met before it. 0 for a run that
/// did not find it.
int RankingPlace(const RankingRun& run);
/// Where the `place`-th item (from 1) of result page `page` stands, counted as RankingPlace counts: page 2, place 7
/// gives 51 on the older page (44 a page), 55 on today's (48 a page).
int PlaceFromFirstPage(RankingPositionKind kind, int page, int place);

/// The run that a later run of the same keyword and target is compared with, of `earlier` (newest first): the
/// newest that gave an answer (found or not found), else the newest; none when `earlier` is empty.
std::optional<RankingRun> ComparedRun(std::span<const RankingRun> earlier);

/// How a run stands against the previous run of the same keyword and target.
enum class RankingMove {
    FirstRun,      ///< no previous run
    Incomparable,  ///< either run has no answer, they place items differently, or not found within fewer pages
    Same,          ///< the same place
    Higher,        ///< a higher place (nearer page 1)
    Lower,         ///< a lower place
    NewlyFound,    ///< found, not found before
    FellOut,       ///< not found, found before within the pages this run read
    StillNotFound, ///< not found, as before
};

struct RankingChange {
    RankingMove move = RankingMove::FirstRun;
    int places = 0; ///< Higher, Lower: by how many places (RankingPlace); else 0
};

/// What changed from the `previous` run of the same keyword and target (see ComparedRun) to `run`, by their places
/// on the result pages (RankingPlace). A run that did not find the item says only that it is not within the pages
/// it read: against a run that found it on a later page the runs cannot be compared, nor when either run has no
/// answer, nor when the runs read pages that place their items differently (the older page and today's).
RankingChange CompareRankingRuns(const std::optional<RankingRun>& previous, const RankingRun& run);

/// The change (CompareRankingRuns) as the programs write it: u"↑3" (three places higher), u"↓5", u"持平";
/// u"新上榜", u"跌出", u"仍未找到"; u"无法比较"; u"首次查询" without a previous run.
std::u16string RankingChangeText(const std::optional<RankingRun>& previous, const RankingRun& run);

} // namespace tarvisk
