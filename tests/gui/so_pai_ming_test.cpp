#include <stdexcept>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QFontDatabase>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QTextDocument>
#include <QThread>
#include <QTimer>
#include <QToolTip>

#include "app/browser/browser_profile.h"
#include "app/browser/browser_view.h"
#include "app/main/ranking_desk.h"
#include "app/ranking/so_pai_ming.h"
#include "app/session/ranking_session.h"
#include "app/shop/so_shop_goods.h"
#include "app/ui/message_box.h"
#include "app/ui/store_thread.h"
#include "store/local_store.h"
#include "store/ranking_history.h"
#include "app/ui/window_font.h"
#include "core/cancel.h"
#include "demo/demo_market.h"
#include "net/endpoints.h"
#include "text/settings.h"
#include "app/ui/qt_text.h"
#include "support/fake_pages.h"
#include "window_test_support.h"

using namespace tarvisk;
using test::control;

namespace {

/// The id of the k-th item of result page `page` in the fake search.
QString itemId(int page, int k) {
    return QString::number(42054000000LL + page * 100 + k);
}

/// A marketplace search whose every result page holds 44 items: the ids in the part after the "dynamic" marker,
/// titles, pictures and sales further down.
class FakeSearch : public test::RequestLog {
public:
    explicit FakeSearch(int itemsPerPage = 44) : m_itemsPerPage(itemsPerPage) {}

    RankingPageFetch fetch() {
        return [this](std::u16string& url) {
            const QString address = QString::fromStdU16String(url);
            if (!enter(address)) {
                return std::u16string();
            }
            return page(address.section(QStringLiteral("&s="), -1).toInt() / 44 + 1);
        };
    }

private:
    std::u16string page(int number) const {
        std::vector<test::SearchItem> items;
        for (int k = 1; k <= m_itemsPerPage; ++k) {
            // The first title is written with JSON escapes (手机).
            const QString title =
                k == 1 ? QStringLiteral("\\u624b\\u673a") : QStringLiteral("宝贝%1-%2").arg(number).arg(k);
            items.push_back({CoreText(itemId(number, k)), CoreText(title),
                             CoreText(QStringLiteral("http:\\/\\/127.0.0.1:9\\/p%1_%2").arg(number).arg(k)),
                             CoreText(QStringLiteral("%1人付款").arg(k * 3))});
        }
        return test::SearchPage(items);
    }

    int m_itemsPerPage;
};

/// A shop with `count` items on its first search page, the given ids first.
ShopPageFetch shopFetch(int count, const QStringList& firstIds = {}) {
    return [count, firstIds](const std::u16string& url) {
        if (!url.ends_with(u"pageNo=1")) {
            return std::u16string(test::kShopEndPage);
        }
        std::vector<std::pair<std::u16string, std::u16string>> items;
        for (int i = 0; i < count; ++i) {
            const QString id = i < firstIds.size() ? firstIds[i] : QString::number(5300000000LL + i);
            items.emplace_back(CoreText(id), CoreText(QStringLiteral("宝贝%1").arg(i)));
        }
        return test::ShopPage(items);
    };
}

/// A shop with 20 items on each of its first two search pages, whose requests can be held.
class HeldShop : public test::RequestLog {
public:
    ShopPageFetch fetch() {
        return [this](const std::u16string& url) -> FetchedPage {
            if (!enter(QtText(url))) {
                return {};
            }
            const bool listing = url.ends_with(u"pageNo=1") || url.ends_with(u"pageNo=2");
            return listing ? shopFetch(20)(u"pageNo=1") : FetchedPage(test::kShopEndPage);
        };
    }
};

/// Fills what a walk needs: a keyword (a first start has none, and a walk without one is refused) and, while the
/// item box is empty, an item id no fake page lists.
void readyToWalk(SoPaiMing& window) {
    control<QLineEdit>(window, "KeyWord")->setText(QStringLiteral("手机"));
    if (auto* text2 = control<QLineEdit>(window, "Text2"); text2->text().isEmpty()) {
        text2->setText(QStringLiteral("999999999999"));
    }
}

/// Empties the box `name` of the shown `window` as a user would (select all, Delete), leaving the focus in it.
QLineEdit* emptiedBox(QWidget& window, const char* name) {
    auto* box = control<QLineEdit>(window, name);
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    return box;
}

/// Types `text` into `box` a key at a time (Chinese too).
void typeKeys(QWidget* box, const QString& text) {
    for (const QChar key : text) {
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(key), Qt::NoModifier);
    }
}

