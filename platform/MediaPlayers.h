#pragma once

#include <QDBusConnection>
#include <QString>

#include <vector>

// The media players on the session bus (MPRIS 2) that the listen button can
// be given as its player program.
namespace platform {

struct MediaPlayer {
    QString name;    // as the player calls itself ("Identity"), else its bus name
    QString program; // the program its process runs
};

// Each player once by program, in the order of their bus names; a player
// whose program cannot be told (another user's process) is left out.
std::vector<MediaPlayer> MediaPlayersOnBus(const QDBusConnection& bus);

} // namespace platform
