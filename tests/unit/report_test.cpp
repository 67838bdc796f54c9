#include "jobs/reputation/report.h"

#include <string>

#include <gtest/gtest.h>

#include "text/encoding.h"

namespace tarvisk {
namespace {

std::u16string Badges(const std::u16string& file, int count) {
    std::u16string row;
    for (int i = 0; i < count; ++i) {
        row += u"<img align=\"absmiddle\" src='http://pics.taobaocdn.com/newrank/" + file + u"' />";
    }
    return row;
}

TEST(Toimg, ThresholdsAreExclusiveAndKindsParallel) {
    // Each range of whole scores, tested at both ends: its first score is one above a threshold.
    const struct {
        double lowest;
        double highest;
        const char16_t* tier; // file name without the kind prefix
        int count;
    } cases[] = {
        {-3, 4, u"", 0},
        {4.5, 10, u"red_1.gif", 1},
        {11, 40, u"red_1.gif", 2},
        {41, 90, u"red_1.gif", 3},
        {91, 150, u"red_1.gif", 4},
        {151, 250, u"red_1.gif", 5},
        {251, 500, u"blue_1.gif", 1},
        {501, 1000, u"blue_1.gif", 2},
        {1001, 2000, u"blue_1.gif", 3},
        {2001, 5000, u"blue_1.gif", 4},
        {5001, 10000, u"blue_1.gif", 5},
        {10001, 20000, u"cap_1.gif", 1},
        {20001, 50000, u"cap_1.gif", 2},
        {50001, 100000, u"cap_1.gif", 3},
        {100001, 200000, u"cap_1.gif", 4},
        {200001, 500000, u"cap_1.gif", 5},
    };
    for (const auto& c : cases) {
        for (const double score : {c.lowest, c.highest}) {
            EXPECT_EQ(toimg(score, 1), Badges(u"s_" + std::u16string(c.tier), c.count)) << score;
            EXPECT_EQ(toimg(score, 2), Badges(u"b_" + std::u16string(c.tier), c.count)) << score;
        }
    }
}

TEST(Toimg, TopTierIsTheLocalImage) {
    for (const double score : {500000.5, 500001.0, 999999999.0}) {
        EXPECT_EQ(toimg(score, 1), u"<img align=\"absmiddle\" src='tbimgs/jhuang.png' /> +") << score;
        EXPECT_EQ(toimg(score, 2), u"<img align=\"absmiddle\" src='tbimgs/jhuang.gif' /> +") << score;
    }
}

TEST(Toimg, OtherKindsGiveNothing) {
    for (const int kind : {0, 3, -1, 12}) {
        for (const double score : {0.0, 5.0, 300.0, 20000.0, 600000.0}) {
            EXPECT_EQ(toimg(score, kind), u"") << kind << " " << score;
        }
    }
}

ReputationFacts Sample() {
    ReputationFacts facts;
    facts.account = u"tb_买家";
    facts.registrationDate = u"2014年11月26日";
    facts.daysSinceRegistration = 400;
    facts.newAccount = false;
    facts.userId = u"UvGcWMGkYvmcWOFTTMmxLOFHbMCNT0Ab";
    facts.ratingLink = u"http://rate.taobao.com/user-rate-UvGcWMGkYvmcWOFTTMmxLOFHbMCNT0Ab.htm";
    facts.goodRate = u"99.85";
    facts.certification = Certification::None;
    facts.role = Role::Buyer;
    facts.sellerCredit = 0;
    facts.buyerCredit = 12;
    facts.weekGood = 3;
    facts.weekNeutral = 1;
    facts.weekBad = 0;
    facts.monthGood = 12;
    facts.monthNeutral = 2.5;
    facts.monthBad = 1;
    facts.verdict = Verdict::Safe;
    return facts;
}

TEST(RenderReport, WritesEveryPieceInOrder) {
    const std::u16string expected =
        u"<div><h3 style='color:#df4040;font-size:20px;'>tb_买家</h3></div>"
        u"<div style='color:#333;font-size:14px'>未认证 <span style='background:#00ADFF;color:#fff;font-size:12px;"
        u"padding:2px 5px;'>买家</span> 好评率:99.85%</div>"
        u"<div style='color:#333;font-size:14px'>注册时间：2014年11月26日 </div>"
        u"<div style='color:#333;font-size:14px'>卖家信用：<span style='color:#36c'>0</span> </div>"
        u"<div style='color:#333;font-size:14px'>买家信用：<span style='color:#36c'>12</span> "
        u"<img align=\"absmiddle\" src='http://pics.taobaocdn.com/newrank/b_red_1.gif' />"
        u"<img align=\"absmiddle\" src='http://pics.taobaocdn.com/newrank/b_red_1.gif' /></div>"
        u"<div style='margin-top:10px;border-bottom:1px solid #eee'></div><div align='center' style='height:55px;'>"
        u"<span style='font-size:30px;background:#25df25;color:#fff;padding:10px 30px;'>安全</span>"
        u"</div><div style='font-size:14px;color:#966'>最近一周：</div><div style='font-size:14px;color:#966'>"
        u"好评[3] [中评1] [差评0"
        u"]</div><div style='font-size:14px;color:#966'>最近一月：</div><div style='font-size:14px;color:#966'>"
        u"好评[12] [中评2.5] [差评1"
        u"]</div><div align='' style='margin-top:30px;font-size:12px;color:#444'>读取自："
        u"<a href='http://rate.taobao.com/user-rate-UvGcWMGkYvmcWOFTTMmxLOFHbMCNT0Ab.htm' target='_blank'>"
        u"http://rate.taobao.com/user-rate-UvGcWMGkYvmcWOFTTMmxLOFHbMCNT0Ab.htm</a></div>";
    EXPECT_EQ(RenderReport(Sample()), expected);
}

TEST(RenderReport, VariesWithTheFacts) {
    const auto contains = [](const std::u16string& text, const std::u16string& piece) {
        return text.find(piece) != std::u16string::npos;
    };
    const struct {
        const char* name;
        void (*change)(ReputationFacts&);
        std::u16string piece;
    } cases[] = {
        {"new account date is highlighted", [](ReputationFacts& f) { f.newAccount = true; },
         u"注册时间：<span style='background:#df2525;color:#fff;padding:2px 4px'>2014年11月26日</span> </div>"},
        {"empty good rate", [](ReputationFacts& f) { f.goodRate.clear(); }, u"</span> 好评率:%</div>"},
        {"full good rate", [](ReputationFacts& f) { f.goodRate = u"100.00"; }, u"</span> 好评率:100.00%</div>"},
        {"personal certification", [](ReputationFacts& f) { f.certification = Certification::Personal; },
         u"<div style='color:#333;font-size:14px'><img align=\"absmiddle\" "
         u"src='http://pics.taobaocdn.com/zfb_person_small.gif' alt='个人实名认证' title='个人实名认证' /> <span"},
        {"enterprise certification", [](ReputationFacts& f) { f.certification = Certification::Enterprise; },
         u"<img align=\"absmiddle\" src='http://img.alicdn.com/tps/i1/T1YE.JXXXcXXb1HYPe-35-35.png' "
         u"alt='企业实名认证' title='企业实名认证' /> <span"},
        {"seller role", [](ReputationFacts& f) { f.role = Role::Seller; },
         u"<span style='background:#F60;color:#fff;font-size:12px;padding:2px 5px;'>卖家</span> 好评率:"},
        {"unsafe verdict", [](ReputationFacts& f) { f.verdict = Verdict::Unsafe; },
         u"height:55px;'><span style='font-size:30px;background:#df2525;color:#fff;padding:10px 30px;'>不安全</span>"
         u"</div>"},
        {"seller top tier", [](ReputationFacts& f) { f.sellerCredit = 1234567; },
         u"卖家信用：<span style='color:#36c'>1234567</span> <img align=\"absmiddle\" src='tbimgs/jhuang.png' /> "
         u"+</div>"},
        {"account is escaped", [](ReputationFacts& f) { f.account = u"<b>a&b'\"</b>"; },
         u"font-size:20px;'>&lt;b&gt;a&amp;b&#39;&quot;&lt;/b&gt;</h3>"},
        {"good rate is escaped", [](ReputationFacts& f) { f.goodRate = u"<img src=x onerror=alert(1)>"; },
         u"好评率:&lt;img src=x onerror=alert(1)&gt;%</div>"},
        {"date is escaped", [](ReputationFacts& f) { f.registrationDate = u"2014</div><script>x()</script>"; },
         u"注册时间：2014&lt;/div&gt;&lt;script&gt;x()&lt;/script&gt; </div>"},
        {"date of a new account is escaped",
         [](ReputationFacts& f) {
             f.newAccount = true;
             f.registrationDate = u"<b>";
         },
         u"padding:2px 4px'>&lt;b&gt;</span>"},
        {"rating link is escaped in the address and the text",
         [](ReputationFacts& f) { f.ratingLink = u"http://rate.taobao.com/x.htm?a=1&b='><script>"; },
         u"<a href='http://rate.taobao.com/x.htm?a=1&amp;b=&#39;&gt;&lt;script&gt;' target='_blank'>"
         u"http://rate.taobao.com/x.htm?a=1&amp;b=&#39;&gt;&lt;script&gt;</a>"},
    };
    for (const auto& c : cases) {
        ReputationFacts facts = Sample();
        c.change(facts);
        EXPECT_TRUE(contains(RenderReport(facts), c.piece)) << c.name << "\n" << ToUtf8(RenderReport(facts));
    }
}

TEST(RenderNoReport, NamesTheAccountWhyAndTheReportThatStays) {
    const ReputationFacts shown = Sample(); // of tb_买家
    const struct {
        std::u16string account;
        const ReputationFacts* shown;
        std::u16string notice; // up to the report that stays
    } cases[] = {
        {u"被封账号", &shown, u"「被封账号」没有报告</b>：已取消<br>下面仍是「tb_买家」的报告。</div>"},
        {u"tb_买家", &shown, u"「tb_买家」没有报告</b>：已取消<br>下面是「tb_买家」上一次查询的报告。</div>"},
        {u"<i>&", nullptr, u"「&lt;i&gt;&amp;」没有报告</b>：已取消</div>"},
    };
    for (const auto& c : cases) {
        const std::u16string html = RenderNoReport(c.account, kCancelledCheck, c.shown);
        const std::size_t end = html.find(c.notice);
        ASSERT_NE(end, std::u16string::npos) << ToUtf8(html);
        EXPECT_EQ(html.substr(end + c.notice.size()), c.shown != nullptr ? RenderReport(*c.shown) : u"");
    }
}

} // namespace
} // namespace tarvisk
