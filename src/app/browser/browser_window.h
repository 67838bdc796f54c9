#pragma once

#include <QWidget>

class QWebEngineProfile;

namespace tarvisk {

class BrowserView;

/// A window of its own for a page that a link or a script opens in a new window (target="_blank", window.open).
/// Its browser shares the opener's profile, so it carries the same login and a login made in it counts
/// everywhere, and runs scripts only where the opener does. Titled with its page's title, sized to most of the
/// screen (or as a pop-up asks, within the screen), closed by the user or by its page, and gone once closed.
class BrowserWindow : public QWidget {
    Q_OBJECT
public:
    /// A window on `profile` in front of `opener`'s window, closed with it.
    BrowserWindow(QWebEngineProfile* profile, bool scriptsEnabled, QWidget& opener);

    BrowserView* view() const { return m_view; }

private:
    void placeWithin(const QRect& wanted);

    BrowserView* m_view;
};

} // namespace tarvisk
