#include "app/ui/window_helpers.h"

#include <algorithm>
#include <vector>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTextCursor>
#include <QToolTip>

#include "text/settings.h"
#include "app/ui/qt_text.h"

namespace tarvisk {

void PlaceTwips(QWidget& widget, int left, int top, int width, int height) {
    widget.setGeometry(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel, height / kTwipsPerPixel);
}

namespace {

/// Turns one kind of left-button mouse event on a widget into a handler call; lives as long as the widget.
class MouseAction : public QObject {
public:
    MouseAction(QWidget& target, QEvent::Type type, std::function<void()> handler)
        : QObject(&target), m_type(type), m_handler(std::move(handler)) {
        target.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != m_type || static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) {
            return false;
        }
        const auto* target = static_cast<QWidget*>(watched);
        if (!target->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
            return false;
        }
        watched->event(event);
        m_handler();
        return true;
    }

private:
    QEvent::Type m_type;
    std::function<void()> m_handler;
};

/// Closes its window on an Esc that reaches the window: no control claimed the key (a text box, a table, a page in a
/// browser, which would take it as a shortcut override or a key press) and no shortcut of the window takes it (a
/// running job's Esc cancels the job instead).
class EscapeCloser : public QObject {
public:
    explicit EscapeCloser(QWidget& window) : QObject(&window) { window.installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress) {
            return false;
        }
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Escape || key->modifiers() != Qt::NoModifier) {
            return false;
        }
        auto* window = static_cast<QWidget*>(watched);
        for (const QShortcut* shortcut : window->findChildren<QShortcut*>()) {
            if (shortcut->isEnabled() && shortcut->key() == QKeySequence(Qt::Key_Escape)) {
                return false;
            }
        }
        key->accept();
        window->close();
        return true;
    }
};

} // namespace

void LayOutControls(std::span<const ControlPlace> controls) {
    std::vector<QWidget*> tabChain;
    for (const ControlPlace& place : controls) {
        place.control->setObjectName(QString::fromLatin1(place.name));
        PlaceTwips(*place.control, place.left, place.top, place.width, place.height);
        if (place.tabIndex >= 0) {
            const auto index = static_cast<std::size_t>(place.tabIndex);
            tabChain.resize(std::max(tabChain.size(), index + 1));
            tabChain[index] = place.control;
        }
    }
    for (std::size_t i = 1; i < tabChain.size(); ++i) {
        QWidget::setTabOrder(tabChain[i - 1], tabChain[i]);
    }
}

QPushButton* MakeButton(const QString& caption, const char* name, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

void MarkMissingInput(QLineEdit& textBox, const QString& hint) {
    textBox.setPlaceholderText(hint);
    textBox.setStyleSheet(QStringLiteral("QLineEdit { border: 2px solid #d9363e; }"));
    QObject::connect(
        &textBox, &QLineEdit::textChanged, &textBox, [&textBox] { textBox.setStyleSheet({}); },
        Qt::SingleShotConnection);
    textBox.setFocus(Qt::OtherFocusReason);
    QToolTip::showText(textBox.mapToGlobal(QPoint(0, textBox.height())), hint, &textBox);
}

void PressButtonsOnEnter(QWidget& window) {
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        button->setAutoDefault(true);
    }
}

void FocusKeeper::park(QWidget& parking) {
    m_previous = parking.window()->focusWidget();
    m_parking = &parking;
    parking.setFocus(Qt::OtherFocusReason);
}

void FocusKeeper::giveBack(QWidget* home) {
    QWidget* target = home != nullptr ? home : m_previous.data();
    if (m_parking == nullptr || target == nullptr) {
        return;
    }
    const QWidget* now = m_parking->window()->focusWidget();
    if (now == nullptr || now == m_parking) {
        target->setFocus(Qt::OtherFocusReason);
    }
    m_parking = nullptr;
    m_previous = nullptr;
}

void OnDoubleClick(QWidget& target, std::function<void()> handler) {
    new MouseAction(target, QEvent::MouseButtonDblClick, std::move(handler));
}

void OnClick(QWidget& target, std::function<void()> handler) {
    new MouseAction(target, QEvent::MouseButtonRelease, std::move(handler));
}

void SetClientTwips(QWidget& window, int width, int height) {
    window.setFixedSize(width / kTwipsPerPixel, height / kTwipsPerPixel);
}

namespace {

/// What a window manager puts around a window not shown yet (its frame is known once it is shown): a title bar and
/// borders, generously.
constexpr QSize kAssumedFrame{16, 40};

QRect frameOf(const QWidget& window) {
    return window.isVisible() ? window.frameGeometry() : QRect(window.pos(), window.size() + kAssumedFrame);
}

const QScreen* screenOf(const QWidget& window) {
    return window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
}

} // namespace

void KeepOnScreen(QWidget& window) {
    const QScreen* screen = screenOf(window);
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    const QRect frame = frameOf(window);
    const int left = std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width()));
    const int top = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height()));
    if (left != frame.left() || top != frame.top()) {
        window.move(left, top);
    }
}

void FitOnScreen(QWidget& window) {
    const QScreen* screen = screenOf(window);
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    const QSize frame = frameOf(window).size() - window.size();
    window.resize(window.size().boundedTo(area.size() - frame));
    const QSize size = window.size() + frame;
    window.move(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
}

void CenterForm(QWidget& window) {
    const QScreen* screen = screenOf(window);
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->geometry();
    const QSize size = window.frameGeometry().size();
    window.move(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
}

void ShowOver(QWidget& window, const QWidget& over) {
    // A window placed once (by this or by the user) keeps its place.
    if (!window.testAttribute(Qt::WA_Moved)) {
        const QRect area = over.frameGeometry();
        const QSize size = window.frameGeometry().size();
        window.move(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
        KeepOnScreen(window);
    }
    window.show();
    window.raise();
    window.activateWindow();
}

void CloseOnEscape(QWidget& window) {
    new EscapeCloser(window);
}

void SelectAllText(QLineEdit& textBox) {
    textBox.setSelection(0, static_cast<int>(textBox.text().size()));
}

void SelectAllText(QPlainTextEdit& textBox) {
    textBox.selectAll();
}

QString ReadControlSetting(const QWidget& control) {
    return QtText(ReadSetting(CoreText(control.objectName())));
}

void WriteControlSetting(const QLineEdit& textBox, const QString& key) {
    const QString name = key.isEmpty() ? textBox.objectName() : key;
    // A failed write (read-only folder, full disk) leaves the old file; the window carries on.
    WriteSetting(CoreText(name), CoreText(textBox.text()));
}

} // namespace tarvisk
