#include "jobs/shop/shop_crawl.h"

#include <atomic>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "text/encoding.h"
#include "support/fake_pages.h"
#include "text/numbers.h"
#include "text/text_ops.h"

namespace tarvisk {
namespace {

using test::ShopItemLink;

// A shop page with `count` links whose ids are first, first + 1, ...
std::u16string pageOf(long long first, int count) {
    std::vector<std::pair<std::u16string, std::u16string>> items;
    for (int i = 0; i < count; ++i) {
        items.emplace_back(NumberText(static_cast<double>(first + i)), u"宝贝 " + NumberText(i + 1));
    }
    return test::ShopPage(items);
}

const std::u16string kEndPage = u"<div class=\"no-result\">很抱歉，搜索到0个宝贝</div>";

// A fake shop: page texts by address, every request recorded.
struct FakeShop {
    std::map<std::u16string, std::u16string> pages;
    std::map<std::u16string, std::u16string> answeredFrom; // where an answer came from, if elsewhere
    std::map<std::u16string, int> statuses;                // the HTTP status of an answer, if known
    std::vector<std::u16string> requested;

    ShopCrawlOptions options() {
        ShopCrawlOptions o;
        o.fetch = [this](const std::u16string& url) {
            requested.push_back(url);
            const auto found = pages.find(url);
            const auto from = answeredFrom.find(url);
            const auto status = statuses.find(url);
            return FetchedPage(found == pages.end() ? std::u16string() : found->second,
                               HttpAnswer{from == answeredFrom.end() ? std::u16string() : from->second,
                                          status == statuses.end() ? 0 : status->second});
        };
        return o;
    }
};

std::u16string shopUrl(int page) {
    return u"http://shop1.taobao.com/search.htm?v=1&pageNo=" + NumberText(page);
}

TEST(NormalizeShopAddress, RewritesTheFieldAndFindsTheShopName) {
    struct Case {
        std::u16string typed;
        std::u16string normalized;
        std::u16string shopName;
    };
    const Case cases[] = {
        {u"SHOP1.TAOBAO.COM", u"//shop1.taobao.com/", u"shop1.taobao"},
        {u"https://shop1.taobao.com/", u"https://shop1.taobao.com/", u"shop1.taobao"},
        {u"shop1.taobao.com/?spm=a1z10", u"//shop1.taobao.com/?spm=a1z10", u"shop1.taobao"},
        {u"http://shop1.taobao.com", u"http://shop1.taobao.com/", u"shop1.taobao"}, // the host alone
        {u"HTTP://Shop1.taobao.com?spm=1", u"http://shop1.taobao.com/?spm=1", u"shop1.taobao"},
        {u"http://example.org", u"http://example.org/", u""}, // no ".com/": no shop name
        {u"", u"///", u""},
        {u"http://a.com/b.com/", u"http://a.com/b.com/", u"a"}, // the first ".com/" ends the name
        {u"//xcom/", u"//xcom/", u""},                          // "." of ".com/" is any character: here the "x"
        {u"//shopXcom/", u"//shopxcom/", u"shop"},
    };
    for (const Case& c : cases) {
        std::u16string field = c.typed;
        EXPECT_EQ(NormalizeShopAddress(field), c.normalized) << ToUtf8(c.typed);
        EXPECT_EQ(field, c.normalized) << ToUtf8(c.typed);
        EXPECT_EQ(ShopNameOf(field), c.shopName) << ToUtf8(c.typed);
    }
}

TEST(ParseShopPage, LinksTitlesAndIds) {
    struct Case {
        const char* name;
        std::u16string page;
        std::vector<ShopItem> items;
        int links;
    };
    const Case cases[] = {
        {"plain links",
         ShopItemLink(u"12345678901", u"红色连衣裙") + ShopItemLink(u"1234567890123", u"T恤"),
         {{u"12345678901", u"红色连衣裙"}, {u"1234567890123", u"T恤"}},
         2},
        {"empty title is counted but not listed",
         ShopItemLink(u"12345678901", u"") + ShopItemLink(u"22345678901", u"b"),
         {{u"22345678901", u"b"}},
         2},
        {"digits in the title leave the link's id",
         ShopItemLink(u"12345678901", u"款号 987654321 新款"),
         {{u"12345678901", u"款号 987654321 新款"}},
         1},
        {"an id-like text in the title leaves the link's id",
         ShopItemLink(u"12345678901", u"?id=9876543210\" target=x"),
         {{u"12345678901", u"?id=9876543210\" target=x"}},
         1},
        {"eight digits in the title do not",
         ShopItemLink(u"12345678901", u"款号 98765432"),
         {{u"12345678901", u"款号 98765432"}},
         1},
        {"an id of nine digits does not match the link", ShopItemLink(u"123456789", u"x"), {}, 0},
        {"other hosts do not match",
         u"<a class=\"item-name\" href=\"http://detail.tmall.com/item.htm?id=12345678901\" "
         u"target=\"_blank\">x</a>",
         {},
         0},
        {"the host's dots match any character",
         u"<a class=\"item-name\" href=\"http://itemXtaobao-com/item.htm?id="
         u"12345678901\" target=\"_blank\">x</a>",
         {{u"12345678901", u"x"}},
         1},
        {"a line feed breaks a link",
         u"<a class=\"item-name\"\nhref=\"http://item.taobao.com/item.htm?id=12345678901\" "
         u"target=\"_blank\">x</a>",
         {},
         0},
        {"title up to the first tag", ShopItemLink(u"12345678901", u"<b>hot</b> sale"), {}, 1},
    };
    for (const Case& c : cases) {
        int links = -1;
        EXPECT_EQ(ParseShopPage(c.page, &links), c.items) << c.name;
        EXPECT_EQ(links, c.links) << c.name;
    }
}

TEST(ParseShopPage, CurrentLinksWithoutSchemeOrWithHttps) {
    const auto withScheme = [](std::u16string page, const std::u16string& scheme) {
        return ReplaceAll(page, u"href=\"http://item.", u"href=\"" + scheme + u"item.");
    };
    const std::u16string old = pageOf(10000000000, 3) + ShopItemLink(u"12345678901", u"款号 987654321") +
                               ShopItemLink(u"12345678902", u"") + ShopItemLink(u"12345678903", u"<b>hot</b>");
    int oldLinks = 0;
    const std::vector<ShopItem> oldItems = ParseShopPage(old, &oldLinks);
    ASSERT_EQ(oldItems.size(), 4u);
    for (const char16_t* scheme : {u"//", u"https://", u"HTTPS://"}) {
        int links = 0;
        EXPECT_EQ(ParseShopPage(withScheme(old, scheme), &links), oldItems) << ToUtf8(scheme);
        EXPECT_EQ(links, oldLinks) << ToUtf8(scheme);
    }
    // Other schemes and hosts still do not match.
    for (const char16_t* scheme : {u"ftp://", u"///", u"http:/"}) {
        EXPECT_TRUE(ParseShopPage(withScheme(pageOf(20000000000, 2), scheme)).empty()) << ToUtf8(scheme);
    }
}

TEST(ParseShopPage, EveryLinkWhateverItsSchemeInPageOrderWithItsOwnTitle) {
    const auto link = [](const std::u16string& scheme, const std::u16string& id, const std::u16string& title) {
        return u"<a class=\"item-name\" href=\"" + scheme + u"item.taobao.com/item.htm?id=" + id +
               u"\" target=\"_blank\">" + title + u"</a> … ";
    };
    struct Case {
        const char* name;
        std::u16string page;
        std::vector<ShopItem> items;
    };
    const Case cases[] = {
        {"three scheme-less, one https and one http link",
         link(u"//", u"3100000001", u"a") + link(u"https://", u"3100000002", u"b") + link(u"//", u"3100000003", u"c") +
             link(u"http://", u"3100000004", u"d") + link(u"//", u"3100000005", u"e"),
         {{u"3100000001", u"a"},
          {u"3100000002", u"b"},
          {u"3100000003", u"c"},
          {u"3100000004", u"d"},
          {u"3100000005", u"e"}}},
        {"an https link just before an http link",
         link(u"https://", u"3100000003", u"错链") + link(u"http://", u"3100000004", u"青瓷茶杯"),
         {{u"3100000003", u"错链"}, {u"3100000004", u"青瓷茶杯"}}},
        {"an item name whose link goes elsewhere lends its title to no other link",
         u"<a class=\"item-name\" href=\"https://detail.tmall.com/item.htm?id=3100000009\">天猫</a> " +
             link(u"http://", u"3100000004", u"青瓷茶杯"),
         {{u"3100000004", u"青瓷茶杯"}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseShopPage(c.page), c.items) << c.name;
    }
}

TEST(ParseShopPage, ListsTheFirstHundredLinksAndCountsTheRest) {
    int links = 0;
    const std::vector<ShopItem> items = ParseShopPage(pageOf(10000000000, 120), &links);
    EXPECT_EQ(links, 120);
    ASSERT_EQ(items.size(), 100u);
    EXPECT_EQ(items.front().id, u"10000000000");
    EXPECT_EQ(items.back().id, u"10000000099");
}

TEST(CrawlShop, WalksPagesUntilTheEndNotice) {
    FakeShop shop;
    shop.pages[shopUrl(1)] = pageOf(10000000000, 3);
    shop.pages[shopUrl(2)] = pageOf(20000000000, 2) + ShopItemLink(u"10000000000", u"again");
    shop.pages[shopUrl(3)] = pageOf(30000000000, 5) + kEndPage; // the notice wins over its links
    std::u16string address = u"Shop1.taobao.com";
    std::vector<std::pair<int, int>> progress;
    std::vector<std::u16string> listed;
    ShopCrawlOptions options = shop.options();
    options.progress = [&](int page, int pages) { progress.emplace_back(page, pages); };
    options.itemListed = [&](const ShopItem& item) { listed.push_back(item.id); };

    const ShopCrawlResult result = CrawlShop(address, options);

    EXPECT_EQ(address, u"//shop1.taobao.com/");
    EXPECT_EQ(shop.requested, (std::vector<std::u16string>{shopUrl(1), shopUrl(2), shopUrl(3)}));
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 100}, {2, 100}, {3, 100}}));
    ASSERT_EQ(result.count(), 6);
    EXPECT_EQ(listed, (std::vector<std::u16string>{u"10000000000", u"10000000001", u"10000000002", u"20000000000",
                                                   u"20000000001", u"10000000000"}));
    EXPECT_EQ(result.items[5], (ShopItem{u"10000000000", u"again"})); // no de-duplication
    EXPECT_EQ(result.text, u"10000000000 宝贝 1\r\n10000000001 宝贝 2\r\n10000000002 宝贝 3\r\n"
                           u"20000000000 宝贝 1\r\n20000000001 宝贝 2\r\n10000000000 again\r\n");
    EXPECT_EQ(result.status, u"共查到6个宝贝");
    EXPECT_FALSE(result.cancelled);
}

