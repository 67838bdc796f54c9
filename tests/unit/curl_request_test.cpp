#include "net/curl_request.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tarvisk::net {
namespace {

ResponseHeaders Received(const std::vector<std::string>& rawLines) {
    ResponseHeaders headers;
    for (const std::string& line : rawLines)
        headers.receive(line);
    return headers;
}

TEST(ResponseHeaders, KeepsTheFinalAnswerWithoutItsStatusLine) {
    const ResponseHeaders headers =
        Received({"HTTP/1.1 100 Continue\r\n", "\r\n", "HTTP/1.1 302 Found\r\n", "Location: /next\r\n",
                  "Set-Cookie: a=1\r\n", "Content-Length: 0\r\n", "\r\n"});
    EXPECT_EQ(headers.all(), "Location: /next\r\nSet-Cookie: a=1\r\nContent-Length: 0");
}

TEST(ResponseHeaders, AFollowedRedirectLeavesOnlyTheLastAnswer) {
    const ResponseHeaders headers = Received({"HTTP/1.1 302 Found\r\n", "Location: /b\r\n", "\r\n",
                                              "HTTP/1.1 200 OK\r\n", "Content-Type: text/html\r\n", "\r\n"});
    EXPECT_EQ(headers.lines(), std::vector<std::string>{"Content-Type: text/html"});
}

TEST(ResponseHeaders, IgnoresTrailersAfterTheBody) {
    const ResponseHeaders headers =
        Received({"HTTP/1.1 200 OK\r\n", "Transfer-Encoding: chunked\r\n", "\r\n", "X-Checksum: 1\r\n", "\r\n"});
    EXPECT_EQ(headers.all(), "Transfer-Encoding: chunked");
}

struct ValueCase {
    std::string name;
    std::optional<std::string> value;
};

class ResponseHeaderValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(ResponseHeaderValueTest, FindsTheFirstHeaderOfThatName) {
    const ResponseHeaders headers =
        Received({"HTTP/1.1 200 OK\r\n", "Content-Type:  text/html; charset=gbk \r\n", "Set-Cookie: a=1\r\n",
                  "Set-Cookie: b=2\r\n", "X-Empty:\r\n", "X-Url: http://a.com:80/x\r\n", "\r\n"});
    EXPECT_EQ(headers.value(GetParam().name), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Names, ResponseHeaderValueTest,
                         ::testing::Values(ValueCase{"Content-Type", "text/html; charset=gbk"},
                                           ValueCase{"content-type", "text/html; charset=gbk"},
                                           ValueCase{"SET-COOKIE", "a=1"}, ValueCase{"X-Empty", ""},
                                           ValueCase{"X-Url", "http://a.com:80/x"}, ValueCase{"Location", std::nullopt},
                                           ValueCase{"Content", std::nullopt}));

struct UrlCase {
    std::u16string url;
    std::string sent;
};

class RequestUrlTest : public ::testing::TestWithParam<UrlCase> {};

TEST_P(RequestUrlTest, EncodesWhatAnAddressCannotHold) {
    EXPECT_EQ(RequestUrl(GetParam().url), GetParam().sent);
}

INSTANTIATE_TEST_SUITE_P(Forms, RequestUrlTest,
                         ::testing::Values(UrlCase{u"http://a.com/x?q=%E4%B8%AD&s=44",
                                                   "http://a.com/x?q=%E4%B8%AD&s=44"},
                                           UrlCase{u"http://a.com/中", "http://a.com/%E4%B8%AD"},
                                           UrlCase{u"http://a.com/a b", "http://a.com/a%20b"},
                                           UrlCase{u"http://a.com/\r\nX: 1", "http://a.com/%0D%0AX:%201"},
                                           UrlCase{u"http://a.com/\x7F", "http://a.com/%7F"}));

} // namespace
} // namespace tarvisk::net
