#pragma once

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
};

/// The demo shops.
const std::vector<DemoShop>& DemoShops();

/// The id of item `n` (from 1) of a shop.
std::u16string DemoShopItemId(const DemoShop& shop, int n);

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
