#pragma once

#include <string>
#include <vector>

// The plain text steps of WinHttpFetch, apart from the transfer so they can be checked alone.

namespace tarvisk::net {

/// The proxy server for a typed proxy text; empty means no proxy. Blanks around it go, tabs
/// count as blanks, runs of blanks shrink, and "host port" becomes "host:port":
/// u"127.0.0.1 \t 8080" gives u"127.0.0.1:8080"; u"proxy:3128" stays.
std::u16string ProxyServer(const std::u16string& proxy);

/// True for an HTTP token: the characters a method or header name may hold.
bool IsToken(const std::u16string& name);

struct HeaderField {
    std::u16string name;
    std::u16string value;
    friend bool operator==(const HeaderField&, const HeaderField&) = default;
};

/// The request headers of one fetch, in order: the default Content-Type and User-Agent, the
/// caller's lines of `headerText` (split at CR LF; a single line may come without one), and
/// the slot's cookies. A caller's "cookie" line gets the trimmed slot text appended to its
/// value; without such a line a Cookie line with the slot text is added when the slot is not
/// empty. Setting a name that is already there (any letter case) replaces its value in place;
/// an empty value removes the header; names that are not HTTP tokens are left out, and CR, LF
/// and NUL never reach a header.
std::vector<HeaderField> RequestHeaderFields(const std::u16string& headerText, const std::u16string& slotText);

/// The cookies of a response for the jar: every header line holding "Set-Cookie:" (exact
/// case) without that text, trimmed, each followed by ";". Attributes stay with their cookie.
std::u16string CollectSetCookies(const std::u16string& allHeaders);

} // namespace tarvisk::net
