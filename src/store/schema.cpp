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
    // Version 2: the ranking walks that gave an answer (one row a walk: its keyword and target, where the target
    // stood or that it was not found, how many pages it read), the pages each walk could not read, and the
    // keywords the ranking window tracks (one row a keyword, in the user's order).
    {2, R"sql(
CREATE TABLE ranking_runs (
    id INTEGER PRIMARY KEY,
    ran_at INTEGER NOT NULL,              -- seconds since 1970-01-01 UTC
    keyword TEXT NOT NULL,
    target_kind TEXT NOT NULL CHECK (target_kind IN ('item', 'shop')),
    target TEXT NOT NULL,                 -- the item id, or the shop's host (demoshop1.taobao.com)
    outcome TEXT NOT NULL CHECK (outcome IN ('found', 'not_found', 'incomplete')),
    found_page INTEGER NOT NULL,          -- found: page, row and column on the page, row number of the walk;
    found_row INTEGER NOT NULL,           -- else 0
    found_column INTEGER NOT NULL,
    found_number INTEGER NOT NULL,
    item_id TEXT NOT NULL,                -- found: the item met (of a shop: which one); else empty
    item_title TEXT NOT NULL,
    pages_asked INTEGER NOT NULL,
    pages_walked INTEGER NOT NULL
);
CREATE INDEX ranking_runs_by_keyword ON ranking_runs (keyword, target_kind, target, ran_at);
CREATE INDEX ranking_runs_by_target ON ranking_runs (target_kind, target, ran_at);
CREATE TABLE ranking_unread_pages (
    run_id INTEGER NOT NULL REFERENCES ranking_runs (id) ON DELETE CASCADE,
    page INTEGER NOT NULL,
    kind TEXT NOT NULL,                   -- empty, login, verification
    address TEXT NOT NULL,
    PRIMARY KEY (run_id, page)
);
CREATE TABLE tracked_keywords (
    position INTEGER PRIMARY KEY,
    keyword TEXT NOT NULL UNIQUE
);
)sql"},
    // Version 3: how the pages a ranking walk read place their items (grid: the older page's rows of four; place:
    // today's page, the place on the page), whether a found item was a paid placement, and its place among the
    // unpaid items (0 when not known). Runs stored before are of the older page.
    {3, R"sql(
ALTER TABLE ranking_runs ADD COLUMN position_kind TEXT NOT NULL DEFAULT 'grid'
    CHECK (position_kind IN ('grid', 'place'));
ALTER TABLE ranking_runs ADD COLUMN found_paid INTEGER NOT NULL DEFAULT 0;
ALTER TABLE ranking_runs ADD COLUMN natural_place INTEGER NOT NULL DEFAULT 0;
)sql"},
    // Version 4: every item a ranking walk listed, in walk order, with what its page said of it, so that the items
    // above the target can be compared from run to run; and the runs by time, for pruning.
    {4, R"sql(
CREATE TABLE ranking_run_items (
    run_id INTEGER NOT NULL REFERENCES ranking_runs (id) ON DELETE CASCADE,
    number INTEGER NOT NULL,              -- the row number of the walk, from 1
    page INTEGER NOT NULL,
    place INTEGER NOT NULL,               -- on its page, from 1
    position TEXT NOT NULL,               -- as shown: 2页 第15个, 1页 第2个（广告）, 2页 2行 第3
    item_id TEXT NOT NULL,
    title TEXT NOT NULL,
    shop TEXT NOT NULL,                   -- empty where the page does not say, as price
    price TEXT NOT NULL,
    sales TEXT NOT NULL,
    paid INTEGER NOT NULL,                -- 0 or 1
    PRIMARY KEY (run_id, number)
) WITHOUT ROWID;
CREATE INDEX ranking_runs_by_time ON ranking_runs (ran_at);
)sql"},
    // Version 5: a tracked keyword belongs to a target of its own (several items and shops, each with its keywords)
    // and carries its alert rule. Keywords tracked before take the ranking window's target once, when the programs
    // first read them (target kind 'window' until then).
    {5, R"sql(
CREATE TABLE tracked_keywords_by_target (
    position INTEGER PRIMARY KEY,
    keyword TEXT NOT NULL,
    target_kind TEXT NOT NULL CHECK (target_kind IN ('item', 'shop', 'window')),
    target TEXT NOT NULL,                 -- the item id, or the shop's host; empty for 'window'
    alert_drop INTEGER NOT NULL DEFAULT 5, -- an alert for a drop of this many places or more; 0: none
    alert_fell_out INTEGER NOT NULL DEFAULT 1,
    alert_unread INTEGER NOT NULL DEFAULT 1,
    UNIQUE (keyword, target_kind, target)
);
INSERT INTO tracked_keywords_by_target (position, keyword, target_kind, target)
    SELECT position, keyword, 'window', '' FROM tracked_keywords;
DROP TABLE tracked_keywords;
ALTER TABLE tracked_keywords_by_target RENAME TO tracked_keywords;
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
