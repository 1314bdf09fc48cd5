#include "tags/StaleCopies.h"
#include "tags/FileIo.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"
#include "tests/tags/TagTestSupport.h"

#include <QDirIterator>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <system_error>
#include <unistd.h>

using namespace testsupport;
using namespace tagtest;
using namespace Qt::StringLiterals;

namespace {

const QByteArray kMusic = id3v2Tag(3, frame23("TIT2", latin1("Old")), 20) + silentMpegFrames(2);

// Makes the entries of a folder: "name/" a folder, "name -> target" a
// symbolic link, any other name a file holding its own name.
void make(const Files& files, const QStringList& entries)
{
    for (const QString& entry : entries) {
        if (entry.endsWith(u'/')) {
            QVERIFY(QDir(files.path({})).mkpath(entry));
        } else if (const auto arrow = entry.indexOf(u" -> "_s); arrow >= 0) {
            const QByteArray target = entry.mid(arrow + 4).toUtf8();
            QCOMPARE(::symlink(target.constData(), files.native(entry.left(arrow)).c_str()), 0);
        } else {
            files.write(entry, entry.toUtf8());
        }
    }
}

// Every entry below the folder, links not followed, folders marked with "/".
QStringList tree(const Files& files)
{
    const QDir root(files.path({}));
    QStringList names;
    QDirIterator it(root.path(),
                    QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const bool folder = it.fileInfo().isDir() && !it.fileInfo().isSymLink();
        names << root.relativeFilePath(it.filePath()) + (folder ? u"/"_s : QString());
    }
    names.sort();
    return names;
}

// The lock another program's save holds on its copy while it writes.
tags::FileDescriptor lockAsASave(const std::string& path)
{
    tags::FileDescriptor fd = tags::openFile(path, O_RDONLY);
    if (!fd || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return tags::FileDescriptor();
    return fd;
}

enum class Access { ReadV1, ReadV2, SaveV1, SaveV2 };

} // namespace

class StaleCopiesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void folderCleaning_data();
    void folderCleaning();
    void readOrSaveRemovesStaleCopy_data();
    void readOrSaveRemovesStaleCopy();
    void copyOfARunningSaveStays();
    void saveLeavesACopyAnotherSaveWrites();
};

void StaleCopiesTest::folderCleaning_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("locked");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<int>("removed");

    QTest::newRow("stale copy") << QStringList{u"a.mp3"_s, u"a.mp3.tdexbak"_s} << QString()
                                << QStringList{u"a.mp3"_s} << 1;
    QTest::newRow("several, and a bare suffix")
        << QStringList{u"a.mp3"_s, u"a.mp3.tdexbak"_s, u"b.MP3"_s, u"b.MP3.tdexbak"_s,
                       u".tdexbak"_s}
        << QString() << QStringList{u".tdexbak"_s, u"a.mp3"_s, u"b.MP3"_s} << 2;
    QTest::newRow("copy without its file, maybe the only one")
        << QStringList{u"a.mp3.tdexbak"_s} << QString() << QStringList{u"a.mp3.tdexbak"_s} << 0;
    QTest::newRow("folder named like a copy")
        << QStringList{u"a.mp3"_s, u"a.mp3.tdexbak/"_s} << QString()
        << QStringList{u"a.mp3"_s, u"a.mp3.tdexbak/"_s} << 0;
    QTest::newRow("link named like a copy")
        << QStringList{u"a.mp3"_s, u"b.mp3"_s, u"a.mp3.tdexbak -> b.mp3"_s} << QString()
        << QStringList{u"a.mp3"_s, u"a.mp3.tdexbak"_s, u"b.mp3"_s} << 0;
    QTest::newRow("file that is a folder")
        << QStringList{u"a.mp3/"_s, u"a.mp3.tdexbak"_s} << QString()
        << QStringList{u"a.mp3.tdexbak"_s, u"a.mp3/"_s} << 0;
    QTest::newRow("file that is a link to its copy")
        << QStringList{u"a.mp3 -> a.mp3.tdexbak"_s, u"a.mp3.tdexbak"_s} << QString()
        << QStringList{u"a.mp3"_s, u"a.mp3.tdexbak"_s} << 0;
    QTest::newRow("file reached through a link")
        << QStringList{u"b.mp3"_s, u"a.mp3 -> b.mp3"_s, u"a.mp3.tdexbak"_s} << QString()
        << QStringList{u"a.mp3"_s, u"b.mp3"_s} << 1;
    QTest::newRow("copy a save is writing")
        << QStringList{u"a.mp3"_s, u"a.mp3.tdexbak"_s} << u"a.mp3.tdexbak"_s
        << QStringList{u"a.mp3"_s, u"a.mp3.tdexbak"_s} << 0;
    QTest::newRow("copy in a subfolder")
        << QStringList{u"sub/"_s, u"sub/a.mp3"_s, u"sub/a.mp3.tdexbak"_s} << QString()
        << QStringList{u"sub/"_s, u"sub/a.mp3"_s, u"sub/a.mp3.tdexbak"_s} << 0;
}

