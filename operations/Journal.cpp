#include "operations/Journal.h"

#include "operations/FrameStore.h"
#include "operations/JournalSql.h"
#include "operations/ToolsStep.h"
#include "platform/FileNameCodec.h"
#include "platform/FileSync.h"
#include "platform/LegacyText.h"
#include "platform/NativePath.h"
#include "platform/SystemError.h"
#include "tags/FileIo.h"
#include "tags/StaleCopies.h"

#include <QDateTime>
#include <QDir>
#include <QString>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

// "M3TJ" in the database header: a database of another program is never
// taken for the journal, nor changed.
constexpr int ApplicationId = 0x4D33544A;
// 2: steps.redo_ended. 3: images as layouts of frames stored once (frames,
// uses).
constexpr int SchemaVersion = 3;

// Where a step is. Anything but Settled after a crash means that some of its
// files may be mid-write; the direction tells which image a torn file gets.
enum class State : int { Settled = 0, Writing = 1, TurningBack = 2, TurningForward = 3 };

// The small columns of a file come first: a query of flags and sizes reads
// them without going through the images.
constexpr const char* Schema = R"(
CREATE TABLE IF NOT EXISTS steps(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    time INTEGER NOT NULL,
    kind INTEGER NOT NULL,
    state INTEGER NOT NULL,
    undone INTEGER NOT NULL DEFAULT 0,
    redo_ended INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS files(
    step INTEGER NOT NULL REFERENCES steps(id),
    idx INTEGER NOT NULL,
    tagged INTEGER NOT NULL,
    done INTEGER NOT NULL,
    pending INTEGER NOT NULL,
    bytes INTEGER NOT NULL,
    before_size INTEGER NOT NULL,
    after_size INTEGER NOT NULL,
    before_head_size INTEGER NOT NULL,
    after_head_size INTEGER NOT NULL,
    path BLOB NOT NULL, source BLOB NOT NULL, target BLOB NOT NULL, trash_info BLOB NOT NULL,
    before_head_layout BLOB NOT NULL, before_tail_layout BLOB NOT NULL,
    after_head_layout BLOB NOT NULL, after_tail_layout BLOB NOT NULL,
    PRIMARY KEY(step, idx));
CREATE INDEX IF NOT EXISTS files_summary ON files(step, done, bytes);
)";

// The columns a StepFile is read from, in this order.
constexpr const char* FileColumns =
    "idx, path, tagged, before_head_layout, before_tail_layout, before_size, after_head_layout, "
    "after_tail_layout, after_size, source, target, trash_info, done, pending, before_head_size, "
    "after_head_size";

// The same without the images, for what needs only paths and flags.
constexpr const char* LightColumns = "idx, path, tagged, x'', x'', before_size, x'', x'', "
                                     "after_size, source, target, trash_info, done, pending, "
                                     "before_head_size, after_head_size";

using namespace sql;

// ---- files of a step ----

struct Row {
    std::int64_t index = 0;
    StepFile file;
    bool pending = false; // maybe mid-write: checked before the step settles
};

bool isTagged(const StepFile& file)
{
    return !file.tags.path().empty();
}

// The layouts of a file's two images; a tail's holds the APEv2 tag in front of it.
struct Layouts {
    std::string beforeHead, beforeTail, afterHead, afterTail;
};

Layouts layoutsOf(FrameStore& store, std::int64_t step, const tags::TagChange& change)
{
    if (change.path().empty())
        return {};
    const tags::TagImage& before = change.before();
    const tags::TagImage& after = change.after();
    return {store.store(step, before.head, true), store.storeEnd(step, before.ape, before.tail),
            store.store(step, after.head, true), store.storeEnd(step, after.ape, after.tail)};
}

// What the row itself holds; the frames it refers to are counted apart.
std::int64_t rowBytes(const tags::TagChange& change, const StepFile& file, const Layouts& layouts)
{
    return std::int64_t(change.path().size() + file.from.size() + file.to.size() +
                        file.trashInfo.size() + layouts.beforeHead.size() +
                        layouts.beforeTail.size() + layouts.afterHead.size() +
                        layouts.afterTail.size());
}

// Binds ?1 to ?15 and ?17, ?18 of an insert or update of a file row: its
// tag change (file.tags, or one given apart, not copied into a StepFile) and
// the rest of `file`. The layouts stay bound until it runs.
void bindFile(Statement& s, std::int64_t step, std::size_t index, const tags::TagChange& change,
              const StepFile& file, const Layouts& layouts)
{
    s.bind(1, step).bind(2, std::int64_t(index)).bindBlob(3, change.path());
    s.bind(4, change.path().empty() ? 0 : 1);
    s.bindBlob(5, layouts.beforeHead).bindBlob(6, layouts.beforeTail);
    // A row without tags keeps its file's inode where a tag row has its size.
    s.bind(7, std::int64_t(change.path().empty() ? file.inode : change.before().size));
    s.bindBlob(8, layouts.afterHead).bindBlob(9, layouts.afterTail);
    s.bind(10, std::int64_t(change.after().size));
    s.bindBlob(11, file.from).bindBlob(12, file.to).bindBlob(13, file.trashInfo);
    s.bind(14, file.done ? 1 : 0).bind(15, rowBytes(change, file, layouts));
    s.bind(17, std::int64_t(change.before().head.size()));
    s.bind(18, std::int64_t(change.after().head.size()));
}

constexpr const char* InsertFile =
    "INSERT INTO files(step, idx, path, tagged, before_head_layout, "
    "before_tail_layout, before_size, after_head_layout, after_tail_layout, "
    "after_size, source, target, trash_info, done, bytes, pending, "
    "before_head_size, after_head_size) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, "
    "?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18)";

void insertFiles(sqlite3* db, std::int64_t step, const std::vector<Row>& rows,
                 std::size_t first = 0)
{
    Statement insert(db, InsertFile);
    FrameStore store(db);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Layouts layouts = layoutsOf(store, step, rows[i].file.tags);
        bindFile(insert, step, first + i, rows[i].file.tags, rows[i].file, layouts);
        insert.bind(16, rows[i].pending ? 1 : 0);
        insert.run();
    }
}

// The rows of a slice of tag writes, from `first` on, each pending until
// the step settles. Recovery tells each file by what it holds then (old,
// new, a torn mix, or another program's, left alone), so the files need not
// be read here once more.
void insertWrites(sqlite3* db, std::int64_t step, const std::vector<tags::TagChange>& changes,
                  std::size_t first)
{
    Statement insert(db, InsertFile);
    FrameStore store(db);
    const StepFile notDone{{}, {}, {}, {}, false};
    for (std::size_t i = 0; i < changes.size(); ++i) {
        const Layouts layouts = layoutsOf(store, step, changes[i]);
        bindFile(insert, step, first + i, changes[i], notDone, layouts);
        insert.bind(16, 1);
        insert.run();
    }
}

