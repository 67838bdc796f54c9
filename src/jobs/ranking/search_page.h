#pragma once

#include <string>
#include <string_view>
#include <vector>

// The reader of a search result page as the walk fetches it: the item ids in the 3000 characters from the
// "dynamic" marker, each with the title, picture and sales fields of the same ordinal in the whole page.

namespace tarvisk {

/// How many characters from the "dynamic" marker hold the ids.
inline constexpr std::size_t kRankingCutLength = 3000;

/// The texts by which the walk knows a result page: the marker its ids follow, the names of the
/// fields it reads, the page's data script and the box of a search without results (a page past the
/// last result is read, and lists nothing).
inline constexpr std::u16string_view kRankingTexts[] = {
    u"dynamic", u"nid\":\"", u"raw_title\":\"", u"pic_url\":\"", u"view_sales\":\"", u"g_page_config", u"m-noresult"};

/// One result item as the page lists it.
struct RankingItem {
    std::u16string id;
    std::u16string picture; ///< with "\/" made "/"
    std::u16string title;   ///< unescaped
    std::u16string sales;   ///< digits only; a count written with 万 as its value (2.0万+ gives 20000)
    friend bool operator==(const RankingItem&, const RankingItem&) = default;
};

/// The items of one result page: the ids in the 3000 characters from the first "dynamic", each
/// paired with the title, picture and sales fields of the same ordinal in the whole page text
/// (empty where the page has fewer). A page without "dynamic" has no items.
std::vector<RankingItem> ParseRankingPage(const std::u16string& pageText);

} // namespace tarvisk
