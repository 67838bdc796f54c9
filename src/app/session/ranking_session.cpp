#include "app/session/ranking_session.h"

#include <utility>

#include <QWidget>

#include "app/browser/browser_profile.h"
#include "app/browser/page_fetch.h"
#include "app/browser/verification_pause.h"
#include "app/ui/pause_box.h"
#include "app/ui/qt_text.h"
#include "core/utf8.h"
#include "text/encoding.h"
#include "text/numbers.h"
#include "jobs/ranking/today_search_page.h"
#include "jobs/shop/today_shop_page.h"
#include "text/settings.h"

namespace tarvisk {

namespace {

constexpr char16_t kFetchModeKey[] = u"FetchMode";

} // namespace

RankingSession::RankingSession(QObject* parent) : QObject(parent), m_walk(ReadStoredWalk()) {
    if (const std::optional<FetchMode> stored = ParseFetchMode(ToUtf8(ReadSetting(kFetchModeKey)))) {
        m_fetchMode = *stored;
    }
}

RankingSession::~RankingSession() = default;

void RankingSession::setFetchMode(FetchMode mode) {
    if (mode == m_fetchMode) {
        return;
    }
    m_fetchMode = mode;
    WriteSetting(kFetchModeKey, FromUtf8(std::string(FetchModeWord(mode))));
    emit fetchModeChanged(mode);
}

void RankingSession::setPauseSeconds(int seconds) {
    m_walk.pauseSeconds = seconds;
    StorePauseSeconds(seconds);
}

void RankingSession::setTargetKind(RankingTarget target) {
    m_walk.target = target;
    WriteSetting(kTargetKindKey, target == RankingTarget::OneItem ? u"1" : u"2");
    emit targetKindChanged(target);
    emit targetChanged();
}

void RankingSession::setItemId(const std::u16string& text) {
    // Typed digits stay in the box while the id is being typed; what is kept is always an id (or nothing).
    m_walk.itemId = ItemIdFromText(text);
    WriteSetting(kItemIdKey, m_walk.itemId);
    emit targetChanged();
}

void RankingSession::setShopAddress(const std::u16string& address) {
    m_walk.shopAddress = address;
    WriteSetting(kShopAddressKey, address);
    emit targetChanged();
}

void RankingSession::setPages(const std::u16string& text) {
    const std::u16string bounded = BoundedPagesText(text);
    m_walk.pages = static_cast<int>(LeadingNumber(bounded));
    WriteSetting(kPagesKey, bounded);
}

bool RankingSession::canOfferBrowser(PageKind kind) const {
    return !m_walkFetch && !m_crawlFetch && m_fetchMode == FetchMode::Direct && EndsTheRun(kind);
}

TrackedWalk RankingSession::trackedWalk(const std::u16string& keyword) const {
    // The shop the target names, with the ids its listing holds.
    return walkOf(StoredTarget(m_walk), keyword);
}

TrackedWalk RankingSession::walkOf(const TrackedTarget& target, const std::u16string& keyword) const {
    TrackedWalk walk;
    walk.target = target;
    RankingQuery& query = walk.query;
    query.keyword = WalkedKeyword(keyword);
    query.pages = m_walk.pages;
    query.target = target.kind;
    if (target.kind == RankingTarget::OneItem) {
        query.itemId = target.value;
    } else if (listingReadyFor(target)) {
        for (const ShopItem& item : m_listing->crawl.items) {
            query.shopItemIds.push_back(item.id);
        }
    }
    return walk;
}

std::optional<TrackedTarget> RankingSession::windowTarget() const {
    if (!m_walk.hasTarget()) {
        return std::nullopt;
    }
    return StoredTarget(m_walk);
}

QString RankingSession::checkTarget() {
    if (m_walk.hasTarget()) {
        return {};
    }
    const QString hint = m_walk.target == RankingTarget::OneItem ? QStringLiteral("请输入宝贝id，或粘贴宝贝地址")
                                                                 : QStringLiteral("请输入店铺地址");
    emit targetMissing(m_walk.target, hint);
    return hint;
}

bool RankingSession::shopListReady() const {
    return listingReadyFor(ShopTarget(m_walk.shopAddress));
}

bool RankingSession::listingReadyFor(const TrackedTarget& target) const {
    return target.kind == RankingTarget::OneItem ||
           (m_listing && m_listing->complete() && !m_listing->crawl.items.empty() &&
            ShopTarget(CoreText(m_listing->address)) == target);
}

QString RankingSession::busyText() const {
    switch (m_running) {
    case RankingJob::None:
        return {};
    case RankingJob::Walk:
        return QStringLiteral("正在查询排名，请等它结束或取消");
    case RankingJob::KeywordRun:
        return QStringLiteral("正在逐个查询关键字，请等它结束或取消");
    case RankingJob::ShopCrawl:
        return QStringLiteral("正在读取店铺宝贝列表，请等它结束或取消");
    }
    return {};
}

bool RankingSession::start(RankingJob job, QWidget& owner, std::function<void()> work, std::function<void()> done) {
    if (isBusy()) {
        return false;
    }
    m_running = job;
    if (m_pause != nullptr) {
        m_pause->setOwner(owner);
    }
    m_job.start(std::move(work), [this, owner = QPointer<QWidget>(&owner), done = std::move(done)] {
        // The job is over before its views hear of it: what they start next (the walk after the shop's listing, a
        // run again through the browser) may start.
        m_running = RankingJob::None;
        emit jobChanged();
        if (owner) {
            done();
        }
    });
    emit jobChanged();
    return true;
}

BrowserPageFetch& RankingSession::browserFetch(QWidget& owner) {
    if (!m_browser) {
        m_browser = std::make_unique<BrowserPageFetch>(BrowserProfile());
        m_pause = new VerificationPause(owner, this);
        connect(m_pause, &VerificationPause::waitingChanged, this, &RankingSession::waitingChanged);
    }
    return *m_browser;
}

RankingPageFetch RankingSession::walkFetch(QWidget& owner, const QString& skipText, bool unattended) {
    if (m_walkFetch || m_fetchMode == FetchMode::Direct) {
        return m_walkFetch; // empty: the walk's own requests
    }
    BrowserPageFetch& browser = browserFetch(owner);
    RankingPageFetch throughBrowser = [this, &browser, pause = m_pause, skipText, unattended](std::u16string& url) {
        const auto fetch = [&] { return browser.fetch(TodaySearchAddress(url), SearchAnswerCame); };
        if (unattended) {
            return fetch();
        }
        return pause->fetch(fetch, ClassifySearchPage, QStringLiteral("排名查询"), skipText, [this] { cancel(); });
    };
    return ChooseFetch<std::u16string&>(m_fetchMode, DirectRankingFetch, std::move(throughBrowser), SearchPageReadable);
}

ShopPageFetch RankingSession::crawlFetch(QWidget& owner) {
    if (m_crawlFetch || m_fetchMode == FetchMode::Direct) {
        return m_crawlFetch; // empty: the crawl's own requests
    }
    BrowserPageFetch& browser = browserFetch(owner);
    ShopPageFetch throughBrowser = [this, &browser, pause = m_pause](const std::u16string& url) {
        return pause->fetch([&] { return browser.fetch(url, ShopAnswerCame); }, ClassifyShopPage,
                            QStringLiteral("店铺宝贝读取"), QStringLiteral("跳过这一页"), [this] { cancel(); });
    };
    return ChooseFetch<const std::u16string&>(m_fetchMode, DirectPageFetch, std::move(throughBrowser),
                                              ShopPageReadable);
}

bool RankingSession::walk(QWidget& owner, const TrackedWalk& walk, std::shared_ptr<ResultTable> table,
                          RankingOptions options, std::function<void(const RankingResult&)> done) {
    if (isBusy()) {
        return false;
    }
    options.fetch = walkFetch(owner, QStringLiteral("跳过这一页"));
    options.pauseSeconds = m_walk.pauseSeconds;
    options.cancel = m_job.cancelFlag();
    auto result = std::make_shared<RankingResult>();
    return start(
        RankingJob::Walk, owner,
        [query = walk.query, table, result, options] { *result = RunRankingSearch(query, *table, options); },
        [this, walk, result, done = std::move(done)] {
            emit walkFinished(walk, *result);
            done(*result);
        });
}

bool RankingSession::runKeywords(QWidget& owner, std::vector<RankingQuery> walks, KeywordRankingOptions options,
                                 std::function<void()> done) {
    if (isBusy()) {
        return false;
    }
    options.fetch = walkFetch(owner, QStringLiteral("跳过这个关键字"), options.unattendedWait.has_value());
    options.pauseSeconds = m_walk.pauseSeconds;
    options.cancel = m_job.cancelFlag();
    return start(
        RankingJob::KeywordRun, owner, [walks = std::move(walks), options] { RunKeywordRankings(walks, options); },
        std::move(done));
}

bool RankingSession::crawlShop(QWidget& owner, const QString& address, ShopCrawlOptions options,
                               std::function<void()> done) {
    if (isBusy()) {
        return false;
    }
    options.fetch = crawlFetch(owner);
    options.pauseSeconds = m_walk.pauseSeconds;
    options.cancel = m_job.cancelFlag();
    // The views hear of every page and item, whoever asked for the crawl.
    options.progress = [this, told = std::move(options.progress)](int page, int pages) {
        if (told) {
            told(page, pages);
        }
        post(*this, [this, page, pages] { emit crawlProgress(page, pages); });
    };
    options.itemListed = [this](const ShopItem& item) {
        post(*this, [this, id = QtText(item.id), title = QtText(item.title)] { emit itemListed(id, title); });
    };
    m_listing.reset();
    auto result = std::make_shared<ShopCrawlResult>();
    const bool started = start(
        RankingJob::ShopCrawl, owner,
        [result, address = CoreText(address), options]() mutable { *result = CrawlShop(address, options); },
        [this, result, address, done = std::move(done)] {
            m_listing = ShopListing{std::move(*result), address};
            emit crawlFinished();
            done();
        });
    if (started) {
        emit crawlStarted(address);
    }
    return started;
}

void RankingSession::withShopListing(QWidget& owner, std::function<void(int page, int pages)> progress,
                                     std::function<void(bool ready)> then) {
    if (m_walk.target == RankingTarget::OneItem || shopListReady()) {
        then(true);
        return;
    }
    withListingFor(owner, ShopTarget(m_walk.shopAddress), std::move(progress), std::move(then));
}

void RankingSession::withListingFor(QWidget& owner, const TrackedTarget& target,
                                    std::function<void(int page, int pages)> progress,
                                    std::function<void(bool ready)> then) {
    if (listingReadyFor(target)) {
        then(true);
        return;
    }
    ShopCrawlOptions options;
    options.progress = [context = &owner, progress = std::move(progress)](int page, int pages) {
        post(*context, [progress, page, pages] { progress(page, pages); });
    };
    // The window's shop is crawled at the address as typed; a tracked shop at its host.
    const QString address =
        target == ShopTarget(m_walk.shopAddress) ? QtText(m_walk.shopAddress) : QtText(target.value);
    if (!crawlShop(owner, address, std::move(options), [this, then, target] { then(listingReadyFor(target)); })) {
        then(false);
    }
}

void RankingSession::cancel() {
    m_job.cancel();
}

void RankingSession::stopJob() {
    m_job.cancel();
    m_job.waitForEnd();
}

void RankingSession::post(QObject& context, std::function<void()> task) {
    QMetaObject::invokeMethod(&context, std::move(task), Qt::QueuedConnection);
}

} // namespace tarvisk
