#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net/endpoints.h"
#include "net/http_answer.h"

// The marketplace answers a scripted request now and then with a page that is not the one asked
// for: a login page, a slider or "punish" verification page, an empty answer, or a page whose
// layout has changed. A job that read such a page as a real answer would report zero counts,
// "未找到" or "安全" for a page it never read. ClassifyPage tells these pages apart; every job asks
// it about each page it fetched and says which of its own texts make a page recognised.

namespace tarvisk {

enum class PageKind {
    Normal,       ///< the job's own page
    Empty,        ///< nothing at all, or only blanks
    Login,        ///< the marketplace asks for a login
    Verification, ///< a slider, "punish" or access-denied page
    Unrecognised, ///< something else: none of the texts the job reads
    ErrorStatus,  ///< the server answered with an error (an HTTP status of 400 and above, or below 200: 503 ...)
    /// A result page whose items all stood on an earlier page of the same walk or crawl: the marketplace did not
    /// turn the page, and what it lists says nothing of the page asked for.
    Repeated,
    /// A page the list never reached although it should have: its pager jumped past it, or it ended with fewer
    /// items than it said it holds.
    Skipped,
    /// A page of another site: the marketplace's address sent the fetch off the marketplace (a redirect, a page's
    /// script or refresh), and the fetch did not follow (FetchedPage::sentOff).
    Foreign,
    /// A login or verification page the user chose to skip while the job waited for it (FetchedPage::skipped): the
    /// job goes on without it.
    SkippedByUser,
    /// A page whose results its own scripts fetch (it names its data endpoint), fetched by a direct request: only the
    /// browser page fetch reads it, and every later page of the run is the same.
    BrowserOnly,
    /// The data answer the page's reader needs came, but over the size the fetch keeps (FetchedPage::droppedAnswers):
    /// the page is not read from what else it holds.
    TooLarge,
};

/// A data answer that a page's own scripts received from the marketplace while the page loaded in
/// the browser (a search or shop listing endpoint's JSONP): the address asked and the answer's text.
struct DataAnswer {
    std::u16string address;
    std::u16string text;
    friend bool operator==(const DataAnswer&, const DataAnswer&) = default;
};

/// True for an answer of the endpoint `endpoint` (letter case aside): from a marketplace host, with the endpoint in
/// its address's path, not merely somewhere in its address, as a tracker's u"http://ads.example/track?u=/h5/mtop.x"
/// has it.
bool FromEndpoint(const DataAnswer& answer, std::u16string_view endpoint);

/// One fetched page: its text, the address its answer finally came from, after the redirects
/// the request followed (for a redirect that was not followed, the address it points to), and the
/// HTTP status of that answer. The address is empty and the status 0 when the fetch does not know
/// them, or when no answer came. A page fetched through the browser is the page as rendered, with
/// the data answers its scripts received.
struct FetchedPage {
    FetchedPage() = default;
    /// A page whose status is not known; lets a fetch that only has the text give it as it is.
    FetchedPage(std::u16string pageText, std::u16string finalAddress = {})
        : text(std::move(pageText)), address(std::move(finalAddress)) {}
    /// The text a request routine returned with what it told of the answer.
    FetchedPage(std::u16string pageText, const HttpAnswer& answer)
        : text(std::move(pageText)), address(answer.address), status(answer.status) {}

