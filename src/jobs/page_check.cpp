#include "jobs/page_check.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "net/xml_http.h"
#include "text/encoding.h"
#include "text/html.h"
#include "text/numbers.h"
#include "text/regex.h"
#include "text/text_ops.h"

namespace tarvisk {

namespace {

// What an empty answer may hold: white space, no-break and ideographic spaces, a byte-order mark.
constexpr std::u16string_view kBlanks = u" \t\r\n\f\v\u00A0\u3000\uFEFF";
// The HTTP statuses of an answer that is no error: a page (2xx) or a redirect the fetch did not follow (3xx), which
// the address and the text then tell apart.
constexpr int kFirstSuccess = 200;
constexpr int kFirstError = 400;

bool addressMarked(const PageMarker& marker, const std::u16string& host, const std::u16string& path) {
    switch (marker.place) {
    case MarkerPlace::Host:
        return EqualsIgnoringCase(host, marker.marker);
    case MarkerPlace::Path:
        return path.find(LowerAscii(std::u16string(marker.marker))) != std::u16string::npos;
    case MarkerPlace::Markup:
    case MarkerPlace::ShownText:
    case MarkerPlace::FormAction:
    case MarkerPlace::InputName:
        break;
    }
    return false;
}

/// True when a tag named `name` in `markup` has the attribute `attribute` as `wanted` says. Each tag is read once,
/// from where the one before it ended.
template <typename Wanted>
bool tagWith(std::u16string_view markup, std::u16string_view name, std::u16string_view attribute, Wanted wanted) {
    for (HtmlTag tag = FindHtmlTag(markup, name); tag.found();
         tag = FindHtmlTag(markup, name, tag.offset + tag.text.size())) {
        if (const std::optional<std::u16string> value = HtmlAttribute(tag.text, attribute); value && wanted(*value)) {
            return true;
        }
    }
    return false;
}

/// The drawn markup and the shown text of a page, each made once, when a marker first asks for it.
class DrawnPage {
public:
    explicit DrawnPage(const std::u16string& html) : m_html(html) {}

    bool marked(const PageMarker& marker) {
        switch (marker.place) {
        case MarkerPlace::Markup:
            return !RegexMatches(markup(), std::u16string(marker.marker), 1).empty();
        case MarkerPlace::ShownText:
            if (!m_shown) {
                m_shown = HtmlText(markup());
            }
            return !RegexMatches(*m_shown, std::u16string(marker.marker), 1).empty();
        case MarkerPlace::FormAction:
            return tagWith(markup(), u"form", u"action", [&marker](const std::u16string& action) {
                return LowerAscii(action).find(LowerAscii(std::u16string(marker.marker))) != std::u16string::npos;
            });
        case MarkerPlace::InputName:
            return tagWith(markup(), u"input", u"name",
                           [&marker](const std::u16string& name) { return name == marker.marker; });
        case MarkerPlace::Host:
        case MarkerPlace::Path:
            break;
        }
        return false;
    }

private:
    const std::u16string& markup() {
        if (!m_markup) {
            m_markup = DrawnMarkup(m_html);
        }
        return *m_markup;
    }