void StaleCopiesTest::folderCleaning()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, locked);
    QFETCH(QStringList, left);
    QFETCH(int, removed);
    Files files;
    make(files, entries);
    const tags::FileDescriptor lock =
        locked.isEmpty() ? tags::FileDescriptor() : lockAsASave(files.native(locked));
    QCOMPARE(bool(lock), !locked.isEmpty());
    QCOMPARE(tags::removeStaleCopies(files.native({})), std::size_t(removed));
    QCOMPARE(tree(files), left);
}

void StaleCopiesTest::readOrSaveRemovesStaleCopy_data()
{
    QTest::addColumn<Access>("access");
    QTest::addColumn<QByteArray>("music");
    QTest::newRow("ID3v1 read") << Access::ReadV1 << kMusic;
    QTest::newRow("ID3v2 read") << Access::ReadV2 << kMusic;
    QTest::newRow("ID3v1 save") << Access::SaveV1 << kMusic;
    // A save that writes goes through the copy; one that is refused cleans too.
    QTest::newRow("ID3v2 save, refused")
        << Access::SaveV2 << id3v2Tag(2, frame22("XYZ", "unknown")) + silentMpegFrames(2);
}

void StaleCopiesTest::readOrSaveRemovesStaleCopy()
{
    QFETCH(Access, access);
    QFETCH(QByteArray, music);
    Files files;
    files.write("a.mp3", music);
    files.write("a.mp3.tdexbak", music.left(100));
    files.write("b.mp3.tdexbak", music);
    const std::string path = files.native("a.mp3");
    TID3v1 v1;
    TID3v2 v2;
    switch (access) {
    case Access::ReadV1:
        QVERIFY(v1.ReadFromFile(path));
        break;
    case Access::ReadV2:
        QVERIFY(v2.ReadFromFile(path));
        break;
    case Access::SaveV1:
        QVERIFY(v1.SaveToFile(path));
        break;
    case Access::SaveV2:
        QVERIFY(!v2.SaveToFile(path));
        QCOMPARE(files.read("a.mp3"), music);
        break;
    }
    QCOMPARE(files.names(), (QStringList{u"a.mp3"_s, u"b.mp3.tdexbak"_s}));
    QVERIFY(!v2.ReadFromFile(files.native("b.mp3")));
    QCOMPARE(files.read("b.mp3.tdexbak"), music);
}

void StaleCopiesTest::copyOfARunningSaveStays()
{
    Files files;
    files.write("a.mp3", kMusic);
    const std::string path = files.native("a.mp3");
    struct stat st {};
    QCOMPARE(::stat(path.c_str(), &st), 0);
    {
        tags::FileReplacement copy(path, path + ".tdexbak", st);
        QVERIFY(copy.write("new"));
        QCOMPARE(tags::removeStaleCopies(files.native({})), std::size_t(0));
        TID3v2 reader;
        QVERIFY(reader.ReadFromFile(path));
        QCOMPARE(files.read("a.mp3.tdexbak"), QByteArray("new"));
        QVERIFY(copy.commit());
    }
    QCOMPARE(files.read("a.mp3"), QByteArray("new"));
    QCOMPARE(files.names(), QStringList{u"a.mp3"_s});
}

void StaleCopiesTest::saveLeavesACopyAnotherSaveWrites()
{
    Files files;
    files.write("a.mp3", kMusic);
    files.write("a.mp3.tdexbak", "being written");
    const std::string path = files.native("a.mp3");
    TID3v2 tag;
    tag.Title = tags::unicodeText("New");
    {
        const tags::FileDescriptor lock = lockAsASave(files.native("a.mp3.tdexbak"));
        QVERIFY(lock);
        QVERIFY_THROWS_EXCEPTION(std::system_error, tag.SaveToFile(path));
        QCOMPARE(files.read("a.mp3"), kMusic);
        QCOMPARE(files.read("a.mp3.tdexbak"), QByteArray("being written"));
    }
    QVERIFY(tag.SaveToFile(path));
    QCOMPARE(files.names(), QStringList{u"a.mp3"_s});
    QVERIFY(tag.ReadFromFile(path));
    QCOMPARE(tag.Title, tags::legacyText("New"));
}

MP3T_TEST_GUILESS_MAIN(StaleCopiesTest)
#include "StaleCopiesTest.moc"
