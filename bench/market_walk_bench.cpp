// Whole jobs against the demo marketplace on loopback: a 100-page ranking walk and a 100-page shop
// crawl, each next to fetching the same pages alone with the same request routine. Real time is
// the wall time; CPU time is this thread's (the demo server's threads are not counted).

#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "jobs/ranking/ranking_search.h"
#include "jobs/shop/shop_crawl.h"
#include "core/hooks.h"
#include "demo/demo_market.h"
#include "net/endpoints.h"
#include "net/win_http.h"
#include "net/xml_http.h"
#include "text/numbers.h"

namespace {

using namespace tarvisk;

constexpr int kPages = 100;

demo::DemoMarket& market() {
    static const std::unique_ptr<demo::DemoMarket> instance = [] {
        auto started = std::make_unique<demo::DemoMarket>();
        endpoints::SetRoute(started->hostPort());
        return started;
    }();
    return *instance;
}

void RankingWalk(benchmark::State& state) {
    market();
    ResultTable table;
    ListViewSetColumns(table, kRankingColumnTitles, kRankingColumnWidths);
    for (auto _ : state) {
        // An id no page holds: every page is walked.
        const RankingResult result = RunRankingSearch({u"连衣裙", kPages, RankingTarget::OneItem, u"1", {}}, table);
        if (result.pagesFetched != kPages || table.rowCount() != kPages * 44) {
            state.SkipWithError("the walk did not cover every page");
        }
    }
    state.counters["pages"] = kPages;
}

void RankingPagesFetchedAlone(benchmark::State& state) {
    market();
    for (auto _ : state) {
        std::u16string url = RankingSearchUrl(u"连衣裙", Today(), RandomField());
        for (int page = 1; page <= kPages; ++page) {
            SetPageOffset(url, page);
            benchmark::DoNotOptimize(WinHttpFetch(url, {}, u"POST", {}, 0, 10, 0, {}, {}));
        }
    }
    state.counters["pages"] = kPages;
}

void ShopCrawl(benchmark::State& state) {
    market();
    for (auto _ : state) {
        std::u16string address = u"bigshop.taobao.com";
        const ShopCrawlResult result = CrawlShop(address);
        if (result.pagesFetched != kPages || result.count() != kPages * 100) {
            state.SkipWithError("the crawl did not cover every page");
        }
    }
    state.counters["pages"] = kPages;
}

void ShopPagesFetchedAlone(benchmark::State& state) {
    market();
    for (auto _ : state) {
        for (int page = 1; page <= kPages; ++page) {
            benchmark::DoNotOptimize(XmlHttpRequest(ShopPageUrl(u"bigshop.taobao", page), {}, 0, 0));
        }
    }
    state.counters["pages"] = kPages;
}

BENCHMARK(RankingWalk)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(RankingPagesFetchedAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(ShopCrawl)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(ShopPagesFetchedAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
