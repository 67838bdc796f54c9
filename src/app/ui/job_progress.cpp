#include "app/ui/job_progress.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>

#include "app/ui/plain_text.h"

namespace tarvisk {

JobProgress::JobProgress(QWidget* parent)
    : QFrame(parent), m_label(PlainLabel(new QLabel(this))), m_cancel(new QPushButton(QStringLiteral("取消"), this)),
      m_escape(new QShortcut(QKeySequence(Qt::Key_Escape), parent != nullptr ? parent : this)) {
    setObjectName(QStringLiteral("JobProgress"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    m_label->setObjectName(QStringLiteral("JobProgressText"));
    m_cancel->setObjectName(QStringLiteral("CancelJob"));
    // A click does not take the focus: the button goes away with the job, and the focus must not go with it.
    m_cancel->setFocusPolicy(Qt::TabFocus);
    m_escape->setEnabled(false);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 0, 2, 0);
    layout->addWidget(m_label, 1);
    layout->addWidget(m_cancel);
    connect(m_cancel, &QPushButton::clicked, this, &JobProgress::cancel);
    connect(m_escape, &QShortcut::activated, this, &JobProgress::cancel);
    hide();
}

void JobProgress::begin() {
    m_label->setText(QStringLiteral("正在查询…"));
    m_cancel->setEnabled(true);
    m_cancel->show();
    m_escape->setEnabled(true);
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

void JobProgress::end(const QString& note) {
    m_escape->setEnabled(false);
    if (note.isEmpty()) {
        hide();
        return;
    }
    m_cancel->hide();
    m_label->setText(note);
}

QString JobProgress::text() const {
    return m_label->text();
}

void JobProgress::cancel() {
    if (!m_cancel->isEnabled() || m_cancel->isHidden()) {
        return;
    }
    if (m_cancel->hasFocus()) {
        setFocus(Qt::OtherFocusReason);
    }
    m_cancel->setEnabled(false);
    m_label->setText(QStringLiteral("正在停止…"));
    emit cancelRequested();
}

} // namespace tarvisk
