#include "app/ui/qt_hooks.h"

#include <QApplication>
#include <QThread>

#include "app/ui/message_box.h"
#include "core/hooks.h"
#include "app/ui/qt_text.h"

namespace tarvisk {

namespace {

bool onWindowThread() {
    return QThread::currentThread() == qApp->thread();
}

void showCoreMessage(const std::u16string& text, const std::u16string& title) {
    const QString shownText = QtText(text);
    const QString shownTitle = QtText(title);
    const auto show = [shownText, shownTitle] { ShowMessageBox(QApplication::activeWindow(), shownText, shownTitle); };
    if (onWindowThread()) {
        show();
    } else if (qApp != nullptr) {
        // A job on another thread waits until the user has read its message, as it would on the window thread.
        QMetaObject::invokeMethod(qApp, show, Qt::BlockingQueuedConnection);
    }
}

} // namespace

void InstallWindowHooks() {
    SetMessageSink(&showCoreMessage);
    SetEventPump([] {
        if (onWindowThread()) {
            QCoreApplication::processEvents();
        }
    });
}

} // namespace tarvisk
