#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QWheelEvent>
#include <QSignalSpy>
#include <QTest>

#include "app/browser/browser_profile.h"
#include "app/session/ranking_session.h"
#include "app/shop/so_shop_goods.h"
#include "app/ui/window_font.h"
#include "text/settings.h"
#include "app/ui/qt_text.h"
#include "support/fake_pages.h"
#include "core/files.h"
#include "window_test_support.h"

using namespace tarvisk;
using test::control;

namespace {

/// A shop whose search pages list `perPage` items on each of `pages` pages; later pages show the end notice.
class FakeShop : public test::RequestLog {
public:
    FakeShop(int pages, int perPage, QString titleTail = {})
        : m_pages(pages), m_perPage(perPage), m_titleTail(std::move(titleTail)) {}

    ShopPageFetch fetch() {
        return [this](const std::u16string& url) {
            const QString address = QString::fromStdU16String(url);
            if (!enter(address)) {
                return std::u16string();
            }
            const int page = address.section(QStringLiteral("pageNo="), 1).toInt();
            if (page > m_pages) {
                return std::u16string(test::kShopEndPage);
            }
            std::vector<std::pair<std::u16string, std::u16string>> items;
            for (int k = 1; k <= m_perPage; ++k) {
                items.emplace_back(CoreText(QString::number(5200000000LL + page * 1000 + k)),
                                   CoreText(QStringLiteral("宝贝%1-%2").arg(page).arg(k) + m_titleTail));
            }
            return test::ShopPage(items);
        };
    }

private:
    int m_pages;
    int m_perPage;
    QString m_titleTail;
};

/// Crawls `address` in `window` with the pages of `shop` to the end; the number of items listed, -1 on timeout.
int crawlToEnd(RankingSession& session, SoShopGoods& window, FakeShop& shop, const QString& address,
               int timeoutMs = 10000) {
    session.setCrawlFetch(shop.fetch());
    window.setShopAddress(address);
    QSignalSpy finished(&window, &SoShopGoods::crawlFinished);
    window.Command1_Click();
    return finished.wait(timeoutMs) ? finished.first().first().toInt() : -1;
}

} // namespace

class SoShopGoodsTest : public test::WindowTest {
    Q_OBJECT

private slots:
    void controlsHaveTheirNamesKindsCaptionsAndPlaces() {
        RankingSession session;
        SoShopGoods window{session};
        QCOMPARE(window.windowTitle(), QStringLiteral("查询淘宝店铺宝贝"));
        QCOMPARE(window.size(), QSize(9600 / 15, 6525 / 15));
        QVERIFY(window.isHidden());
        const test::ControlSpec controls[] = {
            {"Label1", "QLabel", QStringLiteral("C店地址："), test::twips(240, 360, 1455, 495)},
            {"SURL", "QLineEdit", {}, test::twips(1560, 240, 6855, 375)},
            {"Command1", "QPushButton", QStringLiteral("查询"), test::twips(8520, 240, 855, 375)},
            {"Text1", "QPlainTextEdit", {}, test::twips(1560, 840, 6855, 4935)},
            {"Label2", "QLabel", QStringLiteral("双击我复制信息"), test::twips(6240, 5880, 2055, 375)},
            {"Label3", "QLabel", {}, test::twips(1560, 5880, 1935, 255)},
            {"List1", "QListWidget", {}, test::twips(1560, 840, 1455, 4920)},
            {"List2", "QListWidget", {}, test::twips(3000, 840, 5415, 4920)},
            {"Label4", "QLabel", QStringLiteral("读取方式："), test::twips(240, 960, 1215, 255)},
            {"FetchMode", "QComboBox", {}, test::twips(120, 1260, 1395, 330)},
        };
        test::verifyControls(window, controls);
        auto* label1 = control<QLabel>(window, "Label1");
        QCOMPARE(label1->font().family(), WindowFontFamily());
        QCOMPARE(label1->font().pointSizeF(), 12.0);
        QVERIFY(label1->font().bold());
        QCOMPARE(control<QLabel>(window, "Label2")->font().pointSizeF(), 10.5);
        // The lists lie in front of the result text.
        QWidget* text1 = control<QWidget>(window, "Text1");
        auto* list1 = control<QListWidget>(window, "List1");
        QWidget* front = window.childAt(test::twips(1560, 840, 1455, 4920).center());
        QVERIFY(front == list1 || list1->isAncestorOf(front));
        QVERIFY(text1->isVisibleTo(&window));
        // Tab order: Label1, SURL, Command1, Text1 ... as the controls are listed.
        QCOMPARE(control<QWidget>(window, "SURL")->nextInFocusChain(), control<QWidget>(window, "Command1"));
    }

