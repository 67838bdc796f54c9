// The member side of the demo marketplace: the login page, member profiles, rating pages, the
// member home page and the badge images, for a fixed cast of accounts (docs/demo-accounts.md).

#include "demo/demo_pages.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>

#include "demo/demo_images.h"
#include "demo/demo_login.h"
#include "demo/refusals.h"
#include "net/endpoints.h"
#include "text/encoding.h"

namespace tarvisk::demo {

namespace {

enum class Standing { Active, UnderAudit, Banned, WithoutDate };

struct Counts {
    int good = 0;
    int neutral = 0;
    int bad = 0;
};

struct CastMember {
    const char* name;
    Standing standing;
    int ageDays; ///< registered this many days before the server's today
    bool seller;
    long sellerCredit;
    long buyerCredit;
    const char* goodRate;      ///< as printed; "" when the page shows none
    const char* certification; ///< "个人认证", "企业认证" or ""
    Counts week;
    Counts month;
    /// What the marketplace sends instead of the account's profile or rating page, if anything.
    Refusal profileRefusal = Refusal::None;
    Refusal ratingRefusal = Refusal::None;
};

// One account per branch of the check. Ages are relative to the server's date, so the new and the
// boundary accounts keep their meaning on any day.
const CastMember kCast[] = {
    {"小白新号", Standing::Active, 12, false, 0, 2, "", "", {1, 0, 0}, {2, 0, 0}},
    {"三十天整", Standing::Active, 30, false, 0, 6, "100.00", "", {0, 0, 0}, {3, 0, 0}},
    {"卡线买家", Standing::Active, 31, false, 0, 19, "100.00", "", {4, 0, 0}, {15, 1, 0}},
    {"老实买家", Standing::Active, 2250, false, 0, 286, "99.65", "个人认证", {1, 0, 0}, {6, 1, 0}},
    {"demo_buyer", Standing::Active, 1500, false, 0, 38, "100.00", "", {0, 0, 0}, {2, 0, 0}},
    {"刷单小号", Standing::Active, 400, false, 0, 75, "98.7", "", {7, 1, 0}, {11, 1, 0}},
    {"月度大户", Standing::Active, 900, false, 0, 640, "99.2", "个人认证", {3, 0, 0}, {22, 2, 1}},
    {"小本卖家", Standing::Active, 1800, true, 8600, 130, "99.5", "个人认证", {12, 1, 0}, {60, 2, 1}},
    {"皇冠旗舰店", Standing::Active, 3650, true, 1286400, 56, "99.85", "企业认证", {320, 6, 2}, {1350, 21, 5}},
    {"盘点中的店", Standing::UnderAudit, 800, true, 420, 8, "97.1", "", {0, 0, 0}, {5, 0, 1}},
    {"被封账号", Standing::Banned, 600, false, 0, 33, "96.0", "", {0, 0, 0}, {1, 0, 0}},
    {"资料残缺", Standing::WithoutDate, 700, false, 0, 10, "100.00", "", {0, 0, 0}, {1, 0, 0}},
    // Pages the marketplace will not give out: one account for each way a page can fail to be read.
    {"资料要登录", Standing::Active, 500, false, 0, 20, "100.00", "", {1, 0, 0}, {3, 0, 0}, Refusal::LoginRedirect},
    {"资料要验证", Standing::Active, 520, false, 0, 24, "100.00", "", {1, 0, 0}, {3, 0, 0}, Refusal::PunishRedirect},
    {"评价要登录",
     Standing::Active,
     800,
     false,
     0,
     41,
     "99.9",
     "",
     {1, 0, 0},
     {4, 0, 0},
     Refusal::None,
     Refusal::LoginRedirect},
    {"评价要验证",
     Standing::Active,
     820,
     false,
     0,
     42,
     "100.00",
     "",
     {1, 0, 0},
     {4, 0, 0},
     Refusal::None,
     Refusal::Slider},
    {"评价空白",
     Standing::Active,
     840,
     false,
     0,
     43,
     "100.00",
     "",
     {1, 0, 0},
     {4, 0, 0},
     Refusal::None,
     Refusal::Empty},
    {"评价改版",
     Standing::Active,
     860,
     false,
     0,
     44,
     "100.00",
     "",
     {1, 0, 0},
     {4, 0, 0},
     Refusal::None,
     Refusal::NewLayout},
};

/// Sends the refusal in place of a page; false when the page is to be served. A request that has
/// passed the slider gets the page in place of a verification.
bool refused(Refusal refusal, const httplib::Request& request, httplib::Response& response) {
    const bool verification = refusal == Refusal::Slider || refusal == Refusal::PunishRedirect;
    if (refusal == Refusal::None || (verification && PassedVerification(request))) {
        return false;
    }
    SendRefusal(refusal, request, response);
    return true;
}

/// A stable 32-character user id per account, like the marketplace's own.
std::string userId(const std::string& name) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::uint64_t hash = 1469598103934665603ull;
    for (const char byte : name) {
        hash = (hash ^ static_cast<std::uint8_t>(byte)) * 1099511628211ull;
    }
    std::string id = "U";
    while (id.size() < 32) {
        hash ^= hash >> 29;
        hash *= 0xBF58476D1CE4E5B9ull;
        hash ^= hash >> 32;
        id.push_back(kAlphabet[hash % (sizeof(kAlphabet) - 1)]);
    }
    return id;
}

/// The cast member whose name (or, with `byUserId`, whose user id) is `key`; null when none.
const CastMember* findMember(const std::string& key, bool byUserId) {
    for (const CastMember& member : kCast) {
        if (key == (byUserId ? userId(member.name) : std::string(member.name))) {
            return &member;
        }
    }
    return nullptr;
}

/// The date `ageDays` before the server's local date, printed as the profile prints it.
std::string registrationDate(int ageDays) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    using namespace std::chrono;
    const year_month_day today{year{local.tm_year + 1900}, month{static_cast<unsigned>(local.tm_mon + 1)},
                               day{static_cast<unsigned>(local.tm_mday)}};
    const year_month_day registered{sys_days{today} - days{ageDays}};
    char text[64];
    std::snprintf(text, sizeof text, "%04d年%02u月%02u日", static_cast<int>(registered.year()),
                  static_cast<unsigned>(registered.month()), static_cast<unsigned>(registered.day()));
    return text;
}

