// The comparison export sheet (see ComparisonExportWinController.h).
#include "app/comparison/ComparisonExportWinController.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "model/Log.h"
#include "model/Settings.h"

namespace perspix {

ComparisonExportWinController*
ComparisonExportWinController::openPanelForWindow(QWidget* window,
                                                  ComparisonExportDelegate* delegate)
{
    auto* sheet = new ComparisonExportWinController(window, delegate);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->open();
    return sheet;
}

const QList<ComparisonExportType>& ComparisonExportWinController::comparisonExportSaveTypes()
{
    static const QList<ComparisonExportType> types{
        {QStringLiteral("csv"), QStringLiteral("CSV")},
        {QStringLiteral("html"), QStringLiteral("HTML")},
    };
    return types;
}

ComparisonExportWinController::ComparisonExportWinController(QWidget* window,
                                                             ComparisonExportDelegate* delegate)
    : QDialog(window), m_formatPopup(new QComboBox(this)), m_delegate(delegate)
{
    setWindowTitle(tr("Export Comparison"));
    const QString last = Settings().stringValue(prefs::kLastComparisonExportFormat);
    for (const ComparisonExportType& type : comparisonExportSaveTypes()) {
        m_formatPopup->addItem(type.name, type.id);
        if (type.id == last)
            m_formatPopup->setCurrentIndex(m_formatPopup->count() - 1);
    }
    connect(m_formatPopup, &QComboBox::currentIndexChanged, this,
            [this] { Settings().setValue(prefs::kLastComparisonExportFormat, selectedFormat()); });

    auto* form = new QFormLayout;
    form->addRow(tr("Format:"), m_formatPopup);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    QPushButton* exportButton = buttons->addButton(tr("Export…"), QDialogButtonBox::AcceptRole);
    exportButton->setDefault(true);
    connect(exportButton, &QPushButton::clicked, this, &ComparisonExportWinController::doExport);
    connect(buttons, &QDialogButtonBox::rejected, this,
            &ComparisonExportWinController::cancelExport);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Save the comparison of the listed files as:")));
    layout->addLayout(form);
    layout->addWidget(buttons);
}

QString ComparisonExportWinController::selectedFormat() const
{
    return m_formatPopup->currentData().toString();
}

void ComparisonExportWinController::doExport()
{
    const QString id = selectedFormat();
    const QString extension =
        id == QLatin1String("html") ? QStringLiteral("html") : QStringLiteral("csv");
    auto* panel = new QFileDialog(this, tr("Export Comparison"));
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setWindowModality(Qt::WindowModal);
    panel->setAcceptMode(QFileDialog::AcceptSave);
    panel->setFileMode(QFileDialog::AnyFile);
    panel->setNameFilter(tr("%1 files (*.%2)").arg(extension.toUpper(), extension));
    panel->setDefaultSuffix(extension);
    panel->setDirectory(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    panel->selectFile(QStringLiteral("Perspix Comparison.%1").arg(extension));
    connect(panel, &QFileDialog::fileSelected, this,
            [this, id](const QString& path) { exportToPath(path, id); });
    panel->open();
}

bool ComparisonExportWinController::exportToPath(const QString& path, const QString& formatId)
{
    if (!m_delegate)
        return false;
    const QString text = formatId == QLatin1String("html") ? m_delegate->htmlExportString()
                                                           : m_delegate->csvExportString();
    QFile file(path);
    const QByteArray bytes = text.toUtf8();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size() || !file.flush()) {
        // The sheet stays open: the user can pick another place or cancel.
        logLine(QStringLiteral("Failed to export the comparison to %1: %2")
                    .arg(path, file.errorString()));
        return false;
    }
    file.close();
    cancelExport();
    return true;
}

void ComparisonExportWinController::cancelExport()
{
    hide();
    close();
}

} // namespace perspix
