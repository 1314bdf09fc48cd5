#include "platform/FileTree.h"

#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;
using platform::RenameCalls;
using platform::RenameNoReplace;
using testsupport::nativePath;
using testsupport::readBytes;
using testsupport::writeBytes;

namespace {

// One folder of a file system this machine does not have: one whose
// renameat2 or link answers with an error (NFS, FUSE, vfat), or that ignores
// case. Names are whole paths; plain rename() replaces as the real one does.
class FakeFileSystem {
public:
    int renameat2Error = 0; // 0: the call works
    int linkError = 0;
    bool ignoresCase = false;
    std::string unlinkRefused; // unlink of this name fails with EACCES
    int linkCalls = 0;
    int renameCalls = 0;
    int replaced = 0;

    void add(const std::string& name, bool folder)
    {
        entries_.push_back({name, nextInode_++, folder});
    }
    ino_t inode(const std::string& name) const
    {
        const auto e = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const Entry& x) { return x.name == name; });
        return e == entries_.end() ? 0 : e->inode;
    }
    QStringList names() const
    {
        QStringList list;
        for (const Entry& e : entries_)
            list << QString::fromStdString(e.name);
        list.sort();
        return list;
    }
    RenameCalls calls()
    {
        return {
            [this](const char* from, const char* to) { return renameat2(from, to); },
            [this](const char* from, const char* to) { return link(from, to); },
            [this](const char* path) { return unlink(path); },
            [this](const char* from, const char* to) { return rename(from, to); },
            [this](const char* path, struct ::stat* st) { return lstat(path, st); },
        };
    }

private:
    struct Entry {
        std::string name;
        ino_t inode;
        bool folder;
    };

    static int fail(int error)
    {
        errno = error;
        return -1;
    }
    bool same(const std::string& a, const std::string& b) const
    {
        return ignoresCase ? ::strcasecmp(a.c_str(), b.c_str()) == 0 : a == b;
    }
    std::vector<Entry>::iterator find(const std::string& name)
    {
        return std::find_if(entries_.begin(), entries_.end(),
                            [&](const Entry& e) { return same(e.name, name); });
    }
    int renameat2(const std::string& from, const std::string& to)
    {
        if (renameat2Error)
            return fail(renameat2Error);
        const auto f = find(from);
        if (f == entries_.end())
            return fail(ENOENT);
        if (find(to) != entries_.end())
            return fail(EEXIST); // with case ignored, the source itself too
        f->name = to;
        return 0;
    }
    int link(const std::string& from, const std::string& to)
    {
        ++linkCalls;
        if (linkError)
            return fail(linkError);
        const auto f = find(from);
        if (f == entries_.end())
            return fail(ENOENT);
        if (f->folder)
            return fail(EPERM);
        if (find(to) != entries_.end())
            return fail(EEXIST);
        entries_.push_back({to, f->inode, false});
        return 0;
    }
    int unlink(const std::string& path)
    {
        const auto e = find(path);
        if (e == entries_.end())
            return fail(ENOENT);
        if (e->folder)
            return fail(EISDIR);
        if (path == unlinkRefused)
            return fail(EACCES);
        entries_.erase(e);
        return 0;
    }
    int rename(const std::string& from, const std::string& to)
    {
        ++renameCalls;
        auto f = find(from);
        if (f == entries_.end())
            return fail(ENOENT);
        const auto t = find(to);
        if (t != entries_.end() && t->inode == f->inode)
            return 0; // two names of one file: rename() does nothing
        if (t != entries_.end()) {
            ++replaced;
            entries_.erase(t);
            f = find(from);
        }
        f->name = to;
        return 0;
    }
    int lstat(const std::string& path, struct ::stat* st)
    {
        const auto e = find(path);
        if (e == entries_.end())
            return fail(ENOENT);
        *st = {};
        st->st_dev = 1;
        st->st_ino = e->inode;
        st->st_mode = e->folder ? S_IFDIR | 0755 : S_IFREG | 0644;
        return 0;
    }

    std::vector<Entry> entries_;
    ino_t nextInode_ = 100;
};

} // namespace

class RenameNoReplaceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fallbacks_data();
    void fallbacks();
    void errorsArePassedOn_data();
    void errorsArePassedOn();
    void twoNamesOfOneFileStayAsTheyWere();
};

