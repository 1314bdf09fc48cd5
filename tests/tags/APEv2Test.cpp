#include "tags/APEv2.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tags/TagImage.h"

#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"
#include "tests/tags/TagTestSupport.h"

#include <QTest>

#include <taglib/apetag.h>
#include <taglib/id3v1tag.h>
#include <taglib/mpegfile.h>

using namespace testsupport;
using namespace tagtest;
using namespace Qt::StringLiterals;

namespace {

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((v >> (8 * i)) & 0xFF);
    return b;
}

QByteArray apeItem(const QByteArray& key, const QByteArray& value, quint32 flags = 0)
{
    return le32(quint32(value.size())) + le32(flags) + key + QByteArray(1, '\0') + value;
}

// Footer (or header) fields as stored, each one spelled out.
QByteArray apeFooter(quint32 size, quint32 count, quint32 flags, quint32 version = 2000)
{
    return "APETAGEX" + le32(version) + le32(size) + le32(count) + le32(flags) +
           QByteArray(8, '\0');
}

QByteArray apeTag(const QByteArray& items, quint32 count, bool withHeader)
{
    const quint32 size = quint32(items.size() + 32);
    const quint32 flags = withHeader ? 0x80000000u : 0;
    const QByteArray header = withHeader ? apeFooter(size, count, flags | 0x20000000u) : "";
    return header + items + apeFooter(size, count, flags);
}

const QByteArray kItems = apeItem("REPLAYGAIN_TRACK_GAIN", "-6.20 dB") +
                          apeItem("Title", u"童话"_s.toUtf8()) +
                          apeItem("Cover Art (Front)", QByteArray("a.jpg\0\xFF\xD8\xFF", 9), 2);
const QByteArray kApe = apeTag(kItems, 3, true);

QString ql(const TagLib::String& s)
{
    return QString::fromStdString(s.to8Bit(true));
}

} // namespace

class APEv2Test : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsItems_data();
    void readsItems();
    void readsWhatTagLibWrites();
    void tagInsideApeTagIsNoTrailer();
    void keptThroughWrites_data();
    void keptThroughWrites();
    void hostileSizes_data();
    void hostileSizes();
    void removed_data();
    void removed();
    void removalRefusesChangedFile();

private:
    tagtest::Files files_;
};

void APEv2Test::readsItems_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("tag");
    QTest::addColumn<QByteArray>("after");
    const QByteArray audio = silentMpegFrames(2);
    const QByteArray v2 = id3v2Tag(3, frame23("TIT2", latin1("T")), 20);
    const QByteArray noHeader = apeTag(kItems, 3, false);
    QTest::newRow("at the end, with header") << audio << kApe << QByteArray();
    QTest::newRow("at the end, no header") << audio << noHeader << QByteArray();
    QTest::newRow("before ID3v1") << audio << kApe << id3v1Trailer("v1");
    QTest::newRow("after ID3v2, before ID3v1") << v2 + audio << noHeader << id3v1Trailer("v1");
}

void APEv2Test::readsItems()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, tag);
    QFETCH(QByteArray, after);
    files_.write("a.mp3", before + tag + after);
    const auto ape = tags::readApeTag(files_.native("a.mp3"));
    QVERIFY(ape);
    QCOMPARE(ape->offset, quint64(before.size()));
    QCOMPARE(ape->size, quint64(tag.size()));
    QCOMPARE(qb(ape->bytes), tag);
    QVERIFY(ape->itemsWhole);
    QCOMPARE(ape->items.size(), std::size_t(3));
    QCOMPARE(ape->items[0].key, std::string("REPLAYGAIN_TRACK_GAIN"));
    QCOMPARE(ape->items[0].value, std::string("-6.20 dB"));
    QVERIFY(!ape->items[0].binary());
    QCOMPARE(qb(ape->items[1].value), u"童话"_s.toUtf8());
    QVERIFY(ape->items[2].binary());
    QCOMPARE(qb(ape->items[2].value), QByteArray("a.jpg\0\xFF\xD8\xFF", 9));
}

void APEv2Test::readsWhatTagLibWrites()
{
    files_.write("t.mp3", silentMpegFrames(4));
    {
        TagLib::MPEG::File file(files_.native("t.mp3").c_str());
        file.APETag(true)->setTitle(TagLib::String("童话", TagLib::String::UTF8));
        file.APETag()->addValue("REPLAYGAIN_TRACK_GAIN", "-3.00 dB");
        file.ID3v1Tag(true)->setTitle("v1");
        file.save(TagLib::MPEG::File::APE | TagLib::MPEG::File::ID3v1);
    }
    const auto ape = tags::readApeTag(files_.native("t.mp3"));
    QVERIFY(ape);
    QVERIFY(ape->itemsWhole);
    QMap<QString, QByteArray> items;
    for (const auto& item : ape->items)
        items.insert(QString::fromStdString(item.key).toUpper(), qb(item.value));
    QCOMPARE(items.value(u"TITLE"_s), u"童话"_s.toUtf8());
    QCOMPARE(items.value(u"REPLAYGAIN_TRACK_GAIN"_s), QByteArray("-3.00 dB"));
    TID3v1 v1;
    QVERIFY(v1.ReadFromFile(files_.native("t.mp3")));
    QCOMPARE(v1.Title(), std::string("v1"));
}

