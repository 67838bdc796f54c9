// XmlHttpRequest over real HTTP against the demo marketplace: the one form header, the random
// field, the event pump, time-out and cancel, decoding, and the browser's cookies.

#include "net/xml_http.h"

#include <atomic>
#include <chrono>
#include <regex>

#include <gtest/gtest.h>

#include "core/cancel.h"
#include "core/hooks.h"
#include "net/curl_request.h"
#include "routed_demo.h"

namespace tarvisk {
namespace {

using test::EchoBody;
using test::EchoValues;
using Clock = std::chrono::steady_clock;

class XmlHttpRequestTest : public test::RoutedToDemo {
protected:
    void TearDown() override {
        SetEventPump({});
        RoutedToDemo::TearDown();
    }
};

/// The random field as the generator writes it: 0 <= r < 1 in general format.
bool IsRandomField(const std::string& text) {
    static const std::regex form(R"(0|0\.[0-9]+|[1-9](\.[0-9]+)?E-[0-9]{2})");
    return std::regex_match(text, form) && std::stod(text) < 1.0;
}

TEST_F(XmlHttpRequestTest, SendsOnlyTheFormHeaderAndTheBodyWithTheRandomField) {
    const std::u16string echo = XmlHttpRequest(u"http://member1.taobao.com/test/echo?a=1", u"q=%B2%E9&n=2", 0, 5);
    EXPECT_EQ(EchoValues(echo, "method"), std::vector<std::string>{"POST"});
    EXPECT_EQ(EchoValues(echo, "target"), std::vector<std::string>{"/test/echo?a=1"});
    // The header name in lower case exactly so, and nothing else of libcurl's own.
    EXPECT_EQ(
        EchoValues(echo, "header"),
        (std::vector<std::string>{"Content-Length: " + std::to_string(EchoBody(echo).size()),
                                  "content-type: application/x-www-form-urlencoded", "Host: member1.taobao.com"}));
    const std::string body = EchoBody(echo);
    ASSERT_TRUE(body.starts_with("q=%B2%E9&n=2&x=")) << body;
    EXPECT_TRUE(IsRandomField(body.substr(15))) << body;
}

TEST_F(XmlHttpRequestTest, AnEmptyBodySendsOnlyTheRandomField) {
    const std::string body = EchoBody(XmlHttpRequest(u"http://member1.taobao.com/test/echo", u"", 0, 5));
    ASSERT_TRUE(body.starts_with("&x=")) << body;
    EXPECT_TRUE(IsRandomField(body.substr(3))) << body;
}

TEST_F(XmlHttpRequestTest, PumpsEventsWhileItWaits) {
    int pumped = 0;
    SetEventPump([&pumped] { ++pumped; });
    EXPECT_EQ(XmlHttpRequest(u"http://shop.example.com/test/slow?ms=200", u"", 0, 5), u"slow answer after 200 ms");
    // One pump after each 10 ms pause (a loaded machine pauses longer, never shorter): a
    // handful, not the thousands of a loop that does not pause.
    EXPECT_GE(pumped, 3);
    EXPECT_LE(pumped, 100);
}

TEST_F(XmlHttpRequestTest, AnEventHandlerMayRequestAgainWhileTheFirstWaits) {
    struct Case {
        const char* what;
        int outerMs;
        int innerMs;
    };
    for (const Case& c : {Case{"the handler's answer comes first", 100, 0},
                          // The first answer is complete while the handler's request still waits.
                          Case{"the first answer comes first", 50, 300}}) {
        const auto slow = [](int ms) {
            return XmlHttpRequest(u"http://shop.example.com/test/slow?ms=" + FromUtf8(std::to_string(ms)), u"", 0, 5);
        };
        std::u16string inner;
        SetEventPump([&] {
            if (inner.empty()) {
                inner = u"running";
                inner = slow(c.innerMs);
            }
        });
        EXPECT_EQ(slow(c.outerMs), u"slow answer after " + FromUtf8(std::to_string(c.outerMs)) + u" ms") << c.what;
        EXPECT_EQ(inner, u"slow answer after " + FromUtf8(std::to_string(c.innerMs)) + u" ms") << c.what;
    }
}

TEST_F(XmlHttpRequestTest, TimesOutOnASilentServer) {
    const auto start = Clock::now();
    EXPECT_EQ(XmlHttpRequest(u"http://shop.example.com/test/silent", u"", 0, 1), u"");
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(1000));
    EXPECT_LT(waited, std::chrono::milliseconds(2500));
}

TEST_F(XmlHttpRequestTest, ACancelledJobStopsAnUnboundedRequest) {
    std::atomic<bool> cancel{false};
    int pumped = 0;
    // The user's click on the cancel button arrives through the event pump.
    SetEventPump([&] {
        if (++pumped == 20)
            cancel = true;
    });
    const auto start = Clock::now();
    std::u16string result = u"unchanged";
    {
        CancelScope scope(cancel);
        result = XmlHttpRequest(u"http://shop.example.com/test/silent", u"", 0, 0);
    }
    EXPECT_EQ(result, u"");
    EXPECT_EQ(pumped, 20);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1500));
}

