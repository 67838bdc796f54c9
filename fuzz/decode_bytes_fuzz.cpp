// The byte decoders over fuzzed bytes: GBK gives at most one character a byte, UTF-8 decodes a valid
// sequence exactly (it encodes back to the same bytes) and anything else with replacement characters,
// and a decode in a fuzzed charset name never fails.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "text/encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using tarvisk::fuzz::Check;
    const auto pieces = tarvisk::fuzz::Pieces(data, size, 2);
    const std::string& bytes = pieces[1].empty() ? pieces[0] : pieces[1];

    const std::u16string gbk = tarvisk::DecodeGbkBytes(bytes);
    Check(gbk.size() <= bytes.size(), "GBK gives at most one character a byte");
    Check(gbk.empty() == bytes.empty(), "only no bytes give no text");

    const std::u16string utf8 = tarvisk::DecodeUtf8Bytes(bytes);
    Check(utf8.size() <= bytes.size(), "UTF-8 gives at most one code unit a byte");
    if (utf8.find(u'\uFFFD') == std::u16string::npos)
        Check(tarvisk::ToUtf8(utf8) == bytes, "valid UTF-8 decodes exactly");

    // A charset name as a page or a header may declare it, valid or not.
    (void)tarvisk::DecodeCharsetBytes(bytes, pieces[0].substr(0, 32));
    return 0;
}
