#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// libcurl behind one class: what both request routines share. Only curl_request.cpp sees libcurl.
//
// Connections are kept between requests, as the platform's request objects keep them: each thread
// has its own cache of open connections (libcurl's cache is not safe to share between threads), so
// the pages of a job on a worker thread travel over one connection per host, and a request made
// while another waits on the same thread (an event handler run by the event pump) uses the same
// cache. A connection is reused only for a request to the same host and port by the same route,
// proxy and certificate rules; one the server has closed is replaced by a new one.

namespace tarvisk::net {

/// The largest response body either routine accepts. A longer answer fails the request (empty
/// text) instead of filling memory; no page of the marketplace comes near it.
inline constexpr std::size_t kMaxResponseBytes = std::size_t{16} << 20;

/// The name of a header line ("Name: value"), without the blanks around it.
std::string_view HeaderName(std::string_view line);
/// The value of a header line, without the blanks and line end around it.
std::string_view HeaderValue(std::string_view line);

/// The header lines of the final answer of a transfer, status line left out. Interim answers
/// (100 Continue, a proxy's tunnel answer, followed redirects) are replaced by the next one;
/// trailer lines after the body are ignored.
class ResponseHeaders {
public:
    /// Takes one raw header line as libcurl hands it over (CR LF included).
    void receive(std::string_view rawLine);
    const std::vector<std::string>& lines() const { return m_lines; }
    /// All lines joined by CR LF, without a final one.
    std::string all() const;
    /// The trimmed value of the first header of this name (any letter case); nullopt when absent.
    std::optional<std::string> value(std::string_view name) const;

private:
    std::vector<std::string> m_lines;
    bool m_blockEnded = false;
};

/// When a request that gets no further gives up. No overall limit applies (a page that keeps arriving
/// takes as long as it takes), but a request fails, as if no answer had come, when it cannot connect
/// (name lookup and TLS handshake included) within `connect`, or when it receives less than
/// kStallBytesPerSecond for `receive` on end: a server that never answers, that drips a byte a second,
/// or that stops short of the length it announced. The rate is averaged over the last five seconds,
/// so the last burst before a stall counts for up to five seconds more.
struct StallLimits {
    std::chrono::seconds connect{30};
    std::chrono::seconds receive{60};
};
/// Below this rate (averaged over a few seconds) a transfer receives nothing worth waiting for.
inline constexpr long kStallBytesPerSecond = 16;

/// The limits every request of the process applies from now on (the command line's --stall).
void SetStallLimits(StallLimits limits);
StallLimits CurrentStallLimits();

/// The address as libcurl takes it: UTF-8, with blanks, control characters and non-ASCII bytes
/// percent-encoded (callers normally pass addresses that are encoded already).
std::string RequestUrl(const std::u16string& url);

/// The scheme and the host of an address as libcurl reads it, lower-cased, which is where a request to it goes: an
/// IPv6 host in brackets (u"[::1]"), user names and ports left out, so u"http://127.0.0.1@example.com:8/" gives
/// "http" and "example.com". Both empty for an address libcurl does not take (no scheme, another scheme than http
/// or https, a malformed host).
struct UrlOrigin {
    std::string scheme;
    std::string host;
};
UrlOrigin UrlOriginOf(const std::u16string& url);

/// Closes the connections this thread keeps open (none while one of its requests is under way).
/// A server about to stop need not wait for them.
void CloseIdleConnections();

/// A cookie store that requests share (libcurl's cookie engine), usable from any thread. Cookies
/// go in and come out as lines of a Netscape cookies.txt file.
class CookieShare {
public:
    CookieShare();
    ~CookieShare();
    CookieShare(const CookieShare&) = delete;
    CookieShare& operator=(const CookieShare&) = delete;

    /// Adds or replaces the cookie of one cookies.txt line; "ALL" removes every cookie.
    void apply(const std::string& line);
    /// Every cookie of the store as a cookies.txt line (expired ones included).
    std::vector<std::string> lines() const;

private:
    friend class CurlRequest;
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

/// One transfer: http and https only, HTTP/1.1 (header names arrive as the server wrote them),
/// no compressed answers, the routes and trusted certificate of net/endpoints.h, the body limit.
/// When routed, proxies from the environment are not used. Unless told otherwise it sends a GET,
/// follows no redirect, verifies certificates and has no time limit but the stall limits.
class CurlRequest {
public:
    explicit CurlRequest(const std::u16string& url);
    ~CurlRequest();
    CurlRequest(const CurlRequest&) = delete;
    CurlRequest& operator=(const CurlRequest&) = delete;

    /// False when libcurl could not make its handle; nothing else may be called then.
    bool valid() const;

    /// The method and the body. No method, or "GET" (any case) with an empty body: a GET without
    /// a body. "HEAD" (any case): headers only. Any other method sends the body with its
    /// Content-Length (0 for an empty one). The method goes into the request line as given; a
    /// redirect followed after a POST is asked for with a GET, as browsers do.
    void setMethod(const std::string& method, std::string body);
    /// The request header lines ("Name: value"). libcurl's own Accept and Expect lines are
    /// suppressed unless a line names them.
    void setHeaders(const std::vector<std::string>& lines);
    /// Sends the request through this proxy server ("host:port"); empty: straight to the server,
    /// without proxies of the environment. Routing applies to direct connections only: a request
    /// through a proxy goes wherever the proxy sends it.
    void setProxy(const std::string& server);
    /// The most the whole transfer may take, connecting included.
    void setTimeout(std::chrono::milliseconds limit);
    /// Sends the request to the host of its address, whatever the routes, proxies from the environment and the
    /// system's certificate authorities as any program's request: for addresses off the marketplace.
    void goDirect();
    /// Follows up to `most` redirects (the answer to the last one is the result).
    void followRedirects(int most);
    /// Accepts self-signed, expired and mismatched certificates.
    void acceptAnyCertificate();
    /// Sends the cookies of `cookies` to the hosts they belong to and keeps what the answers set.
    void useCookies(CookieShare& cookies);
    /// Called with every header line received, before the transfer ends.
    void onHeaderLine(std::function<void(std::string_view line)> observer);

    /// Runs the transfer, returning as soon as the answer is complete. Between steps it waits up
    /// to `poll` for network activity and then asks `keepWaiting`; false abandons the transfer.
    /// True when the whole answer arrived within the body limit.
    bool perform(std::chrono::milliseconds poll, const std::function<bool()>& keepWaiting);

    /// The address the transfer is at: the request's, or that of the redirect being followed.
    std::string effectiveUrl() const;
    /// Where the answer of a finished transfer leads: the address a redirect answer points to when
    /// the transfer did not follow it, else the address the last answer came from.
    std::u16string answerAddress() const;
    /// The HTTP status code of the last answer of a finished transfer (0 when none came).
    int status() const;
    /// The body received (with its capacity reserved from Content-Length when the server told it).
    const std::string& body() const;
    const ResponseHeaders& headers() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace tarvisk::net
