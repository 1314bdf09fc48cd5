#pragma once

#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QString>
#include <QVariantMap>

namespace platform {

// One media player on the session bus, as MPRIS 2 describes it: the calls
// that drive it and what it last announced. Every call is bounded: one that
// waits gives up after callTimeoutMs; one that does not wait is only queued
// on the bus. A call the player was given but did not answer in time still
// counts as made: a busy player acts on it late, and its announcements set
// the record straight (a hung one just stays what it was last seen to be).
class MprisPlayer {
public:
    enum class Status { Stopped, Playing, Paused };
    enum class Mode { Wait, NoWait };
    static constexpr int callTimeoutMs = 1000;
    // How long a just-opened file may go without its track and length being
    // announced: queries wait for them this long at most.
    static constexpr int openingTimeoutMs = 5000;

    // The names MPRIS 2 gives a player's object and its interfaces.
    static inline const QString objectPath = QStringLiteral("/org/mpris/MediaPlayer2");
    static inline const QString playerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
    static inline const QString propertiesInterface =
        QStringLiteral("org.freedesktop.DBus.Properties");

    MprisPlayer(const QDBusConnection& bus, const QString& service, const QString& owner);

    const QString& service() const { return service_; }
    // The player's unique connection name: it identifies the process.
    const QString& owner() const { return owner_; }
    bool alive() const { return alive_; }
    void markGone() { alive_ = false; }

    // Reads every property of the player interface (one bounded call).
    void load();
    // A change the player announced for its player interface.
    void apply(const QVariantMap& changed);

    Status status() const { return status_; }
    // -1 while unknown.
    qint64 lengthUs() const { return lengthUs_; }
    double volume() const { return volume_; }
    // A recent opening whose track and length the player has not announced.
    bool trackPending() const { return trackPending_ && !pendingUntil_.hasExpired(); }
    qint64 pendingRemainingMs() const { return trackPending() ? pendingUntil_.remainingTime() : 0; }

    bool openFile(const QString& path);
    bool play(Mode mode);
    bool pause(Mode mode);
    bool stop(Mode mode);
    bool seek(qint64 offsetUs, Mode mode);
    bool setPosition(qint64 positionUs, Mode mode);
    bool setVolume(double volume, Mode mode);
    bool raise();
    bool quit(Mode mode);

private:
    // Whether the call reached the player: it answered, or it was given the
    // call and did not answer in time.
    bool call(const QString& interface, const QString& method, const QVariantList& args, Mode mode);
    void applyMetadata(const QVariantMap& metadata);
    void applyStatus(const QString& status);

    QDBusConnection bus_;
    QString service_;
    QString owner_;
    bool alive_ = true;
    Status status_ = Status::Stopped;
    qint64 lengthUs_ = -1;
    QString trackId_;
    double volume_ = 1.0;
    bool trackPending_ = false;
    QDeadlineTimer pendingUntil_;
    QString lastFile_;
};

} // namespace platform
