#include "operations/History.h"

#include "operations/MoveBatch.h"
#include "operations/ToolsStep.h"
#include "platform/FileNameCodec.h"
#include "platform/FileTree.h"
#include "platform/LegacyText.h"
#include "platform/NativePath.h"
#include "platform/SystemError.h"
#include "platform/Trash.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

bool isTagKind(StepKind kind)
{
    switch (kind) {
    case StepKind::Save:
    case StepKind::FieldChange:
    case StepKind::CopyV1ToV2:
    case StepKind::CopyV2ToV1:
    case StepKind::Conversion:
    case StepKind::Cover:
    case StepKind::Tools:
        return true;
    case StepKind::ToolsRename: // turned by Turn::turnToolFiles
    case StepKind::Rename:
    case StepKind::Move:
    case StepKind::Trash:
    case StepKind::NewFolder:
        break;
    }
    return false;
}

QString systemError(int error)
{
    return platform::SystemErrorText(error);
}

// The folder part of a native path.
std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// ".../files/NAME" in a trash: its ".../info/NAME.trashinfo".
std::string trashInfoOf(const std::string& inTrash)
{
    const auto slash = inTrash.find_last_of('/');
    if (slash == std::string::npos)
        return {};
    return folderOf(inTrash.substr(0, slash)) + "/info/" + inTrash.substr(slash + 1) + ".trashinfo";
}

// Why an item could not be moved from `from` (errno set by the move).
QString moveFailure(const std::string& from, bool toDone, int error)
{
    if (error == EEXIST || error == ENOTEMPTY)
        return toDone ? u"新位置已有同名的项"_s : u"原位置已有同名的项"_s;
    if (error == ENOENT && !platform::PathExists(from))
        return u"找不到该项"_s;
    if (error == ENOENT)
        return u"目标文件夹不存在"_s;
    return systemError(error);
}

// One step being turned: which way, and the lines for the files refused.
class Turn {
public:
    Turn(Journal& journal, std::int64_t step, bool toDone, TurnOutcome& outcome)
        : journal_(journal), step_(step), toDone_(toDone), outcome_(outcome)
    {
    }

    void turnTagFiles(const std::vector<StepFile>& files);
    void turnItems(StepKind kind, std::vector<StepFile> files);
    void turnToolFiles(std::vector<StepFile> files);

private:
    using Rows = std::vector<std::size_t>; // each tag row's name row (ToolsStep.h)
    void turnMoves(std::vector<StepFile> files);
    // Moves the name rows not skipped and not turned yet.
    void moveRows(std::vector<StepFile>& files, const std::vector<bool>& skip,
                  std::vector<bool>& done);
    void refuseChanged(const std::vector<StepFile>& files, const Rows& names,
                       std::vector<bool>& skip);
    void turnToolTags(const std::vector<StepFile>& files, const Rows& names,
                      const std::vector<bool>& skip, std::vector<bool>& done,
                      std::vector<FileWrite>& writes);
    void takeBackTags(const std::vector<StepFile>& files, const Rows& names,
                      std::vector<bool>& done, std::vector<FileWrite>& writes);
    // Why the file could not be turned (to the step's new side when
    // `toDone`); nullopt when it was. `write` tells how far a write got.
    std::optional<QString> turnTags(const tags::TagChange& change, FileWrite& write, bool toDone);
    std::optional<QString> turnItem(StepKind kind, std::size_t index, StepFile& file);
    std::optional<QString> moveBack(const StepFile& file);
    void turned(std::size_t index, const std::string& path);
    void refuse(std::size_t index, const std::string& path, const QString& why);
    std::optional<QString> trashAgain(std::size_t index, StepFile& file);
    QString leftAside(std::size_t index, StepFile& file, const QString& at);

    Journal& journal_;
    std::int64_t step_;
    bool toDone_;
    TurnOutcome& outcome_;
    std::vector<std::size_t> indexes_; // the step's index of each of outcome_.files
    platform::LegacyDetector detector_;
};

