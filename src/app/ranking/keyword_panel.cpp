#include "app/ranking/keyword_panel.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include <QCheckBox>
#include <QComboBox>
#include <QColor>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
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
#include "net/webhook.h"
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
constexpr char16_t kWebhookKey[] = u"AlertWebhook";

// What a daily run waits after a login or slider page before the next keyword.
double unattendedWait = kUnattendedWaitSeconds;

// Summary cells of keywords not walked (yet).
constexpr char16_t kWaiting[] = u"等待查询";
constexpr char16_t kWalking[] = u"正在查询…";
constexpr char16_t kNotWalked[] = u"未查询";
constexpr char16_t kCancelled[] = u"已取消";
constexpr char16_t kShopUnread[] = u"店铺宝贝列表没有读全";

// A typed list is stored once the user pauses typing this long.
constexpr int kSaveDelayMs = 800;

enum SummaryColumn { KeywordColumn, OutcomeColumn, PreviousColumn, ChangeColumn };

QStandardItem* cell(const QString& text) {
    auto* item = new QStandardItem(text);
    item->setEditable(false);
    return item;
}

/// True for a summary outcome that is no answer: the keyword is walked again by 重新查询未完成的.
bool unfinished(const std::u16string& outcome) {
    return outcome == kRankingIncomplete || outcome == kNotWalked || outcome == kCancelled || outcome == kShopUnread;
}

/// What 跟踪目标 and the summary's tooltips read of the tracked keywords: their targets' captions.
struct TrackedRead {
    std::optional<std::vector<TrackedKeyword>> keywords;
    std::vector<std::pair<TrackedTarget, std::u16string>> captions;
};

} // namespace

