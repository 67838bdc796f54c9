#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/csv.h"
#include "store/local_store.h"

// The buyer lists: a block list and an allow list, kept in the local database. An account is on one
// list at most, with one note. A listed buyer is flagged beside its report; the verdict stays the
// reputation rule's own.

namespace SQLite {
class Statement;
}

namespace tarvisk {

enum class BuyerList { Block, Allow };

struct ListEntry {
    std::u16string account;
    BuyerList list = BuyerList::Block;
    std::u16string note;
    std::int64_t updatedAt = 0; ///< seconds since 1970-01-01 UTC
    friend bool operator==(const ListEntry&, const ListEntry&) = default;
};

/// "block" or "allow", as the command line and the CSV files write a list.
const char* BuyerListCode(BuyerList list);
/// u"黑名单" or u"白名单", as the windows name a list.
const char16_t* BuyerListName(BuyerList list);
/// A list named by its code (any letter case) or its window name; none for anything else.
std::optional<BuyerList> ParseBuyerList(std::u16string_view text);

/// An account as the lists key it: spaces trimmed, as the reputation check trims a typed account. None when
/// nothing is left or it holds a line break or another control character.
std::optional<std::u16string> ListAccount(std::u16string_view text);

/// Finds accounts' entries inside one read of the store, the query prepared once.
class ListEntryFinder {
public:
    explicit ListEntryFinder(SQLite::Database& db);
    ~ListEntryFinder();
    ListEntryFinder(const ListEntryFinder&) = delete;
    ListEntryFinder& operator=(const ListEntryFinder&) = delete;

    std::optional<ListEntry> find(const std::u16string& account);

private:
    std::unique_ptr<SQLite::Statement> m_query;
};

/// The longest note an entry may have, in characters (UTF-16 units): a few paragraphs.
inline constexpr std::size_t kMaxNoteLength = 2000;
/// True when `note` is short enough to keep.
bool FitsNote(std::u16string_view note);

/// The account's entry: none when it is on no list, unknown when the database cannot be read.
StoredValue<ListEntry> FindListEntry(LocalStore& store, const std::u16string& account);
/// Every entry (or those of one list), by list (block first) and account. None when the database cannot be read.
std::optional<std::vector<ListEntry>> ListEntries(LocalStore& store, std::optional<BuyerList> only = std::nullopt);
/// Whether putting an account on a list replaces its note or keeps the one it has (an import without notes).
enum class ListNotes { Replace, Keep };
/// Puts each entry on its list, replacing the account's list and (unless `notes` keeps them) its note, all in one
/// write. False when nothing could be stored.
bool PutListEntries(LocalStore& store, const std::vector<ListEntry>& entries, ListNotes notes = ListNotes::Replace);
/// Takes the account off its list. True when it was listed, false when not; none when the database failed.
std::optional<bool> RemoveListEntry(LocalStore& store, const std::u16string& account);

/// The largest list file an import reads: a list of a million buyers is far below it.
inline constexpr std::uintmax_t kMaxListFileBytes = 256u << 20;

/// The header of the lists' CSV files, as spreadsheets show it; the list is written 黑名单 or 白名单.
inline constexpr char kListCsvHeader[] = "账号,名单,备注";
/// The entries as a CSV table with its header (with a leading byte-order mark when `bom`).
std::string ListCsv(const std::vector<ListEntry>& entries, bool bom);

/// The entries of a list file and the lines that could not be taken (the header is line 1).
struct ListCsvImport {
    std::vector<ListEntry> entries;
    std::vector<CsvProblem> problems;
    /// The file has a note column: its notes replace the stored ones. Without one the stored notes stay.
    bool hasNotes = false;
    /// The whole file was refused (unreadable, too large, a line too long): nothing is taken from it.
    bool refused = false;

    ListNotes notes() const { return hasNotes ? ListNotes::Replace : ListNotes::Keep; }
};

/// Reads a CSV table of entries (see ReadCsv for its encodings). The header names the columns 账号, 名单 and
/// (optionally) 备注, or account, list and note, in any order and letter case; the list is 黑名单 or 白名单, or block
/// or allow. A table without that header gives no entries and one problem. Refused with a problem each: a row
/// without an account, with an unknown list, with more cells than the header or a note over kMaxNoteLength, a line
/// not valid in the file's encoding, and the rows of an account that say different things (both lists, or two
/// notes); the same row twice is taken once.
ListCsvImport ReadListCsv(std::string_view bytes);
/// Reads a list file as ReadListCsv does. It is refused whole when it cannot be read, is larger than
/// kMaxListFileBytes or holds a line longer than kMaxLineBytes (read no further than that line).
ListCsvImport ReadListCsvFile(const std::filesystem::path& file);

} // namespace tarvisk
