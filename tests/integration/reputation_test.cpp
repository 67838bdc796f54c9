// The reputation check over real HTTP against the demo marketplace: login, profile and rating pages,
// every stop, and the images the report points at.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>

#include "jobs/reputation/report.h"
#include "jobs/reputation/reputation.h"
#include "demo/demo_login.h"
#include "demo/demo_market.h"
#include "net/browser_cookies.h"
#include "net/endpoints.h"
#include "net/xml_http.h"
#include "text/encoding.h"
#include "text/regex.h"
#include "text/text_ops.h"

namespace tarvisk {
namespace {

class ReputationOverHttp : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_market = std::make_unique<demo::DemoMarket>();
        endpoints::SetRoute(s_market->hostPort(), "127.0.0.1:" + std::to_string(s_market->httpsPort()));
        endpoints::SetTrustedCertificate(s_market->certificatePem());
    }
    static void TearDownTestSuite() {
        endpoints::SetRoute({});
        endpoints::SetTrustedCertificate({});
        BrowserCookies::instance().clear();
        s_market.reset();
    }
    void SetUp() override { BrowserCookies::instance().clear(); }

    /// GET on a marketplace host through the demo server, as the report browser loads images.
    static httplib::Result Get(const std::string& host, const std::string& path) {
        httplib::Client client("127.0.0.1", s_market->port());
        return client.Get(path.c_str(), {{"Host", host}});
    }

    static std::unique_ptr<demo::DemoMarket> s_market;
};

std::unique_ptr<demo::DemoMarket> ReputationOverHttp::s_market;

TEST_F(ReputationOverHttp, WithoutLoginTheProfileIsEmptyAndTheQueryStops) {
    EXPECT_EQ(XmlHttpRequest(ProfileUrl(u"老实买家"), {}, 0, 5), u"");
    ReputationQuery query;
    const ReputationOutcome outcome = query.run(u"老实买家");
    ASSERT_EQ(outcome.status, ReputationOutcome::Status::Stopped);
    EXPECT_EQ(outcome.stop.message, kNotLoggedInMessage);
    EXPECT_EQ(outcome.stop.title, u"");
}

TEST_F(ReputationOverHttp, LoginSetsADomainCookieForPlainHttpHosts) {
    ASSERT_TRUE(demo::LogInToDemo());
    bool found = false;
    for (const BrowserCookie& cookie : BrowserCookies::instance().all()) {
        if (cookie.name == demo::kLoginCookieName) {
            found = true;
            EXPECT_EQ(cookie.domain, ".taobao.com");
            EXPECT_FALSE(cookie.secure);
        }
    }
    EXPECT_TRUE(found);
    EXPECT_NE(XmlHttpRequest(ProfileUrl(u"老实买家"), {}, 0, 5), u"");
}

TEST_F(ReputationOverHttp, WrongPasswordShowsTheFormAgainWithoutCookie) {
    const std::u16string url = std::u16string(u"https://") + endpoints::kLoginHost + u"/member/login.jhtml";
    const std::u16string answer = XmlHttpRequest(url, u"TPL_username=tarvisk_demo&TPL_password=wrong", 0, 5);
    EXPECT_NE(answer.find(u"账号名或登录密码不正确"), std::u16string::npos);
    EXPECT_NE(answer.find(u"name=\"TPL_password\""), std::u16string::npos);
    EXPECT_TRUE(BrowserCookies::instance().all().empty());
}

