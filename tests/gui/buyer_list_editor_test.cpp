#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <SQLiteCpp/Database.h>

#include "app/main/buyer_list_editor.h"
#include "app/ui/qt_text.h"
#include "core/files.h"
#include "store/buyer_lists.h"
#include "app/ui/store_thread.h"
#include "store/local_store.h"
#include "window_test_support.h"

using namespace tarvisk;
using test::control;

namespace {

/// The table's rows: account, list and note joined by "|".
QStringList rows(QTableWidget& table) {
    QStringList texts;
    for (int row = 0; row < table.rowCount(); ++row) {
        texts << table.item(row, 0)->text() + "|" + table.item(row, 1)->text() + "|" + table.item(row, 2)->text();
    }
    return texts;
}

void save(BuyerListEditor& editor, const QString& account, int list, const QString& note) {
    control<QLineEdit>(editor, "ListAccount")->setText(account);
    control<QComboBox>(editor, "ListChoice")->setCurrentIndex(list);
    control<QLineEdit>(editor, "ListNote")->setText(note);
    auto* button = control<QPushButton>(editor, "SaveEntry");
    QTest::mouseClick(button, Qt::LeftButton);
    // Saved from the store's thread: the button takes clicks again when it is done.
    QTRY_VERIFY(button->isEnabled());
}

} // namespace

class BuyerListEditorTest : public test::WindowTest {
    Q_OBJECT

private slots:
    // Changes still queued when the program ends, while another program holds the database, are neither lost
    // without a word nor waited out one by one: the user is told how many, and 重试 writes them all.
    void changesHeldByALockAtTheEndAreKept() {
        {
            LocalStore store(HistoryFilePath());
            QVERIFY(PutListEntries(store, {}));
        }
        SQLite::Database other(HistoryFilePath(), SQLite::OPEN_READWRITE);
        StoreThread storeThread(HistoryFilePath());
        const auto put = [&](int count) {
            for (int i = 0; i < count; ++i) {
                const std::u16string account = u"买家" + QString::number(i).toStdU16String();
                storeThread.ask(
                    nullptr,
                    [account](LocalStore& store) {
                        return PutListEntries(store, {{account, BuyerList::Block, u"", 0}});
                    },
                    [](bool) {});
            }
        };
        QStringList offers;
        bool retry = true;
        SetOfferHook([&](const QString& text, const QString&) {
            offers << text;
            if (retry) {
                other.exec("COMMIT");
            }
            return retry;
        });

        other.exec("BEGIN EXCLUSIVE");
        put(8);
        storeThread.finish(nullptr);
        QCOMPARE(offers.size(), 1);
        QVERIFY2(offers[0].startsWith("有8项修改没有写入历史记录"), qPrintable(offers[0]));
        QVERIFY(m_scope->messages.messages().isEmpty()); // the lock is told once, in the question

        // Given up, the changes are gone for good: a later finish has nothing to ask about.
        retry = false;
        other.exec("BEGIN EXCLUSIVE");
        put(9);
        storeThread.finish(nullptr);
        other.exec("COMMIT");
        storeThread.finish(nullptr);
        QCOMPARE(offers.size(), 2);
        QVERIFY2(offers[1].startsWith("有9项"), qPrintable(offers[1]));
        LocalStore store(HistoryFilePath());
        QCOMPARE(ListEntries(store)->size(), std::size_t{8});
    }

    // A file of a newer program is not read: its lists are unknown, never empty.
    void listsThatCannotBeReadAreUnknown() {
        {
            LocalStore store(HistoryFilePath());
            QVERIFY(PutListEntries(store, {{u"刷单小号", BuyerList::Block, u"拍下不付款", 0}}));
        }
        SQLite::Database(HistoryFilePath(), SQLite::OPEN_READWRITE).exec("PRAGMA user_version = 99");
        StoreThread storeThread(HistoryFilePath());
        BuyerListEditor editor(storeThread);
        editor.show();
        QTRY_COMPARE(control<QLabel>(editor, "ListCount")->text(), QStringLiteral("名单状态未知：名单无法读取"));
        QCOMPARE(control<QTableWidget>(editor, "ListEntries")->rowCount(), 0);
    }

