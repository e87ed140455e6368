#include <gtest/gtest.h>

#include <QFile>
#include <QSet>

#include "model/Keys.h"
#include "model/Settings.h"
#include "support/TestSupport.h"

using namespace perspix;
using perspix::test::TempDir;

namespace {

class SettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Settings::registerDefaults();
        m_file = m_dir.filePath(QStringLiteral("store.ini"));
    }

    TempDir m_dir;
    QString m_file;
};

} // namespace

TEST_F(SettingsTest, FreshStoreAnswersTheRegisteredDefaults)
{
    Settings s(m_file);
    EXPECT_EQ(s.tabForNewWindow(), 0);
    EXPECT_DOUBLE_EQ(s.realValue(prefs::kSidebarWidth), 160.0);
    EXPECT_TRUE(s.boolValue(prefs::kWrapLongLines));
    EXPECT_TRUE(s.boolValue(prefs::kUseSIUnits));
    EXPECT_TRUE(s.boolValue(prefs::kUseSystemMetadata));
    EXPECT_FALSE(s.boolValue(prefs::kTerminateAppWhenAllWindowsClosed));
    EXPECT_EQ(s.intValue(prefs::kCompareFilesLimit), 70);
    EXPECT_EQ(s.intValue(prefs::kExtComparisonHighlightValue), 7);
    EXPECT_EQ(s.intValue(prefs::kMTMode), 0);
    EXPECT_EQ(s.stringValue(prefs::kLastExportFormat), "txt");
    EXPECT_EQ(s.stringValue(prefs::kLastComparisonExportFormat), "csv");
    EXPECT_EQ(s.stringValue(prefs::kVideoUtility), "mediainfo");
    EXPECT_TRUE(s.lastExportIsCompound());

    // Keys without a default, and keys nobody knows, read as NO, 0, 0.0 and nothing.
    for (const QString& key : Settings::unregisteredKeys() + QStringList{"noSuchKey"}) {
        EXPECT_FALSE(s.boolValue(key)) << key.toStdString();
        EXPECT_EQ(s.intValue(key), 0);
        EXPECT_EQ(s.realValue(key), 0.0);
        EXPECT_TRUE(s.stringValue(key).isEmpty());
        EXPECT_FALSE(s.contains(key));
    }
    // Reading never writes the defaults into the file.
    s.sync();
    EXPECT_FALSE(QFile::exists(m_file));
}

TEST_F(SettingsTest, EveryDefaultIsRegisteredOnceAndApartFromTheUnregisteredKeys)
{
    const auto& defaults = Settings::standardDefaults();
    ASSERT_EQ(defaults.size(), 37);
    EXPECT_EQ(defaults.first().key, prefs::kTerminateAppWhenAllWindowsClosed);
    EXPECT_EQ(defaults.last().key, prefs::kMapType);
    QSet<QString> seen;
    for (const SettingDefault& d : defaults) {
        EXPECT_FALSE(seen.contains(d.key)) << "registered twice: " << d.key.toStdString();
        seen.insert(d.key);
        EXPECT_TRUE(d.value.isValid());
    }
    for (const QString& key : Settings::unregisteredKeys())
        EXPECT_FALSE(seen.contains(key));
    // The stored types: the sidebar width is a real, the export format a string.
    EXPECT_EQ(Settings::registeredDefault(prefs::kSidebarWidth).typeId(), QMetaType::Double);
    EXPECT_EQ(Settings::registeredDefault(prefs::kLastExportFormat).typeId(), QMetaType::QString);
}

TEST_F(SettingsTest, WritesPersistAndOverrideTheDefaults)
{
    {
        Settings s(m_file);
        s.setValue(prefs::kUseSIUnits, false);
        s.setValue(prefs::kMTMode, 4);
        s.setValue(prefs::kSidebarWidth, 212.5);
        s.setValue(prefs::kLastExportFormat, QStringLiteral("json"));
        s.setValue(prefs::kSidebarIsHidden, true);
        s.sync();
    }
    Settings again(m_file);
    EXPECT_FALSE(again.boolValue(prefs::kUseSIUnits));
    EXPECT_EQ(again.intValue(prefs::kMTMode), 4);
    EXPECT_DOUBLE_EQ(again.realValue(prefs::kSidebarWidth), 212.5);
    EXPECT_EQ(again.stringValue(prefs::kLastExportFormat), "json");
    EXPECT_TRUE(again.boolValue(prefs::kSidebarIsHidden));

    again.remove(prefs::kUseSIUnits);
    EXPECT_TRUE(again.boolValue(prefs::kUseSIUnits));
}

