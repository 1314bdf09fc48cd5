#include "platform/FileTypes.h"

#include <QHash>
#include <QMimeDatabase>

using namespace Qt::StringLiterals;

namespace platform {

namespace {

struct FileType {
    QMimeType type;
    QString name;
};

FileType lookUp(const QString& fileName)
{
    static QHash<QString, FileType> byExtension;
    const QMimeDatabase db;
    const qsizetype dot = fileName.lastIndexOf(u'.');
    // Only names with one dot (after the first character) share an answer:
    // "a.tar.gz" and "Makefile" need the whole name.
    const bool oneExtension = dot > 0 && fileName.indexOf(u'.', 1) == dot;
    if (!oneExtension) {
        const QMimeType type = db.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
        return {type, type.comment()};
    }
    const QString extension = fileName.mid(dot + 1).toLower();
    auto it = byExtension.constFind(extension);
    if (it == byExtension.constEnd()) {
        const QMimeType type = db.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
        it = byExtension.insert(extension, {type, type.comment()});
    }
    return *it;
}

} // namespace

QMimeType FileMimeType(const QString& fileName)
{
    return lookUp(fileName).type;
}

QString FileTypeName(const QString& fileName)
{
    return lookUp(fileName).name;
}

QMimeType DirectoryMimeType()
{
    return QMimeDatabase().mimeTypeForName(u"inode/directory"_s);
}

QMimeType BrokenLinkMimeType()
{
    return QMimeDatabase().mimeTypeForName(u"inode/symlink"_s);
}

} // namespace platform
