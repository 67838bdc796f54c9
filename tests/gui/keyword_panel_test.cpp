#include <algorithm>
#include <atomic>
#include <map>
#include <set>
#include <mutex>

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QHeaderView>
#include <QLineEdit>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QRadioButton>
#include <QScatterSeries>
#include <QSet>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableView>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>
#include <QToolTip>
#include <QThread>
#include <QUrlQuery>
#include <QValueAxis>

#include "app/ranking/keyword_panel.h"
#include "app/ranking/ranking_chart.h"
#include "app/ranking/ranking_history_window.h"
#include "app/main/ranking_desk.h"
#include "app/ranking/so_pai_ming.h"
#include "app/session/ranking_session.h"
#include "app/shop/so_shop_goods.h"
#include "app/ui/qt_text.h"
#include "core/cancel.h"
#include "core/hooks.h"
#include "app/ui/store_thread.h"
#include "store/local_store.h"
#include "store/ranking_history.h"
#include "support/fake_pages.h"
#include "window_test_support.h"

using namespace tarvisk;
using test::control;

namespace {

const QString kTarget = QStringLiteral("42054041382");

/// A search of 44 items a page in which the target stands at a set row number for each keyword (0: nowhere).
class PlacedSearch {
public:
    void place(const QString& keyword, int number) {
        const std::lock_guard lock(m_mutex);
        m_numbers[keyword] = number;
    }
    /// The search of `keyword` meets a login page, until unblock().
    void block(const QString& keyword) {
        const std::lock_guard lock(m_mutex);
        m_blocked.insert(keyword);
    }
    void unblock() {
        const std::lock_guard lock(m_mutex);
        m_blocked.clear();
    }

    RankingPageFetch fetch() {
        return [this](std::u16string& url) {
            const QUrlQuery query(QUrl(QtText(url)).query());
            const QString keyword = query.queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded);
            const int page = query.queryItemValue(QStringLiteral("s")).toInt() / 44 + 1;
            int number = 0;
            {
                const std::lock_guard lock(m_mutex);
                if (m_blocked.contains(keyword)) {
                    return FetchedPage(u"", u"https://login.taobao.com/member/login.jhtml");
                }
                number = m_numbers.value(keyword);
            }
            std::vector<test::SearchItem> items;
            for (int k = 1; k <= 44; ++k) {
                const bool target = number == (page - 1) * 44 + k;
                items.push_back(target ? test::SearchItem{CoreText(kTarget), u"夏季连衣裙"}
                                       : test::SearchItem{CoreText(QString::number(5300000000LL + page * 100 + k))});
            }
            return FetchedPage(test::SearchPage(items), u"");
        };
    }

private:
    std::mutex m_mutex;
    QMap<QString, int> m_numbers;
    QSet<QString> m_blocked;
};

QStringList summaryColumn(const QStandardItemModel& summary, int column) {
    QStringList cells;
    for (int row = 0; row < summary.rowCount(); ++row) {
        cells << summary.item(row, column)->text();
    }
    return cells;
}

QStringList summaryRow(const QStandardItemModel& summary, int row) {
    QStringList cells;
    for (int column = 0; column < summary.columnCount(); ++column) {
        cells << summary.item(row, column)->text();
    }
    return cells;
}

/// True when every column of `view` lies in its viewport and is as wide as its header and cells need.
bool columnsWhole(QTableView& view) {
    const QHeaderView* header = view.horizontalHeader();
    for (int column = 0; column < header->count(); ++column) {
        const int start = header->sectionViewportPosition(column);
        const int needed =
            std::max(header->sectionSizeHint(column), static_cast<QAbstractItemView&>(view).sizeHintForColumn(column));
        if (start < 0 || start + header->sectionSize(column) > view.viewport()->width() ||
            header->sectionSize(column) < needed) {
            return false;
        }
    }
    return true;
}

/// The points of the chart's series named `name`, as (x, y).
QList<QPointF> seriesPoints(const RankingChart& chart, const QString& name) {
    for (QAbstractSeries* series : chart.chart()->series()) {
        if (series->name() == name) {
            return static_cast<QXYSeries*>(series)->points();
        }
    }
    return {};
}

} // namespace

