#include "app/browser/cookie_bridge.h"

#include <QDateTime>
#include <QFile>
#include <QNetworkCookie>
#include <QPointer>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>
#include <QWebEngineCookieStore>

#include "net/browser_cookies.h"

namespace tarvisk {

namespace {

// Changes come in bursts (a login sets a score of cookies): one write for the burst.
constexpr int kSaveDelayMs = 200;

// The address a cookie belongs to, for the browser's store: a host-only cookie stays with its host.
QUrl originOf(const BrowserCookie& cookie) {
    const QString domain = QString::fromStdString(cookie.domain);
    QUrl origin;
    origin.setScheme(cookie.secure ? QStringLiteral("https") : QStringLiteral("http"));
    origin.setHost(domain.startsWith(QLatin1Char('.')) ? domain.mid(1) : domain);
    origin.setPath(QStringLiteral("/"));
    return origin;
}

} // namespace

CookieBridge::CookieBridge(QWebEngineCookieStore* store, const QString& savePath, QObject* parent)
    : QObject(parent), m_store(store), m_savePath(savePath), m_saveTimer(new QTimer(this)) {
    m_saveTimer->setSingleShot(true);
    m_saveTimer->setInterval(kSaveDelayMs);
    connect(m_saveTimer, &QTimer::timeout, this, &CookieBridge::save);
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
    restoreSavedCookies();
    store->loadAllCookies();
}

CookieBridge::~CookieBridge() {
    BrowserCookies::instance().removeObserver(m_observerId);
    if (m_saveTimer->isActive()) {
        save();
    }
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

QNetworkCookie CookieBridge::toNetworkCookie(const BrowserCookie& cookie) {
    QNetworkCookie result(QByteArray::fromStdString(cookie.name), QByteArray::fromStdString(cookie.value));
    // A domain-wide cookie keeps its domain; a host-only one takes its host from the address it is set for.
    if (cookie.domain.starts_with('.')) {
        result.setDomain(QString::fromStdString(cookie.domain));
    }
    result.setPath(QString::fromStdString(cookie.path));
    result.setSecure(cookie.secure);
    result.setHttpOnly(cookie.httpOnly);
    if (cookie.expires != 0) {
        result.setExpirationDate(QDateTime::fromSecsSinceEpoch(cookie.expires));
    }
    return result;
}

bool CookieBridge::save() const {
    if (m_savePath.isEmpty()) {
        return false;
    }
    QSaveFile file(m_savePath);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    // The file holds the user's login: it is the user's alone.
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    const std::string text = BrowserCookies::instance().netscapeText();
    file.write(text.data(), static_cast<qint64>(text.size()));
    return file.commit();
}

void CookieBridge::onCookieAdded(const QNetworkCookie& cookie) {
    BrowserCookies::instance().set(toBrowserCookie(cookie));
    scheduleSave();
}

void CookieBridge::onCookieRemoved(const QNetworkCookie& cookie) {
    BrowserCookies::instance().remove(toBrowserCookie(cookie));
    scheduleSave();
}

void CookieBridge::receiveSetCookie(const QByteArray& setCookie, const QUrl& url) {
    for (const QNetworkCookie& cookie : QNetworkCookie::parseCookies(setCookie)) {
        m_store->setCookie(cookie, url);
    }
    scheduleSave();
}

void CookieBridge::restoreSavedCookies() {
    // A file cut short by a damaged line still gives the cookies before that line; an unreadable one gives none.
    if (!m_savePath.isEmpty()) {
        BrowserCookies::instance().loadNetscapeFile(QFile::encodeName(m_savePath).toStdString());
    }
    // The requests' store may already hold cookies of its own (a login made before the browser started): the
    // browser starts with them too.
    for (const BrowserCookie& cookie : BrowserCookies::instance().all()) {
        m_store->setCookie(toNetworkCookie(cookie), originOf(cookie));
    }
}

void CookieBridge::scheduleSave() {
    if (!m_savePath.isEmpty()) {
        m_saveTimer->start();
    }
}

} // namespace tarvisk
