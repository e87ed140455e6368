// Metadata removal, location removal and attachment extraction from a window (see
// StripCommands.h).
#include "app/commands/StripCommands.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/mainwindow/MainView.h"

#include "export/AttachmentsExtractor.h"
#include "model/Log.h"
#include "model/NativePath.h"
#include "readers/image/MetadataRemover.h"

namespace perspix {

namespace {

StripCommands::FolderChooser& folderChooser()
{
    static StripCommands::FolderChooser chooser;
    return chooser;
}

const char* const kLocationMessage =
    QT_TRANSLATE_NOOP("StripCommands", "This action does not modify any existing file. \nNew "
                                       "files with stripped location info will be created in "
                                       "the chosen folder.");
const char* const kAttachmentsMessage = QT_TRANSLATE_NOOP(
    "StripCommands", "This will extract embedded files like cover, previews, fonts, etc.");
const char* const kLocationTitle = QT_TRANSLATE_NOOP("StripCommands", "Remove Location Info");
const char* const kAttachmentsTitle = QT_TRANSLATE_NOOP("StripCommands", "Extract Attachments");

QString translated(const char* text)
{
    return QCoreApplication::translate("StripCommands", text);
}

// The explanation of a run over the window; a folder chooser titled like the command follows
// when the user goes on, and the run after it.
QMessageBox* explainThenChooseFolder(QWidget* window, const char* title, const char* message,
                                     std::function<void(const QString&)> run)
{
    auto* sheet = new QMessageBox(QMessageBox::Information, translated(title), translated(message),
                                  QMessageBox::Cancel, window);
    sheet->setObjectName(QStringLiteral("stripExplanation"));
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::WindowModal);
    QPushButton* choose = sheet->addButton(QObject::tr("Choose Folder…"), QMessageBox::AcceptRole);
    sheet->setDefaultButton(choose);
    QObject::connect(sheet, &QMessageBox::buttonClicked, window,
                     [sheet, choose, window, title, run](QAbstractButton* button) {
                         if (button != choose)
                             return;
                         sheet->hide();
                         // The chooser opens once the sheet has gone.
                         QPointer<QWidget> owner(window);
                         QTimer::singleShot(0, window, [owner, title, run] {
                             const QString folder =
                                 StripCommands::chooseFolder(owner, translated(title));
                             if (owner && !folder.isEmpty())
                                 run(folder);
                         });
                     });
    sheet->open();
    return sheet;
}

// Calls the step on the main thread while the object lives.
template <typename T> void onMain(QPointer<T> object, std::function<void(T*)> step)
{
    QMetaObject::invokeMethod(
        qApp,
        [object, step] {
            if (object)
                step(object);
        },
        Qt::QueuedConnection);
}

// A determinate progress sheet for a run of so many files; it deletes itself when closed.
QProgressDialog* progressSheet(QWidget* window, const QString& text, qsizetype count)
{
    auto* progress = new QProgressDialog(text, QObject::tr("Stop"), 0, int(count), window);
    progress->setWindowModality(Qt::WindowModal);
    progress->setAttribute(Qt::WA_DeleteOnClose);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setMinimumDuration(0);
    progress->setValue(0);
    progress->show();
    return progress;
}

void bump(QProgressDialog* progress)
{
    progress->setValue(std::min(progress->value() + 1, progress->maximum()));
}

// Closes the progress sheet when the remover reports the end of its run.
class LocationRun : public QObject, public MetadataRemoverDelegate
{
public:
    explicit LocationRun(QProgressDialog* progress) : QObject(progress), m_progress(progress) {}
    MetadataRemover remover;
    void metadataRemoverDidFinish(MetadataRemover*, int) override
    {
        if (m_progress)
            m_progress->close();
    }

private:
    QPointer<QProgressDialog> m_progress;
};

class RemoveMetadataSheet : public QDialog, public MetadataRemoverDelegate
{
public:
    RemoveMetadataSheet(const FileRecordList& records, QWidget* window,
                        const QString& chosen = QStringLiteral("gps"))
        : QDialog(window), m_records(records)
    {
        setWindowTitle(tr("Remove Metadata"));
        setWindowModality(Qt::WindowModal);
        setAttribute(Qt::WA_DeleteOnClose);
        m_pages = new QStackedWidget(this);

        auto* choose = new QWidget;
        auto* intro = new QLabel(
            (records.size() == 1
                 ? tr("A copy of the listed file is written")
                 : tr("Copies of the %1 listed files are written").arg(records.size())) +
                tr(" into a folder you choose, without the parts ticked below. The files "
                   "themselves are not changed."),
            choose);
        intro->setWordWrap(true);
        const QList<std::pair<QString, QString>> parts = {
            {QStringLiteral("exif"), tr("Exif (camera settings, dates, software, owner)")},
            {QStringLiteral("gps"), tr("GPS location")},
            {QStringLiteral("makernote"), tr("Maker notes (raw files keep theirs)")},
            {QStringLiteral("iptc"), tr("IPTC (captions, keywords, credits)")},
            {QStringLiteral("xmp"), tr("XMP")},
            {QStringLiteral("privacy"), tr("What the privacy report finds (high level)")},
            {QStringLiteral("privacy-all"),
             tr("Everything the privacy report finds (also make, model, times, free text)")},
        };
        auto* layout = new QVBoxLayout(choose);
        layout->addWidget(intro);
        layout->addSpacing(6);
        for (const auto& [key, label] : parts) {
            auto* box = new QCheckBox(label, choose);
            box->setObjectName(key);
            box->setChecked(key == chosen);
            connect(box, &QCheckBox::toggled, this, [this, box](bool on) {
                // The privacy removals take their own keys: they go alone.
                const auto isPrivacy = [](QCheckBox* b) {
                    return b->objectName().startsWith(QLatin1String("privacy"));
                };
                if (on)
                    for (QCheckBox* other : std::as_const(m_boxes))
                        if (other != box && (isPrivacy(other) || isPrivacy(box)))
                            other->setChecked(false);
                updateButton();
            });
            layout->addWidget(box);
            m_boxes.append(box);
        }
        layout->addStretch(1);
        auto* buttons = new QDialogButtonBox(choose);
        m_remove = buttons->addButton(tr("Remove…"), QDialogButtonBox::AcceptRole);
        buttons->addButton(QDialogButtonBox::Cancel);
        connect(buttons, &QDialogButtonBox::accepted, this, &RemoveMetadataSheet::confirm);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        layout->addWidget(buttons);

        auto* running = new QWidget;
        auto* runLayout = new QVBoxLayout(running);
        runLayout->addStretch(1);
        runLayout->addWidget(new QLabel(tr("Writing copies without metadata…"), running));
        m_progress = new QProgressBar(running);
        m_progress->setRange(0, int(records.size()));
        runLayout->addWidget(m_progress);
        auto* stop = new QPushButton(tr("Stop"), running);
        connect(stop, &QPushButton::clicked, this, [this] { m_remover.cancel(); });
        runLayout->addWidget(stop, 0, Qt::AlignRight);
        runLayout->addStretch(1);

        m_pages->addWidget(choose);
        m_pages->addWidget(running);
        auto* outer = new QVBoxLayout(this);
        outer->addWidget(m_pages);
        setMinimumWidth(420);
        updateButton();
    }

