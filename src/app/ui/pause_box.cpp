#include "app/ui/pause_box.h"

#include <QSpinBox>

#include "app/ui/qt_text.h"
#include "text/settings.h"

namespace tarvisk {

QSpinBox* MakePauseBox(QWidget* parent) {
    auto* box = new QSpinBox(parent);
    // No pause unless the user asks for one.
    box->setRange(0, kMaxPauseBoxSeconds);
    box->setSuffix(QStringLiteral(" 秒"));
    box->setSpecialValueText(QStringLiteral("不停顿"));
    return box;
}

void StorePauseSeconds(int seconds) {
    WriteSetting(kPauseKey, CoreText(QString::number(seconds)));
}

} // namespace tarvisk
