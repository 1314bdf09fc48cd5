#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The file operations behind the shell's verbs. None of them ever removes a
// user's file for good or replaces one silently.
namespace platform {

// Copies a file, a symbolic link or a folder with everything inside it to
// `target`, which must not exist. The copy is built under a temporary name
// beside the target and put in place without replacing anything, so a copy
// that fails part-way leaves nothing at the target. Modes and times are kept.
bool CopyItem(const QString& source, const QString& target);

// What to do with a pasted item whose name already exists in the folder.
enum class ReplaceChoice { Replace, Skip, Cancel };
using AskReplace = std::function<ReplaceChoice(const QString& target)>;

struct PasteResult {
    QStringList pasted; // the new paths, in the order of the sources
    int skipped = 0;
    int failed = 0;
    bool cancelled = false;
    bool ok() const { return failed == 0 && !cancelled; }
};

// Copies (or, for `cut`, moves) the sources into `folder`. A copy into the
// folder the source is in gets a new name ("a - 副本.mp3"); a cut there is
// left alone. When the name exists, `ask` decides (unset: skip); a replaced
// item goes to the trash, and only after the new one is complete. A folder
// is never pasted into itself, a read-only item is never replaced, and
// nothing is pasted into a read-only folder or cut from one.
PasteResult PasteItems(const QStringList& sources, bool cut, const QString& folder,
                       const AskReplace& ask);

// Moves the items to the desktop trash ($XDG_DATA_HOME/Trash). True when
// every one of them went; the others stay where they are.
bool TrashItems(const QStringList& paths);

// Where the items of this process's last TrashItems call went, so that a
// window can make the shell's delete verb a step it can undo; `inTrash` is
// empty for an item that stayed.
struct TrashedItem {
    QString path;
    QString inTrash;
};
const QList<TrashedItem>& LastTrashedItems();

} // namespace platform
