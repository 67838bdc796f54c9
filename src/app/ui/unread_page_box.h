#pragma once

#include <optional>

#include <QString>

#include "jobs/page_check.h"

class QWidget;

namespace tarvisk {

/// The caption of the button that opens a page in the login browser.
inline constexpr char16_t kOpenInLoginBrowser[] = u"在登录窗口中打开";

/// Tells the user about a page a job could not read, in a message box with `text`. For a login or verification
/// page at `address` the box offers to open the page in the login browser W1, where the user can log in or pass
/// the verification by hand and then run the job again; true when the user took the offer. The login browser
/// shows no address, so the offer is made only for the marketplace's own pages (LoginBrowserAddress); for any
/// other address the box says where the page pointed instead.
bool ShowUnreadPageBox(QWidget* parent, const QString& text, PageKind kind, const QString& address);

/// For a login or verification page met by the program's own requests (读取方式 直接请求): says `text`, its advice
/// to pass the page in the browser replaced by what helps (logging in or passing a slider in the login browser does
/// nothing for those requests; reading through the browser does), and offers "改用浏览器继续"; true when the user
/// took it.
bool AskToReadThroughBrowser(QWidget* parent, const QString& text, PageKind kind);

/// What the user took of the box TellUnreadPage showed.
enum class UnreadPageAnswer { Nothing, OpenInLoginBrowser, ReadThroughBrowser };

/// Tells the user about a page a job could not read: with `offerBrowser` (a login or verification page met by the
/// program's own requests) by AskToReadThroughBrowser, else by ShowUnreadPageBox.
UnreadPageAnswer TellUnreadPage(QWidget* parent, const QString& text, PageKind kind, const QString& address,
                                bool offerBrowser);

/// The address the login browser opens for a page at `address`: the marketplace's https address of it, or
/// nothing for an address outside the marketplace.
std::optional<QString> LoginBrowserAddress(const QString& address);

/// Why the login browser does not open `address`, naming where the page pointed.
QString NotOpenedInLoginBrowser(const QString& address);

} // namespace tarvisk
