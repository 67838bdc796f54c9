#include "app/session/unread_page_offer.h"

#include "app/session/ranking_session.h"
#include "app/ui/message_box.h"
#include "app/ui/qt_text.h"
#include "app/ui/unread_page_box.h"

namespace tarvisk {

bool OfferUnreadPageHelp(QWidget* parent, RankingSession& session, const QString& text, PageKind kind,
                         const QString& address) {
    // The jobs' own requests carry no login and pass no slider, whatever the login browser has passed: for them
    // only reading through the browser helps.
    switch (TellUnreadPage(parent, text, kind, address, session.canOfferBrowser(kind))) {
    case UnreadPageAnswer::OpenInLoginBrowser:
        session.openInLoginBrowser(address);
        return false;
    case UnreadPageAnswer::ReadThroughBrowser:
        session.setFetchMode(FetchMode::Browser);
        return true;
    case UnreadPageAnswer::Nothing:
        break;
    }
    return false;
}

bool TellShopListingProblem(QWidget* parent, RankingSession& session) {
    const ShopListing& listing = *session.shopListing();
    const QString problem = QtText(ShopTargetProblem(listing.crawl, CoreText(listing.address)));
    if (const std::optional<UnreadPage>& unread = listing.crawl.unreadPage) {
        return OfferUnreadPageHelp(parent, session, problem, unread->kind, QtText(unread->address));
    }
    ShowMessageBox(parent, problem);
    return false;
}

} // namespace tarvisk
