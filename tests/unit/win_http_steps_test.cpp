#include "net/win_http_steps.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tarvisk::net {
namespace {

const HeaderField kContentType{u"Content-Type", u"application/x-www-form-urlencoded"};
const HeaderField kUserAgent{u"User-Agent", u"Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like "
                                            u"Gecko) Chrome/31.0.1650.63 Safari/537.36"};

struct ProxyCase {
    std::u16string typed;
    std::u16string server;
};

class ProxyServerTest : public ::testing::TestWithParam<ProxyCase> {};

TEST_P(ProxyServerTest, ReadsTheTypedProxy) {
    EXPECT_EQ(ProxyServer(GetParam().typed), GetParam().server);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ProxyServerTest,
    ::testing::Values(ProxyCase{u"", u""}, ProxyCase{u"   ", u""}, ProxyCase{u"10.0.0.1:8080", u"10.0.0.1:8080"},
                      ProxyCase{u"  proxy:3128  ", u"proxy:3128"}, ProxyCase{u"proxy 3128", u"proxy:3128"},
                      ProxyCase{u"proxy  3128", u"proxy:3128"}, ProxyCase{u"proxy\t3128", u"proxy:3128"},
                      ProxyCase{u"proxy \t 3128", u"proxy:3128"}, ProxyCase{u"proxy\t\t\t\t3128", u"proxy:3128"},
                      // Four passes shorten a run of up to 16 blanks to one.
                      ProxyCase{u"proxy" + std::u16string(16, u' ') + u"3128", u"proxy:3128"},
                      ProxyCase{u"proxy" + std::u16string(17, u' ') + u"3128", u"proxy::3128"},
                      // With a colon present the blanks stay.
                      ProxyCase{u"proxy: 3128", u"proxy: 3128"},
                      // Leading tabs are not trimmed but become blanks.
                      ProxyCase{u"\tproxy 1", u":proxy:1"}));

struct HeaderCase {
    const char* what;
    std::u16string headerText;
    std::u16string slot;
    std::vector<HeaderField> fields;
};

class RequestHeaderFieldsTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(RequestHeaderFieldsTest, SendsTheseHeaders) {
    const HeaderCase& c = GetParam();
    EXPECT_EQ(RequestHeaderFields(c.headerText, c.slot), c.fields) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RequestHeaderFieldsTest,
    ::testing::Values(
        HeaderCase{"defaults only", u"", u"", {kContentType, kUserAgent}},
        HeaderCase{"one line without CR LF",
                   u"Referer: http://a.com/x",
                   u"",
                   {kContentType, kUserAgent, {u"Referer", u"http://a.com/x"}}},
        HeaderCase{"two lines in their order",
                   u"X-B: 2\r\nX-A: 1",
                   u"",
                   {kContentType, kUserAgent, {u"X-B", u"2"}, {u"X-A", u"1"}}},
        HeaderCase{"blank and colon-less lines ignored",
                   u"\r\nnot a header\r\nX-A: 1\r\n\r\n",
                   u"",
                   {kContentType, kUserAgent, {u"X-A", u"1"}}},
        HeaderCase{"names and values trimmed, value keeps its colons",
                   u"  X-Time  :  10:20:30  ",
                   u"",
                   {kContentType, kUserAgent, {u"X-Time", u"10:20:30"}}},
        HeaderCase{"a caller line replaces a default in place",
                   u"user-agent: Test/1",
                   u"",
                   {kContentType, {u"User-Agent", u"Test/1"}}},
        HeaderCase{"an empty value removes the header", u"Content-Type:", u"", {kUserAgent}},
        HeaderCase{
            "slot cookies as one line", u"", u" a=1; b=2; ", {kContentType, kUserAgent, {u"Cookie", u"a=1; b=2;"}}},
        HeaderCase{"a cookie line gets the slot appended without separator",
                   u"COOKIE: x=1;",
                   u"a=1; ",
                   {kContentType, kUserAgent, {u"COOKIE", u"x=1;a=1;"}}},
        HeaderCase{
            "a cookie line with an empty slot", u"Cookie: x=1", u"", {kContentType, kUserAgent, {u"Cookie", u"x=1"}}},
        // " cookie" is not exactly "cookie": the slot then replaces the caller's line.
        HeaderCase{"a cookie name with blanks is an ordinary header",
                   u" cookie : x=1",
                   u"a=1; ",
                   {kContentType, kUserAgent, {u"cookie", u"a=1;"}}},
        HeaderCase{"names that are no tokens are left out",
                   u"Bad Name: 1\r\n: 2\r\nX-Ok: 3",
                   u"",
                   {kContentType, kUserAgent, {u"X-Ok", u"3"}}},
        HeaderCase{"a lone line feed cannot start another header",
                   u"X-A: 1\nX-Injected: 2",
                   u"",
                   {kContentType, kUserAgent, {u"X-A", u"1X-Injected: 2"}}}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

struct SetCookieCase {
    const char* what;
    std::u16string headers;
    std::u16string collected;
};

class CollectSetCookiesTest : public ::testing::TestWithParam<SetCookieCase> {};

TEST_P(CollectSetCookiesTest, CollectsForTheJar) {
    EXPECT_EQ(CollectSetCookies(GetParam().headers), GetParam().collected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CollectSetCookiesTest,
    ::testing::Values(SetCookieCase{"none", u"Content-Type: text/html\r\nContent-Length: 0", u""},
                      SetCookieCase{"two lines with attributes", u"Set-Cookie: a=1; path=/\r\nX: y\r\nSet-Cookie: b=2",
                                    u"a=1; path=/;b=2;"},
                      SetCookieCase{"exact letter case only", u"set-cookie: a=1\r\nSET-COOKIE: b=2\r\nSet-Cookie: c=3",
                                    u"c=3;"},
                      SetCookieCase{"every occurrence in a line is removed", u"Set-Cookie: a=Set-Cookie:1", u"a=1;"},
                      SetCookieCase{"an empty cookie still adds its separator", u"Set-Cookie:", u";"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(IsToken, AcceptsHeaderNamesAndMethodsOnly) {
    for (const std::u16string name : {u"GET", u"X-Custom_1", u"M-SEARCH", u"a!#$%&'*+-.^_`|~z"})
        EXPECT_TRUE(IsToken(name)) << std::string(name.begin(), name.end());
    for (const std::u16string name : {u"", u"GET /x", u"A:B", u"POST\r\n", u"名字", u"X(1)"})
        EXPECT_FALSE(IsToken(name));
}

} // namespace
} // namespace tarvisk::net
