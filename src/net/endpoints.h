#pragma once

#include <string>

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
