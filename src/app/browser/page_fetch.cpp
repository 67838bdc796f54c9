#include "app/browser/page_fetch.h"

#include <condition_variable>
#include <functional>
#include <optional>

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QTimer>
#include <QUuid>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

#include "app/browser/silent_page.h"
#include "core/cancel.h"
#include "net/endpoints.h"

namespace tarvisk {

namespace {

// The scripts' names; the engine names the scripts it injects "userscript:" + name in console messages.
constexpr char kCaptureName[] = "tarvisk-page-capture";
constexpr char kSignalsName[] = "tarvisk-page-signals";
// How often the fetch looks at its page, and how often a waiting caller looks at its job's cancel flag.
constexpr int kCheckMs = 40;
constexpr auto kPoll = std::chrono::milliseconds(20);
// The longest address kept with an answer.
constexpr qsizetype kLongestAnswerAddress = 4096;
// How long the rendered text of a page may take to come once the time limit has passed.
constexpr auto kReadGrace = std::chrono::milliseconds(3000);
// How long a page that said it is leaving its document may take to show the next one.
constexpr auto kLeavingLimit = std::chrono::milliseconds(5000);
// The size the page is drawn at: a window of an ordinary desktop.
constexpr QSize kViewSize(1280, 900);
// Where the page is drawn: beyond any screen.
constexpr QPoint kOffScreen(-32000, -32000);

/// True for a load the engine gave up because another took its place (a script sending the page on).
bool aborted(const QWebEngineLoadingInfo& info) {
    constexpr int kAborted = -3; // the engine's own error number for it
    return info.errorDomain() == QWebEngineLoadingInfo::ConnectionErrorDomain && info.errorCode() == kAborted;
}

/// One of the fetch's scripts, with this fetcher's mark and limits written in, for the main frame of every
/// document from its creation on.
QWebEngineScript fetchScript(const char* name, const QString& resource, QWebEngineScript::ScriptWorldId world,
                             const QString& mark, const BrowserFetchLimits& limits) {
    QFile file(resource);
    file.open(QIODevice::ReadOnly);
    QWebEngineScript script;
    script.setName(QLatin1String(name));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(world);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(QString::fromUtf8(file.readAll())
                             .replace(QStringLiteral("@MARK@"), mark)
                             .replace(QStringLiteral("@MAX_TEXT@"), QString::number(limits.answerLength))
                             .replace(QStringLiteral("@MAX_ANSWERS@"), QString::number(limits.answers)));
    return script;
}

bool isBlank(const QUrl& address) {
    return address.scheme() == QLatin1String("about");
}

} // namespace

/// A fetch's page: a SilentPage that hands the messages of the fetch's scripts on and keeps every other quiet.
class CapturePage : public SilentPage {
public:
    using Take = std::function<void(const QString&, bool ownWorld)>;
    using Allow = std::function<bool(const QUrl&)>;
    CapturePage(QWebEngineProfile* profile, QObject* parent, QString mark, Take take, Allow allow)
        : SilentPage(profile, parent), m_mark(std::move(mark)), m_take(std::move(take)), m_allow(std::move(allow)) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        return !isMainFrame || m_allow(url) ? SilentPage::acceptNavigationRequest(url, type, isMainFrame) : false;
    }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber,
                                  const QString& sourceID) override {
        // Logged by one of the fetch's scripts itself (never by a script of the page) and carrying this fetcher's
        // mark.
        const bool capture = sourceID == QLatin1String("userscript:") + QLatin1String(kCaptureName);
        const bool ownWorld = sourceID == QLatin1String("userscript:") + QLatin1String(kSignalsName);
        if ((capture || ownWorld) && message.startsWith(m_mark)) {
            m_take(message.mid(m_mark.size()), ownWorld);
            return;
        }
        SilentPage::javaScriptConsoleMessage(level, message, lineNumber, sourceID);
    }

private:
    QString m_mark;
    Take m_take;
    Allow m_allow;
};

struct BrowserPageFetch::Waiter {
    std::mutex mutex;
    std::condition_variable done;
    std::optional<FetchedPage> page;

