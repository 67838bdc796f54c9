#include <tuple>

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "app/main/check_history_window.h"
#include "app/ui/qt_text.h"
#include "core/date.h"
#include "store/buyer_lists.h"
#include "store/check_history.h"
#include "app/ui/store_thread.h"
#include "store/local_store.h"
#include "window_test_support.h"

using namespace tarvisk;
using test::control;

namespace {

ReputationFacts facts(const std::u16string& account, double buyerCredit, Verdict verdict) {
    ReputationFacts f;
    f.account = account;
    f.registrationDate = u"2014年11月26日";
    f.daysSinceRegistration = 3500;
    f.buyerCredit = buyerCredit;
    f.verdict = verdict;
    return f;
}

/// Column `column` of every row.
QStringList column(const QAbstractItemModel& model, int column) {
    QStringList cells;
    for (int row = 0; row < model.rowCount(); ++row) {
        cells << model.index(row, column).data().toString();
    }
    return cells;
}

} // namespace

class CheckHistoryWindowTest : public test::WindowTest {
    Q_OBJECT

    QTemporaryDir m_programFolder;

private slots:
    void theStoredChecksShowNewestFirstWithThePreviousVerdictAndTheList() {
        LocalStore store(HistoryFilePath());
        StoreThread storeThread(HistoryFilePath());
        QVERIFY(StoreCheck(store, facts(u"甲", 10, Verdict::Safe), 1714543402));
        QVERIFY(StoreCheck(store, facts(u"乙", 20, Verdict::Unsafe), 1714543500));
        QVERIFY(StoreCheck(store, facts(u"甲", 30, Verdict::Unsafe), 1714600000));
        QVERIFY(PutListEntries(store, {{u"乙", BuyerList::Block, u"差评师", 0}}));
        CheckHistoryWindow window(storeThread, m_programFolder.path());
        window.show();
        QCOMPARE(window.windowTitle(), QStringLiteral("查询记录"));
        const QAbstractItemModel& model = window.checks();
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("查询时间"));
        QTRY_COMPARE(column(model, 0), (QStringList{QString::fromStdString(LocalTimeText(1714600000)),
                                                    QString::fromStdString(LocalTimeText(1714543500)),
                                                    QString::fromStdString(LocalTimeText(1714543402))}));
        QTRY_COMPARE(column(model, 1), (QStringList{"甲", "乙", "甲"}));
        QTRY_COMPARE(column(model, 2), (QStringList{"不安全", "不安全", "安全"}));
        QTRY_COMPARE(column(model, 4), (QStringList{"0", "0", "0"}));
        QTRY_COMPARE(column(model, 5), (QStringList{"30", "20", "10"}));
        QTRY_COMPARE(column(model, 8), (QStringList{"", "黑名单", ""}));
        QTRY_COMPARE(column(model, 9), (QStringList{"安全", "", ""}));
        QTRY_COMPARE(column(model, 10), (QStringList{"", "差评师", ""}));
        QTRY_COMPARE(control<QLabel>(window, "HistoryCount")->text(), QStringLiteral("共 3 次查询"));

        control<QLineEdit>(window, "HistoryAccount")->setText(QStringLiteral("甲"));
        QTest::mouseClick(control<QPushButton>(window, "ShowHistory"), Qt::LeftButton);
        QTRY_COMPARE(column(model, 5), (QStringList{"30", "10"}));

