#pragma once

#include <string>

// The demo marketplace's pages as today's marketplace serves them (docs/demo-market.md): a search page that is a
// script, fetching its results as signed JSONP from the data gateway, which sets its token cookie and checks the
// sign against it, so a plain request sees a page without results; a shop whose search page fetches its list from
// /i/asynSearch.htm; a slider on a later search page that is passed in a browser.

namespace httplib {
struct Request;
struct Response;
class Server;
} // namespace httplib

namespace tarvisk::demo {

struct DemoShop;

/// The keyword whose search pages are today's: 48 results a page, 240 in all, some of them paid placements.
inline constexpr char16_t kTodayKeyword[] = u"今日好物";
/// The keyword whose page kTodaySliderPage the gateway answers with a slider until the browser has passed it.
inline constexpr char16_t kTodaySliderKeyword[] = u"今日限流";
inline constexpr int kTodaySliderPage = 2;
/// The keyword whose gateway answers page 1 whatever page is asked, as the marketplace's sometimes does.
inline constexpr char16_t kTodayStuckKeyword[] = u"今日不翻页";
inline constexpr int kTodayPageItems = 48;
inline constexpr int kTodayResults = 240;
/// The places on every page of today's results (from 1) that paid placements take.
inline constexpr int kTodayPaidPlaces[] = {1, 2, 3, 24};
/// The shop listed as today's shops are, through its search page's script.
inline constexpr char kTodayShopHost[] = "todayshop.taobao.com";
/// The shop whose search page asks the data gateway's item list (in plain JSON, through fetch) instead.
inline constexpr char kGatewayShopHost[] = "gatewayshop.taobao.com";
/// The gateway's host, its application key, the search endpoint's path and the shops' item list's path.
inline constexpr char kGatewayHost[] = "h5api.m.taobao.com";
inline constexpr char kGatewayAppKey[] = "12574478";
inline constexpr char kSearchEndpointPath[] = "/h5/mtop.relationrecommend.wirelessrecommend.recommend/2.0/";
inline constexpr char kShopItemEndpointPath[] = "/h5/mtop.taobao.shop.simple.item.fetch/1.0/";

/// True for the keywords whose search pages are today's (letter case aside).
bool IsTodayKeyword(const std::u16string& keyword);

/// Today's search page (the script page) of the keyword in `request` ("q"), for its page "page" (else the older
/// walk's offset "s", 44 a page).
void SendTodaySearchPage(const httplib::Request& request, httplib::Response& response);

/// Today's search.htm or category.htm page `page` (from 1) of `shop`: the script page that fetches its list (over
/// https only, as every today's page).
void SendTodayShopPage(const httplib::Request& request, const DemoShop& shop, int page, httplib::Response& response);

/// The shop id (and, with a 7 after it, the seller id) of a shop in the gateway form, as its page asks with them.
std::string DemoGatewayShopId(const DemoShop& shop);

/// The data gateway's search endpoint and item list, and the shops' list endpoint /i/asynSearch.htm.
void RegisterTodayPages(httplib::Server& server);

/// The gateway's answer for a page of a keyword's results, as the endpoint writes it after its checks:
/// `callback`({...}) with the results of that page.
std::string TodaySearchAnswer(const std::u16string& keyword, int page, const std::string& callback);

/// The list endpoint's HTML of page `page` of a today's shop: its items, the pagination, the recommendations.
std::u16string TodayShopListHtml(const DemoShop& shop, int page);

} // namespace tarvisk::demo
