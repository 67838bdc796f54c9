#pragma once

#include <string>

#include "net/http_answer.h"

namespace tarvisk {

/// One blocking HTTP request with its own cookie jar slot, as the start-up notice and the
/// ranking walk use it: `url` is normalised (and rewritten in place, lower-cased), the default
/// Content-Type and User-Agent headers and the caller's header lines are sent, the slot's cookies
/// go out as one Cookie line, certificate errors are ignored, redirects are not followed, and the
/// call waits at most `waitSeconds`. Set-Cookie lines of the answer are merged into the slot.
/// decodeMode 1: GBK bytes, 2: UTF-8 bytes, other: by the charset the response declares.
/// With `responseHeaderName` "all" (any case) or a header name, that header text, CR LF CR LF
/// come before the body. Failures give empty text and leave the jar unchanged.
/// A `waitSeconds` of 0 or less waits at most 30 s; a cancelled job (core/cancel.h) stops at once.
/// An answer above 16 MiB fails. With a proxy, routing (net/endpoints.h) does not apply.
std::u16string WinHttpFetch(std::u16string& url, const std::u16string& body, const std::u16string& method,
                            const std::u16string& headerText, int decodeMode, int waitSeconds, int jarSlot,
                            const std::u16string& responseHeaderName, const std::u16string& proxy);
/// The same request; `answer` receives the status of the answer and where it leads: the address a
/// redirect answer points to (redirects are not followed), else the address asked.
std::u16string WinHttpFetch(std::u16string& url, const std::u16string& body, const std::u16string& method,
                            const std::u16string& headerText, int decodeMode, int waitSeconds, int jarSlot,
                            const std::u16string& responseHeaderName, const std::u16string& proxy, HttpAnswer& answer);

} // namespace tarvisk
