#include "net/webhook.h"

#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "text/encoding.h"

namespace tarvisk {
namespace {

TEST(WebhookBody, TakesTheFeishuFormOnlyForTheFeishuAndLarkHosts) {
    const std::string text = "Tarvisk 排名提醒\n提醒\t连衣裙\t跌出";
    const nlohmann::json common = {{"msgtype", "text"}, {"text", {{"content", text}}}};
    const nlohmann::json feishu = {{"msg_type", "text"}, {"content", {{"text", text}}}};
    const struct {
        const char* url;
        const nlohmann::json& body;
    } cases[] = {
        {"https://qyapi.weixin.qq.com/cgi-bin/webhook/send?key=k", common},
        {"https://oapi.dingtalk.com/robot/send?access_token=t", common},
        {"https://open.feishu.cn/open-apis/bot/v2/hook/h", feishu},
        {"https://OPEN.LarkSuite.com/open-apis/bot/v2/hook/h", feishu},
        {"https://www.open.feishu.cn/open-apis/bot/v2/hook/h", feishu},
        {"https://notopen.feishu.cn/hook", common},
        {"https://open.feishu.cn.example.com/hook", common},
        {"http://127.0.0.1:8080/hook", common},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nlohmann::json::parse(WebhookBody(FromUtf8(c.url), FromUtf8(text))), c.body) << c.url;
    }
}

TEST(WebhookAddressProblem, TakesHttpsAndHttpToThisMachineOnly) {
    const struct {
        const char* url;
        bool taken;
    } cases[] = {
        {"https://qyapi.weixin.qq.com/cgi-bin/webhook/send?key=k", true},
        {"http://127.0.0.1:8080/hook", true},
        {"http://127.8.9.10/hook", true},
        {"http://[::1]:8080/hook", true},
        {"http://LocalHost/hook", true},
        {"http://example.com/hook", false},
        {"http://127.0.0.1@example.com/hook", false},
        {"http://127.0.0.1.example.com/hook", false},
        {"http://[::2]/hook", false},
        {"ftp://127.0.0.1/hook", false},
        {"qyapi.weixin.qq.com/cgi-bin/webhook/send", false},
        {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WebhookAddressProblem(FromUtf8(c.url)).empty(), c.taken) << c.url;
    }
}

TEST(WebhookShownAddress, NamesOnlySchemeAndHost) {
    EXPECT_EQ(WebhookShownAddress(u"https://qyapi.weixin.qq.com/cgi-bin/webhook/send?key=SECRET"),
              u"https://qyapi.weixin.qq.com/…");
    EXPECT_EQ(WebhookShownAddress(u"http://user:pw@Example.com:81/x"), u"http://example.com/…");
    const std::u16string problem = WebhookAddressProblem(u"http://example.com/hook?key=SECRET");
    EXPECT_NE(problem.find(u"http://example.com/…"), std::u16string::npos) << ToUtf8(problem);
    EXPECT_EQ(problem.find(u"SECRET"), std::u16string::npos) << ToUtf8(problem);
}

TEST(WebhookAnswerProblem, RefusesAnErrorStatusAndAnErrorCodeInTheAnswer) {
    const struct {
        int status;
        const char* body;
        std::u16string problem;
    } cases[] = {
        {200, R"({"errcode":0,"errmsg":"ok"})", u""},
        {200, R"({"code":0,"msg":"success"})", u""},
        {200, "ok", u""},
        {204, "", u""},
        {200, R"({"errcode":93000,"errmsg":"invalid webhook url"})", u"群机器人拒绝了消息：93000 invalid webhook url"},
        {200, R"({"code":19024,"msg":"Key Words Not Found"})", u"群机器人拒绝了消息：19024 Key Words Not Found"},
        {500, "", u"服务器回答 HTTP 500"},
        {302, "", u"服务器回答 HTTP 302"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WebhookAnswerProblem(c.status, c.body), c.problem) << c.status << " " << c.body;
    }
}

} // namespace
} // namespace tarvisk
