#include "net/browser_cookies.h"

#include <array>
#include <charconv>
#include <ctime>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>

#include <curl/curl.h>

#include "net/curl_request.h"

namespace tarvisk {

namespace {

constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";

bool hasLineBreakOrTab(const std::string& text) {
    return text.find_first_of("\t\r\n") != std::string::npos;
}

/// A cookie as one line of a Netscape cookies.txt file, the form libcurl takes and gives.
std::string netscapeLine(const BrowserCookie& cookie) {
    const bool domainWide = cookie.domain.starts_with('.');
    return (cookie.httpOnly ? std::string(kHttpOnlyPrefix) : std::string()) + cookie.domain + '\t' +
           (domainWide ? "TRUE" : "FALSE") + '\t' + cookie.path + '\t' + (cookie.secure ? "TRUE" : "FALSE") + '\t' +
           std::to_string(cookie.expires) + '\t' + cookie.name + '\t' + cookie.value;
}

/// The cookie of one cookies.txt line; nullopt for comments, blank and malformed lines.
std::optional<BrowserCookie> parseNetscapeLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    BrowserCookie cookie;
    if (line.starts_with(kHttpOnlyPrefix)) {
        cookie.httpOnly = true;
        line.remove_prefix(kHttpOnlyPrefix.size());
    } else if (line.empty() || line.starts_with('#')) {
        return std::nullopt;
    }
    // Seven fields; the value is the rest of the line, and an empty one may have lost its tab.
    std::array<std::string_view, 7> fields;
    std::size_t count = 0;
    for (; count + 1 < fields.size(); ++count) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            break;
        fields[count] = line.substr(0, tab);
        line.remove_prefix(tab + 1);
    }
    fields[count++] = line;
    if (count < fields.size() - 1)
        return std::nullopt;
    cookie.domain = fields[0];
    // A domain-wide cookie written without its leading dot still covers the subdomains.
    if (fields[1] == "TRUE" && !cookie.domain.starts_with('.'))
        cookie.domain.insert(0, 1, '.');
    cookie.path = fields[2];
    cookie.secure = fields[3] == "TRUE";
    if (std::from_chars(fields[4].data(), fields[4].data() + fields[4].size(), cookie.expires).ec != std::errc())
        return std::nullopt;
    cookie.name = fields[5];
    cookie.value = fields[6];
    return cookie;
}

using ShareMutexes = std::array<std::mutex, CURL_LOCK_DATA_LAST>;

void lockShare(CURL*, curl_lock_data data, curl_lock_access, void* mutexes) {
    (*static_cast<ShareMutexes*>(mutexes))[data].lock();
}

void unlockShare(CURL*, curl_lock_data data, void* mutexes) {
    (*static_cast<ShareMutexes*>(mutexes))[data].unlock();
}

} // namespace

struct BrowserCookies::Impl {
    ShareMutexes shareMutexes;
    CURLSH* share = nullptr;
    // The handle through which the store is read and written; one caller at a time.
    std::mutex editMutex;
    CURL* editor = nullptr;

    std::mutex observerMutex;
    std::map<int, Observer> observers;
    int nextObserverId = 1;

    /// Hands one cookies.txt line (or "ALL", "FLUSH" ...) to the store.
    void edit(const std::string& line) {
        std::lock_guard lock(editMutex);
        if (editor != nullptr)
            curl_easy_setopt(editor, CURLOPT_COOKIELIST, line.c_str());
    }
};

