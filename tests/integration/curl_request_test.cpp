// The transfer both request routines share, over real HTTP against the demo marketplace.

#include "net/curl_request.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

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

TEST_F(CurlRequestTest, ThreadsRequestAtTheSameTimeEachOverItsOwnConnections) {
    // A job on a worker thread and the window thread's own requests run side by side.
    std::atomic<int> answered{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&answered, t] {
            for (int i = 0; i < 10; ++i) {
                CurlRequest request(u"http://shop" + FromUtf8(std::to_string(t)) + u".example.com/test/echo");
                request.setMethod("POST", "n=" + std::to_string(i));
                if (Fetch(request) && test::EchoBody(FromUtf8(request.body())) == "n=" + std::to_string(i))
                    ++answered;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(answered, 40);
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
