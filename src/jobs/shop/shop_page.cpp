#include "jobs/shop/shop_page.h"

#include "net/endpoints.h"
#include "text/regex.h"

namespace tarvisk {

namespace {

// The item link pattern around the start of the link's address.
std::u16string itemPattern(std::u16string_view scheme) {
    // The host goes in as written: its dots match any character, as the marketplace's links
    // never differ there.
    return u"item-name.*?href=\"" + std::u16string(scheme) + endpoints::kItemHost +
           u"/item.htm[?]id=(\\d{10,13})\" target=\"_blank\">.*?</a>";
}

} // namespace

std::u16string ShopItemPattern() {
    return itemPattern(u"http://");
}

std::u16string ShopItemPatternAnyScheme() {
    return itemPattern(u"(?:https?:)?//");
}

std::vector<ShopItem> ParseShopPage(const std::u16string& pageText, int* linkCount) {
    // One scan of the page gives every link; the first 100 are the ones a link-by-link lookup of
    // match 1 to 100 would see, the rest are only counted.
    std::vector<RegexHit> links = RegexMatches(pageText, ShopItemPattern());
    if (links.empty()) {
        links = RegexMatches(pageText, ShopItemPatternAnyScheme());
    }
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
