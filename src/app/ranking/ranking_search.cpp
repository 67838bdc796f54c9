#include "app/ranking/ranking_search.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "core/hooks.h"
#include "net/endpoints.h"
#include "net/win_http.h"
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

std::u16string defaultFetch(std::u16string& url) {
    return WinHttpFetch(url, {}, u"POST", {}, 0, 10, 0, {}, {});
}

// A field match without its prefix and its closing quote; empty for a missing match.
std::u16string quotedValue(const std::u16string& match, std::size_t prefix) {
    return match.size() > prefix ? match.substr(prefix, match.size() - prefix - 1) : std::u16string();
}

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

std::u16string PositionText(int page, int k) {
    return NumberText(page) + u"页 " + NumberText((k - 1) / 4 + 1) + u"行 第" + NumberText((k - 1) % 4 + 1);
}

std::vector<RankingItem> ParseRankingPage(const std::u16string& pageText) {
    const std::size_t marker = pageText.find(kMarker);
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
            item.sales = RegexMatch(sales[k].value, u"(\\d){1,9}", 0);
        }
    }
    return items;
}

RankingResult RunRankingSearch(const RankingQuery& query, ResultTable& table, const RankingOptions& options) {
    const JobScope job(options.cancel, options.progress);
    const RankingPageFetch fetch = options.fetch ? options.fetch : RankingPageFetch(defaultFetch);
    const auto setCaption = [&options](const std::u16string& text) {
        if (options.caption) {
            options.caption(text);
        }
    };
    const std::unordered_set<std::u16string> shopIds(query.shopItemIds.begin(), query.shopItemIds.end());
    const auto isTarget = [&](const std::u16string& id) {
        return query.target == RankingTarget::OneItem ? query.itemId == id : shopIds.contains(id);
    };

    RankingResult result;
    setCaption({});
    ListViewClearItems(table);
    std::u16string url = RankingSearchUrl(query.keyword, Today(), RandomField());
    const int lastPage = query.pages < 1 ? 0 : static_cast<int>(std::min<double>(query.pages, kRankingMaxPages));

    for (int page = 1; page <= lastPage && !result.found && !job.stopped(); ++page) {
        job.reachPage(page, lastPage);
        SetPageOffset(url, page);
        const std::u16string pageText = fetch(url);
        ++result.pagesFetched;

        int k = 0;
        for (RankingItem& item : ParseRankingPage(pageText)) {
            RankingRow row{table.rowCount() + 1, PositionText(page, ++k), std::move(item)};
            ListViewAddRow(table, u"No.", row.number);
            ListViewSetCell(table, u"id", 0, row.item.id);
            ListViewSetCell(table, u"图片", 0, row.item.picture);
            ListViewSetCell(table, u"宝贝名", 0, row.item.title);
            ListViewSetCell(table, u"位置", 0, row.position);
            setCaption(row.position);
            ListViewSetCell(table, u"销售量", 0, row.item.sales);
            if (options.rowAdded) {
                options.rowAdded(row);
            }
            if (isTarget(row.item.id)) {
                result.found = true;
                result.caption = row.position;
                result.toolTip = kRankingFound;
                break;
            }
        }
    }
    if (!result.found) {
        result.caption = kRankingNotFound;
        setCaption(result.caption);
    }
    result.cancelled = job.stopped();
    return result;
}

std::u16string BoundedPagesText(const std::u16string& text) {
    const double pages = LeadingNumber(text);
    if (pages <= 0) {
        return u"1";
    }
    return pages > kRankingMaxPages ? NumberText(kRankingMaxPages) : text;
}

std::u16string ItemIdFromText(const std::u16string& text) {
    return RegexMatch(text, u"\\d{9,12}", 0);
}

} // namespace tarvisk
