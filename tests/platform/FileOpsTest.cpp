#include "platform/FileOps.h"

#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace platform;
using testsupport::readBytes;
using testsupport::writeBytes;

namespace {

mode_t modeOf(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

bool setMode(const QString& path, mode_t mode)
{
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

dev_t deviceOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_dev : 0;
}

// A folder "album" with a file, a sub-folder with a file, and a link.
bool makeTree(const QString& root)
{
    QDir dir(root);
    return dir.mkpath(u"album/cd2"_s) && writeBytes(root + u"/album/01.mp3"_s, "one") &&
           writeBytes(root + u"/album/cd2/02.mp3"_s, "two") &&
           QFile::link(u"01.mp3"_s, root + u"/album/link.mp3"_s);
}

void verifyTree(const QString& root)
{
    QCOMPARE(readBytes(root + u"/01.mp3"_s), "one"_ba);
    QCOMPARE(readBytes(root + u"/cd2/02.mp3"_s), "two"_ba);
    QCOMPARE(QFileInfo(root + u"/link.mp3"_s).symLinkTarget(), root + u"/01.mp3"_s);
}

} // namespace

class FileOpsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void movesAFile();
    void neverReplaces_data();
    void neverReplaces();
    void movesAFolderWithItsContents();
    void failsForAMissingSource();
    void failsIntoAMissingFolder();
    void movesAcrossFileSystems();
    void neverReplacesAcrossFileSystems();
    void clearingAttributesAddsOwnerWrite();
    void readOnly_data();
    void readOnly();
    void createsAndDeletes();

private:
    QString at(const QString& name) const { return dir_->filePath(name); }
    std::unique_ptr<QTemporaryDir> dir_;
};

void FileOpsTest::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void FileOpsTest::movesAFile()
{
    QVERIFY(writeBytes(at(u"a.mp3"_s), "data"));
    QVERIFY(MoveFileA(at(u"a.mp3"_s), at(u"歌曲.mp3"_s)));
    QVERIFY(!QFileInfo::exists(at(u"a.mp3"_s)));
    QCOMPARE(readBytes(at(u"歌曲.mp3"_s)), "data"_ba);
}

void FileOpsTest::neverReplaces_data()
{
    QTest::addColumn<bool>("sourceIsFolder");
    QTest::addColumn<bool>("targetIsFolder");
    QTest::newRow("file onto file") << false << false;
    QTest::newRow("file onto folder") << false << true;
    QTest::newRow("folder onto empty folder") << true << true;
    QTest::newRow("folder onto file") << true << false;
}

void FileOpsTest::neverReplaces()
{
    QFETCH(bool, sourceIsFolder);
    QFETCH(bool, targetIsFolder);
    const QString source = at(u"source"_s);
    const QString target = at(u"target"_s);
    QVERIFY(sourceIsFolder ? QDir().mkdir(source) : writeBytes(source, "source"));
    QVERIFY(targetIsFolder ? QDir().mkdir(target) : writeBytes(target, "target"));

    QVERIFY(!MoveFileA(source, target));
    QCOMPARE(QFileInfo(source).isDir(), sourceIsFolder);
    QCOMPARE(QFileInfo(target).isDir(), targetIsFolder);
    if (!sourceIsFolder)
        QCOMPARE(readBytes(source), "source"_ba);
    if (!targetIsFolder)
        QCOMPARE(readBytes(target), "target"_ba);
    QVERIFY(QDir(target).isEmpty() || !targetIsFolder);
}

void FileOpsTest::movesAFolderWithItsContents()
{
    QVERIFY(makeTree(dir_->path()));
    QVERIFY(QDir().mkdir(at(u"music"_s)));
    QVERIFY(MoveFileA(at(u"album"_s), at(u"music/album"_s)));
    QVERIFY(!QFileInfo::exists(at(u"album"_s)));
    verifyTree(at(u"music/album"_s));
}

void FileOpsTest::failsForAMissingSource()
{
    QVERIFY(!MoveFileA(at(u"missing.mp3"_s), at(u"b.mp3"_s)));
    QVERIFY(!QFileInfo::exists(at(u"b.mp3"_s)));
    QVERIFY(!MoveFileA(QString(), at(u"b.mp3"_s)));
    QVERIFY(writeBytes(at(u"a.mp3"_s), "data"));
    QVERIFY(!MoveFileA(at(u"a.mp3"_s), QString()));
    QCOMPARE(readBytes(at(u"a.mp3"_s)), "data"_ba);
}

void FileOpsTest::failsIntoAMissingFolder()
{
    QVERIFY(writeBytes(at(u"a.mp3"_s), "data"));
    QVERIFY(!MoveFileA(at(u"a.mp3"_s), at(u"nowhere/a.mp3"_s)));
    QCOMPARE(readBytes(at(u"a.mp3"_s)), "data"_ba);
}

