#pragma once

#include <QString>

namespace player {

// An open-dialog filter built from the player's input plug-ins: the shared
// libraries "in_*.dll" in the folder "Plugins/" beside the player program
// (playerPath), each asked through its export "winampGetInModule2"
// (player/InModule.h). The result is
//   "All supported types|" + every pattern + "|" + description|patterns|...
// followed by one zero character. A library that cannot be loaded or lacks
// the export adds nothing. A player path that is not absolute has no folder
// to look in: libraries are never loaded from the current folder.
QString inputPluginFilter(const QString& playerPath);

} // namespace player
