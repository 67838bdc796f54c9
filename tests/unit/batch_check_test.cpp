#include "app/main/batch_check.h"

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/cancel.h"
#include "text/encoding.h"

namespace tarvisk {
namespace {

TEST(AccountsFromText, TakesOneTrimmedAccountALineWithoutBlanksOrRepeats) {
    const std::pair<std::u16string, std::vector<std::u16string>> cases[] = {
        {u"", {}},
        {u"  \r\n\t\n", {}},
        {u"a", {u"a"}},
        {u" a \r\n\r\nb\na", {u"a", u"b"}},
        {u"老实买家\n刷单小号\n老实买家\n\t刷单小号\t\n", {u"老实买家", u"刷单小号"}},
        {u"买家 一号\nA\na", {u"买家 一号", u"A", u"a"}},
    };
    for (const auto& [text, accounts] : cases) {
        EXPECT_EQ(AccountsFromText(text), accounts) << ToUtf8(text);
    }
}

/// Pages for any account: "banned" is banned, every other one a buyer with a registration date.
std::u16string fakePage(const std::u16string& url) {
    if (url.find(u"userProfile") != std::u16string::npos) {
        return url.find(u"banned") != std::u16string::npos
                   ? u"该账号已被查封"
                   : u"注册时间：2014年11月26日 UvGcWMGkYvmcWOFTTMmxLOFHbMCNT0Ab";
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

} // namespace
} // namespace tarvisk
