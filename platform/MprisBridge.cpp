#include "platform/MprisBridge.h"

#include "platform/FileNameCodec.h"
#include "platform/NativePath.h"

#include <QDBusArgument>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>

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

// The file that a command line starts, with links resolved: what the
// process of a player that runs it shows as its program.
QString programPath(const QString& commandLine)
{
    const QString found =
        commandLine.contains(u'/') ? commandLine : QStandardPaths::findExecutable(commandLine);
    return found.isEmpty() ? QString() : CanonicalPath(found);
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

std::vector<MprisBridge::BusPlayer> MprisBridge::busPlayers()
{
    const QDBusMessage call =
        QDBusMessage::createMethodCall(kBusService, kBusPath, kBusInterface, u"ListNames"_s);
    const QDBusMessage reply = bus_.call(call, QDBus::Block, MprisPlayer::callTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    QStringList names = reply.arguments().constFirst().toStringList();
    names.sort();
    std::vector<BusPlayer> found;
    for (const QString& name : std::as_const(names)) {
        if (!name.startsWith(kPlayerPrefix))
            continue;
        // A player that left since the listing has no owner.
        const QString owner = ownerOf(name);
        if (!owner.isEmpty())
            found.push_back(BusPlayer{name, owner});
    }
    return found;
}

std::vector<MprisBridge::BusPlayer> MprisBridge::choices()
{
    std::vector<BusPlayer> usable;
    for (BusPlayer& candidate : busPlayers()) {
        // One program may take several names: it is one player.
        const bool known = std::any_of(usable.cbegin(), usable.cend(), [&](const BusPlayer& p) {
            return p.owner == candidate.owner;
        });
        if (!known && !refused_.contains(candidate.owner))
            usable.push_back(std::move(candidate));
    }
    const auto rank = [this](const BusPlayer& p) {
        return p.owner == configured_ ? 0 : p.owner == lastUsed_ ? 1 : 2;
    };
    std::stable_sort(usable.begin(), usable.end(),
                     [&](const BusPlayer& a, const BusPlayer& b) { return rank(a) < rank(b); });
    return usable;
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

bool MprisBridge::runsProgram(const QString& owner, const QString& program)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kBusService, kBusPath, kBusInterface,
                                                       u"GetConnectionUnixProcessID"_s);
    call.setArguments({owner});
    const QDBusMessage reply = bus_.call(call, QDBus::Block, MprisPlayer::callTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    const uint pid = reply.arguments().constFirst().toUInt();
    // Empty for the processes of other users and for replaced programs.
    const QString exe = CanonicalPath(u"/proc/%1/exe"_s.arg(pid));
    return pid != 0 && !exe.isEmpty() && exe == program;
}

QString MprisBridge::runningPlayerOf(const QString& commandLine,
                                     const std::vector<BusPlayer>& onBus)
{
    const auto hasOwner = [&](const QString& owner) {
        return std::any_of(onBus.cbegin(), onBus.cend(),
                           [&](const BusPlayer& p) { return p.owner == owner; });
    };
    // A program started through a script is only known by what it did.
    const auto started = started_.find(commandLine);
    if (started != started_.end() && hasOwner(started->second))
        return started->second;
    const QString program = programPath(commandLine);
    if (program.isEmpty())
        return {};
    for (const BusPlayer& p : onBus) {
        if (runsProgram(p.owner, program))
            return p.owner;
    }
    return {};
}

MprisPlayer& MprisBridge::playerFor(const BusPlayer& busPlayer)
{
    std::unique_ptr<MprisPlayer>& slot = players_[busPlayer.owner];
    if (!slot || !slot->alive()) {
        slot = std::make_unique<MprisPlayer>(bus_, busPlayer.service, busPlayer.owner);
        slot->load();
    }
    return *slot;
}

HWND MprisBridge::handleFor(const BusPlayer& busPlayer)
{
    playerFor(busPlayer);
    for (const auto& [handle, owner] : windows_) {
        if (owner == busPlayer.owner)
            return handle;
    }
    const HWND handle = ++next_;
    windows_.emplace(handle, busPlayer.owner);
    return handle;
}

HWND MprisBridge::findWindow(const QString& className)
{
    if (className != kWindowClass)
        return 0;
    const std::vector<BusPlayer> candidates = choices();
    return candidates.empty() ? 0 : handleFor(candidates.front());
}

MprisPlayer* MprisBridge::player(HWND window)
{
    const auto it = windows_.find(window);
    if (it == windows_.end())
        return nullptr;
    const auto p = players_.find(it->second);
    return p != players_.end() && p->second->alive() ? p->second.get() : nullptr;
}

void MprisBridge::nameOwnerChanged(const QString& name, const QString&, const QString& newOwner)
{
    bool concerned = name.startsWith(kPlayerPrefix);
    for (auto& [owner, p] : players_) {
        if ((name == owner && newOwner.isEmpty()) || (name == p->service() && newOwner != owner)) {
            p->markGone();
            concerned = true;
        }
    }
    // Unique names are never given again: nothing to remember of one gone.
    if (newOwner.isEmpty())
        refused_.remove(name);
    if (name.startsWith(kPlayerPrefix) && !newOwner.isEmpty())
        playerAppeared(newOwner);
    Q_EMIT busChanged();
    if (concerned)
        announceChange();
}

void MprisBridge::playerAppeared(const QString& owner)
{
    if (launch_ && launch_->until.hasExpired())
        launch_.reset();
    if (!launch_ || launch_->ownersBefore.contains(owner))
        return;
    started_[launch_->commandLine] = owner;
    configured_ = owner;
    launch_.reset();
}

void MprisBridge::propertiesChanged(const QDBusMessage& message)
{
    const QVariantList args = message.arguments();
    if (args.size() < 2 || args.at(0).toString() != MprisPlayer::playerInterface)
        return;
    const auto it = players_.find(message.service());
    if (it == players_.end())
        return;
    it->second->apply(qdbus_cast<QVariantMap>(args.at(1)));
    Q_EMIT busChanged();
    announceChange();
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
    LRESULT answer = 0;
    if (msg == WM_USER)
        answer = user(*p, wParam, lParam, mode);
    else if (msg == WM_COMMAND)
        answer = command(*p, wParam, mode);
    // Play, pause, stop and quit show in the status before the player says so.
    if (msg == WM_COMMAND || (msg == WM_USER && lParam == 102))
        announceChange();
    return answer;
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
    if (!player(window) || data.dwData != kPlayFileTag || !data.lpData)
        return 0;
    QByteArray name(static_cast<const char*>(data.lpData), qsizetype(data.cbData));
    const qsizetype end = name.indexOf('\0');
    if (end >= 0)
        name.truncate(end);
    if (name.isEmpty())
        return 0;
    return handOver(window, decodeFileName(name)) ? 1 : 0;
}

bool MprisBridge::open(MprisPlayer& p, const QString& path)
{
    if (p.openFile(path)) {
        lastUsed_ = p.owner();
        announceChange();
        return true;
    }
    // A player that answers with an error cannot play files (a browser,
    // say); one that went away is simply gone.
    if (p.alive())
        refused_.insert(p.owner());
    return false;
}

bool MprisBridge::handOver(HWND window, const QString& path)
{
    QString& owner = windows_.at(window);
    const QString first = owner;
    if (open(*players_.at(first), path))
        return true;
    for (const BusPlayer& next : choices()) {
        if (next.owner != first && open(playerFor(next), path)) {
            // The window is the player that took the file from now on.
            owner = next.owner;
            return true;
        }
    }
    // No player: the window is gone rather than one that cannot play.
    owner.clear();
    return false;
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

bool MprisBridge::startUnlessRunning(const QString& commandLine)
{
    const std::vector<BusPlayer> onBus = busPlayers();
    // Running already: a second copy would be one player too many.
    configured_ = runningPlayerOf(commandLine, onBus);
    if (!configured_.isEmpty())
        return true;
    if (!QProcess::startDetached(commandLine, {}))
        return false;
    // The first player that was not on the bus before is the program's.
    Launch launch{commandLine, {}, QDeadlineTimer(lateStartMs)};
    for (const BusPlayer& p : onBus)
        launch.ownersBefore.insert(p.owner);
    launch_ = std::move(launch);
    return true;
}

UINT MprisBridge::winExec(const QString& commandLine, UINT)
{
    configured_.clear();
    if (launch_ && (launch_->commandLine != commandLine || launch_->until.hasExpired()))
        launch_.reset();
    if (commandLine.isEmpty())
        return 2;
    // A program started a moment ago and still coming up is not started again.
    if (!launch_ && !startUnlessRunning(commandLine))
        return 2;
    // Like a launch that returns once the program is ready.
    waitForBus(startTimeoutMs, [this] { return !launch_; });
    return 33;
}

} // namespace platform
