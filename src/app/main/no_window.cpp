#include "app/main/no_window.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include <QApplication>

#include "app/browser/browser_profile.h"
#include "app/browser/demo_routing.h"
#include "app/browser/page_fetch.h"
#include "app/browser/profile_lock.h"
#include "app/main/program.h"
#include "cli/cli_app.h"
#include "cli/guard.h"
#include "cli/interrupt.h"
#include "jobs/fetch_mode.h"
#include "jobs/ranking/today_search_page.h"
#include "jobs/shop/today_shop_page.h"
#include "net/endpoints.h"

namespace tarvisk {

namespace {

constexpr char kNoWindow[] = "--no-window";
/// The pause between the browser's pages when none is given: 2.8 to 5.2 seconds, the pace of a person reading.
constexpr double kBrowserPauseSeconds = 4;

/// What the windowless mode adds to the command line of tarvisk-cli.
struct Choices {
    std::string fetch = "auto";
    std::string certificateFile;
    bool noWindow = false;
    CLI::Option* pause = nullptr;
    CLI::Option* demo = nullptr;
};

std::string checkFetchMode(const std::string& name) {
    return ParseFetchMode(name) ? std::string() : "应为 direct、browser 或 auto，而不是“" + name + "”";
}

/// The certificate of a --trust-certificate file (PEM); empty when it holds none.
std::string certificateIn(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return text.find("-----BEGIN CERTIFICATE-----") != std::string::npos ? text : std::string();
}

/// Prints only Qt's critical and fatal messages: the environment notices of Qt and of the web engine (no runtime
/// folder, no graphics on a machine without a display) would make the output differ from tarvisk-cli's.
void printSeriousOnly(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::cerr << message.toStdString() << '\n';
    }
}

/// Runs `command` on a thread of its own while this thread runs the browser, with the jobs' pages fetched in the
/// chosen mode.
int runWithBrowser(const QString& caption, char* program, const Choices& choices, cli::GlobalOptions& global,
                   const cli::CommandRunner& command) {
    const bool demo = choices.demo->count() > 0;
    if (const std::optional<QString> problem = BrowserStartProblem()) {
        std::cerr << caption.toLower().toStdString() << "：" << problem->toStdString() << "\n";
        return cli::kFailure;
    }
    // The browser goes where the requests go, and trusts what they trust; its flags are read once, before the
    // application exists. No window is ever shown.
    if (!endpoints::Route().empty()) {
        RouteBrowsers(QString::fromStdString(endpoints::Route()), QString::fromStdString(endpoints::HttpsRoute()));
    }
    if (!endpoints::TrustedCertificate().empty()) {
        TrustCertificate(endpoints::TrustedCertificate());
    }
    QuietBrowserLog();
    qInstallMessageHandler(printSeriousOnly);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    int qtArgc = 1;
    char* qtArgv[] = {program, nullptr};
    QApplication app(qtArgc, qtArgv);
    NameApplication(app, caption);
    // A run routed elsewhere, or trusting a certificate of its own, gets a throwaway profile as a demo run does: the
    // saved login never goes to the routed server, and nothing that server sets is kept.
    const bool throwaway = demo || !endpoints::Route().empty() || !endpoints::TrustedCertificate().empty();
    UseOffTheRecordProfile(throwaway);
    // Ctrl+C while the browser starts cancels the command as it would later: the profile is let go and the exit
    // status says so.
    const cli::InterruptScope interrupt;
    // A throwaway profile keeps nothing on disk: no profile to share.
    std::optional<ProfileLock> lock;
    if (!throwaway && !lock.emplace().held()) {
        std::cerr << caption.toLower().toStdString() << "：" << lock->refusalText(QStringLiteral("运行")).toStdString()
                  << " (the browser profile cannot be used)\n";
        return cli::kFailure;
    }

    BrowserPageFetch browser(BrowserProfile());
    const FetchMode mode = *ParseFetchMode(choices.fetch);
    global.rankingFetch = ChooseFetch<std::u16string&>(
        mode, DirectRankingFetch,
        [&browser](std::u16string& url) { return browser.fetch(TodaySearchAddress(url), SearchAnswerCame); },
        SearchPageReadable);
    global.shopFetch = ChooseFetch<const std::u16string&>(
        mode, DirectPageFetch, [&browser](const std::u16string& url) { return browser.fetch(url, ShopAnswerCame); },
        ShopPageReadable);
    if (choices.pause->count() == 0) {
        global.pauseSeconds = kBrowserPauseSeconds;
    }
    global.advice = cli::WindowlessBrowserAdvice;
    int status = cli::kUnexpectedFailure;
    std::thread job([&] {
        status = cli::RunGuarded(command, std::cerr, caption.toLower().toStdString());
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    QApplication::exec();
    job.join();
    return status;
}

} // namespace

bool WantsNoWindow(const QStringList& arguments) {
    return arguments.mid(1).contains(QLatin1String(kNoWindow));
}

int RunWithoutWindow(int argc, char** argv, const QString& caption) {
    auto choices = std::make_shared<Choices>();
    cli::FrontEnd frontEnd;
    frontEnd.name = caption.toLower().toStdString();
    frontEnd.invocation = frontEnd.name + " " + kNoWindow;
    frontEnd.description = "没有窗口的桌面程序：tarvisk-cli 的命令，页面通过程序的浏览器资料读取。";
    frontEnd.addOptions = [choices](CLI::App& app) {
        app.add_flag(kNoWindow, choices->noWindow, "不显示窗口运行（即这种方式）");
        app.add_option(
               "--fetch", choices->fetch,
               "读取页面的方式：direct（程序自己的请求）、browser（通过浏览器和它的登录）、auto（能读时直接请求，之后"
               "改用浏览器；默认）")
            ->check(checkFetchMode)
            ->type_name("MODE");
        choices->demo = app.get_option("--demo");
        app.add_option("--trust-certificate", choices->certificateFile,
                       "https 信任这个 PEM 文件中的证书，用于它列出的主机（测试用）")
            ->check(CLI::ExistingFile)
            ->excludes(choices->demo);
        choices->pause = app.get_option("--pause");
    };
    frontEnd.run = [&, choices](cli::GlobalOptions& global, const cli::CommandRunner& command) {
        if (!choices->certificateFile.empty()) {
            const std::string pem = certificateIn(choices->certificateFile);
            if (pem.empty()) {
                std::cerr << frontEnd.name << "：" << choices->certificateFile << " 中没有证书\n";
                return cli::kUsageError;
            }
            endpoints::SetTrustedCertificate(pem);
        }
        // Direct requests need no browser: the command runs as tarvisk-cli runs it, its advice naming the browser
        // mode of this program.
        if (*ParseFetchMode(choices->fetch) == FetchMode::Direct) {
            global.advice = cli::WindowlessDirectAdvice;
            return command();
        }
        return runWithBrowser(caption, argv[0], *choices, global, command);
    };
    return cli::RunGuarded([&] { return cli::RunCli(argc, argv, frontEnd); }, std::cerr, frontEnd.name);
}

} // namespace tarvisk
