#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <curl/curl.h>

// What both request routines share on top of libcurl: one transfer with the common settings,
// run on a multi handle so the caller decides what happens between steps.

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

/// Initialises libcurl once for the process (safe to call from any thread, any number of times).
void InitCurl();

/// The address as libcurl takes it: UTF-8, with blanks, control characters and non-ASCII bytes
/// percent-encoded (callers normally pass addresses that are encoded already).
std::string RequestUrl(const std::u16string& url);

/// One transfer: http and https only, HTTP/1.1 (header names arrive as the server wrote them),
/// no compressed answers, the routes and trusted certificate of net/endpoints.h, the body limit.
/// When routed, proxies from the environment are not used.
class CurlRequest {
public:
    explicit CurlRequest(const std::u16string& url);
    ~CurlRequest();
    CurlRequest(const CurlRequest&) = delete;
    CurlRequest& operator=(const CurlRequest&) = delete;

    /// False when libcurl could not make its handles; nothing else may be called then.
    bool valid() const { return m_easy != nullptr && m_multi != nullptr; }
    CURL* easy() const { return m_easy; }

    /// The request header lines ("Name: value"). libcurl's own Accept and Expect lines are
    /// suppressed unless a line names them.
    void setHeaders(const std::vector<std::string>& lines);
    /// Sends the request through this proxy server ("host:port"); empty: straight to the server,
    /// without proxies of the environment. Routing applies to direct connections only: a request
    /// through a proxy goes wherever the proxy sends it.
    void setProxy(const std::string& server);
    /// The request body, sent as given with its Content-Length.
    void setBody(std::string body);
    /// Called with every header line received, before the transfer ends.
    void onHeaderLine(std::function<void(std::string_view line)> observer) { m_headerObserver = std::move(observer); }

    /// Runs the transfer. Between steps it waits up to `pollMs` for network activity (0: not at
    /// all) and then asks `keepWaiting`; false abandons the transfer. True when the whole answer
    /// arrived within the body limit.
    bool perform(int pollMs, const std::function<bool()>& keepWaiting);

    const std::string& body() const { return m_received; }
    const ResponseHeaders& headers() const { return m_headers; }

private:
    static std::size_t writeBody(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t writeHeader(char* data, std::size_t size, std::size_t count, void* self);

    CURL* m_easy = nullptr;
    CURLM* m_multi = nullptr;
    curl_slist* m_headerList = nullptr;
    curl_slist* m_connectTo = nullptr;
    std::string m_sent;
    std::string m_received;
    bool m_tooLarge = false;
    ResponseHeaders m_headers;
    std::function<void(std::string_view)> m_headerObserver;
};

/// Where the answer of a finished transfer leads: the address a redirect answer points to when
/// the transfer did not follow it, else the address the last answer came from.
std::u16string AnswerAddress(CURL* easy);

} // namespace tarvisk::net
