// The shop crawl over a fuzzed shop address and fuzzed shop pages, fed through its injectable page
// fetch: the address is normalised for good (a second pass changes nothing), every page is asked for
// on the shop's own host in order, the crawl stops at the end notice, the first page without an item
// link or the first empty, login or verification page (which it names), and what it lists is exactly
// what the page parser finds on the pages it read.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "jobs/shop/shop_crawl.h"
#include "fuzz_support.h"

namespace {

using tarvisk::fuzz::Check;

constexpr std::size_t kMaxPages = 3;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto pieces = tarvisk::fuzz::Pieces(data, size, kMaxPages + 1);
    std::vector<std::u16string> pages;
    for (std::size_t i = 1; i <= kMaxPages; ++i)
        pages.push_back(tarvisk::fuzz::PageText(pieces[i]));

    std::u16string address = tarvisk::fuzz::PageText(pieces[0]);
    std::u16string again = tarvisk::NormalizeShopAddress(address);
    Check(tarvisk::NormalizeShopAddress(again) == address, "a normalised address stays as it is");
    Check(address.find(u"//") != std::u16string::npos, "a normalised address holds \"//\"");
    const std::u16string shopName = tarvisk::ShopNameOf(address);
    Check(tarvisk::fuzz::Contains(address, shopName), "the shop name is part of the address");

    tarvisk::ShopCrawlOptions options;
    int fetched = 0;
    options.fetch = [&](const std::u16string& url) {
        ++fetched;
        Check(url == tarvisk::ShopPageUrl(shopName, fetched), "pages are asked for in order on the shop's host");
        return static_cast<std::size_t>(fetched) <= pages.size() ? pages[fetched - 1] : std::u16string();
    };
    std::u16string typed = tarvisk::fuzz::PageText(pieces[0]);
    const tarvisk::ShopCrawlResult result = tarvisk::CrawlShop(typed, options);
    Check(typed == address, "the crawl normalises the address in place");

    // What the crawl should have listed: the pages up to the end notice, the first without links, or
    // the first it cannot read.
    std::vector<tarvisk::ShopItem> expected;
    int pagesRead = 0;
    int unread = 0;
    for (const std::u16string& page : pages) {
        ++pagesRead;
        if (tarvisk::fuzz::Contains(page, tarvisk::kShopEndNotice))
            break;
        const tarvisk::PageKind kind = tarvisk::ClassifyPage(tarvisk::FetchedPage(page), tarvisk::kShopTexts);
        if (kind == tarvisk::PageKind::Empty || tarvisk::NeedsTheUser(kind)) {
            unread = pagesRead;
            break;
        }
        int links = 0;
        for (tarvisk::ShopItem& item : tarvisk::ParseShopPage(page, &links))
            expected.push_back(std::move(item));
        if (links == 0)
            break;
        if (pagesRead == static_cast<int>(pages.size()))
            unread = ++pagesRead; // the crawl then fetches one more page, which comes back empty
    }
    Check(result.items == expected, "the crawl lists what the pages hold, in order");
    Check(result.pagesFetched == pagesRead, "the crawl stops at the first page that ends it");
    Check(result.unreadPage.has_value() == (unread > 0), "the crawl names the page it could not read");
    Check(!result.unreadPage || result.unreadPage->number == unread, "the page it names is the one it ended at");
    std::u16string text;
    for (const tarvisk::ShopItem& item : expected) {
        Check(!item.title.empty(), "a listed item has a title");
        text += item.id + u" " + item.title + u"\r\n";
    }
    Check(result.text == text, "the result text has one line per item");
    Check(result.status == tarvisk::ShopStatusText(static_cast<int>(expected.size())), "the status counts the items");
    return 0;
}
