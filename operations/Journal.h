#pragma once

#include "platform/FileTree.h"
#include "tags/TagImage.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

struct sqlite3;

// The record of every change the program makes to files, kept in an SQLite
// database in the user's state folder. It is two things at once: the journal
// that makes an in-place tag write safe against a crash (a file's old bytes
// are on disk before its new ones go over them), and the history that undo
// and redo walk, across restarts.
namespace operations {

enum class StepKind {
    Save,        // the property page saved into one file
    FieldChange, // the batch tag change
    CopyV1ToV2,
    CopyV2ToV1,
    Rename,     // the batch renaming, and the repair of a file name
    Conversion, // legacy texts to Unicode
    Move,       // files dropped onto a folder of the tree
    Trash,      // files deleted to the trash
    NewFolder,
    Cover, // the front cover set or removed; stored by number, so new kinds go last
    Tools, // a text tool's tag changes
    // A text tool's tag changes and the file names it changed, one step: a
    // row of tags and a row of its name for a file that got both (the tags'
    // path is the old name).
    ToolsRename,
};

// One file of a step. A tag step fills `tags`; the others `from` and `to`.
struct StepFile {
    tags::TagChange tags;
    std::string from;      // Rename, Move, Trash: where the item was; NewFolder: empty
    std::string to;        // where it went: the new name, the place in the trash, the folder made
    std::string trashInfo; // Trash: its .trashinfo file
    bool done = true;      // the file is as the step left it (not undone)
    // ToolsRename's names: the file's inode number when it was last about to
    // move (0: unknown), which finds it under any name after a crash.
    std::uint64_t inode = 0;
};

struct StepInfo {
    std::int64_t id = 0;
    std::int64_t time = 0; // seconds since the epoch
    StepKind kind = StepKind::Save;
    int files = 0;
    int done = 0;        // files as the step left them
    bool undone = false; // undo was applied (some files may have been refused)
    // Undone, and a step made after the undo ended its redo: it stays in the
    // history as undone but is never redone.
    bool redoEnded = false;
    bool open = false; // its writes are in progress in a running program
};

// How far the write of one file of a step got, as its writer saw it.
enum class FileWrite {
    NotStarted, // refused or never reached: the file was not touched
    Torn,       // a write in place began and failed: the file may be torn
    Written,
};

// The journal cannot be opened, made or read: what went wrong, for the user.
class JournalError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Every function but the destructor throws JournalError when the database
// fails.
class Journal {
public:
    // Opens the database (creating it and its folders when missing; one
    // found empty is set aside, see notices()) and finishes every step whose
    // writer died (recoverInterrupted): each file of such a step is left
    // holding the old image or the new one whole (a torn file gets its old
    // one back; one another program changed since is left alone), its stale
    // copies removed, and the step records which. JournalError when it
    // cannot be opened or is damaged.
    explicit Journal(const std::string& file);
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // $XDG_STATE_HOME/mp3tagloom/journal.sqlite; ~/.local/state when the
    // variable is unset, empty or relative.
    static std::string defaultFile();

    // The paths found torn by an interrupted write, each put back whole.
    const std::vector<std::string>& recovered() const { return recovered_; }
    // What opening found and did that the user must be told of (a journal
    // found empty, set aside and made anew), one line each.
    const std::vector<std::string>& notices() const { return notices_; }
    // The paths of interrupted steps that another program changed since:
    // left as they are.
    const std::vector<std::string>& leftAlone() const { return leftAlone_; }

    // Finishes the steps whose writer died (its lock is free), as opening
    // does; a step a running program is writing is left to it. Adds to
    // recovered() and leftAlone().
    void recoverInterrupted();

