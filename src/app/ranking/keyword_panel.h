#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <QPointer>
#include <QString>
#include <QWidget>

#include "jobs/ranking/daily_schedule.h"
#include "store/ranking_history.h"
#include "store/tracked_keywords.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
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

/// The keyword panel of the ranking window ("关键字跟踪"): the tracked keywords of each target (an item or a shop,
/// chosen in 跟踪目标; one keyword a line; blank lines and repeats are dropped; kept in the database with the target
/// and its alert rule), walked one after another with the window's page count and pause by "逐个查询" as a job of the
/// ranking session, with progress and cancel, into a summary table (keyword, outcome, the previous outcome, the
/// change since). Keywords typed for the window's target (the entry 窗口中的目标) are kept for the target the window
/// names then, whatever its boxes say later. Every walk with an answer goes into the ranking history; "排名走势…"
/// opens its window with the chart. "每天自动查询" walks every target's keywords once a day at the time set, while
/// the program is open, without waiting for anyone at a login or slider page.
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

    /// Walks again the keywords of the last run that gave no answer (结果不完整, 未查询, 已取消), each for its target.
    void runUnfinished();

public:
    /// The alerts of the last run, one line a keyword ("关键字：下降8位：1页 第3个 → 1页 第11个").
    const QStringList& alerts() const { return m_alerts; }
    /// The target whose keywords the list shows.
    TrackedTarget shownTarget() const;
    /// How long a daily run waits after a login or slider page before the next keyword (tests shorten it).
    static void setUnattendedWait(double seconds);

signals:
    /// A run started or ended.
    void runningChanged();
    void runFinished();
    /// A run ended with `alerts` (shown in a tray notice where the desktop has a tray).
    void alertsRaised(const QStringList& alerts);
    /// The alerts of a run went to the group bot at 提醒网址 (`problem` empty), or did not.
    void alertsPosted(const QString& problem);

private:
    /// One keyword of a run, with its target and alert rule.
    struct Planned {
        TrackedKeyword tracked;
        TrackedWalk walk; ///< set once the listing of its shop is read
    };
    /// Starts a run of `planned` (the daily one when `scheduled`); the reason it cannot start, empty when it started.
    QString start(std::vector<Planned> planned, bool scheduled);
    /// The keywords of the shown target (`all`: of every target) to walk.
    std::vector<Planned> plan(bool all) const;
    /// Reads the listings of the run's shops one after another from `index`, then walks.
    void readListings(std::size_t index, bool scheduled);
    void run(bool scheduled);
    void record(std::size_t index, const RankingResult& result);
    /// Marks the summary's row `row` and keeps its alert when `run` calls for one against `previous`.
    void markAlert(int row, const std::optional<RankingRun>& previous, const RankingRun& run, const AlertRule& rule);
    /// The run's alerts: alertsRaised, a tray notice, and the group bot at 提醒网址.
    void tellAlerts();
    void postAlerts();
    void finish(bool scheduled);
    /// Keeps a walk of the ranking window in the history (a walk stopped before its answer is not kept).
    void recordWalk(const TrackedWalk& walk, const RankingResult& result);
    void historyChanged();
    /// Reads the tracked keywords again (the window's target given to those kept before targets were), and shows
    /// them; `select`, when given, is chosen.
    void reloadTracked(std::optional<TrackedTarget> select = std::nullopt);
    /// Shows 跟踪目标's entries and the keywords and rule of the one chosen.
    void showTargets(std::optional<TrackedTarget> select);
    void showShownKeywords();
    void saveKeywords();
    void saveRule();
    AlertRule shownRule() const;
    void storeSchedule();
    /// Shows when the daily run comes next, after what the day's run did (`note`, said for the rest of the day).
    void showScheduleStatus(const QString& note = {});
    void openHistoryAt(const std::vector<std::u16string>& keywords);

    RankingSession& m_session;
    StoreThread& m_store;
    bool m_storing = false; // the run has ended; its runs are still being stored
    QComboBox* m_target;
    QPlainTextEdit* m_list;
    QPushButton* m_run;
    QPushButton* m_runUnfinished;
    QPushButton* m_openHistory;
    QCheckBox* m_daily;
    QTimeEdit* m_dailyTime;
    QLabel* m_dailyStatus;
    QSpinBox* m_alertDrop;
    QCheckBox* m_alertFellOut;
    QCheckBox* m_alertUnread;
    QLineEdit* m_webhook;
    QStringList m_alerts;
    QSystemTrayIcon* m_tray = nullptr;
    JobProgress* m_progress;
    QStandardItemModel* m_summary;
    QTableView* m_summaryView;
    QLabel* m_summaryLine;
    QTimer* m_saveTimer;
    QTimer* m_dailyTimer;
    QPointer<RankingHistoryWindow> m_history;
    std::vector<TrackedKeyword> m_tracked;     ///< as the database holds them, with the changes asked of it
    int m_edits = 0;                           ///< changes of m_tracked asked of the database so far
    std::vector<TrackedTarget> m_targets;      ///< of 跟踪目标's entries; the last is the window's when not tracked
    std::vector<Planned> m_planned;            ///< of the running or last run
    std::shared_ptr<std::vector<int>> m_rows;  ///< the summary row of each walk of the running run
    std::vector<TrackedKeyword> m_rowKeywords; ///< of each row of the summary
    std::vector<Planned> m_unfinished;         ///< of the last run, without an answer
    std::thread m_post;                        ///< the post of the last run's alerts to the group bot
    std::optional<TrackedTarget> m_listTarget; ///< whose keywords the list was filled with
    std::map<std::u16string, std::u16string> m_captions; ///< of the targets by kind and value, as the store names them
    bool m_wantedTheUser = false;                        ///< a login or slider page met by the running run
    std::optional<UnreadPage> m_blockedAt;               ///< the login or verification page that ended the running run
    QString m_blockedMessage;
    std::optional<DayMinute> m_lastLooked; ///< when the daily run last looked at the clock
    QString m_dailyNote;                   ///< what the daily run did on the day m_dailyNoteDay
    std::optional<Date> m_dailyNoteDay;
};

} // namespace tarvisk
