#include "app/ui/fetch_mode_box.h"

#include <QComboBox>
#include <QSignalBlocker>

namespace tarvisk {

void FillFetchModeBox(QComboBox& box) {
    for (const FetchModeName& named : kFetchModeNames) {
        box.addItem(QString::fromUtf16(named.caption.data(), static_cast<qsizetype>(named.caption.size())),
                    static_cast<int>(named.mode));
    }
    box.setToolTip(QStringLiteral("直接请求：程序自己读取网页；通过浏览器：在登录窗口的浏览器里打开网页（带着登录），"
                                  "遇到滑块时暂停等您完成验证；自动：直接请求读不出时改用浏览器"));
}

FetchMode FetchModeShown(const QComboBox& box) {
    return static_cast<FetchMode>(box.currentData().toInt());
}

void ShowFetchMode(QComboBox& box, FetchMode mode) {
    const QSignalBlocker quiet(box);
    box.setCurrentIndex(box.findData(static_cast<int>(mode)));
}

} // namespace tarvisk
