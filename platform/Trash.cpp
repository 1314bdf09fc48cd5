#include "platform/Trash.h"

#include "platform/FileTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>
#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace platform {

namespace {

std::string native(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString dataHome()
{
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    // The base directory rules make a relative value invalid.
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    return QDir::cleanPath(QDir::homePath() + u"/.local/share"_s);
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
    const std::string p = native(path);
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
    if (!RenameNoReplace(native(QFileInfo(stray).absoluteFilePath()), native(back))) {
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

} // namespace

QString HomeTrashPath()
{
    return dataHome() + u"/Trash"_s;
}

bool MoveToTrash(const QString& path, QString* pathInTrash)
{
    return MoveToTrash(path, pathInTrash, [](const QString& item, QString* trashed) {
        return QFile::moveToTrash(item, trashed);
    });
}

bool MoveToTrash(const QString& path, QString* pathInTrash, const TrashMover& mover)
{
    if (pathInTrash)
        pathInTrash->clear();
    if (path.isEmpty() || !makeHomeTrash())
        return false;
    // `back` is the path as the kernel resolves it; `source` as a trash records it.
    const QString back = QDir::isAbsolutePath(path) ? path : QDir::currentPath() + u'/' + path;
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