KeywordPanel::KeywordPanel(RankingSession& session, StoreThread& store, QWidget* parent)
    : QWidget(parent), m_session(session), m_store(store), m_target(new QComboBox(this)),
      m_list(new QPlainTextEdit(this)), m_run(MakeButton(QStringLiteral("逐个查询"), "RunKeywords", this)),
      m_runUnfinished(MakeButton(QStringLiteral("重新查询未完成的"), "RunUnfinished", this)),
      m_openHistory(MakeButton(QStringLiteral("排名走势…"), "OpenRankingHistory", this)),
      m_daily(new QCheckBox(QStringLiteral("每天自动查询，时间："), this)), m_dailyTime(new QTimeEdit(this)),
      m_dailyStatus(new QLabel(this)), m_alertDrop(new QSpinBox(this)),
      m_alertFellOut(new QCheckBox(QStringLiteral("跌出时"), this)),
      m_alertUnread(new QCheckBox(QStringLiteral("读不到时"), this)), m_webhook(new QLineEdit(this)),
      m_progress(new JobProgress(this)), m_summary(new QStandardItemModel(this)), m_summaryView(new QTableView(this)),
      m_summaryLine(new QLabel(this)), m_saveTimer(new QTimer(this)), m_dailyTimer(new QTimer(this)) {
    setObjectName(QStringLiteral("KeywordPanel"));
    m_target->setObjectName(QStringLiteral("TrackTarget"));
    m_target->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_list->setObjectName(QStringLiteral("KeywordList"));
    m_list->setPlaceholderText(QStringLiteral("软件开发\n连衣裙\n…"));
    m_list->setFixedHeight(120);
    m_runUnfinished->setEnabled(false);
    m_daily->setObjectName(QStringLiteral("DailyRun"));
    m_dailyTime->setObjectName(QStringLiteral("DailyTime"));
    m_dailyTime->setDisplayFormat(QStringLiteral("HH:mm"));
    m_dailyStatus->setObjectName(QStringLiteral("DailyStatus"));
    m_dailyStatus->setWordWrap(true);
    m_alertDrop->setObjectName(QStringLiteral("AlertDrop"));
    m_alertDrop->setRange(0, 100);
    m_alertDrop->setSpecialValueText(QStringLiteral("不提醒"));
    m_alertDrop->setValue(AlertRule{}.dropPlaces);
    m_alertFellOut->setObjectName(QStringLiteral("AlertFellOut"));
    m_alertFellOut->setChecked(true);
    m_alertUnread->setObjectName(QStringLiteral("AlertUnread"));
    m_alertUnread->setChecked(true);
    m_webhook->setObjectName(QStringLiteral("AlertWebhook"));
    m_webhook->setPlaceholderText(QStringLiteral("群机器人的 webhook 地址（可不填）"));
    m_webhook->setText(QtText(ReadSetting(kWebhookKey)));
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
    auto* target = new QHBoxLayout;
    target->addWidget(new QLabel(QStringLiteral("跟踪目标："), this));
    target->addWidget(m_target, 1);
    auto* daily = new QHBoxLayout;
    daily->addWidget(m_daily);
    daily->addWidget(m_dailyTime);
    daily->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 8, 6);
    layout->addLayout(target);
    layout->addWidget(new QLabel(QStringLiteral("它的关键字（每行一个）："), this));
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    layout->addLayout(daily);
    auto* alert = new QHBoxLayout;
    alert->addWidget(new QLabel(QStringLiteral("提醒：下降"), this));
    alert->addWidget(m_alertDrop);
    alert->addWidget(new QLabel(QStringLiteral("位以上，"), this));
    alert->addStretch(1);
    layout->addLayout(alert);
    // On a line of their own, so that the panel keeps its narrow width on a laptop's screen.
    auto* alertToo = new QHBoxLayout;
    alertToo->addSpacing(QFontMetrics(font()).horizontalAdvance(QStringLiteral("提醒：")));
    alertToo->addWidget(m_alertFellOut);
    alertToo->addWidget(m_alertUnread);
    alertToo->addStretch(1);
    layout->addLayout(alertToo);
    auto* webhook = new QHBoxLayout;
    webhook->addWidget(new QLabel(QStringLiteral("提醒网址："), this));
    webhook->addWidget(m_webhook, 1);
    layout->addLayout(webhook);
    layout->addWidget(m_dailyStatus);
    layout->addWidget(m_progress);
    // Beside what the run found: its keywords without an answer, walked again.
    auto* summaryLine = new QHBoxLayout;
    summaryLine->addWidget(m_summaryLine, 1);
    summaryLine->addWidget(m_runUnfinished, 0, Qt::AlignTop);
    layout->addLayout(summaryLine);
    layout->addWidget(m_summaryView, 1);
    auto* hint = new QLabel(
        QStringLiteral("按左边的页数和页间停顿逐个查询这个目标的关键字。双击一行看这个关键字的排名走势。"), this);
    hint->setWordWrap(true);
    layout->addWidget(hint);

    // The keywords kept come when the store answers; until then the list takes no typing that they would replace.
    m_list->setReadOnly(true);
    m_list->setPlaceholderText(QStringLiteral("正在读取关键字…"));
    reloadTracked();
    const DailySchedule schedule = storedSchedule();
    m_daily->setChecked(schedule.enabled);
    m_dailyTime->setTime(QTime(schedule.minute / 60, schedule.minute % 60));

    connect(m_list, &QPlainTextEdit::textChanged, m_saveTimer, qOverload<>(&QTimer::start));
    connect(m_target, &QComboBox::activated, this, [this] {
        if (m_saveTimer->isActive()) {
            saveKeywords();
        }
        showShownKeywords();
    });
    // The window's entry names the target its boxes name now.
    connect(&m_session, &RankingSession::targetChanged, this, [this] { showTargets(m_listTarget); });
    connect(m_runUnfinished, &QPushButton::clicked, this, &KeywordPanel::runUnfinished);
    connect(m_alertFellOut, &QCheckBox::toggled, this, &KeywordPanel::saveRule);
    connect(m_alertUnread, &QCheckBox::toggled, this, &KeywordPanel::saveRule);
    connect(m_webhook, &QLineEdit::textChanged, this,
            [](const QString& text) { WriteSetting(kWebhookKey, CoreText(text.trimmed())); });
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
    connect(m_alertDrop, &QSpinBox::valueChanged, this, &KeywordPanel::saveRule);
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
    if (m_post.joinable()) {
        m_post.join();
    }
}

void KeywordPanel::setUnattendedWait(double seconds) {
    unattendedWait = seconds;
}

TrackedTarget KeywordPanel::shownTarget() const {
    const int index = m_target->currentIndex();
    if (index >= 0 && index < static_cast<int>(m_targets.size())) {
        return m_targets[static_cast<std::size_t>(index)];
    }
    return m_session.windowTarget().value_or(TrackedTarget{});
}

AlertRule KeywordPanel::shownRule() const {
    return {m_alertDrop->value(), m_alertFellOut->isChecked(), m_alertUnread->isChecked()};
}

