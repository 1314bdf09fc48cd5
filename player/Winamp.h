#pragma once

#include "platform/Events.h"
#include "platform/WindowMessages.h"

#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <optional>

class QTimer;

enum TWinampStatus { WAPlaying, WAPause, WAStop, WAUnknown };

// The player's equaliser: slot k holds its answer to the query with index k.
struct stEQStatus {
    std::array<quint8, 13> slot{};
    friend bool operator==(const stEQStatus&, const stEQStatus&) = default;
};

using TEQEvent = std::function<void(stEQStatus& newEQPos)>;

// Remote control of the external player, whose main window has the class
// "Winamp v1.x", by window messages (platform/WindowMessages.h).
//
// The player window, the last reported status and the last equaliser record
// are shared by every instance in the process (see Winamp.cpp). Commands go
// to that window; without one they go nowhere and every answer reads 0.
// Events are raised only when assigned, with the component as sender.
class TWinamp : public QObject {
    Q_OBJECT
public:
    explicit TWinamp(QObject* owner = nullptr);
    ~TWinamp() override;

    QString About;        // "About..."
    QString PathToWinAmp; // full path of the player's program
    TNotifyEvent OnStopPlay;
    TNotifyEvent OnStartPlay;
    TNotifyEvent OnPause;
    TNotifyEvent OnWinampExit;
    TEQEvent OnEQChange;

    // The stored value ends in the zero character(s) of the hand-overs.
    const QString& FileName() const { return fileName_; }
    // Hands the file to the player: by one copy-data record from version
    // 0x1700 on, else one posted message per byte of its native name.
    void setFileName(const QString& fileName);
    // Milliseconds (the player answers seconds).
    int SongLength() const;
    TWinampStatus WinampStatus() const;
    // Whether the player window was visible at the last polling tick.
    bool WinampVisible() const { return winampVisible_; }

    // Starts PathToWinAmp, looks for the player window, hands FileName over
    // again, reads the equaliser and starts watching the player: the events
    // follow what the window back-end announces, and a slow poll catches
    // what it does not. False when no player window exists.
    bool StartWinAmp();
    void CloseWinAmp();
    void Play();
    void Pause();
    void Stop();
    void OpenEQ();
    void VolumeUpByOne();
    void VolumeDownByOne();
    // Both need version 0x2000.
    void SetVolume(quint8 volume);
    void SetPanning(quint8 panning);
    void JumpFWRDBy5sec();
    void JumpREWBy5sec();
    void FadeOutAndStop();
    void OpenPlayList();
    void MakeVisible();
    // Brings the player forward and types Alt+3 (its tag window).
    void ID3Tag();
    // An open-dialog filter of the player's input plug-ins
    // (player/InputPlugins.h), ending in one zero character.
    QString SupportFormats() const;
    platform::LRESULT JumpToTime(int ms);

private:
    platform::LRESULT WinampVersion() const;
    // Empty below version 0x2400.
    std::optional<stEQStatus> ReadEQ() const;
    void command(platform::WPARAM id) const;
    void handOver();
    void watch();
    void tickSoon();
    void tick();

    QTimer* timer_;
    QMetaObject::Connection changes_;
    bool tickQueued_ = false;
    bool winampVisible_ = false;
    QString fileName_;
};
