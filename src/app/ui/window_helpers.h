#pragma once

#include <functional>
#include <span>

#include <QPointer>
#include <QString>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace tarvisk {

/// Twips per pixel: the windows' layouts are given in twips.
inline constexpr int kTwipsPerPixel = 15;

/// Puts `widget` at the rectangle given in twips (left, top, width, height) within its parent.
void PlaceTwips(QWidget& widget, int left, int top, int width, int height);

/// One control of a window's layout: its name (objectName), its rectangle in twips and its tab index
/// (-1 for a control that takes no focus: a label, a frame).
struct ControlPlace {
    QWidget* control;
    const char* name;
    int left, top, width, height;
    int tabIndex;
};

/// Names and places the controls, and chains the tab order by their tab indexes (0, 1, 2 ... each once).
void LayOutControls(std::span<const ControlPlace> controls);

/// A button of a window beside the specification's own: named `name` (its objectName), never pressed by Enter in
/// another control.
QPushButton* MakeButton(const QString& caption, const char* name, QWidget* parent);

/// Enter on a focused push button of `window` presses that button, as the platform's default-button rule has it
/// (every push button of the window becomes an auto-default one); Enter elsewhere goes on to the window.
void PressButtonsOnEnter(QWidget& window);

/// Keeps a window's keyboard focus out of the way of a job that disables controls, and gives it back afterwards.
/// park() remembers where the focus is and moves it onto `parking` (something that takes no typing), so that
/// disabling the focused control does not throw the focus onto the next field, its text selected; giveBack() puts
/// it on `home` (by default where it was) unless the user has moved it meanwhile.
class FocusKeeper {
public:
    void park(QWidget& parking);
    void giveBack(QWidget* home = nullptr);

private:
    QPointer<QWidget> m_previous;
    QPointer<QWidget> m_parking;
};

/// Runs `handler` on every double-click on `target`, after the target's own handling of it (so a text box's
/// word selection comes first). For a scrolling box pass its viewport.
void OnDoubleClick(QWidget& target, std::function<void()> handler);

/// Runs `handler` when `target` is clicked: the left button pressed and released on it.
void OnClick(QWidget& target, std::function<void()> handler);

/// Gives `window` a fixed client area of `width` x `height` twips.
void SetClientTwips(QWidget& window, int width, int height);

/// Moves a window, keeping its size, to the middle of its screen: left = (screen width - window width) / 2,
/// top likewise. A window larger than the screen gets a negative left or top edge.
void CenterForm(QWidget& window);

/// Moves a window left and up as far as needed for the whole of it to lie on its screen's free area (a window
/// that grew to its right may reach past the screen's edge). A window not shown yet is given room for the frame
/// the window manager will put around it.
void KeepOnScreen(QWidget& window);

/// Puts a window of its own size (one the user may resize) in the middle of its screen's free area, made smaller
/// first when it would not fit there with its frame (on a laptop's 1366×768 screen).
void FitOnScreen(QWidget& window);

/// Shows a window of the program over `over` and brings it to the front. The first time, the window is placed with
/// its middle on the middle of `over` (within the screen); later it comes back where it was left.
void ShowOver(QWidget& window, const QWidget& over);

/// Esc in `window` that no control and no running job takes closes the window, as it closes a dialog.
void CloseOnEscape(QWidget& window);

/// Selects the whole text of a text box (selection start 0, length = its length), so typing replaces it.
/// Says beside an input box that the job needs what it lacks: the box gets a red frame and `hint` as its
/// placeholder, the focus, and `hint` in a balloon below it; the frame goes with the next change of its text.
void MarkMissingInput(QLineEdit& textBox, const QString& hint);

void SelectAllText(QLineEdit& textBox);
void SelectAllText(QPlainTextEdit& textBox);

/// The stored value of a text box: the settings key is the control's name (its objectName).
QString ReadControlSetting(const QWidget& control);

/// Stores the text of a text box under `key`, or under the control's name when `key` is empty.
void WriteControlSetting(const QLineEdit& textBox, const QString& key = {});

} // namespace tarvisk
