#include "app/main/ranking_desk.h"

#include <QObject>

#include "app/ranking/so_pai_ming.h"
#include "app/session/ranking_session.h"
#include "app/shop/so_shop_goods.h"

namespace tarvisk {

RankingDesk::RankingDesk(StoreThread* store)
    : m_session(std::make_unique<RankingSession>()), m_ranking(new SoPaiMing(*m_session, store)) {
    QObject::connect(m_ranking, &SoPaiMing::shopWindowRequested, m_ranking, [this] {
        SoShopGoods& window = shop();
        window.show();
        window.raise();
        window.activateWindow();
    });
}

SoPaiMing& RankingDesk::ranking() {
    return *m_ranking;
}

SoShopGoods& RankingDesk::shop() {
    if (!m_shop) {
        // A window of the ranking window's: it stands above it, and goes with it.
        m_shop = new SoShopGoods(*m_session, m_ranking);
    }
    return *m_shop;
}

RankingDesk::~RankingDesk() {
    // The shop window is the ranking window's: both go before the session.
    delete m_ranking.data();
}

} // namespace tarvisk
