#pragma once

#include <httplib.h>

// Pages for the tests, benchmarks and fuzz seeds, never served by the programs' own demo mode: a
// caller that wants them passes RegisterTestPages to the DemoMarket it starts.

namespace tarvisk::demo {

/// Pages that exercise the request routines: echo, cookies, redirects, slow and silent answers,
/// GBK pages, and the misbehaving answers of the reliability tests (RegisterHostileEndpoints).
void RegisterTestPages(httplib::Server& server);

/// Echo, cookies, redirects, slow and silent answers and GBK pages under /test/.
void RegisterTestEndpoints(httplib::Server& server);
/// The misbehaving answers under /test/hostile/ and the shops and keywords that misbehave after
/// their first page (hostile_endpoints.cpp says which).
void RegisterHostileEndpoints(httplib::Server& server);

} // namespace tarvisk::demo
