#include <atomic>
#include <memory>
#include <optional>
#include <tuple>
#include <functional>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkCookie>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <QWebEngineScript>

#include "app/browser/browser_profile.h"
#include "app/browser/browser_view.h"
#include "app/browser/demo_routing.h"
#include "app/main/form1.h"
#include "app/main/login_keeper.h"
#include "app/main/program.h"
#include "app/main/reputation.h"
#include "app/main/startup.h"
#include "app/ranking/so_pai_ming.h"
#include "app/ui/message_box.h"
#include "app/ui/qt_hooks.h"
#include "app/ui/window_font.h"
#include "window_test_support.h"
#include "core/cancel.h"
#include "demo/demo_login.h"
#include "demo/demo_market.h"
#include "net/browser_cookies.h"
#include "net/endpoints.h"

using namespace tarvisk;

namespace {

// Runs `script` in the view's page and waits for its value (invalid after 10 s without an answer).
QVariant evaluate(QWebEngineView* view, const QString& script) {
    // Shared with the callback, which may still come after a timeout.
    auto value = std::make_shared<std::optional<QVariant>>();
    view->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                                [value](const QVariant& result) { *value = result; });
    static_cast<void>(QTest::qWaitFor([&] { return value->has_value(); }, 10000));
    return value->value_or(QVariant());
}

bool hasBrowserCookie(const std::string& name, const std::string& value = {}) {
    for (const BrowserCookie& cookie : BrowserCookies::instance().all()) {
        if (cookie.name == name && (value.empty() || cookie.value == value)) {
            return true;
        }
    }
    return false;
}

QString tbimgsSource() {
    return QStringLiteral(TARVISK_TBIMGS_DIR);
}

// The demo marketplace of this test run.
const demo::DemoMarket* demoMarket = nullptr;

} // namespace

class Form1Test : public QObject {
    Q_OBJECT

private:
    test::MessageRecorder m_messages;
    QTemporaryDir m_programFolder;

    // A window with the given surroundings; the notice page answers nothing unless told otherwise.
    std::unique_ptr<Form1> makeForm(Form1::Environment environment = {}) {
        if (!environment.programFolder) {
            environment.programFolder = [this] { return m_programFolder.path(); };
        }
        if (!environment.fetchNotice) {
            environment.fetchNotice = [] { return std::u16string(); };
        }
        if (!environment.openBrowser) {
            environment.openBrowser = [](const QUrl& url) {
                QFAIL(qPrintable("unexpected browser: " + url.toString()));
            };
        }
        return std::make_unique<Form1>(std::move(environment));
    }

