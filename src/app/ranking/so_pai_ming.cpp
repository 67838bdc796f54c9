#include "app/ranking/so_pai_ming.h"

#include <algorithm>
#include <utility>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTimer>

#include "app/browser/browser_view.h"
#include "app/ranking/keyword_panel.h"
#include "jobs/ranking/picture_view.h"
#include "jobs/ranking/ranking_run.h"
#include "jobs/ranking/stored_walk.h"
#include "app/ranking/result_table_model.h"
#include "app/session/ranking_session.h"
#include "app/session/unread_page_offer.h"
#include "app/ui/fetch_mode_box.h"
#include "app/ui/file_dialogs.h"
#include "app/ui/job_progress.h"
#include "app/ui/message_box.h"
#include "app/ui/store_thread.h"
#include "app/ui/window_font.h"
#include "app/ui/window_helpers.h"
#include "core/date.h"
#include "core/utf8.h"
#include "net/endpoints.h"
#include "store/exports.h"
#include "store/local_store.h"
#include "text/encoding.h"
#include "text/numbers.h"
#include "text/settings.h"
#include "app/ui/qt_text.h"

namespace tarvisk {

namespace {

// What the status line says while a job waits for the user in the pause window.
const QString kWaitingText = QStringLiteral("等待完成验证");

/// True when a change of a text box from `before` to `after` put in more than one character at once: a paste (or
/// a drop), not a typed key.
bool insertedAtOnce(const QString& before, const QString& after) {
    return after.size() > before.size() + 1;
}

} // namespace

SoPaiMing::SoPaiMing(RankingSession& session, StoreThread* store, QWidget* parent)
    : QWidget(parent, Qt::Window), m_model(std::make_unique<ResultTableModel>(m_table)),
      m_label4(new QLabel(QStringLiteral("1.关键字："), this)),
      m_keyWord(new QLineEdit(QStringLiteral("软件开发"), this)), m_label2(new QLabel(QStringLiteral("查询前"), this)),
      m_pages(new QLineEdit(QStringLiteral("10"), this)), m_label3(new QLabel(QStringLiteral("页"), this)),
      m_label1(new QLabel(this)), m_command2(new QPushButton(QStringLiteral("图示→"), this)),
      m_op2(new QRadioButton(QStringLiteral("查询店铺所有宝贝"), this)), m_surl(new QLineEdit(this)),
      m_command3(new QPushButton(QStringLiteral("读取"), this)),
      m_command4(new QPushButton(QStringLiteral("详情"), this)),
      m_op1(new QRadioButton(QStringLiteral("查询单款宝贝，请输入宝贝id或宝贝URL地址"), this)),
      m_text2(new QLineEdit(QStringLiteral("42054041382"), this)),
      m_command1(new QPushButton(QStringLiteral("查询排名"), this)), m_list0(new QTableView(this)),
      m_picture1(new QFrame(this)), m_w1(new BrowserView(m_picture1)),
      m_label5(new QLabel(QStringLiteral("页间停顿："), this)), m_pause(MakePauseBox(this)),
      m_label6(new QLabel(QStringLiteral("每读完一页稍等片刻（前后随机浮动三成），可减少淘宝的安全验证"), this)),
      m_label7(new QLabel(QStringLiteral("读取方式："), this)), m_fetchMode(new QComboBox(this)),
      m_progress(new JobProgress(this)), m_session(session),
      m_ownStore(store != nullptr ? nullptr : std::make_unique<StoreThread>(HistoryFilePath())),
      m_store(store != nullptr ? store : m_ownStore.get()),
      m_keywordButton(MakeButton(QStringLiteral("关键字跟踪 »"), "KeywordPanelButton", this)) {
    setObjectName(QStringLiteral("SoPaiMing"));
    setWindowTitle(QStringLiteral("淘宝宝贝排名查询"));
    setFont(WindowFont(9));
    SetClientTwips(*this, kClientWidthTwips, kClientHeightTwips);

    const ControlPlace layout[] = {
        {m_label4, "Label4", 120, 240, 975, 255, 16},
        {m_keyWord, "KeyWord", 1080, 120, 4455, 375, 0},
        {m_label2, "Label2", 5640, 120, 735, 255, 9},
        {m_pages, "Pages", 6360, 120, 375, 270, 8},
        {m_label3, "Label3", 6840, 120, 255, 255, 10},
        {m_label1, "Label1", 7320, 120, 2055, 375, 7},
        {m_command2, "Command2", 9480, 120, 1095, 375, 3},
        {m_op2, "Op2", 120, 720, 1935, 255, 12},
        {m_surl, "SURL", 2040, 720, 6495, 270, 13},
        {m_command3, "Command3", 8640, 720, 975, 255, 14},
        {m_command4, "Command4", 9720, 720, 855, 255, 15},
        {m_op1, "Op1", 120, 1200, 4095, 255, 11},
        {m_text2, "Text2", 4080, 1200, 4455, 270, 2},
        {m_command1, "Command1", 8640, 1080, 1935, 375, 1},
        {m_list0, "List0", 120, 1560, 10455, 8895, 4},
        {m_picture1, "Picture1", 10680, 120, 5295, 10335, 5},
        {m_w1, "W1", -15, -15, 5295, 10335, 6},
        {m_label5, "Label5", 120, 10620, 1095, 255, -1},
        {m_pause, "Pause", 1215, 10545, 1455, 330, 17},
        {m_label6, "Label6", 2775, 10620, 7800, 255, -1},
        {m_label7, "Label7", 10680, 10620, 975, 255, -1},
        {m_fetchMode, "FetchMode", 11655, 10545, 1560, 330, 18},
    };
    LayOutControls(layout);
    // While a job runs, and after one that has something to say, the progress strip takes the place of the pause's
    // explanation in the row below the table: not over the table's last rows and scroll bar.
    PlaceTwips(*m_progress, 2775, 10545, 7800, 375);

    m_keyWord->setFont(WindowFont(12));
    m_label1->setFont(WindowFont(12, true));
    m_label1->setTextFormat(Qt::PlainText);
    m_text2->setToolTip(QStringLiteral("您还可以把宝贝URL地址粘贴到这里"));
    m_op1->setChecked(true);
    m_picture1->setFrameShape(QFrame::NoFrame);

    FillFetchModeBox(*m_fetchMode);

    m_list0->setModel(m_model.get());
    m_list0->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list0->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list0->setShowGrid(true);
    m_list0->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list0->setWordWrap(false);
    m_list0->verticalHeader()->hide();
    // The row-number column is narrow (30 pixels), below the header's usual minimum.
    m_list0->horizontalHeader()->setMinimumSectionSize(16);
    m_list0->verticalHeader()->setDefaultSectionSize(m_list0->fontMetrics().height() + 4);
    connect(m_model.get(), &ResultTableModel::columnsReset, this, [this] {
        for (int column = 0; column < m_table.columnCount(); ++column) {
            m_list0->setColumnWidth(column, presetWidth(column));
        }
    });
    connect(m_model.get(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { fitColumns(first, last, true); });
    connect(m_model.get(), &QAbstractItemModel::modelReset, this,
            [this] { fitColumns(0, m_model->rowCount() - 1, false); });
    connect(m_model.get(), &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to) { fitColumns(from.row(), to.row(), true); });

    // The session's state in the boxes, and its jobs in the commands and the status line.
    connect(&m_session, &RankingSession::fetchModeChanged, this,
            [this](FetchMode mode) { ShowFetchMode(*m_fetchMode, mode); });
    connect(&m_session, &RankingSession::targetMissing, this, [this](RankingTarget target, const QString& hint) {
        MarkMissingInput(target == RankingTarget::OneItem ? *m_text2 : *m_surl, hint);
    });
    connect(&m_session, &RankingSession::jobChanged, this, &SoPaiMing::jobChanged);
    connect(&m_session, &RankingSession::crawlStarted, this, &SoPaiMing::shopCrawlStarted);
    connect(&m_session, &RankingSession::waitingChanged, this, [this](bool waiting) {
        // The wait of this window's own job shows here: a walk, or a crawl it asked for.
        const bool own = m_session.runningJob() == RankingJob::Walk || m_shopReader != ShopReader::None;
        if (waiting && own) {
            showLabel1(kWaitingText, false);
        } else if (!waiting && m_label1->text() == kWaitingText) {
            showLabel1({}, false);
        }
    });
    connect(m_keyWord, &QLineEdit::textChanged, this, &SoPaiMing::KeyWord_Change);
    connect(m_fetchMode, &QComboBox::currentIndexChanged, this, &SoPaiMing::FetchMode_Change);
    connect(m_pages, &QLineEdit::textChanged, this, &SoPaiMing::Pages_Change);
    connect(m_pages, &QLineEdit::editingFinished, this, &SoPaiMing::boundPages);
    m_text2Now = m_text2->text();
    connect(m_text2, &QLineEdit::textChanged, this, &SoPaiMing::Text2_Change);
    // A user's edit is told before the change itself: m_text2Now still holds the text the edit started from.
    connect(m_text2, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (insertedAtOnce(m_text2Now, text)) {
            keepItemIdOnly();
        }
    });
    connect(m_text2, &QLineEdit::editingFinished, this, &SoPaiMing::keepItemIdOnly);
    // Enter in the search's fields presses 查询排名, in the shop address 读取 (when they may be pressed).
    for (QLineEdit* field : {m_keyWord, m_pages, m_text2}) {
        connect(field, &QLineEdit::returnPressed, m_command1, &QPushButton::click);
    }
    connect(m_surl, &QLineEdit::returnPressed, m_command3, &QPushButton::click);
    connect(m_surl, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_session.setShopAddress(CoreText(text)); });
    // The target follows the options however they change (a click, a key, the program).
    connect(m_op1, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked) {
            Op1_Click();
        }
    });
    connect(m_op2, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked) {
            Op2_Click();
        }
    });
    connect(m_pause, &QSpinBox::valueChanged, this, &SoPaiMing::Pause_Change);
    connect(m_command1, &QPushButton::clicked, this, &SoPaiMing::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &SoPaiMing::Command2_Click);
    connect(m_command3, &QPushButton::clicked, this, &SoPaiMing::Command3_Click);
    connect(m_command4, &QPushButton::clicked, this, &SoPaiMing::Command4_Click);
    connect(m_progress, &JobProgress::cancelRequested, this, &SoPaiMing::cancelSearch);
    OnDoubleClick(*m_keyWord, [this] { KeyWord_DblClick(); });
    // The row's id to the clipboard, and the table as a CSV file that names the walk's keyword and time.
    auto* copyId = new QAction(QStringLiteral("复制ID"), m_list0);
    copyId->setObjectName(QStringLiteral("CopyId"));
    connect(copyId, &QAction::triggered, this, [this] {
        if (const QModelIndex current = m_list0->currentIndex(); current.isValid()) {
            QApplication::clipboard()->setText(QtText(ListViewGetCell(m_table, u"id", current.row() + 1)));
        }
    });
    m_list0->addAction(copyId);
    AddCsvExportAction(
        *m_list0, QStringLiteral("宝贝排名.csv"),
        [this] {
            const std::pair<std::u16string, std::u16string> walk[] = {
                {u"关键字", m_walkKeyword}, {u"查询时间", FromUtf8(LocalTimeText(m_walkStarted))}};
            return ResultTableCsv(m_table, u"id", walk);
        },
        [this] { return m_table.rowCount(); });
    PressButtonsOnEnter(*this);

    // The keyword panel lies right of the controls; its button sits in the free corner below the picture view.
    m_keywordPanel = new KeywordPanel(m_session, *m_store, this);
    PlaceTwips(*m_keywordPanel, kClientWidthTwips, 0, KeywordPanel::kWidthTwips, kClientHeightTwips);
    PlaceTwips(*m_keywordButton, 13320, 10545, 2655, 330);
    connect(m_keywordButton, &QPushButton::clicked, this, [this] { showKeywordPanel(m_keywordPanel->isHidden()); });
    showKeywordPanel(KeywordPanel::wasShown());

    Form_Load();
}