class KeywordPanelTest : public test::WindowTest {
    Q_OBJECT

private:
    /// The ranking window on the scratch data folder, looking for the target over two pages with the fake search.
    struct Setup {
        LocalStore store{HistoryFilePath()};
        StoreThread storeThread{HistoryFilePath()};
        RankingDesk desk{&storeThread};
        SoPaiMing& window = desk.ranking();
        PlacedSearch search;
        KeywordPanel& panel = window.keywordPanel();

        Setup() {
            desk.session().setWalkFetch(search.fetch());
            control<QLineEdit>(window, "Pages")->setText(QStringLiteral("2"));
            control<QLineEdit>(window, "Text2")->setText(kTarget);
            control<QPlainTextEdit>(window, "KeywordList")
                ->setPlainText(QStringLiteral("连衣裙\n\nphone case\n连衣裙"));
        }
    };

    /// The daily run on an installed clock at `today` and `minute`, set for 09:00, looking every 20 ms.
    struct DailySetup : Setup {
        Date today{2024, 5, 1};
        int minute = 8 * 60;

        DailySetup() {
            SetClock([this] { return today; });
            SetTimeOfDayClock([this] { return minute; });
            control<QTimeEdit>(window, "DailyTime")->setTime(QTime(9, 0));
            control<QCheckBox>(window, "DailyRun")->setChecked(true);
            window.findChild<QTimer*>(QStringLiteral("DailyTimer"))->setInterval(20);
        }
        ~DailySetup() {
            SetClock({});
            SetTimeOfDayClock({});
        }
        DailySetup(const DailySetup&) = delete;
        DailySetup& operator=(const DailySetup&) = delete;
        std::size_t stored() { return StoredRankingRuns(store, {}, std::nullopt)->size(); }
    };

    static bool runAndWait(KeywordPanel& panel) {
        QSignalSpy finished(&panel, &KeywordPanel::runFinished);
        panel.runKeywords();
        return finished.wait(20000);
    }

private slots:
    void aChartOfNoRunSaysSo() {
        StoreThread store(HistoryFilePath());
        RankingHistoryWindow history(store);
        history.reload();
        QTRY_COMPARE(history.chart().chart()->title(), QStringLiteral("暂无记录"));
    }

    void theButtonOpensThePanelBesideTheUnchangedControls() {
        Setup setup;
        SoPaiMing& window = setup.window;
        const QSize closed = window.size();
        QVERIFY(setup.panel.isHidden());
        auto* button = control<QPushButton>(window, "KeywordPanelButton");
        QCOMPARE(button->text(), QStringLiteral("关键字跟踪 »"));
        button->click();
        QVERIFY(!setup.panel.isHidden());
        QCOMPARE(window.width(), closed.width() + KeywordPanel::kWidthTwips / 15);
        QCOMPARE(setup.panel.x(), SoPaiMing::kClientWidthTwips / 15);
        QCOMPARE(control<QWidget>(window, "Command1")->geometry(), test::twips(8640, 1080, 1935, 375));
        button->click();
        QCOMPARE(window.size(), closed);
        // The list is kept in the database as it is typed.
        const auto tracked = [&setup] {
            const auto keywords = TrackedKeywords(setup.store);
            return keywords ? KeywordsOf(*keywords, ItemTarget(CoreText(kTarget))) : std::vector<std::u16string>{};
        };
        QTRY_COMPARE(tracked(), (std::vector<std::u16string>{u"连衣裙", u"phone case"}));
    }

