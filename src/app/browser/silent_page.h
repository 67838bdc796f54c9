#pragma once

#include <QWebEnginePage>

namespace tarvisk {

/// A page that never shows a dialog of its own: alerts are dropped, confirms and prompts are answered "no" (but
/// the question whether to leave a page is answered "yes": the navigation goes on), script errors and console messages
/// stay quiet, file choosers choose nothing and certificate errors are refused, except for a certificate trusted with
/// TrustCertificate.
///
/// It also tells when each of its documents has finished loading: the page itself and every frame in it, also
/// a frame that finishes long after the page (the engine reports only the page's own load).
class SilentPage : public QWebEnginePage {
    Q_OBJECT
public:
    SilentPage(QWebEngineProfile* profile, QObject* parent);

signals:
    /// A document of the page (the page itself or one of its frames) has finished loading. Only while scripts
    /// run on the page.
    void documentComplete();

protected:
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg, const QString& defaultValue,
                          QString* result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber,
                                  const QString& sourceID) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                            const QStringList& acceptedMimeTypes) override;

private:
    /// What the page's documents write to the console once loaded; the pages' own scripts cannot see it.
    QString m_completeMarker;
};

} // namespace tarvisk
