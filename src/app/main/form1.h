#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QPointer>
#include <QString>
#include <QWidget>

#include "jobs/reputation/login_keeper.h"
#include "jobs/reputation/reputation.h"
#include "app/ui/store_thread.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QUrl;

namespace tarvisk {

class BrowserView;
class CheckSidePanel;
class JobProgress;
class RankingDesk;

/// The main window: the login browser W1 on the left; the account box ww, the query button Command1 and the
/// report browser W2 on the right; the keep-alive switch Check1 with its timer Timer1; Command2 opens the
/// ranking window. Its handlers read the controls, call the core and write the results back.
class Form1 : public QWidget {
    Q_OBJECT
public:
    /// What the window takes from its surroundings; empty members mean the real thing.
    struct Environment {
        std::function<QString()> programFolder;       ///< the folder of the program file
        std::function<std::u16string()> fetchNotice;  ///< the maker's notice page's answer
        std::function<void(const QUrl&)> openBrowser; ///< opens an address in the user's browser
        ReputationQuery::PageFetch fetchPage;         ///< the reputation query's page requests
        LoginKeeper::PageFetch keepAlive;             ///< the keep-alive request
    };

    explicit Form1(Environment environment = {}, QWidget* parent = nullptr);
    ~Form1() override;

    /// The start-up steps, before the window is shown. False when the program is to end instead: it runs
    /// from an archive tool's folder, or the maker's notice came (its message shown, its address opened).
    bool Form_Load();
    /// After the last window closed, before the program ends: the history's queued writes made, or the user told
    /// which could not be and asked to try them again.
    void finishStore() { m_store.finish(nullptr); }

    /// The ranking window (a SoPaiMing), once Command2 has opened it.
    QWidget* rankingWindow() const { return m_ranking; }
    /// The ranking tools, once the ranking window was opened.
    RankingDesk* rankingDesk() const { return m_desk.get(); }
    /// The windows beside the check, once opened: the batch check, the buyer lists, the check history.
    QWidget* batchCheckWindow() const { return m_batch; }
    QWidget* buyerListWindow() const { return m_lists; }
    QWidget* checkHistoryWindow() const { return m_history; }

public slots:
    /// The reputation check of the account in ww; the report goes into W2. While it waits for the marketplace,
    /// a strip under the query button says so and offers to give it up.
    void Command1_Click();
    /// Gives up the reputation check under way (the strip's 取消, or Esc): no report and no message box; the report
    /// area says 已取消, and the account stays in ww.
    void cancelQuery();
    /// Shows the ranking window (created on the first press), not modal.
    void Command2_Click();
    /// The keep-alive tick.
    void Timer1_Timer();
    /// A document finished loading in the login browser (the page or one of its frames): the page is scrolled
    /// 500 pixels right and 100 down, so a page with two frames moves three times.
    void W1_DocumentComplete();
    /// Shows `address` in the login browser and brings this window to the front, so that the user can log in or
    /// pass a verification there by hand. The login browser shows no address bar: it opens only the marketplace's
    /// own pages, over https (LoginBrowserAddress); for any other address a message says where it pointed.
    void openInLoginBrowser(const QString& address);
    /// Show the batch check, the buyer list editor and the check history over this window (each created on first
    /// use).
    void openBatchCheck();
    void openBuyerLists();
    void openCheckHistory();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ww_GotFocus();
    bool ww_KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    QString programFolder() const;
    /// The folder the report's own badges ("tbimgs/...") are read from: ResourceFolder of the program's folder.
    QString resourceFolder() const;
    void placeHistoryControls();
    /// Shows `html` in the report browser W2.
    void showInReport(const std::u16string& html);
    /// The report area after a check of `account` that gave no report: it says so, above the report it still
    /// shows and names.
    void showNoReport(const std::u16string& account, const std::u16string& why);
    /// The login browser gives up the side panel's width while the panel shows, so the panel never lies over
    /// the page (a login form at the page's right edge).
    void makeRoomForSidePanel(bool panelShown);
    /// The names of the jobs that run now (this window's check, a batch, a ranking walk or a shop listing).
    QStringList runningJobs() const;
    /// True when the program may end now: no job runs, or the user chose to stop them.
    bool mayEndProgram();
    /// The ranking window, created (hidden) on first use.
    QWidget* rankingWindowMade();

    Environment m_environment;
    ReputationQuery m_query;
    LoginKeeper m_keeper;
    std::atomic<bool> m_closing{false};
    // Set by cancelQuery and by closing the window: the running query gives up.
    std::atomic<bool> m_stopQuery{false};
    std::unique_ptr<RankingDesk> m_desk;
    QPointer<QWidget> m_ranking;

    QTimer* m_timer1;
    QCheckBox* m_check1;
    QPushButton* m_command2;
    QPlainTextEdit* m_text1;
    QFrame* m_p2;
    BrowserView* m_w2;
    QFrame* m_p1;
    BrowserView* m_w1;
    QPushButton* m_command1;
    QLineEdit* m_ww;
    QLabel* m_label2;
    QLabel* m_label1;
    // The check history and the buyer lists, and the windows on them (deleted before the store).
    StoreThread m_store;
    QPointer<QWidget> m_batch;
    QPointer<QWidget> m_lists;
    QPointer<QWidget> m_history;
    CheckSidePanel* m_sidePanel = nullptr;
    int m_roomForSidePanel = 0; // the width, in pixels, the login browser gave up to the side panel
    JobProgress* m_progress;
    std::optional<ReputationFacts> m_shownReport; // the report in W2
};

} // namespace tarvisk
