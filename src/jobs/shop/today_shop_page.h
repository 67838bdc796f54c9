#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jobs/page_check.h"
#include "jobs/shop/shop_page.h"

// The readers of today's shop listing. A shop's search.htm (or category.htm) page is a script that fetches its
// item list from /i/asynSearch.htm as JSONP around a piece of escaped HTML (or, in another form, from the data
// gateway's mtop.taobao.shop.simple.item.fetch); the browser page fetch captures that answer. The shop's own list
// ends at the list's pagination or at the recommendations block ("本店内推荐"), whose items are other shops'
// or picked ones, never the shop's list. The older shop page keeps its own reader (shop_page.h).

namespace tarvisk {

/// The list endpoint and the gateway's item list, as they appear in an answer's address.
inline constexpr char16_t kShopListPath[] = u"/i/asynSearch.htm";
inline constexpr char16_t kShopItemApi[] = u"mtop.taobao.shop.simple.item.fetch";
/// Where the recommendations begin: not the shop's own list.
inline constexpr char16_t kShopRecommendations[] = u"本店内推荐";

/// One page of a shop's list as today's pages give it.
struct TodayShopList {
    /// Normal when the list was read; the gateway's refusals as its status says (mtop_answer.h).
    PageKind kind = PageKind::Normal;
    std::vector<ShopItem> items;
    /// The page the list offers next (its link of class "next", pageNo) and that link's address; 0 and empty when
    /// it has none.
    int nextPage = 0;
    std::u16string nextAddress;
    std::u16string verifyAddress;
    /// Every page number the list links to (pageNo of its links), in order: the pager found by what it does,
    /// whatever its class names.
    std::vector<int> linkedPages;
    /// The gateway's own word on its pages, when its answer gives it: whether a next page exists, and how many
    /// items the whole list holds.
    std::optional<bool> hasNext;
    std::optional<int> total;
    friend bool operator==(const TodayShopList&, const TodayShopList&) = default;
};

/// The shop's own items in the HTML of a list: every <dl class="item" data-id="ID"> before "本店内推荐", each with
/// the text of its link of class "item-name" as title (the link's id= when the item has no data-id), in order; and
/// the pages its links offer.
TodayShopList ReadShopListHtml(std::u16string_view html);

/// An answer of the list endpoint: JSONP around a script string of the list's HTML (or that HTML as it is),
/// read by ReadShopListHtml. None when the answer holds no such list (no item and no pagination either).
std::optional<TodayShopList> ReadShopListAnswer(std::u16string_view answer);

/// An answer of the gateway's item list: the items of data.data[] (itemId, else the id= of itemUrl, and title),
/// in order, with data.hasNext and data.totalCnt; a refusal as its status says. None when the text is not such an
/// answer.
std::optional<TodayShopList> ReadShopItemAnswer(std::u16string_view answer);

/// Which reader read a shop page.
enum class ShopReader {
    Listing,    ///< the older shop page, read by ParseShopPage with its exact results
    ListAnswer, ///< today's page, read from the list endpoint's answer
    ItemAnswer, ///< today's page, read from the gateway's item list
    None,       ///< no reader knows the page
};

/// A shop page as read.
struct ShopPageRead {
    ShopReader reader = ShopReader::None;
    /// Normal when read; a gateway refusal's kind; Unrecognised when no reader knows the page.
    PageKind kind = PageKind::Unrecognised;
    TodayShopList list;
    /// For the older page: its item links, also those past a page's limit (ParseShopPage's linkCount).
    int linkCount = 0;
};

/// Reads a shop page with the reader its content calls for, in this order: the list endpoint's first readable
/// answer; the gateway's item list for the page asked (the answer's data.page, when it names one, equals the
/// page address's pageNo; the answer that lists the most items, else its refusal), with the rendered page's links
/// for a gateway that says nothing of its pages; TooLarge when such an answer came over the fetch's limits; the
/// older page, when it holds its own texts (kShopTexts). Answers
/// count only from a marketplace host with the endpoint in the address's path. The page's address is the
/// classifier's to judge.
ShopPageRead ReadShopPage(const FetchedPage& page);

/// A shop page as the crawl takes it: the classifier's kind (page_check.h: every address rule, an error status, an
/// empty page, a login or verification page) where that says the page is not a shop page, else read by
/// ReadShopPage; a page no reader reads is Unrecognised, and a refusal of the gateway gives its own kind.
ShopPageRead JudgeShopPage(const FetchedPage& page);

/// JudgeShopPage's read of `page`, judged once (JudgedOnce): the page keeps it for the next who asks.
const ShopPageRead& ShopPageOf(FetchedPage& page);
/// Its kind.
PageKind ClassifyShopPage(FetchedPage& page);

/// True when the crawl can read the page: JudgeShopPage finds it a shop page.
bool ShopPageReadable(FetchedPage& page);

/// True when the answers of a page (its text aside) hold a list of the shop's endpoints with items: a fetch
/// through the browser can end there.
bool ShopAnswerCame(const FetchedPage& page);

} // namespace tarvisk
