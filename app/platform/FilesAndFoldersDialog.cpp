// The open dialog for files and folders together (see FilesAndFoldersDialog.h).
#include "app/platform/FilesAndFoldersDialog.h"
#include "model/NativePath.h"

#include <QFileInfo>

namespace perspix {

FilesAndFoldersDialog::FilesAndFoldersDialog(QWidget* parent, const QString& title)
    : QFileDialog(parent, title)
{
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::ExistingFiles);
    setAcceptMode(QFileDialog::AcceptOpen);
    // Room for the detail columns, whose dates are elided at Qt's default size.
    resize(860, 540);
}

void FilesAndFoldersDialog::accept()
{
    const QStringList paths = selectedFiles();
    QList<QUrl> urls;
    for (const QString& shown : paths) {
        // The dialog names a file whose name is not UTF-8 with U+FFFD: the file on disk.
        const QString path = NativePath::ofShown(shown);
        // An item that does not exist (a mistyped name): the dialog's own handling says so.
        if (!NativePath::exists(path)) {
            QFileDialog::accept();
            return;
        }
        urls.append(NativePath::url(NativePath::absolute(path)));
    }
    if (urls.isEmpty())
        return;
    m_chosen = urls;
    emit itemsChosen(urls);
    QDialog::accept();
}

} // namespace perspix
