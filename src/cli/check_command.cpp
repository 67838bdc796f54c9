// tarvisk-cli check: the reputation check of one or more accounts, one JSON line per account on stdout (or, with
// --html, one HTML document of the reports). A query that stopped gives {"account", "message", "title"} (exit 3);
// one whose page could not be read gives {"account", "message", "page", "reason"} (exit 4, which goes before 3). A
// login or verification page ends the run, as the batch window does: every account after it gives {"account",
// "message": "未查询"}. What the database could not give is "unknown" ("list", "previous"), and stderr names the
// problem for each account it affects.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
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
#include "core/files.h"
#include "core/hooks.h"
#include "store/check_history.h"
#include "store/exports.h"
#include "store/local_store.h"
#include "text/encoding.h"
#include "text/html.h"
#include "text/settings.h"

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

/// What an account after a login or verification page says: it was not checked.
constexpr char16_t kNotChecked[] = u"未查询";
/// The JSON value of what the database could not give.
constexpr char kUnknown[] = "unknown";

std::string checkIsoDate(const std::string& text) {
    return ParseIsoDate(text) ? std::string() : "不是 YYYY-MM-DD 形式的日期：" + text;
}

/// A line of the HTML document for an account without a report.
std::u16string htmlMessage(const std::u16string& account, const std::u16string& message) {
    return u"<p>" + EscapeHtml(account + u"：" + message) + u"</p>\n";
}

/// "check：刷单小号：名单状态未知，上次查询未知，本次查询没有存入历史记录。历史记录库正被另一个程序占用…" on stderr
/// when the database failed this account.
void printStoreProblem(const std::u16string& account, const CheckContext& context) {
    if (!context.problem) {
        return;
    }
    std::u16string lost;
    for (const auto& [missing, text] : {std::pair{context.listed.unknown(), kListUnknownText},
                                        {context.previous.unknown(), kPreviousUnknownText},
                                        {!context.saved, u"本次查询没有存入历史记录"}}) {
        if (missing) {
            lost += (lost.empty() ? u"" : u"，") + std::u16string(text);
        }
    }
    const std::u16string message = StoreProblemMessage(*context.problem);
    std::cerr << "check：" << TerminalText(account + u"：" + lost + u"。" + message.substr(0, message.find(u'\n')))
              << '\n';
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
    if (context.previous.unknown()) {
        json["previous"] = kUnknown;
    } else if (context.previous) {
        nlohmann::ordered_json previous = CheckedAtJson(context.previous->checkedAt, context.previous->facts);
        previous.erase("account");
        json["previous"] = std::move(previous);
        json["changed"] = context.changed;
    }
    if (context.listed.unknown()) {
        json["list"] = kUnknown;
    } else if (context.listed) {
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
            std::cerr << "check：" << LineFileProblem(read, "账号文件", options.file) << '\n';
            return kUsageError;
        }
    }
    if (accounts.empty()) {
        std::cerr << "check：没有给出账号（在命令后写账号，或用 --file）\n";
        return kUsageError;
    }
    if (!options.date.empty()) {
        const Date today = *ParseIsoDate(options.date);
        SetClock([today] { return today; });
    }

    const InterruptScope interrupt;
    LocalStore store(HistoryFilePath());
    const std::filesystem::path resources = ResourceFolder(ProgramFolder());
    std::vector<CheckRow> rows;
    int status = 0;
    std::optional<UnreadReputationPage> blocked;
    if (options.html) {
        std::cout << ToUtf8(ReportDocumentHead());
    }
    // An account without a report: a line of the document, or its JSON line.
    const auto printUnanswered = [&options](const std::u16string& account, const std::u16string& message,
                                            const nlohmann::ordered_json& json) {
        if (options.html) {
            std::cout << TerminalText(htmlMessage(account, message));
        } else {
            PrintJsonLine(json);
        }
    };
    BatchCheckOptions batch;
    batch.pauseSeconds = global.pauseSeconds;
    batch.cancel = &InterruptScope::flag();
    batch.stopWhenBlocked = true;
    batch.checked = [&](std::size_t, const ReputationOutcome& outcome) {
        CheckRow row;
        row.account = outcome.account;
        switch (outcome.status) {
        case ReputationOutcome::Status::Report: {
            row.checkedAt = UnixTimeNow();
            const CheckContext context = RecordCheck(store, outcome.facts, row.checkedAt);
            if (options.html) {
                std::cout << TerminalText(SelfContainedReport(RenderReport(outcome.facts), resources)) << "\n<hr>\n";
            } else {
                PrintJsonLine(reportJson(outcome.facts, context));
            }
            printStoreProblem(outcome.account, context);
            row.facts = outcome.facts;
            row.listed = context.listed;
            row.previous = context.previous;
            break;
        }
        case ReputationOutcome::Status::PageNotRead:
            row.message = outcome.unread.message;
            status = kPageNotRead;
            if (IsBlocked(outcome)) {
                blocked = outcome.unread;
            }
            printUnanswered(outcome.account, row.message, unreadJson(outcome.account, outcome.unread));
            break;
        case ReputationOutcome::Status::Stopped:
        case ReputationOutcome::Status::Busy:
            row.message = outcome.stop.message;
            status = std::max(status, kQueryStopped);
            printUnanswered(outcome.account, row.message, stopJson(outcome.account, outcome.stop));
            break;
        }
        rows.push_back(std::move(row));
        std::cout.flush();
    };
    const std::size_t checked = RunBatchCheck(accounts, batch);
    if (!interrupt.interrupted()) {
        // A login or verification page ended the run: every further request would meet it again.
        for (std::size_t i = checked; i < accounts.size(); ++i) {
            printUnanswered(accounts[i], kNotChecked,
                            {{"account", ToUtf8(accounts[i])}, {"message", ToUtf8(kNotChecked)}});
            rows.push_back({accounts[i], std::nullopt, kNotChecked, 0, std::nullopt, std::nullopt});
        }
        if (blocked && checked < accounts.size()) {
            std::cerr << "check：" << TerminalText(PageKindReason(blocked->kind)) << "，后面的"
                      << accounts.size() - checked << "个账号未查询。" << TerminalText(PageKindAdvice(blocked->kind))
                      << '\n';
        }
    }
    if (options.html) {
        std::cout << ToUtf8(ReportDocumentTail()) << std::flush;
    }
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
        "check", "查询淘宝账号的信誉：每个账号一行 JSON（有查询因提示而停止时退出码为3，有页面读不到时为4；遇到登录页或"
                 "验证页时停止，后面的账号未查询）；每份报告都存入查询记录");
    check->add_option("ACCOUNT", options->accounts, "账号名（旺旺号），按顺序查询");
    check->add_flag("--html", options->html, "输出一个 HTML 文档（含全部报告），而不是 JSON 行");
    check->add_option("--date", options->date, "计算账号年龄用的今天日期，YYYY-MM-DD")
        ->check(checkIsoDate)
        ->type_name("DATE");
    check->add_option("--file", options->file, "另从 UTF-8 文件读入账号，每行一个")->type_name("FILE");
    check->add_option("--csv", options->csv, "同时把查询写入这个 CSV 文件（UTF-8，带 BOM）")->type_name("FILE");
    check->callback(
        [&runner, &global, options] { runner = [&global, options] { return runCheck(*options, global); }; });
}

} // namespace tarvisk::cli
