#pragma once

#include <chrono>
#include <string>

// Messages to a chat group's bot (WeCom, DingTalk, Feishu / Lark and hosts that take the same form): one HTTP POST
// of a JSON text message to the webhook address the group gave the bot. The address holds the bot's key, so
// whatever the program says of it names only its scheme and host.

namespace tarvisk {

/// The most a message's POST may take, connecting included.
inline constexpr std::chrono::seconds kWebhookTimeLimit{10};

/// The address as messages may name it: its scheme and host, u"https://qyapi.weixin.qq.com/…"; u"（无法识别的地址）"
/// for one that has neither.
std::u16string WebhookShownAddress(const std::u16string& url);

/// Why a message may not go to `url`: empty for an https address, and for an http one to this machine (127.0.0.0/8,
/// ::1, localhost), where nobody else reads it on the way.
std::u16string WebhookAddressProblem(const std::u16string& url);

/// The JSON body that carries `text` to the bot at `url`: {"msg_type":"text","content":{"text":…}} for the
/// Feishu and Lark bot hosts (open.feishu.cn, open.larksuite.com and their subdomains),
/// {"msgtype":"text","text":{"content":…}} for every other host (WeCom, DingTalk).
std::string WebhookBody(const std::u16string& url, const std::u16string& text);

/// Why the bot's host did not take the message, from its answer's `status` and `body`: empty for a 2xx answer
/// whose JSON, if any, has no error code (WeCom's and DingTalk's "errcode", Feishu's "code"), which those hosts
/// send with status 200 for a key or a keyword they refuse.
std::u16string WebhookAnswerProblem(int status, const std::string& body);

/// Posts `text` to the bot at `url` (WebhookBody), straight to its host whatever the routes, within
/// kWebhookTimeLimit; a cancelled job (core/cancel.h) gives up at once. Empty when the message was taken, else
/// why not.
std::u16string PostWebhook(const std::u16string& url, const std::u16string& text);

} // namespace tarvisk