    void theAddressIsApartFromTheRankingWindowsButTakesItOnce() {
        QVERIFY(WriteSetting(u"SURL", u"//shop7.taobao.com/"));
        RankingSession session;
        {
            // The first start takes the address it shared with the ranking window before.
            SoShopGoods window{session};
            QCOMPARE(control<QLineEdit>(window, "SURL")->text(), QStringLiteral("//shop7.taobao.com/"));
            auto* surl = control<QLineEdit>(window, "SURL");
            surl->clear();
            QTest::keyClicks(surl, QStringLiteral("ab"));
            QTest::keyClick(surl, Qt::Key_Backspace);
            QCOMPARE(ReadSetting(u"ShopListURL"), u"a");
            QCOMPARE(ReadSetting(u"SURL"), u"//shop7.taobao.com/");
            surl->clear();
        }
        // A box cleared stays cleared, whatever the ranking window's box holds.
        QVERIFY(WriteSetting(u"SURL", u"shop8.taobao.com"));
        SoShopGoods again{session};
        QCOMPARE(control<QLineEdit>(again, "SURL")->text(), QString());
    }

    void crawlListsEveryItemAndKeepsTheAddressAsTyped() {
        FakeShop shop(2, 3);
        RankingSession session;
        SoShopGoods window{session};
        session.setCrawlFetch(shop.fetch());
        window.setShopAddress(QStringLiteral("Shop1.Taobao.COM"));
        QSignalSpy finished(&window, &SoShopGoods::crawlFinished);
        QTest::mouseClick(control<QPushButton>(window, "Command1"), Qt::LeftButton);
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.first().first().toInt(), 6);

        QCOMPARE(control<QLineEdit>(window, "SURL")->text(), QStringLiteral("Shop1.Taobao.COM"));
        QCOMPARE(ReadSetting(u"ShopListURL"), u"Shop1.Taobao.COM");
        QCOMPARE(window.listedAddress(), QStringLiteral("Shop1.Taobao.COM"));
        QCOMPARE(shop.urls(), (QStringList{QStringLiteral("http://shop1.taobao.com/search.htm?v=1&pageNo=1"),
                                           QStringLiteral("http://shop1.taobao.com/search.htm?v=1&pageNo=2"),
                                           QStringLiteral("http://shop1.taobao.com/search.htm?v=1&pageNo=3")}));
        const QStringList ids{"5200001001", "5200001002", "5200001003", "5200002001", "5200002002", "5200002003"};
        QCOMPARE(window.itemIds(), ids);
        auto* list2 = control<QListWidget>(window, "List2");
        QCOMPARE(list2->count(), 6);
        QCOMPARE(list2->item(4)->text(), QStringLiteral("宝贝2-2"));
        QCOMPARE(control<QLabel>(window, "Label3")->text(), QStringLiteral("共查到6个宝贝"));
        QCOMPARE(control<QLabel>(window, "Label3")->textFormat(), Qt::PlainText);
        QString expected;
        for (int i = 0; i < 6; ++i) {
            expected += ids[i] + QStringLiteral(" 宝贝%1-%2\r\n").arg(i / 3 + 1).arg(i % 3 + 1);
        }
        // The box shows each CR LF as one line break.
        QCOMPARE(control<QPlainTextEdit>(window, "Text1")->toPlainText(),
                 expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        QVERIFY(control<QPushButton>(window, "Command1")->isEnabled());
    }

    void enterInTheAddressReadsTheShop() {
        FakeShop shop(1, 2);
        RankingSession session;
        SoShopGoods window{session};
        session.setCrawlFetch(shop.fetch());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* surl = control<QLineEdit>(window, "SURL");
        surl->setFocus();
        QTest::keyClicks(surl, QStringLiteral("shop2.taobao.com"));
        QSignalSpy finished(&window, &SoShopGoods::crawlFinished);
        QTest::keyClick(surl, Qt::Key_Return);
        QVERIFY(finished.wait(10000));
        QCOMPARE(shop.urls().first(), QStringLiteral("http://shop2.taobao.com/search.htm?v=1&pageNo=1"));
        QCOMPARE(window.itemIds().size(), 2);
    }

