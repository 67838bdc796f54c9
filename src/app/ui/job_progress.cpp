#include "app/ui/job_progress.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace tarvisk {

JobProgress::JobProgress(QWidget* parent)
    : QFrame(parent), m_label(new QLabel(this)), m_cancel(new QPushButton(QStringLiteral("取消"), this)) {
    setObjectName(QStringLiteral("JobProgress"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    m_label->setObjectName(QStringLiteral("JobProgressText"));
    m_cancel->setObjectName(QStringLiteral("CancelJob"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 0, 2, 0);
    layout->addWidget(m_label, 1);
    layout->addWidget(m_cancel);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_cancel->setEnabled(false);
        m_label->setText(QStringLiteral("正在停止…"));
        emit cancelRequested();
    });
    hide();
}

void JobProgress::begin() {
    m_label->setText(QStringLiteral("正在查询…"));
    m_cancel->setEnabled(true);
    show();
    raise();
}

void JobProgress::setPage(int page, int pages) {
    if (m_cancel->isEnabled()) {
        m_label->setText(QStringLiteral("正在查询第 %1 / %2 页").arg(page).arg(pages));
    }
}

void JobProgress::setStatus(const QString& text) {
    if (m_cancel->isEnabled()) {
        m_label->setText(text);
    }
}

void JobProgress::end() {
    hide();
}

QString JobProgress::text() const {
    return m_label->text();
}

} // namespace tarvisk
