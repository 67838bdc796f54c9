// tarvisk-cli list / history: the buyer lists and the check history kept in the local database.
//
//   tarvisk-cli list add 黑名单|白名单 ACCOUNT [--note TEXT]    puts the account on the list (its note replaced)
//   tarvisk-cli list remove ACCOUNT
//   tarvisk-cli list show [黑名单|白名单]                      CSV on stdout: 账号,名单,备注
//   tarvisk-cli list import FILE       CSV with the header 账号,名单,备注 (or account,list,note; a list may
//                                      be named block or allow); without a note column the stored notes stay
//   tarvisk-cli list export FILE                             the same, UTF-8 with BOM
//   tarvisk-cli history check [ACCOUNT] [--limit N] [--csv FILE]   the stored checks, newest first, as JSON lines,
//                                                            written as they are read (a history of any size)
//   tarvisk-cli history rank [KEYWORD] [--item ID | --shop ADDRESS] [--limit N] [--csv FILE]
//                                                            the stored ranking runs, newest first, as JSON lines
//   tarvisk-cli history rank KEYWORD (--item ID | --shop ADDRESS) --competitors [--csv FILE]
//                                                            the items above the target in the newest answered run,
//                                                            each with how it moved since the run before, as JSON lines
//   tarvisk-cli history prune --older-than DAYS              deletes the ranking runs older than DAYS days
//
// block and allow name the lists as well as 黑名单 and 白名单. Every command exits with 1 when the database cannot be
// read or written (the store says why on stderr). Texts from the database or a file are cleaned for the terminal.

#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/help.h"
#include "cli/output.h"
#include "cli/terminal_text.h"
#include "core/date.h"
#include "store/buyer_lists.h"
#include "store/check_history.h"
#include "store/csv.h"
#include "store/exports.h"
#include "store/local_store.h"
#include "store/ranking_history.h"
#include "text/encoding.h"
#include "text/text_ops.h"

namespace tarvisk::cli {

namespace {

struct ListArguments {
    std::string list;
    std::string account;
    std::string note;
    std::string file;
};

std::string checkListName(const std::string& text) {
    return ParseBuyerList(FromUtf8(text)) ? std::string()
                                          : "应为 黑名单 或 白名单（block 或 allow），而不是“" + text + "”";
}

std::string checkAccount(const std::string& text) {
    return ListAccount(FromUtf8(text)) ? std::string() : "不是账号名：“" + text + "”";
}

std::string checkNote(const std::string& text) {
    return FitsNote(FromUtf8(text)) ? std::string() : "备注不能超过" + std::to_string(kMaxNoteLength) + "个字";
}

int runListAdd(const ListArguments& arguments) {
    LocalStore store(HistoryFilePath());
    const ListEntry entry{*ListAccount(FromUtf8(arguments.account)), *ParseBuyerList(FromUtf8(arguments.list)),
                          FromUtf8(arguments.note), 0};
    return PutListEntries(store, {entry}) ? 0 : kFailure;
}

int runListRemove(const ListArguments& arguments) {
    LocalStore store(HistoryFilePath());
    const std::u16string account = *ListAccount(FromUtf8(arguments.account));
    const std::optional<bool> removed = RemoveListEntry(store, account);
    if (!removed) {
        return kFailure;
    }
    if (!*removed) {
        std::cerr << "list remove：" << TerminalText(account) << " 不在任何名单中\n";
    }
    return 0;
}

int runListShow(const ListArguments& arguments) {
    LocalStore store(HistoryFilePath());
    const std::optional<BuyerList> only =
        arguments.list.empty() ? std::nullopt : ParseBuyerList(FromUtf8(arguments.list));
    const auto entries = ListEntries(store, only);
    if (!entries) {
        return kFailure;
    }
    std::cout << TerminalText(FromUtf8(ListCsv(*entries, false))) << std::flush;
    return 0;
}

/// "list import：FILE 第3行：..." on stderr; a problem of the whole file has no line.
void printImportProblem(const std::string& file, const CsvProblem& problem) {
    std::cerr << "list import：" << file << ' '
              << (problem.line > 0 ? "第" + std::to_string(problem.line) + "行：" : std::string())
              << TerminalText(FromUtf8(problem.reason)) << '\n';
}

int runListImport(const ListArguments& arguments) {
    const ListCsvImport imported = ReadListCsvFile(arguments.file);
    for (const CsvProblem& problem : imported.problems) {
        printImportProblem(arguments.file, problem);
    }
    if (imported.refused) {
        return kUsageError;
    }
    LocalStore store(HistoryFilePath());
    if (!imported.entries.empty() && !PutListEntries(store, imported.entries, imported.notes())) {
        return kFailure;
    }
    std::cerr << "list import：导入了" << imported.entries.size() << "个账号，" << imported.problems.size()
              << "行没有导入" << (imported.hasNotes ? "" : "（文件没有备注列，账号原有的备注都保留）") << '\n';
    return imported.problems.empty() ? 0 : kRowsSkipped;
}

int runListExport(const ListArguments& arguments) {
    LocalStore store(HistoryFilePath());
    const auto entries = ListEntries(store);
    if (!entries) {
        return kFailure;
    }
    return WriteCsvOutput("list export", arguments.file, ListCsv(*entries, true)) ? 0 : kFailure;
}

struct HistoryArguments {
    std::string account;
    std::size_t limit = 0;
    std::string csv;
};

int runHistoryCheck(const HistoryArguments& arguments) {
    CsvOutput csv("history check", arguments.csv);
    if (!csv.allowed()) {
        return kFailure;
    }
    csv.append(std::string(kUtf8Bom) + ChecksCsvHeader());
    LocalStore store(HistoryFilePath());
    CheckQuery query;
    query.account = TrimBlanks(FromUtf8(arguments.account));
    query.limit = arguments.limit;
    // Each check goes out as it is read: the history may hold millions.
    const bool read = ReadCheckRows(store, query, [&csv](CheckRow&& row) {
        PrintJsonLine(CheckedAtJson(row.checkedAt, *row.facts));
        csv.append(ChecksCsvRecord(row));
    });
    std::cout.flush();
    return read && csv.commit() ? 0 : kFailure;
}

struct RankHistoryArguments {
    std::string keyword;
    std::string item;
    std::string shop;
    std::size_t limit = 0;
    std::string csv;
    bool competitors = false;

