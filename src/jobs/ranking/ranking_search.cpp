#include "jobs/ranking/ranking_search.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <unordered_set>

#include "core/hooks.h"
#include "jobs/ranking/today_search_page.h"
#include "net/endpoints.h"
#include "net/win_http.h"
#include "text/encoding.h"
#include "text/numbers.h"
#include "text/regex.h"
#include "text/text_ops.h"

namespace tarvisk {

FetchedPage DirectRankingFetch(std::u16string& url) {
    HttpAnswer answer;
    std::u16string text = WinHttpFetch(url, {}, u"POST", {}, 0, 10, 0, {}, {}, answer);
    // The marketplace serves its search over https only and sends plain http there: the walk goes along, once, to
    // https on the same host (no other redirect is followed).
    const bool moved = answer.status >= 300 && answer.status < 400;
    if (moved && url.starts_with(u"http://") && answer.address.starts_with(u"https://") &&
        AddressHost(answer.address) == AddressHost(url)) {
        std::u16string secure = answer.address;
        text = WinHttpFetch(secure, {}, u"POST", {}, 0, 10, 0, {}, {}, answer);
    }
    return {std::move(text), answer};
}

namespace {

// A number with leading zeros up to `width` digits.
std::u16string padded(int value, std::size_t width) {
    const std::u16string digits = NumberText(value);
    return std::u16string(digits.size() < width ? width - digits.size() : 0, u'0') + digits;
}

std::u16string dateDigits(const Date& date) {
    return padded(date.year, 4) + padded(date.month, 2) + padded(date.day, 2);
}

} // namespace

std::u16string RankingSearchUrl(const std::u16string& keyword, const Date& today, const std::u16string& randomField) {
    return u"http://" + std::u16string(endpoints::kSearchHost) + u"/search?initiative_id=tbindexz_" +
           dateDigits(today) +
           u"&spm=1.7274553.1997520841.1&sourceId=tb.index&search_type=item&ssid=s5-e&commend=all&q=" +
           UrlEncodeUtf8(keyword) + u"&suggest=history_1&_input_charset=utf-8&source=suggest&_" + randomField;
}

void SetPageOffset(std::u16string& url, int page) {
    const std::u16string field = u"&s=" + NumberText((page - 1) * kRankingItemsPerPage);
    const std::u16string last = RegexMatch(url, u"[&]s[=](\\d){1,5}", 0);
    if (last.empty()) {
        url += field;
    } else {
        url = ReplaceAll(url, last, field);
    }
}

int PositionRow(int k) {
    return (k - 1) / 4 + 1;
}

int PositionColumn(int k) {
    return (k - 1) % 4 + 1;
}

std::u16string PositionText(int page, int k) {
    return NumberText(page) + u"页 " + NumberText(PositionRow(k)) + u"行 第" + NumberText(PositionColumn(k));
}

std::u16string PlacePositionText(int page, int k) {
    return NumberText(page) + u"页 第" + NumberText(k) + u"个";
}

std::u16string FoundPositionText(const std::u16string& position, RankingPositionKind kind, bool paid,
                                 int naturalPlace) {
    if (kind == RankingPositionKind::Grid || paid || naturalPlace <= 0) {
        return position;
    }
    return position + u"（自然排名第" + NumberText(naturalPlace) + u"）";
}

int RankingPagesToWalk(double pages) {
    return pages < 1 ? 0 : static_cast<int>(std::min<double>(pages, kRankingMaxPages));
}

std::u16string RankingUnreadMessage(const RankingResult& result, PageAdvice advice) {
    if (result.conclusive()) {
        return {};
    }
    // The walk goes past the pages that do not want the user; the page it ended at, if any, is the last one.
    const std::span<const UnreadPage> skipped(result.unreadPages.data(),
                                              result.unreadPages.size() - (result.endedAtUnreadPage ? 1 : 0));
    const std::u16string skippedText = UnreadPagesText(skipped);
    if (!result.endedAtUnreadPage) {
        return u"在读到的页面中没有找到目标宝贝，但" + skippedText + u"，所以“未找到”并不可信。" +
               advice(skipped.front().kind);
    }
    const UnreadPage& last = result.unreadPages.back();
    std::u16string message = u"排名查询在第" + NumberText(last.number) + u"页停止：" + PageKindReason(last.kind) +
                             u"，没有找到目标宝贝。之前各页的宝贝已列出。";
    if (!skipped.empty()) {
        message += u"另外，" + skippedText + u"。";
    }
    return message + advice(last.kind);
}

RankingResult RunRankingSearch(const RankingQuery& query, ResultTable& table, const RankingOptions& options) {
    const JobScope job(options.cancel, options.progress, options.pauseSeconds);
    const RankingPageFetch fetch = options.fetch ? options.fetch : RankingPageFetch(DirectRankingFetch);
    const std::unordered_set<std::u16string> shopIds(query.shopItemIds.begin(), query.shopItemIds.end());
    const auto isTarget = [&](const std::u16string& id) {
        return query.target == RankingTarget::OneItem ? query.itemId == id : shopIds.contains(id);
    };

    RankingResult result;
    ListViewClearItems(table);
    std::u16string url = RankingSearchUrl(query.keyword, Today(), RandomField());
    const int lastPage = RankingPagesToWalk(query.pages);
    int naturalCount = 0;                      // the unpaid items of today's pages so far
    std::unordered_set<std::u16string> walked; // the ids of the pages read so far

    for (int page = 1; page <= lastPage && !result.found && !job.stopped(); ++page) {
        job.reachPage(page, lastPage);
        if (job.stopped()) {
            break; // stopped during the pause before the page
        }
        SetPageOffset(url, page);
        FetchedPage fetched = fetch(url);
        ++result.pagesFetched;
        if (job.stopped() && fetched.text.empty()) {
            break; // the request gave up: the page was never answered
        }
        ++result.pagesRead;
        // A page that is not a result page lists nothing the walk may count on. The walk goes past it, unless every
        // later page would be the same (the marketplace wants the user, only the browser reads them) or the user
        // skipped the walk's rest.
        SearchPageRead read = SearchPageOf(fetched);
        if (const PageKind kind = read.kind; kind != PageKind::Normal) {
            result.unreadPages.push_back({page, kind, ShownAddress(fetched, url)});
            if (EndsTheRun(kind) || (kind == PageKind::SkippedByUser && options.endAtSkippedPage)) {
                result.endedAtUnreadPage = true;
                break;
            }
            continue;
        }

        // A page that only lists what earlier pages listed is not the page asked for: the marketplace did not turn
        // the page (a gateway answering page 1 whatever page is asked), and the pages after it would be the same.
        // The older page keeps its own rules (an item met twice is two rows).
        const bool repeated = read.reader != SearchReader::Listing && !read.items.empty() &&
                              std::ranges::all_of(read.items, [&walked](const TodaySearchItem& shown) {
                                  return walked.contains(shown.item.id);
                              });
        if (repeated) {
            result.unreadPages.push_back({page, PageKind::Repeated, ShownAddress(fetched, url)});
            result.endedAtUnreadPage = true;
            break;
        }
        for (const TodaySearchItem& shown : read.items) {
            walked.insert(shown.item.id);
        }

        // The older page places its items in rows of four; today's page counts them as it shows them, and the
        // place among the unpaid items counts from the first page on, so a page not read before leaves it unknown.
        const RankingPositionKind kind =
            read.reader == SearchReader::Listing ? RankingPositionKind::Grid : RankingPositionKind::Place;
        result.positionKind = kind;
        int k = 0;
        for (TodaySearchItem& shown : read.items) {
            ++k;
            const bool paid = kind == RankingPositionKind::Place && shown.paid;
            naturalCount += paid ? 0 : 1;
            const std::u16string position = kind == RankingPositionKind::Grid
                                                ? PositionText(page, k)
                                                : PlacePositionText(page, k) + (paid ? kPaidMark : u"");
            const int natural =
                kind == RankingPositionKind::Place && !paid && result.unreadPages.empty() ? naturalCount : 0;
            RankingRow row{table.rowCount() + 1,
                           position,
                           std::move(shown.item),
                           page,
                           k,
                           kind,
                           paid,
                           natural,
                           std::move(shown.price),
                           std::move(shown.shop)};
            ListViewAddRow(table, u"No.", row.number);
            ListViewSetCell(table, u"id", 0, row.item.id);
            ListViewSetCell(table, u"图片", 0, row.item.picture);
            ListViewSetCell(table, u"宝贝名", 0, row.item.title);
            ListViewSetCell(table, u"位置", 0, row.position);
            ListViewSetCell(table, u"销售量", 0, row.item.sales);
            if (options.rowAdded) {
                options.rowAdded(row);
            }
            result.rows.push_back(std::move(row));
            if (const RankingRow& added = result.rows.back(); isTarget(added.item.id)) {
                result.found = true;
                result.caption = FoundPositionText(added.position, kind, paid, natural);
                result.toolTip = kRankingFound;
                result.foundRow = added;
                break;
            }
        }
    }
    // A stop that comes once the walk has its answer, or has read its last page, stops nothing.
    result.cancelled = job.stopped() && !result.found && !result.endedAtUnreadPage && result.pagesRead < lastPage;
    if (!result.found) {
        if (result.cancelled) {
            result.caption = kRankingCancelled;
        } else {
            result.caption = result.conclusive() ? kRankingNotFound : kRankingIncomplete;
        }
    }
    return result;
}

std::u16string RankingCancelledText(int pagesRead) {
    return pagesRead > 0 ? u"已取消：读到第" + NumberText(pagesRead) + u"页" : std::u16string(u"已取消：还没读完第1页");
}

std::u16string BoundedPagesText(const std::u16string& text) {
    const double pages = LeadingNumber(text);
    if (pages <= 0) {
        return u"1";
    }
    return pages > kRankingMaxPages ? NumberText(kRankingMaxPages) : text;
}

// The blanks a keyword may have around it.
constexpr std::u16string_view kKeywordBlanks = u" \t\r\n\u3000";

bool IsBlankKeyword(const std::u16string& keyword) {
    return WalkedKeyword(keyword).empty();
}

std::u16string WalkedKeyword(const std::u16string& typed) {
    return TrimBlanks(typed, kKeywordBlanks);
}

std::u16string ItemIdFromText(const std::u16string& text) {
    // An item address names its item by "id=" (or "item_id="); the numbers after it (skuId=, spm=...) are others.
    const std::u16string named = RegexMatch(text, u"(?<![a-z0-9_])(item_)?id=\\d{9,12}(?!\\d)", 1);
    return RegexMatch(named.empty() ? text : named, u"\\d{9,12}", 0);
}

} // namespace tarvisk