TEST(CrawlShop, EndsAtTheFirstPageWithoutLinks) {
    struct Case {
        const char* name;
        std::vector<std::u16string> pages; // page 1, 2, ...; beyond: failed requests (empty text)
        int fetched;
        std::u16string status;
        int unread;
    };
    // A failed request's empty answer leaves the listing incomplete (`unread`: that page).
    const Case cases[] = {
        {"end notice on the first page", {pageOf(10000000000, 4) + kEndPage}, 1, u"共查到0个宝贝", 0},
        {"failed first request", {}, 1, u"共查到0个宝贝（第1页没有读到，列表不完整）", 1},
        {"failed second request keeps the first page's items",
         {pageOf(10000000000, 4)},
         2,
         u"共查到4个宝贝（第2页没有读到，列表不完整）",
         2},
        {"a page of empty titles still counts as a page with items",
         {ShopItemLink(u"10000000000", u""), pageOf(20000000000, 1), u"<div class=\"shop-hesper-bd\"></div>"},
         3,
         u"共查到1个宝贝",
         0},
    };
    for (const Case& c : cases) {
        FakeShop shop;
        for (std::size_t i = 0; i < c.pages.size(); ++i) {
            shop.pages[shopUrl(static_cast<int>(i) + 1)] = c.pages[i];
        }
        std::u16string address = u"http://shop1.taobao.com/";
        const ShopCrawlResult result = CrawlShop(address, shop.options());
        EXPECT_EQ(static_cast<int>(shop.requested.size()), c.fetched) << c.name;
        EXPECT_EQ(result.pagesFetched, c.fetched) << c.name;
        EXPECT_EQ(result.status, c.status) << c.name;
        EXPECT_EQ(result.unreadPage.has_value(), c.unread > 0) << c.name;
        if (result.unreadPage) {
            EXPECT_EQ(*result.unreadPage, (UnreadPage{c.unread, PageKind::Empty, shopUrl(c.unread)})) << c.name;
        }
    }
}

