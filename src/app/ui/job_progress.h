#pragma once

#include <QFrame>

class QLabel;
class QPushButton;
class QShortcut;

namespace tarvisk {

/// The strip a window shows while a long job runs: "第 i / n 页" and a cancel button ("取消", objectName
/// CancelJob, which is disabled once pressed; Esc in the window presses it too). Once the job has ended the strip
/// hides, or keeps a note about the job (how far a stopped job got) until the next one begins.
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
    /// The job has ended: the strip hides, or shows `note` (without the cancel button) when there is one.
    void end(const QString& note = {});

    QString text() const;

signals:
    void cancelRequested();

private:
    void cancel();

    QLabel* m_label;
    QPushButton* m_cancel;
    QShortcut* m_escape;
};

} // namespace tarvisk
