#include "app/ranking/keyword_panel.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include <QCheckBox>
#include <QColor>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QStandardItemModel>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "jobs/ranking/keyword_ranking.h"
#include "jobs/ranking/ranking_alert.h"
#include "app/ranking/ranking_history_window.h"
#include "app/session/ranking_session.h"
#include "app/session/unread_page_offer.h"
#include "app/ui/job_progress.h"
#include "app/ui/message_box.h"
#include "app/ui/qt_text.h"
#include "app/ui/store_thread.h"
#include "app/ui/window_helpers.h"
#include "app/ui/plain_text.h"
#include "core/date.h"
#include "core/hooks.h"
#include "core/utf8.h"
#include "store/local_store.h"
#include "text/encoding.h"
#include "text/numbers.h"
#include "text/settings.h"
#include "text/text_ops.h"

namespace tarvisk {

namespace {

// Settings keys of the panel.
constexpr char16_t kShownKey[] = u"KeywordPanel";
constexpr char16_t kDailyKey[] = u"DailyRun";
constexpr char16_t kDailyTimeKey[] = u"DailyTime";
constexpr char16_t kDailyDateKey[] = u"DailyRunDate";
constexpr char16_t kAlertDropKey[] = u"AlertDrop";

// An alert fires for a drop of this many places, unless the user set another.
constexpr int kDefaultAlertDrop = 5;

// Summary cells of keywords not walked (yet).
constexpr char16_t kWaiting[] = u"等待查询";
constexpr char16_t kWalking[] = u"正在查询…";
constexpr char16_t kNotWalked[] = u"未查询";
constexpr char16_t kCancelled[] = u"已取消";

// A typed list is stored once the user pauses typing this long.
constexpr int kSaveDelayMs = 800;

enum SummaryColumn { KeywordColumn, OutcomeColumn, PreviousColumn, ChangeColumn };

QStandardItem* cell(const QString& text) {
    auto* item = new QStandardItem(text);
    item->setEditable(false);
    return item;
}

} // namespace

KeywordPanel::KeywordPanel(RankingSession& session, StoreThread& store, QWidget* parent)
    : QWidget(parent), m_session(session), m_store(store), m_list(new QPlainTextEdit(this)),
      m_run(MakeButton(QStringLiteral("逐个查询"), "RunKeywords", this)),
      m_openHistory(MakeButton(QStringLiteral("排名走势…"), "OpenRankingHistory", this)),
      m_daily(new QCheckBox(QStringLiteral("每天自动查询，时间："), this)), m_dailyTime(new QTimeEdit(this)),
      m_dailyStatus(new QLabel(this)), m_alertDrop(new QSpinBox(this)), m_progress(new JobProgress(this)),
      m_summary(new QStandardItemModel(this)), m_summaryView(new QTableView(this)), m_summaryLine(new QLabel(this)),
      m_saveTimer(new QTimer(this)), m_dailyTimer(new QTimer(this)) {
    setObjectName(QStringLiteral("KeywordPanel"));
    m_list->setObjectName(QStringLiteral("KeywordList"));
    m_list->setPlaceholderText(QStringLiteral("软件开发\n连衣裙\n…"));
    m_list->setFixedHeight(150);
    m_daily->setObjectName(QStringLiteral("DailyRun"));
    m_dailyTime->setObjectName(QStringLiteral("DailyTime"));
    m_dailyTime->setDisplayFormat(QStringLiteral("HH:mm"));
    m_dailyStatus->setObjectName(QStringLiteral("DailyStatus"));
    m_dailyStatus->setWordWrap(true);
    m_alertDrop->setObjectName(QStringLiteral("AlertDrop"));
    m_alertDrop->setRange(1, 100);
    m_alertDrop->setValue(alertDrop());
    // The strip's parts are named apart from those of the ranking walk's strip in the same window.
    m_progress->setObjectName(QStringLiteral("KeywordProgress"));
    m_progress->findChild<QLabel*>(QStringLiteral("JobProgressText"))
        ->setObjectName(QStringLiteral("KeywordProgressText"));
    m_progress->findChild<QPushButton*>(QStringLiteral("CancelJob"))->setObjectName(QStringLiteral("CancelKeywords"));
    m_summaryLine->setObjectName(QStringLiteral("KeywordSummaryLine"));
    m_summaryLine->setWordWrap(true);
    m_summaryView->setObjectName(QStringLiteral("KeywordSummary"));
    m_summary->setHorizontalHeaderLabels(
        {QStringLiteral("关键字"), QStringLiteral("结果"), QStringLiteral("上次"), QStringLiteral("变化")});
    m_summaryView->setModel(m_summary);
    m_summaryView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_summaryView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_summaryView->verticalHeader()->hide();
    m_summaryView->verticalHeader()->setDefaultSectionSize(m_summaryView->fontMetrics().height() + 6);
    // Every column shows whole, the outcomes as wide as their texts; the keyword takes what is left. The outcomes
    // give the position alone (today's place among the unpaid items is in their tooltips), so that a long one
    // does not push 上次 and 变化 out of view.
    QHeaderView* header = m_summaryView->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(KeywordColumn, QHeaderView::Stretch);
    m_dailyTimer->setObjectName(QStringLiteral("DailyTimer"));
    m_saveTimer->setSingleShot(true);
    m_saveTimer->setInterval(kSaveDelayMs);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_run);
    buttons->addWidget(m_openHistory);
    auto* daily = new QHBoxLayout;
    daily->addWidget(m_daily);
    daily->addWidget(m_dailyTime);
    daily->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 8, 6);
    layout->addWidget(new QLabel(QStringLiteral("多个关键字（每行一个）："), this));
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    layout->addLayout(daily);
    auto* alert = new QHBoxLayout;
    alert->addWidget(new QLabel(QStringLiteral("提醒：下降"), this));
    alert->addWidget(m_alertDrop);
    alert->addWidget(new QLabel(QStringLiteral("位以上、跌出或读不到时"), this));
    alert->addStretch(1);
    layout->addLayout(alert);
    layout->addWidget(m_dailyStatus);
    layout->addWidget(m_progress);
    layout->addWidget(m_summaryLine);
    layout->addWidget(m_summaryView, 1);
    auto* hint =
        new QLabel(QStringLiteral("按左边的页数、查询目标和页间停顿逐个查询。双击一行看这个关键字的排名走势。"), this);
    hint->setWordWrap(true);
    layout->addWidget(hint);

    // The keywords kept come when the store answers; until then the list takes no typing that they would replace.
    const QString placeholder = m_list->placeholderText();
    m_list->setReadOnly(true);
    m_list->setPlaceholderText(QStringLiteral("正在读取关键字…"));
    m_store.ask(
        this, [](LocalStore& store) { return TrackedKeywords(store); },
        [this, placeholder](const std::optional<std::vector<std::u16string>>& keywords) {
            m_list->setPlaceholderText(placeholder);
            m_list->setReadOnly(isRunning());
            // A list put in meanwhile (a paste) is kept.
            if (keywords && m_list->toPlainText().isEmpty()) {
                QStringList lines;
                for (const std::u16string& keyword : *keywords) {
                    lines << QtText(keyword);
                }
                const QSignalBlocker blocker(m_list);
                m_list->setPlainText(lines.join(QLatin1Char('\n')));
            }
        });
    const DailySchedule schedule = storedSchedule();
    m_daily->setChecked(schedule.enabled);
    m_dailyTime->setTime(QTime(schedule.minute / 60, schedule.minute % 60));

    connect(m_list, &QPlainTextEdit::textChanged, m_saveTimer, qOverload<>(&QTimer::start));
    connect(m_saveTimer, &QTimer::timeout, this, &KeywordPanel::saveKeywords);
    connect(m_run, &QPushButton::clicked, this, &KeywordPanel::runKeywords);
    connect(m_openHistory, &QPushButton::clicked, this, &KeywordPanel::openHistory);
    connect(m_progress, &JobProgress::cancelRequested, this, &KeywordPanel::cancelRun);
    connect(m_daily, &QCheckBox::toggled, this, &KeywordPanel::storeSchedule);
    connect(m_dailyTime, &QTimeEdit::timeChanged, this, &KeywordPanel::storeSchedule);
    connect(m_summaryView, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        openHistoryAt({CoreText(m_summary->item(index.row(), KeywordColumn)->text())});
    });
    connect(&m_session, &RankingSession::walkFinished, this, &KeywordPanel::recordWalk);
    connect(m_alertDrop, &QSpinBox::valueChanged, this,
            [](int places) { WriteSetting(kAlertDropKey, FromUtf8(std::to_string(places))); });
    // A row marked for its alert is looked at once it is chosen.
    connect(m_summaryView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) {
                    for (int column = 0; column < m_summary->columnCount(); ++column) {
                        m_summary->item(current.row(), column)->setData({}, Qt::BackgroundRole);
                    }
                }
            });
    connect(m_dailyTimer, &QTimer::timeout, this, &KeywordPanel::DailyTimer_Timer);
    m_dailyTimer->start(kDailyCheckMs);
    showScheduleStatus();
}