/// The random session value of this run's login cookie.
const std::string& sessionToken() {
    static const std::string token = [] {
        std::random_device device;
        std::string value;
        while (value.size() < 32) {
            char digits[9];
            std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(device()));
            value += digits;
        }
        return value;
    }();
    return token;
}

/// Sends a page in GBK, declared in the header as the marketplace does, with CR LF line ends.
void sendGbkPage(httplib::Response& response, const std::string& utf8Lines, int status = 200) {
    std::string withCrLf;
    for (const char c : utf8Lines) {
        if (c == '\n') {
            withCrLf += "\r\n";
        } else {
            withCrLf.push_back(c);
        }
    }
    response.status = status;
    response.set_content(EncodeGbk(FromUtf8(withCrLf)), "text/html; charset=GBK");
}

void sendNotFound(httplib::Response& response) {
    response.status = 404;
    response.set_content("not found", "text/plain");
}

std::string pageHead(const std::string& title, const std::string& charset) {
    return "<!DOCTYPE html>\n<html>\n<head>\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=" +
           charset + "\" />\n<title>" + title + "</title>\n</head>\n<body>\n";
}

std::string profilePage(const CastMember& member) {
    const std::string id = userId(member.name);
    std::string page = pageHead(std::string(member.name) + " - 会员档案 - 淘宝网", "gbk");
    page += "<div id=\"page\">\n<div class=\"hd\"><a href=\"http://www.taobao.com/\" class=\"logo\">淘宝网</a></div>\n";
    page += "<div class=\"profile-box\">\n<h2 class=\"nick\">" + std::string(member.name) + "</h2>\n";
    page += "<ul class=\"profile-info\">\n";
    page += "<li><span class=\"label\">信用评价：</span><a href=\"http://rate.taobao.com/user-rate-" + id +
            ".htm\" target=\"_blank\">查看信用评价</a></li>\n";
    if (member.standing != Standing::WithoutDate) {
        page += "<li><span class=\"label\">注册时间：</span>\n<span class=\"value\">" +
                registrationDate(member.ageDays) + "</span></li>\n";
    }
    page += "<li><span class=\"label\">所在地区：</span><span class=\"value\">浙江 杭州</span></li>\n";
    page += "</ul>\n</div>\n</div>\n</body>\n</html>\n";
    return page;
}

