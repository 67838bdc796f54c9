#include "net/webhook.h"

#include <array>
#include <cstring>
#include <optional>
#include <string_view>

#include <arpa/inet.h>
#include <nlohmann/json.hpp>

#include "core/cancel.h"
#include "net/curl_request.h"
#include "text/encoding.h"

namespace tarvisk {

namespace {

// How long the POST waits on its socket before it looks at the cancel flag again.
constexpr std::chrono::milliseconds kPoll{50};

// The hosts of the Feishu and Lark bots, which take their own form of a text message.
constexpr std::array<std::string_view, 2> kFeishuHosts = {"open.feishu.cn", "open.larksuite.com"};

bool loopbackHost(const std::string& host) {
    if (host == "localhost") {
        return true;
    }
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) == 127;
    }
    in6_addr v6{};
    return host.size() > 2 && host.front() == '[' && host.back() == ']' &&
           inet_pton(AF_INET6, host.substr(1, host.size() - 2).c_str(), &v6) == 1 &&
           std::memcmp(&v6, &in6addr_loopback, sizeof v6) == 0;
}

bool feishuHost(std::string_view host) {
    for (const std::string_view bot : kFeishuHosts) {
        if (host == bot ||
            (host.size() > bot.size() && host.ends_with(bot) && host[host.size() - bot.size() - 1] == '.')) {
            return true;
        }
    }
    return false;
}

/// The error code and message of a bot's JSON answer under `code` and `message`; none when it has no error.
std::optional<std::string> refusal(const nlohmann::json& answer, const char* code, const char* message) {
    const auto found = answer.find(code);
    if (found == answer.end() || !found->is_number_integer() || *found == 0) {
        return std::nullopt;
    }
    const auto text = answer.find(message);
    return std::to_string(found->get<long long>()) +
           (text != answer.end() && text->is_string() ? " " + text->get<std::string>() : std::string());
}

} // namespace

std::u16string WebhookShownAddress(const std::u16string& url) {
    const net::UrlOrigin origin = net::UrlOriginOf(url);
    return origin.host.empty() ? u"（无法识别的地址）" : FromUtf8(origin.scheme + "://" + origin.host + "/…");
}

std::u16string WebhookAddressProblem(const std::u16string& url) {
    const net::UrlOrigin origin = net::UrlOriginOf(url);
    if (origin.scheme == "https" || (origin.scheme == "http" && loopbackHost(origin.host))) {
        return {};
    }
    return u"只能发往 https 地址（http 只限本机：127.0.0.1、::1 或 localhost），而不是 " + WebhookShownAddress(url);
}

std::string WebhookBody(const std::u16string& url, const std::u16string& text) {
    const std::string content = ToUtf8(text);
    const nlohmann::json body = feishuHost(net::UrlOriginOf(url).host)
                                    ? nlohmann::json{{"msg_type", "text"}, {"content", {{"text", content}}}}
                                    : nlohmann::json{{"msgtype", "text"}, {"text", {{"content", content}}}};
    return body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::u16string WebhookAnswerProblem(int status, const std::string& body) {
    if (status < 200 || status > 299) {
        return u"服务器回答 HTTP " + FromUtf8(std::to_string(status));
    }
    const nlohmann::json answer = nlohmann::json::parse(body, nullptr, false);
    if (!answer.is_object()) {
        return {};
    }
    std::optional<std::string> refused = refusal(answer, "errcode", "errmsg");
    if (!refused) {
        refused = refusal(answer, "code", "msg");
    }
    return refused ? u"群机器人拒绝了消息：" + FromUtf8(*refused) : std::u16string();
}

std::u16string PostWebhook(const std::u16string& url, const std::u16string& text) {
    net::CurlRequest request(url);
    if (!request.valid()) {
        return u"无法发出请求";
    }
    request.goDirect();
    request.setTimeout(kWebhookTimeLimit);
    request.setMethod("POST", WebhookBody(url, text));
    request.setHeaders({"Content-Type: application/json"});
    if (!request.perform(kPoll, [] { return !CancelRequested(); })) {
        return CancelRequested()
                   ? u"已取消"
                   : u"没有连上，或" + FromUtf8(std::to_string(kWebhookTimeLimit.count())) + u"秒内没有回答";
    }
    return WebhookAnswerProblem(request.status(), request.body());
}

} // namespace tarvisk
