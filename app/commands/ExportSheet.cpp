// The export sheet (see ExportSheet.h).
#include "app/commands/ExportSheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QVBoxLayout>
#include <atomic>

#include "app/AppController.h"
#include "app/mainwindow/MainView.h"
#include "model/NativePath.h"

namespace perspix {

namespace {
constexpr int kProgressDelayMs = 400;
} // namespace

std::optional<QString> FileDialogChooser::chooseSaveFile(const QString& proposedName,
                                                         const QString& extension)
{
    QFileDialog dialog(m_parent, QObject::tr("Export"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setNameFilter(QObject::tr("%1 files (*.%2)").arg(extension.toUpper(), extension));
    dialog.setDefaultSuffix(extension);
    dialog.selectFile(proposedName + QLatin1Char('.') + extension);
    dialog.resize(860, 540); // the date column is elided at Qt's default size
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    // The folder may have a name that is not UTF-8: the new file goes into it.
    const QString chosen = dialog.selectedFiles().first();
    const qsizetype slash = chosen.lastIndexOf(QLatin1Char('/'));
    return slash > 0 ? NativePath::ofShown(chosen.left(slash)) + chosen.mid(slash) : chosen;
}

std::optional<QString> FileDialogChooser::chooseFolder()
{
    QFileDialog dialog(m_parent, QObject::tr("Select folder to save the files"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::Accept, QObject::tr("Select"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.resize(860, 540);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return NativePath::ofShown(dialog.selectedFiles().first());
}

ExportSheet::ExportSheet(MainView* view, QWidget* window)
    : QDialog(window), m_view(view), m_chooser(std::make_unique<FileDialogChooser>(this))
{
    setWindowTitle(tr("Export"));
    setWindowModality(Qt::WindowModal);

    m_format = new QComboBox(this);
    for (const ExportType& type : AppController::instance().exportTypes())
        m_format->addItem(type.name, type.id);
    const int stored = m_format->findData(m_ud.stringValue(prefs::kLastExportFormat));
    m_format->setCurrentIndex(stored >= 0 ? stored : 0);

    m_compound = new QRadioButton(tr("One file holding every listed file"), this);
    m_separate = new QRadioButton(tr("One file per listed file, into a folder"), this);
    (m_ud.lastExportIsCompound() ? m_compound : m_separate)->setChecked(true);
    m_skipPrivate = new QCheckBox(tr("Leave out the files' private facts (folder, comment, "
                                     "tags, download origin, authors)"),
                                  this);
    m_skipPrivate->setChecked(m_ud.intValue(prefs::kLastExportWithoutFilePrivate) == 1);

    const qsizetype count = view->arrayWithDataForExport().size();
    auto* intro = new QLabel(count == 1 ? tr("Export the analysis of the listed file.")
                                        : tr("Export the analysis of %1 listed files.").arg(count),
                             this);

    auto* buttons = new QDialogButtonBox(this);
    m_exportButton = buttons->addButton(tr("Export…"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &ExportSheet::confirm);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(tr("Format:"), m_format);
    auto* modes = new QVBoxLayout;
    modes->addWidget(m_compound);
    modes->addWidget(m_separate);
    form->addRow(tr("Output:"), modes);
    form->addRow(QString(), m_skipPrivate);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addSpacing(8);
    layout->addWidget(buttons);
}

ExportSheet::~ExportSheet() = default;

void ExportSheet::setChooser(std::unique_ptr<ExportTargetChooser> chooser)
{
    m_chooser = std::move(chooser);
}

void ExportSheet::storeChoices()
{
    m_ud.setValue(prefs::kLastExportFormat, m_format->currentData().toString());
    m_ud.setValue(prefs::kLastExportType, m_compound->isChecked() ? 1 : 0);
    m_ud.setValue(prefs::kLastExportWithoutFilePrivate, m_skipPrivate->isChecked() ? 1 : 0);
}

void ExportSheet::confirm()
{
    if (m_running)
        return;
    storeChoices();
    PerspixExporter exporter(m_chooser.get());
    exporter.setArrayWithData(m_view->arrayWithDataForExport());
    exporter.setFormat(m_ud.stringValue(prefs::kLastExportFormat));
    exporter.setCompound(m_ud.intValue(prefs::kLastExportType) == 1);
    exporter.setSkipFilePrivate(m_ud.intValue(prefs::kLastExportWithoutFilePrivate) == 1);
    const FileRecordList& records = exporter.arrayWithData();
    if (records.isEmpty() || exporter.extensionForExportFormat(exporter.format()).isEmpty())
        return;

    // The same choice of mode as the exporter's: a single file always goes to one file.
    const bool separate = !exporter.compound() && records.size() != 1;
    const std::optional<QString> target =
        separate ? m_chooser->chooseFolder()
                 : m_chooser->chooseSaveFile(exporter.proposedCompoundName(),
                                             exporter.extensionForExportFormat(exporter.format()));
    if (!target) {
        finish(PerspixExporter::Cancelled);
        return;
    }
    runInBackground(exporter, *target, separate);
}

void ExportSheet::runInBackground(const PerspixExporter& exporter, const QString& target,
                                  bool separate)
{
    m_running = true;
    m_exportButton->setEnabled(false);
    const FileRecordList records = exporter.arrayWithData();

    auto* progress = new QProgressDialog(this);
    progress->setWindowTitle(tr("Export"));
    progress->setLabelText(separate ? tr("Writing %1 files…").arg(records.size())
                                    : tr("Writing the export of %1 files…").arg(records.size()));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(kProgressDelayMs);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    // One file per record counts its files; one compound file is a single step.
    progress->setRange(0, separate ? int(records.size()) : 1);
    progress->setValue(0);

    auto stop = std::make_shared<std::atomic_bool>(false);
    connect(progress, &QProgressDialog::canceled, this, [stop] { *stop = true; });

    QPointer<ExportSheet> self(this);
    QPointer<QProgressDialog> bar(progress);
    const auto onMain = [self](std::function<void(ExportSheet*)> step) {
        QMetaObject::invokeMethod(
            qApp,
            [self, step] {
                if (self)
                    step(self);
            },
            Qt::QueuedConnection);
    };
    QThread* thread = QThread::create([exporter, records, target, separate, stop, onMain, bar] {
        int result = PerspixExporter::Written;
        if (separate) {
            PerspixExporter one = exporter;
            int done = 0;
            for (const FileRecord& record : records) {
                if (*stop)
                    break;
                one.setArrayWithData({record});
                one.writeSeparateFiles(target); // a failed file does not stop the others
                ++done;
                onMain([bar, done](ExportSheet*) {
                    if (bar)
                        bar->setValue(done);
                });
            }
        } else {
            result = exporter.writeCompoundFile(target);
        }
        onMain([result, bar](ExportSheet* sheet) {
            if (bar)
                bar->deleteLater();
            sheet->finish(result);
        });
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

void ExportSheet::finish(int result)
{
    m_running = false;
    m_exportButton->setEnabled(true);
    emit exportFinished(result);
    if (result == PerspixExporter::Written || result == PerspixExporter::WriteFailed)
        accept();
}

} // namespace perspix
