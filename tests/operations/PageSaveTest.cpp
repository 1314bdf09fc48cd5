// The property page's save as a command: made ready from the file, then
// written as one step; a file changed in between, or one that cannot take
// the save, is refused and left as it is.

#include "operations/PageSave.h"
#include "operations/Core.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tests/support/Mp3Bytes.h"
#include "tests/support/TemporaryFolder.h"
#include "tests/support/TestEnvironment.h"

using namespace Qt::StringLiterals;
using namespace testsupport;

namespace {

QByteArray v2File(const QByteArray& title)
{
    return id3v2Tag(3, frame23("TIT2", textData(0, title)), 128) + silentMpegFrames();
}

operations::PropertyValues titled(const QString& title)
{
    operations::PropertyValues page;
    page.title = title;
    return page;
}

std::string v2Title(const QString& path)
{
    TID3v2 v2;
    v2.ReadFromFile(nativePath(path));
    return v2.Title.bytes;
}

} // namespace

class PageSaveTest : public QObject {
    Q_OBJECT

    TID3v1 v1_;
    TID3v2 v2_;

private Q_SLOTS:
    void init()
    {
        QDir(qEnvironmentVariable("XDG_STATE_HOME") + u"/mp3tagloom"_s).removeRecursively();
    }

    // Another program wrote the file after the save was made ready: the save
    // writes nothing, and says so.
    void fileChangedSinceReadIsRefused_data()
    {
        QTest::addColumn<bool>("journaled");
        QTest::newRow("in place, journaled") << true;
        QTest::newRow("staged, no journal") << false;
    }
    void fileChangedSinceReadIsRefused()
    {
        QFETCH(bool, journaled);
        operations::Core core;
        if (journaled)
            QVERIFY(core.openJournal().failure.isEmpty());
        TemporaryFolder dir;
        const QString path = dir.filePath(u"a.mp3"_s);
        QVERIFY(writeBytes(path, v2File("Old")));
        auto prepared = operations::prepareSave(v1_, v2_, operations::Priority::V2Only, path,
                                                titled(u"Mine"_s), core.textRules());
        QVERIFY(prepared.change);
        const QByteArray theirs = v2File("Theirs");
        QVERIFY(writeBytes(path, theirs));

        const auto run = operations::runSave(core.journal(), std::move(prepared));
        QCOMPARE(run.file.file, path);
        QVERIFY(!run.file.succeeded);
        QCOMPARE(run.file.reason, u"文件已被其他程序修改"_s);
        QCOMPARE(readBytes(path), theirs);
    }

    // Saved as one step of the journal, which takes it back.
    void savedAsOneStep()
    {
        operations::Core core;
        QVERIFY(core.openJournal().failure.isEmpty());
        TemporaryFolder dir;
        const QString path = dir.filePath(u"a.mp3"_s);
        const QByteArray before = v2File("Old");
        QVERIFY(writeBytes(path, before));
        const auto run = operations::runSave(
            core.journal(), operations::prepareSave(v1_, v2_, operations::Priority::V2Only, path,
                                                    titled(u"新的"_s), core.textRules()));
        QVERIFY2(run.file.succeeded, qPrintable(run.file.reason));
        QVERIFY(run.problems.empty());
        QCOMPARE(v2Title(path), std::string("新的"));
        const auto steps = core.journal()->steps();
        QCOMPARE(steps.size(), std::size_t(1));
        QCOMPARE(steps.front().kind, operations::StepKind::Save);
        QCOMPARE(steps.front().files, 1);
        QCOMPARE(core.history()->undo().turned, 1);
        QCOMPARE(readBytes(path), before);
    }

    // What cannot be made ready is a failed file with its reason; nothing
    // is written.
    void unpreparedFileFailsWithItsReason_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("showId");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not an MP3")
            << QByteArray("just some text, no audio") << 2 << u"不是MP3文件"_s;
        QTest::newRow("no priority") << v2File("Old") << 5 << u"显示优先级无效"_s;
    }
    void unpreparedFileFailsWithItsReason()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, showId);
        QFETCH(QString, reason);
        TemporaryFolder dir;
        const QString path = dir.filePath(u"a.mp3"_s);
        QVERIFY(writeBytes(path, bytes));
        auto prepared = operations::prepareSave(v1_, v2_, operations::priorityOf(showId), path,
                                                titled(u"Mine"_s));
        QVERIFY(!prepared.change);
        const auto run = operations::runSave(nullptr, std::move(prepared));
        QVERIFY(!run.file.succeeded);
        QCOMPARE(run.file.reason, reason);
        QVERIFY(run.problems.empty());
        QCOMPARE(readBytes(path), bytes);
    }

    // Without a journal the file is written through a copy, and the save
    // says that it cannot be taken back.
    void withoutJournalTheSaveSaysSo()
    {
        TemporaryFolder dir;
        const QString path = dir.filePath(u"a.mp3"_s);
        QVERIFY(writeBytes(path, v2File("Old")));
        const auto run = operations::runSave(
            nullptr, operations::prepareSave(v1_, v2_, operations::Priority::V2Only, path,
                                             titled(u"Mine"_s)));
        QVERIFY(run.file.succeeded);
        QCOMPARE(v2Title(path), std::string("Mine"));
        QCOMPARE(run.problems, std::vector<QString>{u"文件已照常修改, 但这次修改无法撤销"_s});
    }
};

MP3T_TEST_GUILESS_MAIN(PageSaveTest)
#include "PageSaveTest.moc"
