#include "net/curl_request.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <mutex>

#include <curl/curl.h>

#include "net/endpoints.h"
#include "text/encoding.h"
#include "text/text_ops.h"

namespace tarvisk::net {

namespace {

// Header lines arrive with their line end; names and values lose tabs and blanks around them.
constexpr std::string_view kHeaderBlanks = " \t\r\n";

// Idle connections one thread keeps open: the few marketplace hosts a job talks to.
constexpr long kKeptConnections = 8;
// What one read from a connection takes at most: a page arrives in a few reads, not dozens.
constexpr long kReadBytes = 128 * 1024;
// A body buffer up to this size is kept for the next request of the thread, so the pages of a job
// reuse one buffer; a larger one goes back to the system.
constexpr std::size_t kKeptBodyBytes = std::size_t{4} << 20;

// Seconds, read by requests on any thread.
std::atomic<long> connectLimitSeconds{StallLimits{}.connect.count()};
std::atomic<long> receiveLimitSeconds{StallLimits{}.receive.count()};

void initCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

curl_slist* append(curl_slist* list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list, line.c_str());
    return grown != nullptr ? grown : list;
}

/// This thread's connection cache: a multi handle that every transfer of the thread runs on, and
/// whose open connections outlive the transfers. They are closed when the thread ends.
class ThreadConnections {
public:
    ThreadConnections() { open(); }
    ~ThreadConnections() { curl_multi_cleanup(m_multi); }
    ThreadConnections(const ThreadConnections&) = delete;
    ThreadConnections& operator=(const ThreadConnections&) = delete;

    CURLM* multi() const { return m_multi; }

    /// Counts the transfers under way on the thread (an outer one waits while an event handler
    /// runs an inner one).
    void begin() { ++m_transfers; }
    void end() { --m_transfers; }

    void closeIdle() {
        // With a transfer under way further up the stack the cache stays; its idle connections
        // are closed with the next call.
        if (m_transfers > 0)
            return;
        curl_multi_cleanup(m_multi);
        open();
    }

private:
    void open() {
        m_multi = curl_multi_init();
        if (m_multi != nullptr)
            curl_multi_setopt(m_multi, CURLMOPT_MAXCONNECTS, kKeptConnections);
    }

    CURLM* m_multi = nullptr;
    int m_transfers = 0;
};

ThreadConnections& threadConnections() {
    thread_local ThreadConnections connections;
    return connections;
}

/// The body buffer this thread's last request left behind, for the next one.
std::string& spareBody() {
    thread_local std::string spare;
    return spare;
}

using ShareMutexes = std::array<std::mutex, CURL_LOCK_DATA_LAST>;

void lockShare(CURL*, curl_lock_data data, curl_lock_access, void* mutexes) {
    (*static_cast<ShareMutexes*>(mutexes))[data].lock();
}

void unlockShare(CURL*, curl_lock_data data, void* mutexes) {
    (*static_cast<ShareMutexes*>(mutexes))[data].unlock();
}

} // namespace

void SetStallLimits(StallLimits limits) {
    connectLimitSeconds = static_cast<long>(limits.connect.count());
    receiveLimitSeconds = static_cast<long>(limits.receive.count());
}

StallLimits CurrentStallLimits() {
    return {std::chrono::seconds(connectLimitSeconds.load()), std::chrono::seconds(receiveLimitSeconds.load())};
}

std::string_view HeaderName(std::string_view line) {
    return TrimBlanks(line.substr(0, std::min(line.find(':'), line.size())), kHeaderBlanks);
}

