#pragma once

#include <QString>

#include <functional>

class TWinamp;

namespace player {

// Asks the user where the player program is; empty when the user cancels.
using AskPlayerLocation = std::function<QString()>;
// Writes the player path to the settings file ("WinampInfo"/"Path").
using WritePlayerPath = std::function<void(const QString& path)>;

// The listen button: hands fileName to the player, starts the player
// (asking for its location after each failed start, until the user
// cancels), plays, writes winampPath to the settings and jumps to
// startPosition percent (0..100) of the song. winampPath is the main
// window's player path and is updated with every location chosen.
// Returns false when the user cancelled: then nothing is played or written.
bool Listen(TWinamp& winamp, const QString& fileName, QString& winampPath, int startPosition,
            const AskPlayerLocation& askPlayerLocation, const WritePlayerPath& writePlayerPath);

} // namespace player
