// The ranking window's walks through the login browser on the demo marketplace's today pages: 读取方式, a target
// on page 2, and a slider that pauses the walk until it is passed in the window it shows (or the walk is
// cancelled there).

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableView>

#include "app/browser/browser_view.h"
#include "app/browser/verification_pause.h"
#include "app/ranking/keyword_panel.h"
#include "app/shop/so_shop_goods.h"
#include "app/main/ranking_desk.h"
#include "app/ranking/so_pai_ming.h"
#include "app/session/ranking_session.h"
#include "app/ui/qt_text.h"
#include "app/ui/store_thread.h"
#include "demo/market_pages.h"
#include "demo/today_pages.h"
#include "store/ranking_history.h"
#include "window_test_support.h"
#include "x11_support.h"

using namespace tarvisk;
using namespace tarvisk::test;

namespace {

QString todayItem(int number) {
    return QtText(demo::DemoShopItemId(*demo::DemoShopByHost(demo::kTodayShopHost), number));
}

/// Sets the window up for a walk of `keyword` to the today shop's item `item` over three pages, without a pause.
void readyToWalk(RankingDesk& desk, const char16_t* keyword, int item, FetchMode mode) {
    SoPaiMing& window = desk.ranking();
    control<QLineEdit>(window, "KeyWord")->setText(QtText(keyword));
    control<QLineEdit>(window, "Text2")->setText(todayItem(item));
    control<QLineEdit>(window, "Pages")->setText(QStringLiteral("3"));
    control<QSpinBox>(window, "Pause")->setValue(0);
    desk.session().setFetchMode(mode);
}

/// The one offer made: it names what helps, not the login browser, and switches 读取方式 when taken.
void expectBrowserOffered(RankingDesk& desk, const QStringList& offers) {
    QCOMPARE(offers.size(), 1);
    QVERIFY2(offers.front().contains(QStringLiteral("改用“通过浏览器”读取")), qPrintable(offers.front()));
    QVERIFY2(!offers.front().contains(QStringLiteral("请先在浏览器中")), qPrintable(offers.front()));
    QCOMPARE(desk.session().fetchMode(), FetchMode::Browser);
}

/// True when `label` has room for all of its text.
bool showsWhole(const QLabel& label) {
    const QRect needed = label.fontMetrics().boundingRect(QRect(0, 0, label.width(), QWIDGETSIZE_MAX),
                                                          label.wordWrap() ? Qt::TextWordWrap : 0, label.text());
    return needed.width() <= label.width() && needed.height() <= label.height();
}

std::size_t storedRuns(const char16_t* keyword) {
    LocalStore store(HistoryFilePath());
    return StoredRankingRuns(store, keyword, std::nullopt).value_or(std::vector<RankingRun>{}).size();
}

/// Waits until the walk of `window` waits for the user at the slider it shows.
void waitForSlider(RankingDesk& desk) {
    QTRY_VERIFY_WITH_TIMEOUT(desk.session().verificationPause() && desk.session().verificationPause()->isWaiting(),
                             30000);
    QWidget* shown = desk.session().verificationPause()->window();
    QVERIFY(shown->isVisible());
    QCOMPARE(control<QLabel>(*shown, "VerificationLine")->text(),
             QStringLiteral("请在这个窗口中拖动滑块完成验证，完成后排名查询会自动继续"));
    QTRY_VERIFY_WITH_TIMEOUT(
        documentHtml(*desk.session().verificationPause()->view()).contains(QLatin1String("nc_1_n1z")), 10000);
}

/// A walk of the slider keyword through the browser, waiting at the slider once started.
struct SliderWalk {
    StoreThread store{HistoryFilePath()};
    RankingDesk desk{&store};
    SoPaiMing& window = desk.ranking();
    QSignalSpy finished{&window, &SoPaiMing::searchFinished};

    void start() {
        readyToWalk(desk, demo::kTodaySliderKeyword, 7, FetchMode::Browser);
        window.Command1_Click();
        waitForSlider(desk);
        QCOMPARE(storedRuns(demo::kTodaySliderKeyword), std::size_t(0));
    }
};

} // namespace

