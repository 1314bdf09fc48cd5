#include "shell/ShellBrowser.h"

#include "platform/FileNameCodec.h"
#include "platform/NamePattern.h"
#include "platform/NativePath.h"
#include "platform/ShellClipboard.h"
#include "platform/ShellItem.h"
#include "platform/ShellVerbs.h"
#include "platform/SystemIcons.h"
#include "shell/DirMon.h"
#include "shell/ShellMenu.h"
#include "shell/ShellStrings.h"

#include <QApplication>
#include <QDir>
#include <QFileIconProvider>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPushButton>
#include <QStyle>

#include <climits>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

using namespace Qt::StringLiterals;
using platform::ItemIdList;

namespace {

// The hourglass for the duration of a namespace operation.
class WaitCursor {
public:
    WaitCursor() : active_(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr)
    {
        if (active_)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~WaitCursor()
    {
        if (active_)
            QGuiApplication::restoreOverrideCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    bool active_;
};

QString withSeparator(const QString& path)
{
    return path.isEmpty() || path.endsWith(u'/') ? path : path + u'/';
}

bool isVolumeItem(const ItemIdList& list)
{
    const std::optional<platform::ShellItem> item =
        platform::ShellItem::decode(list.payload(list.count() - 1));
    return item && item->kind == platform::ShellItemKind::Volume;
}

bool existsOnDisk(const QString& path)
{
    struct ::stat st {};
    return !path.isEmpty() && ::lstat(platform::NativePath(path).c_str(), &st) == 0;
}

bool isFolderOnDisk(const QString& path)
{
    struct ::stat st {};
    return !path.isEmpty() && ::stat(platform::NativePath(path).c_str(), &st) == 0 &&
           S_ISDIR(st.st_mode);
}

// Where a symbolic link points, absolute and clean; empty for no link. Read
// as bytes: the target's name need not be UTF-8.
QString linkTargetOf(const QString& link)
{
    std::string target(std::size_t(PATH_MAX), '\0');
    const ssize_t n = ::readlink(platform::NativePath(link).c_str(), target.data(), target.size());
    if (n <= 0 || std::size_t(n) >= target.size())
        return {};
    target.resize(std::size_t(n));
    const QString text = platform::decodeFileName(QByteArray::fromStdString(target));
    const QString folder = link.left(link.lastIndexOf(u'/') + 1);
    return QDir::cleanPath(text.startsWith(u'/') ? text : folder + text);
}

QWidget* dialogParent()
{
    return QApplication::activeWindow();
}

// A question is answered with the ordinary pointer, not under the hourglass.
class NormalCursor {
public:
    NormalCursor() { QGuiApplication::setOverrideCursor(Qt::ArrowCursor); }
    ~NormalCursor() { QGuiApplication::restoreOverrideCursor(); }
    NormalCursor(const NormalCursor&) = delete;
    NormalCursor& operator=(const NormalCursor&) = delete;
};

bool askDelete(const QStringList& paths)
{
    const NormalCursor cursor;
    return QMessageBox::question(
               dialogParent(), ShellStrings::DeleteTitle(), ShellStrings::ConfirmDelete(paths),
               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

platform::ReplaceChoice askReplace(const QString& target)
{
    const NormalCursor cursor;
    QMessageBox box(QMessageBox::Question, ShellStrings::ReplaceTitle(),
                    ShellStrings::ConfirmReplace(target), QMessageBox::NoButton, dialogParent());
    QPushButton* replace = box.addButton(ShellStrings::ReplaceButton(), QMessageBox::AcceptRole);
    QPushButton* skip = box.addButton(ShellStrings::SkipButton(), QMessageBox::RejectRole);
    box.addButton(ShellStrings::CancelButton(), QMessageBox::DestructiveRole);
    box.setDefaultButton(skip);
    box.exec();
    if (box.clickedButton() == replace)
        return platform::ReplaceChoice::Replace;
    if (box.clickedButton() == skip)
        return platform::ReplaceChoice::Skip;
    return platform::ReplaceChoice::Cancel;
}

} // namespace

int ShellFolderCsidl(TShellFolder folder)
{
    static constexpr int csidl[] = {-1, 10, 3,  0, 16, 17, 20, 19, 18, 5,  4,  2,  8, 9,
                                    11, 7,  21, 6, 22, 24, 25, 26, 27, 31, 32, 33, 34};
    const int i = int(folder);
    return i >= 0 && i < int(std::size(csidl)) ? csidl[i] : -1;
}

TShellBrowser::Ui& TShellBrowser::ui()
{
    static Ui ui{askDelete, askReplace, {}, [](QMenu& menu, const QPoint& point) {
                     return menu.exec(point);
                 }};
    return ui;
}

TShellBrowser::TShellBrowser(QObject* owner) : QObject(owner)
{
    SetFolder(QString());
}

TShellBrowser::~TShellBrowser() = default;

QString TShellBrowser::Version() const
{
    return u"TShellBrowser"_s + ShellStrings::VersionSuffix();
}

// ---- filter -----------------------------------------------------------------

QString TShellBrowser::Filter() const
{
    return patterns_.join(u';');
}

void TShellBrowser::SetFilter(const QString& filter)
{
    QString text = filter.isEmpty() ? u"*;"_s : filter;
    if (!text.endsWith(u';'))
        text += u';';
    patterns_.clear();
    qsizetype start = 0;
    for (qsizetype end = text.indexOf(u';'); end >= 0; end = text.indexOf(u';', start)) {
        patterns_.append(text.mid(start, end - start));
        start = end + 1;
    }
}

bool TShellBrowser::passesFilter() const
{
    return IsFolder() || platform::MatchesAnyPattern(ObjectName(), patterns_);
}

// ---- positioning ---------------------------------------------------------------

void TShellBrowser::SetFolder(const QString& folder)
{
    if (!folder.isEmpty() && withSeparator(folder) == folder_)
        return;
    if (folder.isEmpty()) {
        SetFolderIDList(platform::SHGetSpecialFolderLocation(platform::CSIDL_DRIVES));
        return;
    }
    const ItemIdList list = platform::ParsePath(folder);
    if (list.isNull())
        throw EShellBrowserError(ShellStrings::CannotFindFolder() + folder);
    SetFolderIDList(list);
}

void TShellBrowser::SetFolderIDList(const ItemIdList& absolute)
{
    enumeration_.reset();
    clearItem();
    if (absolute.isNull()) {
        shellFolder_.reset();
        folder_.clear();
    } else {
        std::optional<platform::ShellFolder> bound = absolute.isEmpty()
                                                         ? platform::ShellFolder::desktop()
                                                         : platform::ShellFolder::bind(absolute);
        if (!bound)
            throw EShellBrowserError(ShellStrings::CouldNotGetFolder());
        shellFolder_ = std::move(bound);
        folder_ = withSeparator(shellFolder_->path());
    }
    if (dirMon_)
        dirMon_->SetDirectory(folder_);
}

bool TShellBrowser::SetSpecialFolder(TShellFolder folder)
{
    const ItemIdList list = platform::SHGetSpecialFolderLocation(ShellFolderCsidl(folder));
    if (list.isNull())
        return false;
    SetFolderIDList(list);
    return true;
}

bool TShellBrowser::GoUp()
{
    if (!shellFolder_)
        return false;
    const ItemIdList folder = shellFolder_->idList().copy();
    if (folder.isEmpty()) {
        enumeration_.reset();
        clearItem();
        return true;
    }
    SetFolderIDList(folder.parent());
    SetObjectIDList(folder.last());
    return true;
}

bool TShellBrowser::OpenObject()
{
    if (!IsFolder())
        return false;
    const ItemIdList absolute = GetAbsoluteIDList();
    if (!platform::ShellFolder::bind(absolute))
        return false;
    SetFolderIDList(absolute);
    return true;
}

void TShellBrowser::clearItem()
{
    item_ = ItemIdList();
    knownMask_ = 0;
    knownAttributes_ = 0;
}

void TShellBrowser::SetObjectIDList(const ItemIdList& relative)
{
    item_ = relative.copy();
    knownMask_ = 0;
    knownAttributes_ = 0;
}

ItemIdList TShellBrowser::GetObjectIDList() const
{
    return item_.copy();
}

ItemIdList TShellBrowser::GetFolderIDList() const
{
    return shellFolder_ ? shellFolder_->idList().copy() : ItemIdList();
}

ItemIdList TShellBrowser::GetAbsoluteIDList() const
{
    return shellFolder_ ? shellFolder_->idList().joined(item_) : ItemIdList();
}

ItemIdList TShellBrowser::parseDisplayName(const QString& text) const
{
    return shellFolder_ ? shellFolder_->parseDisplayName(text) : ItemIdList();
}

// ---- the current item by name ------------------------------------------------

QString TShellBrowser::ObjectName() const
{
    if (!shellFolder_ || item_.isEmpty())
        return {};
    const QString path = shellFolder_->pathOf(item_);
    if (path.isEmpty() || shellFolder_->isVolume(item_))
        return path;
    return path.section(u'/', -1);
}

ItemIdList TShellBrowser::findItem(const QString& name) const
{
    if (!shellFolder_)
        return {};
    ItemIdList parsed = shellFolder_->parseDisplayName(name);
    if (parsed.count() == 1)
        return parsed;
    platform::ShellEnumerator items = shellFolder_->enumObjects();
    for (ItemIdList item = items.next(); !item.isNull(); item = items.next()) {
        const QString path = shellFolder_->pathOf(item);
        if (shellFolder_->displayNameOf(item) == name || path.section(u'/', -1) == name ||
            (shellFolder_->isVolume(item) && path == name))
            return item;
    }
    return {};
}

void TShellBrowser::SetObjectName(const QString& name)
{
    if (name.isEmpty()) {
        clearItem();
        return;
    }
    QString text = name;
    if (text.size() > 1 && text.endsWith(u'/'))
        text.chop(1);
    if (!text.contains(u'/')) {
        const ItemIdList item = findItem(text);
        if (item.isNull())
            throw EShellBrowserError(ShellStrings::CannotFindObject(text, folder_));
        SetObjectIDList(item);
        return;
    }
    // A volume root (as "/") is an item of "计算机", as a drive root is.
    const ItemIdList parsed = platform::ParsePath(text);
    if (!parsed.isNull() && isVolumeItem(parsed)) {
        SetFolderIDList(parsed.parent());
        SetObjectIDList(parsed.last());
        return;
    }
    const qsizetype slash = text.lastIndexOf(u'/');
    SetFolder(text.left(slash + 1));
    SetObjectName(text.mid(slash + 1));
}

// ---- enumeration -------------------------------------------------------------

bool TShellBrowser::outsideFileSystem() const
{
    if (GetAttributes(platform::SFGAO_FILESYSTEM | platform::SFGAO_FILESYSANCESTOR) != 0)
        return false;
    if (ObjectName().left(7).toUpper() == u"RECYCLE"_s)
        return false;
    const TShellFolder special = GetObjectSpecialIndex();
    return special != SF_DRIVES && special != SF_NETWORK && GetFolderSpecialIndex() != SF_NETWORK;
}

bool TShellBrowser::Next()
{
    if (!shellFolder_)
        return false;
    if (!enumeration_) {
        enumeration_ = shellFolder_->enumObjects();
        if (!enumeration_->isValid()) {
            enumeration_.reset();
            return false;
        }
    }
    for (;;) {
        ItemIdList item = enumeration_->next();
        if (item.isNull()) {
            enumeration_.reset();
            return false;
        }
        SetObjectIDList(item);
        if (FileSystemOnly && outsideFileSystem())
            continue;
        if (passesFilter())
            return true;
    }
}

// ---- questions about the current item ------------------------------------------

QString TShellBrowser::GetDisplayName() const
{
    const QString name =
        shellFolder_ && !item_.isEmpty() ? shellFolder_->displayNameOf(item_) : QString();
    return name.isEmpty() ? ObjectName() : name;
}

quint32 TShellBrowser::GetAttributes(quint32 mask) const
{
    if (!shellFolder_ || item_.isEmpty())
        return 0;
    const quint32 missing = mask & ~knownMask_;
    if (missing) {
        knownAttributes_ |= shellFolder_->attributesOf(item_, missing);
        knownMask_ |= missing;
    }
    return knownAttributes_ & mask;
}

bool TShellBrowser::IsFolder() const
{
    return GetAttributes(platform::SFGAO_FOLDER) != 0;
}
bool TShellBrowser::HasSubFolders() const
{
    return GetAttributes(platform::SFGAO_HASSUBFOLDER) != 0;
}
bool TShellBrowser::IsGhosted() const
{
    return GetAttributes(platform::SFGAO_GHOSTED) != 0;
}
bool TShellBrowser::IsLink() const
{
    return GetAttributes(platform::SFGAO_LINK) != 0;
}
bool TShellBrowser::CanRename() const
{
    return GetAttributes(platform::SFGAO_CANRENAME) != 0;
}

QString TShellBrowser::GetLinkTarget() const
{
    if (!IsLink())
        return {};
    const QString link = shellFolder_->pathOf(item_);
    const QString target = linkTargetOf(link);
    return isFolderOnDisk(target) ? target : QString();
}

int TShellBrowser::IconNumber() const
{
    return shellFolder_ && !item_.isEmpty() ? shellFolder_->iconIndexOf(item_, false) : -1;
}

int TShellBrowser::SelectedIconNumber() const
{
    return shellFolder_ && !item_.isEmpty() ? shellFolder_->iconIndexOf(item_, true) : -1;
}

namespace {

TShellFolder specialIndexOf(const ItemIdList& absolute)
{
    if (absolute.isNull())
        return SF_FILESYSTEMFOLDER;
    for (int v = SF_BITBUCKET; v <= SF_PRINTHOOD; ++v) {
        const ItemIdList special =
            platform::SHGetSpecialFolderLocation(ShellFolderCsidl(TShellFolder(v)));
        if (!special.isNull() && platform::CompareAbsoluteIDs(special, absolute) == 0)
            return TShellFolder(v);
    }
    return SF_FILESYSTEMFOLDER;
}

} // namespace

TShellFolder TShellBrowser::GetFolderSpecialIndex() const
{
    return specialIndexOf(GetFolderIDList());
}

TShellFolder TShellBrowser::GetObjectSpecialIndex() const
{
    return item_.isEmpty() ? SF_FILESYSTEMFOLDER : specialIndexOf(GetAbsoluteIDList());
}

QString TShellBrowser::GetDetail(int column, bool header) const
{
    if (header)
        return platform::ShellFolder::detailHeader(column);
    if (!shellFolder_ || item_.isEmpty())
        return {};
    return column == 0 ? GetDisplayName() : shellFolder_->detailOf(item_, column);
}

platform::ColumnInfo TShellBrowser::GetColumnInfo(int column) const
{
    return platform::ShellFolder::columnInfo(column);
}

int TShellBrowser::compareIDs(int column, const ItemIdList& a, const ItemIdList& b) const
{
    return shellFolder_ ? shellFolder_->compareIds(column, a, b) : 0;
}

std::vector<std::size_t>
TShellBrowser::sortOrder(int column, const std::vector<const platform::ItemIdList*>& relatives,
                         bool descending) const
{
    if (shellFolder_)
        return shellFolder_->sortOrder(column, relatives, descending);
    std::vector<std::size_t> order(relatives.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    return order;
}

int TShellBrowser::desktopIconNumber()
{
    return platform::DesktopIconIndex();
}
QString TShellBrowser::desktopDisplayName()
{
    return platform::DesktopDisplayName();
}

// ---- watching the folder ---------------------------------------------------------

void TShellBrowser::SetOnFileChange(TNotifyEvent handler)
{
    if (dirMon_) {
        if (dirMon_->Running())
            dirMon_->Stop();
        dirMon_.reset();
    }
    onFileChange_ = std::move(handler);
    if (!onFileChange_)
        return;
    dirMon_ = std::make_unique<TDirMon>();
    // Writes too: a file's tags changed by another program are news.
    dirMon_->SetNotifyFilter({dmcFileName, dmcDirName, dmcLastWrite});
    dirMon_->OnDirChange = [this](QObject*) {
        // A copy: the handler may set another handler, or none.
        const TNotifyEvent handler = onFileChange_;
        if (handler)
            handler(this);
    };
    dirMon_->SetDirectory(folder_);
    dirMon_->Start();
}

// ---- actions ---------------------------------------------------------------------

QString TShellBrowser::RenameObject(const QString& name, bool* ok)
{
    const WaitCursor wait;
    ItemIdList renamed;
    if (shellFolder_ && !item_.isEmpty())
        renamed = shellFolder_->setNameOf(item_, name);
    if (!renamed.isNull())
        SetObjectIDList(renamed);
    if (ok)
        *ok = !renamed.isNull();
    return GetDisplayName();
}

std::vector<ItemIdList> TShellBrowser::takeItems()
{
    std::vector<ItemIdList> items;
    if (MultiObjects.isEmpty()) {
        if (!item_.isEmpty())
            items.push_back(item_.copy());
        return items;
    }
    const QStringList names = std::exchange(MultiObjects, QStringList());
    for (const QString& name : names) {
        ItemIdList item = findItem(name);
        if (item.isNull())
            throw EShellBrowserError(ShellStrings::CannotFindObject(name, folder_));
        items.push_back(std::move(item));
    }
    return items;
}

platform::ShellPrompts TShellBrowser::prompts() const
{
    const Ui& u = ui();
    return {u.confirmDelete, u.askReplace, u.openFile};
}

bool TShellBrowser::stillExists(const ItemIdList& item) const
{
    return existsOnDisk(shellFolder_->pathOf(item));
}

bool TShellBrowser::runVerb(const std::vector<ItemIdList>& items, const QString& verb)
{
    const QString v = verb.isEmpty() || verb.compare(u"default"_s, Qt::CaseInsensitive) == 0
                          ? u"open"_s
                          : verb.toLower();
    if (v == u"rename"_s) {
        if (!OnRename)
            return false;
        OnRename(this);
        return true;
    }
    if (v == u"open"_s && items.size() == 1 &&
        (shellFolder_->attributesOf(items.front(), platform::SFGAO_FOLDER))) {
        const ItemIdList absolute = shellFolder_->idList().joined(items.front());
        SetFolderIDList(absolute);
        return true;
    }
    const bool done = platform::InvokeShellVerb(*shellFolder_, items, v, prompts());
    return done && !(v == u"delete"_s && stillExists(items.front()));
}

bool TShellBrowser::ExecuteVerb(const QString& verb)
{
    if (!shellFolder_ || (item_.isEmpty() && MultiObjects.isEmpty()))
        return false;
    const WaitCursor wait;
    const std::vector<ItemIdList> items = takeItems();
    // One item is deleted only when it can be; several are checked one by one.
    const bool isDelete = verb.compare(u"delete"_s, Qt::CaseInsensitive) == 0;
    if (items.empty() || (isDelete && items.size() == 1 &&
                          !shellFolder_->attributesOf(items.front(), platform::SFGAO_CANDELETE)))
        return false;
    return runVerb(items, verb);
}

bool TShellBrowser::pasteIntoFolder()
{
    if (!shellFolder_)
        return false;
    const WaitCursor wait;
    return platform::InvokeShellVerb(*shellFolder_, {}, u"paste"_s, prompts());
}

QString TShellBrowser::ShowContextMenu(const QPoint& point, QMenu* menu)
{
    if (!shellFolder_)
        return {};
    const std::vector<ItemIdList> items = takeItems();
    if (items.empty())
        return {};
    ShellMenu popup(qobject_cast<QWidget*>(parent()));
    for (const QString& verb : platform::ShellVerbNames) {
        if (verb == u"rename"_s && !OnRename)
            continue;
        popup.addVerb(verb, platform::CanInvokeShellVerb(*shellFolder_, items, verb),
                      verb == u"open"_s);
        if (verb == u"open"_s || verb == u"paste"_s)
            popup.addSeparator();
    }
    if (menu && !menu->actions().isEmpty()) {
        popup.addSeparator();
        popup.addCopiesOf(*menu);
    }
    QAction* picked = ui().execMenu ? ui().execMenu(popup.menu(), point) : nullptr;
    if (!picked)
        return {};
    if (QAction* source = popup.sourceOf(picked)) {
        source->trigger();
        return {};
    }
    const QString verb = popup.verbOf(picked);
    if (verb.isEmpty() || !picked->isEnabled())
        return {};
    if (verb == u"rename"_s) {
        OnRename(this);
        return verb;
    }
    bool execute = true;
    if (OnContextMenuSelect)
        OnContextMenuSelect(verb, execute);
    else if (ReadOnly && (verb == u"delete"_s || verb == u"cut"_s || verb == u"paste"_s))
        execute = false;
    if (!execute)
        return {};
    const WaitCursor wait;
    return runVerb(items, verb) ? verb : QString();
}

// ---- the system image list -----------------------------------------------------

namespace {

QIcon themed(const QString& name, const QIcon& fallback)
{
    const QIcon icon = QIcon::fromTheme(name);
    return icon.isNull() ? fallback : icon;
}

// Made once per kind of icon: the icon provider is slow.
QIcon makeIcon(const QString& key)
{
    static const QFileIconProvider provider;
    using P = QAbstractFileIconProvider;
    const QString mimePrefix = QString::fromUtf16(platform::SystemIcon::MimePrefix);
    if (key.startsWith(mimePrefix)) {
        const QMimeType type = QMimeDatabase().mimeTypeForName(key.mid(mimePrefix.size()));
        return themed(type.iconName(), themed(type.genericIconName(), provider.icon(P::File)));
    }
    if (key == QString::fromUtf16(platform::SystemIcon::Desktop))
        return provider.icon(P::Desktop);
    if (key == QString::fromUtf16(platform::SystemIcon::Computer))
        return provider.icon(P::Computer);
    if (key == QString::fromUtf16(platform::SystemIcon::HardDisk) ||
        key == QString::fromUtf16(platform::SystemIcon::Removable))
        return themed(key, provider.icon(P::Drive));
    return themed(key, provider.icon(P::Folder));
}

QHash<int, QIcon>& sharedIcons()
{
    static QHash<int, QIcon> icons;
    return icons;
}

QIcon sharedIcon(int index)
{
    const QString key = platform::SystemIconKey(index);
    if (key.isEmpty())
        return {};
    QHash<int, QIcon>& icons = sharedIcons();
    auto it = icons.constFind(index);
    if (it == icons.constEnd())
        it = icons.insert(index, makeIcon(key));
    return *it;
}

} // namespace

TSystemImageList::TSystemImageList(QObject* owner) : QObject(owner)
{
    SetShareImages(true);
    SetSize(si_small);
}

void TSystemImageList::SetShareImages(bool share)
{
    share_ = share;
    fetch();
}

void TSystemImageList::SetSize(TImageListSize size)
{
    size_ = size;
    fetch();
}

void TSystemImageList::fetch()
{
    own_.clear();
    if (!share_) {
        for (int i = 0; i < platform::SystemIconCount(); ++i)
            own_.insert(i, sharedIcon(i));
    }
    if (OnChange)
        OnChange(this);
}

QSize TSystemImageList::iconSize() const
{
    return size_ == si_small ? QSize(16, 16) : QSize(32, 32);
}

int TSystemImageList::count() const
{
    return platform::SystemIconCount();
}

QIcon TSystemImageList::icon(int index) const
{
    if (share_)
        return sharedIcon(index);
    auto it = own_.constFind(index);
    if (it == own_.constEnd())
        it = own_.insert(index, sharedIcon(index));
    return *it;
}

QPixmap TSystemImageList::pixmap(int index) const
{
    return icon(index).pixmap(iconSize());
}

QIcon TSystemImageList::overlay(int index)
{
    static const QIcon shared = QIcon::fromTheme(u"emblem-shared"_s);
    static const QIcon link = themed(u"emblem-symbolic-link"_s,
                                     QApplication::style()->standardIcon(QStyle::SP_FileLinkIcon));
    return index == 0 ? shared : (index == 1 ? link : QIcon());
}