std::string noticePage(const std::string& notice) {
    return pageHead("会员档案 - 淘宝网", "gbk") + "<div class=\"notice\">\n<p>" + notice +
           "</p>\n<p><a href=\"http://www.taobao.com/\">返回淘宝首页</a></p>\n</div>\n</body>\n</html>\n";
}

std::string ratingCell(const std::string& kind, int count, const std::string& link) {
    if (count == 0) {
        return "<td class=\"" + kind + "\">0</td>";
    }
    return "<td class=\"" + kind + "\"><a href=\"" + link + "\" target=\"_blank\">" + std::to_string(count) +
           "</a></td>";
}

std::string ratingRow(const std::string& label, const std::string& kind, int week, int month, const std::string& link) {
    // Six months hold the month, earlier ratings add as many again.
    const int halfYear = month * 4;
    const int earlier = month * 3;
    return "<tr>\n<td class=\"rate-type\">" + label + "</td>" + ratingCell(kind, week, link) +
           ratingCell(kind, month, link) + ratingCell(kind, halfYear, link) + ratingCell(kind, earlier, link) +
           ratingCell(kind, halfYear + earlier, link) + "\n</tr>\n";
}

std::string ratingPage(const CastMember& member) {
    const std::string link = "http://rate.taobao.com/user-rate-" + userId(member.name) + ".htm";
    std::string page = pageHead(std::string("淘宝信用评价 - ") + member.name, "gbk");
    page += "<div id=\"content\">\n<div class=\"personal-info\">\n<div class=\"nick\">" + std::string(member.name) +
            "</div>\n<ul class=\"info-list\">\n";
    page += "<li>卖家信用：<a href=\"" + link + "?from=seller\" target=\"_blank\">" +
            std::to_string(member.sellerCredit) + "</a></li>\n";
    page += "<li>买家信用：<a href=\"" + link + "?from=buyer\" target=\"_blank\">" +
            std::to_string(member.buyerCredit) + "</a></li>\n";
    if (*member.goodRate) {
        page += "<li class=\"good-rate\">好评率：" + std::string(member.goodRate) + "%</li>\n";
    }
    if (*member.certification) {
        page += "<li class=\"auth\">认证信息：<span>" + std::string(member.certification) + "</span></li>\n";
    }
    page += "</ul>\n</div>\n<div class=\"tabs\"><ul><li class=\"selected\"><a href=\"#\">";
    page += member.seller ? "卖家信用评价展示" : "买家信用评价展示";
    page += "</a></li></ul></div>\n<table class=\"tb-rate-table\" cellspacing=\"0\">\n<thead><tr><th>&nbsp;</th>"
            "<th>最近1周</th><th>最近1个月</th><th>最近6个月</th><th>6个月前</th><th>总计</th></tr></thead>\n"
            "<tbody>\n";
    page += ratingRow("好评", "rateok", member.week.good, member.month.good, link + "?result=1");
    page += ratingRow("中评", "ratenormal", member.week.neutral, member.month.neutral, link + "?result=0");
    page += ratingRow("差评", "ratebad", member.week.bad, member.month.bad, link + "?result=-1");
    page += "</tbody>\n</table>\n</div>\n</body>\n</html>\n";
    return page;
}

