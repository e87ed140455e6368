// The open dialog for files and folders together (see FilesAndFoldersDialog.h).
#include "app/platform/FilesAndFoldersDialog.h"

#include <QFileInfo>

namespace perspix {

FilesAndFoldersDialog::FilesAndFoldersDialog(QWidget* parent, const QString& title)
    : QFileDialog(parent, title)
{
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::ExistingFiles);
    setAcceptMode(QFileDialog::AcceptOpen);
}

void FilesAndFoldersDialog::accept()
{
    const QStringList paths = selectedFiles();
    QList<QUrl> urls;
    for (const QString& path : paths) {
        // An item that does not exist (a mistyped name): the dialog's own handling says so.
        if (!QFileInfo::exists(path)) {
            QFileDialog::accept();
            return;
        }
        urls.append(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    }
    if (urls.isEmpty())
        return;
    m_chosen = urls;
    emit itemsChosen(urls);
    QDialog::accept();
}

} // namespace perspix
