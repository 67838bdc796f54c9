#include "app/browser/verification_pause.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include "app/browser/browser_view.h"
#include "app/ui/qt_text.h"
#include "app/ui/window_helpers.h"
#include "core/cancel.h"

namespace tarvisk {

namespace {

// How often the shown page is looked at, and how often a waiting job looks at its cancel flag.
constexpr int kLookMs = 500;
constexpr auto kPoll = std::chrono::milliseconds(50);

QString lineFor(PageKind kind, const QString& jobName, const QString& skipText, int passes) {
    const bool login = kind == PageKind::Login;
    // A page that keeps coming back is not the user's to pass: the line says so, and what goes on without it.
    if (passes >= 2) {
        return QStringLiteral("已经%1了%2次，淘宝仍然要求%3。可以点“%4”，%5会接着查询后面的")
            .arg(login ? QStringLiteral("登录") : QStringLiteral("通过验证"))
            .arg(passes)
            .arg(login ? QStringLiteral("登录") : QStringLiteral("验证"))
            .arg(skipText, jobName);
    }
    return login ? QStringLiteral("请在这个窗口中登录淘宝，登录后%1会自动继续").arg(jobName)
                 : QStringLiteral("请在这个窗口中拖动滑块完成验证，完成后%1会自动继续").arg(jobName);
}

} // namespace

struct VerificationPause::Wait {
    /// The job's own judge: the shown page counts as passed by the rules the job reads its pages by.
    PageJudge judge;
    std::mutex mutex;
    std::condition_variable changed;
    bool passed = false;
    bool skipped = false;

    /// The page was passed (`skip` false) or skipped.
    void end(bool skip) {
        {
            std::lock_guard lock(mutex);
            (skip ? skipped : passed) = true;
        }
        changed.notify_all();
    }
    /// Waits a moment for the pass or the skip; true once one came.
    bool waitForEnd() {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, kPoll, [this] { return passed || skipped; });
    }
};

VerificationPause::VerificationPause(QWidget& owner, QObject* parent) : QObject(parent), m_owner(&owner) {}

VerificationPause::~VerificationPause() {
    delete m_window;
}

FetchedPage VerificationPause::fetch(const std::function<FetchedPage()>& fetchOnce, const PageJudge& judge,
                                     const QString& jobName, const QString& skipText,
                                     const std::function<void()>& cancelJob) {
    // The window thread cannot wait for itself: there the page is given as it came.
    if (QThread::currentThread() == thread()) {
        return fetchOnce();
    }
    std::shared_ptr<Wait> wait;
    const auto endWait = [this, &wait] {
        if (wait) {
            QMetaObject::invokeMethod(
                this, [this, wait] { end(wait); }, Qt::QueuedConnection);
        }
    };
    for (int passes = 0;; ++passes) {
        FetchedPage page = fetchOnce();
        const PageKind kind = judge(page);
        if (!NeedsTheUser(kind) || CancelRequested()) {
            endWait();
            return page;
        }
        // Nothing of this page counts until the user has passed it: the job waits here, then asks again.
        wait = std::make_shared<Wait>();
        wait->judge = judge;
        QMetaObject::invokeMethod(
            this,
            [this, address = QtText(page.address), kind, jobName, skipText, passes, wait, cancelJob] {
                show(address, kind, jobName, skipText, passes, wait, cancelJob);
            },
            Qt::QueuedConnection);
        while (!wait->waitForEnd()) {
            if (CancelRequested()) {
                endWait();
                return {};
            }
        }
        if (wait->skipped) {
            endWait();
            // Skipped, the page is read as nothing: the read it carries is no longer its own.
            page.skipped = true;
            page.read.reset();
            return page;
        }
    }
}

void VerificationPause::setOwner(QWidget& owner) {
    m_owner = &owner;
    if (m_window && m_window->parentWidget() != &owner && !isWaiting()) {
        m_window->setParent(&owner, m_window->windowFlags());
    }
}

