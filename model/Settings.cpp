// The settings store over QSettings in INI form; registered defaults are kept in memory
// and never written to the file.
#include "model/Settings.h"

#include <QHash>
#include <QSettings>
#include <mutex>

#include "model/HelperKeys.h"
#include "model/Keys.h"

namespace perspix {

namespace {

std::mutex g_lock;
QHash<QString, QVariant> g_defaults;
bool g_standardRegistered = false;
QString g_storeFile;

const QString kOrganization = QStringLiteral("Perspix");
const QString kApplication = QStringLiteral("Perspix");
constexpr int kTabCount = 4;

} // namespace

Settings::Settings()
{
    QString file;
    {
        std::lock_guard guard(g_lock);
        file = g_storeFile;
    }
    if (file.isEmpty())
        m_store = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                              kOrganization, kApplication);
    else
        m_store = std::make_unique<QSettings>(file, QSettings::IniFormat);
}

Settings::Settings(const QString& iniFile)
    : m_store(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{
}

Settings::~Settings() = default;

const QList<SettingDefault>& Settings::standardDefaults()
{
    using namespace prefs;
    static const QList<SettingDefault> defaults = {
        {kTerminateAppWhenAllWindowsClosed, false},
        {kSidebarWidth, 160.0},
        {kSidebarPos, 0},
        {kExtRowHeight, 16},
        {kExtFontSize, 12},
        {kQuickViewFontSize, 11},
        {kQuickViewRowHeight, 15},
        {kLastExportFormat, QStringLiteral("txt")},
        {kLastExportType, 1},
        {kLastComparisonExportFormat, QStringLiteral("csv")},
        {kLastExportWithoutFilePrivate, false},
        {kLastTab, 0},
        {kOpenTab, 0},
        {kHideUnknownFiles, false},
        {kEnableDebug, false},
        {kEnableExperimentalPreferences, false},
        {kCompareFilesLimit, 70},
        {kExtComparisonHighlightValue, 7},
        {kGenComparisonHighlightValue, 7},
        {kWrapLongLines, true},
        {kFirstColumnBold, true},
        {kExtParameterRightAlign, true},
        {kUseSIUnits, true},
        {kUseSlowThumbProcessing, true},
        {kDisplayOtherTracksInGeneral, false},
        {kVideoUtility, QStringLiteral("mediainfo")},
        {kExiftoolTimeout, 60},
        {kAnalysisTimeout, 60},
        {kAnalysisMemoryLimit, qint64(4) << 30},
        {kComputeFileHashes, false},
        {kUseSystemMetadata, true},
        {kShowCoincidences, false},
        {kMTMode, 0},
        {kUseQuickInfoService, false},
        {kUseResultStore, true},
        {kResultStoreSizeLimitMB, 1024},
        {kMapType, 0},
    };
    return defaults;
}

const QStringList& Settings::unregisteredKeys()
{
    static const QStringList keys = {prefs::kSidebarIsHidden, prefs::kExtComparisonHighlight,
                                     prefs::kGenComparisonHighlight};
    return keys;
}

void Settings::registerDefaults()
{
    {
        std::lock_guard guard(g_lock);
        if (g_standardRegistered)
            return;
        g_standardRegistered = true;
    }
    registerDefaults(standardDefaults());
}

void Settings::registerDefaults(const QList<SettingDefault>& defaults)
{
    std::lock_guard guard(g_lock);
    for (const SettingDefault& d : defaults)
        g_defaults.insert(d.key, d.value);
}

QVariant Settings::registeredDefault(const QString& key)
{
    std::lock_guard guard(g_lock);
    return g_defaults.value(key);
}

void Settings::useStoreFile(const QString& iniFile)
{
    std::lock_guard guard(g_lock);
    g_storeFile = iniFile;
}

QVariant Settings::value(const QString& key) const
{
    const QVariant stored = m_store->value(key);
    if (stored.isValid())
        return stored;
    return registeredDefault(key);
}

bool Settings::contains(const QString& key) const
{
    return m_store->contains(key);
}

bool Settings::boolValue(const QString& key) const
{
    const QVariant v = value(key);
    if (v.typeId() == QMetaType::QString) {
        // INI files keep every value as text; a stored "1" or "YES" still means on.
        const QString text = v.toString().trimmed().toLower();
        return text == QLatin1String("true") || text == QLatin1String("yes") ||
               text.toLongLong() != 0;
    }
    return v.toBool();
}

qint64 Settings::intValue(const QString& key) const
{
    const QVariant v = value(key);
    if (v.typeId() == QMetaType::QString) {
        const QString text = v.toString().trimmed();
        if (text == QLatin1String("true"))
            return 1;
        bool ok = false;
        const qint64 n = text.toLongLong(&ok);
        if (ok)
            return n;
        return static_cast<qint64>(text.toDouble());
    }
    return v.toLongLong();
}

double Settings::realValue(const QString& key) const
{
    return value(key).toDouble();
}

QString Settings::stringValue(const QString& key) const
{
    const QVariant v = value(key);
    return v.isValid() ? v.toString() : QString();
}

void Settings::setValue(const QString& key, const QVariant& value)
{
    m_store->setValue(key, value);
}

void Settings::remove(const QString& key)
{
    m_store->remove(key);
}

void Settings::sync()
{
    m_store->sync();
}

QString Settings::fileName() const
{
    return m_store->fileName();
}

QVariantMap Settings::analysisOptions() const
{
    QVariantMap options;
    options.insert(keys::kOptUseSIUnits, boolValue(prefs::kUseSIUnits));
    options.insert(keys::kOptUseSlowThumbProcessing, boolValue(prefs::kUseSlowThumbProcessing));
    options.insert(keys::kOptDisplayOtherTracksInGeneral,
                   boolValue(prefs::kDisplayOtherTracksInGeneral));
    options.insert(keys::kOptComputeFileHashes, boolValue(prefs::kComputeFileHashes));
    options.insert(keys::kOptSkipExtAttributes, !boolValue(prefs::kUseSystemMetadata));
    options.insert(keys::kOptVideoUtility, stringValue(prefs::kVideoUtility));
    options.insert(keys::kOptExiftoolTimeout, value(prefs::kExiftoolTimeout).toDouble());
    options.insert(keys::kOptAnalysisTimeout, value(prefs::kAnalysisTimeout).toDouble());
    options.insert(keys::kOptAnalysisMemoryLimit, value(prefs::kAnalysisMemoryLimit).toLongLong());
    return options;
}

int Settings::tabForNewWindow() const
{
    const qint64 open = intValue(prefs::kOpenTab);
    const qint64 tab = open > 0 ? open - 1 : intValue(prefs::kLastTab);
    return tab >= 0 && tab < kTabCount ? static_cast<int>(tab) : 0;
}

bool Settings::lastExportIsCompound() const
{
    return intValue(prefs::kLastExportType) == 1;
}

} // namespace perspix
