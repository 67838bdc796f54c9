#include "store/schema.h"

#include <string>

#include <SQLiteCpp/Database.h>

namespace tarvisk {

namespace {

// Version 1: completed reputation checks (one row a check, every fact as found, newest by checked_at) and
// the buyer lists (one row an account: on the block or the allow list, with one note).
constexpr SchemaStep kSteps[] = {
    {1, R"sql(
CREATE TABLE checks (
    id INTEGER PRIMARY KEY,
    checked_at INTEGER NOT NULL,          -- seconds since 1970-01-01 UTC
    account TEXT NOT NULL,
    registration_date TEXT NOT NULL,      -- as printed, e.g. 2014年11月26日
    days_since_registration INTEGER NOT NULL,
    new_account INTEGER NOT NULL,         -- 0 or 1
    user_id TEXT NOT NULL,
    rating_link TEXT NOT NULL,
    good_rate TEXT NOT NULL,              -- as printed, e.g. 99.85; empty when none was shown
    certification TEXT NOT NULL,          -- none, personal, enterprise
    role TEXT NOT NULL,                   -- buyer, seller
    seller_credit REAL NOT NULL,
    buyer_credit REAL NOT NULL,
    week_good REAL NOT NULL,
    week_neutral REAL NOT NULL,
    week_bad REAL NOT NULL,
    month_good REAL NOT NULL,
    month_neutral REAL NOT NULL,
    month_bad REAL NOT NULL,
    verdict TEXT NOT NULL                 -- safe, unsafe
);
CREATE INDEX checks_by_account ON checks (account, checked_at);
CREATE INDEX checks_by_time ON checks (checked_at);
CREATE TABLE buyer_lists (
    account TEXT PRIMARY KEY,
    list TEXT NOT NULL CHECK (list IN ('block', 'allow')),
    note TEXT NOT NULL DEFAULT '',
    updated_at INTEGER NOT NULL           -- seconds since 1970-01-01 UTC
);
)sql"},
};

} // namespace

std::span<const SchemaStep> SchemaSteps() {
    return kSteps;
}

int SchemaVersion(SQLite::Database& db) {
    return db.execAndGet("PRAGMA user_version").getInt();
}

void ApplySchemaSteps(SQLite::Database& db, std::span<const SchemaStep> steps) {
    const int from = SchemaVersion(db);
    int version = from;
    for (const SchemaStep& step : steps) {
        if (step.version > version) {
            db.exec(step.sql);
            version = step.version;
        }
    }
    if (version != from) {
        db.exec("PRAGMA user_version = " + std::to_string(version));
    }
    db.exec("PRAGMA application_id = " + std::to_string(kApplicationId));
}

} // namespace tarvisk
