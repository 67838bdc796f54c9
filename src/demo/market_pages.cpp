#include "demo/market_pages.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "demo/demo_images.h"
#include "demo/demo_pages.h"
#include "demo/refusals.h"
#include "demo/today_pages.h"
#include "net/endpoints.h"
#include "text/encoding.h"
#include "text/html.h"
#include "text/numbers.h"
#include "text/text_ops.h"

namespace tarvisk::demo {

namespace {

// A demo shop's item standing at a fixed place in the results of a keyword.
struct Placement {
    std::u16string keyword;
    int page = 0;
    int k = 0; // the item's ordinal on its page, from 1
    const char* shopHost = "";
    int item = 0;
};

const Placement kPlacements[] = {
    {u"软件开发", 2, 7, "demoshop1.taobao.com", 1}, {u"软件开发", 5, 44, "demoshop1.taobao.com", 6},
    {u"连衣裙", 1, 10, "demoshop2.taobao.com", 4},  {u"连衣裙", 7, 20, "demoshop1.taobao.com", 11},
    {u"手机壳", 9, 44, "bigshop.taobao.com", 5000}, {kTodayKeyword, 2, 15, kTodayShopHost, 5},
    {kTodayKeyword, 4, 3, kTodayShopHost, 12},      {kTodaySliderKeyword, 3, 6, kTodayShopHost, 7},
    {kTodayStuckKeyword, 2, 9, kTodayShopHost, 3},
};

// Keywords with fewer results than a full walk.
const std::pair<std::u16string, int> kShortResults[] = {{u"冷门宝贝", 50}};

// Keywords with a result page that the marketplace refuses: the search throttles them.
struct RefusedSearchPage {
    std::u16string keyword;
    int page = 0;
    Refusal refusal = Refusal::None;
};
const RefusedSearchPage kRefusedSearchPages[] = {{u"限流宝贝", 3, Refusal::PunishRedirect}};

// Special items: a link without text, a title with a long run of digits.
constexpr int kEmptyTitleItem = 50;      // of demoshop2
constexpr int kDigitTitleItem = 2;       // of demoshop3
constexpr std::size_t kIdPadding = 3200; // keeps the item data out of the 3000 characters after the ids

const char16_t* const kWords[] = {u"新款", u"包邮", u"正品", u"特价",   u"热卖", u"加厚",
                                  u"韩版", u"纯棉", u"清仓", u"旗舰店", u"原创", u"现货"};
const char16_t* const kPlaces[] = {u"浙江 杭州", u"广东 广州", u"上海", u"江苏 苏州", u"福建 泉州", u"北京"};

std::uint64_t mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// The marketplace's search ignores the letter case of a keyword (and later result pages are asked
// for with a lower-cased address), so the items depend on the lower-cased keyword.
std::uint64_t keywordHash(const std::u16string& keyword) {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (const char16_t c : LowerAscii(keyword)) {
        hash = (hash ^ c) * 0x100000001B3ull;
    }
    return hash;
}

std::u16string number(std::uint64_t value) {
    return NumberText(static_cast<double>(value));
}

} // namespace

std::u16string DemoPrice(std::uint64_t seed) {
    const std::uint64_t cents = 990 + seed % 49000;
    const std::u16string fraction = number(cents % 100);
    return number(cents / 100) + u"." + (fraction.size() == 1 ? u"0" : u"") + fraction;
}

namespace {

// A JSON string body as the marketplace writes it: non-ASCII as \u escapes, "/" as "\/".
std::u16string jsonText(const std::u16string& text) {
    static constexpr char16_t kHex[] = u"0123456789abcdef";
    std::u16string out;
    for (const char16_t c : text) {
        if (c == u'"' || c == u'\\' || c == u'/') {
            out += u'\\';
            out += c;
        } else if (c < 0x20 || c > 0x7E) {
            out += u"\\u";
            for (int shift = 12; shift >= 0; shift -= 4) {
                out += kHex[(c >> shift) & 0xF];
            }
        } else {
            out += c;
        }
    }
    return out;
}

// Style rules of the page's own look, `bytes` long (about), none of them with a text the
// programs look for.
std::u16string filler(std::size_t bytes, std::uint64_t seed) {
    std::u16string out;
    for (std::uint64_t i = 0; out.size() < bytes; ++i) {
        const std::uint64_t r = mix(seed + i);
        out += u".m-itemlist .grid .item-" + number(i) + u" .pic-box{width:" + number(180 + r % 60) + u"px;height:" +
               number(180 + (r >> 8) % 60) + u"px;margin:0 auto;background:#f" + number(r % 10) + u"f" +
               number((r >> 4) % 10) + u"f" + number((r >> 12) % 10) + u"}\n";
    }
    return out;
}

/// The scheme of the link of item `n` (from 1): current pages leave it out, or write https.
std::u16string linkScheme(DemoShop::Links links, int n) {
    switch (links) {
    case DemoShop::Links::Http:
        break;
    case DemoShop::Links::Current:
        return n % 2 == 1 ? u"//" : u"https://";
    case DemoShop::Links::Mixed:
        return n % 3 == 1 ? u"//" : n % 3 == 2 ? u"https://" : u"http://";
    }
    return u"http://";
}

} // namespace

std::u16string DemoShopItemTitle(const DemoShop& shop, int n) {
    if (shop.host == "demoshop2.taobao.com" && n == kEmptyTitleItem) {
        return {};
    }
    if (shop.host == "demoshop3.taobao.com" && n == kDigitTitleItem) {
        return shop.name + u" 型号 123456789 加厚";
    }
    return shop.name + u" " + kWords[n % std::size(kWords)] + u" 第" + NumberText(n) + u"款";
}

namespace {

// How many places further down every keyword's results list the demo shops' items (negative: higher, up to the
// first place), from TARVISK_DEMO_SHIFT as the process found it at its first search, so that a test can move a
// tracked item between two runs; 0 when it is not set or not a whole number.
int placementShift() {
    static const int shift = [] {
        const char* text = std::getenv("TARVISK_DEMO_SHIFT");
        int value = 0;
        return text != nullptr && std::from_chars(text, text + std::strlen(text), value).ec == std::errc() ? value : 0;
    }();
    return shift;
}

int resultCount(const std::u16string& keyword) {
    for (const auto& [word, count] : kShortResults) {
        if (LowerAscii(keyword) == word) {
            return count;
        }
    }
    return kSearchResults;
}

} // namespace

DemoResult DemoSearchResult(const std::u16string& keyword, int index, int pageItems) {
    const std::uint64_t seed = mix(keywordHash(keyword) ^ static_cast<std::uint64_t>(index));
    for (const Placement& placement : kPlacements) {
        const int place = std::max((placement.page - 1) * pageItems + placement.k - 1 + placementShift(), 0);
        if (place == index && LowerAscii(keyword) == placement.keyword) {
            const DemoShop& shop = *DemoShopByHost(placement.shopHost);
            return {DemoShopItemId(shop, placement.item), DemoShopItemTitle(shop, placement.item), seed, shop.host};
        }
    }
    // Other sellers' items: eleven-digit ids from 5 upwards, apart from every demo shop's.
    return {number(50'000'000'000ull + seed % 40'000'000'000ull),
            keyword + u" " + kWords[seed % std::size(kWords)] + u" " + kWords[(seed >> 8) % std::size(kWords)],
            seed,
            {}};
}

std::u16string DemoPicture(const DemoResult& item) {
    return u"http://" + std::u16string(endpoints::kPictureHost) + u"/bao/uploaded/i" + number(1 + item.seed % 4) +
           u"/" + item.id + u".jpg";
}

std::u16string DemoPlace(std::uint64_t seed) {
    return kPlaces[seed % std::size(kPlaces)];
}

namespace {

// The sales count of an item: plain digits, or in the current form for the current-sales keyword.
std::u16string salesText(const std::u16string& keyword, std::uint64_t seed) {
    if (LowerAscii(keyword) == kCurrentSalesKeyword) {
        return CurrentSalesText(static_cast<int>((seed >> 16) % 60000));
    }
    return number((seed >> 16) % 5000);
}

std::u16string auctionJson(const std::u16string& keyword, const DemoResult& item) {
    const std::u16string picture = DemoPicture(item);
    const std::u16string detail = u"http://" + std::u16string(endpoints::kItemHost) + u"/item.htm?id=" + item.id;
    return u"{\"i2iTags\":{},\"nid\":\"" + item.id + u"\",\"category\":\"5001" + number(item.seed % 10000) +
           u"\",\"pid\":\"\",\"title\":\"" + jsonText(u"<span class=H>" + keyword + u"</span> " + item.title) +
           u"\",\"raw_title\":\"" + jsonText(item.title) + u"\",\"pic_url\":\"" + jsonText(picture) +
           u"\",\"detail_url\":\"" + jsonText(detail) + u"\",\"view_price\":\"" + DemoPrice(item.seed) +
           u"\",\"view_fee\":\"0.00\",\"item_loc\":\"" + jsonText(DemoPlace(item.seed)) + u"\",\"reserve_price\":\"" +
           DemoPrice(item.seed >> 3) + u"\",\"view_sales\":\"" + jsonText(salesText(keyword, item.seed) + u"人付款") +
           u"\",\"comment_count\":\"" + number((item.seed >> 24) % 900) + u"\",\"user_id\":\"" +
           number(100000000 + (item.seed >> 32) % 99999999) + u"\",\"nick\":\"" +
           jsonText(u"店铺" + number(item.seed % 997)) + u"\"}";
}

std::u16string textParam(const httplib::Request& request, const char* name) {
    return request.has_param(name) ? FromUtf8(request.get_param_value(name)) : std::u16string();
}

int numberParam(const httplib::Request& request, const char* name, int fallback) {
    const std::string text = request.has_param(name) ? request.get_param_value(name) : std::string();
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end != text.data() ? value : fallback;
}

void notFound(httplib::Response& response) {
    response.status = 404;
    response.set_content("not found", "text/plain");
}

// A small picture for an item: two colours from its address, in diagonal stripes.
std::string itemPicture(const std::string& path) {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (const char c : path) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
    }
    const std::uint64_t r = mix(hash);
    IndexedImage image;
    image.width = 16;
    image.height = 16;
    image.palette = {
        Rgb{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(r >> 8), static_cast<std::uint8_t>(r >> 16)},
        Rgb{static_cast<std::uint8_t>(r >> 24), static_cast<std::uint8_t>(r >> 32),
            static_cast<std::uint8_t>(r >> 40)}};
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            image.pixels.push_back(static_cast<std::uint8_t>(((x + y) / 4) % 2));
        }
    }
    return EncodeGif(image);
}

} // namespace

