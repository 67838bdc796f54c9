#include <memory>
#include <new>
#include <optional>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFontDatabase>
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
#include "app/main/startup.h"
#include "app/ranking/so_pai_ming.h"
#include "app/ui/message_box.h"
#include "app/ui/qt_hooks.h"
#include "app/ui/window_font.h"
#include "core/cancel.h"
#include "demo/demo_login.h"
#include "demo/demo_market.h"
#include "demo/test_pages.h"
#include "net/browser_cookies.h"
#include "net/xml_http.h"
#include "window_test_support.h"

using namespace tarvisk;
using test::control;

namespace {

// The demo marketplace of this test run.
const demo::DemoMarket* demoMarket = nullptr;

// Runs `script` in the view's page and waits for its value (invalid after 10 s without an answer).
QVariant evaluate(QWebEngineView* view, const QString& script) {
    // Shared with the callback, which may still come after a timeout.
    auto value = std::make_shared<std::optional<QVariant>>();
    view->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld, [value](const QVariant& v) { *value = v; });
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

} // namespace

class Form1Test : public QObject {
    Q_OBJECT

    test::MessageRecorder m_messages;
    test::ScratchData m_data;
    QTemporaryDir m_programFolder;

    // A window in the test's program folder; the notice page answers nothing, no browser may open.
    std::unique_ptr<Form1> makeForm(Form1::Environment environment = {}) {
        if (!environment.programFolder) {
            environment.programFolder = [this] { return m_programFolder.path(); };
        }
        if (!environment.fetchNotice) {
            environment.fetchNotice = [] { return std::u16string(); };
        }
        if (!environment.openBrowser) {
            environment.openBrowser = [](const QUrl& url) { QFAIL(qPrintable("browser opened: " + url.toString())); };
        }
        return std::make_unique<Form1>(std::move(environment));
    }

private slots:
    void initTestCase() {
        QVERIFY(QDir(m_programFolder.path()).mkpath("tbimgs"));
        for (const QString file : {"jhuang.png", "jhuang.gif"}) {
            QVERIFY(QFile::copy(TARVISK_TBIMGS_DIR "/" + file, m_programFolder.filePath("tbimgs/" + file)));
        }
    }

    void init() { m_messages.clear(); }