// A head region of `size` bytes, from its layout; without a store (a row
// read without its images), nothing: a batch's rows are read so after its
// writes, and stand-ins of every file's size would hold its covers' room.
std::string headOf(FrameStore* store, std::string_view layout, std::int64_t size)
{
    if (!store)
        return {};
    std::string head = store->load(layout);
    if (std::int64_t(head.size()) != size)
        throw errorOf(sqlite3_db_filename(store->database(), "main"), u"文件已损坏 (标签大小)"_s);
    return head;
}

StepFile fileOf(const Statement& s, FrameStore* store)
{
    StepFile file;
    if (s.integer(2) != 0) {
        const auto end = [&](int column) {
            return store ? store->loadEnd(s.blob(column)) : FrameStore::End();
        };
        FrameStore::End before = end(4);
        FrameStore::End after = end(7);
        tags::TagChange change(s.blob(1),
                               {headOf(store, s.blob(3), s.integer(14)), std::move(before.trailer),
                                std::uint64_t(s.integer(5)), std::move(before.ape)});
        change.setHead(headOf(store, s.blob(6), s.integer(15)));
        change.setTail(std::move(after.trailer));
        change.setApe(std::move(after.ape));
        file.tags = std::move(change);
    } else {
        file.inode = std::uint64_t(s.integer(5));
    }
    file.from = s.blob(9);
    file.to = s.blob(10);
    file.trashInfo = s.blob(11);
    file.done = s.integer(12) != 0;
    return file;
}

// The step's rows; without their images (empty in their place) where the
// caller needs only paths and flags, which spares reading every image back.
std::vector<Row> rowsOf(sqlite3* db, std::int64_t step, bool images = true)
{
    const std::string sql = std::string("SELECT ") + (images ? FileColumns : LightColumns) +
                            " FROM files WHERE step = ?1 ORDER BY idx";
    Statement query(db, sql.c_str());
    query.bind(1, step);
    FrameStore store(db);
    std::vector<Row> rows;
    while (query.next())
        rows.push_back(
            {query.integer(0), fileOf(query, images ? &store : nullptr), query.integer(13) != 0});
    return rows;
}

// One row with its images.
StepFile fileAt(sqlite3* db, std::int64_t step, std::int64_t index)
{
    const std::string sql =
        std::string("SELECT ") + FileColumns + " FROM files WHERE step = ?1 AND idx = ?2";
    Statement query(db, sql.c_str());
    query.bind(1, step).bind(2, index);
    FrameStore store(db);
    return query.next() ? fileOf(query, &store) : StepFile{};
}

// Writes back the done and pending flags of the rows (their images stay as
// stored: a batch's images are written once).
void storeFlags(sqlite3* db, std::int64_t step, const std::vector<Row>& rows)
{
    Statement update(db, "UPDATE files SET done = ?3, pending = ?4 WHERE step = ?1 AND idx = ?2");
    for (const Row& row : rows) {
        update.bind(1, step).bind(2, row.index).bind(3, row.file.done ? 1 : 0);
        update.bind(4, row.pending ? 1 : 0).run();
    }
}

// Drops the rows of a forward write that it never reached and numbers the
// rest from 0 again, so that an index is always a position in files().
// Ascending, each row moves to a number no row still holds.
void dropUnwritten(sqlite3* db, std::int64_t step)
{
    Statement drop(db, "DELETE FROM files WHERE step = ?1 AND done = 0 AND pending = 0");
    drop.bind(1, step).run();
    const std::vector<std::int64_t> indexes =
        integers(db, "SELECT idx FROM files WHERE step = ?1 ORDER BY idx", step);
    Statement renumber(db, "UPDATE files SET idx = ?3 WHERE step = ?1 AND idx = ?2");
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        if (indexes[i] != std::int64_t(i))
            renumber.bind(1, step).bind(2, indexes[i]).bind(3, std::int64_t(i)).run();
    }
}

void setState(sqlite3* db, std::int64_t step, State state)
{
    Statement update(db, "UPDATE steps SET state = ?2 WHERE id = ?1");
    update.bind(1, step).bind(2, int(state)).run();
}

void setUndone(sqlite3* db, std::int64_t step, bool undone)
{
    Statement update(db, "UPDATE steps SET undone = ?2 WHERE id = ?1");
    update.bind(1, step).bind(2, undone ? 1 : 0).run();
}

// The frames the step used: for FrameStore::sweep once the removal is done.
std::vector<std::int64_t> removeStep(sqlite3* db, std::int64_t step)
{
    std::vector<std::int64_t> frames = FrameStore::release(db, step);
    Statement files(db, "DELETE FROM files WHERE step = ?1");
    files.bind(1, step).run();
    Statement steps(db, "DELETE FROM steps WHERE id = ?1");
    steps.bind(1, step).run();
    return frames;
}

std::int64_t addStep(sqlite3* db, StepKind kind, State state)
{
    Statement insert(db, "INSERT INTO steps(time, kind, state) VALUES(?1, ?2, ?3)");
    insert.bind(1, std::int64_t(std::time(nullptr))).bind(2, int(kind)).bind(3, int(state));
    insert.run();
    return sqlite3_last_insert_rowid(db);
}

// A step's rows are numbered from 0 without a gap: the next row's number is
// the count, found at the end of the key, not by counting a batch's rows at
// each of its slices.
std::int64_t nextIndex(sqlite3* db, std::int64_t step)
{
    Statement query(db, "SELECT coalesce(max(idx) + 1, 0) FROM files WHERE step = ?1");
    query.bind(1, step);
    return query.next() ? query.integer(0) : 0;
}

bool hasFiles(sqlite3* db, std::int64_t step)
{
    Statement query(db, "SELECT 1 FROM files WHERE step = ?1 LIMIT 1");
    query.bind(1, step);
    return query.next();
}

bool anyPending(const std::vector<Row>& rows)
{
    for (const Row& row : rows) {
        if (row.pending)
            return true;
    }
    return false;
}

// A new step: the steps undone before it can no longer be redone, as in
// any editor; they stay in the history as undone.
void endRedoChain(sqlite3* db, std::int64_t step)
{
    Statement update(db, "UPDATE steps SET redo_ended = 1 WHERE undone = 1 AND id < ?1");
    update.bind(1, step).run();
}

