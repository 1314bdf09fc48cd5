#include "platform/FileOps.h"
#include "platform/FileTree.h"
#include "platform/NativePath.h"
#include "platform/ProfileFile.h"
#include "platform/ShellClipboard.h"
#include "platform/ShellFileOps.h"
#include "platform/Trash.h"

#include "tests/support/NativeNameFiles.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QMimeData>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace nativetest;

// Files named in GBK, as Windows archives unpack them, handled through the
// platform's calls with the names' lossless QString form.
class NonUtf8PathsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void movesCopiesAndDeletes();
    void resolvesThePath();
    void trashes_data();
    void trashes();
    void failedTrashMoveLeavesNoRecord();
    void trashesOnAnotherVolume();
    void clipboardCarriesTheBytes_data();
    void clipboardCarriesTheBytes();
    void profileInAFolderNamedInGbk();
    void temporaryFolderGoesWhole();
    void aFolderHoldingSuchNamesMovesWhole();

private:
    QByteArray at(const QByteArray& relative) const { return root_ + '/' + relative; }
    std::unique_ptr<testsupport::TemporaryFolder> dir_;
    QByteArray root_;
    QByteArray song_ = gbk(u"老歌.mp3"_s);
    QByteArray folder_ = gbk(u"光良"_s);
    QString oldWorking_;
    QByteArray oldDataHome_;
};

void NonUtf8PathsTest::init()
{
    dir_ = std::make_unique<testsupport::TemporaryFolder>();
    QVERIFY(dir_->isValid());
    root_ = native(dir_->path());
    oldWorking_ = QDir::currentPath();
    oldDataHome_ = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", at("data"));
    QVERIFY(makeFileAt(at(song_), "song"));
    QVERIFY(makeFolderAt(at(folder_)) && makeFileAt(at(folder_ + '/' + song_), "inner"));
}

// Qt cannot remove what it cannot name: the test's files go by their bytes.
void NonUtf8PathsTest::cleanup()
{
    platform::RemoveTree(root_.toStdString());
    QDir::setCurrent(oldWorking_);
    qputenv("XDG_DATA_HOME", oldDataHome_);
}

void NonUtf8PathsTest::movesCopiesAndDeletes()
{
    const QByteArray moved = at(folder_ + '/' + gbk(u"新歌.mp3"_s));
    QVERIFY(platform::MoveFileA(decoded(at(song_)), decoded(moved)));
    QCOMPARE(readAt(moved), "song"_ba);
    QVERIFY(!existsAt(at(song_)));
    QVERIFY(platform::FileExists(decoded(moved)));

    QVERIFY(platform::CopyItem(decoded(at(folder_)), decoded(at("copy"))));
    QCOMPARE(namesIn(at("copy")), namesIn(at(folder_)));
    QVERIFY(platform::DeleteFileA(decoded(moved)));
    QVERIFY(!existsAt(moved));
}

// The check that a folder is never pasted into itself compares resolved paths.
void NonUtf8PathsTest::resolvesThePath()
{
    const QByteArray real = native(platform::CanonicalPath(dir_->path()));
    QCOMPARE(native(platform::CanonicalPath(decoded(at(folder_ + "/../" + folder_ + "/")))),
             real + '/' + folder_);
    QVERIFY(platform::CanonicalPath(decoded(at(folder_ + "/missing"))).isEmpty());
}

void NonUtf8PathsTest::trashes_data()
{
    QTest::addColumn<bool>("relative");
    QTest::newRow("absolute path") << false;
    QTest::newRow("relative path") << true;
}

