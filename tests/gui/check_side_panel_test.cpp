// The main window beside its report: the previous check and what changed, the buyer's list flag with the
// buttons that put the buyer on a list, a check without a report after one, the buttons that open the batch check,
// the lists and the history (Esc closes them), closing the main window; a database that cannot be used, and one that
// another program holds locked. On the demo marketplace, logged in.

#include <chrono>
#include <memory>
#include <utility>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <SQLiteCpp/Database.h>

#include "app/browser/browser_view.h"
#include "app/main/batch_check_window.h"
#include "app/main/form1.h"
#include "app/main/program.h"
#include "app/main/report_window.h"
#include "app/ui/qt_text.h"
#include "core/hooks.h"
#include "net/xml_http.h"
#include "store/buyer_lists.h"
#include "store/check_history.h"
#include "store/local_store.h"
#include "window_test_support.h"

using namespace tarvisk;
using test::control;

namespace {

/// Today's date moved by `days`.
Date daysFromToday(int days) {
    const Date today = Today();
    using namespace std::chrono;
    const year_month_day moved{sys_days{year{today.year} / today.month / today.day} + std::chrono::days{days}};
    return {static_cast<int>(moved.year()), static_cast<int>(static_cast<unsigned>(moved.month())),
            static_cast<int>(static_cast<unsigned>(moved.day()))};
}

} // namespace

class CheckSidePanelTest : public test::WindowTest {
    Q_OBJECT

    QTemporaryDir m_programFolder;

    std::unique_ptr<Form1> makeForm(Form1::Environment environment = {}) {
        environment.programFolder = [this] { return m_programFolder.path(); };
        environment.fetchNotice = [] { return std::u16string(); };
        return std::make_unique<Form1>(environment);
    }

    static void check(Form1& form, const QString& account) {
        control<QLineEdit>(form, "ww")->setText(account);
        form.Command1_Click();
        // What the history and the lists add comes from the store's thread.
        QTRY_VERIFY(!control<QLabel>(form, "PreviousCheck")->text().startsWith(QStringLiteral("正在读取")));
    }

private slots:
    void theProgramReadsItsOwnCommandLineAndRefusesTheRest() {
        const struct {
            QStringList arguments;
            std::optional<QString> folder;
            QString problem;
        } cases[] = {
            {{"tarvisk"}, std::nullopt, {}},
            {{"tarvisk", "--demo"}, std::nullopt, {}},
            {{"tarvisk", "--data-dir", "/tmp/数据"}, QStringLiteral("/tmp/数据"), {}},
            {{"tarvisk", "--demo", "--data-dir=/tmp/a b"}, QStringLiteral("/tmp/a b"), {}},
            {{"tarvisk", "--data-dir"}, QString(), QStringLiteral("--data-dir 缺少值")},
            {{"tarvisk", "-platform", "offscreen", "--demo"}, std::nullopt, {}}, // Qt's own, passed on
            {{"tarvisk", "--demi"}, std::nullopt, QStringLiteral("不认识的参数：--demi")},
            {{"tarvisk", "账号"}, std::nullopt, QStringLiteral("不认识的参数：账号")},
            {{"--data-dir", "x"}, std::nullopt, QStringLiteral("不认识的参数：x")}, // the program's name is no option
        };
        for (const auto& c : cases) {
            const ProgramArguments parsed = ParseProgramArguments(c.arguments);
            QCOMPARE(parsed.dataFolder, c.folder);
            QCOMPARE(parsed.problem, c.problem);
        }
    }

