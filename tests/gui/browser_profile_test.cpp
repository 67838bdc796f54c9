#include <memory>

#include <memory>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QNetworkCookie>
#include <QSignalSpy>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include "app/browser/browser_profile.h"
#include "net/browser_cookies.h"

using namespace tarvisk;

namespace {

bool hasBrowserCookie(const std::string& name, const std::string& value) {
    for (const BrowserCookie& cookie : BrowserCookies::instance().all()) {
        if (cookie.name == name && cookie.value == value) {
            return true;
        }
    }
    return false;
}

// Where the user's data goes during this test run.
QTemporaryDir* dataHome = nullptr;

} // namespace

// The program's own browser profile, as a real run uses it (the other window tests use an off-the-record one).
class BrowserProfileTest : public QObject {
    Q_OBJECT

private slots:
    void profileKeepsItsDataInAFolderOfTheUserAlone() {
        QWebEngineProfile* profile = BrowserProfile();
        QVERIFY(!profile->isOffTheRecord());
        QCOMPARE(profile->persistentCookiesPolicy(), QWebEngineProfile::ForcePersistentCookies);
        const QFileInfo folder(profile->persistentStoragePath());
        QVERIFY2(folder.absoluteFilePath().startsWith(dataHome->path()), qPrintable(folder.absoluteFilePath()));
        QVERIFY(folder.isDir());
        QCOMPARE(folder.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                                         QFile::WriteOther | QFile::ExeOther),
                 QFile::Permissions());
    }

    void aLoginSurvivesARestartOfTheBrowser() {
        // The marketplace's login cookie: a session cookie the page scripts cannot read, set while a page is open.
        auto page = std::make_unique<QWebEnginePage>(BrowserProfile());
        QSignalSpy loaded(page.get(), &QWebEnginePage::loadFinished);
        page->setHtml("<p>login</p>");
        QVERIFY(loaded.wait(10000));
        QNetworkCookie login("cookie2", "session-value");
        login.setDomain(".taobao.com");
        login.setPath("/");
        login.setHttpOnly(true);
        BrowserProfile()->cookieStore()->setCookie(login);
        QTRY_VERIFY(hasBrowserCookie("cookie2", "session-value"));

        // The browser goes away and comes back; the request routines' store starts empty, as in a new run.
        const QString folder = BrowserProfile()->persistentStoragePath();
        page.reset();
        delete BrowserProfile();
        BrowserCookies::instance().clear();
        QVERIFY(!hasBrowserCookie("cookie2", "session-value"));
        page = std::make_unique<QWebEnginePage>(BrowserProfile());
        QVERIFY(hasBrowserCookie("cookie2", "session-value"));

        // Whatever keeps the login on disk is the user's alone.
        for (const QFileInfo& file : QDir(folder).entryInfoList({"*cookie*", "*Cookie*"}, QDir::Files)) {
            QCOMPARE(file.permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        }
    }
};

int main(int argc, char** argv) {
    QTemporaryDir home;
    dataHome = &home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    qputenv("XDG_CACHE_HOME", home.filePath("cache").toUtf8());
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    app.setApplicationName("tarvisk-profile-test");
    BrowserProfileTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "browser_profile_test.moc"
