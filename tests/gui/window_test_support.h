#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <span>

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QObject>
#include <QList>
#include <QPair>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <QThread>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "app/browser/browser_profile.h"
#include "app/browser/demo_routing.h"
#include "app/ui/application.h"
#include "app/ui/file_dialogs.h"
#include "app/ui/message_box.h"
#include "app/ui/qt_hooks.h"
#include "core/cancel.h"
#include "demo/demo_login.h"
#include "demo/demo_market.h"
#include "store/local_store.h"
#include "text/settings.h"

// Shared by the window tests: a scratch settings folder, a recorder for message boxes (so no test blocks on a
// modal box) and a synchronous read of a browser's document.

namespace tarvisk::test {

/// Points the settings file at a fresh empty folder for the life of the object.
class ScratchSettings {
public:
    ScratchSettings() { SetSettingsFolder(m_folder.path().toStdString()); }
    ~ScratchSettings() { SetSettingsFolder({}); }
    ScratchSettings(const ScratchSettings&) = delete;
    ScratchSettings& operator=(const ScratchSettings&) = delete;

    QString filePath() const { return QDir(m_folder.path()).filePath(QStringLiteral("Setting.ini")); }
    void removeFile() const { QFile::remove(filePath()); }

private:
    QTemporaryDir m_folder;
};

/// Points the check history and the buyer lists at a fresh empty data folder for the life of the object.
class ScratchData {
public:
    ScratchData() { SetDataFolder(m_folder.path().toStdString()); }
    ~ScratchData() { SetDataFolder({}); }
    ScratchData(const ScratchData&) = delete;
    ScratchData& operator=(const ScratchData&) = delete;

    /// A path in the folder, for files a test writes or reads.
    QString filePath(const QString& name) const { return QDir(m_folder.path()).filePath(name); }

private:
    QTemporaryDir m_folder;
};

/// Answers every file chooser with `answer` (empty: as if cancelled) and records the choosers' titles.
class FileAnswers {
public:
    explicit FileAnswers(QString answer = {}) : m_answer(std::move(answer)) {
        SetFileDialogHook([this](FileDialogKind, const QString& title) {
            m_titles.append(title);
            return m_answer;
        });
    }
    ~FileAnswers() { SetFileDialogHook({}); }
    FileAnswers(const FileAnswers&) = delete;
    FileAnswers& operator=(const FileAnswers&) = delete;

    void setAnswer(const QString& answer) { m_answer = answer; }
    const QStringList& titles() const { return m_titles; }

private:
    QString m_answer;
    QStringList m_titles;
};

/// Records every message box (text, title) instead of showing it, and answers the boxes that make an offer.
class MessageRecorder {
public:
    MessageRecorder() {
        SetMessageBoxHook([this](const QString& text, const QString& title) { m_messages.append({text, title}); });
        SetOfferHook([this](const QString& text, const QString& title) {
            m_messages.append({text, title});
            m_offers.append(text);
            return m_takeOffers;
        });
    }
    ~MessageRecorder() {
        SetMessageBoxHook({});
        SetOfferHook({});
    }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    /// Every box, those with an offer included.
    const QList<QPair<QString, QString>>& messages() const { return m_messages; }
    /// The texts of the boxes that made an offer.
    const QStringList& offers() const { return m_offers; }
    /// Offers are declined unless told otherwise.
    void takeOffers(bool take) { m_takeOffers = take; }
    /// Forgets the boxes, and declines offers again.
    void clear() {
        m_messages.clear();
        m_offers.clear();
        m_takeOffers = false;
    }

private:
    QList<QPair<QString, QString>> m_messages;
    QStringList m_offers;
    bool m_takeOffers = false;
};

/// What every window test runs in: a scratch settings file and data folder, and recorded message boxes.
struct WindowTestScope {
    ScratchSettings settings;
    ScratchData data;
    MessageRecorder messages;
};

/// The base of a window test: every test function runs in a fresh WindowTestScope (m_scope), and the browsers
/// use a profile that keeps nothing on disk.
class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { UseOffTheRecordProfile(true); }
    void init() { m_scope.emplace(); }
    void cleanup() { m_scope.reset(); }

protected:
    std::optional<WindowTestScope> m_scope;
};