void KeywordPanel::reloadTracked(std::optional<TrackedTarget> select) {
    // An answer read before a later change of the list is not shown: the change's own reload follows.
    const int edits = m_edits;
    m_store.ask(
        this,
        [window = m_session.windowTarget()](LocalStore& store) {
            TrackedRead read;
            read.keywords = TrackedKeywords(store);
            // Keywords tracked before keywords had targets take the window's, once.
            if (read.keywords && window &&
                std::ranges::any_of(*read.keywords, [](const TrackedKeyword& k) { return !k.hasTarget(); }) &&
                AdoptWindowTarget(store, *window)) {
                read.keywords = TrackedKeywords(store);
            }
            std::vector<TrackedTarget> targets =
                read.keywords ? TrackedTargets(*read.keywords) : std::vector<TrackedTarget>{};
            if (window) {
                targets.push_back(*window);
            }
            for (const TrackedTarget& target : targets) {
                read.captions.emplace_back(target, TrackedTargetCaption(store, target));
            }
            return read;
        },
        [this, select, edits, placeholder = QStringLiteral("软件开发\n连衣裙\n…")](const TrackedRead& read) {
            if (edits != m_edits) {
                return;
            }
            m_list->setPlaceholderText(placeholder);
            m_list->setReadOnly(isRunning());
            if (read.keywords) {
                m_tracked = *read.keywords;
            }
            for (const auto& [target, caption] : read.captions) {
                m_captions[target.kind == RankingTarget::ShopItems ? u"shop " + target.value
                                                                   : u"item " + target.value] = caption;
            }
            showTargets(select);
        });
}

void KeywordPanel::showTargets(std::optional<TrackedTarget> select) {
    // The tracked targets; the one whose typed keywords are not stored yet; the one the window's boxes name.
    m_targets = TrackedTargets(m_tracked);
    const std::size_t tracked = m_targets.size();
    const auto offer = [this](const std::optional<TrackedTarget>& target) {
        if (target && !target->value.empty() && std::ranges::find(m_targets, *target) == m_targets.end()) {
            m_targets.push_back(*target);
        }
    };
    offer(m_saveTimer->isActive() ? m_listTarget : std::nullopt);
    offer(m_session.windowTarget());
    const QSignalBlocker blocker(m_target);
    m_target->clear();
    for (std::size_t i = 0; i < m_targets.size(); ++i) {
        const TrackedTarget& target = m_targets[i];
        const auto caption = m_captions.find(target.kind == RankingTarget::ShopItems ? u"shop " + target.value
                                                                                     : u"item " + target.value);
        const QString text = QtText(caption != m_captions.end() ? caption->second : TrackedTargetText(target));
        m_target->addItem(i < tracked ? text
                                      : QStringLiteral("窗口中的目标：%1").arg(QtText(TrackedTargetText(target))));
    }
    // The target shown stays shown; else the window's; else the first.
    if (!select) {
        select = m_listTarget ? m_listTarget : m_session.windowTarget();
    }
    const auto chosen = select ? std::ranges::find(m_targets, *select) : m_targets.end();
    m_target->setCurrentIndex(chosen != m_targets.end() ? static_cast<int>(chosen - m_targets.begin())
                                                        : (m_targets.empty() ? -1 : 0));
    showShownKeywords();
}

void KeywordPanel::showShownKeywords() {
    const TrackedTarget target = shownTarget();
    std::vector<std::u16string> keywords;
    std::optional<AlertRule> rule;
    for (const TrackedKeyword& keyword : m_tracked) {
        if (keyword.target == target) {
            keywords.push_back(keyword.keyword);
            rule = rule.value_or(keyword.alert);
        }
    }
    // The list shows the target's keywords as stored, unless it holds them already (as typed, blank lines and all):
    // typing of a list not yet stored stays.
    if (!m_saveTimer->isActive() &&
        (m_listTarget != target || DistinctLines(CoreText(m_list->toPlainText())) != keywords)) {
        m_listTarget = target;
        QStringList lines;
        for (const std::u16string& keyword : keywords) {
            lines << QtText(keyword);
        }
        const QSignalBlocker blocker(m_list);
        m_list->setPlainText(lines.join(QLatin1Char('\n')));
    }
    const AlertRule shown = rule.value_or(AlertRule{});
    const QSignalBlocker drop(m_alertDrop);
    const QSignalBlocker fellOut(m_alertFellOut);
    const QSignalBlocker unread(m_alertUnread);
    m_alertDrop->setValue(shown.dropPlaces);
    m_alertFellOut->setChecked(shown.fellOut);
    m_alertUnread->setChecked(shown.unread);
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
    // Keywords typed for the window's entry are kept for the target it named then.
    const TrackedTarget target = m_listTarget.value_or(shownTarget());
    if (target.value.empty()) {
        return;
    }
    const std::vector<std::u16string> keywords = DistinctLines(CoreText(m_list->toPlainText()));
    ++m_edits;
    std::erase_if(m_tracked, [&target](const TrackedKeyword& k) { return k.target == target; });
    for (const std::u16string& keyword : keywords) {
        m_tracked.push_back({keyword, target, shownRule()});
    }
    m_store.ask(
        this,
        [target, keywords, rule = shownRule()](LocalStore& store) { SetTargetKeywords(store, target, keywords, rule); },
        [this, target] { reloadTracked(target); });
}

