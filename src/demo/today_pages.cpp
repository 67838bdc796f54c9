#include "demo/today_pages.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <random>

#include <nlohmann/json.hpp>
#include <openssl/evp.h>

#include "demo/demo_pages.h"
#include "demo/market_pages.h"
#include "demo/refusals.h"
#include "net/endpoints.h"
#include "text/encoding.h"
#include "text/html.h"
#include "text/text_ops.h"

namespace tarvisk::demo {

namespace {

using Json = nlohmann::ordered_json;

constexpr char kTokenCookie[] = "_m_h5_tk";
constexpr char kSearchApi[] = "mtop.relationrecommend.wirelessrecommend.recommend";
constexpr char kShopItemApi[] = "mtop.taobao.shop.simple.item.fetch";
// A token the gateway issues holds for a day.
constexpr std::int64_t kTokenLifeMs = 24LL * 3600 * 1000;
// Items of a today's shop a list page shows, and the most the gateway's item list gives a page.
constexpr int kShopListItems = 30;
// The items the shops' recommendations block offers: other shops' items, never the listed shop's.
constexpr int kRecommendedItems = 4;
// The longest callback name the endpoints write back; anything else in it is refused.
constexpr std::size_t kLongestCallback = 40;

std::string md5Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_md5(), nullptr);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < size; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0xF];
    }
    return hex;
}

/// The secret the tokens of this run are made with: a token is only good for the server that issued it.
const std::string& tokenSecret() {
    static const std::string secret = std::to_string(std::random_device()()) + std::to_string(std::random_device()());
    return secret;
}

std::string tokenFor(std::int64_t expiresMs) {
    return md5Hex(tokenSecret() + ":" + std::to_string(expiresMs));
}

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

/// The value of a cookie of the request; empty when it has none.
std::string cookieValue(const httplib::Request& request, const std::string& name) {
    for (std::size_t i = 0; i < request.get_header_value_count("Cookie"); ++i) {
        for (const std::string& pair : SplitAt(request.get_header_value("Cookie", i), ";")) {
            const std::string_view trimmed = TrimBlanks(pair);
            if (trimmed.starts_with(name + "=")) {
                return std::string(trimmed.substr(name.size() + 1));
            }
        }
    }
    return {};
}

/// The token of the request's token cookie ("TOKEN_EXPIRES"), when this server issued it and it still holds.
std::string validToken(const httplib::Request& request) {
    const std::string cookie = cookieValue(request, kTokenCookie);
    const std::size_t underscore = cookie.find('_');
    if (underscore == std::string::npos) {
        return {};
    }
    std::int64_t expires = 0;
    const std::string_view digits = std::string_view(cookie).substr(underscore + 1);
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), expires);
    const std::string token = cookie.substr(0, underscore);
    const bool good =
        error == std::errc() && end == digits.data() + digits.size() && expires > nowMs() && token == tokenFor(expires);
    return good ? token : std::string();
}

std::string param(const httplib::Request& request, const char* name) {
    return request.has_param(name) ? request.get_param_value(name) : std::string();
}

int numberOf(const std::string& text, int fallback) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end != text.data() ? value : fallback;
}

/// The callback a JSONP request names, when it is a plain name the answer can call.
std::string callbackOf(const httplib::Request& request, const char* fallback) {
    const std::string name = param(request, "callback");
    const bool plain = !name.empty() && name.size() <= kLongestCallback && std::ranges::all_of(name, [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    });
    return plain ? name : fallback;
}

/// A text as a script string literal that may stand inside a <script> element.
std::string scriptLiteral(const std::u16string& text) {
    return ReplaceAll(Json(ToUtf8(text)).dump(), "</", "<\\/");
}

/// How a request of the gateway wants its answer: the endpoint's name, and JSONP around `callback` or, when that
/// is empty, plain JSON (type=originaljson).
struct GatewayReply {
    const char* api = kSearchApi;
    std::string callback;
    std::string version = "2.0";
};

std::string gatewayAnswer(const GatewayReply& reply, const std::string& status, Json data) {
    Json answer;
    answer["api"] = reply.api;
    answer["data"] = std::move(data);
    answer["ret"] = Json::array({status});
    answer["v"] = reply.version;
    return reply.callback.empty() ? answer.dump() : reply.callback + "(" + answer.dump() + ")";
}

