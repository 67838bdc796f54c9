#include "app/browser/silent_page.h"

#include <QCoreApplication>
#include <QSslCertificate>
#include <QUuid>
#include <QWebEngineCertificateError>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

#include "app/browser/demo_routing.h"

namespace tarvisk {

namespace {

void answerCertificateError(const QWebEngineCertificateError& error) {
    QWebEngineCertificateError answer = error;
    const QList<QSslCertificate> chain = error.certificateChain();
    if (!chain.isEmpty() &&
        IsTrustedCertificate(error.url().host(), chain.first().digest(QCryptographicHash::Sha256))) {
        answer.acceptCertificate();
    } else {
        answer.rejectCertificate();
    }
}

} // namespace

SilentPage::SilentPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent),
      m_completeMarker(QStringLiteral("document-complete:") + QUuid::createUuid().toString(QUuid::WithoutBraces)) {
    connect(this, &QWebEnginePage::certificateError, this, &answerCertificateError);
    // Runs in every frame, in a world of its own that the pages' scripts do not share; the console carries the
    // news out of any frame, whatever its origin.
    QWebEngineScript reporter;
    reporter.setName(QStringLiteral("document-complete"));
    reporter.setInjectionPoint(QWebEngineScript::DocumentCreation);
    reporter.setWorldId(QWebEngineScript::ApplicationWorld);
    reporter.setRunsOnSubFrames(true);
    reporter.setSourceCode(QStringLiteral("(() => {"
                                          "  const report = () => console.log('%1');"
                                          "  if (document.readyState === 'complete') report();"
                                          "  else window.addEventListener('load', report, {once: true});"
                                          "})();")
                               .arg(m_completeMarker));
    scripts().insert(reporter);
}

void SilentPage::javaScriptAlert(const QUrl&, const QString&) {}

bool SilentPage::javaScriptConfirm(const QUrl&, const QString& msg) {
    // The engine asks "leave this page?" (a page's beforeunload handler) as a confirm with this text of its own.
    // A silent browser goes on with the navigation; refusing would keep the user on the page for good.
    return msg == QCoreApplication::translate("QWebEnginePage", "Are you sure you want to leave this page? Changes "
                                                                "that you made may not be saved.");
}

bool SilentPage::javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) {
    return false;
}

void SilentPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int, const QString&) {
    if (message == m_completeMarker) {
        emit documentComplete();
    }
}

QStringList SilentPage::chooseFiles(FileSelectionMode, const QStringList&, const QStringList&) {
    return {};
}

} // namespace tarvisk
