#include "operations/MoveBatch.h"

#include "platform/FileNameCodec.h"
#include "platform/FileTree.h"
#include "platform/NativePath.h"

#include <QHash>

#include <cerrno>
#include <limits>
#include <utility>

namespace operations {

namespace {

constexpr std::size_t None = std::numeric_limits<std::size_t>::max();
// The longest name (in bytes) Linux file systems take.
constexpr qsizetype NameMax = 255;
// A folder full of "~<n>~" names is someone else's doing: give up rather than
// stat for ever.
constexpr int MaxTemporaryNames = 1000;

using DoneCall = std::function<void(std::size_t, const MoveDone&)>;

class Batch {
public:
    Batch(const std::vector<ItemMove>& moves, const DoneCall& done, const MoveCall& move)
        : moves_(moves), done_(done), move_(move), results_(moves.size()),
          started_(moves.size(), false), shared_(moves.size(), false),
          waitsFor_(moves.size(), None), waiter_(moves.size(), None)
    {
    }

    std::vector<MoveDone> run();

private:
    void link();
    void finish(std::size_t i, const MoveDone& result);
    bool tryMove(const QString& from, const QString& to) const;
    void single(std::size_t i);
    void chainFrom(std::size_t i);
    void ring(std::size_t first);
    QString parkAside(std::size_t i, int& error) const;
    void takePlace(std::size_t i, const QString& temp);