BrowserCookies::BrowserCookies() : m_impl(new Impl) {
    net::InitCurl();
    m_impl->share = curl_share_init();
    if (m_impl->share != nullptr) {
        curl_share_setopt(m_impl->share, CURLSHOPT_LOCKFUNC, &lockShare);
        curl_share_setopt(m_impl->share, CURLSHOPT_UNLOCKFUNC, &unlockShare);
        curl_share_setopt(m_impl->share, CURLSHOPT_USERDATA, &m_impl->shareMutexes);
        curl_share_setopt(m_impl->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
        m_impl->editor = curl_easy_init();
        if (m_impl->editor != nullptr) {
            curl_easy_setopt(m_impl->editor, CURLOPT_SHARE, m_impl->share);
            curl_easy_setopt(m_impl->editor, CURLOPT_COOKIEFILE, "");
        }
    }
}

BrowserCookies::~BrowserCookies() {
    if (m_impl->editor != nullptr)
        curl_easy_cleanup(m_impl->editor);
    if (m_impl->share != nullptr)
        curl_share_cleanup(m_impl->share);
    delete m_impl;
}

BrowserCookies& BrowserCookies::instance() {
    static BrowserCookies store;
    return store;
}

void BrowserCookies::set(const BrowserCookie& cookie) {
    // A cookie without a domain would go to every host; a tab or line break would make a
    // second cookie of the caller's making.
    if (cookie.domain.empty() || cookie.domain == "." || hasLineBreakOrTab(cookie.domain) ||
        hasLineBreakOrTab(cookie.path) || hasLineBreakOrTab(cookie.name) || hasLineBreakOrTab(cookie.value))
        return;
    BrowserCookie stored = cookie;
    if (stored.path.empty())
        stored.path = "/";
    m_impl->edit(netscapeLine(stored));
}

void BrowserCookies::remove(const BrowserCookie& cookie) {
    if (cookie.domain.empty() || hasLineBreakOrTab(cookie.domain) || hasLineBreakOrTab(cookie.path) ||
        hasLineBreakOrTab(cookie.name))
        return;
    // The store has no removal of one cookie: it is replaced by an expired one, which libcurl
    // then drops and never sends.
    BrowserCookie expired = cookie;
    expired.value.clear();
    expired.expires = 1;
    if (expired.path.empty())
        expired.path = "/";
    m_impl->edit(netscapeLine(expired));
}

std::vector<BrowserCookie> BrowserCookies::all() const {
    std::vector<BrowserCookie> cookies;
    curl_slist* lines = nullptr;
    {
        std::lock_guard lock(m_impl->editMutex);
        if (m_impl->editor == nullptr || curl_easy_getinfo(m_impl->editor, CURLINFO_COOKIELIST, &lines) != CURLE_OK)
            return cookies;
    }
    const std::int64_t now = std::time(nullptr);
    for (const curl_slist* line = lines; line != nullptr; line = line->next) {
        std::optional<BrowserCookie> cookie = parseNetscapeLine(line->data);
        if (cookie && (cookie->expires == 0 || cookie->expires > now))
            cookies.push_back(std::move(*cookie));
    }
    curl_slist_free_all(lines);
    return cookies;
}

void BrowserCookies::clear() {
    m_impl->edit("ALL");
}

bool BrowserCookies::loadNetscapeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    for (std::string line; std::getline(file, line);) {
        if (const std::optional<BrowserCookie> cookie = parseNetscapeLine(line))
            set(*cookie);
    }
    return !file.bad();
}

std::string BrowserCookies::netscapeText() const {
    std::string text = "# Netscape HTTP Cookie File\n";
    for (const BrowserCookie& cookie : all())
        text += netscapeLine(cookie) + '\n';
    return text;
}

int BrowserCookies::addObserver(Observer observer) {
    std::lock_guard lock(m_impl->observerMutex);
    const int id = m_impl->nextObserverId++;
    m_impl->observers.emplace(id, std::move(observer));
    return id;
}

void BrowserCookies::removeObserver(int id) {
    std::lock_guard lock(m_impl->observerMutex);
    m_impl->observers.erase(id);
}

void* BrowserCookies::curlShare() {
    return m_impl->share;
}

void BrowserCookies::notifySetCookie(const std::string& setCookie, const std::string& url) {
    std::vector<Observer> observers;
    {
        // Observers run unlocked: one may add or remove observers, or set cookies.
        std::lock_guard lock(m_impl->observerMutex);
        for (const auto& [id, observer] : m_impl->observers)
            observers.push_back(observer);
    }
    for (const Observer& observer : observers)
        observer(setCookie, url);
}

} // namespace tarvisk
