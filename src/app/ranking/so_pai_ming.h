#pragma once

#include <functional>
#include <memory>

#include <QPointer>
#include <QWidget>

#include "jobs/fetch_mode.h"
#include "jobs/ranking/ranking_search.h"
#include "jobs/shop/shop_crawl.h"
#include "app/ui/background_job.h"
#include "app/ui/pause_box.h"
#include "app/ui/window_helpers.h"
#include "store/ranking_history.h"
#include "table/result_table.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableView;

namespace tarvisk {

class BrowserPageFetch;
class BrowserView;
class JobProgress;
class KeywordPanel;
class StoreThread;
class ResultTableModel;
class SoShopGoods;
class VerificationPause;

/// The ranking window "淘宝宝贝排名查询": for a keyword it walks the marketplace's search result pages and finds
/// the position of one item or of the first item of a shop, listing every item it passes in the result table
/// List0 and drawing their pictures in W1. It remembers its fields in the settings file and drives the shop
/// window for the shop's item ids. Closing it ends the program.
///
/// Beside the ranking controls, a button opens the keyword panel on the window's right (the walk for a list of
/// keywords, their summary, the ranking history and its chart, the daily run); every walk that gives an answer is
/// kept in the ranking history of `store`.
class SoPaiMing : public QWidget {
    Q_OBJECT
public:
    /// Creates and loads the window (hidden until shown). Without a store the window keeps its own on the data
    /// folder's database.
    explicit SoPaiMing(StoreThread* store = nullptr, QWidget* parent = nullptr);
    ~SoPaiMing() override;

    /// The result table behind List0.
    const ResultTable& results() const { return m_table; }
    /// The shop window, created hidden on first use.
    SoShopGoods& shopWindow();
    /// True while a ranking walk runs: the walk of Command1, or those of the keyword panel.
    bool isSearching() const;
    /// True while a ranking walk or a crawl of the shop window runs: neither may start then.
    bool isBusy() const;

    /// The page fetch of every walk, whatever 读取方式 says (tests give their own pages); empty: 读取方式 decides.
    void setPageFetch(RankingPageFetch fetch) { m_fetch = std::move(fetch); }
    /// How the walks and the shop window's crawls reach their pages (读取方式, kept in the settings).
    FetchMode fetchMode() const;
    void setFetchMode(FetchMode mode);
    /// The page fetch of one walk: the one set, else by 读取方式: direct requests, or through the login browser,
    /// where a login or slider page makes the walk wait for the user (`cancelWalk` runs when the user gives up;
    /// `skipText` is the wait's 跳过, naming what it skips).
    RankingPageFetch walkFetch(std::function<void()> cancelWalk, const QString& skipText);
    /// Tells `text` about a page of `kind` at `address` that a walk, a list run or a read of the hidden shop window
    /// could not read, with the offer that helps: reading through the browser (true when taken: 读取方式 is now
    /// 通过浏览器, and the job is to run again), or the page in the login browser (loginBrowserRequested).
    bool tellUnreadPage(const QString& text, PageKind kind, const QString& address);
    /// The pause that shows a page for the user to pass while a walk or a crawl waits; null before the first.
    VerificationPause* verificationPause() const { return m_verification; }
    /// The pause between pages, in seconds.
    int pauseSeconds() const;

    /// The walk the fields ask for, for `keyword`: the page count (held between 1 and 100), the target mode with the
    /// item id or the shop in SURL with the ids the shop window listed of it, and how the ranking history names the
    /// target.
    TrackedWalk trackedWalk(const std::u16string& keyword) const;
    /// Marks the target's box when it is empty (Text2 in the one-item mode, SURL in the shop mode) and returns what
    /// it lacks; empty when the target is given.
    QString markMissingTarget();
    /// Runs `then` once the shop window holds the whole listing of the shop in SURL: at once in the one-item mode
    /// or when it does, else after reading it (with progress in this window). `then` learns whether the shop's
    /// items may be walked; when they may not (the reading was stopped, ended at a page it could not read, or
    /// listed nothing), the window has said why.
    void withShopListing(std::function<void(bool ready)> then);
    /// The keyword panel beside the controls (hidden until its button opens it).
    KeywordPanel& keywordPanel() { return *m_keywordPanel; }

