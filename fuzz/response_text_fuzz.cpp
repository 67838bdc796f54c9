// The response charset detection over fuzzed Content-Type headers and page heads: the declared
// charset is a lower-case name, a page that declares none is read as UTF-8, and any declaration,
// however odd, decodes without failing.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "net/response_text.h"
#include "text/encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using tarvisk::fuzz::Check;
    const auto pieces = tarvisk::fuzz::Pieces(data, size, 2);
    const std::string& contentType = pieces[0];
    const std::string& body = pieces[1];

    const std::string charset = tarvisk::DeclaredCharset(contentType, body);
    Check(std::none_of(charset.begin(), charset.end(),
                       [](char c) { return (c >= 'A' && c <= 'Z') || c == ' ' || c == '"' || c == ';' || c == '>'; }),
          "a declared charset is a lower-case name without quotes, blanks or separators");
    const std::u16string text = tarvisk::ResponseText(contentType, body);
    if (charset.empty())
        Check(text == tarvisk::DecodeUtf8Bytes(body), "a page without a declared charset is read as UTF-8");
    return 0;
}
