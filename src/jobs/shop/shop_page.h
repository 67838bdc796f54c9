#pragma once

#include <string>
#include <string_view>
#include <vector>

// The reader of a shop's search page as the crawl fetches it: its item links, each with the link's id and text.

namespace tarvisk {

/// The most item links the crawl looks at on one page.
inline constexpr int kShopMaxLinksPerPage = 100;

/// The marketplace's notice on a shop search page without results.
inline constexpr char16_t kShopEndNotice[] = u"很抱歉，搜索到";

/// The texts by which the crawl knows a shop search page: the class of its item grid and of its item links, and
/// the end notice.
inline constexpr std::u16string_view kShopTexts[] = {u"shop-hesper", u"item-name", kShopEndNotice};

/// One listed item of a shop.
struct ShopItem {
    std::u16string id;
    std::u16string title;
    friend bool operator==(const ShopItem&, const ShopItem&) = default;
};

/// The item link pattern of a shop page, with the item page host written in as plain text and the link's scheme
/// left open: "http://", "https://" or none ("//item...", as current pages write it).
std::u16string ShopItemPattern();

/// The items of one shop page: the first 100 item links in page order, each with the link text as title and the
/// value of the link's "id=" as id (never a number in the title); links with an empty text are left out.
/// `linkCount` receives the number of item links on the page, also those past the first 100, which are not listed.
std::vector<ShopItem> ParseShopPage(const std::u16string& pageText, int* linkCount = nullptr);

} // namespace tarvisk
