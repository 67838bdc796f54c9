#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jobs/page_check.h"
#include "jobs/ranking/search_page.h"

// The readers of today's search result page. The page itself is a script: it fetches its results from the
// marketplace's recommendation endpoint as JSONP, which the browser page fetch captures, and draws them as
// item cards. The answer is read first; the rendered cards only when no answer was captured. The older
// result page, with its item data in the page, keeps its own reader (search_page.h).

namespace tarvisk {

/// The endpoint today's search page fetches its results from, as it appears in the answer's address.
inline constexpr char16_t kTodaySearchApi[] = u"mtop.relationrecommend.wirelessrecommend.recommend";

/// Where a browser asks today's search for the page that the walk's address `walkUrl` asks for (its keyword q, its
/// offset s at 44 a page): today's search takes the page number, 48 a page, and ignores the offset.
/// u"http://s.taobao.com/search?...&q=%E8%BF%9E...&s=44" gives
/// u"https://s.taobao.com/search?q=%E8%BF%9E&page=2&tab=all".
std::u16string TodaySearchAddress(const std::u16string& walkUrl);

/// One result of today's search page.
struct TodaySearchItem {
    /// The id, the title without its highlight markup, the picture and the sales count (2.3万+人付款 as 23000).
    RankingItem item;
    std::u16string price;
    std::u16string shop;    ///< the shop's name, else the seller's nick
    std::u16string address; ///< the item page, "https:" in front of an address without a scheme
    bool paid = false;      ///< a paid placement (广告)
    friend bool operator==(const TodaySearchItem&, const TodaySearchItem&) = default;
};

/// What one answer of the endpoint says.
struct TodaySearchAnswer {
    /// Normal: a list of results, empty past the last results. Login: the marketplace wants a login
    /// (FAIL_SYS_SESSION_EXPIRED); Verification: a slider or a ban (RGV587_ERROR, FAIL_SYS_USER_VALIDATE);
    /// Unrecognised: another failure (a missing or stale token).
    PageKind kind = PageKind::Unrecognised;
    /// Where the marketplace sends the visitor to verify, when the answer says.
    std::u16string verifyAddress;
    std::vector<TodaySearchItem> items;
    friend bool operator==(const TodaySearchAnswer&, const TodaySearchAnswer&) = default;
};

/// Reads one answer of the endpoint, JSONP or plain JSON: its "ret" status, and on success the items of
/// data.itemsArray (data.data.itemsArray in some answers), in order. An entry counts as an item when it has an
/// id (item_id, else nidlong, as digits). None when the text is not an answer of the endpoint's kind (no "ret",
/// or a success without an items array).
std::optional<TodaySearchAnswer> ReadTodaySearchAnswer(std::u16string_view answer);

/// The results the rendered page shows: its drawn links to item pages (item.taobao.com and detail.tmall.com; none
/// in scripts, comments or templates), one item per id in page order, each with the text of its card's title element
/// (else the link's text), its first picture and the sales count the card shows; a card that carries the label 广告
/// (an element of that text alone) is a paid placement. Prices and shops are not read from cards.
std::vector<TodaySearchItem> ReadRenderedSearchPage(std::u16string_view html);

/// Which reader read a search page.
enum class SearchReader {
    Listing, ///< the older result page, read by ParseRankingPage with its exact results
    Answer,  ///< today's page, read from the endpoint's answer its scripts received
    Cards,   ///< today's page without a captured answer, read from its rendered item cards
    None,    ///< no reader knows the page
};

/// A search page as read.
struct SearchPageRead {
    SearchReader reader = SearchReader::None;
    /// Normal when read; for an answer that refused, its kind; Unrecognised when no reader knows the page.
    PageKind kind = PageKind::Unrecognised;
    std::u16string verifyAddress;
    std::vector<TodaySearchItem> items;
};

/// Reads a search page with the reader its content calls for, in this order: a captured answer of the
/// endpoint (the first that lists results; else the weightiest refusal: verification, login, other; else TooLarge
/// when its answer came over the fetch's limits); the
/// older page when ParseRankingPage finds its items; rendered item cards; the older page's own texts without
/// items (a read page that lists nothing). The page's address is the classifier's to judge (page_check.h).
SearchPageRead ReadSearchPage(const FetchedPage& page);

/// A search page as the walk takes it: read by ReadSearchPage, with the classifier's kind (page_check.h: every
/// address rule, the older page's texts) where that says the page is not a result page; a page no reader reads is
/// Unrecognised, and an answer that refused gives its own kind.
SearchPageRead JudgeSearchPage(const FetchedPage& page);
/// JudgeSearchPage's read of `page`, judged once (JudgedOnce): the page keeps it for the next who asks.
const SearchPageRead& SearchPageOf(FetchedPage& page);
/// Its kind.
PageKind ClassifySearchPage(FetchedPage& page);

/// True when the walk can read the page: ClassifySearchPage finds it a result page.
bool SearchPageReadable(FetchedPage& page);

/// True when the answers of a page (its text aside) hold the listing its reader takes, with results: a fetch
/// through the browser can end there.
bool SearchAnswerCame(const FetchedPage& page);

} // namespace tarvisk