    void entriesAreSavedFilteredAndRemoved() {
        LocalStore store(HistoryFilePath());
        StoreThread storeThread(HistoryFilePath());
        BuyerListEditor editor(storeThread);
        editor.show();
        QCOMPARE(editor.windowTitle(), QStringLiteral("黑白名单"));
        auto* table = control<QTableWidget>(editor, "ListEntries");
        QTRY_COMPARE(table->rowCount(), 0);

        save(editor, QStringLiteral("  刷单小号 "), 0, QStringLiteral("拍下不付款"));
        save(editor, QStringLiteral("老实买家"), 1, QString());
        save(editor, QStringLiteral("差评师"), 0, QStringLiteral("多次恶意差评"));
        QTRY_COMPARE(rows(*table),
                     (QStringList{"刷单小号|黑名单|拍下不付款", "差评师|黑名单|多次恶意差评", "老实买家|白名单|"}));
        QTRY_COMPARE(control<QLabel>(editor, "ListCount")->text(), QStringLiteral("黑名单 2 个，白名单 1 个"));
        QCOMPARE(control<QLineEdit>(editor, "ListAccount")->text(), QString());

        // A row clicked fills the fields; saved again, the account moves to the other list.
        table->setCurrentCell(1, 0);
        QCOMPARE(control<QLineEdit>(editor, "ListAccount")->text(), QStringLiteral("差评师"));
        QCOMPARE(control<QLineEdit>(editor, "ListNote")->text(), QStringLiteral("多次恶意差评"));
        control<QComboBox>(editor, "ListChoice")->setCurrentIndex(1);
        QTest::mouseClick(control<QPushButton>(editor, "SaveEntry"), Qt::LeftButton);
        QTRY_VERIFY(FindListEntry(store, u"差评师") && FindListEntry(store, u"差评师")->list == BuyerList::Allow);

        control<QComboBox>(editor, "ListFilter")->setCurrentIndex(2);
        QTRY_COMPARE(rows(*table), (QStringList{"差评师|白名单|多次恶意差评", "老实买家|白名单|"}));
        table->selectAll();
        m_scope->messages.takeOffers(true);
        QTest::mouseClick(control<QPushButton>(editor, "RemoveEntries"), Qt::LeftButton);
        QTRY_COMPARE(table->rowCount(), 0);
        control<QComboBox>(editor, "ListFilter")->setCurrentIndex(0);
        QTRY_COMPARE(rows(*table), QStringList{"刷单小号|黑名单|拍下不付款"});

        m_scope->messages.clear();
        save(editor, QStringLiteral("   "), 0, QString());
        QCOMPARE(m_scope->messages.messages().size(), 1);
        QTRY_COMPARE(table->rowCount(), 1);
    }

    void removingTheSelectedRowsAsksFirst_data() {
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("declined") << false << QStringList{"刷单小号|黑名单|", "差评师|黑名单|", "老实买家|白名单|"};
        QTest::newRow("confirmed") << true << QStringList{"老实买家|白名单|"};
    }

    void removingTheSelectedRowsAsksFirst() {
        QFETCH(bool, confirmed);
        QFETCH(QStringList, left);
        LocalStore store(HistoryFilePath());
        StoreThread storeThread(HistoryFilePath());
        QVERIFY(PutListEntries(store, {{u"刷单小号", BuyerList::Block, u"", 1},
                                       {u"差评师", BuyerList::Block, u"", 2},
                                       {u"老实买家", BuyerList::Allow, u"", 3}}));
        BuyerListEditor editor(storeThread);
        editor.show();
        auto* table = control<QTableWidget>(editor, "ListEntries");
        QTRY_COMPARE(table->rowCount(), 3);
        table->setSelectionMode(QAbstractItemView::MultiSelection);
        table->selectRow(0);
        table->selectRow(1);
        m_scope->messages.takeOffers(confirmed);
        QTest::mouseClick(control<QPushButton>(editor, "RemoveEntries"), Qt::LeftButton);
        QCOMPARE(m_scope->messages.offers(), QStringList{"从名单中删除所选的 2 个账号吗？\n「刷单小号」、「差评师」"});
        QTRY_COMPARE(rows(*table), left);
    }

    void theWindowShowsWhatOthersPutOnTheListsWhenItComesBack() {
        LocalStore store(HistoryFilePath());
        StoreThread storeThread(HistoryFilePath());
        BuyerListEditor editor(storeThread);
        editor.show();
        LocalStore other(HistoryFilePath());
        QVERIFY(PutListEntries(other, {{u"新买家", BuyerList::Allow, u"", 0}}));
        editor.hide();
        editor.show();
        QTRY_COMPARE(rows(*control<QTableWidget>(editor, "ListEntries")), QStringList{"新买家|白名单|"});
    }

