#include "platform/ShellNamespace.h"
#include "platform/NamePattern.h"
#include "platform/ShellItem.h"
#include "platform/ShellVolumes.h"
#include "platform/SystemIcons.h"

#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace platform;

namespace {

void makeFile(const QString& path, qint64 size = 0)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(QByteArray(size, 'x')), size);
}

// The folder's own order, as the file system hands it out.
QStringList readdirOrder(const QString& path)
{
    QStringList names;
    DIR* dir = ::opendir(QFile::encodeName(path).constData());
    while (const dirent* e = dir ? ::readdir(dir) : nullptr) {
        if (qstrcmp(e->d_name, ".") != 0 && qstrcmp(e->d_name, "..") != 0)
            names.append(QFile::decodeName(e->d_name));
    }
    if (dir)
        ::closedir(dir);
    return names;
}

} // namespace

class ShellNamespaceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void enumeratesInTheFoldersOwnOrder();
    void attributes_data();
    void attributes();
    void readOnlyFolderOffersNoMoveRenameDelete();
    void virtualFolders();
    void parse_data();
    void parse();
    void volumeRoots_data();
    void volumeRoots();
    void naturalOrder_data();
    void naturalOrder();
    void sizeColumn_data();
    void sizeColumn();
    void detailColumns();
    void iconsPerType();
    void specialFolders();
    void renameNeverReplaces();
    void patterns_data();
    void patterns();

private:
    std::optional<ShellFolder> bindTree();
    QTemporaryDir tree_;
};

void ShellNamespaceTest::init()
{
    QDir dir(tree_.path());
    QDir(tree_.path()).removeRecursively();
    QVERIFY(QDir().mkpath(tree_.path()));
    QVERIFY(dir.mkdir(u"Music"_s));
    QVERIFY(dir.mkdir(u".cache"_s));
    makeFile(dir.filePath(u"song.mp3"_s), 1536);
    makeFile(dir.filePath(u".hidden"_s));
    QVERIFY(QFile::link(u"song.mp3"_s, dir.filePath(u"link.mp3"_s)));
    QVERIFY(QFile::link(u"Music"_s, dir.filePath(u"MusicLink"_s)));
    QVERIFY(QFile::link(u"missing"_s, dir.filePath(u"dangling"_s)));
    makeFile(dir.filePath(u"Music/track.mp3"_s));
}

std::optional<ShellFolder> ShellNamespaceTest::bindTree()
{
    return ShellFolder::bind(ParsePath(tree_.path()));
}

void ShellNamespaceTest::enumeratesInTheFoldersOwnOrder()
{
    const auto folder = bindTree();
    QVERIFY(folder);
    QCOMPARE(folder->path(), tree_.path());
    QStringList names;
    ShellEnumerator items = folder->enumObjects();
    QVERIFY(items.isValid());
    for (ItemIdList item = items.next(); !item.isNull(); item = items.next()) {
        QCOMPARE(item.count(), 1);
        names.append(folder->displayNameOf(item));
        QCOMPARE(folder->pathOf(item), JoinPath(tree_.path(), names.last()));
    }
    QCOMPARE(names, readdirOrder(tree_.path()));
    QCOMPARE(names.size(), 7);
}

void ShellNamespaceTest::attributes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<quint32>("expected");
    const quint32 fs = SFGAO_FILESYSTEM | SFGAO_CANCOPY | SFGAO_CANLINK | SFGAO_CANMOVE |
                       SFGAO_CANRENAME | SFGAO_CANDELETE;
    const quint32 folder = SFGAO_FOLDER | SFGAO_FILESYSANCESTOR;
    QTest::newRow("file") << u"song.mp3"_s << fs;
    QTest::newRow("folder with a file") << u"Music"_s << (fs | folder);
    QTest::newRow("hidden folder") << u".cache"_s << (fs | folder | SFGAO_GHOSTED);
    QTest::newRow("hidden file") << u".hidden"_s << (fs | SFGAO_GHOSTED);
    QTest::newRow("link to a file") << u"link.mp3"_s << (fs | SFGAO_LINK);
    QTest::newRow("link to a folder") << u"MusicLink"_s << (fs | folder | SFGAO_LINK);
    QTest::newRow("dangling link") << u"dangling"_s << (fs | SFGAO_LINK);
}

void ShellNamespaceTest::attributes()
{
    QFETCH(QString, name);
    QFETCH(quint32, expected);
    const auto folder = bindTree();
    QVERIFY(folder);
    const ItemIdList item = folder->parseDisplayName(name);
    QVERIFY(!item.isNull());
    QCOMPARE(folder->attributesOf(item, 0xFFFFFFFF), expected);
    QCOMPARE(folder->attributesOf(item, SFGAO_FOLDER), expected & SFGAO_FOLDER);
}

