// The transfer both request routines share, over real HTTP against the demo marketplace.

#include "net/curl_request.h"

#include <gtest/gtest.h>

#include "routed_demo.h"

namespace tarvisk::net {
namespace {

class CurlRequestTest : public test::RoutedToDemo {
protected:
    static bool Fetch(CurlRequest& request) {
        return request.valid() && request.perform(std::chrono::milliseconds(20), [] { return true; });
    }
};

TEST_F(CurlRequestTest, AcceptsABodyUpToTheLimitAndNoMore) {
    CurlRequest atLimit(u"http://shop.example.com/test/big?bytes=" + FromUtf8(std::to_string(kMaxResponseBytes)));
    EXPECT_TRUE(Fetch(atLimit));
    EXPECT_EQ(atLimit.body().size(), kMaxResponseBytes);
    CurlRequest aboveLimit(u"http://shop.example.com/test/big?bytes=" +
                           FromUtf8(std::to_string(kMaxResponseBytes + 1)));
    EXPECT_FALSE(Fetch(aboveLimit));
}

TEST_F(CurlRequestTest, RoutesHttpsToItsOwnAddress) {
    // Port 443 goes to the HTTPS server, every other port to the HTTP one.
    CurlRequest https(u"https://login.taobao.com/test/echo");
    ASSERT_TRUE(Fetch(https));
    CurlRequest http(u"http://login.taobao.com:443/test/echo");
    EXPECT_FALSE(Fetch(http));
    CurlRequest other(u"http://login.taobao.com:8080/test/echo");
    ASSERT_TRUE(Fetch(other));
    EXPECT_EQ(test::EchoValues(FromUtf8(other.body()), "host"), std::vector<std::string>{"login.taobao.com"});
}

TEST_F(CurlRequestTest, AnAbandonedTransferFails) {
    CurlRequest request(u"http://shop.example.com/test/slow?ms=2000");
    ASSERT_TRUE(request.valid());
    int steps = 0;
    EXPECT_FALSE(request.perform(std::chrono::milliseconds(10), [&steps] { return ++steps < 5; }));
    EXPECT_EQ(steps, 5);
}

TEST_F(CurlRequestTest, RefusesOtherProtocols) {
    for (const std::u16string url : {u"file:///etc/passwd", u"ftp://shop.example.com/", u"dict://shop.example.com/"}) {
        CurlRequest request(url);
        EXPECT_FALSE(Fetch(request));
        EXPECT_EQ(request.body(), "");
    }
}

} // namespace
} // namespace tarvisk::net
