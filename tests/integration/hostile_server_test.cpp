// Both request routines and the two walking jobs against servers that misbehave: answers that never
// come or drip in, bodies far above the size limit, connections dropped mid-body, malformed status
// lines and headers, a thousand cookies, broken GBK and UTF-8, a gzip bomb, a redirect loop. Nothing
// may crash, hold more memory than the size limit allows, wait past its bound (or, without a bound,
// past a cancel), or lose what it found before the fault; and the browser's login cookies reach only
// the hosts their domain names.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "jobs/ranking/ranking_search.h"
#include "jobs/shop/shop_crawl.h"
#include "core/cancel.h"
#include "demo/demo_login.h"
#include "demo/market_pages.h"
#include "net/curl_request.h"
#include "net/win_http.h"
#include "net/xml_http.h"
#include "routed_demo.h"
#include "table/result_table.h"

namespace tarvisk {
namespace {

using Clock = std::chrono::steady_clock;
using test::EchoHeaders;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

/// The peak resident memory of this process so far, in KiB.
long PeakKiB() {
    rusage usage{};
    return ::getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : -1;
}

/// Sets `flag` after `delay` from another thread, as a user pressing the stop button would.
class CancelLater {
public:
    CancelLater(std::atomic<bool>& flag, std::chrono::milliseconds delay)
        : m_thread([&flag, delay, this] {
              const auto until = Clock::now() + delay;
              while (!m_done && Clock::now() < until)
                  std::this_thread::sleep_for(std::chrono::milliseconds(5));
              flag = true;
          }) {}
    ~CancelLater() {
        m_done = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer keeps freed memory aside (its quarantine), so a peak then measures all that was ever
// allocated, not what was held at once.
constexpr bool kFreedMemoryIsKept = true;
#else
constexpr bool kFreedMemoryIsKept = false;
#endif

/// WinHttpFetch as the start-up notice and the ranking walk call it, with a short wait.
std::u16string Fetch(std::u16string url, int waitSeconds = 1, const std::u16string& responseHeader = {}) {
    return WinHttpFetch(url, {}, u"POST", {}, 0, waitSeconds, 0, responseHeader, {});
}

class HostileServer : public test::RoutedToDemo {};

/// Answers that never end by themselves, or end in a failure.
const char* const kEndlessOrBroken[] = {
    "/test/hostile/silent", // never answers
    "/test/hostile/drip",   // a byte a second
    "/test/hostile/cut",    // the connection dropped half-way through the body
    "/test/hostile/huge",   // 100 MiB, far above the size limit
    "/test/hostile/flood",  // the same without an announced length
};

TEST_F(HostileServer, TheBoundedRoutineReturnsWithinItsWait) {
    for (const char* path : kEndlessOrBroken) {
        SCOPED_TRACE(path);
        const auto start = Clock::now();
        EXPECT_EQ(Fetch(u"http://shop.example.com" + FromUtf8(path), 1), u"");
        EXPECT_LT(SecondsSince(start), 1.8);
    }
}

TEST_F(HostileServer, TheUnboundedRoutineGivesUpWhenTheJobIsCancelled) {
    for (const char* path : kEndlessOrBroken) {
        SCOPED_TRACE(path);
        std::atomic<bool> cancel{false};
        const auto start = Clock::now();
        {
            const CancelScope scope(cancel);
            const CancelLater later(cancel, std::chrono::milliseconds(300));
            EXPECT_EQ(XmlHttpRequest(u"http://shop.example.com" + FromUtf8(path), {}, 0, 0), u"");
        }
        EXPECT_LT(SecondsSince(start), 1.2);
    }
}

/// Short stall limits for one test, the defaults again afterwards.
class ScopedStallLimits {
public:
    explicit ScopedStallLimits(net::StallLimits limits) { net::SetStallLimits(limits); }
    ~ScopedStallLimits() { net::SetStallLimits({}); }
    ScopedStallLimits(const ScopedStallLimits&) = delete;
    ScopedStallLimits& operator=(const ScopedStallLimits&) = delete;
};

/// A TCP socket listening on 127.0.0.1 at a free port, with room for `backlog` connections not yet
/// accepted; `address` receives where it listens.
int ListenOnLoopback(int backlog, sockaddr_in& address) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, backlog) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(listener);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    return listener;
}

/// A listener whose queue of connections waiting to be accepted is full: a connection to it is never made.
class FullListener {
public:
    FullListener() {
        sockaddr_in address{};
        // A backlog of 0 takes one connection, which is made here and never accepted.
        m_listener = ListenOnLoopback(0, address);
        m_port = ntohs(address.sin_port);
        m_filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(m_filler, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("full listener: cannot fill the queue");
    }
    ~FullListener() {
        ::close(m_filler);
        ::close(m_listener);
    }
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;
    std::string hostPort() const { return "127.0.0.1:" + std::to_string(m_port); }

private:
    int m_listener = -1;
    int m_filler = -1;
    int m_port = 0;
};

TEST_F(HostileServer, ARequestWithoutTimeLimitFailsWhenItStalls) {
    const ScopedStallLimits limits({std::chrono::seconds(1), std::chrono::seconds(2)});
    const char* const stalls[] = {
        "/test/hostile/silent", // accepts and never answers
        "/test/hostile/drip",   // a byte a second
        "/test/hostile/short",  // half of the promised body, then nothing on an open connection
    };
    for (const char* path : stalls) {
        SCOPED_TRACE(path);
        const auto start = Clock::now();
        EXPECT_EQ(XmlHttpRequest(u"http://shop.example.com" + FromUtf8(path), {}, 0, 0), u"");
        // It waited for the stall limit, not for the server to give up (2 minutes, or 30 s for the drip). The
        // rate is averaged over the last five seconds, so a burst (the short body's half) counts for that long.
        EXPECT_GT(SecondsSince(start), 1.9);
        EXPECT_LT(SecondsSince(start), 9.0);
    }

    // A server that never completes the connection.
    const FullListener listener;
    endpoints::SetRoute(listener.hostPort());
    const auto start = Clock::now();
    EXPECT_EQ(XmlHttpRequest(u"http://shop.example.com/", {}, 0, 0), u"");
    EXPECT_GT(SecondsSince(start), 0.9);
    EXPECT_LT(SecondsSince(start), 2.5);
}

TEST_F(HostileServer, APageThatKeepsArrivingHasNoTimeLimit) {
    // Three seconds of a steady kilobyte every tenth of a second, under a stall limit of one second.
    const ScopedStallLimits limits({std::chrono::seconds(1), std::chrono::seconds(1)});
    const auto start = Clock::now();
    EXPECT_EQ(XmlHttpRequest(u"http://shop.example.com/test/steady?ms=3000", {}, 0, 0),
              std::u16string(30 * 1024, u's'));
    EXPECT_GT(SecondsSince(start), 2.5);
}

TEST_F(HostileServer, AHundredMegabyteBodyIsCutOffAtTheLimitWithoutFillingMemory) {
    // The server streams the 100 MiB and each routine stops reading at the size limit. What one request
    // may raise the peak by: the limit, and the allocator's copies of a growing buffer (an announced
    // length over the limit is refused before anything is read).
    const long bound = 4 * static_cast<long>(net::kMaxResponseBytes / 1024);
    const std::function<std::u16string(const std::u16string&)> routines[] = {
        [](const std::u16string& url) { return Fetch(url, 10); },
        [](const std::u16string& url) { return XmlHttpRequest(url, {}, 0, 10); },
    };
    for (const char16_t* path : {u"/test/hostile/huge", u"/test/hostile/flood"}) {
        for (const auto& routine : routines) {
            SCOPED_TRACE(ToUtf8(path));
            const long before = PeakKiB();
            ASSERT_GT(before, 0);
            EXPECT_EQ(routine(u"http://shop.example.com" + std::u16string(path)), u"");
            const long grown = PeakKiB() - before;
            if (!kFreedMemoryIsKept) {
                EXPECT_LT(grown, bound) << "the peak grew by " << grown << " KiB";
            }
        }
    }
}

TEST_F(HostileServer, BrokenEncodingsDecodeWithReplacementCharacters) {
    const struct {
        const char* path;
        std::u16string kept;
    } cases[] = {
        {"/test/hostile/bad-gbk", u"元</p>"},
        {"/test/hostile/bad-utf8", u"宝贝"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const std::u16string url = u"http://shop.example.com" + FromUtf8(c.path);
        for (const std::u16string& text : {Fetch(url), XmlHttpRequest(url, {}, 0, 5)}) {
            EXPECT_NE(text.find(c.kept), std::u16string::npos) << ToUtf8(text);
            EXPECT_NE(text.find(u'\uFFFD'), std::u16string::npos) << ToUtf8(text);
        }
        // Read as the other encoding, or as raw bytes, the page still decodes.
        for (const int mode : {1, 2}) {
            std::u16string address = url;
            EXPECT_FALSE(WinHttpFetch(address, {}, u"POST", {}, mode, 1, 0, {}, {}).empty());
        }
        EXPECT_FALSE(XmlHttpRequest(url, {}, 1, 5).empty());
    }
}

TEST_F(HostileServer, AGzipBombIsNeverInflated) {
    // Neither routine asks for a compressed answer ...
    for (const std::u16string& echo :
         {Fetch(u"http://shop.example.com/test/echo"), XmlHttpRequest(u"http://shop.example.com/test/echo", {}, 0, 5)})
        EXPECT_TRUE(EchoHeaders(echo, "Accept-Encoding").empty()) << ToUtf8(echo);
    // ... and one sent anyway arrives as the few hundred KiB it is, not as the 100 MiB it inflates to.
    const std::u16string url = u"http://shop.example.com/test/hostile/gzip-bomb";
    const std::u16string withHeader = Fetch(url, 5, u"X-Accept-Encoding-Received");
    ASSERT_TRUE(withHeader.starts_with(u"none\r\n\r\n")) << ToUtf8(withHeader.substr(0, 40));
    for (const std::u16string& text : {withHeader.substr(8), XmlHttpRequest(url, {}, 0, 5)}) {
        EXPECT_GT(text.size(), 100'000u);
        EXPECT_LT(text.size(), 1'000'000u);
    }
}

TEST_F(HostileServer, AThousandCookiesLeaveTheNewestInTheSlotAndTheBrowsersStore) {
    const std::u16string url = u"http://flood.example.com/test/hostile/cookies?n=1000";
    EXPECT_EQ(Fetch(url), u"1000 cookies set");
    // The private jar keeps the newest of them, as a browser keeps a site's cookies ...
    const std::u16string slot = CookieJar::instance().slot(0);
    EXPECT_TRUE(slot.ends_with(u"c999=v999; ")) << ToUtf8(slot.substr(0, 60));
    EXPECT_LE(std::count(slot.begin(), slot.end(), u';'), 50);
    const auto start = Clock::now();
    EXPECT_EQ(EchoHeaders(Fetch(u"http://flood.example.com/test/echo"), "Cookie").size(), 1u);
    EXPECT_LT(SecondsSince(start), 2.0);

    // ... and so does the browser's store, which goes on working.
    EXPECT_EQ(XmlHttpRequest(url, {}, 0, 5), u"1000 cookies set");
    const std::size_t kept = BrowserCookies::instance().all().size();
    EXPECT_GE(kept, 1u);
    EXPECT_LE(kept, 200u);
    const std::u16string echo = XmlHttpRequest(u"http://flood.example.com/test/echo", {}, 0, 5);
    EXPECT_EQ(EchoHeaders(echo, "Cookie").size(), 1u) << ToUtf8(echo.substr(0, 200));
}

TEST_F(HostileServer, AfterThreeThousandCookiesTheServerStillTakesTheRequestsAndNewCookies) {
    EXPECT_EQ(Fetch(u"http://flood.example.com/test/hostile/cookies?n=3000"), u"3000 cookies set");
    // The next request's Cookie line is one a server takes (8 KiB is the common limit of a header line).
    const std::vector<std::string> cookie = EchoHeaders(Fetch(u"http://flood.example.com/test/echo"), "Cookie");
    ASSERT_EQ(cookie.size(), 1u);
    EXPECT_LT(cookie.front().size(), 7u * 1024);
    EXPECT_NE(cookie.front().find("c2999=v2999"), std::string::npos);
    // A cookie the server sets afterwards is kept and sent.
    EXPECT_EQ(Fetch(u"http://flood.example.com/test/hostile/cookies?n=1&first=5000"), u"1 cookies set");
    EXPECT_NE(EchoHeaders(Fetch(u"http://flood.example.com/test/echo"), "Cookie").front().find("c5000=v5000"),
              std::string::npos);
}

TEST_F(HostileServer, AbandonedHeldBackAnswersLeaveTheMarketAnswering) {
    // Requests whose clients gave up while the market holds their answers back, as cancelled or stalled jobs leave
    // them: each keeps a worker of the market for minutes, and there are more of them than the workers it starts with.
    sockaddr_in market{};
    market.sin_family = AF_INET;
    market.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    market.sin_port = htons(static_cast<std::uint16_t>(s_market->port()));
    const std::string request = "GET /test/hostile/silent HTTP/1.1\r\nHost: shop.example.com\r\n\r\n";
    for (int i = 0; i < 20; ++i) {
        const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&market), sizeof market), 0);
        ASSERT_EQ(::send(client, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
        ::close(client);
    }
    // A job's next page is answered, instead of waiting out its limit for a worker.
    EXPECT_NE(Fetch(u"http://shop.example.com/test/echo", 10).find(u"method: POST"), std::u16string::npos);
}

TEST_F(HostileServer, ARedirectLoopEnds) {
    const std::u16string url = u"http://shop.example.com/test/hostile/loop";
    // Redirects are returned as they are: the loop is one answer.
    EXPECT_EQ(Fetch(url), u"round and round");
    EXPECT_EQ(CookieJar::instance().slot(0), u"hop=0; Path=/; ");
    // Followed, the loop ends at the redirect limit as a failed request.
    const auto start = Clock::now();
    EXPECT_EQ(XmlHttpRequest(url, {}, 0, 5), u"");
    EXPECT_LT(SecondsSince(start), 2.0);
}

/// A TCP listener on 127.0.0.1 that answers every request with the same raw bytes, however wrong, and
/// then closes the connection, or resets it (as a crashing server's system does).
class RawServer {
public:
    RawServer(std::string answer, bool reset) : m_answer(std::move(answer)), m_reset(reset) {
        sockaddr_in address{};
        m_listener = ListenOnLoopback(8, address);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~RawServer() {
        m_stopping = true;
        ::shutdown(m_listener, SHUT_RDWR);
        m_thread.join();
        ::close(m_listener);
    }
    std::string hostPort() const { return "127.0.0.1:" + std::to_string(m_port); }

private:
    void serve() {
        while (!m_stopping) {
            pollfd listener{m_listener, POLLIN, 0};
            if (::poll(&listener, 1, 50) <= 0)
                continue;
            const int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0)
                continue;
            readRequest(connection);
            for (std::size_t sent = 0; sent < m_answer.size();) {
                const ssize_t n = ::send(connection, m_answer.data() + sent, m_answer.size() - sent, MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                sent += static_cast<std::size_t>(n);
            }
            if (m_reset) {
                // Closing with a zero linger time sends a reset instead of the end of the stream.
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                const linger abort{1, 0};
                ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
                ::close(connection);
                continue;
            }
            ::shutdown(connection, SHUT_WR);
            // Let the client read everything before the socket goes.
            pollfd peer{connection, POLLIN, 0};
            char scratch[512];
            while (::poll(&peer, 1, 200) > 0 && ::recv(connection, scratch, sizeof scratch, 0) > 0) {
            }
            ::close(connection);
        }
    }

    /// Reads the request head and as much of its body as it announces.
    static void readRequest(int connection) {
        std::string request;
        char buffer[4096];
        pollfd peer{connection, POLLIN, 0};
        while (::poll(&peer, 1, 500) > 0) {
            const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
            if (n <= 0)
                return;
            request.append(buffer, static_cast<std::size_t>(n));
            const std::size_t head = request.find("\r\n\r\n");
            if (head == std::string::npos)
                continue;
            const std::size_t field = request.find("Content-Length: ");
            const std::size_t body = field == std::string::npos ? 0 : std::stoul(request.substr(field + 16));
            if (request.size() >= head + 4 + body)
                return;
        }
    }

    std::string m_answer;
    bool m_reset;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

TEST_F(HostileServer, MalformedStatusLinesAndHeadersFailOrAreReadSafely) {
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    const struct {
        const char* what;
        std::string answer;
        std::u16string text; // what both routines return
        bool reset = false;  // the connection is reset after the answer
    } cases[] = {
        {"no status line at all", "just some text\r\n\r\nbody", u""},
        {"status line without a code", "HTTP/1.1 OK\r\nContent-Length: 4\r\n\r\nbody", u""},
        {"status line without a reason", "HTTP/1.1 200\r\nContent-Length: 4\r\n\r\nbody", u"body"},
        {"unknown status code", "HTTP/1.1 999 Odd\r\nContent-Length: 4\r\n\r\nbody", u"body"},
        {"only a status line", ok, u""},
        {"header line without a colon", ok + "NoColonHere\r\nContent-Length: 4\r\n\r\nbody", u""},
        {"NUL inside a header", ok + "X-A: a" + std::string(1, '\0') + "b\r\nContent-Length: 4\r\n\r\nbody", u""},
        {"negative length", ok + "Content-Length: -5\r\n\r\nbody", u""},
        {"length beyond 64 bits", ok + "Content-Length: 99999999999999999999999\r\n\r\nbody", u""},
        {"length longer than the body", ok + "Content-Length: 400\r\n\r\nbody", u""},
        {"connection reset mid-body", ok + "Content-Length: 4000\r\n\r\n" + std::string(1000, 'b'), u"", true},
        {"chunk size that is no number", ok + "Transfer-Encoding: chunked\r\n\r\nzz\r\nbody\r\n0\r\n\r\n", u""},
        {"chunk size beyond 64 bits", ok + "Transfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFFFF\r\nbody\r\n", u""},
        {"header line of 200 KB", ok + "X-Long: " + std::string(200'000, 'a') + "\r\n\r\nbody", u""},
        {"400 KB of headers",
         ok +
             [] {
                 std::string lines;
                 for (int i = 0; i < 20'000; ++i)
                     lines += "X-H" + std::to_string(i) + ": 0123456789\r\n";
                 return lines;
             }() +
             "\r\nbody",
         u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const RawServer server(c.answer, c.reset);
        endpoints::SetRoute(server.hostPort());
        const auto start = Clock::now();
        EXPECT_EQ(Fetch(u"http://raw.example.com/", 2), c.text);
        EXPECT_EQ(XmlHttpRequest(u"http://raw.example.com/", {}, 0, 2), c.text);
        EXPECT_LT(SecondsSince(start), 3.0);
    }
}

/// The shop crawl of `address` through its default page fetch (XmlHttpRequest with the browser's cookies).
ShopCrawlResult Crawl(const std::u16string& address, const std::atomic<bool>* cancel = nullptr) {
    std::u16string typed = address;
    ShopCrawlOptions options;
    options.cancel = cancel;
    return CrawlShop(typed, options);
}

TEST_F(HostileServer, AShopCrawlKeepsWhatItFoundWhenALaterPageFails) {
    // A failed page comes back empty and an error page is answered with its status: either leaves the
    // listing incomplete. A cancelled request is no page at all.
    const struct {
        const char* fault;
        bool cancelled;                 // the fault never ends by itself: the user stops the crawl
        std::optional<PageKind> unread; // the kind of page 2, when the listing is incomplete
    } cases[] = {
        {"cut", false, PageKind::Empty},         {"huge", false, PageKind::Empty}, {"flood", false, PageKind::Empty},
        {"error", false, PageKind::ErrorStatus}, {"silent", true, std::nullopt},   {"drip", true, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        std::atomic<bool> cancel{false};
        std::optional<CancelLater> later;
        if (c.cancelled)
            later.emplace(cancel, std::chrono::milliseconds(400));
        const auto start = Clock::now();
        const ShopCrawlResult result = Crawl(u"hostile-" + FromUtf8(c.fault) + u".taobao.com", &cancel);
        // It ends with the fault or the stop, not at a stall limit (30 s); a loaded sanitizer build takes seconds.
        EXPECT_LT(SecondsSince(start), 10.0);
        // The first page lists the first demo shop's first page of items; the second page fails.
        ASSERT_EQ(result.count(), demo::DemoShops().front().linksPerPage);
        EXPECT_EQ(result.items.front().id, demo::DemoShopItemId(demo::DemoShops().front(), 1));
        EXPECT_EQ(result.pagesFetched, 2);
        EXPECT_EQ(result.cancelled, c.cancelled);
        EXPECT_EQ(result.status, c.cancelled ? ShopCancelledText(result.count()) : ShopStatusText(result));
        ASSERT_EQ(result.unreadPage.has_value(), c.unread.has_value());
        if (c.unread) {
            EXPECT_EQ(result.unreadPage->number, 2);
            EXPECT_EQ(result.unreadPage->kind, *c.unread);
        }
    }
}

TEST_F(HostileServer, ARankingWalkKeepsItsRowsWhenALaterPageFails) {
    // A page that fails comes back empty, an error page with its status: unread, so "未找到" would not
    // hold. A cancelled request is no page at all.
    const struct {
        const char* fault;
        bool cancelled;
        const char16_t* caption;
    } cases[] = {
        {"cut", false, kRankingIncomplete},
        {"huge", false, kRankingIncomplete},
        {"error", false, kRankingIncomplete},
        {"silent", true, kRankingCancelled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        ResultTable table;
        ListViewSetColumns(table, kRankingColumnTitles, kRankingColumnWidths);
        RankingQuery query;
        query.keyword = u"hostile-" + FromUtf8(c.fault);
        query.pages = 3;
        query.itemId = u"99999999999";
        std::atomic<bool> cancel{false};
        std::optional<CancelLater> later;
        if (c.cancelled)
            later.emplace(cancel, std::chrono::milliseconds(400));
        RankingOptions options;
        options.cancel = &cancel;
        const auto start = Clock::now();
        const RankingResult result = RunRankingSearch(query, table, options);
        EXPECT_LT(SecondsSince(start), 2.5);
        EXPECT_EQ(table.rowCount(), kRankingItemsPerPage) << "the first page's rows stay";
        EXPECT_EQ(ListViewGetCell(table, u"位置", 1.0), u"1页 1行 第1");
        EXPECT_FALSE(result.found);
        EXPECT_EQ(result.caption, c.caption);
        EXPECT_EQ(result.conclusive(), c.caption != std::u16string(kRankingIncomplete));
        EXPECT_FALSE(result.endedAtUnreadPage);
        EXPECT_EQ(result.cancelled, c.cancelled);
        EXPECT_EQ(result.pagesFetched, c.cancelled ? 2 : 3);
        EXPECT_EQ(result.pagesRead, c.cancelled ? 1 : 3);
    }
}

TEST_F(HostileServer, AnErrorStatusOrAPageOfNoKindTheJobsKnowIsNeverAnAnswer) {
    const auto answer = [](const std::string& status, const std::string& body) {
        return status + "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " + std::to_string(body.size()) +
               "\r\n\r\n" + body;
    };
    const std::string busy = "<html><body><h1>系统繁忙，请稍后再试</h1></body></html>";
    const struct {
        const char* what;
        std::string answer;
        PageKind kind;
    } cases[] = {
        {"503 busy", answer("HTTP/1.1 503 Service Unavailable", busy), PageKind::ErrorStatus},
        {"500", answer("HTTP/1.1 500 Internal Server Error", "<h1>500</h1>"), PageKind::ErrorStatus},
        {"an unknown status", answer("HTTP/1.1 999 Odd", busy), PageKind::ErrorStatus},
        {"no status line at all", "系统繁忙\r\n\r\n" + busy, PageKind::Empty},
        {"a page of another site", answer("HTTP/1.1 200 OK", "<html><body>garbage</body></html>"),
         PageKind::Unrecognised},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const RawServer server(c.answer, false);
        endpoints::SetRoute(server.hostPort());

        ResultTable table;
        ListViewSetColumns(table, kRankingColumnTitles, kRankingColumnWidths);
        const RankingResult walk =
            RunRankingSearch({u"连衣裙", 3, RankingTarget::OneItem, u"42054041382", {}}, table, RankingOptions{});
        EXPECT_EQ(walk.pagesFetched, 3);
        EXPECT_EQ(walk.caption, kRankingIncomplete);
        ASSERT_EQ(walk.unreadPages.size(), 3u);
        EXPECT_EQ(walk.unreadPages[2].kind, c.kind);

        std::u16string shop = u"busyshop.taobao.com";
        const ShopCrawlResult crawl = CrawlShop(shop);
        ASSERT_TRUE(crawl.unreadPage);
        EXPECT_EQ(crawl.unreadPage->kind, c.kind);
        EXPECT_EQ(crawl.status, u"共查到0个宝贝（第1页没有读到，列表不完整）");
    }
}

/// The cookies a "cookie-echo" shop received, as the crawl lists them (its own marker item left out).
std::vector<std::u16string> CookiesReceivedBy(const std::u16string& shopAddress) {
    std::vector<std::u16string> cookies;
    for (const ShopItem& item : Crawl(shopAddress).items) {
        if (item.title != u"cookie-echo")
            cookies.push_back(item.title);
    }
    return cookies;
}

bool HasCookieNamed(const std::vector<std::u16string>& cookies, const std::u16string& name) {
    return std::any_of(cookies.begin(), cookies.end(),
                       [&](const std::u16string& cookie) { return cookie.starts_with(name + u"="); });
}

TEST_F(HostileServer, TheLoginCookiesReachOnlyTheMarketplacesHosts) {
    ASSERT_TRUE(demo::LogInToDemo());
    // A shop of the marketplace gets the login, as the member pages do ...
    const std::vector<std::u16string> own = CookiesReceivedBy(u"cookie-echo.taobao.com");
    EXPECT_TRUE(HasCookieNamed(own, FromUtf8(demo::kLoginCookieName)));
    EXPECT_TRUE(HasCookieNamed(own, u"_nk_"));

    // ... a shop address typed as another site's host gets none of it, only that site's own cookie.
    const char16_t* const foreign[] = {
        u"cookie-echo.example.com",
        u"cookie-echo.taobao.com.example.com",
        u"cookie-echotaobao.com",
        u"http://cookie-echo-taobao.com/?taobao.com",
    };
    for (const char16_t* address : foreign) {
        SCOPED_TRACE(ToUtf8(address));
        std::u16string shop = address;
        const std::u16string host = ShopNameOf(NormalizeShopAddress(shop)) + u".com";
        XmlHttpRequest(u"http://" + host + u"/test/set-cookie?c=own%3Dyes%3B%20Path%3D%2F", {}, 0, 5);
        const std::vector<std::u16string> cookies = CookiesReceivedBy(address);
        EXPECT_EQ(cookies, std::vector<std::u16string>{u"own=yes"});
    }
    // The private jar of WinHttpFetch never carries the browser's login.
    EXPECT_TRUE(EchoHeaders(Fetch(u"http://s.taobao.com/test/echo"), "Cookie").empty());
}

} // namespace
} // namespace tarvisk