    void twoKeywordsTwiceGiveTheSummaryAndTheChart() {
        Setup setup;
        KeywordPanel& panel = setup.panel;
        setup.search.place(QStringLiteral("连衣裙"), 51);
        setup.search.place(QStringLiteral("phone case"), 3);
        QVERIFY(runAndWait(panel));
        const QStandardItemModel& summary = panel.summary();
        QCOMPARE(summary.rowCount(), 2);
        QCOMPARE(summaryRow(summary, 0), (QStringList{"连衣裙", "2页 2行 第3", "无记录", "首次查询"}));
        QCOMPARE(summaryRow(summary, 1), (QStringList{"phone case", "1页 1行 第3", "无记录", "首次查询"}));
        QCOMPARE(control<QLabel>(setup.window, "KeywordSummaryLine")->text(),
                 QStringLiteral("2 个关键字：找到 2，未找到 0，结果不完整 0，没有查询 0"));

        setup.search.place(QStringLiteral("连衣裙"), 48);
        setup.search.place(QStringLiteral("phone case"), 0);
        QVERIFY(runAndWait(panel));
        QCOMPARE(summaryRow(summary, 0), (QStringList{"连衣裙", "2页 1行 第4", "2页 2行 第3", "↑3"}));
        QCOMPARE(summaryRow(summary, 1), (QStringList{"phone case", "未找到", "1页 1行 第3", "跌出"}));
        QCOMPARE(control<QLabel>(setup.window, "KeywordSummaryLine")->text(),
                 QStringLiteral("2 个关键字：找到 1，未找到 1，结果不完整 0，没有查询 0"));

        // Every run is in the history, with the window's target.
        const auto runs = StoredRankingRuns(setup.store, {}, ItemTarget(CoreText(kTarget)));
        QVERIFY(runs);
        QCOMPARE(runs->size(), 4u);
        std::map<std::u16string, std::vector<std::int64_t>> times; // oldest first
        for (auto run = runs->rbegin(); run != runs->rend(); ++run) {
            times[run->keyword].push_back(run->ranAt * 1000);
            QCOMPARE(run->pagesAsked, 2);
        }

        control<QPushButton>(setup.window, "OpenRankingHistory")->click();
        RankingHistoryWindow* history = panel.historyWindow();
        QVERIFY(history != nullptr);
        QVERIFY(history->isVisible());
        // The keyword table shows its rows (its view, not only its model, knows them), the latest run's keyword first.
        auto* keywordView = control<QTableView>(*history, "HistoryKeywords");
        // The target shows with its item's title.
        QTRY_COMPARE(control<QComboBox>(*history, "HistoryTarget")->currentText(),
                     QStringLiteral("宝贝 ") + kTarget + QStringLiteral("  夏季连衣裙"));
        QTRY_COMPARE(keywordView->verticalHeader()->count(), 2);
        history->reload();
        QTRY_VERIFY(!control<QLabel>(*history, "HistoryRunCount")->text().startsWith(QStringLiteral("正在读取")));
        QVERIFY(columnsWhole(*keywordView)); // 最近 too, read again while in view
        QVERIFY(keywordView->visualRect(keywordView->model()->index(1, 0)).isValid());
        QCOMPARE(keywordView->model()->index(0, 0).data().toString(), QStringLiteral("phone case"));
        // Better places higher: the row number axis runs downwards; not found at the level below the lowest place.
        const RankingChart& chart = history->chart();
        const auto& dress = times[u"连衣裙"];
        const auto& phone = times[u"phone case"];
        QCOMPARE(seriesPoints(chart, QStringLiteral("连衣裙")),
                 (QList<QPointF>{{qreal(dress[0]), 51}, {qreal(dress[1]), 48}}));
        QCOMPARE(seriesPoints(chart, QStringLiteral("phone case")),
                 (QList<QPointF>{{qreal(phone[0]), 3}, {qreal(phone[1]), 80}}));
        // A keyword's not-found runs in its line's colour, apart from another keyword's.
        QCOMPARE(seriesPoints(chart, QStringLiteral("phone case：未找到")), (QList<QPointF>{{qreal(phone[1]), 80}}));
        QCOMPARE(seriesPoints(chart, QStringLiteral("连衣裙：未找到")), QList<QPointF>{});
        QVERIFY(chart.chart()->title().isEmpty());
        const auto axes = chart.chart()->axes(Qt::Vertical);
        QCOMPARE(axes.size(), 1);
        QVERIFY(axes.constFirst()->isReverse());
        // The not-found level lies in a band of its own, inside the axis.
        QCOMPARE(static_cast<QValueAxis*>(axes.constFirst())->max(), 94.5);
        // Resting on a point, or on a line near it, shows its run.
        const auto timeOf = [](std::int64_t ms) {
            return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        };
        QAbstractSeries* phoneLine = nullptr;
        for (QAbstractSeries* series : chart.chart()->series()) {
            phoneLine = series->name() == QStringLiteral("phone case") ? series : phoneLine;
        }
        QVERIFY(phoneLine != nullptr);
        QCOMPARE(chart.pointText(phoneLine, {qreal(phone[1]) + 1, 60}),
                 QStringLiteral("phone case\n%1\n未找到（查了前2页）").arg(timeOf(phone[1])));
        QCOMPARE(chart.pointText(phoneLine, {qreal(phone[0]), 3}),
                 QStringLiteral("phone case\n%1\n1页 1行 第3").arg(timeOf(phone[0])));
        emit static_cast<QXYSeries*>(phoneLine)->hovered({qreal(phone[0]), 3}, true);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QStringLiteral("phone case\n%1\n1页 1行 第3").arg(timeOf(phone[0])));
        QToolTip::hideText();