    /// The keyword as the history keeps it (empty: any).
    std::u16string storedKeyword() const { return TrimBlanks(FromUtf8(keyword), u" \t"); }
    /// The target asked for, none when neither --item nor --shop was given.
    std::optional<TrackedTarget> target() const {
        if (!item.empty()) {
            return ItemTarget(FromUtf8(item));
        }
        if (!shop.empty()) {
            return ShopTarget(FromUtf8(shop));
        }
        return std::nullopt;
    }
};

/// A competitor as one JSON line: its number in the view and where it stood, what its page said of it, how it moved
/// and, unless it is new above the target, its sales and price in the run compared with.
nlohmann::ordered_json competitorJson(int number, const Competitor& competitor, RankingPositionKind kind) {
    const RunItem& item = competitor.item;
    nlohmann::ordered_json json;
    json["number"] = number;
    json["page"] = item.page;
    json["place"] = ToUtf8(item.position);
    json["item_id"] = ToUtf8(item.id);
    json["title"] = ToUtf8(item.title);
    json["shop"] = ToUtf8(item.shop);
    json["price"] = ToUtf8(item.price);
    json["sales"] = ToUtf8(item.sales);
    json["paid"] = item.paid;
    json["change"] = ToUtf8(CompetitorChangeText(competitor, kind));
    json["sales_before"] = competitor.before ? nlohmann::ordered_json(ToUtf8(competitor.before->sales)) : nullptr;
    json["price_before"] = competitor.before ? nlohmann::ordered_json(ToUtf8(competitor.before->price)) : nullptr;
    return json;
}

/// Why a competitor view lists no item, said on stderr; nothing when it lists some.
void explainEmptyView(const CompetitorView& view, const std::u16string& keyword, const TrackedTarget& target) {
    const std::string asked = "关键字“" + TerminalText(keyword) + "”找" + TerminalText(TrackedTargetText(target));
    if (!view.run) {
        std::cerr << "history rank：没有" << asked << " 的排名记录（结果不完整的查询不算）\n";
    } else if (view.run->items.empty()) {
        std::cerr << "history rank：" << asked << " 最近一次有结果的查询（" << LocalTimeText(view.run->ranAt)
                  << "）是旧版本存的，没有记下列出的宝贝；再查一次后即可查看竞品\n";
    } else if (view.competitors.empty()) {
        std::cerr << "history rank：" << asked << " 最近一次有结果的查询（" << LocalTimeText(view.run->ranAt) << "）"
                  << (view.run->outcome == RankingOutcome::Found ? "中目标排在第一位，前面没有别的宝贝"
                                                                 : "没有列出任何宝贝")
                  << '\n';
    }
}

int runHistoryCompetitors(const RankHistoryArguments& arguments) {
    LocalStore store(HistoryFilePath());
    const std::u16string keyword = arguments.storedKeyword();
    const TrackedTarget target = *arguments.target();
    const std::optional<CompetitorView> view = StoredCompetitors(store, keyword, target);
    if (!view) {
        return kFailure;
    }
    explainEmptyView(*view, keyword, target);
    const RankingPositionKind kind = view->run ? view->run->positionKind : RankingPositionKind::Grid;
    int number = 0;
    for (const Competitor& competitor : view->competitors) {
        PrintJsonLine(competitorJson(++number, competitor, kind));
    }
    std::cout.flush();
    return arguments.csv.empty() ||
                   WriteCsvOutput("history rank", arguments.csv, CompetitorsCsv(view->competitors, kind))
               ? 0
               : kFailure;
}

int runHistoryRank(const RankHistoryArguments& arguments) {
    if (arguments.competitors) {
        return runHistoryCompetitors(arguments);
    }
    LocalStore store(HistoryFilePath());
    const auto runs = StoredRankingRuns(store, arguments.storedKeyword(), arguments.target(), arguments.limit);
    if (!runs) {
        return kFailure;
    }
    for (const RankingRun& run : *runs) {
        PrintJsonLine(RankingRunJson(run));
    }
    std::cout.flush();
    return arguments.csv.empty() || WriteCsvOutput("history rank", arguments.csv, RankingRunsCsv(*runs)) ? 0 : kFailure;
}

/// The moment `days` whole days before `now`; 1970-01-01 at the earliest.
std::int64_t daysBefore(std::int64_t now, long days) {
    constexpr std::int64_t kDay = 24 * 60 * 60;
    return days < now / kDay ? now - days * kDay : 0;
}

int runHistoryPrune(long days) {
    LocalStore store(HistoryFilePath());
    const std::int64_t before = daysBefore(UnixTimeNow(), days);
    const std::optional<std::int64_t> deleted = PruneRankingRuns(store, before);
    if (!deleted) {
        return kFailure;
    }
    std::cout << "已删除 " << *deleted << " 次排名查询（早于 " << LocalTimeText(before) << "）" << std::endl;
    return 0;
}

/// Adds a list subcommand that runs `run` with the shared arguments.
CLI::App* listSubcommand(CLI::App& list, const char* name, const char* description, CommandRunner& runner,
                         const std::shared_ptr<ListArguments>& arguments, int (*run)(const ListArguments&)) {
    CLI::App* command = list.add_subcommand(name, description);
    command->callback([&runner, arguments, run] { runner = [arguments, run] { return run(*arguments); }; });
    return command;
}

} // namespace

void AddListCommand(CLI::App& app, CommandRunner& runner) {
    auto arguments = std::make_shared<ListArguments>();
    CLI::App* list =
        app.add_subcommand("list", "黑白名单：黑名单和白名单，每个账号一条备注（导入时有行没有导入则退出码为5）");
    list->require_subcommand(1);

    CLI::App* add =
        listSubcommand(*list, "add", "把账号加入名单（并移出另一个名单），替换它的备注", runner, arguments, runListAdd);
    add->add_option("LIST", arguments->list, "黑名单 或 白名单（也可写 block 或 allow）")
        ->required()
        ->check(checkListName);
    add->add_option("ACCOUNT", arguments->account, "账号名")->required()->check(checkAccount);
    add->add_option("--note", arguments->note, "账号的备注（最多2000字）")->check(checkNote)->type_name("NOTE");

    CLI::App* remove = listSubcommand(*list, "remove", "把账号移出它所在的名单", runner, arguments, runListRemove);
    remove->add_option("ACCOUNT", arguments->account, "账号名")->required()->check(checkAccount);

    CLI::App* show = listSubcommand(*list, "show", "以 CSV 显示名单：账号,名单,备注", runner, arguments, runListShow);
    show->add_option("LIST", arguments->list, "只显示这个名单：黑名单 或 白名单")->check(checkListName);

    CLI::App* import = listSubcommand(*list, "import",
                                      "导入 CSV 文件里的账号，表头为 账号,名单,备注（或 account,list,note；UTF-8 或 "
                                      "GBK）；没有备注列时保留原有备注；不能导入的行在 stderr 上逐行说明，其余照常导入",
                                      runner, arguments, runListImport);
    import->add_option("FILE", arguments->file, "CSV 文件")->required();

    CLI::App* exportFile = listSubcommand(*list, "export", "把名单写入 CSV 文件（UTF-8，带 BOM；不替换只读文件）",
                                          runner, arguments, runListExport);
    exportFile->add_option("FILE", arguments->file, "CSV 文件")->required();
}

CLI::App* AddHistoryCommand(CLI::App& app, CommandRunner& runner) {
    CLI::App* history = app.add_subcommand("history", "本机数据库记下的以往查询");
    history->require_subcommand(1);

    auto arguments = std::make_shared<HistoryArguments>();
    CLI::App* check = history->add_subcommand("check", "保存的信誉查询，最新的在前，每次一行 JSON");
    check->add_option("ACCOUNT", arguments->account, "只列这个账号的查询");
    check->add_option("--limit", arguments->limit, "最多列这么多次查询")->check(PositiveWholeNumber());
    check->add_option("--csv", arguments->csv, "同时把查询写入这个 CSV 文件（UTF-8，带 BOM）")->type_name("FILE");
    check->callback([&runner, arguments] { runner = [arguments] { return runHistoryCheck(*arguments); }; });

    auto rankArguments = std::make_shared<RankHistoryArguments>();
    CLI::App* rank =
        history->add_subcommand("rank", "保存的排名查询，最新的在前，每次一行 JSON（rank 命令和窗口里的查询）");
    rank->add_option("KEYWORD", rankArguments->keyword, "只列这个关键字的查询");
    CLI::Option* item =
        rank->add_option("--item", rankArguments->item, "只列找这个宝贝的查询")->check(CheckItemId)->type_name("ID");
    rank->add_option("--shop", rankArguments->shop, "只列找这个店铺宝贝的查询")->excludes(item)->type_name("HOST");
    CLI::Option* limit =
        rank->add_option("--limit", rankArguments->limit, "最多列这么多次查询")->check(PositiveWholeNumber());
    rank->add_flag("--competitors", rankArguments->competitors,
                   "改为列出竞品：这个关键字最近一次有结果的查询中排在目标前面的宝贝（没找到时为前20个），每个一行 "
                   "JSON，带上它与上一次同类查询相比的名次变化（新上榜、↑3、↓2、=）及上次的销量和价格；需要 KEYWORD "
                   "和 --item 或 --shop")
        ->excludes(limit);
    rank->add_option("--csv", rankArguments->csv,
                     "同时把查询（用 --competitors 时为竞品）写入这个 CSV 文件（UTF-8，带 BOM）")
        ->type_name("FILE");
    rank->callback([&runner, rankArguments] {
        if (rankArguments->competitors && (rankArguments->storedKeyword().empty() || !rankArguments->target())) {
            throw CLI::ValidationError("--competitors", "要同时给出 KEYWORD 和 --item 或 --shop");
        }
        runner = [rankArguments] { return runHistoryRank(*rankArguments); };
    });

    auto days = std::make_shared<long>(0);
    CLI::App* prune = history->add_subcommand(
        "prune",
        "删除早于若干天前的排名查询记录（连同其未读页和列出的宝贝），并说明删了多少；信誉查询记录和黑白名单不变");
    prune->add_option("--older-than", *days, "删除 DAYS 天以前（从现在往前算，整数，至少为1）的排名查询")
        ->required()
        ->check(PositiveWholeNumber())
        ->type_name("DAYS");
    prune->callback([&runner, days] { runner = [days] { return runHistoryPrune(*days); }; });
    return history;
}

} // namespace tarvisk::cli
