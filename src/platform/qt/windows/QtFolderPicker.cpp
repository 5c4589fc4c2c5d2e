#include "platform/qt/windows/QtFolderPicker.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace larkspire::qt {

std::vector<Url> QtFolderPicker::chooseFolders(const FolderPickerOptions& options) {
    application.activateIgnoringOtherApps();
    QFileDialog dialog;
    dialog.setObjectName("larkspireFolderPicker");
    dialog.setFileMode(QFileDialog::Directory);
    // The desktop's own dialogs choose one folder only; Qt's own lets the views select several.
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    for (const char* name : {"listView", "treeView"})
        if (auto* view = dialog.findChild<QAbstractItemView*>(name))
            view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto start = QString::fromStdString(options.startFolder);
    dialog.setDirectory(QFileInfo(start).isDir() ? start : QDir::homePath());
    dialog.setLabelText(QFileDialog::Accept, QString::fromStdString(options.confirmTitle));
    if (dialog.exec() != QDialog::Accepted) return {};

    std::vector<Url> folders;
    for (const auto& path : dialog.selectedFiles()) {
        QFileInfo info(path);
        if (!info.isDir()) continue;
        folders.push_back(Url::fileUrl(info.absoluteFilePath().toStdString()));
    }
    return folders;
}

}  // namespace larkspire::qt