SoPaiMing::~SoPaiMing() {
    // The boxes end their editing as the window goes: their handlers must not run on a half-destroyed window.
    m_pages->disconnect(this);
    m_text2->disconnect(this);
    // A job this window or its panel asked for reports into them: it ends before they go.
    m_session.disconnect(this);
    m_session.stopJob();
    delete m_keywordPanel;
}

void SoPaiMing::FetchMode_Change() {
    m_session.setFetchMode(FetchModeShown(*m_fetchMode));
}

void SoPaiMing::showKeywordPanel(bool shown) {
    m_keywordPanel->setVisible(shown);
    m_keywordButton->setText(shown ? QStringLiteral("« 收起关键字跟踪") : QStringLiteral("关键字跟踪 »"));
    const int mainWidth = kClientWidthTwips / kTwipsPerPixel;
    const int panelWidth = shown ? keywordPanelWidth() : 0;
    m_keywordPanel->resize(panelWidth, m_keywordPanel->height());
    setFixedSize(mainWidth + panelWidth, kClientHeightTwips / kTwipsPerPixel);
    KeywordPanel::rememberShown(shown);
    KeepOnScreen(*this);
}

int SoPaiMing::keywordPanelWidth() const {
    // A screen too narrow for the window and the whole panel (a laptop's 1366 pixels) gives the panel what it leaves
    // beside the window, down to what the panel's controls need. The frame is known once the window is shown.
    constexpr int kAssumedFrameWidth = 16;
    const int whole = KeywordPanel::kWidthTwips / kTwipsPerPixel;
    const QScreen* shownOn = screen();
    if (shownOn == nullptr) {
        return whole;
    }
    const int frame = isVisible() ? frameGeometry().width() - width() : kAssumedFrameWidth;
    const int room = shownOn->availableGeometry().width() - frame - kClientWidthTwips / kTwipsPerPixel;
    // A screen that cannot hold even the window and the narrowest panel gains nothing from a narrower one.
    return room < m_keywordPanel->minimumSizeHint().width() ? whole : std::min(whole, room);
}

