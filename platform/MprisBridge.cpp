#include "platform/MprisBridge.h"

#include <QDBusArgument>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace platform {

namespace {

const QString kWindowClass = u"Winamp v1.x"_s;
const QString kPlayerPrefix = u"org.mpris.MediaPlayer2."_s;
const QString kBusService = u"org.freedesktop.DBus"_s;
const QString kBusPath = u"/org/freedesktop/DBus"_s;
const QString kBusInterface = u"org.freedesktop.DBus"_s;

constexpr quintptr kPlayFileTag = 100;
constexpr qint64 kSeekStepUs = 5'000'000;
constexpr double kVolumeStep = 0.02;

LRESULT statusAnswer(MprisPlayer::Status status)
{
    switch (status) {
    case MprisPlayer::Status::Playing:
        return 1;
    case MprisPlayer::Status::Paused:
        return 3;
    case MprisPlayer::Status::Stopped:
        break;
    }
    return 0;
}

} // namespace

MprisBridge::MprisBridge(const QDBusConnection& bus, QObject* parent) : QObject(parent), bus_(bus)
{
    bus_.connect(kBusService, kBusPath, kBusInterface, u"NameOwnerChanged"_s, this,
                 SLOT(nameOwnerChanged(QString, QString, QString)));
    bus_.connect(QString(), MprisPlayer::objectPath, MprisPlayer::propertiesInterface,
                 u"PropertiesChanged"_s, this, SLOT(propertiesChanged(QDBusMessage)));
}

MprisBridge::~MprisBridge()
{
    bus_.disconnect(kBusService, kBusPath, kBusInterface, u"NameOwnerChanged"_s, this,
                    SLOT(nameOwnerChanged(QString, QString, QString)));
    bus_.disconnect(QString(), MprisPlayer::objectPath, MprisPlayer::propertiesInterface,
                    u"PropertiesChanged"_s, this, SLOT(propertiesChanged(QDBusMessage)));
}

QStringList MprisBridge::playerNames()
{
    const QDBusMessage call =
        QDBusMessage::createMethodCall(kBusService, kBusPath, kBusInterface, u"ListNames"_s);
    const QDBusMessage reply = bus_.call(call, QDBus::Block, MprisPlayer::callTimeoutMs);
    QStringList names;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return names;
    const QStringList all = reply.arguments().constFirst().toStringList();
    for (const QString& name : all) {
        if (name.startsWith(kPlayerPrefix))
            names.append(name);
    }
    names.sort();
    return names;
}

QString MprisBridge::ownerOf(const QString& name)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(kBusService, kBusPath, kBusInterface, u"GetNameOwner"_s);
    call.setArguments({name});
    const QDBusMessage reply = bus_.call(call, QDBus::Block, MprisPlayer::callTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().constFirst().toString();
}

HWND MprisBridge::handleFor(const QString& service, const QString& owner)
{
    for (const auto& [handle, player] : players_) {
        if (player->alive() && player->owner() == owner)
            return handle;
    }
    auto player = std::make_unique<MprisPlayer>(bus_, service, owner);
    player->load();
    const HWND handle = ++next_;
    players_.emplace(handle, std::move(player));
    return handle;
}

HWND MprisBridge::findWindow(const QString& className)
{
    if (className != kWindowClass)
        return 0;
    const QStringList names = playerNames();
    if (names.isEmpty())
        return 0;
    // The player just started, else one we already talk to, else the first.
    QString chosen = names.contains(launched_) ? launched_ : QString();
    for (const auto& entry : players_) {
        if (chosen.isEmpty() && entry.second->alive() && names.contains(entry.second->service()))
            chosen = entry.second->service();
    }
    if (chosen.isEmpty())
        chosen = names.constFirst();
    const QString owner = ownerOf(chosen);
    return owner.isEmpty() ? 0 : handleFor(chosen, owner);
}

MprisPlayer* MprisBridge::player(HWND window)
{
    const auto it = players_.find(window);
    return it != players_.end() && it->second->alive() ? it->second.get() : nullptr;
}

void MprisBridge::nameOwnerChanged(const QString& name, const QString&, const QString& newOwner)
{
    for (auto& entry : players_) {
        MprisPlayer& p = *entry.second;
        if ((name == p.owner() && newOwner.isEmpty()) ||
            (name == p.service() && newOwner != p.owner()))
            p.markGone();
    }
    if (starting_ && name.startsWith(kPlayerPrefix) && !newOwner.isEmpty())
        launched_ = name;
    Q_EMIT busChanged();
}

void MprisBridge::propertiesChanged(const QDBusMessage& message)
{
    const QVariantList args = message.arguments();
    if (args.size() < 2 || args.at(0).toString() != MprisPlayer::playerInterface)
        return;
    for (auto& entry : players_) {
        if (entry.second->owner() == message.service())
            entry.second->apply(qdbus_cast<QVariantMap>(args.at(1)));
    }
    Q_EMIT busChanged();
}

