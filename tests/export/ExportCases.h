// The analysed files the export tests write out: result records built the way the reader
// branches build them, so that every case is independent of the readers' own output.
#pragma once

#include "model/FileRecord.h"
#include "model/Keys.h"
#include "support/ResultBuilder.h"

namespace perspix::test {

// A film: file facts (two of them private), container, one video and two audio streams.
inline FileRecord filmRecord(const QString& path = QStringLiteral("/media/films/clip.mov"))
{
    ResultBuilder b;
    b.stream("File", "File",
             {{"FileName", "Name", "clip.mov"},
              {"FileSize", "Size", "1.50 MB", false, false, true},
              {"FileSizeAndBytes", "Size", "1.50 MB (1500000 bytes)", false, true},
              {"FileSizeInBytes", "Size", "1500000", false, false, true},
              {"FileKind", "Kind", "QuickTime video", true},
              {"FileLocation", "Location", "/media/films", true},
              {"ModificationDate", "Modified", "2023-05-01T10:00:00+02:00", false, false, true}});
    b.stream("Container", "Container",
             {{"Format", "Format", "MPEG-4"},
              {"Duration", "Duration", "1 min 5 s"},
              {"OverallBitRate", "Overall bit rate", "2 000 kb/s"}});
    b.stream("Video", "Video",
             {{"Format", "Format", "AVC"},
              {"Width", "Width", "1 920 pixels"},
              {"Height", "Height", "1 080 pixels"}});
    b.stream("Audio", "Audio #1",
             {{"Format", "Format", "AAC LC"}, {"BitRate", "Bit rate", "128 kb/s"}});
    b.stream("Audio", "Audio #2", {{"Format", "Format", "AC-3"}, {"Title", "Title", "Commentary"}});
    return {path, QStringLiteral("films/clip.mov"), b.data(path)};
}

// A sound file: one audio stream and no video.
inline FileRecord songRecord()
{
    const QString path = QStringLiteral("/media/music/song.mp3");
    ResultBuilder b;
    b.stream("File", "File",
             {{"FileName", "Name", "song.mp3"},
              {"FileSizeAndBytes", "Size", "4.00 KB (4000 bytes)", false, true},
              {"FileLocation", "Location", "/media/music", true}});
    b.stream("Container", "Container", {{"Format", "Format", "MPEG Audio"}});
    b.stream("Audio", "Audio", {{"Format", "Format", "MPEG Audio"}, {"Channels", "Channels", "2"}});
    return {path, QStringLiteral("music/song.mp3"), b.data(path)};
}

// Metadata as hostile as files carry it: quotes, markup, controls, line breaks, characters
// outside the basic plane and bytes that were not UTF-8.
inline FileRecord hostileRecord()
{
    const QString path = QString::fromUtf8("/media/odd/we\"ird <name> & co.mov");
    ResultBuilder b;
    b.stream("File", "File",
             {{"FileName", "Name", QString::fromUtf8("we\"ird <name> & co.mov")},
              {"FileLocation", "Location", QStringLiteral("/media/odd"), true}});
    b.stream(
        "Container", "Container",
        {{"Title", "Title", QStringLiteral("Line one\nLine two\r\nthree\rfour")},
         {"Comment", "Comment",
          QString(QString::fromUtf16(u"tab\tand \u0001 control \u001f end") + QChar(0) +
                  QStringLiteral("nul"))},
         {"Emoji", "Emoji", QString::fromUtf16(u"\U0001F600 and \U0001D11E")},
         {"Broken", "Broken", QString::fromUtf8("bad \xff\xfe bytes \xc3")},
         {"Quote", "Quote", QStringLiteral("say \"hi\", 'there'")},
         {"Markup", "a<b & \"c\"", QStringLiteral("x>y & </item> <![CDATA[")},
         {"Accents", "Accents", QString::fromUtf16(u"caf\u00e9 \u0416\u0443\u043a \u20ac \u2014")},
         {"Empty", "Empty", QString("")}});
    return {path, QString::fromUtf8("odd/we\"ird <name> & co.mov"), b.data(path)};
}

} // namespace perspix::test
