// The batch check window on the demo marketplace, logged in: pasted accounts checked into the table, a second
// batch showing the previous verdicts, cancel, the full report of a row, CSV export.

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTest>

#include "app/browser/browser_view.h"
#include "app/browser/verification_pause.h"
#include "app/main/batch_check_window.h"
#include "app/ui/qt_text.h"
#include "jobs/reputation/reputation.h"
#include "net/xml_http.h"
#include "store/buyer_lists.h"
#include "store/check_history.h"
#include "app/ui/store_thread.h"
#include "store/local_store.h"
#include "text/settings.h"
#include "window_test_support.h"

using namespace tarvisk;
using test::control;

namespace {

/// The table's texts: one line a row, cells joined by "|".
QStringList tableTexts(const QAbstractItemModel& model) {
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model.columnCount(); ++column) {
            cells << model.index(row, column).data().toString();
        }
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

bool runBatch(BatchCheckWindow& window, const QString& accounts) {
    control<QPlainTextEdit>(window, "Accounts")->setPlainText(accounts);
    QSignalSpy finished(&window, &BatchCheckWindow::batchFinished);
    QTest::mouseClick(control<QPushButton>(window, "StartBatch"), Qt::LeftButton);
    return finished.wait(60000);
}

} // namespace

class BatchCheckWindowTest : public test::WindowTest {
    Q_OBJECT

    QTemporaryDir m_programFolder;

private slots:
    void pastedAccountsAreCheckedOneAfterAnotherIntoTheTable() {
        LocalStore store(HistoryFilePath());
        StoreThread storeThread(HistoryFilePath());
        QVERIFY(PutListEntries(store, {{u"刷单小号", BuyerList::Block, u"拍下不付款", 0}}));
        BatchCheckWindow window(storeThread, {}, m_programFolder.path());
        QCOMPARE(window.windowTitle(), QStringLiteral("批量查询买家信誉"));
        const QString pasted = QStringLiteral("老实买家\n\n刷单小号\r\n老实买家\n被封账号\n  小白新号 \n");
        QVERIFY(runBatch(window, pasted));
        const QString banned = QtText(kBannedMessage);
        QCOMPARE(
            tableTexts(window.results()),
            (QStringList{
                "老实买家|安全|" + QtText(LatestCheck(store, u"老实买家")->facts.registrationDate) + "|0|286|1|6|||",
                "刷单小号|不安全|" + QtText(LatestCheck(store, u"刷单小号")->facts.registrationDate) +
                    "|0|75|7|11|黑名单||拍下不付款",
                "被封账号|未完成||||||||" + banned,
                "小白新号|不安全|" + QtText(LatestCheck(store, u"小白新号")->facts.registrationDate) + "|0|2|1|2|||",
            }));
        QCOMPARE(control<QLabel>(window, "BatchSummary")->text(),
                 QStringLiteral("共 4 个账号：安全 1，不安全 2，未完成 1"));
        QVERIFY(!control<QWidget>(window, "JobProgress")->isVisibleTo(&window));
        QVERIFY(control<QPushButton>(window, "StartBatch")->isEnabled());
        // Every report is in the history; the stop is not.
        QCOMPARE(StoredChecks(store, {})->size(), 3u);

        // A second batch shows each account's previous verdict.
        QVERIFY(runBatch(window, QStringLiteral("小白新号\n老实买家")));
        const QStringList second = tableTexts(window.results());
        QCOMPARE(second.size(), 2);
        QVERIFY2(second[0].endsWith(QStringLiteral("||不安全|")), qPrintable(second[0]));
        QVERIFY2(second[1].endsWith(QStringLiteral("||安全|")), qPrintable(second[1]));
        QCOMPARE(StoredChecks(store, {})->size(), 5u);
        QVERIFY(m_scope->messages.messages().isEmpty());
    }