class BrowserWalkTest : public WindowTest {
    Q_OBJECT

private slots:
    void theFetchModeIsKeptInTheSettings() {
        {
            RankingDesk desk;
            QCOMPARE(desk.session().fetchMode(), FetchMode::Auto);
            desk.session().setFetchMode(FetchMode::Browser);
        }
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        QCOMPARE(desk.session().fetchMode(), FetchMode::Browser);
        QCOMPARE(control<QComboBox>(window, "FetchMode")->currentText(), QStringLiteral("通过浏览器"));
        // The shop window's 读取方式 is the same choice.
        auto* shopMode = control<QComboBox>(desk.shop(), "FetchMode");
        QCOMPARE(shopMode->currentText(), QStringLiteral("通过浏览器"));
        shopMode->setCurrentIndex(shopMode->findText(QStringLiteral("直接请求")));
        QCOMPARE(desk.session().fetchMode(), FetchMode::Direct);
        desk.session().setFetchMode(FetchMode::Auto);
        QCOMPARE(shopMode->currentText(), QStringLiteral("自动"));
    }

    void aTodayWalkFindsItsTargetOnPage2_data() {
        QTest::addColumn<FetchMode>("mode");
        QTest::newRow("通过浏览器") << FetchMode::Browser;
        QTest::newRow("自动") << FetchMode::Auto;
    }
    void aTodayWalkFindsItsTargetOnPage2() {
        QFETCH(FetchMode, mode);
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        readyToWalk(desk, demo::kTodayKeyword, 5, mode);
        QSignalSpy finished(&window, &SoPaiMing::searchFinished);
        window.Command1_Click();
        QVERIFY(finished.wait(60000));
        const QLabel& label1 = *control<QLabel>(window, "Label1");
        QVERIFY2(label1.text().startsWith(QStringLiteral("2页 第15个")), qPrintable(label1.text()));
        QVERIFY2(showsWhole(label1), qPrintable(label1.text()));
        QCOMPARE(window.results().rowCount(), demo::kTodayPageItems + 15);
        // Places with a note ("2页 第1个（广告）") are not cut off.
        const QTableView& list0 = *control<QTableView>(window, "List0");
        for (int row = 0; row < list0.model()->rowCount(); ++row) {
            const QString place = list0.model()->index(row, 2).data().toString();
            QVERIFY2(list0.fontMetrics().horizontalAdvance(place) < list0.columnWidth(2), qPrintable(place));
        }
    }

    void theShopWindowListsATodayShopThroughTheBrowser_data() {
        QTest::addColumn<QString>("host");
        QTest::newRow("list endpoint") << QString::fromLatin1(demo::kTodayShopHost);
        QTest::newRow("gateway") << QString::fromLatin1(demo::kGatewayShopHost);
    }
    void theShopWindowListsATodayShopThroughTheBrowser() {
        QFETCH(QString, host);
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        control<QSpinBox>(window, "Pause")->setValue(0);
        desk.session().setFetchMode(FetchMode::Browser);
        SoShopGoods& shop = desk.shop();
        shop.setShopAddress(host);
        QSignalSpy finished(&shop, &SoShopGoods::crawlFinished);
        shop.Command1_Click();
        QVERIFY(finished.wait(60000));
        const demo::DemoShop& today = *demo::DemoShopByHost(host.toStdString());
        QCOMPARE(finished.first().first().toInt(), today.items);
        QVERIFY(shop.listComplete());
        QCOMPARE(shop.itemIds().back(), QtText(demo::DemoShopItemId(today, today.items)));
    }

    // Before the slider is passed (the browser profile keeps the pass for the rest of the run).
    void cancelWhileWaitingKeepsTheRowsAndStoresNothing() {
        SliderWalk walk;
        walk.start();
        auto& [store, desk, window, finished] = walk;
        Q_UNUSED(store);
        // Esc is 取消.
        QTest::keyClick(desk.session().verificationPause()->window(), Qt::Key_Escape);
        QVERIFY(finished.wait(30000));
        QVERIFY(!desk.session().verificationPause()->window()->isVisible());
        QCOMPARE(window.results().rowCount(), demo::kTodayPageItems);
        QCOMPARE(control<QLabel>(window, "Label1")->text(), QtText(kRankingCancelled));
        QCOMPARE(storedRuns(demo::kTodaySliderKeyword), std::size_t(0));
    }

