#include <cmath>
#include <functional>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include "jobs/reputation/reputation.h"
#include "app/ui/message_box.h"
#include "app/ui/qt_text.h"
#include "window_test_support.h"

using namespace tarvisk;

namespace {

/// Shows `text` in a real message box and returns the number of lines its text takes there (0 when no box showed).
int linesShown(const QString& text) {
    SetMessageBoxHook({});
    int lines = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) {
            return;
        }
        if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
            // The height of one line as the label lays it out (Chinese may come from a taller fallback font).
            const double line = label->heightForWidth(1 << 20) / double(text.count(QLatin1Char('\n')) + 1);
            lines = static_cast<int>(std::lround(label->height() / line));
        }
        box->accept();
    });
    poll.start(20);
    ShowMessageBox(nullptr, text);
    return lines;
}

/// What happened to a real box that `show` opens: its width, and whether Esc closed it.
struct BoxSeen {
    int width = 0;
    bool closedByEscape = false;
};

BoxSeen pressEscapeIn(const std::function<void()>& show) {
    SetMessageBoxHook({});
    SetOfferHook({});
    BoxSeen seen;
    QPointer<QMessageBox> escaped;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) {
            return;
        }
        if (escaped == box) {
            box->done(0); // Esc left it open
            return;
        }
        seen.width = box->width();
        escaped = box;
        QTest::keyClick(box, Qt::Key_Escape);
        seen.closedByEscape = !box->isVisible();
    });
    poll.start(20);
    show();
    return seen;
}

} // namespace

class MessageBoxTest : public test::WindowTest {
    Q_OBJECT

private slots:
    void aMessageSpreadsEvenlyOverItsLines_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("lines");
        const QString unreadable = QtText(kUnreadableProfileMessage);
        QTest::newRow("short") << QStringLiteral("复制成功") << 1;
        // Wider than the platform's usual wrapping width, which would leave its last character on a line alone.
        QTest::newRow("a little wide") << unreadable << 1;
        QTest::newRow("two paragraphs") << unreadable + QStringLiteral("\n") + unreadable << 2;
        // Three times as wide: three even lines, not three full ones and a short fourth.
        QTest::newRow("very wide") << unreadable.repeated(3) << 3;
    }

    void aMessageSpreadsEvenlyOverItsLines() {
        QFETCH(QString, text);
        QFETCH(int, lines);
        QCOMPARE(linesShown(text), lines);
    }

    void escapeClosesEveryBoxWithoutTakingItsOffer_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("message") << 0;
        QTest::newRow("offer") << 1;
        QTest::newRow("choice") << 2;
    }

    void escapeClosesEveryBoxWithoutTakingItsOffer() {
        QFETCH(int, kind);
        bool taken = true;
        const BoxSeen seen = pressEscapeIn([&] {
            const QString text = QStringLiteral("还有 2 个账号没有查询");
            if (kind == 0) {
                ShowMessageBox(nullptr, text);
                taken = false;
            } else if (kind == 1) {
                taken = AskMessageBox(nullptr, text, QStringLiteral("在登录窗口中打开"));
            } else {
                taken = ChooseMessageBox(nullptr, text, {QStringLiteral("接着查询"), QStringLiteral("全部重新查询")})
                            .has_value();
            }
        });
        QVERIFY(seen.closedByEscape);
        QVERIFY(!taken);
    }

    void aBoxIsWideEnoughForItsWholeTitle_data() {
        QTest::addColumn<QString>("title");
        QTest::newRow("product") << "Tarvisk";
        QTest::newRow("Chinese") << "信息校验出错";
    }

    void aBoxIsWideEnoughForItsWholeTitle() {
        QFETCH(QString, title);
        const BoxSeen seen = pressEscapeIn([&] { ShowMessageBox(nullptr, QStringLiteral("好"), title); });
        // A window manager draws the title larger and bold, beside a close button and the window's icon.
        QFont drawn = QApplication::font();
        drawn.setBold(true);
        drawn.setPointSizeF(drawn.pointSizeF() * 1.2);
        QVERIFY2(seen.width >= QFontMetrics(drawn).horizontalAdvance(title) + 100,
                 qPrintable(QString::number(seen.width)));
    }

    void aHookReceivesMessagesWithTheirTitles() {
        ShowMessageBox(nullptr, QStringLiteral("信息"), QStringLiteral("提示信息"));
        ShowMessageBox(nullptr, QStringLiteral("默认"));
        QCOMPARE(m_scope->messages.messages(),
                 (QList<QPair<QString, QString>>{{"信息", "提示信息"}, {"默认", ProductCaption()}}));
    }
};

TARVISK_WINDOW_TEST_MAIN(MessageBoxTest)
#include "message_box_test.moc"