    void theButtonsOpenEachWindowOnceAndLeaveThePartsControlsFree() {
        auto form = makeForm();
        const std::tuple<const char*, QString, QWidget* (Form1::*)() const, const char*> buttons[] = {
            {"OpenBatchCheck", "批量查询", &Form1::batchCheckWindow, "BatchCheck"},
            {"OpenBuyerLists", "黑白名单", &Form1::buyerListWindow, "BuyerLists"},
            {"OpenCheckHistory", "查询记录", &Form1::checkHistoryWindow, "CheckHistory"},
        };
        const QRect label1 = control<QLabel>(*form, "Label1")->geometry();
        const QRect check1 = control<QWidget>(*form, "Check1")->geometry();
        for (const auto& [name, caption, window, windowName] : buttons) {
            auto* button = control<QPushButton>(*form, name);
            QCOMPARE(button->text(), caption);
            QVERIFY(!button->geometry().intersects(label1) && !button->geometry().intersects(check1));
            QVERIFY(button->geometry().bottom() < control<QWidget>(*form, "P1")->geometry().top());
            QCOMPARE((form.get()->*window)(), nullptr);
            QTest::mouseClick(button, Qt::LeftButton);
            QWidget* opened = (form.get()->*window)();
            QVERIFY(opened != nullptr && opened->isWindow() && opened->isVisible());
            QCOMPARE(opened->objectName(), QString::fromLatin1(windowName));
            opened->hide();
            QTest::mouseClick(button, Qt::LeftButton);
            QCOMPARE((form.get()->*window)(), opened);
            QVERIFY(opened->isVisible());
        }
        // The panel lies beside the report, not over it.
        auto* panel = control<QWidget>(*form, "CheckSidePanel");
        QVERIFY(!panel->isVisibleTo(form.get()));
        QVERIFY(!panel->geometry().intersects(control<QWidget>(*form, "P2")->geometry()));
    }

    void aSecondCheckShowsThePreviousCheckAndWhatChangedBesideTheReport() {
        auto form = makeForm();
        auto* panel = control<QWidget>(*form, "CheckSidePanel");
        check(*form, QStringLiteral("小白新号"));
        QVERIFY(panel->isVisibleTo(form.get()));
        QCOMPARE(control<QLabel>(*panel, "PreviousCheck")->text(), QStringLiteral("第一次查询这个账号"));
        QCOMPARE(control<QLabel>(*panel, "CheckChanges")->text(), QString());

        // 19 days on the 12-day-old account is no longer new, and so no longer unsafe.
        const Date later = daysFromToday(19);
        SetClock([later] { return later; });
        const auto restoreClock = qScopeGuard([] { SetClock({}); });
        check(*form, QStringLiteral("小白新号"));
        const QString previous = control<QLabel>(*panel, "PreviousCheck")->text();
        QVERIFY2(previous.startsWith(QStringLiteral("上次查询：20")) && previous.size() == 21, qPrintable(previous));
        QCOMPARE(control<QLabel>(*panel, "CheckChanges")->text(),
                 QStringLiteral("与上次相比：\n新账号 是→否\n结论 不安全→安全"));
        check(*form, QStringLiteral("小白新号"));
        QCOMPARE(control<QLabel>(*panel, "CheckChanges")->text(), QStringLiteral("与上次相比没有变化"));

        // The report is the report alone.
        auto* w2 = control<BrowserView>(*form, "W2");
        QTRY_VERIFY_WITH_TIMEOUT(test::documentHtml(*w2).contains(QStringLiteral("小白新号")), 10000);
        QVERIFY(!test::documentHtml(*w2).contains(QStringLiteral("上次")));
        QVERIFY(m_scope->messages.messages().isEmpty());
    }

    void theListButtonsFlagTheBuyerAndTheNextCheckShowsTheFlag() {
        auto form = makeForm();
        auto* panel = control<QWidget>(*form, "CheckSidePanel");
        auto* flag = control<QLabel>(*panel, "ListFlag");
        auto* remove = control<QPushButton>(*panel, "RemoveFromList");
        check(*form, QStringLiteral("刷单小号"));
        QTRY_COMPARE(flag->text(), QStringLiteral("不在黑名单或白名单中"));
        QVERIFY(!remove->isEnabled());

        control<QLineEdit>(*panel, "ListNote")->setText(QStringLiteral(" 拍下不付款 "));
        QTest::mouseClick(control<QPushButton>(*panel, "AddToBlockList"), Qt::LeftButton);
        QTRY_COMPARE(flag->text(), QStringLiteral("在黑名单中：拍下不付款"));
        QTRY_VERIFY(remove->isEnabled());
        LocalStore store(HistoryFilePath());
        const auto entry = FindListEntry(store, u"刷单小号");
        QVERIFY(entry && entry->list == BuyerList::Block && entry->note == u"拍下不付款");

        check(*form, QStringLiteral("刷单小号"));
        QTRY_COMPARE(flag->text(), QStringLiteral("在黑名单中：拍下不付款"));
        QCOMPARE(control<QLineEdit>(*panel, "ListNote")->text(), QStringLiteral("拍下不付款"));
        QTest::mouseClick(control<QPushButton>(*panel, "AddToAllowList"), Qt::LeftButton);
        QTRY_COMPARE(flag->text(), QStringLiteral("在白名单中：拍下不付款"));
        QTest::mouseClick(remove, Qt::LeftButton);
        QTRY_COMPARE(flag->text(), QStringLiteral("不在黑名单或白名单中"));
        QVERIFY(!FindListEntry(store, u"刷单小号"));

        QTest::mouseClick(control<QPushButton>(*panel, "CloseSidePanel"), Qt::LeftButton);
        QVERIFY(!panel->isVisibleTo(form.get()));
    }

