#include "jobs/ranking/today_search_page.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/fake_pages.h"
#include "text/encoding.h"

namespace tarvisk {

// Readable failures: an item as its fields.
void PrintTo(const TodaySearchItem& read, std::ostream* out) {
    *out << ToUtf8(read.item.id) << " | " << ToUtf8(read.item.title) << " | " << ToUtf8(read.item.picture) << " | "
         << ToUtf8(read.item.sales) << " | " << ToUtf8(read.price) << " | " << ToUtf8(read.shop) << " | "
         << ToUtf8(read.address) << (read.paid ? " | paid" : "");
}

namespace {

const std::u16string kSearchAddress =
    u"https://h5api.m.taobao.com/h5/mtop.relationrecommend.wirelessrecommend.recommend/2.0/?appKey=12574478";

// Two results as the endpoint writes them: a paid placement with its keyword highlighted, and one with the other
// spellings of the id and the address; an entry without an id (a banner) between them.
constexpr char16_t kItems[] =
    u"[{\"item_id\":\"712345678901\",\"title\":\"<span class=H>连衣裙</span>夏季 &amp; 新款\","
    u"\"pic_path\":\"//g-search1.alicdn.com/img/i4/1.jpg\",\"price\":\"89.00\",\"realSales\":\"2.3万+人付款\","
    u"\"procity\":\"浙江 "
    u"杭州\",\"nick\":\"nick1\",\"shopInfo\":{\"title\":\"某某旗舰店\",\"url\":\"//shop1.taobao.com\"},"
    u"\"auctionURL\":\"//item.taobao.com/item.htm?id=712345678901\",\"isP4p\":\"true\"},"
    u"{\"title\":\"banner\"},"
    u"{\"nidlong\":6543210987,\"title\":\"纯棉T恤\",\"pic_path\":\"https://img.alicdn.com/2.jpg\",\"price\":12.5,"
    u"\"realSales\":\"600+人付款\",\"nick\":\"小店\",\"auctionUrl\":\"https://detail.tmall.com/"
    u"item.htm?id=6543210987\","
    u"\"isP4p\":\"false\"}]";

const std::vector<TodaySearchItem> kRead = {
    {{u"712345678901", u"https://g-search1.alicdn.com/img/i4/1.jpg", u"连衣裙夏季 & 新款", u"23000"},
     u"89.00",
     u"某某旗舰店",
     u"https://item.taobao.com/item.htm?id=712345678901",
     true},
    {{u"6543210987", u"https://img.alicdn.com/2.jpg", u"纯棉T恤", u"600"},
     u"12.5",
     u"小店",
     u"https://detail.tmall.com/item.htm?id=6543210987",
     false},
};

std::u16string answer(const std::u16string& ret, const std::u16string& data) {
    return u"mtopjsonp4({\"api\":\"mtop.relationrecommend.wirelessrecommend.recommend\",\"data\":" + data +
           u",\"ret\":[\"" + ret + u"\"],\"v\":\"2.0\"})";
}

/// A page as the browser fetch gives it: rendered, with the answers its scripts received.
FetchedPage withAnswers(const std::u16string& text, std::vector<DataAnswer> answers,
                        const std::u16string& address = {}) {
    FetchedPage page(text, address);
    page.answers = std::move(answers);
    return page;
}

const std::u16string kSuccess = u"SUCCESS::调用成功";
const std::u16string kPunish = u"https://s.taobao.com//search/_____tmd_____/punish?x5secdata=x";

TEST(TodaySearchAnswer, ReadsEveryFormOfTheAnswer) {
    const std::u16string verify = u"{\"url\":\"" + kPunish + u"\"}";
    const struct {
        const char* what;
        std::u16string text;
        std::optional<TodaySearchAnswer> read;
    } cases[] = {
        {"items", answer(kSuccess, u"{\"itemsArray\":" + std::u16string(kItems) + u"}"),
         TodaySearchAnswer{PageKind::Normal, {}, kRead}},
        {"nested items", answer(kSuccess, u"{\"data\":{\"itemsArray\":" + std::u16string(kItems) + u"}}"),
         TodaySearchAnswer{PageKind::Normal, {}, kRead}},
        {"past the last results", answer(kSuccess, u"{\"itemsArray\":[]}"),
         TodaySearchAnswer{PageKind::Normal, {}, {}}},
        {"slider", answer(u"RGV587_ERROR::SM::哎哟喂,被挤爆啦", verify),
         TodaySearchAnswer{PageKind::Verification, kPunish, {}}},
        {"validation", answer(u"FAIL_SYS_USER_VALIDATE", verify),
         TodaySearchAnswer{PageKind::Verification, kPunish, {}}},
        {"session", answer(u"FAIL_SYS_SESSION_EXPIRED::Session过期", u"{}"),
         TodaySearchAnswer{PageKind::Login, {}, {}}},
        {"token", answer(u"FAIL_SYS_TOKEN_EMPTY::令牌为空", u"{}"), TodaySearchAnswer{PageKind::Unrecognised, {}, {}}},
        {"plain JSON", u"{\"ret\":[\"SUCCESS\"],\"data\":{\"itemsArray\":[]}}",
         TodaySearchAnswer{PageKind::Normal, {}, {}}},
        {"success without a list", answer(kSuccess, u"{\"other\":1}"), std::nullopt},
        // Answers of 2025–26: the id as nid with raw_title, or only in the address; non-item cards among the items.
        {"nid and raw_title",
         answer(kSuccess, u"{\"itemsArray\":[{\"customCardType\":\"brandZone\",\"nid\":\"1\"},"
                          u"{\"nid\":\"712345678901\",\"raw_title\":\"连衣裙\"},"
                          u"{\"auctionURL\":\"//item.taobao.com/item.htm?spm=a&id=6543210987\",\"title\":\"T恤\"}]}"),
         TodaySearchAnswer{PageKind::Normal,
                           {},
                           {{{u"712345678901", {}, u"连衣裙", {}}, {}, {}, {}, false},
                            {{u"6543210987", {}, u"T恤", {}},
                             {},
                             {},
                             u"https://item.taobao.com/item.htm?spm=a&id=6543210987",
                             false}}}},
        {"entries but no item to tell", answer(kSuccess, u"{\"itemsArray\":[{\"title\":\"a\"},{\"itemId\":\"x\"}]}"),
         TodaySearchAnswer{PageKind::Unrecognised, {}, {}}},
        {"only cards", answer(kSuccess, u"{\"itemsArray\":[{\"customCardType\":\"live\"}]}"),
         TodaySearchAnswer{PageKind::Normal, {}, {}}},
        {"a title cut in an emoji",
         answer(kSuccess, u"{\"itemsArray\":[{\"nid\":\"1\",\"title\":\"表情截断 \\ud83d\"},"
                          u"{\"nid\":\"2\",\"title\":\"\\udc00\\ud83d\\ude00 \\\\ud83d\"}]}"),
         TodaySearchAnswer{PageKind::Normal,
                           {},
                           {{{u"1", {}, u"表情截断 \uFFFD", {}}, {}, {}, {}, false},
                            {{u"2", {}, u"\uFFFD😀 \\ud83d", {}}, {}, {}, {}, false}}}},
        {"no status", u"mtopjsonp1({\"data\":{\"itemsArray\":[]}})", std::nullopt},
        {"broken JSON", u"mtopjsonp1({\"ret\":[\"SUCCESS\"],)", std::nullopt},
        {"a page", u"<html><body>搜索</body></html>", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadTodaySearchAnswer(c.text), c.read) << c.what;
    }
}

// A rendered result list: a card that links its item twice (picture, then title), a card without a title element,
// and links that are no item's.
constexpr char16_t kCards[] =
    u"<div id=\"content_items_wrapper\">"
    u"<a href=\"//item.taobao.com/item.htm?spm=a21n57&id=700000000001&ns=1\" class=\"Card--doubleCardWrapper\">"
    u"<img src=\"data:image/png;base64,AA\" data-src=\"//g.alicdn.com/1.jpg\">"
    u"<div class=\"Title--title--jCOPvpf\"><span>男士<span class=H>外套</span> 春秋</span></div>"
    u"<div class=\"Price--priceInt\">129</div><span class=\"Price--realSales\">1.5万+人付款</span></a>"
    u"<a href=\"https://item.taobao.com/item.htm?id=700000000001\">again</a>"
    u"<a href=\"https://detail.tmall.com/item.htm?id=700000000002\"><img src=\"https://img.alicdn.com/2.jpg\">"
    u"简约 卫衣 <b>3人收货</b></a>"
    u"<a href=\"//shop123.taobao.com/\">店铺</a><a href=\"https://item.taobao.com.evil.example/item.htm?id=7\">x</a>"
    u"</div>";

TEST(RenderedSearchPage, ListsEachCardOnceInPageOrder) {
    const std::vector<TodaySearchItem> expected = {
        {{u"700000000001", u"https://g.alicdn.com/1.jpg", u"男士外套 春秋", u"15000"},
         {},
         {},
         u"https://item.taobao.com/item.htm?spm=a21n57&id=700000000001&ns=1",
         false},
        {{u"700000000002", u"https://img.alicdn.com/2.jpg", u"简约 卫衣 3人收货", u"3"},
         {},
         {},
         u"https://detail.tmall.com/item.htm?id=700000000002",
         false},
    };
    EXPECT_EQ(ReadRenderedSearchPage(kCards), expected);
    EXPECT_TRUE(ReadRenderedSearchPage(u"<a href=\"//item.taobao.com/item.htm?id=1\"><a href=x>").size() == 1);
    // Links the page never draws are no results.
    for (const char16_t* undrawn : {u"<script>var tpl='<a href=\"//item.taobao.com/item.htm?id=1\">';</script>",
                                    u"<!-- <a href=\"//item.taobao.com/item.htm?id=1\">x</a> -->",
                                    u"<template><a href=\"//item.taobao.com/item.htm?id=1\">x</a></template>"}) {
        EXPECT_TRUE(ReadRenderedSearchPage(undrawn).empty()) << ToUtf8(undrawn);
    }
    // Paid placements carry the label alone; a title that holds the word is no label.
    const std::vector<TodaySearchItem> labelled = ReadRenderedSearchPage(
        u"<a href=\"//item.taobao.com/item.htm?id=1\"><div class=title>a</div><span class=\"ad--x1\"> 广告 </span></a>"
        u"<a href=\"//item.taobao.com/item.htm?id=2\"><div class=title>广告牌 户外</div></a>");
    ASSERT_EQ(labelled.size(), 2u);
    EXPECT_TRUE(labelled[0].paid);
    EXPECT_FALSE(labelled[1].paid);
    // A title attribute full of "<" starts no tag.
    const std::u16string odd =
        u"<a href=\"//item.taobao.com/item.htm?id=1\"><b title=\"<<<x\"><i class=title>t</i></a>";
    EXPECT_EQ(ReadRenderedSearchPage(odd).front().item.title, u"t");
}

TEST(SearchPageReaders, AreChosenByWhatThePageHolds) {
    const std::u16string listed = answer(kSuccess, u"{\"itemsArray\":" + std::u16string(kItems) + u"}");
    const std::u16string token = answer(u"FAIL_SYS_TOKEN_EMPTY", u"{}");
    const std::u16string slider = answer(u"RGV587_ERROR::SM", u"{\"url\":\"" + kPunish + u"\"}");
    const std::u16string older = test::SearchPage({{u"42054041382"}, {u"42054041383"}});
    const struct {
        const char* what;
        FetchedPage page;
        SearchReader reader;
        PageKind kind;
        std::size_t items;
    } cases[] = {
        {"the answer before the cards", withAnswers(kCards, {{kSearchAddress, token}, {kSearchAddress, listed}}),
         SearchReader::Answer, PageKind::Normal, 2},
        {"a slider outweighs a token failure", withAnswers(kCards, {{kSearchAddress, slider}, {kSearchAddress, token}}),
         SearchReader::Answer, PageKind::Verification, 0},
        {"another endpoint's answer is not read",
         withAnswers(kCards, {{u"https://h5api.m.taobao.com/h5/mtop.other/", listed}}), SearchReader::Cards,
         PageKind::Normal, 2},
        {"an answer from another host is not read",
         withAnswers(kCards, {{u"http://evil.example/h5/mtop.relationrecommend.wirelessrecommend.recommend/", listed}}),
         SearchReader::Cards, PageKind::Normal, 2},
        {"nor one naming the endpoint outside its path",
         withAnswers(kCards, {{u"https://ads.taobao.com/track?u=/h5/mtop.relationrecommend.wirelessrecommend.recommend",
                               listed}}),
         SearchReader::Cards, PageKind::Normal, 2},
        {"the listing of the page wins over an empty first answer",
         withAnswers(kCards, {{kSearchAddress, answer(kSuccess, u"{\"itemsArray\":[]}")}, {kSearchAddress, listed}}),
         SearchReader::Answer, PageKind::Normal, 2},
        {"an answer of another page is not this page's",
         withAnswers(u"<p>x</p>",
                     {{kSearchAddress + u"&data=%7B%22appId%22%3A%221%22%2C%22params%22%3A%22%7B%5C%22q%5C%22%3A"
                                        u"%5C%22a%5C%22%2C%5C%22page%5C%22%3A1%7D%22%7D",
                       listed}},
                     u"https://s.taobao.com/search?q=a&page=2&tab=all"),
         SearchReader::None, PageKind::Unrecognised, 0},
        {"an answer of the page asked",
         withAnswers(u"<p>x</p>",
                     {{kSearchAddress + u"&data=%7B%22params%22%3A%22%7B%5C%22q%5C%22%3A%5C%22a%5C%22%2C"
                                        u"%5C%22page%5C%22%3A2%7D%22%7D",
                       listed}},
                     u"https://s.taobao.com/search?q=a&page=2&tab=all"),
         SearchReader::Answer, PageKind::Normal, 2},
        {"the older page", FetchedPage(older), SearchReader::Listing, PageKind::Normal, 2},
        {"the older page without items", FetchedPage(u"<p>{\"dynamic\":true}</p>"), SearchReader::Listing,
         PageKind::Normal, 0},
        {"a script page without data", FetchedPage(u"<html><script src=\"//g.alicdn.com/s.js\"></script></html>"),
         SearchReader::None, PageKind::Unrecognised, 0},
    };
    for (const auto& c : cases) {
        const SearchPageRead read = ReadSearchPage(c.page);
        EXPECT_EQ(read.reader, c.reader) << c.what;
        EXPECT_EQ(read.kind, c.kind) << c.what;
        EXPECT_EQ(read.items.size(), c.items) << c.what;
    }
    EXPECT_EQ(ReadSearchPage(withAnswers(kCards, {{kSearchAddress, slider}})).verifyAddress, kPunish);
    // The older page gives exactly its own reader's items.
    const std::vector<RankingItem> own = ParseRankingPage(older);
    const SearchPageRead read = ReadSearchPage(FetchedPage(older));
    ASSERT_EQ(read.items.size(), own.size());
    for (std::size_t i = 0; i < own.size(); ++i) {
        EXPECT_EQ(read.items[i].item, own[i]);
    }
}

// Every page of the marketplace loads its anti-bot script, whose source names the slider: the data decides.
TEST(JudgeSearchPage, TakesTheDataBeforeTheScriptsWords) {
    const std::u16string antiBot = u"<script>var baxia={punish:'/_____tmd_____/punish',tip:'请按住滑块'};</script>";
    const std::u16string listed = answer(kSuccess, u"{\"itemsArray\":" + std::u16string(kItems) + u"}");
    const std::u16string slider = u"<html><body>" + antiBot +
                                  u"<p>亲，请拖动滑块完成验证</p>"
                                  u"<span id=\"nc_1_n1z\"></span></body></html>";
    const struct {
        const char* what;
        FetchedPage page;
        PageKind kind;
    } cases[] = {
        {"a result page with the anti-bot script", withAnswers(antiBot + kCards, {{kSearchAddress, listed}}),
         PageKind::Normal},
        {"its cards alone", FetchedPage(antiBot + kCards), PageKind::Normal},
        {"the script and nothing else", FetchedPage(u"<html>" + antiBot + u"</html>"), PageKind::Unrecognised},
        {"a slider shown", FetchedPage(slider), PageKind::Verification},
        {"a result page that sent the fetch off the marketplace",
         [&] {
             FetchedPage page = withAnswers({}, {{kSearchAddress, listed}}, u"http://evil.example/search?q=x");
             page.sentOff = true;
             return page;
         }(),
         PageKind::Foreign},
        {"today's page by a direct request: only the browser reads it",
         FetchedPage(u"<html>" + antiBot + u"<script>api='" + kTodaySearchApi + u"'</script></html>"),
         PageKind::BrowserOnly},
        {"the same through the browser, its answer not come",
         [&] {
             FetchedPage page(u"<html>" + antiBot + u"<script>api='" + kTodaySearchApi + u"'</script></html>");
             page.throughBrowser = true;
             return page;
         }(),
         PageKind::Unrecognised},
        {"cards whose page's answer came too large to keep",
         [&] {
             FetchedPage page(antiBot + kCards);
             page.droppedAnswers = {{kSearchAddress, {}}};
             return page;
         }(),
         PageKind::TooLarge},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JudgeSearchPage(c.page).kind, c.kind) << c.what;
    }
}

} // namespace
} // namespace tarvisk
