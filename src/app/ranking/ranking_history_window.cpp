#include "app/ranking/ranking_history_window.h"

#include <algorithm>
#include <set>
#include <span>

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include "app/ranking/ranking_chart.h"
#include "app/ui/file_dialogs.h"
#include "app/ui/message_box.h"
#include "app/ui/qt_text.h"
#include "app/ui/store_thread.h"
#include "app/ui/window_font.h"
#include "app/ui/window_helpers.h"
#include "app/ui/plain_text.h"
#include "core/date.h"
#include "net/endpoints.h"
#include "store/exports.h"
#include "store/local_store.h"
#include "text/encoding.h"
#include "text/numbers.h"
#include "text/settings.h"

namespace tarvisk {

namespace {

// Keywords ticked for the chart when none is asked for: more lines than this are hard to tell apart.
constexpr std::size_t kDefaultTicked = 8;

// The days of runs the last pruning kept.
constexpr char16_t kPruneDaysKey[] = u"RankingPruneDays";
// The longest the pruning dialog offers to keep, ten years.
constexpr int kLongestPruneDays = 3650;

// The competitor table's column 宝贝, and where its column 名次 keeps the row's item id.
constexpr int kCompetitorTitleColumn = 2;
constexpr int kItemIdRole = Qt::UserRole + 1;

QTableView* makeTable(QStandardItemModel* model, const char* name, QWidget* parent) {
    auto* view = new QTableView(parent);
    view->setObjectName(QString::fromLatin1(name));
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->verticalHeader()->hide();
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setStretchLastSection(true);
    return view;
}

/// Fits the columns of `view` to their contents, but for the last, which takes the width left (a column fitted by
/// the view would no longer stretch); returns the width the columns need.
int fitColumns(QTableView& view) {
    const int last = view.model()->columnCount() - 1;
    int needed = 0;
    for (int column = 0; column < last; ++column) {
        view.resizeColumnToContents(column);
        needed += view.columnWidth(column);
    }
    return needed + std::max(view.horizontalHeader()->sectionSizeHint(last),
                             static_cast<QAbstractItemView&>(view).sizeHintForColumn(last));
}

QStandardItem* cell(const std::u16string& text) {
    auto* item = new QStandardItem(QtText(text));
    item->setEditable(false);
    return item;
}

/// The pages a run could not read: u"第3页：淘宝要求安全验证（滑块或访问受限）", several separated by "；".
std::u16string unreadText(const RankingRun& run) {
    std::u16string text;
    for (const UnreadPage& page : run.unreadPages) {
        text += (text.empty() ? u"第" : u"；第") + NumberText(page.number) + u"页：" + PageKindReason(page.kind);
    }
    return text;
}

/// A title cut to what a list of targets has room for.
QString elidedTitle(const QString& title) {
    constexpr qsizetype kLongest = 24;
    return title.size() > kLongest ? title.left(kLongest) + QStringLiteral("…") : title;
}

/// A moment to the minute: u"2024-05-01 14:03".
std::u16string minuteText(std::int64_t unixSeconds) {
    return FromUtf8(LocalTimeText(unixSeconds)).substr(0, 16);
}

/// What the competitor table shows: of which run, what it is compared with, e.g. u"2024-05-02 09:30 的查询，找到于 2页
/// 第15个，前面有 62 个宝贝；与 2024-05-01 09:30 比较".
QString competitorLine(const std::optional<CompetitorView>& view) {
    if (!view) {
        return QStringLiteral("竞品记录无法读取");
    }
    if (!view->run) {
        return QStringLiteral("这个关键字还没有查到结果");
    }
    const RankingRun& run = *view->run;
    const std::size_t count = view->competitors.size();
    const bool found = run.outcome == RankingOutcome::Found;
    std::u16string text = minuteText(run.ranAt) + u" 的查询，";
    text += found ? u"找到于 " + RankingOutcomeText(run, OutcomeDetail::NaturalPlace) : std::u16string(u"未找到");
    // A found run of the first item has none above it; any other run without competitors was stored before the
    // history kept the items of a run.
    if (count == 0) {
        text += found && run.number == 1 ? u"，前面没有宝贝" : u"，这次查询没有记下列出的宝贝";
    } else {
        text += (found ? u"，前面有 " : u"，下面是最前面的 ") + NumberText(static_cast<double>(count)) + u" 个宝贝";
    }
    text += view->previous ? u"；与 " + minuteText(view->previous->ranAt) + u" 比较"
                           : std::u16string(u"；还没有上一次同类的查询可比较");
    return QtText(text);
}

std::u16string outcomeWithTime(const std::optional<RankingRun>& run) {
    return run ? RankingOutcomeText(*run, OutcomeDetail::NaturalPlace) + u"（" +
                     FromUtf8(LocalTimeText(run->ranAt)).substr(5, 11) + u"）"
               : std::u16string(u"—");
}

} // namespace

RankingHistoryWindow::RankingHistoryWindow(StoreThread& store, QWidget* parent)
    : QWidget(parent, Qt::Window), m_store(store), m_target(new QComboBox(this)), m_count(new QLabel(this)),
      m_keywords(new QStandardItemModel(this)), m_chart(new RankingChart(this)), m_runs(new QStandardItemModel(this)),
      m_export(MakeButton(QStringLiteral("导出CSV…"), "ExportRankingRuns", this)),
      m_prune(MakeButton(QStringLiteral("清理旧记录…"), "PruneRankingRuns", this)),
      m_alertBox(new QGroupBox(QStringLiteral("最近的提醒"), this)), m_alerts(new QListWidget(m_alertBox)),
      m_tabs(new QTabWidget(this)), m_competitorLine(new QLabel(this)), m_competitors(new QStandardItemModel(this)),
      m_exportCompetitors(MakeButton(QStringLiteral("导出竞品…"), "ExportCompetitors", this)) {
    setObjectName(QStringLiteral("RankingHistory"));
    setWindowTitle(QStringLiteral("排名走势"));
    setFont(WindowFont(9));
    CloseOnEscape(*this);
    resize(1180, 720);

    m_target->setObjectName(QStringLiteral("HistoryTarget"));
    m_target->setMinimumContentsLength(28);
    m_count->setObjectName(QStringLiteral("HistoryRunCount"));
    m_keywords->setHorizontalHeaderLabels(
        {QStringLiteral("关键字"), QStringLiteral("次数"), QStringLiteral("最好"), QStringLiteral("最近")});
    m_runs->setHorizontalHeaderLabels({QStringLiteral("时间"), QStringLiteral("结果"), QStringLiteral("变化"),
                                       QStringLiteral("读了几页"), QStringLiteral("没读到的页")});
    m_keywordView = makeTable(m_keywords, "HistoryKeywords", this);
    m_runView = makeTable(m_runs, "HistoryRuns", this);
    m_keywordView->setMinimumWidth(380);
    m_competitors->setHorizontalHeaderLabels({QStringLiteral("名次"), QStringLiteral("位置"), QStringLiteral("宝贝"),
                                              QStringLiteral("店铺"), QStringLiteral("价格"), QStringLiteral("销量"),
                                              QStringLiteral("广告"), QStringLiteral("变化"), QStringLiteral("原销量"),
                                              QStringLiteral("原价格")});
    m_competitorView = makeTable(m_competitors, "HistoryCompetitors", this);
    // The title takes the width the other columns leave (they are fitted once filled: fitted as each of thousands
    // of rows comes, they would hold the window up).
    m_competitorView->horizontalHeader()->setStretchLastSection(false);
    m_competitorView->horizontalHeader()->setSectionResizeMode(kCompetitorTitleColumn, QHeaderView::Stretch);
    m_competitorView->setWordWrap(false);
    m_competitorLine->setObjectName(QStringLiteral("HistoryCompetitorLine"));
    m_competitorLine->setWordWrap(true);
    m_exportCompetitors->setEnabled(false);
    m_alertBox->setObjectName(QStringLiteral("HistoryAlertBox"));
    m_alerts->setObjectName(QStringLiteral("HistoryAlerts"));
    m_alerts->setMaximumHeight(4 * m_alerts->fontMetrics().height() + 8);
    (new QVBoxLayout(m_alertBox))->addWidget(m_alerts);
    m_alertBox->hide();
    m_tabs->setObjectName(QStringLiteral("HistoryTabs"));

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("查询目标："), this));
    top->addWidget(m_target);
    top->addSpacing(12);
    top->addWidget(m_count, 1);
    top->addWidget(m_export);
    top->addWidget(m_prune);
    auto* middle = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("勾选的关键字画在右边的走势图上；点一行看它每次查询的结果："), this));
    left->addWidget(m_keywordView, 1);
    left->addWidget(m_alertBox);
    middle->addLayout(left, 2);
    middle->addWidget(m_chart, 3);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    // The chart and the tabs share the height: the competitors of a run are many rows.
    layout->addLayout(middle, 1);
    auto* competitors = new QWidget(m_tabs);
    auto* competitorLayout = new QVBoxLayout(competitors);
    competitorLayout->setContentsMargins(6, 6, 6, 6);
    auto* competitorTop = new QHBoxLayout;
    competitorTop->addWidget(m_competitorLine, 1);
    competitorTop->addWidget(m_exportCompetitors);
    competitorLayout->addLayout(competitorTop);
    competitorLayout->addWidget(m_competitorView, 1);
    competitorLayout->addWidget(new QLabel(QStringLiteral("双击一行，在登录窗口中打开这个宝贝的页面。"), competitors));
    m_tabs->addTab(m_runView, QStringLiteral("运行记录"));
    m_tabs->addTab(competitors, QStringLiteral("竞品"));
    layout->addWidget(m_tabs, 1);
    layout->addWidget(new QLabel(
        QStringLiteral(
            "排名按宝贝在搜索结果中的位置计（旧版页面每页44个，新版页面每页48个，第1页第1个为1）。“结果不完整”的查询有"
            "页面没读到，不画在图上；“未找到”画在图最下方的灰色带里。鼠标停在点上可看那次查询。"),
        this));

    connect(m_target, &QComboBox::currentIndexChanged, this, [this] {
        m_ticked.clear();
        m_tickAll = true;
        reload();
    });
    connect(m_keywords, &QStandardItemModel::itemChanged, this, [this](QStandardItem* item) {
        if (item->column() == 0 && item->isCheckable()) {
            const std::u16string keyword = CoreText(item->text());
            item->checkState() == Qt::Checked ? void(m_ticked.insert(keyword)) : void(m_ticked.erase(keyword));
            drawChart();
        }
    });
    connect(m_keywordView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                showRunsOf(current.row());
                readCompetitorsOf(current.row());
            });
    connect(m_export, &QPushButton::clicked, this, &RankingHistoryWindow::exportRuns);
    connect(m_prune, &QPushButton::clicked, this, &RankingHistoryWindow::askToPrune);
    connect(m_exportCompetitors, &QPushButton::clicked, this, &RankingHistoryWindow::exportCompetitors);
    connect(m_competitorView, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        const QString id = m_competitors->item(index.row(), 0)->data(kItemIdRole).toString();
        emit itemPageRequested(QStringLiteral("https://") + QtText(endpoints::kItemHost) +
                               QStringLiteral("/item.htm?id=") + id);
    });
}

