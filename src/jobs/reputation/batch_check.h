#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "jobs/reputation/reputation.h"
#include "core/job.h"

// Many reputation checks in a row: the accounts a user pasted (or named on the command line), checked
// one after another as the window's own check does, with progress, a pause between accounts and cancel.

namespace tarvisk {

struct BatchCheckOptions {
    /// The page fetch of every query; empty means the reputation query's own.
    ReputationQuery::PageFetch fetch;
    /// Told "account i of n" before account i (from 1) is checked.
    ProgressSink progress;
    /// Told the outcome of each account checked, with its position in `accounts` (from 0), on the checking thread.
    std::function<void(std::size_t index, const ReputationOutcome& outcome)> checked;
    /// When set, the checks run inside a CancelScope on this flag: no further account is checked once it is set,
    /// and the account under way is given up (its outcome is not told).
    const std::atomic<bool>* cancel = nullptr;
    /// The wait before each account after the first (PauseBetweenPages: give or take 30%).
    double pauseSeconds = 0;
    /// Ends the batch after an account whose page was a login or a verification page: the marketplace then wants
    /// the user, and every further request would only meet the same page.
    bool stopWhenBlocked = false;
};

/// True when `outcome` ended at a login or a verification page.
bool IsBlocked(const ReputationOutcome& outcome);

/// Checks the accounts in order and returns how many were checked (fewer than all when cancelled or blocked).
std::size_t RunBatchCheck(const std::vector<std::u16string>& accounts, const BatchCheckOptions& options);

} // namespace tarvisk
