#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "jobs/reputation/reputation.h"
#include "store/buyer_lists.h"

// The history of reputation checks: every completed check is stored with its time and every fact, so
// that the next check of the same account can tell what changed since.

namespace tarvisk {

class LocalStore;

/// One fact of a check, as the command line, the CSV files and the windows name it.
struct FactField {
    const char* path;      ///< as in the JSON line: "buyer_credit", "week.good"
    const char16_t* label; ///< as the windows name it: u"买家信用", u"本周好评"
    /// As the JSON line and the CSV files write it: numbers in their shortest form, true or false, the
    /// certification and the role as their codes (none, personal, enterprise; buyer, seller), the verdict as
    /// u"安全" or u"不安全".
    std::u16string (*value)(const ReputationFacts&);
    /// As the windows show it where that differs from the value: the codes in words (u"个人认证", u"买家", u"是").
    std::u16string (*shown)(const ReputationFacts&);

    std::u16string shownText(const ReputationFacts& facts) const { return shown ? shown(facts) : value(facts); }
};

/// Every fact of a check after the account, in the order of the JSON line.
std::span<const FactField> FactFields();

const char* CertificationCode(Certification certification);
const char* RoleCode(Role role);
const char16_t* VerdictText(Verdict verdict);

/// The paths of the facts that differ between two checks, in the order of FactFields().
std::vector<std::string> ChangedFacts(const ReputationFacts& before, const ReputationFacts& after);

/// A check as stored.
struct StoredCheck {
    std::int64_t id = 0;
    std::int64_t checkedAt = 0; ///< seconds since 1970-01-01 UTC
    ReputationFacts facts;      ///< without the raw rating page
};

/// Stores a completed check made at `checkedAt`. False when it could not be stored (the store reports why).
bool StoreCheck(LocalStore& store, const ReputationFacts& facts, std::int64_t checkedAt);
/// The account's newest stored check; none when there is none or the database cannot be read.
std::optional<StoredCheck> LatestCheck(LocalStore& store, const std::u16string& account);
/// The stored checks, newest first: of one account, or of every account when `account` is empty; at most
/// `limit` of them (0: all). None when the database cannot be read.
std::optional<std::vector<StoredCheck>> StoredChecks(LocalStore& store, const std::u16string& account,
                                                     std::size_t limit = 0);

/// The stored checks a window pages through: those of the accounts whose name holds `accountPart` (ASCII letters in
/// either case; every account when empty), stored up to the check `lastId`, so that checks stored meanwhile do not
/// shift the pages (0: every check).
struct CheckSelection {
    std::u16string accountPart;
    std::int64_t lastId = 0;
};

/// How many checks a selection holds; `lastId` is the newest of them, to keep the pages as they are now.
struct CheckCount {
    std::size_t count = 0;
    std::int64_t lastId = 0;
};

/// A stored check with the account's check before it (none for the account's first).
struct StoredCheckWithPrevious {
    StoredCheck check;
    std::optional<StoredCheck> previous;
};

/// The checks stored of the accounts whose name holds `accountPart`. None when the database cannot be read.
std::optional<CheckCount> CountStoredChecks(LocalStore& store, const std::u16string& accountPart);
/// One page of the selection, newest first: at most `count` checks from the `offset`-th (from 0). None when the
/// database cannot be read.
std::optional<std::vector<StoredCheckWithPrevious>> StoredCheckPage(LocalStore& store, const CheckSelection& selection,
                                                                    std::size_t offset, std::size_t count);

/// What the store adds to a completed check.
struct CheckContext {
    std::optional<StoredCheck> previous; ///< the account's check before this one
    std::vector<std::string> changed;    ///< ChangedFacts since the previous check
    std::optional<ListEntry> listed;     ///< the account's list entry
    bool saved = false;                  ///< this check is now in the history
};

/// Looks up the account's previous check and list entry, then stores this check. A database that cannot be
/// read or written leaves the parts it could not give empty.
CheckContext RecordCheck(LocalStore& store, const ReputationFacts& facts, std::int64_t checkedAt);

} // namespace tarvisk