void VerificationPause::makeWindow() {
    // A dialog of the window whose job waits: window managers keep it above that window, whichever is clicked.
    m_window = new QWidget(m_owner, Qt::Dialog | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    m_window->setObjectName(QStringLiteral("VerificationWindow"));
    m_window->resize(800, 480);
    m_line = new QLabel(m_window);
    m_line->setObjectName(QStringLiteral("VerificationLine"));
    m_line->setTextFormat(Qt::PlainText);
    QFont bold = m_line->font();
    bold.setBold(true);
    m_line->setFont(bold);
    m_skip = new QPushButton(m_window);
    m_skip->setObjectName(QStringLiteral("VerificationSkip"));
    m_cancel = new QPushButton(QStringLiteral("取消"), m_window);
    m_cancel->setObjectName(QStringLiteral("VerificationCancel"));
    m_view = new BrowserView(m_window);
    auto* top = new QHBoxLayout;
    top->addWidget(m_line, 1);
    top->addWidget(m_skip);
    top->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(m_window);
    layout->addLayout(top);
    layout->addWidget(m_view, 1);
    connect(m_cancel, &QPushButton::clicked, m_window, &QWidget::close);
    connect(m_skip, &QPushButton::clicked, this, [this] {
        if (const std::shared_ptr<Wait> wait = m_wait) {
            wait->end(true);
        }
    });
    // Esc is 取消, as in every window of the program.
    CloseOnEscape(*m_window);
    connect(m_view, &QWebEngineView::loadStarted, this, [this] { m_shownLoaded = false; });
    connect(m_view, &QWebEngineView::loadFinished, this, [this] {
        m_shownLoaded = true;
        ++m_loads;
    });
    m_window->installEventFilter(this);
    auto* look = new QTimer(m_window);
    connect(look, &QTimer::timeout, this, &VerificationPause::lookAtShownPage);
    look->start(kLookMs);
}

bool VerificationPause::eventFilter(QObject* watched, QEvent* event) {
    // The user closes the window (or presses 取消): the job stops waiting and ends, keeping what it found.
    if (watched == m_window && event->type() == QEvent::Close && m_wait && m_cancelJob) {
        m_cancelJob();
    }
    return QObject::eventFilter(watched, event);
}

void VerificationPause::show(const QString& address, PageKind kind, const QString& jobName, const QString& skipText,
                             int passes, std::shared_ptr<Wait> wait, std::function<void()> cancelJob) {
    if (!m_window) {
        makeWindow();
    }
    const bool wasWaiting = isWaiting();
    m_wait = std::move(wait);
    m_cancelJob = std::move(cancelJob);
    m_window->setWindowTitle(kind == PageKind::Login ? QStringLiteral("登录淘宝后继续")
                                                     : QStringLiteral("完成验证后继续"));
    m_kind = kind;
    m_jobName = jobName;
    m_skipText = skipText;
    m_passes = passes;
    m_loads = 0;
    m_lastAskingLoad = 0;
    m_line->setText(lineFor(kind, jobName, skipText, passes));
    m_skip->setText(skipText);
    m_shownLoaded = false;
    m_view->setUrl(QUrl(address));
    if (!m_window->isVisible()) {
        CenterForm(*m_window);
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    if (!wasWaiting) {
        emit waitingChanged(true);
    }
}

void VerificationPause::end(const std::shared_ptr<Wait>& wait) {
    if (m_wait != wait) {
        return; // a later wait has the window
    }
    m_wait.reset();
    m_cancelJob = {};
    m_window->hide();
    emit waitingChanged(false);
}

void VerificationPause::lookAtShownPage() {
    if (!m_wait || !m_shownLoaded) {
        return;
    }
    // Once the page shown is an ordinary page (neither empty nor asking for the user) by the job's own judge, the job
    // asks again: the anti-bot script every page loads names the slider in its source, and must not hold the wait.
    // Its text decides, not its address: the page a passed slider leaves may still be on the verification path.
    m_view->page()->toHtml([this, wait = std::weak_ptr<Wait>(m_wait), load = m_loads](const QString& html) {
        const std::shared_ptr<Wait> waiting = wait.lock();
        if (!waiting || waiting != m_wait) {
            return;
        }
        FetchedPage shown(CoreText(html));
        const PageKind kind = waiting->judge(shown);
        if (kind != PageKind::Empty && !NeedsTheUser(kind)) {
            waiting->end(false);
            return;
        }
        // Each later page of the window that asks again (a login made, the login page back) counts as a pass that
        // did not hold.
        if (NeedsTheUser(kind) && load > m_lastAskingLoad) {
            m_lastAskingLoad = load;
            m_line->setText(lineFor(m_kind, m_jobName, m_skipText, m_passes + std::max(0, m_lastAskingLoad - 1)));
        }
    });
}

} // namespace tarvisk
