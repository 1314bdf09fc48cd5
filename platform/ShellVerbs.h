#pragma once

#include "platform/ItemIdList.h"
#include "platform/ShellFileOps.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace platform {

class ShellFolder;

// The questions the verbs ask the user; the shell components supply message
// boxes, tests their own answers.
struct ShellPrompts {
    // Asked once before items go to the trash; unset: nothing is deleted.
    std::function<bool(const QStringList& paths)> confirmDelete;
    // Asked for each pasted item whose name exists; unset: it is skipped.
    AskReplace askReplace;
    // Opens a file with the desktop's default application; unset: QDesktopServices.
    std::function<bool(const QString& path)> openFile;
};

// The verbs of the shell context menu, in menu order.
inline const QStringList ShellVerbNames = {QStringLiteral("open"),   QStringLiteral("cut"),
                                           QStringLiteral("copy"),   QStringLiteral("paste"),
                                           QStringLiteral("delete"), QStringLiteral("rename")};

// Whether a verb can run on these children of the folder now ("paste" needs
// files on the clipboard, "delete" items with the can-delete attribute, ...).
bool CanInvokeShellVerb(const ShellFolder& folder, const std::vector<ItemIdList>& items,
                        const QString& verb);

// Runs "open", "copy", "cut", "paste" or "delete" ("default" is "open", case is
// ignored) on children of the folder. "paste" goes into the one folder item
// given, else into the folder itself. "rename" needs a new name and is
// ShellFolder::setNameOf. True when the verb was done.
bool InvokeShellVerb(const ShellFolder& folder, const std::vector<ItemIdList>& items,
                     const QString& verb, const ShellPrompts& prompts);

// The folder a paste on these items goes into; empty when there is none.
QString PasteFolderFor(const ShellFolder& folder, const std::vector<ItemIdList>& items);

} // namespace platform