std::string loginPage(bool failed) {
    std::string page = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>淘宝网 - 会员登录</title>\n"
                       "<style>body{font-family:sans-serif;background:#f5f5f5}.box{width:320px;margin:40px auto;"
                       "padding:20px;background:#fff;border:1px solid #ddd}label{display:block;margin:10px 0}"
                       ".error{color:#c00}</style>\n</head>\n<body>\n<div class=\"box\">\n<h2>密码登录</h2>\n";
    if (failed) {
        page += "<p class=\"error\">账号名或登录密码不正确</p>\n";
    }
    page += "<form id=\"J_Form\" action=\"/member/login.jhtml\" method=\"post\">\n"
            "<label>会员名：<input type=\"text\" name=\"TPL_username\" value=\"" +
            std::string(kDemoLoginName) +
            "\"></label>\n"
            "<label>密码：<input type=\"password\" name=\"TPL_password\"></label>\n"
            "<button type=\"submit\" id=\"J_SubmitStatic\">登录</button>\n</form>\n"
            "<p class=\"hint\">演示账号：" +
            std::string(kDemoLoginName) + "，密码：" + kDemoPassword + "</p>\n</div>\n</body>\n</html>\n";
    return page;
}

std::string loggedInPage() {
    return "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta http-equiv=\"refresh\" content=\"1;url=http://i.taobao.com/my_taobao.htm\">\n"
           "<title>淘宝网 - 会员登录</title>\n</head>\n<body>\n<p>" +
           std::string(kLoginSuccessText) +
           "</p>\n<p><a href=\"http://i.taobao.com/my_taobao.htm\">我的淘宝</a></p>\n</body>\n</html>\n";
}

void serveImage(httplib::Server& server, const std::string& host, const std::string& path, std::string bytes,
                const std::string& type) {
    server.Get(path,
               [host, bytes = std::move(bytes), type](const httplib::Request& request, httplib::Response& response) {
                   if (RequestHost(request) != host) {
                       sendNotFound(response);
                       return;
                   }
                   response.set_header("Cache-Control", "max-age=86400");
                   response.set_content(bytes, type);
               });
}

void registerLogin(httplib::Server& server) {
    const std::string host = ToUtf8(endpoints::kLoginHost);
    server.Get("/member/login.jhtml", [host](const httplib::Request& request, httplib::Response& response) {
        if (RequestHost(request) != host) {
            sendNotFound(response);
            return;
        }
        response.set_content(loginPage(false), "text/html; charset=utf-8");
    });
    server.Post("/member/login.jhtml", [host](const httplib::Request& request, httplib::Response& response) {
        if (RequestHost(request) != host) {
            sendNotFound(response);
            return;
        }
        if (request.get_param_value("TPL_username") != kDemoLoginName ||
            request.get_param_value("TPL_password") != kDemoPassword) {
            response.set_content(loginPage(true), "text/html; charset=utf-8");
            return;
        }
        // Not Secure and for the whole domain: the member pages are fetched over plain http.
        response.set_header("Set-Cookie", std::string(kLoginCookieName) + "=" + sessionToken() +
                                              "; Domain=.taobao.com; Path=/; HttpOnly");
        response.set_header("Set-Cookie", std::string("_nk_=") + kDemoLoginName + "; Domain=.taobao.com; Path=/");
        response.set_content(loggedInPage(), "text/html; charset=utf-8");
    });
}

