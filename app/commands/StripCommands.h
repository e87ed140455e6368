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
class QMessageBox;
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
    // A sheet that explains the run, then a folder chooser, then the run with its progress
    // sheet. Answers the explanation sheet (nothing without records).
    static QMessageBox* removeLocationInfo(MainView* view, QWidget* window);
    static QMessageBox* extractAttachments(MainView* view, QWidget* window);

    // The runs into a known folder, each with its progress sheet; the sheet closes (and is
    // deleted) when the run ends. Nothing without engines or records.
    static QProgressDialog* removeLocationInto(const FileRecordList& records, const QString& folder,
                                               QWidget* window);
    static QProgressDialog* extractAttachmentsInto(const FileRecordList& records,
                                                   const QString& folder, QWidget* window);

    // The desktop's folder chooser with a short title; empty when cancelled. Tests replace
    // it.
    using FolderChooser = std::function<QString(QWidget* parent, const QString& title)>;
    static void setFolderChooser(FolderChooser chooser);
    static QString chooseFolder(QWidget* parent, const QString& title);
};

} // namespace perspix
