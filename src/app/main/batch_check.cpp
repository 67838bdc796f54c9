#include "app/main/batch_check.h"

#include <set>

#include "text/text_ops.h"

namespace tarvisk {

std::vector<std::u16string> AccountsFromText(std::u16string_view text) {
    std::vector<std::u16string> accounts;
    std::set<std::u16string> seen;
    for (const std::u16string& line : SplitAt(text, u"\n")) {
        std::u16string account = TrimBlanks(line, u" \t\r");
        if (!account.empty() && seen.insert(account).second) {
            accounts.push_back(std::move(account));
        }
    }
    return accounts;
}

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