    ~RemoveMetadataSheet() override
    {
        m_remover.setDelegate(nullptr);
        m_remover.cancel();
        m_remover.wait();
    }

    QVariantMap parts() const
    {
        QVariantMap parts;
        for (QCheckBox* box : m_boxes)
            parts.insert(box->objectName(), box->isChecked() ? 1 : 0);
        return parts;
    }

    void confirm()
    {
        m_remover.setArrayWithData(m_records);
        const QVariantMap chosen = parts();
        m_remover.setMetadataParts(chosen);
        m_remover.setPrivacyStrip(
            chosen.value(QStringLiteral("privacy-all")).toBool() ? privacy::Strip::All
            : chosen.value(QStringLiteral("privacy")).toBool()   ? privacy::Strip::High
                                                                 : privacy::Strip::None);
        m_remover.setDelegate(this);
        if (m_records.isEmpty() ||
            (!m_remover.metadata().any() && m_remover.privacyStrip() == privacy::Strip::None))
            return;
        const QString folder =
            StripCommands::chooseFolder(this, tr("Select folder to save the files"));
        if (folder.isEmpty()) {
            metadataRemoverDidFinish(&m_remover, MetadataRemover::kResultCancelled);
            return;
        }
        m_pages->setCurrentIndex(1);
        m_progress->setValue(0);
        m_written = 0;
        m_failed = 0;
        // Why a copy failed, or how a finding went, is told when the run ends.
        m_log = std::make_unique<LogCapture>();
        QPointer<RemoveMetadataSheet> self(this);
        m_remover.fileProcessedBlock = [self](const MetadataRemovalOutcome& outcome) {
            const bool failed = outcome.kind == MetadataRemovalOutcome::Kind::Failed;
            onMain<RemoveMetadataSheet>(self, [failed](RemoveMetadataSheet* sheet) {
                ++(failed ? sheet->m_failed : sheet->m_written);
            });
        };
        m_remover.didProcessTheFileBlock = [self] {
            onMain<RemoveMetadataSheet>(self, [](RemoveMetadataSheet* sheet) {
                sheet->m_progress->setValue(sheet->m_progress->value() + 1);
            });
        };
        m_remover.startInFolder(folder);
    }

