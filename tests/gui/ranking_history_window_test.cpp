#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include "app/ranking/ranking_history_window.h"
#include "app/ui/qt_text.h"
#include "app/ui/store_thread.h"
#include "core/date.h"
#include "store/local_store.h"
#include "store/ranking_history.h"
#include "text/settings.h"
#include "window_test_support.h"

using namespace tarvisk;
using test::control;

namespace {

const std::u16string kTarget = u"42054041382";
constexpr std::int64_t kDay = 24 * 60 * 60;

/// An item of the first result page of the older layout, at `place`.
RunItem item(int place, const std::u16string& id, const std::u16string& price, const std::u16string& sales) {
    return {.number = place,
            .page = 1,
            .place = place,
            .position = u"1页 1行 第" + QString::number(place).toStdU16String(),
            .id = id,
            .title = u"宝贝" + id,
            .shop = u"店铺" + id,
            .price = price,
            .sales = sales};
}

/// A run of 连衣裙 at `ranAt` that found the target after the items `above`.
RankingRun foundAfter(std::int64_t ranAt, std::vector<RunItem> above) {
    RankingRun run;
    run.ranAt = ranAt;
    run.keyword = u"连衣裙";
    run.target = ItemTarget(kTarget);
    run.outcome = RankingOutcome::Found;
    run.number = static_cast<int>(above.size()) + 1;
    run.page = 1;
    // Four items a row on the older page.
    run.row = 1 + (run.number - 1) / 4;
    run.column = 1 + (run.number - 1) % 4;
    run.itemId = kTarget;
    run.pagesAsked = 1;
    run.pagesWalked = 1;
    run.items = std::move(above);
    run.items.push_back(item(run.number, kTarget, u"59.00", u"10"));
    return run;
}

QStringList column(const QStandardItemModel& model, int column) {
    QStringList cells;
    for (int row = 0; row < model.rowCount(); ++row) {
        cells << model.item(row, column)->text();
    }
    return cells;
}

QString minute(std::int64_t unixSeconds) {
    return QString::fromStdString(LocalTimeText(unixSeconds)).left(16);
}

} // namespace

class RankingHistoryWindowTest : public test::WindowTest {
    Q_OBJECT

private slots:
    // Each item above the target with how it moved since the run before: up, down, the same, new (without what it
    // was before); a double click asks for its page, and the table exports.
    void theCompetitorsOfTheNewestRunShowHowTheyMoved() {
        LocalStore store(HistoryFilePath());
        StoreThread storeThread(HistoryFilePath());
        const std::int64_t now = UnixTimeNow();
        QVERIFY(StoreRankingRun(
            store, foundAfter(now - 2 * kDay, {item(1, u"501", u"10.00", u"7"), item(2, u"502", u"20.00", u"8"),
                                               item(3, u"503", u"30.00", u"9")})));
        QVERIFY(StoreRankingRun(
            store, foundAfter(now - kDay, {item(1, u"501", u"11.00", u"17"), item(2, u"503", u"30.00", u"19"),
                                           item(3, u"502", u"25.00", u"18"), item(4, u"504", u"40.00", u"1")})));
        RankingHistoryWindow window(storeThread);
        window.showTarget(ItemTarget(kTarget), {u"连衣裙"});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        control<QTabWidget>(window, "HistoryTabs")->setCurrentIndex(1);

        const QStandardItemModel& competitors = window.competitors();
        QTRY_COMPARE(competitors.rowCount(), 4);
        QCOMPARE(column(competitors, 0), (QStringList{"1", "2", "3", "4"}));
        QCOMPARE(column(competitors, 2), (QStringList{"宝贝501", "宝贝503", "宝贝502", "宝贝504"}));
        QCOMPARE(column(competitors, 7), (QStringList{"=", "↑1", "↓1", "新上榜"}));
        QCOMPARE(column(competitors, 8), (QStringList{"7", "9", "8", ""}));
        QCOMPARE(column(competitors, 9), (QStringList{"10.00", "30.00", "20.00", ""}));
        QCOMPARE(control<QLabel>(window, "HistoryCompetitorLine")->text(),
                 minute(now - kDay) + QStringLiteral(" 的查询，找到于 1页 2行 第1，前面有 4 个宝贝；与 ") +
                     minute(now - 2 * kDay) + QStringLiteral(" 比较"));

        auto* view = control<QTableView>(window, "HistoryCompetitors");
        QSignalSpy asked(&window, &RankingHistoryWindow::itemPageRequested);
        // An item view takes a double click only on the row the press before it was on.
        const QPoint row = view->visualRect(competitors.index(3, 2)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, row);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.at(0).at(0).toString(), QStringLiteral("https://item.taobao.com/item.htm?id=504"));