TEST(CrawlShop, APageItCannotReadEndsTheListingIncomplete) {
    const std::u16string login = u"https://login.taobao.com/member/login.jhtml?redirectURL=http%3A%2F%2Fshop1";
    const std::u16string punish = u"http://shop1.taobao.com//search.htm/_____tmd_____/punish?x5secdata=2";
    const std::u16string busy = u"<html><body><h1>系统繁忙，请稍后再试</h1></body></html>";
    struct Case {
        const char* name;
        int page;
        std::u16string text;
        std::u16string address; // where the answer came from, if elsewhere
        int status;
        PageKind kind;
    };
    const Case cases[] = {
        {"login at the first page", 1, u"<form action=\"https://login.taobao.com/member/login.jhtml\">", login, 200,
         PageKind::Login},
        {"login at a later page", 2, u"<input name=\"loginId\">", u"", 200, PageKind::Login},
        {"slider at the first page", 1, u"<div id=\"nc_1_n1z\"></div>", u"", 200, PageKind::Verification},
        {"punish at a later page", 3, u"<html></html>", punish, 200, PageKind::Verification},
        {"blanks at a later page", 3, u"\r\n \r\n", u"", 200, PageKind::Empty},
        {"503 busy at a later page", 2, busy, u"", 503, PageKind::ErrorStatus},
        {"500 with the end notice", 2, kEndPage, u"", 500, PageKind::ErrorStatus},
        {"a page of no shop", 2, u"<html><body>garbage</body></html>", u"", 200, PageKind::Unrecognised},
    };
    for (const Case& c : cases) {
        FakeShop shop;
        for (int page = 1; page < c.page; ++page) {
            shop.pages[shopUrl(page)] = pageOf(10000000000LL * page, 20);
        }
        shop.pages[shopUrl(c.page)] = c.text;
        shop.answeredFrom[shopUrl(c.page)] = c.address;
        shop.statuses[shopUrl(c.page)] = c.status;
        shop.pages[shopUrl(c.page + 1)] = pageOf(90000000000, 20);
        std::u16string address = u"shop1.taobao.com";
        const ShopCrawlResult result = CrawlShop(address, shop.options());

        EXPECT_EQ(static_cast<int>(shop.requested.size()), c.page) << c.name;
        EXPECT_EQ(result.count(), 20 * (c.page - 1)) << c.name;
        EXPECT_EQ(result.status, u"共查到" + NumberText(result.count()) + u"个宝贝（第" + NumberText(c.page) +
                                     u"页没有读到，列表不完整）")
            << c.name;
        ASSERT_TRUE(result.unreadPage) << c.name;
        EXPECT_EQ(*result.unreadPage, (UnreadPage{c.page, c.kind, c.address.empty() ? shopUrl(c.page) : c.address}))
            << c.name;
        EXPECT_NE(ShopUnreadMessage(result).find(u"店铺第" + NumberText(c.page) + u"页"), std::u16string::npos)
            << c.name;
    }
}

