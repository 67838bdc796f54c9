#include "store/check_history.h"

#include <limits>

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include "store/local_store.h"
#include "text/encoding.h"
#include "text/numbers.h"

namespace tarvisk {

namespace {

using Facts = ReputationFacts;

std::u16string codeText(const char* code) {
    return FromUtf8(code);
}

// The fact's value is also what the window shows, unless the field names a second function.
constexpr FactField kFields[] = {
    {"registration_date", u"注册时间", [](const Facts& f) { return f.registrationDate; }, nullptr},
    {"days_since_registration", u"注册天数", [](const Facts& f) { return NumberText(f.daysSinceRegistration); },
     nullptr},
    {"new_account", u"新账号", [](const Facts& f) { return std::u16string(f.newAccount ? u"true" : u"false"); },
     [](const Facts& f) { return std::u16string(f.newAccount ? u"是" : u"否"); }},
    {"user_id", u"用户ID", [](const Facts& f) { return f.userId; }, nullptr},
    {"rating_link", u"评价页", [](const Facts& f) { return f.ratingLink; }, nullptr},
    {"good_rate", u"好评率", [](const Facts& f) { return f.goodRate; },
     [](const Facts& f) { return f.goodRate.empty() ? std::u16string() : f.goodRate + u"%"; }},
    {"certification", u"实名认证", [](const Facts& f) { return codeText(CertificationCode(f.certification)); },
     [](const Facts& f) {
         return std::u16string(f.certification == Certification::Personal     ? u"个人认证"
                               : f.certification == Certification::Enterprise ? u"企业认证"
                                                                              : u"未认证");
     }},
    {"role", u"角色", [](const Facts& f) { return codeText(RoleCode(f.role)); },
     [](const Facts& f) { return std::u16string(f.role == Role::Seller ? u"卖家" : u"买家"); }},
    {"seller_credit", u"卖家信用", [](const Facts& f) { return NumberText(f.sellerCredit); }, nullptr},
    {"buyer_credit", u"买家信用", [](const Facts& f) { return NumberText(f.buyerCredit); }, nullptr},
    {"week.good", u"本周好评", [](const Facts& f) { return NumberText(f.weekGood); }, nullptr},
    {"week.neutral", u"本周中评", [](const Facts& f) { return NumberText(f.weekNeutral); }, nullptr},
    {"week.bad", u"本周差评", [](const Facts& f) { return NumberText(f.weekBad); }, nullptr},
    {"month.good", u"本月好评", [](const Facts& f) { return NumberText(f.monthGood); }, nullptr},
    {"month.neutral", u"本月中评", [](const Facts& f) { return NumberText(f.monthNeutral); }, nullptr},
    {"month.bad", u"本月差评", [](const Facts& f) { return NumberText(f.monthBad); }, nullptr},
    {"verdict", u"结论", [](const Facts& f) { return std::u16string(VerdictText(f.verdict)); }, nullptr},
};

constexpr char kCheckColumns[] =
    "id, checked_at, account, registration_date, days_since_registration, new_account, user_id, rating_link, "
    "good_rate, certification, role, seller_credit, buyer_credit, week_good, week_neutral, week_bad, month_good, "
    "month_neutral, month_bad, verdict";

StoredCheck checkOf(SQLite::Statement& row) {
    StoredCheck check;
    check.id = row.getColumn(0).getInt64();
    check.checkedAt = row.getColumn(1).getInt64();
    Facts& f = check.facts;
    f.account = FromUtf8(row.getColumn(2).getString());
    f.registrationDate = FromUtf8(row.getColumn(3).getString());
    f.daysSinceRegistration = row.getColumn(4).getInt();
    f.newAccount = row.getColumn(5).getInt() != 0;
    f.userId = FromUtf8(row.getColumn(6).getString());
    f.ratingLink = FromUtf8(row.getColumn(7).getString());
    f.goodRate = FromUtf8(row.getColumn(8).getString());
    const std::string certification = row.getColumn(9).getString();
    f.certification = certification == "personal"     ? Certification::Personal
                      : certification == "enterprise" ? Certification::Enterprise
                                                      : Certification::None;
    f.role = row.getColumn(10).getString() == "seller" ? Role::Seller : Role::Buyer;
    double* numbers[] = {&f.sellerCredit, &f.buyerCredit, &f.weekGood,     &f.weekNeutral,
                         &f.weekBad,      &f.monthGood,   &f.monthNeutral, &f.monthBad};
    int column = 11;
    for (double* number : numbers) {
        *number = row.getColumn(column++).getDouble();
    }
    f.verdict = row.getColumn(column).getString() == "safe" ? Verdict::Safe : Verdict::Unsafe;
    return check;
}

/// The newest check of an account made before a given check (by time, then by the order stored): ?1 the account,
/// ?2 the time, ?3 the id.
const std::string kSelectBefore = std::string("SELECT ") + kCheckColumns +
                                  " FROM checks WHERE account = ?1 AND (checked_at < ?2 OR (checked_at = ?2 AND "
                                  "id < ?3)) ORDER BY checked_at DESC, id DESC LIMIT 1";

std::optional<StoredCheck> checkBefore(SQLite::Statement& query, const std::u16string& account, std::int64_t checkedAt,
                                       std::int64_t id) {
    query.reset();
    query.bind(1, ToUtf8(account));
    query.bind(2, static_cast<int64_t>(checkedAt));
    query.bind(3, static_cast<int64_t>(id));
    return query.executeStep() ? std::optional(checkOf(query)) : std::nullopt;
}

std::optional<StoredCheck> latestCheck(SQLite::Statement& query, const std::u16string& account) {
    return checkBefore(query, account, std::numeric_limits<std::int64_t>::max(),
                       std::numeric_limits<std::int64_t>::max());
}

/// The condition of a query on the columns of `checks`, its offset and limit aside; bindQuery binds its parameters.
std::string queryCondition(const CheckQuery& query) {
    std::string condition = query.upToId > 0 ? " WHERE id <= ?" : " WHERE 1";
    if (query.account.empty()) {
        return condition;
    }
    // LIKE matches ASCII letters in either case; the user's % and _ are plain characters.
    return condition + (query.partOfName ? " AND account LIKE ? ESCAPE '\\'" : " AND account = ?");
}

/// Binds the parameters of queryCondition; returns the number of the next parameter.
int bindQuery(SQLite::Statement& select, const CheckQuery& query) {
    int parameter = 1;
    if (query.upToId > 0) {
        select.bind(parameter++, static_cast<int64_t>(query.upToId));
    }
    if (!query.account.empty() && !query.partOfName) {
        select.bind(parameter++, ToUtf8(query.account));
    } else if (!query.account.empty()) {
        std::u16string pattern = u"%";
        for (const char16_t unit : query.account) {
            if (unit == u'%' || unit == u'_' || unit == u'\\') {
                pattern += u'\\';
            }
            pattern += unit;
        }
        select.bind(parameter++, ToUtf8(pattern + u"%"));
    }
    return parameter;
}

/// Hands the checks `query` chooses to `each`, newest first (checks made in the same second in the order stored).
void visitChecks(SQLite::Database& db, const CheckQuery& query, const std::function<void(StoredCheck&&)>& each) {
    SQLite::Statement select(db, std::string("SELECT ") + kCheckColumns + " FROM checks" + queryCondition(query) +
                                     " ORDER BY checked_at DESC, id DESC LIMIT ? OFFSET ?");
    const int parameter = bindQuery(select, query);
    select.bind(parameter, query.limit > 0 ? static_cast<int64_t>(query.limit) : int64_t{-1});
    select.bind(parameter + 1, static_cast<int64_t>(query.offset));
    while (select.executeStep()) {
        each(checkOf(select));
    }
}

} // namespace

std::span<const FactField> FactFields() {
    return kFields;
}

const char* CertificationCode(Certification certification) {
    switch (certification) {
    case Certification::Personal:
        return "personal";
    case Certification::Enterprise:
        return "enterprise";
    case Certification::None:
        break;
    }
    return "none";
}

const char* RoleCode(Role role) {
    return role == Role::Seller ? "seller" : "buyer";
}

const char16_t* VerdictText(Verdict verdict) {
    return verdict == Verdict::Safe ? u"安全" : u"不安全";
}

std::vector<std::string> ChangedFacts(const ReputationFacts& before, const ReputationFacts& after) {
    std::vector<std::string> changed;
    for (const FactField& field : kFields) {
        if (field.value(before) != field.value(after)) {
            changed.emplace_back(field.path);
        }
    }
    return changed;
}

bool StoreCheck(LocalStore& store, const ReputationFacts& f, std::int64_t checkedAt) {
    return store.write([&](SQLite::Database& db) {
        SQLite::Statement insert(db, "INSERT INTO checks (checked_at, account, registration_date, "
                                     "days_since_registration, new_account, user_id, rating_link, good_rate, "
                                     "certification, role, seller_credit, buyer_credit, week_good, week_neutral, "
                                     "week_bad, month_good, month_neutral, month_bad, verdict) "
                                     "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        insert.bind(1, static_cast<int64_t>(checkedAt));
        insert.bind(2, ToUtf8(f.account));
        insert.bind(3, ToUtf8(f.registrationDate));
        insert.bind(4, f.daysSinceRegistration);
        insert.bind(5, f.newAccount ? 1 : 0);
        insert.bind(6, ToUtf8(f.userId));
        insert.bind(7, ToUtf8(f.ratingLink));
        insert.bind(8, ToUtf8(f.goodRate));
        insert.bind(9, CertificationCode(f.certification));
        insert.bind(10, RoleCode(f.role));
        int column = 11;
        for (const double number : {f.sellerCredit, f.buyerCredit, f.weekGood, f.weekNeutral, f.weekBad, f.monthGood,
                                    f.monthNeutral, f.monthBad}) {
            insert.bind(column++, number);
        }
        insert.bind(column, f.verdict == Verdict::Safe ? "safe" : "unsafe");
        insert.exec();
    });
}

StoredValue<StoredCheck> LatestCheck(LocalStore& store, const std::u16string& account) {
    return store.lookup<StoredCheck>([&](SQLite::Database& db) {
        SQLite::Statement query(db, kSelectBefore);
        return latestCheck(query, account);
    });
}

std::optional<std::vector<StoredCheck>> StoredChecks(LocalStore& store, const CheckQuery& query) {
    std::vector<StoredCheck> checks;
    const bool read = store.read([&](SQLite::Database& db) {
        visitChecks(db, query, [&](StoredCheck&& check) { checks.push_back(std::move(check)); });
    });
    return read ? std::optional(std::move(checks)) : std::nullopt;
}

std::optional<CheckCount> CountStoredChecks(LocalStore& store, const CheckQuery& query) {
    CheckCount counted;
    const bool read = store.read([&](SQLite::Database& db) {
        SQLite::Statement select(db, "SELECT COUNT(*), COALESCE(MAX(id), 0) FROM checks" + queryCondition(query));
        bindQuery(select, query);
        select.executeStep();
        counted.count = static_cast<std::size_t>(select.getColumn(0).getInt64());
        counted.lastId = select.getColumn(1).getInt64();
    });
    return read ? std::optional(counted) : std::nullopt;
}

bool ReadCheckRows(LocalStore& store, const CheckQuery& query, const std::function<void(CheckRow&&)>& row) {
    return store.read([&](SQLite::Database& db) {
        SQLite::Statement before(db, kSelectBefore);
        ListEntryFinder lists(db);
        visitChecks(db, query, [&](StoredCheck&& check) {
            CheckRow each;
            each.account = check.facts.account;
            each.checkedAt = check.checkedAt;
            each.previous = checkBefore(before, each.account, check.checkedAt, check.id);
            each.listed = lists.find(each.account);
            each.facts = std::move(check.facts);
            row(std::move(each));
        });
    });
}

CheckContext RecordCheck(LocalStore& store, const ReputationFacts& facts, std::int64_t checkedAt) {
    CheckContext context;
    std::optional<StoredCheck> previous;
    std::optional<ListEntry> listed;
    // One read for both, so that a locked file costs one wait.
    if (store.read([&](SQLite::Database& db) {
            SQLite::Statement before(db, kSelectBefore);
            previous = latestCheck(before, facts.account);
            listed = ListEntryFinder(db).find(facts.account);
        })) {
        context.previous = std::move(previous);
        context.listed = std::move(listed);
    } else {
        context.problem = store.problem();
        context.previous = StoredValue<StoredCheck>::Unknown(*context.problem);
        context.listed = StoredValue<ListEntry>::Unknown(*context.problem);
    }
    if (context.previous) {
        context.changed = ChangedFacts(context.previous->facts, facts);
    }
    context.saved = StoreCheck(store, facts, checkedAt);
    if (!context.saved && !context.problem) {
        context.problem = store.problem();
    }
    return context;
}

} // namespace tarvisk
