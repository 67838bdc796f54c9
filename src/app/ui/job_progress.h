#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

namespace tarvisk {

/// The strip a window shows while a long job runs: "第 i / n 页" and a cancel button ("取消", objectName
/// CancelJob, which is disabled once pressed). Hidden while no job runs.
class JobProgress : public QFrame {
    Q_OBJECT
public:
    explicit JobProgress(QWidget* parent = nullptr);

    /// Shows the strip for a new job, with no page yet.
    void begin();
    /// Page `page` of `pages` is being fetched.
    void setPage(int page, int pages);
    /// Says what the job is doing when that is not a page ("正在查询第 2 / 5 个账号：老实买家").
    void setStatus(const QString& text);
    /// Hides the strip.
    void end();

    QString text() const;

signals:
    void cancelRequested();

private:
    QLabel* m_label;
    QPushButton* m_cancel;
};

} // namespace tarvisk