    // 跳过 in the wait skips what the job waits for: a keyword of the list (the list goes on with the next one), a
    // page of a shop (the listing ends incomplete with what it has). Before the slider is passed.
    void theWaitsSkipAKeywordOrAShopPage() {
        StoreThread store{HistoryFilePath()};
        RankingDesk desk{&store};
        SoPaiMing& window = desk.ranking();
        readyToWalk(desk, demo::kTodayKeyword, 5, FetchMode::Browser);
        KeywordPanel& panel = window.keywordPanel();
        control<QPlainTextEdit>(panel, "KeywordList")
            ->setPlainText(QtText(demo::kTodaySliderKeyword) + QLatin1Char('\n') + QtText(demo::kTodayKeyword));
        QSignalSpy listed(&panel, &KeywordPanel::runFinished);
        panel.runKeywords();
        waitForSlider(desk);
        // Each wait stands above the window whose job it holds: here the ranking window, then the shop window.
        QWidget* pause = desk.session().verificationPause()->window();
        QCOMPARE(pause->parentWidget(), &window);
        auto* skip = control<QPushButton>(*pause, "VerificationSkip");
        QCOMPARE(skip->text(), QStringLiteral("跳过这个关键字"));
        skip->click();
        QVERIFY(listed.wait(60000));
        QCOMPARE(panel.summary().item(0, 1)->text(), QtText(kRankingIncomplete));
        QVERIFY2(panel.summary().item(1, 1)->text().startsWith(QStringLiteral("2页 第15个")),
                 qPrintable(panel.summary().item(1, 1)->text()));

        SoShopGoods& shop = desk.shop();
        shop.setShopAddress(QStringLiteral("loginshop.taobao.com"));
        QSignalSpy crawled(&shop, &SoShopGoods::crawlFinished);
        shop.Command1_Click();
        QTRY_VERIFY_WITH_TIMEOUT(desk.session().verificationPause()->isWaiting(), 30000);
        QCOMPARE(pause->parentWidget(), &shop);
        QCOMPARE(skip->text(), QStringLiteral("跳过这一页"));
        skip->click();
        QVERIFY(crawled.wait(60000));
        QCOMPARE(crawled.first().first().toInt(), 20);
        QVERIFY(!shop.listComplete());
    }