    void give(FetchedPage fetched) {
        {
            std::lock_guard lock(mutex);
            page = std::move(fetched);
        }
        done.notify_all();
    }
    bool given() {
        std::lock_guard lock(mutex);
        return page.has_value();
    }
};

BrowserPageFetch::BrowserPageFetch(QWebEngineProfile* profile, BrowserFetchLimits limits, QObject* parent)
    : QObject(parent), m_profile(profile), m_limits(limits),
      m_mark(QUuid::createUuid().toString(QUuid::WithoutBraces) + QLatin1Char(':')), m_view(new QWebEngineView),
      m_checkTimer(new QTimer(this)) {
    // Shown, so that the engine runs the page as a tab in front, but never put on the screen. The attribute alone
    // still leaves the engine a native window that window managers on X11 map over everything: a frameless tool
    // window that the window manager passes over, that never takes the focus, far off the screen, is seen by none.
    m_view->setAttribute(Qt::WA_DontShowOnScreen);
    m_view->setAttribute(Qt::WA_ShowWithoutActivating);
    m_view->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                           Qt::X11BypassWindowManagerHint);
    m_view->setGeometry(QRect(kOffScreen, kViewSize));
    makePage();
    m_view->show();
    m_checkTimer->setInterval(kCheckMs);
    connect(m_checkTimer, &QTimer::timeout, this, &BrowserPageFetch::check);
}

BrowserPageFetch::~BrowserPageFetch() {
    delete m_view;
}

QWebEnginePage* BrowserPageFetch::page() const {
    return m_page;
}

void BrowserPageFetch::makePage() {
    CapturePage* old = m_page;
    m_page = new CapturePage(
        m_profile, m_view, m_mark, [this](const QString& message, bool ownWorld) { takeMessage(message, ownWorld); },
        [this](const QUrl& url) { return allowNavigation(url); });
    m_page->scripts().insert(fetchScript(kCaptureName, QStringLiteral(":/tarvisk/page_capture.js"),
                                         QWebEngineScript::MainWorld, m_mark, m_limits));
    m_page->scripts().insert(fetchScript(kSignalsName, QStringLiteral(":/tarvisk/page_signals.js"),
                                         QWebEngineScript::ApplicationWorld, m_mark, m_limits));
    connect(m_page, &QWebEnginePage::loadStarted, this, [this] {
        m_loaded = false;
        m_failed = false;
        noteActivity();
    });
    connect(m_page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        if (isBlank(info.url())) {
            return; // the blank page a fetch leaves behind
        }
        if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus) {
            m_loaded = true;
        } else if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus && !aborted(info)) {
            m_failed = true;
        }
        noteActivity();
    });
    m_view->setPage(m_page);
    if (old != nullptr) {
        old->deleteLater();
    }
}

FetchedPage BrowserPageFetch::fetch(const std::u16string& address, AnswerCheck answered) {
    const bool here = QThread::currentThread() == thread();
    // Another thread waits its turn; the window thread, which may ask again from inside its own wait, never does.
    std::unique_lock serial(m_fetchMutex, std::defer_lock);
    if (here) {
        static_cast<void>(serial.try_lock());
    } else {
        serial.lock();
    }
    const QUrl url(QString::fromStdU16String(address));
    if (!serial.owns_lock() || CancelRequested() || !url.isValid() || url.isRelative()) {
        return FetchedPage({}, address);
    }
    auto waiter = std::make_shared<Waiter>();
    QMetaObject::invokeMethod(
        this, [this, url, answered = std::move(answered), waiter] { begin(url, answered, waiter); },
        Qt::QueuedConnection);
    for (;;) {
        if (here) {
            QEventLoop loop;
            QTimer poll;
            connect(&poll, &QTimer::timeout, &loop, [&] {
                if (waiter->given() || CancelRequested()) {
                    loop.quit();
                }
            });
            poll.start(kPoll);
            loop.exec();
        } else {
            std::unique_lock lock(waiter->mutex);
            waiter->done.wait_for(lock, kPoll, [&waiter] { return waiter->page.has_value(); });
        }
        if (waiter->given()) {
            std::lock_guard lock(waiter->mutex);
            return std::move(*waiter->page);
        }
        if (CancelRequested()) {
            QMetaObject::invokeMethod(
                this, [this, waiter] { abandon(waiter); }, Qt::QueuedConnection);
            return FetchedPage({}, address);
        }
    }
}

