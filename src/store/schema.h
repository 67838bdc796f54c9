#pragma once

#include <cstdint>
#include <span>

namespace SQLite {
class Database;
}

// The layout of the local database. Its PRAGMA user_version is the number of the last step applied; the
// store applies the missing steps, in order and in one transaction, whenever it opens the file, so a file
// written by an older version of the program is brought up to date and one written by a newer version is
// left alone. A later version adds its tables by appending a step, never by changing one, not even a comment in
// it: SQLite keeps each statement's text, and the store compares a file's schema with what the steps make, so a
// file with anything else (a trigger or a view someone added) is refused as not the program's own.

namespace tarvisk {

/// One step: the statements that bring the database from `version` - 1 to `version`.
struct SchemaStep {
    int version;
    const char* sql;
};

/// Every step of the program's schema, versions 1, 2, ... in order.
std::span<const SchemaStep> SchemaSteps();

/// Marks the file as the program's own (PRAGMA application_id), so that another program's database at the
/// same place is never changed.
inline constexpr std::int32_t kApplicationId = 0x5476736B; // "Tvsk"

/// The version a database file has (its user_version).
int SchemaVersion(SQLite::Database& db);

/// Applies the steps of `steps` above the database's version, in order, and records the new version and the
/// application id. Runs inside the caller's transaction; throws SQLite::Exception when a statement fails.
void ApplySchemaSteps(SQLite::Database& db, std::span<const SchemaStep> steps);

} // namespace tarvisk
