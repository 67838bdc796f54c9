#pragma once

#include <string>

#include "net/http_answer.h"

namespace tarvisk {

/// The XMLHTTP-style request that marketplace pages are fetched with: a form POST of
/// `body` + "&x=" + a random field, with the browser's cookies (net/browser_cookies.h). It returns
/// as soon as the answer is complete and lets the event pump run at least every 10 ms while it
/// waits (an event handler may make a request of its own meanwhile). decodeMode 0: by the charset the
/// response declares; 1: GBK bytes; other: empty text. timeoutSeconds <= 0 sets no overall limit: the
/// request waits as long as the answer keeps arriving, and gives up (empty text) when the job is
/// cancelled or the request stalls (StallLimits of net/curl_request.h: no connection within 30 s,
/// nothing received for 60 s). When no request handle can be made, shows "创建XML失败" through
/// the message sink and returns that text. As a browser does, it follows redirects and verifies
/// certificates: against the trusted certificate of net/endpoints.h when one is set, else against
/// the system's authorities.
/// An answer above 16 MiB fails.
std::u16string XmlHttpRequest(const std::u16string& url, const std::u16string& body, int decodeMode,
                              int timeoutSeconds);
/// The same request; `answer` receives the status of the answer and the address it came from after
/// the redirects it followed.
std::u16string XmlHttpRequest(const std::u16string& url, const std::u16string& body, int decodeMode, int timeoutSeconds,
                              HttpAnswer& answer);

/// Waits about `ms` milliseconds in 10 ms steps, pumping events after each step (below 10: no wait).
void Delay(int ms);

} // namespace tarvisk
