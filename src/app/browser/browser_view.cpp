#include "app/browser/browser_view.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QTimer>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineScript>
#include <QWebEngineSettings>

#include "app/browser/browser_profile.h"
#include "app/browser/browser_window.h"
#include "app/browser/silent_page.h"

namespace tarvisk {

namespace {

// The engine refuses documents of about 2 MB and more given in one piece; larger bodies go in by script.
constexpr qsizetype kDirectHtmlLimit = 1500 * 1024;
// How long the status line stays when no page load takes it away.
constexpr int kStatusMs = 15000;

} // namespace

BrowserView::BrowserView(QWidget* parent) : BrowserView(BrowserProfile(), parent) {}

BrowserView::BrowserView(QWebEngineProfile* profile, QWidget* parent)
    : QWebEngineView(parent), m_status(new QLabel(this)), m_statusTimer(new QTimer(this)) {
    auto* page = new SilentPage(profile, this);
    setPage(page);
    connect(page, &SilentPage::documentComplete, this, &BrowserView::documentComplete);
    connect(page, &QWebEnginePage::newWindowRequested, this, &BrowserView::openRequestedWindow);
    connect(this, &QWebEngineView::loadFinished, this, &BrowserView::completeBody);

    m_status->setObjectName(QStringLiteral("BrowserStatus"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setStyleSheet(
        QStringLiteral("background:#ffffe1;color:#000;border:1px solid #a0a0a0;border-radius:2px;padding:2px 6px;"));
    m_status->hide();
    m_statusTimer->setSingleShot(true);
    m_statusTimer->setInterval(kStatusMs);
    connect(m_statusTimer, &QTimer::timeout, m_status, &QWidget::hide);
    // A new page starts with a clean slate.
    connect(page, &QWebEnginePage::loadStarted, this, [this] {
        m_refusedWindows = 0;
        m_status->hide();
    });
}

void BrowserView::setBodyHtml(const QString& html, const QUrl& base, const QString& shownId) {
    m_shownId = shownId;
    // Shown documents are texts from outside (account names, titles, addresses): they may draw, never run.
    QWebEngineSettings* settings = page()->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    // A document based in the program's folder still shows the marketplace's images.
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    QString head = QStringLiteral("<html><head><meta charset=\"utf-8\">");
    if (!m_bodyStyle.isEmpty()) {
        head += QStringLiteral("<style>") + m_bodyStyle + QStringLiteral("</style>");
    }
    head += QStringLiteral("</head>");
    const QString bodyTag =
        m_bodyMargin < 0 ? QStringLiteral("<body>") : QStringLiteral("<body style=\"margin:%1px\">").arg(m_bodyMargin);
    const QString document = head + bodyTag + html + QStringLiteral("</body></html>");
    if (document.toUtf8().size() < kDirectHtmlLimit) {
        m_pendingBody.clear();
        setHtml(document, base);
        return;
    }
    m_pendingBody = html;
    setHtml(head + bodyTag + QStringLiteral("</body></html>"), base);
}

void BrowserView::setBodyMargin(int pixels) {
    m_bodyMargin = pixels;
}

void BrowserView::Navigate(const QString& address) {
    m_pendingBody.clear();
    m_shownId.clear();
    setUrl(QUrl::fromUserInput(address));
}

QString BrowserView::statusText() const {
    return m_status->isHidden() ? QString() : m_status->text();
}

void BrowserView::resizeEvent(QResizeEvent* event) {
    QWebEngineView::resizeEvent(event);
    m_status->move(0, height() - m_status->height());
}

void BrowserView::openRequestedWindow(QWebEngineNewWindowRequest& request) {
    if (const QString refusal = NewWindowRefusal(request); !refusal.isEmpty()) {
        ++m_refusedWindows;
        showStatus(QStringLiteral("已阻止这个页面打开的%1个窗口：%2").arg(m_refusedWindows).arg(refusal));
        return;
    }
    const bool scripts = page()->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled);
    auto* window = new BrowserWindow(page()->profile(), scripts, *this, request.requestedGeometry());
    request.openIn(window->view()->page());
    window->show();
}

void BrowserView::showStatus(const QString& text) {
    m_status->setText(text);
    m_status->setMaximumWidth(width());
    m_status->adjustSize();
    m_status->move(0, height() - m_status->height());
    m_status->show();
    m_status->raise();
    m_statusTimer->start();
}

void BrowserView::completeBody(bool ok) {
    if (!ok) {
        return;
    }
    // The texts go into the scripts as JSON strings: nothing in them can end the string.
    const auto json = [](const QString& text) {
        return QString::fromUtf8(QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact)) +
               QStringLiteral("[0]");
    };
    if (!m_pendingBody.isNull()) {
        page()->runJavaScript(QStringLiteral("document.body.innerHTML = %1;").arg(json(m_pendingBody)),
                              QWebEngineScript::ApplicationWorld);
        m_pendingBody = QString();
    }
    if (!m_shownId.isEmpty()) {
        page()->runJavaScript(
            QStringLiteral(
                "var shown = document.getElementById(%1); if (shown) shown.scrollIntoView({block: 'center'});")
                .arg(json(m_shownId)),
            QWebEngineScript::ApplicationWorld);
        m_shownId.clear();
    }
}

} // namespace tarvisk
