#pragma once

#include <QFont>
#include <QString>

namespace tarvisk {

/// The family the windows write in: 宋体 (SimSun) where installed, else a Simplified Chinese font of the system
/// (a Song-style serif first), else the application's default family. Chosen once.
QString WindowFontFamily();

/// A font of the window family in `pointSize` points (the windows use 9, 10.5 and 12).
QFont WindowFont(double pointSize, bool bold = false);

} // namespace tarvisk
