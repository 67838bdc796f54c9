#include "jobs/page_check.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "text/encoding.h"

namespace tarvisk {
namespace {

// A job that knows its pages by either of two texts, as the rating page is known by its cells.
constexpr std::u16string_view kOwn[] = {u"rateok", u"好评率"};

const std::u16string kRealRating = u"<table><tr><td class=\"rateok\">3</td></tr></table><li>好评率：99.85%</li>";

TEST(ClassifyPage, EveryKindOfPage) {
    const std::u16string filler(300000, u'x');
    struct Case {
        const char* name;
        std::u16string text;
        std::u16string address;
        PageKind kind;
    };
    const Case cases[] = {
        // Empty answers.
        {"nothing", u"", u"", PageKind::Empty},
        {"only blanks", u" \r\n\t\f\v\u00A0\u3000", u"http://rate.taobao.com/user-rate-x.htm", PageKind::Empty},
        {"a byte-order mark", u"\uFEFF\n", u"", PageKind::Empty},
        // The address decides first: the answer came from the login host or a verification path.
        {"login host", kRealRating, u"https://login.taobao.com/member/login.jhtml?redirectURL=x", PageKind::Login},
        {"login host, any case and port", u"<p>x</p>", u"HTTPS://Login.Taobao.COM:443/member/login.jhtml",
         PageKind::Login},
        {"mobile login host", u"<p>x</p>", u"https://login.m.taobao.com/login.htm", PageKind::Login},
        {"unfollowed redirect to login, empty body", u"", u"https://login.taobao.com/member/login.jhtml",
         PageKind::Login},
        {"punish path", u"<html></html>", u"https://s.taobao.com//search/_____tmd_____/punish?x5secdata=ab",
         PageKind::Verification},
        {"punish path without tmd", u"", u"http://shop1.taobao.com/punish?x5step=1", PageKind::Verification},
        {"punish in the query only", kRealRating, u"http://s.taobao.com/search?q=punisher", PageKind::Normal},
        {"punish inside a path segment", kRealRating, u"http://rate.taobao.com/user-rate-Upunish42.htm",
         PageKind::Normal},
        {"a host that merely begins with login", kRealRating, u"http://login.taobao.com.example.com/x",
         PageKind::Normal},
        {"a host that merely ends with the login host", kRealRating, u"http://notlogin.taobao.com/x", PageKind::Normal},
        // The job's own page, also with markers elsewhere on it.
        {"own page", kRealRating, u"http://rate.taobao.com/user-rate-x.htm", PageKind::Normal},
        {"own page with a login box in its header",
         u"<div class=\"site-nav\"><form action=\"https://login.taobao.com/member/login.jhtml\">"
         u"<input name=\"TPL_username\"></form></div>" +
             kRealRating,
         u"", PageKind::Normal},
        {"own page loading the verification script",
         u"<script src=\"//g.alicdn.com/secdev/baxia/2.1.6/index.js\"></script>" + kRealRating, u"", PageKind::Normal},
        {"own page that mentions a slider in its help text", kRealRating + u"<p>遇到滑动验证怎么办？</p>", u"",
         PageKind::Normal},
        {"own text deep in a large page", filler + u"好评率", u"", PageKind::Normal},
        // Login pages by their form.
        {"form posting to login.jhtml", u"<form id=\"J_Form\" action=\"/member/login.jhtml\" method=\"post\">", u"",
         PageKind::Login},
        {"form posting to the full login address",
         u"<FORM method=post ACTION='https://login.taobao.com/member/login.jhtml?style=mini'>", u"", PageKind::Login},
        {"TPL_username field", u"<input type=\"text\" name=\"TPL_username\" value=\"\">", u"", PageKind::Login},
        {"loginId field", u"<input id=\"fm-login-id\" name='loginId' />", u"", PageKind::Login},
        {"fm-login-id field", u"<input name=fm-login-id type=text>", u"", PageKind::Login},
        {"login field deep in a large page", filler + u"<input name=\"TPL_username\">", u"", PageKind::Login},
        // Verification pages by their markers.
        {"slider", u"<div id=\"nc_1_n1z\" class=\"nc_iconfont btn_slide\"></div>", u"", PageKind::Verification},
        // The anti-bot script every page loads names the slider: words in scripts and attributes are not shown.
        {"baxia's empty dialog", u"<div class=\"baxia-dialog\"></div>", u"", PageKind::Unrecognised},
        {"baxia in a script", u"<script>window.BAXIA_CONFIG = {punish: '/_____tmd_____/punish'}</script>", u"",
         PageKind::Unrecognised},
        {"a slider word in a script", u"<script>var tip = '请按住滑块';</script><p>x</p>", u"", PageKind::Unrecognised},
        {"a slider word in an attribute", u"<div title=\"拖动滑块\" data-x=\"访问受限\"></div>", u"",
         PageKind::Unrecognised},
        {"the slider's handle only in a script", u"<script>var id = 'nc_1_n1z';</script>", u"", PageKind::Unrecognised},
        {"滑动验证", u"<p>请完成滑动验证</p>", u"", PageKind::Verification},
        {"拖动滑块", u"<p>请拖动滑块</p>", u"", PageKind::Verification},
        {"请按住滑块", u"<span>请按住滑块，拖动到最右边</span>", u"", PageKind::Verification},
        {"访问受限", u"<h1>访问受限</h1>", u"", PageKind::Verification},
        {"slider deep in a large page", filler + u"nc_1_n1z", u"", PageKind::Verification},
        // Anything else.
        {"error page", u"<html><body><h1>500 Internal Server Error</h1></body></html>", u"", PageKind::Unrecognised},
        {"a page that mentions 登录 in a link",
         u"<a href=\"https://login.taobao.com/member/login.jhtml?f=top\">亲，请登录</a><p>新版页面</p>", u"",
         PageKind::Unrecognised},
        {"a login word without a form", u"<p>TPL_username loginId login.jhtml</p>", u"", PageKind::Unrecognised},
        {"own texts compare with their case", u"<td class=\"RateOk\">3</td>", u"", PageKind::Unrecognised},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ClassifyPage(FetchedPage(c.text, c.address), kOwn), c.kind) << c.name;
    }
}

TEST(ClassifyPage, AnErrorStatusIsAPageNotReadWhateverItHolds) {
    const std::pair<int, PageKind> cases[] = {
        {0, PageKind::Normal},        {200, PageKind::Normal},      {204, PageKind::Normal},
        {302, PageKind::Normal},      {404, PageKind::ErrorStatus}, {500, PageKind::ErrorStatus},
        {503, PageKind::ErrorStatus}, {999, PageKind::ErrorStatus}, {101, PageKind::ErrorStatus},
    };
    for (const auto& [status, kind] : cases) {
        EXPECT_EQ(ClassifyPage(FetchedPage(kRealRating, HttpAnswer{u"", status}), kOwn), kind) << status;
    }
    // The address decides first: a redirect to the login page is a login page.
    const FetchedPage redirect(u"", HttpAnswer{u"https://login.taobao.com/member/login.jhtml", 302});
    EXPECT_EQ(ClassifyPage(redirect, kOwn), PageKind::Login);
}

TEST(ClassifyPage, OnlyTheJobsOwnTextsCount) {
    const FetchedPage page(u"<div>dynamic</div><form action=\"/member/login.jhtml\"></form>");
    constexpr std::u16string_view walk[] = {u"dynamic"};
    constexpr std::u16string_view other[] = {u"item-name"};
    EXPECT_EQ(ClassifyPage(page, walk), PageKind::Normal);
    EXPECT_EQ(ClassifyPage(page, other), PageKind::Login);
    EXPECT_EQ(ClassifyPage(FetchedPage(u"<p>dynamic</p>"), {}), PageKind::Unrecognised);
}

TEST(AddressHost, TheHostAlone) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"http://Shop.Taobao.com:80/x", u"shop.taobao.com"},
        {u"https://login.taobao.com/member/login.jhtml?a=b", u"login.taobao.com"},
        {u"https://user:pw@login.taobao.com", u"login.taobao.com"},
        {u"//item.taobao.com/item.htm?id=1", u"item.taobao.com"},
        {u"rate.taobao.com?x=1", u"rate.taobao.com"},
        {u"", u""},
    };
    for (const auto& [address, host] : cases) {
        EXPECT_EQ(AddressHost(address), host) << ToUtf8(address);
    }
}

