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
// own search pages ("http://" + ShopName + ".com/search.htm?v=1&pageNo=" + n) and taking every
// item link out of each page. It stops at the end notice, at the first page without any item
// link, or after the last page it may fetch; and at an empty, login or verification page, which
// leaves the listing incomplete.

namespace tarvisk {

/// The most pages one crawl fetches.
inline constexpr int kShopMaxPages = 100;

/// Fetches one shop page (its text is empty when the request failed).
using ShopPageFetch = std::function<FetchedPage(const std::u16string& url)>;

/// The crawl's own page fetch, by a direct request: XmlHttpRequest(url, empty body, mode 0, no time limit).
FetchedPage DirectShopFetch(const std::u16string& url);

struct ShopCrawlOptions {
    /// The page fetch; empty means DirectShopFetch.
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
    /// "共查到" + count + "个宝贝" and how many links went unlisted (ShopStatusText); "已取消：已列出" + count +
    /// "个宝贝" when the user stopped the crawl.
    std::u16string status;
    int pagesFetched = 0;
    bool cancelled = false;
    /// The empty, login or verification page the crawl ended at: the listing is incomplete.
    std::optional<UnreadPage> unreadPage;
    /// The pages with more item links than a page's limit, and how many links past it none of them listed.
    std::vector<int> crowdedPages;
    int linksNotListed = 0;
    int count() const { return static_cast<int>(items.size()); }
};

/// What a crawl that ended at a page it could not read tells the user, naming the page and the
/// reason; empty for a complete listing.
std::u16string ShopUnreadMessage(const ShopCrawlResult& result);

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

/// The status line of a crawl that listed `count` items: u"共查到109个宝贝", and when links went
/// unlisted for a page's limit, u"共查到109个宝贝（另有20个未列出）".
std::u16string ShopStatusText(int count, int linksNotListed = 0);

/// What a crawl that left links unlisted tells about them: u"每页只列出前100个宝贝链接，第1页另有20个未列出"
/// (the pages named); empty when every link was listed.
std::u16string ShopNotListedNote(const ShopCrawlResult& result);

/// The status line of a crawl the user stopped: u"已取消：已列出4300个宝贝".
std::u16string ShopCancelledText(int count);

/// Runs the crawl for the address in `address`, which is normalised in place first.
ShopCrawlResult CrawlShop(std::u16string& address, const ShopCrawlOptions& options = {});

} // namespace tarvisk