// Stores the rows after a step's writes and settles the step once no row is
// pending: a forward write keeps only the files it wrote, and goes when it
// wrote none; a turn that went through records which way the step now
// stands. True when the step is settled or gone.
bool settleStep(sqlite3* db, std::int64_t step, State state, bool pending, bool turned)
{
    if (state == State::Writing)
        dropUnwritten(db, step);
    else if (turned)
        setUndone(db, step, state == State::TurningBack);
    const bool gone = state == State::Writing && !hasFiles(db, step);
    if (gone)
        FrameStore::sweep(db, removeStep(db, step));
    else if (state == State::Writing)
        endRedoChain(db, step);
    if (!gone && !pending)
        setState(db, step, State::Settled);
    return gone || !pending;
}

bool finishStep(sqlite3* db, std::int64_t step, State state, const std::vector<Row>& rows,
                bool turned)
{
    Transaction transaction(db, false);
    storeFlags(db, step, rows);
    const bool settled = settleStep(db, step, state, anyPending(rows), turned);
    transaction.commit();
    return settled;
}

bool anyPendingRow(sqlite3* db, std::int64_t step)
{
    Statement query(db, "SELECT 1 FROM files WHERE step = ?1 AND pending = 1 LIMIT 1");
    query.bind(1, step);
    return query.next();
}

// ---- the files on disk ----

// The folders whose entries moving the items of these rows changed: where
// each was and where it went (a trashed item's .trashinfo too).
std::vector<std::string> foldersOf(const std::vector<Row>& rows)
{
    std::vector<std::string> folders;
    for (const Row& row : rows) {
        for (const std::string* path : {&row.file.from, &row.file.to, &row.file.trashInfo}) {
            if (!path->empty())
                folders.push_back(tags::folderOf(*path));
        }
    }
    return folders;
}

// A file that was maybe mid-write, checked and made whole.
struct Settled {
    bool done = false;      // as the step left it
    bool restored = false;  // it was torn, and got the image its write started from
    bool leftAlone = false; // neither image nor a torn mix of them: another's
};

// Checks a file that may be mid-write and makes it whole; nullopt when that
// cannot be told (the file cannot be read, or its old bytes cannot be put
// back). `source` is the image the write started from, `doneBefore` the
// file's state before it.
std::optional<Settled> settleFile(const tags::TagChange& change, const tags::TagImage& source,
                                  bool doneBefore, bool unreadableIsWhole)
{
    tags::removeStaleCopy(change.path());
    switch (tags::matchImage(change)) {
    case tags::ImageMatch::After:
        return Settled{true, false, false};
    case tags::ImageMatch::Before:
        return Settled{false, false, false};
    case tags::ImageMatch::Neither:
        // Only a write in place can be torn, and it leaves each byte of the
        // regions it writes old or new, the size one of the two; a staged
        // write is whole or not made. Other bytes are another program's.
        if (!tags::holdsMixOf(change)) {
            qWarning("%s: 已被其他程序修改, 未恢复", qUtf8Printable(shown(change.path())));
            return Settled{doneBefore, false, true};
        }
        if (tags::restoreImage(change.path(), source))
            return Settled{doneBefore, true, false};
        return std::nullopt;
    case tags::ImageMatch::Unreadable:
        break;
    }
    return unreadableIsWhole ? std::optional<Settled>(Settled{doneBefore, false}) : std::nullopt;
}

// The image a write of the step's file starts from.
const tags::TagImage& sourceOf(const tags::TagChange& change, State state)
{
    return state == State::TurningBack ? change.after() : change.before();
}

struct Recovery {
    std::vector<std::string> restored;  // the paths found torn, now whole
    std::vector<std::string> leftAlone; // changed by another program since
    bool complete = true;               // every file reached the turn's end
};

// After a crash: settles a tag row, its file at `change`'s path. A pending
// row that cannot be told stays pending for the next start (a volume that is
// not mounted now may be then).
void recoverRow(Row& row, const tags::TagChange& change, State state, Recovery& recovery)
{
    if (!row.pending) {
        tags::removeStaleCopy(change.path());
        return;
    }
    const auto settled =
        settleFile(change, sourceOf(change, state), state == State::TurningBack, false);
    if (!settled) {
        qWarning("%s: an interrupted write could not be checked; it is checked again at the "
                 "next start",
                 qUtf8Printable(shown(change.path())));
        recovery.complete = false;
        return;
    }
    row.file.done = settled->done;
    row.pending = false;
    recovery.complete = recovery.complete && settled->done == (state != State::TurningBack);
    if (settled->restored)
        recovery.restored.push_back(change.path());
    if (settled->leftAlone)
        recovery.leftAlone.push_back(change.path());
}

Recovery recoverRows(std::vector<Row>& rows, State state)
{
    Recovery recovery;
    for (Row& row : rows) {
        if (isTagged(row.file))
            recoverRow(row, row.file.tags, state, recovery);
    }
    return recovery;
}

// The pending names of a text tool's step found where their files are; true
// when the step has names at all.
bool recoverNames(std::vector<Row>& rows, State state, Recovery& recovery)
{
    bool any = false;
    for (Row& row : rows) {
        if (isTagged(row.file))
            continue;
        any = true;
        if (!row.pending)
            continue;
        if (!findName(row.file))
            recovery.leftAlone.push_back(row.file.from);
        row.pending = false;
        recovery.complete = recovery.complete && row.file.done == (state != State::TurningBack);
    }
    return any;
}

// New tags put back, through a copy: whole whatever happens.
bool putTagsBack(const tags::TagChange& change)
{
    return tags::matchImage(change) == tags::ImageMatch::After &&
           tags::writeStaged(change.reversed()).written();
}

// A text tool's step of tags and names (operations/ToolsStep.h): its names
// found first, each tag row settled where its file is, then a file cut
// between its new tags and its old name given its old tags back, so that
// each file is wholly old or wholly new. A run cut before it recorded its
// names had moved none: its tags all go back.
Recovery recoverToolRows(std::vector<Row>& rows, State state)
{
    Recovery recovery;
    const bool allBack = !recoverNames(rows, state, recovery) && state == State::Writing;
    std::vector<const StepFile*> files;
    for (const Row& row : rows)
        files.push_back(&row.file);
    const std::vector<std::size_t> names = nameRows(files);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        Row& row = rows[i];
        if (!isTagged(row.file))
            continue;
        const Row* name = names[i] == NoNameRow ? nullptr : &rows[names[i]];
        const tags::TagChange change = relocated(
            row.file.tags, name && name->file.done ? name->file.to : row.file.tags.path());
        recoverRow(row, change, state, recovery);
        const bool oldName = name ? !name->file.done : allBack;
        if (row.pending || !row.file.done || !oldName)
            continue;
        if (putTagsBack(change)) {
            row.file.done = false;
            recovery.restored.push_back(change.path());
        } else {
            recovery.leftAlone.push_back(change.path());
        }
        recovery.complete = recovery.complete && state == State::TurningBack;
    }
    return recovery;
}