        // A further walk of the ranking window's own button joins the history and the open chart.
        setup.search.place(QStringLiteral("连衣裙"), 40);
        control<QLineEdit>(setup.window, "KeyWord")->setText(QStringLiteral("连衣裙"));
        QSignalSpy walked(&setup.window, &SoPaiMing::searchFinished);
        control<QPushButton>(setup.window, "Command1")->click();
        QVERIFY(walked.wait(20000));
        QTRY_COMPARE(seriesPoints(chart, QStringLiteral("连衣裙")).size(), 3);
        QCOMPARE(seriesPoints(chart, QStringLiteral("连衣裙")).constLast().y(), 40.0);
        // Esc closes it, as every window of the program.
        QTest::keyClick(history, Qt::Key_Escape);
        QVERIFY(!history->isVisible());
    }

    // A drop of the set places or more raises an alert and marks the keyword's row until it is chosen; a smaller
    // drop does not.
    void aDropRaisesAnAlertAndMarksTheRow() {
        Setup setup;
        KeywordPanel& panel = setup.panel;
        control<QSpinBox>(setup.window, "AlertDrop")->setValue(6);
        setup.search.place(QStringLiteral("连衣裙"), 3);
        setup.search.place(QStringLiteral("phone case"), 3);
        QVERIFY(runAndWait(panel));
        QCOMPARE(panel.alerts(), QStringList());
        setup.search.place(QStringLiteral("连衣裙"), 11);
        setup.search.place(QStringLiteral("phone case"), 7);
        QSignalSpy raised(&panel, &KeywordPanel::alertsRaised);
        QVERIFY(runAndWait(panel));
        QCOMPARE(raised.size(), 1);
        QCOMPARE(panel.alerts(), QStringList{QStringLiteral("连衣裙：下降8位：1页 1行 第3 → 1页 3行 第3")});
        const QStandardItemModel& summary = panel.summary();
        QVERIFY(summary.item(0, 0)->data(Qt::BackgroundRole).isValid());
        QVERIFY(!summary.item(1, 0)->data(Qt::BackgroundRole).isValid());
        control<QTableView>(setup.window, "KeywordSummary")->setCurrentIndex(summary.index(0, 1));
        QVERIFY(!summary.item(0, 0)->data(Qt::BackgroundRole).isValid());
        QCOMPARE(TrackedKeywords(setup.store)->front().alert, (AlertRule{6, true, true}));
    }

    // A run's alerts go to the group bot at 提醒网址 in one message; a bot's refusal is said under the summary.
    void theAlertsGoToTheGroupBotAtTheAlertAddress() {
        const struct {
            const char* name;
            QByteArray answer;
            bool taken;
        } bots[] = {{"taken", "{\"errcode\":0,\"errmsg\":\"ok\"}", true},
                    {"refused", "{\"errcode\":93000,\"errmsg\":\"invalid webhook url\"}", false}};
        for (const auto& bot : bots) {
            Setup setup;
            QTcpServer server;
            QVERIFY(server.listen(QHostAddress::LocalHost));
            QByteArray received;
            connect(&server, &QTcpServer::newConnection, &server, [&] {
                QTcpSocket* socket = server.nextPendingConnection();
                connect(socket, &QTcpSocket::readyRead, socket, [&, socket] {
                    received += socket->readAll();
                    if (received.contains("\r\n\r\n") && received.endsWith('}')) {
                        socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                                      QByteArray::number(bot.answer.size()) + "\r\n\r\n" + bot.answer);
                        socket->disconnectFromHost();
                    }
                });
            });
            control<QLineEdit>(setup.window, "AlertWebhook")
                ->setText(
                    QStringLiteral("http://127.0.0.1:%1/cgi-bin/webhook/send?key=secret").arg(server.serverPort()));
            setup.search.place(QStringLiteral("连衣裙"), 3);
            QVERIFY(runAndWait(setup.panel));
            setup.search.place(QStringLiteral("连衣裙"), 11);
            QSignalSpy posted(&setup.panel, &KeywordPanel::alertsPosted);
            QVERIFY(runAndWait(setup.panel));
            QVERIFY(posted.wait(15000));
            QCOMPARE(posted.constFirst().constFirst().toString().isEmpty(), bot.taken);
            const QByteArray message =
                "{\"msgtype\":\"text\",\"text\":{\"content\":\"Tarvisk 排名提醒\\n连衣裙：下降8位：";
            QVERIFY2(received.contains(message), received.constData());
            const QString line = control<QLabel>(setup.window, "KeywordSummaryLine")->text();
            QCOMPARE(line.contains(QStringLiteral("提醒没有发出：http://127.0.0.1/…")), !bot.taken);
            QVERIFY2(!line.contains(QStringLiteral("secret")), bot.name);
        }
    }

    void aCancelledRunKeepsTheKeywordsDone() {
        Setup setup;
        setup.search.place(QStringLiteral("连衣裙"), 2);
        KeywordPanel& panel = setup.panel;
        // The second keyword's walk waits until it is cancelled.
        std::atomic<bool> second = false;
        const RankingPageFetch fetch = setup.search.fetch();
        setup.desk.session().setWalkFetch([&second, fetch](std::u16string& url) {
            if (url.find(u"phone") != std::u16string::npos) {
                second = true;
                while (!CancelRequested()) {
                    QThread::msleep(5);
                }
                return FetchedPage();
            }
            return fetch(url);
        });
        QSignalSpy finished(&panel, &KeywordPanel::runFinished);
        panel.runKeywords();
        QVERIFY(panel.isRunning());
        QVERIFY(setup.desk.session().isBusy());
        QVERIFY(!control<QPushButton>(setup.window, "Command1")->isEnabled());
        QTRY_VERIFY(second);
        panel.cancelRun();
        QVERIFY(finished.wait(20000));
        QCOMPARE(summaryRow(panel.summary(), 0).at(1), QStringLiteral("1页 1行 第2"));
        QCOMPARE(summaryRow(panel.summary(), 1).at(1), QStringLiteral("已取消"));
        QVERIFY(control<QPushButton>(setup.window, "Command1")->isEnabled());
        QCOMPARE(StoredRankingRuns(setup.store, {}, std::nullopt)->size(), 1u);
    }

    void aStopAsTheLastPageComesInKeepsThatKeywordsAnswer() {
        Setup setup;
        KeywordPanel& panel = setup.panel;
        control<QPlainTextEdit>(setup.window, "KeywordList")->setPlainText(QStringLiteral("连衣裙\nphone case\n手机"));
        control<QLineEdit>(setup.window, "Pages")->setText(QStringLiteral("1"));
        setup.search.place(QStringLiteral("连衣裙"), 2);
        setup.search.place(QStringLiteral("phone case"), 3);
        const RankingPageFetch fetch = setup.search.fetch();
        setup.desk.session().setWalkFetch([&panel, fetch](std::u16string& url) {
            if (url.find(u"phone") != std::u16string::npos) {
                panel.cancelRun(); // pressed as the second keyword's only page arrives
            }
            return fetch(url);
        });
        QVERIFY(runAndWait(panel));
        QCOMPARE(summaryRow(panel.summary(), 0).at(1), QStringLiteral("1页 1行 第2"));
        QCOMPARE(summaryRow(panel.summary(), 1).at(1), QStringLiteral("1页 1行 第3"));
        QCOMPARE(summaryRow(panel.summary(), 2).at(1), QStringLiteral("未查询"));
        QCOMPARE(control<QLabel>(setup.window, "KeywordSummaryLine")->text(),
                 QStringLiteral("3 个关键字：找到 2，未找到 0，结果不完整 0，没有查询 1"));
        QCOMPARE(StoredRankingRuns(setup.store, {}, std::nullopt)->size(), 2u);
    }

    void aListRunShowsNothingOfAnEarlierWalkInTheWindowsLabelAndStrip() {
        Setup setup;
        SoPaiMing& window = setup.window;
        // A walk of the window's own, stopped before its first page.
        control<QLineEdit>(window, "KeyWord")->setText(QStringLiteral("连衣裙"));
        control<QSpinBox>(window, "Pause")->setValue(60);
        control<QLineEdit>(window, "Pages")->setText(QStringLiteral("2"));
        QSignalSpy walked(&window, &SoPaiMing::searchFinished);
        window.Command1_Click();
        QTRY_COMPARE(window.results().rowCount(), 44);
        window.cancelSearch();
        QVERIFY(walked.wait(20000));
        control<QSpinBox>(window, "Pause")->setValue(0);
        auto* label1 = control<QLabel>(window, "Label1");
        auto* strip = control<QWidget>(window, "JobProgress");
        QCOMPARE(label1->text(), QStringLiteral("已取消"));
        QVERIFY(strip->isVisibleTo(&window));
        QStringList seen;
        connect(&setup.panel, &KeywordPanel::runningChanged, this, [&] {
            if (setup.panel.isRunning()) {
                seen << label1->text() << (strip->isVisibleTo(&window) ? QStringLiteral("strip") : QString());
            }
        });
        QVERIFY(runAndWait(setup.panel));
        QCOMPARE(seen, (QStringList{QString(), QString()}));
    }

    void theSummaryShowsEveryColumnWhole() {
        Setup setup;
        SoPaiMing& window = setup.window;
        control<QPushButton>(window, "KeywordPanelButton")->click();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* view = control<QTableView>(window, "KeywordSummary");
        QVERIFY(columnsWhole(*view));
        setup.search.place(QStringLiteral("连衣裙"), 51);
        QVERIFY(runAndWait(setup.panel));
        QCOMPARE(summaryRow(setup.panel.summary(), 1).at(3), QStringLiteral("首次查询"));
        QVERIFY(columnsWhole(*view));
        setup.search.place(QStringLiteral("连衣裙"), 60);
        QVERIFY(runAndWait(setup.panel));
        QCOMPARE(summaryRow(setup.panel.summary(), 1).at(3), QStringLiteral("仍未找到"));
        QVERIFY(columnsWhole(*view));
    }

    void theDailyRunFiresAtItsTimeOnceADay() {
        Date today{2024, 5, 1};
        int minute = 8 * 60 + 59;
        SetClock([&today] { return today; });
        SetTimeOfDayClock([&minute] { return minute; });
        const auto restore = qScopeGuard([] {
            SetClock({});
            SetTimeOfDayClock({});
        });
        Setup setup;
        KeywordPanel& panel = setup.panel;
        setup.search.place(QStringLiteral("连衣裙"), 5);
        control<QTimeEdit>(setup.window, "DailyTime")->setTime(QTime(9, 0));
        control<QCheckBox>(setup.window, "DailyRun")->setChecked(true);
        QVERIFY(KeywordPanel::storedSchedule().enabled);
        QCOMPARE(KeywordPanel::storedSchedule().minute, 9 * 60);
        auto* status = control<QLabel>(setup.window, "DailyStatus");
        QCOMPARE(status->text(), QStringLiteral("下次自动查询：今天 09:00"));

        // The panel's own timer looks at the installed clock.
        auto* timer = setup.window.findChild<QTimer*>(QStringLiteral("DailyTimer"));
        QVERIFY(timer != nullptr);
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), KeywordPanel::kDailyCheckMs);
        timer->setInterval(20);
        const auto stored = [&setup] { return StoredRankingRuns(setup.store, {}, std::nullopt)->size(); };
        QTest::qWait(200);
        QCOMPARE(stored(), 0u);

        // The status as the run ends: the next tick of the fast timer may come before the wait returns.
        QString statusAtEnd;
        connect(&panel, &KeywordPanel::runFinished, status, [&statusAtEnd, status] { statusAtEnd = status->text(); });
        QSignalSpy finished(&panel, &KeywordPanel::runFinished);
        minute = 9 * 60;
        QVERIFY(finished.wait(20000));
        QCOMPARE(stored(), 2u);
        QCOMPARE(statusAtEnd, QStringLiteral("今天的自动查询已完成；下次自动查询：明天 09:00"));
        QCOMPARE(KeywordPanel::storedSchedule().lastRun, std::optional(today));
        // Not again the same day, nor the next day before its time.
        minute = 23 * 60;
        QTest::qWait(200);
        today = {2024, 5, 2};
        minute = 8 * 60;
        QTest::qWait(200);
        QCOMPARE(stored(), 2u);
        QCOMPARE(status->text(), QStringLiteral("下次自动查询：今天 09:00"));
        minute = 10 * 60;
        QVERIFY(finished.wait(20000));
        QCOMPARE(stored(), 4u);
        // Off: no run, and nothing said of one.
        control<QCheckBox>(setup.window, "DailyRun")->setChecked(false);
        today = {2024, 5, 3};
        QTest::qWait(200);
        QCOMPARE(stored(), 4u);
        QCOMPARE(status->text(), QString());
    }

    void aDailyRunTheMachineSleptThroughIsMadeOnWaking() {
        DailySetup setup;
        setup.search.place(QStringLiteral("连衣裙"), 5);
        QTest::qWait(200);
        QCOMPARE(setup.stored(), 0u);
        // Asleep from 08:00 until the next morning, before the day's time.
        QSignalSpy finished(&setup.panel, &KeywordPanel::runFinished);
        setup.today = {2024, 5, 2};
        setup.minute = 7 * 60;
        QVERIFY(finished.wait(20000));
        QCOMPARE(setup.stored(), 2u);
        QCOMPARE(KeywordPanel::storedSchedule().lastRun, std::optional(Date{2024, 5, 1}));
        // The day's own run comes at its time.
        setup.minute = 9 * 60;
        QVERIFY(finished.wait(20000));
        QCOMPARE(setup.stored(), 4u);
    }

    // Each target walks its own keywords, read for it on the day (a shop's listing too), whatever the window's boxes
    // say by then.
    void theDailyRunWalksEveryTargetsKeywordsForItsOwnTarget() {
        DailySetup setup;
        auto* targets = control<QComboBox>(setup.window, "TrackTarget");
        auto* list = control<QPlainTextEdit>(setup.window, "KeywordList");
        // The item's keywords are kept; the shop the window names next is offered as the window's target.
        QTest::mouseClick(control<QRadioButton>(setup.window, "Op2"), Qt::LeftButton);
        control<QLineEdit>(setup.window, "SURL")->setText(QStringLiteral("shop9.taobao.com"));
        QTRY_COMPARE(targets->count(), 2);
        QCOMPARE(targets->itemText(1), QStringLiteral("窗口中的目标：店铺 shop9.taobao.com"));
        targets->setCurrentIndex(1);
        emit targets->activated(1);
        QCOMPARE(list->toPlainText(), QString());
        list->setPlainText(QStringLiteral("连衣裙"));
        // An ad-hoc target typed later moves none of them.
        QTest::mouseClick(control<QRadioButton>(setup.window, "Op1"), Qt::LeftButton);
        control<QLineEdit>(setup.window, "Text2")->setText(QStringLiteral("530000000099"));
        setup.desk.session().setCrawlFetch([](const std::u16string& url) -> FetchedPage {
            if (!url.ends_with(u"pageNo=1")) {
                return FetchedPage(test::kShopEndPage);
            }
            return FetchedPage(test::ShopPage({{CoreText(kTarget), u"宝贝"}, {u"5300000001", u"另一件"}}));
        });
        setup.search.place(QStringLiteral("连衣裙"), 5);
        QSignalSpy finished(&setup.panel, &KeywordPanel::runFinished);
        setup.minute = 9 * 60;
        QVERIFY(finished.wait(20000));
        const auto runs = StoredRankingRuns(setup.store, {}, std::nullopt);
        std::set<std::pair<std::u16string, std::u16string>> walked;
        for (const RankingRun& run : *runs) {
            walked.emplace(run.keyword, TrackedTargetText(run.target));
        }
        const std::u16string item = TrackedTargetText(ItemTarget(CoreText(kTarget)));
        QCOMPARE(walked, (std::set<std::pair<std::u16string, std::u16string>>{
                             {u"连衣裙", item}, {u"phone case", item}, {u"连衣裙", u"店铺 shop9.taobao.com"}}));
        QCOMPARE(runs->front().outcome, RankingOutcome::Found);
        QCOMPARE(control<QLabel>(setup.window, "DailyStatus")->text(),
                 QStringLiteral("今天的自动查询已完成；下次自动查询：明天 09:00"));
    }

    // Nobody waits at a daily run: a slider leaves its keyword incomplete and the run goes on, two in a row end it,
    // it does not say it is done, and 重新查询未完成的 walks those keywords again.
    void aDailyRunGoesPastASliderAndStopsAtTwoInARow() {
        DailySetup setup;
        KeywordPanel::setUnattendedWait(0);
        const auto restore = qScopeGuard([] { KeywordPanel::setUnattendedWait(kUnattendedWaitSeconds); });
        control<QPlainTextEdit>(setup.window, "KeywordList")->setPlainText(QStringLiteral("a\nb\nc\nd\ne"));
        for (const QString& keyword : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                                       QStringLiteral("d"), QStringLiteral("e")}) {
            setup.search.place(keyword, 5);
        }
        setup.search.block(QStringLiteral("a"));
        setup.search.block(QStringLiteral("c"));
        setup.search.block(QStringLiteral("d"));
        QSignalSpy finished(&setup.panel, &KeywordPanel::runFinished);
        QString statusAtEnd;
        auto* status = control<QLabel>(setup.window, "DailyStatus");
        connect(&setup.panel, &KeywordPanel::runFinished, status,
                [&statusAtEnd, status] { statusAtEnd = status->text(); });
        setup.minute = 9 * 60;
        QVERIFY(finished.wait(20000));
        QCOMPARE(summaryColumn(setup.panel.summary(), 1),
                 (QStringList{"结果不完整", "1页 2行 第1", "结果不完整", "结果不完整", "未查询"}));
        QVERIFY(
            statusAtEnd.startsWith(QStringLiteral("今天的自动查询没有完成：4 个关键字没有结果（淘宝要求登录或验证）")));
        QVERIFY(setup.panel.alerts().contains(QStringLiteral("a：没有读完：淘宝要求登录")));

        setup.search.unblock();
        auto* again = control<QPushButton>(setup.window, "RunUnfinished");
        QVERIFY(again->isEnabled());
        again->click();
        QVERIFY(finished.wait(20000));
        QCOMPARE(summaryColumn(setup.panel.summary(), 0), (QStringList{"a", "c", "d", "e"}));
        QCOMPARE(summaryColumn(setup.panel.summary(), 1),
                 (QStringList{"1页 2行 第1", "1页 2行 第1", "1页 2行 第1", "1页 2行 第1"}));
        QVERIFY(!again->isEnabled());
    }
};

QTEST_MAIN(KeywordPanelTest)
#include "keyword_panel_test.moc"
