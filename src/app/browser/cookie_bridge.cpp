#include "app/browser/cookie_bridge.h"

#include <QDateTime>
#include <QNetworkCookie>
#include <QPointer>
#include <QUrl>
#include <QWebEngineCookieStore>

#include "net/browser_cookies.h"

namespace tarvisk {

CookieBridge::CookieBridge(QWebEngineCookieStore* store, QObject* parent) : QObject(parent), m_store(store) {
    connect(store, &QWebEngineCookieStore::cookieAdded, this, &CookieBridge::onCookieAdded);
    connect(store, &QWebEngineCookieStore::cookieRemoved, this, &CookieBridge::onCookieRemoved);
    // A request may answer on any thread: the browser's store is only touched on this object's thread.
    QPointer<CookieBridge> self(this);
    m_observerId = BrowserCookies::instance().addObserver([self](const std::string& setCookie, const std::string& url) {
        const QByteArray header = QByteArray::fromStdString(setCookie);
        const QUrl origin(QString::fromStdString(url));
        QMetaObject::invokeMethod(
            self.data(),
            [self, header, origin] {
                if (self) {
                    self->receiveSetCookie(header, origin);
                }
            },
            Qt::AutoConnection);
    });
    store->loadAllCookies();
}

CookieBridge::~CookieBridge() {
    BrowserCookies::instance().removeObserver(m_observerId);
}

BrowserCookie CookieBridge::toBrowserCookie(const QNetworkCookie& cookie) {
    BrowserCookie result;
    result.domain = cookie.domain().toStdString();
    result.path = cookie.path().isEmpty() ? std::string("/") : cookie.path().toStdString();
    result.secure = cookie.isSecure();
    result.httpOnly = cookie.isHttpOnly();
    result.expires = cookie.isSessionCookie() ? 0 : cookie.expirationDate().toSecsSinceEpoch();
    result.name = cookie.name().toStdString();
    result.value = cookie.value().toStdString();
    return result;
}

void CookieBridge::onCookieAdded(const QNetworkCookie& cookie) {
    BrowserCookies::instance().set(toBrowserCookie(cookie));
}

void CookieBridge::onCookieRemoved(const QNetworkCookie& cookie) {
    BrowserCookies::instance().remove(toBrowserCookie(cookie));
}

void CookieBridge::receiveSetCookie(const QByteArray& setCookie, const QUrl& url) {
    for (const QNetworkCookie& cookie : QNetworkCookie::parseCookies(setCookie)) {
        m_store->setCookie(cookie, url);
    }
}

} // namespace tarvisk
