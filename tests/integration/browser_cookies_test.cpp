// The browser cookie store: what goes in comes out the same, what XmlHttpRequest sends where,
// cookies.txt files, and the observers.

#include "net/browser_cookies.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <tuple>

#include <gtest/gtest.h>

#include "net/xml_http.h"
#include "routed_demo.h"

namespace tarvisk {
namespace {

using test::EchoValues;

auto Fields(const BrowserCookie& c) {
    return std::tie(c.domain, c.path, c.secure, c.httpOnly, c.expires, c.name, c.value);
}

std::vector<std::string> CookiesSentTo(const std::u16string& url) {
    return EchoValues(XmlHttpRequest(url, u"", 0, 5), "cookie");
}

class BrowserCookiesTest : public test::RoutedToDemo {};

TEST_F(BrowserCookiesTest, KeepsEveryFieldOfACookie) {
    const std::int64_t nextYear = std::time(nullptr) + 365 * 24 * 3600;
    const std::vector<BrowserCookie> cookies = {
        {"shop.example.com", "/", false, false, 0, "host_only", "1"},
        {".example.com", "/", false, false, 0, "domain_wide", "2"},
        {".taobao.com", "/member", true, true, nextYear, "cookie2", "a=b;c"},
        {"login.taobao.com", "/", false, true, 0, "_tb_token_", ""},
    };
    for (const BrowserCookie& cookie : cookies) {
        BrowserCookies::instance().clear();
        BrowserCookies::instance().set(cookie);
        const std::vector<BrowserCookie> stored = BrowserCookies::instance().all();
        ASSERT_EQ(stored.size(), 1u) << cookie.name;
        EXPECT_EQ(Fields(stored[0]), Fields(cookie)) << cookie.name;
    }
}

TEST_F(BrowserCookiesTest, ReplacesACookieOfTheSameDomainPathAndName) {
    BrowserCookies& store = BrowserCookies::instance();
    store.set({".example.com", "/", false, false, 0, "a", "1"});
    store.set({".example.com", "/", false, false, 0, "a", "2"});
    store.set({".example.com", "/x", false, false, 0, "a", "3"});
    store.set({"example.com", "/", false, false, 0, "a", "4"});
    std::vector<std::string> values;
    for (const BrowserCookie& cookie : store.all())
        values.push_back(cookie.value);
    std::sort(values.begin(), values.end());
    EXPECT_EQ(values, (std::vector<std::string>{"2", "3", "4"}));
}

TEST_F(BrowserCookiesTest, RemovesOneCookieAndClearsAll) {
    BrowserCookies& store = BrowserCookies::instance();
    store.set({".example.com", "/", false, false, 0, "gone", "1"});
    store.set({".example.com", "/", false, false, 0, "kept", "2"});
    store.remove({".example.com", "/", false, false, 0, "gone", ""});
    ASSERT_EQ(store.all().size(), 1u);
    EXPECT_EQ(store.all()[0].name, "kept");
    EXPECT_EQ(CookiesSentTo(u"http://shop.example.com/test/echo"), std::vector<std::string>{"kept=2"});
    store.clear();
    EXPECT_TRUE(store.all().empty());
    EXPECT_EQ(CookiesSentTo(u"http://shop.example.com/test/echo"), std::vector<std::string>{});
}

TEST_F(BrowserCookiesTest, RefusesCookiesThatWouldSpreadOrSplit) {
    const std::vector<BrowserCookie> refused = {
        {"", "/", false, false, 0, "everywhere", "1"},
        {".", "/", false, false, 0, "everywhere", "1"},
        {".example.com", "/", false, false, 0, "tab", "a\tb"},
        {".example.com", "/", false, false, 0, "line\nbreak", "1"},
        {"example.com\tTRUE", "/", false, false, 0, "x", "1"},
    };
    for (const BrowserCookie& cookie : refused)
        BrowserCookies::instance().set(cookie);
    EXPECT_TRUE(BrowserCookies::instance().all().empty());
    EXPECT_EQ(CookiesSentTo(u"http://other.example.org/test/echo"), std::vector<std::string>{});
}

TEST_F(BrowserCookiesTest, ExpiredCookiesAreNeitherListedNorSent) {
    BrowserCookies::instance().set({".example.com", "/", false, false, 1000, "old", "1"});
    EXPECT_TRUE(BrowserCookies::instance().all().empty());
    EXPECT_EQ(CookiesSentTo(u"http://shop.example.com/test/echo"), std::vector<std::string>{});
}

TEST_F(BrowserCookiesTest, GoesOnlyToHostsAndPathsItMatches) {
    struct Case {
        BrowserCookie cookie;
        std::u16string url;
        bool sent;
    };
    const std::vector<Case> cases = {
        {{"shop.example.com", "/", false, false, 0, "c", "1"}, u"http://shop.example.com/test/echo", true},
        {{"shop.example.com", "/", false, false, 0, "c", "1"}, u"http://a.shop.example.com/test/echo", false},
        {{"shop.example.com", "/", false, false, 0, "c", "1"}, u"http://example.com/test/echo", false},
        {{"shop.example.com", "/", false, false, 0, "c", "1"}, u"http://shopexample.com/test/echo", false},
        {{".example.com", "/", false, false, 0, "c", "1"}, u"http://deep.shop.example.com/test/echo", true},
        {{".example.com", "/", false, false, 0, "c", "1"}, u"http://example.com/test/echo", true},
        {{".example.com", "/", false, false, 0, "c", "1"}, u"http://badexample.com/test/echo", false},
        {{".example.com", "/", false, false, 0, "c", "1"}, u"http://example.org/test/echo", false},
        {{".example.com", "/test", false, false, 0, "c", "1"}, u"http://shop.example.com/test/echo", true},
        {{".example.com", "/other", false, false, 0, "c", "1"}, u"http://shop.example.com/test/echo", false},
    };
    for (const Case& c : cases) {
        BrowserCookies::instance().clear();
        BrowserCookies::instance().set(c.cookie);
        EXPECT_EQ(CookiesSentTo(c.url).size(), c.sent ? 1u : 0u)
            << c.cookie.domain << c.cookie.path << " to " << ToUtf8(c.url);
    }
}

TEST_F(BrowserCookiesTest, LoadsANetscapeCookiesFile) {
    const std::string path = ::testing::TempDir() + "browser_cookies_test_cookies.txt";
    {
        std::ofstream file(path, std::ios::binary);
        file << "# Netscape HTTP Cookie File\r\n"
                "\r\n"
                ".taobao.com\tTRUE\t/\tFALSE\t0\t_nk_\tbuyer\r\n"
                "#HttpOnly_login.taobao.com\tFALSE\t/member\tTRUE\t0\tcookie2\tabc\n"
                "shop.example.com\tTRUE\t/\tFALSE\t0\tno_dot\t1\n"
                "empty.example.com\tFALSE\t/\tFALSE\t0\tempty\n"
                "malformed line without tabs\n"
                "bad.example.com\tFALSE\t/\tFALSE\tsoon\tx\t1\n";
    }
    ASSERT_EQ(BrowserCookies::instance().loadNetscapeFile(path).status, LineFileResult::Status::Read);
    std::remove(path.c_str());
    std::vector<BrowserCookie> stored = BrowserCookies::instance().all();
    std::sort(stored.begin(), stored.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    ASSERT_EQ(stored.size(), 4u);
    EXPECT_EQ(Fields(stored[0]), Fields(BrowserCookie{".taobao.com", "/", false, false, 0, "_nk_", "buyer"}));
    EXPECT_EQ(Fields(stored[1]), Fields(BrowserCookie{"login.taobao.com", "/member", true, true, 0, "cookie2", "abc"}));
    EXPECT_EQ(Fields(stored[2]), Fields(BrowserCookie{"empty.example.com", "/", false, false, 0, "empty", ""}));
    // A domain-wide flag without the leading dot still covers the subdomains.
    EXPECT_EQ(Fields(stored[3]), Fields(BrowserCookie{".shop.example.com", "/", false, false, 0, "no_dot", "1"}));
    EXPECT_EQ(BrowserCookies::instance().loadNetscapeFile(path).status, LineFileResult::Status::Unreadable);
}

TEST_F(BrowserCookiesTest, ACookiesFileWithAnEndlessLineStopsThere) {
    const std::string path = ::testing::TempDir() + "browser_cookies_test_long_line.txt";
    {
        std::ofstream file(path, std::ios::binary);
        file << ".taobao.com\tTRUE\t/\tFALSE\t0\tfirst\t1\n"
             << ".taobao.com\tTRUE\t/\tFALSE\t0\thuge\t" << std::string(kMaxLineBytes, 'v') << "\n"
             << ".taobao.com\tTRUE\t/\tFALSE\t0\tafter\t1\n";
    }
    const LineFileResult result = BrowserCookies::instance().loadNetscapeFile(path);
    std::remove(path.c_str());
    EXPECT_EQ(result.status, LineFileResult::Status::LineTooLong);
    EXPECT_EQ(result.lineNumber, 2u);
    const std::vector<BrowserCookie> stored = BrowserCookies::instance().all();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].name, "first");
}

TEST_F(BrowserCookiesTest, TellsTheObserversThatRemain) {
    BrowserCookies& store = BrowserCookies::instance();
    std::vector<std::string> heard;
    int selfRemoving = 0;
    const int first =
        store.addObserver([&heard](const std::string& c, const std::string&) { heard.push_back("1:" + c); });
    const int second =
        store.addObserver([&heard](const std::string& c, const std::string&) { heard.push_back("2:" + c); });
    // An observer may remove itself while it is being told.
    selfRemoving =
        store.addObserver([&](const std::string&, const std::string&) { store.removeObserver(selfRemoving); });
    store.notifySetCookie("a=1", "http://shop.example.com/");
    store.removeObserver(first);
    store.notifySetCookie("b=2", "http://shop.example.com/");
    store.removeObserver(second);
    store.notifySetCookie("c=3", "http://shop.example.com/");
    EXPECT_EQ(heard, (std::vector<std::string>{"1:a=1", "2:a=1", "2:b=2"}));
}

} // namespace
} // namespace tarvisk
