#pragma once

#include <optional>
#include <vector>

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
class StoreThread;
class VerificationPause;

/// The batch check window "批量查询买家信誉": the user pastes account names (one a line; blank lines and repeats are
/// dropped) and gets a table of their checks (verdict, registration date, credits, good ratings of the week and the
/// month, list, previous verdict), checked one after another with progress, a pause between accounts (the pause the
/// ranking window uses between pages) and cancel. Every completed check goes into the history, as the main window's
/// own do. At a login or verification page the batch waits: the page shows in a window of the login browser, and
/// once the user has passed it the batch goes on with the same account (取消 there cancels the batch). 开始查询 after
/// a cancelled batch offers to go on with the accounts it left unchecked. A double-click on a row shows its full
/// report; the table exports to CSV. Esc closes the window, unless a batch runs: then it cancels the batch.
class BatchCheckWindow : public QWidget {
    Q_OBJECT
public:
    /// `fetch` is the queries' page fetch (empty: the marketplace); `resourceFolder` holds the report's badges.
    BatchCheckWindow(StoreThread& store, ReputationQuery::PageFetch fetch, QString resourceFolder,
                     QWidget* parent = nullptr);
    ~BatchCheckWindow() override;

    /// True from the start of a batch until its checks are stored and its summary shown.
    bool isChecking() const { return m_job.isRunning() || m_storing; }
    const CheckListModel& results() const { return m_checks; }
    /// Where a batch waits at a login or slider page.
    const VerificationPause& verificationPause() const { return *m_verification; }

public slots:
    /// Checks the accounts in the box (or, when the user chooses so, those a stopped batch left unchecked);
    /// batchFinished follows once the last one (or the cancel) is through.
    void start();
    /// Stops a running batch after the account under way; its rows so far stay.
    void cancel();
    void exportResults();

signals:
    void batchFinished();

protected:
    /// Closing stops a running batch; the window keeps its table for the next time it is shown.
    void closeEvent(QCloseEvent* event) override;
    /// Shows the pause as the ranking window may have changed it.
    void showEvent(QShowEvent* event) override;

private:
    /// Checks the accounts of the table's rows `rows`.
    void run(std::vector<std::size_t> rows);
    /// The rows to check for `accounts`: every row anew, or those a stopped batch of the same accounts left
    /// unchecked when the user chooses to go on with them. None when the user gave up.
    std::optional<std::vector<std::size_t>> rowsToCheck(const std::vector<std::u16string>& accounts);
    void record(std::size_t row, const ReputationOutcome& outcome);
    void finish(std::size_t checked);

    StoreThread& m_store;
    bool m_storing = false; // the batch has ended; its checks are still being stored
    ReputationQuery::PageFetch m_fetch;
    VerificationPause* m_verification;
    std::vector<std::size_t> m_checking;  ///< the rows the running batch checks, in order
    std::vector<std::size_t> m_unchecked; ///< the rows the last batch left without an answer
    QPlainTextEdit* m_accounts;
    QSpinBox* m_pause;
    QPushButton* m_start;
    QPushButton* m_export;
    QLabel* m_summary;
    JobProgress* m_progress;
    CheckListModel m_checks;
    CheckTableView* m_table;
    BackgroundJob m_job; // last: stopped before the members a running batch reports into
};

} // namespace tarvisk