void MprisBridge::waitForBus(int timeoutMs, const std::function<bool()>& done)
{
    if (done())
        return;
    // A local loop keeps the window painting and the bus signals coming;
    // user input waits, so that no handler runs twice at once.
    QEventLoop loop;
    connect(this, &MprisBridge::busChanged, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void MprisBridge::awaitTrack(const MprisPlayer& player)
{
    waitForBus(int(player.pendingRemainingMs()),
               [&] { return !player.trackPending() || !player.alive(); });
}

LRESULT MprisBridge::user(MprisPlayer& p, WPARAM wParam, LPARAM lParam, MprisPlayer::Mode mode)
{
    const bool waits = mode == MprisPlayer::Mode::Wait;
    switch (lParam) {
    case 0:
        return version;
    case 102:
        p.play(mode);
        return 0;
    case 104:
        return statusAnswer(p.status());
    case 105:
        if (wParam != 1)
            return 0;
        if (waits)
            awaitTrack(p);
        return p.lengthUs() > 0 ? LRESULT(p.lengthUs() / 1'000'000) : 0;
    case 106:
        if (waits)
            awaitTrack(p);
        // wParam carries a signed millisecond count.
        p.setPosition(qint64(LPARAM(wParam)) * 1000, mode);
        return 0;
    case 122:
        p.setVolume(double(wParam & 0xFF) / 255.0, mode);
        return 0;
    default: // 101 clear the list, 123 panning, 127 equaliser: nothing here
        return 0;
    }
}

LRESULT MprisBridge::command(MprisPlayer& p, WPARAM wParam, MprisPlayer::Mode mode)
{
    switch (wParam) {
    case 40001:
        p.quit(mode);
        break;
    case 40045:
        p.pause(mode);
        break;
    case 40047:
    case 40147: // fade out and stop: a plain stop, MPRIS has no fade
        p.stop(mode);
        break;
    case 40157:
        p.play(mode);
        break;
    case 40058:
        p.setVolume(p.volume() + kVolumeStep, mode);
        break;
    case 40059:
        p.setVolume(p.volume() - kVolumeStep, mode);
        break;
    case 40060:
        p.seek(kSeekStepUs, mode);
        break;
    case 40061:
        p.seek(-kSeekStepUs, mode);
        break;
    default: // 40036 equaliser and 40040 playlist windows: none to open
        break;
    }
    return 0;
}

LRESULT MprisBridge::dispatch(HWND window, UINT msg, WPARAM wParam, LPARAM lParam,
                              MprisPlayer::Mode mode)
{
    MprisPlayer* p = player(window);
    if (!p)
        return 0;
    if (msg == WM_USER)
        return user(*p, wParam, lParam, mode);
    if (msg == WM_COMMAND)
        return command(*p, wParam, mode);
    return 0;
}

LRESULT MprisBridge::sendMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return dispatch(window, msg, wParam, lParam, MprisPlayer::Mode::Wait);
}

bool MprisBridge::postMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!player(window))
        return false;
    dispatch(window, msg, wParam, lParam, MprisPlayer::Mode::NoWait);
    return true;
}

LRESULT MprisBridge::sendCopyData(HWND window, WPARAM, const COPYDATASTRUCT& data)
{
    MprisPlayer* p = player(window);
    if (!p || data.dwData != kPlayFileTag || !data.lpData)
        return 0;
    QByteArray name(static_cast<const char*>(data.lpData), qsizetype(data.cbData));
    const qsizetype end = name.indexOf('\0');
    if (end >= 0)
        name.truncate(end);
    if (name.isEmpty())
        return 0;
    return p->openFile(QFile::decodeName(name)) ? 1 : 0;
}

bool MprisBridge::isWindow(HWND window)
{
    return player(window) != nullptr;
}

// A player on the bus has no portable notion of a hidden main window.
bool MprisBridge::isWindowVisible(HWND window)
{
    return player(window) != nullptr;
}

bool MprisBridge::setForegroundWindow(HWND window)
{
    MprisPlayer* p = player(window);
    return p && p->raise();
}

void MprisBridge::keybdEvent(quint8 vk, quint8 scan, DWORD flags)
{
    // No desktop-independent way to type into another program.
    keystrokes_.append(Keystroke{vk, scan, flags});
}

UINT MprisBridge::winExec(const QString& commandLine, UINT)
{
    if (commandLine.isEmpty() || !QProcess::startDetached(commandLine, {}))
        return 2;
    // Like a launch that returns once the program is ready: wait until a
    // player is on the bus (at once when one is there already).
    launched_.clear();
    starting_ = true;
    if (playerNames().isEmpty())
        waitForBus(startTimeoutMs, [this] { return !launched_.isEmpty(); });
    starting_ = false;
    return 33;
}

} // namespace platform