KeywordPanel::~KeywordPanel() {
    if (m_saveTimer->isActive()) {
        saveKeywords();
    }
}

int KeywordPanel::alertDrop() const {
    const double stored = LeadingNumber(ReadSetting(kAlertDropKey));
    return stored >= 1 ? static_cast<int>(std::min(stored, 100.0)) : kDefaultAlertDrop;
}

bool KeywordPanel::isRunning() const {
    return m_session.runningJob() == RankingJob::KeywordRun || m_storing;
}

RankingHistoryWindow* KeywordPanel::historyWindow() const {
    return m_history;
}

DailySchedule KeywordPanel::storedSchedule() {
    DailySchedule schedule;
    schedule.enabled = ReadSetting(kDailyKey) == u"1";
    schedule.minute = ParseTimeOfDay(ReadSetting(kDailyTimeKey)).value_or(schedule.minute);
    schedule.lastRun = ParseIsoDate(ToUtf8(ReadSetting(kDailyDateKey)));
    return schedule;
}

bool KeywordPanel::wasShown() {
    return ReadSetting(kShownKey) == u"1";
}

void KeywordPanel::rememberShown(bool shown) {
    WriteSetting(kShownKey, shown ? u"1" : u"0");
}

void KeywordPanel::saveKeywords() {
    m_saveTimer->stop();
    m_store.ask(
        this,
        [keywords = DistinctLines(CoreText(m_list->toPlainText()))](LocalStore& store) {
            SetTrackedKeywords(store, keywords);
        },
        [] {});
}

