// Worst-case pages for every pattern the program applies: 2 MB pages (one million UTF-16 units) built
// to make each pattern start a match attempt at every few characters and fail late, parsed by the
// real page parsers (shop links, profile, rating page, ranking page). Each must stay well under a
// second; the engine's JIT and its match and depth limits keep every scan near linear.
//
// Every iteration parses a page that differs in its last characters, so that the per-thread scan
// cache never answers and each run is a full scan.
//
// Today's readers also meet the shapes that once took them quadratic time, at 1×, 10× and 100× the size they came
// at: their time must grow as the input does.

#include <functional>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "jobs/page_check.h"
#include "jobs/ranking/ranking_search.h"
#include "jobs/ranking/today_search_page.h"
#include "jobs/reputation/reputation.h"
#include "jobs/shop/shop_crawl.h"
#include "jobs/shop/today_shop_page.h"
#include "text/regex.h"

namespace {

using tarvisk::Date;

constexpr std::size_t kUnits = std::size_t{1} << 20; // 2 MB of UTF-16

/// `piece` repeated to fill the page, then `tail`.
std::u16string Repeated(const std::u16string& piece, const std::u16string& tail = {}) {
    std::u16string page;
    page.reserve(kUnits + tail.size());
    while (page.size() + piece.size() <= kUnits)
        page += piece;
    return page + tail;
}

const std::u16string kDate = u"注册时间：2014年11月26日";
const std::u16string kOneId = u"dynamic{\"nid\":\"12345678901\"}";
const Date kToday{2015, 3, 9};

using Parser = std::function<std::size_t(const std::u16string&)>;

std::size_t ShopLinks(const std::u16string& page) {
    return tarvisk::ParseShopPage(page).size();
}
std::size_t Profile(const std::u16string& page) {
    const tarvisk::ProfileFacts facts = tarvisk::ReadProfile(page);
    return facts.registrationDate.size() + facts.userId.size();
}
std::size_t Rating(const std::u16string& page) {
    const auto facts = tarvisk::ParseReputationFacts(kDate, page, kToday);
    return facts ? facts->goodRate.size() + static_cast<std::size_t>(facts->weekGood) : 0;
}
std::size_t Ranking(const std::u16string& page) {
    return tarvisk::ParseRankingPage(page).size();
}
std::size_t Tags(const std::u16string& page) {
    return tarvisk::StripTags(page).size();
}

struct Case {
    const char* name;
    std::u16string page;
    Parser parse;
};

std::vector<Case> Cases() {
    const std::u16string link = u"href=\"http://item.taobao.com/item.htm?id=";
    return {
        // The shop crawl's item pattern: "item-name.*?href=...(\d{10,13})... target=...>.*?</a>".
        {"shop/item-name without a link", Repeated(u"item-name ", u"</a>"), ShopLinks},
        {"shop/link prefix without an id", Repeated(u"item-name " + link, u"\" target=\"_blank\">x</a>"), ShopLinks},
        {"shop/links without target", Repeated(u"item-name " + link + u"1234567890\">", u"</a>"), ShopLinks},
        {"shop/links without closing tag", Repeated(u"item-name " + link + u"1234567890\" target=\"_blank\">x"),
         ShopLinks},
        {"shop/ids of 9 digits", Repeated(u"item-name " + link + u"123456789\" target=\"_blank\">x</a>"), ShopLinks},
        // The profile: registration date and the 32-character user id.
        {"profile/label without a date", Repeated(u"注册时间：", u"2014年11月26日"), Profile},
        {"profile/label and year only", Repeated(u"注册时间：2014年", u"日"), Profile},
        {"profile/31 word characters", Repeated(std::u16string(31, u'a') + u"-"), Profile},
        {"profile/one run of word characters", Repeated(u"a"), Profile},
        // The rating page: good rate, credits, the week and month cells, the text between tags.
        {"rating/cell without its end", Repeated(u"<td class=\"rateok\">", u"</td"), Rating},
        {"rating/cells of other classes", Repeated(u"<td class=\"rateok\"><td class=\"ratebad\">1<"), Rating},
        {"rating/credit label without digits", Repeated(u"卖家信用：", u"x"), Rating},
        {"rating/good rate without its sign", Repeated(u"好评率：100.1"), Rating},
        {"rating/digits only", Repeated(u"1"), Rating},
        {"tags/'>' without '<'", Repeated(u">"), Tags},
        {"tags/'>' and '<' alternating", Repeated(u"><"), Tags},
        {"tags/line feeds between", Repeated(u">\n"), Tags},
        // The ranking page: one id in the cut, so that every field is then looked up over the whole page.
        {"ranking/nid without digits", kOneId + Repeated(u"nid\":\""), Ranking},
        {"ranking/pic_url without closing quote", kOneId + Repeated(u"pic_url\":\""), Ranking},
        {"ranking/raw_title without closing quote", kOneId + Repeated(u"raw_title\":\""), Ranking},
        {"ranking/view_sales of long digit runs", kOneId + Repeated(u"view_sales\":\"" + std::u16string(200, u'7')),
         Ranking},
        {"ranking/every marker everywhere",
         kOneId + Repeated(u"dynamic nid\":\"1 pic_url\":\"\\/ raw_title\":\"\\u4e2 view_sales\":\"9"), Ranking},
    };
}

/// A shape that once took a reader quadratic time, built at `times` the size an audit sent it.
struct Scaled {
    const char* name;
    std::function<std::u16string(int times)> page;
    Parser parse;
};

std::u16string Times(const std::u16string& piece, std::size_t count) {
    std::u16string text;
    text.reserve(piece.size() * count);
    for (std::size_t i = 0; i < count; ++i)
        text += piece;
    return text;
}

std::vector<Scaled> ScaledCases() {
    return {
        // A drawn card whose title attribute is 40 K of "<" (each once the start of a tag name as long as the rest).
        {"cards/a title attribute of '<'",
         [](int times) {
             return u"<a href=\"//item.taobao.com/item.htm?id=123456789012\"><b title=\"" +
                    std::u16string(40000 * static_cast<std::size_t>(times), u'<') + u"\">x</b></a>";
         },
         [](const std::u16string& page) { return tarvisk::ReadRenderedSearchPage(page).size(); }},
        // The list endpoint's answer of 60 000 start tags whose class is no pager.
        {"shop list/start tags named like the pager",
         [](int times) { return u"jsonp1(\"" + Times(u"<xpagination", 60000 * times) + u">\")"; },
         [](const std::u16string& page) {
             const auto list = tarvisk::ReadShopListAnswer(page);
             return list ? list->items.size() + list->linkedPages.size() : 0;
         }},
        // One form tag with 100 000 action attributes, none to the login page.
        {"classifier/a form of many actions",
         [](int times) { return u"<form " + Times(u"action=", 100000 * times) + u">"; },
         [](const std::u16string& page) {
             return static_cast<std::size_t>(tarvisk::ClassifyPage(tarvisk::FetchedPage(page), tarvisk::kRankingTexts));
         }},
    };
}

void ParseScaledPage(benchmark::State& state, const Scaled& c) {
    const std::u16string page = c.page(static_cast<int>(state.range(0)));
    std::size_t found = 0;
    for (auto _ : state) {
        found = c.parse(page);
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = static_cast<double>(found);
    state.counters["MB"] = static_cast<double>(page.size() * 2) / 1e6;
}

void ParseAdversarialPage(benchmark::State& state, const Case& c) {
    // The page ends with eight CJK characters that no pattern mentions, spelling the iteration's number.
    constexpr std::size_t kStamp = 8;
    std::u16string page = c.page + std::u16string(kStamp, u'\u4E00');
    std::size_t found = 0;
    long iteration = 0;
    for (auto _ : state) {
        long number = iteration++;
        for (std::size_t i = page.size() - kStamp; i < page.size(); ++i, number /= 10)
            page[i] = static_cast<char16_t>(u'\u4E00' + number % 10);
        found = c.parse(page);
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = static_cast<double>(found);
    state.counters["MB"] = static_cast<double>(page.size() * 2) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    static const std::vector<Case> cases = Cases();
    for (const Case& c : cases) {
        benchmark::RegisterBenchmark(c.name, [&c](benchmark::State& state) { ParseAdversarialPage(state, c); })
            ->Unit(benchmark::kMillisecond)
            ->MinTime(0.2);
    }
    static const std::vector<Scaled> scaled = ScaledCases();
    for (const Scaled& c : scaled) {
        // 1×, 10× and 100× the audit's size: the time must grow as the input does, not as its square.
        benchmark::RegisterBenchmark(c.name, [&c](benchmark::State& state) { ParseScaledPage(state, c); })
            ->Arg(1)
            ->Arg(10)
            ->Arg(100)
            ->Unit(benchmark::kMillisecond)
            ->MinTime(0.2);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