void NonUtf8PathsTest::trashes()
{
    QFETCH(bool, relative);
    const QByteArray trash = at("data/Trash");
    QVERIFY(makeFolderAt(at("data")) && makeFolderAt(trash) && makeFolderAt(trash + "/files"));
    QVERIFY(makeFileAt(trash + "/files/" + song_, "already there"));
    QVERIFY(QDir::setCurrent(dir_->path()));

    QString inTrash;
    QVERIFY(platform::MoveToTrash(relative ? decoded(song_) : decoded(at(song_)), &inTrash));
    // The name is taken in the trash: the item gets the next free one.
    const QByteArray name = gbk(u"老歌"_s) + ".2.mp3";
    QCOMPARE(native(inTrash), trash + "/files/" + name);
    QCOMPARE(readAt(trash + "/files/" + name), "song"_ba);
    QVERIFY(!existsAt(at(song_)));
    const QByteArray info = readAt(trash + "/info/" + name + ".trashinfo");
    const QByteArray head = "[Trash Info]\nPath=" + at(song_).toPercentEncoding("/") + '\n';
    QVERIFY2(info.startsWith(head), info.constData());
    const QRegularExpression date(u"^DeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n$"_s);
    QVERIFY2(date.match(QString::fromLatin1(info.mid(head.size()))).hasMatch(), info.constData());
}

// Here the rename fails after the record was written: the trash must not
// keep a record of an item it does not hold.
void NonUtf8PathsTest::failedTrashMoveLeavesNoRecord()
{
    qputenv("XDG_DATA_HOME", at(folder_ + "/data"));
    QVERIFY(!platform::MoveToTrash(decoded(at(folder_))));
    QCOMPARE(readAt(at(folder_ + '/' + song_)), "inner"_ba);
    QCOMPARE(namesIn(at(folder_ + "/data/Trash/info")), QByteArrayList());
    QCOMPARE(namesIn(at(folder_ + "/data/Trash/files")), QByteArrayList());
}

void NonUtf8PathsTest::trashesOnAnotherVolume()
{
    const QByteArray volume = "/dev/shm";
    const QByteArray trash = volume + "/.Trash-" + QByteArray::number(::getuid());
    struct ::stat shm {
    }, home{};
    if (::stat(volume.constData(), &shm) != 0 || ::stat(root_.constData(), &home) != 0 ||
        shm.st_dev == home.st_dev || existsAt(trash) || ::access(volume.constData(), W_OK) != 0)
        QSKIP("no other volume to make a trash on");
    testsupport::TemporaryFolder other(QString::fromLatin1(volume) + u"/mp3t-names-XXXXXX"_s);
    QVERIFY(other.isValid());
    const QByteArray song = native(other.path()) + '/' + song_;
    QVERIFY(makeFileAt(song, "song"));
    QString inTrash;
    const bool trashed = platform::MoveToTrash(decoded(song), &inTrash);
    const QByteArray contents = readAt(native(inTrash));
    const QByteArrayList records = namesIn(trash + "/info");
    platform::RemoveTree(trash.toStdString());
    QVERIFY(trashed);
    QCOMPARE(native(inTrash), trash + "/files/" + song_);
    QCOMPARE(contents, "song"_ba);
    QCOMPARE(records, QByteArrayList{song_ + ".trashinfo"});
}

void NonUtf8PathsTest::clipboardCarriesTheBytes_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("asQtDoes"); // a UTF-8 name is written as Qt writes it
    QTest::newRow("GBK") << gbk(u"老歌.mp3"_s) << false;
    QTest::newRow("Latin-1") << "Caf\xE9 #1.mp3"_ba << false;
    QTest::newRow("UTF-8") << u"老歌 #1.mp3"_s.toUtf8() << true;
}

void NonUtf8PathsTest::clipboardCarriesTheBytes()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, asQtDoes);
    const QString path = decoded(at(name));
    const QByteArray url = asQtDoes ? QUrl::fromLocalFile(path).toEncoded()
                                    : "file://" + at(name).toPercentEncoding("/");
    const std::unique_ptr<QMimeData> data(platform::CreateFilesMimeData({path}, true));
    QCOMPARE(data->data(u"x-special/gnome-copied-files"_s), "cut\n" + url);
    QCOMPARE(data->data(u"text/uri-list"_s).trimmed(), url);
    const platform::ClipboardFiles files = platform::FilesFromMimeData(data.get());
    QCOMPARE(files.paths, QStringList{path});
    QVERIFY(files.cut);
    // What another file manager put there.
    QMimeData foreign;
    foreign.setData(u"text/uri-list"_s, url + "\r\n");
    QCOMPARE(platform::FilesFromMimeData(&foreign).paths, QStringList{path});
}

