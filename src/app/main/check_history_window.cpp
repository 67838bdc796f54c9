#include "app/main/check_history_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ui/qt_text.h"
#include "app/ui/store_thread.h"
#include "app/ui/window_font.h"
#include "app/ui/window_helpers.h"
#include "store/check_history.h"
#include "store/exports.h"
#include "store/local_store.h"
#include "text/text_ops.h"

namespace tarvisk {

CheckHistoryWindow::CheckHistoryWindow(StoreThread& store, QString resourceFolder, QWidget* parent)
    : QWidget(parent, Qt::Window), m_store(store), m_account(new QLineEdit(this)),
      m_show(MakeButton(QStringLiteral("查询"), "ShowHistory", this)), m_count(new QLabel(this)), m_checks(true),
      m_table(new CheckTableView(m_checks, std::move(resourceFolder), this)),
      m_export(MakeButton(QStringLiteral("导出CSV…"), "ExportHistory", this)) {
    setObjectName(QStringLiteral("CheckHistory"));
    setWindowTitle(QStringLiteral("查询记录"));
    setFont(WindowFont(9));
    resize(960, 600);

    m_account->setObjectName(QStringLiteral("HistoryAccount"));
    m_account->setPlaceholderText(QStringLiteral("全部账号（可只输入账号的一部分）"));
    m_count->setObjectName(QStringLiteral("HistoryCount"));
    m_table->setObjectName(QStringLiteral("HistoryTable"));

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("账号："), this));
    top->addWidget(m_account, 1);
    top->addWidget(m_show);
    top->addSpacing(12);
    top->addWidget(m_count, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(new QLabel(QStringLiteral("双击一行查看当时的完整报告。"), this), 1);
    bottom->addWidget(m_export);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_table, 1);
    layout->addLayout(bottom);

    connect(m_show, &QPushButton::clicked, this, &CheckHistoryWindow::reload);
    connect(m_account, &QLineEdit::returnPressed, this, &CheckHistoryWindow::reload);
    connect(m_export, &QPushButton::clicked, this, &CheckHistoryWindow::exportHistory);
    CloseOnEscape(*this);
}

void CheckHistoryWindow::showEvent(QShowEvent* event) {
    reload();
    QWidget::showEvent(event);
}

void CheckHistoryWindow::reload() {
    m_query = {TrimBlanks(CoreText(m_account->text())), true};
    const int reload = ++m_reloads;
    m_checks.reset(0, {});
    m_count->setText(QStringLiteral("正在读取查询记录…"));
    m_export->setEnabled(false);
    m_store.ask(
        this, [query = m_query](LocalStore& store) { return CountStoredChecks(store, query); },
        [this, reload](const std::optional<CheckCount>& counted) {
            if (reload != m_reloads) {
                return;
            }
            m_query.upToId = counted ? counted->lastId : 0;
            m_checks.reset(counted ? counted->count : 0, [this, query = m_query](std::size_t offset, std::size_t count,
                                                                                 CheckPageModel::PageDone done) {
                m_store.ask(
                    this, [query, offset, count](LocalStore& store) { return readRows(store, query, offset, count); },
                    std::move(done));
            });
            m_table->scrollToTop();
            m_count->setText(counted ? QStringLiteral("共 %1 次查询").arg(counted->count)
                                     : QStringLiteral("查询记录无法读取"));
            m_export->setEnabled(true);
        });
}

std::optional<std::vector<CheckRow>> CheckHistoryWindow::readRows(LocalStore& store, CheckQuery query,
                                                                  std::size_t offset, std::size_t count) {
    query.offset = offset;
    query.limit = count;
    std::vector<CheckRow> rows;
    const bool read = ReadCheckRows(store, query, [&rows](CheckRow&& row) { rows.push_back(std::move(row)); });
    return read ? std::optional(std::move(rows)) : std::nullopt;
}

void CheckHistoryWindow::exportHistory() {
    // The rows the table shows, read whole off the window's thread.
    m_export->setEnabled(false);
    m_store.ask(
        this,
        [query = m_query, count = static_cast<std::size_t>(m_checks.rowCount())](LocalStore& store) {
            const auto rows = readRows(store, query, 0, count);
            return rows ? std::optional(ChecksCsv(*rows)) : std::nullopt;
        },
        [this](const std::optional<std::string>& csv) {
            m_export->setEnabled(true);
            m_table->exportCsv(QStringLiteral("查询记录.csv"), QStringLiteral("没有查询记录可以导出"),
                               [&csv] { return csv; });
        });
}

} // namespace tarvisk
