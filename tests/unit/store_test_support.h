#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "jobs/reputation/reputation.h"
#include "store/local_store.h"

namespace tarvisk::test {

/// Each test gets a fresh temporary folder for its database, removed afterwards, and records the problems
/// its stores report.
class ScratchStore : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarvisk-store-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
        m_file = m_folder / kHistoryFileName;
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }

    /// Options that record problems in m_problems and wait `busyTimeoutMs` for a lock.
    StoreOptions recorded(int busyTimeoutMs = 3000) {
        StoreOptions options;
        options.busyTimeoutMs = busyTimeoutMs;
        options.problems = [this](const StoreProblem& problem) { m_problems.push_back(problem); };
        return options;
    }

    std::vector<StoreProblemKind> problemKinds() const {
        std::vector<StoreProblemKind> kinds;
        for (const StoreProblem& problem : m_problems) {
            kinds.push_back(problem.kind);
        }
        return kinds;
    }

    std::filesystem::path m_folder;
    std::filesystem::path m_file;
    std::vector<StoreProblem> m_problems;
};

/// The facts of a completed check of `account` with some buyer's values.
inline ReputationFacts SampleFacts(const std::u16string& account, double buyerCredit = 12, double weekGood = 3,
                                   Verdict verdict = Verdict::Safe) {
    ReputationFacts facts;
    facts.account = account;
    facts.registrationDate = u"2014年11月26日";
    facts.daysSinceRegistration = 3500;
    facts.userId = u"UvCHYvmcuOFIbvmNT0lTQSRgMOmHb8QT";
    facts.ratingLink = u"http://rate.taobao.com/user-rate-UvCHYvmcuOFIbvmNT0lTQSRgMOmHb8QT.htm";
    facts.goodRate = u"99.85";
    facts.certification = Certification::Personal;
    facts.buyerCredit = buyerCredit;
    facts.weekGood = weekGood;
    facts.monthGood = 9;
    facts.monthBad = 1;
    facts.verdict = verdict;
    return facts;
}

} // namespace tarvisk::test