    // A click on the window whose job waits does not bury the wait window (window_manager.sh runs this under openbox).
    void thePauseWindowStaysAboveTheWindowWhoseJobItHolds() {
        if (QGuiApplication::platformName() != QStringLiteral("xcb")) {
            QSKIP("needs a window manager");
        }
        SliderWalk walk;
        walk.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&walk.window));
        walk.start();
        QWidget* pause = walk.desk.session().verificationPause()->window();
        QVERIFY(QTest::qWaitForWindowExposed(pause));
        walk.window.activateWindow();
        walk.window.raise();
        QTRY_VERIFY(walk.window.isActiveWindow());
        QTest::qWait(300); // the window manager restacks after the activation
        const QList<xcb_window_t> stacked = stackedWindows();
        QVERIFY(stacked.indexOf(static_cast<xcb_window_t>(pause->winId())) >
                stacked.indexOf(static_cast<xcb_window_t>(walk.window.winId())));
        QTest::keyClick(pause, Qt::Key_Escape);
        QVERIFY(walk.finished.wait(30000));
    }

    void aSliderPausesTheWalkUntilItIsPassed() {
        SliderWalk walk;
        walk.start();
        auto& [store, desk, window, finished] = walk;
        Q_UNUSED(store);
        QCOMPARE(control<QLabel>(window, "Label1")->text(), QStringLiteral("等待完成验证"));
        desk.session().verificationPause()->view()->page()->runJavaScript(
            QStringLiteral("document.getElementById('nc_1_n1z').click()"));
        QVERIFY(finished.wait(60000));
        QVERIFY(!desk.session().verificationPause()->window()->isVisible());
        QVERIFY2(control<QLabel>(window, "Label1")->text().startsWith(QStringLiteral("3页 第6个")),
                 qPrintable(control<QLabel>(window, "Label1")->text()));
        QCOMPARE(window.results().rowCount(), 2 * demo::kTodayPageItems + 6);
        QTRY_COMPARE(storedRuns(demo::kTodaySliderKeyword), std::size_t(1));
    }

    // Passing a slider in the login browser does not help the walk's own requests, nor do they read today's pages:
    // the message offers what does, after the first page that every later one would be like.
    void aSliderInDirectModeOffersTheBrowser_data() {
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<QString>("said");
        QTest::newRow("slider") << "限流宝贝"
                                << "在登录窗口中登录或通过验证对它无效";
        QTest::newRow("today's page") << QtText(demo::kTodayKeyword)
                                      << "排名查询在第1页停止：页面的结果由它自己的脚本加载";
    }
    void aSliderInDirectModeOffersTheBrowser() {
        QFETCH(QString, keyword);
        QFETCH(QString, said);
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        readyToWalk(desk, CoreText(keyword).c_str(), 1, FetchMode::Direct);
        m_scope->messages.takeOffers(true);
        QSignalSpy finished(&window, &SoPaiMing::searchFinished);
        window.Command1_Click();
        QVERIFY(finished.wait(30000));
        QCOMPARE(m_scope->messages.offers().size(), 1);
        const QString offer = m_scope->messages.offers().front();
        QVERIFY2(offer.contains(QStringLiteral("改用“通过浏览器”读取")) && offer.contains(said), qPrintable(offer));
        QVERIFY2(!offer.contains(QStringLiteral("请先在浏览器中通过验证")), qPrintable(offer));
        // Taken, the walk runs again through the browser.
        QCOMPARE(desk.session().fetchMode(), FetchMode::Browser);
        QTRY_VERIFY(desk.session().isBusy());
        window.cancelSearch();
        QVERIFY(finished.wait(30000));
    }

    void aSliderInDirectModeOffersTheBrowserToTheKeywordRun() {
        StoreThread store{HistoryFilePath()};
        RankingDesk desk{&store};
        SoPaiMing& window = desk.ranking();
        readyToWalk(desk, u"限流宝贝", 1, FetchMode::Direct);
        KeywordPanel& panel = window.keywordPanel();
        control<QPlainTextEdit>(panel, "KeywordList")->setPlainText(QStringLiteral("限流宝贝"));
        m_scope->messages.takeOffers(true);
        QSignalSpy finished(&panel, &KeywordPanel::runFinished);
        panel.runKeywords();
        QVERIFY(finished.wait(30000));
        expectBrowserOffered(desk, m_scope->messages.offers());
        // Taken, the run starts again through the browser.
        QTRY_VERIFY(panel.isRunning());
        panel.cancelRun();
        QVERIFY(finished.wait(30000));
    }

    void aLoginPageInDirectModeOffersTheBrowserToTheShopCrawl_data() {
        QTest::addColumn<QString>("host");
        QTest::newRow("login") << "loginshop.taobao.com";
        QTest::newRow("today's shop") << QString::fromLatin1(demo::kTodayShopHost);
    }
    void aLoginPageInDirectModeOffersTheBrowserToTheShopCrawl() {
        QFETCH(QString, host);
        RankingDesk desk;
        desk.session().setFetchMode(FetchMode::Direct);
        SoShopGoods& shop = desk.shop();
        shop.setShopAddress(host);
        shop.show();
        m_scope->messages.takeOffers(true);
        QSignalSpy finished(&shop, &SoShopGoods::crawlFinished);
        shop.Command1_Click();
        QVERIFY(finished.wait(30000));
        expectBrowserOffered(desk, m_scope->messages.offers());
        QTRY_VERIFY(shop.isCrawling());
        shop.cancelCrawl();
        QVERIFY(finished.wait(30000));
    }

    // The shop window out of view: the ranking window makes the offer, and taken, reads the shop again.
    void aLoginPageInDirectModeOffersTheBrowserToAHiddenShopRead_data() {
        QTest::addColumn<bool>("walk");
        QTest::newRow("Command3") << false;
        QTest::newRow("walk by shop") << true;
    }
    void aLoginPageInDirectModeOffersTheBrowserToAHiddenShopRead() {
        QFETCH(bool, walk);
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        readyToWalk(desk, u"连衣裙", 1, FetchMode::Direct);
        control<QRadioButton>(window, "Op2")->setChecked(true);
        control<QLineEdit>(window, "SURL")->setText(QStringLiteral("loginshop.taobao.com"));
        m_scope->messages.takeOffers(true);
        QSignalSpy finished(&desk.shop(), &SoShopGoods::crawlFinished);
        walk ? window.Command1_Click() : window.Command3_Click();
        QVERIFY(finished.wait(30000));
        expectBrowserOffered(desk, m_scope->messages.offers());
        QTRY_VERIFY(desk.shop().isCrawling());
        window.cancelSearch();
        QVERIFY(finished.wait(30000));
    }
};

TARVISK_DEMO_WINDOW_TEST_MAIN(BrowserWalkTest)
#include "browser_walk_test.moc"
