#include "app/main/form1.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <QUrl>
#include <QWebEngineScript>

#include "app/browser/browser_view.h"
#include "app/main/batch_check_window.h"
#include "app/main/buyer_list_editor.h"
#include "app/main/check_history_window.h"
#include "app/main/check_side_panel.h"
#include "app/main/ranking_desk.h"
#include "jobs/reputation/report.h"
#include "jobs/startup/startup.h"
#include "app/ranking/keyword_panel.h"
#include "app/ranking/so_pai_ming.h"
#include "app/session/ranking_session.h"
#include "app/ui/job_progress.h"
#include "app/ui/message_box.h"
#include "app/ui/unread_page_box.h"
#include "app/ui/window_font.h"
#include "app/ui/window_helpers.h"
#include "core/cancel.h"
#include "core/date.h"
#include "core/files.h"
#include "text/settings.h"
#include "text/text_ops.h"
#include "app/ui/qt_text.h"

namespace tarvisk {

namespace {

constexpr int kKeepAliveIntervalMs = 60000;
const QColor kLabelColour(255, 96, 0);
// The browsers sit 30 twips up and left of their frame's corner, and the frames lose 45 twips of width and
// 30 of height, so that only the page shows.
constexpr int kBrowserOffsetTwips = -30;
constexpr int kFrameTrimWidthTwips = 45;
constexpr int kFrameTrimHeightTwips = 30;

QLabel* makeTitleLabel(const QString& caption, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setFont(WindowFont(12, true));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kLabelColour);
    label->setPalette(palette);
    return label;
}

QFrame* makeFrame(QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setFrameShape(QFrame::NoFrame);
    return frame;
}

// The framing of a browser in its picture box (all in twips, as the window's layout).
void hideBrowserBorder(QWidget& browser, QFrame& frame) {
    browser.move(kBrowserOffsetTwips / kTwipsPerPixel, kBrowserOffsetTwips / kTwipsPerPixel);
    frame.resize(frame.width() - kFrameTrimWidthTwips / kTwipsPerPixel,
                 frame.height() - kFrameTrimHeightTwips / kTwipsPerPixel);
}

// The gap between the login browser and the side panel beside it, in pixels.
constexpr int kSidePanelGap = 4;
// What the report area says of a check that ended with an unexpected error (the message box names it).
constexpr char16_t kCheckFailed[] = u"查询出错，没有完成";

bool isInside(const QWidget* widget, const QWidget* container) {
    return widget != nullptr && (widget == container || container->isAncestorOf(widget));
}

/// Shows a window of the program and brings it to the front.
void bringUp(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

Form1::Form1(Environment environment, QWidget* parent)
    : QWidget(parent), m_environment(std::move(environment)), m_query(m_environment.fetchPage),
      m_keeper(m_environment.keepAlive), m_timer1(new QTimer(this)),
      m_check1(new QCheckBox(QStringLiteral("保持登录状态"), this)),
      m_command2(new QPushButton(QStringLiteral("⑵ 店铺宝贝关键字排名查询系统"), this)),
      m_text1(new QPlainTextEdit(this)), m_p2(makeFrame(this)), m_w2(new BrowserView(m_p2)), m_p1(makeFrame(this)),
      m_w1(new BrowserView(m_p1)), m_command1(new QPushButton(QStringLiteral("查询"), this)), m_ww(new QLineEdit(this)),
      m_label2(makeTitleLabel(QStringLiteral("2.输入买家淘宝ID查询"), this)),
      m_label1(makeTitleLabel(QStringLiteral("1.登录任意淘宝ID"), this)),
      m_store(HistoryFilePath(),
              [this](const StoreProblem& problem) {
                  ShowMessageBox(this, QtText(StoreProblemMessage(problem)), QtText(kStoreProblemTitle));
              }),
      m_progress(new JobProgress(this)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(ProductCaption());
    setFont(WindowFont(9));
    SetClientTwips(*this, 14910, 8805);

    // Labels and the browsers' frames take no focus; ww comes first, so that it has the focus.
    const ControlPlace layout[] = {
        {m_check1, "Check1", 8640, 240, 1575, 255, 6},
        {m_command2, "Command2", 10560, 7440, 4095, 855, 5},
        {m_text1, "Text1", 2760, 2760, 6735, 5175, 2},
        {m_p2, "P2", 10440, 1080, 4335, 6015, -1},
        {m_w2, "W2", 0, 0, 4575, 6015, 4},
        {m_p1, "P1", 120, 600, 10215, 8055, -1},
        {m_w1, "W1", kBrowserOffsetTwips, kBrowserOffsetTwips, 10215, 8055, 3},
        {m_command1, "Command1", 13440, 600, 1335, 375, 1},
        {m_ww, "ww", 10440, 600, 2895, 375, 0},
        {m_label2, "Label2", 10440, 240, 3375, 375, -1},
        {m_label1, "Label1", 120, 240, 2415, 375, -1},
    };
    LayOutControls(layout);
    // While a query runs, its strip lies over the top of the report, its 取消 right under the query button.
    PlaceTwips(*m_progress, 10440, 1080, 4290, 435);

    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(kKeepAliveIntervalMs);
    m_check1->setChecked(true);
    m_command2->setFont(WindowFont(10.5));
    m_text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text1->setVisible(false);
    m_command1->setDefault(true);
    // The report's rows stay within the part of W2 its frame shows: the vertical scroll bar is always there, in
    // the strip the frame hides, and a long address (the "读取自" link) breaks anywhere rather than run past the edge.
    m_w2->setBodyStyle(QStringLiteral("html { overflow-y: scroll; } a { overflow-wrap: anywhere; }"));
    m_ww->installEventFilter(this);
    PressButtonsOnEnter(*this);

    connect(m_timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(m_command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(m_w1, &BrowserView::documentComplete, this, &Form1::W1_DocumentComplete);
    connect(m_command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    placeHistoryControls();
    // The strip's 取消, or Esc anywhere in this window (the browsers included), gives up a running query.
    connect(m_progress, &JobProgress::cancelRequested, this, &Form1::cancelQuery);
    m_timer1->start();
    m_ww->setFocus();
}

Form1::~Form1() {
    m_desk.reset();
    delete m_batch.data();
    delete m_lists.data();
    delete m_history.data();
}

void Form1::placeHistoryControls() {
    // The buttons that open the windows on the history and the lists sit in the free strip between the two
    // titles; the panel beside the report takes the right edge of the login browser's place, shown after a report.
    const struct {
        const char* caption;
        const char* name;
        int left;
        void (Form1::*open)();
    } buttons[] = {
        {"批量查询", "OpenBatchCheck", 2640, &Form1::openBatchCheck},
        {"黑白名单", "OpenBuyerLists", 4215, &Form1::openBuyerLists},
        {"查询记录", "OpenCheckHistory", 5790, &Form1::openCheckHistory},
    };
    QWidget* previous = m_check1;
    for (const auto& button : buttons) {
        QPushButton* control = MakeButton(QString::fromUtf8(button.caption), button.name, this);
        PlaceTwips(*control, button.left, 195, 1455, 345);
        connect(control, &QPushButton::clicked, this, button.open);
        QWidget::setTabOrder(previous, control);
        previous = control;
    }
    m_sidePanel = new CheckSidePanel(m_store, this);
    PlaceTwips(*m_sidePanel, 6960, 1080, 3360, 5985);
    connect(m_sidePanel, &CheckSidePanel::shownChanged, this, &Form1::makeRoomForSidePanel);
}

void Form1::makeRoomForSidePanel(bool panelShown) {
    const int width = panelShown ? m_sidePanel->x() - kSidePanelGap - m_p1->x() : m_p1->width() + m_roomForSidePanel;
    const int given = m_p1->width() - width;
    if (given == 0) {
        return;
    }
    m_p1->resize(width, m_p1->height());
    m_w1->resize(m_w1->width() - given, m_w1->height());
    m_roomForSidePanel += given;
}

QString Form1::programFolder() const {
    if (m_environment.programFolder) {
        return m_environment.programFolder();
    }
    return QtText(ProgramFolder().u16string());
}

QString Form1::resourceFolder() const {
    return QtText(ResourceFolder(CoreText(programFolder())).u16string());
}

bool Form1::Form_Load() {
    if (RunsFromArchiveFolder(CoreText(programFolder()))) {
        ShowMessageBox(this, QtText(kUnpackMessage));
        return false;
    }
    CenterForm(*this);
    m_w1->Navigate(QtText(LoginPageUrl()));
    m_w2->Navigate(QStringLiteral("about:blank"));
    hideBrowserBorder(*m_w1, *m_p1);
    hideBrowserBorder(*m_w2, *m_p2);

    const std::u16string answer = m_environment.fetchNotice ? m_environment.fetchNotice() : FetchNotice();
    const std::optional<Notice> notice = ParseNotice(answer);
    if (!notice) {
        // The daily ranking run needs its window, which then waits hidden until the user opens it.
        if (KeywordPanel::storedSchedule().enabled) {
            rankingWindowMade();
        }
        return true;
    }
    ShowMessageBox(this, QtText(notice->message));
    // Only a web address goes to the user's browser: a notice never starts a program or opens a local file.
    if (IsWebAddress(notice->address)) {
        const QUrl address(QtText(notice->address));
        if (m_environment.openBrowser) {
            m_environment.openBrowser(address);
        } else {
            QDesktopServices::openUrl(address);
        }
    }
    return false;
}

void Form1::Command1_Click() {
    if (m_query.busy()) {
        return;
    }
    m_ww->setText(QtText(TrimBlanks(CoreText(m_ww->text()))));
    const std::u16string account = CoreText(m_ww->text());
    // However the query was started (Enter in ww, a click on Command1), the next account is typed into ww.
    FocusKeeper focus;
    focus.park(*this);
    m_ww->setEnabled(false);
    m_command1->setEnabled(false);
    m_stopQuery = m_closing.load();
    m_progress->begin();
    ReputationOutcome outcome;
    {
        // The controls come back also when the query fails with an exception (the application reports it).
        const auto enableAgain = qScopeGuard([this, &focus] {
            m_progress->end();
            m_ww->setEnabled(true);
            m_command1->setEnabled(true);
            focus.giveBack(m_ww);
        });
        // Cancelling, or closing the window, gives up a query that still waits for the marketplace.
        CancelScope scope(m_stopQuery);
        try {
            outcome = m_query.run(account);
        } catch (...) {
            showNoReport(account, kCheckFailed);
            throw;
        }
    }
    // A query given up read no page to the end: what it came to says nothing about the account.
    if (m_stopQuery) {
        if (!m_closing) {
            showNoReport(account, kCancelledCheck);
        }
        return;
    }
    switch (outcome.status) {
    case ReputationOutcome::Status::Busy:
        return;
    case ReputationOutcome::Status::Stopped:
        m_ww->setText(QtText(outcome.account));
        showNoReport(outcome.account, outcome.stop.message);
        ShowMessageBox(this, QtText(outcome.stop.message), QtText(outcome.stop.title));
        return;
    case ReputationOutcome::Status::PageNotRead:
        m_ww->setText(QtText(outcome.account));
        showNoReport(outcome.account, outcome.unread.message);
        if (ShowUnreadPageBox(this, QtText(outcome.unread.message), outcome.unread.kind,
                              QtText(outcome.unread.address))) {
            openInLoginBrowser(QtText(outcome.unread.address));
        }
        return;
    case ReputationOutcome::Status::Report:
        m_text1->setPlainText(QtText(outcome.facts.rawRatingText));
        m_shownReport = outcome.facts;
        m_shownReport->rawRatingText.clear();
        showInReport(RenderReport(outcome.facts));
        m_ww->clear();
        m_sidePanel->recordCheck(outcome.facts);
        return;
    }
}

void Form1::showInReport(const std::u16string& html) {
    // The report's own badges ("tbimgs/...") are files in the program's resource folder.
    m_w2->setBodyHtml(QtText(html), QUrl::fromLocalFile(resourceFolder() + QLatin1Char('/')));
}

void Form1::showNoReport(const std::u16string& account, const std::u16string& why) {
    // Without an account there was no check (the box was empty): the report area stays as it is.
    if (!account.empty()) {
        showInReport(RenderNoReport(account, why, m_shownReport ? &*m_shownReport : nullptr));
    }
}

void Form1::cancelQuery() {
    m_stopQuery = true;
}

QWidget* Form1::rankingWindowMade() {
    if (m_ranking == nullptr) {
        m_desk = std::make_unique<RankingDesk>(&m_store);
        connect(&m_desk->session(), &RankingSession::loginBrowserRequested, this, &Form1::openInLoginBrowser);
        // Closing it ends the program, as closing this window does: it asks first while a job runs.
        m_desk->ranking().installEventFilter(this);
        m_ranking = &m_desk->ranking();
    }
    return m_ranking;
}

void Form1::Command2_Click() {
    bringUp(rankingWindowMade());
}

void Form1::openBatchCheck() {
    if (m_batch == nullptr) {
        auto* batch = new BatchCheckWindow(m_store, m_environment.fetchPage, resourceFolder(), this);
        m_batch = batch;
    }
    ShowOver(*m_batch, *this);
}

void Form1::openBuyerLists() {
    if (m_lists == nullptr) {
        m_lists = new BuyerListEditor(m_store, this);
    }
    ShowOver(*m_lists, *this);
}

void Form1::openCheckHistory() {
    if (m_history == nullptr) {
        m_history = new CheckHistoryWindow(m_store, resourceFolder(), this);
    }
    ShowOver(*m_history, *this);
}

void Form1::Timer1_Timer() {
    m_keeper.tick(m_check1->isChecked());
}

void Form1::W1_DocumentComplete() {
    m_w1->page()->runJavaScript(QStringLiteral("window.scrollBy(500, 100);"), QWebEngineScript::ApplicationWorld);
}

void Form1::openInLoginBrowser(const QString& address) {
    const std::optional<QString> secure = LoginBrowserAddress(address);
    if (!secure) {
        ShowMessageBox(this, NotOpenedInLoginBrowser(address));
        return;
    }
    m_w1->Navigate(*secure);
    show();
    raise();
    activateWindow();
}

void Form1::ww_GotFocus() {
    SelectAllText(*m_ww);
}

bool Form1::ww_KeyDown(int keyCode, Qt::KeyboardModifiers shift) {
    // Ctrl+A alone selects everything; with Shift or Alt held the key is left to the text box.
    if (keyCode == Qt::Key_A &&
        (shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == Qt::ControlModifier) {
        SelectAllText(*m_ww);
        return true;
    }
    return false;
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ranking && event->type() == QEvent::Close) {
        if (!mayEndProgram()) {
            event->ignore();
            return true;
        }
        m_closing = true;
        return false;
    }
    if (watched == m_ww) {
        if (event->type() == QEvent::FocusIn) {
            // After the text box's own focus handling, which would otherwise place the cursor.
            QTimer::singleShot(0, this, &Form1::ww_GotFocus);
        } else if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            return ww_KeyDown(key->key(), key->modifiers());
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::keyPressEvent(QKeyEvent* event) {
    // Command1 is the default button: Enter in a control that does not use it presses the button (a focused
    // button takes Enter itself). Enter in the browsers belongs to their pages.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const QWidget* focus = focusWidget();
    if (enter && m_command1->isEnabled() && !isInside(focus, m_p1) && !isInside(focus, m_p2)) {
        m_command1->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

QStringList Form1::runningJobs() const {
    QStringList jobs;
    if (m_query.busy()) {
        jobs << QStringLiteral("信誉查询");
    }
    if (const auto* batch = qobject_cast<const BatchCheckWindow*>(m_batch.data()); batch && batch->isChecking()) {
        jobs << QStringLiteral("批量查询");
    }
    if (m_desk && m_desk->session().isBusy()) {
        jobs << (m_desk->session().runningJob() == RankingJob::ShopCrawl ? QStringLiteral("店铺宝贝读取")
                                                                         : QStringLiteral("宝贝排名查询"));
    }
    return jobs;
}

bool Form1::mayEndProgram() {
    const QStringList jobs = runningJobs();
    if (m_closing || jobs.isEmpty()) {
        return true;
    }
    const QString question =
        QStringLiteral("%1还没有结束，退出程序会停止%2。\n确定要退出吗？")
            .arg(jobs.join(QStringLiteral("、")), jobs.size() > 1 ? QStringLiteral("它们") : QStringLiteral("它"));
    return ChooseMessageBox(this, question, {QStringLiteral("退出程序")}).has_value();
}

void Form1::closeEvent(QCloseEvent* event) {
    if (!mayEndProgram()) {
        event->ignore();
        return;
    }
    m_closing = true;
    m_stopQuery = true;
    m_keeper.cancel();
    QWidget::closeEvent(event);
    // Closing the main window ends the program: every other window closes with it.
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}

} // namespace tarvisk