QString settingsText(const test::ScratchSettings& settings) {
    // What the windows changed is in the file once the changes are written.
    FlushSettings();
    QFile file(settings.filePath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class SoPaiMingTest : public test::WindowTest {
    Q_OBJECT

private slots:
    void chineseFontIsInstalled() {
        QVERIFY2(!QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty(),
                 "without a CJK font every Chinese character shows as a box (install fonts-noto-cjk)");
        QVERIFY(QFontDatabase::families(QFontDatabase::SimplifiedChinese).contains(WindowFontFamily()) ||
                WindowFontFamily() == QStringLiteral("宋体"));
    }

    void controlsHaveTheirNamesKindsCaptionsAndPlaces() {
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        QCOMPARE(window.windowTitle(), QStringLiteral("淘宝宝贝排名查询"));
        // The controls' area, and a row below it for the pause between pages.
        QCOMPARE(window.size(), QSize(16080 / 15, 10950 / 15));
        const test::ControlSpec controls[] = {
            {"Label4", "QLabel", QStringLiteral("1.关键字："), test::twips(120, 240, 975, 255)},
            {"KeyWord", "QLineEdit", {}, test::twips(1080, 120, 4455, 375)},
            {"Label2", "QLabel", QStringLiteral("查询前"), test::twips(5640, 120, 735, 255)},
            {"Pages", "QLineEdit", {}, test::twips(6360, 120, 375, 270)},
            {"Label3", "QLabel", QStringLiteral("页"), test::twips(6840, 120, 255, 255)},
            {"Label1", "QLabel", {}, test::twips(7320, 120, 2055, 375)},
            {"Command2", "QPushButton", QStringLiteral("图示→"), test::twips(9480, 120, 1095, 375)},
            {"Op2", "QRadioButton", QStringLiteral("查询店铺所有宝贝"), test::twips(120, 720, 1935, 255)},
            {"SURL", "QLineEdit", {}, test::twips(2040, 720, 6495, 270)},
            {"Command3", "QPushButton", QStringLiteral("读取"), test::twips(8640, 720, 975, 255)},
            {"Command4", "QPushButton", QStringLiteral("详情"), test::twips(9720, 720, 855, 255)},
            {"Op1", "QRadioButton", QStringLiteral("查询单款宝贝，请输入宝贝id或宝贝URL地址"),
             test::twips(120, 1200, 4095, 255)},
            {"Text2", "QLineEdit", {}, test::twips(4080, 1200, 4455, 270)},
            {"Command1", "QPushButton", QStringLiteral("查询排名"), test::twips(8640, 1080, 1935, 375)},
            {"List0", "QTableView", {}, test::twips(120, 1560, 10455, 8895)},
            {"Picture1", "QFrame", {}, test::twips(10680, 120, 5295, 10335)},
            {"W1", "QWebEngineView", {}, QRect(-1, -1, 5295 / 15, 10335 / 15)},
            {"Label5", "QLabel", QStringLiteral("页间停顿："), test::twips(120, 10620, 1095, 255)},
            {"Pause", "QSpinBox", {}, test::twips(1215, 10545, 1455, 330)},
            {"Label6", "QLabel", QStringLiteral("每读完一页稍等片刻（前后随机浮动三成），可减少淘宝的安全验证"),
             test::twips(2775, 10620, 7800, 255)},
        };
        test::verifyControls(window, controls);
        // No pause unless asked for.
        QCOMPARE(control<QSpinBox>(window, "Pause")->value(), 0);
        QCOMPARE(control<QSpinBox>(window, "Pause")->text(), QStringLiteral("不停顿"));
        // The progress strip takes the place of the pause's explanation while it shows, below the table.
        QCOMPARE(control<QWidget>(window, "JobProgress")->geometry(), test::twips(2775, 10545, 7800, 375));
        QCOMPARE(control<QWidget>(window, "W1")->parentWidget(), control<QWidget>(window, "Picture1"));
        QCOMPARE(control<QLineEdit>(window, "Text2")->toolTip(), QStringLiteral("您还可以把宝贝URL地址粘贴到这里"));
        QCOMPARE(control<QLineEdit>(window, "KeyWord")->font().pointSizeF(), 12.0);
        QCOMPARE(control<QLabel>(window, "Label1")->font().pointSizeF(), 12.0);
        QVERIFY(control<QLabel>(window, "Label1")->font().bold());
        QCOMPARE(control<QLabel>(window, "Label1")->font().family(), WindowFontFamily());
        // The status label never takes its text for markup.
        QCOMPARE(control<QLabel>(window, "Label1")->textFormat(), Qt::PlainText);

        // Tab order: KeyWord, Command1, Text2, Command2, List0 ... by the controls' tab indexes.
        QCOMPARE(control<QWidget>(window, "KeyWord")->nextInFocusChain(), control<QWidget>(window, "Command1"));
        QCOMPARE(control<QWidget>(window, "Command1")->nextInFocusChain(), control<QWidget>(window, "Text2"));
        QCOMPARE(control<QWidget>(window, "Text2")->nextInFocusChain(), control<QWidget>(window, "Command2"));
        QCOMPARE(control<QWidget>(window, "Command2")->nextInFocusChain(), control<QWidget>(window, "List0"));

        auto* list0 = control<QTableView>(window, "List0");
        const QStringList titles{"No.", "宝贝名", "位置", "id", "图片", "销售量"};
        const int widths[] = {30, 300, 100, 100, 80, 80};
        QCOMPARE(list0->model()->columnCount(), 6);
        for (int column = 0; column < 6; ++column) {
            QCOMPARE(list0->model()->headerData(column, Qt::Horizontal).toString(), titles[column]);
            QCOMPARE(list0->columnWidth(column), widths[column]);
        }
    }

    void firstStartWithoutSettingsFile() {
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        QCOMPARE(control<QLineEdit>(window, "KeyWord")->text(), QString());
        QCOMPARE(control<QLineEdit>(window, "Text2")->text(), QString());
        QCOMPARE(control<QLineEdit>(window, "Pages")->text(), QStringLiteral("1"));
        QCOMPARE(control<QLineEdit>(window, "SURL")->text(), QString());
        QVERIFY(control<QRadioButton>(window, "Op1")->isChecked());
        QVERIFY(control<QPushButton>(window, "Command1")->isEnabled());
        const QString file = settingsText(m_scope->settings);
        QVERIFY2(file.contains(QStringLiteral("KeyWord=\r\n")), qPrintable(file));
        QVERIFY(file.contains(QStringLiteral("Goods=\r\n")));
        QVERIFY(file.contains(QStringLiteral("Pages=1\r\n")));
        QVERIFY(!file.contains(QStringLiteral("op=")));
        QVERIFY(!file.contains(QStringLiteral("SURL=")));
    }

    void loadsTheStoredFields() {
        QVERIFY(WriteSetting(u"KeyWord", u"连衣裙 夏"));
        QVERIFY(WriteSetting(u"Goods", u"42054041382"));
        QVERIFY(WriteSetting(u"SURL", u"//shop1.taobao.com/"));
        QVERIFY(WriteSetting(u"Pages", u"5"));
        QVERIFY(WriteSetting(u"op", u"2"));
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        QCOMPARE(control<QLineEdit>(window, "KeyWord")->text(), QStringLiteral("连衣裙 夏"));
        QCOMPARE(control<QLineEdit>(window, "Text2")->text(), QStringLiteral("42054041382"));
        QCOMPARE(control<QLineEdit>(window, "SURL")->text(), QStringLiteral("//shop1.taobao.com/"));
        QCOMPARE(control<QLineEdit>(window, "Pages")->text(), QStringLiteral("5"));
        QVERIFY(control<QRadioButton>(window, "Op2")->isChecked());
        // Shop mode without a shop list: the ranking button reads the shop itself.
        QVERIFY(control<QPushButton>(window, "Command1")->isEnabled());
    }

    void storedValuesAreCorrectedByTheFieldRulesAtLoad() {
        QVERIFY(WriteSetting(u"Pages", u"150"));
        QVERIFY(WriteSetting(u"Goods", u"http://item.taobao.com/item.htm?id=42054041382&spm=1"));
        QVERIFY(WriteSetting(u"op", u"7"));
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        QCOMPARE(control<QLineEdit>(window, "Pages")->text(), QStringLiteral("100"));
        QCOMPARE(ReadSetting(u"Pages"), u"100");
        QCOMPARE(control<QLineEdit>(window, "Text2")->text(), QStringLiteral("42054041382"));
        QCOMPARE(ReadSetting(u"Goods"), u"42054041382");
        QVERIFY(control<QRadioButton>(window, "Op1")->isChecked());
    }

    void pagesKeepWhatIsTypedAndAreBoundedWhenEditingEnds_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("bounded");
        const std::pair<const char*, const char*> rows[] = {
            {"20", "20"}, {"5", "5"},     {"0", "1"},     {"-5", "1"},    {"abc", "1"},
            {"", "1"},    {"150", "100"}, {"100", "100"}, {"2.5", "2.5"}, {"3页", "3页"},
        };
        for (const auto& [typed, bounded] : rows) {
            QTest::newRow(*typed != '\0' ? typed : "empty") << QString::fromUtf8(typed) << QString::fromUtf8(bounded);
        }
    }
    void pagesKeepWhatIsTypedAndAreBoundedWhenEditingEnds() {
        QFETCH(QString, typed);
        QFETCH(QString, bounded);
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QLineEdit* pages = emptiedBox(window, "Pages");
        QCOMPARE(ReadSetting(u"Pages"), u"1");
        // Every keystroke stays in the box; what is stored is held between 1 and 100 at once.
        typeKeys(pages, typed);
        QCOMPARE(pages->text(), typed);
        QCOMPARE(QtText(ReadSetting(u"Pages")), bounded);
        // Leaving the box ends its editing: the bounds apply to the box too.
        control<QLineEdit>(window, "KeyWord")->setFocus();
        QCOMPARE(pages->text(), bounded);
        QCOMPARE(QtText(ReadSetting(u"Pages")), bounded);
    }

    void theWalkBoundsThePageCountItStartsWith() {
        FakeSearch search;
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        readyToWalk(window);
        desk.session().setWalkFetch(search.fetch());
        control<QLineEdit>(window, "Text2")->setText(QStringLiteral("999999999999"));
        auto* pages = control<QLineEdit>(window, "Pages");
        pages->setText(QStringLiteral("0"));
        QSignalSpy finished(&window, &SoPaiMing::searchFinished);
        window.Command1_Click();
        QCOMPARE(pages->text(), QStringLiteral("1"));
        QVERIFY(finished.wait(10000));
        QCOMPARE(search.urls().size(), 1);
    }

    void itemIdsCanBeTypedDigitByDigit() {
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QLineEdit* text2 = emptiedBox(window, "Text2");
        const QString id = QStringLiteral("42054041382");
        for (int i = 1; i <= id.size(); ++i) {
            typeKeys(text2, id.mid(i - 1, 1));
            QCOMPARE(text2->text(), id.left(i));
            // What is stored is an id or nothing: the first nine digits make one.
            QCOMPARE(QtText(ReadSetting(u"Goods")), i < 9 ? QString() : id.left(i));
        }
        control<QLineEdit>(window, "KeyWord")->setFocus();
        QCOMPARE(text2->text(), id);

        // Too few digits: leaving the box empties it, by the id rule.
        emptiedBox(window, "Text2");
        typeKeys(text2, QStringLiteral("1234"));
        QCOMPARE(text2->text(), QStringLiteral("1234"));
        control<QLineEdit>(window, "KeyWord")->setFocus();
        QCOMPARE(text2->text(), QString());
    }

    void aPastedTextLeavesOnlyTheItemId_data() {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("shown");
        QTest::newRow("pasted address") << "https://item.taobao.com/item.htm?spm=a1z10.1&id=520123456789"
                                        << "520123456789";
        QTest::newRow("the address's id wins") << "https://detail.tmall.com/item.htm?id=42054041382&skuId=4987654321"
                                               << "42054041382";
        QTest::newRow("an id= value wins") << "id=123456789&x=987654321"
                                           << "123456789";
        QTest::newRow("else the last run of digits") << "x=123456789&skuId=987654321"
                                                     << "987654321";
        QTest::newRow("eight digits") << "12345678"
                                      << "";
        QTest::newRow("15 digits keep the first 12") << "123456789012345"
                                                     << "123456789012";
        QTest::newRow("22 digits keep those after 12") << "1234567890123456789012"
                                                       << "3456789012";
        QTest::newRow("no digits") << "abc"
                                   << "";
    }
    void aPastedTextLeavesOnlyTheItemId() {
        QFETCH(QString, pasted);
        QFETCH(QString, shown);
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* text2 = control<QLineEdit>(window, "Text2");
        text2->setFocus();
        text2->selectAll();
        QApplication::clipboard()->setText(pasted);
        QTest::keyClick(text2, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(text2->text(), shown);
        QCOMPARE(QtText(ReadSetting(u"Goods")), shown);
    }

    void keywordIsStoredOnEveryChangeAndSelectedByDoubleClick() {
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* keyWord = control<QLineEdit>(window, "KeyWord");
        QTest::keyClicks(keyWord, QStringLiteral("ab c"));
        QCOMPARE(ReadSetting(u"KeyWord"), u"ab c");
        QTest::mouseDClick(keyWord, Qt::LeftButton, {}, QPoint(4, keyWord->height() / 2));
        QCOMPARE(keyWord->selectedText(), QStringLiteral("ab c"));
    }

    void optionsSwitchTheTargetMode() {
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        auto* command1 = control<QPushButton>(window, "Command1");
        QTest::mouseClick(control<QRadioButton>(window, "Op2"), Qt::LeftButton);
        QCOMPARE(ReadSetting(u"op"), u"2");
        QVERIFY(command1->isEnabled());

        QTest::mouseClick(control<QPushButton>(window, "Command4"), Qt::LeftButton);
        QVERIFY(desk.shop().isVisible());
        QTest::mouseClick(control<QRadioButton>(window, "Op1"), Qt::LeftButton);
        QCOMPARE(ReadSetting(u"op"), u"1");
        QVERIFY(command1->isEnabled());
        QVERIFY(desk.shop().isHidden());
    }

    void enterPressesTheFocusedButton() {
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* command4 = control<QPushButton>(window, "Command4");
        command4->setFocus();
        QTest::keyClick(command4, Qt::Key_Return);
        QVERIFY(desk.shop().isVisible());
    }

    void readingTheShopListTellsTheCount() {
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        desk.session().setCrawlFetch(shopFetch(25));
        QTest::mouseClick(control<QRadioButton>(window, "Op2"), Qt::LeftButton);
        control<QLineEdit>(window, "SURL")->setText(QStringLiteral("Shop9.Taobao.com"));
        QTest::mouseClick(control<QPushButton>(window, "Command3"), Qt::LeftButton);
        QVERIFY(!control<QPushButton>(window, "Command3")->isEnabled());
        QTRY_COMPARE(m_scope->messages.messages().size(), 1);
        QCOMPARE(m_scope->messages.messages().first().first, QStringLiteral("共查到25款宝贝"));
        QCOMPARE(m_scope->messages.messages().first().second, ProductCaption());
        QVERIFY(control<QPushButton>(window, "Command1")->isEnabled());
        QVERIFY(control<QPushButton>(window, "Command3")->isEnabled());
        // The shop window ran hidden and stored the address, as typed, under the shared key.
        QVERIFY(desk.shop().isHidden());
        QCOMPARE(ReadSetting(u"SURL"), u"Shop9.Taobao.com");
    }

    void readingTheShopListShowsProgressHoldsTheWalkAndCanBeCancelled() {
        HeldShop shop;
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        desk.session().setCrawlFetch(shop.fetch());
        auto* command1 = control<QPushButton>(window, "Command1");
        auto* command3 = control<QPushButton>(window, "Command3");
        auto* progress = control<QWidget>(window, "JobProgress");
        QTest::mouseClick(control<QRadioButton>(window, "Op2"), Qt::LeftButton);
        control<QLineEdit>(window, "SURL")->setText(QStringLiteral("shop9.taobao.com"));
        shop.hold(true);
        QTest::mouseClick(command3, Qt::LeftButton);
        QTRY_COMPARE(control<QLabel>(*progress, "JobProgressText")->text(), QStringLiteral("正在查询第 1 / 100 页"));
        QVERIFY(progress->isVisibleTo(&window));
        // Nothing reads the half-filled list meanwhile, and the count comes only at the end.
        QTest::mouseClick(control<QRadioButton>(window, "Op1"), Qt::LeftButton);
        QVERIFY(!command1->isEnabled() && !command3->isEnabled());
        window.Command1_Click();
        window.Command3_Click();
        QCOMPARE(shop.urls().size(), 1);
        QCOMPARE(m_scope->messages.messages().size(), 0);

        QTest::mouseClick(control<QPushButton>(*progress, "CancelJob"), Qt::LeftButton);
        QTRY_COMPARE(m_scope->messages.messages().size(), 1);
        QCOMPARE(m_scope->messages.messages().first().first,
                 QStringLiteral("已取消：已列出0款宝贝，店铺宝贝列表不完整"));
        QVERIFY(!progress->isVisibleTo(&window));
        QVERIFY(command1->isEnabled() && command3->isEnabled());

        // Read to its end.
        shop.hold(false);
        QTest::mouseClick(control<QRadioButton>(window, "Op2"), Qt::LeftButton);
        QTest::mouseClick(command3, Qt::LeftButton);
        QTRY_COMPARE(m_scope->messages.messages().size(), 2);
        QCOMPARE(m_scope->messages.messages().last().first, QStringLiteral("共查到40款宝贝"));
        QVERIFY(command1->isEnabled() && command3->isEnabled());
    }

    void aCrawlStartedInTheShopWindowHoldsTheWalkToo() {
        HeldShop shop;
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        SoShopGoods& shopWindow = desk.shop();
        desk.session().setCrawlFetch(shop.fetch());
        shopWindow.setShopAddress(QStringLiteral("shop9.taobao.com"));
        shop.hold(true);
        QSignalSpy finished(&shopWindow, &SoShopGoods::crawlFinished);
        shopWindow.Command1_Click();
        QVERIFY(!control<QPushButton>(window, "Command1")->isEnabled());
        QVERIFY(!control<QPushButton>(window, "Command3")->isEnabled());
        // Its progress shows in the shop window, not here.
        QVERIFY(!control<QWidget>(window, "JobProgress")->isVisibleTo(&window));
        shopWindow.cancelCrawl();
        QVERIFY(finished.wait(10000));
        QVERIFY(control<QPushButton>(window, "Command1")->isEnabled());
        QCOMPARE(m_scope->messages.messages().size(), 0);
    }

    // The other way round: a crawl asked while a walk runs is refused, saying which job runs, and never shares the
    // walk's browser page or its wait.
    void aCrawlAskedWhileAWalkRunsIsRefused() {
        FakeSearch search;
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        readyToWalk(window);
        desk.session().setWalkFetch(search.fetch());
        desk.session().setCrawlFetch(shopFetch(5));
        search.hold(true);
        QSignalSpy walked(&window, &SoPaiMing::searchFinished);
        window.Command1_Click();
        QTRY_COMPARE(search.urls().size(), 1);
        SoShopGoods& shopWindow = desk.shop();
        shopWindow.setShopAddress(QStringLiteral("shop9.taobao.com"));
        QVERIFY(!control<QPushButton>(shopWindow, "Command1")->isEnabled());
        shopWindow.Command1_Click();
        QCOMPARE(control<QLabel>(shopWindow, "Label3")->text(), QStringLiteral("正在查询排名，请等它结束或取消"));
        QVERIFY(!shopWindow.isCrawling());
        QVERIFY(!desk.session().crawlShop(shopWindow, shopWindow.shopAddress(), {}, [] {}));
        search.hold(false);
        QVERIFY(walked.wait(60000));
        // Once the walk is over, the crawl runs.
        QVERIFY(control<QPushButton>(shopWindow, "Command1")->isEnabled());
        QSignalSpy crawled(&shopWindow, &SoShopGoods::crawlFinished);
        shopWindow.Command1_Click();
        QVERIFY(crawled.wait(10000));
        QCOMPARE(shopWindow.itemIds().size(), 5);
    }

    void aShopListingWithoutItemsIsNotWalked() {
        FakeSearch search;
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        readyToWalk(window);
        desk.session().setWalkFetch(search.fetch());
        desk.session().setCrawlFetch(shopFetch(0));
        QTest::mouseClick(control<QRadioButton>(window, "Op2"), Qt::LeftButton);
        control<QLineEdit>(window, "SURL")->setText(QStringLiteral("shop9.taobao.com"));
        window.Command1_Click();
        QTRY_COMPARE(m_scope->messages.messages().size(), 1);
        QCOMPARE(
            m_scope->messages.messages().first().first,
            QStringLiteral("店铺页面 http://shop9.taobao.com/search.htm?v=1&pageNo=1 没有列出任何宝贝，没有查询排名。"
                           "请检查店铺地址。"));
        QCOMPARE(control<QLabel>(window, "Label1")->text(), QStringLiteral("没有查询排名"));
        QVERIFY(search.urls().isEmpty());
        QVERIFY(control<QPushButton>(window, "Command1")->isEnabled());
    }

    void aWalkThatThrowsEndsWithAMessageAndAUsableWindow() {
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        readyToWalk(window);
        desk.session().setWalkFetch(
            [](std::u16string&) -> std::u16string { throw std::runtime_error("page store broken"); });
        control<QLineEdit>(window, "Pages")->setText(QStringLiteral("3"));
        QSignalSpy finished(&window, &SoPaiMing::searchFinished);
        QTest::mouseClick(control<QPushButton>(window, "Command1"), Qt::LeftButton);
        QVERIFY(finished.wait(10000));
        QTRY_COMPARE(m_scope->messages.messages().size(), 1);
        QVERIFY(m_scope->messages.messages().first().first.contains(QStringLiteral("page store broken")));
        QVERIFY(!desk.session().isBusy());
        QVERIFY(!control<QWidget>(window, "JobProgress")->isVisible());

        // The window goes on: the next walk runs normally.
        FakeSearch search;
        desk.session().setWalkFetch(search.fetch());
        control<QLineEdit>(window, "Text2")->setText(itemId(1, 2));
        QTest::mouseClick(control<QPushButton>(window, "Command1"), Qt::LeftButton);
        QVERIFY(finished.wait(10000));
        QCOMPARE(control<QLabel>(window, "Label1")->toolTip(), QStringLiteral("已找到"));
        QCOMPARE(m_scope->messages.messages().size(), 1);
    }

    void rankingFindsOneItemAndDrawsThePictures() {
        FakeSearch search;
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        desk.session().setWalkFetch(search.fetch());
        control<QLineEdit>(window, "KeyWord")->setText(QStringLiteral("手机"));
        control<QLineEdit>(window, "Pages")->setText(QStringLiteral("3"));
        control<QLineEdit>(window, "Text2")->setText(itemId(2, 7));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy finished(&window, &SoPaiMing::searchFinished);
        QTest::mouseClick(control<QPushButton>(window, "Command1"), Qt::LeftButton);
        QVERIFY(finished.wait(10000));

        QCOMPARE(search.urls().size(), 2);
        QVERIFY(search.urls()[0].endsWith(QStringLiteral("&s=0")));
        QVERIFY(search.urls()[1].endsWith(QStringLiteral("&s=44")));
        QVERIFY(search.urls()[0].contains(QStringLiteral("&q=%E6%89%8B%E6%9C%BA&")));
        auto* label1 = control<QLabel>(window, "Label1");
        QCOMPARE(label1->text(), QStringLiteral("2页 2行 第3"));
        QCOMPARE(label1->toolTip(), QStringLiteral("已找到"));
        // The found row is the one chosen, in view.
        auto* list0 = control<QTableView>(window, "List0");
        QCOMPARE(list0->currentIndex().row(), 50);
        QTRY_VERIFY(list0->viewport()->rect().contains(list0->visualRect(list0->currentIndex())));

        const ResultTable& table = window.results();
        QCOMPARE(table.rowCount(), 51);
        QCOMPARE(control<QTableView>(window, "List0")->model()->rowCount(), 51);
        const struct {
            int row;
            QStringList cells; // No., 宝贝名, 位置, id, 图片, 销售量
        } rows[] = {
            {1, {"1", "手机", "1页 1行 第1", itemId(1, 1), "http://127.0.0.1:9/p1_1", "3"}},
            {45, {"45", "手机", "2页 1行 第1", itemId(2, 1), "http://127.0.0.1:9/p2_1", "3"}},
            {51, {"51", "宝贝2-7", "2页 2行 第3", itemId(2, 7), "http://127.0.0.1:9/p2_7", "21"}},
        };
        for (const auto& r : rows) {
            for (int column = 0; column < 6; ++column) {
                QCOMPARE(QString::fromStdU16String(table.text(r.row, column)), r.cells[column]);
            }
        }
        QVERIFY(control<QPushButton>(window, "Command1")->isEnabled());

        // The picture view: 51 pictures in groups of four, each with its position as tool tip, no body margin.
        auto* w1 = control<BrowserView>(window, "W1");
        QString html;
        QTRY_VERIFY_WITH_TIMEOUT((html = test::documentHtml(*w1)).count(QStringLiteral("<img")) == 51, 10000);
        QCOMPARE(html.count(QStringLiteral("<div>")), 13);
        QVERIFY(html.contains(QStringLiteral("title=\"2页 2行 第3\"")));
        // Its picture is marked, and only it.
        QCOMPARE(html.count(QStringLiteral("id=\"found\"")), 1);
        QVERIFY(
            html.contains(QRegularExpression(QStringLiteral("<img id=\"found\" title=\"2页 2行 第3\"[^>]*outline"))));
        QVERIFY(html.contains(QStringLiteral("src=\"http://127.0.0.1:9/p2_7_80x80.jpg\"")));
        QVERIFY(html.contains(QRegularExpression(QStringLiteral("<body[^>]*margin: ?0px"))));
    }

    void theResultTableExportsToCsvAsShown() {
        FakeSearch search;
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        readyToWalk(window);
        desk.session().setWalkFetch(search.fetch());
        control<QLineEdit>(window, "Pages")->setText(QStringLiteral("1"));
        control<QLineEdit>(window, "Text2")->setText(itemId(1, 3));
        QSignalSpy finished(&window, &SoPaiMing::searchFinished);
        window.Command1_Click();
        QVERIFY(finished.wait(10000));
        const QString file = m_scope->data.filePath(QStringLiteral("排名.csv"));
        test::FileAnswers answers(file);
        auto* action = control<QTableView>(window, "List0")->findChild<QAction*>(QStringLiteral("ExportCsv"));
        QVERIFY(action != nullptr);
        action->trigger();
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QByteArray bytes = csv.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QStringList lines = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 5); // the header, three rows, nothing after the last line end
        // Every row names the walk's keyword and time; the end is told.
        QCOMPARE(lines[0], QStringLiteral("关键字,查询时间,序号,宝贝名,位置,宝贝ID,图片,销售量"));
        const QString keyword = control<QLineEdit>(window, "KeyWord")->text();
        QVERIFY2(
            lines[3].startsWith(keyword + QLatin1Char(',')) &&
                lines[3].endsWith(QStringLiteral(",3,宝贝1-3,1页 1行 第3,\"=\"\"%1\"\"\",http://127.0.0.1:9/p1_3,9")
                                      .arg(itemId(1, 3))),
            qPrintable(lines[3]));
        QVERIFY(m_scope->messages.messages().last().first.startsWith(QStringLiteral("已导出 3 行到：")));
        // 复制ID copies the id of the row chosen.
        auto* list0 = control<QTableView>(window, "List0");
        list0->setCurrentIndex(list0->model()->index(2, 0));
        list0->findChild<QAction*>(QStringLiteral("CopyId"))->trigger();
        QCOMPARE(QApplication::clipboard()->text(), itemId(1, 3));
    }

    void cellToolTipsShowPageTextsAsTheyAre() {
        // A title that Qt would take for markup: as rich text its picture would be loaded, a local file at that.
        const QString markup = QStringLiteral("<img src=tooltip-probe.png width=20000 height=20000> 手机");
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        readyToWalk(window);
        desk.session().setWalkFetch([markup](std::u16string&) -> std::u16string {
            return test::SearchPage({{CoreText(itemId(1, 1)), CoreText(markup)}, {CoreText(itemId(1, 2)), u"宝贝"}});
        });
        control<QLineEdit>(window, "Pages")->setText(QStringLiteral("1"));
        control<QLineEdit>(window, "Text2")->setText(QStringLiteral("999999999999"));
        QSignalSpy finished(&window, &SoPaiMing::searchFinished);
        window.Command1_Click();
        QVERIFY(finished.wait(10000));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        auto* list0 = control<QTableView>(window, "List0");
        const struct {
            int row;
            QString title;
        } cells[] = {{0, markup}, {1, QStringLiteral("宝贝")}};
        for (const auto& cell : cells) {
            QToolTip::hideText();
            QTRY_VERIFY(!QToolTip::isVisible());
            // Hovering the title cell: the view asks for the tool tip where the pointer rests.
            const QPoint at = list0->visualRect(list0->model()->index(cell.row, 1)).center();
            QTest::mouseMove(list0->viewport(), at);
            QHelpEvent hover(QEvent::ToolTip, at, list0->viewport()->mapToGlobal(at));
            QApplication::sendEvent(list0->viewport(), &hover);
            QTRY_VERIFY(QToolTip::isVisible());
            // What the tool tip shows, read as its label reads its text.
            const QString text = QToolTip::text();
            QTextDocument shown;
            if (Qt::mightBeRichText(text)) {
                shown.setHtml(text);
            } else {
                shown.setPlainText(text);
            }
            QCOMPARE(shown.toPlainText(), cell.title);
            // A title that is no markup is given as it is.
            QCOMPARE(text == cell.title, !Qt::mightBeRichText(cell.title));
        }
        QToolTip::hideText();
    }

    void messageBoxesShowTheirTextsAsTheyAre() {
        // The real boxes, not the recorder: each is read and closed as soon as it is up.
        SetMessageBoxHook({});
        SetOfferHook({});
        const QString markup = QStringLiteral("<b>店铺</b> <img src=probe.png> http://a/?x=1&y=2");
        QStringList seen;
        QTimer closer;
        closer.setInterval(20);
        connect(&closer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen << QString::number(box->textFormat()) + " " + box->text();
                box->button(QMessageBox::Ok)->click();
            }
        });
        closer.start();
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        ShowMessageBox(&window, markup);
        QVERIFY(!AskMessageBox(&window, markup, QStringLiteral("打开")));
        const QString plain = QString::number(Qt::PlainText) + " " + markup;
        QCOMPARE(seen, QStringList({plain, plain}));
    }

    void rankingWithoutTheTargetSaysNotFound() {
        FakeSearch search;
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        readyToWalk(window);
        desk.session().setWalkFetch(search.fetch());
        control<QLineEdit>(window, "Pages")->setText(QStringLiteral("2"));
        control<QLineEdit>(window, "Text2")->setText(QStringLiteral("999999999999"));
        QSignalSpy finished(&window, &SoPaiMing::searchFinished);
        window.Command1_Click();
        QVERIFY(finished.wait(10000));
        QCOMPARE(search.urls().size(), 2);
        QCOMPARE(window.results().rowCount(), 88);
        QCOMPARE(window.results().text(88, 0), u"88");
        QCOMPARE(control<QLabel>(window, "Label1")->text(), QStringLiteral("未找到"));
        QCOMPARE(control<QLabel>(window, "Label1")->toolTip(), QString());
    }

    void aRunningWalkShowsProgressAndCanBeCancelled() {
        FakeSearch search;
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        readyToWalk(window);
        desk.session().setWalkFetch(search.fetch());
        control<QLineEdit>(window, "Pages")->setText(QStringLiteral("3"));
        auto* command1 = control<QPushButton>(window, "Command1");
        search.hold(true);
        QSignalSpy finished(&window, &SoPaiMing::searchFinished);
        QTest::mouseClick(command1, Qt::LeftButton);
        QVERIFY(!command1->isEnabled());
        QTRY_COMPARE(control<QLabel>(window, "JobProgressText")->text(), QStringLiteral("正在查询第 1 / 3 页"));
        QVERIFY(control<QWidget>(window, "JobProgress")->isVisibleTo(&window));
        // Neither the option rules nor a second press start another walk.
        QTest::mouseClick(control<QRadioButton>(window, "Op1"), Qt::LeftButton);
        QVERIFY(!command1->isEnabled());
        window.Command1_Click();
        QCOMPARE(search.urls().size(), 1);

        QTest::mouseClick(control<QPushButton>(window, "CancelJob"), Qt::LeftButton);
        QVERIFY(finished.wait(10000));
        QCOMPARE(search.urls().size(), 1);
        // A stopped walk says so, and how far it got, instead of "未找到".
        QCOMPARE(control<QLabel>(window, "Label1")->text(), QStringLiteral("已取消"));
        QVERIFY(command1->isEnabled());
        auto* progress = control<QWidget>(window, "JobProgress");
        QVERIFY(progress->isVisibleTo(&window));
        QCOMPARE(control<QLabel>(*progress, "JobProgressText")->text(), QStringLiteral("已取消：还没读完第1页"));
        QVERIFY(!control<QPushButton>(*progress, "CancelJob")->isVisibleTo(&window));
        // The next walk clears the note.
        search.hold(false);
        window.Command1_Click();
        QVERIFY(finished.wait(10000));
        QCOMPARE(control<QLabel>(window, "Label1")->text(), QStringLiteral("未找到"));
        QVERIFY(!progress->isVisibleTo(&window));
    }

    void aWalkStoppedLaterSaysHowFarItGot() {
        FakeSearch search;
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        readyToWalk(window);
        desk.session().setWalkFetch([&search, inner = search.fetch()](std::u16string& url) {
            // Pages 1 and 2 come at once, page 3 waits until the walk is cancelled.
            search.hold(url.ends_with(u"&s=88"));
            return inner(url);
        });
        control<QLineEdit>(window, "Pages")->setText(QStringLiteral("5"));
        control<QLineEdit>(window, "Text2")->setText(QStringLiteral("999999999999"));
        QSignalSpy finished(&window, &SoPaiMing::searchFinished);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.Command1_Click();
        auto* progress = control<QWidget>(window, "JobProgress");
        QTRY_COMPARE(control<QLabel>(*progress, "JobProgressText")->text(), QStringLiteral("正在查询第 3 / 5 页"));
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(finished.wait(10000));
        QCOMPARE(window.results().rowCount(), 88);
        QCOMPARE(control<QLabel>(window, "Label1")->text(), QStringLiteral("已取消"));
        QCOMPARE(control<QLabel>(*progress, "JobProgressText")->text(), QStringLiteral("已取消：读到第2页"));
    }

    void aReadingOfTheShopStoppedBeforeTheWalkWalksNothing() {
        FakeSearch search;
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        readyToWalk(window);
        desk.session().setWalkFetch(search.fetch());
        // The shop's second page waits until the reading is cancelled.
        desk.session().setCrawlFetch([](const std::u16string& url) -> FetchedPage {
            while (!url.ends_with(u"pageNo=1") && !CancelRequested()) {
                QThread::msleep(5);
            }
            return url.ends_with(u"pageNo=1") ? shopFetch(20)(url) : FetchedPage();
        });
        QTest::mouseClick(control<QRadioButton>(window, "Op2"), Qt::LeftButton);
        control<QLineEdit>(window, "SURL")->setText(QStringLiteral("shop9.taobao.com"));
        window.Command1_Click();
        auto* label1 = control<QLabel>(window, "Label1");
        QCOMPARE(label1->text(), QStringLiteral("正在读取店铺宝贝列表"));
        auto* progress = control<QWidget>(window, "JobProgress");
        QTRY_COMPARE(control<QLabel>(*progress, "JobProgressText")->text(), QStringLiteral("正在查询第 2 / 100 页"));
        window.cancelSearch();
        QTRY_COMPARE(label1->text(), QStringLiteral("已取消"));
        QCOMPARE(control<QLabel>(*progress, "JobProgressText")->text(),
                 QStringLiteral("已取消：已列出20款宝贝，店铺宝贝列表不完整"));
        QVERIFY(search.urls().isEmpty());
    }

    void theShopInTheBoxIsTheShopRanked() {
        FakeSearch search;
        LocalStore store(HistoryFilePath());
        StoreThread storeThread(HistoryFilePath());
        RankingDesk desk{&storeThread};
        SoPaiMing& window = desk.ranking();
        readyToWalk(window);
        desk.session().setWalkFetch(search.fetch());
        // Shop 1 lists the 3rd item of page 1 first, shop 2 its 10th.
        desk.session().setCrawlFetch([](const std::u16string& url) -> FetchedPage {
            return shopFetch(5, {url.starts_with(u"http://shop2.") ? itemId(1, 10) : itemId(1, 3)})(url);
        });
        QTest::mouseClick(control<QRadioButton>(window, "Op2"), Qt::LeftButton);
        auto* surl = control<QLineEdit>(window, "SURL");
        surl->setText(QStringLiteral("shop1.taobao.com"));
        window.Command3_Click();
        QTRY_COMPARE(m_scope->messages.messages().size(), 1);

        // Another shop in the box: it is read, walked and kept in the history.
        surl->setText(QStringLiteral("http://Shop2.taobao.com/"));
        control<QLineEdit>(window, "Pages")->setText(QStringLiteral("1"));
        QSignalSpy finished(&window, &SoPaiMing::searchFinished);
        window.Command1_Click();
        QVERIFY(finished.wait(10000));
        QCOMPARE(control<QLabel>(window, "Label1")->text(), QStringLiteral("1页 3行 第2"));
        QCOMPARE(desk.shop().listedAddress(), QStringLiteral("http://Shop2.taobao.com/"));
        // Stored from the store's thread.
        QTRY_COMPARE(StoredRankingRuns(store, {}, std::nullopt).value_or(std::vector<RankingRun>()).size(), 1u);
        const auto runs = StoredRankingRuns(store, {}, std::nullopt);
        QCOMPARE(runs->front().target, ShopTarget(u"shop2.taobao.com"));
        QCOMPARE(runs->front().itemId, CoreText(itemId(1, 10)));

        // The shop read before, as it is in the box: not read again.
        window.Command1_Click();
        QVERIFY(finished.wait(10000));
        QCOMPARE(m_scope->messages.messages().size(), 1);
    }

    void inputTheWalkCannotUseIsRefusedBesideItsBox_data() {
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("shopMode");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("hint");
        const QString keywordHint = QStringLiteral("请输入要查询的关键字");
        const QString itemHint = QStringLiteral("请输入宝贝id，或粘贴宝贝地址");
        QTest::newRow("no keyword") << ""
                                    << "42054041382" << false << "KeyWord" << keywordHint;
        QTest::newRow("a keyword of blanks")
            << QStringLiteral(" 　") << "42054041382" << false << "KeyWord" << keywordHint;
        QTest::newRow("no item") << QStringLiteral("手机") << "" << false << "Text2" << itemHint;
        QTest::newRow("text without an id") << QStringLiteral("手机") << "item 1234" << false << "Text2" << itemHint;
        QTest::newRow("no shop") << QStringLiteral("手机") << "42054041382" << true << "SURL"
                                 << QStringLiteral("请输入店铺地址");
    }
    void inputTheWalkCannotUseIsRefusedBesideItsBox() {
        QFETCH(QString, keyword);
        QFETCH(QString, item);
        QFETCH(bool, shopMode);
        QFETCH(QString, box);
        QFETCH(QString, hint);
        FakeSearch search;
        LocalStore store(HistoryFilePath());
        StoreThread storeThread(HistoryFilePath());
        RankingDesk desk{&storeThread};
        SoPaiMing& window = desk.ranking();
        desk.session().setWalkFetch(search.fetch());
        desk.session().setCrawlFetch(shopFetch(5));
        control<QLineEdit>(window, "KeyWord")->setText(keyword);
        control<QLineEdit>(window, "Text2")->setText(item);
        if (shopMode) {
            QTest::mouseClick(control<QRadioButton>(window, "Op2"), Qt::LeftButton);
        }
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::mouseClick(control<QPushButton>(window, "Command1"), Qt::LeftButton);
        auto* marked = control<QLineEdit>(window, qPrintable(box));
        QCOMPARE(marked->placeholderText(), hint);
        QVERIFY(!marked->styleSheet().isEmpty());
        QCOMPARE(QApplication::focusWidget(), marked);
        QVERIFY(!desk.session().isBusy());
        QTest::qWait(100);
        QVERIFY(search.urls().isEmpty());
        QVERIFY(desk.shop().listedAddress().isEmpty());
        QCOMPARE(StoredRankingRuns(store, {}, std::nullopt)->size(), 0u);
        // Typing takes the mark away.
        QTest::keyClicks(marked, QStringLiteral("x"));
        QVERIFY(marked->styleSheet().isEmpty());
    }

    void aWalkInProgressShowsProgressAndItsAnswerOnlyAtTheEnd() {
        FakeSearch search;
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        readyToWalk(window);
        // Page 2 waits until it is let go.
        desk.session().setWalkFetch([&search, inner = search.fetch()](std::u16string& url) {
            search.hold(url.ends_with(u"&s=44"));
            return inner(url);
        });
        control<QLineEdit>(window, "Pages")->setText(QStringLiteral("3"));
        control<QLineEdit>(window, "Text2")->setText(itemId(2, 7));
        auto* label1 = control<QLabel>(window, "Label1");
        QSignalSpy finished(&window, &SoPaiMing::searchFinished);
        window.Command1_Click();
        QTRY_COMPARE(label1->text(), QStringLiteral("正在读第2页"));
        QVERIFY(!label1->font().bold());
        QCOMPARE(window.results().rowCount(), 44);
        search.hold(false);
        QVERIFY(finished.wait(10000));
        QCOMPARE(label1->text(), QStringLiteral("2页 2行 第3"));
        QVERIFY(label1->font().bold());
    }

    void theNumberColumnAndTheStripLeaveNothingCutOff() {
        FakeSearch search(100);
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        readyToWalk(window);
        desk.session().setWalkFetch(search.fetch());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        control<QLineEdit>(window, "Pages")->setText(QStringLiteral("100"));
        control<QLineEdit>(window, "Text2")->setText(QStringLiteral("999999999999"));
        QSignalSpy finished(&window, &SoPaiMing::searchFinished);
        window.Command1_Click();
        // While the walk runs, the strip lies below the table, not over its last rows and scroll bar.
        auto* list0 = control<QTableView>(window, "List0");
        auto* progress = control<QWidget>(window, "JobProgress");
        QVERIFY(progress->isVisibleTo(&window));
        QVERIFY(!progress->geometry().intersects(list0->geometry()));
        QVERIFY(finished.wait(60000));
        QCOMPARE(window.results().rowCount(), 10000);
        list0->scrollToBottom();
        QCOMPARE(list0->indexAt(QPoint(2, list0->viewport()->height() - 2)).data().toString(), QStringLiteral("10000"));
        // Wide enough for its widest number: no row number shows as "1…".
        QVERIFY(list0->columnWidth(0) >= static_cast<QAbstractItemView*>(list0)->sizeHintForColumn(0));
        QVERIFY(list0->columnWidth(0) > 30);
        // A new walk starts from the layout's width again.
        control<QLineEdit>(window, "Pages")->setText(QStringLiteral("1"));
        window.Command1_Click();
        QVERIFY(finished.wait(10000));
        QCOMPARE(list0->columnWidth(0), 30);
    }

    void enterInTheKeywordStartsTheWalkAndInTheShopAddressTheReading() {
        FakeSearch search;
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        readyToWalk(window);
        desk.session().setWalkFetch(search.fetch());
        desk.session().setCrawlFetch(shopFetch(25));
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        control<QLineEdit>(window, "Pages")->setText(QStringLiteral("1"));
        control<QLineEdit>(window, "Text2")->setText(QStringLiteral("999999999999"));
        QSignalSpy finished(&window, &SoPaiMing::searchFinished);
        auto* keyWord = control<QLineEdit>(window, "KeyWord");
        keyWord->setFocus();
        QTest::keyClick(keyWord, Qt::Key_Return);
        QVERIFY(finished.wait(10000));
        QCOMPARE(search.urls().size(), 1);
        // The focus comes back where it was when the walk began; no other box has its text selected.
        QCOMPARE(QApplication::focusWidget(), keyWord);
        QVERIFY(!control<QLineEdit>(window, "Text2")->hasSelectedText());

        auto* surl = control<QLineEdit>(window, "SURL");
        surl->setText(QStringLiteral("shop9.taobao.com"));
        surl->setFocus();
        QTest::keyClick(surl, Qt::Key_Enter);
        QTRY_COMPARE(m_scope->messages.messages().size(), 1);
        QCOMPARE(m_scope->messages.messages().first().first, QStringLiteral("共查到25款宝贝"));
        QCOMPARE(QApplication::focusWidget(), surl);

        // A walk started with the mouse gives the focus back to its button, not to the item id box.
        auto* command1 = control<QPushButton>(window, "Command1");
        QTest::mouseClick(command1, Qt::LeftButton);
        QVERIFY(finished.wait(10000));
        QCOMPARE(QApplication::focusWidget(), command1);
        QVERIFY(!control<QLineEdit>(window, "Text2")->hasSelectedText());
    }

    void thePauseBetweenPagesIsStoredAndKept() {
        {
            RankingDesk desk;
            SoPaiMing& window = desk.ranking();
            control<QSpinBox>(window, "Pause")->setValue(2);
            QCOMPARE(ReadSetting(u"Pause"), u"2");
        }
        RankingDesk againDesk;
        SoPaiMing& again = againDesk.ranking();
        QCOMPARE(control<QSpinBox>(again, "Pause")->value(), 2);
        QCOMPARE(control<QSpinBox>(again, "Pause")->text(), QStringLiteral("2 秒"));
        WriteSetting(u"Pause", u"9999");
        RankingDesk boundedDesk;
        SoPaiMing& bounded = boundedDesk.ranking();
        QCOMPARE(control<QSpinBox>(bounded, "Pause")->value(), SoPaiMing::kMaxPauseSeconds);
    }

    void theWalkPausesBetweenPages() {
        FakeSearch search;
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        readyToWalk(window);
        desk.session().setWalkFetch(search.fetch());
        control<QLineEdit>(window, "Pages")->setText(QStringLiteral("2"));
        control<QLineEdit>(window, "Text2")->setText(QStringLiteral("999999999999"));
        control<QSpinBox>(window, "Pause")->setValue(1);
        QSignalSpy finished(&window, &SoPaiMing::searchFinished);
        QElapsedTimer timer;
        timer.start();
        window.Command1_Click();
        QVERIFY(finished.wait(10000));
        QCOMPARE(search.urls().size(), 2);
        QVERIFY2(timer.elapsed() >= 700, qPrintable(QString::number(timer.elapsed())));
    }

    void aVerificationPageEndsTheWalkAndOffersTheLoginBrowser() {
        const QString punish = QStringLiteral("https://s.taobao.com//search/_____tmd_____/punish?x5secdata=1");
        FakeSearch search;
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        readyToWalk(window);
        // Page 2 redirects to the verification page.
        desk.session().setWalkFetch([inner = search.fetch(), punish](std::u16string& url) -> FetchedPage {
            if (url.ends_with(u"&s=44")) {
                return {u"", CoreText(punish)};
            }
            return inner(url);
        });
        control<QLineEdit>(window, "Pages")->setText(QStringLiteral("5"));
        control<QLineEdit>(window, "Text2")->setText(QStringLiteral("999999999999"));
        QSignalSpy finished(&window, &SoPaiMing::searchFinished);
        QSignalSpy opened(&desk.session(), &RankingSession::loginBrowserRequested);
        const QString message =
            QStringLiteral("排名查询在第2页停止：淘宝要求安全验证（滑块或访问受限），没有找到目标宝贝。"
                           "之前各页的宝贝已列出。请先在浏览器中通过验证，再重新查询。");
        for (const bool take : {false, true}) {
            m_scope->messages.clear();
            m_scope->messages.takeOffers(take);
            window.Command1_Click();
            QVERIFY(finished.wait(10000));
            QCOMPARE(window.results().rowCount(), 44);
            QCOMPARE(control<QLabel>(window, "Label1")->text(), QStringLiteral("结果不完整"));
            QCOMPARE(control<QLabel>(window, "Label1")->toolTip(), QString());
            QCOMPARE(m_scope->messages.offers(), QStringList{message});
            QCOMPARE(m_scope->messages.messages().first().second, ProductCaption());
            QCOMPARE(opened.size(), take ? 1 : 0);
        }
        QCOMPARE(opened.first().first().toString(), punish);
        QVERIFY(control<QPushButton>(window, "Command1")->isEnabled());
    }

    void anEmptyPageMakesNotFoundIncomplete() {
        FakeSearch search;
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        readyToWalk(window);
        desk.session().setWalkFetch([inner = search.fetch()](std::u16string& url) -> FetchedPage {
            return url.ends_with(u"&s=0") ? FetchedPage() : inner(url);
        });
        control<QLineEdit>(window, "Pages")->setText(QStringLiteral("2"));
        control<QLineEdit>(window, "Text2")->setText(QStringLiteral("999999999999"));
        QSignalSpy finished(&window, &SoPaiMing::searchFinished);
        window.Command1_Click();
        QVERIFY(finished.wait(10000));
        QCOMPARE(window.results().rowCount(), 44);
        QCOMPARE(control<QLabel>(window, "Label1")->text(), QStringLiteral("结果不完整"));
        QCOMPARE(m_scope->messages.messages().size(), 1);
        QVERIFY(m_scope->messages.offers().isEmpty()); // nothing to do in the login browser about an empty page
        QVERIFY(
            m_scope->messages.messages().first().first.contains(QStringLiteral("但第1页没有读到（淘宝返回了空白页）")));
    }

    void anIncompleteShopListIsToldWithTheCount() {
        const QString login = QStringLiteral("https://login.taobao.com/member/login.jhtml?redirectURL=x");
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        desk.session().setCrawlFetch([inner = shopFetch(20), login](const std::u16string& url) -> FetchedPage {
            return url.ends_with(u"pageNo=2") ? FetchedPage(u"<html></html>", CoreText(login)) : inner(url);
        });
        QSignalSpy opened(&desk.session(), &RankingSession::loginBrowserRequested);
        m_scope->messages.takeOffers(true);
        control<QLineEdit>(window, "SURL")->setText(QStringLiteral("shop9.taobao.com"));
        QTest::mouseClick(control<QRadioButton>(window, "Op2"), Qt::LeftButton);
        window.Command3_Click();
        QTRY_COMPARE(m_scope->messages.messages().size(), 1);
        QCOMPARE(
            m_scope->messages.offers(),
            QStringList{QStringLiteral("共查到20款宝贝（第2页没有读到，列表不完整）\r\n\r\n店铺宝贝列表不完整：读取店铺"
                                       "第2页时淘宝要求登录，只列出了之前各页的20个宝贝。请先登录淘宝，再重新查询。")});
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first().first().toString(), login);
        QCOMPARE(desk.shop().itemIds().size(), 20);

        // The walk refuses the incomplete listing: it reads the shop again, and says why it walks nothing.
        FakeSearch search;
        readyToWalk(window);
        desk.session().setWalkFetch(search.fetch());
        window.Command1_Click();
        QTRY_COMPARE(m_scope->messages.messages().size(), 2);
        QVERIFY(m_scope->messages.offers().last().startsWith(
            QStringLiteral("店铺宝贝列表不完整（第2页没有读到：%1），没有查询排名").arg(login)));
        QCOMPARE(opened.size(), 2);
        QVERIFY(search.urls().isEmpty());
    }

    void demoMarketRanksItsItemAndListsItsShop() {
        // The whole road over HTTP: the walk with the marketplace request, the shop list with the browser's.
        demo::DemoMarket market;
        endpoints::SetRoute(market.hostPort());
        const auto unroute = qScopeGuard([] { endpoints::SetRoute({}); });
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        control<QLineEdit>(window, "KeyWord")->setText(QStringLiteral("软件开发"));
        control<QLineEdit>(window, "Pages")->setText(QStringLiteral("3"));
        control<QLineEdit>(window, "Text2")->setText(QStringLiteral("42054041382"));
        QSignalSpy finished(&window, &SoPaiMing::searchFinished);
        window.Command1_Click();
        QVERIFY(finished.wait(60000));
        QCOMPARE(control<QLabel>(window, "Label1")->text(), QStringLiteral("2页 2行 第3"));
        QCOMPARE(control<QLabel>(window, "Label1")->toolTip(), QStringLiteral("已找到"));
        QCOMPARE(window.results().rowCount(), 51);

        control<QLineEdit>(window, "SURL")->setText(QStringLiteral("demoshop1.taobao.com"));
        QTest::mouseClick(control<QRadioButton>(window, "Op2"), Qt::LeftButton);
        window.Command3_Click();
        QTRY_COMPARE_WITH_TIMEOUT(m_scope->messages.messages().size(), 1, 60000);
        QCOMPARE(m_scope->messages.messages().first().first, QStringLiteral("共查到25款宝贝"));
        QVERIFY(desk.shop().itemIds().contains(QStringLiteral("42054041382")));
        window.Command1_Click();
        QVERIFY(finished.wait(60000));
        QCOMPARE(control<QLabel>(window, "Label1")->toolTip(), QStringLiteral("已找到"));
        QCOMPARE(control<QLabel>(window, "Label1")->text(), QStringLiteral("2页 2行 第3"));
    }

    // Last: ending the program asks the application to quit.
    void closingTheRankingWindowClosesEveryWindow() {
        QWidget mainWindow;
        mainWindow.show();
        RankingDesk desk;
        SoPaiMing& window = desk.ranking();
        window.show();
        QTest::mouseClick(control<QPushButton>(window, "Command4"), Qt::LeftButton);
        QVERIFY(desk.shop().isVisible());
        QVERIFY(window.close());
        QVERIFY(!mainWindow.isVisible());
        QVERIFY(!desk.shop().isVisible());
    }
};

TARVISK_WINDOW_TEST_MAIN(SoPaiMingTest)
#include "so_pai_ming_test.moc"
