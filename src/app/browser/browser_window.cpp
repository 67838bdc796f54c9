#include "app/browser/browser_window.h"

#include <algorithm>

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QWebEngineSettings>

#include "app/browser/browser_view.h"

namespace tarvisk {

namespace {

// A window the size of a small browser window, as long as the screen holds it.
constexpr QSize kDefaultSize(1024, 768);
constexpr double kMostOfTheScreen = 0.9;

} // namespace

BrowserWindow::BrowserWindow(QWebEngineProfile* profile, bool scriptsEnabled, QWidget& opener)
    : QWidget(opener.window(), Qt::Window), m_view(new BrowserView(profile, this)) {
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

    const QRect area = opener.screen()->availableGeometry();
    const QSize size = kDefaultSize.boundedTo((area.size().toSizeF() * kMostOfTheScreen).toSize());
    placeWithin(QRect(area.center() - QPoint(size.width() / 2, size.height() / 2), size));
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