void sendGatewayAnswer(httplib::Response& response, const GatewayReply& reply, const std::string& status, Json data) {
    response.set_content(gatewayAnswer(reply, status, std::move(data)), reply.callback.empty()
                                                                            ? "application/json; charset=utf-8"
                                                                            : "application/javascript; charset=utf-8");
}

/// The title as the gateway writes it: the keyword, wherever it stands, wrapped in its highlight markup.
std::u16string highlighted(const std::u16string& title, const std::u16string& keyword) {
    return keyword.empty() ? title : ReplaceAll(title, keyword, u"<span class=H>" + keyword + u"</span>");
}

/// One entry of itemsArray, in the spellings the gateway mixes: item_id or nidlong (a number), auctionURL or
/// auctionUrl.
Json itemJson(const std::u16string& keyword, int page, int place) {
    const DemoResult result = DemoSearchResult(keyword, (page - 1) * kTodayPageItems + place - 1, kTodayPageItems);
    const DemoShop* shop = result.shopHost.empty() ? nullptr : DemoShopByHost(result.shopHost);
    const std::string nick = shop != nullptr ? ToUtf8(shop->name) : "店铺" + std::to_string(result.seed % 997);
    const std::string shopUrl =
        shop != nullptr ? "//" + shop->host : "//shop" + std::to_string(100000 + result.seed % 900000) + ".taobao.com";
    const bool tmall = shop == nullptr && result.seed % 5 == 0;
    const std::string address =
        std::string(tmall ? "//detail.tmall.com" : "//item.taobao.com") + "/item.htm?id=" + ToUtf8(result.id);
    Json item;
    // Answers of 2025–26 mix the spellings: nid with raw_title beside title, nidlong as a number, item_id. From page
    // 2 on, the odd places (page 2's target among them) give nid.
    if (page > 1 && place % 2 == 1) {
        item["nid"] = ToUtf8(result.id);
        item["raw_title"] = ToUtf8(result.title);
    } else if (page > 1 && place % 3 == 0) {
        item["nidlong"] = std::stoull(ToUtf8(result.id));
    } else {
        item["item_id"] = ToUtf8(result.id);
    }
    item["title"] = ToUtf8(highlighted(result.title, keyword));
    item["pic_path"] = ToUtf8(ReplaceAll(DemoPicture(result), u"http://", u"//"));
    item["price"] = ToUtf8(DemoPrice(result.seed));
    item["realSales"] = ToUtf8(CurrentSalesText(static_cast<int>((result.seed >> 16) % 60000)) + u"人付款");
    item["procity"] = ToUtf8(DemoPlace(result.seed));
    item["nick"] = nick;
    item["shopInfo"] = Json{{"title", nick}, {"url", shopUrl}};
    item[page > 1 && place % 2 == 0 ? "auctionUrl" : "auctionURL"] = address;
    item["isP4p"] = std::ranges::find(kTodayPaidPlaces, place) != std::end(kTodayPaidPlaces) ? "true" : "false";
    return item;
}

/// The keyword and the page a request of the search endpoint asks for, from its data field:
/// {"appId":"34385","params":"{\"q\":...,\"page\":N,...}"}.
std::pair<std::u16string, int> searchOf(const std::string& data) {
    const Json outer = Json::parse(data, nullptr, false);
    const Json params = outer.is_object() && outer.contains("params") && outer["params"].is_string()
                            ? Json::parse(outer["params"].get<std::string>(), nullptr, false)
                            : Json();
    if (!params.is_object() || !params.contains("q") || !params["q"].is_string()) {
        return {};
    }
    const int page = params.contains("page") && params["page"].is_number_integer() ? params["page"].get<int>() : 1;
    return {FromUtf8(params["q"].get<std::string>()), std::max(page, 1)};
}

/// Where the gateway sends a visitor to verify: the search host's slider page.
std::string punishAddress() {
    return "//" + ToUtf8(endpoints::kSearchHost) + "//search/_____tmd_____/punish?x5secdata=demo-today&x5step=1";
}

