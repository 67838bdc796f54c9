#pragma once

#include <memory>

#include <QPointer>

class QString;

namespace tarvisk {

class RankingSession;
class SoPaiMing;
class SoShopGoods;
class StoreThread;

/// The ranking tools of the program: the ranking window and the shop window, views of one ranking session. The
/// ranking window's 详情 brings up the shop window. The session outlives both windows.
class RankingDesk {
public:
    /// Without a store the ranking window keeps its own on the data folder's database.
    explicit RankingDesk(StoreThread* store = nullptr);
    ~RankingDesk();
    RankingDesk(const RankingDesk&) = delete;
    RankingDesk& operator=(const RankingDesk&) = delete;

    RankingSession& session() { return *m_session; }
    /// The ranking window (hidden until shown); the shop window, made hidden on first use (详情).
    SoPaiMing& ranking();
    SoShopGoods& shop();

private:
    std::unique_ptr<RankingSession> m_session;
    QPointer<SoPaiMing> m_ranking;
    QPointer<SoShopGoods> m_shop;
};

} // namespace tarvisk
