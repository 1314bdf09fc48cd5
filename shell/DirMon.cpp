#include "shell/DirMon.h"

#include "platform/Exception.h"
#include "platform/FileTree.h"
#include "platform/NativePath.h"
#include "shell/ShellStrings.h"

#include <QCoreApplication>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <unordered_map>
#include <utility>

namespace dirmon {

namespace {

struct BitOf {
    TDirMonValue value;
    quint32 bit;
};
constexpr BitOf bitTable[] = {{dmcFileName, 0x001}, {dmcDirName, 0x002},   {dmcAttributes, 0x004},
                              {dmcSize, 0x008},     {dmcLastWrite, 0x010}, {dmcSecurity, 0x100}};

constexpr quint32 names = 0x001 | 0x002;
constexpr quint32 attributes = 0x004 | 0x100;
constexpr quint32 writes = 0x008 | 0x010;
constexpr quint32 nameEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr quint32 selfEvents = IN_DELETE_SELF | IN_MOVE_SELF;

} // namespace

quint32 FilterBits(TDirMonType filter)
{
    quint32 bits = 0;
    for (const BitOf& entry : bitTable) {
        if (filter.contains(entry.value))
            bits |= entry.bit;
    }
    return bits;
}

TDirMonType FilterSet(quint32 bits)
{
    TDirMonType filter;
    for (const BitOf& entry : bitTable) {
        if (bits & entry.bit)
            filter += entry.value;
    }
    return filter;
}

quint32 InotifyMask(quint32 filterBits, bool nested)
{
    quint32 mask = 0;
    if (filterBits & names)
        mask |= nameEvents | selfEvents;
    if (filterBits & attributes)
        mask |= IN_ATTRIB;
    if (filterBits & writes)
        mask |= IN_MODIFY | IN_CLOSE_WRITE;
    if (nested && mask != 0)
        mask |= IN_CREATE | IN_MOVED_TO;
    return mask;
}

bool EventMatches(quint32 eventMask, quint32 filterBits, bool onWatchedFolder)
{
    if (eventMask & IN_Q_OVERFLOW)
        return true; // events were lost: something changed
    const bool folder = eventMask & IN_ISDIR;
    if ((eventMask & nameEvents) && (filterBits & (folder ? 0x002u : 0x001u)))
        return true;
    if ((eventMask & selfEvents) && onWatchedFolder && (filterBits & names))
        return true;
    if ((eventMask & IN_ATTRIB) && (filterBits & attributes))
        return true;
    return (eventMask & (IN_MODIFY | IN_CLOSE_WRITE)) && !folder && (filterBits & writes);
}

} // namespace dirmon

namespace {

class PostedChange : public QEvent {
public:
    explicit PostedChange(quint64 generation) : QEvent(TDirMon::ChangeEvent), generation(generation)
    {
    }
    const quint64 generation;
};

using Fd = platform::FileDescriptor;

// The inotify descriptor and its watches. They are set up by Start on the
// calling thread, so that no change made after Start returns is missed, and
// then belong to the worker, which adds a watch for every new sub-folder.
class Watches {
public:
    Watches(quint32 filterBits, bool nested)
        : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
          mask_(dirmon::InotifyMask(filterBits, nested)), filterBits_(filterBits), nested_(nested)
    {
    }
    bool isValid() const { return fd_.get() >= 0; }
    int fd() const { return fd_.get(); }
    // False when the directory cannot be watched (missing, no folder, empty filter).
    bool watch(const std::string& directory)
    {
        top_ = ::inotify_add_watch(fd_.get(), directory.c_str(), mask_ | IN_ONLYDIR);
        if (top_ < 0)
            return false;
        paths_[top_] = directory;
        if (nested_)
            watchChildren(directory);
        return true;
    }
    bool watching() const { return top_ >= 0; }
    // Reads what is there; false when the descriptor failed.
    bool drain(bool& matched);

private:
    void watchTree(const std::string& path);
    void watchChildren(const std::string& path);

    const Fd fd_;
    const quint32 mask_;
    const quint32 filterBits_;
    const bool nested_;
    int top_ = -1;
    std::unordered_map<int, std::string> paths_;
};

void Watches::watchTree(const std::string& path)
{
    const int wd =
        ::inotify_add_watch(fd_.get(), path.c_str(), mask_ | IN_ONLYDIR | IN_DONT_FOLLOW);
    if (wd < 0)
        return;
    paths_[wd] = path;
    watchChildren(path);
}

void Watches::watchChildren(const std::string& path)
{
    DIR* dir = ::opendir(path.c_str());
    if (!dir)
        return;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        // Links are not followed, so a link to an ancestor cannot loop.
        struct ::stat st {};
        const bool folder = e->d_type == DT_DIR ||
                            (e->d_type == DT_UNKNOWN &&
                             ::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                             S_ISDIR(st.st_mode));
        if (folder)
            watchTree(path + '/' + name);
    }
    ::closedir(dir);
}

