#include "jobs/ranking/search_page.h"

#include "text/encoding.h"
#include "text/numbers.h"
#include "text/regex.h"
#include "text/text_ops.h"

namespace tarvisk {

namespace {

constexpr char16_t kMarker[] = u"dynamic";
constexpr char16_t kIdPattern[] = u"nid\":\"(\\d{10,12})";
constexpr char16_t kPicturePattern[] = u"pic_url\":\".*?\"";
constexpr char16_t kTitlePattern[] = u"raw_title\":\".*?\"";
constexpr char16_t kSalesPattern[] = u"view_sales\":\"(\\d){1,9}";
// Lengths of the field prefixes cut off a match: nid":" pic_url":" raw_title":"
constexpr std::size_t kIdPrefix = 6;
constexpr std::size_t kPicturePrefix = 10;
constexpr std::size_t kTitlePrefix = 12;
// A sales count written with 万 ("2.0万+人付款"; in the page's JSON also "2.0\u4e07+"): the
// fraction after the digits that the sales pattern reads, then the character.
constexpr char16_t kWanPattern[] = u"^(\\.\\d{1,4})?(万|\\\\u4e07)";
constexpr std::size_t kWanLookahead = 16;

// A field match without its prefix and its closing quote; empty for a missing match.
std::u16string quotedValue(const std::u16string& match, std::size_t prefix) {
    return match.size() > prefix ? match.substr(prefix, match.size() - prefix - 1) : std::u16string();
}

// The sales count of a view_sales match: its digits, or, when the page goes on with 万, the
// count it stands for (2.0万 gives 20000, 1.5万 15000).
std::u16string salesCount(const std::u16string& pageText, const RegexHit& hit) {
    const std::u16string digits = RegexMatch(hit.value, u"(\\d){1,9}", 0);
    const std::u16string after = pageText.substr(hit.offset + hit.value.size(), kWanLookahead);
    const std::u16string wan = RegexMatch(after, kWanPattern, 1);
    return wan.empty() ? digits : SalesCount(digits + wan);
}

} // namespace

std::vector<RankingItem> ParseRankingPage(const std::u16string& pageText) {
    const std::size_t marker = FindText(pageText, kMarker);
    if (marker == std::u16string::npos) {
        return {};
    }
    const std::vector<RegexHit> ids = RegexMatches(pageText.substr(marker, kRankingCutLength), kIdPattern);
    if (ids.empty()) {
        return {};
    }
    // The k-th id goes with the k-th occurrence of each other field in the whole page text.
    const std::vector<RegexHit> pictures = RegexMatches(pageText, kPicturePattern, ids.size());
    const std::vector<RegexHit> titles = RegexMatches(pageText, kTitlePattern, ids.size());
    const std::vector<RegexHit> sales = RegexMatches(pageText, kSalesPattern, ids.size());

    std::vector<RankingItem> items(ids.size());
    for (std::size_t k = 0; k < ids.size(); ++k) {
        RankingItem& item = items[k];
        item.id = ids[k].value.substr(kIdPrefix);
        if (k < pictures.size()) {
            item.picture = quotedValue(ReplaceAll(pictures[k].value, u"\\/", u"/"), kPicturePrefix);
        }
        if (k < titles.size()) {
            item.title = UnescapeText(quotedValue(titles[k].value, kTitlePrefix));
        }
        if (k < sales.size()) {
            item.sales = salesCount(pageText, sales[k]);
        }
    }
    return items;
}

} // namespace tarvisk
