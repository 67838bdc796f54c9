#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/csv.h"

// The buyer lists: a block list and an allow list, kept in the local database. An account is on one
// list at most, with one note. A listed buyer is flagged beside its report; the verdict stays the
// reputation rule's own.

namespace tarvisk {

class LocalStore;

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

/// The account's entry; none when it is on no list or the database cannot be read.
std::optional<ListEntry> FindListEntry(LocalStore& store, const std::u16string& account);
/// Every entry (or those of one list), by list (block first) and account. None when the database cannot be read.
std::optional<std::vector<ListEntry>> ListEntries(LocalStore& store, std::optional<BuyerList> only = std::nullopt);
/// Puts each entry on its list, replacing what the account had (its list and its note), all in one write.
/// False when nothing could be stored.
bool PutListEntries(LocalStore& store, const std::vector<ListEntry>& entries);
/// Takes the account off its list. True when it was listed, false when not; none when the database failed.
std::optional<bool> RemoveListEntry(LocalStore& store, const std::u16string& account);

/// The largest list file an import reads: a list of a million buyers is far below it.
inline constexpr std::uintmax_t kMaxListFileBytes = 256u << 20;

/// The header of the lists' CSV files.
inline constexpr char kListCsvHeader[] = "account,list,note";
/// The entries as a CSV table with its header (with a leading byte-order mark when `bom`).
std::string ListCsv(const std::vector<ListEntry>& entries, bool bom);

/// The entries of a CSV table and the records that could not be taken, with their lines (the header is line
/// 1). The header names the columns account, list and (optionally) note, in any order and letter case; a
/// table without it gives no entries and one problem.
struct ListCsvImport {
    std::vector<ListEntry> entries;
    std::vector<CsvProblem> problems;
};
ListCsvImport ReadListCsv(std::string_view bytes);

} // namespace tarvisk