// The md5 the gateway's requests are signed with, as the marketplace's pages carry it.
constexpr char kMd5Script[] = R"JS(
function md5(s){s=unescape(encodeURIComponent(s));var n=s.length,w=[],i;for(i=0;i<n;i++)w[i>>2]|=s.charCodeAt(i)<<(i%4*8);w[n>>2]|=128<<(n%4*8);var m=((n+8>>6)+1)*16;for(i=0;i<m;i++)w[i]|=0;w[m-2]=n*8;
var a=1732584193,b=-271733879,c=-1732584194,d=271733878,K=[],S=[7,12,17,22,5,9,14,20,4,11,16,23,6,10,15,21];for(i=0;i<64;i++)K[i]=Math.floor(Math.abs(Math.sin(i+1))*4294967296)|0;
for(var o=0;o<m;o+=16){var A=a,B=b,C=c,D=d;for(i=0;i<64;i++){var r=i>>4,f,g;if(r==0){f=B&C|~B&D;g=i}else if(r==1){f=D&B|~D&C;g=(5*i+1)%16}else if(r==2){f=B^C^D;g=(3*i+5)%16}else{f=C^(B|~D);g=7*i%16}
var x=A+f+K[i]+w[o+g]|0,h=S[r*4+i%4];A=D;D=C;C=B;B=B+(x<<h|x>>>32-h)|0}a=a+A|0;b=b+B|0;c=c+C|0;d=d+D|0}
var t='',v=[a,b,c,d];for(i=0;i<16;i++)t+=(v[i>>2]>>>(i%4*8)&255).toString(16).padStart(2,'0');return t}
function mtopToken(){ var m = /(?:^|;\s*)_m_h5_tk=([^;_]*)/.exec(document.cookie); return m ? m[1] : ''; }
)JS";

// The search page's own script: it signs its request with the token cookie (md5 of token&t&appKey&data), asks
// again once when the gateway hands out a new token, draws the results as cards, and follows the gateway to its
// slider or to the login when it refuses.
constexpr char kSearchScript[] = R"JS(
(function(){
  var calls = 0, box = document.getElementById('content_items_wrapper');
  function text(s){ var e = document.createElement('i'); e.textContent = s; return e.innerHTML; }
  function draw(items){
    // When the results stood on the page, from the start of its navigation: for measuring browsers.
    box.setAttribute('data-drawn-ms', Math.round(performance.now()));
    if (!items.length) { box.innerHTML = '<div class="m-noresult">没有找到相关的宝贝</div>'; return; }
    box.innerHTML = items.filter(function(it){ return !it.customCardType; }).map(function(it){
      var id = it.item_id || it.nid || String(it.nidlong), url = it.auctionURL || it.auctionUrl;
      return '<a class="Card--doubleCardWrapper" href="https:' + text(url) + '" target="_blank">' +
        '<div class="MainPic--mainPicWrapper"><img src="' + text(it.pic_path) + '"></div>' +
        '<div class="Title--title"><span>' + it.title + '</span></div>' +
        '<div class="Price--priceWrapper"><span class="Price--priceInt">' + text(it.price) + '</span>' +
        '<span class="Price--realSales">' + text(it.realSales) + '</span></div>' +
        '<div class="ShopInfo--shopName">' + text(it.shopInfo.title) + '</div>' +
        (it.isP4p === 'true' ? '<span class="Card--ad">广告</span>' : '') + '</a>';
    }).join('');
  }
  function call(){
    var t = Date.now(), data = JSON.stringify({appId: '34385', params: JSON.stringify({q: PAGE.q, page: PAGE.page, tab: 'all', sort: '_coefp'})});
    var name = 'mtopjsonp' + (++calls), script = document.createElement('script');
    window[name] = function(answer){
      delete window[name]; script.remove();
      var ret = (answer.ret || [''])[0];
      if (ret.indexOf('FAIL_SYS_TOKEN') === 0 && calls < 2) { call(); return; }
      if (ret.indexOf('RGV587_ERROR') === 0) { location.href = answer.data.url; return; }
      if (ret.indexOf('FAIL_SYS_SESSION_EXPIRED') === 0) { location.href = PAGE.login + encodeURIComponent(location.href); return; }
      if (ret.indexOf('SUCCESS') !== 0) { box.textContent = '加载失败，请刷新重试'; return; }
      draw((answer.data.itemsArray || answer.data.data.itemsArray));
    };
    script.src = '//' + PAGE.gateway + PAGE.path + '?jsv=2.7.2&appKey=' + PAGE.appKey + '&t=' + t +
      '&sign=' + md5(mtopToken() + '&' + t + '&' + PAGE.appKey + '&' + data) + '&api=' + PAGE.api +
      '&v=2.0&type=jsonp&dataType=jsonp&callback=' + name + '&data=' + encodeURIComponent(data);
    document.head.appendChild(script);
  }
  call();
})();
)JS";