    const std::u16string& m_html;
    std::optional<std::u16string> m_markup;
    std::optional<std::u16string> m_shown;
};

} // namespace

std::u16string_view AddressPath(std::u16string_view address) {
    const std::size_t scheme = address.find(u"//");
    const std::size_t hostStart = scheme == std::u16string_view::npos ? 0 : scheme + 2;
    const std::size_t pathStart = address.find(u'/', hostStart);
    if (pathStart == std::u16string_view::npos) {
        return {};
    }
    const std::size_t pathEnd = address.find_first_of(u"?#", pathStart);
    return address.substr(pathStart, pathEnd == std::u16string_view::npos ? address.npos : pathEnd - pathStart);
}

std::optional<std::u16string> QueryValue(std::u16string_view address, std::u16string_view name) {
    const std::size_t query = address.find(u'?');
    if (query == std::u16string_view::npos || name.empty()) {
        return std::nullopt;
    }
    std::u16string_view rest = address.substr(query + 1);
    rest = rest.substr(0, std::min(rest.find(u'#'), rest.size()));
    for (std::size_t start = 0; start <= rest.size();) {
        const std::size_t end = std::min(rest.find(u'&', start), rest.size());
        const std::u16string_view field = rest.substr(start, end - start);
        if (field.size() >= name.size() && field.substr(0, name.size()) == name &&
            (field.size() == name.size() || field[name.size()] == u'=')) {
            return UrlDecodeUtf8(field.substr(std::min(field.size(), name.size() + 1)));
        }
        start = end + 1;
    }
    return std::nullopt;
}

bool FromEndpoint(const DataAnswer& answer, std::u16string_view endpoint) {
    return endpoints::IsMarketplaceAddress(answer.address) &&
           FindText(LowerAscii(std::u16string(AddressPath(answer.address))), LowerAscii(std::u16string(endpoint))) !=
               std::u16string::npos;
}

std::u16string AddressHost(std::u16string_view address) {
    const std::size_t scheme = address.find(u"//");
    const std::size_t start = scheme == std::u16string_view::npos ? 0 : scheme + 2;
    const std::size_t end = address.find_first_of(u"/?#", start);
    std::u16string_view host = address.substr(start, end == std::u16string_view::npos ? address.npos : end - start);
    // user:password@ in front, a port behind.
    if (const std::size_t at = host.rfind(u'@'); at != std::u16string_view::npos) {
        host.remove_prefix(at + 1);
    }
    if (const std::size_t colon = host.find(u':'); colon != std::u16string_view::npos) {
        host = host.substr(0, colon);
    }
    return LowerAscii(std::u16string(host));
}

FetchedPage DirectPageFetch(const std::u16string& url) {
    HttpAnswer answer;
    std::u16string text = XmlHttpRequest(url, {}, 0, 0, answer);
    return {std::move(text), answer};
}

std::optional<PageKind> UnreadByFetch(const FetchedPage& page) {
    if (page.sentOff) {
        return PageKind::Foreign;
    }
    if (page.skipped) {
        return PageKind::SkippedByUser;
    }
    return std::nullopt;
}

PageKind ClassifyPage(const FetchedPage& page, OwnTexts ownTexts) {
    if (const std::optional<PageKind> unread = UnreadByFetch(page)) {
        return *unread;
    }
    if (!page.address.empty()) {
        const std::u16string host = AddressHost(page.address);
        const std::u16string path = LowerAscii(std::u16string(AddressPath(page.address)));
        for (const PageMarker& marker : kPageMarkers) {
            if (addressMarked(marker, host, path)) {
                return marker.kind;
            }
        }
    }
    // A server that is busy or failing answers with a page of its own, whatever it holds.
    if (page.status != 0 && (page.status < kFirstSuccess || page.status >= kFirstError)) {
        return PageKind::ErrorStatus;
    }
    if (page.text.find_first_not_of(kBlanks) == std::u16string::npos) {
        return PageKind::Empty;
    }
    const bool own = std::ranges::any_of(
        ownTexts, [&page](std::u16string_view text) { return page.text.find(text) != std::u16string::npos; });
    if (own) {
        return PageKind::Normal;
    }
    DrawnPage drawn(page.text);
    for (const PageMarker& marker : kPageMarkers) {
        if (drawn.marked(marker)) {
            return marker.kind;
        }
    }
    return PageKind::Unrecognised;
}

const char* PageKindName(PageKind kind) {
    switch (kind) {
    case PageKind::Normal:
        return "normal";
    case PageKind::Empty:
        return "empty";
    case PageKind::Login:
        return "login";
    case PageKind::Verification:
        return "verification";
    case PageKind::ErrorStatus:
        return "error";
    case PageKind::Repeated:
        return "repeated";
    case PageKind::Skipped:
        return "skipped";
    case PageKind::Foreign:
        return "foreign";
    case PageKind::TooLarge:
        return "too-large";
    case PageKind::SkippedByUser:
        return "skipped-by-user";
    case PageKind::BrowserOnly:
        return "browser-only";
    case PageKind::Unrecognised:
        break;
    }
    return "unrecognised";
}

std::u16string PageKindReason(PageKind kind) {
    switch (kind) {
    case PageKind::Normal:
        return {};
    case PageKind::Empty:
        return u"淘宝返回了空白页";
    case PageKind::Login:
        return u"淘宝要求登录";
    case PageKind::Verification:
        return u"淘宝要求安全验证（滑块或访问受限）";
    case PageKind::ErrorStatus:
        return u"淘宝的服务器出错或繁忙，返回了错误页";
    case PageKind::Repeated:
        return u"和前面的页相同：淘宝没有翻页";
    case PageKind::Skipped:
        return u"淘宝的列表跳过了这一页";
    case PageKind::Foreign:
        return u"页面被转到了淘宝以外的网站";
    case PageKind::TooLarge:
        return u"淘宝给这一页的数据超过了程序读取的上限，没有读取";
    case PageKind::SkippedByUser:
        return u"跳过了淘宝要求的登录或验证";
    case PageKind::BrowserOnly:
        return u"页面的结果由它自己的脚本加载，只有通过浏览器才能读到";
    case PageKind::Unrecognised:
        break;
    }
    return u"页面内容无法识别，淘宝的页面可能已改版";
}

std::u16string PageKindAdvice(PageKind kind) {
    switch (kind) {
    case PageKind::Login:
        return u"请先登录淘宝，再重新查询。";
    case PageKind::Verification:
        return u"请先在浏览器中通过验证，再重新查询。";
    case PageKind::BrowserOnly:
        return u"请把读取方式改为“通过浏览器”，再重新查询。";
    case PageKind::Normal:
    case PageKind::Empty:
    case PageKind::Unrecognised:
    case PageKind::ErrorStatus:
    case PageKind::Repeated:
    case PageKind::Skipped:
    case PageKind::Foreign:
    case PageKind::TooLarge:
    case PageKind::SkippedByUser:
        break;
    }
    return u"请稍后重新查询。";
}

bool NeedsTheUser(PageKind kind) {
    return kind == PageKind::Login || kind == PageKind::Verification;
}

bool EndsTheRun(PageKind kind) {
    return NeedsTheUser(kind) || kind == PageKind::BrowserOnly;
}

PageKind UnreadPageKind(const FetchedPage& page, std::span<const std::u16string_view> endpoints) {
    const bool ownScripts = std::ranges::any_of(endpoints, [&page](std::u16string_view endpoint) {
        return FindText(page.text, endpoint) != std::u16string::npos;
    });
    return ownScripts && !page.throughBrowser ? PageKind::BrowserOnly : PageKind::Unrecognised;
}

std::u16string UnreadPagesText(std::span<const UnreadPage> pages) {
    std::vector<PageKind> kinds;
    for (const UnreadPage& page : pages) {
        if (std::ranges::find(kinds, page.kind) == kinds.end()) {
            kinds.push_back(page.kind);
        }
    }
    std::u16string text;
    for (const PageKind kind : kinds) {
        std::u16string numbers;
        for (const UnreadPage& page : pages) {
            if (page.kind == kind) {
                numbers += (numbers.empty() ? u"第" : u"、") + NumberText(page.number);
            }
        }
        text += (text.empty() ? u"" : u"，") + numbers + u"页没有读到（" + PageKindReason(kind) + u"）";
    }
    return text;
}

std::u16string ShownAddress(const FetchedPage& page, const std::u16string& requested) {
    return page.address.empty() ? requested : page.address;
}

} // namespace tarvisk
