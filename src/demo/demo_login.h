#pragma once

// The demo marketplace's one member login. Its login page sets the login cookie for the whole
// marketplace domain; member profiles are served only to a request that carries it.

namespace tarvisk::demo {

inline constexpr char kDemoLoginName[] = "tarvisk_demo";
inline constexpr char kDemoPassword[] = "demo1234";
/// The session cookie the login sets (domain ".taobao.com", not Secure, so http hosts get it too).
inline constexpr char kLoginCookieName[] = "cookie2";

/// The login page's answer to a correct login.
inline constexpr char kLoginSuccessText[] = "登录成功";

/// Logs in to the demo marketplace (reached through the current routes) by posting the demo
/// credentials to its login page with XmlHttpRequest, so the cookie lands in the browser cookie
/// store exactly as a login in the browser would put it there. True when the login cookie arrived.
bool LogInToDemo();

} // namespace tarvisk::demo
