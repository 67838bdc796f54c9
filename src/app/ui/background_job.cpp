#include "app/ui/background_job.h"

#include <utility>

#include <QApplication>
#include <QThread>

#include "app/ui/application.h"

namespace tarvisk {

BackgroundJob::BackgroundJob(QObject* parent) : QObject(parent) {}

BackgroundJob::~BackgroundJob() {
    if (m_thread != nullptr) {
        m_cancel = true;
        m_thread->wait();
        delete m_thread;
    }
}

void BackgroundJob::start(std::function<void()> work, std::function<void()> done) {
    if (m_thread != nullptr) {
        return;
    }
    m_cancel = false;
    m_failure.clear();
    m_thread = QThread::create([this, work = std::move(work)] {
        try {
            work();
        } catch (...) {
            m_failure = CurrentExceptionText();
        }
    });
    // Queued to this object's thread, behind every task the job posted before it ended.
    connect(m_thread, &QThread::finished, this, [this, done = std::move(done)] {
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
        done();
        if (!m_failure.isEmpty()) {
            ShowUnexpectedFailure(QApplication::activeWindow(), std::exchange(m_failure, {}));
        }
    });
    m_thread->start();
}

void BackgroundJob::waitForEnd() {
    if (m_thread != nullptr) {
        m_thread->wait();
    }
}

void BackgroundJob::post(std::function<void()> task) {
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

} // namespace tarvisk
