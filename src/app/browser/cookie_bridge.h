#pragma once

#include <QObject>
#include <QString>

class QNetworkCookie;
class QTimer;
class QWebEngineCookieStore;

namespace tarvisk {

struct BrowserCookie;

/// Keeps the embedded browser's cookie store and the request routines' store (BrowserCookies) in step: a
/// cookie the browser adds or removes (a login in the login browser) is visible to the next XmlHttpRequest,
/// and a cookie a request receives reaches the browser.
///
/// The browser does not report the cookies it restores from its own disk store when it starts, so with a
/// `savePath` the bridge also keeps the cookies in that file (readable by its owner only): it loads them into
/// both stores when it starts and writes them back shortly after every change, so that the login of an earlier
/// run reaches the requests as well. Cookies the requests' store holds when the bridge starts reach the browser.
class CookieBridge : public QObject {
    Q_OBJECT
public:
    explicit CookieBridge(QWebEngineCookieStore* store, const QString& savePath = {}, QObject* parent = nullptr);
    ~CookieBridge() override;

    /// The request routines' form of a browser cookie, and back.
    static BrowserCookie toBrowserCookie(const QNetworkCookie& cookie);
    static QNetworkCookie toNetworkCookie(const BrowserCookie& cookie);

    /// Writes the cookies to the save file now; false when there is none or it cannot be written.
    bool save() const;

private:
    void onCookieAdded(const QNetworkCookie& cookie);
    void onCookieRemoved(const QNetworkCookie& cookie);
    void receiveSetCookie(const QByteArray& setCookie, const QUrl& url);
    void restoreSavedCookies();
    void scheduleSave();

    QWebEngineCookieStore* m_store;
    QString m_savePath;
    QTimer* m_saveTimer;
    int m_observerId;
};

} // namespace tarvisk
