// tarvisk-cli shop / rank: the shop listing and the ranking walk from the terminal.
//
//   tarvisk-cli shop ADDRESS [--csv FILE]
//       stdout: the listing, "id title" and CR LF per item; last line on stderr: "共查到N个宝贝"
//   tarvisk-cli rank KEYWORD [--pages N] (--item ID | --shop ADDRESS) [--csv FILE]
//       stdout: the result table as tab-separated lines, then "已找到 <position>" or "未找到"
//
// A page that could not be read (empty, or a login or verification page) and that changes the
// answer gives exit status 4: the shop listing then names that page on stderr instead of the count
// line; the walk prints no final line when it ended at such a page, or did not find its target
// after passing empty pages, and names each such page on stderr. Ctrl+C or SIGTERM stops a job at
// once; what was found so far is still printed, then how far it got.
//
// With --csv the listing or the result table is also written to a CSV file (exit status 1 when it
// cannot be written); a stopped job writes none (the file, if any, stays as it was).

#include <iostream>
#include <memory>
#include <string>

#include <unistd.h>

#include "app/ranking/ranking_search.h"
#include "app/shop/shop_crawl.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/terminal_text.h"
#include "cli/output.h"
#include "store/exports.h"
#include "table/result_table.h"
#include "text/encoding.h"
#include "text/numbers.h"

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

ShopCrawlResult crawl(const std::string& address, double pauseSeconds) {
    std::u16string field = FromUtf8(address);
    ShopCrawlOptions options;
    options.progress = terminalProgress();
    options.cancel = &InterruptScope::flag();
    options.pauseSeconds = pauseSeconds;
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
    const ShopCrawlResult result = crawl(arguments.address, global.pauseSeconds);
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
    std::string pages = "10";
    std::string item;
    std::string shop;
    bool byShop = false;
    std::string csv;
};

int runRank(const RankArguments& arguments, const GlobalOptions& global) {
    const InterruptScope interrupt;
    RankingQuery query;
    query.keyword = FromUtf8(arguments.keyword);
    query.pages = LeadingNumber(BoundedPagesText(FromUtf8(arguments.pages)));
    // A shop listing that ended at a page it could not read may lack the item that ranks first.
    bool shopListComplete = true;
    if (arguments.byShop) {
        const ShopCrawlResult shop = crawl(arguments.shop, global.pauseSeconds);
        printCrawlEnd(shop);
        if (shop.cancelled) {
            SkipCsvOutput("rank", arguments.csv);
            return kInterrupted;
        }
        shopListComplete = !shop.unreadPage;
        query.target = RankingTarget::ShopItems;
        for (const ShopItem& item : shop.items) {
            query.shopItemIds.push_back(item.id);
        }
    } else {
        query.target = RankingTarget::OneItem;
        query.itemId = ItemIdFromText(FromUtf8(arguments.item));
    }

    ResultTable table;
    ListViewSetColumns(table, kRankingColumnTitles, kRankingColumnWidths);
    RankingOptions options;
    options.progress = terminalProgress();
    options.cancel = &InterruptScope::flag();
    options.pauseSeconds = global.pauseSeconds;
    const RankingResult result = RunRankingSearch(query, table, options);
    clearProgress();

    printTable(table);
    const bool conclusive = result.conclusive() && (result.found || shopListComplete);
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
    if (!arguments.csv.empty() && !WriteCsvOutput("rank", arguments.csv, ResultTableCsv(table, u"id"))) {
        return kFailure;
    }
    return conclusive && shopListComplete ? 0 : kPageNotRead;
}

} // namespace

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
                                                "(exit 4 when a page could not be read and the answer may be wrong)");
    rank->add_option("KEYWORD", arguments->keyword, "the search keyword")->required();
    rank->add_option("--pages", arguments->pages, "result pages to walk, held to 1..100 (default 10)");
    CLI::Option_group* target = rank->add_option_group("target", "what to look for (exactly one)");
    target
        ->add_option("--item", arguments->item,
                     "the item's id; a pasted item address is reduced to its last run of 9 to 12 digits")
        ->check(
            [](const std::string& text) {
                return ItemIdFromText(FromUtf8(text)).empty() ? "no item id (a run of 9 to 12 digits) in " + text
                                                              : std::string();
            },
            "ID");
    CLI::Option* shop = target->add_option("--shop", arguments->shop, "rank all items of the shop at this address");
    target->require_option(1);
    rank->add_option("--csv", arguments->csv, "also write the result table to this CSV file (UTF-8 with BOM)");
    rank->callback([&runner, &global, arguments, shop] {
        arguments->byShop = shop->count() > 0;
        runner = [&global, arguments] { return runRank(*arguments, global); };
    });
}

} // namespace tarvisk::cli
