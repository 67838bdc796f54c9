#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include <QObject>
#include <QPointer>

#include "store/local_store.h"

class QThread;
class QWidget;

namespace tarvisk {

/// The local database of a window and the windows it opens, on a thread of its own, so that no window waits on it
/// (another program's write holds the file for up to the busy timeout, a large read takes its time). Every call
/// runs on that one thread in the order asked, so list edits and the reads after them meet the file as the user
/// left it; its answer comes back on this object's thread (the window thread), where it is dropped when the window
/// that asked is gone. The store's problems reach `problems` on the window thread.
class StoreThread : public QObject {
    Q_OBJECT
public:
    /// `problems` empty: the store's own message box, shown from the window thread.
    explicit StoreThread(std::filesystem::path file, StoreProblemSink problems = {}, QObject* parent = nullptr);
    /// Waits for the calls asked before to end, then closes the database.
    ~StoreThread() override;

    /// Runs `work` on the store's thread, after every call asked before; then `done` with its answer on this
    /// object's thread, unless `context` (an object of this thread) is gone by then. A call that throws gives no
    /// answer: a message box names the failure.
    template <typename Work, typename Done> void ask(QObject* context, Work work, Done done) {
        using Answer = std::invoke_result_t<Work, LocalStore&>;
        run([this, context = QPointer<QObject>(context), work = std::move(work),
             done = std::move(done)](LocalStore& store) mutable {
            if constexpr (std::is_void_v<Answer>) {
                work(store);
                answer(context, [done = std::move(done)]() mutable { done(); });
            } else {
                auto result = std::make_shared<Answer>(work(store));
                answer(context, [done = std::move(done), result]() mutable { done(std::move(*result)); });
            }
        });
    }

    /// Runs `done` on this object's thread once every call asked before has answered (unless `context` is gone).
    void afterAll(QObject* context, std::function<void()> done) {
        ask(
            context, [](LocalStore&) {}, std::move(done));
    }

    /// Before the program ends (its windows closed, not yet destroyed): waits for every call asked before, saying
    /// so when that takes a while. Writes that find the database held by another program are kept, not lost: once
    /// one has met the lock the rest are kept without waiting on it each, and the user is told how many changes are
    /// unwritten and may try them again (after closing that program) or give them up.
    void finish(QWidget* parent);

private:
    using Call = std::function<void(LocalStore&)>;
    void run(Call call);
    /// On the store's thread: runs `call`; while finishing, keeps it when a write of it met the lock.
    void perform(const Call& call, LocalStore& store);
    /// Waits, showing that changes are being saved, until every call asked before has run; the calls kept.
    std::size_t waitForCalls(QWidget* parent);
    /// Runs `task` on this object's thread while `context` is still there.
    void answer(const QPointer<QObject>& context, std::function<void()> task);

    std::unique_ptr<LocalStore> m_store;
    QThread* m_thread;
    QObject* m_worker; // lives on m_thread: calls queued to it run there in order
    std::atomic<bool> m_finishing = false;
    // Of the store's thread: the calls whose writes met another program's lock while finishing, in order, and
    // whether the calls run now are such calls tried again (their answers are not given twice).
    std::vector<Call> m_kept;
    bool m_retrying = false;
};

} // namespace tarvisk
