// What the marketplace receives, recorded by the demo server. Every request line, header and body of
// a two-page ranking walk (WinHttpFetch) and of a shop crawl (XmlHttpRequest), so that work on how
// requests travel cannot change what they say; and how they travel: both routines keep one
// connection for the requests of a job, replace a connection the server closed, and take an answer
// as soon as it is complete.

#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>

#include "jobs/ranking/ranking_search.h"
#include "jobs/shop/shop_crawl.h"
#include "core/hooks.h"
#include "net/win_http.h"
#include "net/xml_http.h"
#include "routed_demo.h"
#include "text/text_ops.h"

namespace tarvisk {
namespace {

struct ReceivedRequest {
    std::string method;
    std::string target;
    std::vector<std::string> headers; ///< "Name: value" as the client wrote them, sorted by name
    std::string body;
    int clientPort = 0; ///< tells the connections apart
    int serverPort = 0; ///< tells the servers apart
};

std::mutex receivedMutex;
std::vector<ReceivedRequest> received;

/// The test pages, and a log of every request the server answers.
void RecordingPages(httplib::Server& server) {
    demo::RegisterTestPages(server);
    server.set_logger([](const httplib::Request& request, const httplib::Response&) {
        ReceivedRequest entry{request.method, request.target,      {},
                              request.body,   request.remote_port, request.local_port};
        for (const auto& [name, value] : request.headers) {
            // The server library adds the socket addresses as headers of its own.
            if (name != "REMOTE_ADDR" && name != "REMOTE_PORT" && name != "LOCAL_ADDR" && name != "LOCAL_PORT")
                entry.headers.push_back(name + ": " + value);
        }
        const std::lock_guard lock(receivedMutex);
        received.push_back(std::move(entry));
    });
}

class WireRequests : public test::RoutedToDemo {
protected:
    static void SetUpTestSuite() { s_market = std::make_unique<demo::DemoMarket>(0, RecordingPages); }

    void SetUp() override {
        RoutedToDemo::SetUp();
        SetClock([] { return Date{2024, 3, 15}; });
        ClearReceived();
    }
    void TearDown() override {
        SetClock({});
        RoutedToDemo::TearDown();
    }

    static void ClearReceived() {
        const std::lock_guard lock(receivedMutex);
        received.clear();
    }

    /// The connections the received requests came over, in the order first used.
    static std::vector<int> Connections(const std::vector<ReceivedRequest>& requests) {
        std::vector<int> ports;
        for (const ReceivedRequest& request : requests) {
            if (std::find(ports.begin(), ports.end(), request.clientPort) == ports.end())
                ports.push_back(request.clientPort);
        }
        return ports;
    }

