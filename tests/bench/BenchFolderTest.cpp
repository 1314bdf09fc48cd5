// The folder that bench/cli_ls and the window's showFolder benchmark list:
// the window's reader shows every file's six texts from either tag, and the
// writer never replaces a file that is there.

#include "bench/Mp3Folder.h"
#include "operations/TagEditing.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using operations::Priority;

Q_DECLARE_METATYPE(Priority)

class BenchFolderTest : public QObject {
    Q_OBJECT

private slots:
    void shownTexts_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<Priority>("priority");
        QTest::addColumn<bool>("gbk");
        for (const int index : {0, 1, 4, 10}) {
            const QByteArray name = QByteArray::number(index);
            const bool gbk = index % 5 == 0;
            QTest::newRow(name + " v1") << index << Priority::V1Only << gbk;
            QTest::newRow(name + " v2") << index << Priority::V2Only << gbk;
        }
    }

    // Each tag alone fills the six columns. Every fifth file holds GBK bytes
    // (in ID3v2 frames declared ISO-8859-1), so the detection of the code
    // page is timed too.
    void shownTexts()
    {
        QFETCH(int, index);
        QFETCH(Priority, priority);
        QFETCH(bool, gbk);
        QTemporaryDir dir;
        QVERIFY(!benchsupport::writeMp3Folder(dir.path(), index + 1));
        TID3v1 v1;
        TID3v2 v2;
        const auto shown = operations::readShownTags(v1, v2, priority,
                                                     dir.filePath(benchsupport::songName(index)));
        const benchsupport::SongTexts want = benchsupport::songTexts(index);
        QVERIFY(shown.hasTag);
        QCOMPARE(shown.fields, (std::array{want.title, want.artist, want.album, want.year,
                                           want.genre, want.comment}));
        const QByteArray bytes = gbk ? testsupport::gbk(want.title) : want.title.toLatin1();
        if (priority == Priority::V1Only) {
            QCOMPARE(QByteArray::fromStdString(v1.Title()), bytes);
        } else {
            QVERIFY(!v2.Title.unicode);
            QCOMPARE(QByteArray::fromStdString(v2.Title.bytes), bytes);
        }
    }

    // The names sort, byte by byte, in the order of the files.
    void folderHoldsTheFilesInOrder()
    {
        QTemporaryDir dir;
        QVERIFY(!benchsupport::writeMp3Folder(dir.path() + u"/new/folder"_s, 12));
        const QDir folder(dir.path() + u"/new/folder"_s);
        const QStringList names = folder.entryList(QDir::Files, QDir::Name);
        QCOMPARE(names.size(), 12);
        for (int i = 0; i < 12; ++i) {
            QCOMPARE(names[i], benchsupport::songName(i));
            QCOMPARE(testsupport::readBytes(folder.filePath(names[i])), benchsupport::songBytes(i));
        }
    }

    void existingFileIsLeftAlone()
    {
        QTemporaryDir dir;
        const QString mine = dir.filePath(benchsupport::songName(3));
        QVERIFY(testsupport::writeBytes(mine, "mine"));
        const auto error = benchsupport::writeMp3Folder(dir.path(), 5);
        QVERIFY(error);
        QVERIFY2(error->contains(mine), qPrintable(*error));
        QCOMPARE(testsupport::readBytes(mine), QByteArray("mine"));
    }
};

MP3T_TEST_GUILESS_MAIN(BenchFolderTest)
#include "BenchFolderTest.moc"
