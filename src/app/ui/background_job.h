#pragma once

#include <atomic>
#include <functional>

#include <QObject>
#include <QString>

class QThread;

namespace tarvisk {

/// Runs one long job (a ranking walk, a shop crawl) on a worker thread, so the windows keep answering while it
/// waits for the marketplace. Results reach the window thread through post(), in the order posted, and the
/// completion handler runs there after everything posted before it. A job that throws ends there: its completion
/// handler still runs (the window becomes usable again), then a message box names the failure. Destroying the
/// job cancels a running job and waits for its thread; what it posted and has not yet run is then dropped.
class BackgroundJob : public QObject {
    Q_OBJECT
public:
    explicit BackgroundJob(QObject* parent = nullptr);
    ~BackgroundJob() override;

    bool isRunning() const { return m_thread != nullptr; }

    /// Starts `work` on a new thread (with the cancel flag cleared); `done` runs on this object's thread once
    /// `work` has returned. Does nothing while a job is running.
    void start(std::function<void()> work, std::function<void()> done);

    /// Asks the running job to stop; its requests give up at once.
    void cancel() { m_cancel = true; }
    /// Waits until the running job's thread has ended (its completion handler still runs later, on this object's
    /// thread); at once when none runs.
    void waitForEnd();
    /// The flag the job's CancelScope watches.
    const std::atomic<bool>* cancelFlag() const { return &m_cancel; }

    /// Runs `task` on this object's thread; callable from the worker.
    void post(std::function<void()> task);

private:
    std::atomic<bool> m_cancel = false;
    QThread* m_thread = nullptr;
    QString m_failure; // written by the worker before it ends, read after its thread has finished
};

} // namespace tarvisk