void registerMemberPages(httplib::Server& server) {
    const std::string memberHost = ToUtf8(endpoints::kMemberHost);
    ServePath(server, "/member/userProfile.jhtml",
              [memberHost](const httplib::Request& request, httplib::Response& response) {
                  if (RequestHost(request) != memberHost) {
                      sendNotFound(response);
                      return;
                  }
                  // The marketplace sends nothing at all to a visitor who is not logged in.
                  if (!LoggedIn(request)) {
                      response.set_content("", "text/html; charset=GBK");
                      return;
                  }
                  const std::string name = ToUtf8(DecodeGbkBytes(request.get_param_value("userID")));
                  const CastMember* member = findMember(name, false);
                  if (member == nullptr || member->standing == Standing::UnderAudit) {
                      // Unknown accounts get the same notice as accounts under audit.
                      sendGbkPage(response, noticePage("淘宝正在对该店铺盘点，请稍后再来"));
                  } else if (member->standing == Standing::Banned) {
                      sendGbkPage(response, noticePage("该用户因违反淘宝规则，账号已被查封"));
                  } else if (!refused(member->profileRefusal, request, response)) {
                      sendGbkPage(response, profilePage(*member));
                  }
              });

    const std::string ratingHost = ToUtf8(endpoints::kRatingHost);
    ServePath(server, R"(/user-rate-(\w*)\.htm)",
              [ratingHost](const httplib::Request& request, httplib::Response& response) {
                  const CastMember* member = findMember(request.matches[1], true);
                  if (RequestHost(request) != ratingHost || member == nullptr) {
                      sendGbkPage(response, noticePage("您查看的用户不存在"), 404);
                      return;
                  }
                  if (!refused(member->ratingRefusal, request, response)) {
                      sendGbkPage(response, ratingPage(*member));
                  }
              });

    const std::string homeHost = ToUtf8(endpoints::kMemberHomeHost);
    ServePath(server, "/my_taobao.htm", [homeHost](const httplib::Request& request, httplib::Response& response) {
        if (RequestHost(request) != homeHost) {
            sendNotFound(response);
            return;
        }
        if (!LoggedIn(request)) {
            response.set_redirect(std::string("https://") + ToUtf8(endpoints::kLoginHost) + "/member/login.jhtml");
            return;
        }
        sendGbkPage(response, pageHead("我的淘宝", "gbk") + "<h1>我的淘宝</h1>\n<p>您好，" + kDemoLoginName +
                                  "</p>\n</body>\n</html>\n");
    });
}

void registerBadgeImages(httplib::Server& server) {
    const std::string pictureHost = ToUtf8(endpoints::kPictureHost);
    const struct {
        const char* tier;
        Rgb fill;
    } tiers[] = {{"red", {230, 40, 40}}, {"blue", {40, 110, 230}}, {"cap", {240, 180, 0}}};
    for (const auto& tier : tiers) {
        for (const char* kind : {"s", "b"}) {
            // Seller badges have a dark border, buyer badges a light one.
            const Rgb border = *kind == 's' ? Rgb{80, 20, 20} : Rgb{200, 200, 200};
            serveImage(server, pictureHost, std::string("/newrank/") + kind + "_" + tier.tier + "_1.gif",
                       EncodeGif(DiamondBadge(16, tier.fill, border)), "image/gif");
        }
    }
    serveImage(server, pictureHost, "/zfb_person_small.gif", EncodeGif(DiamondBadge(16, {0, 150, 220}, {0, 90, 160})),
               "image/gif");
    serveImage(server, ToUtf8(endpoints::kStaticImageHost), "/tps/i1/T1YE.JXXXcXXb1HYPe-35-35.png",
               EncodePng(DiamondBadge(35, {250, 120, 0}, {160, 70, 0})), "image/png");
}

} // namespace

bool LoggedIn(const httplib::Request& request) {
    return CarriesCookie(request, std::string(kLoginCookieName) + "=" + sessionToken());
}

void RegisterAccountPages(httplib::Server& server) {
    registerLogin(server);
    registerMemberPages(server);
    registerBadgeImages(server);
}

} // namespace tarvisk::demo
