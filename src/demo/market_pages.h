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

} // namespace tarvisk::demo