void SoPaiMing::Form_Load() {
    CenterForm(*this);
    m_w1->Navigate(QStringLiteral("about:blank"));
    ListViewSetColumns(m_table, kRankingColumnTitles, kRankingColumnWidths);
    // The boxes show what the session holds: the settings file's walk.
    const StoredWalk& walk = m_session.storedWalk();
    m_keyWord->setText(ReadControlSetting(*m_keyWord));
    m_text2->setText(QtText(walk.itemId));
    m_surl->setText(QtText(walk.shopAddress));
    m_pages->setText(QString::number(walk.pages));
    m_pause->setValue(walk.pauseSeconds);
    ShowFetchMode(*m_fetchMode, m_session.fetchMode());
    (walk.target == RankingTarget::OneItem ? m_op1 : m_op2)->setChecked(true);
    // What the boxes' rules corrected is kept so.
    Text2_Change();
    Pages_Change();
}

int SoPaiMing::presetWidth(int column) const {
    const int width = m_table.columns()[static_cast<std::size_t>(column)].width;
    return width > 0 ? width : m_list0->horizontalHeader()->defaultSectionSize();
}

void SoPaiMing::fitColumns(int first, int last, bool grow) {
    std::vector<int> columns;
    if (m_table.columnCount() > 0) {
        columns.push_back(0);
    }
    if (const std::optional<int> place = ListViewColumnIndex(m_table, u"位置")) {
        columns.push_back(*place);
    }
    QStyleOptionViewItem option;
    option.initFrom(m_list0->viewport());
    const int gridLine = m_list0->showGrid() ? 1 : 0;
    // A column keeps its set width unless that cuts its text. Row numbers grow: the last row's is the widest.
    for (const int column : columns) {
        int width = grow ? m_list0->columnWidth(column) : presetWidth(column);
        for (int row = column == 0 ? last : first; row >= first && row <= last; ++row) {
            width = std::max(width,
                             m_list0->itemDelegate()->sizeHint(option, m_model->index(row, column)).width() + gridLine);
        }
        if (width != m_list0->columnWidth(column)) {
            m_list0->setColumnWidth(column, width);
        }
    }
}

