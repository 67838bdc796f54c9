// What the window system shows as each window's title, read back from a real X server (run under xvfb-run): the
// title a window manager draws is the _NET_WM_NAME property of the window, which the platform may build from more
// than the window's own caption.

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "app/browser/browser_profile.h"
#include "app/browser/browser_view.h"
#include "app/browser/browser_window.h"
#include "app/main/form1.h"
#include "app/main/program.h"
#include "app/main/ranking_desk.h"
#include "app/ranking/so_pai_ming.h"
#include "app/shop/so_shop_goods.h"
#include "app/ui/message_box.h"
#include "window_test_support.h"
#include "x11_support.h"

using namespace tarvisk;

namespace {

/// The title the X server holds for the window of `widget`: its _NET_WM_NAME (UTF-8).
QString shownTitle(QWidget& widget) {
    if (test::x11Connection() == nullptr) {
        return QStringLiteral("<not on X11>");
    }
    return QString::fromUtf8(
        test::windowProperty(static_cast<xcb_window_t>(widget.winId()), "_NET_WM_NAME", "UTF8_STRING"));
}

/// Shows `window` and returns the title the X server holds for it.
QString titleWhenShown(QWidget& window) {
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        return QStringLiteral("<never shown>");
    }
    return shownTitle(window);
}

/// Shows a real message box with `title` (empty: the product caption) and returns the title the X server held for
/// it while it was open.
QString messageBoxTitle(const QString& title) {
    SetMessageBoxHook({});
    QString shown = QStringLiteral("<no message box>");
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr && box->windowHandle() != nullptr && box->windowHandle()->isExposed()) {
            shown = shownTitle(*box);
            box->accept();
        }
    });
    poll.start(20);
    QTimer::singleShot(10000, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
    });
    ShowMessageBox(nullptr, QStringLiteral("信息"), title);
    return shown;
}

} // namespace

class WindowTitlesTest : public test::WindowTest {
    Q_OBJECT

private slots:
    void eachWindowAndMessageBoxShowsExactlyItsCaption_data() {
        QTest::addColumn<QString>("caption");
        QTest::newRow("Tarvisk") << QStringLiteral("Tarvisk");
        QTest::newRow("Tarvix") << QStringLiteral("Tarvix");
    }

    void eachWindowAndMessageBoxShowsExactlyItsCaption() {
        QFETCH(QString, caption);
        QVERIFY(QGuiApplication::platformName() == QStringLiteral("xcb"));
        SetUpApplication(*qApp, caption);

        Form1::Environment environment;
        environment.fetchNotice = [] { return std::u16string(); };
        Form1 form(environment);
        QCOMPARE(titleWhenShown(form), caption);
        RankingDesk desk;
        QCOMPARE(titleWhenShown(desk.ranking()), QStringLiteral("淘宝宝贝排名查询"));
        QCOMPARE(titleWhenShown(desk.shop()), QStringLiteral("查询淘宝店铺宝贝"));
        BrowserWindow pageWindow(BrowserProfile(), true, form);
        pageWindow.view()->setHtml(QStringLiteral("<title>我的淘宝</title>"));
        QTRY_COMPARE(pageWindow.windowTitle(), QStringLiteral("我的淘宝"));
        QCOMPARE(titleWhenShown(pageWindow), QStringLiteral("我的淘宝"));
        QCOMPARE(messageBoxTitle({}), caption);
        QCOMPARE(messageBoxTitle(QStringLiteral("信息校验出错")), QStringLiteral("信息校验出错"));
    }
};

TARVISK_WINDOW_TEST_MAIN(WindowTitlesTest)
#include "window_titles_test.moc"
