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
#include <QWebEngineSettings>

#include "app/browser/browser_profile.h"
#include "app/browser/browser_view.h"
#include "app/browser/browser_window.h"
#include "app/browser/demo_routing.h"
#include "app/main/form1.h"
#include "jobs/reputation/login_keeper.h"
#include "jobs/startup/startup.h"
#include "app/main/ranking_desk.h"
#include "app/ranking/so_pai_ming.h"
#include "app/session/ranking_session.h"
#include "app/ui/message_box.h"
#include "app/ui/qt_hooks.h"
#include "app/ui/unread_page_box.h"
#include "app/ui/window_font.h"
#include "core/cancel.h"
#include "demo/demo_login.h"
#include "demo/demo_market.h"
#include "demo/test_pages.h"
#include "net/browser_cookies.h"
#include "net/xml_http.h"
#include "text/encoding.h"
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

// The rectangle of the first element that `selector` finds, in the view's coordinates (invalid when none).
QRect elementRect(QWebEngineView* view, const QString& selector) {
    const QVariantList box =
        evaluate(view, QString("(() => { const e = document.querySelector('%1'); if (!e) return []; const r = "
                               "e.getBoundingClientRect(); return [r.left, r.top, r.width, r.height]; })()")
                           .arg(selector))
            .toList();
    if (box.size() != 4) {
        return {};
    }
    return QRectF(box[0].toDouble(), box[1].toDouble(), box[2].toDouble(), box[3].toDouble()).toRect();
}

