// tarvisk-cli list / history: the buyer lists and the check history kept in the local database.
//
//   tarvisk-cli list add block|allow ACCOUNT [--note TEXT]    puts the account on the list (its note replaced)
//   tarvisk-cli list remove ACCOUNT
//   tarvisk-cli list show [block|allow]                      CSV on stdout: account,list,note
//   tarvisk-cli list import FILE                             CSV with the header account,list,note
//   tarvisk-cli list export FILE                             the same, UTF-8 with BOM
//   tarvisk-cli history check [ACCOUNT] [--limit N] [--csv FILE]   the stored checks, newest first, as JSON lines
//   tarvisk-cli history rank [KEYWORD] [--item ID | --shop ADDRESS] [--limit N] [--csv FILE]
//                                                            the stored ranking runs, newest first, as JSON lines

#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/output.h"
#include "core/files.h"
#include "store/buyer_lists.h"
#include "store/check_history.h"
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
    return ParseBuyerList(FromUtf8(text)) ? std::string() : "expected block or allow, got \"" + text + "\"";
}

std::string checkAccount(const std::string& text) {
    return ListAccount(FromUtf8(text)) ? std::string() : "not an account name: \"" + text + "\"";
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
        std::cerr << "list remove: " << ToUtf8(account) << " is on no list\n";
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
    std::cout << ListCsv(*entries, false) << std::flush;
    return 0;
}

int runListImport(const ListArguments& arguments) {
    const std::optional<std::string> bytes = ReadFileBytes(arguments.file, kMaxListFileBytes);
    if (!bytes) {
        std::cerr << "list import: cannot read the file " << arguments.file << '\n';
        return kUsageError;
    }
    const ListCsvImport imported = ReadListCsv(*bytes);
    for (const CsvProblem& problem : imported.problems) {
        std::cerr << "list import: " << arguments.file << ": line " << problem.line << ": " << problem.reason << '\n';
    }
    LocalStore store(HistoryFilePath());
    if (!imported.entries.empty() && !PutListEntries(store, imported.entries)) {
        return kFailure;
    }
    std::cerr << "list import: " << imported.entries.size() << " imported, " << imported.problems.size()
              << " skipped\n";
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
    LocalStore store(HistoryFilePath());
    const std::u16string account = TrimBlanks(FromUtf8(arguments.account));
    // Every check is read: the previous check of a row shown may lie past the limit.
    const auto checks = StoredChecks(store, account);
    if (!checks) {
        return kFailure;
    }
    const std::size_t shown = arguments.limit > 0 ? std::min(arguments.limit, checks->size()) : checks->size();
    for (std::size_t i = 0; i < shown; ++i) {
        PrintJsonLine(CheckedAtJson((*checks)[i]));
    }
    std::cout.flush();
    if (arguments.csv.empty()) {
        return 0;
    }
    std::vector<CheckRow> rows = HistoryRows(*checks, ListEntries(store).value_or(std::vector<ListEntry>()));
    rows.resize(shown);
    return WriteCsvOutput("history check", arguments.csv, ChecksCsv(rows)) ? 0 : kFailure;
}

struct RankHistoryArguments {
    std::string keyword;
    std::string item;
    std::string shop;
    std::size_t limit = 0;
    std::string csv;
};

int runHistoryRank(const RankHistoryArguments& arguments) {
    LocalStore store(HistoryFilePath());
    std::optional<TrackedTarget> target;
    if (!arguments.item.empty()) {
        target = ItemTarget(FromUtf8(arguments.item));
    } else if (!arguments.shop.empty()) {
        target = ShopTarget(FromUtf8(arguments.shop));
    }
    const auto runs =
        StoredRankingRuns(store, TrimBlanks(FromUtf8(arguments.keyword), u" \t"), target, arguments.limit);
    if (!runs) {
        return kFailure;
    }
    for (const RankingRun& run : *runs) {
        PrintJsonLine(RankingRunJson(run));
    }
    std::cout.flush();
    return arguments.csv.empty() || WriteCsvOutput("history rank", arguments.csv, RankingRunsCsv(*runs)) ? 0 : kFailure;
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
    CLI::App* list = app.add_subcommand("list", "The buyer lists: a block list and an allow list, one note an account "
                                                "(exit 5 when an import skipped rows)");
    list->require_subcommand(1);

    CLI::App* add = listSubcommand(*list, "add", "Put an account on a list (off the other one), replacing its note",
                                   runner, arguments, runListAdd);
    add->add_option("LIST", arguments->list, "block or allow")->required()->check(checkListName);
    add->add_option("ACCOUNT", arguments->account, "the account name")->required()->check(checkAccount);
    add->add_option("--note", arguments->note, "a note on the account");

    CLI::App* remove =
        listSubcommand(*list, "remove", "Take an account off its list", runner, arguments, runListRemove);
    remove->add_option("ACCOUNT", arguments->account, "the account name")->required()->check(checkAccount);

    CLI::App* show =
        listSubcommand(*list, "show", "Print the lists as CSV: account,list,note", runner, arguments, runListShow);
    show->add_option("LIST", arguments->list, "only this list: block or allow")->check(checkListName);

    CLI::App* import = listSubcommand(*list, "import",
                                      "Add the entries of a CSV file with the header account,list,note (UTF-8, "
                                      "with or without BOM); bad rows are named on stderr, the others imported",
                                      runner, arguments, runListImport);
    import->add_option("FILE", arguments->file, "the CSV file")->required();

    CLI::App* exportFile = listSubcommand(*list, "export", "Write the lists to a CSV file (UTF-8 with BOM)", runner,
                                          arguments, runListExport);
    exportFile->add_option("FILE", arguments->file, "the CSV file")->required();
}

CLI::App* AddHistoryCommand(CLI::App& app, CommandRunner& runner) {
    CLI::App* history = app.add_subcommand("history", "What the local database remembers of earlier jobs");
    history->require_subcommand(1);

    auto arguments = std::make_shared<HistoryArguments>();
    CLI::App* check =
        history->add_subcommand("check", "The stored reputation checks, newest first, one JSON line each");
    check->add_option("ACCOUNT", arguments->account, "only the checks of this account");
    check->add_option("--limit", arguments->limit, "at most this many checks")->check(CLI::PositiveNumber);
    check->add_option("--csv", arguments->csv, "also write the checks to this CSV file (UTF-8 with BOM)");
    check->callback([&runner, arguments] { runner = [arguments] { return runHistoryCheck(*arguments); }; });

    auto rankArguments = std::make_shared<RankHistoryArguments>();
    CLI::App* rank = history->add_subcommand(
        "rank", "The stored ranking runs, newest first, one JSON line each (the walks of rank and of the windows)");
    rank->add_option("KEYWORD", rankArguments->keyword, "only the runs of this keyword");
    CLI::Option* item = rank->add_option("--item", rankArguments->item, "only the runs that looked for this item")
                            ->check(CheckItemId, "ID");
    rank->add_option("--shop", rankArguments->shop, "only the runs that looked for the items of this shop")
        ->excludes(item);
    rank->add_option("--limit", rankArguments->limit, "at most this many runs")->check(CLI::PositiveNumber);
    rank->add_option("--csv", rankArguments->csv, "also write the runs to this CSV file (UTF-8 with BOM)");
    rank->callback([&runner, rankArguments] { runner = [rankArguments] { return runHistoryRank(*rankArguments); }; });
    return history;
}

} // namespace tarvisk::cli