void KeywordPanel::storeSchedule() {
    WriteSetting(kDailyKey, m_daily->isChecked() ? u"1" : u"0");
    const QTime time = m_dailyTime->time();
    WriteSetting(kDailyTimeKey, TimeOfDayText(time.hour() * 60 + time.minute()));
    showScheduleStatus();
}

void KeywordPanel::showScheduleStatus(const QString& note) {
    const Date today = Today();
    // What the day's run did stays said for the rest of the day.
    if (!note.isEmpty()) {
        m_dailyNote = note;
        m_dailyNoteDay = today;
    }
    const QString next = QtText(NextDailyRunText(storedSchedule(), today, MinutesSinceMidnight()));
    QStringList parts;
    if (m_dailyNoteDay == today) {
        parts << m_dailyNote;
    }
    if (!next.isEmpty()) {
        parts << QStringLiteral("下次自动查询：%1").arg(next);
    }
    m_dailyStatus->setText(parts.join(QStringLiteral("；")));
}

void KeywordPanel::DailyTimer_Timer() {
    const DayMinute now{Today(), MinutesSinceMidnight()};
    const std::optional<Date> due = DueDailyRun(storedSchedule(), now, m_lastLooked);
    if (!due) {
        m_lastLooked = now;
        showScheduleStatus();
        return;
    }
    if (m_session.isBusy()) {
        // The moment last looked at stays: a time slept through is still due at the next tick.
        m_dailyStatus->setText(QStringLiteral("今天的自动查询等正在进行的查询结束后开始"));
        return;
    }
    m_lastLooked = now;
    // The day is read and marked under the settings file's lock, so that of two programs sharing it (tarvisk and
    // tarvix) one makes the run; and it is made once, whether it can start or not.
    const bool claimed = ChangeSetting(kDailyDateKey, [day = *due](const std::u16string& stored) {
        return DailyRunMadeFor(ParseIsoDate(ToUtf8(stored)), day) ? std::nullopt
                                                                  : std::optional(FromUtf8(IsoDateText(day)));
    });
    if (!claimed) {
        showScheduleStatus();
        return;
    }
    if (const QString problem = start(true); !problem.isEmpty()) {
        showScheduleStatus(QStringLiteral("今天的自动查询没有进行：%1").arg(problem));
        return;
    }
    showScheduleStatus(QStringLiteral("今天的自动查询正在进行"));
}

void KeywordPanel::runKeywords() {
    if (const QString problem = start(false); !problem.isEmpty()) {
        ShowMessageBox(this, problem);
    }
}

