#pragma once

#include <memory>
#include <string>

// The demo marketplace: a local server that answers the marketplace's endpoints with pages that
// hold what the program looks for, so every job runs offline. It binds 127.0.0.1 only.

namespace httplib {
class Server;
}

namespace tarvisk::demo {

/// Adds pages of its own to a server of the demo marketplace (demo/test_pages.h has the tests').
using PageRegistrar = void (*)(httplib::Server& server);

class DemoMarket {
public:
    /// Starts serving on 127.0.0.1:`port` (0: a free port) and returns once it accepts connections;
    /// `extraPages`, when given, adds its pages to both the HTTP and the HTTPS server.
    /// Throws std::runtime_error when the port cannot be bound.
    explicit DemoMarket(int port = 0, PageRegistrar extraPages = nullptr);
    /// Stops the server and waits for its thread.
    ~DemoMarket();
    DemoMarket(const DemoMarket&) = delete;
    DemoMarket& operator=(const DemoMarket&) = delete;

    int port() const;
    /// "127.0.0.1:PORT", the route for the request routines.
    std::string hostPort() const;
    /// The port of the HTTPS server (a free port of its own), which serves the marketplace's pages as the
    /// HTTP one does: the login host, and every page the login browser may be sent to.
    int httpsPort() const;
    /// The self-signed certificate of the HTTPS server (PEM), made at start for the marketplace's hosts.
    std::string certificatePem() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace tarvisk::demo