std::string_view HeaderValue(std::string_view line) {
    const std::size_t colon = line.find(':');
    return colon == std::string_view::npos ? std::string_view() : TrimBlanks(line.substr(colon + 1), kHeaderBlanks);
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

UrlOrigin UrlOriginOf(const std::u16string& url) {
    initCurl();
    UrlOrigin origin;
    CURLU* parsed = curl_url();
    if (parsed == nullptr)
        return origin;
    char* scheme = nullptr;
    char* host = nullptr;
    if (curl_url_set(parsed, CURLUPART_URL, RequestUrl(url).c_str(), 0) == CURLUE_OK &&
        curl_url_get(parsed, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK) {
        origin.scheme = LowerAscii(std::string(scheme));
        origin.host = LowerAscii(std::string(host));
    }
    curl_free(scheme);
    curl_free(host);
    curl_url_cleanup(parsed);
    if (origin.scheme != "http" && origin.scheme != "https")
        return {};
    return origin;
}

struct CookieShare::Impl {
    ShareMutexes shareMutexes;
    CURLSH* share = nullptr;
    // The handle through which the store is read and written; one caller at a time.
    mutable std::mutex editMutex;
    CURL* editor = nullptr;
};

CookieShare::CookieShare() : m_impl(std::make_unique<Impl>()) {
    initCurl();
    Impl& impl = *m_impl;
    impl.share = curl_share_init();
    if (impl.share == nullptr)
        return;
    curl_share_setopt(impl.share, CURLSHOPT_LOCKFUNC, &lockShare);
    curl_share_setopt(impl.share, CURLSHOPT_UNLOCKFUNC, &unlockShare);
    curl_share_setopt(impl.share, CURLSHOPT_USERDATA, &impl.shareMutexes);
    curl_share_setopt(impl.share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    impl.editor = curl_easy_init();
    if (impl.editor != nullptr) {
        curl_easy_setopt(impl.editor, CURLOPT_SHARE, impl.share);
        curl_easy_setopt(impl.editor, CURLOPT_COOKIEFILE, "");
    }
}

CookieShare::~CookieShare() {
    if (m_impl->editor != nullptr)
        curl_easy_cleanup(m_impl->editor);
    if (m_impl->share != nullptr)
        curl_share_cleanup(m_impl->share);
}

void CookieShare::apply(const std::string& line) {
    const std::lock_guard lock(m_impl->editMutex);
    if (m_impl->editor != nullptr)
        curl_easy_setopt(m_impl->editor, CURLOPT_COOKIELIST, line.c_str());
}

std::vector<std::string> CookieShare::lines() const {
    std::vector<std::string> result;
    curl_slist* list = nullptr;
    {
        const std::lock_guard lock(m_impl->editMutex);
        if (m_impl->editor == nullptr || curl_easy_getinfo(m_impl->editor, CURLINFO_COOKIELIST, &list) != CURLE_OK)
            return result;
    }
    for (const curl_slist* line = list; line != nullptr; line = line->next)
        result.emplace_back(line->data);
    curl_slist_free_all(list);
    return result;
}

struct CurlRequest::Impl {
    CURL* easy = nullptr;
    curl_slist* headerList = nullptr;
    curl_slist* connectTo = nullptr;
    std::string sent;
    std::string received;
    bool reserved = false;
    bool tooLarge = false;
    // Set by whichever transfer of the thread reads this one's completion.
    bool done = false;
    CURLcode result = CURLE_RECV_ERROR;
    ResponseHeaders headers;
    std::function<void(std::string_view)> headerObserver;

    static std::size_t writeBody(char* data, std::size_t size, std::size_t count, void* self) {
        auto* impl = static_cast<Impl*>(self);
        const std::size_t bytes = size * count;
        if (!impl->reserved) {
            // One allocation of the announced size instead of a buffer grown page by page.
            impl->reserved = true;
            curl_off_t length = -1;
            if (curl_easy_getinfo(impl->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK && length > 0 &&
                static_cast<std::size_t>(length) <= kMaxResponseBytes)
                impl->received.reserve(static_cast<std::size_t>(length));
        }
        if (impl->received.size() + bytes > kMaxResponseBytes) {
            // Returning less than was offered makes libcurl end the transfer with an error.
            impl->tooLarge = true;
            return 0;
        }
        impl->received.append(data, bytes);
        return bytes;
    }

    static std::size_t writeHeader(char* data, std::size_t size, std::size_t count, void* self) {
        auto* impl = static_cast<Impl*>(self);
        const std::string_view line(data, size * count);
        impl->headers.receive(line);
        if (impl->headerObserver)
            impl->headerObserver(line);
        return size * count;
    }

    /// Marks every transfer of the thread that has ended, this one or another that waits further
    /// up the stack.
    static void collectFinished(CURLM* multi) {
        int pending = 0;
        while (const CURLMsg* message = curl_multi_info_read(multi, &pending)) {
            Impl* owner = nullptr;
            if (message->msg == CURLMSG_DONE &&
                curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &owner) == CURLE_OK && owner != nullptr) {
                owner->done = true;
                owner->result = message->data.result;
            }
        }
    }
};

CurlRequest::CurlRequest(const std::u16string& url) : m_impl(std::make_unique<Impl>()) {
    initCurl();
    Impl& impl = *m_impl;
    impl.received.swap(spareBody());
    impl.received.clear();
    impl.easy = curl_easy_init();
    if (impl.easy == nullptr)
        return;
    CURL* easy = impl.easy;
    curl_easy_setopt(easy, CURLOPT_URL, RequestUrl(url).c_str());
    curl_easy_setopt(easy, CURLOPT_PRIVATE, &impl);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Impl::writeBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &impl);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Impl::writeHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &impl);
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxResponseBytes));
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReadBytes);
    const StallLimits stall = CurrentStallLimits();
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(stall.connect.count() * 1000));
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, kStallBytesPerSecond);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(stall.receive.count()));

    // Routing: the https route first, as the first matching entry wins.
    const std::string httpsRoute = endpoints::HttpsRoute();
    const std::string route = endpoints::Route();
    if (!httpsRoute.empty())
        impl.connectTo = append(impl.connectTo, ":443:" + httpsRoute);
    if (!route.empty())
        impl.connectTo = append(impl.connectTo, "::" + route);
    if (impl.connectTo != nullptr) {
        curl_easy_setopt(easy, CURLOPT_CONNECT_TO, impl.connectTo);
        curl_easy_setopt(easy, CURLOPT_PROXY, "");
    }

    const std::string certificate = endpoints::TrustedCertificate();
    if (!certificate.empty()) {
        curl_blob blob{const_cast<char*>(certificate.data()), certificate.size(), CURL_BLOB_COPY};
        curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
    }
}