// Today's shop page as the browser gives it: the rendered page with the list endpoint's answer (JSONP around the
// list's HTML), the items given by id, then the pagination offering `next` (none: 0), then the recommendations.
FetchedPage todayShopPage(const std::vector<std::u16string>& ids, int next) {
    std::u16string html;
    for (const std::u16string& id : ids) {
        html += u"<dl class=\\\"item \\\" data-id=\\\"" + id +
                u"\\\"><dd><a class=\\\"item-name\\\" href=\\\"//item.taobao.com/"
                u"item.htm?id=" +
                id + u"\\\">宝贝" + id + u"</a></dd></dl>";
    }
    html += u"<div class=\\\"pagination\\\">" +
            (next > 0 ? u"<a class=\\\"J_SearchAsync next\\\" href=\\\"//todayshop.taobao.com/search.htm?pageNo=" +
                            NumberText(next) + u"\\\">下一页</a>"
                      : std::u16string(u"<span class=\\\"next disable\\\">下一页</span>")) +
            u"</div><h4>本店内推荐</h4><dl class=\\\"item\\\" data-id=\\\"699999999999\\\"></dl>";
    FetchedPage page(u"<div id=\"J_ShopSearchResult\"></div>");
    page.answers.push_back(
        {u"https://todayshop.taobao.com/i/asynSearch.htm?callback=jsonp1&pageNo=1", u"jsonp1(\"" + html + u"\")"});
    return page;
}

