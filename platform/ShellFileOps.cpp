#include "platform/ShellFileOps.h"

#include "platform/FileNameCodec.h"
#include "platform/FileOps.h"
#include "platform/FileTree.h"
#include "platform/NativePath.h"
#include "platform/ShellItem.h"
#include "platform/Trash.h"

#include <QFileInfo>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace platform {

namespace {

bool lstatOk(const std::string& path, struct ::stat& st)
{
    return ::lstat(path.c_str(), &st) == 0;
}

// A hidden folder beside the target that holds an item until it is complete;
// removed with whatever is left in it when the operation ends.
class Staging {
public:
    explicit Staging(const QString& folder)
    {
        std::string pattern = NativePath(JoinPath(folder, u".mp3t-paste-XXXXXX"_s));
        if (::mkdtemp(pattern.data()))
            dir_ = pattern;
    }
    ~Staging()
    {
        if (!dir_.empty() && !keep_)
            RemoveTree(dir_);
    }
    Staging(const Staging&) = delete;
    Staging& operator=(const Staging&) = delete;
    bool isValid() const { return !dir_.empty(); }
    std::string item() const { return dir_ + "/item"; }
    QString itemPath() const { return decodeFileName(QByteArray::fromStdString(item())); }
    // The staged item is the user's only copy: it must survive the staging.
    void keep() { keep_ = true; }

private:
    std::string dir_;
    bool keep_ = false;
};

bool sameFile(const QString& a, const QString& b)
{
    struct ::stat x {
    }, y{};
    return ::stat(NativePath(a).c_str(), &x) == 0 && ::stat(NativePath(b).c_str(), &y) == 0 &&
           x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

bool isInside(const QString& folder, const QString& source)
{
    const QString f = CanonicalPath(folder);
    const QString s = CanonicalPath(source);
    return !f.isEmpty() && !s.isEmpty() && (f == s || f.startsWith(JoinPath(s, QString())));
}

QString parentOf(const QString& path)
{
    const QString parent = QFileInfo(path).path();
    return parent.isEmpty() ? u"/"_s : parent;
}

// "a.mp3" -> "a - 副本.mp3", then "a - 副本 (2).mp3", ...
QString freeCopyName(const QString& folder, const QString& name, bool isFolder)
{
    const qsizetype dot = isFolder ? -1 : name.lastIndexOf(u'.');
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString ext = dot > 0 ? name.mid(dot) : QString();
    for (int n = 1;; ++n) {
        const QString mark = n == 1 ? u" - 副本"_s : u" - 副本 (%1)"_s.arg(n);
        const QString candidate = JoinPath(folder, base + mark + ext);
        if (!PathExists(NativePath(candidate)))
            return candidate;
    }
}

// Puts the source at `to` (which does not exist): a copy, or the item itself.
bool place(const QString& source, const QString& to, bool cut)
{
    return cut ? MoveFileA(source, to) : CopyItem(source, to);
}

// The new item is complete before the old one goes to the trash; if the last
// step fails the old one comes back from the trash.
bool replace(const QString& source, const QString& target, bool cut)
{
    if (IsReadOnly(target) || sameFile(source, target))
        return false;
    Staging staging(parentOf(target));
    if (!staging.isValid() || !place(source, staging.itemPath(), cut))
        return false;
    QString inTrash;
    bool ok = MoveToTrash(target, &inTrash);
    if (ok && !RenameNoReplace(staging.item(), NativePath(target))) {
        MoveFileA(inTrash, target);
        ok = false;
    }
    if (!ok && cut && !MoveFileA(staging.itemPath(), source))
        staging.keep(); // the moved item stays in the hidden folder rather than being lost
    return ok;
}

enum class Outcome { Pasted, Skipped, Failed, Cancelled };

Outcome pasteOne(const QString& source, bool cut, const QString& folder, const AskReplace& ask,
                 QString& pasted)
{
    struct ::stat st {};
    if (!lstatOk(NativePath(source), st) || (cut && IsReadOnly(parentOf(source))))
        return Outcome::Failed;
    const QString name = QFileInfo(source).fileName();
    QString target = JoinPath(folder, name);
    if (sameFile(parentOf(source), folder)) {
        if (cut)
            return Outcome::Skipped; // already where it is to go
        target = freeCopyName(folder, name, S_ISDIR(st.st_mode));
    } else if (S_ISDIR(st.st_mode) && isInside(folder, source)) {
        return Outcome::Failed;
    }
    bool ok = false;
    if (!PathExists(NativePath(target))) {
        ok = place(source, target, cut);
    } else {
        const ReplaceChoice choice = ask ? ask(target) : ReplaceChoice::Skip;
        if (choice == ReplaceChoice::Cancel)
            return Outcome::Cancelled;
        if (choice == ReplaceChoice::Skip)
            return Outcome::Skipped;
        ok = replace(source, target, cut);
    }
    pasted = target;
    return ok ? Outcome::Pasted : Outcome::Failed;
}

} // namespace

bool CopyItem(const QString& source, const QString& target)
{
    if (source.isEmpty() || target.isEmpty() || PathExists(NativePath(target)))
        return false;
    const Staging staging(parentOf(target));
    return staging.isValid() && CopyTree(NativePath(source), staging.item()) &&
           RenameNoReplace(staging.item(), NativePath(target));
}

PasteResult PasteItems(const QStringList& sources, bool cut, const QString& folder,
                       const AskReplace& ask)
{
    PasteResult result;
    struct ::stat st {};
    if (::stat(NativePath(folder).c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        IsReadOnly(folder)) {
        result.failed = int(sources.size());
        return result;
    }
    for (const QString& source : sources) {
        QString pasted;
        switch (pasteOne(source, cut, folder, ask, pasted)) {
        case Outcome::Pasted:
            result.pasted.append(pasted);
            break;
        case Outcome::Skipped:
            ++result.skipped;
            break;
        case Outcome::Failed:
            ++result.failed;
            break;
        case Outcome::Cancelled:
            result.cancelled = true;
            return result;
        }
    }
    return result;
}

namespace {

QList<TrashedItem>& lastTrashed()
{
    static QList<TrashedItem> items;
    return items;
}

} // namespace

bool TrashItems(const QStringList& paths)
{
    lastTrashed().clear();
    bool ok = !paths.isEmpty();
    for (const QString& path : paths) {
        QString inTrash;
        ok = MoveToTrash(path, &inTrash) && ok;
        lastTrashed().append({path, inTrash});
    }
    return ok;
}

const QList<TrashedItem>& LastTrashedItems()
{
    return lastTrashed();
}

} // namespace platform