/// A click of the user on the first element that `selector` finds.
void click(QWebEngineView* view, const QString& selector) {
    const QRect element = elementRect(view, selector);
    QVERIFY(element.isValid());
    QTest::mouseClick(view->focusProxy(), Qt::LeftButton, {}, element.center());
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
    QTemporaryDir m_installedPrefix; // bin/ and share/tarvisk/tbimgs/, as `cmake --install` lays them out

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
        QVERIFY(QDir(m_installedPrefix.path()).mkpath("bin"));
        QVERIFY(QDir(m_installedPrefix.path()).mkpath("share/tarvisk/tbimgs"));
        for (const QString file : {"jhuang.png", "jhuang.gif"}) {
            QVERIFY(QFile::copy(TARVISK_TBIMGS_DIR "/" + file, m_programFolder.filePath("tbimgs/" + file)));
            QVERIFY(
                QFile::copy(TARVISK_TBIMGS_DIR "/" + file, m_installedPrefix.filePath("share/tarvisk/tbimgs/" + file)));
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

    void enterPressesTheFocusedButtonElseTheQuery() {
        int fetches = 0;
        Form1::Environment environment;
        environment.fetchPage = [&](const std::u16string&) {
            ++fetches;
            return std::u16string();
        };
        auto form = makeForm(environment);
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        auto* ww = control<QLineEdit>(*form, "ww");
        ww->setText("abc");

        // A focused button takes Enter itself: Command2 opens the ranking window, no query runs.
        auto* command2 = control<QPushButton>(*form, "Command2");
        command2->setFocus();
        QTest::keyClick(command2, Qt::Key_Return);
        QVERIFY(form->rankingWindow() != nullptr && form->rankingWindow()->isVisible());
        QCOMPARE(fetches, 0);
        form->rankingWindow()->hide();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));

        // The check box does not use Enter: the default button Command1 runs the query, the box keeps its value.
        auto* check1 = control<QCheckBox>(*form, "Check1");
        check1->setFocus();
        QTest::keyClick(check1, Qt::Key_Enter);
        QCOMPARE(fetches, 1);
        QVERIFY(check1->isChecked());

        // After a query started with the mouse the focus is back in ww, ready for the next account.
        QTest::mouseClick(control<QPushButton>(*form, "Command1"), Qt::LeftButton);
        QCOMPARE(fetches, 2);
        QCOMPARE(QApplication::focusWidget(), ww);
        QTRY_COMPARE(ww->selectedText(), QString("abc"));
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
        QTest::addColumn<QString>("opened"); // by the offer, empty when none is made
        QTest::addColumn<QString>("message");
        const QString login = QStringLiteral("https://login.taobao.com/member/login.jhtml?redirectURL=x");
        const QString verification =
            QString::fromStdU16String(UnreadPageMessage(ReputationPage::Rating, PageKind::Verification));
        QTest::newRow("login") << "<form action='/member/login.jhtml'></form>" << login << login
                               << QString::fromStdU16String(UnreadPageMessage(ReputationPage::Rating, PageKind::Login));
        QTest::newRow("empty") << " \r\n"
                               << QString() << QString()
                               << QString::fromStdU16String(UnreadPageMessage(ReputationPage::Rating, PageKind::Empty));
        // The login browser shows no address: a marketplace page opens over https, any other is not offered.
        QTest::newRow("plain http verification")
            << "<p>x</p>"
            << "http://rate.taobao.com/_____tmd_____/punish?x5step=1"
            << "https://rate.taobao.com/_____tmd_____/punish?x5step=1" << verification;
        // No rating text: a real request redirected there by a loopback page.
        const QString offHost = QStringLiteral("http://127.0.0.1:9/punish");
        QTest::newRow("redirected off the marketplace")
            << QString() << offHost << QString() << verification + "\n\n" + NotOpenedInLoginBrowser(offHost);
        for (const QString address :
             {"https://rate.taobao.com.example.net/punish", "https://evil.example\\@rate.taobao.com/punish"}) {
            QTest::newRow(qPrintable(address))
                << "<p>x</p>" << address << QString() << verification + "\n\n" + NotOpenedInLoginBrowser(address);
        }
    }

    void aPageThatWasNotReadGivesNoReport() {
        QFETCH(QString, rating);
        QFETCH(QString, ratingAddress);
        QFETCH(QString, opened);
        QFETCH(QString, message);
        Form1::Environment environment;
        environment.fetchPage = [&](const std::u16string& url) {
            if (url.find(u"/user-rate-") != std::u16string::npos && rating.isEmpty()) {
                HttpAnswer answer;
                std::u16string text = XmlHttpRequest(u"http://rate.taobao.com/test/redirect?to=" +
                                                         UrlEncodeUtf8(ratingAddress.toStdU16String()),
                                                     {}, 0, 10, answer);
                return FetchedPage(std::move(text), answer);
            }
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
        QCOMPARE(m_messages.offers().size(), opened.isEmpty() ? 0 : 1);
        QCOMPARE(control<QLineEdit>(*form, "ww")->text(), QStringLiteral("abc"));
        QCOMPARE(text1->toPlainText(), QString("earlier rating page"));
        // Taking the offer shows the page in the login browser, where the user can log in by hand.
        if (!opened.isEmpty()) {
            QTRY_COMPARE(w1->url().toString(), opened);
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
        // Closing asks first while the check runs; ending the program gives the check up.
        m_messages.takeOffers(true);
        form->Command1_Click();
        QCOMPARE(fetches, 1);
        QVERIFY(disabled);
        QVERIFY(cancelled);
        QVERIFY(!CancelRequested());
        QCOMPARE(m_messages.offers(),
                 QStringList{QStringLiteral("信誉查询还没有结束，退出程序会停止它。\n确定要退出吗？")});
        QVERIFY(!form->isVisible());
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
        // Given up: no message box, no second page, the account kept, the window ready for the next query; the
        // report area says so.
        QCOMPARE(fetches, 1);
        QCOMPARE(m_messages.messages().size(), 0);
        QCOMPARE(ww->text(), QStringLiteral("abc"));
        QTRY_VERIFY_WITH_TIMEOUT(test::documentHtml(*control<BrowserView>(*form, "W2"))
                                     .contains(QStringLiteral("「abc」没有报告</b>：已取消")),
                                 10000);
        QVERIFY(ww->isEnabled() && command1->isEnabled() && !progress->isVisible());
        // The focus goes back to ww, unless the user moved it elsewhere (here into the browser) while it ran.
        auto* w1 = control<BrowserView>(*form, "W1");
        QWidget* focus = QApplication::focusWidget();
        if (byEscape) {
            QVERIFY(focus == w1 || w1->isAncestorOf(focus));
        } else {
            QCOMPARE(focus, ww);
        }

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
        emit form->rankingDesk()->session().loginBrowserRequested(punish);
        QTRY_COMPARE(control<BrowserView>(*form, "W1")->url().toString(), punish);
        // An address off the marketplace is not opened: a message says where it pointed.
        const QString offHost = QStringLiteral("http://127.0.0.1:9/punish");
        emit form->rankingDesk()->session().loginBrowserRequested(offHost);
        QCOMPARE(m_messages.messages().size(), 1);
        QVERIFY(m_messages.messages().constFirst().first.contains(offHost));
        QTest::qWait(200);
        QCOMPARE(control<BrowserView>(*form, "W1")->url().toString(), punish);
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

    void loginBrowserScrollsOnceForEveryDocumentItsFramesIncluded() {
        auto form = makeForm();
        auto* w1 = control<BrowserView>(*form, "W1");
        QSignalSpy completed(w1, &BrowserView::documentComplete);
        // The page and two frames, one of them from another host (the demo marketplace's member home).
        w1->setHtml("<body style='width:5000px;height:5000px'><iframe srcdoc='<p>one</p>'></iframe>"
                    "<iframe src='http://i.taobao.com/my_taobao.htm'></iframe></body>");
        QTRY_COMPARE_WITH_TIMEOUT(completed.size(), 3, 15000);
        QTRY_COMPARE(evaluate(w1, "window.scrollX + ',' + window.scrollY").toString(), QString("1500,300"));
        // A frame that finishes long after the page moves it once more.
        evaluate(w1, "const f = document.createElement('iframe'); f.srcdoc = '<p>late</p>';"
                     "document.body.appendChild(f); true");
        QTRY_COMPARE(evaluate(w1, "window.scrollX + ',' + window.scrollY").toString(), QString("2000,400"));
        QCOMPARE(completed.size(), 4);
    }

    void aPageThatAsksToStayIsLeftSilently() {
        auto form = makeForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        auto* w1 = control<BrowserView>(*form, "W1");
        QSignalSpy loaded(w1, &QWebEngineView::loadFinished);
        w1->setHtml("<title>stay</title><body style='height:2000px' "
                    "onclick=\"window.onbeforeunload = e => { e.preventDefault(); return e.returnValue = 'x'; };"
                    "document.title = 'armed';\"></body>");
        QVERIFY(loaded.wait(10000));
        // The engine asks only on a page the user has touched.
        QTest::mouseClick(w1->focusProxy(), Qt::LeftButton, {}, QPoint(200, 200));
        QTRY_COMPARE(w1->title(), QString("armed"));
        w1->setHtml("<title>left</title>");
        QTRY_COMPARE_WITH_TIMEOUT(w1->title(), QString("left"), 10000);
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

    void demoLoginInTheBrowserThenAFullReputationCheck_data() {
        QTest::addColumn<QString>("programFolder");
        QTest::newRow("badges beside the program") << m_programFolder.path();
        QTest::newRow("installed program") << m_installedPrefix.filePath("bin");
    }

    void demoLoginInTheBrowserThenAFullReputationCheck() {
        QFETCH(QString, programFolder);
        Form1::Environment environment;
        environment.programFolder = [programFolder] { return programFolder; };
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
        // Buyer badges from the marketplace's picture host; the seller's top-tier badge from the program's resource
        // folder.
        const QString badges = "Array.from(document.images).filter(i => /b_red_1|jhuang/.test(i.src))"
                               ".map(i => i.naturalWidth > 0).join()";
        QTRY_COMPARE_WITH_TIMEOUT(evaluate(w2, badges).toString(), QString("true,true,true,true"), 10000);

        // The report's "读取自" link opens the rating page in a window of its own, where scripts stay off as in W2.
        const QRect link = elementRect(w2, "a[target=_blank]");
        QVERIFY(link.isValid());
        // Nothing of the report runs past what W2's frame shows: a long address (here made longer still) breaks
        // within it.
        evaluate(w2, "document.querySelector('a[target=_blank]').textContent += 'WWWWWWWWWWWWWWWWWWWWWWWW'; true");
        const QRect longLink = elementRect(w2, "a[target=_blank]");
        auto* p2 = control<QWidget>(*form, "P2");
        QVERIFY2(w2->mapTo(p2, longLink.topRight()).x() <= p2->width(), qPrintable(QString::number(longLink.right())));
        QCOMPARE(evaluate(w2, "document.documentElement.scrollWidth <= document.documentElement.clientWidth"),
                 QVariant(true));
        QTest::mouseClick(w2->focusProxy(), Qt::LeftButton, {}, link.center());
        BrowserWindow* window = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((window = form->findChild<BrowserWindow*>()) != nullptr, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(window->view()->url().toString().contains("/user-rate-"), 10000);
        QVERIFY(window->isVisible());
        QVERIFY(!window->view()->page()->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled));
    }

    void newWindowsOfTheLoginBrowserCarryTheLogin() {
        QVERIFY(demo::LogInToDemo());
        auto form = makeForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        auto* w1 = control<BrowserView>(*form, "W1");
        QSignalSpy loaded(w1, &QWebEngineView::loadFinished);
        w1->setHtml("<a id='home' target='_blank' href='http://i.taobao.com/my_taobao.htm'>我的淘宝</a><br>"
                    "<button id='popup' onclick=\"window.open('http://i.taobao.com/my_taobao.htm', 'popup', "
                    "'width=500,height=400')\">弹出</button>",
                    QUrl("https://login.taobao.com/member/"));
        QVERIFY(loaded.wait(10000));

        // A link to a new window: the member home page greets the member, so the login cookie went with it.
        click(w1, "#home");
        BrowserWindow* window = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((window = form->findChild<BrowserWindow*>()) != nullptr, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), QString("我的淘宝"), 15000);
        QVERIFY(evaluate(window->view(), "document.body.innerText").toString().contains("您好，tarvisk_demo"));
        const QRect screen = window->screen()->availableGeometry();
        QVERIFY(window->isVisible() && screen.contains(window->frameGeometry()));
        QVERIFY(window->width() >= 640 && window->height() >= 480);
        QVERIFY(window->view()->page()->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled));
        // Closed by the user, it is gone.
        window->close();
        QTRY_VERIFY(form->findChild<BrowserWindow*>() == nullptr);

        // A pop-up a script opens on a click gets the size it asks for, and closes when its page closes it.
        click(w1, "#popup");
        QTRY_VERIFY_WITH_TIMEOUT((window = form->findChild<BrowserWindow*>()) != nullptr, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), QString("我的淘宝"), 15000);
        QTRY_COMPARE(window->size(), QSize(500, 400));
        evaluate(window->view(), "window.close(); true");
        QTRY_VERIFY(form->findChild<BrowserWindow*>() == nullptr);
    }

    void aPageOpensWindowsOnlyOnAClickAndFiveAtATime() {
        auto form = makeForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        auto* w1 = control<BrowserView>(*form, "W1");
        QSignalSpy loaded(w1, &QWebEngineView::loadFinished);
        // Twenty windows as the page loads, thirty-eight on one click, one on the other button.
        w1->setHtml("<script>for (let i = 0; i < 20; ++i) window.open('http://i.taobao.com/my_taobao.htm?l=' + i);"
                    "</script><button id='flood' onclick=\"for (let i = 0; i < 38; ++i) "
                    "window.open('http://i.taobao.com/my_taobao.htm?c=' + i, 'c' + i)\">很多</button><br>"
                    "<button id='one' onclick=\"window.open('http://i.taobao.com/my_taobao.htm', 'w' + "
                    "Math.random())\">一个</button>",
                    QUrl("https://login.taobao.com/member/"));
        QVERIFY(loaded.wait(10000));
        QTRY_COMPARE(w1->statusText(), QString("已阻止这个页面打开的20个窗口：只有点击才能打开新窗口"));
        QVERIFY(control<QLabel>(*w1, "BrowserStatus")->isVisible());
        QCOMPARE(form->findChildren<BrowserWindow*>().size(), 0);

        // A click opens one window: the rest of what its handler asks for comes without a click of its own.
        click(w1, "#flood");
        QTRY_COMPARE(w1->statusText(), QString("已阻止这个页面打开的57个窗口：只有点击才能打开新窗口"));
        QCOMPARE(form->findChildren<BrowserWindow*>().size(), 1);
        // Further clicks fill the windows up to five; past them nothing opens until one is closed.
        for (int i = 1; i < kMostBrowserWindows; ++i) {
            click(w1, "#one");
            QTRY_COMPARE(form->findChildren<BrowserWindow*>().size(), i + 1);
        }
        click(w1, "#one");
        QTRY_COMPARE(w1->statusText(), QString("已阻止这个页面打开的58个窗口：同时最多打开5个网页窗口"));
        QCOMPARE(form->findChildren<BrowserWindow*>().size(), kMostBrowserWindows);
        form->findChildren<BrowserWindow*>().constFirst()->close();
        QTRY_COMPARE(form->findChildren<BrowserWindow*>().size(), kMostBrowserWindows - 1);
        click(w1, "#one");
        QTRY_COMPARE(form->findChildren<BrowserWindow*>().size(), kMostBrowserWindows);
        for (BrowserWindow* window : form->findChildren<BrowserWindow*>()) {
            window->close();
        }
        QTRY_COMPARE(BrowserWindow::openCount(), 0);
    }

    void onlyTheDemoCertificateIsTrustedAndOnlyOnTheMarketplacesHosts() {
        const QByteArray demoDigest =
            QSslCertificate(QByteArray::fromStdString(demoMarket->certificatePem())).digest(QCryptographicHash::Sha256);
        const QByteArray otherDigest = QCryptographicHash::hash("another", QCryptographicHash::Sha256);
        const std::tuple<QString, QByteArray, bool> cases[] = {
            {"login.taobao.com", demoDigest, true},     {"LOGIN.taobao.com", demoDigest, true},
            {"login.taobao.com", otherDigest, false},   {"member1.taobao.com", demoDigest, true},
            {"demoshop1.taobao.com", demoDigest, true}, {"login.taobao.com.example.net", demoDigest, false},
            {"127.0.0.1", demoDigest, false},           {"", QByteArray(), false},
        };
        for (const auto& [host, digest, trusted] : cases) {
            QCOMPARE(IsTrustedCertificate(host, digest), trusted);
        }
        QCOMPARE(PemCertificateDigest(demoMarket->certificatePem()), demoDigest);
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
