// The browser page fetch on the demo marketplace's today's pages: for each page, the wall time of the fetch (from
// the request to the rendered page and its answers in hand, the pause between pages left out) and the time the
// page's own script took to put its results on the page (its data-drawn-ms); and the memory the page that no
// window shows costs. One JSON line per page, then one for the memory. A program to run by hand
// (bench/browser_fetch_bench.py runs it beside plain Chromium), not a test.
//
// usage: browser_fetch_bench ROUNDS ADDRESS...

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <future>
#include <string>
#include <vector>

#include <QApplication>
#include <QEventLoop>
#include <QDir>
#include <QRegularExpression>
#include <QTimer>
#include <QWebEnginePage>

#include "app/browser/browser_profile.h"
#include "app/browser/demo_routing.h"
#include "app/browser/page_fetch.h"
#include "demo/demo_login.h"
#include "demo/demo_market.h"
#include "jobs/ranking/today_search_page.h"
#include "jobs/shop/today_shop_page.h"
#include "text/encoding.h"

namespace {

/// A field of a process's memory in KiB ("Pss:" from smaps_rollup: its own pages and its share of those it
/// shares), 0 when the process is gone.
long memoryKiB(const QString& pid, const std::string& field) {
    std::ifstream rollup(("/proc/" + pid + "/smaps_rollup").toStdString());
    for (std::string line; std::getline(rollup, line);) {
        if (line.rfind(field, 0) == 0) {
            return std::stol(line.substr(field.size()));
        }
    }
    return 0;
}

/// This process's memory and that of the web engine's processes it started (its renderers are forked by a
/// zygote process of its own, so every descendant counts), proportional set sizes in KiB; the renderers' on their
/// own.
struct Memory {
    long program = 0;
    long helpers = 0;
    long renderers = 0;
};

Memory memory() {
    std::map<QString, QString> parentOf;
    std::map<QString, std::string> commandOf;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs)) {
        std::ifstream stat(("/proc/" + pid + "/stat").toStdString());
        std::string line;
        std::getline(stat, line);
        // The command name in parentheses may hold blanks: the fields after it are counted from its end.
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        std::istringstream fields(line.substr(close + 2));
        std::string state, parent;
        fields >> state >> parent;
        parentOf[pid] = QString::fromStdString(parent);
        std::ifstream command(("/proc/" + pid + "/cmdline").toStdString());
        commandOf[pid] = std::string((std::istreambuf_iterator<char>(command)), std::istreambuf_iterator<char>());
    }
    const QString self = QString::number(QCoreApplication::applicationPid());
    Memory sizes;
    sizes.program = memoryKiB(self, "Pss:");
    for (const auto& [pid, command] : commandOf) {
        QString ancestor = parentOf[pid];
        while (!ancestor.isEmpty() && ancestor != self && ancestor != QStringLiteral("0") && parentOf.count(ancestor)) {
            ancestor = parentOf[ancestor];
        }
        if (ancestor == self && command.find("QtWebEngineProcess") != std::string::npos) {
            const long size = memoryKiB(pid, "Pss:");
            sizes.helpers += size;
            // A renderer is forked from the engine's zygote and keeps the zygote's command line.
            if (commandOf[parentOf[pid]].find("QtWebEngineProcess") != std::string::npos) {
                sizes.renderers += size;
            }
        }
    }
    return sizes;
}

tarvisk::FetchedPage fetchFromJobThread(tarvisk::BrowserPageFetch& fetch, const std::u16string& address) {
    QEventLoop loop;
    std::future<tarvisk::FetchedPage> fetched = std::async(std::launch::async, [&] {
        // As the jobs fetch: each page ends when its reader's answer has come.
        tarvisk::FetchedPage page = fetch.fetch(address, [](const tarvisk::FetchedPage& sofar) {
            return tarvisk::SearchAnswerCame(sofar) || tarvisk::ShopAnswerCame(sofar);
        });
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        return page;
    });
    loop.exec();
    return fetched.get();
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    tarvisk::demo::DemoMarket market;
    tarvisk::RouteToDemoMarket(market);
    tarvisk::UseOffTheRecordProfile(true);
    tarvisk::QuietBrowserLog();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (!tarvisk::demo::LogInToDemo()) {
        std::fprintf(stderr, "browser_fetch_bench: could not log in to the demo marketplace\n");
        return 1;
    }
    std::vector<std::u16string> pages;
    for (int i = 2; i < argc; ++i) {
        pages.push_back(tarvisk::FromUtf8(argv[i]));
    }
    tarvisk::BrowserProfile();
    // The engine's own processes start in the background: measured once they stand.
    QEventLoop settle;
    QTimer::singleShot(2000, &settle, &QEventLoop::quit);
    settle.exec();
    const Memory before = memory();
    {
        tarvisk::BrowserPageFetch fetch(tarvisk::BrowserProfile());
        const QRegularExpression drawn(QStringLiteral("data-drawn-ms=\"(\\d+)\""));
        for (int round = 0; round < rounds; ++round) {
            for (const std::u16string& page : pages) {
                const auto start = std::chrono::steady_clock::now();
                const tarvisk::FetchedPage fetched = fetchFromJobThread(fetch, page);
                const auto wall =
                    std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
                const QRegularExpressionMatch match = drawn.match(QString::fromStdU16String(fetched.text));
                std::printf("{\"page\":\"%s\",\"round\":%d,\"fetch_ms\":%lld,\"drawn_ms\":%s,\"answers\":%zu}\n",
                            tarvisk::ToUtf8(page).c_str(), round, static_cast<long long>(wall.count()),
                            match.hasMatch() ? match.captured(1).toUtf8().constData() : "null", fetched.answers.size());
                std::fflush(stdout);
            }
        }
        const Memory during = memory();
        std::printf("{\"program_kib\":[%ld,%ld],\"helpers_kib\":[%ld,%ld],\"renderers_kib\":[%ld,%ld]}\n",
                    before.program, during.program, before.helpers, during.helpers, before.renderers, during.renderers);
    }
    return 0;
}
