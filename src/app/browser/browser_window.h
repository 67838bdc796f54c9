#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

class QWebEngineNewWindowRequest;
class QWebEngineProfile;

namespace tarvisk {

class BrowserView;

/// The most page windows open at a time: a page that asks for more gets none.
inline constexpr int kMostBrowserWindows = 5;

/// Why a page's request for a new window is refused, e.g. u"只有点击才能打开新窗口"; empty when the window may
/// open. Only a click or a key of the user opens one (a page opening windows as it loads gets none), and at most
/// kMostBrowserWindows are open at a time, so that no page can flood the screen with windows.
QString NewWindowRefusal(const QWebEngineNewWindowRequest& request);

/// A window of its own for a page that a link or a script opens in a new window (target="_blank", window.open).
/// Its browser shares the opener's profile, so it carries the same login and a login made in it counts
/// everywhere, and runs scripts only where the opener does. Titled with its page's title, sized to most of the
/// screen (or as a pop-up asks, within the screen), closed by the user or by its page, and gone once closed.
class BrowserWindow : public QWidget {
    Q_OBJECT
public:
    /// A window on `profile` in front of `opener`'s window, closed with it; placed where `wanted` says when the page
    /// asked for a place and size, else in the middle of the screen.
    BrowserWindow(QWebEngineProfile* profile, bool scriptsEnabled, QWidget& opener, const QRect& wanted = {});
    ~BrowserWindow() override;

    BrowserView* view() const { return m_view; }
    /// The page windows open now.
    static int openCount();

private:
    void placeWithin(const QRect& wanted);

    BrowserView* m_view;
};

} // namespace tarvisk
