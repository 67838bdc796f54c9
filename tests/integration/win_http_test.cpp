// WinHttpFetch over real HTTP against the demo marketplace: what the server sees, the cookie
// jar across calls and slots, proxies, redirects, bounded waits, decoding and failures.

#include "net/win_http.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "core/cancel.h"
#include "core/hooks.h"
#include "routed_demo.h"
#include "net/curl_request.h"

namespace tarvisk {
namespace {

using test::EchoBody;
using test::EchoHeaders;
using test::EchoValues;
using Clock = std::chrono::steady_clock;

constexpr char16_t kUserAgent[] =
    u"Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/31.0.1650.63 Safari/537.36";

class WinHttpFetchTest : public test::RoutedToDemo {
protected:
    /// A POST as the program's callers make it: no headers, decode mode 0, wait 10, slot 0.
    static std::u16string Post(std::u16string url, int slot = 0, const std::u16string& headerName = {}) {
        return WinHttpFetch(url, u"", u"POST", u"", 0, 10, slot, headerName, u"");
    }
};

TEST_F(WinHttpFetchTest, SendsTheDefaultRequestAndLowersTheCallersAddress) {
    std::u16string url = u"Shop.Example.COM/test/echo?Q=A";
    const std::u16string echo = WinHttpFetch(url, u"", u"POST", u"", 0, 10, 0, u"", u"");
    EXPECT_EQ(url, u"shop.example.com/test/echo?q=a");
    EXPECT_EQ(EchoValues(echo, "method"), std::vector<std::string>{"POST"});
    EXPECT_EQ(EchoValues(echo, "target"), std::vector<std::string>{"/test/echo?q=a"});
    EXPECT_EQ(EchoValues(echo, "host"), std::vector<std::string>{"shop.example.com"});
    // Exactly these four headers: no Accept, Accept-Encoding, Expect or Cookie of libcurl's own.
    EXPECT_EQ(EchoValues(echo, "header"),
              (std::vector<std::string>{"Content-Length: 0", "Content-Type: application/x-www-form-urlencoded",
                                        "Host: shop.example.com", "User-Agent: " + ToUtf8(kUserAgent)}));
}

TEST_F(WinHttpFetchTest, SendsMethodAndBodyUnchanged) {
    struct Case {
        std::u16string method;
        std::u16string body;
        std::string seenBody;
    };
    for (const Case& c : {Case{u"POST", u"a=1&b=%E4", "a=1&b=%E4"}, Case{u"PUT", u"中文", "中文"},
                          Case{u"GET", u"", ""}, Case{u"DELETE", u"x", "x"}}) {
        std::u16string url = u"http://shop.example.com/test/echo";
        const std::u16string echo = WinHttpFetch(url, c.body, c.method, u"", 0, 10, 0, u"", u"");
        EXPECT_EQ(EchoValues(echo, "method"), std::vector<std::string>{ToUtf8(c.method)});
        EXPECT_EQ(EchoBody(echo), c.seenBody) << ToUtf8(c.method);
    }
}

TEST_F(WinHttpFetchTest, RefusesAMethodThatIsNoToken) {
    std::u16string url = u"http://shop.example.com/test/echo";
    EXPECT_EQ(WinHttpFetch(url, u"", u"GET /x HTTP/1.1\r\nX-A:", u"", 0, 10, 0, u"", u""), u"");
}

TEST_F(WinHttpFetchTest, SendsCallerHeadersAndSlotCookies) {
    struct Case {
        const char* what;
        std::u16string headerText;
        std::u16string slot;
        std::string name;
        std::vector<std::string> seen;
    };
    const std::vector<Case> cases = {
        {"one line without CR LF", u"X-One: 1", u"", "X-One", {"X-One: 1"}},
        {"the second of two lines", u"X-One: 1\r\nX-Two: 2", u"", "X-Two", {"X-Two: 2"}},
        {"a value with colons", u"Referer: http://a.com:8080/x", u"", "Referer", {"Referer: http://a.com:8080/x"}},
        {"a default replaced", u"User-Agent: Test/1", u"", "User-Agent", {"User-Agent: Test/1"}},
        {"one Cookie line from the slot", u"", u"a=1; b=2; ", "Cookie", {"Cookie: a=1; b=2;"}},
        {"the caller's cookie line takes the slot", u"Cookie: c=3;", u"a=1; ", "Cookie", {"Cookie: c=3;a=1;"}},
        {"no Cookie line for an empty slot", u"", u"", "Cookie", {}},
    };
    for (const Case& c : cases) {
        CookieJar::instance().setSlot(5, c.slot);
        std::u16string url = u"http://shop.example.com/test/echo";
        const std::u16string echo = WinHttpFetch(url, u"", u"POST", c.headerText, 0, 10, 5, u"", u"");
        EXPECT_EQ(EchoHeaders(echo, c.name), c.seen) << c.what;
    }
}

TEST_F(WinHttpFetchTest, KeepsCookiesPerSlotAcrossCalls) {
    Post(u"http://shop.example.com/test/set-cookie?c=a%3D1%3B%20path%3D%2F&c=b%3D2", 2);
    EXPECT_EQ(CookieJar::instance().slot(2), u"a=1; path=/; b=2; ");
    // Values update in place, a new cookie goes to the end; other slots stay empty.
    Post(u"http://other.example.org/test/set-cookie?c=b%3D3&c=c%3D4", 2);
    EXPECT_EQ(CookieJar::instance().slot(2), u"a=1; path=/; b=3; c=4; ");
    EXPECT_EQ(CookieJar::instance().slot(3), u"");
    // The slot has no notion of host: its cookies go to any host.
    const std::u16string echo = Post(u"http://third.example.net/test/echo", 2);
    EXPECT_EQ(EchoValues(echo, "cookie"), (std::vector<std::string>{"a=1", "path=/", "b=3", "c=4"}));
    EXPECT_EQ(EchoValues(Post(u"http://third.example.net/test/echo", 3), "cookie"), std::vector<std::string>{});
}

TEST_F(WinHttpFetchTest, SlotAbove20UsesSlotZero) {
    Post(u"http://shop.example.com/test/set-cookie?c=z%3D9", 25);
    EXPECT_EQ(CookieJar::instance().slot(0), u"z=9; ");
}

TEST_F(WinHttpFetchTest, CollectsOnlySetCookieInItsExactLetterCase) {
    Post(u"http://shop.example.com/test/headers?h=set-cookie%3A%20low%3D1&h=Set-Cookie%3A%20up%3D2");
    EXPECT_EQ(CookieJar::instance().slot(0), u"up=2; ");
}

TEST_F(WinHttpFetchTest, ReturnsARedirectWithItsLocationAndKeepsItsCookie) {
    const std::u16string result =
        Post(u"http://shop.example.com/test/redirect?to=%2Ftest%2Fecho&cookie=r%3D1", 0, u"location");
    EXPECT_EQ(result, u"/test/echo\r\n\r\nmoved to /test/echo");
    EXPECT_EQ(CookieJar::instance().slot(0), u"r=1; ");
}

TEST_F(WinHttpFetchTest, PutsAllHeadersBeforeTheBodyWhateverTheStatus) {
    const std::u16string result = Post(u"http://shop.example.com/test/status?code=404", 0, u"ALL");
    const std::size_t split = result.find(u"\r\n\r\n");
    ASSERT_NE(split, std::u16string::npos);
    const std::u16string headers = result.substr(0, split);
    EXPECT_EQ(result.substr(split + 4), u"status 404");
    EXPECT_EQ(headers.find(u"HTTP/"), std::u16string::npos);
    EXPECT_NE(headers.find(u"Content-Length: 10"), std::u16string::npos);
    EXPECT_NE(headers.find(u"Content-Type: text/plain"), std::u16string::npos);
}

TEST_F(WinHttpFetchTest, AMissingHeaderGivesTheBodyAlone) {
    EXPECT_EQ(Post(u"http://shop.example.com/test/status?code=200", 0, u"X-Nothing"), u"status 200");
}

TEST_F(WinHttpFetchTest, UsesTheProxyInEveryTypedForm) {
    const std::u16string port = FromUtf8(std::to_string(s_market->port()));
    for (const std::u16string& proxy :
         {u"127.0.0.1:" + port, u"127.0.0.1  " + port, u"127.0.0.1\t" + port, u"  127.0.0.1 \t " + port}) {
        std::u16string url = u"http://far.example.com/test/echo";
        const std::u16string echo = WinHttpFetch(url, u"", u"POST", u"", 0, 10, 0, u"", proxy);
        // A proxy is asked with the whole address in the request line.
        EXPECT_EQ(EchoValues(echo, "target"), std::vector<std::string>{"http://far.example.com/test/echo"})
            << ToUtf8(proxy);
    }
}

TEST_F(WinHttpFetchTest, GivesUpOnASilentServerWithinItsWait) {
    CookieJar::instance().setSlot(0, u"kept=1; ");
    std::u16string url = u"http://shop.example.com/test/silent";
    const auto start = Clock::now();
    EXPECT_EQ(WinHttpFetch(url, u"", u"POST", u"", 0, 1, 0, u"all", u""), u"");
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    EXPECT_LT(waited, std::chrono::milliseconds(2500));
    EXPECT_EQ(CookieJar::instance().slot(0), u"kept=1; ");
}

TEST_F(WinHttpFetchTest, BlocksWithoutRunningWindowEvents) {
    int pumped = 0;
    SetEventPump([&pumped] { ++pumped; });
    std::u16string url = u"http://shop.example.com/test/slow?ms=100";
    EXPECT_EQ(WinHttpFetch(url, u"", u"POST", u"", 0, 10, 0, u"", u""), u"slow answer after 100 ms");
    SetEventPump({});
    EXPECT_EQ(pumped, 0);
}

TEST_F(WinHttpFetchTest, FailsPromptlyWhenNothingAnswers) {
    for (const std::u16string address : {u"http://[bad/x", u"http://shop.example.com:99999/x"}) {
        std::u16string url = address;
        const auto start = Clock::now();
        EXPECT_EQ(WinHttpFetch(url, u"", u"POST", u"", 0, 10, 0, u"all", u""), u"");
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
    }
    endpoints::SetRoute("127.0.0.1:1");
    std::u16string url = u"http://shop.example.com/test/echo";
    const auto start = Clock::now();
    EXPECT_EQ(WinHttpFetch(url, u"", u"POST", u"", 0, 10, 0, u"all", u""), u"");
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
}

TEST_F(WinHttpFetchTest, StopsAtOnceWhenTheJobIsCancelled) {
    std::atomic<bool> cancel{false};
    std::thread canceller([&cancel] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        cancel = true;
    });
    const auto start = Clock::now();
    std::u16string result = u"unchanged";
    {
        CancelScope scope(cancel);
        std::u16string url = u"http://shop.example.com/test/silent";
        result = WinHttpFetch(url, u"", u"POST", u"", 0, 10, 0, u"", u"");
    }
    canceller.join();
    EXPECT_EQ(result, u"");
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1500));
}

