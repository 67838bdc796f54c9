// The readers of today's shop listing over fuzzed input: the HTML of a list, and an answer of the gateway's item
// list, NUL between them. Whatever they hold, every id read is digits, nothing after the recommendations is the
// shop's, the list endpoint's JSONP around the HTML reads as the HTML does, a refusal lists nothing, and a fetch that
// ends on its answer ends on items the reader takes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "jobs/shop/today_shop_page.h"
#include "text/text_ops.h"

namespace {

using tarvisk::fuzz::Check;

void checkList(const tarvisk::TodayShopList& list) {
    for (const tarvisk::ShopItem& item : list.items) {
        Check(!item.id.empty() &&
                  std::all_of(item.id.begin(), item.id.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; }),
              "an id is digits");
    }
    Check(list.nextPage >= 0 && list.nextPage <= 100000, "the next page is a page number");
    Check((list.nextPage == 0) == list.nextAddress.empty(), "a next page comes with its address");
    Check(std::all_of(list.linkedPages.begin(), list.linkedPages.end(), [](int page) { return page > 0; }),
          "a linked page is a page number");
    Check(list.nextPage == 0 ||
              std::find(list.linkedPages.begin(), list.linkedPages.end(), list.nextPage) != list.linkedPages.end(),
          "the next page is one the list links to");
}

/// The HTML as the list endpoint sends it: one script string in a JSONP call.
std::u16string asJsonp(const std::u16string& html) {
    std::u16string literal = u"jsonp7(\"";
    for (const char16_t c : html) {
        if (c == u'"' || c == u'\\') {
            literal += u'\\';
            literal += c;
        } else if (c == u'\n') {
            literal += u"\\n";
        } else if (c == u'\r') {
            literal += u"\\r";
        } else {
            literal += c;
        }
    }
    return literal + u"\")";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto pieces = tarvisk::fuzz::Pieces(data, size, 2);
    const std::u16string html = tarvisk::fuzz::PageText(pieces[0]);
    const std::u16string answer = tarvisk::fuzz::PageText(pieces[1]);

    const tarvisk::TodayShopList list = tarvisk::ReadShopListHtml(html);
    checkList(list);
    const std::size_t recommendations = tarvisk::FindText(html, tarvisk::kShopRecommendations);
    if (recommendations != std::u16string::npos) {
        Check(tarvisk::ReadShopListHtml(html.substr(0, recommendations)).items == list.items,
              "nothing after the recommendations is the shop's");
    }
    if (const std::optional<tarvisk::TodayShopList> wrapped = tarvisk::ReadShopListAnswer(asJsonp(html))) {
        Check(wrapped->items == list.items && wrapped->nextPage == list.nextPage,
              "the list endpoint's answer reads as its HTML does");
    }

    if (const std::optional<tarvisk::TodayShopList> items = tarvisk::ReadShopItemAnswer(answer)) {
        checkList(*items);
        Check(items->kind == tarvisk::PageKind::Normal || items->items.empty(), "a refusal lists nothing");
    }

    tarvisk::FetchedPage page(html);
    page.answers.push_back({std::u16string(u"https://h5api.m.taobao.com/h5/") + tarvisk::kShopItemApi, answer});
    const tarvisk::ShopPageRead read = tarvisk::ReadShopPage(page);
    checkList(read.list);
    // A fetch that ends on its answer ends on what the reader then takes.
    tarvisk::FetchedPage answersOnly(std::u16string{});
    answersOnly.answers = page.answers;
    if (tarvisk::ShopAnswerCame(answersOnly)) {
        Check(read.reader == tarvisk::ShopReader::ItemAnswer && read.kind == tarvisk::PageKind::Normal &&
                  !read.list.items.empty(),
              "a fetch ends on an answer only when the reader takes its items");
    }
    return 0;
}
