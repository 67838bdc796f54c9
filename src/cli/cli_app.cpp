// tarvisk-cli: the reputation check, the ranking walk and the shop listing from the terminal, on
// the same core as the desktop program. Global options choose where the marketplace is reached.
// The desktop program's windowless mode takes the same command line (cli_app.h).

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "cli/cli_app.h"
#include "cli/commands.h"
#include "cli/guard.h"
#include "cli/help.h"
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

/// A host the routing rules of both request routines take as it is: a name of letters, digits, dots and dashes
/// (an IPv4 address among them), or an IPv6 address in brackets. Anything else could end a browser's rule early.
bool plainHost(std::string_view host) {
    const auto made = [](std::string_view text, auto allowed) {
        return !text.empty() &&
               std::ranges::all_of(text, [&allowed](char c) { return allowed(static_cast<unsigned char>(c)); });
    };
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        return made(host.substr(1, host.size() - 2),
                    [](unsigned char c) { return std::isxdigit(c) || c == ':' || c == '.'; });
    }
    return made(host, [](unsigned char c) { return std::isalnum(c) || c == '.' || c == '-'; }) && host.size() <= 253 &&
           host.front() != '-' && host.front() != '.';
}

/// "HOST:PORT" with a plain host (plainHost) and a port from 1 to 65535.
std::string checkHostPort(const std::string& value) {
    const std::size_t colon = value.rfind(':');
    const std::string error = "应为 HOST:PORT（主机:端口），而不是“" + value + "”";
    if (colon == std::string::npos || !plainHost(std::string_view(value).substr(0, colon))) {
        return error;
    }
    const std::string port = value.substr(colon + 1);
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) {
        return error;
    }
    const int number = std::stoi(port);
    return number >= 1 && number <= 65535 ? std::string() : error;
}

} // namespace

namespace tarvisk::cli {

int RunCli(int argc, char** argv, const FrontEnd& frontEnd) {
    CLI::App app{frontEnd.name + "：" + frontEnd.description};
    UseChineseHelp(app);
    app.require_subcommand(1);
    app.fallthrough();
    app.set_version_flag("--version", tarvisk::VersionLine(frontEnd.name), "显示版本和构建它的提交，然后退出");

    std::string route;
    std::string cookieFile;
    std::string dataFolder;
    bool demo = false;
    CLI::Option* routeOption = app.add_option("--route", route, "把每个连接都发往 HOST:PORT（网址和 Host 头不变）")
                                   ->check(checkHostPort)
                                   ->type_name("HOST:PORT");
    app.add_option("--cookies", cookieFile, "从 Netscape 格式的 cookies.txt 文件载入浏览器的 cookie")
        ->type_name("FILE");
    app.add_flag("--demo", demo, "在本机空闲端口上启动演示市场并登录")->excludes(routeOption);
    tarvisk::cli::GlobalOptions global;
    app.add_option("--pause", global.pauseSeconds,
                   "排名或店铺的每两页之间、批量查询的每两个账号之间等待 SECONDS 秒（上下浮动30%，默认0）")
        ->check(tarvisk::cli::CheckPauseSeconds)
        ->type_name("SECONDS");
    app.add_option("--data-dir", dataFolder,
                   "把查询记录、排名记录和黑白名单保存在这个文件夹（默认 $XDG_DATA_HOME/Tarvisk，否则 "
                   "~/.local/share/Tarvisk；--demo 时用其中的 demo 子文件夹）")
        ->type_name("DIR");
    int stallSeconds = static_cast<int>(tarvisk::net::StallLimits{}.receive.count());
    app.add_option("--stall", stallSeconds,
                   "请求连续 SECONDS 秒收不到数据就放弃，当作空白页（默认60；一直在传的页面不限时）")
        ->check(tarvisk::cli::WholeNumberIn(1, 3600))
        ->option_text("SECONDS");

    tarvisk::cli::CommandRunner runner;
    tarvisk::cli::AddCheckCommand(app, global, runner);
    tarvisk::cli::AddShopCommand(app, global, runner);
    tarvisk::cli::AddRankCommand(app, global, runner);
    tarvisk::cli::AddTrackCommand(app, global, runner);
    tarvisk::cli::AddListCommand(app, runner);
    tarvisk::cli::AddHistoryCommand(app, runner);
    if (frontEnd.addOptions) {
        frontEnd.addOptions(app);
    }
    tarvisk::cli::NameCommandGroups(app);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return tarvisk::cli::ExitForParseError(app, error, frontEnd.name, frontEnd.invocation);
    }

    tarvisk::SetMessageSink([name = frontEnd.name](const std::u16string& text, const std::u16string& title) {
        std::cerr << name << "：" << (title.empty() ? std::string("Tarvisk") : tarvisk::cli::TerminalText(title))
                  << "：" << tarvisk::cli::TerminalText(text) << '\n';
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
            std::cerr << frontEnd.name << "：" << tarvisk::cli::LineFileProblem(loaded, "cookie 文件", cookieFile)
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
            std::cerr << frontEnd.name << "：无法登录演示市场\n";
            return kStartFailure;
        }
    }
    if (!runner) {
        return kUsageError;
    }
    return frontEnd.run ? frontEnd.run(global, runner) : runner();
}

} // namespace tarvisk::cli