void NonUtf8PathsTest::profileInAFolderNamedInGbk()
{
    const QByteArray config = at(gbk(u"配置"_s) + "/sub");
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config);
    const bool written = platform::WritePrivateProfileStringA(u"s"_s, u"k"_s, u"v"_s, u"x.ini"_s);
    const QString read = platform::GetPrivateProfileStringA(u"s"_s, u"k"_s, u"d"_s, u"x.ini"_s);
    qputenv("XDG_CONFIG_HOME", old);
    QVERIFY(written);
    QCOMPARE(readAt(config + "/x.ini"), "[s]\nk=v\n"_ba);
    QCOMPARE(read, u"v"_s);
}

// The tests' temporary folders go with every name in them, as QTemporaryDir
// did not: GBK names, a sub-folder of them, and a folder made read-only.
void NonUtf8PathsTest::temporaryFolderGoesWhole()
{
    QByteArray root;
    {
        const testsupport::TemporaryFolder folder;
        QVERIFY(folder.isValid());
        root = native(folder.path());
        QVERIFY(makeFileAt(root + '/' + song_, "song"));
        QVERIFY(makeFolderAt(root + '/' + folder_));
        QVERIFY(makeFileAt(root + '/' + folder_ + '/' + song_, "inner"));
        QVERIFY(makeFolderAt(root + "/locked"));
        QVERIFY(makeFileAt(root + "/locked/" + song_, "locked"));
        QVERIFY(::chmod((root + "/locked").constData(), 0500) == 0);
    }
    QVERIFY(!existsAt(root));
}

// A folder whose own name is UTF-8 goes to the trash through Qt's call; what
// it holds moves with it, names that are not UTF-8 included, and so when it
// comes back (as undo brings it) and when it moves to another file system.
void NonUtf8PathsTest::aFolderHoldingSuchNamesMovesWhole()
{
    const QByteArray albums = at("albums");
    QVERIFY(makeFolderAt(albums) && makeFileAt(albums + '/' + song_, "song"));
    QVERIFY(makeFolderAt(albums + '/' + folder_));
    QVERIFY(makeFileAt(albums + '/' + folder_ + '/' + song_, "inner"));
    const QByteArrayList names = namesIn(albums);

    QString inTrash;
    QVERIFY(platform::MoveToTrash(decoded(albums), &inTrash));
    QVERIFY(!existsAt(albums));
    QCOMPARE(readAt(native(inTrash) + '/' + folder_ + '/' + song_), "inner"_ba);
    QVERIFY(platform::MoveFileA(inTrash, decoded(albums)));
    QCOMPARE(namesIn(albums), names);

    struct ::stat shm {
    }, here{};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(root_.constData(), &here) != 0 ||
        shm.st_dev == here.st_dev)
        QSKIP("no other file system to move to");
    const testsupport::TemporaryFolder other(u"/dev/shm/mp3t-names-XXXXXX"_s);
    QVERIFY(other.isValid());
    const QByteArray there = native(other.path()) + "/albums";
    QVERIFY(platform::MoveFileA(decoded(albums), decoded(there)));
    QVERIFY(!existsAt(albums));
    QCOMPARE(readAt(there + '/' + folder_ + '/' + song_), "inner"_ba);
    QVERIFY(platform::MoveFileA(decoded(there), decoded(albums)));
    QVERIFY(!existsAt(there));
    QCOMPARE(readAt(albums + '/' + song_), "song"_ba);
    QCOMPARE(readAt(albums + '/' + folder_ + '/' + song_), "inner"_ba);
}

MP3T_TEST_MAIN(NonUtf8PathsTest)
#include "NonUtf8PathsTest.moc"
