// The preferences window (see PreferencesWindow.h).
#include "app/PreferencesWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPointer>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <thread>

#include "app/AppController.h"
#include "app/Notifier.h"
#include "model/HelperKeys.h"
#include "readers/mediainfo/oMediaInfo.h"
#if __has_include("taglink/Taglink.h")
#include "taglink/Taglink.h"
#define PERSPIX_HAS_TAGLINK 1
#endif

namespace perspix {

PreferencesWindow::PreferencesWindow(QWidget* parent)
    : QDialog(parent), m_panes(new QTabWidget(this))
{
    setWindowTitle(tr("Preferences"));
    m_panes->addTab(buildGeneralPane(), tr("General"));
    m_panes->addTab(buildAnalysisPane(), tr("Analysis"));
    if (m_ud.boolValue(prefs::kEnableExperimentalPreferences))
        m_panes->addTab(buildExperimentalPane(), tr("Experimental"));
    const int advanced = m_panes->addTab(buildAdvancedPane(), tr("Advanced"));
    connect(m_panes, &QTabWidget::currentChanged, this, [this, advanced](int index) {
        if (index == advanced)
            fillVersionsOnce();
    });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_panes);
    layout->addWidget(buttons);
}

QCheckBox* PreferencesWindow::boolControl(const QString& key, const QString& text, QWidget* parent)
{
    auto* box = new QCheckBox(text, parent);
    box->setChecked(m_ud.boolValue(key));
    connect(box, &QCheckBox::toggled, this, [this, key](bool on) { m_ud.setValue(key, on); });
    m_controls.insert(key, box);
    return box;
}

QComboBox* PreferencesWindow::choiceControl(const QString& key,
                                            const QList<std::pair<QString, QVariant>>& items,
                                            QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    for (const auto& [text, value] : items)
        combo->addItem(text, value);
    const QVariant stored = m_ud.value(key);
    int index = 0;
    for (int i = 0; i < combo->count(); ++i)
        if (combo->itemData(i).toString() == stored.toString())
            index = i;
    combo->setCurrentIndex(index);
    connect(combo, &QComboBox::currentIndexChanged, this,
            [this, key, combo](int i) { m_ud.setValue(key, combo->itemData(i)); });
    m_controls.insert(key, combo);
    return combo;
}

QSpinBox* PreferencesWindow::intControl(const QString& key, int min, int max, QWidget* parent)
{
    auto* spin = new QSpinBox(parent);
    spin->setRange(min, max);
    spin->setValue(int(m_ud.intValue(key)));
    // As wide as its largest value, not stretched across the pane.
    spin->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(spin, &QSpinBox::valueChanged, this, [this, key](int v) { m_ud.setValue(key, v); });
    m_controls.insert(key, spin);
    return spin;
}

QWidget* PreferencesWindow::controlForKey(const QString& key) const
{
    return m_controls.value(key);
}

QWidget* PreferencesWindow::buildGeneralPane()
{
    auto* pane = new QWidget;
    pane->setObjectName(QStringLiteral("tbGeneral"));
    auto* form = new QFormLayout(pane);
    form->addRow(tr("New windows open on:"), choiceControl(prefs::kOpenTab,
                                                           {{tr("The tab used last"), 0},
                                                            {tr("General"), 1},
                                                            {tr("Extended"), 2},
                                                            {tr("Comparison"), 3}},
                                                           pane));
    QCheckBox* wrap = boolControl(prefs::kWrapLongLines, tr("Wrap long lines"), pane);
    connect(wrap, &QCheckBox::toggled, this,
            [this] { emit Notifier::instance().wrapLongLinesDidChanged(this); });
    form->addRow(QString(), wrap);
    const auto parametersChanged = [] { emit Notifier::instance().parameterDisplayDidChange(); };
    QCheckBox* align =
        boolControl(prefs::kExtParameterRightAlign, tr("Align parameter names right"), pane);
    connect(align, &QCheckBox::toggled, this, parametersChanged);
    form->addRow(QString(), align);
    QCheckBox* bold = boolControl(prefs::kFirstColumnBold, tr("Parameter names in bold"), pane);
    connect(bold, &QCheckBox::toggled, this, parametersChanged);
    form->addRow(QString(), bold);
    QSpinBox* fontSize = intControl(prefs::kExtFontSize, 8, 24, pane);
    connect(fontSize, &QSpinBox::valueChanged, this, parametersChanged);
    form->addRow(tr("Parameter font size:"), fontSize);
    form->addRow(QString(), boolControl(prefs::kHideUnknownFiles,
                                        tr("New windows hide files of unknown kind"), pane));
    form->addRow(QString(), boolControl(prefs::kUseQuickInfoService,
                                        tr("Quick Info opens one small window per file"), pane));
    form->addRow(QString(),
                 boolControl(prefs::kShowCoincidences,
                             tr("Comparisons mark values that differ from the most common one"),
                             pane));
    form->addRow(tr("Files in a comparison, at most:"),
                 intControl(prefs::kCompareFilesLimit, 2, 10000, pane));
    QCheckBox* quit = boolControl(prefs::kTerminateAppWhenAllWindowsClosed,
                                  tr("Quit when the last window is closed"), pane);
    quit->setToolTip(tr("Otherwise Perspix stays in the system tray, when there is one."));
    connect(quit, &QCheckBox::toggled, this,
            [] { AppController::instance().applyLastWindowSetting(); });
    form->addRow(QString(), quit);
    return pane;
}

