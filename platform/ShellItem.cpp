#include "platform/ShellItem.h"

#include "platform/FileNameCodec.h"

#include <sys/stat.h>

namespace platform {

namespace {

// Entry payload: kind, flags, mode (u32), size (i64), modified (i64), name.
constexpr qsizetype entryHeader = 1 + 1 + 4 + 8 + 8;
constexpr quint8 flagDirectory = 0x01;
constexpr quint8 flagSymlink = 0x02;

void putLe(QByteArray& out, quint64 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

quint64 getLe(QByteArrayView in, qsizetype offset, int bytes)
{
    quint64 value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= quint64(quint8(in[offset + i])) << (8 * i);
    return value;
}

bool validName(QByteArrayView name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') &&
           !name.contains('\0');
}

bool validRoot(QByteArrayView path)
{
    return path.startsWith('/') && !path.contains('\0');
}

qint64 modifiedMs(const struct ::stat& st)
{
    return qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
}

} // namespace

QByteArray ShellItem::encode() const
{
    QByteArray out;
    out.append(char(kind));
    if (kind != ShellItemKind::Entry) {
        out.append(name);
        return out;
    }
    out.reserve(entryHeader + name.size());
    out.append(char((directory ? flagDirectory : 0) | (symlink ? flagSymlink : 0)));
    putLe(out, mode, 4);
    putLe(out, quint64(size), 8);
    putLe(out, quint64(modified), 8);
    out.append(name);
    return out;
}

std::optional<ShellItem> ShellItem::decode(QByteArrayView payload)
{
    if (payload.isEmpty())
        return std::nullopt;
    ShellItem item;
    item.kind = ShellItemKind(quint8(payload[0]));
    switch (item.kind) {
    case ShellItemKind::Computer:
        return payload.size() == 1 ? std::optional(item) : std::nullopt;
    case ShellItemKind::Home:
    case ShellItemKind::Volume:
        if (!validRoot(payload.sliced(1)))
            return std::nullopt;
        item.name = payload.sliced(1).toByteArray();
        return item;
    case ShellItemKind::Entry:
        break;
    default:
        return std::nullopt;
    }
    if (payload.size() <= entryHeader || !validName(payload.sliced(entryHeader)))
        return std::nullopt;
    const quint8 flags = quint8(payload[1]);
    item.directory = flags & flagDirectory;
    item.symlink = flags & flagSymlink;
    item.mode = quint32(getLe(payload, 2, 4));
    item.size = qint64(getLe(payload, 6, 8));
    item.modified = qint64(getLe(payload, 14, 8));
    item.name = payload.sliced(entryHeader).toByteArray();
    return item;
}

ShellItem ShellItem::computer()
{
    ShellItem item;
    item.kind = ShellItemKind::Computer;
    return item;
}

ShellItem ShellItem::home(const QString& path)
{
    ShellItem item;
    item.kind = ShellItemKind::Home;
    item.name = encodeFileName(path);
    return item;
}

ShellItem ShellItem::volume(const QString& root)
{
    ShellItem item;
    item.kind = ShellItemKind::Volume;
    item.name = encodeFileName(root);
    return item;
}

ShellItem ShellItem::entry(const QByteArray& name, const struct ::stat& st, bool link)
{
    ShellItem item;
    item.kind = ShellItemKind::Entry;
    item.name = name;
    item.directory = S_ISDIR(st.st_mode);
    item.symlink = link;
    item.mode = quint32(st.st_mode);
    item.size = item.directory ? 0 : qint64(st.st_size);
    item.modified = modifiedMs(st);
    return item;
}

std::optional<ShellItem> ShellItem::statPath(const QString& path, const QByteArray& name)
{
    const QByteArray native = encodeFileName(path);
    struct ::stat st {};
    if (!validName(name) || ::lstat(native.constData(), &st) != 0)
        return std::nullopt;
    const bool link = S_ISLNK(st.st_mode);
    if (link) {
        struct ::stat target {};
        if (::stat(native.constData(), &target) == 0)
            st = target;
    }
    return entry(name, st, link);
}

QString ShellItem::text() const
{
    return decodeFileName(name);
}

QString JoinPath(const QString& folder, const QString& name)
{
    if (folder.endsWith(u'/'))
        return folder + name;
    return folder + u'/' + name;
}

std::optional<ShellLocation> ResolveIdList(const ItemIdList& absolute)
{
    if (absolute.isNull())
        return std::nullopt;
    ShellLocation location;
    const int n = absolute.count();
    for (int i = 0; i < n; ++i) {
        const std::optional<ShellItem> item = ShellItem::decode(absolute.payload(i));
        if (!item || !location.isFolder)
            return std::nullopt;
        switch (item->kind) {
        case ShellItemKind::Computer:
            if (i != 0)
                return std::nullopt;
            location.place = ShellLocation::Computer;
            break;
        case ShellItemKind::Home:
            if (i != 0)
                return std::nullopt;
            location.place = ShellLocation::FileSystem;
            location.path = item->text();
            break;
        case ShellItemKind::Volume:
            if (location.place != ShellLocation::Computer)
                return std::nullopt;
            location.place = ShellLocation::FileSystem;
            location.path = item->text();
            break;
        case ShellItemKind::Entry:
            if (location.place != ShellLocation::FileSystem)
                return std::nullopt;
            location.path = JoinPath(location.path, item->text());
            location.isFolder = item->directory;
            break;
        }
    }
    return location;
}

QString SHGetPathFromIDListA(const ItemIdList& absolute)
{
    const std::optional<ShellLocation> location = ResolveIdList(absolute);
    return location && location->place == ShellLocation::FileSystem ? location->path : QString();
}

} // namespace platform
