// How the journal stores tag images: each frame once, whatever the steps and
// files that hold it, every region given back byte for byte (bytes that are
// no frame too), and the frames no step uses any more dropped with the steps.

#include "operations/Journal.h"
#include "tests/operations/JournalFiles.h"
#include "tests/support/TestEnvironment.h"

#include <sqlite3.h>

#include <memory>

using namespace journalfiles;
using namespace testsupport;
using operations::FileWrite;
using operations::Journal;
using operations::StepFile;
using operations::StepKind;

namespace {

QByteArray cover(char seed)
{
    QByteArray picture(200 * 1024, '\0');
    for (int i = 0; i < picture.size(); ++i)
        picture[i] = char(seed + i * 31 + (i >> 9));
    return frame23("APIC", QByteArray("\0image/png\0\x03\0", 13) + picture);
}

// A v2.3 head of `size` bytes: the title, the cover, padding.
QByteArray headWithCover(const QByteArray& title, char seed, int size)
{
    const QByteArray frames = frame23("TIT2", textData(0, title)) + cover(seed);
    return id3v2Tag(3, frames, size - 10 - int(frames.size()));
}

constexpr int CoveredHead = 210 * 1024;

// A change of a file that is not on disk: the journal stores it as it is.
StepFile imageStep(const QByteArray& before, const QByteArray& after, const QByteArray& tail)
{
    const std::string audio(1000, 'm');
    tags::TagChange change("/nowhere.mp3", {before.toStdString(),
                                            tail.toStdString(),
                                            std::uint64_t(before.size() + 1000 + tail.size()),
                                            {}});
    change.setHead(after.toStdString());
    StepFile file;
    file.tags = change;
    return file;
}

} // namespace

class FrameStoreTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryFolder> dir_;

    std::string path(const std::string& name) const
    {
        return dir_->path().toStdString() + "/" + name;
    }
    std::string journalFile() const { return path("state/journal.sqlite"); }

    // A number read from the journal's database beside the program.
    std::int64_t query(const std::string& sql) const
    {
        sqlite3* db = nullptr;
        std::int64_t value = -1;
        if (sqlite3_open_v2(journalFile().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) ==
            SQLITE_OK) {
            sqlite3_stmt* statement = nullptr;
            if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
                sqlite3_step(statement) == SQLITE_ROW)
                value = sqlite3_column_int64(statement, 0);
            sqlite3_finalize(statement);
        }
        sqlite3_close(db);
        return value;
    }
    std::int64_t storedBytes() const { return query("SELECT total(size) FROM frames"); }

    // The file retitled in place, written as a step of its own.
    tags::TagChange retitle(Journal& journal, const std::string& file, const QByteArray& head)
    {
        const tags::TagChange change = changeTo(file, head, id3v1Trailer("Same"));
        const std::int64_t step = journal.beginWrites(StepKind::Save, {change});
        const bool written = tags::writeInPlace(change).written();
        journal.endWrites(step, {written ? FileWrite::Written : FileWrite::Torn});
        journal.flushWrites();
        return change;
    }

