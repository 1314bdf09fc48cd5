#include "platform/MediaPlayers.h"

#include "platform/NativePath.h"

#include <QDBusMessage>
#include <QDBusVariant>
#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace platform {

namespace {

const QString kPlayerPrefix = u"org.mpris.MediaPlayer2."_s;
const QString kBusService = u"org.freedesktop.DBus"_s;
const QString kBusPath = u"/org/freedesktop/DBus"_s;
// A player that does not answer within this is not waited for.
constexpr int kCallTimeoutMs = 1000;

QVariant firstAnswer(const QDBusConnection& bus, QDBusMessage call)
{
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().constFirst();
}

QStringList playerNames(const QDBusConnection& bus)
{
    const QVariant names = firstAnswer(
        bus, QDBusMessage::createMethodCall(kBusService, kBusPath, kBusService, u"ListNames"_s));
    QStringList players = names.toStringList().filter(kPlayerPrefix);
    players.removeIf([](const QString& name) { return !name.startsWith(kPlayerPrefix); });
    players.sort();
    return players;
}

QString programOf(const QDBusConnection& bus, const QString& name)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kBusService, kBusPath, kBusService,
                                                       u"GetConnectionUnixProcessID"_s);
    call.setArguments({name});
    const uint pid = firstAnswer(bus, call).toUInt();
    return pid == 0 ? QString() : CanonicalPath(u"/proc/%1/exe"_s.arg(pid));
}

QString identityOf(const QDBusConnection& bus, const QString& name)
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        name, u"/org/mpris/MediaPlayer2"_s, u"org.freedesktop.DBus.Properties"_s, u"Get"_s);
    get.setArguments({u"org.mpris.MediaPlayer2"_s, u"Identity"_s});
    const QString identity = firstAnswer(bus, get).value<QDBusVariant>().variant().toString();
    return identity.isEmpty() ? name.mid(kPlayerPrefix.size()) : identity;
}

} // namespace

std::vector<MediaPlayer> MediaPlayersOnBus(const QDBusConnection& bus)
{
    std::vector<MediaPlayer> players;
    if (!bus.isConnected())
        return players;
    for (const QString& name : playerNames(bus)) {
        const QString program = programOf(bus, name);
        const bool known = std::any_of(players.cbegin(), players.cend(),
                                       [&](const MediaPlayer& p) { return p.program == program; });
        if (!program.isEmpty() && !known)
            players.push_back({identityOf(bus, name), program});
    }
    return players;
}

} // namespace platform
