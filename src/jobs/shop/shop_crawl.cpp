#include "jobs/shop/shop_crawl.h"

#include <algorithm>
#include <unordered_set>

#include "jobs/shop/today_shop_page.h"
#include "net/endpoints.h"
#include "text/numbers.h"
#include "text/regex.h"
#include "text/text_ops.h"

namespace tarvisk {

std::u16string ShopUnreadMessage(const ShopCrawlResult& result, PageAdvice advice) {
    if (!result.unreadPage) {
        return {};
    }
    const UnreadPage& page = *result.unreadPage;
    const std::u16string listed = page.number == 1 ? std::u16string(u"没有列出任何宝贝")
                                                   : u"只列出了之前各页的" + NumberText(result.count()) + u"个宝贝";
    return u"店铺宝贝列表不完整：读取店铺第" + NumberText(page.number) + u"页时" + PageKindReason(page.kind) + u"，" +
           listed + u"。" + advice(page.kind);
}

std::u16string NormalizeShopAddress(std::u16string& address) {
    address = LowerAscii(std::move(address));
    if (address.find(u'/') == std::u16string::npos) {
        address += u'/';
    }
    if (address.find(u"//") == std::u16string::npos) {
        address.insert(0, u"//");
    }
    // "http://shop.taobao.com" names the shop as well as with its final "/".
    const std::size_t host = address.find(u"//") + 2;
    const std::size_t hostEnd = std::min(address.find_first_of(u"/?#", host), address.size());
    if (hostEnd == address.size() || address[hostEnd] != u'/') {
        address.insert(hostEnd, u"/");
    }
    return address;
}

std::u16string ShopNameOf(const std::u16string& address) {
    return TextBetween(address, u"//", u".com/", 0, 0);
}

std::u16string ShopPageUrl(const std::u16string& shopName, int page) {
    return u"http://" + shopName + u".com/search.htm?v=1&pageNo=" + NumberText(page);
}

std::u16string ShopPartialReason(const ShopCrawlResult& result) {
    std::vector<std::u16string> reasons;
    if (result.unreadPage) {
        reasons.push_back(u"第" + NumberText(result.unreadPage->number) + u"页没有读到，列表不完整");
    }
    if (result.listedTotal && result.count() < *result.listedTotal) {
        reasons.push_back(u"店铺共有" + NumberText(*result.listedTotal) + u"个");
    }
    if (result.pageLimitReached) {
        reasons.push_back(u"最多读" + NumberText(kShopMaxPages) + u"页，后面可能还有");
    }
    if (result.linksNotListed > 0) {
        std::u16string pages;
        for (const int page : result.crowdedPages) {
            pages += (pages.empty() ? u"" : u"、") + NumberText(page);
        }
        reasons.push_back(u"第" + pages + u"页另有" + NumberText(result.linksNotListed) + u"个未列出，每页只列前" +
                          NumberText(kShopMaxLinksPerPage) + u"个");
    }
    std::u16string text;
    for (const std::u16string& reason : reasons) {
        text += (text.empty() ? u"" : u"；") + reason;
    }
    return text;
}

std::u16string ShopStatusText(const ShopCrawlResult& result) {
    const std::u16string reason = ShopPartialReason(result);
    return u"共查到" + NumberText(result.count()) + u"个宝贝" + (reason.empty() ? u"" : u"（" + reason + u"）");
}

std::u16string ShopCancelledText(int count) {
    return u"已取消：已列出" + NumberText(count) + u"个宝贝";
}

namespace {

/// The page today's list goes on at after `page`, 0 at its end: the gateway's hasNext when it gives it, else the
/// next page when a link of the list offers it.
int nextTodayPage(const TodayShopList& list, int page) {
    if (list.hasNext) {
        return *list.hasNext ? page + 1 : 0;
    }
    return std::ranges::find(list.linkedPages, page + 1) != list.linkedPages.end() ? page + 1 : 0;
}

} // namespace

ShopCrawlResult CrawlShop(std::u16string& address, const ShopCrawlOptions& options) {
    const JobScope job(options.cancel, options.progress, options.pauseSeconds);
    const ShopPageFetch& fetch = options.fetch ? options.fetch : ShopPageFetch(DirectPageFetch);

    NormalizeShopAddress(address);
    const std::u16string shopName = ShopNameOf(address);

    ShopCrawlResult result;
    std::unordered_set<std::u16string> listed; // the ids listed so far
    bool ended = false;
    for (int page = 1; !ended && !job.stopped();) {
        job.reachPage(result.pagesFetched + 1, kShopMaxPages);
        if (job.stopped()) {
            break; // stopped during the pause before the page
        }
        const std::u16string url = ShopPageUrl(shopName, page);
        FetchedPage fetched = fetch(url);
        ++result.pagesFetched;
        if (job.stopped() && fetched.text.empty()) {
            break; // the request gave up: the page was never answered
        }
        // A page that is not the shop's search page tells nothing of the items after it.
        const ShopPageRead& read = ShopPageOf(fetched);
        if (read.kind != PageKind::Normal) {
            const std::u16string& verify = read.list.verifyAddress;
            result.unreadPage = UnreadPage{page, read.kind, verify.empty() ? ShownAddress(fetched, url) : verify};
            break;
        }
        int next = page + 1;
        if (read.reader == ShopReader::Listing) {
            if (FindText(fetched.text, kShopEndNotice) != std::u16string::npos) {
                ended = true;
                break;
            }
            if (read.linkCount > kShopMaxLinksPerPage) {
                result.crowdedPages.push_back(page);
                result.linksNotListed += read.linkCount - kShopMaxLinksPerPage;
            }
            // A page without any item link ends the crawl.
            ended = read.linkCount == 0;
        } else {
            // Today's list: a page that only repeats what was listed before is not the page asked for.
            const bool repeated =
                !read.list.items.empty() &&
                std::ranges::all_of(read.list.items, [&](const ShopItem& item) { return listed.contains(item.id); });
            if (repeated) {
                result.unreadPage = UnreadPage{page, PageKind::Repeated, ShownAddress(fetched, url)};
                break;
            }
            next = nextTodayPage(read.list, page);
            if (read.list.total) {
                result.listedTotal = *read.list.total;
            }
            // A pager that jumps past the next page leaves that page unread.
            if (next == 0 && read.list.nextPage > page + 1) {
                result.unreadPage = UnreadPage{page + 1, PageKind::Skipped, ShopPageUrl(shopName, page + 1)};
            }
            ended = next == 0;
        }
        for (const ShopItem& item : read.list.items) {
            listed.insert(item.id);
            result.text.append(item.id).append(u" ").append(item.title).append(u"\r\n");
            if (options.itemListed) {
                options.itemListed(item);
            }
            result.items.push_back(item);
        }
        // A page that still goes on at the last page the crawl may fetch leaves the pages after it unread.
        result.pageLimitReached = !ended && result.pagesFetched == kShopMaxPages;
        ended = ended || result.pageLimitReached;
        page = next;
    }
    // A list that ended with fewer items than it said it holds left pages unread.
    if (ended && !result.unreadPage && !result.pageLimitReached && result.listedTotal &&
        result.count() < *result.listedTotal) {
        result.unreadPage =
            UnreadPage{result.pagesFetched + 1, PageKind::Skipped, ShopPageUrl(shopName, result.pagesFetched + 1)};
    }
    // A stop that comes once the crawl has ended stops nothing.
    result.cancelled = job.stopped() && !ended && !result.unreadPage && !result.pageLimitReached;
    result.status = result.cancelled ? ShopCancelledText(result.count()) : ShopStatusText(result);
    return result;
}

} // namespace tarvisk