        // The window shows checks made since it was last shown.
        QVERIFY(StoreCheck(store, facts(u"甲", 40, Verdict::Safe), 1714700000));
        window.hide();
        window.show();
        QTRY_COMPARE(column(model, 5), (QStringList{"40", "30", "10"}));
    }

    void theFilterMatchesPartOfAName_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("credits");
        QTest::newRow("all") << "" << QStringList{"50", "30", "20", "10"};
        QTest::newRow("part of two names") << "甲" << QStringList{"50", "30", "10"};
        QTest::newRow("a whole name, with blanks") << " 乙 " << QStringList{"20"};
        QTest::newRow("none") << "丙" << QStringList{};
    }

    void theFilterMatchesPartOfAName() {
        QFETCH(QString, typed);
        QFETCH(QStringList, credits);
        LocalStore store(HistoryFilePath());
        StoreThread storeThread(HistoryFilePath());
        const std::tuple<const char16_t*, double, std::int64_t> checks[] = {
            {u"甲", 10, 1714543402}, {u"乙", 20, 1714543500}, {u"甲", 30, 1714600000}, {u"老甲", 50, 1714700000}};
        for (const auto& [account, credit, time] : checks) {
            QVERIFY(StoreCheck(store, facts(account, credit, Verdict::Safe), time));
        }
        CheckHistoryWindow window(storeThread, m_programFolder.path());
        window.show();
        control<QLineEdit>(window, "HistoryAccount")->setText(typed);
        QTest::keyClick(control<QLineEdit>(window, "HistoryAccount"), Qt::Key_Return);
        QTRY_COMPARE(column(window.checks(), 5), credits);
        QTRY_COMPARE(control<QLabel>(window, "HistoryCount")->text(),
                     QStringLiteral("共 %1 次查询").arg(credits.size()));
    }

    void rowsAreReadAPageAtATimeAndOnlyTheLatestPagesKept() {
        QList<std::size_t> reads;
        CheckPageModel model(true);
        const std::size_t rows = CheckPageModel::kPageRows * (CheckPageModel::kPagesKept + 2);
        model.reset(rows, [&reads](std::size_t offset, std::size_t count, const CheckPageModel::PageDone& done) {
            reads << offset;
            std::vector<CheckRow> page(count);
            for (std::size_t i = 0; i < count; ++i) {
                page[i].account = QString::number(offset + i).toStdU16String();
            }
            done(std::move(page));
        });
        const auto account = [&model](std::size_t row) { return model.index(int(row), 1).data().toString(); };
        QCOMPARE(model.rowCount(), int(rows));
        QCOMPARE(account(0), QStringLiteral("0"));
        QCOMPARE(account(CheckPageModel::kPageRows - 1), QString::number(CheckPageModel::kPageRows - 1));
        QCOMPARE(reads, QList<std::size_t>{0});
        // Every page once: the first is then read again, the latest ones are not.
        for (std::size_t row = 0; row < rows; row += CheckPageModel::kPageRows) {
            QCOMPARE(account(row + 7), QString::number(row + 7));
        }
        QCOMPARE(std::size_t(reads.size()), CheckPageModel::kPagesKept + 2);
        QCOMPARE(account(rows - 1), QString::number(rows - 1));
        QCOMPARE(std::size_t(reads.size()), CheckPageModel::kPagesKept + 2);
        QCOMPARE(account(0), QStringLiteral("0"));
        QCOMPARE(reads.last(), std::size_t(0));
        QCOMPARE(model.index(int(rows), 1).data(), QVariant());
    }

    void aDoubleClickShowsTheReportAsItWasThen() {
        LocalStore store(HistoryFilePath());
        StoreThread storeThread(HistoryFilePath());
        QVERIFY(StoreCheck(store, facts(u"甲", 286, Verdict::Safe), 1714543402));
        CheckHistoryWindow window(storeThread, m_programFolder.path());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* table = control<QTableView>(window, "HistoryTable");
        QTRY_COMPARE(table->model()->index(0, 1).data().toString(), QStringLiteral("甲"));
        const QPoint cell = table->visualRect(table->model()->index(0, 1)).center();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell);
        QWidget* report = window.findChild<QWidget*>(QStringLiteral("ReportWindow"));
        QVERIFY(report != nullptr && report->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(test::documentHtml(*control<QWebEngineView>(*report, "Report"))
                                     .contains(QStringLiteral("买家信用：<span style=\"color:#36c\">286")),
                                 10000);
    }

    void theHistoryExportsToCsv() {
        LocalStore store(HistoryFilePath());
        StoreThread storeThread(HistoryFilePath());
        CheckHistoryWindow window(storeThread, m_programFolder.path());
        window.show();
        const QString file = m_scope->data.filePath(QStringLiteral("记录.csv"));
        test::FileAnswers answers(file);
        QTRY_COMPARE(control<QLabel>(window, "HistoryCount")->text(), QStringLiteral("共 0 次查询"));
        QTest::mouseClick(control<QPushButton>(window, "ExportHistory"), Qt::LeftButton);
        QTRY_COMPARE(m_scope->messages.messages().size(), 1);

        QVERIFY(StoreCheck(store, facts(u"甲", 10, Verdict::Safe), 1714543402));
        QVERIFY(StoreCheck(store, facts(u"甲", 30, Verdict::Unsafe), 1714600000));
        QTest::mouseClick(control<QPushButton>(window, "ShowHistory"), Qt::LeftButton);
        QTRY_COMPARE(window.checks().rowCount(), 2);
        QTest::mouseClick(control<QPushButton>(window, "ExportHistory"), Qt::LeftButton);
        QTRY_VERIFY(QFile::exists(file));
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = csv.readAll().split('\n');
        QCOMPARE(lines.size(), 4); // header, two checks, nothing after the last CR LF
        QVERIFY(lines[1].startsWith(QByteArray::fromStdString(LocalTimeText(1714600000)) + ",甲,"));
        QVERIFY(lines[1].endsWith("," + QByteArray::fromStdString(LocalTimeText(1714543402)) + ",安全,\r"));
    }
};

TARVISK_WINDOW_TEST_MAIN(CheckHistoryWindowTest)
#include "check_history_window_test.moc"
