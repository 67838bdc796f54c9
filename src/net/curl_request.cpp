#include "net/curl_request.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "net/endpoints.h"
#include "text/text_ops.h"
#include "text/encoding.h"

namespace tarvisk::net {

namespace {

curl_slist* append(curl_slist* list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list, line.c_str());
    return grown != nullptr ? grown : list;
}

// Header lines arrive with their line end; names and values lose tabs and blanks around them.
constexpr std::string_view kHeaderBlanks = " \t\r\n";

} // namespace

std::string_view HeaderName(std::string_view line) {
    return TrimBlanks(line.substr(0, std::min(line.find(':'), line.size())), kHeaderBlanks);
}

std::string_view HeaderValue(std::string_view line) {
    const std::size_t colon = line.find(':');
    return colon == std::string_view::npos ? std::string_view() : TrimBlanks(line.substr(colon + 1), kHeaderBlanks);
}

void InitCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void ResponseHeaders::receive(std::string_view rawLine) {
    while (!rawLine.empty() && (rawLine.back() == '\n' || rawLine.back() == '\r'))
        rawLine.remove_suffix(1);
    if (rawLine.starts_with("HTTP/")) {
        m_lines.clear();
        m_blockEnded = false;
    } else if (rawLine.empty()) {
        m_blockEnded = true;
    } else if (!m_blockEnded) {
        m_lines.emplace_back(rawLine);
    }
}

std::string ResponseHeaders::all() const {
    std::string text;
    for (const std::string& line : m_lines) {
        if (!text.empty())
            text += "\r\n";
        text += line;
    }
    return text;
}

std::optional<std::string> ResponseHeaders::value(std::string_view name) const {
    for (const std::string& line : m_lines) {
        if (line.find(':') != std::string::npos && EqualsIgnoringCase(HeaderName(line), name))
            return std::string(HeaderValue(line));
    }
    return std::nullopt;
}

std::string RequestUrl(const std::u16string& url) {
    std::string encoded;
    for (const char c : ToUtf8(url)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F) {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", byte);
            encoded += escape;
        } else {
            encoded += c;
        }
    }
    return encoded;
}

CurlRequest::CurlRequest(const std::u16string& url) {
    InitCurl();
    m_easy = curl_easy_init();
    m_multi = curl_multi_init();
    if (!valid())
        return;
    curl_easy_setopt(m_easy, CURLOPT_URL, RequestUrl(url).c_str());
    curl_easy_setopt(m_easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(m_easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(m_easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &CurlRequest::writeBody);
    curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_HEADERFUNCTION, &CurlRequest::writeHeader);
    curl_easy_setopt(m_easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxResponseBytes));

    // Routing: the https route first, as the first matching entry wins.
    const std::string httpsRoute = endpoints::HttpsRoute();
    const std::string route = endpoints::Route();
    if (!httpsRoute.empty())
        m_connectTo = append(m_connectTo, ":443:" + httpsRoute);
    if (!route.empty())
        m_connectTo = append(m_connectTo, "::" + route);
    if (m_connectTo != nullptr) {
        curl_easy_setopt(m_easy, CURLOPT_CONNECT_TO, m_connectTo);
        curl_easy_setopt(m_easy, CURLOPT_PROXY, "");
    }

    const std::string certificate = endpoints::TrustedCertificate();
    if (!certificate.empty()) {
        curl_blob blob{const_cast<char*>(certificate.data()), certificate.size(), CURL_BLOB_COPY};
        curl_easy_setopt(m_easy, CURLOPT_CAINFO_BLOB, &blob);
    }
}

CurlRequest::~CurlRequest() {
    if (m_multi != nullptr)
        curl_multi_cleanup(m_multi);
    if (m_easy != nullptr)
        curl_easy_cleanup(m_easy);
    curl_slist_free_all(m_headerList);
    curl_slist_free_all(m_connectTo);
}

void CurlRequest::setHeaders(const std::vector<std::string>& lines) {
    curl_slist_free_all(m_headerList);
    m_headerList = nullptr;
    bool acceptGiven = false;
    bool expectGiven = false;
    for (const std::string& line : lines) {
        acceptGiven = acceptGiven || EqualsIgnoringCase(HeaderName(line), "Accept");
        expectGiven = expectGiven || EqualsIgnoringCase(HeaderName(line), "Expect");
        m_headerList = append(m_headerList, line);
    }
    // A header name followed by a bare ":" tells libcurl to leave its own line out.
    if (!acceptGiven)
        m_headerList = append(m_headerList, "Accept:");
    if (!expectGiven)
        m_headerList = append(m_headerList, "Expect:");
    curl_easy_setopt(m_easy, CURLOPT_HTTPHEADER, m_headerList);
}

void CurlRequest::setProxy(const std::string& server) {
    curl_easy_setopt(m_easy, CURLOPT_PROXY, server.c_str());
    if (!server.empty())
        curl_easy_setopt(m_easy, CURLOPT_CONNECT_TO, nullptr);
}

void CurlRequest::setBody(std::string body) {
    m_sent = std::move(body);
    curl_easy_setopt(m_easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(m_sent.size()));
    curl_easy_setopt(m_easy, CURLOPT_POSTFIELDS, m_sent.c_str());
}

bool CurlRequest::perform(int pollMs, const std::function<bool()>& keepWaiting) {
    if (curl_multi_add_handle(m_multi, m_easy) != CURLM_OK)
        return false;
    bool abandoned = false;
    for (int running = 1;;) {
        if (curl_multi_perform(m_multi, &running) != CURLM_OK)
            break;
        if (running == 0)
            break;
        if (pollMs > 0)
            curl_multi_poll(m_multi, nullptr, 0, pollMs, nullptr);
        if (!keepWaiting()) {
            abandoned = true;
            break;
        }
    }
    CURLcode result = CURLE_RECV_ERROR;
    int pending = 0;
    while (const CURLMsg* message = curl_multi_info_read(m_multi, &pending)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == m_easy)
            result = message->data.result;
    }
    curl_multi_remove_handle(m_multi, m_easy);
    return !abandoned && !m_tooLarge && result == CURLE_OK;
}

std::size_t CurlRequest::writeBody(char* data, std::size_t size, std::size_t count, void* self) {
    auto* request = static_cast<CurlRequest*>(self);
    const std::size_t bytes = size * count;
    if (request->m_received.size() + bytes > kMaxResponseBytes) {
        // Returning less than was offered makes libcurl end the transfer with an error.
        request->m_tooLarge = true;
        return 0;
    }
    request->m_received.append(data, bytes);
    return bytes;
}

std::size_t CurlRequest::writeHeader(char* data, std::size_t size, std::size_t count, void* self) {
    auto* request = static_cast<CurlRequest*>(self);
    const std::string_view line(data, size * count);
    request->m_headers.receive(line);
    if (request->m_headerObserver)
        request->m_headerObserver(line);
    return size * count;
}

std::u16string AnswerAddress(CURL* easy) {
    char* address = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &address) != CURLE_OK || address == nullptr)
        curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &address);
    return address != nullptr ? FromUtf8(address) : std::u16string();
}

} // namespace tarvisk::net