    void aCheckWithoutAReportSaysSoAndNamesTheReportItKeeps_data() {
        QTest::addColumn<QString>("account");
        QTest::addColumn<bool>("cancelled");
        QTest::addColumn<QString>("why");
        QTest::newRow("stopped") << "被封账号" << false << QtText(kBannedMessage);
        QTest::newRow("page not read") << "评价要登录" << false
                                       << QtText(UnreadPageMessage(ReputationPage::Rating, PageKind::Login));
        QTest::newRow("cancelled") << "老实买家" << true << "已取消";
    }

    void aCheckWithoutAReportSaysSoAndNamesTheReportItKeeps() {
        QFETCH(QString, account);
        QFETCH(bool, cancelled);
        QFETCH(QString, why);
        Form1* self = nullptr;
        bool cancelNext = false;
        Form1::Environment environment;
        environment.fetchPage = [&](const std::u16string& url) {
            if (std::exchange(cancelNext, false)) {
                self->cancelQuery();
                return FetchedPage();
            }
            HttpAnswer answer;
            std::u16string text = XmlHttpRequest(url, {}, 0, 0, answer);
            return FetchedPage(std::move(text), answer);
        };
        auto form = makeForm(environment);
        self = form.get();
        check(*form, QStringLiteral("刷单小号"));
        cancelNext = cancelled;
        check(*form, account);
        QCOMPARE(control<QLineEdit>(*form, "ww")->text(), account);
        QTRY_VERIFY_WITH_TIMEOUT(test::documentHtml(*control<BrowserView>(*form, "W2"))
                                     .contains(QStringLiteral("「%1」没有报告</b>：%2").arg(account, why)),
                                 10000);
        QVERIFY(test::documentHtml(*control<BrowserView>(*form, "W2"))
                    .contains(QStringLiteral("下面仍是「刷单小号」的报告。")));
        // The list buttons act on the report shown, and say so.
        auto* block = control<QPushButton>(*form, "AddToBlockList");
        QCOMPARE(block->text(), QStringLiteral("把「刷单小号」加入黑名单"));
        QTest::mouseClick(block, Qt::LeftButton);
        LocalStore store(HistoryFilePath());
        QTRY_VERIFY(FindListEntry(store, u"刷单小号").has_value());
        QVERIFY(!FindListEntry(store, CoreText(account)).has_value());
    }

    void theSidePanelNeverCoversTheLoginPage() {
        auto form = makeForm();
        QVERIFY(form->Form_Load());
        auto* p1 = control<QWidget>(*form, "P1");
        auto* w1 = control<QWidget>(*form, "W1");
        auto* panel = control<QWidget>(*form, "CheckSidePanel");
        // The part of the login browser's page that shows: the browser within its frame.
        const auto pageShown = [&] { return p1->geometry() & w1->geometry().translated(p1->pos()); };
        const QRect alone = pageShown();
        check(*form, QStringLiteral("老实买家"));
        QVERIFY(panel->isVisibleTo(form.get()));
        QVERIFY(!pageShown().intersects(panel->geometry()));
        QVERIFY(pageShown().right() > panel->geometry().left() - 10);
        QTest::mouseClick(control<QPushButton>(*panel, "CloseSidePanel"), Qt::LeftButton);
        QCOMPARE(pageShown(), alone);
    }

