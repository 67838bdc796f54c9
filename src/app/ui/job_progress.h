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
