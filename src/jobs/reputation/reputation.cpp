#include "jobs/reputation/reputation.h"

#include <utility>

#include "net/endpoints.h"
#include "text/encoding.h"
#include "text/numbers.h"
#include "text/regex.h"
#include "text/text_ops.h"

namespace tarvisk {

namespace {

/// An account this many days old or younger counts as new.
constexpr int kNewAccountDays = 30;
/// A buyer with more good ratings than these in the last week or month is suspicious.
constexpr double kWeekGoodLimit = 4;
constexpr double kMonthGoodLimit = 15;

bool contains(const std::u16string& text, const char16_t* needle) {
    return text.find(needle) != std::u16string::npos;
}

/// Removes every CR LF pair; a lone CR or LF stays, so "." still stops at a bare line feed.
std::u16string removeCrLf(const std::u16string& text) {
    std::u16string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            ++i;
            continue;
        }
        result.push_back(text[i]);
    }
    return result;
}

int digitsValue(const std::u16string& text, std::size_t from, std::size_t count) {
    int value = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        value = value * 10 + (text[i] - u'0');
    }
    return value;
}

/// Reads "2014年11月26日" (the only form the date pattern finds); none when it is not a real date.
std::optional<Date> parseRegistrationDate(const std::u16string& text) {
    if (text.size() != 11) {
        return std::nullopt;
    }
    const Date date{digitsValue(text, 0, 4), digitsValue(text, 5, 2), digitsValue(text, 8, 2)};
    if (!IsValidDate(date)) {
        return std::nullopt;
    }
    return date;
}

/// The number in the wildcard part of the index-th cell of a rating table class.
double ratingCount(const std::u16string& rawRating, const std::u16string& cellPattern, int index) {
    return LeadingNumber(StripTags(RegexCapture(rawRating, cellPattern, index, u".*?")));
}

double credit(const std::u16string& strippedRating, const std::u16string& labelPattern) {
    const std::u16string labelled = RegexMatch(strippedRating, labelPattern, 1);
    return LeadingNumber(RegexMatch(labelled, u"\\d{1,9}", 1));
}

/// Fills in what the rating page says; `ratingText` is the page with its CR LF pairs removed.
void readRating(const std::u16string& ratingText, ReputationFacts& facts) {
    const std::u16string rateLine = RegexMatch(ratingText, u"好评率：\\d{1,3}\\.\\d{1,2}\\%", 1);
    facts.goodRate = RegexMatch(rateLine, u"\\d{1,3}\\.\\d{1,2}", 0);

    if (contains(ratingText, u"个人认证")) {
        facts.certification = Certification::Personal;
    } else if (contains(ratingText, u"企业认证")) {
        facts.certification = Certification::Enterprise;
    } else {
        facts.certification = Certification::None;
    }

    facts.rawRatingText = ratingText;
    facts.role = contains(ratingText, kSellerMarker) ? Role::Seller : Role::Buyer;

    // The credits are read from the text between the tags, where label and score sit side by side.
    const std::u16string stripped = StripTags(ratingText);
    facts.sellerCredit = credit(stripped, u"卖家信用：.*?\\d{1,9}");
    facts.buyerCredit = credit(stripped, u"买家信用：.*?\\d{1,9}");

    // The rating table's first column is the last week, its second the last month.
    const std::u16string good = u"<td class=\"rateok\">.*?</td>";
    const std::u16string neutral = u"<td class=\"ratenormal\">.*?</td>";
    const std::u16string bad = u"<td class=\"ratebad\">.*?</td>";
    facts.weekGood = ratingCount(ratingText, good, 1);
    facts.weekNeutral = ratingCount(ratingText, neutral, 1);
    facts.weekBad = ratingCount(ratingText, bad, 1);
    facts.monthGood = ratingCount(ratingText, good, 2);
    facts.monthNeutral = ratingCount(ratingText, neutral, 2);
    facts.monthBad = ratingCount(ratingText, bad, 2);
}

/// The record of a readable profile (it has a registration date) and its rating page.
ReputationFacts composeFacts(const ProfileFacts& profile, const std::u16string& ratingText, const Date& today) {
    ReputationFacts facts;
    facts.registrationDate = profile.registrationDate;
    facts.daysSinceRegistration = DaysBetween(*profile.registeredOn, today);
    facts.newAccount = facts.daysSinceRegistration <= kNewAccountDays;
    facts.userId = profile.userId;
    facts.ratingLink = RatingLink(profile.userId);
    readRating(removeCrLf(ratingText), facts);
    facts.verdict = Decide(facts);
    return facts;
}

std::u16string pageTitle(ReputationPage page) {
    return page == ReputationPage::Profile ? u"会员资料页" : u"信用评价页";
}

} // namespace

std::u16string UnreadPageMessage(ReputationPage page, PageKind kind) {
    return u"对不起，无法读取" + pageTitle(page) + u"：" + PageKindReason(kind) + u"。本次查询没有结论。" +
           PageKindAdvice(kind);
}