    void bothListsExportTheListingToCsv() {
        FakeShop shop(1, 2);
        RankingSession session;
        SoShopGoods window{session};
        QCOMPARE(crawlToEnd(session, window, shop, QStringLiteral("shop1.taobao.com")), 2);
        const QString file = m_scope->data.filePath(QStringLiteral("店铺.csv"));
        test::FileAnswers answers(file);
        for (const char* list : {"List1", "List2"}) {
            QFile::remove(file);
            auto* action = control<QListWidget>(window, list)->findChild<QAction*>(QStringLiteral("ExportCsv"));
            QVERIFY(action != nullptr);
            QCOMPARE(action->text(), QStringLiteral("导出CSV…"));
            action->trigger();
            QFile csv(file);
            QVERIFY(csv.open(QIODevice::ReadOnly));
            QCOMPARE(csv.readAll(), QByteArray("\xEF\xBB\xBF宝贝ID,宝贝标题\r\n\"=\"\"5200001001\"\"\",宝贝1-1\r\n"
                                               "\"=\"\"5200001002\"\"\",宝贝1-2\r\n"));
        }
        // A read-only file is replaced only when the user says so.
        auto* action = control<QListWidget>(window, "List1")->findChild<QAction*>(QStringLiteral("ExportCsv"));
        for (const bool replace : {false, true}) {
            QFile::remove(file);
            QVERIFY(ReplaceFile(file.toStdString(), "keep"));
            QVERIFY(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
            m_scope->messages.takeOffers(replace);
            action->trigger();
            QVERIFY(m_scope->messages.offers().last().startsWith(QStringLiteral("文件是只读的")));
            QCOMPARE(ReadFileBytes(file.toStdString(), 1 << 20).value_or("") == "keep", !replace);
        }
    }

    void aRunningCrawlShowsProgressDisablesTheButtonAndCanBeCancelled() {
        FakeShop shop(5, 2);
        RankingSession session;
        SoShopGoods window{session};
        session.setCrawlFetch(shop.fetch());
        window.setShopAddress(QStringLiteral("//shop2.taobao.com/"));
        QSignalSpy finished(&window, &SoShopGoods::crawlFinished);
        shop.hold(true);
        window.Command1_Click();
        auto* command1 = control<QPushButton>(window, "Command1");
        auto* progress = control<QWidget>(window, "JobProgress");
        QVERIFY(!command1->isEnabled());
        QTRY_VERIFY(progress->isVisibleTo(&window));
        QTRY_COMPARE(control<QLabel>(window, "JobProgressText")->text(), QStringLiteral("正在查询第 1 / 100 页"));
        window.Command1_Click(); // a second start is refused
        QCOMPARE(shop.urls().size(), 1);

        QTest::mouseClick(control<QPushButton>(window, "CancelJob"), Qt::LeftButton);
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.first().first().toInt(), 0);
        QVERIFY(finished.first().last().toBool());
        QVERIFY(command1->isEnabled());
        QVERIFY(!progress->isVisibleTo(&window));
        // A stopped crawl says so, with what it had listed, and its list counts as incomplete.
        QCOMPARE(control<QLabel>(window, "Label3")->text(), QStringLiteral("已取消：已列出0个宝贝"));
        QVERIFY(!window.listComplete());
        window.Label2_Click();
        QCOMPARE(m_scope->messages.messages().last().first,
                 QStringLiteral("复制成功\n\n已取消：已列出0个宝贝，店铺宝贝列表不完整"));

        // A crawl to its end makes the list whole again.
        shop.hold(false);
        window.Command1_Click();
        QVERIFY(finished.wait(10000));
        QVERIFY(window.listComplete());
        QCOMPARE(control<QLabel>(window, "Label3")->text(), QStringLiteral("共查到10个宝贝"));
    }

