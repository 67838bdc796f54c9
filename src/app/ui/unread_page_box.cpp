#include "app/ui/unread_page_box.h"

#include "app/ui/message_box.h"
#include "app/ui/qt_text.h"
#include "net/endpoints.h"

namespace tarvisk {

namespace {

// A page may point at an address of any length; the message names its beginning.
constexpr qsizetype kShownAddressLength = 200;

} // namespace

bool AskToReadThroughBrowser(QWidget* parent, const QString& text, PageKind kind) {
    QString message = text;
    message.replace(QtText(PageKindAdvice(kind)), QString());
    message = message.trimmed();
    message += kind == PageKind::BrowserOnly
                   ? QStringLiteral("\n\n“直接请求”是程序自己的请求，读不到由页面自己的脚本加载结果的淘宝新版页面。")
                   : QStringLiteral("\n\n“直接请求”是程序自己的请求，在登录窗口中登录或通过验证对它无效。");
    message += QStringLiteral("改用“通过浏览器”读取：网页在登录窗口的浏览器里打开，遇到登录或滑块时暂停，"
                              "等您在弹出的窗口中完成后自动继续。");
    return AskMessageBox(parent, message, QStringLiteral("改用浏览器继续"));
}

bool ShowUnreadPageBox(QWidget* parent, const QString& text, PageKind kind, const QString& address) {
    if (!NeedsTheUser(kind)) {
        ShowMessageBox(parent, text);
        return false;
    }
    if (!LoginBrowserAddress(address)) {
        ShowMessageBox(parent, text + QStringLiteral("\n\n") + NotOpenedInLoginBrowser(address));
        return false;
    }
    return AskMessageBox(parent, text, QtText(kOpenInLoginBrowser));
}

UnreadPageAnswer TellUnreadPage(QWidget* parent, const QString& text, PageKind kind, const QString& address,
                                bool offerBrowser) {
    if (offerBrowser) {
        return AskToReadThroughBrowser(parent, text, kind) ? UnreadPageAnswer::ReadThroughBrowser
                                                           : UnreadPageAnswer::Nothing;
    }
    return ShowUnreadPageBox(parent, text, kind, address) ? UnreadPageAnswer::OpenInLoginBrowser
                                                          : UnreadPageAnswer::Nothing;
}

std::optional<QString> LoginBrowserAddress(const QString& address) {
    const std::optional<std::u16string> secure = endpoints::SecureMarketplaceAddress(CoreText(address));
    return secure ? std::optional(QtText(*secure)) : std::nullopt;
}

QString NotOpenedInLoginBrowser(const QString& address) {
    if (address.isEmpty()) {
        return QStringLiteral("这个页面没有给出网址，不能在登录窗口中打开。");
    }
    const QString shown =
        address.size() > kShownAddressLength ? address.left(kShownAddressLength) + QStringLiteral("…") : address;
    return QStringLiteral("这个页面指向 %1，不是淘宝网的网址，没有在登录窗口中打开。").arg(shown);
}

} // namespace tarvisk