    void metadataRemoverDidFinish(MetadataRemover*, int result) override
    {
        m_pages->setCurrentIndex(0);
        m_progress->reset();
        const QStringList lines = m_log ? m_log->lines() : QStringList();
        m_log.reset();
        if (result == MetadataRemover::kResultFinished && (m_failed > 0 || !lines.isEmpty())) {
            // The counts come from the queued outcomes: read them once those have arrived.
            QPointer<QWidget> parent = parentWidget();
            const int written = m_written;
            const int failed = m_failed;
            QMetaObject::invokeMethod(
                qApp,
                [parent, written, failed, lines] {
                    auto* box = new QMessageBox(
                        failed > 0 ? QMessageBox::Warning : QMessageBox::Information,
                        tr("Remove Metadata"),
                        tr("%1 written, %2 failed.").arg(written).arg(failed), QMessageBox::Ok,
                        parent);
                    box->setInformativeText(failed > 0
                                                ? tr("A copy that still showed what was to "
                                                     "go was not kept.")
                                                : QString());
                    box->setDetailedText(lines.join(QLatin1Char('\n')));
                    box->setAttribute(Qt::WA_DeleteOnClose);
                    box->setWindowModality(Qt::WindowModal);
                    box->open();
                },
                Qt::QueuedConnection);
        }
        accept();
    }

private:
    void updateButton()
    {
        bool any = false;
        for (QCheckBox* box : m_boxes)
            any |= box->isChecked();
        m_remove->setEnabled(any);
    }

    FileRecordList m_records;
    MetadataRemover m_remover;
    std::unique_ptr<LogCapture> m_log;
    int m_written = 0;
    int m_failed = 0;
    QStackedWidget* m_pages = nullptr;
    QList<QCheckBox*> m_boxes;
    QPushButton* m_remove = nullptr;
    QProgressBar* m_progress = nullptr;
};

} // namespace

void StripCommands::setFolderChooser(FolderChooser chooser)
{
    folderChooser() = std::move(chooser);
}

QString StripCommands::chooseFolder(QWidget* parent, const QString& title)
{
    if (folderChooser())
        return folderChooser()(parent, title);
    QFileDialog dialog(parent, title);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::Accept, QObject::tr("Save"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.resize(860, 540); // the date column is elided at Qt's default size
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return NativePath::ofShown(dialog.selectedFiles().first());
}

QDialog* StripCommands::removeMetadata(MainView* view, QWidget* window)
{
    const FileRecordList records = view->arrayWithDataForExport();
    if (records.isEmpty())
        return nullptr;
    auto* sheet = new RemoveMetadataSheet(records, window);
    sheet->open();
    return sheet;
}

QDialog* StripCommands::removePrivacyFindings(const FileRecordList& records, QWidget* window)
{
    if (records.isEmpty())
        return nullptr;
    auto* sheet = new RemoveMetadataSheet(records, window, QStringLiteral("privacy"));
    sheet->open();
    return sheet;
}

QMessageBox* StripCommands::removeLocationInfo(MainView* view, QWidget* window)
{
    const FileRecordList records = view->arrayWithDataForExport();
    if (records.isEmpty())
        return nullptr;
    QPointer<QWidget> owner(window);
    return explainThenChooseFolder(
        window, kLocationTitle, kLocationMessage,
        [records, owner](const QString& folder) { removeLocationInto(records, folder, owner); });
}

QMessageBox* StripCommands::extractAttachments(MainView* view, QWidget* window)
{
    const FileRecordList records = view->arrayWithDataForExport();
    if (records.isEmpty())
        return nullptr;
    QPointer<QWidget> owner(window);
    return explainThenChooseFolder(window, kAttachmentsTitle, kAttachmentsMessage,
                                   [records, owner](const QString& folder) {
                                       extractAttachmentsInto(records, folder, owner);
                                   });
}

QProgressDialog* StripCommands::removeLocationInto(const FileRecordList& records,
                                                   const QString& folder, QWidget* window)
{
    if (records.isEmpty())
        return nullptr;
    QProgressDialog* progress =
        progressSheet(window, QObject::tr("Writing copies without location info…"), records.size());
    auto* run = new LocationRun(progress);
    run->remover.setArrayWithData(records);
    run->remover.setMetadataParts({{QStringLiteral("gps"), true}});
    run->remover.setDelegate(run);
    QPointer<QProgressDialog> guard(progress);
    run->remover.willProcessTheFileBlock = [guard] { onMain<QProgressDialog>(guard, bump); };
    QObject::connect(progress, &QProgressDialog::canceled, run, [run] { run->remover.cancel(); });
    run->remover.startInFolder(folder);
    return progress;
}

QProgressDialog* StripCommands::extractAttachmentsInto(const FileRecordList& records,
                                                       const QString& folder, QWidget* window)
{
    if (records.isEmpty())
        return nullptr;
    QProgressDialog* progress =
        progressSheet(window, QObject::tr("Extracting embedded files…"), records.size());
    auto extractor = std::make_shared<AttachmentsExtractor>();
    extractor->setArrayWithData(records);
    QPointer<QProgressDialog> guard(progress);
    extractor->willProcessTheFileBlock = [guard] { onMain<QProgressDialog>(guard, bump); };
    QObject::connect(progress, &QProgressDialog::canceled, progress,
                     [weak = std::weak_ptr<AttachmentsExtractor>(extractor)] {
                         if (const auto live = weak.lock())
                             live->cancel();
                     });
    // The extractor lives until its run has ended and the sheet is closed.
    auto* holder = new QObject(progress);
    QObject::connect(holder, &QObject::destroyed, [extractor] { extractor->wait(); });
    extractor->startInFolder(folder, [guard] {
        if (guard)
            guard->close();
    });
    return progress;
}

} // namespace perspix
