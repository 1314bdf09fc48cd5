#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The folder the listing benchmarks read: small MP3 files, each with an
// ID3v2.3 tag (all six columns) before the audio and an ID3v1 trailer after
// it. Every fifth file has Chinese texts in GBK, declared ISO-8859-1 in the
// ID3v2 frames as older Chinese taggers wrote them, so that the code page
// detection is part of what is measured.
namespace benchsupport {

// The index-th file: its name ("00042 - Song.mp3", byte order = index
// order) and its bytes.
QString songName(int index);
QByteArray songBytes(int index);

// The texts the list should show for the index-th file (both tags hold the
// same ones): title, artist, album, year, genre, comment.
struct SongTexts {
    QString title, artist, album, year, genre, comment;
};
SongTexts songTexts(int index);

// Writes the files 0 .. files-1 into the folder, made if missing. A file
// that is there already is left alone and ends the run: the reason is
// returned, nullopt when all were written.
std::optional<QString> writeMp3Folder(const QString& folder, int files);

} // namespace benchsupport