const std::vector<DemoShop>& DemoShops() {
    static const std::vector<DemoShop> shops = {
        {"demoshop1.taobao.com", u"演示店铺一", 25, 20, 42'054'041'382, 1013, true},
        {"demoshop2.taobao.com", u"演示店铺二", 130, 120, 43'100'000'000, 7, true},
        {"demoshop3.taobao.com", u"演示店铺三", 45, 15, 43'500'000'000, 11, false},
        {"bigshop.taobao.com", u"演示大店", 12000, 100, 44'000'000'000, 3, true},
        {"newshop.taobao.com", u"演示新店", 30, 20, 45'000'000'000, 17, true, DemoShop::Links::Current},
        {"loginshop.taobao.com", u"演示会员店", 60, 20, 45'500'000'000, 13, true, DemoShop::Links::Http, 2},
        {"mixshop.taobao.com", u"演示混合店", 30, 20, 46'000'000'000, 23, true, DemoShop::Links::Mixed},
        {kTodayShopHost, u"今日小店", 70, 30, 46'500'000'000, 19, true, DemoShop::Links::Http, 0, true},
        {kGatewayShopHost, u"今日网关店", 75, 30, 47'000'000'000, 29, true, DemoShop::Links::Http, 0, true, true},
    };
    return shops;
}

const DemoShop* DemoShopByHost(const std::string& host) {
    for (const DemoShop& shop : DemoShops()) {
        if (shop.host == host) {
            return &shop;
        }
    }
    return nullptr;
}

std::u16string DemoShopItemId(const DemoShop& shop, int n) {
    return number(static_cast<std::uint64_t>(shop.firstId + static_cast<long long>(n - 1) * shop.idStep));
}

std::u16string SearchResultPage(const std::u16string& keyword, int offset, std::size_t fillerBytes) {
    const std::uint64_t hash = keywordHash(keyword);
    const int first = std::max(offset, 0);
    const int last = std::min(first + kSearchPageItems, resultCount(keyword));

    std::u16string page = u"<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>淘宝搜索</title>\n"
                          u"<style>\n" +
                          filler(fillerBytes / 2, hash) + u"</style>\n</head>\n<body>\n";
    if (first >= last) {
        page += u"<div class=\"m-noresult\">没有找到相关的宝贝</div>\n";
    } else {
        std::vector<DemoResult> items;
        for (int index = first; index < last; ++index) {
            items.push_back(DemoSearchResult(keyword, index));
        }
        // The ids first, then (well past the 3000 characters that follow the ids' marker) the
        // whole item data in the same order.
        page += u"<script>g_srp_init = {\"dynamic\":true,\"auctionIds\":[";
        for (const DemoResult& item : items) {
            page += u"{\"nid\":\"" + item.id + u"\"},";
        }
        page += u"{}]};</script>\n<script>\n/* " + std::u16string(kIdPadding, u'-') + u" */\n</script>\n";
        page += u"<div class=\"search-box\"><input name=\"q\" value=\"" + EscapeHtml(keyword) + u"\"></div>\n";
        page += u"<script>\ng_page_config = {\"pageName\":\"mainsrp\",\"mods\":{\"itemlist\":{\"status\":\"show\","
                u"\"data\":{\"auctions\":[";
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (i > 0) {
                page += u',';
            }
            page += auctionJson(keyword, items[i]);
        }
        page += u"]}},\"pager\":{\"data\":{\"pageSize\":44,\"totalCount\":" + number(resultCount(keyword)) +
                u",\"currentPage\":" + number(first / kSearchPageItems + 1) + u"}}}};\n</script>\n";
    }
    return page + u"<style>\n" + filler(fillerBytes - fillerBytes / 2, ~hash) + u"</style>\n</body>\n</html>\n";
}

std::u16string ShopSearchPage(const std::string& host, int page) {
    const DemoShop* shop = DemoShopByHost(host);
    std::u16string html = u"<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"gbk\">\n<title>" +
                          (shop != nullptr ? shop->name : u"店铺") +
                          u" - 淘宝网</title>\n</head>\n<body>\n<div class=\"shop-hesper-bd grid\">\n";
    const int first = shop != nullptr ? (std::max(page, 1) - 1) * shop->linksPerPage + 1 : 1;
    const int last = shop != nullptr ? std::min(first + shop->linksPerPage - 1, shop->items) : 0;
    for (int n = first; n <= last; ++n) {
        const std::u16string id = DemoShopItemId(*shop, n);
        const std::u16string scheme = linkScheme(shop->links, n);
        const std::u16string link = scheme + endpoints::kItemHost + u"/item.htm?id=" + id;
        const std::u16string title = EscapeHtml(DemoShopItemTitle(*shop, n));
        html += u"<dl class=\"item\" data-id=\"" + id + u"\"><dt class=\"photo\"><a href=\"" + link +
                u"\" target=\"_blank\"><img alt=\"" + title + u"\" src=\"http://" + endpoints::kPictureHost +
                u"/bao/uploaded/i1/" + id +
                u".jpg_240x240.jpg\"></a></dt><dd class=\"detail\"><a class=\"item-name\" "
                u"href=\"" +
                link + u"\" target=\"_blank\">" + title + u"</a><div class=\"attribute\"><span class=\"c-price\">" +
                DemoPrice(mix(static_cast<std::uint64_t>(n))) + u"</span></div></dd></dl>\n";
    }
    html += u"</div>\n";
    if (first > last) {
        html += shop == nullptr || shop->endNotice
                    ? u"<div class=\"no-result-new\"><p>很抱歉，搜索到 0 个宝贝</p></div>\n"
                    : u"<div class=\"shop-decorating\">店铺装修中，请稍后再来</div>\n";
    }
    return html + u"</body>\n</html>\n";
}

std::u16string CurrentSalesText(int count) {
    if (count >= 10000) {
        const int tenths = count / 1000;
        return NumberText(tenths / 10) + u"." + NumberText(tenths % 10) + u"万+";
    }
    return count >= 100 ? NumberText(count / 100 * 100) + u"+" : NumberText(count);
}

void RegisterMarketPages(httplib::Server& server) {
    ServePath(server, "/search", [](const httplib::Request& request, httplib::Response& response) {
        if (RequestHost(request) != ToUtf8(endpoints::kSearchHost)) {
            notFound(response);
            return;
        }
        const std::u16string keyword = textParam(request, "q");
        if (IsTodayKeyword(keyword)) {
            SendTodaySearchPage(request, response);
            return;
        }
        // The older walk asks by offset; a browser asks as today's search page does, by page number.
        const int offset = request.has_param("page")
                               ? (std::max(numberParam(request, "page", 1), 1) - 1) * kSearchPageItems
                               : numberParam(request, "s", 0);
        for (const RefusedSearchPage& refused : kRefusedSearchPages) {
            if (LowerAscii(keyword) == refused.keyword && offset / kSearchPageItems + 1 == refused.page) {
                SendRefusal(refused.refusal, request, response);
                return;
            }
        }
        response.set_content(ToUtf8(SearchResultPage(keyword, offset)), "text/html; charset=utf-8");
    });
    // Every shop's own host serves its search pages; hosts without a shop have no items.
    ServePath(server, "/search.htm", [](const httplib::Request& request, httplib::Response& response) {
        const std::string host = RequestHost(request);
        const int page = numberParam(request, "pageNo", 1);
        const DemoShop* shop = DemoShopByHost(host);
        if (shop != nullptr && shop->today) {
            SendTodayShopPage(request, *shop, page, response);
            return;
        }
        if (shop != nullptr && shop->loginPage == page) {
            SendRefusal(Refusal::LoginRedirect, request, response);
            return;
        }
        response.set_content(EncodeGbk(ShopSearchPage(host, page)), "text/html; charset=GBK");
    });
    server.Get("/bao/uploaded/.+", [](const httplib::Request& request, httplib::Response& response) {
        if (RequestHost(request) != ToUtf8(endpoints::kPictureHost)) {
            notFound(response);
            return;
        }
        response.set_header("Cache-Control", "max-age=86400");
        response.set_content(itemPicture(request.path), "image/gif");
    });
}

} // namespace tarvisk::demo
