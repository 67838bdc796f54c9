#include "cli/output.h"

#include <cmath>
#include <cstdint>
#include <iostream>

#include "cli/terminal_text.h"
#include "core/date.h"
#include "text/encoding.h"

namespace tarvisk::cli {

namespace {

/// Counts and credits as JSON numbers: whole numbers without a fraction.
nlohmann::ordered_json number(double value) {
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 9007199254740992.0) {
        return static_cast<std::int64_t>(value);
    }
    return value;
}

/// `json` with every text in it made fit for a terminal (TerminalText). The dump escapes C0 control
/// characters itself, but writes DEL and the C1 range as they are.
nlohmann::ordered_json terminalSafe(const nlohmann::ordered_json& json) {
    if (json.is_string()) {
        return TerminalText(FromUtf8(json.get<std::string>()));
    }
    nlohmann::ordered_json safe = json;
    if (json.is_structured()) {
        for (auto& item : safe) {
            item = terminalSafe(item);
        }
    }
    return safe;
}

} // namespace

nlohmann::ordered_json FactsJson(const ReputationFacts& facts) {
    nlohmann::ordered_json json;
    json["account"] = ToUtf8(facts.account);
    json["registration_date"] = ToUtf8(facts.registrationDate);
    json["days_since_registration"] = facts.daysSinceRegistration;
    json["new_account"] = facts.newAccount;
    json["user_id"] = ToUtf8(facts.userId);
    json["rating_link"] = ToUtf8(facts.ratingLink);
    json["good_rate"] = ToUtf8(facts.goodRate);
    json["certification"] = CertificationCode(facts.certification);
    json["role"] = RoleCode(facts.role);
    json["seller_credit"] = number(facts.sellerCredit);
    json["buyer_credit"] = number(facts.buyerCredit);
    json["week"] = {
        {"good", number(facts.weekGood)}, {"neutral", number(facts.weekNeutral)}, {"bad", number(facts.weekBad)}};
    json["month"] = {
        {"good", number(facts.monthGood)}, {"neutral", number(facts.monthNeutral)}, {"bad", number(facts.monthBad)}};
    json["verdict"] = ToUtf8(VerdictText(facts.verdict));
    return json;
}

nlohmann::ordered_json CheckedAtJson(std::int64_t checkedAt, const ReputationFacts& facts) {
    nlohmann::ordered_json json;
    json["checked_at"] = IsoLocalTime(checkedAt);
    json.update(FactsJson(facts));
    return json;
}

nlohmann::ordered_json RankingRunJson(const RankingRun& run) {
    nlohmann::ordered_json json;
    json["ran_at"] = IsoLocalTime(run.ranAt);
    json["keyword"] = ToUtf8(run.keyword);
    json[TrackedTargetCode(run.target.kind)] = ToUtf8(run.target.value);
    json["outcome"] = RankingOutcomeCode(run.outcome);
    json["text"] = ToUtf8(RankingOutcomeText(run));
    json["position_kind"] = PositionKindCode(run.positionKind);
    if (run.outcome == RankingOutcome::Found) {
        json["page"] = run.page;
        if (run.positionKind == RankingPositionKind::Place) {
            json["place"] = RankingOrdinal(run);
            json["paid"] = run.paid;
            json["natural_place"] = run.naturalPlace;
        } else {
            json["row"] = run.row;
            json["column"] = run.column;
        }
        json["number"] = run.number;
        json["item_id"] = ToUtf8(run.itemId);
        json["item_title"] = ToUtf8(run.itemTitle);
    }
    json["pages_asked"] = run.pagesAsked;
    json["pages_walked"] = run.pagesWalked;
    json["unread_pages"] = nlohmann::ordered_json::array();
    for (const UnreadPage& page : run.unreadPages) {
        json["unread_pages"].push_back(
            {{"page", page.number}, {"reason", PageKindName(page.kind)}, {"address", ToUtf8(page.address)}});
    }
    return json;
}

void PrintJsonLine(const nlohmann::ordered_json& json) {
    std::cout << terminalSafe(json).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

CsvOutput::CsvOutput(std::string command, std::string file) : m_command(std::move(command)), m_file(std::move(file)) {
    if (m_file.empty()) {
        return;
    }
    if (IsReadOnlyFile(m_file)) {
        std::cerr << m_command << "：" << m_file << " 是只读文件，没有替换它\n";
        return;
    }
    // A new file gets the user's umask, as any file the user makes.
    m_replacement = std::make_unique<FileReplacement>(m_file, std::nullopt);
}

CsvOutput::~CsvOutput() = default;

bool CsvOutput::allowed() const {
    return m_file.empty() || m_replacement != nullptr;
}

void CsvOutput::append(std::string_view bytes) {
    if (m_replacement) {
        m_replacement->append(bytes);
    }
}

bool CsvOutput::commit() {
    if (m_file.empty() || !m_replacement) {
        return m_file.empty();
    }
    const bool written = m_replacement->commit();
    m_replacement.reset();
    if (!written) {
        std::cerr << m_command << "：无法写入 CSV 文件 " << m_file << '\n';
    }
    return written;
}

bool WriteCsvOutput(const std::string& command, const std::string& file, const std::string& bytes) {
    CsvOutput output(command, file);
    output.append(bytes);
    return output.commit();
}

void SkipCsvOutput(const std::string& command, const std::string& file) {
    if (!file.empty()) {
        std::cerr << command << "：已取消，没有写入 " << file << '\n';
    }
}

} // namespace tarvisk::cli
