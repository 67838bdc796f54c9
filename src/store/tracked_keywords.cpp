#include "store/tracked_keywords.h"

#include <algorithm>
#include <set>

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include "jobs/ranking/ranking_search.h"
#include "store/local_store.h"
#include "store/ranking_history.h"
#include "text/encoding.h"

namespace tarvisk {

namespace {

// The kind of a keyword tracked before keywords had targets.
constexpr char kWindowKind[] = "window";

AlertRule ruleOf(SQLite::Statement& row, int first) {
    return {row.getColumn(first).getInt(), row.getColumn(first + 1).getInt() != 0,
            row.getColumn(first + 2).getInt() != 0};
}

void bindTarget(SQLite::Statement& statement, int first, const TrackedTarget& target) {
    statement.bind(first, TrackedTargetCode(target.kind));
    statement.bind(first + 1, ToUtf8(target.value));
}

void bindRule(SQLite::Statement& statement, int first, const AlertRule& rule) {
    statement.bind(first, rule.dropPlaces);
    statement.bind(first + 1, rule.fellOut ? 1 : 0);
    statement.bind(first + 2, rule.unread ? 1 : 0);
}

/// Inserts `keyword` for `target` after every tracked keyword.
void insertKeyword(SQLite::Database& db, const std::u16string& keyword, const TrackedTarget& target,
                   const AlertRule& rule) {
    SQLite::Statement insert(db, "INSERT INTO tracked_keywords (position, keyword, target_kind, target, alert_drop, "
                                 "alert_fell_out, alert_unread) SELECT coalesce(max(position), 0) + 1, ?, ?, ?, ?, ?, "
                                 "? FROM tracked_keywords");
    insert.bind(1, ToUtf8(keyword));
    bindTarget(insert, 2, target);
    bindRule(insert, 4, rule);
    insert.exec();
}

} // namespace

std::optional<std::vector<TrackedKeyword>> TrackedKeywords(LocalStore& store) {
    std::vector<TrackedKeyword> keywords;
    const bool read = store.read([&](SQLite::Database& db) {
        SQLite::Statement query(db, "SELECT keyword, target_kind, target, alert_drop, alert_fell_out, alert_unread "
                                    "FROM tracked_keywords ORDER BY position");
        while (query.executeStep()) {
            TrackedKeyword keyword;
            keyword.keyword = FromUtf8(query.getColumn(0).getString());
            const std::string kind = query.getColumn(1).getString();
            keyword.target.kind = kind == "shop" ? RankingTarget::ShopItems : RankingTarget::OneItem;
            if (kind != kWindowKind) {
                keyword.target.value = FromUtf8(query.getColumn(2).getString());
            }
            keyword.alert = ruleOf(query, 3);
            keywords.push_back(std::move(keyword));
        }
    });
    return read ? std::optional(std::move(keywords)) : std::nullopt;
}

std::vector<TrackedTarget> TrackedTargets(const std::vector<TrackedKeyword>& keywords) {
    std::vector<TrackedTarget> targets;
    for (const TrackedKeyword& keyword : keywords) {
        if (keyword.hasTarget() && std::ranges::find(targets, keyword.target) == targets.end()) {
            targets.push_back(keyword.target);
        }
    }
    return targets;
}

std::vector<std::u16string> KeywordsOf(const std::vector<TrackedKeyword>& keywords, const TrackedTarget& target) {
    std::vector<std::u16string> of;
    for (const TrackedKeyword& keyword : keywords) {
        if (keyword.target == target) {
            of.push_back(keyword.keyword);
        }
    }
    return of;
}

bool AdoptWindowTarget(LocalStore& store, const TrackedTarget& windowTarget) {
    return store.write([&](SQLite::Database& db) {
        // A keyword the target already tracks stays once, where it was.
        SQLite::Statement drop(db, "DELETE FROM tracked_keywords WHERE target_kind = 'window' AND keyword IN "
                                   "(SELECT keyword FROM tracked_keywords WHERE target_kind = ? AND target = ?)");
        bindTarget(drop, 1, windowTarget);
        drop.exec();
        SQLite::Statement adopt(db, "UPDATE tracked_keywords SET target_kind = ?, target = ? "
                                    "WHERE target_kind = 'window'");
        bindTarget(adopt, 1, windowTarget);
        adopt.exec();
    });
}

bool SetTargetKeywords(LocalStore& store, const TrackedTarget& target, const std::vector<std::u16string>& keywords,
                       const AlertRule& rule) {
    return store.write([&](SQLite::Database& db) {
        std::vector<std::pair<std::u16string, AlertRule>> kept;
        {
            SQLite::Statement query(db, "SELECT keyword, alert_drop, alert_fell_out, alert_unread FROM "
                                        "tracked_keywords WHERE target_kind = ? AND target = ?");
            bindTarget(query, 1, target);
            while (query.executeStep()) {
                kept.emplace_back(FromUtf8(query.getColumn(0).getString()), ruleOf(query, 1));
            }
        }
        SQLite::Statement clear(db, "DELETE FROM tracked_keywords WHERE target_kind = ? AND target = ?");
        bindTarget(clear, 1, target);
        clear.exec();
        std::set<std::u16string> seen;
        for (const std::u16string& keyword : keywords) {
            if (IsBlankKeyword(keyword) || !seen.insert(keyword).second) {
                continue;
            }
            const auto old = std::ranges::find(kept, keyword, &std::pair<std::u16string, AlertRule>::first);
            insertKeyword(db, keyword, target, old == kept.end() ? rule : old->second);
        }
    });
}

bool SetTargetAlertRule(LocalStore& store, const TrackedTarget& target, const AlertRule& rule) {
    return store.write([&](SQLite::Database& db) {
        SQLite::Statement update(db, "UPDATE tracked_keywords SET alert_drop = ?, alert_fell_out = ?, "
                                     "alert_unread = ? WHERE target_kind = ? AND target = ?");
        bindRule(update, 1, rule);
        bindTarget(update, 4, target);
        update.exec();
    });
}

TrackChange AddTrackedKeyword(LocalStore& store, const std::u16string& keyword, const TrackedTarget& target,
                              const AlertRule& rule) {
    TrackChange change = TrackChange::Added;
    const bool written = store.write([&](SQLite::Database& db) {
        SQLite::Statement update(db, "UPDATE tracked_keywords SET alert_drop = ?, alert_fell_out = ?, "
                                     "alert_unread = ? WHERE keyword = ? AND target_kind = ? AND target = ?");
        bindRule(update, 1, rule);
        update.bind(4, ToUtf8(keyword));
        bindTarget(update, 5, target);
        if (update.exec() > 0) {
            change = TrackChange::Updated;
            return;
        }
        insertKeyword(db, keyword, target, rule);
    });
    return written ? change : TrackChange::Failed;
}

TrackChange RemoveTrackedKeyword(LocalStore& store, const std::u16string& keyword, const TrackedTarget& target) {
    int removed = 0;
    const bool written = store.write([&](SQLite::Database& db) {
        SQLite::Statement remove(db,
                                 "DELETE FROM tracked_keywords WHERE keyword = ? AND target_kind = ? AND target = ?");
        remove.bind(1, ToUtf8(keyword));
        bindTarget(remove, 2, target);
        removed = remove.exec();
    });
    if (!written) {
        return TrackChange::Failed;
    }
    return removed > 0 ? TrackChange::Removed : TrackChange::NotTracked;
}

std::u16string TrackedTargetCaption(LocalStore& store, const TrackedTarget& target) {
    if (target.kind == RankingTarget::OneItem) {
        const std::u16string title = NewestItemTitle(store, target);
        return TrackedTargetText(target) + (title.empty() ? u"" : u" " + title);
    }
    std::u16string name;
    store.read([&](SQLite::Database& db) {
        SQLite::Statement query(db, "SELECT items.shop FROM ranking_runs AS runs JOIN ranking_run_items AS items ON "
                                    "items.run_id = runs.id AND items.item_id = runs.item_id WHERE runs.target_kind = "
                                    "'shop' AND runs.target = ? AND runs.outcome = 'found' AND items.shop <> '' "
                                    "ORDER BY runs.ran_at DESC, runs.id DESC LIMIT 1");
        query.bind(1, ToUtf8(target.value));
        if (query.executeStep()) {
            name = FromUtf8(query.getColumn(0).getString());
        }
    });
    return name.empty() ? TrackedTargetText(target) : u"店铺 " + name + u"（" + target.value + u"）";
}

} // namespace tarvisk
