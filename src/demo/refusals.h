#pragma once

#include <httplib.h>

// The answers the marketplace gives instead of the page asked for, which the demo serves on purpose
// for a few accounts, keywords and shops (docs/demo-accounts.md, docs/demo-market.md), so that the
// programs show how they report a page they could not read.

namespace tarvisk::demo {

enum class Refusal {
    None,
    LoginRedirect,  ///< a redirect to the login page, with the address asked for as redirectURL
    PunishRedirect, ///< a redirect to the verification ("punish") page of the same host
    Slider,         ///< the slider verification page itself, at the address asked for
    Empty,          ///< an answer without a body
    NewLayout,      ///< a page of a layout the programs do not know
    Busy,           ///< the server's error page "系统繁忙" with the status 503
};

/// The cookie that passing the demo's slider sets (for the whole marketplace domain). The pages that
/// ask for a verification are served normally to a request that carries it.
inline constexpr char kVerifiedCookieName[] = "x5sec";

/// Answers `request` with `refusal` instead of its page.
void SendRefusal(Refusal refusal, const httplib::Request& request, httplib::Response& response);

/// True when the request carries the cookie of a passed verification.
bool PassedVerification(const httplib::Request& request);

} // namespace tarvisk::demo
