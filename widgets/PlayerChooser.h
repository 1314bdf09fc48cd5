#pragma once

#include "widgets/OpenDlg.h"

#include <QString>

#include <functional>
#include <vector>

// The question the listen button asks when no player can be started: which
// media player program to use. It offers the players found running (on the
// session bus) and a file dialog for any other program.
namespace widgets {

struct PlayerChoice {
    QString name;
    QString program;
};
using PlayerFinder = std::function<std::vector<PlayerChoice>()>;

// The dialog "选择媒体播放器" (objectName "FormPlayerChoice"): the players of
// `find` in ListPlayers, BtnPlayerBrowse "浏览..." for a program file,
// BtnPlayerOk and BtnPlayerCancel. Gives the chosen program's path, or an
// empty text when the user cancels.
FileChooser playerChooser(PlayerFinder find);

} // namespace widgets