// After the writes of a step (`writes`: how far each row's got): a row whose
// write began and failed may be torn and is made whole; a row not started is
// not touched (its file may be another program's by now). The written ones
// are flushed, then the step settles. When the flush fails the written rows
// stay pending, for a later flush or the next start to check. True when the
// step is settled or gone.
bool settleWrites(sqlite3* db, std::int64_t step, std::vector<Row>& rows,
                  const std::vector<FileWrite>& writes, State state)
{
    std::vector<std::string> flush;
    std::vector<Row*> flushed;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        Row& row = rows[i];
        if (!isTagged(row.file) || !row.pending)
            continue;
        const FileWrite write = i < writes.size() ? writes[i] : FileWrite::NotStarted;
        if (write == FileWrite::Written) {
            flush.push_back(row.file.tags.path());
            flushed.push_back(&row);
            continue;
        }
        if (write == FileWrite::NotStarted) {
            row.pending = false;
            continue;
        }
        // Unreadable right after its write failed: the write never reached it.
        // The rows come without their images: this rare one is read whole.
        const StepFile whole = fileAt(db, step, row.index);
        const tags::TagChange& change = whole.tags;
        if (const auto settled =
                settleFile(change, sourceOf(change, state), state == State::TurningBack, true)) {
            row.file.done = settled->done;
            row.pending = false;
        }
    }
    // Each written file flushed alone: the end mark of a step must never be
    // durable before the bytes it speaks of, and no other program's pages
    // are waited for.
    const std::vector<bool> durable = platform::flushFiles(flush);
    for (std::size_t i = 0; i < flushed.size(); ++i)
        flushed[i]->pending = !durable[i];
    return finishStep(db, step, state, rows, true);
}

// The rows of a forward write (all of them tag rows, pending and not done
// until now) once `writes` tells how far each got; a row past its end was not
// started. The written ones stay pending until flushForward. Statements over
// the whole step, and one per row only where a write did not go through: a
// batch of 100,000 files settles without its rows in memory.
bool endForward(sqlite3* db, std::int64_t step, const std::vector<FileWrite>& writes)
{
    Transaction transaction(db, false);
    Statement written(db, "UPDATE files SET done = 1 WHERE step = ?1 AND idx < ?2");
    written.bind(1, step).bind(2, std::int64_t(writes.size())).run();
    Statement notStarted(db, "UPDATE files SET done = 0, pending = 0 WHERE step = ?1 AND "
                             "idx >= ?2 AND idx < ?3 AND tagged = 1 AND pending = 1");
    Statement failed(db, "UPDATE files SET done = 0 WHERE step = ?1 AND idx = ?2");
    Statement pending(db, "SELECT 1 FROM files WHERE step = ?1 AND idx = ?2 AND tagged = 1 AND "
                          "pending = 1");
    Statement settled(db, "UPDATE files SET done = ?3, pending = 0 WHERE step = ?1 AND idx = ?2");
    for (std::size_t i = 0; i < writes.size(); ++i) {
        if (writes[i] == FileWrite::Written)
            continue;
        const auto index = std::int64_t(i);
        failed.bind(1, step).bind(2, index).run();
        if (writes[i] == FileWrite::NotStarted) {
            notStarted.bind(1, step).bind(2, index).bind(3, index + 1).run();
            continue;
        }
        // Torn: unreadable right after its write failed, so the write never
        // reached it; made whole now from its images.
        pending.bind(1, step).bind(2, index);
        const bool open = pending.next();
        pending.reset();
        if (!open)
            continue;
        const StepFile whole = fileAt(db, step, index);
        if (const auto made = settleFile(whole.tags, whole.tags.before(), false, true))
            settled.bind(1, step).bind(2, index).bind(3, made->done ? 1 : 0).run();
    }
    notStarted.bind(1, step).bind(2, std::int64_t(writes.size()));
    notStarted.bind(3, std::numeric_limits<std::int64_t>::max()).run();
    const bool done = settleStep(db, step, State::Writing, anyPendingRow(db, step), true);
    transaction.commit();
    return done;
}

// Flushes the files a forward write left pending after endForward (the
// written ones), then settles the step; a file whose flush failed stays
// pending, for a later flush or the next start to check.
bool flushForward(sqlite3* db, std::int64_t step)
{
    std::vector<std::string> paths;
    std::vector<std::int64_t> indexes;
    {
        Statement query(db, "SELECT idx, path FROM files WHERE step = ?1 AND tagged = 1 AND "
                            "pending = 1 ORDER BY idx");
        query.bind(1, step);
        while (query.next()) {
            indexes.push_back(query.integer(0));
            paths.push_back(query.blob(1));
        }
    }
    if (indexes.empty() && !hasFiles(db, step))
        return true; // nothing left of it to settle
    // Each written file flushed alone, as settleWrites does.
    const std::vector<bool> durable = platform::flushFiles(paths);
    paths = {};
    Transaction transaction(db, false);
    Statement flushed(db, "UPDATE files SET pending = 0 WHERE step = ?1 AND tagged = 1");
    flushed.bind(1, step).run();
    Statement stays(db, "UPDATE files SET pending = 1 WHERE step = ?1 AND idx = ?2");
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        if (!durable[i])
            stays.bind(1, step).bind(2, indexes[i]).run();
    }
    const bool done = settleStep(db, step, State::Writing, anyPendingRow(db, step), true);
    transaction.commit();
    return done;
}

// ---- opening ----

// A checkpoint copies the log's pages into the database and flushes both:
// it is taken after a step's flush, off the user's wait, never inside a
// commit the user waits for (where SQLite would take it by itself). A page
// changed by many steps meanwhile is copied once.
constexpr int CheckpointPages = 4096;

int countWalPages(void* pages, sqlite3*, const char*, int count)
{
    *static_cast<int*>(pages) = count;
    return SQLITE_OK;
}

void checkpointIfLarge(sqlite3* db, int& walPages)
{
    if (walPages < CheckpointPages)
        return;
    int log = 0;
    int copied = 0;
    // Passive: a reader of another program is not waited for; the log is
    // copied as far as it lets, the rest at a later flush.
    if (sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_PASSIVE, &log, &copied) ==
            SQLITE_OK &&
        log == copied)
        walPages = 0;
}

