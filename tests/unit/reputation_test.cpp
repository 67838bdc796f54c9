#include "jobs/reputation/reputation.h"

#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/hooks.h"
#include "text/encoding.h"
#include "text/text_ops.h"

namespace tarvisk {
namespace {

const std::u16string kUserId = u"UvGcWMGkYvmcWOFTTMmxLOFHbMCNT0Ab";

std::u16string Profile(const std::u16string& date, const std::u16string& userId = kUserId) {
    return u"<html><head><meta charset=\"gbk\"></head><body>\r\n<div class=\"profile\">\r\n"
           u"<a href=\"//rate.taobao.com/user-rate-" +
           userId + u".htm\">信用评价</a>\r\n<dl><dt>注册时间：</dt>\r\n<dd>" + date +
           u"</dd></dl>\r\n</div></body></html>\r\n";
}

struct RatingCells {
    std::u16string week;
    std::u16string month;
};

/// A rating page in the marketplace's layout: credits, good rate, certification, and the table
/// whose first column is the last week and second the last month.
std::u16string RatingPage(const std::u16string& extra, const std::u16string& sellerCredit,
                          const std::u16string& buyerCredit, const RatingCells& good, const RatingCells& neutral,
                          const RatingCells& bad) {
    const auto row = [](const std::u16string& cls, const RatingCells& cells) {
        return u"<tr>\r\n<td class=\"" + cls + u"\">" + cells.week + u"</td><td class=\"" + cls + u"\">" + cells.month +
               u"</td><td class=\"" + cls + u"\"><a href=\"#\">99</a></td></tr>\r\n";
    };
    return u"<html><head><meta charset=\"gbk\"><title>信用评价</title></head><body>\r\n" + extra +
           u"\r\n<ul>\r\n<li>卖家信用：<a href=\"#\">" + sellerCredit + u"</a></li>\r\n<li>买家信用：<a href=\"#\">" +
           buyerCredit +
           u"</a></li>\r\n</ul>\r\n<table class=\"tb-rate-table\">\r\n<tr><th>&nbsp;</th><th>最近1周</th>"
           u"<th>最近1个月</th><th>总计</th></tr>\r\n" +
           row(u"rateok", good) + row(u"ratenormal", neutral) + row(u"ratebad", bad) + u"</table></body></html>\r\n";
}

std::u16string Linked(const std::u16string& number) {
    return u"<a href=\"#\">" + number + u"</a>";
}

const std::u16string kBuyerRating =
    RatingPage(u"<em>好评率：99.85%</em><span>个人认证</span>", u"0", u"286", {Linked(u"3"), Linked(u"12")},
               {Linked(u"1"), Linked(u"2")}, {u"0", Linked(u"1")});

TEST(ReputationAddresses, ProfileCarriesTheGbkEncodedAccount) {
    EXPECT_EQ(ProfileUrl(u"查ab-1"),
              u"http://member1.taobao.com/member/userProfile.jhtml?asker=wangwang&userID=%B2%E9ab%2D%31");
    EXPECT_EQ(ProfileUrl(u""), u"http://member1.taobao.com/member/userProfile.jhtml?asker=wangwang&userID=");
    EXPECT_EQ(RatingLink(kUserId), u"http://rate.taobao.com/user-rate-" + kUserId + u".htm");
    EXPECT_EQ(RatingLink(u""), u"http://rate.taobao.com/user-rate-.htm");
}

TEST(ProfileStop, ChecksAuditThenBanThenEmpty) {
    const ReputationStop audit{kAuditMessage, kAuditTitle};
    const ReputationStop banned{kBannedMessage, kBannedTitle};
    const ReputationStop loggedOut{kNotLoggedInMessage, u""};
    const struct {
        std::u16string page;
        std::optional<ReputationStop> stop;
    } cases[] = {
        {u"<p>淘宝正在对该店铺盘点</p>", audit},
        {u"查封 and 淘宝正在对该店铺盘点", audit},
        {u"<p>该账号已被查封</p>", banned},
        {u"", loggedOut},
        {u"\r\n", std::nullopt},
        {u"查 封", std::nullopt},
        {u"淘宝正在对该店铺\r\n盘点", std::nullopt},
        {Profile(u"2014年11月26日"), std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProfileStop(c.page), c.stop) << ToUtf8(c.page);
    }
}

TEST(ReadProfile, FindsDateAndUserId) {
    const struct {
        std::u16string page;
        std::u16string date;
        std::optional<Date> registeredOn;
        std::u16string userId;
    } cases[] = {
        // The date sits on the line after its label: CR LF pairs are removed first.
        {Profile(u"2014年11月26日"), u"2014年11月26日", Date{2014, 11, 26}, kUserId},
        // A lone line feed stays and stops the label's wildcard.
        {u"注册时间：\n2014年11月26日 " + kUserId, u"", std::nullopt, kUserId},
        {u"注册时间：\r2014年11月26日", u"2014年11月26日", Date{2014, 11, 26}, u""},
        // Not a real calendar date: the text is kept, the date is not.
        {Profile(u"2014年02月30日"), u"2014年02月30日", std::nullopt, kUserId},
        {Profile(u"2014年13月01日"), u"2014年13月01日", std::nullopt, kUserId},
        {Profile(u"2016年02月29日"), u"2016年02月29日", Date{2016, 2, 29}, kUserId},
        // Single-digit month: not the printed form, so no date.
        {Profile(u"2014年1月26日"), u"", std::nullopt, kUserId},
        {u"注册时间：2001年01月01日 and 注册时间：2002年02月02日", u"2001年01月01日", Date{2001, 1, 1}, u""},
        {u"创建XML失败", u"", std::nullopt, u""},
        // The id is the first 32 word characters, even inside a longer run.
        {u"x_" + kUserId + u"zz 注册时间：2010年05月06日", u"2010年05月06日", Date{2010, 5, 6},
         u"x_" + kUserId.substr(0, 30)},
        {u"short_run_1234567890123456789012 注册时间：2010年05月06日", u"2010年05月06日", Date{2010, 5, 6},
         u"short_run_1234567890123456789012"},
        {u"31chars_" + std::u16string(23, u'a') + u"-" + kUserId, u"", std::nullopt, kUserId},
    };
    for (const auto& c : cases) {
        const ProfileFacts profile = ReadProfile(c.page);
        EXPECT_EQ(profile.registrationDate, c.date) << ToUtf8(c.page);
        EXPECT_EQ(profile.registeredOn, c.registeredOn) << ToUtf8(c.page);
        EXPECT_EQ(profile.userId, c.userId) << ToUtf8(c.page);
    }
}

TEST(ParseReputationFacts, ReadsEveryFieldOfBothPages) {
    const auto facts = ParseReputationFacts(Profile(u"2014年11月26日"), kBuyerRating, Date{2015, 3, 1});
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->account, u"");
    EXPECT_EQ(facts->registrationDate, u"2014年11月26日");
    EXPECT_EQ(facts->daysSinceRegistration, 95);
    EXPECT_FALSE(facts->newAccount);
    EXPECT_EQ(facts->userId, kUserId);
    EXPECT_EQ(facts->ratingLink, u"http://rate.taobao.com/user-rate-" + kUserId + u".htm");
    EXPECT_EQ(facts->goodRate, u"99.85");
    EXPECT_EQ(facts->certification, Certification::Personal);
    EXPECT_EQ(facts->role, Role::Buyer);
    EXPECT_EQ(facts->sellerCredit, 0);
    EXPECT_EQ(facts->buyerCredit, 286);
    EXPECT_EQ(facts->weekGood, 3);
    EXPECT_EQ(facts->monthGood, 12);
    EXPECT_EQ(facts->weekNeutral, 1);
    EXPECT_EQ(facts->monthNeutral, 2);
    EXPECT_EQ(facts->weekBad, 0); // a bare number without a tag reads as nothing
    EXPECT_EQ(facts->monthBad, 1);
    EXPECT_EQ(facts->verdict, Verdict::Safe);
    EXPECT_EQ(facts->rawRatingText.find(u"\r\n"), std::u16string::npos);
    EXPECT_NE(facts->rawRatingText.find(u"<td class=\"rateok\">"), std::u16string::npos);
}

TEST(ParseReputationFacts, NeedsARealRegistrationDate) {
    EXPECT_FALSE(ParseReputationFacts(Profile(u"2014年02月30日"), kBuyerRating, Date{2015, 3, 1}));
    EXPECT_FALSE(ParseReputationFacts(u"<p>资料</p>" + kUserId, kBuyerRating, Date{2015, 3, 1}));
    EXPECT_FALSE(ParseReputationFacts(u"创建XML失败", kBuyerRating, Date{2015, 3, 1}));
}

TEST(ParseReputationFacts, ReadsTheRatingPageVariants) {
    const RatingCells none{u"", u""};
    const struct {
        const char* name;
        std::u16string rating;
        std::u16string goodRate;
        Certification certification;
        Role role;
        double seller;
        double buyer;
        double weekGood;
        double monthGood;
    } cases[] = {
        {"full rate", RatingPage(u"<em>好评率：100.00%</em>", u"5", u"7", none, none, none), u"100.00",
         Certification::None, Role::Buyer, 5, 7, 0, 0},
        {"one decimal", RatingPage(u"好评率：99.5%", u"0", u"0", none, none, none), u"99.5", Certification::None,
         Role::Buyer, 0, 0, 0, 0},
        {"rate without percent", RatingPage(u"好评率：99.5", u"0", u"0", none, none, none), u"", Certification::None,
         Role::Buyer, 0, 0, 0, 0},
        {"rate with three decimals", RatingPage(u"好评率：99.855%", u"0", u"0", none, none, none), u"",
         Certification::None, Role::Buyer, 0, 0, 0, 0},
        {"both certifications", RatingPage(u"企业认证 个人认证", u"1", u"1", none, none, none), u"",
         Certification::Personal, Role::Buyer, 1, 1, 0, 0},
        {"enterprise", RatingPage(u"<b>企业认证</b>", u"1", u"1", none, none, none), u"", Certification::Enterprise,
         Role::Buyer, 1, 1, 0, 0},
        {"seller heading", RatingPage(u"<h2>卖家信用评价展示</h2>", u"1234567", u"15", none, none, none), u"",
         Certification::None, Role::Seller, 1234567, 15, 0, 0},
        {"ten digits read as nine", RatingPage(u"", u"1234567890", u"12", none, none, none), u"", Certification::None,
         Role::Buyer, 123456789, 12, 0, 0},
        {"counts in links", RatingPage(u"", u"0", u"0", {Linked(u"5"), Linked(u"16")}, none, none), u"",
         Certification::None, Role::Buyer, 0, 0, 5, 16},
        {"bare counts", RatingPage(u"", u"0", u"0", {u"5", u"16"}, none, none), u"", Certification::None, Role::Buyer,
         0, 0, 0, 0},
        // A label without a score of its own reads the next number of the page.
        {"missing score", RatingPage(u"", u"", u"8", none, none, none), u"", Certification::None, Role::Buyer, 8, 8, 0,
         0},
        {"empty page", u"", u"", Certification::None, Role::Buyer, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        const auto facts = ParseReputationFacts(Profile(u"2014年11月26日"), c.rating, Date{2015, 3, 1});
        ASSERT_TRUE(facts) << c.name;
        EXPECT_EQ(facts->goodRate, c.goodRate) << c.name;
        EXPECT_EQ(facts->certification, c.certification) << c.name;
        EXPECT_EQ(facts->role, c.role) << c.name;
        EXPECT_EQ(facts->sellerCredit, c.seller) << c.name;
        EXPECT_EQ(facts->buyerCredit, c.buyer) << c.name;
        EXPECT_EQ(facts->weekGood, c.weekGood) << c.name;
        EXPECT_EQ(facts->monthGood, c.monthGood) << c.name;
    }
}

TEST(ParseReputationFacts, NewAccountBoundary) {
    const struct {
        Date today;
        int days;
        bool isNew;
        Verdict verdict;
    } cases[] = {{{2014, 12, 26}, 30, true, Verdict::Unsafe},
                 {{2014, 12, 27}, 31, false, Verdict::Safe},
                 {{2014, 11, 1}, -25, true, Verdict::Unsafe}};
    const std::u16string quiet = RatingPage(u"", u"0", u"3", {u"", u""}, {u"", u""}, {u"", u""});
    for (const auto& c : cases) {
        const auto facts = ParseReputationFacts(Profile(u"2014年11月26日"), quiet, c.today);
        ASSERT_TRUE(facts);
        EXPECT_EQ(facts->daysSinceRegistration, c.days) << c.days;
        EXPECT_EQ(facts->newAccount, c.isNew) << c.days;
        EXPECT_EQ(facts->verdict, c.verdict) << c.days;
    }
}

TEST(Decide, BuyerLimitsAreStrictAndSellersAreSafe) {
    const struct {
        Role role;
        int days;
        double weekGood;
        double monthGood;
        Verdict verdict;
    } cases[] = {
        {Role::Buyer, 31, 4, 15, Verdict::Safe},       {Role::Buyer, 31, 5, 15, Verdict::Unsafe},
        {Role::Buyer, 31, 4, 16, Verdict::Unsafe},     {Role::Buyer, 30, 0, 0, Verdict::Unsafe},
        {Role::Buyer, 31, 0, 0, Verdict::Safe},        {Role::Buyer, 31, 4.5, 0, Verdict::Unsafe},
        {Role::Buyer, 5000, 0, 15.5, Verdict::Unsafe}, {Role::Seller, 0, 100, 900, Verdict::Safe},
        {Role::Seller, -3, 0, 0, Verdict::Safe},
    };
    for (const auto& c : cases) {
        ReputationFacts facts;
        facts.role = c.role;
        facts.daysSinceRegistration = c.days;
        facts.newAccount = c.days <= 30;
        facts.weekGood = c.weekGood;
        facts.monthGood = c.monthGood;
        EXPECT_EQ(Decide(facts), c.verdict) << c.days << " " << c.weekGood << " " << c.monthGood;
    }
}

/// Serves prepared pages by address prefix and records every request.
struct FakeMarket {
    std::u16string profile;
    std::u16string rating;
    std::vector<std::u16string> requests;

    ReputationQuery::PageFetch fetch() {
        return [this](const std::u16string& url) {
            requests.push_back(url);
            return url.find(u"/user-rate-") != std::u16string::npos ? rating : profile;
        };
    }
};

class ReputationQueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetClock([] { return Date{2014, 12, 27}; });
    }
    void TearDown() override { SetClock({}); }
};