    void aDatabaseThatCannotBeReadLeavesTheListAndThePreviousCheckUnknown() {
        QFile plain(m_scope->data.filePath(QStringLiteral("plain")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        LocalStore store((plain.fileName() + QStringLiteral("/sub/history.sqlite3")).toStdString());
        StoreThread storeThread((plain.fileName() + QStringLiteral("/sub/history.sqlite3")).toStdString());
        BatchCheckWindow window(storeThread, {}, m_programFolder.path());
        QVERIFY(runBatch(window, QStringLiteral("刷单小号\n被封账号")));
        const QStringList rows = tableTexts(window.results());
        QVERIFY2(rows[0].endsWith(QStringLiteral("|名单状态未知|上次查询未知|")), qPrintable(rows[0]));
        QVERIFY2(rows[1].contains(QStringLiteral("|名单状态未知||")), qPrintable(rows[1]));
        const int listColumn = 7;
        QVERIFY(window.results()
                    .index(0, listColumn)
                    .data(Qt::ToolTipRole)
                    .toString()
                    .contains(QStringLiteral("无法打开历史记录库")));
        QCOMPARE(m_scope->messages.messages().size(), 1);
    }

    // The slider shows in a window of the login browser; passed, the batch goes on with the same account.
    void aSliderPausesTheBatchUntilItIsPassedOrCancelled_data() {
        QTest::addColumn<bool>("pass");
        // Cancelled first: the browser keeps a pass for the rest of the run.
        QTest::newRow("cancelled") << false;
        QTest::newRow("passed") << true;
    }
    void aSliderPausesTheBatchUntilItIsPassedOrCancelled() {
        QFETCH(bool, pass);
        LocalStore store(HistoryFilePath());
        StoreThread storeThread(HistoryFilePath());
        BatchCheckWindow window(storeThread, {}, m_programFolder.path());
        control<QSpinBox>(window, "Pause")->setValue(0);
        control<QPlainTextEdit>(window, "Accounts")->setPlainText(QStringLiteral("老实买家\n评价要验证\n刷单小号"));
        QSignalSpy finished(&window, &BatchCheckWindow::batchFinished);
        QTest::mouseClick(control<QPushButton>(window, "StartBatch"), Qt::LeftButton);
        const VerificationPause& pause = window.verificationPause();
        QTRY_VERIFY_WITH_TIMEOUT(pause.isWaiting() && pause.window()->isVisible(), 30000);
        QCOMPARE(control<QLabel>(*pause.window(), "VerificationLine")->text(),
                 QStringLiteral("请在这个窗口中拖动滑块完成验证，完成后批量查询会自动继续"));
        QTRY_VERIFY_WITH_TIMEOUT(test::documentHtml(*pause.view()).contains(QLatin1String("nc_1_n1z")), 10000);
        if (pass) {
            pause.view()->page()->runJavaScript(QStringLiteral("document.getElementById('nc_1_n1z').click()"));
        } else {
            control<QPushButton>(*pause.window(), "VerificationCancel")->click();
        }
        QVERIFY(finished.wait(60000));
        QVERIFY(!pause.window()->isVisible());
        const QStringList rows = tableTexts(window.results());
        QCOMPARE(rows.size(), 3);
        QVERIFY2(rows[0].startsWith(QStringLiteral("老实买家|安全|")), qPrintable(rows[0]));
        QVERIFY2(rows[1].startsWith(pass ? QStringLiteral("评价要验证|安全|") : QStringLiteral("评价要验证|未完成|")),
                 qPrintable(rows[1]));
        QVERIFY2(rows[2].startsWith(pass ? QStringLiteral("刷单小号|不安全|") : QStringLiteral("刷单小号|未完成|")),
                 qPrintable(rows[2]));
        QCOMPARE(StoredChecks(store, {})->size(), pass ? 3u : 1u);
        QVERIFY(m_scope->messages.messages().isEmpty());
    }

    // A login that never holds (the rating page asks again after every login): after two the window says so, and
    // 跳过 leaves that account unchecked for 接着查询 while the batch goes on with the next.
    void aLoginThatNeverHoldsIsSkippedAndTheBatchGoesOn() {
        LocalStore store(HistoryFilePath());
        StoreThread storeThread(HistoryFilePath());
        BatchCheckWindow window(storeThread, {}, m_programFolder.path());
        control<QSpinBox>(window, "Pause")->setValue(0);
        control<QPlainTextEdit>(window, "Accounts")->setPlainText(QStringLiteral("评价要登录\n刷单小号"));
        QSignalSpy finished(&window, &BatchCheckWindow::batchFinished);
        QTest::mouseClick(control<QPushButton>(window, "StartBatch"), Qt::LeftButton);
        const VerificationPause& pause = window.verificationPause();
        QTRY_VERIFY_WITH_TIMEOUT(pause.isWaiting() && pause.window()->isVisible(), 30000);
        auto* line = control<QLabel>(*pause.window(), "VerificationLine");
        for (int login = 0; login < 2; ++login) {
            QTRY_VERIFY_WITH_TIMEOUT(test::documentHtml(*pause.view()).contains(QLatin1String("TPL_password")), 10000);
            pause.view()->page()->runJavaScript(QStringLiteral(
                "document.querySelector('[name=TPL_username]').value = 'tarvisk_demo';"
                "document.querySelector('[name=TPL_password]').value = 'demo1234'; document.forms[0].submit();"));
            QTRY_VERIFY_WITH_TIMEOUT(!test::documentHtml(*pause.view()).contains(QLatin1String("demo1234")), 10000);
        }
        QTRY_VERIFY_WITH_TIMEOUT(line->text().startsWith(QStringLiteral("已经登录了2次，淘宝仍然要求登录。")), 10000);
        auto* skip = control<QPushButton>(*pause.window(), "VerificationSkip");
        QCOMPARE(skip->text(), QStringLiteral("跳过这个账号"));
        skip->click();
        QVERIFY(finished.wait(60000));
        const QStringList rows = tableTexts(window.results());
        QVERIFY2(rows[0].startsWith(QStringLiteral("评价要登录|未完成|")) &&
                     rows[0].contains(QStringLiteral("跳过了登录或验证，没有查询")),
                 qPrintable(rows[0]));
        QVERIFY2(rows[1].startsWith(QStringLiteral("刷单小号|不安全|")), qPrintable(rows[1]));
        QCOMPARE(StoredChecks(store, {})->size(), 1u);
    }

    void thePauseBetweenAccountsIsTheOneTheRankingWindowUses() {
        WriteSetting(u"Pause", u"7");
        LocalStore store(HistoryFilePath());
        StoreThread storeThread(HistoryFilePath());
        BatchCheckWindow window(storeThread, {}, m_programFolder.path());
        window.show();
        auto* pause = control<QSpinBox>(window, "Pause");
        QCOMPARE(pause->value(), 7);
        pause->setValue(0);
        QCOMPARE(ReadSetting(u"Pause"), u"0");
        QCOMPARE(pause->text(), QStringLiteral("不停顿"));
        WriteSetting(u"Pause", u"3");
        window.hide();
        window.show();
        QCOMPARE(pause->text(), QStringLiteral("3 秒"));
    }

    void aBatchWithoutAccountsSaysSo() {
        LocalStore store(HistoryFilePath());
        StoreThread storeThread(HistoryFilePath());
        BatchCheckWindow window(storeThread, {}, m_programFolder.path());
        control<QPlainTextEdit>(window, "Accounts")->setPlainText(QStringLiteral(" \n\t\n"));
        QTest::mouseClick(control<QPushButton>(window, "StartBatch"), Qt::LeftButton);
        QCOMPARE(m_scope->messages.messages().size(), 1);
        QVERIFY(!window.isChecking());
    }

    void cancelStopsTheBatchAndTheAccountUnderWayIsNotCounted() {
        test::RequestLog requests;
        requests.hold(true);
        LocalStore store(HistoryFilePath());
        StoreThread storeThread(HistoryFilePath());
        BatchCheckWindow window(
            storeThread,
            [&requests](const std::u16string& url) {
                return requests.enter(QtText(url)) ? XmlHttpRequest(url, {}, 0, 0) : std::u16string();
            },
            m_programFolder.path());
        window.show();
        control<QPlainTextEdit>(window, "Accounts")->setPlainText(QStringLiteral("老实买家\n刷单小号\n小白新号"));
        QSignalSpy finished(&window, &BatchCheckWindow::batchFinished);
        QTest::mouseClick(control<QPushButton>(window, "StartBatch"), Qt::LeftButton);
        QTRY_COMPARE(requests.urls().size(), 1);
        QVERIFY(window.isChecking());
        QVERIFY(!control<QPushButton>(window, "StartBatch")->isEnabled());
        QTRY_VERIFY(control<QLabel>(window, "JobProgressText")->text().contains(QStringLiteral("第 1 / 3 个账号")));
        QTest::mouseClick(control<QPushButton>(window, "CancelJob"), Qt::LeftButton);
        QVERIFY(finished.wait(10000));
        QCOMPARE(requests.urls().size(), 1);
        for (const QString& row : tableTexts(window.results())) {
            QVERIFY2(row.endsWith(QStringLiteral("|未完成||||||||已停止，没有查询")), qPrintable(row));
        }
        QCOMPARE(StoredChecks(store, {})->size(), 0u);
        QVERIFY(m_scope->messages.messages().isEmpty());
    }

    void aStoppedBatchGoesOnWithTheAccountsItLeftAndNoColumnIsCut_data() {
        QTest::addColumn<bool>("goOn");
        QTest::addColumn<int>("requestsAfter");
        QTest::newRow("go on") << true << 2 * 2; // the two accounts left: profile and rating page each
        QTest::newRow("not now") << false << 0;
    }

    void aStoppedBatchGoesOnWithTheAccountsItLeftAndNoColumnIsCut() {
        QFETCH(bool, goOn);
        QFETCH(int, requestsAfter);
        // The second account's first page waits until the batch is cancelled.
        test::RequestLog requests;
        const std::u16string held = ProfileUrl(u"刷单小号");
        LocalStore store(HistoryFilePath());
        StoreThread storeThread(HistoryFilePath());
        BatchCheckWindow window(
            storeThread,
            [&](const std::u16string& url) {
                requests.hold(url == held && requests.urls().size() < 3);
                return requests.enter(QtText(url)) ? XmlHttpRequest(url, {}, 0, 0) : std::u16string();
            },
            m_programFolder.path());
        window.resize(700, 400);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        control<QPlainTextEdit>(window, "Accounts")->setPlainText(QStringLiteral("皇冠旗舰店\n刷单小号\n老实买家"));
        QSignalSpy finished(&window, &BatchCheckWindow::batchFinished);
        QTest::mouseClick(control<QPushButton>(window, "StartBatch"), Qt::LeftButton);
        QTRY_COMPARE(requests.urls().size(), 3);
        QTRY_COMPARE(window.results().index(0, 1).data().toString(), QStringLiteral("安全"));

        // Mid-batch, every column but the remark is as wide as its texts.
        auto* table = control<QTableView>(window, "BatchResults");
        const QAbstractItemView* view = table;
        for (int column = 0; column + 1 < table->model()->columnCount(); ++column) {
            QVERIFY2(table->columnWidth(column) >= view->sizeHintForColumn(column),
                     qPrintable(QString::number(column)));
        }
        QTest::mouseClick(control<QPushButton>(window, "CancelJob"), Qt::LeftButton);
        QVERIFY(finished.wait(10000));
        const QStringList stopped = tableTexts(window.results());

        // Started again on the same accounts, it offers to go on with the two it left.
        m_scope->messages.takeOffers(goOn);
        QTest::mouseClick(control<QPushButton>(window, "StartBatch"), Qt::LeftButton);
        QCOMPARE(
            m_scope->messages.offers(),
            QStringList{"上次的批量查询没有查完：还有 2 个账号没有查询。\n接着查询这 2 个账号，还是全部重新查询？"});
        if (goOn) {
            QVERIFY(finished.wait(60000));
        }
        QCOMPARE(requests.urls().size(), 3 + requestsAfter);
        const QStringList rows = tableTexts(window.results());
        QCOMPARE(rows.first(), stopped.first());
        for (const QString& row : rows.mid(1)) {
            QVERIFY2(row.contains(QStringLiteral("安全")) == goOn, qPrintable(row));
        }
    }

    void aDoubleClickShowsTheFullReportOrWhyThereIsNone() {
        LocalStore store(HistoryFilePath());
        StoreThread storeThread(HistoryFilePath());
        BatchCheckWindow window(storeThread, {}, m_programFolder.path());
        QVERIFY(runBatch(window, QStringLiteral("皇冠旗舰店\n被封账号")));
        auto* table = control<QTableView>(window, "BatchResults");
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const auto doubleClick = [table](int row) {
            const QPoint cell = table->visualRect(table->model()->index(row, 0)).center();
            QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell);
            QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell);
        };
        doubleClick(0);
        QWidget* report = window.findChild<QWidget*>(QStringLiteral("ReportWindow"));
        QVERIFY(report != nullptr && report->isWindow() && report->isVisible());
        QCOMPARE(report->windowTitle(), QStringLiteral("信誉报告 - 皇冠旗舰店"));
        QTRY_VERIFY_WITH_TIMEOUT(test::documentHtml(*control<QWebEngineView>(*report, "Report"))
                                     .contains(QStringLiteral("卖家信用：<span style=\"color:#36c\">1286400")),
                                 10000);
        doubleClick(1);
        QCOMPARE(m_scope->messages.messages().size(), 1);
        QCOMPARE(m_scope->messages.messages().first().first, QtText(kBannedMessage));
    }

