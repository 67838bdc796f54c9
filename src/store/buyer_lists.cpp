#include "store/buyer_lists.h"

#include <algorithm>

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include "core/date.h"
#include "store/local_store.h"
#include "text/encoding.h"
#include "text/text_ops.h"

namespace tarvisk {

namespace {

constexpr char kSelectEntries[] = "SELECT account, list, note, updated_at FROM buyer_lists";

ListEntry entryOf(SQLite::Statement& row) {
    ListEntry entry;
    entry.account = FromUtf8(row.getColumn(0).getString());
    entry.list = row.getColumn(1).getString() == "allow" ? BuyerList::Allow : BuyerList::Block;
    entry.note = FromUtf8(row.getColumn(2).getString());
    entry.updatedAt = row.getColumn(3).getInt64();
    return entry;
}

/// The position of each named column in a header record (letter case and blanks around names ignored).
struct ListColumns {
    std::optional<std::size_t> account, list, note;
};

ListColumns headerColumns(const std::vector<std::u16string>& header) {
    ListColumns columns;
    for (std::size_t i = 0; i < header.size(); ++i) {
        const std::u16string name = LowerAscii(TrimBlanks(header[i], u" \t"));
        // A column of any other name is not read; of two with the same name the first counts.
        for (auto [wanted, column] :
             {std::pair{u"account", &columns.account}, {u"list", &columns.list}, {u"note", &columns.note}}) {
            if (name == wanted && !*column) {
                *column = i;
            }
        }
    }
    return columns;
}

std::u16string cell(const std::vector<std::u16string>& fields, std::optional<std::size_t> column) {
    return column && *column < fields.size() ? CsvCellText(fields[*column]) : std::u16string();
}

} // namespace

const char* BuyerListCode(BuyerList list) {
    return list == BuyerList::Allow ? "allow" : "block";
}

const char16_t* BuyerListName(BuyerList list) {
    return list == BuyerList::Allow ? u"白名单" : u"黑名单";
}

std::optional<BuyerList> ParseBuyerList(std::u16string_view text) {
    for (const BuyerList list : {BuyerList::Block, BuyerList::Allow}) {
        if (EqualsIgnoringCase(text, FromUtf8(BuyerListCode(list))) || text == BuyerListName(list)) {
            return list;
        }
    }
    return std::nullopt;
}

std::optional<std::u16string> ListAccount(std::u16string_view text) {
    std::u16string account = TrimBlanks(text);
    const bool control = std::any_of(account.begin(), account.end(), [](char16_t c) { return c < 0x20 || c == 0x7F; });
    if (account.empty() || control) {
        return std::nullopt;
    }
    return account;
}

std::optional<ListEntry> FindListEntry(LocalStore& store, const std::u16string& account) {
    std::optional<ListEntry> entry;
    store.read([&](SQLite::Database& db) {
        SQLite::Statement query(db, std::string(kSelectEntries) + " WHERE account = ?");
        query.bind(1, ToUtf8(account));
        if (query.executeStep()) {
            entry = entryOf(query);
        }
    });
    return entry;
}

std::optional<std::vector<ListEntry>> ListEntries(LocalStore& store, std::optional<BuyerList> only) {
    std::vector<ListEntry> entries;
    const bool read = store.read([&](SQLite::Database& db) {
        SQLite::Statement query(db, std::string(kSelectEntries) + (only ? " WHERE list = ?" : "") +
                                        " ORDER BY list = 'allow', account");
        if (only) {
            query.bind(1, BuyerListCode(*only));
        }
        while (query.executeStep()) {
            entries.push_back(entryOf(query));
        }
    });
    return read ? std::optional(std::move(entries)) : std::nullopt;
}

bool PutListEntries(LocalStore& store, const std::vector<ListEntry>& entries) {
    return store.write([&](SQLite::Database& db) {
        SQLite::Statement insert(db, "INSERT INTO buyer_lists (account, list, note, updated_at) VALUES (?, ?, ?, ?) "
                                     "ON CONFLICT (account) DO UPDATE SET list = excluded.list, "
                                     "note = excluded.note, updated_at = excluded.updated_at");
        for (const ListEntry& entry : entries) {
            insert.bind(1, ToUtf8(entry.account));
            insert.bind(2, BuyerListCode(entry.list));
            insert.bind(3, ToUtf8(entry.note));
            insert.bind(4, static_cast<int64_t>(entry.updatedAt != 0 ? entry.updatedAt : UnixTimeNow()));
            insert.exec();
            insert.reset();
        }
    });
}

std::optional<bool> RemoveListEntry(LocalStore& store, const std::u16string& account) {
    bool removed = false;
    const bool written = store.write([&](SQLite::Database& db) {
        SQLite::Statement remove(db, "DELETE FROM buyer_lists WHERE account = ?");
        remove.bind(1, ToUtf8(account));
        removed = remove.exec() > 0;
    });
    return written ? std::optional(removed) : std::nullopt;
}

std::string ListCsv(const std::vector<ListEntry>& entries, bool bom) {
    std::string bytes = bom ? kUtf8Bom : "";
    bytes += std::string(kListCsvHeader) + "\r\n";
    for (const ListEntry& entry : entries) {
        bytes +=
            CsvRecordWriter().text(entry.account).text(FromUtf8(BuyerListCode(entry.list))).text(entry.note).line();
    }
    return bytes;
}

ListCsvImport ReadListCsv(std::string_view bytes) {
    const CsvTable table = ReadCsv(bytes);
    ListCsvImport result;
    if (table.records.empty()) {
        result.problems.push_back({1, std::string("没有表头 ") + kListCsvHeader});
        return result;
    }
    const CsvRecord& header = table.records.front();
    const ListColumns columns = headerColumns(header.fields);
    if (!columns.account || !columns.list) {
        result.problems.push_back({header.line, std::string("表头应为 ") + kListCsvHeader});
        return result;
    }
    for (std::size_t i = 1; i < table.records.size(); ++i) {
        const CsvRecord& record = table.records[i];
        const bool extra = std::any_of(
            record.fields.begin() + static_cast<std::ptrdiff_t>(std::min(record.fields.size(), header.fields.size())),
            record.fields.end(), [](const std::u16string& field) { return !field.empty(); });
        const std::optional<std::u16string> account = ListAccount(cell(record.fields, columns.account));
        const std::u16string listText = cell(record.fields, columns.list);
        const std::optional<BuyerList> list = ParseBuyerList(TrimBlanks(listText, u" \t"));
        if (extra) {
            result.problems.push_back({record.line, "字段比表头多"});
        } else if (!account) {
            result.problems.push_back({record.line, "账号为空，或含有换行等控制字符"});
        } else if (!list) {
            result.problems.push_back({record.line, "名单应为 block 或 allow，而不是“" + ToUtf8(listText) + "”"});
        } else {
            result.entries.push_back({*account, *list, cell(record.fields, columns.note), 0});
        }
    }
    result.problems.insert(result.problems.end(), table.problems.begin(), table.problems.end());
    return result;
}

} // namespace tarvisk
