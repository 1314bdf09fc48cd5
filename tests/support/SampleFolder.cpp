// Writes a folder of small MP3 files with the kinds of tags the program is
// made for: Simplified Chinese in GBK, Traditional Chinese in Big5, Western
// texts in Windows-1252 (in ID3v2 frames that declare ISO-8859-1, and in
// ID3v1), and a UTF-16 tag. scripts/screenshot shows the window on them.
//
//   mp3t_sample_folder <folder>

#include "tests/support/Mp3Bytes.h"

#include <QDir>
#include <QStringEncoder>

#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace Qt::StringLiterals;
using namespace testsupport;

namespace {

enum class Tags { V1, V2Legacy, V2Utf16 };

struct Song {
    QString title, artist, album, year;
    int genre; // ID3v1 genre number
    const char* codePage;
    Tags tags;
};

std::vector<Song> songs()
{
    return {
        {u"晴天"_s, u"周杰伦"_s, u"叶惠美"_s, u"2003"_s, 13, "GB18030", Tags::V2Legacy},
        {u"红豆"_s, u"王菲"_s, u"唱游"_s, u"1998"_s, 13, "GB18030", Tags::V1},
        {u"月亮代表我的心"_s, u"鄧麗君"_s, u"島國之情歌第四集"_s, u"1977"_s, 13, "Big5",
         Tags::V2Legacy},
        {u"吻別"_s, u"張學友"_s, u"吻別"_s, u"1993"_s, 13, "Big5", Tags::V1},
        {u"La Vie en rose"_s, u"Édith Piaf"_s, u"Chansons françaises"_s, u"1947"_s, 102,
         "windows-1252", Tags::V2Legacy},
        {u"Jóga"_s, u"Björk"_s, u"Homogenic"_s, u"1997"_s, 52, "windows-1252", Tags::V1},
        {u"十年"_s, u"陈奕迅"_s, u"黑白灰"_s, u"2003"_s, 13, "UTF-16", Tags::V2Utf16},
    };
}

QByteArray v2Frames(const Song& song, QStringEncoder& encode)
{
    const auto text = [&](const QString& value) {
        return song.tags == Tags::V2Utf16 ? textData(1, utf16WithBom(value))
                                          : textData(0, encode(value));
    };
    return frame23("TIT2", text(song.title)) + frame23("TPE1", text(song.artist)) +
           frame23("TALB", text(song.album)) + frame23("TYER", textData(0, song.year.toLatin1()));
}

QByteArray fileBytes(const Song& song, QStringEncoder& encode)
{
    QByteArray bytes;
    if (song.tags != Tags::V1)
        bytes += id3v2Tag(3, v2Frames(song, encode), 256);
    bytes += silentMpegFrames(8);
    if (song.tags != Tags::V2Utf16)
        bytes += id3v1Trailer(encode(song.title), encode(song.artist), encode(song.album),
                              song.year.toLatin1(), {}, 0, song.genre);
    return bytes;
}

// The file "<artist> - <title>.mp3", as a tagger would name it.
bool writeSong(const QDir& folder, const Song& song)
{
    const QString path = folder.filePath(song.artist + u" - "_s + song.title + u".mp3"_s);
    QStringEncoder encode(song.codePage);
    if (!encode.isValid()) {
        std::fprintf(stderr, "no encoder for %s\n", song.codePage);
        return false;
    }
    if (writeBytes(path, fileBytes(song, encode)))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return EXIT_FAILURE;
    }
    bool ok = true;
    for (const Song& song : songs())
        ok = writeSong(folder, song) && ok;
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
