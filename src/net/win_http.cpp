#include "net/win_http.h"

#include <chrono>

#include "core/cancel.h"
#include "net/cookie_jar.h"
#include "net/curl_request.h"
#include "net/response_text.h"
#include "text/text_ops.h"
#include "net/win_http_steps.h"
#include "text/encoding.h"

namespace tarvisk {

namespace {

// A wait of 0 or less would give up before any answer could arrive, or wait forever; such a
// fetch waits this long instead, the receive limit the request object applies on its own.
constexpr std::chrono::milliseconds kDefaultWait{30'000};
// How long the blocked call waits on its socket before it looks at the cancel flag again.
constexpr std::chrono::milliseconds kPoll{20};

std::u16string bodyText(const net::CurlRequest& request, int decodeMode) {
    switch (decodeMode) {
    case 1:
        return DecodeGbkBytes(request.body());
    case 2:
        return DecodeUtf8Bytes(request.body());
    default:
        return ResponseText(request.headers().value("Content-Type").value_or(""), request.body());
    }
}

} // namespace

std::u16string WinHttpFetch(std::u16string& url, const std::u16string& body, const std::u16string& method,
                            const std::u16string& headerText, int decodeMode, int waitSeconds, int jarSlot,
                            const std::u16string& responseHeaderName, const std::u16string& proxy) {
    HttpAnswer answer;
    return WinHttpFetch(url, body, method, headerText, decodeMode, waitSeconds, jarSlot, responseHeaderName, proxy,
                        answer);
}

std::u16string WinHttpFetch(std::u16string& url, const std::u16string& body, const std::u16string& method,
                            const std::u16string& headerText, int decodeMode, int waitSeconds, int jarSlot,
                            const std::u16string& responseHeaderName, const std::u16string& proxy, HttpAnswer& answer) {
    answer = {};
    const std::u16string address = NormalizeUrl(url);
    if (!method.empty() && !net::IsToken(method))
        return {};
    net::CurlRequest request(address);
    if (!request.valid())
        return {};

    // Only an explicit proxy, never one of the environment.
    request.setProxy(ToUtf8(net::ProxyServer(proxy)));
    // Self-signed, expired and mismatched certificates are accepted; redirects are returned as they are.
    request.acceptAnyCertificate();
    request.setTimeout(waitSeconds > 0 ? std::chrono::milliseconds(std::chrono::seconds(waitSeconds)) : kDefaultWait);
    request.setMethod(ToUtf8(method), ToUtf8(body));

    const int slot = CookieJar::slotIndex(jarSlot);
    std::vector<std::string> lines;
    for (const net::HeaderField& field : net::RequestHeaderFields(headerText, CookieJar::instance().slot(slot)))
        lines.push_back(ToUtf8(field.name) + ": " + ToUtf8(field.value));
    request.setHeaders(lines);

    if (!request.perform(kPoll, [] { return !CancelRequested(); }))
        return {};
    answer = {request.answerAddress(), request.status()};

    std::u16string result = bodyText(request, decodeMode);
    const std::u16string allHeaders = FromUtf8(request.headers().all());
    if (!responseHeaderName.empty()) {
        if (EqualsIgnoringCase(responseHeaderName, u"all")) {
            result = allHeaders + u"\r\n\r\n" + result;
        } else if (const auto value = request.headers().value(ToUtf8(responseHeaderName))) {
            result = FromUtf8(*value) + u"\r\n\r\n" + result;
        }
    }
    const std::u16string cookies = net::CollectSetCookies(allHeaders);
    if (!cookies.empty())
        CookieJar::instance().mergeIntoSlot(slot, cookies);
    return result;
}

} // namespace tarvisk
