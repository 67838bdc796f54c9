// The shop crawl over real HTTP against the demo marketplace's shops (docs/demo-market.md).

#include "jobs/shop/shop_crawl.h"

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
        std::u16string status;
    };
    const Case cases[] = {
        // 20 + 5 items, then the end notice.
        {u"DEMOSHOP1.TAOBAO.COM", u"//demoshop1.taobao.com/", 25, 3, u"42054041382", u"42054065694", u"共查到25个宝贝"},
        // 120 links on page 1 of which the first 100 are looked at (item 50 has no text), then 10.
        {u"http://demoshop2.taobao.com", u"http://demoshop2.taobao.com/", 109, 3, u"43100000000", u"43100000903",
         u"共查到109个宝贝（第1页另有20个未列出，每页只列前100个）"},
        // 3 pages of 15, then a page without links and without the notice.
        {u"demoshop3.taobao.com/?spm=a1z10", u"//demoshop3.taobao.com/?spm=a1z10", 45, 4, u"43500000000",
         u"43500000484", u"共查到45个宝贝"},
    };
    for (const Case& c : cases) {
        std::u16string address = c.address;
        const ShopCrawlResult result = CrawlShop(address);
        const std::string name = ToUtf8(c.address);
        EXPECT_EQ(address, c.normalized) << name;
        ASSERT_EQ(result.count(), c.count) << name;
        EXPECT_EQ(result.pagesFetched, c.pagesFetched) << name;
        EXPECT_EQ(result.status, c.status) << name;
        EXPECT_EQ(result.items.front().id, c.firstId) << name;
        EXPECT_EQ(result.items.back().id, c.lastId) << name;
    }
}

TEST_F(ShopCrawlOverHttp, EachKindOfUnreadablePageAtTheFirstAndALaterPage) {
    struct Case {
        const char* kind;
        PageKind expected;
        const char16_t* address; // what the unread page is named by: the start of its address
    };
    const Case cases[] = {
        {"login", PageKind::Login,
         u"https://login.taobao.com/member/login.jhtml?redirectURL=http%3A%2F%2Frefuse-login-"},
        {"punish", PageKind::Verification, u"http://refuse-punish-"},
        {"slider", PageKind::Verification, u"http://refuse-slider-"},
        {"empty", PageKind::Empty, u"http://refuse-empty-"},
        {"busy", PageKind::ErrorStatus, u"http://refuse-busy-"},
        {"newlayout", PageKind::Unrecognised, u"http://refuse-newlayout-"},
    };
    for (const Case& c : cases) {
        for (const int page : {1, 2}) {
            std::u16string address =
                u"refuse-" + FromUtf8(c.kind) + u"-" + FromUtf8(std::to_string(page)) + u".taobao.com";
            const std::string name = ToUtf8(address);
            const ShopCrawlResult result = CrawlShop(address);
            const int before = page == 1 ? 0 : 20; // the first demo shop's first page
            EXPECT_EQ(result.count(), before) << name;
            EXPECT_EQ(result.pagesFetched, page) << name;
            EXPECT_EQ(result.status, u"共查到" + FromUtf8(std::to_string(before)) + u"个宝贝（第" +
                                         FromUtf8(std::to_string(page)) + u"页没有读到，列表不完整）")
                << name;
            ASSERT_TRUE(result.unreadPage) << name;
            EXPECT_EQ(result.unreadPage->number, page) << name;
            EXPECT_EQ(result.unreadPage->kind, c.expected) << name;
            EXPECT_TRUE(result.unreadPage->address.starts_with(c.address)) << ToUtf8(result.unreadPage->address);
            EXPECT_NE(ShopUnreadMessage(result).find(u"店铺第" + FromUtf8(std::to_string(page)) + u"页"),
                      std::u16string::npos)
                << name;
        }
    }
}

TEST_F(ShopCrawlOverHttp, TheDemosCurrentAndMembersOnlyShops) {
    std::u16string current = u"newshop.taobao.com";
    const ShopCrawlResult listed = CrawlShop(current);
    ASSERT_EQ(listed.count(), 30);
    EXPECT_FALSE(listed.unreadPage);
    EXPECT_EQ(listed.items[0], (ShopItem{u"45000000000", u"演示新店 包邮 第1款"}));
    EXPECT_EQ(listed.items[1].id, u"45000000017");
    EXPECT_EQ(listed.status, u"共查到30个宝贝");

    // Links of every scheme in turn: each listed, an https link just before an http link as well.
    std::u16string mixed = u"mixshop.taobao.com";
    const ShopCrawlResult all = CrawlShop(mixed);
    ASSERT_EQ(all.count(), 30);
    for (int n = 1; n <= 30; ++n) {
        EXPECT_EQ(all.items[n - 1].id, FromUtf8(std::to_string(46'000'000'000LL + (n - 1) * 23))) << n;
        EXPECT_TRUE(all.items[n - 1].title.ends_with(u" 第" + FromUtf8(std::to_string(n)) + u"款")) << n;
    }

    std::u16string members = u"loginshop.taobao.com";
    const ShopCrawlResult incomplete = CrawlShop(members);
    EXPECT_EQ(incomplete.count(), 20);
    ASSERT_TRUE(incomplete.unreadPage);
    EXPECT_EQ(incomplete.unreadPage->number, 2);
    EXPECT_EQ(incomplete.unreadPage->kind, PageKind::Login);
    EXPECT_EQ(
        ShopUnreadMessage(incomplete),
        u"店铺宝贝列表不完整：读取店铺第2页时淘宝要求登录，只列出了之前各页的20个宝贝。请先登录淘宝，再重新查询。");
}

TEST_F(ShopCrawlOverHttp, TitlesArriveDecodedAndTheTextHasOneLineAnItem) {
    std::u16string address = u"demoshop3.taobao.com";
    const ShopCrawlResult result = CrawlShop(address);
    ASSERT_EQ(result.count(), 45);
    EXPECT_EQ(result.items[0], (ShopItem{u"43500000000", u"演示店铺三 包邮 第1款"}));
    // A title with a run of nine digits leaves the link's id.
    EXPECT_EQ(result.items[1], (ShopItem{u"43500000011", u"演示店铺三 型号 123456789 加厚"}));
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
