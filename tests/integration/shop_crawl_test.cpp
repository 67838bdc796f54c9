// The shop crawl over real HTTP against the demo marketplace's shops (docs/demo-market.md).

#include "app/shop/shop_crawl.h"

#include <atomic>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "routed_demo.h"
#include "text/encoding.h"

namespace tarvisk {
namespace {

class ShopCrawlOverHttp : public test::RoutedToDemo {};

TEST_F(ShopCrawlOverHttp, ListsEveryShopToItsEnd) {
    struct Case {
        std::u16string address;
        std::u16string normalized;
        int count;
        int pagesFetched;
        std::u16string firstId;
        std::u16string lastId;
    };
    const Case cases[] = {
        // 20 + 5 items, then the end notice.
        {u"DEMOSHOP1.TAOBAO.COM", u"//demoshop1.taobao.com/", 25, 3, u"42054041382", u"42054065694"},
        // 120 links on page 1 of which the first 100 are looked at (item 50 has no text), then 10.
        {u"http://demoshop2.taobao.com/", u"http://demoshop2.taobao.com/", 109, 3, u"43100000000", u"43100000903"},
        // 3 pages of 15, then a page without links and without the notice.
        {u"demoshop3.taobao.com/?spm=a1z10", u"//demoshop3.taobao.com/?spm=a1z10", 45, 4, u"43500000000",
         u"43500000484"},
    };
    for (const Case& c : cases) {
        std::u16string address = c.address;
        const ShopCrawlResult result = CrawlShop(address);
        const std::string name = ToUtf8(c.address);
        EXPECT_EQ(address, c.normalized) << name;
        ASSERT_EQ(result.count(), c.count) << name;
        EXPECT_EQ(result.pagesFetched, c.pagesFetched) << name;
        EXPECT_EQ(result.status, u"共查到" + FromUtf8(std::to_string(c.count)) + u"个宝贝") << name;
        EXPECT_EQ(result.items.front().id, c.firstId) << name;
        EXPECT_EQ(result.items.back().id, c.lastId) << name;
    }
}

TEST_F(ShopCrawlOverHttp, TitlesArriveDecodedAndTheTextHasOneLineAnItem) {
    std::u16string address = u"demoshop3.taobao.com";
    const ShopCrawlResult result = CrawlShop(address);
    ASSERT_EQ(result.count(), 45);
    EXPECT_EQ(result.items[0], (ShopItem{u"43500000000", u"演示店铺三 包邮 第1款"}));
    // A title with a run of nine digits gives the listed id.
    EXPECT_EQ(result.items[1], (ShopItem{u"123456789", u"演示店铺三 型号 123456789 加厚"}));
    std::u16string expected;
    for (const ShopItem& item : result.items) {
        expected += item.id + u" " + item.title + u"\r\n";
    }
    EXPECT_EQ(result.text, expected);
}

TEST_F(ShopCrawlOverHttp, CancelStopsAfterThePageUnderWay) {
    std::atomic<bool> cancel = false;
    ShopCrawlOptions options;
    options.cancel = &cancel;
    options.itemListed = [&](const ShopItem&) { cancel = true; };
    std::vector<int> pages;
    options.progress = [&](int page, int) { pages.push_back(page); };
    std::u16string address = u"demoshop1.taobao.com";
    const ShopCrawlResult result = CrawlShop(address, options);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(pages, std::vector<int>{1});
    EXPECT_EQ(result.count(), 20);
}

} // namespace
} // namespace tarvisk