    /// The window's client area: the ranking controls' 16080 × 10530 twips, and a row below them for the pause.
    static constexpr int kClientWidthTwips = 16080;
    static constexpr int kClientHeightTwips = 10950;
    /// The longest pause between pages the window offers, in seconds.
    static constexpr int kMaxPauseSeconds = kMaxPauseBoxSeconds;

public slots:
    void Form_Load();
    void KeyWord_Change();
    void KeyWord_DblClick();
    /// Stores the page count, held between 1 and 100 (the box keeps what is typed until its editing ends).
    void Pages_Change();
    /// Stores the item id in Text2 (the box keeps what is typed until its editing ends or text is pasted).
    void Text2_Change();
    void Op1_Click();
    void Op2_Click();
    /// Stores the pause between pages; the walk and the shop window's crawl wait that long.
    void Pause_Change();
    /// Starts the ranking walk, once the fields give a keyword and a target (else it marks the box that lacks one,
    /// and walks nothing) and, in the shop mode, once the shop in SURL is listed; searchFinished follows once its
    /// results and pictures are shown.
    void Command1_Click();
    /// Draws the picture view of the result table into W1.
    void Command2_Click();
    /// Reads the item list of the shop in SURL through the shop window and tells how many items it has.
    void Command3_Click();
    void Command4_Click();
    /// Stops the running walk, or the crawl that Command3 started; what was found so far stays.
    void cancelSearch();
    /// Stores 读取方式.
    void FetchMode_Change();
    /// Shows or hides the keyword panel (the window grows to its right to hold it).
    void showKeywordPanel(bool shown);
    /// The keyword panel's width: its own, or less on a screen too narrow for it beside the window.
    int keywordPanelWidth() const;

signals:
    void searchFinished();
    /// The user wants to see `address` in the login browser (to log in or pass a verification there).
    void loginBrowserRequested(const QString& address);

protected:
    /// Form_Unload: ends the program.
    void closeEvent(QCloseEvent* event) override;

private:
    /// Who waits for a crawl of the shop window.
    enum class ShopReader {
        None,         ///< nobody here: the user started it in the shop window
        CountMessage, ///< Command3, which tells the count
        Continuation, ///< withShopListing
    };

    /// The walk of the fields, once they were checked and the shop is listed.
    void startWalk();
    void finishSearch(const RankingResult& result);
    /// Label1 as the status of a walk under way (plain), or as its result (bold).
    void showLabel1(const QString& text, bool result);
    /// True when the shop window holds the whole listing, with items, of the shop in SURL.
    bool shopListReady() const;
    /// Reads the shop in SURL through the shop window, for `reader`.
    void readShop(ShopReader reader);
    /// A crawl of the shop window started (by Command3, withShopListing or in the shop window).
    void shopCrawlStarted();
    /// After a crawl of the shop window: the count message when Command3 asked for it, the walk waiting for it.
    void finishShopRead(int count, bool cancelled);
    /// Enables Command1 and Command3 while no job runs, disables them while one does.
    void refreshCommands();
    /// The page count's bounds applied to the box: below 1 or not a number "1", above 100 "100".
    void boundPages();
    /// Text2 reduced to the item id in it (a pasted item address leaves its id).
    void keepItemIdOnly();
    /// True when a page of `kind` met by the walks' or crawls' own requests (直接请求) is passed only by reading
    /// through the browser: a login or verification page, with no page fetch set by tests.
    bool canOfferBrowser(PageKind kind) const;
    /// The fetch through the login browser, made on first use, and its pause for the user.
    BrowserPageFetch& browserFetch();
    /// The page fetch of one crawl of the shop window, by 读取方式.
    ShopPageFetch crawlFetch();
    /// Widens the "No." column when its row numbers outgrow it (1000 and more rows) and the 位置 column when a
    /// place's note does ("1页 第1个（广告）"), for rows `first` to `last`: from the widths the columns have when
    /// `grow`, from their set widths when not.
    void fitColumns(int first, int last, bool grow);
    /// The width List0's column `column` is set up with.
    int presetWidth(int column) const;

    ResultTable m_table;
    std::unique_ptr<ResultTableModel> m_model; // after the table it observes, so it goes first
    QLabel* m_label4;
    QLineEdit* m_keyWord;
    QLabel* m_label2;
    QLineEdit* m_pages;
    QLabel* m_label3;
    QLabel* m_label1;
    QPushButton* m_command2;
    QRadioButton* m_op2;
    QLineEdit* m_surl;
    QPushButton* m_command3;
    QPushButton* m_command4;
    QRadioButton* m_op1;
    QLineEdit* m_text2;
    QPushButton* m_command1;
    QTableView* m_list0;
    QFrame* m_picture1;
    BrowserView* m_w1;
    QLabel* m_label5;
    QSpinBox* m_pause;
    QLabel* m_label6;
    QLabel* m_label7;
    QComboBox* m_fetchMode;
    JobProgress* m_progress;
    QPointer<SoShopGoods> m_shop;
    RankingPageFetch m_fetch;
    ShopReader m_shopReader = ShopReader::None;
    std::function<void(bool ready)> m_afterShopRead;
    // The keyword and the start of the walk the table shows.
    std::u16string m_walkKeyword;
    std::int64_t m_walkStarted = 0;
    int m_foundRow = 0; // the row of the item the last walk found (from 1), marked in the pictures; 0: none
    QString m_text2Now; // Text2 as its latest change left it, to tell a paste from a typed key
    FocusKeeper m_focus;
    std::unique_ptr<StoreThread> m_ownStore;
    StoreThread* m_store;
    KeywordPanel* m_keywordPanel = nullptr;
    QPushButton* m_keywordButton;
    VerificationPause* m_verification = nullptr;
    std::unique_ptr<BrowserPageFetch> m_browser; // outlives the jobs that fetch through it
    BackgroundJob m_job;                         // last: stopped before the members a running walk reports into
};

} // namespace tarvisk