TEST_F(WinHttpFetchTest, DecodesByMode) {
    struct Case {
        const char* path;
        int mode;
        bool readable;
    };
    for (const Case& c :
         {Case{"/test/gbk/declared", 0, true}, Case{"/test/gbk/meta", 0, true}, Case{"/test/gbk/undeclared", 0, false},
          Case{"/test/gbk/undeclared", 1, true}, Case{"/test/gbk/declared", 2, false}}) {
        std::u16string url = u"http://shop.example.com" + FromUtf8(c.path);
        const std::u16string text = WinHttpFetch(url, u"", u"GET", u"", c.mode, 10, 0, u"", u"");
        EXPECT_EQ(text.find(u"查询结果：中文页面，价格￥99") != std::u16string::npos, c.readable)
            << c.path << " mode " << c.mode;
    }
    std::u16string url = u"http://shop.example.com/test/echo";
    EXPECT_EQ(EchoBody(WinHttpFetch(url, u"名=值", u"POST", u"", 2, 10, 0, u"", u"")), "名=值");
}

TEST_F(WinHttpFetchTest, FailsOnAnAnswerAboveTheSizeLimit) {
    std::u16string url =
        u"http://shop.example.com/test/big?bytes=" + FromUtf8(std::to_string(net::kMaxResponseBytes + 1));
    EXPECT_EQ(WinHttpFetch(url, u"", u"GET", u"", 0, 10, 0, u"all", u""), u"");
}

TEST_F(WinHttpFetchTest, IgnoresCertificateErrors) {
    // No trusted certificate, and a host name the demo certificate does not name.
    endpoints::SetTrustedCertificate({});
    for (const std::u16string address :
         {u"https://login.taobao.com/test/echo", u"https://other.example.com/test/echo"}) {
        std::u16string url = address;
        const std::u16string echo = WinHttpFetch(url, u"", u"POST", u"", 0, 10, 0, u"", u"");
        EXPECT_EQ(EchoValues(echo, "method"), std::vector<std::string>{"POST"}) << ToUtf8(address);
    }
}

} // namespace
} // namespace tarvisk
