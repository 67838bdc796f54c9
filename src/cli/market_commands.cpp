// tarvisk-cli shop / rank: the shop listing and the ranking walk from the terminal.
//
//   tarvisk-cli shop ADDRESS [--csv FILE]
//       stdout: the listing, "id title" and CR LF per item; last line on stderr: "共查到N个宝贝"
//   tarvisk-cli rank KEYWORD [--pages N] (--item ID | --shop ADDRESS) [--csv FILE]
//       stdout: the result table as tab-separated lines, then "已找到 <position>" or "未找到"
//   tarvisk-cli rank --keywords-file FILE [--pages N] (--item ID | --shop ADDRESS) [--csv FILE]
//       stdout: "KEYWORD<TAB>outcome<TAB>previous outcome" per keyword (see RankingOutcomeText; the previous
//       outcome is that of the keyword's last stored run for the same target, "无记录" without one; a keyword
//       left after a login or verification page ended the run is "未查询")
//
// Every walk that gave an answer is kept in the ranking history (an unread page noted, as 结果不完整).
//
// A page that could not be read (empty, or a login or verification page) and that changes the
// answer gives exit status 4: the shop listing then names that page on stderr instead of the count
// line; the walk prints no final line when it ended at such a page, or did not find its target
// after passing empty pages, and names each such page on stderr. Ctrl+C or SIGTERM stops a job at
// once; what was found so far is still printed, then how far it got.
//
// With --csv the listing, the result table or the keywords' runs are also written to a CSV file (exit status 1
// when it cannot be written); a stopped job writes none (the file, if any, stays as it was).

#include <iostream>
#include <memory>
#include <string>

#include <unistd.h>

#include "jobs/ranking/keyword_ranking.h"
#include "jobs/ranking/ranking_search.h"
#include "jobs/shop/shop_crawl.h"
#include "cli/commands.h"
#include "cli/input_files.h"
#include "cli/interrupt.h"
#include "cli/terminal_text.h"
#include "cli/output.h"
#include "core/date.h"
#include "store/exports.h"
#include "store/local_store.h"
#include "store/ranking_history.h"
#include "table/result_table.h"
#include "text/encoding.h"
#include "text/numbers.h"
#include "text/text_ops.h"

