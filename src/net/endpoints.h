#pragma once

#include <optional>
#include <string>
#include <string_view>

// The marketplace's hosts. Addresses are always built from these names; for the demo and the
// tests every connection is routed to one local address while URLs and Host headers stay.

namespace tarvisk::endpoints {

inline constexpr char16_t kLoginHost[] = u"login.taobao.com";
inline constexpr char16_t kMemberHost[] = u"member1.taobao.com";
inline constexpr char16_t kRatingHost[] = u"rate.taobao.com";
inline constexpr char16_t kMemberHomeHost[] = u"i.taobao.com";
inline constexpr char16_t kSearchHost[] = u"s.taobao.com";
inline constexpr char16_t kItemHost[] = u"item.taobao.com";
inline constexpr char16_t kPictureHost[] = u"pics.taobaocdn.com";
inline constexpr char16_t kStaticImageHost[] = u"img.alicdn.com";
inline constexpr char16_t kNoticeHost[] = u"notice.tarvisk.com";
/// The marketplace's own domains: every host above but the notice host (which is ours), the shops' own
/// hosts ("demoshop1.taobao.com") and the other login hosts ("login.tmall.com") lie within them.
inline constexpr std::u16string_view kMarketplaceDomains[] = {u"taobao.com", u"tmall.com"};

/// True for a host of the marketplace: one of the hosts above but the notice host, or a host within its
/// domains, letter case aside. u"S.Taobao.com" is one; u"taobao.com.example.net", u"faketaobao.com" and
/// u"127.0.0.1" are not.
bool IsMarketplaceHost(std::u16string_view host);

/// True for a plain http or https address on a marketplace host: the scheme, "//", the host and
/// perhaps a port, then nothing or a path, query or fragment, with no blank or control character
/// anywhere. An address that parsers could read two ways (a user name, a backslash, an encoded host)
/// is not one: u"https://evil.example\\@login.taobao.com/" is not.
bool IsMarketplaceAddress(std::u16string_view address);

/// Where the marketplace serves `address` over https, for a browser that shows no address bar and
/// so must open nothing else: the address itself when it is an https marketplace address, its https
/// form when it is an http one (on the default port), else nothing.
/// u"http://s.taobao.com/x?a=1" gives u"https://s.taobao.com/x?a=1"; u"http://127.0.0.1/punish" nothing.
std::optional<std::u16string> SecureMarketplaceAddress(std::u16string_view address);

/// Sends every connection of both request routines to "HOST:PORT" (empty: no routing);
/// connections to port 443 go to `httpsHostPort` instead when it is given.
void SetRoute(const std::string& hostPort, const std::string& httpsHostPort = {});
/// The current routes, empty when none.
std::string Route();
std::string HttpsRoute();

/// Extra certificate authority (PEM) the request routines trust, for the demo's HTTPS host.
void SetTrustedCertificate(const std::string& pem);
std::string TrustedCertificate();

} // namespace tarvisk::endpoints
