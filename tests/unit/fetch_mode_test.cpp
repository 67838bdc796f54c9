#include "jobs/fetch_mode.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "jobs/ranking/today_search_page.h"
#include "jobs/shop/today_shop_page.h"
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
    EXPECT_TRUE(SearchPageReadable(FetchedPage(test::SearchPage({{u"42054041382"}}))));
    EXPECT_TRUE(SearchPageReadable(answered));
    EXPECT_FALSE(SearchPageReadable(script));
    EXPECT_FALSE(SearchPageReadable(login));
    EXPECT_FALSE(SearchPageReadable(FetchedPage(u"")));
    EXPECT_TRUE(ShopPageReadable(FetchedPage(test::ShopPage({{u"42054041382", u"t"}}))));
    EXPECT_TRUE(ShopPageReadable(FetchedPage(test::kShopEndPage)));
    EXPECT_FALSE(ShopPageReadable(script));
}

} // namespace
} // namespace tarvisk
