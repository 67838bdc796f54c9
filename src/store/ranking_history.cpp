#include "store/ranking_history.h"

#include <algorithm>
#include <iterator>

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include "store/local_store.h"
#include "text/encoding.h"

namespace tarvisk {

namespace {

constexpr char kRunColumns[] = "id, ran_at, keyword, target_kind, target, outcome, found_page, found_row, "
                               "found_column, found_number, item_id, item_title, pages_asked, pages_walked, "
                               "position_kind, found_paid, natural_place";
constexpr int kRunColumnCount = 17;

constexpr RankingOutcome kOutcomes[] = {RankingOutcome::Found, RankingOutcome::NotFound, RankingOutcome::Incomplete};

PageKind pageKindOf(const std::string& name) {
    for (const PageKind kind : kPageKinds) {
        if (name == PageKindName(kind)) {
            return kind;
        }
    }
    return PageKind::Unrecognised;
}

RankingOutcome outcomeOf(const std::string& code) {
    for (const RankingOutcome outcome : kOutcomes) {
        if (code == RankingOutcomeCode(outcome)) {
            return outcome;
        }
    }
    return RankingOutcome::Incomplete;
}

RankingRun runOf(SQLite::Statement& row) {
    RankingRun run;
    run.id = row.getColumn(0).getInt64();
    run.ranAt = row.getColumn(1).getInt64();
    run.keyword = FromUtf8(row.getColumn(2).getString());
    run.target.kind = row.getColumn(3).getString() == "shop" ? RankingTarget::ShopItems : RankingTarget::OneItem;
    run.target.value = FromUtf8(row.getColumn(4).getString());
    run.outcome = outcomeOf(row.getColumn(5).getString());
    run.page = row.getColumn(6).getInt();
    run.row = row.getColumn(7).getInt();
    run.column = row.getColumn(8).getInt();
    run.number = row.getColumn(9).getInt();
    run.itemId = FromUtf8(row.getColumn(10).getString());
    run.itemTitle = FromUtf8(row.getColumn(11).getString());
    run.pagesAsked = row.getColumn(12).getInt();
    run.pagesWalked = row.getColumn(13).getInt();
    run.positionKind = row.getColumn(14).getString() == PositionKindCode(RankingPositionKind::Place)
                           ? RankingPositionKind::Place
                           : RankingPositionKind::Grid;
    run.paid = row.getColumn(15).getInt() != 0;
    run.naturalPlace = row.getColumn(16).getInt();
    return run;
}

/// The condition and the parameters that choose the runs of a keyword and a target (either may be left open).
struct RunFilter {
    std::string where;
    std::vector<std::string> parameters;
};

RunFilter runFilter(const std::u16string& keyword, const std::optional<TrackedTarget>& target) {
    RunFilter filter;
    std::vector<std::string> conditions;
    if (!keyword.empty()) {
        conditions.emplace_back("keyword = ?");
        filter.parameters.push_back(ToUtf8(keyword));
    }
    if (target) {
        conditions.emplace_back("target_kind = ?");
        conditions.emplace_back("target = ?");
        filter.parameters.emplace_back(TrackedTargetCode(target->kind));
        filter.parameters.push_back(ToUtf8(target->value));
    }
    for (std::size_t i = 0; i < conditions.size(); ++i) {
        filter.where += (i == 0 ? " WHERE " : " AND ") + conditions[i];
    }
    return filter;
}

void bindAll(SQLite::Statement& statement, const std::vector<std::string>& parameters) {
    int index = 1;
    for (const std::string& parameter : parameters) {
        statement.bind(index++, parameter);
    }
}

} // namespace

bool StoreRankingRun(LocalStore& store, const RankingRun& run) {
    return store.write([&](SQLite::Database& db) {
        SQLite::Statement insert(db, "INSERT INTO ranking_runs (ran_at, keyword, target_kind, target, outcome, "
                                     "found_page, found_row, found_column, found_number, item_id, item_title, "
                                     "pages_asked, pages_walked, position_kind, found_paid, natural_place) "
                                     "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        insert.bind(1, static_cast<int64_t>(run.ranAt));
        insert.bind(2, ToUtf8(run.keyword));
        insert.bind(3, TrackedTargetCode(run.target.kind));
        insert.bind(4, ToUtf8(run.target.value));
        insert.bind(5, RankingOutcomeCode(run.outcome));
        int column = 6;
        for (const int number : {run.page, run.row, run.column, run.number}) {
            insert.bind(column++, number);
        }
        insert.bind(10, ToUtf8(run.itemId));
        insert.bind(11, ToUtf8(run.itemTitle));
        insert.bind(12, run.pagesAsked);
        insert.bind(13, run.pagesWalked);
        insert.bind(14, PositionKindCode(run.positionKind));
        insert.bind(15, run.paid ? 1 : 0);
        insert.bind(16, run.naturalPlace);
        insert.exec();
        const std::int64_t id = db.getLastInsertRowid();
        SQLite::Statement page(db,
                               "INSERT INTO ranking_unread_pages (run_id, page, kind, address) VALUES (?, ?, ?, ?)");
        for (const UnreadPage& unread : run.unreadPages) {
            page.bind(1, static_cast<int64_t>(id));
            page.bind(2, unread.number);
            page.bind(3, PageKindName(unread.kind));
            page.bind(4, ToUtf8(unread.address));
            page.exec();
            page.reset();
        }
        // A walk of 100 pages lists 4,400 items: one statement, bound again for each.
        SQLite::Statement item(db, "INSERT INTO ranking_run_items (run_id, number, page, place, position, item_id, "
                                   "title, shop, price, sales, paid) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        for (const RunItem& listed : run.items) {
            item.bind(1, static_cast<int64_t>(id));
            item.bind(2, listed.number);
            item.bind(3, listed.page);
            item.bind(4, listed.place);
            item.bind(5, ToUtf8(listed.position));
            item.bind(6, ToUtf8(listed.id));
            item.bind(7, ToUtf8(listed.title));
            item.bind(8, ToUtf8(listed.shop));
            item.bind(9, ToUtf8(listed.price));
            item.bind(10, ToUtf8(listed.sales));
            item.bind(11, listed.paid ? 1 : 0);
            item.exec();
            item.reset();
        }
    });
}

std::optional<std::vector<RankingRun>> StoredRankingRuns(LocalStore& store, const std::u16string& keyword,
                                                         const std::optional<TrackedTarget>& target,
                                                         std::size_t limit) {
    std::vector<RankingRun> runs;
    const RunFilter filter = runFilter(keyword, target);
    // One statement reads the runs and their unread pages, so both come from the same moment of the file even while
    // another program stores a run. Runs made in the same second keep the order in which they were stored.
    const std::string chosen = std::string("SELECT ") + kRunColumns + " FROM ranking_runs" + filter.where +
                               " ORDER BY ran_at DESC, id DESC" +
                               (limit > 0 ? " LIMIT " + std::to_string(limit) : std::string());
    const bool read = store.read([&](SQLite::Database& db) {
        SQLite::Statement query(db, "SELECT runs.*, pages.page, pages.kind, pages.address FROM (" + chosen +
                                        ") AS runs LEFT JOIN ranking_unread_pages AS pages ON pages.run_id = runs.id "
                                        "ORDER BY runs.ran_at DESC, runs.id DESC, pages.page");
        bindAll(query, filter.parameters);
        while (query.executeStep()) {
            if (runs.empty() || runs.back().id != query.getColumn(0).getInt64()) {
                runs.push_back(runOf(query));
            }
            if (const int page = kRunColumnCount; !query.getColumn(page).isNull()) {
                runs.back().unreadPages.push_back({query.getColumn(page).getInt(),
                                                   pageKindOf(query.getColumn(page + 1).getString()),
                                                   FromUtf8(query.getColumn(page + 2).getString())});
            }
        }
    });
    return read ? std::optional(std::move(runs)) : std::nullopt;
}

std::optional<std::vector<TrackedTarget>> RankedTargets(LocalStore& store) {
    std::vector<TrackedTarget> targets;
    const bool read = store.read([&](SQLite::Database& db) {
        SQLite::Statement query(db, "SELECT target_kind, target FROM ranking_runs GROUP BY target_kind, target "
                                    "ORDER BY max(ran_at) DESC, max(id) DESC");
        while (query.executeStep()) {
            targets.push_back(
                {query.getColumn(0).getString() == "shop" ? RankingTarget::ShopItems : RankingTarget::OneItem,
                 FromUtf8(query.getColumn(1).getString())});
        }
    });
    return read ? std::optional(std::move(targets)) : std::nullopt;
}

std::u16string NewestItemTitle(LocalStore& store, const TrackedTarget& target) {
    std::u16string title;
    const RunFilter filter = runFilter(u"", target);
    store.read([&](SQLite::Database& db) {
        SQLite::Statement query(db, "SELECT item_title FROM ranking_runs" + filter.where +
                                        " AND item_title <> '' ORDER BY ran_at DESC, id DESC LIMIT 1");
        bindAll(query, filter.parameters);
        if (query.executeStep()) {
            title = FromUtf8(query.getColumn(0).getString());
        }
    });
    return title;
}

std::optional<RankingRun> PreviousRankingRun(LocalStore& store, const std::u16string& keyword,
                                             const TrackedTarget& target) {
    const auto runs = StoredRankingRuns(store, keyword, target);
    return runs ? ComparedRun(*runs) : std::nullopt;
}

std::optional<std::vector<RunItem>> StoredRunItems(LocalStore& store, std::int64_t runId) {
    std::vector<RunItem> items;
    const bool read = store.read([&](SQLite::Database& db) {
        SQLite::Statement query(db, "SELECT number, page, place, position, item_id, title, shop, price, sales, paid "
                                    "FROM ranking_run_items WHERE run_id = ? ORDER BY number");
        query.bind(1, static_cast<int64_t>(runId));
        while (query.executeStep()) {
            items.push_back({query.getColumn(0).getInt(), query.getColumn(1).getInt(), query.getColumn(2).getInt(),
                             FromUtf8(query.getColumn(3).getString()), FromUtf8(query.getColumn(4).getString()),
                             FromUtf8(query.getColumn(5).getString()), FromUtf8(query.getColumn(6).getString()),
                             FromUtf8(query.getColumn(7).getString()), FromUtf8(query.getColumn(8).getString()),
                             query.getColumn(9).getInt() != 0});
        }
    });
    return read ? std::optional(std::move(items)) : std::nullopt;
}

std::optional<CompetitorView> StoredCompetitors(LocalStore& store, const std::u16string& keyword,
                                                const TrackedTarget& target) {
    const auto runs = StoredRankingRuns(store, keyword, target);
    if (!runs) {
        return std::nullopt;
    }
    const auto answered = [](const RankingRun& run) { return run.outcome != RankingOutcome::Incomplete; };
    CompetitorView view;
    const auto newest = std::ranges::find_if(*runs, answered);
    if (newest == runs->end()) {
        return view;
    }
    // A run of the other page places its items differently: it is passed over, not compared.
    const auto previous = std::find_if(std::next(newest), runs->end(), [&](const RankingRun& run) {
        return answered(run) && run.positionKind == newest->positionKind;
    });
    view.run = *newest;
    auto items = StoredRunItems(store, newest->id);
    if (!items) {
        return std::nullopt;
    }
    view.run->items = std::move(*items);
    if (previous != runs->end()) {
        items = StoredRunItems(store, previous->id);
        if (!items) {
            return std::nullopt;
        }
        // A run stored before the history kept items cannot tell who stood above the target then.
        if (!items->empty()) {
            view.previous = *previous;
            view.previous->items = std::move(*items);
        }
    }
    view.competitors = CompareCompetitors(*view.run, view.previous);
    return view;
}

std::optional<std::int64_t> PruneRankingRuns(LocalStore& store, std::int64_t before) {
    std::int64_t deleted = 0;
    // Their unread pages and items go with them (ON DELETE CASCADE, the store turns foreign keys on).
    const bool written = store.write([&](SQLite::Database& db) {
        SQLite::Statement remove(db, "DELETE FROM ranking_runs WHERE ran_at < ?");
        remove.bind(1, static_cast<int64_t>(before));
        deleted = remove.exec();
    });
    return written ? std::optional(deleted) : std::nullopt;
}

RankingRunContext RecordRankingRun(LocalStore& store, const RankingRun& run) {
    RankingRunContext context;
    context.previous = PreviousRankingRun(store, run.keyword, run.target);
    context.saved = StoreRankingRun(store, run);
    return context;
}

} // namespace tarvisk