void ShellNamespaceTest::readOnlyFolderOffersNoMoveRenameDelete()
{
    QDir dir(tree_.path());
    QVERIFY(dir.mkdir(u"ro"_s));
    makeFile(dir.filePath(u"ro/a.mp3"_s));
    QVERIFY(dir.mkdir(u"ro/sub"_s));
    QVERIFY(::chmod(QFile::encodeName(dir.filePath(u"ro"_s)).constData(), 0555) == 0);
    const auto folder = ShellFolder::bind(ParsePath(dir.filePath(u"ro"_s)));
    QVERIFY(folder);
    const ItemIdList item = folder->parseDisplayName(u"a.mp3"_s);
    QCOMPARE(folder->attributesOf(item, SFGAO_CANMOVE | SFGAO_CANRENAME | SFGAO_CANDELETE), 0u);
    QCOMPARE(folder->attributesOf(item, SFGAO_CANCOPY), quint32(SFGAO_CANCOPY));
    QVERIFY(folder->setNameOf(item, u"b.mp3"_s).isNull());
    QVERIFY(QFile::exists(dir.filePath(u"ro/a.mp3"_s)));
    // has sub-folders is asked of the child itself
    const auto parent = bindTree();
    QVERIFY(parent->attributesOf(parent->parseDisplayName(u"ro"_s), SFGAO_HASSUBFOLDER));
    QVERIFY(!parent->attributesOf(parent->parseDisplayName(u"Music"_s), SFGAO_HASSUBFOLDER));
    ::chmod(QFile::encodeName(dir.filePath(u"ro"_s)).constData(), 0755);
}

void ShellNamespaceTest::virtualFolders()
{
    const ShellFolder desktop = ShellFolder::desktop();
    QVERIFY(desktop.isVirtual());
    QVERIFY(desktop.path().isEmpty());
    ShellEnumerator items = desktop.enumObjects();
    const ItemIdList computer = items.next();
    const ItemIdList home = items.next();
    QVERIFY(items.next().isNull());
    QCOMPARE(desktop.displayNameOf(computer), u"计算机"_s);
    QVERIFY(desktop.pathOf(computer).isEmpty());
    QCOMPARE(desktop.attributesOf(computer, SFGAO_FILESYSTEM | SFGAO_FOLDER),
             quint32(SFGAO_FOLDER));
    QCOMPARE(desktop.pathOf(home), QDir::homePath());
    QCOMPARE(computer, SHGetSpecialFolderLocation(CSIDL_DRIVES));

    const auto drives = ShellFolder::bind(computer);
    QVERIFY(drives && drives->isVirtual());
    ShellEnumerator volumes = drives->enumObjects();
    const ItemIdList root = volumes.next();
    QVERIFY(drives->isVolume(root));
    QCOMPARE(drives->pathOf(root), u"/"_s);
    QCOMPARE(drives->displayNameOf(root), u"文件系统"_s);
    QCOMPARE(computer.joined(root), ParsePath(u"/"_s));
    QCOMPARE(desktop.compareIds(0, computer, home), -1);
}

void ShellNamespaceTest::parse_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<int>("items"); // 0: no list
    QTest::newRow("name") << u"song.mp3"_s << 1;
    QTest::newRow("sub path") << u"Music/track.mp3"_s << 2;
    QTest::newRow("through a folder link") << u"MusicLink/track.mp3"_s << 2;
    QTest::newRow("dangling link") << u"dangling"_s << 1;
    QTest::newRow("missing") << u"nothing.mp3"_s << 0;
    QTest::newRow("through a file") << u"song.mp3/x"_s << 0;
    QTest::newRow("absolute") << u"/tmp"_s << 0;
    QTest::newRow("empty") << QString() << 0;
}

void ShellNamespaceTest::parse()
{
    QFETCH(QString, relative);
    QFETCH(int, items);
    const auto folder = bindTree();
    const ItemIdList list = folder->parseDisplayName(relative);
    QCOMPARE(list.count(), items);
    QCOMPARE(list.isNull(), items == 0);
    if (items == 0)
        return;
    QCOMPARE(folder->pathOf(list), JoinPath(tree_.path(), relative));
    const ItemIdList absolute = ParsePath(JoinPath(tree_.path(), relative) + u"/"_s);
    // Items carry their times, and the temporary folder's parents change while
    // other programs run: the lists are compared by where they lead.
    QCOMPARE(SHGetPathFromIDListA(absolute), SHGetPathFromIDListA(folder->idList().joined(list)));
}

