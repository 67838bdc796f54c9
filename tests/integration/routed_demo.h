#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "demo/demo_market.h"
#include "demo/test_pages.h"
#include "net/browser_cookies.h"
#include "net/cookie_jar.h"
#include "net/endpoints.h"
#include "text/encoding.h"

// Request routine tests against one demo marketplace: every connection of both routines goes to
// it (https ones to its HTTPS port, whose certificate is trusted), host names stay as written,
// and each test starts with an empty cookie jar and browser cookie store.

namespace tarvisk::test {

class RoutedToDemo : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_market = std::make_unique<demo::DemoMarket>(0, demo::RegisterTestPages); }
    static void TearDownTestSuite() { s_market.reset(); }

    void SetUp() override {
        endpoints::SetRoute(s_market->hostPort(), "127.0.0.1:" + std::to_string(s_market->httpsPort()));
        endpoints::SetTrustedCertificate(s_market->certificatePem());
        CookieJar::instance().clear();
        BrowserCookies::instance().clear();
    }
    void TearDown() override {
        endpoints::SetRoute({});
        endpoints::SetTrustedCertificate({});
        CookieJar::instance().clear();
        BrowserCookies::instance().clear();
    }

    static inline std::unique_ptr<demo::DemoMarket> s_market;
};

/// The values of the lines of an echo answer that read "`key`: value", in order.
inline std::vector<std::string> EchoValues(const std::u16string& echo, const std::string& key) {
    const std::string text = ToUtf8(echo);
    const std::string prefix = key + ": ";
    std::vector<std::string> values;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        if (line.starts_with("body: "))
            break;
        if (line.starts_with(prefix))
            values.push_back(line.substr(prefix.size()));
        start = end + 1;
    }
    return values;
}

/// The request body an echo answer shows.
inline std::string EchoBody(const std::u16string& echo) {
    const std::string text = ToUtf8(echo);
    const std::size_t at = text.find("\nbody: ");
    return at == std::string::npos ? std::string() : text.substr(at + 7);
}

/// The header lines an echo answer shows whose name is `name` (any letter case), as "Name: value".
inline std::vector<std::string> EchoHeaders(const std::u16string& echo, const std::string& name) {
    std::vector<std::string> found;
    for (const std::string& line : EchoValues(echo, "header")) {
        const std::string lineName = line.substr(0, line.find(':'));
        if (lineName.size() == name.size() &&
            std::equal(lineName.begin(), lineName.end(), name.begin(),
                       [](char a, char b) { return std::tolower(a) == std::tolower(b); }))
            found.push_back(line);
    }
    return found;
}

} // namespace tarvisk::test
