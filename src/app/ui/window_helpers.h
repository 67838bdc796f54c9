#pragma once

#include <QString>

class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace tarvisk {

/// Twips per pixel: the windows' layouts are given in twips.
inline constexpr int kTwipsPerPixel = 15;

/// Puts `widget` at the rectangle given in twips (left, top, width, height) within its parent.
void PlaceTwips(QWidget& widget, int left, int top, int width, int height);

/// Gives `window` a fixed client area of `width` x `height` twips.
void SetClientTwips(QWidget& window, int width, int height);

/// Moves a window, keeping its size, to the middle of its screen: left = (screen width - window width) / 2,
/// top likewise. A window larger than the screen gets a negative left or top edge.
void CenterForm(QWidget& window);

/// Selects the whole text of a text box (selection start 0, length = its length), so typing replaces it.
void SelectAllText(QLineEdit& textBox);
void SelectAllText(QPlainTextEdit& textBox);

/// The stored value of a text box: the settings key is the control's name (its objectName).
QString ReadControlSetting(const QWidget& control);

/// Stores the text of a text box under `key`, or under the control's name when `key` is empty.
void WriteControlSetting(const QLineEdit& textBox, const QString& key = {});

} // namespace tarvisk
