#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "jobs/page_check.h"
#include "jobs/shop/shop_page.h"
#include "core/job.h"

// The shop crawl: turns a shop address into the list of the shop's items by walking the shop's
// own search pages ("http://" + ShopName + ".com/search.htm?v=1&pageNo=" + n), each read by the reader its
// content calls for (today_shop_page.h). The older page gives every item link on it, and the crawl goes on at the
// next page number; it stops at the end notice, at the first page without any item link, or after the last page
// it may fetch. Today's page gives the shop's own list (not its recommendations) and the crawl goes on at the page
// its pagination offers, stopping where it offers none. A page it cannot read (empty, an error status, a login or
// verification page, a page no reader knows, such as today's page fetched without its data) ends the crawl and
// leaves the listing incomplete.

namespace tarvisk {

/// The most pages one crawl fetches.
inline constexpr int kShopMaxPages = 100;

/// Fetches one shop page (its text is empty when the request failed).
using ShopPageFetch = std::function<FetchedPage(const std::u16string& url)>;

struct ShopCrawlOptions {
    /// The page fetch; empty means DirectPageFetch.
    ShopPageFetch fetch;
    /// Seconds to wait (give or take 30%) before every page after the first; 0: none.
    double pauseSeconds = 0;
    /// Told "page i of 100" before page i is fetched.
    ProgressSink progress;
    /// Told about each item as it is listed (on the crawling thread).
    std::function<void(const ShopItem&)> itemListed;
    /// When set, the crawl runs inside a CancelScope on this flag: it fetches no further page
    /// once the flag is set, and a request under way gives up. Items listed so far stay.
    const std::atomic<bool>* cancel = nullptr;
};

struct ShopCrawlResult {
    std::vector<ShopItem> items; ///< in the order found, duplicates kept
    std::u16string text;         ///< id + " " + title + CR LF for every item
    /// ShopStatusText, or "已取消：已列出" + count + "个宝贝" when the user stopped the crawl.
    std::u16string status;
    int pagesFetched = 0;
    /// True when the user stopped the crawl before its end.
    bool cancelled = false;
    /// The page the crawl ended at because it could not read it (empty, an error, a login or verification
    /// page, a page of another layout): the listing is incomplete.
    std::optional<UnreadPage> unreadPage;
    /// True when the crawl stopped after the last page it may fetch, which still listed items.
    bool pageLimitReached = false;
    /// The pages with more item links than a page's limit, and how many links past it none of them listed.
    std::vector<int> crowdedPages;
    int linksNotListed = 0;
    /// How many items the shop's list said it holds (today's gateway: totalCnt), when it said so.
    std::optional<int> listedTotal;
    int count() const { return static_cast<int>(items.size()); }
};

/// What a crawl that ended at a page it could not read tells the user, naming the page and the
/// reason and ending with `advice`; empty for a complete listing.
std::u16string ShopUnreadMessage(const ShopCrawlResult& result, PageAdvice advice = PageKindAdvice);

/// Normalises a typed shop address in place: lower case, "/" appended when it has none, "//" put
/// in front when it then has no "//", and "/" put after the host when nothing ends it but a query
/// or the end of the text. Returns the new address. u"Shop1.Taobao.COM" becomes
/// u"//shop1.taobao.com/"; u"http://x.com" becomes u"http://x.com/", read as the shop's address.
std::u16string NormalizeShopAddress(std::u16string& address);

/// The shop's host name without its final ".com": the text after the first "//" up to the first
/// ".com/" (any character, then "com/"); empty when there is none.
std::u16string ShopNameOf(const std::u16string& address);

/// The address of search page `page` of the shop `shopName`.
std::u16string ShopPageUrl(const std::u16string& shopName, int page);

/// Why a listing holds fewer items than the shop may have, each reason once: the page the crawl could not read,
/// the page limit, the links past a page's limit: u"第2页没有读到，列表不完整；第1页另有20个未列出，每页只列前100个".
/// Empty when nothing was left out.
std::u16string ShopPartialReason(const ShopCrawlResult& result);

/// The status line of a crawl: u"共查到109个宝贝", and the reason in brackets when the listing is partial:
/// u"共查到109个宝贝（第1页另有20个未列出，每页只列前100个）".
std::u16string ShopStatusText(const ShopCrawlResult& result);

/// The status line of a crawl the user stopped: u"已取消：已列出4300个宝贝".
std::u16string ShopCancelledText(int count);

/// Runs the crawl for the address in `address`, which is normalised in place first.
ShopCrawlResult CrawlShop(std::u16string& address, const ShopCrawlOptions& options = {});

} // namespace tarvisk
