#include "app/main/report_window.h"

#include <QVBoxLayout>
#include <QWidget>

#include "app/browser/browser_view.h"
#include "jobs/reputation/report.h"
#include "app/ui/qt_text.h"
#include "app/ui/window_helpers.h"

namespace tarvisk {

QWidget* ShowReportWindow(QWidget* parent, const ReputationFacts& facts, const QString& resourceFolder) {
    auto* window = new QWidget(parent, Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setObjectName(QStringLiteral("ReportWindow"));
    window->setWindowTitle(QStringLiteral("信誉报告 - %1").arg(QtText(facts.account)));
    auto* report = new BrowserView(window);
    report->setObjectName(QStringLiteral("Report"));
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(report);
    window->resize(460, 460);
    report->setBodyHtml(QtText(RenderReport(facts)), QUrl::fromLocalFile(resourceFolder + QLatin1Char('/')));
    CloseOnEscape(*window);
    if (parent != nullptr) {
        ShowOver(*window, *parent->window());
    } else {
        window->show();
    }
    return window;
}

} // namespace tarvisk