void ShellNamespaceTest::volumeRoots_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("root");
    const QStringList roots{u"/"_s, u"/media/u/USB"_s, u"/media/u/USB2"_s, u"/mnt/disk"_s};
    QTest::newRow("root") << u"/"_s << u"/"_s;
    QTest::newRow("plain folder") << u"/home/u/Music"_s << u"/"_s;
    QTest::newRow("volume itself") << u"/media/u/USB"_s << u"/media/u/USB"_s;
    QTest::newRow("inside a volume") << u"/media/u/USB2/a"_s << u"/media/u/USB2"_s;
    QTest::newRow("name that only starts alike") << u"/media/u/USB3"_s << u"/"_s;
    QTest::newRow("above a volume") << u"/media/u"_s << u"/"_s;
    QVERIFY(IsRemovableMountPoint(u"/run/media/u/CARD"_s));
    QVERIFY(!IsRemovableMountPoint(u"/mnt"_s));
    QVERIFY(!IsRemovableMountPoint(u"/boot"_s));
}

void ShellNamespaceTest::volumeRoots()
{
    QFETCH(QString, path);
    QFETCH(QString, root);
    const QStringList roots{u"/"_s, u"/media/u/USB"_s, u"/media/u/USB2"_s, u"/mnt/disk"_s};
    QCOMPARE(VolumeRootFor(path, roots), root);
}

void ShellNamespaceTest::naturalOrder_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("numbers by value") << u"track2.mp3"_s << u"track10.mp3"_s;
    QTest::newRow("case ignored") << u"alpha.mp3"_s << u"Beta.mp3"_s;
    QTest::newRow("folders first") << u"zzz"_s << u"aaa.mp3"_s;
    QTest::newRow("same letters, case decides") << u"ABC.mp3"_s << u"abc.mp3"_s;
}

void ShellNamespaceTest::naturalOrder()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QDir dir(tree_.path());
    if (!first.endsWith(u".mp3"_s))
        QVERIFY(dir.mkdir(first));
    else
        makeFile(dir.filePath(first));
    makeFile(dir.filePath(second));
    const auto folder = bindTree();
    const ItemIdList a = folder->parseDisplayName(first);
    const ItemIdList b = folder->parseDisplayName(second);
    QCOMPARE(folder->compareIds(0, a, b), -1);
    QCOMPARE(folder->compareIds(0, b, a), 1);
    QCOMPARE(folder->compareIds(0, a, a.copy()), 0);
}

void ShellNamespaceTest::sizeColumn_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty file") << qint64(0) << u"0 KB"_s;
    QTest::newRow("one byte") << qint64(1) << u"1 KB"_s;
    QTest::newRow("1023 bytes") << qint64(1023) << u"1 KB"_s;
    QTest::newRow("1535 bytes") << qint64(1535) << u"1 KB"_s;
    QTest::newRow("1536 bytes") << qint64(1536) << u"2 KB"_s;
    QTest::newRow("thousands") << qint64(2'000'000'000) << u"1,953,125 KB"_s;
    QTest::newRow("beyond 32 bits") << qint64(5) * 1024 * 1024 * 1024 << u"5,242,880 KB"_s;
}

void ShellNamespaceTest::sizeColumn()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(FormatSizeKB(bytes), text);
}

void ShellNamespaceTest::detailColumns()
{
    const auto folder = bindTree();
    QCOMPARE(ShellFolder::detailHeader(3), u"Changed"_s);
    QVERIFY(ShellFolder::detailHeader(4).isEmpty());
    QCOMPARE(ShellFolder::columnInfo(1).alignment, Qt::Alignment(Qt::AlignRight));
    QCOMPARE(folder->detailOf(folder->parseDisplayName(u"Music"_s), 2), u"folder"_s);

    struct ::timespec times[2] = {{0, UTIME_OMIT}, {1700000000, 0}}; // 2023-11-14 22:13:20 UTC
    const QByteArray path = QFile::encodeName(JoinPath(tree_.path(), u"song.mp3"_s));
    QVERIFY(::utimensat(AT_FDCWD, path.constData(), times, 0) == 0);
    QCOMPARE(folder->detailOf(folder->parseDisplayName(u"song.mp3"_s), 3),
             u"14 Nov 2023 22:13:20"_s);
    times[1] = {0, 0};
    QVERIFY(::utimensat(AT_FDCWD, path.constData(), times, 0) == 0);
    QVERIFY(folder->detailOf(folder->parseDisplayName(u"song.mp3"_s), 3).isEmpty());
}

