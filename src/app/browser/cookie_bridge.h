#pragma once

#include <QObject>

class QNetworkCookie;
class QWebEngineCookieStore;

namespace tarvisk {

struct BrowserCookie;

/// Keeps the embedded browser's cookie store and the request routines' store (BrowserCookies) in step: a
/// cookie the browser adds or removes (a login in the login browser) is visible to the next XmlHttpRequest,
/// and a cookie a request receives reaches the browser.
class CookieBridge : public QObject {
    Q_OBJECT
public:
    /// Bridges `store` from now on and loads the cookies the browser already keeps on disk.
    explicit CookieBridge(QWebEngineCookieStore* store, QObject* parent = nullptr);
    ~CookieBridge() override;

    /// The request routines' form of a browser cookie.
    static BrowserCookie toBrowserCookie(const QNetworkCookie& cookie);

private:
    void onCookieAdded(const QNetworkCookie& cookie);
    void onCookieRemoved(const QNetworkCookie& cookie);
    void receiveSetCookie(const QByteArray& setCookie, const QUrl& url);

    QWebEngineCookieStore* m_store;
    int m_observerId;
};

} // namespace tarvisk
