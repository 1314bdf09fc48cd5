#include "tests/support/TemporaryFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

namespace {

bool removeEntry(int parent, const char* name);

// Removes everything in the folder open at `fd`, which it closes.
bool removeContents(int fd)
{
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    bool ok = true;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            ok = removeEntry(::dirfd(dir), entry->d_name) && ok;
    }
    ::closedir(dir);
    return ok;
}

bool removeEntry(int parent, const char* name)
{
    struct ::stat st {};
    if (::fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode))
        return ::unlinkat(parent, name, 0) == 0;
    ::fchmodat(parent, name, S_IRWXU, 0);
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const bool emptied = fd >= 0 && removeContents(fd);
    return ::unlinkat(parent, name, AT_REMOVEDIR) == 0 && emptied;
}

QString defaultTemplate()
{
    QString program = QCoreApplication::applicationName();
    if (program.isEmpty())
        program = QStringLiteral("mp3t-test");
    return QDir::tempPath() + u'/' + program + QStringLiteral("-XXXXXX");
}

} // namespace

bool removeTree(const QByteArray& path)
{
    return removeEntry(AT_FDCWD, path.constData());
}

TemporaryFolder::TemporaryFolder() : TemporaryFolder(defaultTemplate()) {}

TemporaryFolder::TemporaryFolder(const QString& templatePath)
{
    QByteArray native = QFile::encodeName(templatePath);
    if (::mkdtemp(native.data()))
        native_ = native;
}

TemporaryFolder::~TemporaryFolder()
{
    if (isValid())
        removeTree(native_);
}

QString TemporaryFolder::path() const
{
    return QFile::decodeName(native_);
}

QString TemporaryFolder::filePath(const QString& name) const
{
    return path() + u'/' + name;
}

} // namespace testsupport
