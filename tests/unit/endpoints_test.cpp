#include "net/endpoints.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "core/utf8.h"

namespace tarvisk::endpoints {
namespace {

TEST(Endpoints, TheMarketplacesHostsAreItsTableAndItsDomains) {
    const struct {
        std::u16string_view host;
        bool marketplace;
    } cases[] = {
        {u"login.taobao.com", true},     {u"S.TAOBAO.COM", true},    {u"pics.taobaocdn.com", true},
        {u"demoshop1.taobao.com", true}, {u"login.tmall.com", true}, {u"taobao.com", true},
        {u"notice.tarvisk.com", false},  {u"faketaobao.com", false}, {u"taobao.com.example.net", false},
        {u"127.0.0.1", false},           {u".taobao.com", false},    {u"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsMarketplaceHost(c.host), c.marketplace) << ToUtf8(std::u16string(c.host));
}

TEST(Endpoints, TheLoginBrowserOpensOnlyTheMarketplacesPagesOverHttps) {
    const struct {
        std::u16string_view address;
        std::optional<std::u16string> secure;
    } cases[] = {
        {u"https://login.taobao.com/member/login.jhtml?redirectURL=x",
         u"https://login.taobao.com/member/login.jhtml?redirectURL=x"},
        {u"HTTPS://s.taobao.com:443//search/_____tmd_____/punish",
         u"HTTPS://s.taobao.com:443//search/_____tmd_____/punish"},
        {u"http://s.taobao.com//search/_____tmd_____/punish?x5step=1",
         u"https://s.taobao.com//search/_____tmd_____/punish?x5step=1"},
        {u"http://demoshop1.taobao.com:80", u"https://demoshop1.taobao.com"},
        {u"https://rate.taobao.com#a", u"https://rate.taobao.com#a"},
        // Another host, however it is dressed.
        {u"http://127.0.0.1/punish", std::nullopt},
        {u"https://rate.taobao.com.example.net/punish", std::nullopt},
        {u"https://evil.example\\@rate.taobao.com/", std::nullopt},
        {u"https://evil.example@rate.taobao.com/", std::nullopt},
        {u"https://rate.taobao.com@evil.example/", std::nullopt},
        {u"https://rate.taobao.com\\.evil.example/", std::nullopt},
        {u"https://rate.taobao.com\t.evil.example/", std::nullopt},
        {u"https://%72ate.taobao.com/", std::nullopt},
        {u" https://rate.taobao.com/", std::nullopt},
        {u"https:/rate.taobao.com/", std::nullopt},
        {u"//rate.taobao.com/", std::nullopt},
        {u"javascript:location='https://rate.taobao.com/'", std::nullopt},
        {u"ftp://rate.taobao.com/", std::nullopt},
        {u"http://rate.taobao.com:8080/", std::nullopt},
        {u"https://rate.taobao.com:/", std::nullopt},
        {u"https://notice.tarvisk.com/tb2.htm", std::nullopt},
        {u"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SecureMarketplaceAddress(c.address), c.secure) << ToUtf8(std::u16string(c.address));
        EXPECT_EQ(IsMarketplaceAddress(c.address), c.secure.has_value() || c.address.ends_with(u":8080/"))
            << ToUtf8(std::u16string(c.address));
    }
}

} // namespace
} // namespace tarvisk::endpoints
