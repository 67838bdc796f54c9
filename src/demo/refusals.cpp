#include "demo/refusals.h"

#include <string>

#include "demo/demo_pages.h"
#include "net/endpoints.h"
#include "text/encoding.h"

namespace tarvisk::demo {

namespace {

constexpr char kPunishPath[] = "/_____tmd_____/punish";
constexpr char kVerifyPath[] = "/_____tmd_____/verify";
constexpr char kVerifiedValue[] = "demo-passed";

/// The address a request asked for, as the marketplace writes it into its redirects.
std::string askedAddress(const httplib::Request& request) {
    return "http://" + RequestHost(request) + request.target;
}

/// The slider page: the marketplace's markers, and a button that passes the demo's verification.
std::string sliderPage() {
    return "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>验证码拦截</title>\n</head>\n<body>\n"
           "<div class=\"baxia-dialog\">\n<p>亲，访问受限了，请完成滑动验证</p>\n"
           "<form action=\"" +
           std::string(kVerifyPath) +
           "\" method=\"post\">\n<div id=\"nc_1_wrapper\"><span class=\"nc-lang-cnt\">请按住滑块，拖动到最右边</span>"
           "<button type=\"submit\" id=\"nc_1_n1z\" class=\"nc_iconfont btn_slide\">&gt;&gt;</button></div>\n"
           "</form>\n</div>\n</body>\n</html>\n";
}

/// A page of a layout none of the programs reads.
std::string newLayoutPage() {
    return "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>淘宝网</title>\n</head>\n<body>\n"
           "<div id=\"app\" data-version=\"2\"><div class=\"new-profile\"><span class=\"score\">信誉分 98</span>"
           "<span class=\"ratio\">好评占比 99%</span></div></div>\n"
           "<script src=\"//g.alicdn.com/market/app/2.0/index.js\"></script>\n</body>\n</html>\n";
}

} // namespace

bool PassedVerification(const httplib::Request& request) {
    return CarriesCookie(request, std::string(kVerifiedCookieName) + "=" + kVerifiedValue);
}

void SendRefusal(Refusal refusal, const httplib::Request& request, httplib::Response& response) {
    switch (refusal) {
    case Refusal::None:
        return;
    case Refusal::LoginRedirect:
        response.set_redirect("https://" + ToUtf8(endpoints::kLoginHost) + "/member/login.jhtml?redirectURL=" +
                              ToUtf8(UrlEncodeUtf8(FromUtf8(askedAddress(request)))));
        return;
    case Refusal::PunishRedirect:
        response.set_redirect("http://" + RequestHost(request) + "/" + request.path + kPunishPath +
                              "?x5secdata=demo&x5step=1");
        return;
    case Refusal::Slider:
        response.set_content(sliderPage(), "text/html; charset=utf-8");
        return;
    case Refusal::Empty:
        response.set_content("", "text/html; charset=utf-8");
        return;
    case Refusal::NewLayout:
        response.set_content(newLayoutPage(), "text/html; charset=utf-8");
        return;
    case Refusal::Busy:
        response.status = 503;
        response.set_content("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>系统繁忙</title></head>"
                             "<body><p>系统繁忙，请稍后再试</p></body></html>\n",
                             "text/html; charset=utf-8");
        return;
    }
}

void RegisterRefusalPages(httplib::Server& server) {
    ServePath(server, std::string(".*") + kPunishPath,
              [](const httplib::Request& request, httplib::Response& response) {
                  SendRefusal(Refusal::Slider, request, response);
              });
    // Pressing the slider's button passes the verification for the whole marketplace domain.
    ServePath(server, kVerifyPath, [](const httplib::Request&, httplib::Response& response) {
        response.set_header("Set-Cookie",
                            std::string(kVerifiedCookieName) + "=" + kVerifiedValue + "; Domain=.taobao.com; Path=/");
        response.set_content("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>验证通过</title></head>"
                             "<body><p>验证通过，请回到程序重新查询。</p></body></html>\n",
                             "text/html; charset=utf-8");
    });
}

} // namespace tarvisk::demo
