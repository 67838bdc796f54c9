#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QUrl>

#include "jobs/page_check.h"

class QTimer;
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;

namespace tarvisk {

class CapturePage;

/// What one page fetch through the browser may take.
struct BrowserFetchLimits {
    /// The whole fetch: loading, the scripts' data, the rendered text. A page not loaded by then is an empty page;
    /// one that loaded gives what it has.
    std::chrono::milliseconds timeLimit{30000};
    /// How long a loaded page with no data request under way must stay quiet (no answer, no new document) before
    /// it counts as done, when the answer its reader needs does not come (the older pages, a slider): the time its
    /// scripts get to start asking, and to draw what they received.
    std::chrono::milliseconds settle{700};
    /// The longest data answer kept (in UTF-16 units), the most answers and the most text kept of one fetch;
    /// what a page hands over beyond them is dropped, its address kept (FetchedPage::droppedAnswers).
    std::size_t answerLength = 4 * 1024 * 1024;
    std::size_t answers = 32;
    std::size_t totalLength = 16 * 1024 * 1024;
    /// The most of the rendered page kept (a search page of the older form is some 400 KB).
    std::size_t pageLength = 8 * 1024 * 1024;
};

/// Fetches pages through the browser: loads an address in a page of the given profile (the login browser's, so
/// it carries the login) that no window shows, waits until the page has loaded and its scripts have fetched their
/// data, and gives the page as rendered (its document as HTML, the address it ended at) with the data answers its
/// scripts received from the marketplace's data endpoints (the search gateway's and the shops' list endpoint's
/// JSONP, XHR or fetch answers).
///
/// The answers are taken by a script the fetcher puts into each document before the page's own. It runs in the
/// page's world, where the data callbacks are, so the page can see it and call what it wraps: whatever it hands
/// over is the page's word, read as data only, like the page's text. It takes every built-in it uses before the
/// page's scripts run, and builds its messages so that the page cannot change them. Which document stands, and
/// when it is ready or being left, a script of the program's own world tells; a fetch takes answers only from
/// the newest document of its own load. The way back is one way: console messages carrying a mark of this
/// fetcher, logged by those scripts; the page is given nothing of the program's to call, and every answer, its
/// count and the text kept are bounded (BrowserFetchLimits). Dialogs stay closed, windows the page opens are
/// refused, certificate errors are refused unless trusted (SilentPage).
///
/// The page stays on the marketplace's hosts (and the host asked): a fetch that a redirect, a script or a refresh
/// would send elsewhere ends at once, with that address and nothing read (FetchedPage::sentOff: Foreign).
///
/// A fetch ends as soon as the answer its reader needs has come (AnswerCheck), with one read of the rendered page;
/// without such an answer, once the page has settled. After a fetch the page is left blank, so that nothing of it
/// runs (or answers) while the job pauses.
///
/// The page behaves as a tab in front would (timers at full pace, frames drawn, document.hidden false): a view
/// that is shown but never put on the screen holds it. One fetch at a time.
///
/// Threads: the object lives on the window thread. fetch() may be called from any thread: from another it blocks
/// that thread while the window thread works (the window thread must run its event loop meanwhile: the engine
/// works there), and waits its turn behind a fetch under way; on the window thread it runs a local event loop, and
/// a second fetch asked there while one is under way gets an empty page. Either way it gives up at once (an empty
/// page) when the caller's job is cancelled (CancelRequested()). Destroy the object only when no fetch is under
/// way.
class BrowserPageFetch : public QObject {
    Q_OBJECT
public:
    explicit BrowserPageFetch(QWebEngineProfile* profile, BrowserFetchLimits limits = {}, QObject* parent = nullptr);
    ~BrowserPageFetch() override;

    /// Whether the answers a page's scripts received so far (in a page without text, at the address it stands
    /// at) hold the one its reader needs.
    using AnswerCheck = std::function<bool(const FetchedPage&)>;

    /// The page at `address`, rendered, with the data answers its scripts received; an empty page (with the
    /// address) when it could not be loaded, the time limit passed before it loaded, or the job was cancelled.
    /// It ends once `answered` says the reader's answer has come and no other data request is under way.
    FetchedPage fetch(const std::u16string& address, AnswerCheck answered = {});

    /// The page the fetches load in.
    QWebEnginePage* page() const;

private:
    struct Waiter;

    void begin(const QUrl& address, AnswerCheck answered, std::shared_ptr<Waiter> waiter);
    void abandon(const std::shared_ptr<Waiter>& waiter);
    void check();
    void readRendered();
    void finish(FetchedPage page);
    /// The page as it stands, without its text: its address and the answers taken so far.
    FetchedPage pageWithoutText();
    /// The address the page stands at, else the one asked.
    std::u16string shownAddress() const;
    /// A message of the capture script (the page's world) or of the signals script (the program's own world).
    void takeMessage(const QString& message, bool ownWorld);
    /// Ends the fetch when the reader's answer has come and no data request is under way.
    void endOnAnswer();
    /// Whether the page may go to `url` (its main frame).
    bool allowNavigation(const QUrl& url);
    void takeAnswer(const QString& address, const QString& text);
    /// An answer not kept for its size or number: its address, so that its reader can say why it read nothing.
    void noteDropped(const QString& address);
    void forgetAnswers();
    void makePage();
    void noteActivity() { m_quietSince.restart(); }

    QWebEngineProfile* m_profile;
    BrowserFetchLimits m_limits;
    QString m_mark;
    QWebEngineView* m_view;
    CapturePage* m_page = nullptr;
    QTimer* m_checkTimer;
    std::mutex m_fetchMutex; ///< one fetch at a time, whatever thread asks

    // The fetch under way (window thread only).
    std::shared_ptr<Waiter> m_waiter;
    QUrl m_address;
    AnswerCheck m_answered;
    QElapsedTimer m_started;
    QElapsedTimer m_quietSince;
    QElapsedTimer m_leaving; ///< since the document said it is being left; invalid when it did not
    bool m_loaded = false;
    bool m_failed = false;
    bool m_reading = false;
    QString m_document;                          ///< the newest document of this fetch's load; empty before it
    std::set<std::pair<QString, int>> m_pending; ///< its data requests under way (the capture's name, request)
    std::vector<DataAnswer> m_answers;
    std::vector<DataAnswer> m_dropped;
    std::size_t m_keptLength = 0;
    int m_generation = 0;
};

} // namespace tarvisk
