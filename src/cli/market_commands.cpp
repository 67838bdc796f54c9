// tarvisk-cli shop / rank: the shop listing and the ranking walk from the terminal.
//
//   tarvisk-cli shop ADDRESS
//       stdout: the listing, "id title" and CR LF per item; last line on stderr: "共查到N个宝贝"
//   tarvisk-cli rank KEYWORD [--pages N] (--item ID | --shop ADDRESS)
//       stdout: the result table as tab-separated lines, then "已找到 <position>" or "未找到"
//
// Ctrl+C stops a job after the page under way; what was found so far is still printed.

#include <atomic>
#include <csignal>
#include <iostream>
#include <memory>
#include <string>

#include <unistd.h>

#include "app/ranking/ranking_search.h"
#include "app/shop/shop_crawl.h"
#include "cli/commands.h"
#include "table/result_table.h"
#include "text/encoding.h"
#include "text/numbers.h"

namespace tarvisk::cli {

namespace {

/// Exit status of a job stopped with Ctrl+C.
constexpr int kInterrupted = 130;

std::atomic<bool> interrupted = false;
static_assert(std::atomic<bool>::is_always_lock_free);

/// Ctrl+C sets the job's cancel flag for as long as the job runs.
class InterruptScope {
public:
    InterruptScope() {
        interrupted = false;
        m_previous = std::signal(SIGINT, [](int) { interrupted = true; });
    }
    ~InterruptScope() { std::signal(SIGINT, m_previous); }
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

private:
    void (*m_previous)(int) = SIG_DFL;
};

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

ShopCrawlResult crawl(const std::string& address) {
    std::u16string field = FromUtf8(address);
    ShopCrawlOptions options;
    options.progress = terminalProgress();
    options.cancel = &interrupted;
    ShopCrawlResult result = CrawlShop(field, options);
    clearProgress();
    return result;
}

int runShop(const std::string& address) {
    const InterruptScope interrupt;
    const ShopCrawlResult result = crawl(address);
    std::cout << ToUtf8(result.text) << std::flush;
    std::cerr << ToUtf8(result.status) << '\n';
    return result.cancelled ? kInterrupted : 0;
}

/// A cell on one tab-separated line: tabs and line breaks of page texts become blanks.
std::string tableCell(std::u16string text) {
    for (char16_t& c : text) {
        if (c == u'\t' || c == u'\r' || c == u'\n') {
            c = u' ';
        }
    }
    return ToUtf8(text);
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
};

int runRank(const RankArguments& arguments) {
    const InterruptScope interrupt;
    RankingQuery query;
    query.keyword = FromUtf8(arguments.keyword);
    query.pages = LeadingNumber(BoundedPagesText(FromUtf8(arguments.pages)));
    if (arguments.byShop) {
        const ShopCrawlResult shop = crawl(arguments.shop);
        std::cerr << ToUtf8(shop.status) << '\n';
        if (shop.cancelled) {
            return kInterrupted;
        }
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
    options.cancel = &interrupted;
    const RankingResult result = RunRankingSearch(query, table, options);
    clearProgress();

    printTable(table);
    std::cout << (result.found ? ToUtf8(result.toolTip + u" " + result.caption) : ToUtf8(result.caption)) << '\n'
              << std::flush;
    return result.cancelled ? kInterrupted : 0;
}

} // namespace

void AddShopCommand(CLI::App& app, CommandRunner& runner) {
    auto address = std::make_shared<std::string>();
    CLI::App* shop = app.add_subcommand("shop", "List the ids and titles of all items of a shop");
    shop->add_option("ADDRESS", *address, "the shop's address, for example shop123.taobao.com")->required();
    shop->callback([&runner, address] { runner = [address] { return runShop(*address); }; });
}

void AddRankCommand(CLI::App& app, CommandRunner& runner) {
    auto arguments = std::make_shared<RankArguments>();
    CLI::App* rank = app.add_subcommand("rank", "Find where an item, or the first item of a shop, ranks in a search");
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
    rank->callback([&runner, arguments, shop] {
        arguments->byShop = shop->count() > 0;
        runner = [arguments] { return runRank(*arguments); };
    });
}

} // namespace tarvisk::cli