    template <typename T> static T* control(QWidget& form, const char* name) {
        T* widget = form.findChild<T*>(QString::fromLatin1(name));
        if (widget == nullptr) {
            qFatal("no control %s", name);
        }
        return widget;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_programFolder.isValid());
        QDir().mkpath(m_programFolder.filePath("tbimgs"));
        for (const char* file : {"jhuang.png", "jhuang.gif"}) {
            QVERIFY(QFile::copy(tbimgsSource() + "/" + file, m_programFolder.filePath(QString("tbimgs/") + file)));
        }
    }

    void init() { m_messages.clear(); }

    void controlsHaveTheirCaptionsPlacesAndFonts_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("geometry");
        const struct {
            const char* name;
            const char* caption;
            QRect geometry;
        } controls[] = {
            {"Check1", "保持登录状态", test::twips(8640, 240, 1575, 255)},
            {"Command2", "⑵ 店铺宝贝关键字排名查询系统", test::twips(10560, 7440, 4095, 855)},
            {"Text1", "", test::twips(2760, 2760, 6735, 5175)},
            {"Command1", "查询", test::twips(13440, 600, 1335, 375)},
            {"ww", "", test::twips(10440, 600, 2895, 375)},
            {"Label2", "2.输入买家淘宝ID查询", test::twips(10440, 240, 3375, 375)},
            {"Label1", "1.登录任意淘宝ID", test::twips(120, 240, 2415, 375)},
            // The browsers' borders lie outside their frames once the window has loaded.
            {"P1", "", test::twips(120, 600, 10215 - 45, 8055 - 30)},
            {"W1", "", test::twips(-30, -30, 10215, 8055)},
            {"P2", "", test::twips(10440, 1080, 4335 - 45, 6015 - 30)},
            {"W2", "", test::twips(-30, -30, 4575, 6015)},
        };
        for (const auto& c : controls) {
            QTest::newRow(c.name) << QString(c.name) << QString(c.caption) << c.geometry;
        }
    }

    void controlsHaveTheirCaptionsPlacesAndFonts() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QRect, geometry);
        auto form = makeForm();
        QVERIFY(form->Form_Load());
        QWidget* widget = form->findChild<QWidget*>(name);
        QVERIFY(widget != nullptr);
        QCOMPARE(widget->geometry(), geometry);
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            QCOMPARE(button->text(), caption);
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            QCOMPARE(label->text(), caption);
            QVERIFY(label->font().bold());
            QCOMPARE(label->font().pointSizeF(), 12.0);
            QCOMPARE(label->palette().color(QPalette::WindowText), QColor(255, 96, 0));
        }
        QCOMPARE(widget->isVisibleTo(form.get()), name != "Text1");
    }

    void windowHasItsCaptionSizeAndInitialState() {
        auto form = makeForm();
        QCOMPARE(form->windowTitle(), ProductCaption());
        QCOMPARE(form->size(), QSize(994, 587));
        QVERIFY(control<QCheckBox>(*form, "Check1")->isChecked());
        QVERIFY(control<QPushButton>(*form, "Command1")->isDefault());
        QCOMPARE(control<QPushButton>(*form, "Command2")->font().pointSizeF(), 10.5);
        auto* timer = form->findChild<QTimer*>("Timer1");
        QVERIFY(timer != nullptr);
        QCOMPARE(timer->interval(), 60000);
        QVERIFY(timer->isActive());
        QCOMPARE(form->font().family(), WindowFontFamily());
    }

    void captionFollowsTheBuild() {
        const QString previous = ProductCaption();
        SetProductCaption("Tarvix");
        auto form = makeForm();
        QCOMPARE(form->windowTitle(), QString("Tarvix"));
        ShowMessageBox(form.get(), "x");
        SetProductCaption(previous);
        QCOMPARE(m_messages.messages().size(), 1u);
        QCOMPARE(m_messages.messages()[0].second, QString("Tarvix"));
    }

    void aChineseFontIsInstalled() {
        QVERIFY(!QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty());
        QVERIFY(QFontDatabase::writingSystems(WindowFontFamily()).contains(QFontDatabase::SimplifiedChinese));
    }

    void startupEndsInAnArchiveFolder_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("ends");
        QTest::newRow("rar temp") << "C:\\Users\\me\\AppData\\Local\\Temp\\Rar$EXa0.123" << true;
        QTest::newRow("upper case") << "/tmp/RAR$EXa0.123" << true;
        QTest::newRow("zipped") << "/tmp/zipped" << true;
        QTest::newRow("myrar") << "/tmp/myrar" << false;
        QTest::newRow("zip above") << "/tmp/zip/tarvisk" << false;
    }

    void startupEndsInAnArchiveFolder() {
        QFETCH(QString, folder);
        QFETCH(bool, ends);
        int noticeFetches = 0;
        Form1::Environment environment;
        environment.programFolder = [folder] { return folder; };
        environment.fetchNotice = [&] {
            ++noticeFetches;
            return std::u16string();
        };
        auto form = makeForm(environment);
        QCOMPARE(form->Form_Load(), !ends);
        QCOMPARE(m_messages.messages().size(), ends ? 1u : 0u);
        QCOMPARE(noticeFetches, ends ? 0 : 1);
        if (ends) {
            QCOMPARE(m_messages.messages()[0].first, QString("请把文件全部解压，再运行"));
            QCOMPARE(m_messages.messages()[0].second, ProductCaption());
        }
    }

    void startupNotice_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("ends");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("opened");
        QTest::newRow("nothing") << "" << false << ""
                                 << "";
        QTest::newRow("no bar") << "新版本已发布" << false << ""
                                << "";
        QTest::newRow("markup") << "<html>升级|http://example.com/</html>" << false << ""
                                << "";
        QTest::newRow("notice") << "请升级|http://example.com/new" << true << "请升级"
                                << "http://example.com/new";
        QTest::newRow("three pieces") << "请升级|https://example.com/a|http://b/" << true << "请升级"
                                      << "https://example.com/a";
        QTest::newRow("no address") << "只有消息|" << true << "只有消息"
                                    << "";
        QTest::newRow("local file") << "消息|file:///etc/passwd" << true << "消息"
                                    << "";
        QTest::newRow("program") << "消息|C:\\Windows\\calc.exe" << true << "消息"
                                 << "";
    }

    void startupNotice() {
        QFETCH(QString, answer);
        QFETCH(bool, ends);
        QFETCH(QString, message);
        QFETCH(QString, opened);
        QStringList openedUrls;
        Form1::Environment environment;
        environment.fetchNotice = [answer] { return answer.toStdU16String(); };
        environment.openBrowser = [&](const QUrl& url) { openedUrls << url.toString(); };
        auto form = makeForm(environment);
        QCOMPARE(form->Form_Load(), !ends);
        QCOMPARE(m_messages.messages().size(), message.isEmpty() ? 0u : 1u);
        if (!message.isEmpty()) {
            QCOMPARE(m_messages.messages()[0].first, message);
            QCOMPARE(m_messages.messages()[0].second, ProductCaption());
        }
        QCOMPARE(openedUrls, opened.isEmpty() ? QStringList() : QStringList{opened});
    }

    void startupOpensTheLoginPageAndAnEmptyReport() {
        auto form = makeForm();
        QVERIFY(form->Form_Load());
        auto* w1 = control<BrowserView>(*form, "W1");
        auto* w2 = control<BrowserView>(*form, "W2");
        QCOMPARE(w1->url().toString(), QString::fromStdU16String(LoginPageUrl()));
        QCOMPARE(w2->url().toString(), QString("about:blank"));
    }

    void accountBoxSelectsAllOnFocusAndCtrlA() {
        auto form = makeForm();
        QVERIFY(form->Form_Load());
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        auto* ww = control<QLineEdit>(*form, "ww");
        QCOMPARE(QApplication::focusWidget(), ww);
        ww->setText("old_account");
        control<QPushButton>(*form, "Command2")->setFocus();
        ww->setFocus(Qt::MouseFocusReason);
        QTRY_COMPARE(ww->selectedText(), QString("old_account"));

        const struct {
            Qt::KeyboardModifiers modifiers;
            bool selectsAll;
        } keys[] = {{Qt::ControlModifier, true},
                    {Qt::ControlModifier | Qt::ShiftModifier, false},
                    {Qt::ControlModifier | Qt::AltModifier, false}};
        for (const auto& key : keys) {
            ww->setCursorPosition(3);
            QVERIFY(!ww->hasSelectedText());
            QTest::keyClick(ww, Qt::Key_A, key.modifiers);
            QCOMPARE(ww->selectedText() == "old_account", key.selectsAll);
        }
    }

    void enterInTheAccountBoxPressesTheQueryButton() {
        auto form = makeForm();
        QVERIFY(form->Form_Load());
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        auto* ww = control<QLineEdit>(*form, "ww");
        ww->setFocus();
        ww->setText("   ");
        QTest::keyClick(ww, Qt::Key_Return);
        QCOMPARE(m_messages.messages().size(), 1u);
        QCOMPARE(m_messages.messages()[0].first, QString::fromStdU16String(kEmptyAccountMessage));
        QCOMPARE(ww->text(), QString());
    }

    void queryStopsWithItsMessage_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("fetches");
        const QString caption = ProductCaption();
        QTest::newRow("empty") << "    "
                               << "" << QString::fromStdU16String(kEmptyAccountMessage) << caption << 0;
        QTest::newRow("audit") << "  abc  "
                               << "<p>淘宝正在对该店铺盘点</p><p>查封</p>" << QString::fromStdU16String(kAuditMessage)
                               << "信息校验出错" << 1;
        QTest::newRow("banned") << "abc"
                                << "<p>该账号已被查封</p>" << QString::fromStdU16String(kBannedMessage) << "提示信息"
                                << 1;
        QTest::newRow("not logged in") << "abc"
                                       << "" << QString::fromStdU16String(kNotLoggedInMessage) << caption << 1;
    }

    void queryStopsWithItsMessage() {
        QFETCH(QString, typed);
        QFETCH(QString, profile);
        QFETCH(QString, message);
        QFETCH(QString, title);
        QFETCH(int, fetches);
        std::vector<std::u16string> urls;
        Form1::Environment environment;
        environment.fetchPage = [&](const std::u16string& url) {
            urls.push_back(url);
            return profile.toStdU16String();
        };
        auto form = makeForm(environment);
        QVERIFY(form->Form_Load());
        auto* text1 = control<QPlainTextEdit>(*form, "Text1");
        text1->setPlainText("earlier rating page");
        auto* ww = control<QLineEdit>(*form, "ww");
        ww->setText(typed);
        form->Command1_Click();
        QCOMPARE(int(urls.size()), fetches);
        if (fetches > 0) {
            QCOMPARE(urls[0], ProfileUrl(u"abc"));
        }
        QCOMPARE(m_messages.messages().size(), 1u);
        QCOMPARE(m_messages.messages()[0].first, message);
        QCOMPARE(m_messages.messages()[0].second, title);
        QCOMPARE(ww->text(), typed.trimmed());
        QCOMPARE(text1->toPlainText(), QString("earlier rating page"));
        QVERIFY(ww->isEnabled());
        QVERIFY(control<QPushButton>(*form, "Command1")->isEnabled());
    }

    void aSecondQueryIsRefusedWhileOneRuns() {
        Form1* self = nullptr;
        int fetches = 0;
        bool controlsDisabled = false;
        Form1::Environment environment;
        environment.fetchPage = [&](const std::u16string&) {
            ++fetches;
            controlsDisabled =
                !control<QLineEdit>(*self, "ww")->isEnabled() && !control<QPushButton>(*self, "Command1")->isEnabled();
            // Window events run while a page is awaited: a second press arrives here.
            self->Command1_Click();
            return std::u16string();
        };
        auto form = makeForm(environment);
        self = form.get();
        QVERIFY(form->Form_Load());
        control<QLineEdit>(*form, "ww")->setText("  abc ");
        form->Command1_Click();
        QCOMPARE(fetches, 1);
        QVERIFY(controlsDisabled);
        QCOMPARE(m_messages.messages().size(), 1u);
        QCOMPARE(control<QLineEdit>(*form, "ww")->text(), QString("abc"));
    }

    void closingTheWindowGivesUpAWaitingQuery() {
        Form1* self = nullptr;
        bool cancelled = false;
        Form1::Environment environment;
        environment.fetchPage = [&](const std::u16string&) {
            self->close();
            cancelled = CancelRequested();
            return std::u16string();
        };
        auto form = makeForm(environment);
        self = form.get();
        QVERIFY(form->Form_Load());
        form->show();
        control<QLineEdit>(*form, "ww")->setText("abc");
        form->Command1_Click();
        QVERIFY(cancelled);
        QCOMPARE(m_messages.messages().size(), 0u);
        QVERIFY(!CancelRequested());
    }

    void keepAliveRunsOnlyWhileTheLoginIsKept() {
        std::vector<std::u16string> requests;
        Form1::Environment environment;
        environment.keepAlive = [&](const std::u16string& url, const std::u16string&) {
            requests.push_back(url);
            return std::u16string();
        };
        auto form = makeForm(environment);
        auto* check1 = control<QCheckBox>(*form, "Check1");
        const std::pair<bool, qsizetype> ticks[] = {{true, 1}, {false, 1}, {true, 2}};
        for (const auto& [ticked, total] : ticks) {
            check1->setChecked(ticked);
            form->Timer1_Timer();
            QCOMPARE(requests.size(), total);
        }
        QCOMPARE(requests.back(), KeepAliveUrl());
    }

    void rankingWindowOpensOnceAndShowsAgain() {
        auto form = makeForm();
        QVERIFY(form->rankingWindow() == nullptr);
        form->Command2_Click();
        QWidget* ranking = form->rankingWindow();
        QVERIFY(qobject_cast<SoPaiMing*>(ranking) != nullptr);
        QVERIFY(ranking->isVisible());
        QVERIFY(ranking->isWindow());
        ranking->hide();
        form->Command2_Click();
        QCOMPARE(form->rankingWindow(), ranking);
        QVERIFY(ranking->isVisible());
    }

    void loginBrowserScrollsEveryLoadedPage() {
        auto form = makeForm();
        auto* w1 = control<BrowserView>(*form, "W1");
        form->show();
        const QString tallPage = "<html><body><div style='width:3000px;height:3000px'>%1</div></body></html>";
        for (const char* page : {"first", "second"}) {
            QSignalSpy loaded(w1, &QWebEngineView::loadFinished);
            w1->setHtml(tallPage.arg(page));
            QVERIFY(loaded.wait(10000));
            QTRY_COMPARE(evaluate(w1, "window.scrollX + ',' + window.scrollY").toString(), QString("500,100"));
        }
    }

    void browsersNeverShowADialog() {
        auto form = makeForm();
        auto* w1 = control<BrowserView>(*form, "W1");
        QSignalSpy loaded(w1, &QWebEngineView::loadFinished);
        w1->setHtml("<html><head><script>alert('a'); document.title = confirm('c') + '|' + prompt('p', 'd');"
                    "</script></head><body></body></html>");
        QVERIFY(loaded.wait(10000));
        QTRY_COMPARE(w1->title(), QString("false|null"));
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            QVERIFY2(!(widget->isVisible() && widget->inherits("QDialog")), qPrintable(widget->objectName()));
        }
    }

    void reportBrowserShowsTextWithoutRunningIt() {
        auto form = makeForm();
        auto* w2 = control<BrowserView>(*form, "W2");
        QSignalSpy loaded(w2, &QWebEngineView::loadFinished);
        w2->setBodyHtml("<p id='r'>报告</p><img src='x:' onerror=\"document.title='ran'\">",
                        QUrl::fromLocalFile(m_programFolder.path() + "/"));
        QVERIFY(loaded.wait(10000));
        QCOMPARE(evaluate(w2, "document.getElementById('r').textContent").toString(), QString("报告"));
        QTest::qWait(200);
        QVERIFY(w2->title() != "ran");
    }

    void bodyMarginAndLargeBodiesReachThePage_data() {
        QTest::addColumn<int>("margin");
        QTest::addColumn<int>("cells");
        QTest::newRow("small, margin 0") << 0 << 10;
        QTest::newRow("small, default margin") << -1 << 10;
        QTest::newRow("above the engine's limit") << 0 << 120000;
    }

    void bodyMarginAndLargeBodiesReachThePage() {
        QFETCH(int, margin);
        QFETCH(int, cells);
        BrowserView view;
        if (margin >= 0) {
            view.setBodyMargin(margin);
        }
        QString body;
        for (int i = 0; i < cells; ++i) {
            body += QStringLiteral("<div>宝贝%1</div>").arg(i, 5, 10, QChar('0'));
        }
        view.setBodyHtml(body);
        QTRY_COMPARE_WITH_TIMEOUT(evaluate(&view, "document.body.children.length").toInt(), cells, 20000);
        const QString shownMargin = evaluate(&view, "getComputedStyle(document.body).marginTop").toString();
        QCOMPARE(shownMargin, margin >= 0 ? QString("%1px").arg(margin) : QString("8px"));
    }

    void cookiesPassBetweenBrowserAndRequests() {
        QWebEngineCookieStore* store = BrowserProfile()->cookieStore();
        // The browser's cookie reaches the request routines' store ...
        QNetworkCookie fromBrowser("probe_b", "1");
        fromBrowser.setDomain(".taobao.com");
        fromBrowser.setPath("/");
        store->setCookie(fromBrowser);
        QTRY_VERIFY(hasBrowserCookie("probe_b", "1"));
        store->deleteCookie(fromBrowser);
        QTRY_VERIFY(!hasBrowserCookie("probe_b"));
        // ... and a cookie a request receives reaches the browser (and comes back from it).
        BrowserCookies::instance().notifySetCookie("probe_r=2; Domain=.taobao.com; Path=/",
                                                   "http://member1.taobao.com/member/userProfile.jhtml");
        QTRY_VERIFY(hasBrowserCookie("probe_r", "2"));
        BrowserCookies::instance().notifySetCookie("probe_r=2; Domain=.taobao.com; Path=/; Max-Age=0",
                                                   "http://member1.taobao.com/");
        QTRY_VERIFY(!hasBrowserCookie("probe_r"));
    }

    void demoLoginInTheBrowserThenAFullReputationCheck() {
        Form1::Environment environment;
        environment.fetchNotice = FetchNotice; // the demo's notice page: never a notice
        auto form = makeForm(environment);
        auto* w1 = control<BrowserView>(*form, "W1");
        auto* w2 = control<BrowserView>(*form, "W2");
        QSignalSpy loaded(w1, &QWebEngineView::loadFinished);
        QVERIFY(form->Form_Load());
        form->show();
        QVERIFY(loaded.wait(15000));
        QVERIFY(loaded.last().first().toBool());
        evaluate(w1, QString("document.querySelector('input[name=TPL_password]').value = '%1';"
                             "document.getElementById('J_Form').submit(); true")
                         .arg(demo::kDemoPassword));
        QTRY_VERIFY_WITH_TIMEOUT(hasBrowserCookie(demo::kLoginCookieName), 15000);

        auto* ww = control<QLineEdit>(*form, "ww");
        ww->setText("  皇冠旗舰店 ");
        form->Command1_Click();
        QCOMPARE(m_messages.messages().size(), 0u);
        QCOMPARE(ww->text(), QString());
        QVERIFY(control<QPlainTextEdit>(*form, "Text1")->toPlainText().contains("卖家信用评价展示"));
        QTRY_VERIFY_WITH_TIMEOUT(evaluate(w2, "document.body.innerHTML").toString().contains("皇冠旗舰店"), 10000);
        const QString report = evaluate(w2, "document.body.innerText").toString();
        QVERIFY2(report.contains("安全"), qPrintable(report));
        QVERIFY(report.contains("99.85%"));
        // The buyer badges come from the marketplace's picture host, the seller's top-tier badge is a file of the
        // program's folder.
        QTRY_COMPARE_WITH_TIMEOUT(
            evaluate(w2, "Array.from(document.images).filter(i => i.src.includes('/newrank/b_red_1.gif'))"
                         ".map(i => i.naturalWidth > 0).join()")
                .toString(),
            QString("true,true,true"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(
            evaluate(w2, "var i = document.querySelector(\"img[src='tbimgs/jhuang.png']\"); i ? i.naturalWidth : -1")
                .toInt(),
            16, 10000);
    }

    void demoRoutingFlags_data() {
        QTest::addColumn<QByteArray>("existing");
        QTest::addColumn<QByteArray>("flags");
        const QByteArray rules = "--host-resolver-rules=\"MAP *:443 127.0.0.1:8443, MAP * 127.0.0.1:8080\"";
        QTest::newRow("none") << QByteArray() << rules;
        QTest::newRow("blank") << QByteArray("  ") << rules;
        QTest::newRow("kept") << QByteArray("--disable-gpu") << "--disable-gpu " + rules;
    }

    void demoRoutingFlags() {
        QFETCH(QByteArray, existing);
        QFETCH(QByteArray, flags);
        QCOMPARE(WithDemoHostRules(existing, 8080, 8443), flags);
    }

    void onlyTheDemoLoginCertificateIsTrusted() {
        const QByteArray demoDigest =
            QSslCertificate(QByteArray::fromStdString(demoMarket->certificatePem()), QSsl::Pem)
                .digest(QCryptographicHash::Sha256);
        const QByteArray otherDigest = QCryptographicHash::hash("another certificate", QCryptographicHash::Sha256);
        const std::tuple<QString, QByteArray, bool> cases[] = {
            {"login.taobao.com", demoDigest, true},   {"LOGIN.taobao.com", demoDigest, true},
            {"login.taobao.com", otherDigest, false}, {"member1.taobao.com", demoDigest, false},
            {"evil.example.com", demoDigest, false},  {"", QByteArray(), false},
        };
        for (const auto& [host, digest, trusted] : cases) {
            QCOMPARE(IsTrustedCertificate(host, digest), trusted);
        }
    }

    void demoModeIsAskedForByItsOption() {
        const std::pair<QStringList, bool> cases[] = {
            {{"tarvisk"}, false},
            {{"tarvisk", "--demo"}, true},
            {{"tarvisk", "-platform", "offscreen", "--demo"}, true},
            {{"--demo"}, false},
            {{"tarvisk", "--demonstrate"}, false},
        };
        for (const auto& [arguments, demo] : cases) {
            QCOMPARE(WantsDemo(arguments), demo);
        }
    }
};

int main(int argc, char** argv) {
    // The demo marketplace answers every host; the browsers' flags are read once, before the application.
    demo::DemoMarket market;
    demoMarket = &market;
    RouteToDemoMarket(market);
    UseOffTheRecordProfile(true);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    app.setApplicationName("tarvisk-form1-test");
    InstallWindowHooks();
    Form1Test test;
    return QTest::qExec(&test, argc, argv);
}

#include "form1_test.moc"