QString KeywordPanel::start(bool scheduled) {
    if (m_session.isBusy()) {
        return m_session.busyText();
    }
    std::vector<std::u16string> keywords = DistinctLines(CoreText(m_list->toPlainText()));
    if (keywords.empty()) {
        return QStringLiteral("请先在关键字列表里输入要查询的关键字，每行一个");
    }
    if (const QString missing = m_session.checkTarget(); !missing.isEmpty()) {
        return missing;
    }
    saveKeywords();
    // The items of the shop the target names are read first (on the day, for the daily run).
    m_progress->begin();
    m_session.withShopListing(
        *window(),
        [this](int page, int pages) {
            m_progress->setStatus(QStringLiteral("正在读取店铺宝贝列表，第 %1 / %2 页").arg(page).arg(pages));
        },
        [this, scheduled, keywords = std::move(keywords)](bool ready) mutable {
            if (ready) {
                run(std::move(keywords), scheduled);
                return;
            }
            m_progress->end();
            if (scheduled) {
                showScheduleStatus(QStringLiteral("今天的自动查询没有进行：店铺的宝贝列表没有读全"));
            }
            if (m_session.shopListing() && !m_session.shopListing()->crawl.cancelled &&
                TellShopListingProblem(this, m_session)) {
                QTimer::singleShot(0, this, &KeywordPanel::runKeywords);
            }
        });
    return {};
}

void KeywordPanel::run(std::vector<std::u16string> keywords, bool scheduled) {
    const TrackedWalk walk = m_session.trackedWalk({});
    m_keywords = std::move(keywords);
    m_summary->removeRows(0, m_summary->rowCount());
    for (const std::u16string& keyword : m_keywords) {
        m_summary->appendRow({cell(QtText(keyword)), cell(QtText(kWaiting)), cell({}), cell({})});
    }
    m_summaryLine->clear();
    m_alerts.clear();
    m_blockedAt.reset();
    m_blockedMessage.clear();
    m_run->setEnabled(false);
    m_list->setReadOnly(true);
    m_progress->begin();
    if (scheduled) {
        showScheduleStatus(QStringLiteral("今天的自动查询正在进行"));
    }

    KeywordRankingOptions options;
    options.progress = [this, count = m_keywords.size()](std::size_t index, int page, int pages) {
        RankingSession::post(*this, [this, index, count, page, pages] {
            m_progress->setStatus(QStringLiteral("关键字 %1 / %2：%3，第 %4 / %5 页")
                                      .arg(index + 1)
                                      .arg(count)
                                      .arg(QtText(m_keywords[index]))
                                      .arg(page)
                                      .arg(pages));
            m_summary->item(static_cast<int>(index), OutcomeColumn)->setText(QtText(kWalking));
        });
    };
    options.ranked = [this, walk](std::size_t index, const RankingResult& result) {
        RankingSession::post(*this, [this, index, walk, result] { record(index, walk, result); });
    };
    // The run ends once the store has answered for every keyword (its calls run in the order asked).
    m_storing = true;
    m_session.runKeywords(*window(), walk.query, m_keywords, std::move(options), [this, scheduled] {
        m_store.afterAll(this, [this, scheduled] {
            m_storing = false;
            finish(scheduled);
        });
    });
    emit runningChanged();
}

void KeywordPanel::record(std::size_t index, const TrackedWalk& walk, const RankingResult& result) {
    TrackedWalk keywordWalk = walk;
    keywordWalk.query.keyword = m_keywords[index];
    const std::optional<RankingRun> run = FinishedRun(keywordWalk, result, UnixTimeNow());
    if (!run) {
        return;
    }
    const int row = static_cast<int>(index);
    const QString shown = QtText(RankingOutcomeText(*run, OutcomeDetail::Position));
    const QString whole = QtText(RankingOutcomeText(*run, OutcomeDetail::NaturalPlace));
    m_summary->item(row, OutcomeColumn)->setText(shown);
    m_summary->item(row, OutcomeColumn)
        ->setToolTip(
            PlainToolTip((whole != shown ? whole + QLatin1Char('\n') : QString()) +
                         (run->outcome == RankingOutcome::Found ? QtText(run->itemTitle + u"（" + run->itemId + u"）")
                                                                : QtText(RankingUnreadMessage(result)))));
    // The previous run and the change show when the store has answered.
    m_store.ask(
        this, [run = *run](LocalStore& store) { return std::pair(run, RecordRankingRun(store, run)); },
        [this, row](const std::pair<RankingRun, RankingRunContext>& recorded) {
            const auto& [run, context] = recorded;
            if (row < m_summary->rowCount()) {
                m_summary->item(row, PreviousColumn)
                    ->setText(QtText(PreviousOutcomeText(context.previous, OutcomeDetail::Position)));
                m_summary->item(row, PreviousColumn)
                    ->setToolTip(
                        PlainToolTip(QtText(PreviousOutcomeText(context.previous, OutcomeDetail::NaturalPlace))));
                m_summary->item(row, ChangeColumn)->setText(QtText(RankingChangeText(context.previous, run)));
                markAlert(row, context.previous, run);
            }
        });
    if (result.endedAtUnreadPage && EndsTheRun(result.unreadPages.back().kind)) {
        m_blockedAt = result.unreadPages.back();
        m_blockedMessage = QtText(RankingUnreadMessage(result));
    }
}

