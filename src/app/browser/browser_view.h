#pragma once

#include <QUrl>
#include <QWebEngineView>

class QWebEngineProfile;

namespace tarvisk {

/// An embedded browser: a web view whose page never opens a dialog (alerts, confirms, prompts, script errors
/// and certificate questions are answered silently) on the program's browser profile. Pages it opens in a new
/// window get a browser window of their own.
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

signals:
    /// A document of the page (the page itself or one of its frames) has finished loading; while scripts run.
    void documentComplete();

protected:
    /// A link or a script of the page opens a new window: a BrowserWindow on the same profile, with scripts as
    /// they are here.
    QWebEngineView* createWindow(QWebEnginePage::WebWindowType type) override;

private:
    /// Once a document has loaded: its body, when it was too large to load in one piece, and the element to show.
    void completeBody(bool ok);

    int m_bodyMargin = -1;
    QString m_bodyStyle;
    QString m_pendingBody; ///< a body too large to load in one piece, filled in once its empty page has loaded
    QString m_shownId;     ///< the element of the body to scroll into view once it has loaded
};

} // namespace tarvisk