    void escapeClosesTheWindowsTheMainWindowOpens_data() {
        QTest::addColumn<QString>("opener");
        QTest::newRow("批量查询") << "OpenBatchCheck";
        QTest::newRow("黑白名单") << "OpenBuyerLists";
        QTest::newRow("查询记录") << "OpenCheckHistory";
        QTest::newRow("报告") << QString();
    }

    void escapeClosesTheWindowsTheMainWindowOpens() {
        QFETCH(QString, opener);
        auto form = makeForm();
        form->show();
        QWidget* window = nullptr;
        if (opener.isEmpty()) {
            ReputationFacts facts;
            facts.account = u"老实买家";
            window = ShowReportWindow(form.get(), facts, m_programFolder.path());
        } else {
            QTest::mouseClick(control<QPushButton>(*form, opener.toLatin1().constData()), Qt::LeftButton);
            for (QWidget* opened : {form->batchCheckWindow(), form->buyerListWindow(), form->checkHistoryWindow()}) {
                window = opened != nullptr ? opened : window;
            }
        }
        QVERIFY(window != nullptr && window != form.get());
        QVERIFY(QTest::qWaitForWindowActive(window));
        QWidget* focus = window->focusWidget();
        QTest::keyClick(focus != nullptr ? focus : window, Qt::Key_Escape);
        QTRY_VERIFY(!window->isVisible());
        QVERIFY(form->isVisible());
    }

    void closingTheMainWindowEndsTheProgramAskingWhileAJobRuns_data() {
        QTest::addColumn<bool>("closeRanking"); // else the main window is closed
        QTest::addColumn<bool>("batchRuns");
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<bool>("ended");
        QTest::newRow("nothing runs") << false << false << false << true;
        QTest::newRow("a batch runs, stay") << false << true << false << false;
        QTest::newRow("a batch runs, end") << false << true << true << true;
        QTest::newRow("the ranking window closed, stay") << true << true << false << false;
    }

    void closingTheMainWindowEndsTheProgramAskingWhileAJobRuns() {
        QFETCH(bool, closeRanking);
        QFETCH(bool, batchRuns);
        QFETCH(bool, confirmed);
        QFETCH(bool, ended);
        test::RequestLog requests;
        requests.hold(true);
        Form1::Environment environment;
        environment.fetchPage = [&requests](const std::u16string& url) {
            return requests.enter(QtText(url)) ? FetchedPage(XmlHttpRequest(url, {}, 0, 0)) : FetchedPage();
        };
        auto form = makeForm(environment);
        form->show();
        form->Command2_Click();
        QTest::mouseClick(control<QPushButton>(*form, "OpenBatchCheck"), Qt::LeftButton);
        auto* batch = qobject_cast<BatchCheckWindow*>(form->batchCheckWindow());
        if (batchRuns) {
            control<QPlainTextEdit>(*batch, "Accounts")->setPlainText(QStringLiteral("老实买家"));
            batch->start();
            QTRY_COMPARE(requests.urls().size(), 1);
        }
        m_scope->messages.takeOffers(confirmed);
        (closeRanking ? form->rankingWindow() : form.get())->close();
        QCOMPARE(m_scope->messages.offers(),
                 batchRuns ? QStringList{"批量查询还没有结束，退出程序会停止它。\n确定要退出吗？"} : QStringList());
        for (QWidget* window : {static_cast<QWidget*>(form.get()), form->rankingWindow(), form->batchCheckWindow()}) {
            QCOMPARE(window->isVisible(), !ended);
        }
        QTRY_COMPARE(batch->isChecking(), batchRuns && !ended);
        batch->cancel();
        QTRY_VERIFY(!batch->isChecking());
    }

