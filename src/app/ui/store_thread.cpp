#include "app/ui/store_thread.h"

#include <QApplication>
#include <QThread>

#include "app/ui/application.h"
#include "core/hooks.h"

namespace tarvisk {

StoreThread::StoreThread(std::filesystem::path file, StoreProblemSink problems, QObject* parent)
    : QObject(parent), m_thread(new QThread(this)), m_worker(new QObject) {
    if (!problems) {
        problems = [](const StoreProblem& problem) { ShowMessage(StoreProblemMessage(problem), kStoreProblemTitle); };
    }
    // The store tells its problems on its own thread; the user hears of them from the window thread.
    StoreProblemSink queued = [this, problems = std::move(problems)](const StoreProblem& problem) {
        QMetaObject::invokeMethod(
            this, [problems, problem] { problems(problem); }, Qt::QueuedConnection);
    };
    m_store = std::make_unique<LocalStore>(std::move(file), StoreOptions{.problems = std::move(queued)});
    m_worker->moveToThread(m_thread);
    m_thread->start();
}

StoreThread::~StoreThread() {
    // Queued behind every call asked before, so that none is lost.
    QMetaObject::invokeMethod(
        m_worker, [] { QThread::currentThread()->quit(); }, Qt::QueuedConnection);
    m_thread->wait();
    delete m_worker;
}

void StoreThread::run(std::function<void(LocalStore&)> call) {
    QMetaObject::invokeMethod(
        m_worker,
        [this, call = std::move(call)] {
            try {
                call(*m_store);
            } catch (...) {
                const QString failure = CurrentExceptionText();
                QMetaObject::invokeMethod(
                    this, [failure] { ShowUnexpectedFailure(QApplication::activeWindow(), failure); },
                    Qt::QueuedConnection);
            }
        },
        Qt::QueuedConnection);
}

void StoreThread::answer(const QPointer<QObject>& context, std::function<void()> task) {
    QMetaObject::invokeMethod(
        this,
        [context, task = std::move(task)] {
            if (context) {
                task();
            }
        },
        Qt::QueuedConnection);
}

} // namespace tarvisk
