#include "app/main/batch_check_window.h"

#include <memory>

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/browser/verification_pause.h"
#include "jobs/reputation/batch_check.h"
#include "app/ui/job_progress.h"
#include "app/ui/message_box.h"
#include "app/ui/pause_box.h"
#include "app/ui/qt_text.h"
#include "app/ui/store_thread.h"
#include "app/ui/window_font.h"
#include "app/ui/window_helpers.h"
#include "core/date.h"
#include "store/check_history.h"
#include "store/exports.h"
#include "text/text_ops.h"

namespace tarvisk {

namespace {

constexpr char16_t kWaiting[] = u"等待查询";
constexpr char16_t kNotChecked[] = u"已停止，没有查询";
constexpr char16_t kSkipped[] = u"跳过了登录或验证，没有查询";

} // namespace

BatchCheckWindow::BatchCheckWindow(StoreThread& store, ReputationQuery::PageFetch fetch, QString resourceFolder,
                                   QWidget* parent)
    : QWidget(parent, Qt::Window), m_store(store), m_fetch(fetch ? std::move(fetch) : DirectPageFetch),
      m_verification(new VerificationPause(*this, this)), m_accounts(new QPlainTextEdit(this)),
      m_pause(MakePauseBox(this)), m_start(MakeButton(QStringLiteral("开始查询"), "StartBatch", this)),
      m_export(MakeButton(QStringLiteral("导出CSV…"), "ExportBatch", this)), m_summary(new QLabel(this)),
      m_progress(new JobProgress(this)), m_checks(false),
      m_table(new CheckTableView(m_checks, std::move(resourceFolder), this)) {
    setObjectName(QStringLiteral("BatchCheck"));
    setWindowTitle(QStringLiteral("批量查询买家信誉"));
    setFont(WindowFont(9));
    resize(920, 620);

    m_accounts->setObjectName(QStringLiteral("Accounts"));
    m_accounts->setPlaceholderText(QStringLiteral("老实买家\n刷单小号\n…"));
    m_accounts->setMaximumHeight(130);
    m_pause->setObjectName(QStringLiteral("Pause"));
    m_pause->setToolTip(QStringLiteral("每查完一个账号稍等片刻（前后随机浮动三成），可减少淘宝的安全验证"));
    m_summary->setObjectName(QStringLiteral("BatchSummary"));
    m_table->setObjectName(QStringLiteral("BatchResults"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_start);
    buttons->addWidget(m_export);
    buttons->addSpacing(12);
    buttons->addWidget(new QLabel(QStringLiteral("账号间停顿："), this));
    buttons->addWidget(m_pause);
    buttons->addSpacing(12);
    buttons->addWidget(m_summary, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("买家账号，每行一个（空行和重复的账号会去掉）："), this));
    layout->addWidget(m_accounts);
    layout->addLayout(buttons);
    layout->addWidget(m_progress);
    layout->addWidget(m_table, 1);
    layout->addWidget(new QLabel(QStringLiteral("双击一行查看完整报告。查询结果会存入查询记录。"), this));

    connect(m_start, &QPushButton::clicked, this, &BatchCheckWindow::start);
    connect(m_export, &QPushButton::clicked, this, &BatchCheckWindow::exportResults);
    connect(m_progress, &JobProgress::cancelRequested, this, &BatchCheckWindow::cancel);
    connect(m_pause, &QSpinBox::valueChanged, this, [](int seconds) { StorePauseSeconds(seconds); });
    CloseOnEscape(*this);
}

BatchCheckWindow::~BatchCheckWindow() = default;

void BatchCheckWindow::start() {
    if (isChecking()) {
        return;
    }
    const std::vector<std::u16string> accounts = DistinctLines(CoreText(m_accounts->toPlainText()));
    if (accounts.empty()) {
        ShowMessageBox(this, QStringLiteral("请先输入要查询的买家账号，每行一个"));
        return;
    }
    if (std::optional<std::vector<std::size_t>> rows = rowsToCheck(accounts)) {
        run(std::move(*rows));
    }
}

std::optional<std::vector<std::size_t>> BatchCheckWindow::rowsToCheck(const std::vector<std::u16string>& accounts) {
    std::vector<std::u16string> shown;
    for (const CheckRow& row : m_checks.rows()) {
        shown.push_back(row.account);
    }
    if (!m_unchecked.empty() && accounts == shown) {
        const auto left = static_cast<int>(m_unchecked.size());
        const std::optional<int> choice = ChooseMessageBox(
            this,
            QStringLiteral("上次的批量查询没有查完：还有 %1 个账号没有查询。\n接着查询这 %1 个账号，还是全部重新查询？")
                .arg(left),
            {QStringLiteral("接着查询 %1 个账号").arg(left), QStringLiteral("全部重新查询")});
        if (!choice) {
            return std::nullopt;
        }
        if (*choice == 0) {
            for (const std::size_t row : m_unchecked) {
                m_checks.setRow(row,
                                {m_checks.rows()[row].account, std::nullopt, kWaiting, 0, std::nullopt, std::nullopt});
            }
            return m_unchecked;
        }
    }
    std::vector<CheckRow> rows;
    std::vector<std::size_t> all;
    for (const std::u16string& account : accounts) {
        all.push_back(rows.size());
        rows.push_back({account, std::nullopt, kWaiting, 0, std::nullopt, std::nullopt});
    }
    m_checks.setRows(std::move(rows));
    return all;
}

void BatchCheckWindow::run(std::vector<std::size_t> rows) {
    std::vector<std::u16string> accounts;
    for (const std::size_t row : rows) {
        accounts.push_back(m_checks.rows()[row].account);
    }
    m_checking = std::move(rows);
    m_unchecked.clear();
    m_summary->clear();
    m_start->setEnabled(false);
    m_accounts->setReadOnly(true);
    m_progress->begin();

    BatchCheckOptions options;
    // A login or slider page does not end the batch: it waits while the user passes the page in a window of the
    // login browser, whose cookies the queries share, and goes on with the same account; or, skipped, with the next.
    options.fetch = [this](const std::u16string& url) {
        return m_verification->fetch([&] { return m_fetch(url); },
                                     [](const FetchedPage& page) { return ClassifyPage(page, kProfileTexts); },
                                     QStringLiteral("批量查询"), QStringLiteral("跳过这个账号"), [this] { cancel(); });
    };
    options.cancel = m_job.cancelFlag();
    options.pauseSeconds = m_pause->value();
    options.progress = [this, accounts](int index, int count) {
        const QString text = QStringLiteral("正在查询第 %1 / %2 个账号：%3")
                                 .arg(index)
                                 .arg(count)
                                 .arg(QtText(accounts[static_cast<std::size_t>(index - 1)]));
        m_job.post([this, text] { m_progress->setStatus(text); });
    };
    options.checked = [this](std::size_t index, const ReputationOutcome& outcome) {
        m_job.post([this, index, outcome] { record(m_checking[index], outcome); });
    };
    auto checked = std::make_shared<std::size_t>(0);
    // The summary comes once the store has answered for every check (its calls run in the order asked).
    m_job.start([accounts, options, checked] { *checked = RunBatchCheck(accounts, options); },
                [this, checked] {
                    m_storing = true;
                    m_store.afterAll(this, [this, checked] {
                        m_storing = false;
                        finish(*checked);
                    });
                });
}

void BatchCheckWindow::record(std::size_t rowIndex, const ReputationOutcome& outcome) {
    CheckRow row;
    row.account = outcome.account;
    const bool report = outcome.status == ReputationOutcome::Status::Report;
    if (report) {
        row.checkedAt = UnixTimeNow();
        row.facts = outcome.facts;
        row.facts->rawRatingText.clear();
    } else if (outcome.status == ReputationOutcome::Status::PageNotRead &&
               outcome.unread.kind == PageKind::SkippedByUser) {
        // Skipped, the account is left for 接着查询 as those the batch never reached.
        row.message = kSkipped;
        m_unchecked.push_back(rowIndex);
    } else {
        // A check without a report is not stored; the buyer's list still shows.
        row.message =
            outcome.status == ReputationOutcome::Status::PageNotRead ? outcome.unread.message : outcome.stop.message;
    }
    m_store.ask(
        this,
        [report, account = outcome.account, facts = outcome.facts, checkedAt = row.checkedAt](LocalStore& store) {
            if (!report) {
                CheckContext context;
                context.listed = FindListEntry(store, account);
                return context;
            }
            return RecordCheck(store, facts, checkedAt);
        },
        [this, rowIndex, row = std::move(row)](CheckContext context) mutable {
            row.listed = std::move(context.listed);
            row.previous = std::move(context.previous);
            m_checks.setRow(rowIndex, std::move(row));
        });
}

void BatchCheckWindow::finish(std::size_t checked) {
    for (std::size_t i = checked; i < m_checking.size(); ++i) {
        const std::size_t row = m_checking[i];
        m_checks.setRow(row, {m_checks.rows()[row].account, std::nullopt, kNotChecked, 0, std::nullopt, std::nullopt});
        m_unchecked.push_back(row);
    }
    m_checking.clear();
    int safe = 0;
    int unsafe = 0;
    int unfinished = 0;
    for (const CheckRow& row : m_checks.rows()) {
        if (!row.facts) {
            ++unfinished;
        } else if (row.facts->verdict == Verdict::Safe) {
            ++safe;
        } else {
            ++unsafe;
        }
    }
    m_summary->setText(QStringLiteral("共 %1 个账号：安全 %2，不安全 %3，未完成 %4")
                           .arg(m_checks.rowCount())
                           .arg(safe)
                           .arg(unsafe)
                           .arg(unfinished));
    m_progress->end();
    m_start->setEnabled(true);
    m_accounts->setReadOnly(false);
    emit batchFinished();
}

void BatchCheckWindow::cancel() {
    m_job.cancel();
}

void BatchCheckWindow::exportResults() {
    m_table->exportCsv(QStringLiteral("批量查询.csv"), QStringLiteral("还没有查询结果可以导出"),
                       [this] { return std::optional(ChecksCsv(m_checks.rows())); });
}

void BatchCheckWindow::showEvent(QShowEvent* event) {
    const QSignalBlocker blocker(m_pause);
    m_pause->setValue(StoredPauseSeconds());
    QWidget::showEvent(event);
}

void BatchCheckWindow::closeEvent(QCloseEvent* event) {
    m_job.cancel();
    QWidget::closeEvent(event);
}

} // namespace tarvisk