void BrowserPageFetch::begin(const QUrl& address, AnswerCheck answered, std::shared_ptr<Waiter> waiter) {
    ++m_generation;
    m_waiter = std::move(waiter);
    m_address = address;
    m_answered = std::move(answered);
    m_loaded = false;
    m_failed = false;
    m_reading = false;
    m_document.clear();
    m_leaving.invalidate();
    m_pending.clear();
    forgetAnswers();
    m_started.start();
    noteActivity();
    m_checkTimer->start();
    m_page->load(address);
}

void BrowserPageFetch::abandon(const std::shared_ptr<Waiter>& waiter) {
    if (m_waiter != waiter) {
        return;
    }
    m_page->triggerAction(QWebEnginePage::Stop);
    finish({});
}

void BrowserPageFetch::check() {
    if (!m_waiter) {
        return;
    }
    if (m_started.hasExpired(m_limits.timeLimit.count())) {
        // A page that loaded gives what it has; one that did not, or whose text does not come, nothing.
        if (m_loaded && !m_reading) {
            readRendered();
            return;
        }
        if (!m_loaded || m_started.hasExpired((m_limits.timeLimit + kReadGrace).count())) {
            FetchedPage fetched = pageWithoutText();
            if (!m_loaded) {
                fetched.answers.clear();
            }
            m_page->triggerAction(QWebEnginePage::Stop);
            finish(std::move(fetched));
            // A page that never settled may keep its renderer busy: the next fetch gets a fresh one.
            makePage();
        }
        return;
    }
    if (m_reading) {
        return;
    }
    if (m_failed) {
        finish(pageWithoutText());
        return;
    }
    // Waiting for a data request of the document, or for the next document of a page that is leaving this one
    // (one that then stays, a download say, is taken as it is after a while).
    const bool waiting = !m_pending.empty() || (m_leaving.isValid() && !m_leaving.hasExpired(kLeavingLimit.count()));
    if (m_loaded && !waiting && m_quietSince.hasExpired(m_limits.settle.count())) {
        readRendered();
    }
}

void BrowserPageFetch::readRendered() {
    m_reading = true;
    const int generation = m_generation;
    // Read in a world of the program's own, where the page's scripts cannot change what reading means; the
    // engine's own serializer leaves out the documents its scripts have drawn into.
    m_page->runJavaScript(
        QStringLiteral("document.documentElement ? document.documentElement.outerHTML.slice(0, %1) : ''")
            .arg(m_limits.pageLength),
        QWebEngineScript::ApplicationWorld, [this, generation](const QVariant& html) {
            if (generation != m_generation) {
                return;
            }
            FetchedPage fetched = pageWithoutText();
            fetched.text = html.toString().toStdU16String();
            finish(std::move(fetched));
        });
}

std::u16string BrowserPageFetch::shownAddress() const {
    const QUrl at = m_page->url().isEmpty() || isBlank(m_page->url()) ? m_address : m_page->url();
    return at.toString(QUrl::FullyEncoded).toStdU16String();
}

FetchedPage BrowserPageFetch::pageWithoutText() {
    FetchedPage fetched({}, shownAddress());
    fetched.throughBrowser = true;
    fetched.answers = std::move(m_answers);
    fetched.droppedAnswers = std::move(m_dropped);
    forgetAnswers();
    return fetched;
}

void BrowserPageFetch::forgetAnswers() {
    m_answers.clear();
    m_dropped.clear();
    m_keptLength = 0;
}

