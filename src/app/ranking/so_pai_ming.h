#pragma once

#include <memory>

#include <QWidget>

#include "jobs/ranking/ranking_search.h"
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

class BrowserView;
class JobProgress;
class KeywordPanel;
class RankingSession;
class StoreThread;
class ResultTableModel;

/// The ranking window "淘宝宝贝排名查询": for a keyword it walks the marketplace's search result pages and finds
/// the position of one item or of the first item of a shop, listing every item it passes in the result table
/// List0 and drawing their pictures in W1. A view of the ranking session: its boxes set the session's target,
/// pages, pause and 读取方式, and it asks the session for the walk and for the shop's listing. Closing it ends the
/// program.
///
/// Beside the ranking controls, a button opens the keyword panel on the window's right (the walk for a list of
/// keywords, their summary, the ranking history and its chart, the daily run); every walk that gives an answer is
/// kept in the ranking history of `store`.
class SoPaiMing : public QWidget {
    Q_OBJECT
public:
    /// Creates and loads the window (hidden until shown). Without a store the window keeps its own on the data
    /// folder's database.
    explicit SoPaiMing(RankingSession& session, StoreThread* store = nullptr, QWidget* parent = nullptr);
    ~SoPaiMing() override;

    /// The result table behind List0.
    const ResultTable& results() const { return m_table; }
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
    /// Reads the item list of the shop in SURL and tells how many items it has.
    void Command3_Click();
    /// Asks for the shop window (shopWindowRequested).
    void Command4_Click();
    /// Stops the running walk, or the crawl this window asked for; what was found so far stays.
    void cancelSearch();
    /// Stores 读取方式.
    void FetchMode_Change();
    /// Shows or hides the keyword panel (the window grows to its right to hold it).
    void showKeywordPanel(bool shown);
    /// The keyword panel's width: its own, or less on a screen too narrow for it beside the window.
    int keywordPanelWidth() const;

signals:
    void searchFinished();
    /// The user wants to see the shop window (详情).
    void shopWindowRequested();

protected:
    /// Form_Unload: ends the program.
    void closeEvent(QCloseEvent* event) override;

private:
    /// Who waits for a crawl this window asked for.
    enum class ShopReader {
        None,         ///< nobody here
        CountMessage, ///< Command3, which tells the count
        Continuation, ///< the walk, once the shop is listed
    };

    /// The walk of the fields, once they were checked and the shop is listed.
    void startWalk();
    void finishSearch(const RankingResult& result);
    /// Label1 as the status of a walk under way (plain), or as its result (bold).
    void showLabel1(const QString& text, bool result);
    /// A crawl of the session started: its progress shows here when this window asked for it.
    void shopCrawlStarted();
    /// After a crawl Command3 asked for: the count message.
    void tellShopCount();
    /// A job of the session started or ended: the commands, and the status of one that is over.
    void jobChanged();
    /// Enables Command1 and Command3 while no job runs, disables them while one does.
    void refreshCommands();
    /// The page count's bounds applied to the box: below 1 or not a number "1", above 100 "100".
    void boundPages();
    /// Text2 reduced to the item id in it (a pasted item address leaves its id).
    void keepItemIdOnly();
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
    RankingSession& m_session;
    ShopReader m_shopReader = ShopReader::None;
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
};

} // namespace tarvisk