namespace tarvisk::cli {

namespace {

/// "page i/n" on stderr, overwritten in place, only when stderr is a terminal.
ProgressSink terminalProgress() {
    if (isatty(STDERR_FILENO) == 0) {
        return {};
    }
    return [](int page, int pages) { std::cerr << "\rpage " << page << '/' << pages << "\x1b[K" << std::flush; };
}

void clearProgress() {
    if (isatty(STDERR_FILENO) != 0) {
        std::cerr << "\r\x1b[K" << std::flush;
    }
}

/// "rank: page 3: verification http://..." on stderr.
void printUnreadPage(const char* command, const UnreadPage& page) {
    std::cerr << command << ": page " << page.number << ": " << PageKindName(page.kind) << ' '
              << TerminalText(page.address) << '\n';
}

ShopCrawlResult crawl(const std::string& address, const GlobalOptions& global) {
    std::u16string field = FromUtf8(address);
    ShopCrawlOptions options;
    options.fetch = global.shopFetch;
    options.progress = terminalProgress();
    options.cancel = &InterruptScope::flag();
    options.pauseSeconds = global.pauseSeconds;
    ShopCrawlResult result = CrawlShop(field, options);
    clearProgress();
    return result;
}

/// The crawl's last words on stderr: what it says of links past a page's limit, then the count line, or the page
/// it could not read.
void printCrawlEnd(const ShopCrawlResult& result) {
    if (const std::u16string note = ShopNotListedNote(result); !note.empty()) {
        std::cerr << ToUtf8(note) << '\n';
    }
    if (result.unreadPage) {
        printUnreadPage("shop", *result.unreadPage);
        std::cerr << TerminalText(ShopUnreadMessage(result)) << '\n';
    } else {
        std::cerr << TerminalText(result.status) << '\n';
    }
}

struct ShopArguments {
    std::string address;
    std::string csv;
};

int runShop(const ShopArguments& arguments, const GlobalOptions& global) {
    const InterruptScope interrupt;
    const ShopCrawlResult result = crawl(arguments.address, global);
    std::cout << TerminalText(result.text) << std::flush;
    printCrawlEnd(result);
    if (result.cancelled) {
        SkipCsvOutput("shop", arguments.csv);
        return kInterrupted;
    }
    if (!arguments.csv.empty() && !WriteCsvOutput("shop", arguments.csv, ShopListingCsv(result.items))) {
        return kFailure;
    }
    return result.unreadPage ? kPageNotRead : 0;
}

/// A cell on one tab-separated line: tabs and line breaks of page texts become blanks.
std::string tableCell(std::u16string text) {
    for (char16_t& c : text) {
        if (c == u'\t' || c == u'\r' || c == u'\n') {
            c = u' ';
        }
    }
    return TerminalText(text);
}

void printTable(const ResultTable& table) {
    for (int row = 0; row <= table.rowCount(); ++row) {
        for (int column = 0; column < table.columnCount(); ++column) {
            std::cout << (column == 0 ? "" : "\t")
                      << tableCell(row == 0 ? table.columns()[column].title : table.text(row, column));
        }
        std::cout << '\n';
    }
}

struct RankArguments {
    std::string keyword;
    std::string keywordsFile;
    std::string pages = "10";
    std::string item;
    std::string shop;
    bool byShop = false;
    std::string csv;
};

/// What a rank command looks for, read before its walks: the item, or the listed items of the shop.
struct RankTarget {
    TrackedWalk walk;       ///< its target and pages, without the keyword
    bool cancelled = false; ///< the shop's listing was stopped with Ctrl+C
};

RankTarget rankTarget(const RankArguments& arguments, const GlobalOptions& global) {
    RankTarget target;
    RankingQuery& query = target.walk.query;
    query.pages = LeadingNumber(BoundedPagesText(FromUtf8(arguments.pages)));
    if (arguments.byShop) {
        const ShopCrawlResult shop = crawl(arguments.shop, global);
        printCrawlEnd(shop);
        target.cancelled = shop.cancelled;
        // A listing that ended at a page it could not read may lack the item that ranks first.
        target.walk.targetListComplete = !shop.unreadPage;
        query.target = RankingTarget::ShopItems;
        for (const ShopItem& item : shop.items) {
            query.shopItemIds.push_back(item.id);
        }
        target.walk.target = ShopTarget(FromUtf8(arguments.shop));
    } else {
        query.target = RankingTarget::OneItem;
        query.itemId = ItemIdFromText(FromUtf8(arguments.item));
        target.walk.target = ItemTarget(query.itemId);
    }
    return target;
}

/// The walk of `target` for `keyword`.
TrackedWalk walkFor(const RankTarget& target, const std::u16string& keyword) {
    TrackedWalk walk = target.walk;
    walk.query.keyword = keyword;
    return walk;
}

int runRank(const RankArguments& arguments, const GlobalOptions& global) {
    const InterruptScope interrupt;
    const RankTarget target = rankTarget(arguments, global);
    if (target.cancelled) {
        SkipCsvOutput("rank", arguments.csv);
        return kInterrupted;
    }
    const TrackedWalk walk = walkFor(target, FromUtf8(arguments.keyword));
    const bool listComplete = walk.targetListComplete;

    ResultTable table;
    ListViewSetColumns(table, kRankingColumnTitles, kRankingColumnWidths);
    RankingOptions options;
    options.fetch = global.rankingFetch;
    options.progress = terminalProgress();
    options.cancel = &InterruptScope::flag();
    options.pauseSeconds = global.pauseSeconds;
    const RankingResult result = RunRankingSearch(walk.query, table, options);
    clearProgress();

    printTable(table);
    const bool conclusive = result.conclusive() && (result.found || listComplete);
    if (result.found) {
        std::cout << TerminalText(result.toolTip + u" " + result.caption) << '\n';
    } else if (conclusive) {
        std::cout << TerminalText(result.caption) << '\n';
    }
    std::cout << std::flush;
    if (!result.conclusive()) {
        for (const UnreadPage& page : result.unreadPages) {
            printUnreadPage("rank", page);
        }
        std::cerr << TerminalText(RankingUnreadMessage(result)) << '\n';
    }
    if (result.cancelled) {
        SkipCsvOutput("rank", arguments.csv);
        if (!result.found) {
            std::cerr << ToUtf8(RankingCancelledText(result.pagesRead)) << '\n';
        }
        return kInterrupted;
    }
    if (const std::optional<RankingRun> run = FinishedRun(walk, result, UnixTimeNow())) {
        LocalStore store(HistoryFilePath());
        StoreRankingRun(store, *run);
    }
    if (!arguments.csv.empty() && !WriteCsvOutput("rank", arguments.csv, ResultTableCsv(table, u"id"))) {
        return kFailure;
    }
    return conclusive && listComplete ? 0 : kPageNotRead;
}

/// "KEYWORD<TAB>outcome<TAB>previous outcome" on stdout.
void printOutcomeLine(const std::u16string& keyword, const std::u16string& outcome, const std::u16string& previous) {
    std::cout << tableCell(keyword) << '\t' << tableCell(outcome) << '\t' << tableCell(previous) << std::endl;
}

int runKeywordList(const RankArguments& arguments, const GlobalOptions& global) {
    std::vector<std::u16string> lines;
    const LineFileResult read = ReadListFile(arguments.keywordsFile, lines);
    if (read.status != LineFileResult::Status::Read) {
        std::cerr << "rank: " << LineFileProblem(read, "keywords file", arguments.keywordsFile) << '\n';
        return kUsageError;
    }
    std::u16string text;
    for (const std::u16string& line : lines) {
        text += line + u"\n";
    }
    const std::vector<std::u16string> keywords = DistinctLines(text);
    if (keywords.empty()) {
        std::cerr << "rank: no keyword in " << arguments.keywordsFile << " (one a line)\n";
        return kUsageError;
    }
    const InterruptScope interrupt;
    const RankTarget target = rankTarget(arguments, global);
    if (target.cancelled) {
        SkipCsvOutput("rank", arguments.csv);
        return kInterrupted;
    }

    LocalStore store(HistoryFilePath());
    std::vector<RankingRun> runs;
    bool allRead = target.walk.targetListComplete;
    KeywordRankingOptions options;
    options.fetch = global.rankingFetch;
    options.pauseSeconds = global.pauseSeconds;
    options.cancel = &InterruptScope::flag();
    const ProgressSink progress = terminalProgress();
    if (progress) {
        options.progress = [&progress](std::size_t, int page, int pages) { progress(page, pages); };
    }
    options.ranked = [&](std::size_t index, const RankingResult& result) {
        clearProgress();
        const std::optional<RankingRun> run = FinishedRun(walkFor(target, keywords[index]), result, UnixTimeNow());
        if (!run) {
            return; // stopped before it found its target: no answer to print or keep
        }
        const RankingRunContext context = RecordRankingRun(store, *run);
        printOutcomeLine(run->keyword, RankingOutcomeText(*run), PreviousOutcomeText(context.previous));
        if (!result.conclusive()) {
            allRead = false;
            for (const UnreadPage& page : result.unreadPages) {
                printUnreadPage(("rank: " + ToUtf8(run->keyword)).c_str(), page);
            }
        }
        if (result.endedAtUnreadPage) {
            std::cerr << TerminalText(RankingUnreadMessage(result)) << '\n';
        }
        runs.push_back(*run);
    };
    const std::size_t walked = RunKeywordRankings(target.walk.query, keywords, options);
    clearProgress();
    if (interrupt.interrupted()) {
        SkipCsvOutput("rank", arguments.csv);
        // The keyword under way was given up: nothing of it was printed or kept.
        std::cerr << "已取消：已查完" << walked << "个关键字\n";
        return kInterrupted;
    }
    // A login or verification page ended the run: the keywords after it were not walked.
    for (std::size_t i = walked; i < keywords.size(); ++i) {
        allRead = false;
        const auto previous = StoredRankingRuns(store, keywords[i], target.walk.target, 1);
        printOutcomeLine(
            keywords[i], u"未查询",
            PreviousOutcomeText(previous && !previous->empty() ? std::optional(previous->front()) : std::nullopt));
    }
    if (!arguments.csv.empty() && !WriteCsvOutput("rank", arguments.csv, RankingRunsCsv(runs))) {
        return kFailure;
    }
    return allRead ? 0 : kPageNotRead;
}

} // namespace

std::string CheckItemId(const std::string& text) {
    return ItemIdFromText(FromUtf8(text)).empty() ? "no item id (a run of 9 to 12 digits) in " + text : std::string();
}

void AddShopCommand(CLI::App& app, const GlobalOptions& global, CommandRunner& runner) {
    auto arguments = std::make_shared<ShopArguments>();
    CLI::App* shop = app.add_subcommand(
        "shop", "List the ids and titles of all items of a shop (exit 4 when a page could not be read)");
    shop->add_option("ADDRESS", arguments->address, "the shop's address, for example shop123.taobao.com")->required();
    shop->add_option("--csv", arguments->csv, "also write the listing to this CSV file (UTF-8 with BOM)");
    shop->callback(
        [&runner, &global, arguments] { runner = [&global, arguments] { return runShop(*arguments, global); }; });
}

void AddRankCommand(CLI::App& app, const GlobalOptions& global, CommandRunner& runner) {
    auto arguments = std::make_shared<RankArguments>();
    CLI::App* rank = app.add_subcommand("rank", "Find where an item, or the first item of a shop, ranks in a search "
                                                "(exit 4 when a page could not be read and the answer may be wrong); "
                                                "each answer is kept in the ranking history");
    CLI::Option* keyword = rank->add_option("KEYWORD", arguments->keyword, "the search keyword");
    CLI::Option* keywordsFile =
        rank->add_option("--keywords-file", arguments->keywordsFile,
                         "walk every keyword of this file (one a line, UTF-8) and print one line per keyword: "
                         "KEYWORD, outcome, previous outcome (tab-separated)")
            ->excludes(keyword);
    rank->add_option("--pages", arguments->pages, "result pages to walk, held to 1..100 (default 10)");
    CLI::Option_group* target = rank->add_option_group("target", "what to look for (exactly one)");
    target
        ->add_option("--item", arguments->item,
                     "the item's id; a pasted item address is reduced to its last run of 9 to 12 digits")
        ->check(CheckItemId, "ID");
    CLI::Option* shop = target->add_option("--shop", arguments->shop, "rank all items of the shop at this address");
    target->require_option(1);
    rank->add_option("--csv", arguments->csv,
                     "also write the result table (with --keywords-file: the keywords' runs) to this CSV file "
                     "(UTF-8 with BOM)");
    rank->callback([&runner, &global, arguments, shop, keyword, keywordsFile] {
        if (keyword->count() == 0 && keywordsFile->count() == 0) {
            throw CLI::RequiredError("KEYWORD or --keywords-file");
        }
        arguments->byShop = shop->count() > 0;
        runner = [&global, arguments, list = keywordsFile->count() > 0] {
            return list ? runKeywordList(*arguments, global) : runRank(*arguments, global);
        };
    });
}

} // namespace tarvisk::cli
