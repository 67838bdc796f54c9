#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "jobs/page_check.h"
#include "jobs/ranking/search_page.h"
#include "core/date.h"
#include "core/job.h"
#include "table/result_table.h"

// The ranking walk: for a search keyword it walks the marketplace's item search result pages,
// appends one table row per item it passes (with its position on the pages) and stops at the
// first item that is the target: one given item, or any item of a given shop.

namespace tarvisk {

/// The columns of the ranking result table, as the ranking window sets them up.
inline constexpr char16_t kRankingColumnTitles[] = u"No.|宝贝名|位置|id|图片|销售量";
inline constexpr char16_t kRankingColumnWidths[] = u"30|300|100|100|80|80";

/// Items on one result page, and the most pages the marketplace lists for a search (a longer walk stops there).
inline constexpr int kRankingItemsPerPage = 44;
/// Items on one of today's result pages.
inline constexpr int kTodayItemsPerPage = 48;
inline constexpr int kRankingMaxPages = 100;

/// The status texts of a walk. A walk that did not find its target but could not read every page
/// it asked for says that its result is incomplete instead of "未找到".
inline constexpr char16_t kRankingFound[] = u"已找到";
inline constexpr char16_t kRankingNotFound[] = u"未找到";
inline constexpr char16_t kRankingIncomplete[] = u"结果不完整";
/// The caption of a walk the user stopped before it found its target.
inline constexpr char16_t kRankingCancelled[] = u"已取消";

/// The text after the position of a paid placement (today's page).
inline constexpr char16_t kPaidMark[] = u"（广告）";

/// How the result pages place their items: the older page in rows of four (u"2页 2行 第3"), today's page as one run
/// (u"2页 第15个").
enum class RankingPositionKind { Grid, Place };

/// One row the walk added: its number, position text and item, and where the item stands.
struct RankingRow {
    int number = 0; ///< the running row number "No." of the walk
    /// u"2页 2行 第3", u"2页 第15个", u"1页 第2个（广告）" for a paid placement.
    std::u16string position;
    RankingItem item;
    int page = 0;    ///< the result page, from 1
    int ordinal = 0; ///< the item's place on its page, from 1 (the 7th item is row 2, column 3)
    RankingPositionKind kind = RankingPositionKind::Grid;
    bool paid = false; ///< a paid placement (today's page marks them)
    /// Today's page: the item's place among the unpaid items from the first page on (from 1); 0 for a paid
    /// placement, on the older page, and when a page before it could not be read.
    int naturalPlace = 0;
    std::u16string price; ///< as today's page writes it (u"59.00"); empty on the older page
    std::u16string shop;  ///< the shop's name, as today's page gives it; empty on the older page
};

enum class RankingTarget {
    OneItem,   ///< the item whose id is `itemId`
    ShopItems, ///< any item whose id is in `shopItemIds`
};

struct RankingQuery {
    std::u16string keyword;
    /// How many pages to walk: pages 1, 2, ... up to this number (below 1: none; 2.5: two).
    double pages = 0;
    RankingTarget target = RankingTarget::OneItem;
    std::u16string itemId;
    std::vector<std::u16string> shopItemIds;
};

/// Fetches one result page; `url` is the walk's address variable, which the fetch may rewrite.
using RankingPageFetch = std::function<FetchedPage(std::u16string& url)>;

/// The walk's own page fetch, by a direct request: WinHttpFetch(url, POST, empty body and headers, mode 0,
/// 10 seconds, jar slot 0), which lower-cases the address variable.
FetchedPage DirectRankingFetch(std::u16string& url);

struct RankingOptions {
    /// The page fetch; empty means DirectRankingFetch.
    RankingPageFetch fetch;
    /// Seconds to wait (give or take 30%) before every page after the first; 0: none.
    double pauseSeconds = 0;
    /// Told "page i of n" before page i is fetched.
    ProgressSink progress;
    /// Told about each row once it is in the table (on the walking thread).
    std::function<void(const RankingRow&)> rowAdded;
    /// When set, the walk runs inside a CancelScope on this flag: it fetches no further page once
    /// the flag is set, and a request under way gives up. Rows added so far stay.
    const std::atomic<bool>* cancel = nullptr;
    /// A page the user skipped (SkippedByUser) ends the walk, as a keyword of a list is skipped whole; else the
    /// walk goes past it as past any page it could not read.
    bool endAtSkippedPage = false;
};

struct RankingResult {
    bool found = false;
    /// the position of the found item, "未找到", "结果不完整", or "已取消" when stopped before
    std::u16string caption;
    std::u16string toolTip; ///< "已找到" when found, else empty
    int pagesFetched = 0;
    int pagesRead = 0; ///< pages whose answer was read; a page whose request the user cut short is not
    /// True when the user stopped the walk before its end: before it found its target or read its last page.
    bool cancelled = false;
    /// The pages the walk could not read, in walk order: the pages it went past (empty, error and
    /// unknown pages) and, last, the login or verification page it ended at.
    std::vector<UnreadPage> unreadPages;
    /// True when the walk ended at a login or verification page (the last of `unreadPages`).
    bool endedAtUnreadPage = false;
    /// The row of the target, when found (the last row of the table).
    std::optional<RankingRow> foundRow;
    /// Every row the walk added, in order (the found one last): what the table shows, kept for the history.
    std::vector<RankingRow> rows;
    /// How the pages the walk read place their items (the last page read).
    RankingPositionKind positionKind = RankingPositionKind::Grid;
    /// True when the answer holds: the target was found, or every page asked for was read.
    bool conclusive() const { return found || unreadPages.empty(); }
};

/// What a walk that is not conclusive tells the user, naming the pages and the reasons and ending with `advice`;
/// empty for a conclusive walk.
std::u16string RankingUnreadMessage(const RankingResult& result, PageAdvice advice = PageKindAdvice);

/// How far a walk the user stopped got: u"已取消：读到第54页" (u"已取消：还没读完第1页" before any page).
std::u16string RankingCancelledText(int pagesRead);

/// The search address of a keyword, without the page offset.
std::u16string RankingSearchUrl(const std::u16string& keyword, const Date& today, const std::u16string& randomField);

/// Sets the page offset of `url` for page `page` (1-based, 44 items a page): every "&s=" + digits
/// equal to the last such field becomes "&s=" + (page - 1) * 44; without one, the field is
/// appended.
void SetPageOffset(std::u16string& url, int page);

/// The position text of the k-th item (from 1) of a page: u"2页 2行 第3" for k = 7 on page 2.
std::u16string PositionText(int page, int k);
/// The position of the `k`-th item (from 1) of a page that shows its items as one run (today's page):
/// u"2页 第15个".
std::u16string PlacePositionText(int page, int k);
/// The final position of a found item of today's page: u"2页 第15个（自然排名第56）", u"1页 第2个（广告）"; the
/// position text alone for the older page, and when the place among the unpaid items is not known.
std::u16string FoundPositionText(const std::u16string& position, RankingPositionKind kind, bool paid, int naturalPlace);
/// The row and the column of the k-th item (from 1) of a page, four items a row: k = 7 gives row 2, column 3.
int PositionRow(int k);
int PositionColumn(int k);

/// The pages a walk asked for `pages` fetches: pages 1 to the whole number of `pages`, at most 100 (below 1: none).
int RankingPagesToWalk(double pages);

/// Runs the walk into `table` (whose rows it clears; its columns are the ranking columns).
///
/// Today's page counts every item as it shows it, paid placements too, and marks those (广告); the found item's
/// caption adds its place among the unpaid items (FoundPositionText).
///
/// A login or verification page ends the walk there; the rows of the pages before it stay. Any
/// other page that is not a result page (empty, an error status such as 503, a page of another
/// layout) lists no items and the walk goes on, but it counts as unread: a walk that then does not
/// find its target is not conclusive. A result page that lists no items is read.
RankingResult RunRankingSearch(const RankingQuery& query, ResultTable& table, const RankingOptions& options = {});

/// The ranking window's page-count rule: a text that reads as 0 or less becomes u"1", above 100
/// u"100"; any other text stays as typed (u"2.5" stays).
std::u16string BoundedPagesText(const std::u16string& text);

/// True when a keyword holds nothing to search for: only blanks (spaces, tabs, line breaks, ideographic spaces).
bool IsBlankKeyword(const std::u16string& keyword);

/// The keyword as it is walked and stored: without the blanks around it (a pasted u" 软件开发 " is u"软件开发"),
/// the runs of blanks inside it as typed.
std::u16string WalkedKeyword(const std::u16string& typed);

/// The target item id in a typed or pasted text: the value of its first "id=" or "item_id=" parameter when that is
/// 9 to 12 digits, else its last run of 9 to 12 digits; empty if none.
/// u"https://detail.tmall.com/item.htm?id=42054041382&skuId=4987654321" gives u"42054041382".
std::u16string ItemIdFromText(const std::u16string& text);

} // namespace tarvisk
