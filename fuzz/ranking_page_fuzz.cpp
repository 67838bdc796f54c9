// The ranking walk over fuzzed result pages, fed through its injectable page fetch: every page asks
// for its own offset, every item a page lists becomes one numbered row with its position, the walk
// stops at the target or at a login or verification page, counts every other page it cannot read as
// unread, and the rows match what the reader the page calls for finds.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "jobs/ranking/ranking_search.h"
#include "jobs/ranking/today_search_page.h"
#include "fuzz_support.h"
#include "table/result_table.h"
#include "text/numbers.h"

namespace {

using tarvisk::fuzz::Check;

constexpr std::size_t kMaxPages = 4;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t pageCount = 1 + data[0] % kMaxPages;
    const auto pieces = tarvisk::fuzz::Pieces(data + 1, size - 1, pageCount + 1);
    std::vector<std::u16string> pages;
    std::vector<tarvisk::SearchPageRead> parsed;
    for (std::size_t i = 1; i <= pageCount; ++i) {
        pages.push_back(tarvisk::fuzz::PageText(pieces[i]));
        parsed.push_back(tarvisk::JudgeSearchPage(tarvisk::FetchedPage(pages.back())));
    }

    tarvisk::RankingQuery query;
    query.keyword = tarvisk::fuzz::PageText(pieces[0]);
    query.pages = static_cast<double>(pageCount);
    // The target is the last item of the last page that lists one, or an id no page lists.
    query.itemId = u"not an id";
    for (const tarvisk::SearchPageRead& read : parsed) {
        if (read.kind == tarvisk::PageKind::Normal && !read.items.empty())
            query.itemId = read.items.back().item.id;
    }

    tarvisk::ResultTable table;
    tarvisk::ListViewSetColumns(table, tarvisk::kRankingColumnTitles, tarvisk::kRankingColumnWidths);
    tarvisk::RankingOptions options;
    int fetched = 0;
    options.fetch = [&](std::u16string& url) {
        ++fetched;
        Check(url.ends_with(u"&s=" + tarvisk::NumberText((fetched - 1) * tarvisk::kRankingItemsPerPage)),
              "every page asks for its own offset");
        return pages[static_cast<std::size_t>(fetched - 1)];
    };
    const tarvisk::RankingResult result = tarvisk::RunRankingSearch(query, table, options);

    // The rows the walk should have added: every listed item up to the first target or the first
    // page that ends the run (a login or verification page, one only the browser reads); pages that are not result
    // pages are unread.
    std::vector<std::u16string> positions;
    std::vector<std::u16string> ids;
    std::vector<int> unread;
    bool found = false;
    bool ended = false;
    for (std::size_t page = 0; page < parsed.size() && !found && !ended; ++page) {
        const tarvisk::SearchPageRead& read = parsed[page];
        if (read.kind != tarvisk::PageKind::Normal) {
            unread.push_back(static_cast<int>(page) + 1);
            ended = tarvisk::EndsTheRun(read.kind);
            continue;
        }
        const auto position =
            read.reader == tarvisk::SearchReader::Listing ? tarvisk::PositionText : tarvisk::PlacePositionText;
        for (std::size_t k = 0; k < read.items.size() && !found; ++k) {
            positions.push_back(position(static_cast<int>(page) + 1, static_cast<int>(k) + 1) +
                                (read.items[k].paid ? tarvisk::kPaidMark : u""));
            ids.push_back(read.items[k].item.id);
            found = read.items[k].item.id == query.itemId;
        }
    }
    Check(result.found == found, "the walk finds the target exactly when a page lists it");
    Check(table.rowCount() == static_cast<int>(ids.size()), "one row for every item passed");
    for (int row = 1; row <= table.rowCount(); ++row) {
        Check(tarvisk::ListViewGetCell(table, u"No.", row).empty(), "the number column is the row text");
        Check(tarvisk::ListViewGetCell(table, u"id", row) == ids[row - 1], "a row holds its item's id");
        Check(tarvisk::ListViewGetCell(table, u"位置", row) == positions[row - 1], "a row holds its position");
    }
    std::vector<int> named;
    for (const tarvisk::UnreadPage& page : result.unreadPages)
        named.push_back(page.number);
    Check(named == unread, "the walk names every page it could not read");
    Check(result.endedAtUnreadPage == ended, "the walk ends at a page every later page would be like");
    const std::u16string notFound = unread.empty() ? tarvisk::kRankingNotFound : tarvisk::kRankingIncomplete;
    Check(found ? result.caption.starts_with(positions.back()) : result.caption == notFound,
          "the caption is the found position, the not-found text, or the incomplete text");
    return 0;
}
