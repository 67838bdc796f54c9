// Parsing one result page of 44 items (about 400 KB, as the demo marketplace and the real site send
// it): the ranking walk's one scan per field against looking up field k with a fresh scan of the
// whole page for every item.

#include <stdexcept>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "jobs/ranking/ranking_search.h"
#include "demo/market_pages.h"
#include "text/encoding.h"
#include "text/regex.h"

namespace {

using namespace tarvisk;

// Distinct pages of the same size, so that no lookup is answered from an earlier scan of the same
// text, as in a walk where every page is new.
std::vector<std::u16string> pages() {
    std::vector<std::u16string> result;
    const std::u16string page = demo::SearchResultPage(u"连衣裙", 0);
    for (int i = 10; i < 26; ++i) {
        result.push_back(u"<!--" + FromUtf8(std::to_string(i)) + u"-->" + page);
    }
    return result;
}

// The k-th match of a pattern by a fresh scan of the whole text, as a lookup without any memory does.
std::u16string freshMatch(const std::u16string& text, const std::u16string& pattern, std::size_t k) {
    const std::vector<RegexHit> hits = RegexScanFresh(text, pattern);
    return k < hits.size() ? hits[k].value : std::u16string();
}

std::u16string between(const std::u16string& match, std::size_t prefix) {
    return match.size() > prefix ? match.substr(prefix, match.size() - prefix - 1) : std::u16string();
}

// The same items, every field looked up by a fresh scan of the page.
std::vector<RankingItem> parseByRescans(const std::u16string& page) {
    const std::size_t marker = page.find(u"dynamic");
    if (marker == std::u16string::npos) {
        return {};
    }
    std::vector<RankingItem> items;
    for (const RegexHit& id : RegexScanFresh(page.substr(marker, kRankingCutLength), u"nid\":\"(\\d{10,12})")) {
        const std::size_t k = items.size();
        RankingItem item;
        item.id = id.value.substr(6);
        std::u16string picture;
        const std::u16string escaped = freshMatch(page, u"pic_url\":\".*?\"", k);
        for (std::size_t i = 0; i < escaped.size(); ++i) {
            const bool escapedSlash = escaped[i] == u'\\' && i + 1 < escaped.size() && escaped[i + 1] == u'/';
            picture += escaped[i += escapedSlash ? 1 : 0];
        }
        item.picture = between(picture, 10);
        item.title = UnescapeText(between(freshMatch(page, u"raw_title\":\".*?\"", k), 12));
        item.sales = RegexMatch(freshMatch(page, u"view_sales\":\"(\\d){1,9}", k), u"(\\d){1,9}", 0);
        items.push_back(item);
    }
    return items;
}

void OneScanPerField(benchmark::State& state) {
    const std::vector<std::u16string> texts = pages();
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ParseRankingPage(texts[next++ % texts.size()]));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * texts[0].size() * 2));
    state.counters["page_kb"] = static_cast<double>(ToUtf8(texts[0]).size()) / 1024;
}

void FreshScanPerLookup(benchmark::State& state) {
    const std::vector<std::u16string> texts = pages();
    if (parseByRescans(texts[0]) != ParseRankingPage(texts[0]) || ParseRankingPage(texts[0]).size() != 44) {
        throw std::logic_error("the two ways of parsing disagree");
    }
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(parseByRescans(texts[next++ % texts.size()]));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * texts[0].size() * 2));
}

BENCHMARK(OneScanPerField)->Unit(benchmark::kMillisecond);
BENCHMARK(FreshScanPerLookup)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