    void aDatabaseThatCannotBeUsedIsToldOnceAndTheReportsStillShow() {
        QFile plain(m_scope->data.filePath(QStringLiteral("plain")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        SetDataFolder((plain.fileName() + QStringLiteral("/sub")).toStdString());
        auto form = makeForm();
        auto* w2 = control<BrowserView>(*form, "W2");
        for (const QString& account : {QStringLiteral("老实买家"), QStringLiteral("皇冠旗舰店")}) {
            check(*form, account);
            QCOMPARE(control<QLineEdit>(*form, "ww")->text(), QString());
            QTRY_VERIFY_WITH_TIMEOUT(test::documentHtml(*w2).contains(account), 10000);
        }
        QCOMPARE(m_scope->messages.messages().size(), 1);
        QCOMPARE(m_scope->messages.messages().first().second, QStringLiteral("历史记录"));
        QVERIFY(m_scope->messages.messages().first().first.contains(QStringLiteral("无法打开历史记录库")));
        // What the database could not give is unknown, never "on no list" or "first check".
        const QString previous = control<QLabel>(*form, "PreviousCheck")->text();
        QVERIFY2(previous.startsWith(QStringLiteral("上次查询未知\n")) && previous.contains(QStringLiteral("没有存入")),
                 qPrintable(previous));
        auto* flag = control<QLabel>(*form, "ListFlag");
        QCOMPARE(flag->text(), QStringLiteral("名单状态未知"));
        QVERIFY(flag->toolTip().contains(QStringLiteral("无法打开历史记录库")));
        QVERIFY(!control<QPushButton>(*form, "RemoveFromList")->isEnabled());
    }

    void aLockedDatabaseNeverStopsTheWindowAndItsAnswerComesOnceFree_data() {
        QTest::addColumn<QString>("opener"); // empty: a check of 刷单小号 completes
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("waiting");
        QTest::addColumn<QString>("answer");
        QTest::newRow("a check") << ""
                                 << "ListFlag"
                                 << "正在读取名单…"
                                 << "在黑名单中：拍下不付款";
        QTest::newRow("the lists") << "OpenBuyerLists"
                                   << "ListCount"
                                   << "正在读取名单…"
                                   << "黑名单 1 个，白名单 0 个";
        QTest::newRow("the history") << "OpenCheckHistory"
                                     << "HistoryCount"
                                     << "正在读取查询记录…"
                                     << "共 1 次查询";
    }

    void aLockedDatabaseNeverStopsTheWindowAndItsAnswerComesOnceFree() {
        QFETCH(QString, opener);
        QFETCH(QString, label);
        QFETCH(QString, waiting);
        QFETCH(QString, answer);
        {
            LocalStore store(HistoryFilePath());
            QVERIFY(PutListEntries(store, {{u"刷单小号", BuyerList::Block, u"拍下不付款", 0}}));
            ReputationFacts facts;
            facts.account = u"刷单小号";
            QVERIFY(StoreCheck(store, facts, 1714543402));
        }
        auto form = makeForm();
        form->show();
        // Another program holds the file in the middle of a write, readers and all.
        auto other = std::make_unique<SQLite::Database>(HistoryFilePath(), SQLite::OPEN_READWRITE);
        other->exec("PRAGMA journal_mode = DELETE; BEGIN EXCLUSIVE; DELETE FROM checks;");
        // The window thread's longest pause, from the ticks of a timer.
        QElapsedTimer clock;
        qint64 lastTick = 0;
        qint64 longestPause = 0;
        QTimer ticks;
        QObject::connect(&ticks, &QTimer::timeout, [&] {
            longestPause = std::max(longestPause, clock.elapsed() - lastTick);
            lastTick = clock.elapsed();
        });
        clock.start();
        ticks.start(20);
        if (opener.isEmpty()) {
            control<QLineEdit>(*form, "ww")->setText(QStringLiteral("刷单小号"));
            form->Command1_Click();
        } else {
            QTest::mouseClick(control<QPushButton>(*form, opener.toLatin1().constData()), Qt::LeftButton);
        }
        auto* shown = form->findChild<QLabel*>(label);
        QVERIFY(shown != nullptr);
        QTest::qWait(1500);
        QVERIFY2(longestPause < 500, qPrintable(QStringLiteral("the window stood still for %1 ms").arg(longestPause)));
        QCOMPARE(shown->text(), waiting);
        other->exec("ROLLBACK");
        other.reset();
        QTRY_COMPARE_WITH_TIMEOUT(shown->text(), answer, 10000);
        QVERIFY(m_scope->messages.messages().isEmpty());
    }
};

TARVISK_DEMO_WINDOW_TEST_MAIN(CheckSidePanelTest)
#include "check_side_panel_test.moc"
