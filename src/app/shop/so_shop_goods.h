#pragma once

#include <functional>

#include <QWidget>

#include "jobs/shop/shop_crawl.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace tarvisk {

class JobProgress;
class RankingSession;

/// The shop window "查询淘宝店铺宝贝": lists the ids and titles of all items of one shop and copies the result text
/// to the clipboard. A view of the ranking session: it shows every crawl of the session's listing, whichever window
/// asked for it, and asks for its own. Closing it only hides it; it keeps its lists until the next crawl.
class SoShopGoods : public QWidget {
    Q_OBJECT
public:
    /// Creates the window hidden and loads it (centred, address from the settings file).
    explicit SoShopGoods(RankingSession& session, QWidget* parent = nullptr);
    ~SoShopGoods() override;

    /// True while a crawl of the session runs.
    bool isCrawling() const;

    /// The listed item ids, in the order found.
    QStringList itemIds() const;
    /// The listed items, from the last crawl.
    std::vector<ShopItem> listedItems() const;
    /// False when the last crawl was stopped before its end or ended at a page it could not read: the lists hold
    /// only part of the shop's items.
    bool listComplete() const;
    /// The shop address the lists were read from, as it was typed (empty before the first crawl).
    QString listedAddress() const;

    /// Sets the shop address (SURL), as typed.
    void setShopAddress(const QString& address);
    /// The shop address in SURL, as typed.
    QString shopAddress() const;

    /// What the last crawl could not read, and the message that says so: none and empty when its listing is
    /// complete.
    std::optional<UnreadPage> unreadPage() const;
    QString unreadMessage() const;

public slots:
    void Form_Load();
    /// Starts the crawl of the shop in SURL (the address stays as typed); crawlFinished follows once it has ended.
    /// Refused, saying which job runs, while the session runs one.
    void Command1_Click();
    void SURL_Change();
    void SURL_DblClick();
    void Text1_DblClick();
    void Label2_Click();
    /// Stops a running crawl; the items listed so far stay.
    void cancelCrawl();

signals:
    /// A crawl has ended and its results are in the window; `count` items were listed. `cancelled`: the user
    /// stopped it, so the lists hold only what was found until then.
    void crawlFinished(int count, bool cancelled);

protected:
    /// Form_Unload: the user's close only hides the window.
    void closeEvent(QCloseEvent* event) override;

private:
    /// A crawl of the session started, ended.
    void showCrawlStarted(const QString& address);
    void showCrawlFinished();
    /// The session's listing in the lists, the result text and the status line.
    void showListing();
    /// After a crawl this window asked for: what helps with a page it could not read.
    void tellUnreadPage();
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
    RankingSession& m_session;
};

} // namespace tarvisk
