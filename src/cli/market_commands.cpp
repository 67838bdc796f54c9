// tarvisk-cli shop / rank: the shop listing and the ranking walk from the terminal.
//
//   tarvisk-cli shop ADDRESS [--csv FILE]
//       stdout: the listing, "id title" and CR LF per item; last line on stderr: "共查到N个宝贝", with why the
//       listing is partial in brackets (a page not read, the page limit, links past a page's limit)
//   tarvisk-cli rank KEYWORD [--pages N] (--item ID | --shop ADDRESS) [--csv FILE]
//       stdout: the result table as tab-separated lines, then "已找到 <position>" or "未找到"
//   tarvisk-cli rank --keywords-file FILE [--pages N] (--item ID | --shop ADDRESS) [--csv FILE]
//       stdout: "KEYWORD<TAB>outcome<TAB>previous outcome" per keyword (see RankingOutcomeText; the previous
//       outcome is that of the keyword's last stored run with an answer for the same target, "无记录" without one;
//       a keyword left after a login or verification page ended the run is "未查询")
//   tarvisk-cli rank --keywords-file FILE ... --alert-drop N [--notify URL], tarvisk-cli track ... (the same)
//       after the keyword lines, "提醒<TAB>KEYWORD<TAB>text" per keyword whose run calls for an alert
//       (RankingAlertText: N places lower, fallen out of the pages walked, a login or verification page); with
//       --notify, those lines in one message to a chat group's bot (a message that does not go out is said on stderr
//       and changes nothing else)
//   tarvisk-cli track [--csv FILE]
//       as rank --keywords-file, for the keywords the ranking window tracks, with the window's target, pages and
//       pause (what its daily run walks; --pause replaces the window's pause, a window without one leaves the
//       front end's own). Without keywords or without a
//       target it says what to set in the window, exit status 2.
//
// Every walk that gave an answer is kept in the ranking history (an unread page noted, as 结果不完整).
//
// A page that could not be read (empty, an error status such as 503, a login or verification page, or a page of
// another layout) and that changes the answer gives exit status 4: the shop listing then names that page on stderr
// before the count line; the walk prints no final line when it ended at such a page, or did not find its target
// after passing such pages, and names each of them on stderr. A --shop listing that is incomplete or lists no item
// is not walked at all (exit status 4, the shop page named). An empty keyword is a usage error. Ctrl+C or SIGTERM
// stops a job at once; what was found so far is still printed, then how far it got.
//
// With --csv the listing, the result table or the keywords' runs are also written to a CSV file (exit status 1
// when it cannot be written); a stopped job writes none (the file, if any, stays as it was).

#include <algorithm>
#include <iostream>
#include <memory>
#include <string>

#include <unistd.h>

#include "jobs/ranking/keyword_ranking.h"
#include "jobs/ranking/ranking_alert.h"
#include "jobs/ranking/ranking_search.h"
#include "jobs/ranking/stored_walk.h"
#include "jobs/shop/shop_crawl.h"
#include "cli/commands.h"
#include "cli/help.h"
#include "cli/input_files.h"
#include "cli/interrupt.h"
#include "cli/terminal_text.h"
#include "cli/output.h"
#include "core/cancel.h"
#include "core/date.h"
#include "net/webhook.h"
#include "store/exports.h"
#include "store/local_store.h"
#include "store/ranking_history.h"
#include "store/tracked_keywords.h"
#include "table/result_table.h"
#include "text/encoding.h"
#include "text/numbers.h"
#include "text/text_ops.h"