bool isFolder(const std::string& path)
{
    struct ::stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// mkdir -p, with what it makes the user's alone: the journal holds the
// user's tags and paths.
bool makePrivateFolders(const std::string& folder)
{
    for (auto slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (!part.empty() && !isFolder(part) && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    return isFolder(folder);
}

std::string folderOf(const std::string& file)
{
    const auto slash = file.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : file.substr(0, slash);
}

void syncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Nothing is written before the database has proved to be a whole one; a
// damaged one stays as it is, for the user to look into.
void checkWhole(sqlite3* db, const std::string& file)
{
    std::string verdict;
    try {
        Statement check(db, "PRAGMA quick_check");
        if (check.next())
            verdict = check.text(0);
    } catch (const JournalError&) {
        const int code = sqlite3_errcode(db);
        if (isDiskFull(db))
            throw errorOf(file, u"磁盘已满, 无法打开; 修改日志未改动"_s);
        const QString what = code == SQLITE_NOTADB    ? u"不是 SQLite 数据库"_s
                             : code == SQLITE_CORRUPT ? u"文件已损坏"_s
                                                      : u"无法读取"_s;
        throw errorOf(file, what + u" ("_s + QString::fromUtf8(sqlite3_errmsg(db)) +
                                u"); 修改日志未改动"_s);
    }
    if (verdict != "ok") {
        // The check lists every damaged page: the log gets it, the user one line.
        qWarning("%s: PRAGMA quick_check:\n%s", file.c_str(), verdict.c_str());
        throw errorOf(file, u"文件已损坏 (详情见日志); 修改日志未改动"_s);
    }
    if (sqlite3_db_readonly(db, "main") == 1)
        throw errorOf(file, u"文件只读"_s);
}

// A journal cut to nothing (by a full disk, a tool) would be taken by SQLite
// for a new one, and the history would be gone without a word: it is kept
// aside under a name of its own (a WAL beside it goes with it), so that a new
// one can be made and the user told. The name it got; nullopt when the
// journal is not empty.
std::optional<std::string> setAsideEmpty(const std::string& file)
{
    struct ::stat st {};
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != 0)
        return std::nullopt;
    const std::string stamp =
        QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"_s).toStdString();
    std::string aside = file + ".damaged-" + stamp;
    for (int n = 2; ::access(aside.c_str(), F_OK) == 0; ++n)
        aside = file + ".damaged-" + stamp + "-" + std::to_string(n);
    if (::rename(file.c_str(), aside.c_str()) != 0)
        throw errorOf(file,
                      u"文件是空的 (0 字节), 无法另存: "_s + platform::SystemErrorText(errno));
    ::rename((file + "-wal").c_str(), (aside + "-wal").c_str());
    ::unlink((file + "-shm").c_str());
    return aside;
}

// The lock beside the database, its folders made first.
int openLock(const std::string& file)
{
    if (file.empty() || !makePrivateFolders(folderOf(file)))
        throw errorOf(file, u"无法创建所在的文件夹: "_s + platform::SystemErrorText(errno));
    const std::string lock = file + ".lock";
    const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        throw errorOf(lock, platform::SystemErrorText(errno));
    return fd;
}

std::string padded(std::string head, std::int64_t size)
{
    head.resize(std::size_t(std::max<std::int64_t>(size, std::int64_t(head.size()))), '\0');
    return head;
}

// Version 2 kept each image whole in its row, a head without its trailing
// padding (counted apart): each is cut into frames stored once, and its row
// given the layouts, so that every step stays undoable and every open step
// recoverable.
void storeImagesAsFrames(sqlite3* db)
{
    FrameStore::createTables(db);
    for (const char* image : {"before_head", "before_tail", "after_head", "after_tail"}) {
        exec(db,
             (std::string("ALTER TABLE files RENAME COLUMN ") + image + " TO " + image + "_layout")
                 .c_str());
    }
    std::vector<std::pair<std::int64_t, std::int64_t>> tagged;
    {
        Statement query(db, "SELECT step, idx FROM files WHERE tagged = 1");
        while (query.next())
            tagged.emplace_back(query.integer(0), query.integer(1));
    }
    Statement read(db, "SELECT before_head_layout, before_head_size, before_tail_layout, "
                       "after_head_layout, after_head_size, after_tail_layout FROM files "
                       "WHERE step = ?1 AND idx = ?2");
    Statement update(db, "UPDATE files SET before_head_layout = ?3, before_tail_layout = ?4, "
                         "after_head_layout = ?5, after_tail_layout = ?6 "
                         "WHERE step = ?1 AND idx = ?2");
    for (const auto& [step, index] : tagged) {
        read.bind(1, step).bind(2, index);
        if (!read.next()) {
            read.reset();
            continue;
        }
        // The images of one row alive while the store compares their pieces.
        const std::string images[] = {padded(read.blob(0), read.integer(1)), read.blob(2),
                                      padded(read.blob(3), read.integer(4)), read.blob(5)};
        read.reset();
        FrameStore store(db);
        std::string layouts[4];
        update.bind(1, step).bind(2, index);
        for (int i = 0; i < 4; ++i) {
            layouts[i] = store.store(step, images[i], i % 2 == 0);
            update.bindBlob(3 + i, layouts[i]);
        }
        update.run();
    }
    exec(db, "UPDATE files SET bytes = length(path) + length(source) + length(target) + "
             "length(trash_info) + length(before_head_layout) + length(before_tail_layout) + "
             "length(after_head_layout) + length(after_tail_layout)");
}

// A journal of an older version is brought up to this one in place, in one
// transaction: the user's history is kept.
void migrate(sqlite3* db)
{
    if (single(db, "PRAGMA user_version") == SchemaVersion)
        return;
    // Checked again inside: another program may have migrated it meanwhile.
    Transaction transaction(db, true);
    const std::int64_t version = single(db, "PRAGMA user_version");
    if (version == 1) {
        exec(db, "ALTER TABLE steps ADD COLUMN redo_ended INTEGER NOT NULL DEFAULT 0");
        // An undone step older than one in force was replaced by it.
        exec(db, "UPDATE steps SET redo_ended = 1 WHERE undone = 1 AND "
                 "id < (SELECT coalesce(max(id), 0) FROM steps WHERE undone = 0)");
    }
    if (version == 1 || version == 2)
        storeImagesAsFrames(db);
    if (version != SchemaVersion)
        exec(db, ("PRAGMA user_version=" + std::to_string(SchemaVersion)).c_str());
    transaction.commit();
}

// A new database gets the tables; an existing one must be ours, of a
// version this program knows.
void prepareSchema(sqlite3* db, const std::string& file)
{
    const bool empty = single(db, "SELECT count(*) FROM sqlite_schema") == 0;
    if (!empty) {
        if (single(db, "PRAGMA application_id") != ApplicationId)
            throw errorOf(file, u"不是本程序的修改日志; 此文件未改动"_s);
        if (single(db, "PRAGMA user_version") > SchemaVersion)
            throw errorOf(file, u"由更新版本的程序写成; 修改日志未改动"_s);
    }
    // Space freed by trimming goes back to the system (set before any table).
    // Pages of 1 KiB: a step adds small rows at scattered places (a new
    // frame's entry in the index of hashes above all), and a commit writes
    // each page it changed whole, to the log and again to the database, so
    // small pages keep what a step writes near what it adds. A cover spans
    // more pages, but it is written once.
    if (empty) {
        exec(db, "PRAGMA page_size=1024");
        exec(db, "PRAGMA auto_vacuum=INCREMENTAL");
    }
    // WAL: a commit is one append and one flush. Where it is not to be had
    // (a network file system) the rollback journal is as safe, only slower.
    exec(db, "PRAGMA journal_mode=WAL");
    exec(db, "PRAGMA journal_size_limit=67108864");
    if (!empty) {
        migrate(db);
        return;
    }
    Transaction create(db, true);
    exec(db, Schema);
    FrameStore::createTables(db);
    exec(db, ("PRAGMA application_id=" + std::to_string(ApplicationId)).c_str());
    exec(db, ("PRAGMA user_version=" + std::to_string(SchemaVersion)).c_str());
    create.commit();
    syncFolder(folderOf(file));
}

} // namespace

// ---------------------------------------------------------------- Journal

void Journal::Closer::operator()(sqlite3* db) const
{
    sqlite3_close_v2(db);
}

Journal::Journal(const std::string& file) : lock_(openLock(file))
{
    // One program opens (and maybe makes or migrates) the journal at a time.
    takeOpeningLock(file);
    try {
        open(file);
    } catch (...) {
        ::flock(lock_.get(), LOCK_UN);
        throw;
    }
    ::flock(lock_.get(), LOCK_UN);
    recoverInterrupted();
    trim();
    // Pages the trimming freed go back to the system once per start, not at
    // every step, where moving them would cost each save.
    exec(db(), "PRAGMA incremental_vacuum");
}

void Journal::open(const std::string& file)
{
    if (const auto aside = setAsideEmpty(file)) {
        notices_.push_back(
            errorOf(file, u"文件是空的 (0 字节), 之前的操作历史已无法读取; 已另存为 "_s +
                              shown(*aside) + u", 并新建了修改日志"_s)
                .what());
    }
    sqlite3* raw = nullptr;
    const int rc =
        sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    db_.reset(raw);
    if (rc != SQLITE_OK)
        throw errorOf(file, raw ? QString::fromUtf8(sqlite3_errmsg(raw)) : u"无法打开"_s);
    sqlite3_busy_timeout(db(), 10000);
    // Replaces SQLite's own checkpoint at commit (see checkpointIfLarge).
    sqlite3_wal_hook(db(), countWalPages, &walPages_);
    checkWhole(db(), file);
    prepareSchema(db(), file);
}

Journal::~Journal()
{
    try {
        flushWrites();
    } catch (const JournalError&) {
        // The steps stay open: the next start checks their files.
    }
}

std::string Journal::defaultFile()
{
    QString base = platform::EnvironmentPath("XDG_STATE_HOME");
    // The base directory rules make a relative value invalid.
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = platform::HomePath() + u"/.local/state"_s;
    return platform::NativePath(QDir::cleanPath(base + u"/mp3tagloom/journal.sqlite"_s));
}

// Another program holds the whole lock only while it opens the journal.
void Journal::takeOpeningLock(const std::string& file)
{
    for (int tries = 0; tries < 200; ++tries) {
        if (::flock(lock_.get(), LOCK_EX | LOCK_NB) == 0)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    throw errorOf(file, u"正被另一个程序占用"_s);
}

// A writer holds byte n of the lock file while step n is open, so that any
// program can tell a step in progress from one whose writer died: the
// system drops the lock with the process, however it ends. An open file
// description lock (not a classic POSIX one) because it belongs to this
// object's descriptor: it is not dropped when the process closes another
// descriptor of the file, and two journals in one process exclude each
// other. One lock file, not a file per step, leaves nothing to clean up.
bool Journal::lockStep(std::int64_t step)
{
    if (std::find(held_.begin(), held_.end(), step) != held_.end())
        return true;
    struct ::flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = off_t(step);
    lock.l_len = 1;
    if (::fcntl(lock_.get(), F_OFD_SETLK, &lock) != 0)
        return false;
    held_.push_back(step);
    return true;
}

void Journal::releaseStep(std::int64_t step)
{
    const auto at = std::find(held_.begin(), held_.end(), step);
    if (at == held_.end())
        return;
    held_.erase(at);
    struct ::flock lock {};
    lock.l_type = F_UNLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = off_t(step);
    lock.l_len = 1;
    ::fcntl(lock_.get(), F_OFD_SETLK, &lock);
}

void Journal::recoverInterrupted()
{
    std::vector<std::int64_t> open;
    {
        Statement query(db(), "SELECT id FROM steps WHERE state != 0 ORDER BY id");
        while (query.next())
            open.push_back(query.integer(0));
    }
    for (const std::int64_t step : open) {
        if (std::find(held_.begin(), held_.end(), step) != held_.end() || !lockStep(step))
            continue; // this object's own, or a running program's
        try {
            recoverStep(step);
        } catch (...) {
            releaseStep(step);
            throw;
        }
        releaseStep(step);
    }
}

void Journal::recoverStep(std::int64_t step)
{
    // Its writer may have settled it between the query and the lock.
    Statement query(db(), "SELECT state, kind FROM steps WHERE id = ?1");
    query.bind(1, step);
    if (!query.next() || query.integer(0) == int(State::Settled))
        return;
    const auto state = State(query.integer(0));
    const bool toolNames = StepKind(query.integer(1)) == StepKind::ToolsRename;
    std::vector<Row> rows = rowsOf(db(), step);
    // A turn cut short stands as it stood before: repeating it turns the
    // files it did not reach.
    const Recovery recovery = toolNames ? recoverToolRows(rows, state) : recoverRows(rows, state);
    recovered_.insert(recovered_.end(), recovery.restored.begin(), recovery.restored.end());
    leftAlone_.insert(leftAlone_.end(), recovery.leftAlone.begin(), recovery.leftAlone.end());
    finishStep(db(), step, state, rows, recovery.complete);
}

std::int64_t Journal::beginWrites(StepKind kind, const std::vector<tags::TagChange>& changes)
{
    if (changes.empty())
        return 0;
    flushWrites();
    // The step's one durable commit: the old images are on disk before any
    // file is written. The commits after the writes need no flush of their
    // own: a crash before they reach the disk is recovered from these rows.
    Transaction transaction(db(), true);
    const std::int64_t step = addStep(db(), kind, State::Writing);
    // Locked before the step is seen: no other program takes it for a dead
    // writer's.
    if (!lockStep(step))
        throw errorOf(sqlite3_db_filename(db(), "main"), u"无法锁定"_s);
    try {
        insertWrites(db(), step, changes, 0);
        transaction.commit();
    } catch (...) {
        releaseStep(step);
        throw;
    }
    return step;
}

void Journal::addWrites(std::int64_t step, const std::vector<tags::TagChange>& changes)
{
    if (step == 0 || changes.empty())
        return;
    // The slice's own durable commit, as the first one: its old images are
    // on disk before any of its files is written. The rows of the slices
    // before stay pending, so a crash now is recovered file by file from
    // what each file holds.
    Transaction transaction(db(), true);
    insertWrites(db(), step, changes, std::size_t(nextIndex(db(), step)));
    transaction.commit();
}

void Journal::endWrites(std::int64_t step, const std::vector<FileWrite>& writes)
{
    if (step == 0)
        return;
    if (endForward(db(), step, writes))
        releaseStep(step);
    else
        unflushed_.push_back(step);
}

void Journal::flushWrites()
{
    for (const std::int64_t step : unflushed_) {
        if (flushForward(db(), step))
            releaseStep(step);
    }
    // The oldest steps go here too, off the user's wait.
    if (!unflushed_.empty())
        trim();
    unflushed_.clear();
    checkpointIfLarge(db(), walPages_);
}

void Journal::beginTurn(std::int64_t step, bool toDone)
{
    flushWrites();
    if (!lockStep(step))
        throw errorOf(sqlite3_db_filename(db(), "main"), u"该操作正被另一个程序处理"_s);
    try {
        markTurning(step, toDone);
    } catch (...) {
        releaseStep(step);
        throw;
    }
}

void Journal::markTurning(std::int64_t step, bool toDone)
{
    bool toolNames = false;
    {
        // A step whose interrupted writes could not be checked yet is
        // turned only once they are.
        Statement query(db(), "SELECT state, kind FROM steps WHERE id = ?1");
        query.bind(1, step);
        if (query.next() && query.integer(0) != int(State::Settled))
            throw errorOf(sqlite3_db_filename(db(), "main"), u"该操作中断的写入尚未恢复"_s);
        toolNames = query.integer(1) == int(StepKind::ToolsRename);
    }
    std::vector<Row> rows = rowsOf(db(), step);
    const auto source = toDone ? tags::ImageMatch::Before : tags::ImageMatch::After;
    for (Row& row : rows) {
        // A text tool's file may be under its other name now: its recovery
        // looks for it there, whatever it holds.
        if (isTagged(row.file) && row.file.done != toDone)
            row.pending = row.pending || toolNames || tags::matchImage(row.file.tags) == source;
    }
    Transaction transaction(db(), true);
    storeFlags(db(), step, rows);
    setState(db(), step, toDone ? State::TurningForward : State::TurningBack);
    transaction.commit();
}

void Journal::endTurn(std::int64_t step, bool toDone, const std::vector<bool>& done,
                      const std::vector<FileWrite>& writes)
{
    std::vector<Row> rows = rowsOf(db(), step, false);
    std::vector<FileWrite> reached(rows.size(), FileWrite::NotStarted);
    for (std::size_t i = 0; i < rows.size() && i < done.size(); ++i) {
        if (done[i] != rows[i].file.done)
            reached[i] = FileWrite::Written;
        else if (i < writes.size())
            reached[i] = writes[i];
        rows[i].file.done = done[i];
    }
    std::vector<Row> moved;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!isTagged(rows[i].file) && reached[i] == FileWrite::Written)
            moved.push_back(rows[i]);
    }
    platform::flushFolders(foldersOf(moved));
    // The moves are durable: a name marked by markMoves is settled.
    for (Row& row : rows) {
        if (!isTagged(row.file))
            row.pending = false;
    }
    if (settleWrites(db(), step, rows, reached,
                     toDone ? State::TurningForward : State::TurningBack))
        releaseStep(step);
}