std::optional<TrackedTarget> RankingHistoryWindow::target() const {
    const int index = m_target->currentIndex();
    if (index < 0 || static_cast<std::size_t>(index) >= m_targets.size()) {
        return std::nullopt;
    }
    return m_targets[static_cast<std::size_t>(index)];
}

void RankingHistoryWindow::showTarget(const TrackedTarget& target, const std::vector<std::u16string>& keywords) {
    m_wanted = target;
    m_ticked = std::set<std::u16string>(keywords.begin(), keywords.end());
    m_tickAll = false;
    reload();
}

void RankingHistoryWindow::reload() {
    const std::optional<TrackedTarget> shown = m_wanted ? m_wanted : target();
    const int reload = ++m_reloads;
    m_count->setText(QStringLiteral("正在读取排名记录…"));
    m_store.ask(
        this,
        [shown](LocalStore& store) {
            Read read;
            read.targets = RankedTargets(store).value_or(std::vector<TrackedTarget>());
            if (shown && std::ranges::find(read.targets, *shown) == read.targets.end()) {
                read.targets.insert(read.targets.begin(), *shown);
            }
            for (const TrackedTarget& target : read.targets) {
                read.titles.push_back(target.kind == RankingTarget::OneItem ? NewestItemTitle(store, target) : u"");
            }
            const auto at = shown ? std::ranges::find(read.targets, *shown) : read.targets.end();
            read.shown = at == read.targets.end() ? (read.targets.empty() ? -1 : 0)
                                                  : static_cast<int>(at - read.targets.begin());
            if (read.shown >= 0) {
                read.runs = StoredRankingRuns(store, u"", read.targets[static_cast<std::size_t>(read.shown)]);
            }
            return read;
        },
        [this, reload](Read read) {
            if (reload == m_reloads) {
                m_wanted.reset();
                showRead(std::move(read));
            }
        });
}

void RankingHistoryWindow::showRead(Read read) {
    m_targets = std::move(read.targets);
    {
        const QSignalBlocker blocker(m_target);
        m_target->clear();
        // An item shows with its title, so that a seller knows it without its id.
        for (std::size_t i = 0; i < m_targets.size(); ++i) {
            const QString title = QtText(read.titles[i]);
            m_target->addItem(QtText(TrackedTargetText(m_targets[i])) +
                              (title.isEmpty() ? QString() : QStringLiteral("  ") + elidedTitle(title)));
        }
        m_target->setCurrentIndex(read.shown);
    }

    const std::optional<TrackedTarget> current = target();
    const std::optional<std::vector<RankingRun>>& runs = read.runs;
    m_history = GroupByKeyword(runs.value_or(std::vector<RankingRun>()));
    // Asked-for keywords without runs, or none asked for: the most recent keywords are drawn.
    const bool anyTicked =
        std::ranges::any_of(m_history, [this](const KeywordRuns& k) { return m_ticked.contains(k.keyword); });
    if (m_tickAll || !anyTicked) {
        m_ticked.clear();
        for (std::size_t i = 0; i < m_history.size() && i < kDefaultTicked; ++i) {
            m_ticked.insert(m_history[i].keyword);
        }
        m_tickAll = false;
    }

    const QString selected = m_keywordView->currentIndex().isValid()
                                 ? m_keywords->item(m_keywordView->currentIndex().row())->text()
                                 : QString();
    // The model's signals stay on: its view learns of the rows only through them. A tick set before the row joins
    // the model is no change of the user's.
    m_keywords->removeRows(0, m_keywords->rowCount());
    for (const KeywordRuns& keyword : m_history) {
        const KeywordOverview overview = OverviewOf(keyword);
        QStandardItem* name = cell(keyword.keyword);
        name->setCheckable(true);
        name->setCheckState(m_ticked.contains(keyword.keyword) ? Qt::Checked : Qt::Unchecked);
        m_keywords->appendRow({name, cell(NumberText(static_cast<double>(overview.runs))),
                               cell(outcomeWithTime(overview.best)), cell(outcomeWithTime(overview.latest))});
    }
    // The keyword table shows its columns whole; the chart takes the width left.
    m_keywordView->setMinimumWidth(std::max(380, fitColumns(*m_keywordView) + 2 * m_keywordView->frameWidth() +
                                                     m_keywordView->verticalScrollBar()->sizeHint().width()));
    int row = 0;
    for (int i = 0; i < m_keywords->rowCount(); ++i) {
        if (m_keywords->item(i)->text() == selected) {
            row = i;
        }
    }
    if (m_keywords->rowCount() > 0) {
        m_keywordView->setCurrentIndex(m_keywords->index(row, 0));
    }
    showRunsOf(m_keywords->rowCount() > 0 ? row : -1);
    readCompetitorsOf(m_keywords->rowCount() > 0 ? row : -1);
    drawChart();
    m_count->setText(!runs ? QStringLiteral("排名记录无法读取")
                     : current ? QStringLiteral("%1 个关键字，共 %2 次查询").arg(m_history.size()).arg(runs->size())
                               : QStringLiteral("还没有排名记录"));
}

void RankingHistoryWindow::showRunsOf(int keywordRow) {
    m_runs->removeRows(0, m_runs->rowCount());
    if (keywordRow < 0 || static_cast<std::size_t>(keywordRow) >= m_history.size()) {
        return;
    }
    const std::vector<RankingRun>& runs = m_history[static_cast<std::size_t>(keywordRow)].runs;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const RankingRun& run = runs[i];
        // Each run against the last run before it that gave an answer.
        const std::optional<RankingRun> before = ComparedRun(std::span(runs).subspan(i + 1));
        QStandardItem* outcome = cell(RankingOutcomeText(run, OutcomeDetail::NaturalPlace));
        if (run.outcome == RankingOutcome::Found) {
            outcome->setToolTip(PlainToolTip(QtText(run.itemTitle + u"（" + run.itemId + u"）")));
        }
        m_runs->appendRow({cell(FromUtf8(LocalTimeText(run.ranAt))), outcome, cell(RankingChangeText(before, run)),
                           cell(NumberText(run.pagesWalked) + u" / " + NumberText(run.pagesAsked)),
                           cell(unreadText(run))});
    }
    fitColumns(*m_runView);
}

void RankingHistoryWindow::drawChart() {
    std::vector<KeywordRuns> drawn;
    for (const KeywordRuns& keyword : m_history) {
        if (m_ticked.contains(keyword.keyword)) {
            drawn.push_back(keyword);
        }
    }
    m_chart->showTrend(RankingTrendOf(drawn));
}

void RankingHistoryWindow::exportRuns() {
    std::vector<RankingRun> runs;
    for (const KeywordRuns& keyword : m_history) {
        if (m_ticked.contains(keyword.keyword)) {
            runs.insert(runs.end(), keyword.runs.begin(), keyword.runs.end());
        }
    }
    if (runs.empty()) {
        ShowMessageBox(this, QStringLiteral("没有勾选的排名记录可以导出"));
        return;
    }
    std::ranges::sort(runs, [](const RankingRun& a, const RankingRun& b) {
        return a.ranAt != b.ranAt ? a.ranAt > b.ranAt : a.id > b.id;
    });
    ExportCsv(this, QStringLiteral("排名记录.csv"), RankingRunsCsv(runs), static_cast<int>(runs.size()));
}

void RankingHistoryWindow::readCompetitorsOf(int keywordRow) {
    const int read = ++m_competitorReads;
    const std::optional<TrackedTarget> shown = target();
    if (keywordRow < 0 || static_cast<std::size_t>(keywordRow) >= m_history.size() || !shown) {
        m_competitors->removeRows(0, m_competitors->rowCount());
        m_shownCompetitors.reset();
        m_exportCompetitors->setEnabled(false);
        m_competitorLine->setText(QStringLiteral("还没有排名记录"));
        return;
    }
    m_competitorLine->setText(QStringLiteral("正在读取竞品…"));
    m_store.ask(
        this,
        [keyword = m_history[static_cast<std::size_t>(keywordRow)].keyword, target = *shown](LocalStore& store) {
            return StoredCompetitors(store, keyword, target);
        },
        [this, read](const std::optional<CompetitorView>& view) {
            if (read == m_competitorReads) {
                showCompetitors(view);
            }
        });
}

void RankingHistoryWindow::showCompetitors(const std::optional<CompetitorView>& view) {
    m_competitors->removeRows(0, m_competitors->rowCount());
    m_shownCompetitors = view;
    m_competitorLine->setText(competitorLine(view));
    const bool any = view && view->run && !view->competitors.empty();
    m_exportCompetitors->setEnabled(any);
    if (!any) {
        return;
    }
    const RankingPositionKind kind = view->run->positionKind;
    int number = 0;
    for (const Competitor& competitor : view->competitors) {
        const RunItem& item = competitor.item;
        QStandardItem* place = cell(NumberText(++number));
        place->setData(QtText(item.id), kItemIdRole);
        QStandardItem* title = cell(item.title);
        title->setToolTip(PlainToolTip(QtText(item.title + u"（" + item.id + u"）")));
        m_competitors->appendRow({place, cell(item.position), title, cell(item.shop), cell(item.price),
                                  cell(item.sales), cell(item.paid ? u"是" : u""),
                                  cell(CompetitorChangeText(competitor, kind)),
                                  cell(competitor.before ? competitor.before->sales : u""),
                                  cell(competitor.before ? competitor.before->price : u"")});
    }
    m_competitorView->resizeColumnsToContents();
}

