// Relative paths from shown paths must stay below the folder they are joined to.
#include <gtest/gtest.h>

#include "model/ContainedPath.h"

using namespace perspix;

TEST(ContainedPath, KeepsSubfoldersAndDropsWhatLeadsOutside)
{
    const struct
    {
        const char* shown;
        const char* filename;
        const char* expected;
    } cases[] = {
        {"photo.jpg", "/a/photo.jpg", "photo.jpg"},
        {"trip/day 1/photo.jpg", "/a/photo.jpg", "trip/day 1/photo.jpg"},
        {"../../etc/passwd", "/a/x", "etc/passwd"},
        {"/abs/./b//c.mov", "/a/c.mov", "abs/b/c.mov"},
        {"..", "/a/film.mp4", "film.mp4"},
        {"", "/a/b/song.mp3", "song.mp3"},
        {"/", "/", "file"},
        {"./..", "..", "file"},
        {"...hidden", "/x", "...hidden"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(containedRelativePath(QString::fromUtf8(c.shown), QString::fromUtf8(c.filename)),
                  QString::fromUtf8(c.expected))
            << c.shown;
}
