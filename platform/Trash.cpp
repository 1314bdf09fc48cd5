#include "platform/Trash.h"

#include "platform/FileNameCodec.h"
#include "platform/FileTree.h"
#include "platform/NativePath.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace platform {

namespace {

QString dataHome()
{
    const QString xdg = EnvironmentPath("XDG_DATA_HOME");
    // The base directory rules make a relative value invalid.
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    return QDir::cleanPath(HomePath() + u"/.local/share"_s);
}

bool isFolder(const std::string& path)
{
    struct ::stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Like mkdir -p, but what it makes is the user's alone (0700), as the data
// folder and the trash must be.
bool makePrivateFolders(const QString& path)
{
    const std::string p = NativePath(path);
    for (auto slash = p.find('/', 1);; slash = p.find('/', slash + 1)) {
        const std::string part = p.substr(0, slash);
        if (!isFolder(part) && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    return isFolder(p);
}

bool makeHomeTrash()
{
    const QString trash = HomeTrashPath();
    return makePrivateFolders(trash + u"/files"_s) && makePrivateFolders(trash + u"/info"_s);
}

// Where a trashed item may be put: the home trash, or the trash of the
// volume it is on.
QStringList trashFolders(const QString& volumeRoot)
{
    QStringList folders{HomeTrashPath() + u"/files"_s};
    if (!volumeRoot.isEmpty()) {
        const QString uid = QString::number(::getuid());
        const QDir top(volumeRoot);
        folders << top.filePath(u".Trash/"_s + uid + u"/files"_s)
                << top.filePath(u".Trash-"_s + uid + u"/files"_s);
    }
    return folders;
}

bool isInTrash(const QString& item, const QStringList& trashFolders)
{
    const QString folder = QFileInfo(QFileInfo(item).absolutePath()).canonicalFilePath();
    return !folder.isEmpty() &&
           std::any_of(trashFolders.begin(), trashFolders.end(), [&](const QString& trash) {
               return QFileInfo(trash).canonicalFilePath() == folder;
           });
}

// The .trashinfo written beside a stray item, but only when it names the
// item's old place (absolute, or relative to its volume).
QString strayInfoFile(const QString& stray, const QString& source, const QString& volumeRoot)
{
    const QFileInfo item(stray);
    const QString path =
        QDir::cleanPath(item.absolutePath() + u"/../info/"_s + item.fileName() + u".trashinfo"_s);
    QFile file(path);
    if (QFileInfo(path).isSymLink() || !file.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> lines = file.read(64 * 1024).split('\n');
    if (lines.value(0).trimmed() != "[Trash Info]")
        return {};
    for (const QByteArray& line : lines) {
        if (!line.startsWith("Path="))
            continue;
        const QString named =
            QString::fromUtf8(QByteArray::fromPercentEncoding(line.mid(5).trimmed()));
        const bool same = named == source ||
                          (!volumeRoot.isEmpty() && QDir(volumeRoot).filePath(named) == source);
        return same ? path : QString();
    }
    return {};
}

// A trash reported success with the item outside every trash: back to where
// it was (never over anything), and the .trashinfo written for it goes too.
bool bringBack(const QString& stray, const QString& back, const QString& source,
               const QString& volumeRoot)
{
    const QString info = strayInfoFile(stray, source, volumeRoot);
    if (!RenameNoReplace(NativePath(QFileInfo(stray).absoluteFilePath()), NativePath(back))) {
        qWarning("%s did not reach the trash and could not be put back; it is at %s",
                 qUtf8Printable(source), qUtf8Printable(QFileInfo(stray).absoluteFilePath()));
        return false;
    }
    if (!info.isEmpty())
        QFile::remove(info);
    return true;
}

// Qt 6.4 trashes into "files/" and "info/" of the working folder when it finds
// no home trash. Those it makes there go again once they are empty.
class WorkingFolderTrash {
public:
    WorkingFolderTrash()
        : dir_(QDir::current()), hadFiles_(dir_.exists(u"files"_s)),
          hadInfo_(dir_.exists(u"info"_s))
    {
    }
    void removeNewEmptyFolders() const
    {
        if (!hadFiles_)
            dir_.rmdir(u"files"_s);
        if (!hadInfo_)
            dir_.rmdir(u"info"_s);
    }

private:
    QDir dir_;
    bool hadFiles_;
    bool hadInfo_;
};

// ---- the trash move done here, for names Qt cannot pass to the kernel ----

std::string parentOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

// A folder of this user, not a link: what a trash on a shared volume must be.
bool isOwnFolder(const std::string& path)
{
    struct ::stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

bool makeTrashFolders(const std::string& trash)
{
    for (const std::string& folder : {trash, trash + "/files", trash + "/info"}) {
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (!isOwnFolder(folder))
            return false;
    }
    return true;
}

// The highest folder above the item that is still on the item's volume.
std::string volumeTop(const std::string& item, dev_t device)
{
    std::string top = item;
    while (top != "/") {
        const std::string parent = parentOf(top);
        struct ::stat st {};
        if (::stat(parent.c_str(), &st) != 0 || st.st_dev != device)
            break;
        top = parent;
    }
    return top;
}

// The home trash for an item on its volume, else the volume's own: the
// shared "$top/.Trash/$uid" when the administrator made "$top/.Trash" (a
// sticky folder, not a link), otherwise "$top/.Trash-$uid". Empty when
// there is none to be had.
std::string trashFor(const std::string& item, dev_t device)
{
    const std::string home = NativePath(HomeTrashPath());
    struct ::stat st {};
    if (::stat((home + "/files").c_str(), &st) == 0 && st.st_dev == device)
        return home;
    const std::string top = volumeTop(item, device);
    if (top == item)
        return {}; // the item is the volume itself
    const std::string base = top == "/" ? std::string() : top;
    const std::string uid = std::to_string(::getuid());
    if (::lstat((base + "/.Trash").c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
        (st.st_mode & S_ISVTX) && makeTrashFolders(base + "/.Trash/" + uid))
        return base + "/.Trash/" + uid;
    return makeTrashFolders(base + "/.Trash-" + uid) ? base + "/.Trash-" + uid : std::string();
}

// "a.mp3", then "a.2.mp3", "a.3.mp3", ...
std::string trashedName(const std::string& name, int n)
{
    if (n == 1)
        return name;
    const auto dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0)
        return name + '.' + std::to_string(n);
    return name.substr(0, dot) + '.' + std::to_string(n) + name.substr(dot);
}

QByteArray trashInfo(const std::string& source)
{
    const QByteArray when =
        QDateTime::currentDateTime().toString(u"yyyy-MM-dd'T'hh:mm:ss"_s).toLatin1();
    return "[Trash Info]\nPath=" + QByteArray::fromStdString(source).toPercentEncoding("/") +
           "\nDeletionDate=" + when + '\n';
}

// The info file is made first and never over another one: it reserves the
// name in the trash. errno is EEXIST when the name is taken.
bool writeInfo(const std::string& path, const QByteArray& text)
{
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!fd.valid())
        return false;
    if (WriteAll(fd.get(), text.constData(), std::size_t(text.size())) && fd.close())
        return true;
    ::unlink(path.c_str());
    errno = EIO;
    return false;
}

// The freedesktop.org trash move: the info file with the item's old place,
// then a rename that replaces nothing; when the rename fails the info file
// goes again. `back` is the path as the kernel resolves it, `source` as the
// trash records it.
bool trashHere(const std::string& back, const std::string& source, QString* pathInTrash)
{
    struct ::stat st {};
    if (::lstat(back.c_str(), &st) != 0)
        return false;
    const std::string trash = trashFor(source, st.st_dev);
    const std::string name = source.substr(source.find_last_of('/') + 1);
    if (trash.empty() || name.empty())
        return false;
    const QByteArray info = trashInfo(source);
    for (int n = 1; n <= 1000; ++n) {
        const std::string unique = trashedName(name, n);
        const std::string target = trash + "/files/" + unique;
        const std::string infoPath = trash + "/info/" + unique + ".trashinfo";
        if (PathExists(target))
            continue;
        if (!writeInfo(infoPath, info)) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        if (RenameNoReplace(back, target)) {
            *pathInTrash = decodeFileName(QByteArray::fromStdString(target));
            return true;
        }
        const int error = errno;
        ::unlink(infoPath.c_str());
        if (error != EEXIST)
            return false;
    }
    return false;
}

// The path as the kernel resolves it: a relative one from the working
// folder. Empty when the working folder cannot be read, rather than a guess.
QString kernelPath(const QString& path)
{
    if (QDir::isAbsolutePath(path))
        return path;
    const QString folder = WorkingFolder();
    return folder.isEmpty() ? QString() : folder + u'/' + path;
}

} // namespace

QString HomeTrashPath()
{
    return dataHome() + u"/Trash"_s;
}

bool MoveToTrash(const QString& path, QString* pathInTrash)
{
    const QString back = kernelPath(path);
    if (path.isEmpty() || back.isEmpty() || isUtf8Name(encodeFileName(back))) {
        return MoveToTrash(path, pathInTrash, [](const QString& item, QString* trashed) {
            return QFile::moveToTrash(item, trashed);
        });
    }
    // Qt passes every name to the kernel as UTF-8 and cannot reach this one.
    if (pathInTrash)
        pathInTrash->clear();
    QString trashed;
    if (!makeHomeTrash() ||
        !trashHere(NativePath(back), NativePath(QDir::cleanPath(back)), &trashed))
        return false;
    if (pathInTrash)
        *pathInTrash = trashed;
    return true;
}

bool MoveToTrash(const QString& path, QString* pathInTrash, const TrashMover& mover)
{
    if (pathInTrash)
        pathInTrash->clear();
    // `back` is the path as the kernel resolves it; `source` as a trash records it.
    const QString back = kernelPath(path);
    if (path.isEmpty() || back.isEmpty() || !makeHomeTrash())
        return false;
    const QString source = QDir::cleanPath(back);
    const QString volumeRoot = QStorageInfo(source).rootPath();
    const QStringList folders = trashFolders(volumeRoot);
    const WorkingFolderTrash workingFolder;
    QString trashed;
    const bool moved = mover(path, &trashed);
    if (moved && !trashed.isEmpty() && isInTrash(trashed, folders)) {
        if (pathInTrash)
            *pathInTrash = QFileInfo(trashed).absoluteFilePath();
        return true;
    }
    if (!moved || (!trashed.isEmpty() && bringBack(trashed, back, source, volumeRoot)))
        workingFolder.removeNewEmptyFolders();
    return false;
}

} // namespace platform
