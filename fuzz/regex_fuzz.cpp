// The page patterns over fuzzed text: the cached scan must equal a fresh one, the matches must be
// ordered, non-overlapping pieces of the text, and RegexMatch / RegexPosition must agree with the
// scan for every index.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "jobs/shop/shop_crawl.h"
#include "fuzz_support.h"
#include "text/regex.h"

namespace {

using tarvisk::fuzz::Check;

const std::vector<std::u16string>& ProgramPatterns() {
    static const std::vector<std::u16string> patterns = {
        tarvisk::ShopItemPattern(),
        u"\\d{9,13}",
        u"\\d{9,12}",
        u">.*?<",
        u">",
        u"<",
        u"//",
        u".com/",
        u"注册时间：.*?\\d{4}年\\d{2}月\\d{2}日",
        u"\\d{4}年\\d{2}月\\d{2}日",
        u"\\w{32}",
        u"好评率：\\d{1,3}\\.\\d{1,2}\\%",
        u"\\d{1,3}\\.\\d{1,2}",
        u"卖家信用：.*?\\d{1,9}",
        u"买家信用：.*?\\d{1,9}",
        u"\\d{1,9}",
        u"<td class=\"rateok\">.*?</td>",
        u"<td class=\"ratenormal\">.*?</td>",
        u"<td class=\"ratebad\">.*?</td>",
        u"nid\":\"(\\d{10,12})",
        u"pic_url\":\".*?\"",
        u"raw_title\":\".*?\"",
        u"view_sales\":\"(\\d){1,9}",
        u"(\\d){1,9}",
        u"[&]s[=](\\d){1,5}",
    };
    return patterns;
}

void CheckScan(const std::u16string& text, const std::u16string& pattern) {
    const std::vector<tarvisk::RegexHit> hits = tarvisk::RegexMatches(text, pattern);
    const std::vector<tarvisk::RegexHit> fresh = tarvisk::RegexScanFresh(text, pattern);
    Check(hits.size() == fresh.size(), "a cached scan finds as many matches as a fresh one");
    std::size_t end = 0;
    for (std::size_t i = 0; i < hits.size(); ++i) {
        const tarvisk::RegexHit& hit = hits[i];
        Check(hit.value == fresh[i].value && hit.offset == fresh[i].offset, "cached and fresh matches are equal");
        Check(hit.offset <= text.size() && hit.value.size() <= text.size() - hit.offset, "a match lies in the text");
        Check(text.compare(hit.offset, hit.value.size(), hit.value) == 0, "a match is the text at its offset");
        Check(i == 0 || hit.offset >= end, "matches do not overlap");
        Check(i == 0 || hit.offset > hits[i - 1].offset, "matches are in text order");
        end = hit.offset + hit.value.size();

        const int index = static_cast<int>(i) + 1;
        Check(tarvisk::RegexMatch(text, pattern, index) == hit.value, "RegexMatch gives the index-th match");
        Check(tarvisk::RegexPosition(text, pattern, index) == static_cast<int>(hit.offset) + 1,
              "RegexPosition gives the index-th match's position");
    }
    const int count = static_cast<int>(hits.size());
    Check(tarvisk::RegexMatch(text, pattern, 0) == (hits.empty() ? std::u16string() : hits.back().value),
          "index 0 gives the last match");
    Check(tarvisk::RegexMatch(text, pattern, count + 1).empty(), "an index past the last match gives empty text");
    Check(tarvisk::RegexMatch(text, pattern, -1).empty(), "a negative index gives empty text");
    Check(tarvisk::RegexPosition(text, pattern, 0) == 0, "RegexPosition of index 0 is 0");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::vector<std::u16string>& patterns = ProgramPatterns();
    const std::u16string& pattern = patterns[data[0] % patterns.size()];
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::u16string text = (data[0] & 0x80) != 0 ? tarvisk::fuzz::RawUnits(bytes) : tarvisk::fuzz::PageText(bytes);
    CheckScan(text, pattern);
    // A text changed in place (same length) must never be answered from the scan of its old content.
    if (!text.empty()) {
        text[text.size() / 2] = text[text.size() / 2] == u'1' ? u'<' : u'1';
        CheckScan(text, pattern);
    }
    return 0;
}
