// The window's whole-list commands that write copies or extracts into a chosen folder:
// remove metadata (a sheet with the five parts), remove location info and extract
// attachments (a folder chooser, then a determinate progress sheet while the work runs on
// a thread of its own). Sources are only ever read.
#pragma once

#include <QDialog>
#include <QString>
#include <memory>

#include "model/FileRecord.h"

class QCheckBox;
class QProgressBar;
class QProgressDialog;
class QStackedWidget;

namespace perspix {

class MainView;

class StripCommands
{
public:
    // The remove-metadata sheet over the window (nothing without engines or records).
    static QDialog* removeMetadata(MainView* view, QWidget* window);
    // The same sheet for these records, with the privacy removal chosen.
    static QDialog* removePrivacyFindings(const FileRecordList& records, QWidget* window);
    // Folder chooser, then the run with its progress sheet.
    static void removeLocationInfo(MainView* view, QWidget* window);
    static void extractAttachments(MainView* view, QWidget* window);

    // The runs into a known folder, each with its progress sheet; the sheet closes (and is
    // deleted) when the run ends. Nothing without engines or records.
    static QProgressDialog* removeLocationInto(const FileRecordList& records, const QString& folder,
                                               QWidget* window);
    static QProgressDialog* extractAttachmentsInto(const FileRecordList& records,
                                                   const QString& folder, QWidget* window);

    // A folder chooser with the prompt "Save" and a message; empty when cancelled. Tests
    // replace it.
    using FolderChooser = std::function<QString(QWidget* parent, const QString& message)>;
    static void setFolderChooser(FolderChooser chooser);
    static QString chooseFolder(QWidget* parent, const QString& message);
};

} // namespace perspix