QString decoded(const std::string& native)
{
    return platform::decodeFileName(QByteArray::fromStdString(native));
}

// Each file's outcome goes in at its index: undo goes through the files
// newest first.
void insertAt(std::vector<FileOutcome>& files, std::vector<std::size_t>& indexes, std::size_t index,
              FileOutcome file)
{
    const auto at = std::upper_bound(indexes.begin(), indexes.end(), index);
    files.insert(files.begin() + (at - indexes.begin()), std::move(file));
    indexes.insert(at, index);
}

void Turn::turned(std::size_t index, const std::string& path)
{
    insertAt(outcome_.files, indexes_, index, {decoded(path), true, {}});
    ++outcome_.turned;
}

void Turn::refuse(std::size_t index, const std::string& path, const QString& why)
{
    const QString reason = why + (toDone_ ? u",未重做"_s : u",未撤销"_s);
    const QString shown = platform::shownFileName(QByteArray::fromStdString(path), detector_);
    outcome_.lines.push_back(shown + u": "_s + reason);
    insertAt(outcome_.files, indexes_, index, {decoded(path), false, reason});
    ++outcome_.refused;
}

// The file is turned only when it holds exactly what the step left in it
// (or, for a redo, what it found); bytes changed since are another's.
std::optional<QString> Turn::turnTags(const tags::TagChange& change, FileWrite& write, bool toDone)
{
    write = FileWrite::NotStarted;
    const tags::TagChange turn = toDone ? change : change.reversed();
    switch (tags::matchImage(turn)) {
    case tags::ImageMatch::Before:
        break;
    case tags::ImageMatch::After:
        return std::nullopt; // already as the turn would leave it
    case tags::ImageMatch::Neither:
        return u"文件已被修改"_s;
    case tags::ImageMatch::Unreadable:
        return u"无法读取文件: "_s + systemError(errno);
    }
    const tags::WriteOutcome written =
        turn.inPlace() ? tags::writeInPlace(turn) : tags::writeStaged(turn);
    write = written.written() ? FileWrite::Written
            : written.started ? FileWrite::Torn
                              : FileWrite::NotStarted;
    switch (written.result) {
    case tags::WriteResult::Written:
        return std::nullopt;
    case tags::WriteResult::Unchanged:
        return u"文件已被修改"_s;
    case tags::WriteResult::NoRoom:
        return u"磁盘已满"_s;
    case tags::WriteResult::Failed:
        break;
    }
    return u"写入失败: "_s + systemError(written.error);
}

void Turn::turnTagFiles(const std::vector<StepFile>& files)
{
    // Marked as turning, durably, before the first byte: a crash in between
    // is recovered at the next start.
    journal_.beginTurn(step_, toDone_);
    std::vector<bool> done;
    for (const StepFile& file : files)
        done.push_back(file.done);
    std::vector<FileWrite> writes(files.size(), FileWrite::NotStarted);
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i].done == toDone_)
            continue;
        if (const auto why = turnTags(files[i].tags, writes[i], toDone_)) {
            refuse(i, files[i].tags.path(), *why);
        } else {
            done[i] = toDone_;
            turned(i, files[i].tags.path());
        }
    }
    journal_.endTurn(step_, toDone_, done, writes);
}

// Back from where the step put the item, never over anything; a trashed
// item's .trashinfo goes with it.
std::optional<QString> Turn::moveBack(const StepFile& file)
{
    if (!platform::RenameNoReplace(file.to, file.from))
        return moveFailure(file.to, toDone_, errno);
    if (!file.trashInfo.empty())
        ::unlink(file.trashInfo.c_str());
    return std::nullopt;
}

std::optional<QString> Turn::trashAgain(std::size_t index, StepFile& file)
{
    if (!platform::PathExists(file.from))
        return u"找不到该项"_s;
    QString inTrash;
    if (!platform::MoveToTrash(platform::decodeFileName(QByteArray::fromStdString(file.from)),
                               &inTrash))
        return u"无法移到回收站"_s;
    // The trash may have given it another name than the first time.
    file.to = platform::NativePath(inTrash);
    file.trashInfo = trashInfoOf(file.to);
    file.done = true;
    journal_.setFile(step_, index, file);
    return std::nullopt;
}

