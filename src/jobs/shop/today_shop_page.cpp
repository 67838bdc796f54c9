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

/// The pages the links of a list offer: every link's pageNo, in order; and the one of class "next" (J_SearchAsync
/// next, ui-page-next).
void readLinkedPages(std::u16string_view html, TodayShopList& list) {
    for (HtmlTag link = FindHtmlTag(html, u"a"); link.found();
         link = FindHtmlTag(html, u"a", link.offset + link.text.size())) {
        std::u16string address = HtmlAttribute(link.text, u"href").value_or(std::u16string());
        const int page = pageNumberOf(address);
        if (page <= 0) {
            continue;
        }
        list.linkedPages.push_back(page);
        const std::optional<std::u16string> classes = HtmlAttribute(link.text, u"class");
        if (list.nextPage == 0 && classes && LowerAscii(*classes).find(u"next") != std::u16string::npos) {
            list.nextPage = page;
            list.nextAddress = address.starts_with(u"//") ? u"https:" + address : std::move(address);
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

/// The page of a shop's list that an answer of the gateway is for (its data field's page), 0 when it names none.
int answeredPage(const DataAnswer& answer) {
    const std::u16string page = JsonText(JsonMember(MtopRequestData(answer), "page"));
    return isDigits(page) ? static_cast<int>(std::min(LeadingNumber(page), double{kLargestPage})) : 0;
}

} // namespace

TodayShopList ReadShopListHtml(std::u16string_view html) {
    TodayShopList list;
    const std::u16string_view own = html.substr(0, std::min(FindText(html, kShopRecommendations), html.size()));
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
    readLinkedPages(html, list);
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
    const bool isList =
        !list.items.empty() || !list.linkedPages.empty() || FindText(*html, kShopEndNotice) != std::u16string::npos;
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
    const nlohmann::json& data = JsonMember(read->json, "data");
    const nlohmann::json& entries = JsonMember(data, "data");
    if (!entries.is_array()) {
        return std::nullopt;
    }
    if (const nlohmann::json& hasNext = JsonMember(data, "hasNext"); hasNext.is_boolean()) {
        list.hasNext = hasNext.get<bool>();
    }
    if (const std::u16string total = JsonText(JsonMember(data, "totalCnt")); isDigits(total)) {
        list.total = static_cast<int>(std::min(LeadingNumber(total), 1e9));
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
        if (FromEndpoint(answer, kShopListPath)) {
            if (std::optional<TodayShopList> list = ReadShopListAnswer(answer.text)) {
                return {ShopReader::ListAnswer, PageKind::Normal, std::move(*list), 0};
            }
        }
    }
    const int asked = pageNumberOf(page.address);
    std::optional<TodayShopList> best;
    std::optional<TodayShopList> refused;
    for (const DataAnswer& answer : page.answers) {
        const int answered = answeredPage(answer);
        if (!FromEndpoint(answer, kShopItemApi) || (answered != 0 && asked != 0 && answered != asked)) {
            continue;
        }
        std::optional<TodayShopList> list = ReadShopItemAnswer(answer.text);
        if (list && list->kind == PageKind::Normal) {
            if (!best || list->items.size() > best->items.size()) {
                best = std::move(list);
            }
        } else if (list && !refused) {
            refused = std::move(list);
        }
    }
    if (best) {
        // A gateway that says nothing of its pages leaves them to the rendered page's links.
        if (!best->hasNext) {
            // Only the links the page draws.
            const TodayShopList rendered = ReadShopListHtml(DrawnMarkup(page.text));
            best->nextPage = rendered.nextPage;
            best->nextAddress = rendered.nextAddress;
            best->linkedPages = rendered.linkedPages;
        }
        return {ShopReader::ItemAnswer, PageKind::Normal, std::move(*best), 0};
    }
    if (refused) {
        return {ShopReader::ItemAnswer, refused->kind, std::move(*refused), 0};
    }
    // The shop's list came too large to keep: its links are no stand-in for it.
    if (std::ranges::any_of(page.droppedAnswers, [](const DataAnswer& dropped) {
            return FromEndpoint(dropped, kShopItemApi) || FromEndpoint(dropped, kShopListPath);
        })) {
        return {ShopReader::ItemAnswer, PageKind::TooLarge, {}, 0};
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
    // A page the fetch was sent off the marketplace with, or one skipped, is no shop page, whatever answers it gave.
    if (const std::optional<PageKind> unread = UnreadByFetch(page)) {
        ShopPageRead refused;
        refused.kind = *unread;
        return refused;
    }
    ShopPageRead read = ReadShopPage(page);
    // The data decides: a list of the shop's endpoints is a shop page, whatever words the page's scripts hold.
    if (read.reader != ShopReader::Listing && read.reader != ShopReader::None && read.kind == PageKind::Normal) {
        return read;
    }
    if (const PageKind kind = ClassifyPage(page, kShopTexts);
        kind != PageKind::Normal && kind != PageKind::Unrecognised) {
        ShopPageRead refused;
        refused.kind = kind;
        return refused;
    }
    if (read.reader == ShopReader::None) {
        constexpr std::u16string_view kEndpoints[] = {kShopItemApi, kShopListPath};
        read.kind = UnreadPageKind(page, kEndpoints);
    }
    return read;
}

const ShopPageRead& ShopPageOf(FetchedPage& page) {
    return JudgedOnce<ShopPageRead>(page, JudgeShopPage);
}

PageKind ClassifyShopPage(FetchedPage& page) {
    return ShopPageOf(page).kind;
}

bool ShopPageReadable(FetchedPage& page) {
    return ClassifyShopPage(page) == PageKind::Normal;
}

bool ShopAnswerCame(const FetchedPage& page) {
    const ShopPageRead read = ReadShopPage(page);
    return (read.reader == ShopReader::ListAnswer || read.reader == ShopReader::ItemAnswer) &&
           read.kind == PageKind::Normal && !read.list.items.empty();
}

} // namespace tarvisk
