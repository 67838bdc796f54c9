#include "jobs/shop/shop_page.h"

#include "net/endpoints.h"
#include "text/regex.h"

namespace tarvisk {

std::u16string ShopItemPattern() {
    // The host goes in as written: its dots match any character, as the marketplace's links never differ there.
    // Every scheme is matched in one scan, and a match never runs on past the next item name: else the item name of
    // a link the pattern does not take would run on to the next link it takes, and list that link's id under the
    // other link's title.
    return u"item-name(?:(?!item-name).)*?href=\"(?:https?:)?//" + std::u16string(endpoints::kItemHost) +
           u"/item.htm[?]id=(\\d{10,13})\" target=\"_blank\">.*?</a>";
}

std::vector<ShopItem> ParseShopPage(const std::u16string& pageText, int* linkCount) {
    // One scan of the page gives every link; the first 100 are the ones a link-by-link lookup of
    // match 1 to 100 would see, the rest are only counted.
    const std::vector<RegexHit> links = RegexMatches(pageText, ShopItemPattern());
    if (linkCount != nullptr) {
        *linkCount = static_cast<int>(links.size());
    }
    std::vector<ShopItem> items;
    for (std::size_t i = 0; i < links.size() && i < static_cast<std::size_t>(kShopMaxLinksPerPage); ++i) {
        std::u16string title = TextBetween(links[i].value, u">", u"<", 0, 0);
        if (title.empty()) {
            continue;
        }
        // The link's own "id=" value: a title may hold long numbers (model numbers) of its own.
        std::u16string id = RegexCapture(links[i].value, u"[?]id=\\d{10,13}\" target=", 1, u"\\d{10,13}");
        items.push_back(ShopItem{std::move(id), std::move(title)});
    }
    return items;
}

} // namespace tarvisk