// A shop's search page script: it asks the list endpoint for its page and shows the answer's HTML.
constexpr char kShopScript[] = R"JS(
(function(){
  var box = document.getElementById('J_ShopSearchResult'), name = 'jsonp' + (100 + PAGE.page);
  var script = document.createElement('script');
  window[name] = function(html){
    delete window[name]; script.remove(); box.innerHTML = html;
    box.setAttribute('data-drawn-ms', Math.round(performance.now()));
  };
  script.src = '/i/asynSearch.htm?_ksTS=' + Date.now() + '_' + PAGE.page + '&callback=' + name +
    '&mid=w-' + PAGE.widget + '-0&wid=' + PAGE.widget + '&path=/search.htm&search=y&pageNo=' + PAGE.page;
  document.body.appendChild(script);
})();
)JS";

// The search page of a shop in the gateway form: it asks the gateway's item list for its page through fetch, in
// plain JSON, signed as the search page signs, and draws the items with the shop's pager (class names hashed, as
// today's pages build them), which offers the next page while the answer's hasNext says there is one.
constexpr char kGatewayShopScript[] = R"JS(
(function(){
  var calls = 0, box = document.getElementById('shop-items');
  function text(s){ var e = document.createElement('i'); e.textContent = String(s); return e.innerHTML; }
  function link(page, classes, label){
    return '<a class="' + classes + '" href="//' + PAGE.host + '/search.htm?search=y&pageNo=' + page + '">' + label + '</a>';
  }
  function draw(data){
    var items = data.data || [];
    var html = '<div class="itemGrid--q8Zt1">' + items.map(function(it){
      var url = it.itemUrl || ('//item.taobao.com/item.htm?id=' + it.itemId);
      return '<a class="itemCard--Fx2m7" href="https:' + text(url) + '" target="_blank">' +
        '<div class="title--Lp0sd">' + text(it.title) + '</div><div class="price--v8Kq1">¥' + text(it.price) + '</div></a>';
    }).join('') + '</div><div class="pager--Wm3xT">';
    if (PAGE.page > 1) html += link(PAGE.page - 1, 'pagerBtn--c5Rn0', '上一页');
    html += '<span class="pagerCur--y2Hd4">' + PAGE.page + '</span>';
    if (data.hasNext) html += link(PAGE.page + 1, 'pagerBtn--c5Rn0', '下一页');
    box.innerHTML = html + '</div>';
    box.setAttribute('data-drawn-ms', Math.round(performance.now()));
  }
  function call(){
    var t = Date.now(), data = JSON.stringify({shopId: PAGE.shopId, sellerId: PAGE.sellerId, page: PAGE.page,
      pageSize: 30, orderType: 'hotsell', feature: ''});
    fetch('https://' + PAGE.gateway + PAGE.path + '?jsv=2.7.2&appKey=' + PAGE.appKey + '&t=' + t +
      '&sign=' + md5(mtopToken() + '&' + t + '&' + PAGE.appKey + '&' + data) + '&api=' + PAGE.api +
      '&v=1.0&type=originaljson&dataType=json&data=' + encodeURIComponent(data), {credentials: 'include'})
    .then(function(response){ return response.json(); })
    .then(function(answer){
      var ret = (answer.ret || [''])[0];
      if (ret.indexOf('FAIL_SYS_TOKEN') === 0 && ++calls < 2) { call(); return; }
      if (ret.indexOf('RGV587_ERROR') === 0) { location.href = answer.data.url; return; }
      if (ret.indexOf('FAIL_SYS_SESSION_EXPIRED') === 0) { location.href = PAGE.login + encodeURIComponent(location.href); return; }
      if (ret.indexOf('SUCCESS') !== 0) { box.textContent = '加载失败，请刷新重试'; return; }
      draw(answer.data);
    })
    .catch(function(){ box.textContent = '加载失败，请刷新重试'; });
  }
  call();
})();
)JS";