    void theTableExportsToCsv() {
        LocalStore store(HistoryFilePath());
        StoreThread storeThread(HistoryFilePath());
        BatchCheckWindow window(storeThread, {}, m_programFolder.path());
        const QString file = m_scope->data.filePath(QStringLiteral("批量.csv"));
        test::FileAnswers answers(file);
        QTest::mouseClick(control<QPushButton>(window, "ExportBatch"), Qt::LeftButton);
        QCOMPARE(m_scope->messages.messages().size(), 1);
        QVERIFY(!QFile::exists(file));

        QVERIFY(runBatch(window, QStringLiteral("老实买家\n被封账号")));
        QTest::mouseClick(control<QPushButton>(window, "ExportBatch"), Qt::LeftButton);
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QByteArray bytes = csv.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"
                                 "查询时间,账号,"));
        QCOMPARE(bytes.count("\r\n"), 3);
        QVERIFY(bytes.contains(",老实买家,"));
        QVERIFY(bytes.contains(QtText(kBannedMessage).toUtf8() + "\r\n"));
        QCOMPARE(answers.titles(), QStringList{QStringLiteral("导出CSV")});
    }
};

TARVISK_DEMO_WINDOW_TEST_MAIN(BatchCheckWindowTest)
#include "batch_check_window_test.moc"
