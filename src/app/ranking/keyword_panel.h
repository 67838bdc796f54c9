#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QPointer>
#include <QString>
#include <QWidget>

#include "jobs/ranking/daily_schedule.h"
#include "store/ranking_history.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QStandardItemModel;
class QSystemTrayIcon;
class QTableView;
class QTimeEdit;
class QTimer;

namespace tarvisk {

class JobProgress;
class StoreThread;
class RankingHistoryWindow;
class RankingSession;

/// The keyword panel of the ranking window ("关键字跟踪"): a list of keywords (one a line; blank lines and repeats
/// are dropped; kept in the database), walked one after another with the window's page count, target and pause
/// by "逐个查询" as a job of the ranking session, with progress and cancel, into a summary table (keyword, outcome, the
/// previous outcome, the change since). Every walk with an answer goes into the ranking history; "排名走势…" opens its
/// window with the chart. "每天自动查询" walks the list once a day at the time set, while the program is open.
class KeywordPanel : public QWidget {
    Q_OBJECT
public:
    /// The panel's width beside the ranking window's controls.
    static constexpr int kWidthTwips = 5160;
    /// How often the daily run looks at the clock.
    static constexpr int kDailyCheckMs = 30 * 1000;

    /// A view of `session`: its runs are the session's, with the session's target and pause.
    KeywordPanel(RankingSession& session, StoreThread& store, QWidget* parent);
    ~KeywordPanel() override;

    /// True while its run walks, or its walks are being stored.
    bool isRunning() const;
    /// The summary of the last run: one row a keyword (关键字, 结果, 上次, 变化).
    const QStandardItemModel& summary() const { return *m_summary; }
    /// The ranking history window, once opened.
    RankingHistoryWindow* historyWindow() const;

    /// The daily run as the settings file holds it.
    static DailySchedule storedSchedule();
    /// Whether the panel was open when the ranking window was last used, and storing it.
    static bool wasShown();
    static void rememberShown(bool shown);

public slots:
    /// Walks the keywords of the list one after another (in the shop mode once the shop is listed); runFinished
    /// follows. Refused (with a message) while a walk runs, without keywords, or without a target.
    void runKeywords();
    /// Stops the run after the page under way; the keywords done so far stay in the summary.
    void cancelRun();
    /// Opens the ranking history on the window's target, the list's keywords on the chart.
    void openHistory();
    /// The daily run's clock tick: starts the day's run when it is due (DueDailyRun; a time the machine slept
    /// through is due on waking) and no walk runs (else waits for the next), once this program has marked the day.
    void DailyTimer_Timer();

    /// The alerts of the last run, one line a keyword ("关键字：下降8位：1页 第3个 → 1页 第11个").
    const QStringList& alerts() const { return m_alerts; }
    /// How many places a keyword must drop for an alert (提醒), kept in the settings file.
    int alertDrop() const;

signals:
    /// A run started or ended.
    void runningChanged();
    void runFinished();
    /// A run ended with `alerts` (shown in a tray notice where the desktop has a tray).
    void alertsRaised(const QStringList& alerts);

private:
    /// Starts the run (the daily one when `scheduled`); the reason it cannot start, empty when it started.
    QString start(bool scheduled);
    /// Walks `keywords` with the window's target.
    void run(std::vector<std::u16string> keywords, bool scheduled);
    void record(std::size_t index, const TrackedWalk& walk, const RankingResult& result);
    /// Marks the summary's row `row` and keeps its alert when `run` calls for one against `previous`.
    void markAlert(int row, const std::optional<RankingRun>& previous, const RankingRun& run);
    /// The run's alerts: alertsRaised, and a tray notice.
    void tellAlerts();
    void finish(bool scheduled);
    /// Keeps a walk of the ranking window in the history (a walk stopped before its answer is not kept).
    void recordWalk(const TrackedWalk& walk, const RankingResult& result);
    void historyChanged();
    void saveKeywords();
    void storeSchedule();
    /// Shows when the daily run comes next, after what the day's run did (`note`, said for the rest of the day).
    void showScheduleStatus(const QString& note = {});
    void openHistoryAt(const std::vector<std::u16string>& keywords);

    RankingSession& m_session;
    StoreThread& m_store;
    bool m_storing = false; // the run has ended; its runs are still being stored
    QPlainTextEdit* m_list;
    QPushButton* m_run;
    QPushButton* m_openHistory;
    QCheckBox* m_daily;
    QTimeEdit* m_dailyTime;
    QLabel* m_dailyStatus;
    QSpinBox* m_alertDrop;
    QStringList m_alerts;
    QSystemTrayIcon* m_tray = nullptr;
    JobProgress* m_progress;
    QStandardItemModel* m_summary;
    QTableView* m_summaryView;
    QLabel* m_summaryLine;
    QTimer* m_saveTimer;
    QTimer* m_dailyTimer;
    QPointer<RankingHistoryWindow> m_history;
    std::vector<std::u16string> m_keywords; ///< of the running or last run
    std::optional<UnreadPage> m_blockedAt;  ///< the login or verification page that ended the running run
    QString m_blockedMessage;
    std::optional<DayMinute> m_lastLooked; ///< when the daily run last looked at the clock
    QString m_dailyNote;                   ///< what the daily run did on the day m_dailyNoteDay
    std::optional<Date> m_dailyNoteDay;
};

} // namespace tarvisk
