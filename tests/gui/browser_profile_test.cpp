#include <functional>
#include <memory>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QNetworkCookie>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <sys/stat.h>

#include <QSysInfo>

#include "app/browser/browser_profile.h"
#include "app/browser/profile_lock.h"
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

    // Whatever stands at the lock's path, the program is never locked out for good, nor kept waiting; what it
    // leaves alone, it names.
    void oddLockFilesNeverLockTheProgramOutForGood() {
        const QString path = BrowserProfileFolder() + QStringLiteral(".lock");
        const auto write = [&path](const QByteArray& bytes) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(bytes);
        };
        const QByteArray here = QSysInfo::machineHostName().toUtf8();
        const QByteArray live = QByteArray::number(QCoreApplication::applicationPid());
        const struct {
            const char* what;
            std::function<void()> make;
            bool held;
            QString said;
        } cases[] = {
            {"an empty lock", [&] { write({}); }, true, {}},
            {"no process id in it", [&] { write("x\ny\n"); }, true, {}},
            {"written before this computer last started",
             [&] { write(live + "\ntarvisk\n" + here + "\nmachine\nanother-boot\n"); },
             true,
             {}},
            {"written on another computer", [&] { write(live + "\ntarvisk\nfar-away\nmachine\nboot\n"); }, false,
             QStringLiteral("另一台电脑（far-away）")},
            {"a folder", [&] { QVERIFY(QDir().mkpath(path)); }, false, QStringLiteral("不是普通文件")},
            {"a link", [&] { QVERIFY(QFile::link(dataHome->filePath("nowhere"), path)); }, false,
             QStringLiteral("不是普通文件")},
            {"a pipe", [&] { QCOMPARE(mkfifo(path.toLocal8Bit().constData(), 0600), 0); }, false,
             QStringLiteral("不是普通文件")},
        };
        for (const auto& c : cases) {
            c.make();
            {
                const ProfileLock lock;
                QVERIFY2(lock.held() == c.held, c.what);
                if (!c.held) {
                    const QString text = lock.refusalText(QStringLiteral("运行"));
                    QVERIFY2(text.contains(c.said) && text.contains(path), qPrintable(text));
                }
            }
            QDir().rmdir(path);
            QFile::remove(path);
        }
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
