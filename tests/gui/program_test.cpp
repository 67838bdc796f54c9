#include <memory>
#include <optional>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineScript>

#include "app/browser/browser_profile.h"
#include "app/browser/browser_view.h"
#include "app/main/program.h"
#include "app/ui/application.h"
#include "app/ui/message_box.h"

using namespace tarvisk;

// The application as the programs set it up (SetUpApplication): the product caption, and Qt and the web engine in
// Chinese.
class ProgramTest : public QObject {
    Q_OBJECT

private slots:
    void theProductCaptionNamesMessageBoxes() { QCOMPARE(ProductCaption(), QStringLiteral("Tarvix")); }

    // The window belongs to the menu entry of its own build (tarvix.desktop), whose icon it shows.
    void theDesktopEntryIsTheBuildsOwn() { QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("tarvix")); }

    void qtsOwnTextsAreChinese() {
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
        QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
        // The browsers' context menu.
        BrowserView view;
        QCOMPARE(view.page()->action(QWebEnginePage::Back)->text(), QStringLiteral("后退"));
        QCOMPARE(view.page()->action(QWebEnginePage::Reload)->text(), QStringLiteral("重新加载"));
    }

    void theWebEngineRunsInTheChineseLocale() {
        BrowserView view;
        QSignalSpy loaded(&view, &QWebEngineView::loadFinished);
        view.setHtml(QStringLiteral("<p>语言</p>"));
        QVERIFY(loaded.wait(10000));
        auto language = std::make_shared<std::optional<QVariant>>();
        view.page()->runJavaScript(QStringLiteral("navigator.language"), QWebEngineScript::ApplicationWorld,
                                   [language](const QVariant& value) { *language = value; });
        QTRY_VERIFY_WITH_TIMEOUT(language->has_value(), 10000);
        QCOMPARE(language->value().toString(), QStringLiteral("zh-CN"));
        // The engine's own pages: an address that cannot be reached.
        view.setUrl(QUrl(QStringLiteral("http://127.0.0.1:1/")));
        QVERIFY(loaded.wait(10000));
        auto text = std::make_shared<std::optional<QVariant>>();
        view.page()->runJavaScript(QStringLiteral("document.body.innerText"), QWebEngineScript::ApplicationWorld,
                                   [text](const QVariant& value) { *text = value; });
        QTRY_VERIFY_WITH_TIMEOUT(text->has_value(), 10000);
        QVERIFY2(text->value().toString().contains(QStringLiteral("无法访问此网站")),
                 qPrintable(text->value().toString()));
    }
};

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    Application app(argc, argv);
    SetUpApplication(app, QStringLiteral("Tarvix"));
    UseOffTheRecordProfile(true);
    ProgramTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "program_test.moc"
