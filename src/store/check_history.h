#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "jobs/reputation/reputation.h"
#include "store/buyer_lists.h"
#include "store/local_store.h"

// The history of reputation checks: every completed check is stored with its time and every fact, so
// that the next check of the same account can tell what changed since.

namespace tarvisk {

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
/// The account's newest stored check: none when there is none, unknown when the database cannot be read.
StoredValue<StoredCheck> LatestCheck(LocalStore& store, const std::u16string& account);

/// Which stored checks a read gives, newest first.
struct CheckQuery {
    std::u16string account;  ///< only the checks of this account (every account's when empty)
    bool partOfName = false; ///< `account` is any part of the accounts' names
    std::size_t offset = 0;  ///< skip this many first
    std::size_t limit = 0;   ///< at most this many (0: all)
    std::int64_t upToId = 0; ///< only the checks stored up to this one, so that later ones do not shift an offset
};
/// The stored checks the query chooses. None when the database cannot be read.
std::optional<std::vector<StoredCheck>> StoredChecks(LocalStore& store, const CheckQuery& query);

/// What the windows, the command line and the CSV files say of a list entry or a previous check that could not be
/// read: never "on no list" or "first check", which may be false.
inline constexpr char16_t kListUnknownText[] = u"名单状态未知";
inline constexpr char16_t kPreviousUnknownText[] = u"上次查询未知";

/// One row of a table of checks: a completed check, or an account whose check ended without a report.
struct CheckRow {
    std::u16string account;
    std::optional<ReputationFacts> facts; ///< none when the check gave no report
    std::u16string message;               ///< why there is no report
    std::int64_t checkedAt = 0;           ///< seconds since 1970-01-01 UTC; 0 when not known
    StoredValue<ListEntry> listed;
    StoredValue<StoredCheck> previous;
};
/// The stored checks the query chooses as rows, each with the account's check before it (whether or not the query
/// chose that one) and its list entry, handed to `row` one at a time in one read, so that a history of millions of
/// checks is never held whole. False when the database cannot be read.
bool ReadCheckRows(LocalStore& store, const CheckQuery& query, const std::function<void(CheckRow&&)>& row);

/// How many checks a query chooses (its offset and limit aside); `lastId` is the newest of them, so that a window
/// can keep its pages as they are now (CheckQuery::upToId).
struct CheckCount {
    std::size_t count = 0;
    std::int64_t lastId = 0;
};
/// None when the database cannot be read.
std::optional<CheckCount> CountStoredChecks(LocalStore& store, const CheckQuery& query);

/// What the store adds to a completed check.
struct CheckContext {
    StoredValue<StoredCheck> previous;   ///< the account's check before this one
    std::vector<std::string> changed;    ///< ChangedFacts since the previous check
    StoredValue<ListEntry> listed;       ///< the account's list entry
    bool saved = false;                  ///< this check is now in the history
    std::optional<StoreProblem> problem; ///< the first problem met: why a part is unknown or the check not saved
};

/// Looks up the account's previous check and list entry, then stores this check. What the database could not give
/// is unknown, with the problem.
CheckContext RecordCheck(LocalStore& store, const ReputationFacts& facts, std::int64_t checkedAt);

} // namespace tarvisk
