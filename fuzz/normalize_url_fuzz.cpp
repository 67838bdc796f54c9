// NormalizeUrl and the address libcurl is given, over fuzzed typed addresses: the caller's variable
// ends up lower-cased with forward slashes, and what goes on the request line never holds a blank,
// a control character or a byte outside ASCII.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "net/cookie_jar.h"
#include "net/curl_request.h"
#include "text/text_ops.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using tarvisk::fuzz::Check;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::u16string url = tarvisk::fuzz::PageText(bytes);
    const std::u16string typed = url;
    const std::u16string address = tarvisk::NormalizeUrl(url);

    Check(url.find(u'\\') == std::u16string::npos && address.find(u'\\') == std::u16string::npos,
          "backslashes become forward slashes");
    Check(url == tarvisk::LowerAscii(url), "the caller's variable is lower-cased");
    Check(url.size() == typed.size(), "the caller's variable keeps its length");
    Check(address.size() >= url.size(), "the address to open is never shorter than the typed one");

    const std::string line = tarvisk::net::RequestUrl(address);
    Check(std::all_of(line.begin(), line.end(), [](char c) { return c > 0x20 && c < 0x7F; }),
          "the request line holds printable ASCII only");
    return 0;
}