// A trashed item or a new folder: renames and moves go in one batch instead.
std::optional<QString> Turn::turnItem(StepKind kind, std::size_t index, StepFile& file)
{
    if (kind == StepKind::Trash)
        return toDone_ ? trashAgain(index, file) : moveBack(file);
    if (toDone_ ? ::mkdir(file.to.c_str(), 0777) == 0 : ::rmdir(file.to.c_str()) == 0)
        return std::nullopt;
    if (!toDone_ && (errno == ENOTEMPTY || errno == EEXIST))
        return u"文件夹不是空的"_s;
    if (toDone_ && errno == EEXIST)
        return u"已存在"_s;
    return errno == ENOENT && !toDone_ ? u"已不存在"_s : systemError(errno);
}

// An item that could take neither its new place nor its old one stays under
// a temporary name. The record gets that name in place of the one the item
// left: it stays on the side of the step it was (not undone after a failed
// undo, undone after a failed redo), so the next turn finds it there and takes
// it where the user wanted it: an undo keeps `from`, a redo keeps `to`.
QString Turn::leftAside(std::size_t index, StepFile& file, const QString& at)
{
    (toDone_ ? file.from : file.to) = platform::NativePath(at);
    journal_.setFile(step_, index, file);
    return u"该项暂时名为 "_s +
           platform::shownFileName(QByteArray::fromStdString(platform::NativePath(at)), detector_);
}

// Every item at once: names the items give up to one another (a swap, a
// chain) are taken in an order that works, and across file systems an item is
// copied. An undo passes the items newest first, the order they were undone
// in one by one.
void Turn::turnMoves(std::vector<StepFile> files)
{
    std::vector<bool> done;
    for (const StepFile& file : files)
        done.push_back(file.done);
    moveRows(files, std::vector<bool>(files.size(), false), done);
    journal_.endTurn(step_, toDone_, done);
}

void Turn::moveRows(std::vector<StepFile>& files, const std::vector<bool>& skip,
                    std::vector<bool>& done)
{
    std::vector<std::size_t> indexes;
    std::vector<ItemMove> moves;
    for (std::size_t n = 0; n < files.size(); ++n) {
        const std::size_t i = toDone_ ? n : files.size() - 1 - n;
        if (files[i].done == toDone_ || skip[i] || !files[i].tags.path().empty())
            continue;
        const std::string& from = toDone_ ? files[i].from : files[i].to;
        const std::string& to = toDone_ ? files[i].to : files[i].from;
        indexes.push_back(i);
        moves.push_back({platform::decodeFileName(QByteArray::fromStdString(from)),
                         platform::decodeFileName(QByteArray::fromStdString(to))});
    }
    const std::vector<MoveDone> results = moveAll(moves);
    for (std::size_t k = 0; k < results.size(); ++k) {
        const std::size_t i = indexes[k];
        StepFile& file = files[i];
        if (results[k].moved) {
            done[i] = toDone_;
            turned(i, toDone_ ? file.to : file.from);
            continue;
        }
        const std::string source = toDone_ ? file.from : file.to;
        QString why = moveFailure(source, toDone_, results[k].error);
        if (!results[k].at.isEmpty())
            why += u","_s + leftAside(i, file, results[k].at);
        refuse(i, source, why);
    }
}