    void controlsHaveTheirCaptionsPlacesAndFonts() {
        const struct {
            const char* name;
            QString caption;
            QRect geometry;
        } controls[] = {
            {"Check1", "保持登录状态", test::twips(8640, 240, 1575, 255)},
            {"Command2", "⑵ 店铺宝贝关键字排名查询系统", test::twips(10560, 7440, 4095, 855)},
            {"Text1", "", test::twips(2760, 2760, 6735, 5175)},
            {"Command1", "查询", test::twips(13440, 600, 1335, 375)},
            {"ww", "", test::twips(10440, 600, 2895, 375)},
            {"Label2", "2.输入买家淘宝ID查询", test::twips(10440, 240, 3375, 375)},
            {"Label1", "1.登录任意淘宝ID", test::twips(120, 240, 2415, 375)},
            // Once loaded, the browsers' borders lie outside their frames.
            {"P1", "", test::twips(120, 600, 10215 - 45, 8055 - 30)},
            {"W1", "", test::twips(-30, -30, 10215, 8055)},
            {"P2", "", test::twips(10440, 1080, 4335 - 45, 6015 - 30)},
            {"W2", "", test::twips(-30, -30, 4575, 6015)},
        };
        auto form = makeForm();
        QVERIFY(form->Form_Load());
        for (const auto& c : controls) {
            auto* widget = control<QWidget>(*form, c.name);
            QCOMPARE(widget->geometry(), c.geometry);
            QCOMPARE(widget->isVisibleTo(form.get()), QByteArray(c.name) != "Text1");
            if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
                QCOMPARE(button->text(), c.caption);
            } else if (auto* label = qobject_cast<QLabel*>(widget)) {
                QCOMPARE(label->text(), c.caption);
                QCOMPARE(label->font(), WindowFont(12, true));
                QCOMPARE(label->palette().color(QPalette::WindowText), QColor(255, 96, 0));
            }
        }
        QCOMPARE(form->windowTitle(), ProductCaption());
        QCOMPARE(form->size(), test::twips(0, 0, 14910, 8805).size());
        QCOMPARE(control<QPushButton>(*form, "Command2")->font(), WindowFont(10.5));
        QVERIFY(control<QPushButton>(*form, "Command1")->isDefault());
        QVERIFY(control<QCheckBox>(*form, "Check1")->isChecked());
        auto* timer = form->findChild<QTimer*>("Timer1");
        QVERIFY(timer != nullptr && timer->isActive() && timer->interval() == 60000);
        QCOMPARE(control<BrowserView>(*form, "W1")->url().toString(), QString::fromStdU16String(LoginPageUrl()));
        QCOMPARE(control<BrowserView>(*form, "W2")->url().toString(), QString("about:blank"));
    }

    void aChineseFontIsInstalled() {
        QVERIFY(!QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty());
        QVERIFY(QFontDatabase::writingSystems(WindowFontFamily()).contains(QFontDatabase::SimplifiedChinese));
    }

    void startup_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("notice");
        QTest::addColumn<bool>("ends");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("opened");
        const QString here = "/opt/tarvisk";
        QTest::newRow("archive") << "C:\\Temp\\Rar$EXa0.123"
                                 << "x|http://a/" << true << "请把文件全部解压，再运行"
                                 << "";
        QTest::newRow("no bar") << here << "新版本已发布" << false << ""
                                << "";
        QTest::newRow("markup") << here << "<p>升级|http://example.com/</p>" << false << ""
                                << "";
        QTest::newRow("notice") << here << "请升级|https://example.com/a|http://b/" << true << "请升级"
                                << "https://example.com/a";
        QTest::newRow("local file") << here << "消息|file:///etc/passwd" << true << "消息"
                                    << "";
    }

    void startup() {
        QFETCH(QString, folder);
        QFETCH(QString, notice);
        QFETCH(bool, ends);
        QFETCH(QString, message);
        QFETCH(QString, opened);
        QStringList openedUrls;
        Form1::Environment environment;
        environment.programFolder = [folder] { return folder; };
        environment.fetchNotice = [notice] { return notice.toStdU16String(); };
        environment.openBrowser = [&](const QUrl& url) { openedUrls << url.toString(); };
        auto form = makeForm(environment);
        QCOMPARE(form->Form_Load(), !ends);
        const auto expected = message.isEmpty() ? QList<QPair<QString, QString>>{}
                                                : QList<QPair<QString, QString>>{{message, ProductCaption()}};
        QCOMPARE(m_messages.messages(), expected);
        QCOMPARE(openedUrls, opened.isEmpty() ? QStringList() : QStringList{opened});
    }

    void accountBoxSelectsAllAndEnterQueries() {
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
        const std::pair<Qt::KeyboardModifiers, bool> keys[] = {{Qt::ControlModifier, true},
                                                               {Qt::ControlModifier | Qt::ShiftModifier, false},
                                                               {Qt::ControlModifier | Qt::AltModifier, false}};
        for (const auto& [modifiers, selectsAll] : keys) {
            ww->setCursorPosition(3);
            QTest::keyClick(ww, Qt::Key_A, modifiers);
            QCOMPARE(ww->selectedText() == "old_account", selectsAll);
        }
        ww->setText("   ");
        QTest::keyClick(ww, Qt::Key_Return);
        QCOMPARE(m_messages.messages().value(0).first, QString::fromStdU16String(kEmptyAccountMessage));
    }

    void queryStopsWithItsMessage_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("title");
        QTest::newRow("empty") << "    "
                               << "" << QString::fromStdU16String(kEmptyAccountMessage) << ProductCaption();
        QTest::newRow("audit") << "  abc  "
                               << "淘宝正在对该店铺盘点 查封" << QString::fromStdU16String(kAuditMessage)
                               << "信息校验出错";
        QTest::newRow("banned") << "abc"
                                << "已被查封" << QString::fromStdU16String(kBannedMessage) << "提示信息";
        QTest::newRow("not logged in") << "abc"
                                       << "" << QString::fromStdU16String(kNotLoggedInMessage) << ProductCaption();
    }

    void queryStopsWithItsMessage() {
        QFETCH(QString, typed);
        QFETCH(QString, profile);
        QFETCH(QString, message);
        QFETCH(QString, title);
        QStringList urls;
        Form1::Environment environment;
        environment.fetchPage = [&](const std::u16string& url) {
            urls << QString::fromStdU16String(url);
            return profile.toStdU16String();
        };
        auto form = makeForm(environment);
        auto* text1 = control<QPlainTextEdit>(*form, "Text1");
        text1->setPlainText("earlier rating page");
        auto* ww = control<QLineEdit>(*form, "ww");
        ww->setText(typed);
        form->Command1_Click();
        const QString account = typed.trimmed();
        QCOMPARE(urls, account.isEmpty() ? QStringList() : QStringList{QString::fromStdU16String(ProfileUrl(u"abc"))});
        QCOMPARE(m_messages.messages(), (QList<QPair<QString, QString>>{{message, title}}));
        QCOMPARE(ww->text(), account);
        QCOMPARE(text1->toPlainText(), QString("earlier rating page"));
        QVERIFY(ww->isEnabled() && control<QPushButton>(*form, "Command1")->isEnabled());
    }

    void aPageThatWasNotReadGivesNoReport_data() {
        QTest::addColumn<QString>("rating");
        QTest::addColumn<QString>("ratingAddress");
        QTest::addColumn<bool>("offered");
        QTest::addColumn<QString>("message");
        const QString login = QStringLiteral("https://login.taobao.com/member/login.jhtml?redirectURL=x");
        QTest::newRow("login") << "<form action='/member/login.jhtml'></form>" << login << true
                               << QString::fromStdU16String(UnreadPageMessage(ReputationPage::Rating, PageKind::Login));
        QTest::newRow("empty") << " \r\n"
                               << QString() << false
                               << QString::fromStdU16String(UnreadPageMessage(ReputationPage::Rating, PageKind::Empty));
    }

    void aPageThatWasNotReadGivesNoReport() {
        QFETCH(QString, rating);
        QFETCH(QString, ratingAddress);
        QFETCH(bool, offered);
        QFETCH(QString, message);
        Form1::Environment environment;
        environment.fetchPage = [&](const std::u16string& url) {
            if (url.find(u"/user-rate-") != std::u16string::npos) {
                return FetchedPage(rating.toStdU16String(), ratingAddress.toStdU16String());
            }
            return FetchedPage(u"<dt>注册时间：</dt><dd>2014年11月26日</dd> UvGcWMGkYvmcWOFTTMmxLOFHbMCNT0Ab");
        };
        auto form = makeForm(environment);
        auto* w1 = control<BrowserView>(*form, "W1");
        const QUrl before = w1->url();
        auto* text1 = control<QPlainTextEdit>(*form, "Text1");
        text1->setPlainText("earlier rating page");
        m_messages.takeOffers(true);
        control<QLineEdit>(*form, "ww")->setText(QStringLiteral(" abc "));
        form->Command1_Click();
        QCOMPARE(m_messages.messages(), (QList<QPair<QString, QString>>{{message, ProductCaption()}}));
        QCOMPARE(m_messages.offers().size(), offered ? 1 : 0);
        QCOMPARE(control<QLineEdit>(*form, "ww")->text(), QStringLiteral("abc"));
        QCOMPARE(text1->toPlainText(), QString("earlier rating page"));
        // Taking the offer shows the page in the login browser, where the user can log in by hand.
        if (offered) {
            QTRY_COMPARE(w1->url().toString(), ratingAddress);
        } else {
            QCOMPARE(w1->url(), before);
        }
    }

    void aQueryThatThrowsEndsWithAMessageAndAUsableWindow() {
        Form1::Environment environment;
        environment.fetchPage = [](const std::u16string&) -> std::u16string { throw std::bad_alloc(); };
        auto form = makeForm(environment);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        auto* ww = control<QLineEdit>(*form, "ww");
        ww->setText(QStringLiteral("abc"));
        ww->setFocus();
        QTest::keyClick(ww, Qt::Key_Return);
        QCOMPARE(m_messages.messages().size(), 1);
        QVERIFY(m_messages.messages().first().first.contains(QStringLiteral("内存不足")));
        QVERIFY(ww->isEnabled() && control<QPushButton>(*form, "Command1")->isEnabled());
        QCOMPARE(ww->text(), QStringLiteral("abc"));
    }

    void aWaitingQueryRefusesASecondOneAndEndsWithTheWindow() {
        Form1* self = nullptr;
        int fetches = 0;
        bool disabled = false;
        bool cancelled = false;
        Form1::Environment environment;
        environment.fetchPage = [&](const std::u16string&) {
            // Window events run while a page is awaited: a second press, then closing the window.
            ++fetches;
            disabled =
                !control<QLineEdit>(*self, "ww")->isEnabled() && !control<QPushButton>(*self, "Command1")->isEnabled();
            self->Command1_Click();
            self->close();
            cancelled = CancelRequested();
            return std::u16string();
        };
        auto form = makeForm(environment);
        self = form.get();
        form->show();
        control<QLineEdit>(*form, "ww")->setText("abc");
        form->Command1_Click();
        QCOMPARE(fetches, 1);
        QVERIFY(disabled);
        QVERIFY(cancelled);
        QVERIFY(!CancelRequested());
        QCOMPARE(m_messages.messages().size(), 0);
    }

    void aWaitingQueryCanBeCancelled_data() {
        QTest::addColumn<bool>("byEscape");
        QTest::newRow("取消") << false;
        QTest::newRow("Esc") << true;
    }

    void aWaitingQueryCanBeCancelled() {
        QFETCH(bool, byEscape);
        // The first profile page comes from a server that never answers, the next one at once (an empty page).
        int fetches = 0;
        Form1::Environment environment;
        environment.fetchPage = [&](const std::u16string&) -> FetchedPage {
            return ++fetches == 1 ? XmlHttpRequest(u"http://member1.taobao.com/test/hostile/silent", {}, 0, 0)
                                  : std::u16string();
        };
        auto form = makeForm(environment);
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        auto* ww = control<QLineEdit>(*form, "ww");
        auto* command1 = control<QPushButton>(*form, "Command1");
        auto* progress = control<QWidget>(*form, "JobProgress");
        auto* cancel = control<QPushButton>(*form, "CancelJob");
        QVERIFY(!progress->isVisible());
        QCOMPARE(progress->geometry(), test::twips(10440, 1080, 4290, 435));

        ww->setText("abc");
        ww->setFocus();
        bool waitingShown = false;
        QRect cancelPlace;
        QTimer::singleShot(300, form.get(), [&] {
            waitingShown = progress->isVisible() && !ww->isEnabled() && !command1->isEnabled() &&
                           control<QLabel>(*form, "JobProgressText")->text() == QStringLiteral("正在查询…");
            cancelPlace = QRect(cancel->mapTo(form.get(), QPoint(0, 0)), cancel->size());
            if (byEscape) {
                // Wherever the focus is, the login browser's page included.
                control<BrowserView>(*form, "W1")->setFocus();
                QWidget* focus = QApplication::focusWidget();
                QTest::keyClick(focus != nullptr ? focus : form.get(), Qt::Key_Escape);
            } else {
                QTest::mouseClick(cancel, Qt::LeftButton);
            }
        });
        QElapsedTimer waited;
        waited.start();
        form->Command1_Click();
        QVERIFY2(waited.elapsed() < 5000, qPrintable(QString::number(waited.elapsed())));
        QVERIFY(waitingShown);
        // The 取消 lies right under the query button, at its right edge.
        QVERIFY(cancelPlace.top() > command1->geometry().bottom());
        QVERIFY(cancelPlace.top() - command1->geometry().bottom() < 10);
        QVERIFY(qAbs(cancelPlace.right() - command1->geometry().right()) < 10);
        // Given up: no message, no second page, the account kept, the window ready for the next query.
        QCOMPARE(fetches, 1);
        QCOMPARE(m_messages.messages().size(), 0);
        QCOMPARE(ww->text(), QStringLiteral("abc"));
        QVERIFY(ww->isEnabled() && command1->isEnabled() && !progress->isVisible());
        QCOMPARE(QApplication::focusWidget(), ww);

        // The next query runs to its end.
        form->Command1_Click();
        QCOMPARE(fetches, 2);
        QCOMPARE(m_messages.messages().value(0).first, QString::fromStdU16String(kNotLoggedInMessage));
    }

    void keepAliveRunsOnlyWhileTheLoginIsKept() {
        int requests = 0;
        Form1::Environment environment;
        environment.keepAlive = [&](const std::u16string& url, const std::u16string&) {
            requests += url == KeepAliveUrl();
            return std::u16string();
        };
        auto form = makeForm(environment);
        for (const auto& [ticked, total] : {std::pair{true, 1}, {false, 1}, {true, 2}}) {
            control<QCheckBox>(*form, "Check1")->setChecked(ticked);
            form->Timer1_Timer();
            QCOMPARE(requests, total);
        }
    }

    void rankingWindowOpensOnceAndShowsAgain() {
        auto form = makeForm();
        form->Command2_Click();
        QWidget* ranking = form->rankingWindow();
        QVERIFY(qobject_cast<SoPaiMing*>(ranking) != nullptr && ranking->isWindow() && ranking->isVisible());
        // A page the ranking window could not read opens in this window's login browser.
        const QString punish = QStringLiteral("https://s.taobao.com//search/_____tmd_____/punish?x5secdata=1");
        emit qobject_cast<SoPaiMing*>(ranking)->loginBrowserRequested(punish);
        QTRY_COMPARE(control<BrowserView>(*form, "W1")->url().toString(), punish);
        QVERIFY(form->isVisible());
        ranking->hide();
        form->Command2_Click();
        QCOMPARE(form->rankingWindow(), ranking);
        QVERIFY(ranking->isVisible());
    }

    void loginBrowserScrollsEveryPageAndShowsNoDialog() {
        auto form = makeForm();
        auto* w1 = control<BrowserView>(*form, "W1");
        QSignalSpy loaded(w1, &QWebEngineView::loadFinished);
        for (const char* script : {"", "alert('a'); document.title = confirm('c') + '|' + prompt('p', 'd');"}) {
            w1->setHtml(QString("<body style='width:3000px;height:3000px'><script>%1</script></body>").arg(script));
            QVERIFY(loaded.wait(10000));
            QTRY_COMPARE(evaluate(w1, "window.scrollX + ',' + window.scrollY").toString(), QString("500,100"));
        }
        QCOMPARE(w1->title(), QString("false|null"));
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            QVERIFY(!(widget->isVisible() && widget->inherits("QDialog")));
        }
    }

    void shownBodiesKeepTheirMarginAndRunNoScript_data() {
        QTest::addColumn<int>("margin");
        QTest::addColumn<int>("cells");
        QTest::newRow("margin 0") << 0 << 10;
        QTest::newRow("default margin") << -1 << 10;
        QTest::newRow("above the engine's limit") << 0 << 120000;
    }

    void shownBodiesKeepTheirMarginAndRunNoScript() {
        QFETCH(int, margin);
        QFETCH(int, cells);
        BrowserView view;
        if (margin >= 0) {
            view.setBodyMargin(margin);
        }
        const QString cell = "<div>宝贝</div>";
        view.setBodyHtml(cell.repeated(cells) + "<img src='x:' onerror=\"document.title='ran'\">");
        QTRY_COMPARE_WITH_TIMEOUT(evaluate(&view, "document.body.children.length").toInt(), cells + 1, 20000);
        QCOMPARE(evaluate(&view, "getComputedStyle(document.body).marginTop").toString(),
                 QString("%1px").arg(margin >= 0 ? margin : 8));
        QVERIFY(view.title() != "ran");
    }

    void cookiesPassBetweenBrowserAndRequests() {
        QNetworkCookie fromBrowser("probe_b", "1");
        fromBrowser.setDomain(".taobao.com");
        BrowserProfile()->cookieStore()->setCookie(fromBrowser);
        QTRY_VERIFY(hasBrowserCookie("probe_b", "1"));
        BrowserProfile()->cookieStore()->deleteCookie(fromBrowser);
        QTRY_VERIFY(!hasBrowserCookie("probe_b"));
        // A cookie a request receives reaches the browser, which reports it back.
        for (const char* header :
             {"probe_r=2; Domain=.taobao.com; Path=/", "probe_r=2; Domain=.taobao.com; Path=/; Max-Age=0"}) {
            BrowserCookies::instance().notifySetCookie(header, "http://member1.taobao.com/member/userProfile.jhtml");
            QTRY_COMPARE(hasBrowserCookie("probe_r", "2"), QByteArray(header).contains("Max-Age") == false);
        }
    }

    void demoLoginInTheBrowserThenAFullReputationCheck() {
        Form1::Environment environment;
        environment.fetchNotice = FetchNotice; // the demo's notice page, which holds no notice
        auto form = makeForm(environment);
        auto* w1 = control<BrowserView>(*form, "W1");
        auto* w2 = control<BrowserView>(*form, "W2");
        QSignalSpy loaded(w1, &QWebEngineView::loadFinished);
        QVERIFY(form->Form_Load());
        form->show();
        QVERIFY(loaded.wait(15000) && loaded.last().first().toBool()); // the login page, over https
        evaluate(w1, QString("document.querySelector('input[name=TPL_password]').value = '%1';"
                             "document.getElementById('J_Form').submit(); true")
                         .arg(demo::kDemoPassword));
        QTRY_VERIFY_WITH_TIMEOUT(hasBrowserCookie(demo::kLoginCookieName), 15000);

        auto* ww = control<QLineEdit>(*form, "ww");
        ww->setText("  皇冠旗舰店 ");
        form->Command1_Click();
        QCOMPARE(m_messages.messages().size(), 0);
        QCOMPARE(ww->text(), QString());
        QVERIFY(control<QPlainTextEdit>(*form, "Text1")->toPlainText().contains("卖家信用评价展示"));
        QTRY_VERIFY_WITH_TIMEOUT(evaluate(w2, "document.body.innerHTML").toString().contains("皇冠旗舰店"), 10000);
        const QString report = evaluate(w2, "document.body.innerText").toString();
        QVERIFY2(report.contains("安全") && report.contains("99.85%"), qPrintable(report));
        // Buyer badges from the marketplace's picture host; the seller's top-tier badge from the program's folder.
        const QString badges = "Array.from(document.images).filter(i => /b_red_1|jhuang/.test(i.src))"
                               ".map(i => i.naturalWidth > 0).join()";
        QTRY_COMPARE_WITH_TIMEOUT(evaluate(w2, badges).toString(), QString("true,true,true,true"), 10000);
    }

    void onlyTheDemoLoginCertificateIsTrusted() {
        const QByteArray demoDigest =
            QSslCertificate(QByteArray::fromStdString(demoMarket->certificatePem())).digest(QCryptographicHash::Sha256);
        const QByteArray otherDigest = QCryptographicHash::hash("another", QCryptographicHash::Sha256);
        const std::tuple<QString, QByteArray, bool> cases[] = {
            {"login.taobao.com", demoDigest, true},
            {"LOGIN.taobao.com", demoDigest, true},
            {"login.taobao.com", otherDigest, false},
            {"member1.taobao.com", demoDigest, false},
            {"", QByteArray(), false},
        };
        for (const auto& [host, digest, trusted] : cases) {
            QCOMPARE(IsTrustedCertificate(host, digest), trusted);
        }
        const QByteArray rules = "--host-resolver-rules=\"MAP *:443 127.0.0.1:8443, MAP * 127.0.0.1:8080\"";
        QCOMPARE(WithDemoHostRules("", 8080, 8443), rules);
        QCOMPARE(WithDemoHostRules(" --disable-gpu ", 8080, 8443), "--disable-gpu " + rules);
    }
};

int main(int argc, char** argv) {
    // The demo marketplace answers every host; the browsers' flags are read once, before the application.
    demo::DemoMarket market(0, demo::RegisterTestPages);
    demoMarket = &market;
    RouteToDemoMarket(market);
    UseOffTheRecordProfile(true);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    Application app(argc, argv);
    app.setApplicationName("tarvisk-form1-test");
    InstallWindowHooks();
    Form1Test test;
    return QTest::qExec(&test, argc, argv);
}

#include "form1_test.moc"
