#include "app/main/check_table_view.h"

#include <QHeaderView>

#include "app/main/report_window.h"
#include "app/ui/file_dialogs.h"
#include "app/ui/message_box.h"
#include "app/ui/qt_text.h"
#include "store/exports.h"

namespace tarvisk {

CheckTableView::CheckTableView(bool withTime, QString resourceFolder, QWidget* parent)
    : QTableView(parent), m_model(withTime), m_resourceFolder(std::move(resourceFolder)) {
    setModel(&m_model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    connect(this, &QTableView::doubleClicked, this, &CheckTableView::showDetails);
}

void CheckTableView::exportCsv(const QString& suggestedName, const QString& nothingMessage) {
    if (m_model.rows().empty()) {
        ShowMessageBox(this, nothingMessage);
        return;
    }
    ExportCsv(this, suggestedName, ChecksCsv(m_model.rows()));
}

void CheckTableView::showDetails(const QModelIndex& index) {
    const CheckRow& row = m_model.rows().at(static_cast<std::size_t>(index.row()));
    if (row.facts) {
        ShowReportWindow(window(), *row.facts, m_resourceFolder);
    } else if (!row.message.empty()) {
        ShowMessageBox(this, QtText(row.message));
    }
}

} // namespace tarvisk
