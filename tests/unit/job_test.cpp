#include "core/job.h"

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

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

} // namespace
} // namespace tarvisk