// A text tool's tags and names, one step (operations/ToolsStep.h). Each tag
// row holds its file's old name, so the tags are written while the file has
// it: a redo writes them before it moves the files, an undo moves the files
// back first, the reverse order. Either way every file is where its next
// write looks for it, and a crash leaves at worst new tags under an old
// name, which the recovery takes back. A file turns whole or not at all: its
// tags are checked where it is before it moves, a name does not move whose
// tags did not turn, and a redo whose move fails takes its tags back.
void Turn::turnToolFiles(std::vector<StepFile> files)
{
    std::vector<const StepFile*> rows;
    for (const StepFile& file : files)
        rows.push_back(&file);
    const Rows names = nameRows(rows);
    std::vector<bool> skip(files.size(), false);
    refuseChanged(files, names, skip);
    journal_.beginTurn(step_, toDone_);
    std::vector<bool> done;
    for (const StepFile& file : files)
        done.push_back(file.done);
    std::vector<FileWrite> writes(files.size(), FileWrite::NotStarted);
    if (toDone_) {
        turnToolTags(files, names, skip, done, writes);
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (names[i] != NoNameRow && done[i] != toDone_)
                skip[names[i]] = true;
        }
        journal_.markMoves(step_, toDone_);
        moveRows(files, skip, done);
        takeBackTags(files, names, done, writes);
    } else {
        journal_.markMoves(step_, toDone_);
        moveRows(files, skip, done);
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (names[i] != NoNameRow && done[names[i]] != toDone_)
                skip[i] = true;
        }
        turnToolTags(files, names, skip, done, writes);
    }
    journal_.endTurn(step_, toDone_, done, writes);
}

// A file with tags and a name whose tags, where it is now, are not what the
// turn starts from: neither turns, and it is said once.
void Turn::refuseChanged(const std::vector<StepFile>& files, const Rows& names,
                         std::vector<bool>& skip)
{
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::size_t j = names[i];
        if (j == NoNameRow || files[i].done != files[j].done || files[i].done == toDone_)
            continue;
        const std::string& at = toDone_ ? files[j].from : files[j].to;
        const tags::TagChange change = relocated(files[i].tags, at);
        const tags::ImageMatch match = tags::matchImage(toDone_ ? change : change.reversed());
        if (match == tags::ImageMatch::Before || match == tags::ImageMatch::After)
            continue;
        skip[i] = skip[j] = true;
        refuse(j, at,
               match == tags::ImageMatch::Unreadable ? u"无法读取文件: "_s + systemError(errno)
                                                     : u"文件已被修改"_s);
    }
}

// The tags of the rows not skipped; a file with a name too is counted by its
// name's move.
void Turn::turnToolTags(const std::vector<StepFile>& files, const Rows& names,
                        const std::vector<bool>& skip, std::vector<bool>& done,
                        std::vector<FileWrite>& writes)
{
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i].tags.path().empty() || skip[i] || files[i].done == toDone_)
            continue;
        if (const auto why = turnTags(files[i].tags, writes[i], toDone_)) {
            refuse(i, files[i].tags.path(), *why);
        } else {
            done[i] = toDone_;
            if (names[i] == NoNameRow)
                turned(i, files[i].tags.path());
        }
    }
}

// A redo's file whose name could not be taken gets its old tags back: it
// stays wholly as the undo left it.
void Turn::takeBackTags(const std::vector<StepFile>& files, const Rows& names,
                        std::vector<bool>& done, std::vector<FileWrite>& writes)
{
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (names[i] == NoNameRow || done[i] != toDone_ || done[names[i]] == toDone_)
            continue;
        if (!turnTags(files[i].tags, writes[i], !toDone_))
            done[i] = !toDone_;
    }
}

void Turn::turnItems(StepKind kind, std::vector<StepFile> files)
{
    if (kind == StepKind::Rename || kind == StepKind::Move) {
        turnMoves(std::move(files));
        return;
    }
    std::vector<bool> done;
    for (const StepFile& file : files)
        done.push_back(file.done);
    // An undo goes newest first: a name in the trash one item gave up and
    // another took is free again before the first one wants it back; a
    // folder made inside a new one goes before it.
    for (std::size_t n = 0; n < files.size(); ++n) {
        const std::size_t i = toDone_ ? n : files.size() - 1 - n;
        StepFile& file = files[i];
        if (file.done == toDone_)
            continue;
        if (const auto why = turnItem(kind, i, file)) {
            const bool atTarget = kind == StepKind::NewFolder || !toDone_;
            refuse(i, atTarget ? file.to : file.from, *why);
        } else {
            done[i] = toDone_;
            turned(i, toDone_ || file.from.empty() ? file.to : file.from);
        }
    }
    journal_.endTurn(step_, toDone_, done);
}

} // namespace