    /// What the server received, in the order the answers went out (over different connections
    /// that need not be the order of the requests). The log is written once an answer is out, so
    /// it waits for `count` entries (up to a few seconds) before it looks.
    static std::vector<ReceivedRequest> Received(std::size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        for (;;) {
            {
                const std::lock_guard lock(receivedMutex);
                if (received.size() >= count || std::chrono::steady_clock::now() > deadline)
                    return received;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
};

/// The random field as the generator writes it: 0 <= r < 1 in general format.
const std::regex kRandomField(R"(0|0\.[0-9]+|[1-9](\.[0-9]+)?E-[0-9]{2})");

TEST_F(WireRequests, ARankingWalkAsksForPageTwoWithTheLowerCasedAddress) {
    CookieJar::instance().setSlot(0, u"sid=A1; ");
    ResultTable table;
    ListViewSetColumns(table, kRankingColumnTitles, kRankingColumnWidths);
    const RankingResult result =
        RunRankingSearch({u"Dress连衣裙", 2, RankingTarget::OneItem, u"99999999999", {}}, table);
    EXPECT_EQ(result.pagesFetched, 2);
    EXPECT_EQ(table.rowCount(), 2 * kRankingItemsPerPage);

    std::vector<ReceivedRequest> requests = Received(2);
    ASSERT_EQ(requests.size(), 2u);
    if (requests[0].target.ends_with("&s=44"))
        std::swap(requests[0], requests[1]);
    const std::string head = "/search?initiative_id=tbindexz_20240315&spm=1.7274553.1997520841.1&sourceId=tb.index"
                             "&search_type=item&ssid=s5-e&commend=all&q=Dress%E8%BF%9E%E8%A1%A3%E8%A3%99"
                             "&suggest=history_1&_input_charset=utf-8&source=suggest&_";
    const std::string& first = requests[0].target;
    ASSERT_TRUE(first.starts_with(head) && first.ends_with("&s=0")) << first;
    const std::string random = first.substr(head.size(), first.size() - head.size() - 4);
    EXPECT_TRUE(std::regex_match(random, kRandomField)) << random;
    // The walk goes on with the address the first fetch lower-cased, escapes included.
    EXPECT_EQ(requests[1].target, LowerAscii(head + random) + "&s=44");

    for (const ReceivedRequest& request : requests) {
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.headers,
                  (std::vector<std::string>{"Content-Length: 0", "Content-Type: application/x-www-form-urlencoded",
                                            "Cookie: sid=A1;", "Host: s.taobao.com",
                                            "User-Agent: Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 "
                                            "(KHTML, like Gecko) Chrome/31.0.1650.63 Safari/537.36"}));
        EXPECT_EQ(request.body, "");
    }
}

TEST_F(WireRequests, AShopCrawlPostsTheRandomFieldWithTheBrowsersCookies) {
    BrowserCookies::instance().set({".taobao.com", "/", false, false, 0, "cookie2", "Login1"});
    BrowserCookies::instance().set({".example.com", "/", false, false, 0, "other", "x"});
    std::u16string address = u"DemoShop1.Taobao.com";
    const ShopCrawlResult result = CrawlShop(address);
    // 25 items on two pages; the third page has the end notice.
    EXPECT_EQ(result.count(), 25);
    EXPECT_EQ(result.pagesFetched, 3);

    std::vector<ReceivedRequest> requests = Received(3);
    ASSERT_EQ(requests.size(), 3u);
    std::sort(requests.begin(), requests.end(), [](const auto& a, const auto& b) { return a.target < b.target; });
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const ReceivedRequest& request = requests[i];
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.target, "/search.htm?v=1&pageNo=" + std::to_string(i + 1));
        ASSERT_TRUE(request.body.starts_with("&x=")) << request.body;
        EXPECT_TRUE(std::regex_match(request.body.substr(3), kRandomField)) << request.body;
        EXPECT_EQ(request.headers, (std::vector<std::string>{"Content-Length: " + std::to_string(request.body.size()),
                                                             "content-type: application/x-www-form-urlencoded",
                                                             "Cookie: cookie2=Login1", "Host: demoshop1.taobao.com"}));
    }
}

/// One request as the walks make them, through either routine.
struct Routine {
    const char* name;
    std::function<std::u16string(const std::u16string& url)> request;
};

const Routine kRoutines[] = {
    {"WinHttpFetch",
     [](const std::u16string& address) {
         std::u16string url = address;
         return WinHttpFetch(url, u"", u"POST", u"", 0, 10, 0, u"", u"");
     }},
    {"XmlHttpRequest", [](const std::u16string& url) { return XmlHttpRequest(url, u"", 0, 10); }},
};

constexpr char16_t kEcho[] = u"http://shop.example.com/test/echo";

TEST_F(WireRequests, ARoutineKeepsOneConnectionForTheRequestsOfAJob) {
    for (const Routine& routine : kRoutines) {
        ClearReceived();
        for (int i = 0; i < 5; ++i)
            EXPECT_FALSE(routine.request(kEcho).empty()) << routine.name;
        EXPECT_EQ(Connections(Received(5)).size(), 1u) << routine.name;
    }
}

TEST_F(WireRequests, AServerThatClosesAfterEachAnswerGetsANewConnectionForEachRequest) {
    for (const Routine& routine : kRoutines) {
        ClearReceived();
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(routine.request(u"http://shop.example.com/test/headers?h=Connection%3A%20close"), u"headers set")
                << routine.name;
        EXPECT_EQ(Connections(Received(3)).size(), 3u) << routine.name;
    }
}

TEST_F(WireRequests, AConnectionTheServerClosedWhileIdleIsReplaced) {
    for (const Routine& routine : kRoutines)
        EXPECT_FALSE(routine.request(kEcho).empty()) << routine.name;
    // The demo marketplace closes a connection that stays idle for a second.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    for (const Routine& routine : kRoutines)
        EXPECT_FALSE(routine.request(kEcho).empty()) << routine.name;
    const std::vector<ReceivedRequest> requests = Received(4);
    ASSERT_EQ(requests.size(), 4u);
    const std::vector<int> before = Connections({requests[0], requests[1]});
    for (const int after : Connections({requests[2], requests[3]}))
        EXPECT_EQ(std::find(before.begin(), before.end(), after), before.end()) << after;
}

TEST_F(WireRequests, AnotherRouteIsNeverServedByAKeptConnection) {
    const demo::DemoMarket other(0, RecordingPages);
    // Request n goes to the test's market when n is even, to the other one when it is odd.
    int n = 0;
    for (const Routine& routine : kRoutines) {
        for (const std::string& route : {s_market->hostPort(), other.hostPort()}) {
            endpoints::SetRoute(route);
            EXPECT_FALSE(routine.request(kEcho + (u"?n=" + FromUtf8(std::to_string(n++)))).empty()) << routine.name;
        }
    }
    const std::vector<ReceivedRequest> requests = Received(4);
    ASSERT_EQ(requests.size(), 4u);
    for (const ReceivedRequest& request : requests) {
        const int sent = request.target.back() - '0';
        EXPECT_EQ(request.serverPort, sent % 2 == 0 ? s_market->port() : other.port()) << request.target;
    }
}

TEST_F(WireRequests, AnAnswerIsTakenAsSoonAsItIsComplete) {
    // Looking for the answer in steps of 10 ms would hold every answer for 10 ms or more; an answer
    // over loopback takes a fraction of that. The fastest of twenty counts, so that a busy machine
    // does not fail the test.
    for (const Routine& routine : kRoutines) {
        auto fastest = std::chrono::steady_clock::duration::max();
        for (int i = 0; i < 20; ++i) {
            const auto start = std::chrono::steady_clock::now();
            routine.request(kEcho);
            fastest = std::min(fastest, std::chrono::steady_clock::now() - start);
        }
        EXPECT_LT(fastest, std::chrono::milliseconds(10)) << routine.name;
    }
}

} // namespace
} // namespace tarvisk
