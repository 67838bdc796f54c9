#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

#include <QDir>
#include <QList>
#include <QPair>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "app/ui/application.h"
#include "app/ui/message_box.h"
#include "core/cancel.h"
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

/// Records every message box (text, title) instead of showing it.
class MessageRecorder {
public:
    MessageRecorder() {
        SetMessageBoxHook([this](const QString& text, const QString& title) { m_messages.append({text, title}); });
    }
    ~MessageRecorder() { SetMessageBoxHook({}); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    const QList<QPair<QString, QString>>& messages() const { return m_messages; }
    void clear() { m_messages.clear(); }

private:
    QList<QPair<QString, QString>> m_messages;
};

/// What every window test runs in: a scratch settings file and recorded message boxes.
struct WindowTestScope {
    ScratchSettings settings;
    MessageRecorder messages;
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