void RankingHistoryWindow::exportCompetitors() {
    if (!m_shownCompetitors || !m_shownCompetitors->run || m_shownCompetitors->competitors.empty()) {
        ShowMessageBox(this, QStringLiteral("没有竞品可以导出"));
        return;
    }
    const RankingRun& run = *m_shownCompetitors->run;
    ExportCsv(this, QStringLiteral("竞品_%1.csv").arg(QtText(run.keyword)),
              CompetitorsCsv(m_shownCompetitors->competitors, run.positionKind),
              static_cast<int>(m_shownCompetitors->competitors.size()));
}

void RankingHistoryWindow::askToPrune() {
    auto* dialog = new QDialog(this);
    dialog->setObjectName(QStringLiteral("PruneDialog"));
    dialog->setWindowTitle(QStringLiteral("清理旧记录"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto* days = new QSpinBox(dialog);
    days->setObjectName(QStringLiteral("PruneDays"));
    days->setRange(1, kLongestPruneDays);
    days->setSuffix(QStringLiteral(" 天"));
    const double stored = LeadingNumber(ReadSetting(kPruneDaysKey));
    days->setValue(stored >= 1 ? static_cast<int>(std::min<double>(stored, kLongestPruneDays)) : kDefaultPruneDays);
    auto* question = new QLabel(dialog);
    question->setObjectName(QStringLiteral("PruneQuestion"));
    const auto ask = [question](int value) {
        question->setText(QStringLiteral("删除 %1 天以前的排名记录？删除后不能恢复。").arg(value));
    };
    ask(days->value());
    connect(days, &QSpinBox::valueChanged, question, ask);
    auto* buttons = new QDialogButtonBox(dialog);
    buttons->addButton(QStringLiteral("删除"), QDialogButtonBox::AcceptRole)->setObjectName(QStringLiteral("Prune"));
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    connect(dialog, &QDialog::accepted, this, [this, days] { prune(days->value()); });
    auto* keep = new QHBoxLayout;
    keep->addWidget(new QLabel(QStringLiteral("保留最近"), dialog));
    keep->addWidget(days);
    keep->addStretch(1);
    auto* layout = new QVBoxLayout(dialog);
    layout->addLayout(keep);
    layout->addWidget(question);
    layout->addWidget(buttons);
    // Window-modal and not waited on: the window's other work (a reload under way) goes on meanwhile.
    dialog->setWindowModality(Qt::WindowModal);
    dialog->open();
}

void RankingHistoryWindow::prune(int days) {
    WriteSetting(kPruneDaysKey, NumberText(days));
    const std::int64_t before = UnixTimeNow() - std::int64_t{days} * 24 * 60 * 60;
    m_prune->setEnabled(false);
    m_count->setText(QStringLiteral("正在删除旧的排名记录…"));
    m_store.ask(
        this, [before](LocalStore& store) { return PruneRankingRuns(store, before); },
        [this, before](std::optional<std::int64_t> deleted) {
            m_prune->setEnabled(true);
            reload();
            // A failure is told by the store itself.
            if (deleted) {
                const QString date = QtText(minuteText(before));
                ShowMessageBox(this, *deleted == 0
                                         ? QStringLiteral("没有早于 %1 的排名记录").arg(date)
                                         : QStringLiteral("已删除 %1 次排名查询（早于 %2）").arg(*deleted).arg(date));
            }
        });
}

void RankingHistoryWindow::showAlerts(const QStringList& alerts) {
    m_alerts->clear();
    m_alerts->addItems(alerts);
    m_alertBox->setVisible(!alerts.isEmpty());
}

} // namespace tarvisk
