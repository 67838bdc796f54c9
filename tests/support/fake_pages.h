#pragma once

#include <string>
#include <utility>
#include <vector>

// Marketplace pages as the tests fake them, in the forms the marketplace writes: the unit tests parse them,
// the window tests serve them through a fake fetch.

namespace tarvisk::test {

/// One item link of a shop search page.
inline std::u16string ShopItemLink(const std::u16string& id, const std::u16string& title) {
    return u"<dd><a class=\"item-name\" href=\"http://item.taobao.com/item.htm?id=" + id + u"\" target=\"_blank\">" +
           title + u"</a></dd>\n";
}

/// A shop search page listing the items (id, title), each with a picture link before its title link.
inline std::u16string ShopPage(const std::vector<std::pair<std::u16string, std::u16string>>& items) {
    std::u16string page = u"<html><body><div class=\"shop-hesper\">\n";
    for (const auto& [id, title] : items) {
        page += u"<a class=\"pic-link\" href=\"http://item.taobao.com/item.htm?id=" + id + u"\"><img></a>\n";
        page += ShopItemLink(id, title);
    }
    return page + u"</div></body></html>";
}

/// A shop search page past the last item: the marketplace's notice that nothing was found.
inline constexpr char16_t kShopEndPage[] = u"<html><body><p>很抱歉，搜索到0个宝贝</p></body></html>";

/// One item of a search result page, its fields as the page's script writes them (JSON-escaped).
struct SearchItem {
    std::u16string id;
    std::u16string rawTitle = u"t";
    std::u16string rawPicture = u"\\/\\/pics.taobaocdn.com\\/p.jpg";
    std::u16string sales = u"12人付款";
};

/// A search result page: the item data in a script, then the "dynamic" section that lists the ids in the same
/// order.
inline std::u16string SearchPage(const std::vector<SearchItem>& items) {
    std::u16string page = u"<html><head><title>搜索</title></head><body>\n<script>g_page_config = {\"auctions\":[";
    for (const SearchItem& item : items) {
        page += u"{\"nid\":\"" + item.id + u"\",\"raw_title\":\"" + item.rawTitle + u"\",\"pic_url\":\"" +
                item.rawPicture + u"\",\"view_price\":\"9.90\",\"view_sales\":\"" + item.sales + u"\"},";
    }
    page += u"],\"dynamic\":{\"items\":[";
    for (const SearchItem& item : items) {
        page += u"{\"nid\":\"" + item.id + u"\"},";
    }
    return page + u"]}};</script>\n</body></html>";
}

} // namespace tarvisk::test
