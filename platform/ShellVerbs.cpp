#include "platform/ShellVerbs.h"

#include "platform/NativePath.h"
#include "platform/ShellClipboard.h"
#include "platform/ShellNamespace.h"

#include <QDesktopServices>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace platform {

namespace {

bool allHave(const ShellFolder& folder, const std::vector<ItemIdList>& items, quint32 attribute)
{
    if (items.empty())
        return false;
    for (const ItemIdList& item : items) {
        if (!(folder.attributesOf(item, attribute) & attribute) || folder.pathOf(item).isEmpty())
            return false;
    }
    return true;
}

QStringList pathsOf(const ShellFolder& folder, const std::vector<ItemIdList>& items)
{
    QStringList paths;
    for (const ItemIdList& item : items)
        paths.append(folder.pathOf(item));
    return paths;
}

QString canonicalVerb(const QString& verb)
{
    const QString v = verb.toLower();
    return v.isEmpty() || v == u"default"_s ? u"open"_s : v;
}

bool openItems(const QStringList& paths, const ShellPrompts& prompts)
{
    bool ok = !paths.isEmpty();
    for (const QString& path : paths) {
        if (path.isEmpty())
            ok = false;
        else if (prompts.openFile)
            ok = prompts.openFile(path) && ok;
        else
            ok = QDesktopServices::openUrl(FileUrl(path)) && ok;
    }
    return ok;
}

} // namespace

QString PasteFolderFor(const ShellFolder& folder, const std::vector<ItemIdList>& items)
{
    if (items.size() == 1 && (folder.attributesOf(items.front(), SFGAO_FOLDER) & SFGAO_FOLDER))
        return folder.pathOf(items.front());
    return folder.path();
}

bool CanInvokeShellVerb(const ShellFolder& folder, const std::vector<ItemIdList>& items,
                        const QString& verb)
{
    const QString v = canonicalVerb(verb);
    if (v == u"open"_s)
        return !items.empty();
    if (v == u"cut"_s)
        return allHave(folder, items, SFGAO_CANMOVE);
    if (v == u"copy"_s)
        return allHave(folder, items, SFGAO_CANCOPY);
    if (v == u"delete"_s)
        return allHave(folder, items, SFGAO_CANDELETE);
    if (v == u"rename"_s)
        return items.size() == 1 && allHave(folder, items, SFGAO_CANRENAME);
    if (v == u"paste"_s)
        return !PasteFolderFor(folder, items).isEmpty() && !ReadClipboardFiles().paths.isEmpty();
    return false;
}

bool InvokeShellVerb(const ShellFolder& folder, const std::vector<ItemIdList>& items,
                     const QString& verb, const ShellPrompts& prompts)
{
    const QString v = canonicalVerb(verb);
    if (v == u"open"_s)
        return openItems(pathsOf(folder, items), prompts);
    if (v == u"paste"_s) {
        const QString target = PasteFolderFor(folder, items);
        const ClipboardFiles files = ReadClipboardFiles();
        if (target.isEmpty() || files.paths.isEmpty())
            return false;
        return PasteItems(files.paths, files.cut, target, prompts.askReplace).ok();
    }
    if (v == u"rename"_s || !CanInvokeShellVerb(folder, items, v))
        return false;
    const QStringList paths = pathsOf(folder, items);
    if (v == u"copy"_s || v == u"cut"_s)
        return SetClipboardFiles(paths, v == u"cut"_s);
    if (v == u"delete"_s)
        return prompts.confirmDelete && prompts.confirmDelete(paths) && TrashItems(paths);
    return false;
}

} // namespace platform
