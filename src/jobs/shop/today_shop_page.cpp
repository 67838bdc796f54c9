#include "jobs/shop/today_shop_page.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "jobs/mtop_answer.h"
#include "text/html.h"
#include "text/numbers.h"
#include "text/regex.h"
#include "text/script_text.h"
#include "text/text_ops.h"

namespace tarvisk {

namespace {

// The largest page number read from a link; a list never has more pages.
constexpr int kLargestPage = 100000;

/// The digits of the query field `name` of an address ("pageNo", "id"); empty when it has none, or when they are
/// not 1 to `most` digits.
std::u16string queryDigits(const std::u16string& address, std::u16string_view name, int most) {
    const std::u16string pattern = u"[?&]" + std::u16string(name) + u"=\\d{1," + NumberText(most) + u"}(?=[&#]|$)";
    const std::vector<RegexHit> hits = RegexMatches(address, pattern, 1);
    return hits.empty() ? std::u16string() : hits.front().value.substr(name.size() + 2);
}

/// The page number a link asks for, 0 when it names none.
int pageNumberOf(const std::u16string& address) {
    return static_cast<int>(std::min(LeadingNumber(queryDigits(address, u"pageNo", 6)), double{kLargestPage}));
}

/// The id in an item page address: its query field id.
std::u16string itemIdOf(const std::u16string& address) {
    return queryDigits(address, u"id", 20);
}

bool isDigits(std::u16string_view text) {
    return !text.empty() && std::ranges::all_of(text, [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

/// The start tag of the first element of class `className`; not found when there is none.
HtmlTag firstOfClass(std::u16string_view html, std::u16string_view className) {
    std::size_t open = std::u16string_view::npos; // the last "<" before the occurrence under way
    std::size_t scanned = 0;                      // how far "<" has been looked for
    std::size_t checked = std::u16string_view::npos;
    for (std::size_t at = FindText(html, className); at != std::u16string_view::npos;
         at = FindText(html, className, at + 1)) {
        if (const std::size_t found = html.substr(scanned, at - scanned).rfind(u'<');
            found != std::u16string_view::npos) {
            open = scanned + found;
        }
        scanned = at;
        // Each tag is looked at once, however often the name occurs in it.
        if (open == std::u16string_view::npos || open == checked) {
            continue;
        }
        checked = open;
        const std::size_t nameEnd = html.find_first_of(u" \t\r\n/>", open + 1);
        if (nameEnd == std::u16string_view::npos || nameEnd == open + 1) {
            continue;
        }
        const HtmlTag tag = FindHtmlTag(html, html.substr(open + 1, nameEnd - open - 1), open);
        if (tag.offset == open && at < open + tag.text.size() && HtmlHasClass(tag.text, className)) {
            return tag;
        }
    }
    return {};
}

/// The next page a pagination offers: its link whose class names "next" (J_SearchAsync next, ui-page-next).
void readNextPage(std::u16string_view pagination, TodayShopList& list) {
    for (HtmlTag link = FindHtmlTag(pagination, u"a"); link.found();
         link = FindHtmlTag(pagination, u"a", link.offset + link.text.size())) {
        const std::optional<std::u16string> classes = HtmlAttribute(link.text, u"class");
        if (!classes || LowerAscii(*classes).find(u"next") == std::u16string::npos) {
            continue;
        }
        std::u16string address = HtmlAttribute(link.text, u"href").value_or(std::u16string());
        if (const int page = pageNumberOf(address); page > 0) {
            list.nextPage = page;
            list.nextAddress = address.starts_with(u"//") ? u"https:" + address : std::move(address);
            return;
        }
    }
}

/// The item that `item` (from its start tag `tag` on) describes.
ShopItem listedItem(std::u16string_view item, std::u16string_view tag) {
    ShopItem listed;
    const HtmlTag name = [&] {
        for (HtmlTag link = FindHtmlTag(item, u"a"); link.found();
             link = FindHtmlTag(item, u"a", link.offset + link.text.size())) {
            if (HtmlHasClass(link.text, u"item-name")) {
                return link;
            }
        }
        return HtmlTag{};
    }();
    if (name.found()) {
        const std::u16string_view rest = item.substr(name.offset + name.text.size());
        listed.title = HtmlText(rest.substr(0, std::min(FindText(rest, u"</a"), rest.size())));
    }
    listed.id = HtmlAttribute(tag, u"data-id").value_or(std::u16string());
    if (!isDigits(listed.id) && name.found()) {
        listed.id = itemIdOf(HtmlAttribute(name.text, u"href").value_or(std::u16string()));
    }
    return listed;
}

/// Whether an answer's address is that of the list endpoint or of the gateway's item list.
bool addressHolds(const DataAnswer& answer, std::u16string_view part) {
    return answer.address.find(part) != std::u16string::npos;
}

} // namespace

TodayShopList ReadShopListHtml(std::u16string_view html) {
    TodayShopList list;
    const HtmlTag pagination = firstOfClass(html, u"pagination");
    const std::size_t end = std::min({pagination.offset, FindText(html, kShopRecommendations), html.size()});
    const std::u16string_view own = html.substr(0, end);
    std::size_t closeAt = 0; // the next "</dl" at or after the item under way, found once for all items before it
    for (HtmlTag tag = FindHtmlTag(own, u"dl"); tag.found();) {
        const std::size_t start = tag.offset + tag.text.size();
        const HtmlTag next = FindHtmlTag(own, u"dl", start);
        if (HtmlHasClass(tag.text, u"item")) {
            if (closeAt < start) {
                closeAt = std::min(FindText(own, u"</dl", start), own.size());
            }
            // Items do not nest: one ends at its end tag, or where the next one starts.
            const std::size_t itemEnd = std::min(closeAt, next.found() ? next.offset : own.size());
            ShopItem item = listedItem(own.substr(tag.offset, itemEnd - tag.offset), tag.text);
            if (isDigits(item.id)) {
                list.items.push_back(std::move(item));
            }
        }
        tag = next;
    }
    if (pagination.found()) {
        readNextPage(HtmlElementContent(html, pagination), list);
    }
    return list;
}

std::optional<TodayShopList> ReadShopListAnswer(std::u16string_view answer) {
    const std::optional<std::u16string_view> argument = JsonpArgument(answer);
    std::optional<std::u16string> html;
    if (argument) {
        html = DecodeScriptString(*argument);
    }
    if (!html) {
        html = std::u16string(answer);
    }
    TodayShopList list = ReadShopListHtml(*html);
    const bool isList = !list.items.empty() || firstOfClass(*html, u"pagination").found() ||
                        FindText(*html, kShopEndNotice) != std::u16string::npos;
    return isList ? std::optional(std::move(list)) : std::nullopt;
}

std::optional<TodayShopList> ReadShopItemAnswer(std::u16string_view answer) {
    const std::optional<MtopAnswer> read = ReadMtopAnswer(answer);
    if (!read) {
        return std::nullopt;
    }
    TodayShopList list;
    list.kind = read->status.kind;
    list.verifyAddress = read->status.verifyAddress;
    if (list.kind != PageKind::Normal) {
        return list;
    }
    const nlohmann::json& entries = JsonMember(JsonMember(read->json, "data"), "data");
    if (!entries.is_array()) {
        return std::nullopt;
    }
    for (const nlohmann::json& entry : entries) {
        ShopItem item{JsonText(JsonMember(entry, "itemId")), JsonText(JsonMember(entry, "title"))};
        if (!isDigits(item.id)) {
            item.id = itemIdOf(JsonText(JsonMember(entry, "itemUrl")));
        }
        if (isDigits(item.id)) {
            list.items.push_back(std::move(item));
        }
    }
    return list;
}

ShopPageRead ReadShopPage(const FetchedPage& page) {
    for (const DataAnswer& answer : page.answers) {
        if (addressHolds(answer, kShopListPath)) {
            if (std::optional<TodayShopList> list = ReadShopListAnswer(answer.text)) {
                return {ShopReader::ListAnswer, PageKind::Normal, std::move(*list), 0};
            }
        }
    }
    std::optional<TodayShopList> refused;
    for (const DataAnswer& answer : page.answers) {
        if (!addressHolds(answer, kShopItemApi)) {
            continue;
        }
        std::optional<TodayShopList> list = ReadShopItemAnswer(answer.text);
        if (list && list->kind == PageKind::Normal) {
            // The gateway's list says nothing of pages: the rendered page's pagination does.
            const TodayShopList rendered = ReadShopListHtml(page.text);
            list->nextPage = rendered.nextPage;
            list->nextAddress = rendered.nextAddress;
            return {ShopReader::ItemAnswer, PageKind::Normal, std::move(*list), 0};
        }
        if (list && !refused) {
            refused = std::move(list);
        }
    }
    if (refused) {
        return {ShopReader::ItemAnswer, refused->kind, std::move(*refused), 0};
    }
    const bool listing = std::ranges::any_of(
        kShopTexts, [&page](std::u16string_view text) { return FindText(page.text, text) != std::u16string::npos; });
    if (!listing) {
        return {};
    }
    ShopPageRead read{ShopReader::Listing, PageKind::Normal, {}, 0};
    read.list.items = ParseShopPage(page.text, &read.linkCount);
    return read;
}

ShopPageRead JudgeShopPage(const FetchedPage& page) {
    if (const PageKind kind = ClassifyPage(page, kShopTexts);
        kind != PageKind::Normal && kind != PageKind::Unrecognised) {
        ShopPageRead refused;
        refused.kind = kind;
        return refused;
    }
    ShopPageRead read = ReadShopPage(page);
    if (read.reader == ShopReader::None) {
        read.kind = PageKind::Unrecognised;
    }
    return read;
}

bool ShopPageReadable(const FetchedPage& page) {
    return JudgeShopPage(page).kind == PageKind::Normal;
}

} // namespace tarvisk
