// tarvisk-demo-market: serves the demo marketplace on 127.0.0.1 until SIGINT or SIGTERM.

#include <csignal>
#include <cstdio>
#include <exception>

#include <pthread.h>

#include <CLI/CLI.hpp>

#include "core/version.h"
#include "demo/demo_market.h"
#include "demo/test_pages.h"

int main(int argc, char** argv) {
    CLI::App app{"The Tarvisk demo marketplace: every marketplace endpoint, served on 127.0.0.1."};
    app.set_version_flag("--version", tarvisk::VersionLine("tarvisk-demo-market"),
                         "print the version and the commit and exit");
    int port = 0;
    app.add_option("--port", port, "port to listen on (0 or none: a free port)")->check(CLI::Range(0, 65535));
    bool testPages = false;
    app.add_flag("--test-pages", testPages,
                 "also serve the test pages under /test/ and the misbehaving shops and keywords (for tests and "
                 "fuzz seeds)");
    CLI11_PARSE(app, argc, argv);

    // Block the stop signals before the server threads start, so they inherit the mask and the
    // main thread alone receives them in sigwait.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        tarvisk::demo::DemoMarket market(port, testPages ? tarvisk::demo::RegisterTestPages : nullptr);
        std::printf("listening on %s\nhttps on 127.0.0.1:%d\n", market.hostPort().c_str(), market.httpsPort());
        std::fflush(stdout);
        int signal = 0;
        sigwait(&stopSignals, &signal);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarvisk-demo-market: %s\n", e.what());
        return 1;
    }
    return 0;
}
