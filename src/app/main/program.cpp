#include "app/main/program.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <utility>

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

constexpr char kUsage[] = "用法：%1 [--demo] [--data-dir DIR]\n"
                          "      %1 --no-window [选项] 命令 ...（%1 --no-window --help 说明得更多）\n"
                          "  --demo          在程序里启动一个演示市场，不用账号也不用上网（登录名 tarvisk_demo，\n"
                          "                  密码 demo1234）\n"
                          "  --data-dir DIR  把查询记录、排名记录和黑白名单保存在 DIR\n"
                          "  --no-window     不显示窗口，运行 tarvisk-cli 的命令，页面通过程序的浏览器读取\n"
                          "  --version       显示版本和构建它的提交，然后退出\n"
                          "  -h, --help      显示这段说明并退出\n";

/// The options Qt takes from the command line itself (the platform, the style, X11's display): passed on to it.
constexpr std::pair<const char*, bool> kQtOptions[] = {
    {"-platform", true},        {"-platformpluginpath", true},
    {"-platformtheme", true},   {"-plugin", true},
    {"-qwindowgeometry", true}, {"-qwindowicon", true},
    {"-qwindowtitle", true},    {"-style", true},
    {"-stylesheet", true},      {"-session", true},
    {"-display", true},         {"-reverse", false},
    {"-widgetcount", false},    {"-nograb", false},
    {"-dograb", false},         {"-sync", false},
};

/// Until the window system answers: Qt ends the program when it reaches none (no display, a display that does not
/// answer). The user reads why in Chinese, with what works without a display, instead of Qt's notes and an abort.
QString& noDisplayCaption() {
    static QString caption;
    return caption;
}

void refuseWithoutDisplay(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtFatalMsg) {
        return;
    }
    const QByteArray name = noDisplayCaption().toLower().toUtf8();
    std::fprintf(stderr,
                 "%s：找不到可以显示窗口的图形界面（DISPLAY=%s），程序的窗口打不开。\n"
                 "没有显示器时请用 %s --no-window 命令 …（%s --no-window --help 查看用法）。\n（%s）\n",
                 name.constData(), qgetenv("DISPLAY").constData(), name.constData(), name.constData(),
                 message.section(QLatin1Char('\n'), 0, 0).left(200).toUtf8().constData());
    std::fflush(stderr);
    std::_Exit(1);
}

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

ProgramArguments ParseProgramArguments(const QStringList& arguments) {
    ProgramArguments parsed;
    const QString dataDir = QStringLiteral("--data-dir");
    for (qsizetype i = 1; i < arguments.size() && parsed.problem.isEmpty(); ++i) {
        const QString& argument = arguments[i];
        const auto qtOption = std::ranges::find_if(
            kQtOptions, [&argument](const auto& option) { return argument == QLatin1String(option.first); });
        if (argument == QLatin1String("--demo")) {
            parsed.demo = true;
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            parsed.help = true;
        } else if (argument == QLatin1String("--version")) {
            parsed.version = true;
        } else if (argument == dataDir || argument.startsWith(dataDir + QLatin1Char('='))) {
            parsed.dataFolder = argument == dataDir ? (i + 1 < arguments.size() ? arguments[++i] : QString())
                                                    : argument.mid(dataDir.size() + 1);
            if (parsed.dataFolder->isEmpty()) {
                parsed.problem = QStringLiteral("--data-dir 缺少值");
            }
        } else if (qtOption != std::end(kQtOptions)) {
            i += qtOption->second ? 1 : 0;
        } else {
            parsed.problem = QStringLiteral("不认识的参数：%1").arg(argument);
        }
    }
    return parsed;
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
    const QByteArray name = caption.toLower().toUtf8();
    const ProgramArguments parsed = ParseProgramArguments(arguments);
    // Answered before anything needs a display.
    if (!parsed.problem.isEmpty()) {
        std::fprintf(stderr, "%s：%s\n用 %s --help 查看用法。\n", name.constData(), parsed.problem.toUtf8().constData(),
                     name.constData());
        return 2;
    }
    if (parsed.version) {
        std::printf("%s\n", VersionLine(name.toStdString()).c_str());
        return 0;
    }
    if (parsed.help) {
        std::printf("%s", QString::fromUtf8(kUsage).arg(QString::fromUtf8(name)).toUtf8().constData());
        return 0;
    }
    const bool demo = parsed.demo;
    const std::optional<QString>& folder = parsed.dataFolder;
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
    noDisplayCaption() = caption;
    const QtMessageHandler previous = qInstallMessageHandler(refuseWithoutDisplay);
    Application app(argc, argv);
    qInstallMessageHandler(previous);
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