/// The requests of a fake page fetch, which runs on the job's thread: records each address and, while held,
/// keeps the request waiting until the job is cancelled.
class RequestLog {
public:
    /// Records `url`; false when the request was held and then cancelled (the fetch then fails).
    bool enter(const QString& url) {
        {
            std::lock_guard lock(m_mutex);
            m_urls.append(url);
        }
        while (m_hold) {
            if (CancelRequested()) {
                return false;
            }
            QThread::msleep(5);
        }
        return true;
    }
    QStringList urls() const {
        std::lock_guard lock(m_mutex);
        return m_urls;
    }
    void hold(bool held) { m_hold = held; }

private:
    std::atomic<bool> m_hold = false;
    mutable std::mutex m_mutex;
    QStringList m_urls;
};

/// The control of `window` named `name` (its objectName). A missing control fails the running test with its
/// name; a stand-in of the same type (owned by the window) is returned, so the test goes on to its next check
/// instead of crashing the whole run.
template <typename T> T* control(QWidget& window, const char* name) {
    if (T* found = window.findChild<T*>(QString::fromLatin1(name))) {
        return found;
    }
    const QByteArray message = QByteArray("no control ") + name + " of type " + T::staticMetaObject.className();
    QTest::qFail(message.constData(), __FILE__, __LINE__);
    return new T(&window);
}

/// What a window's layout says of one of its controls.
struct ControlSpec {
    const char* name;
    const char* kind; ///< the Qt class it is or derives from
    QString caption;  ///< of a label or a button; empty for the others
    QRect place;
};

/// Checks each control of `window` against its spec: its kind, its place, and a label's or a button's caption.
inline void verifyControls(QWidget& window, std::span<const ControlSpec> specs) {
    for (const ControlSpec& spec : specs) {
        QWidget* widget = control<QWidget>(window, spec.name);
        QVERIFY2(widget->inherits(spec.kind), spec.name);
        QCOMPARE(widget->geometry(), spec.place);
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            QCOMPARE(label->text(), spec.caption);
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            QCOMPARE(button->text(), spec.caption);
        }
    }
}

/// A control's rectangle from twips (15 twips a pixel).
inline QRect twips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

/// The document of a browser as HTML, once the engine has answered (empty after 10 s without an answer).
inline QString documentHtml(QWebEngineView& view) {
    // Shared with the callback, which may still come after a timeout.
    auto html = std::make_shared<std::optional<QString>>();
    view.page()->toHtml([html](const QString& text) { *html = text; });
    static_cast<void>(QTest::qWaitFor([&] { return html->has_value(); }, 10000));
    return html->value_or(QString());
}

} // namespace tarvisk::test

/// The main function of a window test: the programs' own application object (which reports exceptions thrown
/// by handlers), then the test object's slots.
#define TARVISK_WINDOW_TEST_MAIN(TestObject)                                                                           \
    int main(int argc, char** argv) {                                                                                  \
        tarvisk::Application app(argc, argv);                                                                          \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                                       \
        TestObject test;                                                                                               \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }

/// The main function of a window test on the demo marketplace: the market answers every host (the browsers' flags
/// are read once, before the application), the window hooks are installed, and the requests are logged in.
#define TARVISK_DEMO_WINDOW_TEST_MAIN(TestObject)                                                                      \
    int main(int argc, char** argv) {                                                                                  \
        tarvisk::demo::DemoMarket market;                                                                              \
        tarvisk::RouteToDemoMarket(market);                                                                            \
        tarvisk::UseOffTheRecordProfile(true);                                                                         \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);                                                    \
        tarvisk::Application app(argc, argv);                                                                          \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                                       \
        tarvisk::InstallWindowHooks();                                                                                 \
        if (!tarvisk::demo::LogInToDemo()) {                                                                           \
            qFatal("could not log in to the demo marketplace");                                                        \
        }                                                                                                              \
        TestObject test;                                                                                               \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }
