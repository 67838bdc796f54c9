#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "jobs/reputation/reputation.h"
#include "jobs/shop/shop_crawl.h"
#include "store/check_history.h"
#include "store/ranking_history.h"
#include "table/result_table.h"

// The tables the windows and tarvisk-cli export as CSV files (see store/csv.h for how cells are written):
// checks (of a run, a batch or the history), a ranking result table, ranking runs, a shop listing.

namespace tarvisk {

/// One row of a table of checks: a completed check, or an account whose check ended without a report.
struct CheckRow {
    std::u16string account;
    std::optional<ReputationFacts> facts; ///< none when the check gave no report
    std::u16string message;               ///< why there is no report
    std::int64_t checkedAt = 0;           ///< seconds since 1970-01-01 UTC; 0 when not known
    std::optional<ListEntry> listed;
    std::optional<StoredCheck> previous;
};

/// The row of a stored check, with the account's check before it and its list entry.
CheckRow HistoryRow(const StoredCheck& check, std::optional<StoredCheck> previous, std::optional<ListEntry> listed);

/// Rows of stored checks (newest first), each with the account's check before it among them and its list entry.
std::vector<CheckRow> HistoryRows(const std::vector<StoredCheck>& checks, const std::vector<ListEntry>& lists);

/// The checks with the header checked_at, account, every fact (FactFields(), "week.good" written
/// "week_good"), list, note, previous_checked_at, previous_verdict, message. Times in local time as
/// "2024-05-01 14:03:22"; user ids as ids.
std::string ChecksCsv(const std::vector<CheckRow>& rows);

/// A result table with its column titles as the header; the column titled `idColumn` holds ids.
std::string ResultTableCsv(const ResultTable& table, std::u16string_view idColumn);

/// Ranking runs with the header ran_at, keyword, target_kind, target, outcome (as RankingOutcomeText writes it),
/// page, row, column, number, item_id, item_title, pages_asked, pages_walked, unread_pages ("3 login", several
/// separated by "; "). Found-only cells are empty for the other runs; times in local time; ids as ids.
std::string RankingRunsCsv(const std::vector<RankingRun>& runs);

/// A shop listing with the header id, title.
std::string ShopListingCsv(const std::vector<ShopItem>& items);

/// Writes an exported table to `file` (replacing it whole, readable by others). False when it cannot be written.
bool WriteCsvFile(const std::filesystem::path& file, const std::string& bytes);

} // namespace tarvisk