std::int64_t Journal::beginMoves(std::int64_t step, const std::vector<StepFile>& files)
{
    if (files.empty())
        return step;
    Transaction transaction(db(), true);
    bool reused = false;
    if (step != 0) {
        // Gone when no tag was written; an undone step another program
        // turned meanwhile is not added to.
        Statement query(db(), "SELECT undone FROM steps WHERE id = ?1");
        query.bind(1, step);
        reused = query.next() && query.integer(0) == 0;
    }
    if (!reused)
        step = addStep(db(), StepKind::ToolsRename, State::Writing);
    const bool held = std::find(held_.begin(), held_.end(), step) != held_.end();
    if (!lockStep(step))
        throw errorOf(sqlite3_db_filename(db(), "main"), u"该操作正被另一个程序处理"_s);
    try {
        std::vector<Row> rows;
        for (const StepFile& file : files)
            rows.push_back({0, file, true});
        for (Row& row : rows)
            row.file.done = false;
        insertFiles(db(), step, rows, std::size_t(nextIndex(db(), step)));
        // Open again if its tags were flushed already.
        Statement update(db(), "UPDATE steps SET kind = ?2, state = ?3 WHERE id = ?1");
        update.bind(1, step).bind(2, int(StepKind::ToolsRename)).bind(3, int(State::Writing)).run();
        transaction.commit();
    } catch (...) {
        if (!held)
            releaseStep(step);
        throw;
    }
    return step;
}

