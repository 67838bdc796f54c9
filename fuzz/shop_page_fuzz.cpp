// The shop crawl over a fuzzed shop address and fuzzed shop pages, fed through its injectable page
// fetch: the address is normalised for good (a second pass changes nothing), every page is asked for
// on the shop's own host, the crawl ends (a page past the fuzzed ones is empty, which it cannot read),
// the page it names as unread is one it fetched, and its text and status say what it listed.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "jobs/shop/shop_crawl.h"
#include "text/numbers.h"
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
        Check(tarvisk::fuzz::Contains(url, shopName), "pages are asked for on the shop's host");
        Check(static_cast<std::size_t>(fetched) <= pages.size() + 1, "the crawl ends at a page it cannot read");
        return static_cast<std::size_t>(fetched) <= pages.size() ? pages[fetched - 1] : std::u16string();
    };
    std::u16string typed = tarvisk::fuzz::PageText(pieces[0]);
    const tarvisk::ShopCrawlResult result = tarvisk::CrawlShop(typed, options);
    Check(typed == address, "the crawl normalises the address in place");

    Check(result.pagesFetched == fetched, "the crawl counts the pages it fetched");
    Check(!result.unreadPage || (result.unreadPage->number >= 1 && result.unreadPage->number <= fetched),
          "the page it names as unread is one it fetched");
    std::u16string text;
    for (const tarvisk::ShopItem& item : result.items) {
        Check(!item.id.empty(), "a listed item has an id");
        text += item.id + u" " + item.title + u"\r\n";
    }
    Check(result.text == text, "the result text has one line per item");
    Check(result.status.starts_with(u"共查到" + tarvisk::NumberText(static_cast<int>(result.items.size())) + u"个宝贝"),
          "the status counts the items");
    return 0;
}
