#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "text/line_file.h"

// The browser's cookie store as the request routines see it: XmlHttpRequest sends these cookies
// (only to the hosts their domains match) and stores what its responses set; the desktop
// program keeps it in step with the embedded browser's own store in both directions.

namespace tarvisk {

namespace net {
class CookieShare;
}

struct BrowserCookie {
    std::string domain; ///< "example.com" host-only, ".example.com" for the domain and its subdomains
    std::string path = "/";
    bool secure = false;
    bool httpOnly = false;
    std::int64_t expires = 0; ///< Unix seconds; 0 for a session cookie
    std::string name;
    std::string value;
};

class BrowserCookies {
public:
    /// The store of this process.
    static BrowserCookies& instance();

    /// Adds or replaces a cookie (same domain, path and name).
    void set(const BrowserCookie& cookie);
    /// Removes the cookie with this domain, path and name, if any.
    void remove(const BrowserCookie& cookie);
    std::vector<BrowserCookie> all() const;
    void clear();

    /// Loads a Netscape cookies.txt file. Unreadable: nothing was loaded; LineTooLong: the cookies
    /// before that line were loaded (no cookie line comes near the limit of text/line_file.h).
    LineFileResult loadNetscapeFile(const std::string& path);
    /// The cookies, session cookies too, as the text of a Netscape cookies.txt file (what
    /// loadNetscapeFile reads back).
    std::string netscapeText() const;

    /// Observers are told of every cookie a response sets: the Set-Cookie header value and the
    /// address of the request it answered. Returns an id for removeObserver.
    using Observer = std::function<void(const std::string& setCookie, const std::string& url)>;
    int addObserver(Observer observer);
    void removeObserver(int id);

    /// The store as requests use it; for the request routines only.
    net::CookieShare& share();
    /// Tells the observers of a Set-Cookie value received for `url` (for the request routines).
    void notifySetCookie(const std::string& setCookie, const std::string& url);

private:
    BrowserCookies();
    ~BrowserCookies();
    struct Impl;
    Impl* m_impl;
};

} // namespace tarvisk