// Today's shop page in the gateway's form: the rendered page (its pager of hashed class names) with the gateway's
// answer for page `answered`, which says whether a next page exists and how many items the list holds.
FetchedPage gatewayPage(int answered, const std::vector<std::u16string>& ids, bool hasNext, int total) {
    std::u16string entries;
    for (const std::u16string& id : ids) {
        entries += (entries.empty() ? u"" : u",") + (u"{\"itemId\":\"" + id + u"\",\"title\":\"宝贝" + id + u"\"}");
    }
    FetchedPage page(u"<div class=\"pager--x3f\"><a class=\"btn--a1\" href=\"//todayshop.taobao.com/"
                     u"search.htm?pageNo=9\">9</a></div>",
                     u"https://todayshop.taobao.com/search.htm?v=1&pageNo=" + NumberText(answered));
    page.answers.push_back(
        {u"https://h5api.m.taobao.com/h5/mtop.taobao.shop.simple.item.fetch/1.0/?data=%7B%22page%22%3A" +
             NumberText(answered) + u"%7D",
         u"mtopjsonp3({\"ret\":[\"SUCCESS::调用成功\"],\"data\":{\"data\":[" + entries + u"],\"totalCnt\":" +
             NumberText(total) + u",\"hasNext\":" + (hasNext ? u"true" : u"false") + u"}})"});
    return page;
}