// The marketplace's anti-bot script, which every normal page loads: its source names the slider, the verification
// path and its dialog, words that a page's reader must not take for a slider shown.
constexpr char kAntiBotScript[] = R"JS(<script>
window.baxiaCommon = {punishPath: '/_____tmd_____/punish', slider: 'nc_1_n1z', tip: '请按住滑块，拖动到最右边',
  check: function () { return !!document.getElementById('baxia-dialog-content'); }};
</script>
)JS";

std::string scriptPage(const std::u16string& title, const std::string& body, const std::string& settings,
                       const std::string& script) {
    return "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + ToUtf8(EscapeHtml(title)) +
           "</title>\n" + kAntiBotScript + "</head>\n<body>\n" + body + "\n<script>\nvar PAGE = " + settings + ";\n" +
           script + "</script>\n</body>\n</html>\n";
}

std::u16string shopItemHtml(const std::u16string& id, const std::u16string& title, std::uint64_t seed) {
    const std::u16string link = u"//" + std::u16string(endpoints::kItemHost) + u"/item.htm?id=" + id;
    const std::u16string escaped = EscapeHtml(title);
    return u"<dl class=\"item \" data-id=\"" + id + u"\">\r\n<dt class=\"photo\"><a href=\"" + link +
           u"\" target=\"_blank\"><img alt=\"" + escaped + u"\" data-ks-lazyload=\"//" + endpoints::kPictureHost +
           u"/bao/uploaded/i1/" + id +
           u".jpg_240x240.jpg\"></a></dt>\r\n<dd class=\"detail\"><a class=\"item-name "
           u"J_TGoldData\" href=\"" +
           link + u"\" target=\"_blank\">" + escaped +
           u"</a>\r\n<div class=\"attribute\"><div class=\"cprice-area\"><span class=\"symbol\">¥</span><span "
           u"class=\"c-price\">" +
           DemoPrice(seed) + u" </span></div><div class=\"sale-area\">已售：<span class=\"sale-num\">" +
           FromUtf8(std::to_string(seed % 500)) + u"</span>件</div></div></dd>\r\n</dl>\r\n";
}

std::u16string pagination(const DemoShop& shop, int page, int lastPage) {
    const auto link = [&shop](int to, const char16_t* classes, const std::u16string& text) {
        return u"<a class=\"" + std::u16string(classes) + u"\" href=\"//" + FromUtf8(shop.host) +
               u"/search.htm?spm=a1z10.3-c.0.0&search=y&pageNo=" + FromUtf8(std::to_string(to)) + u"\">" + text +
               u"</a>";
    };
    std::u16string html = u"<div class=\"pagination\">";
    html += page > 1 ? link(page - 1, u"J_SearchAsync prev", u"上一页") : u"<span class=\"disable\">上一页</span>";
    for (int n = 1; n <= lastPage; ++n) {
        html += n == page ? u"<span class=\"page-cur\">" + FromUtf8(std::to_string(n)) + u"</span>"
                          : link(n, u"J_SearchAsync", FromUtf8(std::to_string(n)));
    }
    html += page < lastPage ? link(page + 1, u"J_SearchAsync next", u"下一页")
                            : u"<span class=\"next disable\">下一页</span>";
    return html + u"</div>\r\n";
}

std::u16string recommendations() {
    const DemoShop& other = DemoShops().front();
    std::u16string html = u"<div class=\"comboHd\"><h4>本店内推荐</h4></div>\r\n<div class=\"item4line1\">\r\n";
    for (int n = 1; n <= kRecommendedItems; ++n) {
        html += shopItemHtml(DemoShopItemId(other, n), DemoShopItemTitle(other, n), static_cast<std::uint64_t>(n));
    }
    return html + u"</div>\r\n";
}

