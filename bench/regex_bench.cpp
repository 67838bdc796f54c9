// Asking for match 1, 2, 3 ... of one pattern on one page, as the page parsers do: with the
// per-thread scan cache (one scan, then lookups) against a fresh compile and scan per call.

#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "text/regex.h"

namespace {

constexpr int kItems = 132;
// The item links (132 on the page), and the price rows around them (thousands on the page).
const std::u16string kPatterns[] = {
    u"<a class=\"item-name\" href=\"//item\\.taobao\\.com/item\\.htm\\?id=\\d{9,12}\">.*?</a>",
    u"<span class=\"price\">.*?</span>",
};

/// A search result page of about 500 KB: 132 item links between blocks of ordinary markup.
std::u16string MakePage() {
    const std::u16string filler =
        u"<div class=\"row\"><span class=\"price\">¥ 128.00</span><span class=\"deal\">1523人付款</span>"
        u"<img src=\"//img.alicdn.com/bao/uploaded/i4/TB1.jpg_180x180.jpg\" alt=\"\"/></div>\r\n";
    std::u16string page = u"<html><head><title>搜索结果</title></head><body>\n";
    for (int item = 0; item < kItems; ++item) {
        while (page.size() < static_cast<std::size_t>(item + 1) * 3800)
            page += filler;
        page += u"<a class=\"item-name\" href=\"//item.taobao.com/item.htm?id=" + std::u16string(u"52") +
                std::u16string(10 - std::to_string(item).size(), u'0');
        for (const char digit : std::to_string(item))
            page += static_cast<char16_t>(digit);
        page += u"\">宝贝 " + std::u16string(1, static_cast<char16_t>(u'A' + item % 26)) + u"</a>\n";
    }
    page += u"</body></html>";
    return page;
}

std::string Label(const std::u16string& page, const std::u16string& pattern) {
    return std::to_string(page.size() * 2 / 1024) + " KB page, " +
           std::to_string(tarvisk::RegexScanFresh(page, pattern).size()) + " matches on it";
}

void MatchesOneToLastCached(benchmark::State& state) {
    const std::u16string& pattern = kPatterns[state.range(0)];
    std::u16string page = MakePage();
    for (auto _ : state) {
        // A new page each round, as the crawl fetches one: one scan, then cached lookups.
        page[0] = page[0] == u'<' ? u' ' : u'<';
        for (int index = 1; index <= kItems; ++index)
            benchmark::DoNotOptimize(tarvisk::RegexMatch(page, pattern, index));
    }
    state.SetLabel(Label(page, pattern));
}

void MatchesOneToLastFreshScanPerCall(benchmark::State& state) {
    const std::u16string& pattern = kPatterns[state.range(0)];
    std::u16string page = MakePage();
    for (auto _ : state) {
        page[0] = page[0] == u'<' ? u' ' : u'<';
        for (int index = 1; index <= kItems; ++index) {
            const std::vector<tarvisk::RegexHit> hits = tarvisk::RegexScanFresh(page, pattern);
            benchmark::DoNotOptimize(hits[index - 1].value);
        }
    }
    state.SetLabel(Label(page, pattern));
}

BENCHMARK(MatchesOneToLastCached)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(MatchesOneToLastFreshScanPerCall)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
