#include "app/ui/unread_page_box.h"

#include "app/ui/message_box.h"
#include "app/ui/qt_text.h"

namespace tarvisk {

bool ShowUnreadPageBox(QWidget* parent, const QString& text, PageKind kind) {
    if (NeedsTheUser(kind)) {
        return AskMessageBox(parent, text, QtText(kOpenInLoginBrowser));
    }
    ShowMessageBox(parent, text);
    return false;
}

} // namespace tarvisk
