#include "app/browser/browser_profile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QWebEngineProfile>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "app/browser/cookie_bridge.h"

namespace tarvisk {

namespace {

struct ProfileState {
    bool offTheRecord = false;
    QWebEngineProfile* profile = nullptr;
};

ProfileState& state() {
    static ProfileState s;
    return s;
}

QWebEngineProfile* createProfile() {
    auto* profile = state().offTheRecord ? new QWebEngineProfile(qApp)
                                         : new QWebEngineProfile(QCoreApplication::applicationName(), qApp);
    // The pages' language: Chinese as spoken in China, as the marketplace's own visitors ask for it.
    profile->setHttpAcceptLanguage(QStringLiteral("zh-CN,zh"));
    if (profile->isOffTheRecord()) {
        return profile;
    }
    const QString folder = BrowserProfileFolder();
    profile->setPersistentStoragePath(folder);
    profile->setCachePath(folder + "/cache");
    // The marketplace's login cookies are mostly session cookies; the login must outlive the program.
    profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    return profile;
}

} // namespace

QString BrowserProfileFolder() {
    // The login cookies are as good as a password: the folder that keeps them is the user's alone.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + "/browser";
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return folder;
}

QWebEngineProfile* BrowserProfile() {
    ProfileState& s = state();
    if (s.profile == nullptr) {
        s.profile = createProfile();
        QObject::connect(s.profile, &QObject::destroyed, [] { state().profile = nullptr; });
        // An off-the-record profile forgets its cookies, and so does the bridge.
        const QString savePath = s.profile->isOffTheRecord()
                                     ? QString()
                                     : s.profile->persistentStoragePath() + QStringLiteral("/request-cookies.txt");
        new CookieBridge(s.profile->cookieStore(), savePath, s.profile);
    }
    return s.profile;
}

void UseOffTheRecordProfile(bool offTheRecord) {
    state().offTheRecord = offTheRecord;
}

std::optional<QString> BrowserStartProblem() {
#ifndef _WIN32
    const bool sandboxOff = qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX") ||
                            qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS").contains(QLatin1String("--no-sandbox"));
    if (geteuid() == 0 && !sandboxOff) {
        return QStringLiteral("以 root 身份运行时，浏览器的沙盒不许它启动：请以普通用户运行，或先设置环境变量 "
                              "QTWEBENGINE_DISABLE_SANDBOX=1 再运行");
    }
#endif
    return std::nullopt;
}

} // namespace tarvisk