TEST_F(ReputationQueryTest, FetchesProfileThenRatingAndReports) {
    FakeMarket market{Profile(u"2014年11月26日"), kBuyerRating, {}};
    ReputationQuery query(market.fetch());
    const ReputationOutcome outcome = query.run(u"  张三  ");
    ASSERT_EQ(outcome.status, ReputationOutcome::Status::Report);
    EXPECT_EQ(outcome.account, u"张三");
    EXPECT_EQ(outcome.facts.account, u"张三");
    EXPECT_EQ(outcome.facts.daysSinceRegistration, 31);
    EXPECT_EQ(outcome.facts.verdict, Verdict::Safe);
    ASSERT_EQ(market.requests.size(), 2u);
    EXPECT_EQ(market.requests[0], ProfileUrl(u"张三"));
    const std::u16string ratingPrefix = RatingLink(kUserId) + u"?_=";
    ASSERT_EQ(market.requests[1].substr(0, ratingPrefix.size()), ratingPrefix);
    const std::u16string random = market.requests[1].substr(ratingPrefix.size());
    ASSERT_FALSE(random.empty());
    EXPECT_TRUE(random[0] >= u'0' && random[0] <= u'9') << ToUtf8(random);
    EXPECT_FALSE(query.busy());
}

TEST_F(ReputationQueryTest, StopsWithTheRightMessage) {
    const struct {
        std::u16string typed;
        std::u16string profile;
        std::u16string message;
        std::u16string title;
        std::size_t requests;
    } cases[] = {
        {u"   ", Profile(u"2014年11月26日"), kEmptyAccountMessage, u"", 0},
        {u"ab", u"淘宝正在对该店铺盘点 查封", kAuditMessage, kAuditTitle, 1},
        {u"ab", u"<p>已被查封</p>", kBannedMessage, kBannedTitle, 1},
        {u"ab", u"", kNotLoggedInMessage, u"", 1},
        {u"ab", u"<html>no date " + kUserId + u"</html>", kUnreadableProfileMessage, u"", 1},
        {u"ab", Profile(u"2014年02月30日"), kUnreadableProfileMessage, u"", 1},
        {u"ab", u"创建XML失败", kUnreadableProfileMessage, u"", 1},
    };
    for (const auto& c : cases) {
        FakeMarket market{c.profile, kBuyerRating, {}};
        ReputationQuery query(market.fetch());
        const ReputationOutcome outcome = query.run(c.typed);
        EXPECT_EQ(outcome.status, ReputationOutcome::Status::Stopped) << ToUtf8(c.profile);
        EXPECT_EQ(outcome.stop.message, c.message) << ToUtf8(c.profile);
        EXPECT_EQ(outcome.stop.title, c.title) << ToUtf8(c.profile);
        EXPECT_EQ(outcome.account, TrimBlanks(c.typed));
        EXPECT_EQ(market.requests.size(), c.requests) << ToUtf8(c.profile);
    }
}

