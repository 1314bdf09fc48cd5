#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace widgets {

// Asks the user for a file to open: its full path, or an empty text when the
// user cancels. Forms hold one as a member, so that tests can put their own
// in its place.
using FileChooser = std::function<QString(QWidget* parent)>;

// The open-file dialog for the media player's program. It keeps the title and
// the filter's description of the designed dialog (for instance "Winamp的位置"
// and "Winamp播放器") but offers and accepts any executable file: there is no
// "Winamp.exe" on this desktop. proposedName pre-fills the file name.
FileChooser executableChooser(const QString& title, const QString& description,
                              const QString& proposedName = {});

} // namespace widgets