bool Watches::drain(bool& matched)
{
    alignas(inotify_event) char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd_.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno == EAGAIN;
        if (n == 0)
            return false;
        for (ssize_t offset = 0; offset < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += ssize_t(sizeof(inotify_event) + e->len);
            matched = dirmon::EventMatches(e->mask, filterBits_, e->wd == top_) || matched;
            if (e->mask & IN_IGNORED)
                paths_.erase(e->wd);
            const bool newFolder = (e->mask & IN_ISDIR) && (e->mask & (IN_CREATE | IN_MOVED_TO));
            const auto parent = paths_.find(e->wd);
            if (nested_ && newFolder && e->len > 0 && parent != paths_.end())
                watchTree(parent->second + '/' + e->name);
        }
    }
}

// The worker shares nothing with the monitor: it has its watches, the stop
// signal and the receiver to post to, which outlives it.
void runWorker(std::unique_ptr<Watches> watches, int stopFd, QObject* window, quint64 generation)
{
    if (!watches->watching())
        return; // cannot be watched: no event will ever come
    for (;;) {
        pollfd fds[2] = {{watches->fd(), POLLIN, 0}, {stopFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[0].revents & POLLIN) {
            bool matched = false;
            const bool ok = watches->drain(matched);
            if (matched)
                QCoreApplication::postEvent(window, new PostedChange(generation));
            if (!ok)
                return;
        } else if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            return;
        }
        if (fds[1].revents)
            return;
    }
}

} // namespace

// The hidden receiver on the user-interface thread.
// The hidden receiver on the user-interface thread. A handler may destroy the
// monitor while its change is being delivered; the receiver then outlives it
// until the event loop is back.
class TDirMon::Window : public QObject {
public:
    explicit Window(TDirMon& owner) : owner_(&owner) {}
    bool dispatching() const { return dispatching_; }
    void orphan() { owner_ = nullptr; }
    bool event(QEvent* e) override
    {
        if (e->type() != TDirMon::ChangeEvent)
            return QObject::event(e);
        const auto* change = static_cast<PostedChange*>(e);
        if (owner_ && owner_->Running() && change->generation == owner_->generation_) {
            dispatching_ = true;
            owner_->DoDirChange(); // the owner may be gone afterwards
            dispatching_ = false;
        }
        return true;
    }

private:
    TDirMon* owner_;
    bool dispatching_ = false;
};

TDirMon::TDirMon(QObject* owner) : QObject(owner), window_(std::make_unique<Window>(*this)) {}

TDirMon::~TDirMon()
{
    if (Running())
        halt(); // no OnStop while the monitor goes
    if (window_->dispatching()) {
        window_->orphan();
        window_.release()->deleteLater();
    }
}

void TDirMon::SetDirectory(const QString& directory)
{
    QString d = directory;
    if (d.size() > 1 && d.endsWith(u'/'))
        d.chop(1);
    if (d == directory_)
        return;
    if (Running())
        Stop();
    directory_ = d;
    Start();
}

TDirMonType TDirMon::NotifyFilter() const
{
    return dirmon::FilterSet(filterBits_);
}

void TDirMon::SetNotifyFilter(TDirMonType filter)
{
    if (Running())
        throw platform::Exception(ShellStrings::NotifyFilterWhileRunning());
    filterBits_ = dirmon::FilterBits(filter);
}

void TDirMon::Start()
{
    if (Running() || directory_.isEmpty())
        return;
    Fd stop(::eventfd(0, EFD_CLOEXEC));
    auto watches = std::make_unique<Watches>(filterBits_, Nested);
    if (stop.get() < 0 || !watches->isValid())
        throw platform::Exception(ShellStrings::CreateMutexFailed());
    watches->watch(platform::NativePath(directory_));
    try {
        worker_ =
            std::thread(runWorker, std::move(watches), stop.get(), window_.get(), generation_ + 1);
    } catch (const std::system_error&) {
        throw platform::Exception(ShellStrings::CreateThreadFailed());
    }
    stopFd_ = stop.release();
    ++generation_;
    DoStart();
}

void TDirMon::Stop()
{
    if (!Running())
        throw platform::Exception(ShellStrings::DirMonNotStarted());
    halt();
    DoStop();
}

void TDirMon::halt()
{
    const quint64 one = 1;
    while (::write(stopFd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
    worker_.join();
    ::close(stopFd_);
    stopFd_ = -1;
}

void TDirMon::DoDirChange()
{
    // A copy: the handler may replace OnDirChange, or destroy the monitor.
    const TNotifyEvent handler = OnDirChange;
    if (!handler)
        return;
    try {
        handler(this);
    } catch (...) {
        // A failing handler must not stop the notifications.
    }
}

void TDirMon::DoStart()
{
    if (OnStart)
        OnStart(this);
}

void TDirMon::DoStop()
{
    if (OnStop)
        OnStop(this);
}
