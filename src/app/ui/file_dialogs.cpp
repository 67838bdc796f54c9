#include "app/ui/file_dialogs.h"

#include <filesystem>

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>
#include <QWidget>

#include "app/ui/message_box.h"
#include "core/files.h"
#include "store/exports.h"

namespace tarvisk {

namespace {

const QString kCsvFilter = QStringLiteral("CSV 文件 (*.csv);;所有文件 (*)");

FileDialogHook& hookStore() {
    static FileDialogHook hook;
    return hook;
}

QString documentsFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return folder.isEmpty() ? QDir::homePath() : folder;
}

} // namespace

QString AskSaveCsvFile(QWidget* parent, const QString& title, const QString& suggestedName) {
    if (const FileDialogHook hook = hookStore()) {
        return hook(FileDialogKind::Save, title);
    }
    return QFileDialog::getSaveFileName(parent, title, QDir(documentsFolder()).filePath(suggestedName), kCsvFilter);
}

QString AskOpenCsvFile(QWidget* parent, const QString& title) {
    if (const FileDialogHook hook = hookStore()) {
        return hook(FileDialogKind::Open, title);
    }
    return QFileDialog::getOpenFileName(parent, title, documentsFolder(), kCsvFilter);
}

void SetFileDialogHook(FileDialogHook hook) {
    hookStore() = std::move(hook);
}

bool ExportCsv(QWidget* parent, const QString& suggestedName, const std::string& bytes, int rows) {
    const QString file = AskSaveCsvFile(parent, QStringLiteral("导出CSV"), suggestedName);
    if (file.isEmpty()) {
        return false;
    }
    const std::filesystem::path path(file.toStdU16String());
    // Someone made the file read-only: replace it only when the user says so.
    if (IsReadOnlyFile(path) &&
        !AskMessageBox(parent, QStringLiteral("文件是只读的：\n%1\n要替换它吗？").arg(QDir::toNativeSeparators(file)),
                       QStringLiteral("替换"))) {
        return false;
    }
    if (!WriteCsvFile(path, bytes)) {
        ShowMessageBox(parent, QStringLiteral("无法写入文件：\n%1").arg(QDir::toNativeSeparators(file)));
        return false;
    }
    if (rows >= 0) {
        ShowMessageBox(parent, QStringLiteral("已导出 %1 行到：\n%2").arg(rows).arg(QDir::toNativeSeparators(file)));
    }
    return true;
}

void AddCsvExportAction(QWidget& view, const QString& suggestedName, std::function<std::string()> csv,
                        std::function<int()> rows) {
    auto* action = new QAction(QStringLiteral("导出CSV…"), &view);
    action->setObjectName(QStringLiteral("ExportCsv"));
    QObject::connect(action, &QAction::triggered, &view, [&view, suggestedName, csv = std::move(csv), rows] {
        ExportCsv(&view, suggestedName, csv(), rows());
    });
    view.addAction(action);
    view.setContextMenuPolicy(Qt::ActionsContextMenu);
}

} // namespace tarvisk
