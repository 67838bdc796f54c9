// The soak run: a seller's day in one process. 1000 reputation checks and 100 ranking walks in a row
// against the demo marketplace (served in this process on 127.0.0.1), watching the resident memory,
// its peak, and the open file descriptors and sockets. A long run must not grow: after a warm-up the
// memory may move by allocator noise only, and the descriptors may not outnumber those of the warm-up
// (requests keep a few connections open for the next request, no more).
//
// usage: soak [CHECKS [WALKS [PAGES]]]     (defaults 1000, 100, 5; not part of the test suite)
//
// Exits 1 when the memory grew past kGrowthBoundKiB or a descriptor stayed open.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "jobs/reputation/reputation.h"
#include "jobs/ranking/ranking_search.h"
#include "demo/demo_login.h"
#include "demo/demo_market.h"
#include "net/endpoints.h"
#include "table/result_table.h"
#include "text/encoding.h"

namespace {

using Clock = std::chrono::steady_clock;

/// How much the resident memory may grow from the end of the warm-up to the end of the run: the
/// allocator's free lists and the per-thread caches of compiled patterns and page scans (bounded at
/// 8 Mi code units of scanned text) settle during the warm-up; what remains is noise.
constexpr long kGrowthBoundKiB = 16 * 1024;
// Time for the server to close the connections its keep-alive holds (1 s) before descriptors are counted.
constexpr auto kSettle = std::chrono::milliseconds(1500);

const char16_t* const kAccounts[] = {u"小白新号",   u"三十天整",   u"卡线买家", u"老实买家",
                                     u"demo_buyer", u"刷单小号",   u"月度大户", u"小本卖家",
                                     u"皇冠旗舰店", u"盘点中的店", u"被封账号", u"资料残缺"};

struct Sample {
    long rssKiB = 0;
    long peakKiB = 0;
    int descriptors = 0;
    int sockets = 0;
};

long StatusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(field + ":"))
            return std::stol(line.substr(field.size() + 1));
    }
    return -1;
}

Sample Measure() {
    std::this_thread::sleep_for(kSettle);
    Sample sample{StatusKiB("VmRSS"), StatusKiB("VmHWM"), 0, 0};
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        ++sample.descriptors;
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        sample.sockets += target.starts_with("socket:") ? 1 : 0;
    }
    return sample;
}

void Print(const char* when, const Sample& sample) {
    std::printf("%-34s RSS %7.1f MiB  peak %7.1f MiB  descriptors %3d  sockets %3d\n", when, sample.rssKiB / 1024.0,
                sample.peakKiB / 1024.0, sample.descriptors, sample.sockets);
    std::fflush(stdout);
}

/// Runs `count` reputation checks over the demo cast; returns how many ended in a report.
int Checks(int count) {
    tarvisk::ReputationQuery query;
    int reports = 0;
    for (int i = 0; i < count; ++i) {
        const tarvisk::ReputationOutcome outcome = query.run(kAccounts[i % std::size(kAccounts)]);
        reports += outcome.status == tarvisk::ReputationOutcome::Status::Report ? 1 : 0;
    }
    return reports;
}

/// Runs `count` ranking walks of `pages` pages each for a target no page lists; returns the rows added.
long Walks(int count, int pages) {
    long rows = 0;
    for (int i = 0; i < count; ++i) {
        tarvisk::ResultTable table;
        tarvisk::ListViewSetColumns(table, tarvisk::kRankingColumnTitles, tarvisk::kRankingColumnWidths);
        tarvisk::RankingQuery walk;
        walk.keyword = i % 2 == 0 ? u"连衣裙" : u"手机壳";
        walk.pages = pages;
        walk.itemId = u"10000000000";
        tarvisk::RunRankingSearch(walk, table);
        rows += table.rowCount();
    }
    return rows;
}

int Argument(int argc, char** argv, int index, int fallback) {
    return argc > index ? std::max(1, std::atoi(argv[index])) : fallback;
}

} // namespace

int main(int argc, char** argv) {
    const int checks = Argument(argc, argv, 1, 1000);
    const int walks = Argument(argc, argv, 2, 100);
    const int pages = Argument(argc, argv, 3, 5);

    tarvisk::demo::DemoMarket market;
    tarvisk::endpoints::SetRoute(market.hostPort(), "127.0.0.1:" + std::to_string(market.httpsPort()));
    tarvisk::endpoints::SetTrustedCertificate(market.certificatePem());
    if (!tarvisk::demo::LogInToDemo()) {
        std::fprintf(stderr, "soak: the demo login failed\n");
        return 1;
    }
    Print("started, logged in", Measure());

    // Warm-up: every page kind once, so that caches and the allocator's pools reach their working size.
    Checks(static_cast<int>(std::size(kAccounts)) * 2);
    Walks(2, pages);
    const Sample warm = Measure();
    Print("after the warm-up", warm);

    auto start = Clock::now();
    const int reports = Checks(checks);
    const double checkSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    const Sample afterChecks = Measure();
    Print(("after " + std::to_string(checks) + " reputation checks").c_str(), afterChecks);

    start = Clock::now();
    const long rows = Walks(walks, pages);
    const double walkSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    const Sample afterWalks = Measure();
    Print(("after " + std::to_string(walks) + " ranking walks").c_str(), afterWalks);

    std::printf("\n%d checks in %.1f s (%d reports), %d walks of %d pages in %.1f s (%ld rows)\n", checks, checkSeconds,
                reports, walks, pages, walkSeconds, rows);
    const long grown = afterWalks.rssKiB - warm.rssKiB;
    std::printf("resident memory grew by %ld KiB after the warm-up (bound %ld KiB); descriptors %d -> %d, "
                "sockets %d -> %d\n",
                grown, kGrowthBoundKiB, warm.descriptors, afterWalks.descriptors, warm.sockets, afterWalks.sockets);
    const bool ok = grown <= kGrowthBoundKiB && afterWalks.descriptors <= warm.descriptors &&
                    afterWalks.sockets <= warm.sockets && afterChecks.descriptors <= warm.descriptors;
    std::printf("%s\n", ok ? "soak: OK" : "soak: FAILED");
    return ok ? 0 : 1;
}