TEST_F(ReputationQueryTest, APageThatWasNotReadGivesNoVerdict) {
    const std::u16string login = u"https://login.taobao.com/member/login.jhtml?redirectURL=x";
    const std::u16string loginPage = u"<form action=\"/member/login.jhtml\"><input name=\"TPL_username\"></form>";
    const std::u16string slider = u"<div id=\"nc_1_n1z\"></div><p>请按住滑块，拖动到最右边</p>";
    const std::u16string punish = u"http://rate.taobao.com//_____tmd_____/punish?x5secdata=1";
    const std::u16string profile = Profile(u"2014年11月26日");
    using Status = ReputationOutcome::Status;
    struct Case {
        const char* name;
        FetchedPage profile;
        FetchedPage rating;
        Status status;
        ReputationPage page;
        PageKind kind;
        std::u16string shown; // the address named; empty: the one asked for
    };
    const Case cases[] = {
        {"profile redirected to login",
         {loginPage, login},
         {kBuyerRating},
         Status::PageNotRead,
         ReputationPage::Profile,
         PageKind::Login,
         login},
        {"profile is a login form",
         {loginPage},
         {kBuyerRating},
         Status::PageNotRead,
         ReputationPage::Profile,
         PageKind::Login,
         u""},
        {"profile is a slider",
         {slider},
         {kBuyerRating},
         Status::PageNotRead,
         ReputationPage::Profile,
         PageKind::Verification,
         u""},
        {"profile redirected to punish",
         {u"<html></html>", punish},
         {kBuyerRating},
         Status::PageNotRead,
         ReputationPage::Profile,
         PageKind::Verification,
         punish},
        {"rating page empty", {profile}, {u""}, Status::PageNotRead, ReputationPage::Rating, PageKind::Empty, u""},
        {"rating page only blanks",
         {profile},
         {u"\r\n  \r\n"},
         Status::PageNotRead,
         ReputationPage::Rating,
         PageKind::Empty,
         u""},
        {"rating page redirected to login",
         {profile},
         {loginPage, login},
         Status::PageNotRead,
         ReputationPage::Rating,
         PageKind::Login,
         login},
        {"rating page is a slider",
         {profile},
         {slider},
         Status::PageNotRead,
         ReputationPage::Rating,
         PageKind::Verification,
         u""},
        {"rating page of another layout",
         {profile},
         {u"<html><div class=\"new-rate\">98%</div></html>"},
         Status::PageNotRead,
         ReputationPage::Rating,
         PageKind::Unrecognised,
         u""},
        // The profile's own stops come first; real pages with markers elsewhere are read.
        {"empty profile from the login host",
         {u"", login},
         {kBuyerRating},
         Status::Stopped,
         ReputationPage::Profile,
         PageKind::Normal,
         u""},
        {"profile with a login box in its header",
         {loginPage + profile},
         {kBuyerRating},
         Status::Report,
         ReputationPage::Profile,
         PageKind::Normal,
         u""},
        {"rating page with a slider script",
         {profile},
         {u"<script src=\"baxia.js\"></script>" + kBuyerRating},
         Status::Report,
         ReputationPage::Profile,
         PageKind::Normal,
         u""},
        {"rating page with most values missing",
         {profile},
         {u"<li>买家信用：</li>"},
         Status::Report,
         ReputationPage::Profile,
         PageKind::Normal,
         u""},
    };
    for (const Case& c : cases) {
        std::vector<std::u16string> requests;
        ReputationQuery query([&](const std::u16string& url) {
            requests.push_back(url);
            return url.find(u"/user-rate-") != std::u16string::npos ? c.rating : c.profile;
        });
        const ReputationOutcome outcome = query.run(u"ab");
        ASSERT_EQ(outcome.status, c.status) << c.name;
        EXPECT_EQ(outcome.account, u"ab") << c.name;
        if (c.status != Status::PageNotRead) {
            continue;
        }
        EXPECT_EQ(requests.size(), c.page == ReputationPage::Profile ? 1u : 2u) << c.name;
        EXPECT_EQ(outcome.unread.page, c.page) << c.name;
        EXPECT_EQ(outcome.unread.kind, c.kind) << c.name;
        EXPECT_EQ(outcome.unread.address, c.shown.empty() ? requests.back() : c.shown) << c.name;
        EXPECT_EQ(outcome.unread.message, UnreadPageMessage(c.page, c.kind)) << c.name;
    }
}

