#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QObject>
#include <QPointer>
#include <QString>

#include "jobs/fetch_mode.h"
#include "jobs/ranking/keyword_ranking.h"
#include "jobs/ranking/ranking_run.h"
#include "jobs/ranking/ranking_search.h"
#include "jobs/ranking/stored_walk.h"
#include "jobs/shop/shop_crawl.h"
#include "app/ui/background_job.h"

class QWidget;

namespace tarvisk {

class BrowserPageFetch;
class VerificationPause;

/// The jobs of the ranking session. One runs at a time: they share the browser page and its pause.
enum class RankingJob {
    None,
    Walk,       ///< the ranking window's walk of one keyword
    KeywordRun, ///< the keyword panel's walk of its list
    ShopCrawl,  ///< the reading of a shop's item list
};

/// A crawl's listing as the jobs take it: the crawl as it ended and the shop address it read, as typed.
struct ShopListing {
    ShopCrawlResult crawl;
    QString address;
    bool complete() const { return !crawl.cancelled && !crawl.unreadPage; }
};

/// The state behind the ranking window, the shop window and the keyword panel, which are views of it: the walk's
/// target and pages as the settings file keeps them, how the jobs reach their pages (读取方式, the pause between
/// pages, the browser page fetch and the wait for the user), the shop's listing of the last crawl, and the jobs
/// themselves. A job is asked for by a view, which names the window the wait for the user stands above; while one
/// runs a second is refused, and busyText() says which job runs.
///
/// Each job's completion runs on the window thread, unless the window that asked for it is gone; the options' own
/// callbacks (progress, rows and items found) run on the job's thread and reach the views through post().
class RankingSession : public QObject {
    Q_OBJECT
public:
    explicit RankingSession(QObject* parent = nullptr);
    ~RankingSession() override;

    // How the jobs reach their pages.

    /// 读取方式, kept in the settings file.
    FetchMode fetchMode() const { return m_fetchMode; }
    void setFetchMode(FetchMode mode);
    /// The pause between pages in seconds, kept in the settings file.
    int pauseSeconds() const { return m_walk.pauseSeconds; }
    void setPauseSeconds(int seconds);
    /// The page fetch of every walk or crawl, whatever 读取方式 says (tests give their own pages); empty: 读取方式
    /// decides.
    void setWalkFetch(RankingPageFetch fetch) { m_walkFetch = std::move(fetch); }
    void setCrawlFetch(ShopPageFetch fetch) { m_crawlFetch = std::move(fetch); }
    /// True when a page of `kind` met by the jobs' own requests (直接请求) is passed only by reading through the
    /// browser: a page that ends a run, with no page fetch set by tests.
    bool canOfferBrowser(PageKind kind) const;
    /// The pause that shows a page for the user to pass while a job waits; null before the first job through the
    /// browser.
    VerificationPause* verificationPause() const { return m_pause; }

    // What a walk looks for.

    /// The target, the item id, the shop address (as typed) and the page count the walks use.
    const StoredWalk& storedWalk() const { return m_walk; }
    void setTargetKind(RankingTarget target);
    /// Keeps the id in `text` (an item address leaves its id).
    void setItemId(const std::u16string& text);
    void setShopAddress(const std::u16string& address);
    /// Keeps the count in `text`, held between 1 and 100.
    void setPages(const std::u16string& text);
    /// The walk of `keyword` for the target: in the shop mode with the ids the listing holds of the shop.
    TrackedWalk trackedWalk(const std::u16string& keyword) const;
    /// The walk of `keyword` for a target of its own (a tracked keyword's) with the window's page count: a shop's
    /// with the ids the listing holds of that shop.
    TrackedWalk walkOf(const TrackedTarget& target, const std::u16string& keyword) const;
    /// The target the window's boxes name; none while they lack one.
    std::optional<TrackedTarget> windowTarget() const;
    /// What the target lacks (an item id, a shop address), told by targetMissing; empty when it is given.
    QString checkTarget();

    // The shop's listing.

    /// The last crawl; none before the first has ended.
    const std::optional<ShopListing>& shopListing() const { return m_listing; }
    /// True when the listing is whole, with items, and of the shop the target names.
    bool shopListReady() const;
    /// True when `target` needs no listing (an item), or the listing is whole, with items, and of its shop.
    bool listingReadyFor(const TrackedTarget& target) const;

    // The jobs.

