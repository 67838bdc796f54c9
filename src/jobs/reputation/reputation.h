#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "jobs/page_check.h"
#include "core/hooks.h"

// The reputation check of one buyer account: the member profile page gives the registration date
// and the user id, the rating page gives the credits, the good rate, the certification and the
// recent rating counts, and a fixed rule turns them into a verdict. Everything here runs without
// a window; the window reads the account box, calls ReputationQuery and shows what comes back.

namespace tarvisk {

enum class Certification { None, Personal, Enterprise };
enum class Role { Buyer, Seller };
enum class Verdict { Safe, Unsafe };

/// What one query found out about an account.
struct ReputationFacts {
    std::u16string account;          ///< the typed account, spaces trimmed
    std::u16string registrationDate; ///< as printed on the profile, e.g. u"2014年11月26日"
    int daysSinceRegistration = 0;   ///< today minus the registration date, in calendar days
    bool newAccount = false;         ///< 30 days old or younger
    std::u16string userId;           ///< the 32-character id of the rating page
    std::u16string ratingLink;       ///< the rating page address shown in the report
    std::u16string goodRate;         ///< as printed, e.g. u"99.85"; empty when the page shows none
    Certification certification = Certification::None;
    Role role = Role::Buyer;
    double sellerCredit = 0;
    double buyerCredit = 0;
    double weekGood = 0;
    double weekNeutral = 0;
    double weekBad = 0;
    double monthGood = 0;
    double monthNeutral = 0;
    double monthBad = 0;
    Verdict verdict = Verdict::Unsafe;
    /// The rating page as fetched, line breaks (CR LF) removed; the window keeps it in Text1.
    std::u16string rawRatingText;
};

/// A query that ends with a message box instead of a report. An empty title means the product caption.
struct ReputationStop {
    std::u16string message;
    std::u16string title;
    friend bool operator==(const ReputationStop&, const ReputationStop&) = default;
};

inline constexpr char16_t kEmptyAccountMessage[] = u"亲输入的淘宝账号不能为空";
inline constexpr char16_t kAuditMessage[] = u"对不起，亲输入的淘宝账号不存在或正被盘点";
inline constexpr char16_t kAuditTitle[] = u"信息校验出错";
inline constexpr char16_t kBannedMessage[] = u"对不起，亲输入的淘宝账号已被查封";
inline constexpr char16_t kBannedTitle[] = u"提示信息";
inline constexpr char16_t kNotLoggedInMessage[] =
    u"对不起，由于官方限制，亲需要成功登录任意一个淘宝账号（建议用小号）\r\n\r\n"
    u"如果一直本提示 代码亲查询的账号不是一个纯买家账号，代表安全呢";
/// A profile page without a real registration date cannot be judged (the account's age is unknown).
inline constexpr char16_t kUnreadableProfileMessage[] =
    u"对不起，无法读取亲输入的淘宝账号的资料页（没有找到有效的注册时间），请稍后再试";

/// The profile page says the account is missing, under audit or banned.
inline constexpr char16_t kAuditMarker[] = u"淘宝正在对该店铺盘点";
inline constexpr char16_t kBannedMarker[] = u"查封";
/// Only a seller's rating page carries this heading.
inline constexpr char16_t kSellerMarker[] = u"卖家信用评价展示";

/// The member profile address of an account (the account percent-encoded in GBK).
std::u16string ProfileUrl(const std::u16string& account);
/// The rating page address of a user id, as linked from the report.
std::u16string RatingLink(const std::u16string& userId);

/// The stop that the profile page as fetched calls for, checked in this order: missing or under
/// audit, banned, empty (nobody logged in). None when the page can be read on.
std::optional<ReputationStop> ProfileStop(const std::u16string& profileText);

/// What the profile page says.
struct ProfileFacts {
    std::u16string registrationDate;  ///< as printed; empty when the page has none
    std::optional<Date> registeredOn; ///< none when missing or not a real calendar date
    std::u16string userId;            ///< the first run of 32 word characters; empty when none
};
ProfileFacts ReadProfile(const std::u16string& profileText);

/// The verdict: a seller is safe; a buyer is unsafe with more than 4 good ratings in the last week,
/// more than 15 in the last month, or an account 30 days old or younger.
Verdict Decide(const ReputationFacts& facts);

/// Everything the two pages say about an account on `today`, verdict included (the account field
/// stays empty). None when the profile has no real registration date. Depends on nothing else.
std::optional<ReputationFacts> ParseReputationFacts(const std::u16string& profileText, const std::u16string& ratingText,
                                                    const Date& today);

/// The texts by which the query knows its pages. A real rating page holds at least one of them
/// even when every value is missing.
inline constexpr std::u16string_view kProfileTexts[] = {u"注册时间"};
inline constexpr std::u16string_view kRatingTexts[] = {u"好评率", u"卖家信用",   u"买家信用",
                                                       u"rateok", u"ratenormal", u"ratebad"};

/// The two pages of a query.
enum class ReputationPage { Profile, Rating };

/// A query that stopped because one of its pages could not be read: no report, no verdict.
struct UnreadReputationPage {
    ReputationPage page = ReputationPage::Profile;
    PageKind kind = PageKind::Empty;
    std::u16string address; ///< where the page can be seen (and a login or verification passed)
    std::u16string message; ///< names the page and the reason
};

/// The message of a query stopped at `page` of the given kind, e.g. u"对不起，无法读取信用评价页：淘宝要求登录。..."
std::u16string UnreadPageMessage(ReputationPage page, PageKind kind);

/// The page as the command line writes it: "profile" or "rating".
const char* ReputationPageName(ReputationPage page);

/// The end of a query: a report, a stop, a page that could not be read, or a refusal because a
/// query is already running.
struct ReputationOutcome {
    enum class Status { Report, Stopped, PageNotRead, Busy };
    Status status = Status::Busy;
    std::u16string account;      ///< the trimmed account (what the account box shows after a stop)
    ReputationFacts facts;       ///< with Report
    ReputationStop stop;         ///< with Stopped
    UnreadReputationPage unread; ///< with PageNotRead
};

/// Runs reputation checks. Pages come from `fetch` (by default XmlHttpRequest, so they carry the
/// browser's cookies, with the address each answer came from). While a query waits for a page the
/// event pump may start another one on the same object: that one is refused with Busy and the
/// running query goes on.
///
/// After the profile page's own stops, a profile page that is a login or verification page, or a
/// rating page that is empty, a login or verification page or none of the query's own pages, ends
/// the query with PageNotRead: a verdict from a page that was never read would be a guess.
class ReputationQuery {
public:
    using PageFetch = std::function<FetchedPage(const std::u16string& url)>;

    explicit ReputationQuery(PageFetch fetch = {});

    ReputationOutcome run(const std::u16string& typedAccount);
    bool busy() const { return m_busy.load(); }

private:
    ReputationOutcome query(const std::u16string& account);

    PageFetch m_fetch;
    std::atomic<bool> m_busy{false};
};

} // namespace tarvisk
