#include "app/main/form1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QWebEngineScript>

#include "app/browser/browser_view.h"
#include "app/main/report.h"
#include "app/main/startup.h"
#include "app/ranking/so_pai_ming.h"
#include "app/ui/message_box.h"
#include "app/ui/window_font.h"
#include "app/ui/window_helpers.h"
#include "core/cancel.h"
#include "text/settings.h"
#include "text/text_ops.h"

namespace tarvisk {

namespace {

constexpr int kKeepAliveIntervalMs = 60000;
const QColor kLabelColour(255, 96, 0);
// The browsers sit 30 twips up and left of their frame's corner, and the frames lose 45 twips of width and
// 30 of height, so that only the page shows.
constexpr int kBrowserOffsetTwips = -30;
constexpr int kFrameTrimWidthTwips = 45;
constexpr int kFrameTrimHeightTwips = 30;

QLabel* makeTitleLabel(const QString& name, const QString& caption, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setFont(WindowFont(12, true));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kLabelColour);
    label->setPalette(palette);
    return label;
}

QFrame* makeFrame(const QString& name, QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(name);
    frame->setFrameShape(QFrame::NoFrame);
    return frame;
}

// The framing of a browser in its picture box (all in twips, as the window's layout).
void hideBrowserBorder(QWidget& browser, QFrame& frame) {
    browser.move(kBrowserOffsetTwips / kTwipsPerPixel, kBrowserOffsetTwips / kTwipsPerPixel);
    frame.resize(frame.width() - kFrameTrimWidthTwips / kTwipsPerPixel,
                 frame.height() - kFrameTrimHeightTwips / kTwipsPerPixel);
}

bool isInside(const QWidget* widget, const QWidget* container) {
    return widget != nullptr && (widget == container || container->isAncestorOf(widget));
}

} // namespace

Form1::Form1(Environment environment, QWidget* parent)
    : QWidget(parent), m_environment(std::move(environment)), m_query(m_environment.fetchPage),
      m_keeper(m_environment.keepAlive) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(ProductCaption());
    setFont(WindowFont(9));
    SetClientTwips(*this, 14910, 8805);
    createControls();
}

Form1::~Form1() {
    delete m_ranking.data();
}