TEST_F(XmlHttpRequestTest, DecodesByMode) {
    struct Case {
        const char16_t* path;
        int mode;
        bool readable;
    };
    for (const Case& c : {Case{u"/test/gbk/declared", 0, true}, Case{u"/test/gbk/meta", 0, true},
                          Case{u"/test/gbk/undeclared", 0, false}, Case{u"/test/gbk/undeclared", 1, true},
                          Case{u"/test/gbk/declared", 1, true}}) {
        const std::u16string text = XmlHttpRequest(u"http://shop.example.com" + std::u16string(c.path), u"", c.mode, 5);
        EXPECT_NE(text, u"");
        EXPECT_EQ(text.find(u"查询结果：中文页面，价格￥99") != std::u16string::npos, c.readable)
            << ToUtf8(c.path) << " mode " << c.mode;
    }
    // Any other mode gives empty text even for a good answer, which still sets its cookies.
    EXPECT_EQ(XmlHttpRequest(u"http://shop.example.com/test/set-cookie?c=m%3D2", u"", 2, 5), u"");
    ASSERT_EQ(BrowserCookies::instance().all().size(), 1u);
}

TEST_F(XmlHttpRequestTest, ReturnsErrorPagesLikeAnyOther) {
    EXPECT_EQ(XmlHttpRequest(u"http://shop.example.com/test/status?code=404", u"", 0, 5), u"status 404");
    EXPECT_EQ(XmlHttpRequest(u"http://shop.example.com/test/status?code=503", u"", 0, 5), u"status 503");
}

TEST_F(XmlHttpRequestTest, FailsOnAnAnswerAboveTheSizeLimit) {
    EXPECT_EQ(XmlHttpRequest(u"http://shop.example.com/test/big?bytes=" +
                                 FromUtf8(std::to_string(net::kMaxResponseBytes + 1)),
                             u"", 0, 5),
              u"");
}

TEST_F(XmlHttpRequestTest, SendsCookiesBackOnlyToTheHostThatSetThem) {
    XmlHttpRequest(u"http://shop.example.com/test/set-cookie?c=sid%3D1%3B%20path%3D%2F", u"", 0, 5);
    const auto cookiesAt = [](const std::u16string& host) {
        return EchoValues(XmlHttpRequest(u"http://" + host + u"/test/echo", u"", 0, 5), "cookie");
    };
    EXPECT_EQ(cookiesAt(u"shop.example.com"), std::vector<std::string>{"sid=1"});
    EXPECT_EQ(cookiesAt(u"other.example.org"), std::vector<std::string>{});
    EXPECT_EQ(cookiesAt(u"sub.shop.example.com"), std::vector<std::string>{});
    EXPECT_EQ(cookiesAt(u"example.com"), std::vector<std::string>{});
}

TEST_F(XmlHttpRequestTest, DomainCookiesReachTheWholeDomain) {
    XmlHttpRequest(u"http://login.taobao.com/test/set-cookie?c=_nk_%3Dbuyer%3B%20domain%3D.taobao.com%3B%20path%3D%2F",
                   u"", 0, 5);
    for (const std::u16string host : {u"member1.taobao.com", u"rate.taobao.com", u"taobao.com"})
        EXPECT_EQ(EchoValues(XmlHttpRequest(u"http://" + host + u"/test/echo", u"", 0, 5), "cookie"),
                  std::vector<std::string>{"_nk_=buyer"})
            << ToUtf8(host);
    EXPECT_EQ(EchoValues(XmlHttpRequest(u"http://s.tmall.com/test/echo", u"", 0, 5), "cookie"),
              std::vector<std::string>{});
}