TEST(PageKindName, TheCommandLinesWords) {
    EXPECT_STREQ(PageKindName(PageKind::Normal), "normal");
    EXPECT_STREQ(PageKindName(PageKind::Empty), "empty");
    EXPECT_STREQ(PageKindName(PageKind::Login), "login");
    EXPECT_STREQ(PageKindName(PageKind::Verification), "verification");
    EXPECT_STREQ(PageKindName(PageKind::Unrecognised), "unrecognised");
    EXPECT_STREQ(PageKindName(PageKind::ErrorStatus), "error");
    EXPECT_STREQ(PageKindName(PageKind::Foreign), "foreign");
    for (const PageKind kind : kPageKinds) {
        if (kind == PageKind::Normal) {
            continue;
        }
        EXPECT_FALSE(PageKindReason(kind).empty()) << PageKindName(kind);
        EXPECT_EQ(NeedsTheUser(kind), kind == PageKind::Login || kind == PageKind::Verification);
    }
}

TEST(ShownAddress, WhereTheAnswerCameFromElseWhereItWasAsked) {
    EXPECT_EQ(ShownAddress(FetchedPage(u"x", u"https://login.taobao.com/a"), u"http://r/b"),
              u"https://login.taobao.com/a");
    EXPECT_EQ(ShownAddress(FetchedPage(u"x"), u"http://r/b"), u"http://r/b");
}

} // namespace
} // namespace tarvisk
