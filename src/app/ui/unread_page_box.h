#pragma once

#include <QString>

#include "jobs/page_check.h"

class QWidget;

namespace tarvisk {

/// The caption of the button that opens a page in the login browser.
inline constexpr char16_t kOpenInLoginBrowser[] = u"在登录窗口中打开";

/// Tells the user about a page a job could not read, in a message box with `text`. For a login or verification
/// page the box offers to open the page in the login browser W1, where the user can log in or pass the
/// verification by hand and then run the job again; true when the user took the offer.
bool ShowUnreadPageBox(QWidget* parent, const QString& text, PageKind kind);

} // namespace tarvisk
