#include "store/exports.h"

#include <map>

#include "core/date.h"
#include "core/files.h"
#include "store/csv.h"
#include "text/encoding.h"
#include "text/numbers.h"
#include "text/text_ops.h"

namespace tarvisk {

namespace {

std::u16string timeText(std::int64_t unixSeconds) {
    return unixSeconds == 0 ? std::u16string() : FromUtf8(LocalTimeText(unixSeconds));
}

} // namespace

std::string ChecksCsv(const std::vector<CheckRow>& rows) {
    CsvRecordWriter header;
    header.text(u"checked_at").text(u"account");
    for (const FactField& field : FactFields()) {
        header.text(ReplaceAll(FromUtf8(field.path), u".", u"_"));
    }
    header.text(u"list").text(u"note").text(u"previous_checked_at").text(u"previous_verdict").text(u"message");

    std::string bytes = std::string(kUtf8Bom) + header.line();
    for (const CheckRow& row : rows) {
        CsvRecordWriter record;
        record.text(timeText(row.checkedAt)).text(row.account);
        for (const FactField& field : FactFields()) {
            const bool id = std::string_view(field.path) == "user_id";
            const std::u16string value = row.facts ? field.value(*row.facts) : std::u16string();
            id ? record.id(value) : record.text(value);
        }
        record.text(row.listed ? FromUtf8(BuyerListCode(row.listed->list)) : std::u16string())
            .text(row.listed ? row.listed->note : std::u16string())
            .text(row.previous ? timeText(row.previous->checkedAt) : std::u16string())
            .text(row.previous ? VerdictText(row.previous->facts.verdict) : u"")
            .text(row.message);
        bytes += record.line();
    }
    return bytes;
}

CheckRow HistoryRow(const StoredCheck& check, std::optional<StoredCheck> previous, std::optional<ListEntry> listed) {
    CheckRow row;
    row.account = check.facts.account;
    row.facts = check.facts;
    row.checkedAt = check.checkedAt;
    row.listed = std::move(listed);
    row.previous = std::move(previous);
    return row;
}

std::vector<CheckRow> HistoryRows(const std::vector<StoredCheck>& checks, const std::vector<ListEntry>& lists) {
    std::map<std::u16string, ListEntry> listed;
    for (const ListEntry& entry : lists) {
        listed.emplace(entry.account, entry);
    }
    std::vector<CheckRow> rows(checks.size());
    std::map<std::u16string, const StoredCheck*> earlier;
    for (std::size_t i = checks.size(); i-- > 0;) {
        const StoredCheck& check = checks[i];
        const std::u16string& account = check.facts.account;
        const auto entry = listed.find(account);
        const auto before = earlier.find(account);
        rows[i] = HistoryRow(check, before != earlier.end() ? std::optional(*before->second) : std::nullopt,
                             entry != listed.end() ? std::optional(entry->second) : std::nullopt);
        earlier[account] = &check;
    }
    return rows;
}

std::string ResultTableCsv(const ResultTable& table, std::u16string_view idColumn) {
    std::string bytes = kUtf8Bom;
    for (int row = 0; row <= table.rowCount(); ++row) {
        CsvRecordWriter record;
        for (int column = 0; column < table.columnCount(); ++column) {
            const std::u16string& title = table.columns()[static_cast<std::size_t>(column)].title;
            if (row == 0) {
                record.text(title);
            } else if (title == idColumn) {
                record.id(table.text(row, column));
            } else {
                record.text(table.text(row, column));
            }
        }
        bytes += record.line();
    }
    return bytes;
}

std::string RankingRunsCsv(const std::vector<RankingRun>& runs) {
    CsvRecordWriter header;
    for (const char16_t* title :
         {u"ran_at", u"keyword", u"target_kind", u"target", u"outcome", u"page", u"row", u"column", u"number",
          u"item_id", u"item_title", u"pages_asked", u"pages_walked", u"unread_pages"}) {
        header.text(title);
    }
    std::string bytes = std::string(kUtf8Bom) + header.line();
    for (const RankingRun& run : runs) {
        const bool found = run.outcome == RankingOutcome::Found;
        const auto foundNumber = [found](int number) { return found ? NumberText(number) : std::u16string(); };
        std::u16string unread;
        for (const UnreadPage& page : run.unreadPages) {
            unread +=
                (unread.empty() ? u"" : u"; ") + NumberText(page.number) + u" " + FromUtf8(PageKindName(page.kind));
        }
        CsvRecordWriter record;
        record.text(timeText(run.ranAt)).text(run.keyword).text(FromUtf8(TrackedTargetCode(run.target.kind)));
        run.target.kind == RankingTarget::OneItem ? record.id(run.target.value) : record.text(run.target.value);
        record.text(RankingOutcomeText(run))
            .text(foundNumber(run.page))
            .text(foundNumber(run.row))
            .text(foundNumber(run.column))
            .text(foundNumber(run.number))
            .id(run.itemId)
            .text(run.itemTitle)
            .text(NumberText(run.pagesAsked))
            .text(NumberText(run.pagesWalked))
            .text(unread);
        bytes += record.line();
    }
    return bytes;
}

std::string ShopListingCsv(const std::vector<ShopItem>& items) {
    std::string bytes = std::string(kUtf8Bom) + CsvRecordWriter().text(u"id").text(u"title").line();
    for (const ShopItem& item : items) {
        bytes += CsvRecordWriter().id(item.id).text(item.title).line();
    }
    return bytes;
}

bool WriteCsvFile(const std::filesystem::path& file, const std::string& bytes) {
    using std::filesystem::perms;
    return ReplaceFile(file, bytes, perms::owner_read | perms::owner_write | perms::group_read | perms::others_read);
}

} // namespace tarvisk