    void theStatusLineSaysWhyAListingIsPartialAndShowsItsWholeText() {
        // A hundred pages of a hundred items (the page limit), and a page whose links past the first hundred are
        // not listed.
        RankingSession session;
        SoShopGoods window{session};
        const QRect label2 = control<QWidget>(window, "Label2")->geometry();
        auto* label3 = control<QLabel>(window, "Label3");
        const auto shownWhole = [&] {
            QVERIFY(label3->geometry().right() < label2.left());
            // Clear of the window's bottom edge.
            QVERIFY(label3->geometry().bottom() < window.height() - 4);
            // One line as wide as its text, or, wrapped, as high as its lines.
            QVERIFY(label3->wordWrap() ? label3->height() >= label3->heightForWidth(label3->width())
                                       : label3->width() >= label3->sizeHint().width());
        };
        FakeShop small(1, 3);
        QCOMPARE(crawlToEnd(session, window, small, QStringLiteral("small.taobao.com")), 3);
        QCOMPARE(label3->text(), QStringLiteral("共查到3个宝贝"));
        shownWhole();

        FakeShop big(100, 100);
        QCOMPARE(crawlToEnd(session, window, big, QStringLiteral("bigshop.taobao.com"), 60000), 10000);
        QCOMPARE(label3->text(), QStringLiteral("共查到10000个宝贝（最多读100页，后面可能还有）"));
        shownWhole();

        FakeShop crowded(1, 120);
        QCOMPARE(crawlToEnd(session, window, crowded, QStringLiteral("crowded.taobao.com")), 100);
        QCOMPARE(label3->text(), QStringLiteral("共查到100个宝贝（第1页另有20个未列出，每页只列前100个）"));
        shownWhole();
    }

    void theIdAndTitleListsScrollAndSelectTogether() {
        // Titles long enough to give the title list a horizontal scroll bar.
        FakeShop shop(1, 60, QString(40, QChar(u'长')));
        RankingSession session;
        SoShopGoods window{session};
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(crawlToEnd(session, window, shop, QStringLiteral("shop7.taobao.com")), 60);
        auto* ids = control<QListWidget>(window, "List1");
        auto* titles = control<QListWidget>(window, "List2");
        const auto topRow = [](QListWidget* list) { return list->indexAt(QPoint(2, 2)).row(); };
        const auto bottomRow = [](QListWidget* list) {
            return list->indexAt(QPoint(2, list->viewport()->height() - 2)).row();
        };
        QVERIFY(!ids->verticalScrollBar()->isVisible());

        titles->scrollToItem(titles->item(25), QAbstractItemView::PositionAtTop);
        QCOMPARE(topRow(ids), topRow(titles));
        QCOMPARE(topRow(ids), 25);
        // The wheel over the ids moves both.
        QWheelEvent wheel(QPointF(5, 5), ids->viewport()->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(ids->viewport(), &wheel);
        QVERIFY(topRow(titles) > 25);
        QCOMPARE(topRow(ids), topRow(titles));
        // At the very end both show the same last rows, the horizontal scroll bar of the titles notwithstanding.
        titles->scrollToBottom();
        QVERIFY(titles->horizontalScrollBar()->isVisible() && ids->horizontalScrollBar()->isVisible());
        QCOMPARE(bottomRow(ids), bottomRow(titles));
        QCOMPARE(topRow(ids), topRow(titles));

        ids->setCurrentRow(40);
        QCOMPARE(titles->currentRow(), 40);
        titles->setCurrentRow(3);
        QCOMPARE(ids->currentRow(), 3);
        QCOMPARE(titles->currentItem()->text().left(5), QStringLiteral("宝贝1-4"));
        QCOMPARE(ids->currentItem()->text(), QStringLiteral("5200001004"));
    }

    void endNoticeOnTheFirstPageListsNothing() {
        FakeShop shop(0, 3);
        RankingSession session;
        SoShopGoods window{session};
        control<QListWidget>(window, "List1")->addItem(QStringLiteral("old"));
        control<QPlainTextEdit>(window, "Text1")->setPlainText(QStringLiteral("old"));
        QCOMPARE(crawlToEnd(session, window, shop, QStringLiteral("shop3.taobao.com")), 0);
        QCOMPARE(window.itemIds(), QStringList());
        QCOMPARE(control<QPlainTextEdit>(window, "Text1")->toPlainText(), QString());
        QCOMPARE(control<QLabel>(window, "Label3")->text(), QStringLiteral("共查到0个宝贝"));
    }

    void aVerificationPageLeavesTheListingIncompleteAndOffersTheLoginBrowser() {
        FakeShop shop(3, 2);
        RankingSession session;
        SoShopGoods window{session};
        // Page 2 is the slider page itself, at the address asked for.
        session.setCrawlFetch([inner = shop.fetch()](const std::u16string& url) -> FetchedPage {
            return url.ends_with(u"pageNo=2") ? FetchedPage(u"<div id=\"nc_1_n1z\"></div>") : inner(url);
        });
        window.setShopAddress(QStringLiteral("shop7.taobao.com"));
        QSignalSpy finished(&window, &SoShopGoods::crawlFinished);
        QSignalSpy opened(&session, &RankingSession::loginBrowserRequested);
        const QString message = QStringLiteral("店铺宝贝列表不完整：读取店铺第2页时淘宝要求安全验证（滑块或访问受限），"
                                               "只列出了之前各页的2个宝贝。请先在浏览器中通过验证，再重新查询。");

        // Run for the ranking window: the window shows the listing and says nothing itself.
        QWidget ranking;
        QVERIFY(session.crawlShop(ranking, window.shopAddress(), {}, [] {}));
        QVERIFY(finished.wait(10000));
        QCOMPARE(window.itemIds().size(), 2);
        QCOMPARE(control<QLabel>(window, "Label3")->text(),
                 QStringLiteral("共查到2个宝贝（第2页没有读到，列表不完整）"));
        QVERIFY(window.unreadPage().has_value());
        QCOMPARE(window.unreadMessage(), message);
        QVERIFY(m_scope->messages.messages().isEmpty());

        // In view: it tells the user and offers the page in the login browser.
        window.show();
        m_scope->messages.takeOffers(true);
        window.Command1_Click();
        QVERIFY(finished.wait(10000));
        QCOMPARE(m_scope->messages.offers(), QStringList{message});
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first().first().toString(), QStringLiteral("http://shop7.taobao.com/search.htm?v=1&pageNo=2"));
    }