    void anImportNamesTheLinesItSkippedAndKeepsTheRest() {
        LocalStore store(HistoryFilePath());
        StoreThread storeThread(HistoryFilePath());
        BuyerListEditor editor(storeThread);
        const QString file = m_scope->data.filePath(QStringLiteral("名单.csv"));
        QVERIFY(ReplaceFile(file.toStdString(), "\xEF\xBB\xBF"
                                                "account,list,note\r\n好买家,allow,回头客\r\n,block,x\r\n"
                                                "某人,grey,\r\n\"坏,买家\",block,\"引号\"\"内\"\r\n"));
        test::FileAnswers answers(file);
        QTest::mouseClick(control<QPushButton>(editor, "ImportLists"), Qt::LeftButton);
        QTRY_COMPARE(m_scope->messages.messages().size(), 1);
        const QString message = m_scope->messages.messages().first().first;
        QVERIFY2(message.startsWith(QStringLiteral("导入了 2 个账号。\n以下 2 行没有导入：\n第 3 行：")),
                 qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("\n第 4 行：名单应为 黑名单 或 白名单")), qPrintable(message));
        QTRY_COMPARE(rows(*control<QTableWidget>(editor, "ListEntries")),
                     (QStringList{"坏,买家|黑名单|引号\"内", "好买家|白名单|回头客"}));

        answers.setAnswer(m_scope->data.filePath(QStringLiteral("missing.csv")));
        QTest::mouseClick(control<QPushButton>(editor, "ImportLists"), Qt::LeftButton);
        QVERIFY(m_scope->messages.messages().last().first.startsWith(QStringLiteral("无法导入文件")));
        answers.setAnswer({});
        QTest::mouseClick(control<QPushButton>(editor, "ImportLists"), Qt::LeftButton);
        QCOMPARE(m_scope->messages.messages().size(), 2);
    }

    void theExportWritesTheRowsShownSaysWhichAndReadsBackUnchanged_data() {
        QTest::addColumn<int>("filter");
        QTest::addColumn<int>("firstEntry");
        QTest::addColumn<int>("entryCount");
        QTest::addColumn<QString>("message");
        QTest::newRow("全部") << 0 << 0 << 2 << "已导出全部 2 个账号：黑名单 1 个，白名单 1 个。";
        QTest::newRow("黑名单") << 1 << 0 << 1
                                << "已导出黑名单的 1 个账号；白名单没有导出（要导出两个名单，请选择“显示：全部”）。";
        QTest::newRow("白名单") << 2 << 1 << 1
                                << "已导出白名单的 1 个账号；黑名单没有导出（要导出两个名单，请选择“显示：全部”）。";
    }

    void theExportWritesTheRowsShownSaysWhichAndReadsBackUnchanged() {
        QFETCH(int, filter);
        QFETCH(int, firstEntry);
        QFETCH(int, entryCount);
        QFETCH(QString, message);
        LocalStore store(HistoryFilePath());
        StoreThread storeThread(HistoryFilePath());
        const std::vector<ListEntry> entries = {{u"=差评师", BuyerList::Block, u"第一行\n第二行, \"引号\"", 0},
                                                {u"老实买家", BuyerList::Allow, u"", 0}};
        QVERIFY(PutListEntries(store, entries));
        BuyerListEditor editor(storeThread);
        control<QComboBox>(editor, "ListFilter")->setCurrentIndex(filter);
        const QString file = m_scope->data.filePath(QStringLiteral("导出.csv"));
        test::FileAnswers answers(file);
        QTest::mouseClick(control<QPushButton>(editor, "ExportLists"), Qt::LeftButton);
        QTRY_COMPARE(m_scope->messages.messages().value(0).first, message);
        const auto bytes = ReadFileBytes(file.toStdString(), 1 << 20);
        QVERIFY(bytes && bytes->starts_with("\xEF\xBB\xBF"
                                            "账号,名单,备注\r\n"));
        const ListCsvImport imported = ReadListCsv(*bytes);
        QVERIFY(imported.problems.empty());
        QCOMPARE(imported.entries.size(), static_cast<std::size_t>(entryCount));
        for (int i = 0; i < entryCount; ++i) {
            const ListEntry& expected = entries[static_cast<std::size_t>(firstEntry + i)];
            const ListEntry& read = imported.entries[static_cast<std::size_t>(i)];
            QCOMPARE(QtText(read.account), QtText(expected.account));
            QCOMPARE(read.list, expected.list);
            QCOMPARE(QtText(read.note), QtText(expected.note));
        }
    }
};

TARVISK_WINDOW_TEST_MAIN(BuyerListEditorTest)
#include "buyer_list_editor_test.moc"
