#pragma once

#include "platform/FileOps.h"

#include <QString>

#include <cstddef>
#include <functional>
#include <vector>

// Many renames or moves made as one batch, where one item may take the place
// another gives up: a chain (a->b, b->c) or a ring (a->b, b->a), as renaming
// by a pattern and the undo of such a renaming make them. Nothing is ever
// replaced.
namespace operations {

struct ItemMove {
    QString from; // full paths, as platform::decodeFileName gives them
    QString to;
};

struct MoveDone {
    bool moved = false; // the item is at `to`
    int error = 0;      // errno of the failed move, when !moved
    QString at;         // where the item is when it is neither at `to` nor at `from` (a
                        // temporary name); else empty
};

// Moves one item, never over anything; sets errno when it fails.
using MoveCall = std::function<bool(const QString& from, const QString& to)>;

// platform::MoveFileA, with errno set whenever it fails.
bool moveItem(const QString& from, const QString& to);

// Moves every item to its place, never over anything. A place that another
// item of the batch gives up is taken after that item has left it; where the
// moves form a ring (a->b, b->a; a->b->c->a) one item of the ring goes to a
// temporary name in its own folder first ("~<n>~" + its name, n from 1 up to
// the first free one; "~<n>~" alone when that name is too long), and takes its
// place last. A move whose place does not come free fails; the ones waiting on
// it are tried all the same and fail as the places are still taken.
// Moves whose source or target another move of the batch shares (a damaged
// journal) are made first, one by one in the given order.
// `done(index, result)` is called once per move as it is finished (any
// order); the results are also returned, indexed like `moves`.
std::vector<MoveDone> moveAll(const std::vector<ItemMove>& moves,
                              const std::function<void(std::size_t, const MoveDone&)>& done = {},
                              const MoveCall& move = moveItem);

} // namespace operations
