#include "net/endpoints.h"

#include <algorithm>
#include <mutex>

#include "text/text_ops.h"

namespace tarvisk::endpoints {

namespace {

// Front ends set these once at start, but a job on a worker thread may read them meanwhile.
struct Settings {
    std::mutex mutex;
    std::string route;
    std::string httpsRoute;
    std::string trustedCertificate;
};

Settings& settings() {
    static Settings instance;
    return instance;
}

/// An address split where every parser splits it the same way.
struct PlainAddress {
    bool https = false;
    std::u16string_view host;
    std::u16string_view port; ///< digits, empty when none
    std::u16string_view rest; ///< the path, query and fragment, from the "/", "?" or "#" on
};

bool isHostCharacter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'.' || c == u'-';
}

std::optional<PlainAddress> splitAddress(std::u16string_view address) {
    // Browsers drop blanks and line breaks inside an address, and read a backslash as "/": an address holding
    // one could reach another host than it seems to name.
    if (std::ranges::any_of(address, [](char16_t c) { return c <= u' ' || c == u'\\' || c == 0x7F; }))
        return std::nullopt;
    PlainAddress parts;
    for (const auto& [scheme, https] : {std::pair{std::u16string_view(u"https://"), true}, {u"http://", false}}) {
        if (address.size() >= scheme.size() && EqualsIgnoringCase(address.substr(0, scheme.size()), scheme)) {
            parts.https = https;
            address.remove_prefix(scheme.size());
            const std::size_t end = std::min(address.find_first_of(u"/?#"), address.size());
            std::u16string_view authority = address.substr(0, end);
            parts.rest = address.substr(end);
            if (const std::size_t colon = authority.find(u':'); colon != std::u16string_view::npos) {
                parts.port = authority.substr(colon + 1);
                authority = authority.substr(0, colon);
                if (parts.port.empty() || parts.port.size() > 5 ||
                    !std::ranges::all_of(parts.port, [](char16_t c) { return c >= u'0' && c <= u'9'; }))
                    return std::nullopt;
            }
            parts.host = authority;
            if (parts.host.empty() || !std::ranges::all_of(parts.host, isHostCharacter))
                return std::nullopt;
            return parts;
        }
    }
    return std::nullopt;
}

} // namespace

bool IsMarketplaceHost(std::u16string_view host) {
    for (const std::u16string_view own : {kLoginHost, kMemberHost, kRatingHost, kMemberHomeHost, kSearchHost, kItemHost,
                                          kPictureHost, kStaticImageHost}) {
        if (EqualsIgnoringCase(host, own))
            return true;
    }
    return std::ranges::any_of(kMarketplaceDomains, [host](std::u16string_view domain) {
        return EqualsIgnoringCase(host, domain) ||
               (host.size() > domain.size() + 1 && host[host.size() - domain.size() - 1] == u'.' &&
                EqualsIgnoringCase(host.substr(host.size() - domain.size()), domain));
    });
}

bool IsMarketplaceAddress(std::u16string_view address) {
    const std::optional<PlainAddress> parts = splitAddress(address);
    return parts && IsMarketplaceHost(parts->host);
}

std::optional<std::u16string> SecureMarketplaceAddress(std::u16string_view address) {
    const std::optional<PlainAddress> parts = splitAddress(address);
    if (!parts || !IsMarketplaceHost(parts->host))
        return std::nullopt;
    if (parts->https)
        return std::u16string(address);
    // The marketplace serves every page over https as well; a plain page on another port has no such twin.
    if (!parts->port.empty() && parts->port != u"80")
        return std::nullopt;
    return u"https://" + std::u16string(parts->host) + std::u16string(parts->rest);
}

void SetRoute(const std::string& hostPort, const std::string& httpsHostPort) {
    Settings& s = settings();
    std::lock_guard lock(s.mutex);
    s.route = hostPort;
    s.httpsRoute = httpsHostPort;
}

std::string Route() {
    Settings& s = settings();
    std::lock_guard lock(s.mutex);
    return s.route;
}

std::string HttpsRoute() {
    Settings& s = settings();
    std::lock_guard lock(s.mutex);
    return s.httpsRoute;
}

void SetTrustedCertificate(const std::string& pem) {
    Settings& s = settings();
    std::lock_guard lock(s.mutex);
    s.trustedCertificate = pem;
}

std::string TrustedCertificate() {
    Settings& s = settings();
    std::lock_guard lock(s.mutex);
    return s.trustedCertificate;
}

} // namespace tarvisk::endpoints
