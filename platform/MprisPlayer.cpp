#include "platform/MprisPlayer.h"

#include "platform/NativePath.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace platform {

namespace {

const QString kRootInterface = u"org.mpris.MediaPlayer2"_s;

bool isTrack(const QString& trackId)
{
    // "/noplaylist" is mpv's way of saying what MPRIS spells ".../NoTrack".
    return !trackId.isEmpty() && trackId != u"/noplaylist"_s && !trackId.endsWith(u"/NoTrack"_s);
}

QString trackIdOf(const QVariant& value)
{
    if (value.canConvert<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}

} // namespace

MprisPlayer::MprisPlayer(const QDBusConnection& bus, const QString& service, const QString& owner)
    : bus_(bus), service_(service), owner_(owner)
{
}

bool MprisPlayer::call(const QString& interface, const QString& method, const QVariantList& args,
                       Mode mode)
{
    if (!alive_)
        return false;
    // Addressed to the unique name: a player that restarts is another window.
    QDBusMessage message = QDBusMessage::createMethodCall(owner_, objectPath, interface, method);
    message.setArguments(args);
    if (mode == Mode::NoWait)
        return bus_.send(message);
    const QDBusMessage reply = bus_.call(message, QDBus::Block, callTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    const QString error = reply.errorName();
    if (error == u"org.freedesktop.DBus.Error.NoReply"_s ||
        error == u"org.freedesktop.DBus.Error.Timeout"_s)
        return true;
    if (error == u"org.freedesktop.DBus.Error.ServiceUnknown"_s)
        alive_ = false;
    return false;
}

void MprisPlayer::load()
{
    QDBusMessage message =
        QDBusMessage::createMethodCall(owner_, objectPath, propertiesInterface, u"GetAll"_s);
    message.setArguments({playerInterface});
    const QDBusMessage reply = bus_.call(message, QDBus::Block, callTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
        apply(qdbus_cast<QVariantMap>(reply.arguments().constFirst()));
}

void MprisPlayer::apply(const QVariantMap& changed)
{
    // The track first: a failed opening announces its track and "Stopped"
    // together, and the status rule below depends on the track.
    const auto metadata = changed.constFind(u"Metadata"_s);
    if (metadata != changed.constEnd())
        applyMetadata(qdbus_cast<QVariantMap>(*metadata));
    const auto status = changed.constFind(u"PlaybackStatus"_s);
    if (status != changed.constEnd())
        applyStatus(status->toString());
    const auto volume = changed.constFind(u"Volume"_s);
    if (volume != changed.constEnd())
        volume_ = volume->toDouble();
}

void MprisPlayer::applyMetadata(const QVariantMap& metadata)
{
    trackId_ = trackIdOf(metadata.value(u"mpris:trackid"_s));
    const auto length = metadata.constFind(u"mpris:length"_s);
    lengthUs_ = length != metadata.constEnd() ? length->toLongLong() : -1;
    // Some players announce the track before they know its length.
    if (isTrack(trackId_) && lengthUs_ > 0)
        trackPending_ = false;
}

void MprisPlayer::applyStatus(const QString& status)
{
    Status next;
    if (status == u"Playing"_s)
        next = Status::Playing;
    else if (status == u"Paused"_s)
        next = Status::Paused;
    else if (status == u"Stopped"_s)
        next = Status::Stopped;
    else
        return;
    // A "Stopped" that reaches us before the track of a file we opened is
    // news from before the opening (mpv, for one, announces a stop late and
    // never announces that an opened file plays).
    if (next == Status::Stopped && trackPending())
        return;
    status_ = next;
}

bool MprisPlayer::openFile(const QString& path)
{
    const QString uri = FileUrl(AbsolutePath(path)).toString(QUrl::FullyEncoded);
    if (!call(playerInterface, u"OpenUri"_s, {uri}, Mode::Wait))
        return false;
    lastFile_ = path;
    trackId_.clear();
    lengthUs_ = -1;
    trackPending_ = true;
    pendingUntil_.setRemainingTime(openingTimeoutMs);
    // An opened file plays, unless the player was paused and stays so.
    if (status_ != Status::Paused)
        status_ = Status::Playing;
    return true;
}

bool MprisPlayer::play(Mode mode)
{
    // A stopped player plays its current file from the start, but stopping
    // unloads the file in some players (mpv): open the last file again.
    if (mode == Mode::Wait && status_ == Status::Stopped && !lastFile_.isEmpty())
        return openFile(lastFile_);
    if (!call(playerInterface, u"Play"_s, {}, mode))
        return false;
    if (mode == Mode::Wait)
        status_ = Status::Playing;
    return true;
}

bool MprisPlayer::pause(Mode mode)
{
    if (!call(playerInterface, u"Pause"_s, {}, mode))
        return false;
    if (mode == Mode::Wait && status_ == Status::Playing)
        status_ = Status::Paused;
    return true;
}

bool MprisPlayer::stop(Mode mode)
{
    if (!call(playerInterface, u"Stop"_s, {}, mode))
        return false;
    if (mode == Mode::Wait) {
        status_ = Status::Stopped;
        trackPending_ = false;
    }
    return true;
}

bool MprisPlayer::seek(qint64 offsetUs, Mode mode)
{
    return call(playerInterface, u"Seek"_s, {QVariant::fromValue(qlonglong(offsetUs))}, mode);
}

bool MprisPlayer::setPosition(qint64 positionUs, Mode mode)
{
    if (!isTrack(trackId_) || positionUs < 0)
        return false;
    return call(playerInterface, u"SetPosition"_s,
                {QVariant::fromValue(QDBusObjectPath(trackId_)),
                 QVariant::fromValue(qlonglong(positionUs))},
                mode);
}

bool MprisPlayer::setVolume(double volume, Mode mode)
{
    const double bounded = qBound(0.0, volume, 1.0);
    const QVariantList args{playerInterface, u"Volume"_s,
                            QVariant::fromValue(QDBusVariant(QVariant(bounded)))};
    if (!call(propertiesInterface, u"Set"_s, args, mode))
        return false;
    volume_ = bounded;
    return true;
}

bool MprisPlayer::raise()
{
    return call(kRootInterface, u"Raise"_s, {}, Mode::NoWait);
}

bool MprisPlayer::quit(Mode mode)
{
    return call(kRootInterface, u"Quit"_s, {}, mode);
}

} // namespace platform
