#include "jobs/reputation/batch_check.h"

#include <atomic>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/cancel.h"

namespace tarvisk {
namespace {

/// Pages for any account: "banned" is banned, "login" meets a login page for its ratings, every other one is a
/// buyer with a registration date.
std::u16string fakePage(const std::u16string& url) {
    if (url.find(u"userProfile") != std::u16string::npos) {
        if (url.find(u"login") != std::u16string::npos) {
            return u"注册时间：2014年11月26日 UvGcWMGkYvmcWOFTTMmxLOFHbMCNT0Aa";
        }
        return url.find(u"banned") != std::u16string::npos
                   ? u"该账号已被查封"
                   : u"注册时间：2014年11月26日 UvGcWMGkYvmcWOFTTMmxLOFHbMCNT0Ab";
    }
    if (url.find(u"UvGcWMGkYvmcWOFTTMmxLOFHbMCNT0Aa") != std::u16string::npos) {
        return u"<form action=\"https://login.taobao.com/member/login.jhtml\"><input name=\"TPL_username\"></form>";
    }
    return u"<p>好评率：99.85%</p><p>买家信用：12</p>";
}

TEST(RunBatchCheck, ChecksEveryAccountInOrderAndTellsEachOutcome) {
    std::vector<std::pair<int, int>> progress;
    std::vector<std::pair<std::size_t, ReputationOutcome::Status>> outcomes;
    BatchCheckOptions options;
    options.fetch = fakePage;
    options.progress = [&](int i, int n) { progress.emplace_back(i, n); };
    options.checked = [&](std::size_t index, const ReputationOutcome& outcome) {
        outcomes.emplace_back(index, outcome.status);
        if (outcome.status == ReputationOutcome::Status::Report) {
            EXPECT_EQ(outcome.facts.buyerCredit, 12);
        }
    };
    EXPECT_EQ(RunBatchCheck({u"a", u"banned", u"c"}, options), 3u);
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
    EXPECT_EQ(outcomes,
              (std::vector<std::pair<std::size_t, ReputationOutcome::Status>>{{0, ReputationOutcome::Status::Report},
                                                                              {1, ReputationOutcome::Status::Stopped},
                                                                              {2, ReputationOutcome::Status::Report}}));
}

TEST(RunBatchCheck, ACancelStopsBeforeTheNextAccountAndDropsTheOneUnderWay) {
    for (const int cancelAtFetch : {1, 2, 3}) {
        std::atomic<bool> cancel = false;
        int fetches = 0;
        std::vector<std::size_t> told;
        BatchCheckOptions options;
        options.cancel = &cancel;
        // Each account takes two fetches; the cancel comes during fetch `cancelAtFetch`, which then gives nothing.
        options.fetch = [&](const std::u16string& url) {
            if (++fetches == cancelAtFetch) {
                cancel = true;
            }
            return CancelRequested() ? std::u16string() : fakePage(url);
        };
        options.checked = [&](std::size_t index, const ReputationOutcome&) { told.push_back(index); };
        const std::size_t checked = RunBatchCheck({u"a", u"b", u"c"}, options);
        const std::size_t whole = static_cast<std::size_t>(cancelAtFetch - 1) / 2;
        EXPECT_EQ(checked, whole) << cancelAtFetch;
        EXPECT_EQ(told.size(), whole) << cancelAtFetch;
        EXPECT_EQ(fetches, cancelAtFetch == 1 ? 1 : cancelAtFetch) << cancelAtFetch;
    }
}

TEST(RunBatchCheck, ALoginOrVerificationPageEndsTheBatchWhenAskedTo) {
    for (const bool stop : {false, true}) {
        std::vector<ReputationOutcome::Status> outcomes;
        BatchCheckOptions options;
        options.fetch = fakePage;
        options.stopWhenBlocked = stop;
        options.checked = [&](std::size_t, const ReputationOutcome& outcome) {
            outcomes.push_back(outcome.status);
            EXPECT_EQ(IsBlocked(outcome), outcome.status == ReputationOutcome::Status::PageNotRead);
        };
        EXPECT_EQ(RunBatchCheck({u"a", u"login", u"banned", u"c"}, options), stop ? 2u : 4u);
        EXPECT_EQ(outcomes.size(), stop ? 2u : 4u);
        EXPECT_EQ(outcomes.at(1), ReputationOutcome::Status::PageNotRead);
    }
}

TEST(RunBatchCheck, PausesBetweenAccountsAndNotBeforeTheFirst) {
    std::vector<std::chrono::steady_clock::time_point> fetched;
    BatchCheckOptions options;
    options.pauseSeconds = 0.2;
    options.fetch = [&](const std::u16string& url) {
        fetched.push_back(std::chrono::steady_clock::now());
        return fakePage(url);
    };
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunBatchCheck({u"a", u"b"}, options), 2u);
    ASSERT_EQ(fetched.size(), 4u);
    // Each pause is at least 70% of the one asked for; the first account does not wait.
    EXPECT_LT(fetched[0] - start, std::chrono::milliseconds(140));
    EXPECT_GE(fetched[2] - fetched[1], std::chrono::milliseconds(140));
}

} // namespace
} // namespace tarvisk
