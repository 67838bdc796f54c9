#pragma once

#include <QUrl>
#include <QWebEngineView>

class QLabel;
class QTimer;
class QWebEngineNewWindowRequest;
class QWebEngineProfile;

namespace tarvisk {

/// An embedded browser: a web view whose page never opens a dialog (alerts, confirms, prompts, script errors
/// and certificate questions are answered silently) on the program's browser profile. A page that opens a new
/// window on a click of the user gets a browser window of its own; any other new window (NewWindowRefusal) is
/// dropped and its status line, at the bottom of the view, says so until the next page.
class BrowserView : public QWebEngineView {
    Q_OBJECT
public:
    explicit BrowserView(QWidget* parent = nullptr);
    /// A view on the given profile (the default is the program's profile, see BrowserProfile()).
    BrowserView(QWebEngineProfile* profile, QWidget* parent);

    /// Shows a document given as body HTML; relative addresses (tbimgs/...) resolve against `base`, which must
    /// end with "/" for a folder. Once it has loaded, the element whose id is `shownId` (if any) is scrolled into
    /// the middle of the view.
    void setBodyHtml(const QString& html, const QUrl& base = {}, const QString& shownId = {});
    /// The margin of the document body in pixels, kept across documents (the report browser uses 0).
    void setBodyMargin(int pixels);
    int bodyMargin() const { return m_bodyMargin; }
    /// A style sheet for the documents setBodyHtml shows, kept across documents.
    void setBodyStyle(const QString& css) { m_bodyStyle = css; }

    /// Opens an address the way the user would type it.
    void Navigate(const QString& address);

    /// What the status line says (empty when it is hidden).
    QString statusText() const;

signals:
    /// A document of the page (the page itself or one of its frames) has finished loading; while scripts run.
    void documentComplete();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    /// A link or a script of the page opens a new window: a BrowserWindow on the same profile, with scripts as
    /// they are here, unless it is refused.
    void openRequestedWindow(QWebEngineNewWindowRequest& request);
    void showStatus(const QString& text);
    /// Once a document has loaded: its body, when it was too large to load in one piece, and the element to show.
    void completeBody(bool ok);

    int m_bodyMargin = -1;
    QString m_bodyStyle;
    QString m_pendingBody; ///< a body too large to load in one piece, filled in once its empty page has loaded
    QLabel* m_status;
    QTimer* m_statusTimer;
    int m_refusedWindows = 0; ///< since the page began to load
    QString m_shownId;        ///< the element of the body to scroll into view once it has loaded
};

} // namespace tarvisk
