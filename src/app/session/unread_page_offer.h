#pragma once

#include <QString>

#include "jobs/page_check.h"

class QWidget;

namespace tarvisk {

class RankingSession;

/// Tells `text` in a box over `parent` about a page of `kind` at `address` that a job of `session` could not read,
/// with the offer that helps: reading through the browser, when only that passes the page (true when taken:
/// 读取方式 is now 通过浏览器, and the job is to run again), or the page in the login browser (the session's
/// loginBrowserRequested).
bool OfferUnreadPageHelp(QWidget* parent, RankingSession& session, const QString& text, PageKind kind,
                         const QString& address);

/// After RankingSession::withShopListing found the shop's listing not ready (a crawl that was not stopped): tells
/// why over `parent` (a page it could not read, with what helps; a shop without items); true when the user chose to
/// read it again through the browser.
bool TellShopListingProblem(QWidget* parent, RankingSession& session);

} // namespace tarvisk