// "TAG" 128 bytes before the end of an APEv2 tag at the end of the file: the
// tag's end is no ID3v1 trailer, and no write may overwrite or cut it.
void APEv2Test::tagInsideApeTagIsNoTrailer()
{
    QByteArray value(100, 'x');
    value.replace(4, 3, "TAG");
    const QByteArray ape = apeTag(apeItem("Comment", value), 1, false);
    const QByteArray file = silentMpegFrames(2) + ape;
    QCOMPARE(file.mid(file.size() - 128, 3), QByteArray("TAG"));
    files_.write("a.mp3", file);

    TID3v1 v1;
    QVERIFY(v1.ReadFromFile(files_.native("a.mp3")));
    QVERIFY(!v1.Exists());
    const auto image = tags::readTagImage(files_.native("a.mp3"));
    QVERIFY(image && image->tail.empty());

    QVERIFY(v1.RemoveFromFile(files_.native("a.mp3")));
    QCOMPARE(files_.read("a.mp3"), file);
    v1.SetTitle("new");
    QVERIFY(v1.SaveToFile(files_.native("a.mp3")));
    QCOMPARE(files_.read("a.mp3"), file + qb(v1.Rendered()));
    const auto ape2 = tags::readApeTag(files_.native("a.mp3"));
    QVERIFY(ape2 && ape2->itemsWhole);
    QCOMPARE(qb(ape2->items.at(0).value), value);
}

void APEv2Test::keptThroughWrites_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("write");
    const QByteArray audio = silentMpegFrames(2);
    const QByteArray v2 = id3v2Tag(3, frame23("TIT2", latin1("Title")), 200);
    for (const QString& write :
         {u"v1 save"_s, u"v1 remove"_s, u"v2 in place"_s, u"v2 growing"_s, u"both in place"_s}) {
        QTest::newRow(qPrintable(write + u", ID3v1 behind"_s))
            << v2 + audio + kApe + id3v1Trailer("old") << write;
        QTest::newRow(qPrintable(write + u", at the end"_s)) << v2 + audio + kApe << write;
    }
}

void APEv2Test::keptThroughWrites()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, write);
    files_.write("k.mp3", file);
    const std::string path = files_.native("k.mp3");
    TID3v1 v1;
    TID3v2 v2;
    QVERIFY(v1.ReadFromFile(path));
    QVERIFY(v2.ReadFromFile(path));
    v1.SetTitle("new title");
    if (write == u"v1 save"_s) {
        QVERIFY(v1.SaveToFile(path));
    } else if (write == u"v1 remove"_s) {
        QVERIFY(v1.RemoveFromFile(path));
    } else if (write == u"v2 growing"_s) {
        v2.Title = tags::legacyText(std::string(400, 'g'));
        QVERIFY(v2.SaveToFile(path));
    } else {
        v2.Title = tags::legacyText("short");
        auto change = tags::beginChange(path);
        QVERIFY(change);
        change->setHead(*v2.RenderHead(change->before()));
        if (write == u"both in place"_s)
            change->setTail(v1.Rendered());
        QVERIFY(change->inPlace());
        QVERIFY(tags::writeInPlace(*change).written());
    }
    const QByteArray now = files_.read("k.mp3");
    const auto ape = tags::readApeTag(path);
    QVERIFY(ape);
    QCOMPARE(qb(ape->bytes), kApe);
    // The tag stands where the audio ends, followed by the trailer or nothing.
    const qsizetype at = qsizetype(ape->offset);
    QCOMPARE(now.mid(at - silentMpegFrames(2).size(), silentMpegFrames(2).size()),
             silentMpegFrames(2));
    const QByteArray rest = now.mid(at + kApe.size());
    QVERIFY(rest.isEmpty() || (rest.size() == 128 && rest.startsWith("TAG")));

    TagLib::MPEG::File tl(path.c_str());
    QVERIFY(tl.hasAPETag());
    QCOMPARE(ql(tl.APETag()->title()), u"童话"_s);
}