void Journal::endMoves(std::int64_t step, const std::vector<StepFile>& files)
{
    if (step == 0)
        return;
    std::vector<Row> rows = rowsOf(db(), step, false);
    std::vector<Row*> names; // those beginMoves added
    for (Row& row : rows) {
        if (!isTagged(row.file) && row.pending && names.size() < files.size())
            names.push_back(&row);
    }
    std::vector<Row> moved;
    for (std::size_t k = 0; k < names.size(); ++k) {
        names[k]->file.done = files[k].done;
        names[k]->file.to = files[k].to;
        names[k]->pending = false;
        if (files[k].done)
            moved.push_back(*names[k]);
    }
    platform::flushFolders(foldersOf(moved));
    {
        Transaction transaction(db(), false);
        Statement target(db(), "UPDATE files SET target = ?3 WHERE step = ?1 AND idx = ?2");
        for (const Row* name : names)
            target.bind(1, step).bind(2, name->index).bindBlob(3, name->file.to).run();
        // Without a name the step is one of tags alone: its recovery must
        // not take it for a run cut before its names.
        if (moved.empty()) {
            Statement kind(db(), "UPDATE steps SET kind = ?2 WHERE id = ?1");
            kind.bind(1, step).bind(2, int(StepKind::Tools)).run();
        }
        storeFlags(db(), step, rows);
        transaction.commit();
    }
    if (finishStep(db(), step, State::Writing, rows, true)) {
        releaseStep(step);
        unflushed_.erase(std::remove(unflushed_.begin(), unflushed_.end(), step), unflushed_.end());
    } else if (std::find(unflushed_.begin(), unflushed_.end(), step) == unflushed_.end()) {
        unflushed_.push_back(step); // its tags' bytes are flushed with the others'
    }
}