    const std::vector<ItemMove>& moves_;
    const DoneCall& done_;
    const MoveCall& move_;
    std::vector<MoveDone> results_;
    std::vector<bool> started_;
    std::vector<bool> shared_;          // source or target shared with another move
    std::vector<std::size_t> waitsFor_; // the move whose source is this one's target
    std::vector<std::size_t> waiter_;   // the move whose target is this one's source
};

std::vector<MoveDone> Batch::run()
{
    for (std::size_t i = 0; i < moves_.size(); ++i) {
        if (moves_[i].from == moves_[i].to)
            finish(i, {true, 0, {}});
    }
    link();
    for (std::size_t i = 0; i < moves_.size(); ++i) {
        if (!started_[i] && shared_[i])
            single(i);
    }
    // A chain starts with the move whose target nobody gives up: it is free.
    for (std::size_t i = 0; i < moves_.size(); ++i) {
        if (!started_[i] && waitsFor_[i] == None)
            chainFrom(i);
    }
    // What is left waits on itself round a ring.
    for (std::size_t i = 0; i < moves_.size(); ++i) {
        if (!started_[i])
            ring(i);
    }
    return std::move(results_);
}

// With unique sources and targets each move waits on one other at most, and
// has one waiter at most: the moves form separate chains and rings.
void Batch::link()
{
    QHash<QString, std::size_t> bySource;
    QHash<QString, std::size_t> byTarget;
    bySource.reserve(qsizetype(moves_.size()));
    byTarget.reserve(qsizetype(moves_.size()));
    const auto note = [this](QHash<QString, std::size_t>& seen, const QString& path,
                             std::size_t i) {
        const auto it = seen.constFind(path);
        if (it == seen.cend()) {
            seen.insert(path, i);
            return;
        }
        shared_[i] = true;
        shared_[*it] = true;
    };
    for (std::size_t i = 0; i < moves_.size(); ++i) {
        if (started_[i])
            continue;
        note(bySource, moves_[i].from, i);
        note(byTarget, moves_[i].to, i);
    }
    for (std::size_t i = 0; i < moves_.size(); ++i) {
        if (started_[i] || shared_[i])
            continue;
        const auto it = bySource.constFind(moves_[i].to);
        if (it != bySource.cend() && !shared_[*it] && !started_[*it]) {
            waitsFor_[i] = *it;
            waiter_[*it] = i;
        }
    }
}

void Batch::finish(std::size_t i, const MoveDone& result)
{
    started_[i] = true;
    results_[i] = result;
    if (done_)
        done_(i, result);
}

bool Batch::tryMove(const QString& from, const QString& to) const
{
    errno = 0;
    if (move_(from, to))
        return true;
    if (errno == 0)
        errno = EIO; // a failure must say why
    return false;
}

void Batch::single(std::size_t i)
{
    started_[i] = true;
    if (tryMove(moves_[i].from, moves_[i].to))
        finish(i, {true, 0, {}});
    else
        finish(i, {false, errno, {}});
}

// From the free end back: each move frees the place of the one before it.
// A failed move is not special: the next one finds its place taken.
void Batch::chainFrom(std::size_t i)
{
    for (std::size_t at = i; at != None && !started_[at]; at = waiter_[at])
        single(at);
}

// One item steps aside so that the others can go round; it comes back last.
void Batch::ring(std::size_t first)
{
    started_[first] = true;
    int error = 0;
    const QString temp = parkAside(first, error);
    const std::size_t next = waiter_[first];
    if (temp.isEmpty()) {
        finish(first, {false, error, {}});
        chainFrom(next);
        return;
    }
    if (next != None && !started_[next]) {
        single(next);
        if (!results_[next].moved) {
            // The ring cannot turn: the item takes its old place back. Its
            // new one is still held by the item that could not move.
            if (tryMove(temp, moves_[first].from))
                finish(first, {false, EEXIST, {}});
            else
                finish(first, {false, errno, temp});
            chainFrom(waiter_[next]);
            return;
        }
        chainFrom(waiter_[next]);
    }
    takePlace(first, temp);
}

// To the target; when that is still taken, back to the source; when that is
// taken too, the item stays where it is, and says so.
void Batch::takePlace(std::size_t i, const QString& temp)
{
    if (tryMove(temp, moves_[i].to)) {
        finish(i, {true, 0, {}});
        return;
    }
    const int error = errno;
    if (tryMove(temp, moves_[i].from))
        finish(i, {false, error, {}});
    else
        finish(i, {false, error, temp});
}

// "~<n>~name" beside the item, the first n that is free; empty when the item
// could not be moved there (`error` says why).
QString Batch::parkAside(std::size_t i, int& error) const
{
    QString from = moves_[i].from;
    while (from.size() > 1 && from.endsWith(u'/'))
        from.chop(1); // a folder's name, not a name inside it
    const QString folder = from.left(from.lastIndexOf(u'/') + 1);
    const QString name = from.mid(folder.size());
    bool shortName = false;
    for (int n = 1; n <= MaxTemporaryNames;) {
        const QString mark = u'~' + QString::number(n) + u'~';
        shortName = shortName || platform::encodeFileName(mark + name).size() > NameMax;
        const QString temp = folder + mark + (shortName ? QString() : name);
        if (platform::PathExists(platform::NativePath(temp))) {
            ++n;
            continue;
        }
        if (tryMove(from, temp))
            return temp;
        if (errno == ENAMETOOLONG && !shortName) {
            shortName = true; // the file system takes shorter names than most
            continue;
        }
        if (errno != EEXIST) {
            error = errno;
            return {};
        }
        ++n; // taken since it was looked at
    }
    error = EEXIST;
    return {};
}

} // namespace

bool moveItem(const QString& from, const QString& to)
{
    errno = 0;
    if (platform::MoveFileA(from, to))
        return true;
    int error = errno;
    if (error == 0)
        error = from.isEmpty() || to.isEmpty() ? ENOENT : EIO;
    else if (error == EXDEV && platform::PathExists(platform::NativePath(to)))
        error = EEXIST; // the other file system is not why it stays
    errno = error;
    return false;
}

std::vector<MoveDone> moveAll(const std::vector<ItemMove>& moves,
                              const std::function<void(std::size_t, const MoveDone&)>& done,
                              const MoveCall& move)
{
    return Batch(moves, done, move).run();
}

} // namespace operations
