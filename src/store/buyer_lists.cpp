#include "store/buyer_lists.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include "core/date.h"
#include "store/local_store.h"
#include "text/encoding.h"
#include "text/line_file.h"
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
        // A column of any other name is not read; of two with the same name the first counts. The English names are
        // those of the files earlier versions wrote.
        for (auto [chinese, english, column] : {std::tuple{u"账号", u"account", &columns.account},
                                                {u"名单", u"list", &columns.list},
                                                {u"备注", u"note", &columns.note}}) {
            if ((name == chinese || name == english) && !*column) {
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

ListEntryFinder::ListEntryFinder(SQLite::Database& db)
    : m_query(std::make_unique<SQLite::Statement>(db, std::string(kSelectEntries) + " WHERE account = ?")) {}

ListEntryFinder::~ListEntryFinder() = default;

std::optional<ListEntry> ListEntryFinder::find(const std::u16string& account) {
    m_query->reset();
    m_query->bind(1, ToUtf8(account));
    return m_query->executeStep() ? std::optional(entryOf(*m_query)) : std::nullopt;
}

StoredValue<ListEntry> FindListEntry(LocalStore& store, const std::u16string& account) {
    return store.lookup<ListEntry>([&](SQLite::Database& db) { return ListEntryFinder(db).find(account); });
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

bool FitsNote(std::u16string_view note) {
    return note.size() <= kMaxNoteLength;
}

bool PutListEntries(LocalStore& store, const std::vector<ListEntry>& entries, ListNotes notes) {
    return store.write([&](SQLite::Database& db) {
        SQLite::Statement insert(db, std::string("INSERT INTO buyer_lists (account, list, note, updated_at) "
                                                 "VALUES (?, ?, ?, ?) ON CONFLICT (account) DO UPDATE SET "
                                                 "list = excluded.list, updated_at = excluded.updated_at") +
                                         (notes == ListNotes::Replace ? ", note = excluded.note" : ""));
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
        bytes += CsvRecordWriter().text(entry.account).text(BuyerListName(entry.list)).text(entry.note).line();
    }
    return bytes;
}

ListCsvImport ReadListCsv(std::string_view bytes) {
    const CsvTable table = ReadCsv(bytes);
    ListCsvImport result;
    const std::string wantedHeader = std::string(kListCsvHeader) + "（或 account,list,note）";
    if (table.records.empty()) {
        result.problems.push_back({1, "没有表头 " + wantedHeader});
        return result;
    }
    const CsvRecord& header = table.records.front();
    const ListColumns columns = headerColumns(header.fields);
    if (!columns.account || !columns.list) {
        result.problems.push_back({header.line, "表头应为 " + wantedHeader});
        return result;
    }
    result.hasNotes = columns.note.has_value();
    // The rows taken so far, with their lines, by account: a later row of the same account must say the same.
    std::map<std::u16string, std::pair<int, std::size_t>> taken;
    std::set<std::u16string> conflicting;
    std::vector<int> lines;
    for (std::size_t i = 1; i < table.records.size(); ++i) {
        const CsvRecord& record = table.records[i];
        const bool extra = std::any_of(
            record.fields.begin() + static_cast<std::ptrdiff_t>(std::min(record.fields.size(), header.fields.size())),
            record.fields.end(), [](const std::u16string& field) { return !field.empty(); });
        const std::optional<std::u16string> account = ListAccount(cell(record.fields, columns.account));
        const std::u16string listText = cell(record.fields, columns.list);
        const std::optional<BuyerList> list = ParseBuyerList(TrimBlanks(listText, u" \t"));
        const std::u16string note = cell(record.fields, columns.note);
        if (extra) {
            result.problems.push_back({record.line, "字段比表头多"});
        } else if (!account) {
            result.problems.push_back({record.line, "账号为空，或含有换行等控制字符"});
        } else if (!list) {
            result.problems.push_back({record.line, "名单应为 黑名单 或 白名单，而不是“" + ToUtf8(listText) + "”"});
        } else if (!FitsNote(note)) {
            result.problems.push_back({record.line, "备注超过" + std::to_string(kMaxNoteLength) + "个字"});
        } else if (const auto earlier = taken.find(*account); earlier != taken.end()) {
            const ListEntry& first = result.entries[earlier->second.second];
            if (first.list != *list || first.note != note) {
                conflicting.insert(*account);
                result.problems.push_back(
                    {record.line, "与第" + std::to_string(earlier->second.first) + "行矛盾：账号“" + ToUtf8(*account) +
                                      "”" + (first.list != *list ? "既在黑名单又在白名单" : "有两个不同的备注") +
                                      "，这个账号都没有导入"});
            }
        } else {
            taken.emplace(*account, std::pair{record.line, result.entries.size()});
            result.entries.push_back({*account, *list, note, 0});
            lines.push_back(record.line);
        }
    }
    // An account whose rows disagree is not taken at all: which row is right is the user's to say.
    for (std::size_t i = result.entries.size(); i-- > 0;) {
        if (conflicting.count(result.entries[i].account) != 0) {
            result.problems.push_back(
                {lines[i], "账号“" + ToUtf8(result.entries[i].account) + "”的各行互相矛盾，没有导入"});
            result.entries.erase(result.entries.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    result.problems.insert(result.problems.end(), table.problems.begin(), table.problems.end());
    std::stable_sort(result.problems.begin(), result.problems.end(),
                     [](const CsvProblem& a, const CsvProblem& b) { return a.line < b.line; });
    return result;
}

ListCsvImport ReadListCsvFile(const std::filesystem::path& file) {
    std::string bytes;
    bool tooLarge = false;
    const LineFileResult read = ReadFileLines(file.string(), [&](std::string_view line) {
        tooLarge = tooLarge || bytes.size() + line.size() + 1 > kMaxListFileBytes;
        if (!tooLarge) {
            bytes.append(line).push_back('\n');
        }
    });
    ListCsvImport refused;
    refused.refused = true;
    if (read.status == LineFileResult::Status::Unreadable) {
        refused.problems.push_back({0, "无法读取这个文件"});
    } else if (read.status == LineFileResult::Status::LineTooLong) {
        refused.problems.push_back({static_cast<int>(read.lineNumber),
                                    "这一行超过" + std::to_string(kMaxLineBytes) + "字节，整个文件没有导入"});
    } else if (tooLarge) {
        refused.problems.push_back({0, "文件大于" + std::to_string(kMaxListFileBytes >> 20) + " MB，没有导入"});
    } else {
        return ReadListCsv(bytes);
    }
    return refused;
}

} // namespace tarvisk