TEST(CrawlShop, ReadsTodaysPagesAndGoesWhereTheirPaginationLeads) {
    const FetchedPage scriptOnly(u"<div id=\"J_ShopSearchResult\">正在加载宝贝…</div><script>load()</script>");
    FetchedPage refused(u"<div id=\"J_ShopSearchResult\"></div>");
    refused.answers.push_back({u"https://h5api.m.taobao.com/h5/mtop.taobao.shop.simple.item.fetch/1.0/",
                               u"mtopjsonp2({\"ret\":[\"RGV587_ERROR::SM::哎哟喂\"],\"data\":{\"url\":"
                               u"\"https://todayshop.taobao.com//_____tmd_____/punish?x5secdata=x\"}})"});
    const struct {
        const char* name;
        std::map<int, FetchedPage> pages;
        std::vector<int> requested;
        std::u16string status;
        std::optional<PageKind> unread;
    } cases[] = {
        {"the pages offered, the recommendations left out",
         {{1, todayShopPage({u"46000000000", u"46000000019"}, 2)}, {2, todayShopPage({u"46000000038"}, 0)}},
         {1, 2},
         u"共查到3个宝贝",
         std::nullopt},
        {"a pager that skips pages leaves the list incomplete",
         {{1, todayShopPage({u"46000000000", u"46000000019"}, 5)}},
         {1},
         u"共查到2个宝贝（第2页没有读到，列表不完整）",
         PageKind::Skipped},
        {"a page that repeats the one before is not read",
         {{1, todayShopPage({u"46000000000"}, 2)}, {2, todayShopPage({u"46000000000"}, 3)}},
         {1, 2},
         u"共查到1个宝贝（第2页没有读到，列表不完整）",
         PageKind::Repeated},
        {"the gateway's hasNext leads, its pager's class names whatever they are",
         {{1, gatewayPage(1, {u"46000000000", u"46000000019"}, true, 3)},
          {2, gatewayPage(2, {u"46000000038"}, false, 3)}},
         {1, 2},
         u"共查到3个宝贝",
         std::nullopt},
        {"a gateway list that ends short of its total is incomplete",
         {{1, gatewayPage(1, {u"46000000000"}, false, 30)}},
         {1},
         u"共查到1个宝贝（第2页没有读到，列表不完整；店铺共有30个）",
         PageKind::Skipped},
        {"an answer of another page is not this page's",
         {{1, gatewayPage(1, {u"46000000000"}, true, 2)}, {2, gatewayPage(1, {u"46000000019"}, false, 2)}},
         {1, 2},
         u"共查到1个宝贝（第2页没有读到，列表不完整；店铺共有2个）",
         PageKind::Unrecognised},
        {"a page offering one behind it ends the list",
         {{1, todayShopPage({u"46000000000"}, 1)}},
         {1},
         u"共查到1个宝贝",
         std::nullopt},
        {"the page without its data is unread, never an empty list",
         {{1, scriptOnly}},
         {1},
         u"共查到0个宝贝（第1页没有读到，列表不完整）",
         PageKind::Unrecognised},
        {"a refusal of the gateway on page 2",
         {{1, todayShopPage({u"46000000000"}, 2)}, {2, refused}},
         {1, 2},
         u"共查到1个宝贝（第2页没有读到，列表不完整）",
         PageKind::Verification},
    };
    for (const auto& c : cases) {
        std::vector<int> requested;
        ShopCrawlOptions options;
        options.fetch = [&](const std::u16string& url) {
            const int page = static_cast<int>(LeadingNumber(url.substr(url.find(u"pageNo=") + 7)));
            requested.push_back(page);
            const auto found = c.pages.find(page);
            if (found == c.pages.end()) {
                return FetchedPage();
            }
            // The page is at the address asked, whatever page its answer is for.
            FetchedPage fetched = found->second;
            fetched.address = url;
            return fetched;
        };
        std::u16string address = u"todayshop.taobao.com";
        const ShopCrawlResult result = CrawlShop(address, options);
        EXPECT_EQ(requested, c.requested) << c.name;
        EXPECT_EQ(result.status, c.status) << c.name;
        EXPECT_EQ(result.unreadPage ? std::optional(result.unreadPage->kind) : std::nullopt, c.unread) << c.name;
    }
}

TEST(ShopUnreadMessage, NamesThePageTheReasonAndWhatWasListed) {
    ShopCrawlResult result;
    EXPECT_EQ(ShopUnreadMessage(result), u"");
    result.items.resize(20);
    result.unreadPage = UnreadPage{2, PageKind::Login, u"a"};
    EXPECT_EQ(
        ShopUnreadMessage(result),
        u"店铺宝贝列表不完整：读取店铺第2页时淘宝要求登录，只列出了之前各页的20个宝贝。请先登录淘宝，再重新查询。");
    result.items.clear();
    result.unreadPage = UnreadPage{1, PageKind::Empty, u"a"};
    EXPECT_EQ(ShopUnreadMessage(result),
              u"店铺宝贝列表不完整：读取店铺第1页时淘宝返回了空白页，没有列出任何宝贝。请稍后重新查询。");
}

