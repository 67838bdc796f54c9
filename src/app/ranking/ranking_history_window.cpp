#include "app/ranking/ranking_history_window.h"

#include <algorithm>
#include <set>
#include <span>

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardItemModel>
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
#include "store/exports.h"
#include "store/local_store.h"
#include "text/encoding.h"
#include "text/numbers.h"

namespace tarvisk {

namespace {

// Keywords ticked for the chart when none is asked for: more lines than this are hard to tell apart.
constexpr std::size_t kDefaultTicked = 8;

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

std::u16string outcomeWithTime(const std::optional<RankingRun>& run) {
    return run ? RankingOutcomeText(*run, OutcomeDetail::NaturalPlace) + u"（" +
                     FromUtf8(LocalTimeText(run->ranAt)).substr(5, 11) + u"）"
               : std::u16string(u"—");
}

} // namespace

RankingHistoryWindow::RankingHistoryWindow(StoreThread& store, QWidget* parent)
    : QWidget(parent, Qt::Window), m_store(store), m_target(new QComboBox(this)), m_count(new QLabel(this)),
      m_keywords(new QStandardItemModel(this)), m_chart(new RankingChart(this)), m_runs(new QStandardItemModel(this)),
      m_export(MakeButton(QStringLiteral("导出CSV…"), "ExportRankingRuns", this)) {
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

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("查询目标："), this));
    top->addWidget(m_target);
    top->addSpacing(12);
    top->addWidget(m_count, 1);
    top->addWidget(m_export);
    auto* middle = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("勾选的关键字画在右边的走势图上；点一行看它每次查询的结果："), this));
    left->addWidget(m_keywordView, 1);
    middle->addLayout(left, 2);
    middle->addWidget(m_chart, 3);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(middle, 3);
    layout->addWidget(m_runView, 2);
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
            [this](const QModelIndex& current) { showRunsOf(current.row()); });
    connect(m_export, &QPushButton::clicked, this, &RankingHistoryWindow::exportRuns);
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

} // namespace tarvisk
