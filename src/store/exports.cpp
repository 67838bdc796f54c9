#include "store/exports.h"

#include <algorithm>
#include <iterator>
#include <utility>

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

/// The result table's titles that the window shows in English.
constexpr std::pair<std::u16string_view, std::u16string_view> kChineseTitles[] = {{u"No.", u"序号"},
                                                                                  {u"id", u"宝贝ID"}};

} // namespace

std::string ChecksCsvHeader() {
    CsvRecordWriter header;
    header.text(u"查询时间").text(u"账号");
    for (const FactField& field : FactFields()) {
        header.text(field.label);
    }
    return header.text(u"名单").text(u"备注").text(u"上次查询时间").text(u"上次结论").text(u"说明").line();
}

std::string ChecksCsvRecord(const CheckRow& row) {
    CsvRecordWriter record;
    record.text(timeText(row.checkedAt)).text(row.account);
    for (const FactField& field : FactFields()) {
        const std::u16string value = row.facts ? field.shownText(*row.facts) : std::u16string();
        std::string_view(field.path) == "user_id" ? record.id(value) : record.pageText(value);
    }
    record.text(row.listed.unknown() ? kListUnknownText
                : row.listed         ? BuyerListName(row.listed->list)
                                     : u"")
        .text(row.listed ? row.listed->note : std::u16string())
        .text(row.previous.unknown() ? kPreviousUnknownText
              : row.previous         ? timeText(row.previous->checkedAt)
                                     : std::u16string())
        .text(row.previous ? VerdictText(row.previous->facts.verdict) : u"")
        .pageText(row.message);
    return record.line();
}

std::string ChecksCsv(const std::vector<CheckRow>& rows) {
    std::string bytes = std::string(kUtf8Bom) + ChecksCsvHeader();
    for (const CheckRow& row : rows) {
        bytes += ChecksCsvRecord(row);
    }
    return bytes;
}

std::string ResultTableCsv(const ResultTable& table, std::u16string_view idColumn,
                           std::span<const std::pair<std::u16string, std::u16string>> leading) {
    std::string bytes = kUtf8Bom;
    for (int row = 0; row <= table.rowCount(); ++row) {
        CsvRecordWriter record;
        for (const auto& [title, value] : leading) {
            record.text(row == 0 ? title : value);
        }
        for (int column = 0; column < table.columnCount(); ++column) {
            const std::u16string& title = table.columns()[static_cast<std::size_t>(column)].title;
            if (row == 0) {
                const auto chinese = std::find_if(std::begin(kChineseTitles), std::end(kChineseTitles),
                                                  [&title](const auto& pair) { return title == pair.first; });
                record.text(chinese != std::end(kChineseTitles) ? chinese->second : title);
            } else if (title == idColumn) {
                record.id(table.text(row, column));
            } else {
                record.pageText(table.text(row, column));
            }
        }
        bytes += record.line();
    }
    return bytes;
}

std::string RankingRunsCsv(const std::vector<RankingRun>& runs) {
    CsvRecordWriter header;
    for (const char16_t* title : {u"查询时间", u"关键字", u"目标类型", u"目标", u"结果", u"页", u"行", u"列", u"名次",
                                  u"宝贝ID", u"宝贝标题", u"要查页数", u"已查页数", u"未读页"}) {
        header.text(title);
    }
    std::string bytes = std::string(kUtf8Bom) + header.line();
    for (const RankingRun& run : runs) {
        const bool found = run.outcome == RankingOutcome::Found;
        const auto foundNumber = [found](int number) { return found ? NumberText(number) : std::u16string(); };
        // Today's page shows its items as one run: its place is in the result text, never as a row and a column.
        const bool grid = run.positionKind == RankingPositionKind::Grid;
        std::u16string unread;
        for (const UnreadPage& page : run.unreadPages) {
            unread += std::u16string(unread.empty() ? u"第" : u"；第") + NumberText(page.number) + u"页：" +
                      PageKindReason(page.kind);
        }
        CsvRecordWriter record;
        record.text(timeText(run.ranAt))
            .text(run.keyword)
            .text(run.target.kind == RankingTarget::OneItem ? u"宝贝" : u"店铺");
        run.target.kind == RankingTarget::OneItem ? record.id(run.target.value) : record.text(run.target.value);
        record.text(RankingOutcomeText(run))
            .text(foundNumber(run.page))
            .text(grid ? foundNumber(run.row) : u"")
            .text(grid ? foundNumber(run.column) : u"")
            .text(foundNumber(run.number))
            .id(run.itemId)
            .pageText(run.itemTitle)
            .text(NumberText(run.pagesAsked))
            .text(NumberText(run.pagesWalked))
            .text(unread);
        bytes += record.line();
    }
    return bytes;
}

std::string CompetitorsCsv(const std::vector<Competitor>& competitors, RankingPositionKind kind) {
    CsvRecordWriter header;
    for (const char16_t* title : {u"名次", u"页", u"位置", u"宝贝ID", u"宝贝标题", u"店铺", u"价格", u"销量", u"广告",
                                  u"变化", u"原销量", u"原价格"}) {
        header.text(title);
    }
    std::string bytes = std::string(kUtf8Bom) + header.line();
    int number = 0;
    for (const Competitor& competitor : competitors) {
        const RunItem& item = competitor.item;
        CsvRecordWriter record;
        record.text(NumberText(++number))
            .text(NumberText(item.page))
            .text(item.position)
            .id(item.id)
            .pageText(item.title)
            .pageText(item.shop)
            .pageText(item.price)
            .text(item.sales)
            .text(item.paid ? u"是" : u"")
            .text(CompetitorChangeText(competitor, kind))
            .text(competitor.before ? competitor.before->sales : u"")
            .pageText(competitor.before ? competitor.before->price : u"");
        bytes += record.line();
    }
    return bytes;
}

std::string ShopListingCsv(const std::vector<ShopItem>& items) {
    std::string bytes = std::string(kUtf8Bom) + CsvRecordWriter().text(u"宝贝ID").text(u"宝贝标题").line();
    for (const ShopItem& item : items) {
        bytes += CsvRecordWriter().id(item.id).pageText(item.title).line();
    }
    return bytes;
}

bool WriteCsvFile(const std::filesystem::path& file, const std::string& bytes) {
    return ReplaceFile(file, bytes, std::nullopt);
}

} // namespace tarvisk
