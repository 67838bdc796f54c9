#include "net/xml_http.h"

#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "core/cancel.h"
#include "core/hooks.h"
#include "net/browser_cookies.h"
#include "net/curl_request.h"
#include "net/response_text.h"
#include "text/text_ops.h"
#include "text/encoding.h"
#include "text/numbers.h"

namespace tarvisk {

namespace {

constexpr char16_t kCreateFailed[] = u"创建XML失败";
// The longest window events wait while a request is under way.
constexpr std::chrono::milliseconds kPoll{10};
// Redirects are followed as the browser's own request object follows them, up to this many.
constexpr int kMaxRedirects = 10;

} // namespace

void Delay(int ms) {
    for (int step = 1; step * 10 <= ms; ++step) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        PumpEvents();
    }
}

std::u16string XmlHttpRequest(const std::u16string& url, const std::u16string& body, int decodeMode,
                              int timeoutSeconds) {
    HttpAnswer answer;
    return XmlHttpRequest(url, body, decodeMode, timeoutSeconds, answer);
}

std::u16string XmlHttpRequest(const std::u16string& url, const std::u16string& body, int decodeMode, int timeoutSeconds,
                              HttpAnswer& answer) {
    answer = {};
    net::CurlRequest request(url);
    if (!request.valid()) {
        ShowMessage(kCreateFailed);
        return kCreateFailed;
    }
    const auto start = std::chrono::steady_clock::now();
    BrowserCookies& cookies = BrowserCookies::instance();
    // The browser's cookies: sent to the hosts they belong to, and what the answers set is kept.
    request.useCookies(cookies.share());
    request.followRedirects(kMaxRedirects);
    request.setHeaders({"content-type: application/x-www-form-urlencoded"});
    request.setMethod("POST", ToUtf8(body + u"&x=" + RandomField()));

    // Each cookie set along the way is told with the address of the answer that set it.
    std::vector<std::pair<std::string, std::string>> setCookies;
    request.onHeaderLine([&](std::string_view line) {
        if (!EqualsIgnoringCase(net::HeaderName(line), "Set-Cookie") || line.find(':') == std::string_view::npos)
            return;
        setCookies.emplace_back(net::HeaderValue(line), request.effectiveUrl());
    });

    // The answer is taken as soon as it is complete; while it is awaited, window events run after
    // every wait on the socket, which lasts at most the poll interval.
    const bool complete = request.perform(kPoll, [&] {
        PumpEvents();
        if (CancelRequested())
            return false;
        const auto waited = std::chrono::steady_clock::now() - start;
        return timeoutSeconds <= 0 || waited < std::chrono::seconds(timeoutSeconds);
    });
    for (const auto& [setCookie, answered] : setCookies)
        cookies.notifySetCookie(setCookie, answered);
    if (!complete)
        return {};
    answer = {request.answerAddress(), request.status()};
    switch (decodeMode) {
    case 0:
        return ResponseText(request.headers().value("Content-Type").value_or(""), request.body());
    case 1:
        return DecodeGbkBytes(request.body());
    default:
        return {};
    }
}

} // namespace tarvisk
