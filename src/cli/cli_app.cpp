// tarvisk-cli: the reputation check, the ranking walk and the shop listing from the terminal, on
// the same core as the desktop program. Global options choose where the marketplace is reached.
// The desktop program's windowless mode takes the same command line (cli_app.h).

#include <charconv>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "cli/cli_app.h"
#include "cli/commands.h"
#include "cli/guard.h"
#include "cli/input_files.h"
#include "cli/terminal_text.h"
#include "core/hooks.h"
#include "core/job.h"
#include "core/version.h"
#include "demo/demo_login.h"
#include "demo/demo_market.h"
#include "net/browser_cookies.h"
#include "net/curl_request.h"
#include "net/endpoints.h"
#include "store/local_store.h"

namespace {

using tarvisk::cli::kUsageError;

/// Exit status when the program cannot start its work (the demo marketplace did not let it in).
constexpr int kStartFailure = 1;

/// "HOST:PORT" with a port from 1 to 65535.
std::string checkHostPort(const std::string& value) {
    const std::size_t colon = value.rfind(':');
    const std::string error = "expected HOST:PORT, got \"" + value + "\"";
    if (colon == std::string::npos || colon == 0 || value.find_first_of(" \t/") != std::string::npos) {
        return error;
    }
    const std::string port = value.substr(colon + 1);
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) {
        return error;
    }
    const int number = std::stoi(port);
    return number >= 1 && number <= 65535 ? std::string() : error;
}

/// A pause in seconds: a number from 0 to the longest pause a job takes.
std::string checkPause(const std::string& value) {
    double seconds = -1;
    const auto [end, failure] = std::from_chars(value.data(), value.data() + value.size(), seconds);
    if (failure != std::errc() || end != value.data() + value.size() ||
        !(seconds >= 0 && seconds <= tarvisk::kMaxPauseSeconds)) {
        return "expected a number of seconds from 0 to " + std::to_string(static_cast<int>(tarvisk::kMaxPauseSeconds)) +
               ", got \"" + value + "\"";
    }
    return {};
}

} // namespace

namespace tarvisk::cli {

int RunCli(int argc, char** argv, const FrontEnd& frontEnd) {
    CLI::App app{frontEnd.name + ": " + frontEnd.description};
    app.require_subcommand(1);
    app.fallthrough();
    app.set_version_flag("--version", tarvisk::VersionLine(frontEnd.name), "print the version and the commit and exit");

    std::string route;
    std::string cookieFile;
    std::string dataFolder;
    bool demo = false;
    CLI::Option* routeOption =
        app.add_option("--route", route, "send every connection to HOST:PORT (addresses and Host headers stay)")
            ->check(checkHostPort);
    app.add_option("--cookies", cookieFile, "load the browser cookies from a Netscape cookies.txt file");
    app.add_flag("--demo", demo, "start the demo marketplace on a free loopback port and log in to it")
        ->excludes(routeOption);
    tarvisk::cli::GlobalOptions global;
    app.add_option("--pause", global.pauseSeconds,
                   "wait SECONDS (give or take 30%) between the pages of a walk or crawl and between the accounts "
                   "of a check (default 0)")
        ->check(checkPause, "SECONDS");
    app.add_option("--data-dir", dataFolder,
                   "keep the check and ranking history and the buyer lists in this folder (default "
                   "$XDG_DATA_HOME/Tarvisk, else ~/.local/share/Tarvisk; with --demo its subfolder demo)");
    int stallSeconds = static_cast<int>(tarvisk::net::StallLimits{}.receive.count());
    app.add_option("--stall", stallSeconds,
                   "give up a request that receives nothing for SECONDS, as an empty page (default 60; a page "
                   "that keeps arriving has no time limit)")
        ->check(CLI::Range(1, 3600))
        ->option_text("SECONDS");

    tarvisk::cli::CommandRunner runner;
    tarvisk::cli::AddCheckCommand(app, global, runner);
    tarvisk::cli::AddShopCommand(app, global, runner);
    tarvisk::cli::AddRankCommand(app, global, runner);
    tarvisk::cli::AddListCommand(app, runner);
    tarvisk::cli::AddHistoryCommand(app, runner);
    if (frontEnd.addOptions) {
        frontEnd.addOptions(app);
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? 0 : kUsageError;
    }

    tarvisk::SetMessageSink([name = frontEnd.name](const std::u16string& text, const std::u16string& title) {
        std::cerr << name << ": " << (title.empty() ? std::string("Tarvisk") : tarvisk::cli::TerminalText(title))
                  << ": " << tarvisk::cli::TerminalText(text) << '\n';
    });

    tarvisk::SetDataFolder(tarvisk::StartDataFolder(dataFolder, demo));
    tarvisk::net::StallLimits stall;
    stall.receive = std::chrono::seconds(stallSeconds);
    tarvisk::net::SetStallLimits(stall);
    if (!route.empty()) {
        tarvisk::endpoints::SetRoute(route);
    }
    if (!cookieFile.empty()) {
        const tarvisk::LineFileResult loaded = tarvisk::BrowserCookies::instance().loadNetscapeFile(cookieFile);
        if (loaded.status != tarvisk::LineFileResult::Status::Read) {
            std::cerr << frontEnd.name << ": " << tarvisk::cli::LineFileProblem(loaded, "cookies file", cookieFile)
                      << '\n';
            return kUsageError;
        }
    }

    std::unique_ptr<tarvisk::demo::DemoMarket> market;
    if (demo) {
        market = std::make_unique<tarvisk::demo::DemoMarket>();
        tarvisk::endpoints::SetRoute(market->hostPort(), "127.0.0.1:" + std::to_string(market->httpsPort()));
        tarvisk::endpoints::SetTrustedCertificate(market->certificatePem());
        if (!tarvisk::demo::LogInToDemo()) {
            std::cerr << frontEnd.name << ": could not log in to the demo marketplace\n";
            return kStartFailure;
        }
    }
    if (!runner) {
        return kUsageError;
    }
    return frontEnd.run ? frontEnd.run(global, runner) : runner();
}

} // namespace tarvisk::cli