void Form1::createControls() {
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kKeepAliveIntervalMs);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    Timer1->start();

    Check1 = new QCheckBox(QStringLiteral("保持登录状态"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    PlaceTwips(*Check1, 8640, 240, 1575, 255);
    Check1->setChecked(true);

    Command2 = new QPushButton(QStringLiteral("⑵ 店铺宝贝关键字排名查询系统"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    PlaceTwips(*Command2, 10560, 7440, 4095, 855);
    Command2->setFont(WindowFont(10.5));
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    PlaceTwips(*Text1, 2760, 2760, 6735, 5175);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setVisible(false);

    P2 = makeFrame(QStringLiteral("P2"), this);
    PlaceTwips(*P2, 10440, 1080, 4335, 6015);
    W2 = new BrowserView(P2);
    W2->setObjectName(QStringLiteral("W2"));
    PlaceTwips(*W2, 0, 0, 4575, 6015);

    P1 = makeFrame(QStringLiteral("P1"), this);
    PlaceTwips(*P1, 120, 600, 10215, 8055);
    W1 = new BrowserView(P1);
    W1->setObjectName(QStringLiteral("W1"));
    PlaceTwips(*W1, kBrowserOffsetTwips, kBrowserOffsetTwips, 10215, 8055);
    connect(W1, &BrowserView::loadFinished, this, &Form1::W1_DocumentComplete);

    Command1 = new QPushButton(QStringLiteral("查询"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    PlaceTwips(*Command1, 13440, 600, 1335, 375);
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);

    ww = new QLineEdit(this);
    ww->setObjectName(QStringLiteral("ww"));
    PlaceTwips(*ww, 10440, 600, 2895, 375);
    ww->installEventFilter(this);

    Label2 = makeTitleLabel(QStringLiteral("Label2"), QStringLiteral("2.输入买家淘宝ID查询"), this);
    PlaceTwips(*Label2, 10440, 240, 3375, 375);
    Label1 = makeTitleLabel(QStringLiteral("Label1"), QStringLiteral("1.登录任意淘宝ID"), this);
    PlaceTwips(*Label1, 120, 240, 2415, 375);

    // Labels take no focus; the rest follow the window's order, ww first so that it has the focus.
    QWidget::setTabOrder(ww, Command1);
    QWidget::setTabOrder(Command1, Text1);
    QWidget::setTabOrder(Text1, W1);
    QWidget::setTabOrder(W1, W2);
    QWidget::setTabOrder(W2, Command2);
    QWidget::setTabOrder(Command2, Check1);
    ww->setFocus();
}

QString Form1::programFolder() const {
    if (m_environment.programFolder) {
        return m_environment.programFolder();
    }
    return QString::fromStdU16String(ProgramFolder().u16string());
}

bool Form1::Form_Load() {
    if (RunsFromArchiveFolder(programFolder().toStdU16String())) {
        ShowMessageBox(this, QString::fromStdU16String(kUnpackMessage));
        return false;
    }
    CenterForm(*this);
    W1->Navigate(QString::fromStdU16String(LoginPageUrl()));
    W2->Navigate(QStringLiteral("about:blank"));
    hideBrowserBorder(*W1, *P1);
    hideBrowserBorder(*W2, *P2);

    const std::u16string answer = m_environment.fetchNotice ? m_environment.fetchNotice() : FetchNotice();
    const std::optional<Notice> notice = ParseNotice(answer);
    if (!notice) {
        return true;
    }
    ShowMessageBox(this, QString::fromStdU16String(notice->message));
    // Only a web address goes to the user's browser: a notice never starts a program or opens a local file.
    if (IsWebAddress(notice->address)) {
        const QUrl address(QString::fromStdU16String(notice->address));
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
    ww->setText(QString::fromStdU16String(TrimBlanks(ww->text().toStdU16String())));
    const bool hadFocus = ww->hasFocus();
    ww->setEnabled(false);
    Command1->setEnabled(false);
    ReputationOutcome outcome;
    {
        // Closing the window gives up a query that still waits for the marketplace.
        CancelScope scope(m_closing);
        outcome = m_query.run(ww->text().toStdU16String());
    }
    ww->setEnabled(true);
    Command1->setEnabled(true);
    if (hadFocus) {
        ww->setFocus();
    }
    if (m_closing) {
        return;
    }
    switch (outcome.status) {
    case ReputationOutcome::Status::Busy:
        return;
    case ReputationOutcome::Status::Stopped:
        ww->setText(QString::fromStdU16String(outcome.account));
        ShowMessageBox(this, QString::fromStdU16String(outcome.stop.message),
                       QString::fromStdU16String(outcome.stop.title));
        return;
    case ReputationOutcome::Status::Report:
        Text1->setPlainText(QString::fromStdU16String(outcome.facts.rawRatingText));
        // The report's own badges ("tbimgs/...") are files in the program's folder.
        W2->setBodyHtml(QString::fromStdU16String(RenderReport(outcome.facts)),
                        QUrl::fromLocalFile(programFolder() + QLatin1Char('/')));
        ww->clear();
        return;
    }
}

void Form1::Command2_Click() {
    if (m_ranking == nullptr) {
        m_ranking = new SoPaiMing();
    }
    m_ranking->show();
    m_ranking->raise();
    m_ranking->activateWindow();
}

void Form1::Timer1_Timer() {
    m_keeper.tick(Check1->isChecked());
}

void Form1::W1_DocumentComplete() {
    W1->page()->runJavaScript(QStringLiteral("window.scrollBy(500, 100);"), QWebEngineScript::ApplicationWorld);
}

void Form1::ww_GotFocus() {
    SelectAllText(*ww);
}

bool Form1::ww_KeyDown(int keyCode, Qt::KeyboardModifiers shift) {
    // Ctrl+A alone selects everything; with Shift or Alt held the key is left to the text box.
    if (keyCode == Qt::Key_A &&
        (shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == Qt::ControlModifier) {
        SelectAllText(*ww);
        return true;
    }
    return false;
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ww) {
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
    // Command1 is the default button: Enter in a control that does not use it presses the button. Enter in
    // the browsers belongs to their pages.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const QWidget* focus = focusWidget();
    if (enter && Command1->isEnabled() && !isInside(focus, P1) && !isInside(focus, P2)) {
        Command1->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Form1::closeEvent(QCloseEvent* event) {
    m_closing = true;
    m_keeper.cancel();
    QWidget::closeEvent(event);
}

} // namespace tarvisk
