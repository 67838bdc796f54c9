// Pages built to make the program's patterns work hardest: 2 MB of half-matches in front of the real
// content. The engine's limits must never cut a scan short on such a page (the real items after the
// junk are still found), while a pattern that truly backtracks without end is stopped.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "jobs/reputation/reputation.h"
#include "jobs/shop/shop_crawl.h"
#include "text/encoding.h"
#include "support/fake_pages.h"
#include "text/regex.h"

namespace tarvisk {
namespace {

constexpr std::size_t kJunkUnits = std::size_t{1} << 20; // 2 MB of UTF-16

std::u16string Junk(const std::u16string& piece) {
    std::u16string junk;
    while (junk.size() + piece.size() <= kJunkUnits)
        junk += piece;
    return junk;
}

using test::ShopItemLink;

TEST(AdversarialPages, ShopLinksAfterTwoMegabytesOfHalfLinksAreAllFound) {
    const std::u16string itemLinks = ShopItemLink(u"1234567890", u"连衣裙") +
                                     ShopItemLink(u"2234567890123", u"手机壳") +
                                     ShopItemLink(u"3234567890", u"软件开发");
    const std::vector<ShopItem> expected = {
        {u"1234567890", u"连衣裙"}, {u"2234567890123", u"手机壳"}, {u"3234567890", u"软件开发"}};
    const std::u16string junk[] = {
        Junk(u"item-name "),
        Junk(u"item-name href=\"http://item.taobao.com/item.htm?id="),
        Junk(u"item-name href=\"http://item.taobao.com/item.htm?id=12345678\" target=\"_blank\">"),
    };
    for (const std::u16string& before : junk) {
        SCOPED_TRACE(ToUtf8(before.substr(0, 40)));
        // Behind a line break the junk is out of reach of every match: the three links are listed.
        int links = 0;
        EXPECT_EQ(ParseShopPage(before + u"\n" + itemLinks, &links), expected);
        EXPECT_EQ(links, 3);
        // On the same line the first match begins in the junk (a lazy match crosses everything but a
        // line feed) and takes the first link with it; the scan still reaches every link.
        const std::vector<ShopItem> items = ParseShopPage(before + itemLinks, &links);
        EXPECT_EQ(links, 3);
        ASSERT_GE(items.size(), 2u);
        EXPECT_EQ(std::vector<ShopItem>(items.end() - 2, items.end()),
                  std::vector<ShopItem>(expected.begin() + 1, expected.end()));
    }
}

TEST(AdversarialPages, TheRegistrationDateAfterTwoMegabytesOfLabelsIsFound) {
    const struct {
        const char* what;
        std::u16string junk;
    } cases[] = {
        {"labels without a date", Junk(u"注册时间：")},
        {"labels with a year", Junk(u"注册时间：2014年")},
        {"labels with half dates", Junk(u"注册时间：2014年11月2日")},
        {"runs of 31 word characters", Junk(std::u16string(31, u'a') + u"-")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ProfileFacts facts =
            ReadProfile(c.junk + u"\n<li>注册时间：<span>2014年11月26日</span></li> UW3V03I466Ls41eGAMzRZOWbzsW4cb8N");
        EXPECT_EQ(facts.registrationDate, u"2014年11月26日");
        EXPECT_EQ(facts.registeredOn, (Date{2014, 11, 26}));
        EXPECT_EQ(facts.userId, u"UW3V03I466Ls41eGAMzRZOWbzsW4cb8N");
    }
}

TEST(AdversarialPages, APatternThatBacktracksWithoutEndIsStopped) {
    // Each attempt of "(a|a)+b" on a run of a's not followed by b tries every way to split the run:
    // 2^1000 of them. The engine's work limit ends the scan instead.
    const std::u16string text = std::u16string(1000, u'a') + u"cb";
    EXPECT_EQ(RegexMatch(text, u"(a|a)+b", 1), u"");
    EXPECT_EQ(RegexPosition(text, u"(a|a)+b", 1), 0);
    // Nested repetition over a long text with the required character at its very end.
    const std::u16string words = std::u16string(5000, u'x') + u"!";
    EXPECT_EQ(RegexMatch(words, u"^(\\w+\\s?)*$", 1), u"");
}

} // namespace
} // namespace tarvisk
