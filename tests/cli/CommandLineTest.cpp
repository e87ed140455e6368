#include <gtest/gtest.h>

#include "cli/CommandLine.h"
#include "model/Keys.h"
#include "model/Settings.h"
#include "support/TestSupport.h"

using namespace perspix;
using namespace perspix::cli;

TEST(CommandLine, ParsesOptionsAndRejectsMisuse)
{
    struct Case
    {
        QStringList args;
        ParseOutcome::Action action;
        quint32 threads;
        QStringList paths;
    };
    const Case cases[] = {
        {{"a.mov"}, ParseOutcome::Run, 256, {"a.mov"}},
        {{"--threads", "4", "a", "b"}, ParseOutcome::Run, 4, {"a", "b"}},
        {{"--threads=1", "a"}, ParseOutcome::Run, 1, {"a"}},
        {{"a", "--threads", "8"}, ParseOutcome::Run, 8, {"a"}}, // options after paths
        {{"--", "--quiet"}, ParseOutcome::Run, 256, {"--quiet"}},
        {{"--threads", "3", "a"}, ParseOutcome::UsageError, 0, {}},
        {{"--threads", "x", "a"}, ParseOutcome::UsageError, 0, {}},
        {{"--threads", "-2", "a"}, ParseOutcome::UsageError, 0, {}},
        {{"a", "--threads"}, ParseOutcome::UsageError, 0, {}},
        {{"--bogus", "a"}, ParseOutcome::UsageError, 0, {}},
        {{}, ParseOutcome::UsageError, 0, {}},
        {{"--quiet"}, ParseOutcome::UsageError, 0, {}},
        {{"--help"}, ParseOutcome::Help, 0, {}},
        {{"-h", "--bogus-after-help"}, ParseOutcome::UsageError, 0, {}},
        {{"a", "--version"}, ParseOutcome::Version, 0, {}},
    };
    for (const Case& c : cases) {
        const ParseOutcome p = parseCommandLine(c.args);
        const std::string label = c.args.join(' ').toStdString();
        EXPECT_EQ(p.action, c.action) << label;
        if (c.action == ParseOutcome::UsageError) {
            EXPECT_FALSE(p.error.isEmpty()) << label;
        }
        if (c.action != ParseOutcome::Run)
            continue;
        EXPECT_EQ(p.options.threads, c.threads) << label;
        EXPECT_EQ(p.options.paths, c.paths) << label;
    }

    const ParseOutcome all = parseCommandLine(
        {"--exiftool", "--hashes", "--no-xattr", "--binary-units", "--no-covers", "-q", "f"});
    ASSERT_EQ(all.action, ParseOutcome::Run);
    EXPECT_TRUE(all.options.exiftool && all.options.hashes && all.options.noXattr &&
                all.options.binaryUnits && all.options.noCovers && all.options.quiet);
    const ParseOutcome none = parseCommandLine({"f"});
    EXPECT_FALSE(none.options.exiftool || none.options.hashes || none.options.noXattr ||
                 none.options.binaryUnits || none.options.noCovers || none.options.quiet);
}

TEST(CommandLine, OptionsOverrideTheStoreAndOthersFollowIt)
{
    Settings::registerDefaults();
    perspix::test::TempDir dir;
    Settings store(dir.filePath("store.ini"));

    // Nothing given: the store's values, as the GUI reads them.
    store.setValue(prefs::kVideoUtility, QStringLiteral("exiftool"));
    store.setValue(prefs::kUseSIUnits, false);
    store.setValue(prefs::kComputeFileHashes, true);
    CliOptions plain;
    QVariantMap o = analysisOptions(plain, store);
    EXPECT_EQ(o.value(keys::kOptVideoUtility), "exiftool");
    EXPECT_EQ(o.value(keys::kOptUseSIUnits), false);
    EXPECT_EQ(o.value(keys::kOptComputeFileHashes), true);
    EXPECT_EQ(o.value(keys::kOptSkipExtAttributes), false);
    EXPECT_EQ(o.value(keys::kOptUseSlowThumbProcessing), true);
    EXPECT_EQ(o.value(keys::kOptSkipCoverPictures), true); // nothing shows a cover

    // Each option sets its analysis option whatever the store holds.
    for (const QString& key : {prefs::kVideoUtility, prefs::kUseSIUnits, prefs::kComputeFileHashes})
        store.remove(key);
    CliOptions given;
    given.exiftool = given.hashes = given.noXattr = given.binaryUnits = given.noCovers = true;
    o = analysisOptions(given, store);
    EXPECT_EQ(o.value(keys::kOptVideoUtility), "exiftool");
    EXPECT_EQ(o.value(keys::kOptComputeFileHashes), true);
    EXPECT_EQ(o.value(keys::kOptSkipExtAttributes), true);
    EXPECT_EQ(o.value(keys::kOptUseSIUnits), false);
    EXPECT_EQ(o.value(keys::kOptUseSlowThumbProcessing), false);
    EXPECT_EQ(o.value(keys::kOptDisplayOtherTracksInGeneral), false);
}