QString stepName(StepKind kind)
{
    switch (kind) {
    case StepKind::Save:
        return u"修改属性"_s;
    case StepKind::FieldChange:
        return u"批量修改"_s;
    case StepKind::CopyV1ToV2:
        return u"ID3v1->ID3v2"_s;
    case StepKind::CopyV2ToV1:
        return u"ID3v2->ID3v1"_s;
    case StepKind::Rename:
        return u"批量改名"_s;
    case StepKind::Conversion:
        return u"转换编码"_s;
    case StepKind::Move:
        return u"移动"_s;
    case StepKind::Trash:
        return u"删除"_s;
    case StepKind::NewFolder:
        return u"新建文件夹"_s;
    case StepKind::Cover:
        return u"封面"_s;
    case StepKind::Tools:
    case StepKind::ToolsRename:
        return u"批量处理"_s;
    }
    return {};
}

History::History(Journal& journal) : journal_(journal) {}

std::int64_t History::nextUndo() const
{
    for (const StepInfo& step : journal_.stepsUncounted()) {
        if (!step.undone)
            return step.id;
    }
    return 0;
}

// Newest first: the steps undone since the last new step, the one undone
// last being the oldest of them; a step whose redo a newer step ended is
// passed over.
std::int64_t History::nextRedo() const
{
    std::int64_t redo = 0;
    for (const StepInfo& step : journal_.stepsUncounted()) {
        if (!step.undone)
            break;
        if (!step.redoEnded)
            redo = step.id;
    }
    return redo;
}

void History::recoverInterrupted()
{
    try {
        journal_.recoverInterrupted();
    } catch (const JournalError&) {
        // The turn reports the journal's error.
    }
}

TurnOutcome History::undo()
{
    recoverInterrupted();
    const std::int64_t step = nextUndo();
    return step != 0 ? turn(step, false) : TurnOutcome{};
}

TurnOutcome History::redo()
{
    recoverInterrupted();
    const std::int64_t step = nextRedo();
    return step != 0 ? turn(step, true) : TurnOutcome{};
}

TurnOutcome History::undoTo(std::int64_t step)
{
    TurnOutcome all;
    recoverInterrupted();
    for (std::int64_t next = nextUndo(); next != 0 && next >= step;) {
        TurnOutcome one = turn(next, false);
        all.any = all.any || one.any;
        all.turned += one.turned;
        all.refused += one.refused;
        all.step = one.step;
        all.lines.insert(all.lines.end(), one.lines.begin(), one.lines.end());
        all.files.insert(all.files.end(), one.files.begin(), one.files.end());
        if (all.error.isEmpty())
            all.error = one.error;
        const std::int64_t after = nextUndo();
        if (after == next)
            break; // the journal could not record the undo: no endless loop
        next = after;
    }
    return all;
}

TurnOutcome History::turn(std::int64_t step, bool toDone)
{
    TurnOutcome outcome;
    try {
        // A step whose writer died is finished first; one a running program
        // writes is refused by beginTurn.
        journal_.recoverInterrupted();
        for (const StepInfo& info : journal_.stepsUncounted()) {
            if (info.id != step)
                continue;
            outcome.any = true;
            outcome.step = stepName(info.kind);
            Turn turn(journal_, step, toDone, outcome);
            if (info.kind == StepKind::ToolsRename)
                turn.turnToolFiles(journal_.files(step));
            else if (isTagKind(info.kind))
                turn.turnTagFiles(journal_.files(step));
            else
                turn.turnItems(info.kind, journal_.files(step));
            break;
        }
    } catch (const JournalError& e) {
        outcome.error = QString::fromUtf8(e.what());
        outcome.lines.push_back(outcome.error);
    }
    return outcome;
}

} // namespace operations