TEST(UnreadPageMessage, NamesThePageAndTheReason) {
    EXPECT_EQ(UnreadPageMessage(ReputationPage::Rating, PageKind::Login),
              u"对不起，无法读取信用评价页：淘宝要求登录。本次查询没有结论。请先登录淘宝，再重新查询。");
    EXPECT_EQ(UnreadPageMessage(ReputationPage::Profile, PageKind::Verification),
              u"对不起，无法读取会员资料页：淘宝要求安全验证（滑块或访问受限）。本次查询没有结论。"
              u"请先在浏览器中通过验证，再重新查询。");
    EXPECT_EQ(UnreadPageMessage(ReputationPage::Rating, PageKind::Unrecognised),
              u"对不起，无法读取信用评价页：页面内容无法识别，淘宝的页面可能已改版。本次查询没有结论。"
              u"请稍后重新查询。");
    EXPECT_STREQ(ReputationPageName(ReputationPage::Profile), "profile");
    EXPECT_STREQ(ReputationPageName(ReputationPage::Rating), "rating");
}

TEST_F(ReputationQueryTest, RefusesASecondQueryWhileOneRuns) {
    ReputationQuery* self = nullptr;
    ReputationOutcome inner;
    ReputationQuery query([&](const std::u16string& url) {
        if (url.find(u"/user-rate-") != std::u16string::npos) {
            // The event pump runs while the page is awaited: a second press of the button lands here.
            inner = self->run(u" other ");
            return kBuyerRating;
        }
        return Profile(u"2014年11月26日");
    });
    self = &query;
    const ReputationOutcome outer = query.run(u"first");
    EXPECT_EQ(inner.status, ReputationOutcome::Status::Busy);
    EXPECT_EQ(inner.account, u"other");
    EXPECT_EQ(outer.status, ReputationOutcome::Status::Report);
    EXPECT_EQ(outer.facts.account, u"first");
    EXPECT_FALSE(query.busy());
    EXPECT_EQ(query.run(u"again").status, ReputationOutcome::Status::Report);
}

TEST_F(ReputationQueryTest, IsFreeAgainAfterAFailingFetch) {
    bool fail = true;
    ReputationQuery query([&](const std::u16string&) -> std::u16string {
        if (fail) {
            throw std::runtime_error("connection lost");
        }
        return {};
    });
    EXPECT_THROW(query.run(u"ab"), std::runtime_error);
    EXPECT_FALSE(query.busy());
    fail = false;
    EXPECT_EQ(query.run(u"ab").stop.message, kNotLoggedInMessage);
}

} // namespace
} // namespace tarvisk
