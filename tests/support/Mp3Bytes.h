#pragma once

#include <QByteArray>
#include <QString>

#include <string>

// Builders for the bytes of test files, so that each test can spell out the
// file it needs, field by field, and write it into its temporary folder.
namespace testsupport {

// n frames of silent MPEG-1 Layer III audio, 128 kbit/s, 44.1 kHz.
QByteArray silentMpegFrames(int n = 4);

// A 128-byte ID3v1 trailer; texts are cut or padded with 0x00.
// track > 0 writes a version 1.1 trailer (comment cut to 28 bytes).
QByteArray id3v1Trailer(const QByteArray& title, const QByteArray& artist = {},
                        const QByteArray& album = {}, const QByteArray& year = {},
                        const QByteArray& comment = {}, int track = 0, int genre = 255);

// ID3v2 pieces. The header's size is the size without the header, written
// 7 bits per byte. syncsafe() gives those four bytes.
QByteArray syncsafe(quint32 size);
QByteArray bigEndian32(quint32 value);
QByteArray id3v2Header(int major, quint32 sizeWithoutHeader, quint8 flags = 0);
// A v2.3 frame (plain 32-bit size) or a v2.4 frame (syncsafe size).
QByteArray frame23(const char* id, const QByteArray& data, quint16 flags = 0);
QByteArray frame24(const char* id, const QByteArray& data, quint16 flags = 0);
// A v2.2 frame: three-letter ID and 24-bit size.
QByteArray frame22(const char* id, const QByteArray& data);
// A whole tag: header (with the frames' total size + padding) + frames + padding.
QByteArray id3v2Tag(int major, const QByteArray& frames, int padding = 0);
// A v2.3 front cover ("image/jpeg") of `bytes` bytes of noise that is the
// seed's own: files made with different seeds share no cover, as albums don't.
QByteArray noiseCoverFrame23(quint32 seed, qsizetype bytes);
// Text frame data: encoding byte followed by the bytes as given.
QByteArray textData(quint8 encoding, const QByteArray& text);
// UTF-16 with byte-order mark (little endian), as most taggers write it.
QByteArray utf16WithBom(const QString& text);

// GB18030 bytes of a text (GBK for the common characters).
QByteArray gbk(const QString& text);
// The text in the named code page ("GBK", "Big5", "windows-1252"...).
QByteArray encoded(const char* codec, const QString& text);

// Files.
bool writeBytes(const QString& path, const QByteArray& bytes);
QByteArray readBytes(const QString& path);
// The native byte-string form that tags/ takes.
std::string nativePath(const QString& path);

} // namespace testsupport