void SoPaiMing::KeyWord_Change() {
    WriteControlSetting(*m_keyWord);
}

void SoPaiMing::KeyWord_DblClick() {
    SelectAllText(*m_keyWord);
}

void SoPaiMing::Pages_Change() {
    // The box keeps what is typed (clearing it to type 20 must not give 1, then 12); the count kept is held
    // between 1 and 100 at once.
    m_session.setPages(CoreText(m_pages->text()));
}

void SoPaiMing::boundPages() {
    const QString bounded = QtText(BoundedPagesText(CoreText(m_pages->text())));
    if (bounded != m_pages->text()) {
        m_pages->setText(bounded);
    }
}

void SoPaiMing::Text2_Change() {
    m_text2Now = m_text2->text();
    m_session.setItemId(CoreText(m_text2->text()));
}

void SoPaiMing::keepItemIdOnly() {
    const QString id = QtText(ItemIdFromText(CoreText(m_text2->text())));
    if (id != m_text2->text()) {
        m_text2->setText(id);
    }
}

void SoPaiMing::Op1_Click() {
    m_session.setTargetKind(RankingTarget::OneItem);
}

void SoPaiMing::Op2_Click() {
    m_session.setTargetKind(RankingTarget::ShopItems);
}

void SoPaiMing::Pause_Change() {
    m_session.setPauseSeconds(m_pause->value());
}

