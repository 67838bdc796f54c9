#pragma once

#include <QApplication>

namespace tarvisk {

/// The desktop programs' application object. An exception that a window handler or a queued task throws
/// (out of memory, a library error) never crosses Qt's event loop: it ends that one event with a message box
/// naming it, and the windows stay usable.
class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

/// Tells the user that an operation failed with an unexpected error (`what`), in a message box, and that the
/// program goes on.
void ShowUnexpectedFailure(QWidget* parent, const QString& what);

/// The text of the exception being handled; call only inside a catch block.
QString CurrentExceptionText();

} // namespace tarvisk