QWidget* PreferencesWindow::buildAnalysisPane()
{
    auto* pane = new QWidget;
    auto* form = new QFormLayout(pane);
    form->addRow(tr("Films and sound read by:"),
                 choiceControl(prefs::kVideoUtility,
                               {{QStringLiteral("MediaInfo"), QStringLiteral("mediainfo")},
                                {QStringLiteral("ExifTool"), QStringLiteral("exiftool")}},
                               pane));
    form->addRow(tr("Files analysed at once:"), choiceControl(prefs::kMTMode,
                                                              {{tr("One"), 0},
                                                               {tr("Two"), 2},
                                                               {tr("Four"), 4},
                                                               {tr("Eight"), 8},
                                                               {tr("One per processor core"), 256}},
                                                              pane));
    // Time limits: a file whose reading takes longer fails alone, and the list goes on.
    QSpinBox* exiftoolLimit = intControl(prefs::kExiftoolTimeout, 1, 24 * 3600, pane);
    exiftoolLimit->setSuffix(tr(" s"));
    form->addRow(tr("ExifTool may read one file for:"), exiftoolLimit);
    QSpinBox* analysisLimit = intControl(prefs::kAnalysisTimeout, 0, 24 * 3600, pane);
    analysisLimit->setSuffix(tr(" s"));
    analysisLimit->setSpecialValueText(tr("No limit"));
    form->addRow(tr("Reading one file may take:"), analysisLimit);
    form->addRow(QString(),
                 boolControl(prefs::kUseSIUnits,
                             tr("Sizes and rates in decimal units (kB = 1000 bytes)"), pane));
    form->addRow(QString(),
                 boolControl(prefs::kUseSlowThumbProcessing,
                             tr("Make covers from whole images and frames of films"), pane));
    form->addRow(QString(), boolControl(prefs::kDisplayOtherTracksInGeneral,
                                        tr("Show other tracks in the general view"), pane));
    form->addRow(QString(), boolControl(prefs::kUseSystemMetadata,
                                        tr("Read comments, tags and origins kept by the file "
                                           "system"),
                                        pane));
    form->addRow(QString(),
                 boolControl(prefs::kComputeFileHashes, tr("Compute MD5 and SHA-1 digests"), pane));
    form->addRow(QString(), boolControl(prefs::kUseResultStore,
                                        tr("Keep results, so that unchanged files are not "
                                           "analysed again"),
                                        pane));
    QSpinBox* limit = intControl(prefs::kResultStoreSizeLimitMB, 16, 1024 * 1024, pane);
    limit->setSuffix(tr(" MiB"));
    form->addRow(tr("Kept results, at most:"), limit);
    auto* note = new QLabel(tr("Changes apply to files opened from now on."), pane);
    note->setEnabled(false);
    form->addRow(QString(), note);
    return pane;
}

QWidget* PreferencesWindow::buildExperimentalPane()
{
    auto* pane = new QWidget;
    pane->setObjectName(QStringLiteral("tbExperimental"));
    auto* form = new QFormLayout(pane);
    form->addRow(QString(),
                 boolControl(prefs::kEnableDebug, tr("Show the diagnostic commands"), pane));
    return pane;
}

QWidget* PreferencesWindow::buildAdvancedPane()
{
    auto* pane = new QWidget;
    auto* layout = new QVBoxLayout(pane);
    auto* title = new QLabel(tr("Metadata readers:"), pane);
    m_versions = new QLabel(tr("…"), pane);
    m_versions->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_versions->setWordWrap(true);
    layout->addWidget(title);
    layout->addWidget(m_versions);
    layout->addStretch(1);
    return pane;
}

QString PreferencesWindow::exiftoolVersion()
{
#ifdef PERSPIX_HAS_TAGLINK
    const auto version = taglink::Taglink::exiftoolVersion();
    return version ? QString::fromStdString(*version) : QStringLiteral("?");
#else
    return QStringLiteral("?");
#endif
}

QString PreferencesWindow::versionsText(const QString& mediaInfoVersion,
                                        const QString& exiftoolVersion)
{
    return QStringLiteral("%1, exiftool - v%2").arg(mediaInfoVersion, exiftoolVersion);
}

void PreferencesWindow::fillVersionsOnce()
{
    if (m_versionsRequested)
        return;
    m_versionsRequested = true;
    // Asking ExifTool for its version starts the program: not on the main thread.
    QPointer<QLabel> label = m_versions;
    std::thread([label] {
        const QString text = versionsText(oMediaInfo::libVersion(), exiftoolVersion());
        QMetaObject::invokeMethod(
            qApp,
            [label, text] {
                if (label)
                    label->setText(text);
            },
            Qt::QueuedConnection);
    }).detach();
}

} // namespace perspix
