#include "jobs/fetch_mode.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "jobs/ranking/today_search_page.h"
#include "jobs/shop/today_shop_page.h"
#include "core/utf8.h"
#include "support/fake_pages.h"

namespace tarvisk {
namespace {

TEST(FetchMode, IsReadFromItsName) {
    EXPECT_EQ(ParseFetchMode("direct"), FetchMode::Direct);
    EXPECT_EQ(ParseFetchMode("browser"), FetchMode::Browser);
    EXPECT_EQ(ParseFetchMode("auto"), FetchMode::Auto);
    EXPECT_EQ(ParseFetchMode("Auto"), std::nullopt);
    EXPECT_EQ(ParseFetchMode(""), std::nullopt);
}

TEST(ChooseFetch, GoesOnThroughTheBrowserFromTheFirstPageOnlyItCouldRead) {
    // The direct pages of a run: "ok" pages are readable; which fetch each page of the run came from.
    const struct {
        FetchMode mode;
        std::vector<std::u16string> direct;
        std::string from;
    } cases[] = {
        {FetchMode::Direct, {u"ok", u"script", u"ok"}, "ddd"}, {FetchMode::Browser, {u"ok", u"ok", u"ok"}, "bbb"},
        {FetchMode::Auto, {u"ok", u"ok", u"ok"}, "ddd"},       {FetchMode::Auto, {u"ok", u"script", u"ok"}, "ddbb"},
        {FetchMode::Auto, {u"script", u"ok", u"ok"}, "dbbb"},
    };
    for (const auto& c : cases) {
        std::string from;
        std::size_t page = 0;
        const std::function<FetchedPage(const std::u16string&)> direct = [&](const std::u16string&) {
            from += 'd';
            return FetchedPage(c.direct[page]);
        };
        const std::function<FetchedPage(const std::u16string&)> browser = [&](const std::u16string&) {
            from += 'b';
            return FetchedPage(u"rendered");
        };
        const auto fetch = ChooseFetch<const std::u16string&>(
            c.mode, direct, browser, [](const FetchedPage& fetched) { return fetched.text == u"ok"; });
        for (page = 0; page < c.direct.size(); ++page) {
            fetch(u"http://x/");
        }
        EXPECT_EQ(from, c.from);
    }
}

TEST(PageReadable, WhatAReaderReadsOrTheClassifierKnows) {
    FetchedPage answered(u"<html><div id=\"content_items_wrapper\"></div></html>");
    answered.answers = {{u"https://h5api.m.taobao.com/h5/mtop.relationrecommend.wirelessrecommend.recommend/2.0/",
                         u"mtopjsonp1({\"ret\":[\"SUCCESS::调用成功\"],\"data\":{\"itemsArray\":[]}})"}};
    const FetchedPage script(u"<html><div id=\"content_items_wrapper\"></div><script src=\"x.js\"></script></html>");
    const FetchedPage login(test::SearchPage({{u"42054041382"}}), u"https://login.taobao.com/member/login.jhtml");
    const struct {
        bool (*readable)(FetchedPage&);
        FetchedPage page;
        bool expected;
    } cases[] = {
        {SearchPageReadable, FetchedPage(test::SearchPage({{u"42054041382"}})), true},
        {SearchPageReadable, answered, true},
        {SearchPageReadable, script, false},
        {SearchPageReadable, login, false},
        {SearchPageReadable, FetchedPage(u""), false},
        {ShopPageReadable, FetchedPage(test::ShopPage({{u"42054041382", u"t"}})), true},
        {ShopPageReadable, FetchedPage(test::kShopEndPage), true},
        {ShopPageReadable, script, false},
    };
    for (const auto& c : cases) {
        FetchedPage page = c.page;
        EXPECT_EQ(c.readable(page), c.expected) << ToUtf8(page.text);
    }
}

// A page is judged once on its way: the choice of fetch, the pause and the reader take the read it carries.
TEST(JudgedOnce, TakesTheReadThePageCarries) {
    int judged = 0;
    const auto judge = [&judged](const FetchedPage& page) {
        ++judged;
        return page.text.size();
    };
    const auto direct = [](const std::u16string&) { return FetchedPage(u"ok"); };
    const auto fetch = ChooseFetch<const std::u16string&>(
        FetchMode::Auto, direct, direct, [&](FetchedPage& page) { return JudgedOnce<std::size_t>(page, judge) > 0; });
    FetchedPage page = fetch(u"http://x/");
    EXPECT_EQ(JudgedOnce<std::size_t>(page, judge), 2u);
    EXPECT_EQ(JudgedOnce<std::size_t>(page, judge), 2u);
    EXPECT_EQ(judged, 1);
    // A read of another judge is not this one's; a page whose read was dropped is judged anew.
    EXPECT_EQ(JudgedOnce<int>(page, [](const FetchedPage&) { return 7; }), 7);
    EXPECT_EQ(JudgedOnce<std::size_t>(page, judge), 2u);
    page.read.reset();
    EXPECT_EQ(JudgedOnce<std::size_t>(page, judge), 2u);
    EXPECT_EQ(judged, 3);
}

} // namespace
} // namespace tarvisk
