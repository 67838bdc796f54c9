// The text steps around a WinHttpFetch over fuzzed input: the caller's header lines and the jar slot
// never put a line break, a NUL or a non-token name into a request header; proxy texts, Set-Cookie
// collection and the parsing of received header lines take any text.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "fuzz_support.h"
#include "net/curl_request.h"
#include "text/text_ops.h"
#include "net/win_http_steps.h"

namespace {

using tarvisk::fuzz::Check;

bool HoldsLineBreakOrNul(const std::u16string& text) {
    return text.find_first_of(std::u16string(u"\r\n\0", 3)) != std::u16string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto pieces = tarvisk::fuzz::Pieces(data, size, 4);
    const std::u16string headerText = tarvisk::fuzz::PageText(pieces[0]);
    const std::u16string slot = tarvisk::fuzz::PageText(pieces[1]);

    std::set<std::u16string> names;
    for (const tarvisk::net::HeaderField& field : tarvisk::net::RequestHeaderFields(headerText, slot)) {
        Check(tarvisk::net::IsToken(field.name), "a header name is an HTTP token");
        Check(!HoldsLineBreakOrNul(field.value), "a header value holds no line break and no NUL");
        Check(!field.value.empty(), "no header is sent without a value");
        Check(names.insert(tarvisk::LowerAscii(field.name)).second, "every header is sent once");
    }

    const std::u16string proxy = tarvisk::net::ProxyServer(slot);
    Check(proxy.find(u'\t') == std::u16string::npos, "tabs in a proxy text count as blanks");

    const std::u16string cookies = tarvisk::net::CollectSetCookies(headerText);
    Check(cookies.empty() || cookies.back() == u';', "every collected cookie ends with \";\"");

    // Header lines as libcurl hands them over, split at line feeds.
    tarvisk::net::ResponseHeaders headers;
    const std::string& raw = pieces[2];
    for (std::size_t start = 0; start < raw.size();) {
        const std::size_t end = std::min(raw.find('\n', start), raw.size() - 1);
        headers.receive(std::string_view(raw).substr(start, end - start + 1));
        start = end + 1;
    }
    for (const std::string& line : headers.lines()) {
        Check(!line.empty() && line.back() != '\n' && line.back() != '\r', "a kept header line has no line end");
        (void)tarvisk::net::HeaderName(line);
        (void)tarvisk::net::HeaderValue(line);
    }
    if (const auto value = headers.value(pieces[3]))
        Check(value->find('\n') == std::string::npos, "a header value holds no line feed");
    (void)headers.all();
    return 0;
}