void RenameNoReplaceTest::fallbacks_data()
{
    QTest::addColumn<int>("renameat2Error");
    QTest::addColumn<int>("linkError");
    QTest::addColumn<bool>("ignoresCase");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<QString>("existing"); // another item already there
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("renamed");
    QTest::addColumn<QStringList>("after");

    const QStringList moved{u"b.mp3"_s};
    const QStringList kept{u"a.mp3"_s, u"b.mp3"_s};
    // NFS answers EINVAL, some FUSE file systems ENOSYS.
    QTest::newRow("NFS: linked, then unlinked")
        << EINVAL << 0 << false << false << QString() << u"b.mp3"_s << true << moved;
    QTest::newRow("NFS: target kept")
        << EINVAL << 0 << false << false << u"b.mp3"_s << u"b.mp3"_s << false << kept;
    QTest::newRow("FUSE, no links: checked rename")
        << ENOSYS << EPERM << false << false << QString() << u"b.mp3"_s << true << moved;
    QTest::newRow("FUSE, no links: target kept")
        << ENOSYS << EPERM << false << false << u"b.mp3"_s << u"b.mp3"_s << false << kept;
    QTest::newRow("NFS: a folder")
        << EINVAL << 0 << false << true << QString() << u"b.mp3"_s << true << moved;
    // vfat and exfat ignore case.
    QTest::newRow("vfat: case change")
        << 0 << 0 << true << false << QString() << u"a.MP3"_s << true << QStringList{u"a.MP3"_s};
    QTest::newRow("vfat, links: case change") << EINVAL << 0 << true << false << QString()
                                              << u"A.mp3"_s << true << QStringList{u"A.mp3"_s};
    QTest::newRow("vfat over FUSE: case change of a folder")
        << EINVAL << EPERM << true << true << QString() << u"A.MP3"_s << true
        << QStringList{u"A.MP3"_s};
    QTest::newRow("vfat: another file in other case kept")
        << 0 << 0 << true << false << u"B.mp3"_s << u"b.mp3"_s << false
        << QStringList{u"B.mp3"_s, u"a.mp3"_s};
}

void RenameNoReplaceTest::fallbacks()
{
    QFETCH(int, renameat2Error);
    QFETCH(int, linkError);
    QFETCH(bool, ignoresCase);
    QFETCH(bool, folder);
    QFETCH(QString, existing);
    QFETCH(QString, to);
    QFETCH(bool, renamed);
    QFETCH(QStringList, after);

    FakeFileSystem fs;
    fs.renameat2Error = renameat2Error;
    fs.linkError = linkError;
    fs.ignoresCase = ignoresCase;
    fs.add("a.mp3", folder);
    const ino_t source = fs.inode("a.mp3");
    if (!existing.isEmpty())
        fs.add(existing.toStdString(), false);
    const ino_t other = fs.inode(existing.toStdString());

    errno = 0;
    QCOMPARE(RenameNoReplace("a.mp3", to.toStdString(), fs.calls()), renamed);
    if (!renamed)
        QCOMPARE(errno, EEXIST);
    QCOMPARE(fs.names(), after);
    QCOMPARE(fs.replaced, 0);
    QCOMPARE(fs.inode(renamed ? to.toStdString() : "a.mp3"), source);
    QCOMPARE(fs.inode(existing.toStdString()), other);
}

void RenameNoReplaceTest::errorsArePassedOn_data()
{
    QTest::addColumn<int>("renameat2Error");
    QTest::addColumn<int>("linkError");
    QTest::addColumn<bool>("unlinkRefused");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("linkCalls");
    QTest::addColumn<int>("renameCalls");
    // Moves across file systems copy when they see EXDEV.
    QTest::newRow("renameat2 across file systems") << EXDEV << 0 << false << EXDEV << 0 << 0;
    QTest::newRow("NFS across file systems") << EINVAL << EXDEV << false << EXDEV << 1 << 0;
    // The new name is taken away again: the file keeps only its old one.
    QTest::newRow("NFS, unlink refused") << EINVAL << 0 << true << EACCES << 1 << 0;
}

void RenameNoReplaceTest::errorsArePassedOn()
{
    QFETCH(int, renameat2Error);
    QFETCH(int, linkError);
    QFETCH(bool, unlinkRefused);
    QFETCH(int, error);
    QFETCH(int, linkCalls);
    QFETCH(int, renameCalls);
    FakeFileSystem fs;
    fs.renameat2Error = renameat2Error;
    fs.linkError = linkError;
    fs.unlinkRefused = unlinkRefused ? "a.mp3" : "";
    fs.add("a.mp3", false);
    QVERIFY(!RenameNoReplace("a.mp3", "b.mp3", fs.calls()));
    QCOMPARE(errno, error);
    QCOMPARE(fs.linkCalls, linkCalls);
    QCOMPARE(fs.renameCalls, renameCalls);
    QCOMPARE(fs.names(), QStringList{u"a.mp3"_s});
}

// On a file system that keeps case, two hard links that differ only in case
// look like a case change; the temporary step must be undone.
void RenameNoReplaceTest::twoNamesOfOneFileStayAsTheyWere()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString lower = dir.filePath(u"a.mp3"_s);
    const QString upper = dir.filePath(u"a.MP3"_s);
    QVERIFY(writeBytes(lower, "data"));
    QVERIFY(::link(nativePath(lower).c_str(), nativePath(upper).c_str()) == 0);

    QVERIFY(!RenameNoReplace(nativePath(lower), nativePath(upper)));
    QCOMPARE(errno, EEXIST);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             (QStringList{u"a.MP3"_s, u"a.mp3"_s}));
    QCOMPARE(readBytes(lower), "data"_ba);
}

MP3T_TEST_GUILESS_MAIN(RenameNoReplaceTest)
#include "RenameNoReplaceTest.moc"