/// Today's marketplace serves its pages over https only: a plain request is sent there. True when it was.
bool sentToHttps(const httplib::Request& request, httplib::Response& response) {
    if (request.ssl != nullptr) {
        return false;
    }
    response.set_redirect("https://" + RequestHost(request) + request.target, 301);
    response.set_content("<html><body>301 Moved Permanently</body></html>", "text/html; charset=utf-8");
    return true;
}

/// The shop whose gateway item list a request's data asks for (its shopId); none for any other.
const DemoShop* gatewayShopOf(const Json& data) {
    const std::string shopId = data.is_object() && data.contains("shopId") ? data["shopId"].dump() : "";
    for (const DemoShop& shop : DemoShops()) {
        if (shop.gateway && (shopId == DemoGatewayShopId(shop) || shopId == "\"" + DemoGatewayShopId(shop) + "\"")) {
            return &shop;
        }
    }
    return nullptr;
}

/// The checks every endpoint of the gateway makes, in its order: its host, https, the token cookie (a new one set
/// when the request has none this server issued), the sign, the login. True when the request passed them; else
/// the response holds the refusal.
bool gatewayAdmits(const httplib::Request& request, httplib::Response& response, const GatewayReply& reply) {
    if (RequestHost(request) != kGatewayHost) {
        response.status = 404;
        return false;
    }
    if (sentToHttps(request, response)) {
        return false;
    }
    // The marketplace's own pages ask it from their hosts, with their cookies (fetch with credentials).
    const std::string origin = request.get_header_value("Origin");
    if (origin.starts_with("https://") && origin.ends_with(".taobao.com")) {
        response.set_header("Access-Control-Allow-Origin", origin);
        response.set_header("Access-Control-Allow-Credentials", "true");
    }
    const std::string token = validToken(request);
    if (token.empty()) {
        // A new token for the whole marketplace domain; the page's script signs its next request with it.
        const std::int64_t expires = nowMs() + kTokenLifeMs;
        response.set_header("Set-Cookie", std::string(kTokenCookie) + "=" + tokenFor(expires) + "_" +
                                              std::to_string(expires) + "; Domain=.taobao.com; Path=/; Secure");
        sendGatewayAnswer(response, reply, "FAIL_SYS_TOKEN_EMPTY::令牌为空", Json::object());
        return false;
    }
    const std::string data = param(request, "data");
    if (param(request, "sign") != md5Hex(token + "&" + param(request, "t") + "&" + kGatewayAppKey + "&" + data)) {
        sendGatewayAnswer(response, reply, "FAIL_SYS_ILLEGAL_ACCESS::非法请求", Json::object());
        return false;
    }
    if (!LoggedIn(request)) {
        sendGatewayAnswer(response, reply, "FAIL_SYS_SESSION_EXPIRED::Session过期", Json::object());
        return false;
    }
    return true;
}

void serveSearch(const httplib::Request& request, httplib::Response& response) {
    const GatewayReply reply{kSearchApi, callbackOf(request, "callback")};
    if (!gatewayAdmits(request, response, reply)) {
        return;
    }
    const auto [keyword, page] = searchOf(param(request, "data"));
    if (LowerAscii(keyword) == kTodaySliderKeyword && page == kTodaySliderPage && !PassedVerification(request)) {
        sendGatewayAnswer(response, reply, "RGV587_ERROR::SM::哎哟喂,被挤爆啦,请稍后重试",
                          Json{{"url", punishAddress()}});
        return;
    }
    const int served = LowerAscii(keyword) == kTodayStuckKeyword ? 1 : page;
    response.set_content(TodaySearchAnswer(keyword, served, reply.callback), "application/javascript; charset=utf-8");
}

