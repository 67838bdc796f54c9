#pragma once

#include <functional>

#include <QWidget>

#include "jobs/fetch_mode.h"
#include "jobs/shop/shop_crawl.h"
#include "app/ui/background_job.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace tarvisk {

class JobProgress;

/// The shop window "查询淘宝店铺宝贝": lists the ids and titles of all items of one shop and copies the result text
/// to the clipboard. The ranking window owns it, shows and hides it, and runs its crawl to read the shop's item
/// ids. Closing it only hides it; it keeps its lists until the next crawl.
class SoShopGoods : public QWidget {
    Q_OBJECT
public:
    /// Creates the window hidden and loads it (centred, address from the settings file).
    explicit SoShopGoods(QWidget* parent = nullptr);
    ~SoShopGoods() override;

    /// True while a crawl runs.
    bool isCrawling() const { return m_job.isRunning(); }

    /// The listed item ids (List1), in the order found.
    QStringList itemIds() const;
    /// The listed items: the ids of List1 with the titles of List2.
    std::vector<ShopItem> listedItems() const;
    /// False when the last crawl was stopped before its end or ended at a page it could not read: the lists hold
    /// only part of the shop's items.
    bool listComplete() const { return m_listComplete && !m_crawl.unreadPage; }
    /// The last crawl as it ended (empty before the first has ended).
    const ShopCrawlResult& lastCrawl() const { return m_crawl; }
    /// The shop address the lists were read from, as it was typed (empty before the first crawl).
    const QString& listedAddress() const { return m_listedAddress; }

    /// Sets the shop address (SURL), as typed.
    void setShopAddress(const QString& address);
    /// The shop address in SURL, as typed.
    QString shopAddress() const;

    /// The page fetch of every crawl; empty means the marketplace request (tests give their own pages).
    void setPageFetch(ShopPageFetch fetch) {
        m_makeFetch = [fetch = std::move(fetch)] { return fetch; };
    }
    /// Makes the page fetch of each crawl as it starts (the ranking window's 读取方式).
    void setPageFetchMaker(std::function<ShopPageFetch()> make) { m_makeFetch = std::move(make); }
    /// Asked, for a login or verification page the crawl met, whether only reading through the browser gets past
    /// it (the crawl made its own requests); then the window offers that instead of the login browser, and on yes
    /// emits browserChosen and crawls again.
    void setBrowserOffer(std::function<bool(PageKind)> canOffer) { m_canOfferBrowser = std::move(canOffer); }
    /// Shows `mode` in 读取方式 (the ranking window's choice, which the crawls use), without fetchModeChosen.
    void showFetchMode(FetchMode mode);
    /// Seconds the crawl waits (give or take 30%) before every page after the first; 0: none.
    void setPauseSeconds(double seconds) { m_pauseSeconds = seconds; }

    /// What the last crawl could not read, and the message that says so: none and empty when its listing is
    /// complete.
    const std::optional<UnreadPage>& unreadPage() const { return m_crawl.unreadPage; }
    QString unreadMessage() const;

public slots:
    void Form_Load();
    /// Starts the crawl of the shop in SURL (the address stays as typed); crawlFinished follows once it has ended.
    /// Refused while a crawl runs.
    void Command1_Click();
    void SURL_Change();
    void SURL_DblClick();
    void Text1_DblClick();
    void Label2_Click();
    /// Stops a running crawl; the items listed so far stay.
    void cancelCrawl();

signals:
    void crawlStarted();
    /// Page `page` of `pages` is being fetched.
    void crawlProgress(int page, int pages);
    /// The crawl has ended and its results are in the window; `count` items were listed. `cancelled`: the user
    /// stopped it, so the lists hold only what was found until then.
    void crawlFinished(int count, bool cancelled);
    /// The user chose to read the shop's pages through the browser (读取方式 通过浏览器); the crawl starts again.
    void browserChosen();
    /// The user chose a mode in 读取方式.
    void fetchModeChosen(FetchMode mode);
    /// The user wants to see `address` in the login browser (to log in or pass a verification there).
    void loginBrowserRequested(const QString& address);

protected:
    /// Form_Unload: the user's close only hides the window.
    void closeEvent(QCloseEvent* event) override;

private:
    void finishCrawl(const ShopCrawlResult& result);
    /// Shows `status` in Label3, widened (and on a second line) when the layout's width cuts it.
    void showStatus(const QString& status);

    QLabel* m_label1;
    QLineEdit* m_surl;
    QPushButton* m_command1;
    QPlainTextEdit* m_text1;
    QLabel* m_label2;
    QLabel* m_label3;
    QListWidget* m_list1;
    QListWidget* m_list2;
    JobProgress* m_progress;
    QLabel* m_label4;
    QComboBox* m_fetchMode;
    std::function<bool(PageKind)> m_canOfferBrowser;
    std::function<ShopPageFetch()> m_makeFetch;
    double m_pauseSeconds = 0;
    ShopCrawlResult m_crawl;
    QString m_listedAddress;
    bool m_listComplete = true;
    BackgroundJob m_job; // last: stopped before the members a running crawl reports into
};

} // namespace tarvisk