    void clickingTheCopyLabelPutsTheResultTextOnTheClipboard() {
        FakeShop shop(1, 2);
        RankingSession session;
        SoShopGoods window{session};
        QCOMPARE(crawlToEnd(session, window, shop, QStringLiteral("//shop4.taobao.com/")), 2);
        QApplication::clipboard()->setText(QStringLiteral("before"));
        QTest::mouseClick(control<QLabel>(window, "Label2"), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("5200001001 宝贝1-1\r\n5200001002 宝贝1-2\r\n"));
        QCOMPARE(m_scope->messages.messages().size(), 1);
        QCOMPARE(m_scope->messages.messages().first().first, QStringLiteral("复制成功"));
        QCOMPARE(m_scope->messages.messages().first().second, ProductCaption());
    }

    void anEmptyResultIsCopiedAndReportedToo() {
        RankingSession session;
        SoShopGoods window{session};
        QApplication::clipboard()->setText(QStringLiteral("before"));
        window.Label2_Click();
        QCOMPARE(QApplication::clipboard()->text(), QString());
        QCOMPARE(m_scope->messages.messages().size(), 1);
    }

    void doubleClickSelectsTheWholeText() {
        RankingSession session;
        SoShopGoods window{session};
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* surl = control<QLineEdit>(window, "SURL");
        surl->setText(QStringLiteral("//shop5.taobao.com/ with words"));
        QTest::mouseDClick(surl, Qt::LeftButton, {}, QPoint(5, surl->height() / 2));
        QCOMPARE(surl->selectedText(), surl->text());

        auto* text1 = control<QPlainTextEdit>(window, "Text1");
        text1->setPlainText(QStringLiteral("5200000101 one\r\n5200000102 two\r\n"));
        // Text1 lies behind the lists: its double-click handling is the window's own.
        window.Text1_DblClick();
        QCOMPARE(text1->textCursor().selectedText().size(), text1->toPlainText().size());
    }

    void closingOnlyHidesAndKeepsTheResults() {
        FakeShop shop(1, 2);
        RankingSession session;
        SoShopGoods window{session};
        QCOMPARE(crawlToEnd(session, window, shop, QStringLiteral("//shop6.taobao.com/")), 2);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!window.close());
        QVERIFY(window.isHidden());
        window.show();
        QCOMPARE(window.itemIds().size(), 2);
        QCOMPARE(control<QLabel>(window, "Label3")->text(), QStringLiteral("共查到2个宝贝"));
    }

    void destroyingTheWindowDuringACrawlStopsIt() {
        FakeShop shop(5, 2);
        shop.hold(true);
        {
            RankingSession session;
            SoShopGoods window{session};
            session.setCrawlFetch(shop.fetch());
            window.setShopAddress(QStringLiteral("//shop8.taobao.com/"));
            window.Command1_Click();
            QTRY_COMPARE(shop.urls().size(), 1);
        }
        QCOMPARE(shop.urls().size(), 1);
    }
};

TARVISK_WINDOW_TEST_MAIN(SoShopGoodsTest)
#include "so_shop_goods_test.moc"
