#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "core/files.h"
#include "jobs/reputation/reputation.h"
#include "store/check_history.h"
#include "store/ranking_history.h"

// What several commands of tarvisk-cli print or write: the JSON of a check's facts, JSON lines, CSV files.

namespace tarvisk::cli {

/// The facts of a check as one JSON object: account, registration_date, ..., week {good, neutral, bad},
/// month {...}, verdict; counts and credits as numbers.
nlohmann::ordered_json FactsJson(const ReputationFacts& facts);

/// A stored check: "checked_at" (ISO 8601 local time) followed by its facts.
nlohmann::ordered_json CheckedAtJson(std::int64_t checkedAt, const ReputationFacts& facts);

/// A stored ranking run: "ran_at" (ISO 8601 local time), "keyword", "item" or "shop", "outcome" (found, not_found,
/// incomplete), "text" (as RankingOutcomeText writes it), "position_kind" (grid: the older page; place: today's);
/// found: "page", then "row" and "column" (grid) or "place", "paid" and "natural_place" (place; 0 when not known),
/// "number", "item_id", "item_title"; then "pages_asked", "pages_walked" and "unread_pages" ([{"page", "reason",
/// "address"}]).
nlohmann::ordered_json RankingRunJson(const RankingRun& run);

/// Prints one JSON line on stdout (invalid text replaced, never thrown over; control characters in its texts
/// replaced, as TerminalText does).
void PrintJsonLine(const nlohmann::ordered_json& json);

/// A CSV file a command writes as it goes, put in place whole when it commits (until then an earlier file stays as it
/// was). A read-only file is never replaced: the user made it so (a window asks first instead). Problems are said on
/// stderr, naming the command.
class CsvOutput {
public:
    /// With an empty `file` no file was asked for: every call succeeds and writes nothing.
    CsvOutput(std::string command, std::string file);
    ~CsvOutput();
    CsvOutput(const CsvOutput&) = delete;
    CsvOutput& operator=(const CsvOutput&) = delete;

    /// False when the file is read-only (said on stderr when the output was made).
    bool allowed() const;
    void append(std::string_view bytes);
    /// Puts the file in place; false, said on stderr, when it could not be written (or was not allowed).
    bool commit();

private:
    std::string m_command;
    std::string m_file;
    std::unique_ptr<FileReplacement> m_replacement;
};

/// Writes a CSV table to `file` through a CsvOutput; false when it was refused or could not be written.
bool WriteCsvOutput(const std::string& command, const std::string& file, const std::string& bytes);

/// A stopped job writes no CSV file, which would hold only part of its answer (an earlier file stays as it was):
/// says so on stderr when `file` was asked for.
void SkipCsvOutput(const std::string& command, const std::string& file);

} // namespace tarvisk::cli
