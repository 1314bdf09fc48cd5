#pragma once

#include "platform/Events.h"

#include <QEvent>
#include <QObject>
#include <QString>

#include <initializer_list>
#include <memory>
#include <thread>

// The kinds of change a directory monitor reports.
enum TDirMonValue { dmcFileName, dmcDirName, dmcAttributes, dmcSize, dmcLastWrite, dmcSecurity };

// A set of TDirMonValue.
class TDirMonType {
public:
    constexpr TDirMonType() = default;
    constexpr TDirMonType(std::initializer_list<TDirMonValue> values)
    {
        for (const TDirMonValue v : values)
            bits_ |= bit(v);
    }
    constexpr bool contains(TDirMonValue v) const { return bits_ & bit(v); }
    constexpr bool isEmpty() const { return bits_ == 0; }
    constexpr TDirMonType& operator+=(TDirMonValue v)
    {
        bits_ |= bit(v);
        return *this;
    }
    friend constexpr bool operator==(TDirMonType, TDirMonType) = default;

private:
    static constexpr quint8 bit(TDirMonValue v) { return quint8(1u << v); }
    quint8 bits_ = 0;
};

// How the monitor's filter reaches the kernel.
namespace dirmon {

// The platform's change-notification bits of a filter (file names 0x001,
// folder names 0x002, attributes 0x004, size 0x008, last write 0x010,
// security 0x100), and back.
quint32 FilterBits(TDirMonType filter);
TDirMonType FilterSet(quint32 bits);

// The inotify events a watch with these filter bits asks for: names map to
// creation, deletion and both halves of a rename, attributes and security to
// attribute changes, size and last write to modification and close-after-write.
// Nested watches also hear of new sub-folders, to watch them too.
quint32 InotifyMask(quint32 filterBits, bool nested);

// Whether one inotify event is a change that the filter reports;
// `onWatchedFolder` when it concerns the watched folder itself (its deletion).
bool EventMatches(quint32 eventMask, quint32 filterBits, bool onWatchedFolder);

} // namespace dirmon

// Watches one directory on a worker thread and raises OnDirChange on the
// user-interface thread, once for each batch of matching changes that the
// worker reads. Start, Stop and destruction must run on the thread that
// created the monitor; Stop and the destructor wait for the worker to end.
class TDirMon : public QObject {
public:
    // What the worker posts to the monitor's hidden receiver.
    static constexpr QEvent::Type ChangeEvent = QEvent::Type(1025);

    explicit TDirMon(QObject* owner = nullptr);
    ~TDirMon() override;
    TDirMon(const TDirMon&) = delete;
    TDirMon& operator=(const TDirMon&) = delete;

    QString Directory() const { return directory_; }
    // A trailing "/" is dropped (not from "/" itself). A different directory
    // restarts the worker (Stop when running, then Start); the same one does nothing.
    void SetDirectory(const QString& directory);

    TDirMonType NotifyFilter() const;
    // Raises platform::Exception while running.
    void SetNotifyFilter(TDirMonType filter);

    // Also watch every sub-folder; read when the worker starts.
    bool Nested = false;

    TNotifyEvent OnDirChange; // exceptions that the handler throws are swallowed
    TNotifyEvent OnStart;
    TNotifyEvent OnStop;

    // Does nothing when running or without a directory. A directory that
    // cannot be watched ends the worker silently; the monitor still counts
    // as running until Stop.
    void Start();
    // Raises platform::Exception "DirMon not started" when stopped.
    void Stop();
    bool Running() const { return worker_.joinable(); }

protected:
    virtual void DoDirChange();
    virtual void DoStart();
    virtual void DoStop();

private:
    class Window;
    friend class Window;
    void halt();

    std::unique_ptr<Window> window_;
    QString directory_;
    quint32 filterBits_ = 0x001;
    std::thread worker_;
    int stopFd_ = -1;
    // Changes posted by an earlier worker are dropped: a change reported after
    // Stop, or from the previous directory, would be a false report.
    quint64 generation_ = 0;
};