void KeywordPanel::markAlert(int row, const std::optional<RankingRun>& previous, const RankingRun& run) {
    const std::optional<std::u16string> alert = RankingAlertText(previous, run, m_alertDrop->value());
    if (!alert) {
        return;
    }
    const QString keyword = m_summary->item(row, KeywordColumn)->text();
    m_alerts << keyword + QStringLiteral("：") + QtText(*alert);
    // The row stays marked until it is looked at.
    for (int column = 0; column < m_summary->columnCount(); ++column) {
        m_summary->item(row, column)->setBackground(QColor(0xff, 0xe0, 0xe0));
    }
    m_summary->item(row, ChangeColumn)->setToolTip(PlainToolTip(QtText(*alert)));
}

void KeywordPanel::tellAlerts() {
    if (m_alerts.isEmpty()) {
        return;
    }
    emit alertsRaised(m_alerts);
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return;
    }
    if (m_tray == nullptr) {
        m_tray = new QSystemTrayIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning), this);
        m_tray->setToolTip(QStringLiteral("淘宝宝贝排名查询"));
    }
    m_tray->show();
    m_tray->showMessage(QtText(kRankingAlertTitle), m_alerts.join(QLatin1Char('\n')), QSystemTrayIcon::Warning);
}

void KeywordPanel::finish(bool scheduled) {
    int found = 0;
    int notFound = 0;
    int incomplete = 0;
    for (int row = 0; row < m_summary->rowCount(); ++row) {
        QStandardItem* outcome = m_summary->item(row, OutcomeColumn);
        const std::u16string text = CoreText(outcome->text());
        // The keyword under way when the user stopped the run was cancelled; those after it were not walked.
        if (text == kWalking) {
            outcome->setText(QtText(kCancelled));
        } else if (text == kWaiting) {
            outcome->setText(QtText(kNotWalked));
        } else if (text == kRankingNotFound) {
            ++notFound;
        } else if (text == kRankingIncomplete) {
            ++incomplete;
        } else {
            ++found;
        }
    }
    m_summaryLine->setText(QStringLiteral("%1 个关键字：找到 %2，未找到 %3，结果不完整 %4，没有查询 %5")
                               .arg(m_summary->rowCount())
                               .arg(found)
                               .arg(notFound)
                               .arg(incomplete)
                               .arg(m_summary->rowCount() - found - notFound - incomplete));
    m_progress->end();
    m_run->setEnabled(true);
    m_list->setReadOnly(false);
    if (scheduled) {
        showScheduleStatus(QStringLiteral("今天的自动查询已完成"));
    }
    historyChanged();
    tellAlerts();
    emit runningChanged();
    if (const std::optional<UnreadPage> blocked = std::exchange(m_blockedAt, std::nullopt)) {
        const QString message = m_blockedMessage + QStringLiteral("\n\n后面的关键字没有查询。");
        if (OfferUnreadPageHelp(this, m_session, message, blocked->kind, QtText(blocked->address))) {
            QTimer::singleShot(0, this, &KeywordPanel::runKeywords);
        }
    }
    emit runFinished();
}

void KeywordPanel::cancelRun() {
    if (m_session.runningJob() == RankingJob::KeywordRun) {
        m_session.cancel();
    }
}

void KeywordPanel::recordWalk(const TrackedWalk& walk, const RankingResult& result) {
    if (const std::optional<RankingRun> run = FinishedRun(walk, result, UnixTimeNow())) {
        m_store.ask(
            this, [run = *run](LocalStore& store) { StoreRankingRun(store, run); }, [this] { historyChanged(); });
    }
}

void KeywordPanel::historyChanged() {
    if (m_history) {
        m_history->reload();
    }
}

void KeywordPanel::openHistory() {
    openHistoryAt(DistinctLines(CoreText(m_list->toPlainText())));
}

void KeywordPanel::openHistoryAt(const std::vector<std::u16string>& keywords) {
    if (!m_history) {
        m_history = new RankingHistoryWindow(m_store, this);
        // Opened in the middle of the screen: beside the ranking window it could reach past the screen's edge.
        FitOnScreen(*m_history);
    }
    m_history->showTarget(m_session.trackedWalk({}).target, keywords);
    m_history->show();
    m_history->raise();
    m_history->activateWindow();
}

} // namespace tarvisk