    std::u16string text;
    std::u16string address;
    int status = 0;
    std::vector<DataAnswer> answers;
    /// Data answers the fetch did not keep for their size or number: their addresses only (text empty).
    std::vector<DataAnswer> droppedAnswers;
    /// The user skipped the login or verification this page asked for while the job waited: nothing of it is read.
    bool skipped = false;
    /// Fetched through the browser (the page as rendered, with its scripts' answers), not by a direct request.
    bool throughBrowser = false;
    /// The fetch refused to follow the page off the marketplace (a redirect, a page's script or refresh to another
    /// site, at `address`): nothing of it was read.
    bool sentOff = false;
    /// What a job's judge made of the page on its way (JudgedOnce), handed on with it so that the pause, the choice
    /// of fetch and the job's reader take that read and do not judge the page again; `readBy` tells which judge.
    /// Whoever changes the page drops its read.
    std::shared_ptr<const void> read;
    const void* readBy = nullptr;
};

/// The mark of the judge whose reads are of type `Read`.
template <typename Read> inline constexpr char kReadMark = 0;

/// The read `judge` makes of `page`, judged once: the read the page carries is taken when `judge`'s kind made it,
/// else `judge` reads the page and the page keeps the read for whoever takes it next.
template <typename Read, typename Judge> const Read& JudgedOnce(FetchedPage& page, const Judge& judge) {
    if (page.read == nullptr || page.readBy != &kReadMark<Read>) {
        page.read = std::make_shared<const Read>(judge(std::as_const(page)));
        page.readBy = &kReadMark<Read>;
    }
    return *static_cast<const Read*>(page.read.get());
}

/// A page by the program's own direct request: XmlHttpRequest(url, empty body, mode 0, no time limit), with the
/// status and address of its answer. The jobs' page fetch when none is given.
FetchedPage DirectPageFetch(const std::u16string& url);

/// Where a marker is looked for.
enum class MarkerPlace {
    Host, ///< the host of the page's address equals the marker (letter case aside)
    Path, ///< the path of the page's address contains the marker (letter case aside)
    /// The pattern (the program's regular-expression dialect) matches the markup the page draws: its tags and
    /// text, without scripts, style sheets and comments (DrawnMarkup), since every page of the marketplace loads
    /// its anti-bot script, whose source names sliders and verification.
    Markup,
    ShownText, ///< the pattern matches the text the page shows (HtmlText)
    /// A form the page draws posts to an address that contains the marker (letter case aside).
    FormAction,
    /// An input field the page draws is named the marker.
    InputName,
};

/// One sign that a page is a login or verification page rather than the page asked for.
struct PageMarker {
    PageKind kind;
    MarkerPlace place;
    std::u16string_view marker;
};

/// Every marker, in one place. The address markers come first and always decide; the page's markers
/// count only on a page that holds none of the job's own texts, because the marketplace's real pages may
/// carry such things elsewhere (a login box in the header), and only in what the page draws: the
/// verification script that every page loads names "baxia", "_____tmd_____", "punish" and 滑块 in its source.
inline constexpr PageMarker kPageMarkers[] = {
    // Redirected to the login pages.
    {PageKind::Login, MarkerPlace::Host, endpoints::kLoginHost},
    {PageKind::Login, MarkerPlace::Host, u"login.m.taobao.com"},
    {PageKind::Login, MarkerPlace::Host, u"login.tmall.com"},
    // Redirected to the verification ("punish") pages, e.g. //search/_____tmd_____/punish?x5secdata=...
    {PageKind::Verification, MarkerPlace::Path, u"_____tmd_____"},
    {PageKind::Verification, MarkerPlace::Path, u"/punish"},
    // The login form: it posts to login.jhtml and names its account field TPL_username, loginId or fm-login-id.
    {PageKind::Login, MarkerPlace::FormAction, u"login.jhtml"},
    {PageKind::Login, MarkerPlace::InputName, u"TPL_username"},
    {PageKind::Login, MarkerPlace::InputName, u"loginId"},
    {PageKind::Login, MarkerPlace::InputName, u"fm-login-id"},
    // The slider's handle, and the words of the slider and the deny pages.
    {PageKind::Verification, MarkerPlace::Markup, u"nc_1_n1z"},
    {PageKind::Verification, MarkerPlace::ShownText, u"滑动验证"},
    {PageKind::Verification, MarkerPlace::ShownText, u"拖动滑块"},
    {PageKind::Verification, MarkerPlace::ShownText, u"请按住滑块"},
    {PageKind::Verification, MarkerPlace::ShownText, u"访问受限"},
};

/// The texts by which a job knows its own page (plain, case-sensitive text).
using OwnTexts = std::span<const std::u16string_view>;

/// The kind of a page its fetch did not read, whatever the page holds: Foreign when the fetch was sent off the
/// marketplace with it, SkippedByUser when the user skipped it; none for a page the fetch gave as it came.
std::optional<PageKind> UnreadByFetch(const FetchedPage& page);

/// What `page` is to a job whose own texts are `ownTexts`, decided in this order: a page its fetch did not read
/// (UnreadByFetch); an address on a login host or a verification path; an error status (known, and neither
/// 2xx nor 3xx); an empty text (only blanks); a text holding one of `ownTexts` (Normal); a login or verification marker
/// in the text; else Unrecognised. Every kind but Normal is a page the job could not read.
PageKind ClassifyPage(const FetchedPage& page, OwnTexts ownTexts);

/// The host of an address, lower-cased: u"http://Shop.Taobao.com:80/x" gives u"shop.taobao.com".
std::u16string AddressHost(std::u16string_view address);

/// The path of an address: from the first "/" after the host up to "?" or "#"; empty when none.
/// u"https://s.taobao.com/search?q=a" gives u"/search".
std::u16string_view AddressPath(std::u16string_view address);

/// The value of the query field `name` of an address (the first, letter case counting), its escapes read
/// (UrlDecodeUtf8); none when it has no such field. u"/search?q=%E4%B8%AD&page=2", u"q" gives u"中".
std::optional<std::u16string> QueryValue(std::u16string_view address, std::u16string_view name);

/// The kind as the command line writes it: "normal", "empty", "login", "verification", "unrecognised",
/// "error", "repeated", "skipped".
const char* PageKindName(PageKind kind);

/// The kind as the messages name it, e.g. u"淘宝要求登录".
std::u16string PageKindReason(PageKind kind);

/// What the user can do about a page of this kind, as the end of a message.
std::u16string PageKindAdvice(PageKind kind);
/// The advice a message ends with; a front end whose user can do other things than the window's gives its own.
using PageAdvice = std::u16string (*)(PageKind kind);

/// True for the kinds a login or a verification passed by hand in the login browser can mend.
bool NeedsTheUser(PageKind kind);
/// True when every later page of a run would be as this one: the marketplace wants the user (NeedsTheUser), or only
/// the browser reads the pages (BrowserOnly).
bool EndsTheRun(PageKind kind);

/// The kind of a page that no reader read: BrowserOnly when it names one of its data `endpoints` (its scripts
/// fetch its results) and came by a direct request, else Unrecognised.
PageKind UnreadPageKind(const FetchedPage& page, std::span<const std::u16string_view> endpoints);

/// Every kind, as stored runs name them.
inline constexpr PageKind kPageKinds[] = {PageKind::Normal,       PageKind::Empty,        PageKind::Login,
                                          PageKind::Verification, PageKind::Unrecognised, PageKind::ErrorStatus,
                                          PageKind::Repeated,     PageKind::Skipped,      PageKind::Foreign};

/// A page a job could not read: its number in the walk or crawl (from 1), its kind, and the
/// address to show it at (where the answer came from, else the address asked for).
struct UnreadPage {
    int number = 0;
    PageKind kind = PageKind::Empty;
    std::u16string address;
    friend bool operator==(const UnreadPage&, const UnreadPage&) = default;
};

/// The unread pages named by number and reason, the pages of one kind together in the order met:
/// u"第2、3页没有读到（淘宝返回了空白页），第5页没有读到（淘宝要求登录）"; empty for none.
std::u16string UnreadPagesText(std::span<const UnreadPage> pages);

/// Where a page fetched from `requested` can be seen: where its answer came from, else `requested`.
std::u16string ShownAddress(const FetchedPage& page, const std::u16string& requested);

} // namespace tarvisk