void KeywordPanel::saveRule() {
    const TrackedTarget target = shownTarget();
    for (TrackedKeyword& keyword : m_tracked) {
        if (keyword.target == target) {
            keyword.alert = shownRule();
        }
    }
    ++m_edits;
    m_store.ask(
        this, [target, rule = shownRule()](LocalStore& store) { SetTargetAlertRule(store, target, rule); },
        [this, target] { reloadTracked(target); });
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
    if (m_saveTimer->isActive()) {
        saveKeywords();
    }
    if (const QString problem = start(plan(true), true); !problem.isEmpty()) {
        showScheduleStatus(QStringLiteral("今天的自动查询没有进行：%1").arg(problem));
        return;
    }
    showScheduleStatus(QStringLiteral("今天的自动查询正在进行"));
}

void KeywordPanel::runKeywords() {
    if (m_saveTimer->isActive()) {
        saveKeywords();
    }
    if (const QString problem = start(plan(false), false); !problem.isEmpty()) {
        ShowMessageBox(this, problem);
    }
}

void KeywordPanel::runUnfinished() {
    if (const QString problem = start(m_unfinished, false); !problem.isEmpty()) {
        ShowMessageBox(this, problem);
    }
}

std::vector<KeywordPanel::Planned> KeywordPanel::plan(bool all) const {
    std::vector<Planned> planned;
    const TrackedTarget shown = shownTarget();
    for (const TrackedKeyword& keyword : m_tracked) {
        if (keyword.hasTarget() && (all || keyword.target == shown)) {
            planned.push_back({keyword, {}});
        }
    }
    // Keywords typed for the window's target, not yet stored.
    if (!all && planned.empty() && !shown.value.empty()) {
        for (const std::u16string& keyword : DistinctLines(CoreText(m_list->toPlainText()))) {
            planned.push_back({{keyword, shown, shownRule()}, {}});
        }
    }
    return planned;
}

QString KeywordPanel::start(std::vector<Planned> planned, bool scheduled) {
    if (m_session.isBusy()) {
        return m_session.busyText();
    }
    if (planned.empty()) {
        if (shownTarget().value.empty()) {
            if (const QString missing = m_session.checkTarget(); !missing.isEmpty()) {
                return missing;
            }
        }
        return QStringLiteral("请先在关键字列表里输入要查询的关键字，每行一个");
    }
    m_planned = std::move(planned);
    m_rowKeywords.clear();
    m_summary->removeRows(0, m_summary->rowCount());
    for (const Planned& planned : m_planned) {
        m_rowKeywords.push_back(planned.tracked);
        QStandardItem* keyword = cell(QtText(planned.tracked.keyword));
        keyword->setToolTip(PlainToolTip(QtText(TrackedTargetText(planned.tracked.target))));
        m_summary->appendRow({keyword, cell(QtText(kWaiting)), cell({}), cell({})});
    }
    m_summaryLine->clear();
    m_alerts.clear();
    m_wantedTheUser = false;
    m_blockedAt.reset();
    m_blockedMessage.clear();
    m_run->setEnabled(false);
    m_runUnfinished->setEnabled(false);
    m_list->setReadOnly(true);
    m_storing = true;
    m_progress->begin();
    if (scheduled) {
        showScheduleStatus(QStringLiteral("今天的自动查询正在进行"));
    }
    readListings(0, scheduled);
    return {};
}

