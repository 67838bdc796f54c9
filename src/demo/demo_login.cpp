#include "demo/demo_login.h"

#include <string>

#include "net/browser_cookies.h"
#include "net/endpoints.h"
#include "net/xml_http.h"
#include "text/encoding.h"

namespace tarvisk::demo {

namespace {

/// The demo answers at once; a login that takes longer than this has failed.
constexpr int kLoginTimeoutSeconds = 10;

bool hasLoginCookie() {
    for (const BrowserCookie& cookie : BrowserCookies::instance().all()) {
        if (cookie.name == kLoginCookieName && !cookie.value.empty()) {
            return true;
        }
    }
    return false;
}

} // namespace

bool LogInToDemo() {
    const std::u16string url = std::u16string(u"https://") + endpoints::kLoginHost + u"/member/login.jhtml";
    const std::u16string form =
        u"TPL_username=" + FromUtf8(kDemoLoginName) + u"&TPL_password=" + FromUtf8(kDemoPassword);
    const std::u16string answer = XmlHttpRequest(url, form, 0, kLoginTimeoutSeconds);
    return answer.find(FromUtf8(kLoginSuccessText)) != std::u16string::npos && hasLoginCookie();
}

} // namespace tarvisk::demo
