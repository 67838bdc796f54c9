// tarvisk-cli check: the reputation check of one or more accounts, one JSON line (or one HTML
// report) per account on stdout. A query that stopped gives {"account", "message", "title"} (exit
// 3); one whose page could not be read gives {"account", "message", "page", "reason"} (exit 4,
// which goes before 3).

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/main/report.h"
#include "app/main/reputation.h"
#include "cli/commands.h"
#include "core/hooks.h"
#include "core/job.h"
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
};

/// "YYYY-MM-DD" as a real calendar date.
std::optional<Date> parseIsoDate(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    for (const std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
    }
    const Date date{std::stoi(text.substr(0, 4)), std::stoi(text.substr(5, 2)), std::stoi(text.substr(8, 2))};
    if (!IsValidDate(date)) {
        return std::nullopt;
    }
    return date;
}

std::string checkIsoDate(const std::string& text) {
    return parseIsoDate(text) ? std::string() : "not a calendar date in the form YYYY-MM-DD: " + text;
}

bool isBlank(const std::string& line) {
    return line.find_first_not_of(" \t") == std::string::npos;
}

/// The accounts of a file, one a line: UTF-8 (a leading byte-order mark is dropped), CR removed,
/// blank lines skipped. None when the file cannot be read.
std::optional<std::vector<std::u16string>> readAccountFile(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<std::u16string> accounts;
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        if (first && line.rfind("\xEF\xBB\xBF", 0) == 0) {
            line.erase(0, 3);
        }
        first = false;
        std::erase(line, '\r');
        if (!isBlank(line)) {
            accounts.push_back(FromUtf8(line));
        }
    }
    if (in.bad()) {
        return std::nullopt;
    }
    return accounts;
}

/// Counts and credits as JSON numbers: whole numbers without a fraction.
nlohmann::ordered_json number(double value) {
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 9007199254740992.0) {
        return static_cast<std::int64_t>(value);
    }
    return value;
}

const char* certificationName(Certification certification) {
    switch (certification) {
    case Certification::Personal:
        return "personal";
    case Certification::Enterprise:
        return "enterprise";
    case Certification::None:
        break;
    }
    return "none";
}

nlohmann::ordered_json factsJson(const ReputationFacts& facts) {
    nlohmann::ordered_json json;
    json["account"] = ToUtf8(facts.account);
    json["registration_date"] = ToUtf8(facts.registrationDate);
    json["days_since_registration"] = facts.daysSinceRegistration;
    json["new_account"] = facts.newAccount;
    json["user_id"] = ToUtf8(facts.userId);
    json["rating_link"] = ToUtf8(facts.ratingLink);
    json["good_rate"] = ToUtf8(facts.goodRate);
    json["certification"] = certificationName(facts.certification);
    json["role"] = facts.role == Role::Seller ? "seller" : "buyer";
    json["seller_credit"] = number(facts.sellerCredit);
    json["buyer_credit"] = number(facts.buyerCredit);
    json["week"] = {
        {"good", number(facts.weekGood)}, {"neutral", number(facts.weekNeutral)}, {"bad", number(facts.weekBad)}};
    json["month"] = {
        {"good", number(facts.monthGood)}, {"neutral", number(facts.monthNeutral)}, {"bad", number(facts.monthBad)}};
    json["verdict"] = facts.verdict == Verdict::Safe ? "安全" : "不安全";
    return json;
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

void printLine(const nlohmann::ordered_json& json) {
    std::cout << json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

int runCheck(const CheckOptions& options, const GlobalOptions& global) {
    std::vector<std::u16string> accounts;
    for (const std::string& account : options.accounts) {
        accounts.push_back(FromUtf8(account));
    }
    if (!options.file.empty()) {
        const auto fromFile = readAccountFile(options.file);
        if (!fromFile) {
            std::cerr << "check: cannot read the account file " << options.file << '\n';
            return kUsageError;
        }
        accounts.insert(accounts.end(), fromFile->begin(), fromFile->end());
    }
    if (accounts.empty()) {
        std::cerr << "check: no account given (name accounts or use --file)\n";
        return kUsageError;
    }
    if (!options.date.empty()) {
        const Date today = *parseIsoDate(options.date);
        SetClock([today] { return today; });
    }

    ReputationQuery query;
    int status = 0;
    for (std::size_t i = 0; i < accounts.size(); ++i) {
        if (i > 0) {
            PauseBetweenPages(global.pauseSeconds);
        }
        const ReputationOutcome outcome = query.run(accounts[i]);
        switch (outcome.status) {
        case ReputationOutcome::Status::Report:
            if (options.html) {
                std::cout << ToUtf8(RenderReport(outcome.facts)) << '\n';
            } else {
                printLine(factsJson(outcome.facts));
            }
            break;
        case ReputationOutcome::Status::PageNotRead:
            printLine(unreadJson(outcome.account, outcome.unread));
            status = kPageNotRead;
            break;
        case ReputationOutcome::Status::Stopped:
        case ReputationOutcome::Status::Busy:
            printLine(stopJson(outcome.account, outcome.stop));
            status = std::max(status, kQueryStopped);
            break;
        }
        std::cout.flush();
    }
    return status;
}

} // namespace

void AddCheckCommand(CLI::App& app, const GlobalOptions& global, CommandRunner& runner) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App* check = app.add_subcommand(
        "check", "Check the reputation of marketplace accounts: one JSON line per account (exit 3 when a query "
                 "stopped with a message, 4 when one of its pages could not be read)");
    check->add_option("ACCOUNT", options->accounts, "account names (Wangwang IDs), checked in order");
    check->add_flag("--html", options->html, "print the HTML report instead of the JSON line");
    check->add_option("--date", options->date, "today's date for the account age, YYYY-MM-DD")->check(checkIsoDate);
    check->add_option("--file", options->file, "read further accounts from a UTF-8 file, one a line");
    check->callback(
        [&runner, &global, options] { runner = [&global, options] { return runCheck(*options, global); }; });
}

} // namespace tarvisk::cli
