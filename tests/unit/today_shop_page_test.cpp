#include "jobs/shop/today_shop_page.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/fake_pages.h"
#include "text/encoding.h"

namespace tarvisk {

// Readable failures: a list as its items, next page and kind.
void PrintTo(const TodayShopList& list, std::ostream* out) {
    *out << PageKindName(list.kind) << " next " << list.nextPage << ' ' << ToUtf8(list.nextAddress) << " [";
    for (const ShopItem& item : list.items) {
        *out << ToUtf8(item.id) << ' ' << ToUtf8(item.title) << "; ";
    }
    *out << "] " << ToUtf8(list.verifyAddress);
}

namespace {

const std::u16string kListAddress =
    u"https://shop1.taobao.com/i/asynSearch.htm?_ksTS=1_2&callback=jsonp3&mid=w-1-0&wid=1&path=/search.htm&pageNo=1";
const std::u16string kItemAddress = u"https://h5api.m.taobao.com/h5/mtop.taobao.shop.simple.item.fetch/1.0/?a=1";

/// One item of a list as the endpoint writes it.
std::u16string listItem(const std::u16string& id, const std::u16string& title) {
    return u"<dl class=\"item \" data-id=\"" + id + u"\"><dt class=\"photo\"><a href=\"//item.taobao.com/item.htm?id=" +
           id + u"\" target=\"_blank\"><img alt=\"" + title + u"\" src=\"//img.alicdn.com/" + id +
           u".jpg\"></a></dt><dd class=\"detail\"><a class=\"item-name J_TGoldData\" href=\"//item.taobao.com/"
           u"item.htm?id=" +
           id + u"\" target=\"_blank\">" + title +
           u"</a><div class=\"attribute\"><span class=\"sale-num\">12</span></div></dd></dl>\r\n";
}

const std::u16string kPagination =
    u"<div class=\"pagination\"><a class=\"disable\">上一页</a><a class=\"page-cur\">1</a>"
    u"<a class=\"J_SearchAsync\" href=\"//shop1.taobao.com/search.htm?pageNo=3\">3</a>"
    u"<a class=\"J_SearchAsync next\" "
    u"href=\"//shop1.taobao.com/search.htm?spm=a1z10&pageNo=2#anchor\">下一页</a></div>";
const std::u16string kLastPagination =
    u"<div class=\"pagination\"><a class=\"J_SearchAsync prev\" href=\"//shop1.taobao.com/search.htm?pageNo=2\">上一页"
    u"</a><span class=\"page-cur\">3</span><span class=\"next disable\">下一页</span></div>";
const std::u16string kRecommendations =
    u"<div class=\"comboHd\"><h4>本店内推荐</h4></div>" + listItem(u"699999999999", u"推荐的宝贝");

/// The list endpoint's answer: JSONP around the HTML as one script string.
std::u16string listAnswer(const std::u16string& html) {
    std::u16string literal;
    for (const char16_t c : html) {
        if (c == u'"' || c == u'\\') {
            literal += u'\\';
        }
        literal += c == u'\r' ? std::u16string(u"\\r") : c == u'\n' ? std::u16string(u"\\n") : std::u16string(1, c);
    }
    return u"jsonp3(\"" + literal + u"\")";
}

/// A page as the browser fetch gives it: rendered, with the answers its scripts received.
FetchedPage withAnswers(const std::u16string& text, std::vector<DataAnswer> answers) {
    FetchedPage page(text);
    page.answers = std::move(answers);
    return page;
}

/// A list read as the shop's own, with the next page it offers.
TodayShopList listOf(std::vector<ShopItem> items, int nextPage = 0, std::u16string nextAddress = {}) {
    TodayShopList list;
    list.items = std::move(items);
    list.nextPage = nextPage;
    list.nextAddress = std::move(nextAddress);
    return list;
}

const std::vector<ShopItem> kTwo = {{u"600000000001", u"春季 新款 & 外套"}, {u"600000000002", u"纯棉 T恤"}};
const std::u16string kTwoItems = u"<div class=\"J_TItems\">" + listItem(u"600000000001", u"春季 新款 &amp; 外套") +
                                 listItem(u"600000000002", u"纯棉 T恤");

TEST(TodayShopList, KeepsTheShopsOwnListAndItsNextPage) {
    const std::u16string next = u"https://shop1.taobao.com/search.htm?spm=a1z10&pageNo=2#anchor";
    const struct {
        const char* what;
        std::u16string html;
        TodayShopList list;
    } cases[] = {
        {"a page with a next page", kTwoItems + kPagination + kRecommendations, listOf(kTwo, 2, next)},
        {"recommendations before the pagination", kTwoItems + kRecommendations + kPagination, listOf(kTwo, 2, next)},
        {"the last page", kTwoItems + kRecommendations + kLastPagination, listOf(kTwo)},
        {"no result, only recommendations", u"<p>很抱歉，搜索到 0 个宝贝</p>" + kRecommendations, TodayShopList{}},
        {"an item without data-id, one without an id at all",
         u"<dl class=\"item\"><a class=\"item-name\" href=\"//item.taobao.com/item.htm?id=600000000009\">无编号</a>"
         u"<dl class=\"item\"><a class=\"item-name\" href=\"/other\">坏的</a></dl><dl class=\"itemx\" "
         u"data-id=\"1\"></dl>",
         listOf({{u"600000000009", u"无编号"}})},
    };
    // The pages a list links to are looked at apart.
    const auto withoutLinks = [](std::optional<TodayShopList> list) {
        if (list) {
            list->linkedPages.clear();
        }
        return list;
    };
    for (const auto& c : cases) {
        EXPECT_EQ(withoutLinks(ReadShopListHtml(c.html)), c.list) << c.what;
        EXPECT_EQ(withoutLinks(ReadShopListAnswer(listAnswer(c.html))), c.list) << c.what;
    }
    // A pager of hashed class names is found by what it offers.
    EXPECT_EQ(
        ReadShopListHtml(u"<div class=\"pager--x1\"><a class=\"b--2\" href=\"?pageNo=2\">下一页</a></div>").linkedPages,
        std::vector<int>{2});
    EXPECT_EQ(ReadShopListAnswer(u"jsonp1('" + kTwoItems + u"\\x3c/div>')")->items, kTwo);
    EXPECT_EQ(ReadShopListAnswer(kTwoItems)->items, kTwo);
    EXPECT_EQ(ReadShopListAnswer(u"jsonp1(\"<div>店铺公告</div>\")"), std::nullopt);
}

TEST(TodayShopItemAnswer, ReadsTheGatewaysItemList) {
    const std::u16string items =
        u"{\"data\":[{\"itemId\":\"600000000011\",\"title\":\"A款\",\"itemUrl\":\"//item.taobao.com/"
        u"item.htm?id=600000000011\"},"
        u"{\"itemId\":null,\"title\":\"B款\",\"itemUrl\":\"https://item.taobao.com/item.htm?id=600000000012&x=1\"},"
        u"{\"title\":\"no id\"}]}";
    const auto answer = [](const std::u16string& ret, const std::u16string& data) {
        return u"mtopjsonp5({\"api\":\"mtop.taobao.shop.simple.item.fetch\",\"data\":" + data + u",\"ret\":[\"" + ret +
               u"\"]})";
    };
    const struct {
        const char* what;
        std::u16string text;
        std::optional<TodayShopList> list;
    } cases[] = {
        {"items", answer(u"SUCCESS::调用成功", items), listOf({{u"600000000011", u"A款"}, {u"600000000012", u"B款"}})},
        {"slider", answer(u"RGV587_ERROR::SM", u"{\"url\":\"https://x/punish\"}"),
         TodayShopList{PageKind::Verification, {}, 0, {}, u"https://x/punish", {}, {}, {}}},
        {"no list", answer(u"SUCCESS", u"{}"), std::nullopt},
        {"no answer", u"<html></html>", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadShopItemAnswer(c.text), c.list) << c.what;
    }
}

TEST(ShopPageReaders, AreChosenByWhatThePageHolds) {
    const std::u16string older = test::ShopPage({{u"4205404138", u"老页面"}});
    const std::u16string rendered = u"<html>" + kTwoItems + kPagination + u"</html>";
    const std::u16string gatewayList =
        u"mtopjsonp1({\"ret\":[\"SUCCESS\"],\"data\":{\"data\":[{\"itemId\":\"600000000011\",\"title\":\"A\"}]}})";
    const std::u16string gatewayRefusal = u"mtopjsonp2({\"ret\":[\"FAIL_SYS_SESSION_EXPIRED\"],\"data\":{}})";
    const struct {
        const char* what;
        FetchedPage page;
        ShopReader reader;
        PageKind kind;
        std::size_t items;
        int nextPage;
    } cases[] = {
        {"the list answer", withAnswers(rendered, {{kListAddress, listAnswer(kTwoItems + kLastPagination)}}),
         ShopReader::ListAnswer, PageKind::Normal, 2, 0},
        {"the gateway's list, pages from the rendered page", withAnswers(rendered, {{kItemAddress, gatewayList}}),
         ShopReader::ItemAnswer, PageKind::Normal, 1, 2},
        {"the gateway's refusal", withAnswers(rendered, {{kItemAddress, gatewayRefusal}}), ShopReader::ItemAnswer,
         PageKind::Login, 0, 0},
        {"an answer of another address is not read", withAnswers(older, {{u"https://x/other", listAnswer(kTwoItems)}}),
         ShopReader::Listing, PageKind::Normal, 1, 0},
        {"the older page", FetchedPage(older), ShopReader::Listing, PageKind::Normal, 1, 0},
        {"the gateway's list too large to keep, the page not read instead",
         [&] {
             FetchedPage page(older);
             page.droppedAnswers = {{kItemAddress, {}}};
             return page;
         }(),
         ShopReader::ItemAnswer, PageKind::TooLarge, 0, 0},
        {"a script page", FetchedPage(u"<html><div id=\"J_ShopSearchResult\"></div></html>"), ShopReader::None,
         PageKind::Unrecognised, 0, 0},
    };
    for (const auto& c : cases) {
        const ShopPageRead read = ReadShopPage(c.page);
        EXPECT_EQ(read.reader, c.reader) << c.what;
        EXPECT_EQ(read.kind, c.kind) << c.what;
        EXPECT_EQ(read.list.items.size(), c.items) << c.what;
        EXPECT_EQ(read.list.nextPage, c.nextPage) << c.what;
    }
    int links = 0;
    EXPECT_EQ(ReadShopPage(FetchedPage(older)).list.items, ParseShopPage(older, &links));
    EXPECT_EQ(ReadShopPage(FetchedPage(older)).linkCount, links);
}

} // namespace
} // namespace tarvisk