void APEv2Test::hostileSizes_data()
{
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<bool>("found");
    QTest::addColumn<int>("items");
    const QByteArray item = apeItem("Title", "x");
    const quint32 size = quint32(item.size() + 32);
    QTest::newRow("size all ones") << item + apeFooter(0xFFFFFFFFu, 1, 0) << false << 0;
    QTest::newRow("size beyond the file") << item + apeFooter(1u << 30, 1, 0) << false << 0;
    QTest::newRow("size below the footer") << item + apeFooter(31, 0, 0) << false << 0;
    QTest::newRow("count beyond what fits") << item + apeFooter(size, 0xFFFFFFFFu, 0) << false << 0;
    QTest::newRow("version unknown") << item + apeFooter(size, 1, 0, 3000) << false << 0;
    QTest::newRow("reserved bytes set")
        << item + apeFooter(size, 1, 0).replace(30, 1, "\x01") << false << 0;
    QTest::newRow("value size all ones")
        << le32(0xFFFFFFFFu) + le32(0) + "Title" + QByteArray(1, '\0') + "x" + apeFooter(size, 1, 0)
        << true << 0;
    QTest::newRow("key without end")
        << QByteArray(8, '\0') + "Titlexy" + apeFooter(size, 1, 0) << true << 0;
    const QByteArray longer = apeItem("Title", QByteArray(20, 'x'));
    QTest::newRow("fewer items than declared")
        << longer + longer + apeFooter(quint32(2 * longer.size() + 32), 3, 0) << true << 2;
    QTest::newRow("header flag, no header") << item + apeFooter(size, 1, 0x80000000u) << true << 1;
}

void APEv2Test::hostileSizes()
{
    QFETCH(QByteArray, tail);
    QFETCH(bool, found);
    QFETCH(int, items);
    const QByteArray file = silentMpegFrames(2) + tail;
    files_.write("h.mp3", file);
    const auto ape = tags::readApeTag(files_.native("h.mp3"));
    QCOMPARE(ape.has_value(), found);
    if (ape) {
        QCOMPARE(int(ape->items.size()), items);
        QCOMPARE(ape->offset + ape->size, quint64(file.size()));
        QCOMPARE(ape->itemsWhole, items == 1);
    }
    // Whatever the sizes say, an ID3v1 save only appends.
    TID3v1 v1;
    QVERIFY(v1.ReadFromFile(files_.native("h.mp3")));
    v1.SetTitle("t");
    QVERIFY(v1.SaveToFile(files_.native("h.mp3")));
    QCOMPARE(files_.read("h.mp3"), file + qb(v1.Rendered()));
}

void APEv2Test::removed_data()
{
    QTest::addColumn<QByteArray>("tag");
    QTest::addColumn<QByteArray>("trailer");
    QTest::newRow("with header, ID3v1 behind") << kApe << id3v1Trailer("v1");
    QTest::newRow("no header, at the end") << apeTag(kItems, 3, false) << QByteArray();
    QTest::newRow("none") << QByteArray() << id3v1Trailer("v1");
}

void APEv2Test::removed()
{
    QFETCH(QByteArray, tag);
    QFETCH(QByteArray, trailer);
    const QByteArray front = id3v2Tag(3, frame23("TIT2", latin1("T")), 20) + silentMpegFrames(3);
    files_.write("r.mp3", front + tag + trailer);
    tags::ApeTag gone;
    QVERIFY(tags::removeApeTag(files_.native("r.mp3"), &gone).written());
    QCOMPARE(files_.read("r.mp3"), front + trailer);
    QVERIFY(!tags::readApeTag(files_.native("r.mp3")));
    QCOMPARE(qb(gone.bytes), tag);
    TagLib::MPEG::File tl(files_.native("r.mp3").c_str());
    QVERIFY(!tl.hasAPETag());
    if (tag.isEmpty())
        return;
    // Its bytes put it back where it was.
    QVERIFY(tags::spliceStaged(files_.native("r.mp3"), gone.offset, {}, gone.bytes).written());
    QCOMPARE(files_.read("r.mp3"), front + tag + trailer);
}

void APEv2Test::removalRefusesChangedFile()
{
    const QByteArray file = silentMpegFrames(2) + kApe;
    files_.write("c.mp3", file);
    const auto ape = tags::readApeTag(files_.native("c.mp3"));
    QVERIFY(ape);
    files_.write("c.mp3", silentMpegFrames(2) + apeTag(apeItem("Title", "other"), 1, true));
    const auto outcome = tags::spliceStaged(files_.native("c.mp3"), ape->offset, ape->bytes, {});
    QCOMPARE(int(outcome.result), int(tags::WriteResult::Unchanged));
    QCOMPARE(files_.read("c.mp3").size(),
             (silentMpegFrames(2) + apeTag(apeItem("Title", "other"), 1, true)).size());
}

MP3T_TEST_GUILESS_MAIN(APEv2Test)
#include "APEv2Test.moc"
