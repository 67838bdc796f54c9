#include "net/browser_cookies.h"

#include <array>
#include <charconv>
#include <ctime>
#include <map>
#include <mutex>
#include <optional>

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

} // namespace

struct BrowserCookies::Impl {
    net::CookieShare share;

    std::mutex observerMutex;
    std::map<int, Observer> observers;
    int nextObserverId = 1;
};

BrowserCookies::BrowserCookies() : m_impl(new Impl) {}

BrowserCookies::~BrowserCookies() {
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
    m_impl->share.apply(netscapeLine(stored));
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
    m_impl->share.apply(netscapeLine(expired));
}

std::vector<BrowserCookie> BrowserCookies::all() const {
    std::vector<BrowserCookie> cookies;
    const std::int64_t now = std::time(nullptr);
    for (const std::string& line : m_impl->share.lines()) {
        std::optional<BrowserCookie> cookie = parseNetscapeLine(line);
        if (cookie && (cookie->expires == 0 || cookie->expires > now))
            cookies.push_back(std::move(*cookie));
    }
    return cookies;
}

void BrowserCookies::clear() {
    m_impl->share.apply("ALL");
}

LineFileResult BrowserCookies::loadNetscapeFile(const std::string& path) {
    return ReadFileLines(path, [this](std::string_view line) {
        if (const std::optional<BrowserCookie> cookie = parseNetscapeLine(line))
            set(*cookie);
    });
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

net::CookieShare& BrowserCookies::share() {
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
