#include "platform/Trash.h"

#include "platform/FileTree.h"
#include "platform/ShellFileOps.h"
#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using platform::MoveToTrash;
using testsupport::nativePath;
using testsupport::readBytes;
using testsupport::writeBytes;

namespace {

mode_t modeOf(const QString& path)
{
    struct ::stat st {};
    return ::lstat(nativePath(path).c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                                  QDir::System);
}

// What Qt 6.4 does without a home trash: the item goes to "files/" of the
// working folder, its record to "info/", and success is reported.
struct StrayTrash {
    QString infoPath;        // what the record names; empty: the item's old place
    bool placeTaken = false; // a new file appears at the old place meanwhile

    bool operator()(const QString& path, QString* inTrash) const
    {
        QDir here = QDir::current();
        const QString name = QFileInfo(path).fileName();
        if (!here.mkpath(u"files"_s) || !here.mkpath(u"info"_s) ||
            !platform::RenameNoReplace(nativePath(path),
                                       nativePath(here.filePath(u"files/"_s + name))))
            return false;
        const QString named = infoPath.isEmpty() ? QFileInfo(path).absoluteFilePath() : infoPath;
        writeBytes(here.filePath(u"info/"_s + name + u".trashinfo"_s),
                   "[Trash Info]\nPath=" + QUrl::toPercentEncoding(named, "/") +
                       "\nDeletionDate=2024-01-01T00:00:00\n");
        if (placeTaken)
            writeBytes(path, "new");
        *inTrash = u"./files/"_s + name;
        return true;
    }
};

} // namespace

class TrashTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void trashesOnAFreshAccount_data();
    void trashesOnAFreshAccount();
    void strayTrashIsUndone_data();
    void strayTrashIsUndone();
    void strayTrashNeverReplacesANewFile();
    void neverTrashesIntoTheWorkingFolder();
    void acceptsTheTrashOfAnotherVolume();
    void shellCommandsTrashOnAFreshAccount_data();
    void shellCommandsTrashOnAFreshAccount();

private:
    QString at(const QString& name) const { return dir_->filePath(name); }
    std::unique_ptr<testsupport::TemporaryFolder> dir_;
    std::unique_ptr<testsupport::TemporaryFolder> working_;
    QString oldWorking_;
    QByteArray oldHome_;
    QByteArray oldDataHome_;
};

void TrashTest::init()
{
    dir_ = std::make_unique<testsupport::TemporaryFolder>();
    working_ = std::make_unique<testsupport::TemporaryFolder>();
    QVERIFY(dir_->isValid() && working_->isValid());
    oldWorking_ = QDir::currentPath();
    oldHome_ = qgetenv("HOME");
    oldDataHome_ = qgetenv("XDG_DATA_HOME");
    QVERIFY(QDir::setCurrent(working_->path()));
}

void TrashTest::cleanup()
{
    QDir::setCurrent(oldWorking_);
    qputenv("HOME", oldHome_);
    qputenv("XDG_DATA_HOME", oldDataHome_);
}

void TrashTest::trashesOnAFreshAccount_data()
{
    QTest::addColumn<QString>("dataHome"); // relative to the test folder; "-": unset
    QTest::addColumn<QString>("trash");
    QTest::newRow("no data folder yet") << u"data/share"_s << u"data/share/Trash"_s;
    QTest::newRow("XDG_DATA_HOME unset") << u"-"_s << u"home/.local/share/Trash"_s;
    QTest::newRow("XDG_DATA_HOME empty") << QString() << u"home/.local/share/Trash"_s;
}

void TrashTest::trashesOnAFreshAccount()
{
    QFETCH(QString, dataHome);
    QFETCH(QString, trash);
    QVERIFY(QDir(dir_->path()).mkdir(u"home"_s));
    qputenv("HOME", QFile::encodeName(at(u"home"_s)));
    if (dataHome == u"-"_s)
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.isEmpty() ? dataHome : at(dataHome)));
    QVERIFY(QDir(dir_->path()).mkdir(u"music"_s));
    const QString song = at(u"music/歌曲 1.mp3"_s);
    QVERIFY(writeBytes(song, "keep me"));

    QString inTrash;
    QVERIFY(MoveToTrash(song, &inTrash));
    QCOMPARE(inTrash, at(trash + u"/files/歌曲 1.mp3"_s));
    QCOMPARE(readBytes(inTrash), "keep me"_ba);
    QVERIFY(!QFileInfo::exists(song));
    QVERIFY(QFileInfo::exists(at(trash + u"/info/歌曲 1.mp3.trashinfo"_s)));
    for (const QString& folder : {QString(), u"/files"_s, u"/info"_s})
        QCOMPARE(modeOf(at(trash + folder)), mode_t(0700));
    QCOMPARE(entries(working_->path()), QStringList());
}

void TrashTest::strayTrashIsUndone_data()
{
    QTest::addColumn<QString>("infoPath");
    QTest::addColumn<bool>("hadFiles");
    QTest::addColumn<QStringList>("left"); // in the working folder afterwards
    QTest::newRow("its record goes") << QString() << false << QStringList();
    QTest::newRow("another file's record stays")
        << u"/elsewhere/a.mp3"_s << false << QStringList{u"info"_s, u"info/a.mp3.trashinfo"_s};
    QTest::newRow("a folder that was there stays")
        << QString() << true << QStringList{u"files"_s, u"files/mine.txt"_s};
}

