// The demo marketplace's today's pages over HTTP: a plain request sees script pages that hold nothing a reader
// knows, the data gateway answers only a request signed with the token it set, and the shop's list endpoint
// gives the shop's own list page by page.

#include "demo/today_pages.h"

#include <string>

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include "demo/demo_login.h"
#include "demo/market_pages.h"
#include "jobs/ranking/today_search_page.h"
#include "jobs/shop/today_shop_page.h"
#include "net/browser_cookies.h"
#include "net/xml_http.h"
#include "routed_demo.h"
#include "text/encoding.h"

namespace tarvisk {
namespace {

std::string md5Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_md5(), nullptr);
    std::string hex;
    for (unsigned int i = 0; i < size; ++i) {
        hex += "0123456789abcdef"[digest[i] >> 4];
        hex += "0123456789abcdef"[digest[i] & 0xF];
    }
    return hex;
}

std::string tokenCookie() {
    for (const BrowserCookie& cookie : BrowserCookies::instance().all()) {
        if (cookie.name == "_m_h5_tk") {
            return cookie.value.substr(0, cookie.value.find('_'));
        }
    }
    return {};
}

class TodayPagesTest : public test::RoutedToDemo {
protected:
    /// The gateway's answer for a page of a keyword, signed with the token the browser store holds ("bad" signs
    /// it wrongly).
    std::u16string search(const std::u16string& keyword, int page, bool badSign = false) {
        const std::string data = R"({"appId":"34385","params":"{\"q\":\")" + ToUtf8(keyword) + R"(\",\"page\":)" +
                                 std::to_string(page) + R"(}"})";
        return gateway(demo::kSearchEndpointPath, data, u"&callback=mtopjsonp7&type=jsonp", badSign);
    }
    /// A request of the gateway's endpoint at `path` with that data field, signed with the token the store holds.
    std::u16string gateway(const char* path, const std::string& data, const std::u16string& form,
                           bool badSign = false) {
        const std::string t = "1700000000000";
        const std::string sign = badSign ? "0" : md5Hex(tokenCookie() + "&" + t + "&12574478&" + data);
        return XmlHttpRequest(u"http://h5api.m.taobao.com" + FromUtf8(path) + u"?appKey=12574478&t=" + FromUtf8(t) +
                                  u"&sign=" + FromUtf8(sign) + form + u"&data=" + UrlEncodeUtf8(FromUtf8(data)),
                              u"", 0, 10);
    }
};

TEST_F(TodayPagesTest, APlainRequestSeesPagesWithoutAnythingToRead) {
    for (const std::u16string& address :
         {u"http://s.taobao.com/search?q=" + UrlEncodeUtf8(demo::kTodayKeyword) + u"&page=1&tab=all",
          u"https://s.taobao.com/search?q=" + UrlEncodeUtf8(demo::kTodayKeyword) + u"&page=2&tab=all",
          u"http://s.taobao.com/search?q=" + UrlEncodeUtf8(demo::kTodayKeyword) + u"&s=44"}) {
        FetchedPage page(XmlHttpRequest(address, u"", 0, 10));
        EXPECT_NE(page.text.find(u"content_items_wrapper"), std::u16string::npos) << ToUtf8(address);
        // It names its data endpoint: only the browser reads it.
        EXPECT_EQ(ClassifySearchPage(page), PageKind::BrowserOnly) << ToUtf8(address);
        EXPECT_EQ(ReadSearchPage(page).reader, SearchReader::None) << ToUtf8(address);
    }
    const FetchedPage shop(XmlHttpRequest(u"https://todayshop.taobao.com/search.htm?v=1&pageNo=1", u"", 0, 10));
    EXPECT_NE(shop.text.find(u"J_ShopSearchResult"), std::u16string::npos);
    EXPECT_EQ(ClassifyPage(shop, kShopTexts), PageKind::Unrecognised);
    EXPECT_EQ(ReadShopPage(shop).reader, ShopReader::None);
}

