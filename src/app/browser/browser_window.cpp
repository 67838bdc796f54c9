#include "app/browser/browser_window.h"

#include <algorithm>

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineSettings>

#include "app/browser/browser_view.h"

namespace tarvisk {

namespace {

// A window the size of a small browser window, as long as the screen holds it.
constexpr QSize kDefaultSize(1024, 768);
constexpr double kMostOfTheScreen = 0.9;

int openWindows = 0;

} // namespace

QString NewWindowRefusal(const QWebEngineNewWindowRequest& request) {
    if (!request.isUserInitiated()) {
        return QStringLiteral("只有点击才能打开新窗口");
    }
    if (BrowserWindow::openCount() >= kMostBrowserWindows) {
        return QStringLiteral("同时最多打开%1个网页窗口").arg(kMostBrowserWindows);
    }
    return {};
}

BrowserWindow::BrowserWindow(QWebEngineProfile* profile, bool scriptsEnabled, QWidget& opener, const QRect& wanted)
    : QWidget(opener.window(), Qt::Window), m_view(new BrowserView(profile, this)) {
    ++openWindows;
    setObjectName(QStringLiteral("BrowserWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_view->page()->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, scriptsEnabled);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);

    // The title is the page's own; a page without one shows its address.
    connect(m_view, &QWebEngineView::titleChanged, this,
            [this](const QString& title) { setWindowTitle(title.isEmpty() ? m_view->url().toString() : title); });
    connect(m_view->page(), &QWebEnginePage::windowCloseRequested, this, &QWidget::close);
    connect(m_view->page(), &QWebEnginePage::geometryChangeRequested, this, &BrowserWindow::placeWithin);

    if (wanted.isValid()) {
        placeWithin(wanted);
        return;
    }
    const QRect area = opener.screen()->availableGeometry();
    const QSize size = kDefaultSize.boundedTo((area.size().toSizeF() * kMostOfTheScreen).toSize());
    placeWithin(QRect(area.center() - QPoint(size.width() / 2, size.height() / 2), size));
}

BrowserWindow::~BrowserWindow() {
    --openWindows;
}

int BrowserWindow::openCount() {
    return openWindows;
}

void BrowserWindow::placeWithin(const QRect& wanted) {
    const QRect area = screen()->availableGeometry();
    QRect place(wanted.topLeft(), wanted.size().boundedTo(area.size()));
    place.moveLeft(std::clamp(place.left(), area.left(), area.right() + 1 - place.width()));
    place.moveTop(std::clamp(place.top(), area.top(), area.bottom() + 1 - place.height()));
    resize(place.size());
    move(place.topLeft());
}

} // namespace tarvisk
