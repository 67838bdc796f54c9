#pragma once

#include <optional>

#include <QString>
#include <QWidget>

#include "app/main/check_table_view.h"
#include "jobs/reputation/reputation.h"
#include "app/ui/background_job.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace tarvisk {

class JobProgress;
class LocalStore;

/// The batch check window "批量查询买家信誉": the user pastes account names (one a line; blank lines and repeats are
/// dropped) and gets a table of their checks (verdict, registration date, credits, good ratings of the week and the
/// month, list, previous verdict), checked one after another with progress, a pause between accounts (the pause the
/// ranking window uses between pages) and cancel. Every completed check goes into the history, as the main window's
/// own do. A login or verification page ends the batch: the marketplace then wants the user, and the window offers
/// to open the page in the login browser. A double-click on a row shows its full report; the table exports to CSV.
class BatchCheckWindow : public QWidget {
    Q_OBJECT
public:
    /// `fetch` is the queries' page fetch (empty: the marketplace); `resourceFolder` holds the report's badges.
    BatchCheckWindow(LocalStore& store, ReputationQuery::PageFetch fetch, QString resourceFolder,
                     QWidget* parent = nullptr);
    ~BatchCheckWindow() override;

    bool isChecking() const { return m_job.isRunning(); }
    const CheckTableModel& results() const { return m_table->checks(); }

public slots:
    /// Checks the accounts in the box; batchFinished follows once the last one (or the cancel) is through.
    void start();
    /// Stops a running batch after the account under way; its rows so far stay.
    void cancel();
    void exportResults();

signals:
    void batchFinished();
    /// The user asked to open `address` (a login or verification page) in the login browser.
    void loginBrowserRequested(const QString& address);

protected:
    /// Closing stops a running batch; the window keeps its table for the next time it is shown.
    void closeEvent(QCloseEvent* event) override;
    /// Shows the pause as the ranking window may have changed it.
    void showEvent(QShowEvent* event) override;

private:
    void record(std::size_t index, const ReputationOutcome& outcome);
    void finish(std::size_t checked);

    LocalStore& m_store;
    ReputationQuery::PageFetch m_fetch;
    std::optional<UnreadReputationPage> m_blockedAt; ///< the page that ended the running batch
    QPlainTextEdit* m_accounts;
    QSpinBox* m_pause;
    QPushButton* m_start;
    QPushButton* m_export;
    QLabel* m_summary;
    JobProgress* m_progress;
    CheckTableView* m_table;
    BackgroundJob m_job; // last: stopped before the members a running batch reports into
};

} // namespace tarvisk