    RankingJob runningJob() const { return m_running; }
    bool isBusy() const { return m_running != RankingJob::None; }
    /// Why a job cannot start now: which job runs ("正在查询排名，请等它结束或取消"); empty while none does.
    QString busyText() const;

    /// Walks `walk` (filling `table` on the job's thread); walkFinished, then `done`, get its result. False, doing
    /// nothing, while a job runs.
    bool walk(QWidget& owner, const TrackedWalk& walk, std::shared_ptr<ResultTable> table, RankingOptions options,
              std::function<void(const RankingResult&)> done);
    /// Makes `walks` one after another; `done` runs when the last has ended. A run nobody watches (the options'
    /// unattendedWait set) reads through the browser without waiting for the user at a login or slider page.
    bool runKeywords(QWidget& owner, std::vector<RankingQuery> walks, KeywordRankingOptions options,
                     std::function<void()> done);
    /// Reads the shop at `address` (as typed); the listing then holds it, and `done` runs.
    bool crawlShop(QWidget& owner, const QString& address, ShopCrawlOptions options, std::function<void()> done);
    /// Runs `then` once the listing holds the shop the target names: at once in the one-item mode or when it does,
    /// else after a crawl (`progress` tells its pages). `then` learns whether the shop's items may be walked; when
    /// not, the crawl was stopped or shopListing() says why.
    void withShopListing(QWidget& owner, std::function<void(int page, int pages)> progress,
                         std::function<void(bool ready)> then);
    /// As withShopListing, for `target` rather than the window's.
    void withListingFor(QWidget& owner, const TrackedTarget& target, std::function<void(int page, int pages)> progress,
                        std::function<void(bool ready)> then);
    /// Stops the running job; what it found so far stays.
    void cancel();
    /// Stops the running job and waits until its thread has ended: a view that goes away first calls it, so that
    /// no callback of its options runs any more.
    void stopJob();
    /// Runs `task` on the window thread after what the job posted before, unless `context` is gone by then;
    /// callable from the job's thread.
    static void post(QObject& context, std::function<void()> task);
    /// Opens `address` in the login browser (loginBrowserRequested).
    void openInLoginBrowser(const QString& address) { emit loginBrowserRequested(address); }

signals:
    /// A job started or ended.
    void jobChanged();
    /// A job began or ended waiting for the user in the pause window.
    void waitingChanged(bool waiting);
    void fetchModeChanged(FetchMode mode);
    void targetKindChanged(RankingTarget target);
    /// The target the window's boxes name changed (its kind, item id or shop address).
    void targetChanged();
    /// checkTarget found the target lacking: `hint` says what to type.
    void targetMissing(RankingTarget target, const QString& hint);
    /// A crawl of the shop at `address` (as typed) started; its pages and items follow, then crawlFinished.
    void crawlStarted(const QString& address);
    void crawlProgress(int page, int pages);
    void itemListed(const QString& id, const QString& title);
    /// The crawl has ended: shopListing() holds it.
    void crawlFinished();
    /// A walk of the ranking window has ended with `result`.
    void walkFinished(const TrackedWalk& walk, const RankingResult& result);
    /// The user wants to see `address` in the login browser (to log in or pass a verification there).
    void loginBrowserRequested(const QString& address);

private:
    /// Starts `work` as `job`, the pause standing above `owner`; `done` runs on the window thread once it returned.
    bool start(RankingJob job, QWidget& owner, std::function<void()> work, std::function<void()> done);
    /// The fetch through the login browser, made on first use, and its pause for the user.
    BrowserPageFetch& browserFetch(QWidget& owner);
    /// Through the browser, a walk waits for the user at a login or slider page, unless `unattended`.
    RankingPageFetch walkFetch(QWidget& owner, const QString& skipText, bool unattended = false);
    ShopPageFetch crawlFetch(QWidget& owner);

    FetchMode m_fetchMode = FetchMode::Auto;
    StoredWalk m_walk;
    RankingPageFetch m_walkFetch;
    ShopPageFetch m_crawlFetch;
    std::optional<ShopListing> m_listing;
    RankingJob m_running = RankingJob::None;
    VerificationPause* m_pause = nullptr;
    std::unique_ptr<BrowserPageFetch> m_browser; // outlives the jobs that fetch through it
    BackgroundJob m_job;                         // last: stopped before the members a running job reports into
};

} // namespace tarvisk