namespace tarvisk::cli {

namespace {

/// What helps with a page the jobs' own requests could not read, `browser` naming how to read through the browser.
std::u16string directAdvice(PageKind kind, std::u16string_view browser) {
    if (kind == PageKind::Verification) {
        return u"程序自己的请求通不过验证：请改用 " + std::u16string(browser) +
               u"（通过浏览器读取页面），或用更长的 --pause 放慢速度后再查询。";
    }
    if (kind == PageKind::BrowserOnly) {
        return u"程序自己的请求读不到这样的页面：请改用 " + std::u16string(browser) + u"（通过浏览器读取页面）。";
    }
    if (kind == PageKind::Unrecognised) {
        // Today's pages fetch their results with their own scripts: a request of the program gets them without.
        return u"页面的结果若由页面自己的脚本加载，程序自己的请求读不到：请改用 " + std::u16string(browser) +
               u"（通过浏览器读取页面）。";
    }
    return PageKindAdvice(kind);
}

} // namespace

std::u16string DirectRequestAdvice(PageKind kind) {
    return directAdvice(kind, u"tarvisk --no-window");
}

std::u16string WindowlessDirectAdvice(PageKind kind) {
    return directAdvice(kind, u"--fetch browser");
}

std::u16string WindowlessBrowserAdvice(PageKind kind) {
    if (kind == PageKind::Verification) {
        return u"没有窗口时无法通过验证：请在 tarvisk 的窗口中查询（它显示验证页面，通过后接着查），或用更长的 "
               u"--pause 放慢速度后再查询。";
    }
    return PageKindAdvice(kind);
}

namespace {

/// The check of a rank keyword: empty when it holds more than blanks, else why not.
std::string checkKeyword(const std::string& text) {
    return IsBlankKeyword(FromUtf8(text)) ? "关键字不能为空" : std::string();
}

/// "page i/n" on stderr, overwritten in place, only when stderr is a terminal.
ProgressSink terminalProgress() {
    if (isatty(STDERR_FILENO) == 0) {
        return {};
    }
    return [](int page, int pages) { std::cerr << "\r第" << page << '/' << pages << "页\x1b[K" << std::flush; };
}

void clearProgress() {
    if (isatty(STDERR_FILENO) != 0) {
        std::cerr << "\r\x1b[K" << std::flush;
    }
}

/// "rank：第3页：淘宝要求安全验证（滑块或访问受限） http://..." on stderr.
void printUnreadPage(const std::string& command, const UnreadPage& page) {
    std::cerr << command << "：第" << page.number << "页：" << TerminalText(PageKindReason(page.kind)) << ' '
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

/// The crawl's last words on stderr: the page it could not read, if any, then the count line with why the
/// listing is partial.
void printCrawlEnd(const ShopCrawlResult& result, PageAdvice advice) {
    if (result.unreadPage) {
        printUnreadPage("shop", *result.unreadPage);
        std::cerr << TerminalText(ShopUnreadMessage(result, advice)) << '\n';
    }
    std::cerr << TerminalText(result.status) << '\n';
}

struct ShopArguments {
    std::string address;
    std::string csv;
};

int runShop(const ShopArguments& arguments, const GlobalOptions& global) {
    const InterruptScope interrupt;
    const ShopCrawlResult result = crawl(arguments.address, global);
    std::cout << TerminalText(result.text) << std::flush;
    printCrawlEnd(result, global.advice);
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

/// When a keyword list's runs raise alerts, and where they go besides stdout.
struct AlertOptions {
    int drop = 0;       ///< the places a rank must drop by to raise one; 0: no alerts
    std::string notify; ///< the chat group bot's webhook address; empty: none
};

/// The check of a --notify address: empty when a message may go there, else why not.
std::string checkNotifyAddress(const std::string& text) {
    return ToUtf8(WebhookAddressProblem(FromUtf8(text)));
}

/// --alert-drop and --notify for a command that walks a keyword list, whose alerts come from `rules` ("by the
/// rule of each tracked keyword" for track; for a list, only with --alert-drop); returns --alert-drop.
CLI::Option* addAlertOptions(CLI::App& command, AlertOptions& alerts, const char* rules) {
    CLI::Option* drop =
        command
            .add_option("--alert-drop", alerts.drop,
                        std::string("关键字的排名比上次下降 N 位或更多、跌出所查的页、或因淘宝要求登录或"
                                    "验证而没有查完时，在各关键字的结果之后输出一行提醒（") +
                            rules + "）")
            ->check(PositiveWholeNumber())
            ->type_name("N");
    command
        .add_option("--notify", alerts.notify,
                    "有提醒时把全部提醒发到这个群机器人的 webhook 地址（企业微信、钉钉、飞书；只限 https）")
        ->check(checkNotifyAddress)
        ->type_name("URL");
    return drop;
}

/// Sends the alert lines of a run to the group bot at `notify` (none when empty), saying on stderr when the message
/// did not go out; `advice` adds what to do about a page that wants the user.
void notifyAlerts(const std::string& notify, const std::vector<std::string>& lines, bool advice) {
    if (notify.empty() || lines.empty()) {
        return;
    }
    std::u16string message = kRankingAlertTitle;
    for (const std::string& line : lines) {
        message += u"\n" + FromUtf8(line);
    }
    if (advice) {
        message += u"\n" + std::u16string(kUnreadAlertAdvice);
    }
    const std::u16string url = FromUtf8(notify);
    const CancelScope cancel(InterruptScope::flag());
    if (const std::u16string problem = PostWebhook(url, message); !problem.empty()) {
        std::cerr << "提醒没有发出：" << TerminalText(WebhookShownAddress(url)) << "：" << TerminalText(problem)
                  << '\n';
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
    AlertOptions alerts;
};

/// What a rank command looks for, read before its walks: the item, or the listed items of the shop.
struct RankTarget {
    TrackedWalk walk; ///< its target and pages, without the keyword
    /// Not 0 when nothing may be walked: the exit status (the shop's listing was stopped, is incomplete or lists no
    /// item; stderr says so).
    int refusal = 0;
};

RankTarget rankTarget(const std::string& command, const RankArguments& arguments, const GlobalOptions& global) {
    RankTarget target;
    RankingQuery& query = target.walk.query;
    query.pages = LeadingNumber(BoundedPagesText(FromUtf8(arguments.pages)));
    if (arguments.byShop) {
        const ShopCrawlResult shop = crawl(arguments.shop, global);
        printCrawlEnd(shop, global.advice);
        if (shop.cancelled) {
            target.refusal = kInterrupted;
            return target;
        }
        // The shop's first item in the results may be one its listing left out.
        if (const std::u16string problem = ShopTargetProblem(shop, FromUtf8(arguments.shop), global.advice);
            !problem.empty()) {
            std::cerr << command << ": " << TerminalText(problem) << '\n';
            target.refusal = kPageNotRead;
            return target;
        }
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
    const RankTarget target = rankTarget("rank", arguments, global);
    if (target.refusal != 0) {
        SkipCsvOutput("rank", arguments.csv);
        return target.refusal;
    }
    const TrackedWalk walk = walkFor(target, WalkedKeyword(FromUtf8(arguments.keyword)));

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
    if (result.found) {
        std::cout << TerminalText(result.toolTip + u" " + result.caption) << '\n';
    } else if (result.conclusive()) {
        std::cout << TerminalText(result.caption) << '\n';
    }
    std::cout << std::flush;
    if (!result.conclusive()) {
        for (const UnreadPage& page : result.unreadPages) {
            printUnreadPage("rank", page);
        }
        std::cerr << TerminalText(RankingUnreadMessage(result, global.advice)) << '\n';
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
    return result.conclusive() ? 0 : kPageNotRead;
}

/// "KEYWORD<TAB>outcome<TAB>previous outcome" on stdout.
void printOutcomeLine(const std::u16string& keyword, const std::u16string& outcome, const std::u16string& previous) {
    std::cout << tableCell(keyword) << '\t' << tableCell(outcome) << '\t' << tableCell(previous) << std::endl;
}

/// Keywords walked for one target, each with the alert rule its run is held to.
struct KeywordGroup {
    RankArguments target; ///< its item or shop (and pages)
    std::vector<std::u16string> keywords;
    std::vector<AlertRule> rules; ///< of each keyword
};

/// How a keyword list's walks are made beyond their targets.
struct KeywordRun {
    std::string csv;
    std::string notify;                   ///< the chat group bot's webhook address; empty: none
    std::optional<double> unattendedWait; ///< set for a run nobody watches (see KeywordRankingOptions)
};

/// Walks each group's target for each of its keywords, as `command`: one outcome line per keyword, each run kept
/// in the history, then the alert lines. A shop whose listing cannot be walked leaves its keywords 未查询.
int rankKeywords(const std::string& command, const std::vector<KeywordGroup>& groups, const KeywordRun& settings,
                 const GlobalOptions& global) {
    const InterruptScope interrupt;
    LocalStore store(HistoryFilePath());
    // The walks in order, with the target of each as the history names it.
    std::vector<RankingQuery> walks;
    std::vector<TrackedTarget> targets;
    std::vector<AlertRule> rules;
    std::vector<std::pair<std::u16string, TrackedTarget>> refused;
    int refusal = 0;
    for (const KeywordGroup& group : groups) {
        const RankTarget target = rankTarget(command, group.target, global);
        if (target.refusal == kInterrupted) {
            SkipCsvOutput(command, settings.csv);
            return kInterrupted;
        }
        for (std::size_t i = 0; i < group.keywords.size(); ++i) {
            if (target.refusal != 0) {
                refused.emplace_back(group.keywords[i], target.walk.target);
                continue;
            }
            walks.push_back(walkFor(target, group.keywords[i]).query);
            targets.push_back(target.walk.target);
            rules.push_back(group.rules[i]);
        }
        refusal = std::max(refusal, target.refusal);
    }
    if (walks.empty() && refusal != 0) {
        SkipCsvOutput(command, settings.csv);
        return refusal;
    }

    std::vector<RankingRun> runs;
    std::vector<std::string> alertLines;
    bool allRead = refused.empty();
    bool wantsTheUser = false;
    KeywordRankingOptions options;
    options.fetch = global.rankingFetch;
    options.pauseSeconds = global.pauseSeconds;
    options.cancel = &InterruptScope::flag();
    options.unattendedWait = settings.unattendedWait;
    const ProgressSink progress = terminalProgress();
    if (progress) {
        options.progress = [&progress](std::size_t, int page, int pages) { progress(page, pages); };
    }
    options.ranked = [&](std::size_t index, const RankingResult& result) {
        clearProgress();
        const std::optional<RankingRun> run = FinishedRun({walks[index], targets[index]}, result, UnixTimeNow());
        if (!run) {
            return; // stopped before it found its target: no answer to print or keep
        }
        const RankingRunContext context = RecordRankingRun(store, *run);
        printOutcomeLine(run->keyword, RankingOutcomeText(*run), PreviousOutcomeText(context.previous));
        if (const auto alert = RankingAlertText(context.previous, *run, rules[index])) {
            alertLines.push_back("提醒\t" + tableCell(run->keyword) + '\t' + tableCell(*alert));
        }
        if (!result.conclusive()) {
            allRead = false;
            for (const UnreadPage& page : result.unreadPages) {
                printUnreadPage(command + "：" + TerminalText(run->keyword), page);
            }
        }
        if (result.endedAtUnreadPage) {
            wantsTheUser = wantsTheUser || NeedsTheUser(result.unreadPages.back().kind);
            std::cerr << TerminalText(RankingUnreadMessage(result, global.advice)) << '\n';
        }
        runs.push_back(*run);
    };
    const std::size_t walked = RunKeywordRankings(walks, options);
    clearProgress();
    if (interrupt.interrupted()) {
        SkipCsvOutput(command, settings.csv);
        // The keyword under way was given up: nothing of it was printed or kept.
        std::cerr << "已取消：已查完" << walked << "个关键字\n";
        return kInterrupted;
    }
    // A login or verification page ended the run: the keywords after it were not walked.
    for (std::size_t i = walked; i < walks.size(); ++i) {
        refused.emplace_back(walks[i].keyword, targets[i]);
    }
    for (const auto& [keyword, target] : refused) {
        allRead = false;
        printOutcomeLine(keyword, u"未查询", PreviousOutcomeText(PreviousRankingRun(store, keyword, target)));
    }
    for (const std::string& line : alertLines) {
        std::cout << line << std::endl;
    }
    if (wantsTheUser && settings.unattendedWait) {
        std::cerr << command << "：" << TerminalText(kUnreadAlertAdvice) << "，或稍后再运行 " << command << '\n';
    }
    notifyAlerts(settings.notify, alertLines, wantsTheUser && settings.unattendedWait);
    if (!settings.csv.empty() && !WriteCsvOutput(command, settings.csv, RankingRunsCsv(runs))) {
        return kFailure;
    }
    return allRead ? 0 : kPageNotRead;
}

int runKeywordList(const RankArguments& arguments, const GlobalOptions& global) {
    std::vector<std::u16string> lines;
    const LineFileResult read = ReadListFile(arguments.keywordsFile, lines);
    if (read.status != LineFileResult::Status::Read) {
        std::cerr << "rank：" << LineFileProblem(read, "关键字文件", arguments.keywordsFile) << '\n';
        return kUsageError;
    }
    std::u16string text;
    for (const std::u16string& line : lines) {
        text += line + u"\n";
    }
    const std::vector<std::u16string> keywords = DistinctLines(text);
    if (keywords.empty()) {
        std::cerr << "rank：" << arguments.keywordsFile << " 里没有关键字（每行一个）\n";
        return kUsageError;
    }
    // Without --alert-drop a list raises no alerts.
    const AlertRule rule =
        arguments.alerts.drop > 0 ? DropAlertRule(arguments.alerts.drop) : AlertRule{0, false, false};
    const KeywordGroup group{arguments, keywords, std::vector<AlertRule>(keywords.size(), rule)};
    return rankKeywords("rank", {group}, {arguments.csv, arguments.alerts.notify, std::nullopt}, global);
}

/// The arguments of a `track` run.
struct TrackArguments {
    std::string csv;
    AlertOptions alerts;
    double blockedWait = kUnattendedWaitSeconds;
};

/// The tracked keywords, each walked for its own target with the ranking window's pages and pause (a --pause
/// given on the command line takes the place of the window's; without either, the front end's own), as nobody
/// watches: a login or slider page leaves its keyword incomplete and the run goes on (KeywordRankingOptions).
/// Keywords tracked before keywords had targets take the window's target first, once.
int runTrack(const TrackArguments& arguments, bool pauseGiven, const GlobalOptions& global) {
    const StoredWalk stored = ReadStoredWalk();
    std::optional<std::vector<TrackedKeyword>> keywords;
    {
        LocalStore store(HistoryFilePath());
        keywords = TrackedKeywords(store);
        if (keywords && stored.hasTarget() &&
            std::ranges::any_of(*keywords, [](const TrackedKeyword& keyword) { return !keyword.hasTarget(); }) &&
            AdoptWindowTarget(store, StoredTarget(stored))) {
            keywords = TrackedKeywords(store);
        }
    }
    if (!keywords) {
        std::cerr << "track：无法读取排名记录中的关键字列表：" << HistoryFilePath().string() << '\n';
        return kFailure;
    }
    if (keywords->empty()) {
        std::cerr << "track：还没有要跟踪的关键字：请用 track add 关键字 --item 宝贝ID（或 --shop 店铺地址）加入，"
                     "或在 tarvisk 排名窗口的“关键字跟踪”中输入\n";
        return kUsageError;
    }
    std::u16string waiting;
    for (const TrackedKeyword& keyword : *keywords) {
        if (!keyword.hasTarget()) {
            waiting += (waiting.empty() ? u"" : u"、") + keyword.keyword;
        }
    }
    if (!waiting.empty()) {
        std::cerr << "track：这些关键字还没有查询目标，没有查询：" << TerminalText(waiting)
                  << "（请在 tarvisk 的排名窗口中输入宝贝id或店铺地址，或用 track add 为它们加上目标）\n";
    }
    std::vector<KeywordGroup> groups;
    for (const TrackedTarget& target : TrackedTargets(*keywords)) {
        KeywordGroup group;
        group.target.pages = std::to_string(stored.pages);
        group.target.byShop = target.kind == RankingTarget::ShopItems;
        (group.target.byShop ? group.target.shop : group.target.item) = ToUtf8(target.value);
        for (const TrackedKeyword& keyword : *keywords) {
            if (keyword.target == target) {
                group.keywords.push_back(keyword.keyword);
                // --alert-drop holds every keyword to one rule.
                group.rules.push_back(arguments.alerts.drop > 0 ? DropAlertRule(arguments.alerts.drop) : keyword.alert);
            }
        }
        groups.push_back(std::move(group));
    }
    if (groups.empty()) {
        return kUsageError;
    }
    GlobalOptions options = global;
    if (!pauseGiven && stored.pauseSeconds > 0) {
        options.pauseSeconds = stored.pauseSeconds;
    }
    return rankKeywords("track", groups, {arguments.csv, arguments.alerts.notify, arguments.blockedWait}, options);
}

} // namespace

std::string CheckItemId(const std::string& text) {
    return ItemIdFromText(FromUtf8(text)).empty() ? "“" + text + "”里没有宝贝ID（9到12位数字）" : std::string();
}

void AddShopCommand(CLI::App& app, const GlobalOptions& global, CommandRunner& runner) {
    auto arguments = std::make_shared<ShopArguments>();
    CLI::App* shop = app.add_subcommand("shop", "列出店铺全部宝贝的ID和标题（有页面读不到时退出码为4）");
    shop->add_option("ADDRESS", arguments->address, "店铺地址，例如 shop123.taobao.com")->required();
    shop->add_option("--csv", arguments->csv, "同时把列表写入这个 CSV 文件（UTF-8，带 BOM）")->type_name("FILE");
    shop->callback(
        [&runner, &global, arguments] { runner = [&global, arguments] { return runShop(*arguments, global); }; });
}

void AddRankCommand(CLI::App& app, const GlobalOptions& global, CommandRunner& runner) {
    auto arguments = std::make_shared<RankArguments>();
    CLI::App* rank = app.add_subcommand("rank", "查一个宝贝或店铺的第一个宝贝在搜索结果中的排名（有页面读不到、"
                                                "答案可能不对时退出码为4）；每个答案都存入排名记录");
    CLI::Option* keyword =
        rank->add_option("KEYWORD", arguments->keyword, "搜索关键字")->check(checkKeyword, "KEYWORD");
    CLI::Option* keywordsFile = rank->add_option("--keywords-file", arguments->keywordsFile,
                                                 "查这个文件里的每个关键字（每行一个，UTF-8），每个关键字输出一行："
                                                 "关键字、结果、上次结果（以制表符分隔）")
                                    ->excludes(keyword)
                                    ->type_name("FILE");
    rank->add_option("--pages", arguments->pages, "要查的结果页数，限于1到100（默认10）")->type_name("N");
    CLI::Option_group* target = rank->add_option_group("目标", "要找什么（--item 和 --shop 二选一）");
    target->add_option("--item", arguments->item, "宝贝ID；粘贴的宝贝网址取其中的 id=（没有时取最后一串9到12位数字）")
        ->check(CheckItemId)
        ->type_name("ID");
    CLI::Option* shop = target->add_option("--shop", arguments->shop, "找这个地址的店铺的全部宝贝")->type_name("HOST");
    target->require_option(1);
    rank->add_option("--csv", arguments->csv,
                     "同时把结果表（用 --keywords-file 时为各关键字的结果）写入这个 CSV 文件（UTF-8，带 BOM）")
        ->type_name("FILE");
    CLI::Option* alertDrop = addAlertOptions(*rank, arguments->alerts, "不给时不提醒")->needs(keywordsFile);
    rank->get_option("--notify")->needs(alertDrop);
    rank->callback([&runner, &global, arguments, shop, keyword, keywordsFile] {
        if (keyword->count() == 0 && keywordsFile->count() == 0) {
            throw CLI::RequiredError("KEYWORD 或 --keywords-file");
        }
        arguments->byShop = shop->count() > 0;
        runner = [&global, arguments, list = keywordsFile->count() > 0] {
            return list ? runKeywordList(*arguments, global) : runRank(*arguments, global);
        };
    });
}

void AddTrackCommand(CLI::App& app, const GlobalOptions& global, CommandRunner& runner) {
    auto arguments = std::make_shared<TrackArguments>();
    CLI::App* track = app.add_subcommand(
        "track", "把跟踪的每个关键字按它自己的查询目标查一遍（页数和页间停顿按排名窗口的设置），输出同 rank "
                 "--keywords-file；遇到登录或滑块页面时不等人，标为结果不完整后接着查，连续两个时停止；可用 cron "
                 "每天运行。track add / remove / list 管理跟踪的关键字");
    track->add_option("--csv", arguments->csv, "同时把各关键字的结果写入这个 CSV 文件（UTF-8，带 BOM）")
        ->type_name("FILE");
    addAlertOptions(*track, arguments->alerts, "不给时按每个关键字自己的提醒规则");
    track
        ->add_option("--blocked-wait", arguments->blockedWait,
                     "遇到登录或滑块页面后，等这么多秒（上下浮动30%）再查下一个关键字（默认60）")
        ->check(CheckPauseSeconds)
        ->type_name("SECONDS");
    AddTrackSubcommands(*track, runner);
    track->callback([&runner, &global, arguments, track, pause = app.get_option("--pause")] {
        if (!track->get_subcommands().empty()) {
            return; // add, remove or list
        }
        runner = [&global, arguments, pause] { return runTrack(*arguments, pause->count() > 0, global); };
    });
}

} // namespace tarvisk::cli