void KeywordPanel::readListings(std::size_t index, bool scheduled) {
    // The items of each shop the run looks for are read first (on the day, for the daily run).
    while (index < m_planned.size() && m_session.listingReadyFor(m_planned[index].tracked.target)) {
        ++index;
    }
    if (index == m_planned.size()) {
        run(scheduled);
        return;
    }
    const TrackedTarget shop = m_planned[index].tracked.target;
    m_session.withListingFor(
        *window(), shop,
        [this](int page, int pages) {
            m_progress->setStatus(QStringLiteral("正在读取店铺宝贝列表，第 %1 / %2 页").arg(page).arg(pages));
        },
        [this, index, shop, scheduled](bool ready) {
            if (!ready) {
                // The shop's keywords are not walked; the others are.
                for (std::size_t i = 0; i < m_planned.size(); ++i) {
                    if (m_planned[i].tracked.target == shop) {
                        m_summary->item(static_cast<int>(i), OutcomeColumn)->setText(QtText(kShopUnread));
                    }
                }
                const bool cancelled = m_session.shopListing() && m_session.shopListing()->crawl.cancelled;
                std::erase_if(m_planned, [&shop](const Planned& p) { return p.tracked.target == shop; });
                if (cancelled) {
                    m_planned.clear();
                }
            }
            readListings(ready ? index + 1 : index, scheduled);
        });
}

void KeywordPanel::run(bool scheduled) {
    std::vector<RankingQuery> walks;
    for (Planned& planned : m_planned) {
        planned.walk = m_session.walkOf(planned.tracked.target, planned.tracked.keyword);
        walks.push_back(planned.walk.query);
    }
    // The rows of the keywords walked, in the summary (a shop not read left some out).
    auto rows = std::make_shared<std::vector<int>>();
    for (int row = 0, next = 0; row < m_summary->rowCount() && next < static_cast<int>(m_planned.size()); ++row) {
        if (CoreText(m_summary->item(row, OutcomeColumn)->text()) != kShopUnread) {
            rows->push_back(row);
            ++next;
        }
    }
    KeywordRankingOptions options;
    options.progress = [this, rows, count = m_planned.size()](std::size_t index, int page, int pages) {
        RankingSession::post(*this, [this, rows, index, count, page, pages] {
            m_progress->setStatus(QStringLiteral("关键字 %1 / %2：%3，第 %4 / %5 页")
                                      .arg(index + 1)
                                      .arg(count)
                                      .arg(QtText(m_planned[index].tracked.keyword))
                                      .arg(page)
                                      .arg(pages));
            m_summary->item((*rows)[index], OutcomeColumn)->setText(QtText(kWalking));
        });
    };
    options.ranked = [this, rows](std::size_t index, const RankingResult& result) {
        RankingSession::post(*this, [this, rows, index, result] { record(index, result); });
    };
    // Nobody waits at a daily run: a login or slider page leaves its keyword incomplete and the run goes on.
    if (scheduled) {
        options.unattendedWait = unattendedWait;
    }
    m_rows = rows;
    // The run ends once the store has answered for every keyword (its calls run in the order asked).
    const bool started =
        !walks.empty() && m_session.runKeywords(*window(), std::move(walks), std::move(options), [this, scheduled] {
            m_store.afterAll(this, [this, scheduled] {
                m_storing = false;
                finish(scheduled);
            });
        });
    if (!started) {
        m_store.afterAll(this, [this, scheduled] {
            m_storing = false;
            finish(scheduled);
        });
    }
    emit runningChanged();
}

void KeywordPanel::record(std::size_t index, const RankingResult& result) {
    const Planned& planned = m_planned[index];
    const std::optional<RankingRun> run = FinishedRun(planned.walk, result, UnixTimeNow());
    if (!run) {
        return;
    }
    const int row = (*m_rows)[index];
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
        [this, row, rule = planned.tracked.alert](const std::pair<RankingRun, RankingRunContext>& recorded) {
            const auto& [run, context] = recorded;
            if (row < m_summary->rowCount()) {
                m_summary->item(row, PreviousColumn)
                    ->setText(QtText(PreviousOutcomeText(context.previous, OutcomeDetail::Position)));
                m_summary->item(row, PreviousColumn)
                    ->setToolTip(
                        PlainToolTip(QtText(PreviousOutcomeText(context.previous, OutcomeDetail::NaturalPlace))));
                m_summary->item(row, ChangeColumn)->setText(QtText(RankingChangeText(context.previous, run)));
                markAlert(row, context.previous, run, rule);
            }
        });
    if (result.endedAtUnreadPage && EndsTheRun(result.unreadPages.back().kind)) {
        m_wantedTheUser = m_wantedTheUser || NeedsTheUser(result.unreadPages.back().kind);
        m_blockedAt = result.unreadPages.back();
        m_blockedMessage = QtText(RankingUnreadMessage(result));
    }
}

