#include <cmath>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
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

    void aHookReceivesMessagesWithTheirTitles() {
        ShowMessageBox(nullptr, QStringLiteral("信息"), QStringLiteral("提示信息"));
        ShowMessageBox(nullptr, QStringLiteral("默认"));
        QCOMPARE(m_scope->messages.messages(),
                 (QList<QPair<QString, QString>>{{"信息", "提示信息"}, {"默认", ProductCaption()}}));
    }
};

TARVISK_WINDOW_TEST_MAIN(MessageBoxTest)
#include "message_box_test.moc"
