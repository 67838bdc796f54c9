// The readers of today's search page over fuzzed input: an answer of the search endpoint and a rendered page,
// NUL between them. Whatever they hold, every id read is digits, a sales count is digits, a refusal lists nothing,
// the cards list each id once, the page reader picks the answer whenever one lists results, and a fetch that ends
// on its answer ends on results the reader takes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "fuzz_support.h"
#include "jobs/ranking/today_search_page.h"

namespace {

using tarvisk::fuzz::Check;

bool digits(const std::u16string& text, bool emptyAllowed) {
    return (emptyAllowed || !text.empty()) &&
           std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

void checkItems(const std::vector<tarvisk::TodaySearchItem>& items) {
    for (const tarvisk::TodaySearchItem& read : items) {
        Check(digits(read.item.id, false), "an id is digits");
        Check(digits(read.item.sales, true), "a sales count is digits");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto pieces = tarvisk::fuzz::Pieces(data, size, 2);
    const std::u16string answer = tarvisk::fuzz::PageText(pieces[0]);
    const std::u16string rendered = tarvisk::fuzz::PageText(pieces[1]);

    const std::optional<tarvisk::TodaySearchAnswer> read = tarvisk::ReadTodaySearchAnswer(answer);
    if (read) {
        checkItems(read->items);
        Check(read->kind == tarvisk::PageKind::Normal || read->items.empty(), "a refusal lists nothing");
    }

    const std::vector<tarvisk::TodaySearchItem> cards = tarvisk::ReadRenderedSearchPage(rendered);
    checkItems(cards);
    std::set<std::u16string> ids;
    for (const tarvisk::TodaySearchItem& card : cards) {
        Check(ids.insert(card.item.id).second, "the cards list each id once");
    }

    tarvisk::FetchedPage page(rendered);
    page.answers.push_back({std::u16string(u"https://h5api.m.taobao.com/h5/") + tarvisk::kTodaySearchApi, answer});
    const tarvisk::SearchPageRead chosen = tarvisk::ReadSearchPage(page);
    checkItems(chosen.items);
    if (read && read->kind == tarvisk::PageKind::Normal) {
        Check(chosen.reader == tarvisk::SearchReader::Answer && chosen.items == read->items,
              "an answer that lists results is what the page gives");
    }
    // A fetch that ends on its answer ends on what the reader then takes.
    tarvisk::FetchedPage answersOnly(std::u16string{});
    answersOnly.answers = page.answers;
    if (tarvisk::SearchAnswerCame(answersOnly)) {
        Check(chosen.reader == tarvisk::SearchReader::Answer && chosen.kind == tarvisk::PageKind::Normal &&
                  !chosen.items.empty(),
              "a fetch ends on an answer only when the reader takes its results");
    }
    const tarvisk::PageKind classified = tarvisk::ClassifyPage(page, tarvisk::kRankingTexts);
    const bool pageItself = classified == tarvisk::PageKind::Normal || classified == tarvisk::PageKind::Unrecognised;
    Check(tarvisk::SearchPageReadable(page) ==
              (pageItself && chosen.reader != tarvisk::SearchReader::None && chosen.kind == tarvisk::PageKind::Normal),
          "a page is readable when no address or status rule refuses it and a reader reads it");
    return 0;
}
