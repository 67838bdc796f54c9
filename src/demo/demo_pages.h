#pragma once

#include <chrono>
#include <string>

#include <httplib.h>

// The demo marketplace is one server for every host: handlers tell the marketplace's hosts
// apart by the Host header, as the real servers are told apart by name.

namespace tarvisk::demo {

/// The login page, member profiles, rating pages, the member home page and the badge images.
void RegisterAccountPages(httplib::Server& server);
/// Item search result pages, shop search pages and item pictures; today's search and shop pages are theirs
/// (today_pages.h), and their endpoints are registered with RegisterTodayPages.
void RegisterMarketPages(httplib::Server& server);
/// The verification page that punish redirects lead to, on every host, and the address its button
/// posts to (demo/refusals.h).
void RegisterRefusalPages(httplib::Server& server);

/// Which request methods a page answers.
enum class Methods { GetAndPost, Every };

/// Serves `path` (a pattern) with `handler`, also when asked through a proxy with the whole address in the
/// request line ("POST http://shop.example.com/test/echo HTTP/1.1").
void ServePath(httplib::Server& server, const std::string& path, const httplib::Server::Handler& handler,
               Methods methods = Methods::GetAndPost);

/// Holds an answer back for up to `duration`, returning early (false) as soon as the demo
/// marketplace that runs `server` begins to stop, so slow and silent pages never delay a stop.
bool WaitWhileServing(const httplib::Server& server, std::chrono::milliseconds duration);

/// The host an incoming request was addressed to, without port, lower-cased.
std::string RequestHost(const httplib::Request& request);

/// True when the request carries the login cookie of this run's demo login.
bool LoggedIn(const httplib::Request& request);

/// True when one of the request's cookies is exactly `nameValue` ("name=value").
bool CarriesCookie(const httplib::Request& request, const std::string& nameValue);

} // namespace tarvisk::demo