        const QString file = m_scope->data.filePath(QStringLiteral("竞品.csv"));
        test::FileAnswers answers(file);
        control<QPushButton>(window, "ExportCompetitors")->click();
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = csv.readAll().split('\n');
        QCOMPARE(lines.size(), 6); // the header, four items, and the empty text after the last line end
        QVERIFY(lines[0].startsWith("\xEF\xBB\xBF名次,页,位置,宝贝ID"));
        QCOMPARE(QString::fromUtf8(lines[4]),
                 QStringLiteral("4,1,1页 1行 第4,\"=\"\"504\"\"\",宝贝504,店铺504,40.00,1,,新上榜,,\r"));
    }

    // What the line says for a keyword without a run to compare: one run alone, or only a run without an answer.
    void aKeywordWithoutTwoAnswersSaysSo() {
        LocalStore store(HistoryFilePath());
        StoreThread storeThread(HistoryFilePath());
        const std::int64_t now = UnixTimeNow();
        QVERIFY(StoreRankingRun(store, foundAfter(now - kDay, {item(1, u"501", u"10.00", u"7")})));
        RankingRun incomplete = foundAfter(now, {});
        incomplete.keyword = u"手机壳";
        incomplete.outcome = RankingOutcome::Incomplete;
        incomplete.items.clear();
        QVERIFY(StoreRankingRun(store, incomplete));
        RankingHistoryWindow window(storeThread);
        window.showTarget(ItemTarget(kTarget), {u"连衣裙", u"手机壳"});
        auto* line = control<QLabel>(window, "HistoryCompetitorLine");
        auto* keywords = control<QTableView>(window, "HistoryKeywords");
        QTRY_COMPARE(keywords->model()->rowCount(), 2);
        keywords->setCurrentIndex(keywords->model()->index(0, 0));
        QTRY_COMPARE(line->text(), QStringLiteral("这个关键字还没有查到结果"));
        QCOMPARE(window.competitors().rowCount(), 0);
        keywords->setCurrentIndex(keywords->model()->index(1, 0));
        QTRY_VERIFY(line->text().endsWith(QStringLiteral("前面有 1 个宝贝；还没有上一次同类的查询可比较")));
        QCOMPARE(window.competitors().rowCount(), 1);
    }

    void pruningDeletesTheRunsOlderThanTheDaysChosen() {
        LocalStore store(HistoryFilePath());
        StoreThread storeThread(HistoryFilePath());
        const std::int64_t now = UnixTimeNow();
        QVERIFY(StoreRankingRun(store, foundAfter(now - 400 * kDay, {})));
        QVERIFY(StoreRankingRun(store, foundAfter(now - 200 * kDay, {})));
        QVERIFY(StoreRankingRun(store, foundAfter(now - kDay, {})));
        RankingHistoryWindow window(storeThread);
        window.reload();
        QTRY_COMPARE(window.runs().rowCount(), 3);

        control<QPushButton>(window, "PruneRankingRuns")->click();
        auto* dialog = control<QDialog>(window, "PruneDialog");
        auto* days = control<QSpinBox>(*dialog, "PruneDays");
        QCOMPARE(days->value(), kDefaultPruneDays);
        days->setValue(100);
        QCOMPARE(control<QLabel>(*dialog, "PruneQuestion")->text(),
                 QStringLiteral("删除 100 天以前的排名记录？删除后不能恢复。"));
        control<QPushButton>(*dialog, "Prune")->click();
        QTRY_COMPARE(window.runs().rowCount(), 1);
        QTRY_COMPARE(m_scope->messages.messages().size(), 1);
        QVERIFY(m_scope->messages.messages().at(0).first.startsWith(QStringLiteral("已删除 2 次排名查询（早于 ")));
        QCOMPARE(StoredRankingRuns(store, {}, std::nullopt)->size(), 1u);
        // The days chosen are offered the next time.
        control<QPushButton>(window, "PruneRankingRuns")->click();
        QTRY_COMPARE(window.findChildren<QDialog*>(QStringLiteral("PruneDialog")).size(), 1);
        QCOMPARE(control<QSpinBox>(window, "PruneDays")->value(), 100);
    }

    void theAlertsShowOnlyWhenThereAreSome() {
        StoreThread storeThread(HistoryFilePath());
        RankingHistoryWindow window(storeThread);
        auto* box = control<QGroupBox>(window, "HistoryAlertBox");
        QVERIFY(box->isHidden());
        window.showAlerts(
            {QStringLiteral("连衣裙：下降8位：1页 1行 第3 → 1页 3行 第3"), QStringLiteral("手机壳：跌出")});
        QVERIFY(!box->isHidden());
        QCOMPARE(control<QListWidget>(window, "HistoryAlerts")->count(), 2);
        window.showAlerts({});
        QVERIFY(box->isHidden());
    }
};

TARVISK_WINDOW_TEST_MAIN(RankingHistoryWindowTest)
#include "ranking_history_window_test.moc"
