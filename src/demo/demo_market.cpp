#include "demo/demo_market.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include "demo/demo_certificate.h"
#include "demo/demo_pages.h"
#include "demo/today_pages.h"
#include "net/curl_request.h"
#include "net/endpoints.h"
#include "text/encoding.h"
#include "text/text_ops.h"

namespace tarvisk::demo {

namespace {

constexpr char kLoopback[] = "127.0.0.1";
// The workers a server starts with, and the most it grows to.
constexpr std::size_t kWorkers = 16;
constexpr std::size_t kMostWorkers = 512;
// Requests one kept-alive connection serves before the server closes it.
constexpr std::size_t kRequestsPerConnection = 1000;
// How long the constructor waits for a server thread to begin accepting.
constexpr auto kStartLimit = std::chrono::seconds(5);

/// A server's workers. A connection keeps its worker for as long as it lasts: while it is kept alive, and while a
/// test page holds its answer back (for minutes, whether or not its client is still there). A fixed number of
/// workers would let a few such connections starve every later request, which then waits unanswered until its
/// client gives up; so whenever a connection comes and no worker is free, one more starts.
class Workers : public httplib::TaskQueue {
public:
    Workers() {
        std::lock_guard lock(m_mutex);
        while (m_threads.size() < kWorkers)
            startWorker();
    }

    void enqueue(std::function<void()> job) override {
        {
            std::lock_guard lock(m_mutex);
            m_jobs.push_back(std::move(job));
            if (m_idle < m_jobs.size() && m_threads.size() < kMostWorkers)
                startWorker();
        }
        m_changed.notify_one();
    }

    void shutdown() override {
        {
            std::lock_guard lock(m_mutex);
            m_shutdown = true;
        }
        m_changed.notify_all();
        // The server has stopped accepting: no worker starts any more.
        for (std::thread& thread : m_threads)
            thread.join();
    }

private:
    // With the mutex held. A worker counts as free from when it starts until it takes a job.
    void startWorker() {
        ++m_idle;
        m_threads.emplace_back([this] { work(); });
    }

    void work() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return !m_jobs.empty() || m_shutdown; });
            if (m_jobs.empty())
                return;
            std::function<void()> job = std::move(m_jobs.front());
            m_jobs.pop_front();
            --m_idle;
            lock.unlock();
            job();
            lock.lock();
            ++m_idle;
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_jobs;
    std::vector<std::thread> m_threads;
    std::size_t m_idle = 0;
    bool m_shutdown = false;
};

// The servers that are stopping: their held-back answers end at once.
std::mutex stoppingMutex;
std::condition_variable stoppingChanged;
std::set<const httplib::Server*> stoppingServers;

void configure(httplib::Server& server) {
    // The library's default also sets SO_REUSEPORT, which would let a second market bind a port
    // that is in use and silently share its connections; reusing an address in TIME_WAIT is all
    // a restart needs.
    server.set_socket_options([](socket_t sock) {
        const int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        // An answer goes out in several writes (head, then body): without this, the body of an
        // answer on a kept-alive connection waits for the client's delayed acknowledgement of the
        // head, some 40 ms. Accepted connections take the option from the listening socket.
        setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    });
    server.set_keep_alive_timeout(1);
    // As the marketplace's servers do, a connection serves a whole job, not a handful of requests.
    server.set_keep_alive_max_count(kRequestsPerConnection);
    server.new_task_queue = [] { return new Workers; };
}

