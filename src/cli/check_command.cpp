// tarvisk-cli check: the reputation check of one or more accounts, one JSON line (or one HTML
// report) per account on stdout. A query that stopped gives {"account", "message", "title"} (exit
// 3); one whose page could not be read gives {"account", "message", "page", "reason"} (exit 4,
// which goes before 3).

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "jobs/reputation/batch_check.h"
#include "jobs/reputation/report.h"
#include "jobs/reputation/reputation.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/input_files.h"
#include "cli/output.h"
#include "cli/terminal_text.h"
#include "core/date.h"
#include "core/hooks.h"
#include "store/check_history.h"
#include "store/exports.h"
#include "store/local_store.h"
#include "text/encoding.h"

namespace tarvisk::cli {

namespace {

/// Exit status when at least one query stopped with a message instead of a report.
constexpr int kQueryStopped = 3;

struct CheckOptions {
    std::vector<std::string> accounts;
    bool html = false;
    std::string date;
    std::string file;
    std::string csv;
};

std::string checkIsoDate(const std::string& text) {
    return ParseIsoDate(text) ? std::string() : "not a calendar date in the form YYYY-MM-DD: " + text;
}

nlohmann::ordered_json stopJson(const std::u16string& account, const ReputationStop& stop) {
    nlohmann::ordered_json json;
    json["account"] = ToUtf8(account);
    json["message"] = ToUtf8(stop.message);
    json["title"] = ToUtf8(stop.title);
    return json;
}

nlohmann::ordered_json unreadJson(const std::u16string& account, const UnreadReputationPage& unread) {
    nlohmann::ordered_json json;
    json["account"] = ToUtf8(account);
    json["message"] = ToUtf8(unread.message);
    json["page"] = ReputationPageName(unread.page);
    json["reason"] = PageKindName(unread.kind);
    return json;
}

/// The facts of a report with what the history and the lists add: the previous check and what changed since,
/// the account's list and note.
nlohmann::ordered_json reportJson(const ReputationFacts& facts, const CheckContext& context) {
    nlohmann::ordered_json json = FactsJson(facts);
    if (context.previous) {
        nlohmann::ordered_json previous = CheckedAtJson(*context.previous);
        previous.erase("account");
        json["previous"] = std::move(previous);
        json["changed"] = context.changed;
    }
    if (context.listed) {
        json["list"] = BuyerListCode(context.listed->list);
        json["note"] = ToUtf8(context.listed->note);
    }
    return json;
}

int runCheck(const CheckOptions& options, const GlobalOptions& global) {
    std::vector<std::u16string> accounts;
    for (const std::string& account : options.accounts) {
        accounts.push_back(FromUtf8(account));
    }
    if (!options.file.empty()) {
        const LineFileResult read = ReadListFile(options.file, accounts);
        if (read.status != LineFileResult::Status::Read) {
            std::cerr << "check: " << LineFileProblem(read, "account file", options.file) << '\n';
            return kUsageError;
        }
    }
    if (accounts.empty()) {
        std::cerr << "check: no account given (name accounts or use --file)\n";
        return kUsageError;
    }
    if (!options.date.empty()) {
        const Date today = *ParseIsoDate(options.date);
        SetClock([today] { return today; });
    }

    const InterruptScope interrupt;
    LocalStore store(HistoryFilePath());
    std::vector<CheckRow> rows;
    int status = 0;
    BatchCheckOptions batch;
    batch.pauseSeconds = global.pauseSeconds;
    batch.cancel = &InterruptScope::flag();
    batch.checked = [&](std::size_t, const ReputationOutcome& outcome) {
        CheckRow row;
        row.account = outcome.account;
        switch (outcome.status) {
        case ReputationOutcome::Status::Report: {
            row.checkedAt = UnixTimeNow();
            const CheckContext context = RecordCheck(store, outcome.facts, row.checkedAt);
            if (options.html) {
                std::cout << TerminalText(RenderReport(outcome.facts)) << '\n';
            } else {
                PrintJsonLine(reportJson(outcome.facts, context));
            }
            row.facts = outcome.facts;
            row.listed = context.listed;
            row.previous = context.previous;
            break;
        }
        case ReputationOutcome::Status::PageNotRead:
            PrintJsonLine(unreadJson(outcome.account, outcome.unread));
            row.message = outcome.unread.message;
            status = kPageNotRead;
            break;
        case ReputationOutcome::Status::Stopped:
        case ReputationOutcome::Status::Busy:
            PrintJsonLine(stopJson(outcome.account, outcome.stop));
            row.message = outcome.stop.message;
            status = std::max(status, kQueryStopped);
            break;
        }
        rows.push_back(std::move(row));
        std::cout.flush();
    };
    const std::size_t checked = RunBatchCheck(accounts, batch);
    if (interrupt.interrupted()) {
        // The account under way was given up: nothing of it was printed or kept.
        SkipCsvOutput("check", options.csv);
        std::cerr << "已取消：已查完" << checked << "个账号\n";
        return kInterrupted;
    }
    if (!options.csv.empty() && !WriteCsvOutput("check", options.csv, ChecksCsv(rows))) {
        return kFailure;
    }
    return status;
}

} // namespace

void AddCheckCommand(CLI::App& app, const GlobalOptions& global, CommandRunner& runner) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App* check = app.add_subcommand(
        "check", "Check the reputation of marketplace accounts: one JSON line per account (exit 3 when a query "
                 "stopped with a message, 4 when one of its pages could not be read); each report is kept in the "
                 "history");
    check->add_option("ACCOUNT", options->accounts, "account names (Wangwang IDs), checked in order");
    check->add_flag("--html", options->html, "print the HTML report instead of the JSON line");
    check->add_option("--date", options->date, "today's date for the account age, YYYY-MM-DD")->check(checkIsoDate);
    check->add_option("--file", options->file, "read further accounts from a UTF-8 file, one a line");
    check->add_option("--csv", options->csv, "also write the checks to this CSV file (UTF-8 with BOM)");
    check->callback(
        [&runner, &global, options] { runner = [&global, options] { return runCheck(*options, global); }; });
}

} // namespace tarvisk::cli
