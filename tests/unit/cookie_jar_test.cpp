#include "net/cookie_jar.h"

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/utf8.h"
#include "text/encoding.h"

namespace tarvisk {
namespace {

struct MergeCase {
    const char* what;
    std::u16string stored;
    std::u16string fresh;
    std::u16string merged;
};

class MergeCookiesTest : public ::testing::TestWithParam<MergeCase> {};

TEST_P(MergeCookiesTest, GivesTheSlotText) {
    const MergeCase& c = GetParam();
    EXPECT_EQ(MergeCookies(c.stored, c.fresh), c.merged) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, MergeCookiesTest,
    ::testing::Values(
        MergeCase{"attributes become entries", u"", u"a=1;path=/;", u"a=1; path=/; "},
        MergeCase{"later value wins at the first position", u"a=1; b=2; ", u"b=3;c=4;", u"a=1; b=3; c=4; "},
        MergeCase{"names differ by letter case", u"A=1; ", u"a=2;", u"A=1; a=2; "},
        MergeCase{"an empty value stays in place", u"a=1; b=2; ", u"a=;", u"a=; b=2; "},
        MergeCase{"blanks vanish even inside a value", u"", u"x=1 y=2;", u"x=1y=2; "},
        MergeCase{"a value may hold \"=\"", u"", u"token=ab=cd;", u"token=ab=cd; "},
        MergeCase{"pieces without \"=\" or starting with it vanish", u"", u"a=1;HttpOnly;=x;b=2;", u"a=1; b=2; "},
        MergeCase{"no \"=\" at all keeps the stored entries", u"a=1; b=2; ", u"Secure;HttpOnly", u"a=1; b=2; "},
        MergeCase{"a repeated attribute keeps its last value", u"a=1; path=/; ", u"b=2;path=/x;",
                  u"a=1; path=/x; b=2; "},
        MergeCase{"a name repeated within the fresh text", u"", u"a=1;a=2;a=3;", u"a=3; "},
        MergeCase{"stored text without its final separator", u"a=1", u"b=2;", u"a=1; b=2; "},
        MergeCase{"both empty", u"", u"", u""},
        MergeCase{"Chinese values pass unchanged", u"", u"nick=买家;", u"nick=买家; "}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

struct SeparatorCase {
    std::u16string text;
    std::u16string separator;
    std::u16string before;
    std::u16string after;
};

class SeparatorTest : public ::testing::TestWithParam<SeparatorCase> {};

TEST_P(SeparatorTest, SplitsAtTheFirstOccurrence) {
    const SeparatorCase& c = GetParam();
    EXPECT_EQ(TextBefore(c.text, c.separator), c.before);
    EXPECT_EQ(TextAfter(c.text, c.separator), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SeparatorTest,
    ::testing::Values(SeparatorCase{u"a=1", u"=", u"a", u"1"}, SeparatorCase{u"a=b=c", u"=", u"a", u"b=c"},
                      SeparatorCase{u"Host: x:80", u":", u"Host", u" x:80"},
                      // A missing one-character separator: nothing before, all after.
                      SeparatorCase{u"HttpOnly", u"=", u"", u"HttpOnly"}, SeparatorCase{u"=x", u"=", u"", u"x"},
                      SeparatorCase{u"x=", u"=", u"x", u""}, SeparatorCase{u"", u"=", u"", u""},
                      // Longer separators that are missing keep L - L(sep) + 1 units.
                      SeparatorCase{u"abcdef", u"xyz", u"", u"cdef"}, SeparatorCase{u"ab", u"xyz", u"", u""},
                      SeparatorCase{u"k\r\nv", u"\r\n", u"k", u"v"}));

struct UrlCase {
    std::u16string typed;
    std::u16string opened;
    std::u16string variable;
};

class NormalizeUrlTest : public ::testing::TestWithParam<UrlCase> {};

TEST_P(NormalizeUrlTest, OpensTheRepairedAddressAndLowersTheVariable) {
    const UrlCase& c = GetParam();
    std::u16string url = c.typed;
    EXPECT_EQ(NormalizeUrl(url), c.opened);
    EXPECT_EQ(url, c.variable);
}

INSTANTIATE_TEST_SUITE_P(Rules, NormalizeUrlTest,
                         ::testing::Values(UrlCase{u"Shop.Example.COM/Search?Q=A",
                                                   u"http://shop.example.com/search?q=a",
                                                   u"shop.example.com/search?q=a"},
                                           UrlCase{u"http:/host.com/a", u"http://host.com/a", u"http:/host.com/a"},
                                           UrlCase{u"http:host.com/a", u"http://host.com/a", u"http:host.com/a"},
                                           UrlCase{u"https://Host.com/A", u"https://Host.com/A", u"https://host.com/a"},
                                           // A scheme keeps the letter case of the typed address in the request.
                                           UrlCase{u"http://Host.com/A", u"http://Host.com/A", u"http://host.com/a"},
                                           // The host begins with "http": no scheme is added.
                                           UrlCase{u"httpbin.org/get", u"httpbin.org/get", u"httpbin.org/get"},
                                           UrlCase{u"host.com\\a\\B", u"http://host.com/a/b", u"host.com/a/b"},
                                           UrlCase{u"http:\\\\Host.com\\a", u"http://Host.com/a", u"http://host.com/a"},
                                           // Upper-case "HTTP:" with one slash is not repaired: only "http:" is.
                                           UrlCase{u"HTTP:/host.com", u"HTTP:/host.com", u"http:/host.com"},
                                           UrlCase{u"", u"http://", u""}));

TEST(CookieJar, SlotsOutsideTheRangeMeanSlotZero) {
    EXPECT_EQ(CookieJar::slotIndex(0), 0);
    EXPECT_EQ(CookieJar::slotIndex(20), 20);
    EXPECT_EQ(CookieJar::slotIndex(21), 0);
    EXPECT_EQ(CookieJar::slotIndex(25), 0);
    EXPECT_EQ(CookieJar::slotIndex(-1), 0);
}

TEST(CookieJar, SlotsAreSeparateAndMergeInPlace) {
    CookieJar jar;
    jar.setSlot(3, u"a=1; ");
    jar.mergeIntoSlot(3, u"a=2;b=3;");
    jar.mergeIntoSlot(25, u"z=9;");
    EXPECT_EQ(jar.slot(3), u"a=2; b=3; ");
    EXPECT_EQ(jar.slot(0), u"z=9; ");
    EXPECT_EQ(jar.slot(4), u"");
    jar.clear();
    EXPECT_EQ(jar.slot(3), u"");
}

TEST(MergeCookies, ABoundedSlotIgnoresLongCookiesAndDropsItsOldestAdditions) {
    const struct {
        const char* what;
        std::u16string stored;
        std::u16string fresh;
        SlotLimits limits;
        std::u16string merged;
    } cases[] = {
        {"room for everything: the plain merge", u"a=1; ", u"b=2;a=3;", {4, 2, 10}, u"a=3; b=2; "},
        {"one entry too many: the first added goes", u"a=1; b=2; ", u"c=3;", {4, 2, 100}, u"b=2; c=3; "},
        {"a new value keeps the first position", u"a=1; b=2; ", u"a=9;c=3;", {4, 2, 100}, u"b=2; c=3; "},
        {"too many bytes: the first added goes", u"a=1; b=2; ", u"c=3;", {4, 9, 10}, u"b=2; c=3; "},
        {"a flood leaves its last cookies", u"s=1; ", u"a=1;b=2;c=3;d=4;", {4, 3, 100}, u"b=2; c=3; d=4; "},
        {"a cookie too long is ignored", u"a=1; ", u"long=x;b=2;", {4, 9, 100}, u"a=1; b=2; "},
        {"a value too long leaves the old one", u"a=1; ", u"a=12345;", {4, 9, 100}, u"a=1; "},
        {"sizes are UTF-8 bytes", u"", u"a=值;b=值值;", {4, 9, 100}, u"a=值; "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MergeCookies(c.stored, c.fresh, c.limits), c.merged) << c.what;
}

TEST(CookieJar, ThreeThousandCookiesLeaveASlotAServerTakesAndNewCookiesStillGetIn) {
    CookieJar jar;
    jar.mergeIntoSlot(0, u"session=abc; Path=/;");
    std::u16string flood;
    for (int i = 0; i < 3000; ++i) {
        const std::u16string n = FromUtf8(std::to_string(i));
        flood += u"c" + n + u"=" + std::u16string(40, u'v') + u"; Path=/;";
    }
    jar.mergeIntoSlot(0, flood);
    const std::u16string slot = jar.slot(0);
    const auto entries = std::count(slot.begin(), slot.end(), u';');
    EXPECT_LE(entries, 50);
    EXPECT_GE(entries, 40);
    EXPECT_LE(ToUtf8(slot).size(), CookieJar::kSlotLimits.slotBytes);
    EXPECT_TRUE(slot.ends_with(u"c2999=" + std::u16string(40, u'v') + u"; ")) << ToUtf8(slot.substr(0, 60));
    // The server's next cookie is kept and sent, with the newest of the flood.
    jar.mergeIntoSlot(0, u"session=def;");
    EXPECT_TRUE(jar.slot(0).ends_with(u"c2999=" + std::u16string(40, u'v') + u"; session=def; "));
}

TEST(CookieJar, ConcurrentMergesLoseNoCookie) {
    CookieJar jar;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&jar, t] {
            for (int i = 0; i < 12; ++i)
                jar.mergeIntoSlot(7, u"t" + std::u16string(1, static_cast<char16_t>(u'0' + t)) + u"n" +
                                         std::u16string(1, static_cast<char16_t>(u'A' + i)) + u"=1;");
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    const std::u16string slot = jar.slot(7);
    EXPECT_EQ(std::count(slot.begin(), slot.end(), u';'), 48);
}

} // namespace
} // namespace tarvisk