void TrashTest::strayTrashIsUndone()
{
    QFETCH(QString, infoPath);
    QFETCH(bool, hadFiles);
    QFETCH(QStringList, left);
    if (hadFiles)
        QVERIFY(QDir().mkdir(u"files"_s) && writeBytes(u"files/mine.txt"_s, "mine"));
    const QString song = at(u"a.mp3"_s);
    QVERIFY(writeBytes(song, "keep me"));

    QString inTrash = u"stale"_s;
    QVERIFY(!MoveToTrash(song, &inTrash, StrayTrash{infoPath}));
    QCOMPARE(inTrash, QString());
    QCOMPARE(readBytes(song), "keep me"_ba);
    QStringList found;
    for (const QString& name : entries(working_->path())) {
        found << name;
        for (const QString& inner : entries(working_->filePath(name)))
            found << name + u'/' + inner;
    }
    QCOMPARE(found, left);
}

void TrashTest::strayTrashNeverReplacesANewFile()
{
    const QString song = at(u"a.mp3"_s);
    QVERIFY(writeBytes(song, "keep me"));
    QVERIFY(!MoveToTrash(song, nullptr, StrayTrash{QString(), true}));
    QCOMPARE(readBytes(song), "new"_ba);
    QCOMPARE(readBytes(working_->filePath(u"files/a.mp3"_s)), "keep me"_ba);
}

void TrashTest::neverTrashesIntoTheWorkingFolder()
{
    // A relative XDG_DATA_HOME is invalid; Qt 6.4 still tries it and, finding
    // nothing there, trashes into the working folder.
    qputenv("XDG_DATA_HOME", "rel/share");
    qputenv("HOME", QFile::encodeName(dir_->path()));
    const QString song = at(u"a.mp3"_s);
    QVERIFY(writeBytes(song, "keep me"));
    QString inTrash;
    const bool trashed = MoveToTrash(song, &inTrash);
    QCOMPARE(entries(working_->path()), QStringList());
    QCOMPARE(readBytes(trashed ? inTrash : song), "keep me"_ba);
    if (trashed)
        QCOMPARE(inTrash, at(u".local/share/Trash/files/a.mp3"_s));
}

// Items on other volumes go to that volume's trash, which is a trash too.
void TrashTest::acceptsTheTrashOfAnotherVolume()
{
    const QString volume = u"/dev/shm"_s;
    const QString trash = volume + u"/.Trash-"_s + QString::number(::getuid());
    if (!QFileInfo(volume).isWritable() || QStorageInfo(volume).rootPath() != volume ||
        QStorageInfo(volume) == QStorageInfo(QDir::home()) || QFileInfo::exists(trash))
        QSKIP("no other volume with a trash of its own to try");
    testsupport::TemporaryFolder other(volume + u"/mp3t-trash-XXXXXX"_s);
    QVERIFY(other.isValid());
    const QString song = other.filePath(u"a.mp3"_s);
    QVERIFY(writeBytes(song, "keep me"));
    QString inTrash;
    const bool trashed = MoveToTrash(song, &inTrash);
    const QByteArray contents = readBytes(inTrash);
    platform::RemoveTree(nativePath(trash));
    QVERIFY(trashed);
    QCOMPARE(QFileInfo(inTrash).path(), trash + u"/files"_s);
    QCOMPARE(contents, "keep me"_ba);
}

void TrashTest::shellCommandsTrashOnAFreshAccount_data()
{
    QTest::addColumn<bool>("paste");
    QTest::newRow("delete") << false;
    QTest::newRow("paste over") << true;
}

void TrashTest::shellCommandsTrashOnAFreshAccount()
{
    QFETCH(bool, paste);
    qputenv("XDG_DATA_HOME", QFile::encodeName(at(u"data/share"_s)));
    QVERIFY(QDir(dir_->path()).mkpath(u"music"_s) && QDir(dir_->path()).mkpath(u"new"_s));
    QVERIFY(writeBytes(at(u"music/a.mp3"_s), "old") && writeBytes(at(u"new/a.mp3"_s), "new"));
    if (paste) {
        const auto replace = [](const QString&) {
            return platform::ReplaceChoice::Replace;
        };
        QVERIFY(platform::PasteItems({at(u"new/a.mp3"_s)}, false, at(u"music"_s), replace).ok());
        QCOMPARE(readBytes(at(u"music/a.mp3"_s)), "new"_ba);
    } else {
        QVERIFY(platform::TrashItems({at(u"music/a.mp3"_s)}));
        QVERIFY(!QFileInfo::exists(at(u"music/a.mp3"_s)));
    }
    QCOMPARE(readBytes(at(u"data/share/Trash/files/a.mp3"_s)), "old"_ba);
    QCOMPARE(entries(working_->path()), QStringList());
}

MP3T_TEST_GUILESS_MAIN(TrashTest)
#include "TrashTest.moc"