void SoPaiMing::refreshCommands() {
    const bool idle = !m_session.isBusy();
    m_command1->setEnabled(idle);
    m_command3->setEnabled(idle);
}

void SoPaiMing::jobChanged() {
    refreshCommands();
    switch (m_session.runningJob()) {
    case RankingJob::KeywordRun:
        // A list run shows its progress in the panel: the label and the strip keep nothing of an earlier walk.
        showLabel1({}, true);
        m_label1->setToolTip({});
        m_progress->end();
        break;
    case RankingJob::None:
        // A wait that ended with its job (given up with 取消) is no longer said.
        if (m_label1->text() == kWaitingText) {
            showLabel1({}, false);
        }
        break;
    case RankingJob::Walk:
    case RankingJob::ShopCrawl:
        break;
    }
}

void SoPaiMing::Command1_Click() {
    if (m_session.isBusy()) {
        return;
    }
    // The fields' rules apply when their editing ends, and the walk ends it. Input the walk cannot use is said
    // where it is typed, and nothing is walked.
    boundPages();
    keepItemIdOnly();
    if (IsBlankKeyword(CoreText(m_keyWord->text()))) {
        MarkMissingInput(*m_keyWord, QStringLiteral("请输入要查询的关键字"));
        return;
    }
    if (!m_session.checkTarget().isEmpty()) {
        return;
    }
    m_shopReader = ShopReader::Continuation;
    m_session.withShopListing(
        *this, [this](int page, int pages) { m_progress->setPage(page, pages); },
        [this](bool ready) {
            const bool crawled = m_shopReader == ShopReader::Continuation && m_session.shopListing();
            m_shopReader = ShopReader::None;
            if (ready) {
                if (crawled) {
                    m_progress->end();
                }
                startWalk();
                return;
            }
            m_focus.giveBack();
            const ShopCrawlResult& crawl = m_session.shopListing()->crawl;
            if (crawl.cancelled) {
                showLabel1(QtText(kRankingCancelled), true);
                m_progress->end(QStringLiteral("已取消：已列出%1款宝贝，店铺宝贝列表不完整").arg(crawl.count()));
                return;
            }
            m_progress->end();
            showLabel1(QStringLiteral("没有查询排名"), true);
            // The shop is read again through the browser when the user chose it, and the walk goes on after it.
            if (TellShopListingProblem(this, m_session)) {
                QTimer::singleShot(0, this, &SoPaiMing::Command1_Click);
            }
        });
}

