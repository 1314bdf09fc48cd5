#include "tags/PictureHeader.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QTest>

#include <optional>

using tags::PictureSize;

namespace {

std::string_view view(const QByteArray& bytes)
{
    return {bytes.constData(), std::size_t(bytes.size())};
}

QByteArray encoded(const QImage& image, const char* format, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

QImage picture(int width, int height, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x + y) % 256));
    return image.convertToFormat(format);
}

// A JPEG of segments spelled out: the frame header's size, one scan whose
// data holds a stuffed 0xFF and a restart marker, and the end.
QByteArray handMadeJpeg(quint16 width, quint16 height, quint8 components = 1)
{
    QByteArray frame("\xFF\xC0", 2);
    const int length = 8 + 3 * components;
    frame += char(length >> 8);
    frame += char(length & 0xFF);
    frame += char(8);
    frame += char(height >> 8);
    frame += char(height & 0xFF);
    frame += char(width >> 8);
    frame += char(width & 0xFF);
    frame += char(components);
    for (int c = 0; c < components; ++c)
        frame += QByteArray("\x01\x11\x00", 3);
    const QByteArray scan("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00"
                          "\x12\x34\xFF\x00\x56\xFF\xD0\x78",
                          18);
    return QByteArray("\xFF\xD8", 2) + frame + scan + QByteArray("\xFF\xD9", 2);
}

// The chunks of a PNG after its signature, each whole (length, type, body, checksum).
QList<QByteArray> chunks(const QByteArray& png)
{
    QList<QByteArray> result;
    for (qsizetype at = 8; at + 12 <= png.size();) {
        const auto length = qsizetype(quint8(png[at])) << 24 | quint8(png[at + 1]) << 16 |
                            quint8(png[at + 2]) << 8 | quint8(png[at + 3]);
        result.append(png.mid(at, length + 12));
        at += length + 12;
    }
    return result;
}

// A PNG chunk of that type and body with its checksum, bit by bit as the
// format's annex writes it.
QByteArray pngChunk(const QByteArray& type, const QByteArray& body)
{
    quint32 crc = 0xFFFFFFFF;
    for (const char byte : type + body) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
    }
    crc ^= 0xFFFFFFFF;
    const auto word = [](quint32 v) {
        const char bytes[] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
        return QByteArray(bytes, 4);
    };
    return word(quint32(body.size())) + type + body + word(crc);
}

QByteArray chunkOf(const QList<QByteArray>& all, const char* type)
{
    for (const QByteArray& chunk : all)
        if (chunk.mid(4, 4) == type)
            return chunk;
    return {};
}

} // namespace

class PictureHeaderTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void picturesTellTheirSize_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("jpeg");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("JPEG") << encoded(picture(24, 16), "JPEG") << true << 24 << 16;
        QTest::newRow("JPEG, progressive")
            << encoded(picture(33, 70), "JPEG", true) << true << 33 << 70;
        QTest::newRow("JPEG, grey")
            << encoded(picture(1, 300, QImage::Format_Grayscale8), "JPEG") << true << 1 << 300;
        QTest::newRow("JPEG by hand") << handMadeJpeg(640, 480, 3) << true << 640 << 480;
        const QByteArray restart = handMadeJpeg(9, 8).insert(2, QByteArray("\xFF\xD0", 2));
        QTest::newRow("JPEG, a restart marker between segments") << restart << true << 9 << 8;
        QTest::newRow("PNG") << encoded(picture(24, 16), "PNG") << false << 24 << 16;
        QTest::newRow("PNG, alpha")
            << encoded(picture(5, 9, QImage::Format_ARGB32), "PNG") << false << 5 << 9;
        QTest::newRow("PNG, grey")
            << encoded(picture(300, 1, QImage::Format_Grayscale8), "PNG") << false << 300 << 1;
        QTest::newRow("PNG, palette")
            << encoded(picture(7, 7, QImage::Format_Indexed8), "PNG") << false << 7 << 7;
        QTest::newRow("PNG, 16 bits")
            << encoded(picture(4, 3, QImage::Format_RGBX64), "PNG") << false << 4 << 3;
    }
    void picturesTellTheirSize()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, jpeg);
        QFETCH(int, width);
        QFETCH(int, height);
        const PictureSize expected{quint32(width), quint32(height)};
        const auto size = jpeg ? tags::jpegSize(view(bytes)) : tags::pngSize(view(bytes));
        QVERIFY(size);
        QCOMPARE(*size, expected);
        // Whatever follows the end, as in a file padded since, is no matter.
        const QByteArray padded = bytes + QByteArray(1000, '\0');
        QCOMPARE(jpeg ? tags::jpegSize(view(padded)) : tags::pngSize(view(padded)), size);
        // Neither reader takes the other's format.
        QVERIFY(!(jpeg ? tags::pngSize(view(bytes)) : tags::jpegSize(view(bytes))));
    }

    void everyCutIsRefused_data() { picturesTellTheirSize_data(); }
    void everyCutIsRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, jpeg);
        for (qsizetype size = 0; size < bytes.size(); ++size) {
            const std::string_view cut = view(bytes).substr(0, std::size_t(size));
            QVERIFY2(!(jpeg ? tags::jpegSize(cut) : tags::pngSize(cut)),
                     qPrintable(QString::number(size)));
        }
    }

    void everyChangedByteOfAPngIsRefused()
    {
        const QByteArray png = encoded(picture(6, 4, QImage::Format_ARGB32), "PNG");
        for (qsizetype at = 0; at < png.size(); ++at) {
            QByteArray changed = png;
            changed[at] = char(changed[at] ^ 0x20);
            QVERIFY2(!tags::pngSize(view(changed)), qPrintable(QString::number(at)));
        }
    }

    void pngChunksInTheirOrder()
    {
        const QByteArray png = encoded(picture(6, 4), "PNG");
        const QByteArray signature = png.left(8);
        const auto all = chunks(png);
        const QByteArray header = chunkOf(all, "IHDR");
        const QByteArray data = chunkOf(all, "IDAT");
        const QByteArray end = chunkOf(all, "IEND");
        QVERIFY(!header.isEmpty() && !data.isEmpty() && !end.isEmpty());
        QVERIFY(tags::pngSize(view(signature + header + data + end)));
        QVERIFY(!tags::pngSize(view(signature + header + end)));                 // no image data
        QVERIFY(!tags::pngSize(view(signature + data + header + end)));          // header late
        QVERIFY(!tags::pngSize(view(signature + header + header + data + end))); // two headers
        QVERIFY(!tags::pngSize(view(signature + header + data)));                // no end
        // A chunk that claims more than the file holds.
        QByteArray huge = signature + header + data + end;
        huge.replace(8 + header.size(), 4, QByteArray("\x7F\xFF\xFF\xF0", 4));
        QVERIFY(!tags::pngSize(view(huge)));
    }

    void pngHeadersOfTheFormatOnly_data()
    {
        QTest::addColumn<QByteArray>("header"); // the IHDR chunk's body
        QTest::addColumn<bool>("taken");
        const QByteArray size("\0\0\0\x06\0\0\0\x04", 8);
        QTest::newRow("RGB, 8 bits") << size + QByteArray("\x08\x02\0\0\0", 5) << true;
        QTest::newRow("grey, 1 bit, interlaced")
            << size + QByteArray("\x01\x00\0\0\x01", 5) << true;
        QTest::newRow("palette, 4 bits") << size + QByteArray("\x04\x03\0\0\0", 5) << true;
        QTest::newRow("no width") << QByteArray("\0\0\0\0\0\0\0\x04\x08\x02\0\0\0", 13) << false;
        QTest::newRow("no height") << QByteArray("\0\0\0\x06\0\0\0\0\x08\x02\0\0\0", 13) << false;
        QTest::newRow("width past 2^31")
            << QByteArray("\x80\0\0\0\0\0\0\x04\x08\x02\0\0\0", 13) << false;
        QTest::newRow("RGB, 4 bits") << size + QByteArray("\x04\x02\0\0\0", 5) << false;
        QTest::newRow("palette, 16 bits") << size + QByteArray("\x10\x03\0\0\0", 5) << false;
        QTest::newRow("grey, 3 bits") << size + QByteArray("\x03\x00\0\0\0", 5) << false;
        QTest::newRow("colour type 5") << size + QByteArray("\x08\x05\0\0\0", 5) << false;
        QTest::newRow("compression 1") << size + QByteArray("\x08\x02\x01\0\0", 5) << false;
        QTest::newRow("filter 1") << size + QByteArray("\x08\x02\0\x01\0", 5) << false;
        QTest::newRow("interlace 2") << size + QByteArray("\x08\x02\0\0\x02", 5) << false;
        QTest::newRow("header too long") << size + QByteArray("\x08\x02\0\0\0\0", 6) << false;
    }
    void pngHeadersOfTheFormatOnly()
    {
        QFETCH(QByteArray, header);
        QFETCH(bool, taken);
        const QByteArray png = QByteArray("\x89PNG\r\n\x1A\n", 8) + pngChunk("IHDR", header) +
                               pngChunk("IDAT", "any") + pngChunk("IEND", {});
        QCOMPARE(tags::pngSize(view(png)).has_value(), taken);
    }

    void malformedJpegsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = handMadeJpeg(10, 20);
        const qsizetype frame = good.indexOf("\xFF\xC0");
        const qsizetype scan = good.indexOf("\xFF\xDA");
        QTest::newRow("no width") << handMadeJpeg(0, 20);
        QTest::newRow("no height") << handMadeJpeg(10, 0);
        QTest::newRow("no components") << handMadeJpeg(10, 20, 0);
        QTest::newRow("signature only") << QByteArray("\xFF\xD8\xFF\xE0\0\x10JFIF", 11);
        QTest::newRow("end before any scan")
            << good.left(scan) + QByteArray("\xFF\xD9", 2) + good.mid(scan);
        QTest::newRow("scan before the frame")
            << good.left(frame) + good.mid(scan, 10) + good.mid(frame);
        QTest::newRow("two frames")
            << good.left(scan) + good.mid(frame, scan - frame) + good.mid(scan);
        QByteArray past = good;
        past[frame + 3] = char(0xF0); // the frame's length reaches past the end
        QTest::newRow("segment past the end") << past;
        QByteArray shortSegment = good;
        shortSegment[frame + 2] = 0;
        shortSegment[frame + 3] = 1;
        QTest::newRow("segment shorter than its length") << shortSegment;
        QByteArray thin = good;
        thin[frame + 3] = char(8); // one component but no room for it
        thin.remove(frame + 10, 3);
        QTest::newRow("frame without its components") << thin;
        // Each of these would pass for an empty segment if taken as a marker.
        QTest::newRow("bytes between segments")
            << good.left(scan) + QByteArray("\x41\x00\x02", 3) + good.mid(scan);
        QTest::newRow("a second start")
            << good.left(2) + QByteArray("\xFF\xD8\x00\x02", 4) + good.mid(2);
        QTest::newRow("a stuffed byte outside a scan")
            << good.left(2) + QByteArray("\xFF\x00\x00\x02", 4) + good.mid(2);
        QTest::newRow("scan without an end") << good.chopped(2);
        QTest::newRow("no start") << good.mid(2);
    }
    void malformedJpegsAreRefused()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(!tags::jpegSize(view(bytes)));
    }
};

QTEST_APPLESS_MAIN(PictureHeaderTest)
#include "PictureHeaderTest.moc"
