#include <QAbstractSeries>
#include <QChart>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QTextDocument>

#include "app/main/batch_check_window.h"
#include "app/main/check_side_panel.h"
#include "app/ranking/keyword_panel.h"
#include "app/ranking/ranking_chart.h"
#include "app/ranking/ranking_history_window.h"
#include "app/main/ranking_desk.h"
#include "app/ranking/so_pai_ming.h"
#include "app/session/ranking_session.h"
#include "app/ui/plain_text.h"
#include "app/ui/qt_text.h"
#include "app/ui/store_thread.h"
#include "store/local_store.h"
#include "support/fake_pages.h"
#include "window_test_support.h"

using namespace tarvisk;
using test::control;

namespace {

// What a page, a keyword, an account or a note may hold: an image as large as a screen can take, from a local file.
const QString kMarkup = QStringLiteral("<img src='/etc/hostname' width=20000 height=20000><b>粗</b>");
const QString kItemId = QStringLiteral("42054041382");

/// The text a reader sees where Qt shows `text` in `format` (tool tips and labels take AutoText as they come).
QString seen(const QString& text, Qt::TextFormat format) {
    if (format == Qt::PlainText || (format == Qt::AutoText && !Qt::mightBeRichText(text))) {
        return text;
    }
    QTextDocument document;
    document.setHtml(text);
    return document.toPlainText();
}

QString seenLabel(const QLabel& label) {
    return seen(label.text(), label.textFormat());
}

} // namespace

class PlainTextTest : public test::WindowTest {
    Q_OBJECT

private slots:
    void helpersShowTextsAsTheyAre() {
        for (const QString& text : {kMarkup, QString("a < b & c"), QString("&lt;b&gt;"), QString("价格 <5元>")}) {
            QCOMPARE(seen(PlainToolTip(text), Qt::AutoText), text);
            QCOMPARE(seen(PlainMarkup(text), Qt::RichText), text);
            QLabel label;
            label.setText(text);
            QCOMPARE(seenLabel(*PlainLabel(&label)), text);
        }
        // A text that is no markup keeps its tool tip as it is.
        QCOMPARE(PlainToolTip("连衣裙（42054041382）"), QString("连衣裙（42054041382）"));
    }

    void markupFromPagesKeywordsAccountsAndNotesIsShownLiterally() {
        LocalStore store{HistoryFilePath()};
        StoreThread storeThread{HistoryFilePath()};

        // The ranking window walks a keyword of markup and finds an item whose title is markup.
        RankingDesk desk{&storeThread};
        SoPaiMing& window = desk.ranking();
        test::RequestLog requests;
        requests.hold(true);
        desk.session().setWalkFetch([&requests](std::u16string& url) {
            requests.enter(QtText(url));
            return FetchedPage(test::SearchPage({{u"5300000001"}, {CoreText(kItemId), CoreText(kMarkup)}}), u"");
        });
        control<QLineEdit>(window, "Pages")->setText("1");
        control<QLineEdit>(window, "Text2")->setText(kItemId);
        control<QPlainTextEdit>(window, "KeywordList")->setPlainText(kMarkup);
        KeywordPanel& panel = window.keywordPanel();
        QSignalSpy finished(&panel, &KeywordPanel::runFinished);
        panel.runKeywords();
        // The keyword panel's progress strip.
        const auto* keywordStrip = control<QLabel>(panel, "KeywordProgressText");
        QTRY_VERIFY(seenLabel(*keywordStrip).startsWith("关键字 1 / 1：" + kMarkup));
        requests.hold(false);
        QVERIFY(finished.wait(20000));
        // The summary's tool tip.
        QCOMPARE(seen(panel.summary().item(0, 1)->toolTip(), Qt::AutoText), kMarkup + "（" + kItemId + "）");

        // The ranking history: the 结果 tool tip of the run, the chart's legend.
        control<QPushButton>(window, "OpenRankingHistory")->click();
        RankingHistoryWindow* history = panel.historyWindow();
        QVERIFY(history != nullptr);
        control<QTableView>(*history, "HistoryKeywords")->selectRow(0);
        QTRY_COMPARE(history->runs().rowCount(), 1);
        QCOMPARE(seen(history->runs().item(0, 1)->toolTip(), Qt::AutoText), kMarkup + "（" + kItemId + "）");
        QStringList legend;
        for (QLegendMarker* marker : history->chart().chart()->legend()->markers()) {
            legend << seen(marker->label(), Qt::RichText);
        }
        QVERIFY2(legend.contains(kMarkup), qPrintable(legend.join(" | ")));

        // The batch check's progress strip names an account of markup.
        BatchCheckWindow batch(storeThread,
                               [&requests](const std::u16string& url) {
                                   requests.enter(QtText(url));
                                   return FetchedPage();
                               },
                               {});
        requests.hold(true);
        control<QPlainTextEdit>(batch, "Accounts")->setPlainText(kMarkup + "\n老实买家");
        QSignalSpy batchFinished(&batch, &BatchCheckWindow::batchFinished);
        batch.start();
        QTRY_VERIFY(seenLabel(*control<QLabel>(batch, "JobProgressText")) == "正在查询第 1 / 2 个账号：" + kMarkup);
        batch.cancel();
        requests.hold(false);
        QVERIFY(batchFinished.wait(20000));

        // The side panel's list flag with a note, and the account's previous check.
        CheckSidePanel side(storeThread, nullptr);
        ReputationFacts facts;
        facts.account = CoreText(kMarkup);
        CheckContext context;
        context.listed = ListEntry{facts.account, BuyerList::Block, CoreText(kMarkup), 0};
        side.showCheck(facts, context);
        QCOMPARE(seenLabel(*control<QLabel>(side, "ListFlag")), "在黑名单中：" + kMarkup);
    }
};

QTEST_MAIN(PlainTextTest)
#include "plain_text_test.moc"