void Journal::markMoves(std::int64_t step, bool toDone)
{
    std::vector<Row> rows = rowsOf(db(), step, false);
    Transaction transaction(db(), true);
    Statement inode(db(), "UPDATE files SET before_size = ?3 WHERE step = ?1 AND idx = ?2");
    for (Row& row : rows) {
        if (isTagged(row.file) || row.file.done == toDone)
            continue;
        row.pending = true;
        const std::uint64_t now = platform::InodeOf(toDone ? row.file.from : row.file.to);
        inode.bind(1, step).bind(2, row.index).bind(3, std::int64_t(now)).run();
    }
    storeFlags(db(), step, rows);
    transaction.commit();
}

std::int64_t Journal::record(StepKind kind, const std::vector<StepFile>& files)
{
    if (files.empty())
        return 0;
    flushWrites();
    std::vector<Row> rows;
    rows.reserve(files.size());
    for (const StepFile& file : files)
        rows.push_back({0, file, false});
    // The moves on disk before the record of them.
    platform::flushFolders(foldersOf(rows));
    // Once per command: the undo of what was just done survives a crash too.
    Transaction transaction(db(), true);
    const std::int64_t step = addStep(db(), kind, State::Settled);
    insertFiles(db(), step, rows);
    endRedoChain(db(), step);
    transaction.commit();
    trim();
    checkpointIfLarge(db(), walPages_);
    return step;
}

std::vector<StepInfo> Journal::steps() const
{
    // A text tool's file with tags and a name has two rows (the tags' path
    // is the name's old one): it counts once.
    const std::string file = "CASE WHEN f.tagged = 1 THEN f.path ELSE f.source END";
    const std::string sql =
        "SELECT s.id, s.time, s.kind, s.undone, CASE WHEN s.kind = ?1 THEN count(DISTINCT " + file +
        ") ELSE count(f.idx) END, CASE WHEN s.kind = ?1 THEN count(DISTINCT CASE WHEN " +
        "f.done = 1 THEN " + file + " END) ELSE coalesce(sum(f.done), 0) END, s.redo_ended, " +
        "s.state FROM steps s LEFT JOIN files f ON f.step = s.id GROUP BY s.id ORDER BY s.id DESC";
    Statement query(db(), sql.c_str());
    query.bind(1, int(StepKind::ToolsRename));
    std::vector<StepInfo> steps;
    while (query.next()) {
        steps.push_back({query.integer(0), query.integer(1), StepKind(query.integer(2)),
                         int(query.integer(4)), int(query.integer(5)), query.integer(3) != 0,
                         query.integer(6) != 0, query.integer(7) != int(State::Settled)});
    }
    return steps;
}

std::vector<StepInfo> Journal::stepsUncounted() const
{
    Statement query(db(), "SELECT id, time, kind, undone, redo_ended, state FROM steps "
                          "ORDER BY id DESC");
    std::vector<StepInfo> steps;
    while (query.next()) {
        steps.push_back({query.integer(0), query.integer(1), StepKind(query.integer(2)), 0, 0,
                         query.integer(3) != 0, query.integer(4) != 0,
                         query.integer(5) != int(State::Settled)});
    }
    return steps;
}

std::vector<StepFile> Journal::files(std::int64_t step) const
{
    std::vector<StepFile> files;
    for (Row& row : rowsOf(db(), step))
        files.push_back(std::move(row.file));
    return files;
}

void Journal::setFile(std::int64_t step, std::size_t index, const StepFile& file)
{
    Transaction transaction(db(), false);
    Statement update(db(), "UPDATE files SET path = ?3, tagged = ?4, before_head_layout = ?5, "
                           "before_tail_layout = ?6, before_size = ?7, after_head_layout = ?8, "
                           "after_tail_layout = ?9, after_size = ?10, source = ?11, target = ?12, "
                           "trash_info = ?13, done = ?14, bytes = ?15, before_head_size = ?17, "
                           "after_head_size = ?18 WHERE step = ?1 AND idx = ?2");
    FrameStore store(db());
    const Layouts layouts = layoutsOf(store, step, file.tags);
    bindFile(update, step, index, file.tags, file, layouts);
    update.run();
    transaction.commit();
}

// The newest steps are kept while they fit both bounds: their number, and
// the bytes of their rows and of the frames they use. A step still open for
// recovery is never dropped; its bytes count, as they are on disk.
void Journal::trim()
{
    std::vector<std::pair<std::int64_t, std::int64_t>> settled; // id, bytes; newest first
    std::int64_t bytes = FrameStore::storedBytes(db());
    {
        Statement query(db(), "SELECT s.id, s.state, coalesce(sum(f.bytes), 0) FROM steps s "
                              "LEFT JOIN files f ON f.step = s.id GROUP BY s.id "
                              "ORDER BY s.id DESC");
        while (query.next()) {
            bytes += query.integer(2);
            if (query.integer(1) == int(State::Settled))
                settled.emplace_back(query.integer(0), query.integer(2));
        }
    }
    std::size_t kept = std::min<std::size_t>(settled.size(), MaxSteps);
    if (kept == settled.size() && bytes <= MaxBytes)
        return;
    Transaction transaction(db(), false);
    std::vector<std::int64_t> frames;
    for (std::size_t i = kept; i < settled.size(); ++i) {
        const auto released = removeStep(db(), settled[i].first);
        frames.insert(frames.end(), released.begin(), released.end());
        bytes -= settled[i].second;
    }
    bytes -= FrameStore::sweep(db(), frames);
    // The oldest go one by one: what a step frees depends on the steps left.
    while (kept > 0 && bytes > MaxBytes) {
        --kept;
        bytes -=
            settled[kept].second + FrameStore::sweep(db(), removeStep(db(), settled[kept].first));
    }
    transaction.commit();
}

} // namespace operations