CurlRequest::~CurlRequest() {
    Impl& impl = *m_impl;
    if (impl.easy != nullptr)
        curl_easy_cleanup(impl.easy);
    curl_slist_free_all(impl.headerList);
    curl_slist_free_all(impl.connectTo);
    std::string& spare = spareBody();
    if (impl.received.capacity() <= kKeptBodyBytes && impl.received.capacity() > spare.capacity())
        spare.swap(impl.received);
}

bool CurlRequest::valid() const {
    return m_impl->easy != nullptr;
}

void CurlRequest::setMethod(const std::string& method, std::string body) {
    Impl& impl = *m_impl;
    if (EqualsIgnoringCase(method, "HEAD")) {
        curl_easy_setopt(impl.easy, CURLOPT_NOBODY, 1L);
    } else if (method.empty() || (EqualsIgnoringCase(method, "GET") && body.empty())) {
        curl_easy_setopt(impl.easy, CURLOPT_HTTPGET, 1L);
    } else {
        impl.sent = std::move(body);
        curl_easy_setopt(impl.easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(impl.sent.size()));
        curl_easy_setopt(impl.easy, CURLOPT_POSTFIELDS, impl.sent.c_str());
    }
    // A body alone makes a POST; naming it would keep the POST across a followed redirect.
    if (!method.empty() && method != "POST")
        curl_easy_setopt(impl.easy, CURLOPT_CUSTOMREQUEST, method.c_str());
}

void CurlRequest::setHeaders(const std::vector<std::string>& lines) {
    Impl& impl = *m_impl;
    curl_slist_free_all(impl.headerList);
    impl.headerList = nullptr;
    bool acceptGiven = false;
    bool expectGiven = false;
    for (const std::string& line : lines) {
        acceptGiven = acceptGiven || EqualsIgnoringCase(HeaderName(line), "Accept");
        expectGiven = expectGiven || EqualsIgnoringCase(HeaderName(line), "Expect");
        impl.headerList = append(impl.headerList, line);
    }
    // A header name followed by a bare ":" tells libcurl to leave its own line out.
    if (!acceptGiven)
        impl.headerList = append(impl.headerList, "Accept:");
    if (!expectGiven)
        impl.headerList = append(impl.headerList, "Expect:");
    curl_easy_setopt(impl.easy, CURLOPT_HTTPHEADER, impl.headerList);
}

