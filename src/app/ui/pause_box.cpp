#include "app/ui/pause_box.h"

#include <algorithm>

#include <QSpinBox>

#include "app/ui/qt_text.h"
#include "text/numbers.h"
#include "text/settings.h"

namespace tarvisk {

namespace {

constexpr char16_t kPauseKey[] = u"Pause";

} // namespace

QSpinBox* MakePauseBox(QWidget* parent) {
    auto* box = new QSpinBox(parent);
    // No pause unless the user asks for one.
    box->setRange(0, kMaxPauseBoxSeconds);
    box->setSuffix(QStringLiteral(" 秒"));
    box->setSpecialValueText(QStringLiteral("不停顿"));
    return box;
}

int StoredPauseSeconds() {
    return static_cast<int>(std::clamp(LeadingNumber(ReadSetting(kPauseKey)), 0.0, double{kMaxPauseBoxSeconds}));
}

void StorePauseSeconds(int seconds) {
    WriteSetting(kPauseKey, CoreText(QString::number(seconds)));
}

} // namespace tarvisk