TEST_F(XmlHttpRequestTest, TellsObserversOfEveryCookieWithTheAddressThatSetIt) {
    std::vector<std::pair<std::string, std::string>> heard;
    const int id = BrowserCookies::instance().addObserver(
        [&heard](const std::string& setCookie, const std::string& url) { heard.emplace_back(setCookie, url); });
    XmlHttpRequest(u"http://shop.example.com/test/set-cookie?c=a%3D1%3B%20path%3D%2F&c=b%3D2", u"", 0, 5);
    // A followed redirect: its cookie belongs to the redirecting address.
    XmlHttpRequest(
        u"http://shop.example.com/test/redirect?to=http%3A%2F%2Fother.example.org%2Ftest%2Fecho&cookie=r%3D3", u"", 0,
        5);
    BrowserCookies::instance().removeObserver(id);
    XmlHttpRequest(u"http://shop.example.com/test/set-cookie?c=late%3D1", u"", 0, 5);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"a=1; path=/", "http://shop.example.com/test/set-cookie?c=a%3D1%3B%20path%3D%2F&c=b%3D2"},
        {"b=2", "http://shop.example.com/test/set-cookie?c=a%3D1%3B%20path%3D%2F&c=b%3D2"},
        {"r=3", "http://shop.example.com/test/redirect?to=http%3A%2F%2Fother.example.org%2Ftest%2Fecho&cookie=r%3D3"}};
    EXPECT_EQ(heard, expected);
}

TEST_F(XmlHttpRequestTest, FollowsRedirectsKeepingTheirCookies) {
    const std::u16string echo = XmlHttpRequest(
        u"http://shop.example.com/test/redirect?to=%2Ftest%2Fecho&cookie=r%3D1%3B%20path%3D%2F", u"form=1", 0, 5);
    // A 302 answer to a POST is followed with a GET, as browsers do.
    EXPECT_EQ(EchoValues(echo, "method"), std::vector<std::string>{"GET"});
    EXPECT_EQ(EchoValues(echo, "cookie"), std::vector<std::string>{"r=1"});
}

TEST_F(XmlHttpRequestTest, TrustsOnlyTheDemoCertificateForTheLoginHost) {
    const std::u16string login = u"https://login.taobao.com/test/echo";
    EXPECT_EQ(EchoValues(XmlHttpRequest(login, u"", 0, 5), "method"), std::vector<std::string>{"POST"});
    // The certificate names the login host only.
    EXPECT_EQ(XmlHttpRequest(u"https://other.example.com/test/echo", u"", 0, 5), u"");
    endpoints::SetTrustedCertificate({});
    EXPECT_EQ(XmlHttpRequest(login, u"", 0, 5), u"");
}

TEST_F(XmlHttpRequestTest, SecureCookiesGoOnlyOverHttps) {
    BrowserCookies::instance().set({".taobao.com", "/", true, true, 0, "cookie2", "s3cr3t"});
    EXPECT_EQ(EchoValues(XmlHttpRequest(u"http://login.taobao.com/test/echo", u"", 0, 5), "cookie"),
              std::vector<std::string>{});
    EXPECT_EQ(EchoValues(XmlHttpRequest(u"https://login.taobao.com/test/echo", u"", 0, 5), "cookie"),
              std::vector<std::string>{"cookie2=s3cr3t"});
}

TEST_F(XmlHttpRequestTest, DelayPumpsOncePerTenMilliseconds) {
    struct Case {
        int ms;
        int pumps;
    };
    for (const Case& c : {Case{-5, 0}, Case{0, 0}, Case{9, 0}, Case{10, 1}, Case{25, 2}, Case{50, 5}}) {
        int pumped = 0;
        SetEventPump([&pumped] { ++pumped; });
        Delay(c.ms);
        EXPECT_EQ(pumped, c.pumps) << c.ms;
    }
}

} // namespace
} // namespace tarvisk