TEST(CrawlShop, StopsAfterAHundredPages) {
    std::u16string address = u"shop1.taobao.com/";
    int fetched = 0;
    ShopCrawlOptions options;
    options.fetch = [&](const std::u16string&) {
        ++fetched;
        return pageOf(10000000000 + fetched * 1000LL, 2);
    };
    const ShopCrawlResult result = CrawlShop(address, options);
    EXPECT_EQ(fetched, 100);
    EXPECT_EQ(result.count(), 200);
    EXPECT_TRUE(result.pageLimitReached);
    EXPECT_EQ(result.status, u"共查到200个宝贝（最多读100页，后面可能还有）");
}

TEST(CrawlShop, CancelKeepsTheItemsFoundSoFar) {
    std::atomic<bool> cancel = false;
    std::u16string address = u"shop1.taobao.com";
    ShopCrawlOptions options;
    options.cancel = &cancel;
    int fetched = 0;
    options.fetch = [&](const std::u16string&) {
        if (++fetched == 3) {
            cancel = true; // the user stops the crawl while page 3 is on its way
            return std::u16string();
        }
        return pageOf(10000000000 + fetched * 1000LL, 5);
    };
    const ShopCrawlResult result = CrawlShop(address, options);
    EXPECT_EQ(fetched, 3);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.count(), 10);
    EXPECT_EQ(result.status, u"已取消：已列出10个宝贝");
    EXPECT_FALSE(result.unreadPage); // the page given up on was never answered
    EXPECT_FALSE(CancelRequested()); // the scope ends with the crawl
}

TEST(CrawlShop, AStopAfterTheLastPageStopsNothing) {
    std::atomic<bool> cancel = false;
    std::u16string address = u"shop1.taobao.com";
    ShopCrawlOptions options;
    options.cancel = &cancel;
    options.fetch = [&](const std::u16string& url) {
        cancel = url.ends_with(u"pageNo=2"); // pressed as the end notice comes in
        return url.ends_with(u"pageNo=1") ? pageOf(10000000000, 5) : kEndPage;
    };
    const ShopCrawlResult result = CrawlShop(address, options);
    EXPECT_FALSE(result.cancelled);
    EXPECT_EQ(result.status, u"共查到5个宝贝");
}

TEST(CrawlShop, SaysHowManyLinksPastAPagesLimitWentUnlisted) {
    FakeShop shop;
    shop.pages[shopUrl(1)] = pageOf(10000000000, 120);
    shop.pages[shopUrl(2)] = pageOf(20000000000, 30);
    shop.pages[shopUrl(3)] = pageOf(30000000000, 105);
    shop.pages[shopUrl(4)] = kEndPage;
    std::u16string address = u"shop1.taobao.com";
    const ShopCrawlResult result = CrawlShop(address, shop.options());
    EXPECT_EQ(result.count(), 230);
    EXPECT_EQ(result.items[99].id, u"10000000099");
    EXPECT_EQ(result.items[100].id, u"20000000000");
    EXPECT_EQ(result.crowdedPages, (std::vector<int>{1, 3}));
    EXPECT_EQ(result.linksNotListed, 25);
    EXPECT_EQ(result.status, u"共查到230个宝贝（第1、3页另有25个未列出，每页只列前100个）");

    FakeShop plain;
    plain.pages[shopUrl(1)] = pageOf(10000000000, 100);
    plain.pages[shopUrl(2)] = kEndPage;
    const ShopCrawlResult full = CrawlShop(address, plain.options());
    EXPECT_EQ(full.status, u"共查到100个宝贝");
    EXPECT_EQ(ShopPartialReason(full), u"");
}

TEST(ShopPartialReason, NamesEveryReason) {
    ShopCrawlResult result;
    result.unreadPage = UnreadPage{101, PageKind::Login, u"a"};
    result.pageLimitReached = true;
    result.crowdedPages = {7};
    result.linksNotListed = 3;
    EXPECT_EQ(ShopPartialReason(result),
              u"第101页没有读到，列表不完整；最多读100页，后面可能还有；第7页另有3个未列出，每页只列前100个");
}

} // namespace
} // namespace tarvisk