void KeywordPanel::markAlert(int row, const std::optional<RankingRun>& previous, const RankingRun& run,
                             const AlertRule& rule) {
    const std::optional<std::u16string> alert = RankingAlertText(previous, run, rule);
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
    if (m_history) {
        m_history->showAlerts(m_alerts);
    }
    if (m_alerts.isEmpty()) {
        return;
    }
    emit alertsRaised(m_alerts);
    QString text = m_alerts.join(QLatin1Char('\n'));
    if (m_wantedTheUser) {
        text += QLatin1Char('\n') + QtText(kUnreadAlertAdvice);
    }
    postAlerts();
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return;
    }
    if (m_tray == nullptr) {
        m_tray = new QSystemTrayIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning), this);
        m_tray->setToolTip(QStringLiteral("淘宝宝贝排名查询"));
    }
    m_tray->show();
    m_tray->showMessage(QtText(kRankingAlertTitle), text, QSystemTrayIcon::Warning);
}

void KeywordPanel::postAlerts() {
    const std::u16string url = CoreText(m_webhook->text().trimmed());
    if (url.empty()) {
        return;
    }
    const auto said = [this](const QString& problem) {
        if (!problem.isEmpty()) {
            m_summaryLine->setText(m_summaryLine->text() + QStringLiteral("\n提醒没有发出：") + problem);
        }
        emit alertsPosted(problem);
    };
    if (const std::u16string problem = WebhookAddressProblem(url); !problem.empty()) {
        said(QtText(problem));
        return;
    }
    std::u16string message = kRankingAlertTitle;
    for (const QString& alert : m_alerts) {
        message += u"\n" + CoreText(alert);
    }
    if (m_wantedTheUser) {
        message += u"\n" + std::u16string(kUnreadAlertAdvice);
    }
    // The post may take its whole time limit: the window goes on meanwhile, and waits for it only when it goes.
    if (m_post.joinable()) {
        m_post.join();
    }
    m_post = std::thread([this, url, message, said] {
        const std::u16string problem = PostWebhook(url, message);
        const QString shown = problem.empty() ? QString() : QtText(WebhookShownAddress(url) + u"：" + problem);
        RankingSession::post(*this, [said, shown] { said(shown); });
    });
}

void KeywordPanel::finish(bool scheduled) {
    int found = 0;
    int notFound = 0;
    int incomplete = 0;
    m_unfinished.clear();
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
        } else if (text != kShopUnread) {
            ++found;
        }
        if (unfinished(CoreText(outcome->text()))) {
            m_unfinished.push_back({m_rowKeywords[static_cast<std::size_t>(row)], {}});
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
    m_runUnfinished->setEnabled(!m_unfinished.empty());
    m_list->setReadOnly(false);
    if (scheduled) {
        // A run that could not read every keyword never says it is done.
        showScheduleStatus(m_unfinished.empty()
                               ? QStringLiteral("今天的自动查询已完成")
                               : QStringLiteral("今天的自动查询没有完成：%1 个关键字没有结果%2，可点“重新查询未完成的”")
                                     .arg(m_unfinished.size())
                                     .arg(m_wantedTheUser ? QStringLiteral("（淘宝要求登录或验证）") : QString()));
    }
    historyChanged();
    tellAlerts();
    emit runningChanged();
    // Someone who started the run is there to pass the page; a daily run tells it in its alerts instead.
    if (const std::optional<UnreadPage> blocked = std::exchange(m_blockedAt, std::nullopt); blocked && !scheduled) {
        const QString message = m_blockedMessage + QStringLiteral("\n\n后面的关键字没有查询。");
        if (OfferUnreadPageHelp(this, m_session, message, blocked->kind, QtText(blocked->address))) {
            QTimer::singleShot(0, this, &KeywordPanel::runUnfinished);
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
        connect(m_history, &RankingHistoryWindow::itemPageRequested, &m_session, &RankingSession::openInLoginBrowser);
        // Opened in the middle of the screen: beside the ranking window it could reach past the screen's edge.
        FitOnScreen(*m_history);
    }
    const TrackedTarget shown = shownTarget();
    m_history->showTarget(shown.value.empty() ? m_session.trackedWalk({}).target : shown, keywords);
    m_history->showAlerts(m_alerts);
    m_history->show();
    m_history->raise();
    m_history->activateWindow();
}

} // namespace tarvisk