void BrowserPageFetch::finish(FetchedPage page) {
    ++m_generation;
    m_checkTimer->stop();
    m_answered = {};
    m_document.clear();
    m_pending.clear();
    if (const std::shared_ptr<Waiter> waiter = std::exchange(m_waiter, nullptr)) {
        waiter->give(std::move(page));
    }
    // Nothing of the page runs on while the job pauses: no timer, no late answer.
    m_page->setUrl(QUrl(QStringLiteral("about:blank")));
}

bool BrowserPageFetch::allowNavigation(const QUrl& url) {
    // The page stays on the marketplace, or on the host the fetch asked: a redirect, a script or a refresh that
    // sends it elsewhere is refused, and the fetch ends there with that address and nothing read.
    if (isBlank(url) || url.host().compare(m_address.host(), Qt::CaseInsensitive) == 0 ||
        endpoints::IsMarketplaceAddress(url.toString(QUrl::FullyEncoded).toStdU16String())) {
        return true;
    }
    // Ended once the engine is out of its navigation.
    QTimer::singleShot(0, this, [this, generation = m_generation, url] {
        if (generation == m_generation && m_waiter) {
            FetchedPage away({}, url.toString(QUrl::FullyEncoded).toStdU16String());
            away.sentOff = true;
            finish(std::move(away));
        }
    });
    return false;
}

void BrowserPageFetch::endOnAnswer() {
    if (!m_answered || m_reading || !m_pending.empty() || m_answers.empty()) {
        return;
    }
    FetchedPage sofar({}, shownAddress());
    sofar.answers = m_answers;
    if (m_answered(sofar)) {
        readRendered();
    }
}

void BrowserPageFetch::takeMessage(const QString& message, bool ownWorld) {
    // Nothing is kept between fetches; and a message longer than any answer kept, once written out, is not read.
    if (!m_waiter || static_cast<std::size_t>(message.size()) > 6 * m_limits.answerLength + kLongestAnswerAddress) {
        return;
    }
    const QJsonObject object = QJsonDocument::fromJson(message.toUtf8()).object();
    const QString kind = object.value(QLatin1String("k")).toString();
    const QString document = object.value(QLatin1String("d")).toString();
    const int request = object.value(QLatin1String("i")).toInt();
    noteActivity();
    if (ownWorld) {
        if (kind == QLatin1String("document")) {
            // A new document (the page may go on to another one by itself): only its answers count, and it is
            // done once it is ready in turn.
            m_document = document;
            m_loaded = false;
            m_leaving.invalidate();
            m_pending.clear();
            forgetAnswers();
        } else if (kind == QLatin1String("leaving") && document == m_document) {
            m_leaving.start();
        } else if (kind == QLatin1String("ready") && document == m_document) {
            m_loaded = true;
        }
        return;
    }
    // The page's requests count from the newest document of this fetch's load on: a late answer of the page
    // before it does not.
    if (m_document.isEmpty()) {
        return;
    }
    if (kind == QLatin1String("start")) {
        m_pending.emplace(document, request);
    } else if (kind == QLatin1String("end") || kind == QLatin1String("answer") || kind == QLatin1String("dropped")) {
        m_pending.erase({document, request});
        const QString address = object.value(QLatin1String("u")).toString();
        if (kind == QLatin1String("answer")) {
            takeAnswer(address, object.value(QLatin1String("t")).toString());
        } else if (kind == QLatin1String("dropped")) {
            noteDropped(address);
        }
        endOnAnswer();
    }
}

void BrowserPageFetch::noteDropped(const QString& address) {
    if (m_dropped.size() < m_limits.answers) {
        m_dropped.push_back({address.left(kLongestAnswerAddress).toStdU16String(), {}});
    }
}

void BrowserPageFetch::takeAnswer(const QString& address, const QString& text) {
    const auto length = static_cast<std::size_t>(text.size());
    if (text.isEmpty()) {
        return;
    }
    if (length > m_limits.answerLength || m_answers.size() >= m_limits.answers ||
        m_keptLength + length > m_limits.totalLength) {
        noteDropped(address);
        return;
    }
    m_keptLength += length;
    m_answers.push_back({address.left(kLongestAnswerAddress).toStdU16String(), text.toStdU16String()});
}

} // namespace tarvisk