void SoPaiMing::startWalk() {
    const TrackedWalk walk = m_session.trackedWalk(CoreText(m_keyWord->text()));
    m_walkKeyword = walk.query.keyword;
    m_walkStarted = UnixTimeNow();
    // The pictures of the walk before are no longer the table's.
    m_w1->Navigate(QStringLiteral("about:blank"));
    showLabel1({}, false);
    m_label1->setToolTip({});
    m_foundRow = 0;
    ListViewClearItems(m_table);
    m_progress->begin();
    m_focus.park(*m_progress);

    // The walk fills a table of its own on the worker thread; each finished row is copied into List0 here.
    auto walkTable = std::make_shared<ResultTable>();
    walkTable->resetColumns(m_table.columns());
    RankingOptions options;
    // While it walks, the label tells the page under way: a position shows only once the walk has its answer.
    options.progress = [this](int page, int pages) {
        RankingSession::post(*this, [this, page, pages] {
            m_progress->setPage(page, pages);
            showLabel1(QStringLiteral("正在读第%1页").arg(page), false);
        });
    };
    options.rowAdded = [this, walkTable](const RankingRow& row) {
        std::vector<std::u16string> cells;
        for (int column = 1; column < walkTable->columnCount(); ++column) {
            cells.push_back(walkTable->text(row.number, column));
        }
        RankingSession::post(*this, [this, cells = std::move(cells)]() mutable {
            const int added = m_table.addRow();
            for (std::size_t i = 0; i < cells.size(); ++i) {
                m_table.setText(added, static_cast<int>(i) + 1, std::move(cells[i]));
            }
        });
    };
    m_session.walk(*this, walk, walkTable, std::move(options),
                   [this](const RankingResult& result) { finishSearch(result); });
}

void SoPaiMing::showLabel1(const QString& text, bool result) {
    QPalette palette = m_label1->palette();
    palette.setColor(QPalette::WindowText,
                     result ? this->palette().color(QPalette::WindowText) : QColor(0x66, 0x66, 0x66));
    m_label1->setPalette(palette);
    // A text wider than its line wraps into the room down to the shop's row, before the bracket of a place's note
    // ("2页 第15个" over "（自然排名第56）"), in a smaller font if it must: never cut off.
    constexpr int kLineHeight = 375 / kTwipsPerPixel;
    constexpr int kRoomHeight = 570 / kTwipsPerPixel;
    const int width = m_label1->width();
    const qsizetype note = text.indexOf(u'（');
    for (int points = 12;; --points) {
        const QFont font = WindowFont(points, result);
        const QFontMetrics metrics(font);
        const bool oneLine = metrics.horizontalAdvance(text) <= width;
        const QString shown = oneLine || note <= 0 ? text : QString(text).insert(note, u'\n');
        const bool fits =
            oneLine ||
            metrics.boundingRect(QRect(0, 0, width, QWIDGETSIZE_MAX), Qt::TextWordWrap, shown).height() <= kRoomHeight;
        if (fits || points == 8) {
            m_label1->setFont(font);
            m_label1->setWordWrap(!oneLine);
            m_label1->setText(shown);
            m_label1->resize(width, oneLine ? kLineHeight : kRoomHeight);
            return;
        }
    }
}