TEST_F(SettingsTest, HandWrittenValuesReadAsTheirTypes)
{
    QFile f(m_file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[General]\nuseSIUnits=0\nwrapLongLines=false\ncomputeFileHashes=1\n"
            "hideUnknownFiles=YES\nMTMode=abc\ncompareFilesLimit=12\nsidebarWidth=200\n");
    f.close();
    Settings s(m_file);
    EXPECT_FALSE(s.boolValue(prefs::kUseSIUnits));
    EXPECT_FALSE(s.boolValue(prefs::kWrapLongLines));
    EXPECT_TRUE(s.boolValue(prefs::kComputeFileHashes));
    EXPECT_TRUE(s.boolValue(prefs::kHideUnknownFiles));
    EXPECT_EQ(s.intValue(prefs::kMTMode), 0);
    EXPECT_EQ(s.intValue(prefs::kCompareFilesLimit), 12);
    EXPECT_DOUBLE_EQ(s.realValue(prefs::kSidebarWidth), 200.0);
}

TEST_F(SettingsTest, TabOfNewWindowsAndExportType)
{
    struct TabCase
    {
        int openTab, lastTab, expected;
    };
    const TabCase tabs[] = {
        {0, 0, 0}, {0, 2, 2},  {3, 1, 2}, {3, 0, 2},
        {1, 3, 0}, {4, 0, 3},  {9, 1, 0}, // tab 8 does not exist: the first tab
        {0, 7, 0}, {-1, 2, 2},
    };
    Settings s(m_file);
    for (const TabCase& c : tabs) {
        s.setValue(prefs::kOpenTab, c.openTab);
        s.setValue(prefs::kLastTab, c.lastTab);
        EXPECT_EQ(s.tabForNewWindow(), c.expected) << c.openTab << "/" << c.lastTab;
    }

    const std::pair<int, bool> exportTypes[] = {{0, false}, {1, true}, {2, false}};
    for (const auto& [type, compound] : exportTypes) {
        s.setValue(prefs::kLastExportType, type);
        EXPECT_EQ(s.lastExportIsCompound(), compound) << type;
    }
}

TEST_F(SettingsTest, AnalysisOptionsFollowTheStore)
{
    Settings s(m_file);
    QVariantMap o = s.analysisOptions();
    EXPECT_EQ(o.value(keys::kOptUseSIUnits), true);
    EXPECT_EQ(o.value(keys::kOptUseSlowThumbProcessing), true);
    EXPECT_EQ(o.value(keys::kOptDisplayOtherTracksInGeneral), false);
    EXPECT_EQ(o.value(keys::kOptComputeFileHashes), false);
    EXPECT_EQ(o.value(keys::kOptSkipExtAttributes), false);
    EXPECT_EQ(o.value(keys::kOptVideoUtility), "mediainfo");

    s.setValue(prefs::kUseSystemMetadata, false);
    s.setValue(prefs::kVideoUtility, QStringLiteral("exiftool"));
    s.setValue(prefs::kUseSIUnits, false);
    o = s.analysisOptions();
    EXPECT_EQ(o.value(keys::kOptSkipExtAttributes), true);
    EXPECT_EQ(o.value(keys::kOptVideoUtility), "exiftool");
    EXPECT_EQ(o.value(keys::kOptUseSIUnits), false);
}

TEST_F(SettingsTest, ChosenStoreFileReplacesTheUsersStore)
{
    Settings::useStoreFile(m_file);
    {
        Settings s;
        EXPECT_EQ(s.fileName(), m_file);
        s.setValue(prefs::kMapType, 2);
    }
    EXPECT_EQ(Settings(m_file).intValue(prefs::kMapType), 2);
    Settings::useStoreFile(QString());
}
