#include "jobs/reputation/batch_check.h"

namespace tarvisk {

bool IsBlocked(const ReputationOutcome& outcome) {
    return outcome.status == ReputationOutcome::Status::PageNotRead && NeedsTheUser(outcome.unread.kind);
}

std::size_t RunBatchCheck(const std::vector<std::u16string>& accounts, const BatchCheckOptions& options) {
    const JobScope scope(options.cancel, options.progress, options.pauseSeconds);
    ReputationQuery query(options.fetch);
    std::size_t checked = 0;
    const int count = static_cast<int>(accounts.size());
    for (std::size_t i = 0; i < accounts.size() && !scope.stopped(); ++i) {
        scope.reachPage(static_cast<int>(i) + 1, count);
        const ReputationOutcome outcome = query.run(accounts[i]);
        // A query given up half-way ends as if the marketplace had sent nothing: that is no answer.
        if (scope.stopped()) {
            break;
        }
        if (options.checked) {
            options.checked(i, outcome);
        }
        ++checked;
        if (options.stopWhenBlocked && IsBlocked(outcome)) {
            break;
        }
    }
    return checked;
}

} // namespace tarvisk