private Q_SLOTS:
    void init() { dir_ = std::make_unique<TemporaryFolder>(); }

    // Heads of every shape a file may hold, through the journal and back.
    void imagesRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("head");
        const QByteArray texts =
            frame23("TIT2", textData(0, "Title")) + frame23("TPE1", textData(0, "Artist"));
        QTest::newRow("v2.3 frames and padding") << id3v2Tag(3, texts, 200);
        QTest::newRow("v2.2 frames") << id3v2Tag(2, frame22("TT2", textData(0, "Old")), 50);
        QTest::newRow("v2.4 with an extended header")
            << id3v2Header(4, 6 + 17 + 30, 0x40) + syncsafe(6) + QByteArray("\x01\x00", 2) +
                   frame24("TIT2", textData(3, "Title")) + QByteArray(30, '\0');
        QTest::newRow("bytes after the frames that are no frame")
            << id3v2Header(3, quint32(texts.size() + 9 + 40)) + texts + "\x01junk\xff\xfe\x00z" +
                   QByteArray(40, '\0');
        QTest::newRow("no frame at all after the header")
            << id3v2Header(3, 60) + "\x02\x03 not a frame" + QByteArray(44, '\0');
        QTest::newRow("the last frame cut short")
            << id3v2Header(3, quint32(texts.size() + 8)) + texts +
                   frame23("TALB", textData(0, "Album")).left(8);
        QTest::newRow("a frame ending in zeros, then padding")
            << id3v2Tag(3, frame23("PRIV", QByteArray("owner\0\0\0\0", 9)), 20);
        QTest::newRow("unsynchronised") << id3v2Header(3, 30, 0x80) + "TIT2\xff\x00\x00" +
                                               QByteArray(20, 'u') + QByteArray(3, '\0');
        QTest::newRow("no ID3 header") << QByteArray("not a tag\0\0\0 at all", 20);
        QTest::newRow("zeros") << QByteArray(64, '\0');
        QTest::newRow("empty") << QByteArray();
    }
    void imagesRoundTrip()
    {
        QFETCH(QByteArray, head);
        const QByteArray other = head.isEmpty() ? tagOfSize("Other", 100) : head;
        const QByteArray trailer = id3v1Trailer("T\0\0itle", "Artist");
        std::int64_t step = 0;
        {
            Journal journal(journalFile());
            step = journal.record(StepKind::Save, {imageStep(head, other, trailer)});
        }
        const Journal journal(journalFile());
        const auto files = journal.files(step);
        QCOMPARE(files.size(), 1u);
        QCOMPARE(QByteArray::fromStdString(files[0].tags.before().head), head);
        QCOMPARE(QByteArray::fromStdString(files[0].tags.after().head), other);
        QCOMPARE(QByteArray::fromStdString(files[0].tags.before().tail), trailer);
        QVERIFY(files[0].tags.before() == imageStep(head, other, trailer).tags.before());
    }

    // A head whose frames are followed by bytes that are no frame: a write
    // torn by a crash gets them back, every one.
    void bytesThatAreNoFrameAreRecovered()
    {
        const QByteArray frames = frame23("TIT2", textData(0, "Old title"));
        const QByteArray junk("\x05\x06leftover of an old tagger\x01", 28);
        const QByteArray oldHead = id3v2Header(3, quint32(frames.size() + junk.size() + 100)) +
                                   frames + junk + QByteArray(100, '\0');
        const std::string file = path("junk.mp3");
        QVERIFY(writeFile(file, music(oldHead)));
        const QByteArray newHead = tagOfSize("New title", int(oldHead.size()));
        {
            Journal journal(journalFile());
            const auto change = changeTo(file, newHead, {});
            journal.beginWrites(StepKind::Save, {change});
            QVERIFY(writeAt(file, newHead.left(40), 0));
        } // the program dies mid-write
        const Journal journal(journalFile());
        QCOMPARE(journal.leftAlone().size(), 0u);
        QCOMPARE(journal.recovered(), std::vector<std::string>{file});
        QCOMPARE(readFile(file), music(oldHead));
    }

    // A cover met again, in the next step or in another file, costs nothing:
    // a step that retitles adds the titles alone.
    void unchangedFramesAreStoredOnce()
    {
        const std::string first = path("first.mp3");
        const std::string second = path("second.mp3");
        for (const std::string& file : {first, second})
            QVERIFY(writeFile(
                file, music(headWithCover("Title 0", 'c', CoveredHead), id3v1Trailer("Same"))));
        Journal journal(journalFile());
        retitle(journal, first, headWithCover("Title 1", 'c', CoveredHead));
        const std::int64_t once = storedBytes();
        QVERIFY2(once > 200 * 1024 && once < 202 * 1024, QByteArray::number(once));
        retitle(journal, first, headWithCover("Title 2", 'c', CoveredHead));
        retitle(journal, second, headWithCover("Title 3", 'c', CoveredHead));
        const std::int64_t added = storedBytes() - once;
        QVERIFY2(added > 0 && added < 100, QByteArray::number(added));
        QCOMPARE(journal.files(journal.steps().front().id)[0].tags.before().head,
                 headWithCover("Title 0", 'c', CoveredHead).toStdString());
    }

    // Trimming the history drops the frames of the steps it drops, but not
    // one that a step kept uses too.
    void sharedFrameSurvivesTrimming()
    {
        const std::string dropped = path("dropped.mp3");
        const std::string kept = path("kept.mp3");
        for (const std::string& file : {dropped, kept})
            QVERIFY(writeFile(file,
                              music(headWithCover("Old", 'c', CoveredHead), id3v1Trailer("Same"))));
        Journal journal(journalFile());
        retitle(journal, dropped, headWithCover("Gone with its step", 'c', CoveredHead));
        const tags::TagChange change =
            retitle(journal, kept, headWithCover("Kept title", 'c', CoveredHead));
        const std::int64_t keptStep = journal.steps().front().id;
        StepFile folder;
        folder.to = path("folder");
        for (int i = 0; i < Journal::MaxSteps - 1; ++i)
            journal.record(StepKind::NewFolder, {folder});
        QCOMPARE(journal.steps().back().id, keptStep);
        QCOMPARE(query("SELECT count(*) FROM frames WHERE instr(bytes, 'Gone with') > 0"), 0);
        const auto files = journal.files(keptStep);
        QCOMPARE(files.size(), 1u);
        QVERIFY(files[0].tags.before() == change.before());
        QVERIFY(files[0].tags.after() == change.after());
    }
};

MP3T_TEST_GUILESS_MAIN(FrameStoreTest)
#include "FrameStoreTest.moc"