void ShellNamespaceTest::iconsPerType()
{
    QDir dir(tree_.path());
    makeFile(dir.filePath(u"other.MP3"_s));
    const auto folder = bindTree();
    const ItemIdList song = folder->parseDisplayName(u"song.mp3"_s);
    const int mp3 = folder->iconIndexOf(song, false);
    QCOMPARE(folder->iconIndexOf(folder->parseDisplayName(u"other.MP3"_s), false), mp3);
    QCOMPARE(SystemIconKey(mp3), u"mime:audio/mpeg"_s);
    const ItemIdList music = folder->parseDisplayName(u"Music"_s);
    QCOMPARE(SystemIconKey(folder->iconIndexOf(music, false)), u"folder"_s);
    QCOMPARE(SystemIconKey(folder->iconIndexOf(music, true)), u"folder-open"_s);
    QCOMPARE(folder->iconIndexOf(ItemIdList::fromItem("junk"), false), -1);
}

void ShellNamespaceTest::specialFolders()
{
    const QString documents = QDir::home().filePath(u"Documents"_s);
    QDir(documents).removeRecursively();
    QVERIFY(SHGetSpecialFolderLocation(CSIDL_PERSONAL).isNull());
    QVERIFY(QDir().mkpath(documents));
    const ItemIdList personal = SHGetSpecialFolderLocation(CSIDL_PERSONAL);
    QCOMPARE(SHGetPathFromIDListA(personal), documents);
    QVERIFY(SHGetSpecialFolderLocation(CSIDL_DESKTOPDIRECTORY).isNull());
    QCOMPARE(SHGetSpecialFolderLocation(CSIDL_DESKTOP), ItemIdList::empty());
    QVERIFY(SHGetSpecialFolderLocation(10).isNull()); // the recycle bin has no folder here

    // Through the home folder on the desktop it is still the same place.
    const ItemIdList home = ShellItem::home(QDir::homePath()).toIdList();
    const auto homeFolder = ShellFolder::bind(home);
    QVERIFY(homeFolder);
    const ItemIdList viaHome = home.joined(homeFolder->parseDisplayName(u"Documents"_s));
    QVERIFY(!(viaHome == personal));
    QCOMPARE(CompareAbsoluteIDs(viaHome, personal), 0);
}

void ShellNamespaceTest::renameNeverReplaces()
{
    QDir dir(tree_.path());
    makeFile(dir.filePath(u"taken.mp3"_s), 7);
    const auto folder = bindTree();
    const ItemIdList song = folder->parseDisplayName(u"song.mp3"_s);
    QVERIFY(folder->setNameOf(song, u"taken.mp3"_s).isNull());
    QCOMPARE(QFileInfo(dir.filePath(u"taken.mp3"_s)).size(), 7);
    for (const QString& bad : {QString(), u".."_s, u"a/b"_s, QString(256, u'x')})
        QVERIFY(folder->setNameOf(song, bad).isNull());
    const ItemIdList renamed = folder->setNameOf(song, u"新歌.mp3"_s);
    QCOMPARE(folder->displayNameOf(renamed), u"新歌.mp3"_s);
    QVERIFY(QFile::exists(dir.filePath(u"新歌.mp3"_s)));
    QVERIFY(!QFile::exists(dir.filePath(u"song.mp3"_s)));
}

void ShellNamespaceTest::patterns_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matches");
    QTest::newRow("star alone") << u"anything.at.all"_s << u"*"_s << true;
    QTest::newRow("extension, other case") << u"SONG.MP3"_s << u"*.mp3"_s << true;
    QTest::newRow("longer extension") << u"song.mp3.bak"_s << u"*.mp3"_s << false;
    QTest::newRow("star matches nothing") << u".mp3"_s << u"*.mp3"_s << true;
    QTest::newRow("question mark") << u"a1.wav"_s << u"a?.wav"_s << true;
    QTest::newRow("question mark needs one") << u"a.wav"_s << u"a?.wav"_s << false;
    QTest::newRow("two stars") << u"01 - Intro.mp3"_s << u"*-*.mp3"_s << true;
    QTest::newRow("star must back up") << u"abcabd"_s << u"*abd"_s << true;
    QTest::newRow("whole name") << u"xsong.mp3"_s << u"song.mp3"_s << false;
    QTest::newRow("chinese") << u"歌曲.MP3"_s << u"歌*.mp3"_s << true;
    QTest::newRow("empty pattern") << u"a"_s << QString() << false;
    QTest::newRow("many stars, no match") << QString(60, u'a') << u"*a*a*a*a*a*a*a*b"_s << false;
}

void ShellNamespaceTest::patterns()
{
    QFETCH(QString, name);
    QFETCH(QString, pattern);
    QFETCH(bool, matches);
    QCOMPARE(MatchesPattern(name, pattern), matches);
}

MP3T_TEST_GUILESS_MAIN(ShellNamespaceTest)
#include "ShellNamespaceTest.moc"
