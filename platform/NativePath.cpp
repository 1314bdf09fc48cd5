#include "platform/NativePath.h"

#include "platform/FileNameCodec.h"

#include <QDir>

#include <cstdlib>
#include <memory>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace platform {

std::string NativePath(const QString& path)
{
    return encodeFileName(path).toStdString();
}

QString EnvironmentPath(const char* variable)
{
    return decodeFileName(qgetenv(variable));
}

QString HomePath()
{
    const QString home = EnvironmentPath("HOME");
    return home.isEmpty() ? QDir::rootPath() : QDir::cleanPath(home);
}

QString WorkingFolder()
{
    // getcwd with a null buffer allocates as much as the path needs.
    const std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    return cwd ? decodeFileName(QByteArray(cwd.get())) : QString();
}

QString AbsolutePath(const QString& path)
{
    if (path.isEmpty() || QDir::isAbsolutePath(path))
        return QDir::cleanPath(path);
    return QDir::cleanPath(WorkingFolder() + u'/' + path);
}

QString CanonicalPath(const QString& path)
{
    const std::unique_ptr<char, decltype(&std::free)> resolved(
        ::realpath(NativePath(path).c_str(), nullptr), &std::free);
    return resolved ? decodeFileName(QByteArray(resolved.get())) : QString();
}

QUrl FileUrl(const QString& path)
{
    if (isUtf8Name(encodeFileName(path)))
        return QUrl::fromLocalFile(path);
    // QUrl keeps a percent-encoded byte that is not part of UTF-8 as it is.
    return QUrl::fromEncoded("file://" + encodeFileName(AbsolutePath(path)).toPercentEncoding("/"));
}

QString LocalFileOf(const QUrl& url)
{
    if (!url.isLocalFile())
        return {};
    const QByteArray native =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (isUtf8Name(native))
        return url.toLocalFile();
    const QString path = decodeFileName(native);
    // A host is kept as QUrl::toLocalFile keeps it: "//host/path".
    if (url.host().isEmpty())
        return path;
    return u"//"_s + url.host() + (path.startsWith(u'/') ? QString() : u"/"_s) + path;
}

} // namespace platform