void SoPaiMing::finishSearch(const RankingResult& result) {
    showLabel1(QtText(result.caption), true);
    m_label1->setToolTip(QtText(result.toolTip));
    m_focus.giveBack();
    m_progress->end(result.cancelled ? QtText(RankingCancelledText(result.pagesRead)) : QString());
    // The found item: its row chosen and in view, its picture marked.
    m_foundRow = result.foundRow ? result.foundRow->number : 0;
    if (m_foundRow > 0) {
        const QModelIndex found = m_model->index(m_foundRow - 1, 0);
        m_list0->setCurrentIndex(found);
        // Once the view has laid out the rows just added (its scroll range grows only then).
        QTimer::singleShot(0, m_list0,
                           [this, found] { m_list0->scrollTo(found, QAbstractItemView::PositionAtCenter); });
    }
    Command2_Click();
    // The rows found stay in the table; the message says which pages could not be read.
    if (!result.conclusive() && !result.cancelled) {
        const UnreadPage& last = result.unreadPages.back();
        const PageKind kind = result.endedAtUnreadPage ? last.kind : PageKind::Empty;
        if (OfferUnreadPageHelp(this, m_session, QtText(RankingUnreadMessage(result)), kind, QtText(last.address))) {
            QTimer::singleShot(0, this, &SoPaiMing::Command1_Click);
        }
    }
    emit searchFinished();
}

void SoPaiMing::cancelSearch() {
    // The strip's 取消 stops this window's own job: a walk, or a crawl it asked for.
    if (m_session.runningJob() == RankingJob::Walk || m_shopReader != ShopReader::None) {
        m_session.cancel();
    }
}

void SoPaiMing::Command2_Click() {
    // Picture addresses come as "//host/path": they resolve against the marketplace's http address.
    const QUrl base(QStringLiteral("http://%1/").arg(QtText(endpoints::kSearchHost)));
    m_w1->setBodyMargin(0);
    m_w1->setBodyHtml(QtText(PictureViewHtml(m_table, m_foundRow)), base,
                      m_foundRow > 0 ? QtText(kMarkedPictureId) : QString());
}

void SoPaiMing::Command3_Click() {
    if (m_session.isBusy()) {
        return;
    }
    if (m_surl->text().trimmed().isEmpty()) {
        MarkMissingInput(*m_surl, QStringLiteral("请输入店铺地址"));
        return;
    }
    m_shopReader = ShopReader::CountMessage;
    ShopCrawlOptions options;
    options.progress = [this](int page, int pages) {
        RankingSession::post(*this, [this, page, pages] { m_progress->setPage(page, pages); });
    };
    m_session.crawlShop(*this, m_surl->text(), std::move(options), [this] { tellShopCount(); });
}

void SoPaiMing::shopCrawlStarted() {
    if (m_shopReader == ShopReader::None) {
        return;
    }
    m_progress->begin();
    m_focus.park(*m_progress);
    if (m_shopReader == ShopReader::Continuation) {
        showLabel1(QStringLiteral("正在读取店铺宝贝列表"), false);
        m_label1->setToolTip({});
    }
}

void SoPaiMing::tellShopCount() {
    m_shopReader = ShopReader::None;
    m_focus.giveBack();
    m_progress->end();
    const ShopCrawlResult& crawl = m_session.shopListing()->crawl;
    const int count = crawl.count();
    if (crawl.cancelled) {
        ShowMessageBox(this, QStringLiteral("已取消：已列出%1款宝贝，店铺宝贝列表不完整").arg(count));
        return;
    }
    const QString reason = QtText(ShopPartialReason(crawl));
    const QString counted = QStringLiteral("共查到%1款宝贝").arg(count) +
                            (reason.isEmpty() ? QString() : QStringLiteral("（%1）").arg(reason));
    // An incomplete listing is told with the count, with what helps.
    if (const std::optional<UnreadPage>& unread = crawl.unreadPage) {
        if (OfferUnreadPageHelp(this, m_session,
                                counted + QStringLiteral("\r\n\r\n") + QtText(ShopUnreadMessage(crawl)), unread->kind,
                                QtText(unread->address))) {
            QTimer::singleShot(0, this, &SoPaiMing::Command3_Click);
        }
        return;
    }
    ShowMessageBox(this, counted);
}

void SoPaiMing::Command4_Click() {
    emit shopWindowRequested();
}

void SoPaiMing::closeEvent(QCloseEvent* event) {
    m_session.cancel();
    // Its own windows (the shop window keeps itself open on a close) go with it.
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow()) {
            child->hide();
        }
    }
    event->accept();
    // Closing the ranking window ends the program: every other window closes too.
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}

} // namespace tarvisk
