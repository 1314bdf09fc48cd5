#include "bench/Mp3Folder.h"

#include "tests/support/Mp3Bytes.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;
using namespace testsupport;

namespace benchsupport {

namespace {

bool isChinese(int index)
{
    return index % 5 == 0;
}

// ID3v1 genre 13 is "Pop"; the ID3v2 frame names it by that number too.
constexpr int Genre = 13;

QByteArray legacyBytes(int index, const QString& text)
{
    return isChinese(index) ? gbk(text) : text.toLatin1();
}

QByteArray v2Frames(int index, const SongTexts& texts)
{
    const auto text = [index](const QString& value) {
        return textData(0, legacyBytes(index, value));
    };
    return frame23("TIT2", text(texts.title)) + frame23("TPE1", text(texts.artist)) +
           frame23("TALB", text(texts.album)) + frame23("TYER", text(texts.year)) +
           frame23("TCON", textData(0, "(" + QByteArray::number(Genre) + ")")) +
           frame23("COMM", QByteArray("\0eng\0", 5) + legacyBytes(index, texts.comment));
}

} // namespace

QString songName(int index)
{
    return u"%1 - Song.mp3"_s.arg(index, 5, 10, QChar(u'0'));
}

SongTexts songTexts(int index)
{
    const QString n = QString::number(index);
    if (isChinese(index))
        return {u"第"_s + n + u"首 晴天"_s,
                u"周杰伦"_s,
                u"叶惠美 "_s + QString::number(index % 20),
                u"2003"_s,
                u"Pop"_s,
                u"中文歌曲"_s};
    return {u"Song "_s + n,
            u"Band "_s + QString::number(index % 50),
            u"Album "_s + QString::number(index % 20),
            u"1999"_s,
            u"Pop"_s,
            u"small file"_s};
}

QByteArray songBytes(int index)
{
    const SongTexts texts = songTexts(index);
    return id3v2Tag(3, v2Frames(index, texts), 256) + silentMpegFrames(8) +
           id3v1Trailer(legacyBytes(index, texts.title), legacyBytes(index, texts.artist),
                        legacyBytes(index, texts.album), texts.year.toLatin1(),
                        legacyBytes(index, texts.comment), 0, Genre);
}

std::optional<QString> writeMp3Folder(const QString& folder, int files)
{
    if (!QDir().mkpath(folder))
        return u"cannot make the folder "_s + folder;
    const QDir dir(folder);
    for (int i = 0; i < files; ++i) {
        QFile file(dir.filePath(songName(i)));
        // NewOnly: a file of the same name is somebody's, not ours to replace.
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return file.fileName() + u": "_s + file.errorString();
        const QByteArray bytes = songBytes(i);
        if (file.write(bytes) != bytes.size() || !file.flush()) {
            const QString reason = file.fileName() + u": "_s + file.errorString();
            file.remove(); // ours, and half written
            return reason;
        }
    }
    return std::nullopt;
}

} // namespace benchsupport
