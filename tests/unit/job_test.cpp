#include "core/job.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/hooks.h"

namespace tarvisk {
namespace {

TEST(CancelScope, InnermostScopeOfTheThreadDecides) {
    std::atomic<bool> outer{false};
    std::atomic<bool> inner{false};
    EXPECT_FALSE(CancelRequested());
    {
        const CancelScope outerScope(outer);
        EXPECT_FALSE(CancelRequested());
        {
            const CancelScope innerScope(inner);
            outer = true;
            EXPECT_FALSE(CancelRequested());
            inner = true;
            EXPECT_TRUE(CancelRequested());
            bool otherThreadSees = true;
            std::thread([&] { otherThreadSees = CancelRequested(); }).join();
            EXPECT_FALSE(otherThreadSees);
        }
        EXPECT_TRUE(CancelRequested());
    }
    EXPECT_FALSE(CancelRequested());
}

TEST(JobScope, StopsOnlyWhenItsOwnFlagIsSet) {
    std::atomic<bool> flag{false};
    std::vector<std::pair<int, int>> pages;
    {
        const JobScope unstoppable(nullptr, {});
        EXPECT_FALSE(unstoppable.stopped());
        unstoppable.reachPage(1, 2);
    }
    {
        const JobScope job(&flag, [&](int page, int of) { pages.emplace_back(page, of); });
        job.reachPage(1, 100);
        EXPECT_FALSE(job.stopped());
        flag = true;
        EXPECT_TRUE(job.stopped());
        EXPECT_TRUE(CancelRequested());
        job.reachPage(2, 100);
    }
    EXPECT_FALSE(CancelRequested());
    EXPECT_EQ(pages, (std::vector<std::pair<int, int>>{{1, 100}, {2, 100}}));
}

using SteadyClock = std::chrono::steady_clock;

double secondsSince(SteadyClock::time_point start) {
    return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

TEST(PauseBetweenPages, ThirtyPercentEitherWay) {
    EXPECT_DOUBLE_EQ(JitteredPause(10, 0), 7);
    EXPECT_DOUBLE_EQ(JitteredPause(10, 0.5), 10);
    EXPECT_LT(JitteredPause(10, 0.999999), 13);
    EXPECT_DOUBLE_EQ(JitteredPause(0, 0.5), 0);
}

TEST(PauseBetweenPages, WaitsWhileEventsRunAndEndsWhenCancelled) {
    int pumped = 0;
    SetEventPump([&] { ++pumped; });
    const auto start = SteadyClock::now();
    PauseBetweenPages(0.1);
    EXPECT_GE(secondsSince(start), 0.07);
    EXPECT_GT(pumped, 0);
    SetEventPump({});

    // Nothing to wait for, and a cancelled job does not wait (the bound only shows it did not sit out the pause).
    std::atomic<bool> stop{true};
    const auto cancelled = SteadyClock::now();
    PauseBetweenPages(-1);
    PauseBetweenPages(0);
    {
        const CancelScope scope(stop);
        PauseBetweenPages(60);
    }
    EXPECT_LT(secondsSince(cancelled), 30);
}

TEST(JobScope, PausesBeforeEveryPageButTheFirst) {
    std::vector<int> pages;
    const auto first = SteadyClock::now();
    const JobScope slow(
        nullptr, [&](int page, int) { pages.push_back(page); }, 60);
    slow.reachPage(1, 3);
    EXPECT_LT(secondsSince(first), 30);

    const JobScope job(
        nullptr, [&](int page, int) { pages.push_back(page); }, 0.1);
    const auto second = SteadyClock::now();
    job.reachPage(2, 3);
    EXPECT_GE(secondsSince(second), 0.07);
    EXPECT_EQ(pages, (std::vector<int>{1, 2}));
}

} // namespace
} // namespace tarvisk
