// Keywords and shops whose page N the marketplace refuses, for every refusal and every N, so tests
// can meet each kind of unreadable page at the first and at a later page of a job:
//
// - a search for the keyword "refuse-KIND-N" has the result pages of an ordinary keyword, except
//   page N (from 1);
// - a shop whose host begins with "refuse-KIND-N." (for example refuse-login-2.taobao.com) has the
//   pages of the first demo shop, except page N.
//
// KIND is one of: login (a redirect to the login page), punish (a redirect to the verification
// page), slider (the slider page itself), empty (an answer without a body), newlayout (a page of a
// layout no job reads), busy (the server's error page "系统繁忙", status 503).

#include <charconv>
#include <string>
#include <string_view>

#include "demo/demo_pages.h"
#include "demo/market_pages.h"
#include "demo/refusals.h"
#include "demo/test_pages.h"
#include "net/endpoints.h"
#include "text/encoding.h"

namespace tarvisk::demo {

namespace {

constexpr std::string_view kRefusePrefix = "refuse-";

struct RefusedPage {
    Refusal refusal = Refusal::None;
    int page = 0;
};

Refusal refusalNamed(std::string_view name) {
    const std::pair<std::string_view, Refusal> names[] = {
        {"login", Refusal::LoginRedirect}, {"punish", Refusal::PunishRedirect}, {"slider", Refusal::Slider},
        {"empty", Refusal::Empty},         {"newlayout", Refusal::NewLayout},   {"busy", Refusal::Busy},
    };
    for (const auto& [known, refusal] : names) {
        if (name == known)
            return refusal;
    }
    return Refusal::None;
}

/// "refuse-KIND-N" at the start of `text`, up to the first "." if any; none when it is not one.
RefusedPage refusedPage(std::string_view text) {
    if (!text.starts_with(kRefusePrefix))
        return {};
    text.remove_prefix(kRefusePrefix.size());
    text = text.substr(0, text.find('.'));
    const std::size_t dash = text.rfind('-');
    if (dash == std::string_view::npos)
        return {};
    int page = 0;
    const std::string_view digits = text.substr(dash + 1);
    if (std::from_chars(digits.data(), digits.data() + digits.size(), page).ec != std::errc() || page < 1)
        return {};
    return {refusalNamed(text.substr(0, dash)), page};
}

int pageParam(const httplib::Request& request, const char* name, int fallback) {
    const std::string text = request.get_param_value(name);
    int value = fallback;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

} // namespace

httplib::Server::HandlerResponse RouteRefusedPages(const httplib::Request& request, httplib::Response& response) {
    using Handled = httplib::Server::HandlerResponse;
    const std::string host = RequestHost(request);
    if (request.path.ends_with("/search.htm")) {
        const RefusedPage refused = refusedPage(host);
        if (refused.refusal == Refusal::None)
            return Handled::Unhandled;
        const int page = pageParam(request, "pageNo", 1);
        if (page == refused.page)
            SendRefusal(refused.refusal, request, response);
        else
            response.set_content(EncodeGbk(ShopSearchPage(DemoShops().front().host, page)), "text/html; charset=GBK");
        return Handled::Handled;
    }
    const std::string keyword = request.get_param_value("q");
    if (request.path.ends_with("/search") && host == ToUtf8(endpoints::kSearchHost)) {
        const RefusedPage refused = refusedPage(keyword);
        if (refused.refusal == Refusal::None)
            return Handled::Unhandled;
        const int offset = pageParam(request, "s", 0);
        if (offset / kSearchPageItems + 1 == refused.page)
            SendRefusal(refused.refusal, request, response);
        else
            response.set_content(ToUtf8(SearchResultPage(FromUtf8(keyword), offset)), "text/html; charset=utf-8");
        return Handled::Handled;
    }
    return Handled::Unhandled;
}

} // namespace tarvisk::demo
