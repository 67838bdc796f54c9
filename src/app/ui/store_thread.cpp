#include "app/ui/store_thread.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QDialog>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include "app/ui/application.h"
#include "app/ui/message_box.h"
#include "app/ui/qt_text.h"
#include "core/hooks.h"

namespace tarvisk {

StoreThread::StoreThread(std::filesystem::path file, StoreProblemSink problems, QObject* parent)
    : QObject(parent), m_thread(new QThread(this)), m_worker(new QObject) {
    if (!problems) {
        problems = [](const StoreProblem& problem) { ShowMessage(StoreProblemMessage(problem), kStoreProblemTitle); };
    }
    // The store tells its problems on its own thread; the user hears of them from the window thread.
    // While the program ends, a lock is told once, with the changes it kept from the file.
    StoreProblemSink queued = [this, problems = std::move(problems)](const StoreProblem& problem) {
        QMetaObject::invokeMethod(
            this,
            [this, problems, problem] {
                if (!(m_finishing && problem.kind == StoreProblemKind::Locked)) {
                    problems(problem);
                }
            },
            Qt::QueuedConnection);
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

void StoreThread::run(Call call) {
    QMetaObject::invokeMethod(
        m_worker, [this, call = std::move(call)] { perform(call, *m_store); }, Qt::QueuedConnection);
}

void StoreThread::perform(const Call& call, LocalStore& store) {
    const std::uint64_t lockedBefore = store.lockedWrites();
    try {
        call(store);
    } catch (...) {
        const QString failure = CurrentExceptionText();
        QMetaObject::invokeMethod(
            this, [failure] { ShowUnexpectedFailure(QApplication::activeWindow(), failure); }, Qt::QueuedConnection);
    }
    if (m_finishing && store.lockedWrites() > lockedBefore) {
        m_kept.push_back(call);
        // The calls after it meet the same lock: they are kept at once rather than each waiting it out.
        store.setBusyTimeout(0);
    }
}

std::size_t StoreThread::waitForCalls(QWidget* parent) {
    QEventLoop loop;
    std::size_t kept = 0;
    ask(
        &loop, [this](LocalStore&) { return m_kept.size(); },
        [&](std::size_t count) {
            kept = count;
            loop.quit();
        });
    // Shown only when the wait is long enough to be seen: a window that closes has not frozen.
    QDialog saving(parent);
    saving.setWindowTitle(QtText(kStoreProblemTitle));
    (new QVBoxLayout(&saving))->addWidget(new QLabel(QStringLiteral("正在把修改写入历史记录…"), &saving));
    QTimer::singleShot(400, &saving, &QWidget::show);
    loop.exec();
    return kept;
}

void StoreThread::finish(QWidget* parent) {
    m_finishing = true;
    const int busyTimeout = m_store->busyTimeout();
    while (const std::size_t kept = waitForCalls(parent)) {
        const QString text =
            QStringLiteral("有%1项修改没有写入历史记录：另一个程序一直占用着历史记录库。\n%2\n"
                           "关闭占用它的程序（例如正在运行的tarvisk-cli）后点“重试”；点“确定”则放弃这些修改。")
                .arg(kept)
                .arg(QtText(m_store->file().u16string()));
        const bool retry = AskMessageBox(parent, text, QStringLiteral("重试"), QtText(kStoreProblemTitle));
        // Tried again in the order they were asked, the first waiting for the lock as long as any call does; or
        // given up for good.
        QMetaObject::invokeMethod(
            m_worker,
            [this, retry, busyTimeout] {
                const std::vector<Call> calls = std::exchange(m_kept, {});
                m_store->setBusyTimeout(busyTimeout);
                if (retry) {
                    m_retrying = true;
                    for (const Call& call : calls) {
                        perform(call, *m_store);
                    }
                    m_retrying = false;
                }
            },
            Qt::QueuedConnection);
        if (!retry) {
            return;
        }
    }
}

void StoreThread::answer(const QPointer<QObject>& context, std::function<void()> task) {
    if (m_retrying) {
        return;
    }
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
