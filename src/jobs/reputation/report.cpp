#include "jobs/reputation/report.h"

#include <array>
#include <optional>

#include "core/files.h"
#include "core/utf8.h"
#include "net/endpoints.h"
#include "text/html.h"
#include "text/numbers.h"
#include "text/text_ops.h"

namespace tarvisk {

namespace {

enum class Tier { Red, Blue, Cap };

struct BadgeStep {
    double above; ///< the score must be strictly greater
    Tier tier;
    int count;
};

/// From the top down; the first step whose threshold the score exceeds gives the row.
constexpr std::array<BadgeStep, 15> kBadgeSteps{{
    {200000, Tier::Cap, 5},
    {100000, Tier::Cap, 4},
    {50000, Tier::Cap, 3},
    {20000, Tier::Cap, 2},
    {10000, Tier::Cap, 1},
    {5000, Tier::Blue, 5},
    {2000, Tier::Blue, 4},
    {1000, Tier::Blue, 3},
    {500, Tier::Blue, 2},
    {250, Tier::Blue, 1},
    {150, Tier::Red, 5},
    {90, Tier::Red, 4},
    {40, Tier::Red, 3},
    {10, Tier::Red, 2},
    {4, Tier::Red, 1},
}};

/// Above this score a single local top-tier image replaces the rows.
constexpr double kTopTierAbove = 500000;

std::u16string badgeImage(const std::u16string& address) {
    return u"<img align=\"absmiddle\" src='" + address + u"' />";
}

std::u16string badgeFile(Tier tier, bool seller) {
    std::u16string file = seller ? u"s_" : u"b_";
    switch (tier) {
    case Tier::Red:
        file += u"red";
        break;
    case Tier::Blue:
        file += u"blue";
        break;
    case Tier::Cap:
        file += u"cap";
        break;
    }
    return file + u"_1.gif";
}

std::u16string certificationMarkup(Certification certification) {
    const auto image = [](const std::u16string& address, const std::u16string& label) {
        return u"<img align=\"absmiddle\" src='" + address + u"' alt='" + label + u"' title='" + label + u"' />";
    };
    switch (certification) {
    case Certification::Personal:
        return image(std::u16string(u"http://") + endpoints::kPictureHost + u"/zfb_person_small.gif", u"个人实名认证");
    case Certification::Enterprise:
        return image(std::u16string(u"http://") + endpoints::kStaticImageHost + u"/tps/i1/T1YE.JXXXcXXb1HYPe-35-35.png",
                     u"企业实名认证");
    case Certification::None:
        break;
    }
    return u"未认证";
}

std::u16string roleMarkup(Role role) {
    if (role == Role::Seller) {
        return u"<span style='background:#F60;color:#fff;font-size:12px;padding:2px 5px;'>卖家</span>";
    }
    return u"<span style='background:#00ADFF;color:#fff;font-size:12px;padding:2px 5px;'>买家</span>";
}

std::u16string verdictMarkup(Verdict verdict) {
    if (verdict == Verdict::Safe) {
        return u"<span style='font-size:30px;background:#25df25;color:#fff;padding:10px 30px;'>安全</span>";
    }
    return u"<span style='font-size:30px;background:#df2525;color:#fff;padding:10px 30px;'>不安全</span>";
}

std::u16string displayedDate(const ReputationFacts& facts) {
    const std::u16string date = EscapeHtml(facts.registrationDate);
    if (facts.newAccount) {
        return u"<span style='background:#df2525;color:#fff;padding:2px 4px'>" + date + u"</span>";
    }
    return date;
}

} // namespace

std::u16string toimg(double thisint, int thistype) {
    if (thistype != kSellerBadges && thistype != kBuyerBadges) {
        return {};
    }
    const bool seller = thistype == kSellerBadges;
    if (thisint > kTopTierAbove) {
        return badgeImage(seller ? kSellerTopBadge : kBuyerTopBadge) + u" +";
    }
    for (const BadgeStep& step : kBadgeSteps) {
        if (thisint > step.above) {
            const std::u16string image = badgeImage(std::u16string(u"http://") + endpoints::kPictureHost +
                                                    u"/newrank/" + badgeFile(step.tier, seller));
            std::u16string row;
            for (int i = 0; i < step.count; ++i) {
                row += image;
            }
            return row;
        }
    }
    return {};
}

std::u16string RenderReport(const ReputationFacts& facts) {
    std::u16string html;
    html += u"<div><h3 style='color:#df4040;font-size:20px;'>" + EscapeHtml(facts.account) + u"</h3></div>";
    html += u"<div style='color:#333;font-size:14px'>" + certificationMarkup(facts.certification) + u" " +
            roleMarkup(facts.role) + u" 好评率:" + EscapeHtml(facts.goodRate) + u"%</div>";
    html += u"<div style='color:#333;font-size:14px'>注册时间：" + displayedDate(facts) + u" </div>";
    html += u"<div style='color:#333;font-size:14px'>卖家信用：<span style='color:#36c'>" +
            NumberText(facts.sellerCredit) + u"</span> " + toimg(facts.sellerCredit, kSellerBadges) + u"</div>";
    html += u"<div style='color:#333;font-size:14px'>买家信用：<span style='color:#36c'>" +
            NumberText(facts.buyerCredit) + u"</span> " + toimg(facts.buyerCredit, kBuyerBadges) + u"</div>";
    html +=
        u"<div style='margin-top:10px;border-bottom:1px solid #eee'></div><div align='center' style='height:55px;'>" +
        verdictMarkup(facts.verdict);
    html +=
        u"</div><div style='font-size:14px;color:#966'>最近一周：</div><div style='font-size:14px;color:#966'>好评[" +
        NumberText(facts.weekGood) + u"] [中评" + NumberText(facts.weekNeutral) + u"] [差评" +
        NumberText(facts.weekBad);
    html +=
        u"]</div><div style='font-size:14px;color:#966'>最近一月：</div><div style='font-size:14px;color:#966'>好评[" +
        NumberText(facts.monthGood) + u"] [中评" + NumberText(facts.monthNeutral) + u"] [差评" +
        NumberText(facts.monthBad);
    const std::u16string link = EscapeHtml(facts.ratingLink);
    html += u"]</div><div align='' style='margin-top:30px;font-size:12px;color:#444'>读取自：<a href='" + link +
            u"' target='_blank'>" + link + u"</a></div>";
    return html;
}

std::u16string RenderNoReport(const std::u16string& account, const std::u16string& why, const ReputationFacts* shown) {
    const std::u16string named = u"「" + EscapeHtml(account) + u"」";
    std::u16string html = u"<div style='background:#fff4e0;border:1px solid #f0a040;color:#7a4100;font-size:14px;"
                          u"padding:6px 8px;margin-bottom:8px'><b>" +
                          named + u"没有报告</b>：" + EscapeHtml(why);
    if (shown != nullptr) {
        // The report that stays is another account's, or this account's from an earlier check.
        html += shown->account == account ? u"<br>下面是" + named + u"上一次查询的报告。"
                                          : u"<br>下面仍是「" + EscapeHtml(shown->account) + u"」的报告。";
    }
    html += u"</div>";
    return shown != nullptr ? html + RenderReport(*shown) : html;
}

std::u16string ReportDocumentHead() {
    return u"<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n<title>信誉查询报告</title>\n"
           u"</head>\n<body>\n";
}

std::u16string ReportDocumentTail() {
    return u"</body>\n</html>\n";
}

std::u16string SelfContainedReport(const std::u16string& report, const std::filesystem::path& resourceFolder) {
    // The badges are small images; anything larger is not one of them.
    constexpr std::uintmax_t kMaxBadgeBytes = 1 << 20;
    std::u16string html = report;
    for (const std::u16string badge : {kSellerTopBadge, kBuyerTopBadge}) {
        const std::optional<std::string> bytes =
            ReadFileBytes(resourceFolder / std::filesystem::path(ToUtf8(badge)), kMaxBadgeBytes);
        if (bytes) {
            const char* type = badge.ends_with(u".png") ? "image/png" : "image/gif";
            html = ReplaceAll(html, u"src='" + badge + u"'", u"src='" + DataUri(type, *bytes) + u"'");
        }
    }
    return html;
}

} // namespace tarvisk
