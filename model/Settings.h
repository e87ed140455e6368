// The per-user settings store: typed reads that answer the registered default for an absent
// key, writes that persist. Holds no widgets; the GUI and the command-line front end share it.
#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <memory>

class QSettings;

namespace perspix {

// Keys of the settings store. Registered ones have a default in Settings::standardDefaults().
namespace prefs {
inline const QString kTerminateAppWhenAllWindowsClosed =
    QStringLiteral("terminateAppWhenAllWindowsClosed");
inline const QString kSidebarWidth = QStringLiteral("sidebarWidth");
inline const QString kSidebarPos = QStringLiteral("sidebarPos");
inline const QString kExtRowHeight = QStringLiteral("extRowHeight");
inline const QString kExtFontSize = QStringLiteral("extFontSize");
inline const QString kQuickViewFontSize = QStringLiteral("quickViewFontSize");
inline const QString kQuickViewRowHeight = QStringLiteral("quickViewRowHeight");
inline const QString kLastExportFormat = QStringLiteral("lastExportFormat");
inline const QString kLastExportType = QStringLiteral("lastExportType");
inline const QString kLastComparisonExportFormat = QStringLiteral("lastComparisonExportFormat");
inline const QString kLastExportWithoutFilePrivate = QStringLiteral("lastExportWithoutFilePrivate");
inline const QString kLastTab = QStringLiteral("lastTab");
inline const QString kOpenTab = QStringLiteral("openTab");
inline const QString kHideUnknownFiles = QStringLiteral("hideUnknownFiles");
inline const QString kEnableDebug = QStringLiteral("enableDebug");
inline const QString kEnableExperimentalPreferences =
    QStringLiteral("enableExperimentalPreferences");
inline const QString kCompareFilesLimit = QStringLiteral("compareFilesLimit");
inline const QString kExtComparisonHighlightValue = QStringLiteral("extComparisonHighlightValue");
inline const QString kGenComparisonHighlightValue = QStringLiteral("genComparisonHighlightValue");
inline const QString kWrapLongLines = QStringLiteral("wrapLongLines");
inline const QString kFirstColumnBold = QStringLiteral("firstColumnBold");
inline const QString kExtParameterRightAlign = QStringLiteral("extParameterRightAlign");
inline const QString kUseSIUnits = QStringLiteral("useSIUnits");
inline const QString kUseSlowThumbProcessing = QStringLiteral("useSlowThumbProcessing");
inline const QString kDisplayOtherTracksInGeneral = QStringLiteral("displayOtherTracksInGeneral");
inline const QString kVideoUtility = QStringLiteral("videoUtility");
inline const QString kExiftoolTimeout = QStringLiteral("exiftoolTimeout");
inline const QString kComputeFileHashes = QStringLiteral("computeFileHashes");
inline const QString kUseSystemMetadata = QStringLiteral("useSystemMetadata");
inline const QString kShowCoincidences = QStringLiteral("showCoincidences");
inline const QString kMTMode = QStringLiteral("MTMode");
inline const QString kUseQuickInfoService = QStringLiteral("useQuickInfoService");
inline const QString kMapType = QStringLiteral("mapType");
// Results kept across runs (the result store), and its size limit in MiB.
inline const QString kUseResultStore = QStringLiteral("useResultStore");
inline const QString kResultStoreSizeLimitMB = QStringLiteral("resultStoreSizeLimitMB");

// Read and written without a registered default: absent means NO.
inline const QString kSidebarIsHidden = QStringLiteral("sidebarIsHidden");
inline const QString kExtComparisonHighlight = QStringLiteral("extComparisonHighlight");
inline const QString kGenComparisonHighlight = QStringLiteral("genComparisonHighlight");
} // namespace prefs

struct SettingDefault
{
    QString key;
    QVariant value; // its type (bool, int, double, QString) is the stored type
};

class Settings
{
public:
    // The user's store (~/.config/Perspix/Perspix.ini), or the file chosen with
    // useStoreFile().
    Settings();
    // A store kept in the given INI file.
    explicit Settings(const QString& iniFile);
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // Every registered default, in registration order.
    static const QList<SettingDefault>& standardDefaults();
    // Keys that are read and written but have no registered default.
    static const QStringList& unregisteredKeys();
    // Registers the standard defaults (once at start, before any window or worker). Later
    // calls change nothing.
    static void registerDefaults();
    // Registers further defaults; a key registered again takes the new default.
    static void registerDefaults(const QList<SettingDefault>& defaults);
    // The registered default of a key, or an invalid value.
    static QVariant registeredDefault(const QString& key);

    // Makes every store made with Settings() use this INI file instead of the user's; an
    // empty path returns to the user's store. Set before any worker reads the store.
    static void useStoreFile(const QString& iniFile);

    // Reads: the stored value, else the registered default, else NO, 0, 0.0 or "".
    bool boolValue(const QString& key) const;
    qint64 intValue(const QString& key) const;
    double realValue(const QString& key) const;
    QString stringValue(const QString& key) const;
    QVariant value(const QString& key) const;
    bool contains(const QString& key) const;

    void setValue(const QString& key, const QVariant& value);
    void remove(const QString& key);
    // Writes pending changes to disk now.
    void sync();
    QString fileName() const;

    // The analysis options a background analysis gets from the store: the four switches of
    // the same names, "skipExtAttributes" when "useSystemMetadata" is off, "videoUtility".
    QVariantMap analysisOptions() const;
    // Index of the tab a new main window opens on: "openTab" n > 0 means tab n - 1, 0 means
    // "lastTab"; an index outside the four tabs means the first.
    int tabForNewWindow() const;
    // True when the last export wrote every file into one compound file ("lastExportType" 1);
    // any other value means one file per input.
    bool lastExportIsCompound() const;

private:
    std::unique_ptr<QSettings> m_store;
};

} // namespace perspix
