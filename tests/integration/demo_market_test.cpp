// The demo marketplace server itself: where it listens, how it names hosts, and that it stops at
// once even while answers are held back.

#include "demo/demo_market.h"

#include <chrono>
#include <future>
#include <stdexcept>

#include <gtest/gtest.h>

#include "net/endpoints.h"
#include "net/win_http.h"
#include "net/xml_http.h"
#include "routed_demo.h"

namespace tarvisk {
namespace {

using test::EchoValues;
using Clock = std::chrono::steady_clock;

class DemoMarketTest : public test::RoutedToDemo {};

TEST_F(DemoMarketTest, NamesTheRequestedHostWithoutPortInLowerCase) {
    struct Case {
        std::u16string url;
        std::string host;
    };
    for (const Case& c :
         {Case{u"http://Shop.Example.COM/test/echo", "shop.example.com"},
          Case{u"http://shop.example.com:8080/test/echo", "shop.example.com"},
          Case{u"http://127.0.0.1:81/test/echo", "127.0.0.1"}, Case{u"http://[::1]:81/test/echo", "[::1]"}}) {
        EXPECT_EQ(EchoValues(XmlHttpRequest(c.url, u"", 0, 5), "host"), std::vector<std::string>{c.host})
            << ToUtf8(c.url);
    }
}

TEST_F(DemoMarketTest, ListensOnLoopbackOnTheGivenPortOnly) {
    EXPECT_EQ(s_market->hostPort(), "127.0.0.1:" + std::to_string(s_market->port()));
    EXPECT_NE(s_market->httpsPort(), s_market->port());
    EXPECT_NE(s_market->certificatePem().find("-----BEGIN CERTIFICATE-----"), std::string::npos);
    EXPECT_THROW(demo::DemoMarket taken(s_market->port()), std::runtime_error);
}

TEST_F(DemoMarketTest, ServesTheTestPagesOnlyWhenAsked) {
    const demo::DemoMarket plain;
    endpoints::SetRoute(plain.hostPort());
    // What each page would answer if it were served.
    const struct {
        const char16_t* path;
        const char16_t* servedMark;
    } pages[] = {
        {u"/test/echo", u"body: "},
        {u"/test/hostile/gzip-bomb", u"X-Accept-Encoding-Received"},
        {u"/test/hostile/cookies?n=3", u"Set-Cookie"},
    };
    for (const auto& page : pages) {
        std::u16string url = u"http://shop.example.com" + std::u16string(page.path);
        const std::u16string answer = WinHttpFetch(url, u"", u"GET", u"", 0, 5, 0, u"all", u"");
        EXPECT_FALSE(answer.empty()) << ToUtf8(page.path);
        EXPECT_EQ(answer.find(page.servedMark), std::u16string::npos) << ToUtf8(answer);
    }
    // A misbehaving shop's later page is an ordinary empty shop page.
    std::u16string hostileShop = u"http://hostile-cut.taobao.com/search.htm?v=1&pageNo=2";
    EXPECT_NE(WinHttpFetch(hostileShop, u"", u"POST", u"", 0, 5, 0, u"", u"").find(u"很抱歉，搜索到"),
              std::u16string::npos);
}

TEST_F(DemoMarketTest, StopsAtOnceWhileAnswersAreHeldBack) {
    auto market = std::make_unique<demo::DemoMarket>(0, demo::RegisterTestPages);
    endpoints::SetRoute(market->hostPort());
    auto silent = std::async(std::launch::async, [] {
        std::u16string url = u"http://shop.example.com/test/silent";
        return WinHttpFetch(url, u"", u"POST", u"", 0, 30, 0, u"", u"");
    });
    auto slow = std::async(std::launch::async, [] {
        std::u16string url = u"http://shop.example.com/test/slow?ms=30000";
        return WinHttpFetch(url, u"", u"POST", u"", 0, 30, 0, u"", u"");
    });
    // Let both requests reach the server.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto start = Clock::now();
    market.reset();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(silent.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    EXPECT_EQ(slow.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    EXPECT_EQ(slow.get(), u"slow answer after 30000 ms");
}

} // namespace
} // namespace tarvisk