void CurlRequest::setProxy(const std::string& server) {
    curl_easy_setopt(m_impl->easy, CURLOPT_PROXY, server.c_str());
    if (!server.empty())
        curl_easy_setopt(m_impl->easy, CURLOPT_CONNECT_TO, nullptr);
}

void CurlRequest::setTimeout(std::chrono::milliseconds limit) {
    curl_easy_setopt(m_impl->easy, CURLOPT_TIMEOUT_MS, static_cast<long>(limit.count()));
}

void CurlRequest::goDirect() {
    CURL* easy = m_impl->easy;
    curl_easy_setopt(easy, CURLOPT_CONNECT_TO, nullptr);
    curl_easy_setopt(easy, CURLOPT_PROXY, nullptr);
    curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, nullptr);
}

void CurlRequest::followRedirects(int most) {
    curl_easy_setopt(m_impl->easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(m_impl->easy, CURLOPT_MAXREDIRS, static_cast<long>(most));
}

void CurlRequest::acceptAnyCertificate() {
    curl_easy_setopt(m_impl->easy, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(m_impl->easy, CURLOPT_SSL_VERIFYHOST, 0L);
}

void CurlRequest::useCookies(CookieShare& cookies) {
    if (cookies.m_impl->share == nullptr)
        return;
    curl_easy_setopt(m_impl->easy, CURLOPT_SHARE, cookies.m_impl->share);
    curl_easy_setopt(m_impl->easy, CURLOPT_COOKIEFILE, "");
}

void CurlRequest::onHeaderLine(std::function<void(std::string_view line)> observer) {
    m_impl->headerObserver = std::move(observer);
}

bool CurlRequest::perform(std::chrono::milliseconds poll, const std::function<bool()>& keepWaiting) {
    Impl& impl = *m_impl;
    ThreadConnections& connections = threadConnections();
    CURLM* multi = connections.multi();
    impl.done = false;
    if (multi == nullptr || curl_multi_add_handle(multi, impl.easy) != CURLM_OK)
        return false;
    connections.begin();
    bool abandoned = false;
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK)
            break;
        Impl::collectFinished(multi);
        if (impl.done)
            break;
        // Returns as soon as a socket of the thread's transfers is ready, or when the poll time is up.
        curl_multi_poll(multi, nullptr, 0, static_cast<int>(poll.count()), nullptr);
        if (!keepWaiting()) {
            abandoned = true;
            break;
        }
    }
    curl_multi_remove_handle(multi, impl.easy);
    connections.end();
    return impl.done && !abandoned && !impl.tooLarge && impl.result == CURLE_OK;
}

void CloseIdleConnections() {
    threadConnections().closeIdle();
}

std::string CurlRequest::effectiveUrl() const {
    char* url = nullptr;
    curl_easy_getinfo(m_impl->easy, CURLINFO_EFFECTIVE_URL, &url);
    return url != nullptr ? url : "";
}

std::u16string CurlRequest::answerAddress() const {
    char* address = nullptr;
    if (curl_easy_getinfo(m_impl->easy, CURLINFO_REDIRECT_URL, &address) != CURLE_OK || address == nullptr)
        curl_easy_getinfo(m_impl->easy, CURLINFO_EFFECTIVE_URL, &address);
    return address != nullptr ? FromUtf8(address) : std::u16string();
}

int CurlRequest::status() const {
    long code = 0;
    curl_easy_getinfo(m_impl->easy, CURLINFO_RESPONSE_CODE, &code);
    return static_cast<int>(code);
}

const std::string& CurlRequest::body() const {
    return m_impl->received;
}

const ResponseHeaders& CurlRequest::headers() const {
    return m_impl->headers;
}

} // namespace tarvisk::net