TEST_F(ReputationOverHttp, EveryCastMemberGetsItsVerdict) {
    const struct {
        std::u16string account;
        int days;
        Role role;
        Certification certification;
        std::u16string goodRate;
        double sellerCredit;
        double buyerCredit;
        double weekGood;
        double monthGood;
        Verdict verdict;
    } cases[] = {
        {u"小白新号", 12, Role::Buyer, Certification::None, u"", 0, 2, 1, 2, Verdict::Unsafe},
        {u"三十天整", 30, Role::Buyer, Certification::None, u"100.00", 0, 6, 0, 3, Verdict::Unsafe},
        {u"卡线买家", 31, Role::Buyer, Certification::None, u"100.00", 0, 19, 4, 15, Verdict::Safe},
        {u"  老实买家  ", 2250, Role::Buyer, Certification::Personal, u"99.65", 0, 286, 1, 6, Verdict::Safe},
        {u"demo_buyer", 1500, Role::Buyer, Certification::None, u"100.00", 0, 38, 0, 2, Verdict::Safe},
        {u"刷单小号", 400, Role::Buyer, Certification::None, u"98.7", 0, 75, 7, 11, Verdict::Unsafe},
        {u"月度大户", 900, Role::Buyer, Certification::Personal, u"99.2", 0, 640, 3, 22, Verdict::Unsafe},
        {u"小本卖家", 1800, Role::Seller, Certification::Personal, u"99.5", 8600, 130, 12, 60, Verdict::Safe},
        {u"皇冠旗舰店", 3650, Role::Seller, Certification::Enterprise, u"99.85", 1286400, 56, 320, 1350, Verdict::Safe},
    };
    ASSERT_TRUE(demo::LogInToDemo());
    ReputationQuery query;
    for (const auto& c : cases) {
        const ReputationOutcome outcome = query.run(c.account);
        const std::string name = ToUtf8(c.account);
        ASSERT_EQ(outcome.status, ReputationOutcome::Status::Report) << name << ": " << ToUtf8(outcome.stop.message);
        const ReputationFacts& facts = outcome.facts;
        EXPECT_EQ(facts.account, TrimBlanks(c.account)) << name;
        EXPECT_EQ(facts.daysSinceRegistration, c.days) << name;
        EXPECT_EQ(facts.newAccount, c.days <= 30) << name;
        EXPECT_EQ(facts.userId.size(), 32u) << name;
        EXPECT_EQ(facts.ratingLink, RatingLink(facts.userId)) << name;
        EXPECT_EQ(facts.role, c.role) << name;
        EXPECT_EQ(facts.certification, c.certification) << name;
        EXPECT_EQ(facts.goodRate, c.goodRate) << name;
        EXPECT_EQ(facts.sellerCredit, c.sellerCredit) << name;
        EXPECT_EQ(facts.buyerCredit, c.buyerCredit) << name;
        EXPECT_EQ(facts.weekGood, c.weekGood) << name;
        EXPECT_EQ(facts.monthGood, c.monthGood) << name;
        EXPECT_EQ(facts.verdict, c.verdict) << name;
        // The GBK rating page arrives decoded: the account's Chinese name is in it.
        EXPECT_NE(facts.rawRatingText.find(TrimBlanks(c.account)), std::u16string::npos) << name;
    }
}

TEST_F(ReputationOverHttp, EveryStopHasItsMessage) {
    const struct {
        std::u16string account;
        std::u16string message;
        std::u16string title;
    } cases[] = {
        {u"   ", kEmptyAccountMessage, u""},           {u"盘点中的店", kAuditMessage, kAuditTitle},
        {u"没有这个人", kAuditMessage, kAuditTitle},   {u"被封账号", kBannedMessage, kBannedTitle},
        {u"资料残缺", kUnreadableProfileMessage, u""},
    };
    ASSERT_TRUE(demo::LogInToDemo());
    ReputationQuery query;
    for (const auto& c : cases) {
        const ReputationOutcome outcome = query.run(c.account);
        ASSERT_EQ(outcome.status, ReputationOutcome::Status::Stopped) << ToUtf8(c.account);
        EXPECT_EQ(outcome.stop.message, c.message) << ToUtf8(c.account);
        EXPECT_EQ(outcome.stop.title, c.title) << ToUtf8(c.account);
    }
}

TEST_F(ReputationOverHttp, PagesTheMarketplaceRefusesGiveNoVerdict) {
    const struct {
        std::u16string account;
        ReputationPage page;
        PageKind kind;
        std::u16string address; // the start of the address the page is named by
    } cases[] = {
        {u"资料要登录", ReputationPage::Profile, PageKind::Login,
         u"https://login.taobao.com/member/login.jhtml?redirectURL=http%3A%2F%2Fmember1.taobao.com%2Fmember%2F"},
        {u"资料要验证", ReputationPage::Profile, PageKind::Verification,
         u"http://member1.taobao.com//member/userProfile.jhtml/_____tmd_____/punish?"},
        {u"评价要登录", ReputationPage::Rating, PageKind::Login,
         u"https://login.taobao.com/member/login.jhtml?redirectURL=http%3A%2F%2Frate.taobao.com%2Fuser-rate-"},
        {u"评价要验证", ReputationPage::Rating, PageKind::Verification, u"http://rate.taobao.com/user-rate-"},
        {u"评价空白", ReputationPage::Rating, PageKind::Empty, u"http://rate.taobao.com/user-rate-"},
        {u"评价改版", ReputationPage::Rating, PageKind::Unrecognised, u"http://rate.taobao.com/user-rate-"},
    };
    ASSERT_TRUE(demo::LogInToDemo());
    ReputationQuery query;
    for (const auto& c : cases) {
        const std::string name = ToUtf8(c.account);
        const ReputationOutcome outcome = query.run(c.account);
        ASSERT_EQ(outcome.status, ReputationOutcome::Status::PageNotRead) << name;
        EXPECT_EQ(outcome.unread.page, c.page) << name;
        EXPECT_EQ(outcome.unread.kind, c.kind) << name;
        EXPECT_TRUE(outcome.unread.address.starts_with(c.address)) << name << ": " << ToUtf8(outcome.unread.address);
        EXPECT_EQ(outcome.unread.message, UnreadPageMessage(c.page, c.kind)) << name;
    }
}

