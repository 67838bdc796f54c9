#pragma once

#include <functional>
#include <memory>

#include <QObject>
#include <QPointer>
#include <QString>

#include "jobs/page_check.h"

class QLabel;
class QPushButton;
class QWidget;

namespace tarvisk {

class BrowserView;

/// How a job takes a page it fetched: a login or verification kind (NeedsTheUser) makes the fetch pause. The judge
/// may keep its read on the page (JudgedOnce), which then goes on to the job with it.
using PageJudge = std::function<PageKind(FetchedPage&)>;

/// Lets a job's fetch (through the browser, or by requests that carry its cookies) wait for the user instead of
/// ending at a login or slider page: the page is shown in a window of the login browser's profile with one line
/// saying what to do, and the fetch asks again for the same address once the shown page has become an ordinary one
/// (the slider passed, the login made). The job never learns of the wait: its fetch just takes longer. 取消 in that
/// window, Esc, or closing it, cancels the job, which then keeps what it found so far. 跳过 gives the job the page
/// as it came, marked skipped (FetchedPage::skipped, PageKind::SkippedByUser): the job goes on without it. A page that
/// asks again after it was passed twice (a login that does not hold) says so, pointing to 跳过.
///
/// Threads: the object and its window live on the window thread; fetch() is called from the job's thread.
class VerificationPause : public QObject {
    Q_OBJECT
public:
    /// The window opens in front of `owner`, as its dialog.
    VerificationPause(QWidget& owner, QObject* parent);
    ~VerificationPause() override;

    /// `fetchOnce()` on the job's thread, asked again after each wait while `judge` finds a page that needs the
    /// user. `cancelJob` runs on the window thread when the user gives up waiting; the wait ends when the job's
    /// cancel flag is set (CancelRequested()), and the fetch then gives an empty page. `jobName` names the job in
    /// the window's line, `skipText` the 跳过 button (what it skips: "跳过这个账号").
    FetchedPage fetch(const std::function<FetchedPage()>& fetchOnce, const PageJudge& judge, const QString& jobName,
                      const QString& skipText, const std::function<void()>& cancelJob);

    /// The window whose job the next wait holds: the pause window stands above it.
    void setOwner(QWidget& owner);

    /// The window showing the page to pass; null until the first wait.
    QWidget* window() const { return m_window; }
    /// Its browser.
    BrowserView* view() const { return m_view; }
    /// True while a job waits for the user.
    bool isWaiting() const { return m_wait != nullptr; }

signals:
    /// A job began or ended waiting for the user.
    void waitingChanged(bool waiting);

private:
    struct Wait;

    /// Shows the page to pass; `passes`: how often the job's page was passed before and asked again.
    void show(const QString& address, PageKind kind, const QString& jobName, const QString& skipText, int passes,
              std::shared_ptr<Wait> wait, std::function<void()> cancelJob);
    void end(const std::shared_ptr<Wait>& wait);
    void lookAtShownPage();
    void makeWindow();
    bool eventFilter(QObject* watched, QEvent* event) override;

    QPointer<QWidget> m_owner;
    QPointer<QWidget> m_window;
    BrowserView* m_view = nullptr;
    QLabel* m_line = nullptr;
    QPushButton* m_skip = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_shownLoaded = false;
    // What the window asks for, how often the job's page asked again after a pass, and the pages the window loaded.
    PageKind m_kind = PageKind::Login;
    QString m_jobName;
    QString m_skipText;
    int m_passes = 0;
    int m_loads = 0;
    int m_lastAskingLoad = 0;     ///< the latest of those loads that asked again (the first shows the page)
    std::shared_ptr<Wait> m_wait; ///< the job's wait under way (window thread)
    std::function<void()> m_cancelJob;
};

} // namespace tarvisk
