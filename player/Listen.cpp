#include "player/Listen.h"

#include "player/Winamp.h"

#include <QtGlobal>

namespace player {

bool Listen(TWinamp& winamp, const QString& fileName, QString& winampPath, int startPosition,
            const AskPlayerLocation& askPlayerLocation, const WritePlayerPath& writePlayerPath)
{
    // Without a known player window this first hand-over goes nowhere;
    // StartWinAmp hands the file over again once it found one.
    winamp.setFileName(fileName);
    while (!winamp.StartWinAmp()) {
        const QString location = askPlayerLocation ? askPlayerLocation() : QString();
        if (location.isEmpty())
            return false;
        winampPath = location;
        winamp.PathToWinAmp = location;
    }
    winamp.Play();
    if (writePlayerPath)
        writePlayerPath(winampPath);
    // In 64 bits and within 0..100 %, so that neither a long song nor a wild
    // setting can overflow or jump outside the song.
    const qint64 product = qint64(winamp.SongLength()) * qBound(0, startPosition, 100);
    winamp.JumpToTime(int(double(product) / 100.0));
    return true;
}

} // namespace player
