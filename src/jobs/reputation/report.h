#pragma once

#include <filesystem>
#include <string>

#include "jobs/reputation/reputation.h"

// The HTML report of a reputation check as the report browser shows it, with a row of credit
// badges after each credit score. The top-tier badges are local files under "tbimgs/", written as
// relative addresses: the window gives the report a base address in the program's resource folder.

namespace tarvisk {

/// Badge kinds of toimg.
inline constexpr int kSellerBadges = 1;
inline constexpr int kBuyerBadges = 2;

/// The top-tier badges, files in the program's resource folder (ResourceFolder in core/files.h).
inline constexpr char16_t kSellerTopBadge[] = u"tbimgs/jhuang.png";
inline constexpr char16_t kBuyerTopBadge[] = u"tbimgs/jhuang.gif";

/// The badge row of a credit score: up to five red, blue or cap images, or above 500000 the local
/// top-tier image followed by " +". `thistype` 1 gives the seller images, 2 the buyer images, any
/// other value empty text; a score of 4 or less gives empty text. Every threshold is exclusive:
/// 250 gives five red images, 251 one blue image.
std::u16string toimg(double thisint, int thistype);

/// The report of a completed query. Every text of the query (the typed account, and the date, the
/// good rate and the rating link taken from the pages) is HTML-escaped; the numbers are written as
/// numbers.
std::u16string RenderReport(const ReputationFacts& facts);

/// What the report browser says when a check of `account` gave no report (it was cancelled, it stopped or a page
/// could not be read; `why` says which: u"已取消" or the check's message): a notice naming the account and why,
/// then, when a report stays in view (`shown`), a line naming whose report it is and that report. Nothing but
/// the notice when no report stays.
std::u16string RenderNoReport(const std::u16string& account, const std::u16string& why, const ReputationFacts* shown);

/// The word for a check the user gave up.
inline constexpr char16_t kCancelledCheck[] = u"已取消";

/// What a file of reports starts and ends with: a whole HTML document with its charset declared.
std::u16string ReportDocumentHead();
std::u16string ReportDocumentTail();
/// A report for a file that is opened anywhere: its own badges (files under tbimgs/ in `resourceFolder`) embedded as
/// data: addresses. A badge file that cannot be read stays a relative address.
std::u16string SelfContainedReport(const std::u16string& report, const std::filesystem::path& resourceFolder);

} // namespace tarvisk
