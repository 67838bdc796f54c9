#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The demo marketplace's item search and shops. Every keyword has result pages (44 items a page,
// the same items for the same keyword on every run); the items of the demo shops stand at fixed
// places in the results of a few keywords (docs/demo-market.md lists them).

namespace tarvisk::demo {

/// Items on one search result page, and how many results an ordinary keyword has.
inline constexpr int kSearchPageItems = 44;
inline constexpr int kSearchResults = 4400;
/// Markup and script around the item data of a result page, so a page weighs about 400 KB.
inline constexpr std::size_t kSearchPageFiller = 360 * 1024;

/// One demo shop: its host ("demoshop1.taobao.com"), its items and how its pages are cut.
struct DemoShop {
    std::string host;
    std::u16string name;
    int items = 0;
    int linksPerPage = 0;
    long long firstId = 0;
    int idStep = 1;
    /// Pages after the last item: true, the end notice; false, a page without any item link.
    bool endNotice = true;
    /// How the item links are written: all with "http://"; as current pages write them, without a scheme
    /// ("//item...", odd items) or with "https://" (even items); or all three in turn ("//", "https://", "http://"),
    /// so that an https link stands just before an http link.
    enum class Links { Http, Current, Mixed };
    Links links = Links::Http;
    /// The page (from 1) that redirects to the login page instead; 0: none.
    int loginPage = 0;
    /// Listed as today's shops list: a script page fetching its list from /i/asynSearch.htm (today_pages.h).
    bool today = false;
    /// Of today's shops, one whose page asks the data gateway's item list instead (today_pages.h).
    bool gateway = false;
};

/// The demo shops.
const std::vector<DemoShop>& DemoShops();

/// The demo shop with that host; none for any other host.
const DemoShop* DemoShopByHost(const std::string& host);

/// The id of item `n` (from 1) of a shop.
std::u16string DemoShopItemId(const DemoShop& shop, int n);
/// The title of item `n` (from 1) of a shop.
std::u16string DemoShopItemTitle(const DemoShop& shop, int n);

/// One result of a keyword: its id and title, and the seed its other fields are drawn from.
struct DemoResult {
    std::u16string id;
    std::u16string title;
    std::uint64_t seed = 0;
    /// The demo shop the item belongs to; empty for other sellers' items.
    std::string shopHost;
};

/// The result at 0-based place `index` among a keyword's results, pages of `pageItems` items (the demo shops'
/// items stand at their places, docs/demo-market.md): the same for the same keyword on every run, letter case
/// aside.
DemoResult DemoSearchResult(const std::u16string& keyword, int index, int pageItems = kSearchPageItems);
/// A result's picture address, price (u"129.90") and seller's place (u"浙江 杭州").
std::u16string DemoPicture(const DemoResult& item);
std::u16string DemoPrice(std::uint64_t seed);
std::u16string DemoPlace(std::uint64_t seed);

/// The search result page of a keyword at a result offset. Pages past the keyword's results have
/// no item data. `fillerBytes` of markup and script surround the item data.
std::u16string SearchResultPage(const std::u16string& keyword, int offset, std::size_t fillerBytes = kSearchPageFiller);

/// Search page `page` (from 1) of the shop with that host; an unknown host has no items.
std::u16string ShopSearchPage(const std::string& host, int page);

/// The keyword whose result pages write sales as current pages do: "2.3万+人付款" from ten
/// thousand on, "300+人付款" below.
inline constexpr char16_t kCurrentSalesKeyword[] = u"热销爆款";

/// The sales text of a result item in the current form, for a count: 23456 gives u"2.3万+",
/// 345 gives u"300+", 42 gives u"42".
std::u16string CurrentSalesText(int count);

} // namespace tarvisk::demo
