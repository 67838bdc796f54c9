#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "jobs/reputation/reputation.h"
#include "store/check_history.h"
#include "store/ranking_history.h"

// What several commands of tarvisk-cli print or write: the JSON of a check's facts, JSON lines, CSV files.

namespace tarvisk::cli {

/// The facts of a check as one JSON object: account, registration_date, ..., week {good, neutral, bad},
/// month {...}, verdict; counts and credits as numbers.
nlohmann::ordered_json FactsJson(const ReputationFacts& facts);

/// A stored check: "checked_at" (ISO 8601 local time) followed by its facts.
nlohmann::ordered_json CheckedAtJson(const StoredCheck& check);

/// A stored ranking run: "ran_at" (ISO 8601 local time), "keyword", "item" or "shop", "outcome" (found, not_found,
/// incomplete), "text" (as RankingOutcomeText writes it); found: "page", "row", "column", "number", "item_id",
/// "item_title"; then "pages_asked", "pages_walked" and "unread_pages" ([{"page", "reason", "address"}]).
nlohmann::ordered_json RankingRunJson(const RankingRun& run);

/// Prints one JSON line on stdout (invalid text replaced, never thrown over; control characters in its texts
/// replaced, as TerminalText does).
void PrintJsonLine(const nlohmann::ordered_json& json);

/// Writes a CSV table to `file`; on failure says so on stderr, naming the command, and returns false.
bool WriteCsvOutput(const std::string& command, const std::string& file, const std::string& bytes);

/// A stopped job writes no CSV file, which would hold only part of its answer (an earlier file stays as it was):
/// says so on stderr when `file` was asked for.
void SkipCsvOutput(const std::string& command, const std::string& file);

} // namespace tarvisk::cli
