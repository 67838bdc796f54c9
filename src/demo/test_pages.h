#pragma once

#include <httplib.h>

// Pages for the tests, benchmarks and fuzz seeds, never served by the programs' own demo mode: a
// caller that wants them passes RegisterTestPages to the DemoMarket it starts.

namespace tarvisk::demo {

/// Pages that exercise the request routines: echo, cookies, redirects, slow and silent answers,
/// GBK pages, the misbehaving answers of the reliability tests (RegisterHostileEndpoints), and
/// the shops and keywords that misbehave or refuse a page on purpose.
void RegisterTestPages(httplib::Server& server);

/// Echo, cookies, redirects, slow and silent answers and GBK pages under /test/.
void RegisterTestEndpoints(httplib::Server& server);
/// The misbehaving answers under /test/hostile/.
void RegisterHostileEndpoints(httplib::Server& server);

/// The shops and keywords that misbehave after their first page (hostile_endpoints.cpp says
/// which), answered before routing; Unhandled for every other request.
httplib::Server::HandlerResponse RouteHostileJobs(const httplib::Server& server, const httplib::Request& request,
                                                  httplib::Response& response);
/// The shops and keywords with a page the marketplace refuses (refusal_endpoints.cpp says which),
/// answered before routing; Unhandled for every other request.
httplib::Server::HandlerResponse RouteRefusedPages(const httplib::Request& request, httplib::Response& response);

} // namespace tarvisk::demo