/// The gateway's item list of a shop: data {shopId, sellerId, page, pageSize (at most 30), ...}; the answer's data
/// holds data[] (itemId, title, itemUrl, picUrl, price), totalCnt and hasNext.
void serveShopItems(const httplib::Request& request, httplib::Response& response) {
    const bool jsonp = param(request, "type") == "jsonp";
    const GatewayReply reply{kShopItemApi, jsonp ? callbackOf(request, "callback") : std::string(), "1.0"};
    if (!gatewayAdmits(request, response, reply)) {
        return;
    }
    const Json asked = Json::parse(param(request, "data"), nullptr, false);
    const DemoShop* shop = gatewayShopOf(asked);
    if (shop == nullptr) {
        sendGatewayAnswer(response, reply, "FAIL_BIZ_SHOP_NOT_EXIST::店铺不存在", Json::object());
        return;
    }
    const auto number = [&asked](const char* name, int fallback) {
        return asked.contains(name) && asked[name].is_number_integer() ? asked[name].get<int>() : fallback;
    };
    const int page = std::max(number("page", 1), 1);
    const int size = std::clamp(number("pageSize", kShopListItems), 1, kShopListItems);
    Json items = Json::array();
    for (int n = (page - 1) * size + 1; n <= std::min(page * size, shop->items); ++n) {
        const std::string id = ToUtf8(DemoShopItemId(*shop, n));
        Json item;
        // The id as a number or a string; every seventh item gives it only in its address.
        if (n % 7 != 0) {
            item["itemId"] = n % 2 == 0 ? Json(id) : Json(std::stoull(id));
        }
        item["title"] = ToUtf8(DemoShopItemTitle(*shop, n));
        item["itemUrl"] = "//" + ToUtf8(endpoints::kItemHost) + "/item.htm?id=" + id;
        item["picUrl"] = "//" + ToUtf8(endpoints::kPictureHost) + "/bao/uploaded/i1/" + id + ".jpg";
        item["price"] = ToUtf8(DemoPrice(static_cast<std::uint64_t>(n)));
        items.push_back(std::move(item));
    }
    sendGatewayAnswer(response, reply, "SUCCESS::调用成功",
                      Json{{"data", std::move(items)},
                           {"totalCnt", std::to_string(shop->items)},
                           {"hasNext", page * size < shop->items},
                           {"pageSize", size}});
}

void serveShopList(const httplib::Request& request, httplib::Response& response) {
    const DemoShop* shop = DemoShopByHost(RequestHost(request));
    if (shop == nullptr || !shop->today || shop->gateway) {
        response.status = 404;
        return;
    }
    if (sentToHttps(request, response)) {
        return;
    }
    const std::u16string html = TodayShopListHtml(*shop, std::max(numberOf(param(request, "pageNo"), 1), 1));
    response.set_content(callbackOf(request, "jsonp") + "(" + Json(ToUtf8(html)).dump() + ")",
                         "application/javascript; charset=utf-8");
}

} // namespace

bool IsTodayKeyword(const std::u16string& keyword) {
    const std::u16string lowered = LowerAscii(keyword);
    return lowered == kTodayKeyword || lowered == kTodaySliderKeyword || lowered == kTodayStuckKeyword;
}

void SendTodaySearchPage(const httplib::Request& request, httplib::Response& response) {
    if (sentToHttps(request, response)) {
        return;
    }
    const std::u16string keyword = request.has_param("q") ? FromUtf8(request.get_param_value("q")) : u"";
    // Today's search takes the page number; the older walk's offset s is ignored, as the marketplace ignores it.
    const int page = numberOf(param(request, "page"), 1);
    const std::string settings = "{q: " + scriptLiteral(keyword) + ", page: " + std::to_string(std::max(page, 1)) +
                                 ", gateway: '" + kGatewayHost + "', path: '" + kSearchEndpointPath + "', appKey: '" +
                                 kGatewayAppKey + "', api: '" + kSearchApi + "', login: 'https://" +
                                 ToUtf8(endpoints::kLoginHost) + "/member/login.jhtml?redirectURL='}";
    const std::string body = "<div class=\"SearchBox\"><input name=\"q\" value=\"" + ToUtf8(EscapeHtml(keyword)) +
                             "\"></div>\n<div id=\"content_items_wrapper\"><div class=\"loading\">加载中…</div></div>";
    response.set_content(scriptPage(keyword + u"_淘宝搜索", body, settings, std::string(kMd5Script) + kSearchScript),
                         "text/html; charset=utf-8");
}