    // Tag writes. begin stores every change's two images in a new step with
    // one durable commit (each frame the journal does not hold yet, the rest
    // by reference); from then on a crash is recovered. end, after the
    // writes, records which files were written; the step keeps only those (a
    // step with none goes). The written bytes are made durable (each written
    // file flushed alone), and the history trimmed, by flushWrites, which the
    // program calls soon after, off the user's wait, and which every later
    // change and the closing of the journal call first; until then the step
    // stays open, and a crash has its files checked at the next start.
    // Only a file whose write is Torn is put back; one not started is never
    // written.
    std::int64_t beginWrites(StepKind kind, const std::vector<tags::TagChange>& changes);
    // Adds the next slice of files to a step begun by beginWrites, with a
    // durable commit of its own, before any of them is written: a batch need
    // not hold every file's images at once. endWrites then takes the writes
    // of every slice, in order.
    void addWrites(std::int64_t step, const std::vector<tags::TagChange>& changes);
    void endWrites(std::int64_t step, const std::vector<FileWrite>& writes);
    void flushWrites();

    // A step whose files are turned back or forth (undo: toDone false; redo:
    // true). beginTurn marks the step as turning, durably, so that a crash
    // during its in-place writes is recovered; endTurn (after making the
    // writes durable) records each file's state after it and whether the step
    // now counts as undone (!toDone). Steps without tags need no beginTurn.
    // `writes` tells, for a tag step, which files' writes began and failed
    // (Torn): those alone are put back. beginTurn throws when another running
    // program has the step open.
    void beginTurn(std::int64_t step, bool toDone);
    void endTurn(std::int64_t step, bool toDone, const std::vector<bool>& done,
                 const std::vector<FileWrite>& writes = {});

    // The names of a text tool's run, part of its step (ToolsRename): the
    // tags are written first, then beginMoves records the names about to
    // change (`from`, `to`, `inode`), durably, before any moves; endMoves
    // records how each went (`files` as given, `done` when the file left
    // its name, `to` where it is). A step of 0, or one gone (no tag was
    // written), is begun anew. Gives the step. Until endMoves a crash is
    // recovered: each file ends wholly old or wholly new.
    std::int64_t beginMoves(std::int64_t step, const std::vector<StepFile>& files);
    void endMoves(std::int64_t step, const std::vector<StepFile>& files);
    // In a turn of a ToolsRename step, after beginTurn: the names about to
    // move marked, durably, with the inodes their files have now (a tag
    // written through a copy gives its file a new one).
    void markMoves(std::int64_t step, bool toDone);

    // A step of moves, renames, trashing or new folders, recorded once made.
    // Nothing is recorded for an empty list.
    std::int64_t record(StepKind kind, const std::vector<StepFile>& files);

    // Newest first.
    std::vector<StepInfo> steps() const;
    // The same without counting their files (files and done are 0): what
    // tells the next undo and redo, at a cost that does not grow with the
    // files of the history.
    std::vector<StepInfo> stepsUncounted() const;
    std::vector<StepFile> files(std::int64_t step) const;
    // Updates what a redo of a trash step gives: the new place in the trash.
    void setFile(std::int64_t step, std::size_t index, const StepFile& file);

    // The bounds of the history: the oldest steps go first.
    static constexpr int MaxSteps = 200;
    static constexpr std::int64_t MaxBytes = 256 * 1024 * 1024;

private:
    void open(const std::string& file);
    void takeOpeningLock(const std::string& file);
    bool lockStep(std::int64_t step);
    void releaseStep(std::int64_t step);
    void recoverStep(std::int64_t step);
    void markTurning(std::int64_t step, bool toDone);
    void trim();
    sqlite3* db() const { return db_.get(); }

    struct Closer {
        void operator()(sqlite3* db) const;
    };
    // The lock file: taken whole (flock) while a program opens the journal;
    // byte n of it (an open file description lock) held while step n is open
    // in this object. Closed after db_.
    platform::FileDescriptor lock_;
    std::unique_ptr<sqlite3, Closer> db_;
    std::vector<std::string> recovered_;
    std::vector<std::string> leftAlone_;
    std::vector<std::string> notices_;
    std::vector<std::int64_t> unflushed_; // ended by this object, their bytes not yet flushed
    std::vector<std::int64_t> held_;      // the steps whose byte lock this object holds
    int walPages_ = 0; // pages in the write-ahead log, as the last commit left it
};

} // namespace operations
