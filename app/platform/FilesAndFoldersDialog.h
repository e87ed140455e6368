// The open dialog of Open… and Add Files…: files and folders may be chosen together, as
// the window takes both. Qt's own dialog is used, since the desktop's dialogs choose either
// files or folders.
#pragma once

#include <QFileDialog>
#include <QList>
#include <QUrl>

namespace perspix {

class FilesAndFoldersDialog : public QFileDialog
{
    Q_OBJECT
public:
    FilesAndFoldersDialog(QWidget* parent, const QString& title);

    // The chosen items once the dialog was accepted.
    QList<QUrl> chosenUrls() const { return m_chosen; }

signals:
    void itemsChosen(const QList<QUrl>& urls);

public slots:
    // Accepts the selection as it stands: a selected folder is taken, not entered (a
    // double-click still enters it).
    void accept() override;

private:
    QList<QUrl> m_chosen;
};

} // namespace perspix