TEST_F(TodayPagesTest, TheGatewayAnswersOnlyARequestSignedWithItsToken) {
    const auto kind = [](const std::u16string& answer) {
        const std::optional<TodaySearchAnswer> read = ReadTodaySearchAnswer(answer);
        return read ? read->kind : PageKind::Empty;
    };
    // No token yet: the gateway sets one; a login is needed as well.
    EXPECT_EQ(kind(search(demo::kTodayKeyword, 1)), PageKind::Unrecognised);
    ASSERT_FALSE(tokenCookie().empty());
    EXPECT_EQ(kind(search(demo::kTodayKeyword, 1)), PageKind::Login);
    ASSERT_TRUE(demo::LogInToDemo());
    EXPECT_EQ(kind(search(demo::kTodayKeyword, 1, true)), PageKind::Unrecognised);

    const std::optional<TodaySearchAnswer> page2 = ReadTodaySearchAnswer(search(demo::kTodayKeyword, 2));
    ASSERT_TRUE(page2);
    ASSERT_EQ(page2->items.size(), std::size_t(demo::kTodayPageItems));
    const demo::DemoShop& shop = *demo::DemoShopByHost(demo::kTodayShopHost);
    EXPECT_EQ(page2->items[14].item.id, demo::DemoShopItemId(shop, 5));
    EXPECT_EQ(page2->items[14].shop, shop.name);
    for (std::size_t place = 1; place <= page2->items.size(); ++place) {
        const TodaySearchItem& item = page2->items[place - 1];
        EXPECT_EQ(item.paid, std::ranges::find(demo::kTodayPaidPlaces, int(place)) != std::end(demo::kTodayPaidPlaces));
        EXPECT_FALSE(item.item.sales.empty());
        EXPECT_EQ(item.item.title.find(u"<span"), std::u16string::npos);
    }
    const std::optional<TodaySearchAnswer> past = ReadTodaySearchAnswer(search(demo::kTodayKeyword, 6));
    ASSERT_TRUE(past);
    EXPECT_EQ(past->kind, PageKind::Normal);
    EXPECT_TRUE(past->items.empty());

    const std::optional<TodaySearchAnswer> slider = ReadTodaySearchAnswer(search(demo::kTodaySliderKeyword, 2));
    ASSERT_TRUE(slider);
    EXPECT_EQ(slider->kind, PageKind::Verification);
    EXPECT_NE(slider->verifyAddress.find(u"_____tmd_____/punish"), std::u16string::npos);
    EXPECT_EQ(kind(search(demo::kTodaySliderKeyword, 1)), PageKind::Normal);
    // A gateway that does not turn its pages answers page 1 for any page.
    EXPECT_EQ(ReadTodaySearchAnswer(search(demo::kTodayStuckKeyword, 3)),
              ReadTodaySearchAnswer(search(demo::kTodayStuckKeyword, 1)));
}

TEST_F(TodayPagesTest, TheGatewaysItemListSaysWhenItHasMore) {
    ASSERT_TRUE(demo::LogInToDemo());
    search(demo::kTodayKeyword, 1); // for the token
    const demo::DemoShop& shop = *demo::DemoShopByHost(demo::kGatewayShopHost);
    const struct {
        int page;
        std::size_t items;
        bool hasNext;
    } pages[] = {{1, 30, true}, {2, 30, true}, {3, 15, false}, {4, 0, false}};
    int listed = 0;
    for (const auto& page : pages) {
        const std::string data = R"({"shopId":)" + demo::DemoGatewayShopId(shop) + R"(,"page":)" +
                                 std::to_string(page.page) + R"(,"pageSize":60})";
        const std::optional<TodayShopList> list =
            ReadShopItemAnswer(gateway(demo::kShopItemEndpointPath, data, u"&type=originaljson"));
        ASSERT_TRUE(list) << page.page;
        ASSERT_EQ(list->items.size(), page.items) << page.page;
        EXPECT_EQ(list->hasNext, page.hasNext) << page.page;
        EXPECT_EQ(list->total, shop.items) << page.page;
        for (const ShopItem& item : list->items) {
            ++listed;
            EXPECT_EQ(item.id, demo::DemoShopItemId(shop, listed));
        }
    }
    EXPECT_EQ(listed, shop.items);
}

TEST_F(TodayPagesTest, TheShopsListComesPageByPageWithoutItsRecommendations) {
    const demo::DemoShop& shop = *demo::DemoShopByHost(demo::kTodayShopHost);
    const struct {
        int page;
        std::size_t items;
        int next;
    } pages[] = {{1, 30, 2}, {2, 30, 3}, {3, 10, 0}, {4, 0, 0}};
    int listed = 0;
    for (const auto& page : pages) {
        const std::u16string answer =
            XmlHttpRequest(u"https://todayshop.taobao.com/i/asynSearch.htm?callback=jsonp9&pageNo=" +
                               FromUtf8(std::to_string(page.page)),
                           u"", 0, 10);
        const std::optional<TodayShopList> list = ReadShopListAnswer(answer);
        ASSERT_TRUE(list) << page.page;
        ASSERT_EQ(list->items.size(), page.items) << page.page;
        EXPECT_EQ(list->nextPage, page.next) << page.page;
        for (const ShopItem& item : list->items) {
            ++listed;
            EXPECT_EQ(item.id, demo::DemoShopItemId(shop, listed));
            EXPECT_EQ(item.title, demo::DemoShopItemTitle(shop, listed));
        }
    }
    EXPECT_EQ(listed, shop.items);
}

} // namespace
} // namespace tarvisk