TEST_F(ReputationOverHttp, PassingTheSliderLetsTheQueriesThrough) {
    ASSERT_TRUE(demo::LogInToDemo());
    ReputationQuery query;
    const ReputationOutcome refused = query.run(u"评价要验证");
    ASSERT_EQ(refused.status, ReputationOutcome::Status::PageNotRead);
    ASSERT_EQ(query.run(u"资料要验证").status, ReputationOutcome::Status::PageNotRead);
    // What the user does in the login browser: open the page and press the slider's button, whose
    // form posts to the page's own host.
    const std::u16string slider = XmlHttpRequest(refused.unread.address, {}, 0, 5);
    const std::u16string action = u"/_____tmd_____/verify";
    ASSERT_NE(slider.find(u"action=\"" + action + u"\""), std::u16string::npos) << ToUtf8(slider);
    XmlHttpRequest(u"http://" + AddressHost(refused.unread.address) + action, {}, 0, 5);
    for (const char16_t* account : {u"评价要验证", u"资料要验证"}) {
        const ReputationOutcome passed = query.run(account);
        EXPECT_EQ(passed.status, ReputationOutcome::Status::Report) << ToUtf8(account);
        EXPECT_EQ(passed.facts.verdict, Verdict::Safe) << ToUtf8(account);
    }
}

TEST_F(ReputationOverHttp, RatingPageIsGbkWithItsCharsetDeclared) {
    ASSERT_TRUE(demo::LogInToDemo());
    const ProfileFacts profile = ReadProfile(XmlHttpRequest(ProfileUrl(u"老实买家"), {}, 0, 5));
    ASSERT_EQ(profile.userId.size(), 32u);
    const auto page = Get(ToUtf8(endpoints::kRatingHost), "/user-rate-" + ToUtf8(profile.userId) + ".htm");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=GBK");
    EXPECT_NE(page->body.find(EncodeGbk(u"好评率：99.65%")), std::string::npos);
    EXPECT_NE(page->body.find("\r\n"), std::string::npos);
    EXPECT_EQ(DecodeGbkBytes(page->body).find(u"\uFFFD"), std::u16string::npos);
}

TEST_F(ReputationOverHttp, ReportImagesAreServed) {
    ASSERT_TRUE(demo::LogInToDemo());
    ReputationQuery query;
    std::u16string reports;
    for (const char16_t* account : {u"老实买家", u"小本卖家", u"皇冠旗舰店", u"月度大户"}) {
        const ReputationOutcome outcome = query.run(account);
        ASSERT_EQ(outcome.status, ReputationOutcome::Status::Report);
        reports += RenderReport(outcome.facts);
    }
    // Every badge row, both kinds, plus the certification images.
    for (const double score : {5.0, 300.0, 20000.0}) {
        reports += toimg(score, kSellerBadges) + toimg(score, kBuyerBadges);
    }
    int images = 0;
    for (int i = 1;; ++i) {
        const std::u16string address = RegexMatch(reports, u"src='http://[^']+'", i);
        if (address.empty()) {
            break;
        }
        const std::u16string url = address.substr(5, address.size() - 6);
        const std::size_t slash = url.find(u'/', 7);
        const auto image = Get(ToUtf8(url.substr(7, slash - 7)), ToUtf8(url.substr(slash)));
        ASSERT_TRUE(image) << ToUtf8(url);
        EXPECT_EQ(image->status, 200) << ToUtf8(url);
        const bool gif = image->body.rfind("GIF89a", 0) == 0;
        const bool png = image->body.rfind("\x89PNG\r\n\x1A\n", 0) == 0;
        EXPECT_TRUE(gif || png) << ToUtf8(url);
        ++images;
    }
    EXPECT_GE(images, 10);
}

TEST_F(ReputationOverHttp, MemberHomeNeedsTheLogin) {
    const std::string home = ToUtf8(endpoints::kMemberHomeHost);
    const auto before = Get(home, "/my_taobao.htm");
    ASSERT_TRUE(before);
    EXPECT_EQ(before->status, 302);
    EXPECT_EQ(before->get_header_value("Location"), "https://login.taobao.com/member/login.jhtml");

    ASSERT_TRUE(demo::LogInToDemo());
    const std::u16string page =
        XmlHttpRequest(std::u16string(u"http://") + endpoints::kMemberHomeHost + u"/my_taobao.htm", u"_=0.5", 0, 5);
    EXPECT_NE(page.find(u"我的淘宝"), std::u16string::npos);
}

} // namespace
} // namespace tarvisk