void SendTodayShopPage(const httplib::Request& request, const DemoShop& shop, int page, httplib::Response& response) {
    if (sentToHttps(request, response)) {
        return;
    }
    const std::string header = "<div class=\"shop-header\">" + ToUtf8(EscapeHtml(shop.name)) + "</div>\n";
    const std::u16string title = shop.name + u" - 淘宝网";
    if (shop.gateway) {
        const std::string settings =
            "{page: " + std::to_string(std::max(page, 1)) + ", host: '" + shop.host +
            "', shopId: " + DemoGatewayShopId(shop) + ", sellerId: " + DemoGatewayShopId(shop) + "7, gateway: '" +
            kGatewayHost + "', path: '" + kShopItemEndpointPath + "', appKey: '" + kGatewayAppKey + "', api: '" +
            kShopItemApi + "', login: 'https://" + ToUtf8(endpoints::kLoginHost) + "/member/login.jhtml?redirectURL='}";
        const std::string body = header + "<div id=\"shop-items\" class=\"shopItems--Zr4pQ\">正在加载宝贝…</div>";
        response.set_content(scriptPage(title, body, settings, std::string(kMd5Script) + kGatewayShopScript),
                             "text/html; charset=utf-8");
        return;
    }
    const std::string settings = "{page: " + std::to_string(std::max(page, 1)) + ", widget: '100001'}";
    const std::string body = header + "<div id=\"J_ShopSearchResult\" class=\"J_TModule\">正在加载宝贝…</div>";
    response.set_content(scriptPage(title, body, settings, kShopScript), "text/html; charset=utf-8");
}

std::string DemoGatewayShopId(const DemoShop& shop) {
    return std::to_string(shop.firstId / 1000);
}

std::string TodaySearchAnswer(const std::u16string& keyword, int page, const std::string& callback) {
    Json items = Json::array();
    const int first = (page - 1) * kTodayPageItems;
    for (int place = 1; place <= kTodayPageItems && first + place <= kTodayResults; ++place) {
        items.push_back(itemJson(keyword, page, place));
        // Cards that are no results stand among them and take no place: a brand zone, related searches.
        if (place == 4 || place == 30) {
            items.push_back(Json{
                {"customCardType", place == 4 ? "brandZone" : "relatedSearch"}, {"nid", "1"}, {"title", "相关搜索"}});
        }
    }
    // Every other page nests its list one level deeper.
    Json data = Json{{"itemsArray", std::move(items)}};
    if (page % 2 == 0) {
        data = Json{{"data", std::move(data)}};
    }
    return gatewayAnswer(GatewayReply{kSearchApi, callback}, "SUCCESS::调用成功", std::move(data));
}

std::u16string TodayShopListHtml(const DemoShop& shop, int page) {
    const int lastPage = (shop.items + kShopListItems - 1) / kShopListItems;
    std::u16string html = u"\r\n<div class=\"J_TItems\">\r\n";
    if (page > lastPage) {
        return html + u"<div class=\"no-result-new\"><p>很抱歉，搜索到 0 个宝贝</p></div>\r\n</div>\r\n" +
               recommendations();
    }
    html += u"<div class=\"item4line1\">\r\n";
    for (int n = (page - 1) * kShopListItems + 1; n <= std::min(page * kShopListItems, shop.items); ++n) {
        html += shopItemHtml(DemoShopItemId(shop, n), DemoShopItemTitle(shop, n), static_cast<std::uint64_t>(n));
    }
    html += u"</div>\r\n";
    // The recommendations stand after the list: before the pagination on the last page, after it on the others.
    return page == lastPage ? html + recommendations() + pagination(shop, page, lastPage) + u"</div>\r\n"
                            : html + pagination(shop, page, lastPage) + u"</div>\r\n" + recommendations();
}

void RegisterTodayPages(httplib::Server& server) {
    ServePath(server, ReplaceAll(std::string(kSearchEndpointPath), ".", "\\.") + "?", serveSearch);
    ServePath(server, ReplaceAll(std::string(kShopItemEndpointPath), ".", "\\.") + "?", serveShopItems);
    ServePath(server, "/i/asynSearch\\.htm", serveShopList);
    // A today's shop lists its items on its category pages the same way.
    ServePath(server, "/category\\.htm", [](const httplib::Request& request, httplib::Response& response) {
        const DemoShop* shop = DemoShopByHost(RequestHost(request));
        if (shop == nullptr || !shop->today) {
            response.status = 404;
            return;
        }
        SendTodayShopPage(request, *shop, std::max(numberOf(param(request, "pageNo"), 1), 1), response);
    });
}

} // namespace tarvisk::demo
