#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include <QStringList>
#include <QWidget>

#include "jobs/ranking/ranking_trend.h"
#include "store/ranking_history.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QStandardItemModel;
class QTableView;
class QTabWidget;

namespace tarvisk {

class StoreThread;
class RankingChart;

/// The ranking history window "排名走势": for one target (an item, or a shop's items), its keywords with how often
/// they were walked, the best and the latest outcome (the ticked ones drawn on the chart, one line each), and the
/// runs of the keyword chosen in that list, newest first (time, outcome, change, pages read, pages not read), and
/// beside them (the tab 竞品) the items its newest answered run listed above the target, each with how it moved
/// since the run before. The runs of the ticked keywords export to CSV, and so do the competitors; runs older than
/// a number of days are pruned on request; the last keyword run's alerts show under the keyword list.
class RankingHistoryWindow : public QWidget {
    Q_OBJECT
public:
    explicit RankingHistoryWindow(StoreThread& store, QWidget* parent = nullptr);

    /// Shows the history of `target`, with `keywords` ticked (those without runs are left out; with none of them
    /// walked yet, every keyword of the target, up to eight, is ticked).
    void showTarget(const TrackedTarget& target, const std::vector<std::u16string>& keywords);

    /// The runs of the chosen keyword (时间, 结果, 变化, 读了几页, 没读到的页); the keywords themselves (关键字, 次数,
    /// 最好, 最近, the first column ticked for the chart) are in the table HistoryKeywords.
    const QStandardItemModel& runs() const { return *m_runs; }
    /// The competitors of the chosen keyword (名次, 位置, 宝贝, 店铺, 价格, 销量, 广告, 变化, 原销量, 原价格); the
    /// label HistoryCompetitorLine says which run they are of and what it is compared with.
    const QStandardItemModel& competitors() const { return *m_competitors; }
    const RankingChart& chart() const { return *m_chart; }
    /// The target shown, if any.
    std::optional<TrackedTarget> target() const;

public slots:
    /// Reads the history again (the targets, and the runs of the target shown), keeping the ticks; shown when the
    /// store answers.
    void reload();
    void exportRuns();
    void exportCompetitors();
    /// Asks how many days of runs to keep (remembered in the settings file), then deletes the older runs, says how
    /// many, and reads the history again.
    void askToPrune();
    /// Shows the alerts of the last keyword run (最近的提醒), one line each; hidden when there are none.
    void showAlerts(const QStringList& alerts);

signals:
    /// The user wants to see the item page at `address` (a competitor double-clicked) in the login browser.
    void itemPageRequested(const QString& address);

private:
    /// What one reload reads: the targets, the one shown (its place among them) and its runs.
    struct Read {
        std::vector<TrackedTarget> targets;
        /// Of each target, an item's title as its newest run that found it gave (empty for a shop, or unknown).
        std::vector<std::u16string> titles;
        int shown = -1;
        std::optional<std::vector<RankingRun>> runs;
    };
    void showRead(Read read);
    void showRunsOf(int keywordRow);
    /// Reads the competitors of the keyword on row `keywordRow` of the target shown; shown when the store answers.
    void readCompetitorsOf(int keywordRow);
    void showCompetitors(const std::optional<CompetitorView>& view);
    void prune(int days);
    void drawChart();

    StoreThread& m_store;
    int m_reloads = 0;         // an answer to an earlier reload is not shown
    int m_competitorReads = 0; // nor one to an earlier read of competitors
    std::vector<TrackedTarget> m_targets;
    std::optional<TrackedTarget> m_wanted; ///< the target showTarget asked for, until the next reload shows it
    std::set<std::u16string> m_ticked;     ///< the keywords on the chart
    bool m_tickAll = true;                 ///< tick the most recent keywords at the next reload
    std::vector<KeywordRuns> m_history;    ///< of the target shown, in the order of the keyword list
    QComboBox* m_target;
    QLabel* m_count;
    QTableView* m_keywordView;
    QStandardItemModel* m_keywords;
    RankingChart* m_chart;
    QTableView* m_runView;
    QStandardItemModel* m_runs;
    QPushButton* m_export;
    QPushButton* m_prune;
    QGroupBox* m_alertBox;
    QListWidget* m_alerts;
    QTabWidget* m_tabs;
    QLabel* m_competitorLine;
    QTableView* m_competitorView;
    QStandardItemModel* m_competitors;
    QPushButton* m_exportCompetitors;
    std::optional<CompetitorView> m_shownCompetitors; ///< what the competitor table shows, for its export
};

} // namespace tarvisk