void waitUntilRunning(const httplib::Server& server) {
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    while (!server.is_running()) {
        if (std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error("demo marketplace: the server did not start");
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace

void ServePath(httplib::Server& server, const std::string& path, const httplib::Server::Handler& handler,
               Methods methods) {
    const std::string pattern = "(?:https?://[^/]*)?" + path;
    server.Get(pattern, handler);
    server.Post(pattern, handler);
    if (methods == Methods::Every) {
        server.Put(pattern, handler);
        server.Patch(pattern, handler);
        server.Delete(pattern, handler);
        server.Options(pattern, handler);
    }
}

bool WaitWhileServing(const httplib::Server& server, std::chrono::milliseconds duration) {
    std::unique_lock lock(stoppingMutex);
    return !stoppingChanged.wait_for(lock, duration, [&] { return stoppingServers.contains(&server); });
}

std::string RequestHost(const httplib::Request& request) {
    std::string host = request.get_header_value("Host");
    // "[::1]:8080" keeps its brackets; "shop.example.com:80" loses the port.
    const std::size_t colon = host.rfind(':');
    if (colon != std::string::npos && host.find(']', colon) == std::string::npos)
        host.erase(colon);
    return LowerAscii(std::move(host));
}

bool CarriesCookie(const httplib::Request& request, const std::string& nameValue) {
    for (std::size_t i = 0; i < request.get_header_value_count("Cookie"); ++i) {
        for (const std::string& pair : SplitAt(request.get_header_value("Cookie", i), ";")) {
            if (TrimBlanks(pair) == nameValue)
                return true;
        }
    }
    return false;
}

struct DemoMarket::Impl {
    httplib::Server http;
    std::unique_ptr<httplib::SSLServer> https;
    std::string certificatePem;
    int port = 0;
    int httpsPort = 0;
    std::thread httpThread;
    std::thread httpsThread;

    void stop() {
        {
            std::lock_guard lock(stoppingMutex);
            stoppingServers.insert(&http);
            stoppingServers.insert(https.get());
        }
        stoppingChanged.notify_all();
        http.stop();
        https->stop();
        if (httpThread.joinable())
            httpThread.join();
        if (httpsThread.joinable())
            httpsThread.join();
        std::lock_guard lock(stoppingMutex);
        stoppingServers.erase(&http);
        stoppingServers.erase(https.get());
    }
};

DemoMarket::DemoMarket(int port, PageRegistrar extraPages) : m_impl(std::make_unique<Impl>()) {
    Impl& impl = *m_impl;
    // The login host, every marketplace host (the login browser opens the marketplace's pages over https), and the
    // hosts of today's pages that a wildcard does not cover.
    std::vector<std::string> hosts{ToUtf8(endpoints::kLoginHost), kGatewayHost, ToUtf8(endpoints::kPictureHost)};
    for (const std::u16string_view domain : endpoints::kMarketplaceDomains) {
        hosts.push_back("*." + ToUtf8(std::u16string(domain)));
    }
    const DemoCertificate certificate = MakeDemoCertificate(hosts);
    impl.certificatePem = certificate.pem;
    // The server takes its own references to the key and the certificate.
    impl.https = std::make_unique<httplib::SSLServer>(certificate.certificate.get(), certificate.key.get());
    if (!impl.https->is_valid())
        throw std::runtime_error("demo marketplace: the HTTPS server cannot be set up");

    configure(impl.http);
    configure(*impl.https);
    for (httplib::Server* server : {&impl.http, static_cast<httplib::Server*>(impl.https.get())}) {
        RegisterAccountPages(*server);
        RegisterMarketPages(*server);
        RegisterRefusalPages(*server);
        RegisterTodayPages(*server);
    }
    if (extraPages != nullptr) {
        extraPages(impl.http);
        // Over TLS too, for checking certificate handling and Secure cookies.
        extraPages(*impl.https);
    }

    if (port == 0) {
        impl.port = impl.http.bind_to_any_port(kLoopback);
    } else if (impl.http.bind_to_port(kLoopback, port)) {
        impl.port = port;
    }
    if (impl.port <= 0)
        throw std::runtime_error("demo marketplace: cannot listen on 127.0.0.1:" + std::to_string(port));
    impl.httpsPort = impl.https->bind_to_any_port(kLoopback);
    if (impl.httpsPort <= 0)
        throw std::runtime_error("demo marketplace: cannot listen for HTTPS on 127.0.0.1");

    impl.httpThread = std::thread([&impl] { impl.http.listen_after_bind(); });
    impl.httpsThread = std::thread([&impl] { impl.https->listen_after_bind(); });
    try {
        waitUntilRunning(impl.http);
        waitUntilRunning(*impl.https);
    } catch (...) {
        impl.stop();
        throw;
    }
}

DemoMarket::~DemoMarket() {
    // Connections the requests of this thread kept open to the market would hold its stop for
    // their keep-alive time.
    net::CloseIdleConnections();
    m_impl->stop();
}

int DemoMarket::port() const {
    return m_impl->port;
}

std::string DemoMarket::hostPort() const {
    return std::string(kLoopback) + ":" + std::to_string(m_impl->port);
}

int DemoMarket::httpsPort() const {
    return m_impl->httpsPort;
}

std::string DemoMarket::certificatePem() const {
    return m_impl->certificatePem;
}

} // namespace tarvisk::demo
