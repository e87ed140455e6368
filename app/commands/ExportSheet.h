// The export sheet of a main window: the format, one file or one file per listed file,
// and whether private file facts are left out. Confirming asks where the output goes (a
// save panel or a folder chooser over the sheet) and writes it off the main thread, with a
// progress dialog while many files are written. Closes on success or a failed write; stays
// open when the panel was cancelled.
#pragma once

#include <QDialog>
#include <memory>

#include "export/PerspixExporter.h"
#include "model/Settings.h"

class QCheckBox;
class QComboBox;
class QProgressDialog;
class QRadioButton;

namespace perspix {

class MainView;

// The save panel and folder chooser as sheets on a window.
class FileDialogChooser : public ExportTargetChooser
{
public:
    explicit FileDialogChooser(QWidget* parent) : m_parent(parent) {}
    std::optional<QString> chooseSaveFile(const QString& proposedName,
                                          const QString& extension) override;
    std::optional<QString> chooseFolder() override;

private:
    QWidget* m_parent;
};

class ExportSheet : public QDialog
{
    Q_OBJECT
public:
    ExportSheet(MainView* view, QWidget* window);
    ~ExportSheet() override;

    // Where the output goes; the file dialogs unless replaced.
    void setChooser(std::unique_ptr<ExportTargetChooser> chooser);

    QComboBox* formatMenu() const { return m_format; }
    QRadioButton* compoundButton() const { return m_compound; }
    QRadioButton* separateButton() const { return m_separate; }
    QCheckBox* skipPrivateBox() const { return m_skipPrivate; }
    QPushButton* exportButton() const { return m_exportButton; }
    bool isRunning() const { return m_running; }

    // The Export button: stores the choices and runs the export.
    void confirm();

signals:
    // The export's result (0 written, 1 cancelled panel, 2 compound file not written).
    void exportFinished(int result);

private:
    void storeChoices();
    void finish(int result);
    void runInBackground(const PerspixExporter& exporter, const QString& target, bool separate);

    MainView* m_view;
    Settings m_ud;
    std::unique_ptr<ExportTargetChooser> m_chooser;
    QComboBox* m_format;
    QRadioButton* m_compound;
    QRadioButton* m_separate;
    QCheckBox* m_skipPrivate;
    QPushButton* m_exportButton;
    bool m_running = false;
};

} // namespace perspix