void FileOpsTest::movesAcrossFileSystems()
{
    if (!QFileInfo(u"/dev/shm"_s).isWritable() || deviceOf(u"/dev/shm"_s) == deviceOf(at({})))
        QSKIP("no second file system to move to");
    QTemporaryDir other(u"/dev/shm/mp3t-fileops-XXXXXX"_s);
    QVERIFY(other.isValid());

    QVERIFY(makeTree(dir_->path()));
    QVERIFY(setMode(at(u"album/01.mp3"_s), 0666));
    QVERIFY(MoveFileA(at(u"album"_s), other.filePath(u"album"_s)));
    QVERIFY(!QFileInfo::exists(at(u"album"_s)));
    verifyTree(other.filePath(u"album"_s));
    QCOMPARE(modeOf(other.filePath(u"album/01.mp3"_s)), mode_t(0666));

    QVERIFY(writeBytes(at(u"a.mp3"_s), "data"));
    QVERIFY(setMode(at(u"a.mp3"_s), 0755));
    QVERIFY(MoveFileA(at(u"a.mp3"_s), other.filePath(u"a.mp3"_s)));
    QVERIFY(!QFileInfo::exists(at(u"a.mp3"_s)));
    QCOMPARE(readBytes(other.filePath(u"a.mp3"_s)), "data"_ba);
    QCOMPARE(modeOf(other.filePath(u"a.mp3"_s)), mode_t(0755));
    // Nothing of the staging is left beside the target.
    QCOMPARE(QDir(other.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             (QStringList{u"a.mp3"_s, u"album"_s}));
}

void FileOpsTest::neverReplacesAcrossFileSystems()
{
    if (!QFileInfo(u"/dev/shm"_s).isWritable() || deviceOf(u"/dev/shm"_s) == deviceOf(at({})))
        QSKIP("no second file system to move to");
    QTemporaryDir other(u"/dev/shm/mp3t-fileops-XXXXXX"_s);
    QVERIFY(other.isValid());
    QVERIFY(writeBytes(at(u"a.mp3"_s), "source"));
    QVERIFY(writeBytes(other.filePath(u"a.mp3"_s), "target"));
    QVERIFY(!MoveFileA(at(u"a.mp3"_s), other.filePath(u"a.mp3"_s)));
    QCOMPARE(readBytes(at(u"a.mp3"_s)), "source"_ba);
    QCOMPARE(readBytes(other.filePath(u"a.mp3"_s)), "target"_ba);
    QVERIFY(!MoveFileA(at(u"a.mp3"_s), other.filePath(u"missing/a.mp3"_s)));
    QCOMPARE(readBytes(at(u"a.mp3"_s)), "source"_ba);
}

void FileOpsTest::clearingAttributesAddsOwnerWrite()
{
    QVERIFY(writeBytes(at(u"a.mp3"_s), "data"));
    QVERIFY(setMode(at(u"a.mp3"_s), 0444));
    QVERIFY(IsReadOnly(at(u"a.mp3"_s)));
    QVERIFY(SetFileAttributesA(at(u"a.mp3"_s), 0));
    QCOMPARE(modeOf(at(u"a.mp3"_s)), mode_t(0644));
    QVERIFY(!IsReadOnly(at(u"a.mp3"_s)));
    QVERIFY(!SetFileAttributesA(at(u"missing.mp3"_s), 0));
}

void FileOpsTest::readOnly_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("0444") << 0444 << true;
    QTest::newRow("0400") << 0400 << true;
    QTest::newRow("0000") << 0000 << true;
    QTest::newRow("0644") << 0644 << false;
    QTest::newRow("0200") << 0200 << false;
}

// Root can write anything; the rule must hold for root as well.
void FileOpsTest::readOnly()
{
    QFETCH(int, mode);
    QFETCH(bool, readOnly);
    QVERIFY(writeBytes(at(u"a.mp3"_s), "data"));
    QVERIFY(setMode(at(u"a.mp3"_s), mode_t(mode)));
    QCOMPARE(IsReadOnly(at(u"a.mp3"_s)), readOnly);
}

void FileOpsTest::createsAndDeletes()
{
    QVERIFY(CreateDirectoryA(at(u"新建"_s)));
    QVERIFY(!CreateDirectoryA(at(u"新建"_s)));
    QVERIFY(!FileExists(at(u"新建"_s)));
    QVERIFY(writeBytes(at(u"新建/a.mp3"_s), "data"));
    QVERIFY(FileExists(at(u"新建/a.mp3"_s)));
    QVERIFY(DeleteFileA(at(u"新建/a.mp3"_s)));
    QVERIFY(!FileExists(at(u"新建/a.mp3"_s)));
    QVERIFY(!DeleteFileA(at(u"新建/a.mp3"_s)));
    QVERIFY(!IsReadOnly(at(u"missing.mp3"_s)));
}

MP3T_TEST_GUILESS_MAIN(FileOpsTest)
#include "FileOpsTest.moc"
