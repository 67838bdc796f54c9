#include "app/ui/application.h"

#include <exception>

#include "app/ui/message_box.h"

namespace tarvisk {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowUnexpectedFailure(activeWindow(), CurrentExceptionText());
        return false;
    }
}

void ShowUnexpectedFailure(QWidget* parent, const QString& what) {
    ShowMessageBox(parent, QStringLiteral("出错了，这一步没有完成：%1\n\n程序可以继续使用。").arg(what));
}

QString CurrentExceptionText() {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return QStringLiteral("内存不足");
    } catch (const std::exception& error) {
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
        return QStringLiteral("未知错误");
    }
}

} // namespace tarvisk
