#include "app/main/check_table_view.h"

#include <QHeaderView>

#include "app/main/report_window.h"
#include "app/ui/file_dialogs.h"
#include "app/ui/message_box.h"
#include "app/ui/qt_text.h"

namespace tarvisk {

namespace {

// How many rows a column's width is measured on: a page of the history, which may hold millions.
constexpr int kRowsMeasured = 200;

} // namespace

CheckTableView::CheckTableView(CheckTableModel& model, QString resourceFolder, QWidget* parent)
    : QTableView(parent), m_model(model), m_resourceFolder(std::move(resourceFolder)) {
    setModel(&m_model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    // Each column follows its texts as rows come in, so none is cut to "…"; the remark (the last) takes the rest.
    horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    horizontalHeader()->setResizeContentsPrecision(kRowsMeasured);
    horizontalHeader()->setStretchLastSection(true);
    connect(this, &QTableView::doubleClicked, this, &CheckTableView::showDetails);
}

void CheckTableView::exportCsv(const QString& suggestedName, const QString& nothingMessage,
                               const std::function<std::optional<std::string>()>& csv) {
    if (m_model.rowCount() == 0) {
        ShowMessageBox(this, nothingMessage);
        return;
    }
    if (const std::optional<std::string> bytes = csv()) {
        ExportCsv(this, suggestedName, *bytes, m_model.rowCount());
    }
}

void CheckTableView::showDetails(const QModelIndex& index) {
    const CheckRow* row = m_model.rowAt(index.row());
    if (row == nullptr) {
        return;
    }
    if (row->facts) {
        ShowReportWindow(window(), *row->facts, m_resourceFolder);
    } else if (!row->message.empty()) {
        ShowMessageBox(this, QtText(row->message));
    }
}

} // namespace tarvisk
