#include "tests/support/Mp3Bytes.h"

#include <QFile>
#include <QStringEncoder>

namespace testsupport {

QByteArray silentMpegFrames(int n)
{
    // 144 * 128000 / 44100 = 417 bytes per frame without padding; all-zero
    // side information decodes as silence.
    QByteArray frame(417, '\0');
    frame[0] = char(0xFF);
    frame[1] = char(0xFB);
    frame[2] = char(0x90);
    frame[3] = char(0x64);
    QByteArray out;
    for (int i = 0; i < n; ++i)
        out += frame;
    return out;
}

namespace {
void put(QByteArray& buf, int offset, const QByteArray& text, int width)
{
    for (int i = 0; i < width && i < text.size(); ++i)
        buf[offset + i] = text[i];
}
} // namespace

QByteArray id3v1Trailer(const QByteArray& title, const QByteArray& artist, const QByteArray& album,
                        const QByteArray& year, const QByteArray& comment, int track, int genre)
{
    QByteArray t(128, '\0');
    t[0] = 'T';
    t[1] = 'A';
    t[2] = 'G';
    put(t, 3, title, 30);
    put(t, 33, artist, 30);
    put(t, 63, album, 30);
    put(t, 93, year, 4);
    put(t, 97, comment, track > 0 ? 28 : 30);
    if (track > 0) {
        t[125] = '\0';
        t[126] = char(track);
    }
    t[127] = char(genre);
    return t;
}

QByteArray syncsafe(quint32 size)
{
    QByteArray b(4, '\0');
    b[0] = char((size >> 21) & 0x7F);
    b[1] = char((size >> 14) & 0x7F);
    b[2] = char((size >> 7) & 0x7F);
    b[3] = char(size & 0x7F);
    return b;
}

QByteArray bigEndian32(quint32 value)
{
    QByteArray b(4, '\0');
    b[0] = char(value >> 24);
    b[1] = char(value >> 16);
    b[2] = char(value >> 8);
    b[3] = char(value);
    return b;
}

QByteArray id3v2Header(int major, quint32 sizeWithoutHeader, quint8 flags)
{
    QByteArray h("ID3");
    h += char(major);
    h += char(0);
    h += char(flags);
    h += syncsafe(sizeWithoutHeader);
    return h;
}

QByteArray frame23(const char* id, const QByteArray& data, quint16 flags)
{
    QByteArray f(id, 4);
    f += bigEndian32(quint32(data.size()));
    f += char(flags >> 8);
    f += char(flags & 0xFF);
    return f + data;
}

QByteArray noiseCoverFrame23(quint32 seed, qsizetype bytes)
{
    QByteArray picture(bytes, '\0');
    quint32 x = seed * 2654435761u + 1;
    for (char& c : picture) {
        x = x * 1664525u + 1013904223u;
        c = char(x >> 24);
    }
    return frame23("APIC", QByteArray("\0image/jpeg\0\x03\0", 14) + picture);
}

QByteArray frame24(const char* id, const QByteArray& data, quint16 flags)
{
    QByteArray f(id, 4);
    f += syncsafe(quint32(data.size()));
    f += char(flags >> 8);
    f += char(flags & 0xFF);
    return f + data;
}

QByteArray frame22(const char* id, const QByteArray& data)
{
    QByteArray f(id, 3);
    const auto n = quint32(data.size());
    f += char(n >> 16);
    f += char(n >> 8);
    f += char(n);
    return f + data;
}

QByteArray id3v2Tag(int major, const QByteArray& frames, int padding)
{
    return id3v2Header(major, quint32(frames.size() + padding)) + frames +
           QByteArray(padding, '\0');
}

QByteArray textData(quint8 encoding, const QByteArray& text)
{
    return QByteArray(1, char(encoding)) + text;
}

QByteArray utf16WithBom(const QString& text)
{
    QByteArray b;
    b += char(0xFF);
    b += char(0xFE);
    for (const QChar c : text) {
        b += char(c.unicode() & 0xFF);
        b += char(c.unicode() >> 8);
    }
    return b;
}

QByteArray gbk(const QString& text)
{
    QStringEncoder enc("GB18030");
    return enc(text);
}

QByteArray encoded(const char* codec, const QString& text)
{
    QStringEncoder encoder(codec);
    return encoder.encode(text);
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::string nativePath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace testsupport
