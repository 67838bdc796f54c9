#include "jobs/ranking/today_search_page.h"

#include <algorithm>
#include <unordered_map>

#include <nlohmann/json.hpp>

#include "jobs/mtop_answer.h"
#include "jobs/ranking/ranking_search.h"
#include "net/endpoints.h"
#include "text/encoding.h"
#include "text/html.h"
#include "text/numbers.h"
#include "text/regex.h"
#include "text/text_ops.h"

namespace tarvisk {

namespace {

// The label a paid placement's card carries.
constexpr std::u16string_view kPaidLabel = u"广告";

// An item page address on the marketplace's item hosts, up to its id: //item.taobao.com/item.htm?id=1,
// https://detail.tmall.com/item.htm?spm=a.b&id=2.
constexpr char16_t kItemAddressPattern[] =
    u"^(?:https?:)?//(?:[a-z0-9-]+\\.)*(?:item\\.taobao\\.com|detail\\.tmall\\.com|detail\\.tmall\\.hk)/item\\.htm\\?"
    u"(?:[^#]*&)?id=\\d+";
// The sales a card shows: "2.3万+人付款", "600+人收货".
constexpr char16_t kCardSalesPattern[] = u"\\d+(?:\\.\\d+)?(?:万)?\\+?人(?:付款|收货)";

bool isDigits(std::u16string_view text) {
    return !text.empty() && std::ranges::all_of(text, [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

/// An address as a page writes it, with "https:" in front when it has no scheme ("//img.alicdn.com/...").
std::u16string withScheme(std::u16string address) {
    return address.starts_with(u"//") ? u"https:" + address : address;
}

/// The first of `names` that the entry has as text.
std::u16string firstText(const nlohmann::json& entry, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        if (std::u16string text = JsonText(JsonMember(entry, name)); !text.empty()) {
            return text;
        }
    }
    return {};
}

/// The id of an item page address, empty when the address is none.
std::u16string itemIdOf(const std::u16string& address) {
    const std::vector<RegexHit> hits = RegexMatches(address, kItemAddressPattern, 1);
    if (hits.empty()) {
        return {};
    }
    const std::u16string& match = hits.front().value;
    return match.substr(match.rfind(u'=') + 1);
}

/// The id of an entry: item_id, nid or nidlong, else the id= of its item page address; empty when it has none.
std::u16string entryId(const nlohmann::json& entry) {
    for (const char* name : {"item_id", "nid", "nidlong"}) {
        if (std::u16string id = JsonText(JsonMember(entry, name)); isDigits(id)) {
            return id;
        }
    }
    return itemIdOf(withScheme(firstText(entry, {"auctionURL", "auctionUrl"})));
}

std::optional<TodaySearchItem> answerItem(const nlohmann::json& entry) {
    TodaySearchItem result;
    result.item.id = entryId(entry);
    if (result.item.id.empty()) {
        return std::nullopt;
    }
    result.item.title = HtmlText(firstText(entry, {"title", "raw_title"}));
    result.item.picture = withScheme(firstText(entry, {"pic_path", "pic_url"}));
    result.item.sales = SalesCount(firstText(entry, {"realSales", "view_sales"}));
    result.price = firstText(entry, {"price", "view_price"});
    result.shop = JsonText(JsonMember(JsonMember(entry, "shopInfo"), "title"));
    if (result.shop.empty()) {
        result.shop = JsonText(JsonMember(entry, "nick"));
    }
    result.address = withScheme(firstText(entry, {"auctionURL", "auctionUrl"}));
    result.paid = JsonText(JsonMember(entry, "isP4p")) == u"true";
    return result;
}

/// True for an entry that is no result: a brand zone, related searches, a live or video card.
bool isCard(const nlohmann::json& entry) {
    return !JsonMember(entry, "customCardType").is_null();
}

/// The items array of a successful answer: data.itemsArray, or data.data.itemsArray.
const nlohmann::json& itemsArray(const nlohmann::json& answer) {
    const nlohmann::json& data = JsonMember(answer, "data");
    const nlohmann::json& items = JsonMember(data, "itemsArray");
    return items.is_array() ? items : JsonMember(JsonMember(data, "data"), "itemsArray");
}

/// The text of the first element inside a card whose class names a title ("Title--title--x", "title"); the
/// card's whole text when it has none, or when that element is empty.
std::u16string cardTitle(std::u16string_view card) {
    for (HtmlTag tag = NextHtmlTag(card); tag.found(); tag = NextHtmlTag(card, tag.offset + tag.text.size())) {
        const std::optional<std::u16string> classes = HtmlAttribute(tag.text, u"class");
        if (classes && LowerAscii(*classes).find(u"title") != std::u16string::npos) {
            std::u16string title = HtmlText(HtmlElementContent(card, tag));
            return title.empty() ? HtmlText(card) : title;
        }
    }
    return HtmlText(card);
}

std::u16string cardPicture(std::u16string_view card) {
    const HtmlTag image = FindHtmlTag(card, u"img");
    if (!image.found()) {
        return {};
    }
    std::u16string source = HtmlAttribute(image.text, u"src").value_or(std::u16string());
    // A lazily loaded picture shows a placeholder until it is scrolled to.
    if (source.empty() || source.starts_with(u"data:")) {
        source = HtmlAttribute(image.text, u"data-src").value_or(source);
    }
    return withScheme(source);
}

/// Gives `take` each piece of text between a card's tags, references read, in order, until it says it has what it
/// wants.
template <typename Take> void textPieces(std::u16string_view card, Take take) {
    for (std::size_t start = 0; start < card.size();) {
        const std::size_t open = std::min(card.find(u'<', start), card.size());
        if (take(DecodeHtmlText(card.substr(start, open - start)))) {
            return;
        }
        const std::size_t close = card.find(u'>', open);
        start = close == std::u16string_view::npos ? card.size() : close + 1;
    }
}

/// The sales count a card shows, read from one piece of text between tags: a price in the element before it must
/// not run into its digits.
std::u16string cardSales(std::u16string_view card) {
    std::u16string count;
    textPieces(card, [&count](const std::u16string& piece) {
        const std::vector<RegexHit> sales = RegexMatches(piece, kCardSalesPattern, 1);
        if (!sales.empty()) {
            count = SalesCount(sales.front().value);
        }
        return !sales.empty();
    });
    return count;
}

/// True for a card of a paid placement: one piece of its text is the label 广告 alone (a title that holds the word
/// is no label).
bool cardPaid(std::u16string_view card) {
    bool paid = false;
    textPieces(card, [&paid](const std::u16string& piece) {
        paid = TrimBlanks(piece, u" \t\r\n\u00A0") == kPaidLabel;
        return paid;
    });
    return paid;
}

/// How much a refusal weighs when several answers refused: a verification says most, then a login.
int weight(PageKind kind) {
    switch (kind) {
    case PageKind::Verification:
        return 3;
    case PageKind::Login:
        return 2;
    default:
        return 1;
    }
}

/// The keyword and the page a search asks for, as far as it names them: the address's q and page (else the older
/// walk's offset s, 44 a page); an answer's data field, {"appId":...,"params":"{\"q\":...,\"page\":N}"}.
struct SearchAsked {
    std::optional<std::u16string> keyword;
    std::optional<int> page;
};

SearchAsked askedByPage(const std::u16string& address) {
    SearchAsked asked;
    asked.keyword = QueryValue(address, u"q");
    if (const std::optional<std::u16string> page = QueryValue(address, u"page"); page && isDigits(*page)) {
        asked.page = static_cast<int>(std::min(LeadingNumber(*page), 1e6));
    } else if (const std::optional<std::u16string> offset = QueryValue(address, u"s"); offset && isDigits(*offset)) {
        asked.page = static_cast<int>(std::min(LeadingNumber(*offset), 1e8)) / kRankingItemsPerPage + 1;
    }
    return asked;
}

SearchAsked askedByAnswer(const DataAnswer& answer) {
    SearchAsked asked;
    nlohmann::json fields = MtopRequestData(answer);
    if (const nlohmann::json& params = JsonMember(fields, "params"); params.is_string()) {
        fields = nlohmann::json::parse(params.get<std::string>(), nullptr, false);
    }
    if (const nlohmann::json& keyword = JsonMember(fields, "q"); keyword.is_string()) {
        asked.keyword = JsonText(keyword);
    }
    if (const std::u16string page = JsonText(JsonMember(fields, "page")); isDigits(page)) {
        asked.page = static_cast<int>(std::min(LeadingNumber(page), 1e6));
    }
    return asked;
}

/// True when an answer may be the one for the page: what both name agrees (a keyword blank-trimmed).
bool answersPage(const SearchAsked& answer, const SearchAsked& page) {
    const auto trimmed = [](const std::u16string& text) { return TrimBlanks(text, u" \t\r\n\u3000"); };
    const bool keywordAgrees = !answer.keyword || !page.keyword || trimmed(*answer.keyword) == trimmed(*page.keyword);
    const bool pageAgrees = !answer.page || !page.page || *answer.page == *page.page;
    return keywordAgrees && pageAgrees;
}

} // namespace

std::u16string TodaySearchAddress(const std::u16string& walkUrl) {
    const SearchAsked asked = askedByPage(walkUrl);
    return u"https://" + std::u16string(endpoints::kSearchHost) + u"/search?q=" +
           UrlEncodeUtf8(asked.keyword.value_or(std::u16string())) + u"&page=" + NumberText(asked.page.value_or(1)) +
           u"&tab=all";
}

std::optional<TodaySearchAnswer> ReadTodaySearchAnswer(std::u16string_view answer) {
    const std::optional<MtopAnswer> read = ReadMtopAnswer(answer);
    if (!read) {
        return std::nullopt;
    }
    TodaySearchAnswer result{read->status.kind, read->status.verifyAddress, {}};
    if (result.kind != PageKind::Normal) {
        return result;
    }
    const nlohmann::json& items = itemsArray(read->json);
    if (!items.is_array()) {
        return std::nullopt;
    }
    int unknown = 0; // entries that are neither cards nor items the reader can tell
    for (const nlohmann::json& entry : items) {
        if (isCard(entry)) {
            continue;
        }
        if (std::optional<TodaySearchItem> item = answerItem(entry)) {
            result.items.push_back(std::move(*item));
        } else {
            ++unknown;
        }
    }
    // Entries without one item the reader knows: the answer is of a shape it cannot read, not a page without items.
    if (result.items.empty() && unknown > 0) {
        result.kind = PageKind::Unrecognised;
    }
    return result;
}

std::vector<TodaySearchItem> ReadRenderedSearchPage(std::u16string_view page) {
    // Only what the page draws: a link in a script's template, a comment or a <template> is no result.
    const std::u16string drawn = DrawnMarkup(page);
    const std::u16string_view html = drawn;
    std::vector<TodaySearchItem> items;
    std::unordered_map<std::u16string, std::size_t> placeOf;
    std::size_t closeAt = 0; // the next "</a" at or after the link under way, found once for all links before it
    for (HtmlTag link = FindHtmlTag(html, u"a"); link.found();) {
        const std::size_t start = link.offset + link.text.size();
        const HtmlTag next = FindHtmlTag(html, u"a", start);
        if (closeAt < start) {
            closeAt = std::min(FindText(html, u"</a", start), html.size());
        }
        // Links do not nest: a card ends at its end tag, or where the next link starts.
        const std::size_t end = std::min(closeAt, next.found() ? next.offset : html.size());
        const std::u16string address = HtmlAttribute(link.text, u"href").value_or(std::u16string());
        if (const std::u16string id = itemIdOf(address); !id.empty()) {
            const std::u16string_view card = html.substr(start, end - start);
            const auto [place, first] = placeOf.try_emplace(id, items.size());
            if (first) {
                items.push_back({{id, {}, {}, {}}, {}, {}, withScheme(address), false});
            }
            // A card may link its item twice (picture and title): each field from the first link that shows it.
            RankingItem& item = items[place->second].item;
            if (item.title.empty()) {
                item.title = cardTitle(card);
            }
            if (item.picture.empty()) {
                item.picture = cardPicture(card);
            }
            if (item.sales.empty()) {
                item.sales = cardSales(card);
            }
            TodaySearchItem& listed = items[place->second];
            listed.paid = listed.paid || cardPaid(card);
        }
        link = next;
    }
    return items;
}

SearchPageRead ReadSearchPage(const FetchedPage& page) {
    SearchPageRead read;
    std::optional<TodaySearchAnswer> best;
    std::optional<TodaySearchAnswer> refusal;
    const SearchAsked asked = askedByPage(page.address);
    for (const DataAnswer& answer : page.answers) {
        if (!FromEndpoint(answer, kTodaySearchApi) || !answersPage(askedByAnswer(answer), asked)) {
            continue;
        }
        std::optional<TodaySearchAnswer> content = ReadTodaySearchAnswer(answer.text);
        if (!content) {
            continue;
        }
        // Of the answers for this page, the one that lists its results: not an empty first answer, nor another
        // widget's short list.
        if (content->kind == PageKind::Normal) {
            if (!best || content->items.size() > best->items.size()) {
                best = std::move(content);
            }
        } else if (!refusal || weight(content->kind) > weight(refusal->kind)) {
            refusal = std::move(content);
        }
    }
    if (best) {
        return {SearchReader::Answer, PageKind::Normal, {}, std::move(best->items)};
    }
    if (refusal) {
        return {SearchReader::Answer, refusal->kind, refusal->verifyAddress, {}};
    }
    // The page's answer came too large to keep: its drawn cards are no stand-in for it.
    if (std::ranges::any_of(page.droppedAnswers, [&asked](const DataAnswer& dropped) {
            return FromEndpoint(dropped, kTodaySearchApi) && answersPage(askedByAnswer(dropped), asked);
        })) {
        return {SearchReader::Answer, PageKind::TooLarge, {}, {}};
    }
    if (std::vector<RankingItem> listed = ParseRankingPage(page.text); !listed.empty()) {
        read = {SearchReader::Listing, PageKind::Normal, {}, {}};
        for (RankingItem& item : listed) {
            read.items.push_back({std::move(item), {}, {}, {}, false});
        }
        return read;
    }
    if (std::vector<TodaySearchItem> cards = ReadRenderedSearchPage(page.text); !cards.empty()) {
        return {SearchReader::Cards, PageKind::Normal, {}, std::move(cards)};
    }
    // Today's page names its endpoint in its scripts; without its data it lists nothing, whatever else it holds.
    const bool listing = FindText(page.text, kTodaySearchApi) == std::u16string::npos &&
                         std::ranges::any_of(kRankingTexts, [&page](std::u16string_view text) {
                             return FindText(page.text, text) != std::u16string::npos;
                         });
    if (listing) {
        return {SearchReader::Listing, PageKind::Normal, {}, {}};
    }
    return read;
}

SearchPageRead JudgeSearchPage(const FetchedPage& page) {
    // A page the fetch was sent off the marketplace with, or one skipped, is no result page, whatever answers it gave.
    if (const std::optional<PageKind> unread = UnreadByFetch(page)) {
        return {SearchReader::None, *unread, {}, {}};
    }
    SearchPageRead read = ReadSearchPage(page);
    // The data decides: a listing of the endpoint is a result page, whatever words the page's scripts hold.
    if (read.reader == SearchReader::Answer && read.kind == PageKind::Normal) {
        return read;
    }
    if (const PageKind kind = ClassifyPage(page, kRankingTexts);
        kind != PageKind::Normal && kind != PageKind::Unrecognised) {
        return {SearchReader::None, kind, {}, {}};
    }
    if (read.reader == SearchReader::None) {
        constexpr std::u16string_view kEndpoints[] = {kTodaySearchApi};
        read.kind = UnreadPageKind(page, kEndpoints);
    }
    return read;
}

const SearchPageRead& SearchPageOf(FetchedPage& page) {
    return JudgedOnce<SearchPageRead>(page, JudgeSearchPage);
}

PageKind ClassifySearchPage(FetchedPage& page) {
    return SearchPageOf(page).kind;
}

bool SearchPageReadable(FetchedPage& page) {
    return ClassifySearchPage(page) == PageKind::Normal;
}

bool SearchAnswerCame(const FetchedPage& page) {
    const SearchPageRead read = ReadSearchPage(page);
    return read.reader == SearchReader::Answer && read.kind == PageKind::Normal && !read.items.empty();
}

} // namespace tarvisk
