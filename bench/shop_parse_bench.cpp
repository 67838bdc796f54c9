// The shop crawl's work on one page of 100 item links: one scan of the page against the lookup of
// link K = 1 .. 100 with a fresh scan of the whole page each time, and against RegexMatch (which
// remembers its latest scans) asked for link K.

#include <stdexcept>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "jobs/shop/shop_crawl.h"
#include "demo/market_pages.h"
#include "text/encoding.h"
#include "text/regex.h"

namespace {

using namespace tarvisk;

// Distinct pages of the same size, so no lookup is answered from a scan of an earlier page.
std::vector<std::u16string> pages() {
    std::vector<std::u16string> result;
    const std::u16string page = demo::ShopSearchPage("bigshop.taobao.com", 1);
    for (int i = 10; i < 26; ++i) {
        result.push_back(u"<!--" + FromUtf8(std::to_string(i)) + u"-->" + page);
    }
    return result;
}

using LinkLookup = std::u16string (*)(const std::u16string& page, int k);

std::u16string freshLink(const std::u16string& page, int k) {
    const std::vector<RegexHit> hits = RegexScanFresh(page, ShopItemPattern());
    return k <= static_cast<int>(hits.size()) ? hits[k - 1].value : std::u16string();
}

std::u16string cachedLink(const std::u16string& page, int k) {
    return RegexMatch(page, ShopItemPattern(), k);
}

// The page as a link-by-link lookup sees it: links 1 to 100, each asked for on its own.
std::vector<ShopItem> parseByLookups(const std::u16string& page, LinkLookup lookup) {
    std::vector<ShopItem> items;
    for (int k = 1; k <= kShopMaxLinksPerPage; ++k) {
        const std::u16string link = lookup(page, k);
        if (link.empty()) {
            continue;
        }
        std::u16string title = TextBetween(link, u">", u"<", 0, 0);
        if (!title.empty()) {
            items.push_back(ShopItem{RegexMatch(link, u"\\d{9,13}", 0), std::move(title)});
        }
    }
    return items;
}

void run(benchmark::State& state, const std::function<std::vector<ShopItem>(const std::u16string&)>& parse) {
    const std::vector<std::u16string> texts = pages();
    if (parse(texts[0]) != ParseShopPage(texts[0]) || ParseShopPage(texts[0]).size() != 100) {
        throw std::logic_error("the ways of parsing disagree");
    }
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(parse(texts[next++ % texts.size()]));
    }
    state.counters["page_kb"] = static_cast<double>(EncodeGbk(texts[0]).size()) / 1024;
}

void OneScan(benchmark::State& state) {
    run(state, [](const std::u16string& page) { return ParseShopPage(page); });
}
void RegexMatchPerLink(benchmark::State& state) {
    run(state, [](const std::u16string& page) { return parseByLookups(page, cachedLink); });
}
void FreshScanPerLink(benchmark::State& state) {
    run(state, [](const std::u16string& page) { return parseByLookups(page, freshLink); });
}

BENCHMARK(OneScan)->Unit(benchmark::kMillisecond);
BENCHMARK(RegexMatchPerLink)->Unit(benchmark::kMillisecond);
BENCHMARK(FreshScanPerLink)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