const char* ReputationPageName(ReputationPage page) {
    return page == ReputationPage::Profile ? "profile" : "rating";
}

std::u16string ProfileUrl(const std::u16string& account) {
    return std::u16string(u"http://") + endpoints::kMemberHost + u"/member/userProfile.jhtml?asker=wangwang&userID=" +
           UrlEncodeGbk(account);
}

std::u16string RatingLink(const std::u16string& userId) {
    return std::u16string(u"http://") + endpoints::kRatingHost + u"/user-rate-" + userId + u".htm";
}

std::optional<ReputationStop> ProfileStop(const std::u16string& profileText) {
    if (contains(profileText, kAuditMarker)) {
        return ReputationStop{kAuditMessage, kAuditTitle};
    }
    if (contains(profileText, kBannedMarker)) {
        return ReputationStop{kBannedMessage, kBannedTitle};
    }
    if (profileText.empty()) {
        return ReputationStop{kNotLoggedInMessage, {}};
    }
    return std::nullopt;
}

ProfileFacts ReadProfile(const std::u16string& profileText) {
    const std::u16string text = removeCrLf(profileText);
    ProfileFacts profile;
    const std::u16string dateLine = RegexMatch(text, u"注册时间：.*?\\d{4}年\\d{2}月\\d{2}日", 1);
    profile.registrationDate = RegexMatch(dateLine, u"\\d{4}年\\d{2}月\\d{2}日", 1);
    profile.registeredOn = parseRegistrationDate(profile.registrationDate);
    profile.userId = RegexMatch(text, u"\\w{32}", 1);
    return profile;
}

Verdict Decide(const ReputationFacts& facts) {
    if (facts.role == Role::Seller) {
        return Verdict::Safe;
    }
    if (facts.weekGood > kWeekGoodLimit || facts.monthGood > kMonthGoodLimit ||
        facts.daysSinceRegistration <= kNewAccountDays) {
        return Verdict::Unsafe;
    }
    return Verdict::Safe;
}

std::optional<ReputationFacts> ParseReputationFacts(const std::u16string& profileText, const std::u16string& ratingText,
                                                    const Date& today) {
    const ProfileFacts profile = ReadProfile(profileText);
    if (!profile.registeredOn) {
        return std::nullopt;
    }
    return composeFacts(profile, ratingText, today);
}

ReputationQuery::ReputationQuery(PageFetch fetch) : m_fetch(std::move(fetch)) {
    if (!m_fetch) {
        m_fetch = DirectPageFetch;
    }
}

ReputationOutcome ReputationQuery::run(const std::u16string& typedAccount) {
    if (m_busy.exchange(true)) {
        ReputationOutcome refused;
        refused.status = ReputationOutcome::Status::Busy;
        refused.account = TrimBlanks(typedAccount);
        return refused;
    }
    struct Release {
        std::atomic<bool>& busy;
        ~Release() { busy = false; }
    } release{m_busy};
    return query(TrimBlanks(typedAccount));
}

ReputationOutcome ReputationQuery::query(const std::u16string& account) {
    ReputationOutcome outcome;
    outcome.account = account;
    const auto stopWith = [&outcome](ReputationStop stop) {
        outcome.status = ReputationOutcome::Status::Stopped;
        outcome.stop = std::move(stop);
        return outcome;
    };
    const auto notRead = [&outcome](ReputationPage page, PageKind kind, const FetchedPage& fetched,
                                    const std::u16string& url) {
        outcome.status = ReputationOutcome::Status::PageNotRead;
        outcome.unread = {page, kind, ShownAddress(fetched, url), UnreadPageMessage(page, kind)};
        return outcome;
    };

    if (account.empty()) {
        return stopWith({kEmptyAccountMessage, {}});
    }
    const std::u16string profileUrl = ProfileUrl(account);
    const FetchedPage profilePage = m_fetch(profileUrl);
    if (auto stop = ProfileStop(profilePage.text)) {
        return stopWith(std::move(*stop));
    }
    if (const PageKind kind = ClassifyPage(profilePage, kProfileTexts);
        NeedsTheUser(kind) || kind == PageKind::SkippedByUser) {
        return notRead(ReputationPage::Profile, kind, profilePage, profileUrl);
    }
    const ProfileFacts profile = ReadProfile(profilePage.text);
    if (!profile.registeredOn) {
        return stopWith({kUnreadableProfileMessage, {}});
    }

    const std::u16string ratingUrl = RatingLink(profile.userId) + u"?_=" + RandomField();
    const FetchedPage ratingPage = m_fetch(ratingUrl);
    if (const PageKind kind = ClassifyPage(ratingPage, kRatingTexts); kind != PageKind::Normal) {
        return notRead(ReputationPage::Rating, kind, ratingPage, ratingUrl);
    }
    outcome.status = ReputationOutcome::Status::Report;
    outcome.facts = composeFacts(profile, ratingPage.text, Today());
    outcome.facts.account = account;
    return outcome;
}

} // namespace tarvisk
