#pragma once

#include <QString>
#include <QStringList>

class QMimeData;

namespace platform {

// Files on the clipboard as the desktop's file managers exchange them: the
// URLs as text/uri-list, x-special/gnome-copied-files ("copy" or "cut", then
// one URL a line) and KDE's cut mark, and the paths as plain text.
struct ClipboardFiles {
    QStringList paths;
    bool cut = false;
};

// False without a clipboard (no GUI application) or without paths.
bool SetClipboardFiles(const QStringList& paths, bool cut);
// The local files on the clipboard; empty when it holds none.
ClipboardFiles ReadClipboardFiles();

// The clipboard's forms, for drag and drop as well.
QMimeData* CreateFilesMimeData(const QStringList& paths, bool cut);
ClipboardFiles FilesFromMimeData(const QMimeData* data);

} // namespace platform
