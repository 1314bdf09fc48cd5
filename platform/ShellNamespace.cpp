#include "platform/ShellNamespace.h"

#include "platform/FileNameCodec.h"
#include "platform/FileOps.h"
#include "platform/FileTypes.h"
#include "platform/NativePath.h"
#include "platform/ShellItem.h"
#include "platform/ShellVolumes.h"
#include "platform/SystemIcons.h"

#include <QCollator>
#include <QDateTime>
#include <QDir>
#include <QLocale>
#include <QStandardPaths>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace platform {

namespace {

// Names and type names of the namespace's own items, as the desktop shows them.
const QString desktopName = u"桌面"_s;
const QString computerName = u"计算机"_s;
const QString homeName = u"主文件夹"_s;
const QString rootVolumeName = u"文件系统"_s;
const QString systemFolderType = u"系统文件夹"_s;
const QString localDiskType = u"本地磁盘"_s;
const QString removableDiskType = u"可移动磁盘"_s;

constexpr qsizetype maxTypeName = 80;

int sign(qint64 v)
{
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

// Natural order: numbers by value, case ignored. The C locale's collator
// compares code points only, so that locale borrows the English rules.
const QCollator& naturalCollator()
{
    static const QCollator collator = [] {
        QLocale locale;
        if (locale.language() == QLocale::C)
            locale = QLocale(QLocale::English, QLocale::UnitedStates);
        QCollator c(locale);
        c.setNumericMode(true);
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator;
}

bool isDirectory(const QString& path)
{
    struct ::stat st {};
    return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Stops at the first sub-folder, so a folder of files costs one pass of readdir.
bool hasSubFolder(const QString& path)
{
    DIR* dir = ::opendir(NativePath(path).c_str());
    if (!dir)
        return false;
    bool found = false;
    while (!found) {
        const dirent* e = ::readdir(dir);
        if (!e)
            break;
        if (qstrcmp(e->d_name, ".") == 0 || qstrcmp(e->d_name, "..") == 0)
            continue;
        if (e->d_type == DT_DIR) {
            found = true;
        } else if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            struct ::stat st {};
            found = ::fstatat(::dirfd(dir), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
    }
    ::closedir(dir);
    return found;
}

QString volumeDisplayName(const QString& root)
{
    return root == u"/"_s ? rootVolumeName : root.section(u'/', -1);
}

int kindRank(ShellItemKind kind)
{
    switch (kind) {
    case ShellItemKind::Computer:
        return 0;
    case ShellItemKind::Home:
        return 1;
    case ShellItemKind::Volume:
        return 2;
    case ShellItemKind::Entry:
        break;
    }
    return 3;
}

QString entryTypeName(const ShellItem& item)
{
    if (item.directory)
        return DirectoryMimeType().comment();
    if (item.symlink && item.mode != 0 && S_ISLNK(item.mode))
        return BrokenLinkMimeType().comment();
    return FileTypeName(item.text());
}

QString typeName(const ShellItem& item)
{
    switch (item.kind) {
    case ShellItemKind::Computer:
    case ShellItemKind::Home:
        return systemFolderType;
    case ShellItemKind::Volume:
        return item.name == "/" ? localDiskType : removableDiskType;
    case ShellItemKind::Entry:
        break;
    }
    return entryTypeName(item).left(maxTypeName);
}

int compareNames(const QString& a, const QString& b)
{
    const int r = naturalCollator().compare(a, b);
    return r != 0 ? sign(r) : sign(a.compare(b));
}

int compareEntries(int column, const ShellItem& a, const ShellItem& b)
{
    if (a.directory != b.directory)
        return a.directory ? -1 : 1;
    int r = 0;
    if (column == 1)
        r = sign(a.size - b.size);
    else if (column == 2)
        r = compareNames(entryTypeName(a), entryTypeName(b));
    else if (column == 3)
        r = sign(a.modified - b.modified);
    if (r != 0)
        return r;
    r = naturalCollator().compare(a.text(), b.text());
    return r != 0 ? sign(r) : sign(a.name.compare(b.name));
}

int compareItems(int column, const ShellItem& a, const ShellItem& b)
{
    if (a.kind != b.kind)
        return sign(kindRank(a.kind) - kindRank(b.kind));
    switch (a.kind) {
    case ShellItemKind::Computer:
        return 0;
    case ShellItemKind::Home:
        return sign(a.name.compare(b.name));
    case ShellItemKind::Volume:
        if ((a.name == "/") != (b.name == "/"))
            return a.name == "/" ? -1 : 1;
        return a.name == b.name ? 0 : compareNames(a.text(), b.text());
    case ShellItemKind::Entry:
        break;
    }
    return compareEntries(column, a, b);
}

int compareBytes(const ItemIdList& a, const ItemIdList& b)
{
    return sign(a.bytes().compare(b.bytes()));
}

} // namespace

// ---- the folder -------------------------------------------------------------

struct ShellFolder::Data {
    ItemIdList id;
    ShellLocation::Place place = ShellLocation::Desktop;
    QString path;
    mutable std::optional<bool> writable;

    bool holds(ShellItemKind kind) const
    {
        switch (place) {
        case ShellLocation::Desktop:
            return kind == ShellItemKind::Computer || kind == ShellItemKind::Home;
        case ShellLocation::Computer:
            return kind == ShellItemKind::Volume;
        case ShellLocation::FileSystem:
            break;
        }
        return kind == ShellItemKind::Entry;
    }
    // The rule for read-only files holds for folders too, so that it holds for root.
    bool isWritable() const
    {
        if (!writable)
            writable = place == ShellLocation::FileSystem && !IsReadOnly(path);
        return *writable;
    }
    // A child of one item that this folder can hold; nullopt otherwise.
    std::optional<ShellItem> child(const ItemIdList& relative) const
    {
        if (relative.count() != 1)
            return std::nullopt;
        std::optional<ShellItem> item = ShellItem::decode(relative.payload(0));
        if (item && !holds(item->kind))
            return std::nullopt;
        return item;
    }
    QString childPath(const ShellItem& item) const
    {
        switch (item.kind) {
        case ShellItemKind::Computer:
            return {};
        case ShellItemKind::Home:
        case ShellItemKind::Volume:
            return item.text();
        case ShellItemKind::Entry:
            break;
        }
        return JoinPath(path, item.text());
    }
};

ShellFolder::ShellFolder(std::unique_ptr<Data> d) : d_(std::move(d)) {}
ShellFolder::ShellFolder(ShellFolder&&) noexcept = default;
ShellFolder& ShellFolder::operator=(ShellFolder&&) noexcept = default;
ShellFolder::~ShellFolder() = default;

ShellFolder ShellFolder::desktop()
{
    auto d = std::make_unique<Data>();
    d->id = ItemIdList::empty();
    return ShellFolder(std::move(d));
}

std::optional<ShellFolder> ShellFolder::bind(const ItemIdList& absolute)
{
    const std::optional<ShellLocation> location = ResolveIdList(absolute);
    if (!location || !location->isFolder)
        return std::nullopt;
    auto d = std::make_unique<Data>();
    d->id = absolute.copy();
    d->place = location->place;
    d->path = location->path;
    return ShellFolder(std::move(d));
}

const ItemIdList& ShellFolder::idList() const
{
    return d_->id;
}
bool ShellFolder::isVirtual() const
{
    return d_->place != ShellLocation::FileSystem;
}
QString ShellFolder::path() const
{
    return d_->path;
}

std::optional<ShellFolder> ShellFolder::bindToObject(const ItemIdList& relative) const
{
    return bind(d_->id.joined(relative));
}

ItemIdList ShellFolder::parseDisplayName(const QString& text) const
{
    if (d_->place == ShellLocation::Desktop)
        return ParsePath(text);
    if (d_->place == ShellLocation::Computer)
        return ParsePath(text).from(1);
    if (text.isEmpty() || text.startsWith(u'/'))
        return {};
    ItemIdList list = ItemIdList::empty();
    QString current = d_->path;
    const QStringList parts = text.split(u'/', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < parts.size(); ++i) {
        current = JoinPath(current, parts[i]);
        const std::optional<ShellItem> item =
            ShellItem::statPath(current, encodeFileName(parts[i]));
        if (!item || (i + 1 < parts.size() && !item->directory))
            return {};
        list = list.joined(item->toIdList());
    }
    return list.isEmpty() ? ItemIdList() : std::move(list);
}

quint32 ShellFolder::attributesOf(const ItemIdList& relative, quint32 mask) const
{
    if (relative.count() > 1) {
        const std::optional<ShellFolder> parent = bindToObject(relative.parent());
        return parent ? parent->attributesOf(relative.last(), mask) : 0;
    }
    const std::optional<ShellItem> item = d_->child(relative);
    if (!item)
        return 0;
    quint32 a = 0;
    switch (item->kind) {
    case ShellItemKind::Computer:
        a = SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_FILESYSANCESTOR;
        break;
    case ShellItemKind::Home:
        a = SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR | SFGAO_CANCOPY | SFGAO_CANLINK;
        break;
    case ShellItemKind::Volume:
        a = SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR | SFGAO_CANLINK;
        break;
    case ShellItemKind::Entry:
        a = SFGAO_FILESYSTEM | SFGAO_CANCOPY | SFGAO_CANLINK;
        if (item->directory)
            a |= SFGAO_FOLDER | SFGAO_FILESYSANCESTOR;
        if (item->symlink)
            a |= SFGAO_LINK;
        if (item->name.startsWith('.'))
            a |= SFGAO_GHOSTED;
        if ((mask & (SFGAO_CANMOVE | SFGAO_CANRENAME | SFGAO_CANDELETE)) && d_->isWritable())
            a |= SFGAO_CANMOVE | SFGAO_CANRENAME | SFGAO_CANDELETE;
        break;
    }
    if ((mask & SFGAO_HASSUBFOLDER) && item->kind != ShellItemKind::Computer &&
        (a & SFGAO_FOLDER) && hasSubFolder(d_->childPath(*item)))
        a |= SFGAO_HASSUBFOLDER;
    return a & mask;
}

QString ShellFolder::displayNameOf(const ItemIdList& relative) const
{
    if (relative.count() > 1) {
        const std::optional<ShellFolder> parent = bindToObject(relative.parent());
        return parent ? parent->displayNameOf(relative.last()) : QString();
    }
    const std::optional<ShellItem> item = d_->child(relative);
    if (!item)
        return {};
    switch (item->kind) {
    case ShellItemKind::Computer:
        return computerName;
    case ShellItemKind::Home:
        return homeName;
    case ShellItemKind::Volume:
        return volumeDisplayName(item->text());
    case ShellItemKind::Entry:
        break;
    }
    return item->text();
}

QString ShellFolder::pathOf(const ItemIdList& relative) const
{
    return SHGetPathFromIDListA(d_->id.joined(relative));
}

bool ShellFolder::isVolume(const ItemIdList& relative) const
{
    const std::optional<ShellItem> item = d_->child(relative);
    return item && item->kind == ShellItemKind::Volume;
}

int ShellFolder::iconIndexOf(const ItemIdList& relative, bool open) const
{
    if (relative.count() > 1) {
        const std::optional<ShellFolder> parent = bindToObject(relative.parent());
        return parent ? parent->iconIndexOf(relative.last(), open) : -1;
    }
    const std::optional<ShellItem> item = d_->child(relative);
    if (!item)
        return -1;
    QString key;
    switch (item->kind) {
    case ShellItemKind::Computer:
        key = QString::fromUtf16(SystemIcon::Computer);
        break;
    case ShellItemKind::Home:
        key = QString::fromUtf16(SystemIcon::Home);
        break;
    case ShellItemKind::Volume:
        key = QString::fromUtf16(item->name == "/" ? SystemIcon::HardDisk : SystemIcon::Removable);
        break;
    case ShellItemKind::Entry:
        if (item->directory)
            key = QString::fromUtf16(open ? SystemIcon::FolderOpen : SystemIcon::Folder);
        else if (item->symlink && S_ISLNK(item->mode))
            key = QString::fromUtf16(SystemIcon::MimePrefix) + BrokenLinkMimeType().name();
        else
            key = QString::fromUtf16(SystemIcon::MimePrefix) + FileMimeType(item->text()).name();
        break;
    }
    return SystemIconIndex(key);
}

QString ShellFolder::typeNameOf(const ItemIdList& relative) const
{
    if (relative.count() > 1) {
        const std::optional<ShellFolder> parent = bindToObject(relative.parent());
        return parent ? parent->typeNameOf(relative.last()) : QString();
    }
    const std::optional<ShellItem> item = d_->child(relative);
    return item ? typeName(*item) : QString();
}

QString ShellFolder::detailHeader(int column)
{
    switch (column) {
    case 0:
        return u"Name"_s;
    case 1:
        return u"Size"_s;
    case 2:
        return u"Type"_s;
    case 3:
        return u"Changed"_s;
    default:
        return {};
    }
}

ColumnInfo ShellFolder::columnInfo(int column)
{
    switch (column) {
    case 0:
        return {Qt::AlignLeft, 150};
    case 1:
        return {Qt::AlignRight, 60};
    case 2:
        return {Qt::AlignLeft, 120};
    case 3:
        return {Qt::AlignLeft, 100};
    default:
        return {Qt::AlignLeft, 120};
    }
}

QString ShellFolder::detailOf(const ItemIdList& relative, int column) const
{
    if (column == 0)
        return displayNameOf(relative);
    if (column == 2)
        return typeNameOf(relative);
    if (column != 1 && column != 3)
        return {};
    const std::optional<ShellItem> item =
        relative.count() == 1 ? d_->child(relative)
                              : ShellItem::decode(relative.payload(relative.count() - 1));
    if (!item || item->kind != ShellItemKind::Entry)
        return {};
    if (column == 1)
        return item->directory ? QString() : FormatSizeKB(item->size);
    if (item->modified == 0)
        return {};
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(item->modified);
    const QLocale locale;
    return locale.toString(when.date(), QLocale::ShortFormat) + u' ' +
           locale.toString(when.time(), QLocale::ShortFormat);
}

int ShellFolder::compareIds(int column, const ItemIdList& a, const ItemIdList& b) const
{
    const int n = std::min(a.count(), b.count());
    for (int i = 0; i < n; ++i) {
        const std::optional<ShellItem> x = ShellItem::decode(a.payload(i));
        const std::optional<ShellItem> y = ShellItem::decode(b.payload(i));
        if (!x || !y)
            return compareBytes(a, b);
        const int r = compareItems(column, *x, *y);
        if (r != 0)
            return r;
    }
    return sign(a.count() - b.count());
}

namespace {

// What an entry is compared by, made once and kept small: a folder of
// 100,000 files holds 100,000 of these while it is sorted, at the moment
// its listing needs the most memory.
struct EntryKey {
    QCollatorSortKey text;
    qint64 size = 0;
    qint64 modified = 0;
    bool directory = false;
};

// The type's name and its key, made only when sorting by type.
struct TypeKey {
    QCollatorSortKey key;
    QString name;
};

std::optional<ShellItem> entryOf(const ItemIdList& relative)
{
    if (relative.count() != 1)
        return std::nullopt;
    std::optional<ShellItem> item = ShellItem::decode(relative.payload(0));
    if (!item || item->kind != ShellItemKind::Entry)
        return std::nullopt;
    return item;
}

// compareEntries over keys made once, up to the names' bytes: 0 leaves the
// last word to compareIds.
int compareEntryKeys(int column, const EntryKey& a, const EntryKey& b, const TypeKey* typeA,
                     const TypeKey* typeB)
{
    if (a.directory != b.directory)
        return a.directory ? -1 : 1;
    int r = 0;
    if (column == 1)
        r = sign(a.size - b.size);
    else if (column == 2 && typeA && typeB)
        r = typeA->key.compare(typeB->key) != 0 ? sign(typeA->key.compare(typeB->key))
                                                : sign(typeA->name.compare(typeB->name));
    else if (column == 3)
        r = sign(a.modified - b.modified);
    return r != 0 ? r : sign(a.text.compare(b.text));
}

} // namespace

std::vector<std::size_t> ShellFolder::sortOrder(int column,
                                                const std::vector<const ItemIdList*>& relatives,
                                                bool descending) const
{
    std::vector<std::optional<EntryKey>> keys;
    std::vector<std::optional<TypeKey>> types;
    keys.reserve(relatives.size());
    if (column == 2)
        types.reserve(relatives.size());
    for (const ItemIdList* relative : relatives) {
        const std::optional<ShellItem> item = entryOf(*relative);
        if (!item) {
            keys.emplace_back();
            if (column == 2)
                types.emplace_back();
            continue;
        }
        keys.push_back(EntryKey{naturalCollator().sortKey(item->text()), item->size, item->modified,
                                item->directory});
        if (column == 2) {
            QString type = entryTypeName(*item);
            types.push_back(TypeKey{naturalCollator().sortKey(type), type});
        }
    }
    const auto typeOf = [&](std::size_t i) -> const TypeKey* {
        return column == 2 && types[i] ? &*types[i] : nullptr;
    };
    const auto compare = [&](std::size_t i, std::size_t j) {
        const int r = keys[i] && keys[j]
                          ? compareEntryKeys(column, *keys[i], *keys[j], typeOf(i), typeOf(j))
                          : 0;
        return r != 0 ? r : compareIds(column, *relatives[i], *relatives[j]);
    };
    std::vector<std::size_t> order(relatives.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t i, std::size_t j) {
        return descending ? compare(j, i) < 0 : compare(i, j) < 0;
    });
    return order;
}

ItemIdList ShellFolder::setNameOf(const ItemIdList& relative, const QString& newName) const
{
    const std::optional<ShellItem> item = d_->child(relative);
    const QByteArray name = encodeFileName(newName);
    if (!item || item->kind != ShellItemKind::Entry || !d_->isWritable())
        return {};
    if (name == item->name)
        return relative.copy();
    if (name.isEmpty() || name == "." || name == ".." || name.contains('/') || name.size() > 255)
        return {};
    const QString target = JoinPath(d_->path, newName);
    if (!MoveFileA(d_->childPath(*item), target))
        return {};
    const std::optional<ShellItem> renamed = ShellItem::statPath(target, name);
    return renamed ? renamed->toIdList() : ItemIdList();
}

// ---- enumeration -------------------------------------------------------------

struct ShellEnumerator::Data {
    std::vector<ItemIdList> fixed;
    size_t nextFixed = 0;
    DIR* dir = nullptr;
    bool valid = true;

    ~Data()
    {
        if (dir)
            ::closedir(dir);
    }
    ItemIdList nextEntry();
};

ItemIdList ShellEnumerator::Data::nextEntry()
{
    while (const dirent* e = ::readdir(dir)) {
        if (qstrcmp(e->d_name, ".") == 0 || qstrcmp(e->d_name, "..") == 0)
            continue;
        struct ::stat st {};
        const int fd = ::dirfd(dir);
        bool link = e->d_type == DT_LNK;
        if (e->d_type == DT_UNKNOWN) {
            if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            link = S_ISLNK(st.st_mode);
        }
        // A link is described by its target, or by itself when it dangles.
        const int flags = link ? 0 : AT_SYMLINK_NOFOLLOW;
        if (::fstatat(fd, e->d_name, &st, flags) != 0 &&
            (!link || ::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0))
            continue; // gone since readdir saw it
        return ShellItem::entry(QByteArray(e->d_name), st, link).toIdList();
    }
    ::closedir(dir);
    dir = nullptr;
    return {};
}

ShellEnumerator::ShellEnumerator(std::unique_ptr<Data> d) : d_(std::move(d)) {}
ShellEnumerator::ShellEnumerator(ShellEnumerator&&) noexcept = default;
ShellEnumerator& ShellEnumerator::operator=(ShellEnumerator&&) noexcept = default;
ShellEnumerator::~ShellEnumerator() = default;

bool ShellEnumerator::isValid() const
{
    return d_->valid;
}

ItemIdList ShellEnumerator::next()
{
    if (d_->dir)
        return d_->nextEntry();
    if (d_->nextFixed < d_->fixed.size())
        return std::move(d_->fixed[d_->nextFixed++]);
    return {};
}

ShellEnumerator ShellFolder::enumObjects() const
{
    auto e = std::make_unique<ShellEnumerator::Data>();
    switch (d_->place) {
    case ShellLocation::Desktop:
        e->fixed.push_back(ShellItem::computer().toIdList());
        if (const QString home = HomePath(); isDirectory(home))
            e->fixed.push_back(ShellItem::home(home).toIdList());
        break;
    case ShellLocation::Computer:
        for (const QString& root : MountedVolumes()) {
            if (isDirectory(root))
                e->fixed.push_back(ShellItem::volume(root).toIdList());
        }
        break;
    case ShellLocation::FileSystem:
        e->dir = ::opendir(NativePath(d_->path).c_str());
        e->valid = e->dir != nullptr;
        break;
    }
    return ShellEnumerator(std::move(e));
}

// ---- the desktop's services ------------------------------------------------

ItemIdList ParsePath(const QString& path)
{
    if (!path.startsWith(u'/'))
        return {};
    const QString clean = QDir::cleanPath(path);
    const QString root = VolumeRootFor(clean, MountedVolumes());
    if (!isDirectory(root))
        return {};
    const ItemIdList volume =
        ShellItem::computer().toIdList().joined(ShellItem::volume(root).toIdList());
    const QString rest = clean.mid(root.size());
    if (rest.isEmpty() || rest == u"/"_s)
        return volume.copy();
    const std::optional<ShellFolder> folder = ShellFolder::bind(volume);
    if (!folder)
        return {};
    const ItemIdList relative = folder->parseDisplayName(rest.mid(rest.startsWith(u'/') ? 1 : 0));
    return relative.isNull() ? ItemIdList() : volume.joined(relative);
}

ItemIdList SHGetSpecialFolderLocation(int csidl)
{
    switch (csidl) {
    case CSIDL_DESKTOP:
        return ItemIdList::empty();
    case CSIDL_DRIVES:
        return ShellItem::computer().toIdList();
    case CSIDL_PERSONAL:
        return ParsePath(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    case CSIDL_DESKTOPDIRECTORY:
        return ParsePath(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    default:
        return {};
    }
}

int CompareAbsoluteIDs(const ItemIdList& a, const ItemIdList& b)
{
    if (a == b)
        return 0;
    const std::optional<ShellLocation> x = ResolveIdList(a);
    const std::optional<ShellLocation> y = ResolveIdList(b);
    if (!x || !y)
        return compareBytes(a, b);
    if (x->place == y->place && x->path == y->path)
        return 0;
    const int r = ShellFolder::desktop().compareIds(0, a, b);
    return r != 0 ? r : compareBytes(a, b);
}

QString DesktopDisplayName()
{
    return desktopName;
}

int DesktopIconIndex()
{
    return SystemIconIndex(QString::fromUtf16(SystemIcon::Desktop));
}

QString FormatSizeKB(qint64 bytes)
{
    if (bytes > 0 && bytes < 1024)
        bytes = 1024;
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale.toString((bytes + 512) / 1024) + u" KB"_s;
}

} // namespace platform
