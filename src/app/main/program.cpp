#include "app/main/program.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QTranslator>

#include "app/browser/browser_profile.h"
#include "app/browser/demo_routing.h"
#include "app/browser/profile_lock.h"
#include "app/main/form1.h"
#include "app/main/no_window.h"
#include "jobs/reputation/report.h"
#include "app/ui/application.h"
#include "app/ui/message_box.h"
#include "app/ui/qt_hooks.h"
#include "core/files.h"
#include "core/version.h"
#include "demo/demo_market.h"
#include "store/local_store.h"
#include "text/settings.h"

namespace tarvisk {

namespace {

constexpr char kUsage[] = "usage: %s [--demo] [--data-dir DIR]\n"
                          "       %s --no-window [OPTIONS] COMMAND ...   (%s --no-window --help tells more)\n"
                          "  --demo          work on a demo marketplace started inside the program (log in as\n"
                          "                  tarvisk_demo / demo1234)\n"
                          "  --data-dir DIR  keep the check history and the buyer lists in DIR\n"
                          "  --version       print the version and the commit and exit\n"
                          "  --help          print this help and exit\n";

// The demo marketplace serves this process; the browsers' flags are read once, so it starts before the
// QApplication and the ports are known when the flags are written.
std::unique_ptr<demo::DemoMarket> startDemoMarket() {
    auto market = std::make_unique<demo::DemoMarket>();
    RouteToDemoMarket(*market);
    return market;
}

// Qt's own texts (message box buttons, the browsers' context menus) in Chinese, as the windows' own, and the web
// engine in the zh-CN locale (its pages' language, its own messages). Set before the first browser exists.
void speakChinese(QApplication& app) {
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const QString& catalog : {QStringLiteral("qtbase_zh_CN"), QStringLiteral("qtwebengine_zh_CN")}) {
        auto* translator = new QTranslator(&app);
        // Without the translations installed the texts stay English: nothing else depends on them.
        if (translator->load(catalog, folder)) {
            QCoreApplication::installTranslator(translator);
        } else {
            delete translator;
        }
    }
}

bool hasFlag(const QStringList& arguments, const QString& flag) {
    return arguments.mid(1).contains(flag);
}

// A program whose badge images are missing (an installation left incomplete, a program file copied out of its
// folder) still runs; the terminal says why the report shows empty frames in their place.
void warnOfMissingBadges(const QString& caption) {
    const std::filesystem::path folder = ResourceFolder(ProgramFolder());
    for (const char16_t* badge : {kSellerTopBadge, kBuyerTopBadge}) {
        const std::filesystem::path file = folder / std::u16string(badge);
        std::error_code error;
        if (!std::filesystem::is_regular_file(file, error)) {
            std::fprintf(stderr, "%s: 找不到徽章图片 %s (badge image missing)\n", caption.toLocal8Bit().constData(),
                         file.c_str());
        }
    }
}

int runWindows(Application& app) {
    Form1 form;
    if (!form.Form_Load()) {
        return 0;
    }
    form.show();
    const int status = app.exec();
    form.finishStore();
    return status;
}

} // namespace

bool WantsDemo(const QStringList& arguments) {
    return hasFlag(arguments, QStringLiteral("--demo"));
}

std::optional<QString> DataFolderArgument(const QStringList& arguments) {
    const QString option = QStringLiteral("--data-dir");
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == option) {
            return i + 1 < arguments.size() ? arguments[i + 1] : QString();
        }
        if (arguments[i].startsWith(option + QLatin1Char('='))) {
            return arguments[i].mid(option.size() + 1);
        }
    }
    return std::nullopt;
}

void NameApplication(QApplication& app, const QString& caption) {
    app.setApplicationName(caption.toLower());
    // The web engine's report of its settings at start is of no use to a user (QT_LOGGING_RULES still wins).
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
}

void SetUpApplication(QApplication& app, const QString& caption) {
    NameApplication(app, caption);
    // The desktop entry and the icon an installed program has under its own name (tarvisk.desktop, tarvix.desktop);
    // run from the build folder there is no icon in the theme and the platform's own shows.
    QGuiApplication::setDesktopFileName(caption.toLower());
    QApplication::setWindowIcon(QIcon::fromTheme(caption.toLower()));
    speakChinese(app);
    // No application display name: the platform would append it to every window's caption ("淘宝宝贝排名查询 —
    // Tarvisk"), while each window and message box shows exactly its own.
    SetProductCaption(caption);
    InstallWindowHooks();
}

int RunProgram(int argc, char** argv, const QString& caption) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    if (WantsNoWindow(arguments)) {
        return RunWithoutWindow(argc, argv, caption);
    }
    // Answered before anything needs a display.
    if (hasFlag(arguments, QStringLiteral("--version"))) {
        std::printf("%s\n", VersionLine(caption.toLower().toStdString()).c_str());
        return 0;
    }
    if (hasFlag(arguments, QStringLiteral("--help"))) {
        const QByteArray name = caption.toLower().toLocal8Bit();
        std::printf(kUsage, name.constData(), name.constData(), name.constData());
        return 0;
    }
    const bool demo = WantsDemo(arguments);
    const std::optional<QString> folder = DataFolderArgument(arguments);
    if (folder && folder->isEmpty()) {
        std::fprintf(stderr, "%s: --data-dir 需要一个文件夹 (--data-dir needs a folder)\n",
                     caption.toLocal8Bit().constData());
        return 2;
    }
    SetDataFolder(StartDataFolder(folder.value_or(QString()).toStdU16String(), demo));
    warnOfMissingBadges(caption);
    std::unique_ptr<demo::DemoMarket> market;
    try {
        if (demo) {
            market = startDemoMarket();
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: 演示市场无法启动 (the demo marketplace cannot start): %s\n",
                     caption.toLocal8Bit().constData(), error.what());
        return 1;
    }

    QuietBrowserLog();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    Application app(argc, argv);
    SetUpApplication(app, caption);
    if (const std::optional<QString> problem = BrowserStartProblem()) {
        ShowMessageBox(nullptr, *problem + QStringLiteral("。"));
        return 1;
    }
    UseOffTheRecordProfile(demo);
    // The demo's profile keeps nothing on disk; the user's own is this program's alone while it runs.
    std::optional<ProfileLock> lock;
    if (!demo && !lock.emplace().held()) {
        ShowMessageBox(nullptr, lock->refusalText(QStringLiteral("打开")) + QStringLiteral("。"));
        return 1;
    }
    try {
        return runWindows(app);
    } catch (const std::exception& error) {
        ShowMessageBox(nullptr, QStringLiteral("程序出错，即将退出：%1").arg(QString::fromLocal8Bit(error.what())));
        return 1;
    }
}

} // namespace tarvisk
