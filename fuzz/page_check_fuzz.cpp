// The page classifier and the address rules over fuzzed pages and addresses. Input: the address the answer came
// from, the page text and two texts the job knows its page by, NUL between them. An answer from the login host is
// a login page; without an address, a blank page is empty and a page is the job's own exactly when it holds one of
// its texts; a host is read lower-cased and whole; and an address the login browser would open is an https address
// of a marketplace host, by the classifier's reading of the host as well.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "jobs/page_check.h"
#include "net/endpoints.h"
#include "text/text_ops.h"

namespace {

using tarvisk::fuzz::Check;
namespace endpoints = tarvisk::endpoints;

void CheckLoginBrowserAddress(const std::u16string& address) {
    const std::u16string host = tarvisk::AddressHost(address);
    if (endpoints::IsMarketplaceAddress(address))
        Check(endpoints::IsMarketplaceHost(host), "a marketplace address names a marketplace host");
    const std::optional<std::u16string> secure = endpoints::SecureMarketplaceAddress(address);
    if (!secure)
        return;
    Check(tarvisk::EqualsIgnoringCase(secure->substr(0, 8), u"https://"), "the login browser opens https only");
    Check(endpoints::SecureMarketplaceAddress(*secure) == secure, "an address to open is opened as it is");
    Check(tarvisk::AddressHost(*secure) == host && endpoints::IsMarketplaceHost(host),
          "the classifier reads the same marketplace host in an address to open");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto pieces = tarvisk::fuzz::Pieces(data, size, 4);
    const tarvisk::FetchedPage page(tarvisk::fuzz::PageText(pieces[1]), tarvisk::fuzz::PageText(pieces[0]));
    std::vector<std::u16string> ownTexts;
    for (const std::string& own : {pieces[2], pieces[3]}) {
        if (!own.empty())
            ownTexts.push_back(tarvisk::fuzz::PageText(own));
    }
    const std::vector<std::u16string_view> own(ownTexts.begin(), ownTexts.end());

    const tarvisk::PageKind kind = tarvisk::ClassifyPage(page, own);
    Check(kind == tarvisk::ClassifyPage(page, own), "a page is classified the same every time");
    const std::u16string host = tarvisk::AddressHost(page.address);
    Check(host == tarvisk::LowerAscii(host), "a host is read lower-cased");
    Check(host.find_first_of(u"/?#@") == std::u16string::npos, "a host is read without path, query, user or port");
    if (tarvisk::EqualsIgnoringCase(host, endpoints::kLoginHost))
        Check(kind == tarvisk::PageKind::Login, "an answer from the login host is a login page");
    if (page.address.empty()) {
        const bool blank = page.text.find_first_not_of(u" \t\r\n") == std::u16string::npos;
        const bool holdsOwn = std::any_of(own.begin(), own.end(), [&page](std::u16string_view text) {
            return page.text.find(text) != std::u16string::npos;
        });
        if (blank)
            Check(kind == tarvisk::PageKind::Empty, "a blank page is empty");
        else if (kind != tarvisk::PageKind::Empty)
            Check((kind == tarvisk::PageKind::Normal) == holdsOwn, "a page is the job's own when it holds its text");
    }
    CheckLoginBrowserAddress(page.address);
    return 0;
}
