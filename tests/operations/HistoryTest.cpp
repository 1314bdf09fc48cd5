// Undo and redo over the journal: every kind of step, byte for byte, across
// restarts, and the files that must be left alone.

#include "operations/History.h"
#include "operations/Journal.h"
#include "operations/TagWrites.h"
#include "platform/FileNameCodec.h"
#include "platform/FileTree.h"
#include "platform/NativePath.h"
#include "platform/Trash.h"
#include "tags/ID3v2.h"
#include "tests/operations/JournalFiles.h"
#include "tests/support/TestEnvironment.h"

#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <memory>
#include <sys/wait.h>

using namespace Qt::StringLiterals;
using namespace journalfiles;
using operations::History;
using operations::Journal;
using operations::StepFile;
using operations::StepKind;

class HistoryTest : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::TemporaryFolder> dir_;
    std::unique_ptr<Journal> journal_;
    std::unique_ptr<History> history_;

    std::string path(const std::string& name) const
    {
        return dir_->path().toStdString() + "/" + name;
    }
    // The program ends and starts again on the same journal.
    void restart()
    {
        history_.reset();
        journal_.reset();
        journal_ = std::make_unique<Journal>(path("state/journal.sqlite"));
        history_ = std::make_unique<History>(*journal_);
    }
    std::int64_t write(StepKind kind, const std::vector<tags::TagChange>& changes)
    {
        operations::TagWrites writes(journal_.get(), kind);
        for (const tags::TagChange& change : changes)
            writes.add(change);
        writes.write([](std::size_t, const operations::Outcome& outcome) {
            QVERIFY2(outcome.succeeded, qPrintable(outcome.message));
        });
        return journal_->steps().front().id;
    }
    StepFile moved(const std::string& from, const std::string& to)
    {
        StepFile file;
        file.from = path(from);
        file.to = path(to);
        return file;
    }

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<testsupport::TemporaryFolder>();
        restart();
    }
    void cleanup()
    {
        history_.reset();
        journal_.reset();
    }

    // One file whose new tag fits its old room (written in place) and one
    // whose tag grows (written through a copy).
    void tagStepAcrossRestarts()
    {
        const QByteArray oldHead = tagOfSize("Old", 400);
        const QByteArray oldTail = testsupport::id3v1Trailer("Old");
        const std::vector<std::pair<std::string, QByteArray>> heads{
            {path("fits.mp3"), tagOfSize("New", 400)}, {path("grows.mp3"), tagOfSize("New", 900)}};
        std::vector<tags::TagChange> changes;
        for (const auto& [file, head] : heads) {
            QVERIFY(writeFile(file, music(oldHead, oldTail)));
            changes.push_back(changeTo(file, head, {}));
        }
        QVERIFY(changes[0].inPlace());
        QVERIFY(!changes[1].inPlace());
        const std::int64_t step = write(StepKind::FieldChange, changes);
        for (int round = 0; round < 2; ++round) {
            restart();
            QCOMPARE(history_->nextUndo(), step);
            const auto undone = history_->undo();
            QCOMPARE(undone.step, u"批量修改"_s);
            QCOMPARE(undone.turned, 2);
            for (const auto& [file, head] : heads)
                QCOMPARE(readFile(file), music(oldHead, oldTail));
            restart();
            QCOMPARE(history_->nextRedo(), step);
            QCOMPARE(history_->redo().turned, 2);
            for (const auto& [file, head] : heads)
                QCOMPARE(readFile(file), music(head));
        }
    }

    // A file changed by another program since the step is left as that
    // program left it; the other files are turned.
    void changedFileIsLeftAlone()
    {
        const QByteArray oldHead = tagOfSize("Old", 300);
        const QByteArray newHead = tagOfSize("New", 300);
        const std::string kept = path("kept.mp3");
        const std::string changed = path("\xC0\xCF\xB8\xE8.mp3"); // "老歌" in GBK
        std::vector<tags::TagChange> changes;
        for (const std::string& file : {kept, changed}) {
            QVERIFY(writeFile(file, music(oldHead)));
            changes.push_back(changeTo(file, newHead, {}));
        }
        write(StepKind::Save, changes);
        const QByteArray others = music(tagOfSize("Other program", 300));
        QVERIFY(writeFile(changed, others));
        restart();

        const auto undone = history_->undo();
        QCOMPARE(undone.turned, 1);
        QCOMPARE(undone.refused, 1);
        QCOMPARE(undone.lines.size(), 1u);
        QVERIFY2(undone.lines[0].contains(u"老歌.mp3"_s) && undone.lines[0].endsWith(u"未撤销"_s),
                 qPrintable(undone.lines[0]));
        QCOMPARE(readFile(kept), music(oldHead));
        QCOMPARE(readFile(changed), others);

        const auto redone = history_->redo();
        QCOMPARE(redone.turned, 1);
        QCOMPARE(redone.refused, 0);
        QCOMPARE(readFile(kept), music(newHead));
        QCOMPARE(readFile(changed), others);
    }

    void moves_data()
    {
        QTest::addColumn<int>("kind");
        // Each move as it was made, in order: from, to.
        QTest::addColumn<QStringList>("moves");
        QTest::addColumn<QString>("takenAfter"); // a name another file took since
        QTest::newRow("rename") << int(StepKind::Rename) << QStringList{u"a"_s, u"b"_s}
                                << QString();
        QTest::newRow("move into a folder")
            << int(StepKind::Move) << QStringList{u"a"_s, u"sub/a"_s} << QString();
        QTest::newRow("one name passed on")
            << int(StepKind::Rename) << QStringList{u"b"_s, u"c"_s, u"a"_s, u"b"_s} << QString();
        QTest::newRow("old name taken since")
            << int(StepKind::Rename) << QStringList{u"a"_s, u"b"_s} << u"a"_s;
    }
    void moves()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, moves);
        QFETCH(QString, takenAfter);
        QVERIFY(::mkdir(path("sub").c_str(), 0755) == 0);
        std::map<std::string, QByteArray> before; // name -> bytes
        std::vector<StepFile> files;
        for (qsizetype i = 0; i < moves.size(); i += 2) {
            const std::string from = moves[i].toStdString();
            if (!exists(path(from))) {
                before[from] = "bytes of " + QByteArray::fromStdString(from);
                QVERIFY(writeFile(path(from), before[from]));
            }
            files.push_back(moved(from, moves[i + 1].toStdString()));
            QVERIFY(platform::RenameNoReplace(files.back().from, files.back().to));
        }
        std::map<std::string, QByteArray> after;
        for (const StepFile& file : files)
            after[file.to] = readFile(file.to);
        journal_->record(StepKind(kind), files);
        const std::string taken = path(takenAfter.toStdString());
        if (!takenAfter.isEmpty())
            QVERIFY(writeFile(taken, "another file"));
        restart();

        const auto undone = history_->undo();
        if (!takenAfter.isEmpty()) {
            // Nothing is replaced: both files are as they were.
            QCOMPARE(undone.refused, 1);
            QCOMPARE(readFile(taken), "another file");
            for (const auto& [file, bytes] : after)
                QCOMPARE(readFile(file), bytes);
            return;
        }
        QCOMPARE(undone.refused, 0);
        QCOMPARE(undone.turned, int(files.size()));
        for (const auto& [name, bytes] : before)
            QCOMPARE(readFile(path(name)), bytes);
        restart();
        QCOMPARE(history_->redo().turned, int(files.size()));
        for (const auto& [file, bytes] : after)
            QCOMPARE(readFile(file), bytes);
    }

    // Every file an undo or redo tried, in the step's order (an undo turns
    // them newest first), where it is afterwards, and why one was left.
    void eachFileHasItsOutcome()
    {
        std::vector<StepFile> files;
        for (const auto& [from, to] : {std::pair{"a", "b"}, {"c", "d"}, {"e", "f"}}) {
            QVERIFY(writeFile(path(from), from));
            files.push_back(moved(from, to));
            QVERIFY(platform::RenameNoReplace(files.back().from, files.back().to));
        }
        journal_->record(StepKind::Rename, files);
        QVERIFY(writeFile(path("a"), "another file"));
        const auto at = [this](const char* name) {
            return QString::fromStdString(path(name));
        };

        const auto undone = history_->undo();
        QCOMPARE(undone.files.size(), 3u);
        QCOMPARE(undone.files[0].file, at("b"));
        QVERIFY(!undone.files[0].succeeded);
        QCOMPARE(undone.files[0].reason, u"原位置已有同名的项,未撤销"_s);
        QCOMPARE(undone.files[1].file, at("c"));
        QVERIFY(undone.files[1].succeeded);
        QCOMPARE(undone.files[2].file, at("e"));
        QVERIFY(undone.files[2].succeeded && undone.files[2].reason.isEmpty());

        const auto redone = history_->redo();
        QCOMPARE(redone.files.size(), 2u);
        QCOMPARE(redone.files[0].file, at("d"));
        QCOMPARE(redone.files[1].file, at("f"));
        QVERIFY(redone.files[0].succeeded && redone.files[1].succeeded);
    }

    // Steps recorded as each item's final move, as a batch renaming records
    // them: the items give their names up to one another.
    void batches_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArrayList>("moves"); // from, to, ...
        QTest::newRow("swap") << int(StepKind::Rename) << QByteArrayList{"a", "b", "b", "a"};
        QTest::newRow("chain") << int(StepKind::Rename) << QByteArrayList{"a", "b", "b", "c"};
        const QByteArray old = nativetest::gbk(u"老歌.mp3"_s);
        QTest::newRow("ring with a name not UTF-8")
            << int(StepKind::Rename) << QByteArrayList{"a", old, old, "c", "c", "a"};
        QTest::newRow("swap between folders")
            << int(StepKind::Move) << QByteArrayList{"a", "sub/a", "sub/a", "a"};
    }
    void batches()
    {
        QFETCH(int, kind);
        QFETCH(QByteArrayList, moves);
        QVERIFY(::mkdir(path("sub").c_str(), 0755) == 0);
        std::vector<StepFile> files;
        QByteArrayList sources{"state", "sub"};
        QByteArrayList targets = sources;
        for (qsizetype i = 0; i < moves.size(); i += 2) {
            files.push_back(moved(moves[i].toStdString(), moves[i + 1].toStdString()));
            QVERIFY(writeFile(files.back().to, "bytes of " + moves[i]));
            sources.append(moves[i].split('/').front());
            targets.append(moves[i + 1].split('/').front());
        }
        for (QByteArrayList* names : {&sources, &targets}) {
            std::sort(names->begin(), names->end());
            names->erase(std::unique(names->begin(), names->end()), names->end());
        }
        journal_->record(StepKind(kind), files);
        const QByteArray root = QByteArray::fromStdString(path({}));
        for (int round = 0; round < 2; ++round) {
            restart();
            const auto undone = history_->undo();
            QCOMPARE(undone.refused, 0);
            QCOMPARE(undone.turned, int(files.size()));
            for (qsizetype i = 0; i < moves.size(); i += 2)
                QCOMPARE(readFile(path(moves[i].toStdString())), "bytes of " + moves[i]);
            QCOMPARE(nativetest::namesIn(root), sources); // nothing left aside
            restart();
            QCOMPARE(history_->redo().turned, int(files.size()));
            for (qsizetype i = 0; i < moves.size(); i += 2)
                QCOMPARE(readFile(path(moves[i + 1].toStdString())), "bytes of " + moves[i]);
            QCOMPARE(nativetest::namesIn(root), targets);
        }
    }

    // An item of a ring that can take neither place stays under a temporary
    // name, which the step's record then holds: the next undo finds it there.
    // The move that breaks the ring is a folder's into itself, refused even
    // to root.
    void itemLeftAside()
    {
        QVERIFY(::mkdir(path("d").c_str(), 0755) == 0);
        QVERIFY(writeFile(path("d/r"), "came from p"));
        QVERIFY(writeFile(path("p"), "came from d"));
        const std::int64_t step = journal_->record(
            StepKind::Move, {moved("d/r", "d"), moved("p", "d/r"), moved("d", "p")});
        restart();

        const auto undone = history_->undo();
        QCOMPARE(undone.turned, 1);
        QCOMPARE(undone.refused, 2);
        const std::string aside = path("~1~p");
        QCOMPARE(readFile(aside), "came from d");
        QCOMPARE(readFile(path("p")), "came from p");
        QVERIFY(exists(path("d")));
        const auto line = std::find_if(undone.lines.begin(), undone.lines.end(),
                                       [](const QString& l) { return l.contains(u"~1~p"_s); });
        QVERIFY(line != undone.lines.end());
        const StepFile recorded = journal_->files(step)[2];
        QCOMPARE(recorded.from, path("d"));
        QCOMPARE(recorded.to, aside);
        QVERIFY(recorded.done);

        // The folder goes out of the way; the item follows its record home.
        QVERIFY(platform::RenameNoReplace(path("d"), path("elsewhere")));
        restart();
        history_->redo();
        history_->undo();
        QCOMPARE(readFile(path("d")), "came from d");
        QVERIFY(!exists(aside));
    }

    void trash()
    {
        const std::string file = path("x.mp3");
        QVERIFY(writeFile(file, "the music"));
        const auto toTrash = [](const std::string& item) {
            QString inTrash;
            const bool trashed = platform::MoveToTrash(QString::fromStdString(item), &inTrash);
            StepFile trashedFile;
            trashedFile.from = item;
            trashedFile.to = platform::NativePath(inTrash);
            trashedFile.trashInfo =
                platform::NativePath(QFileInfo(inTrash).absolutePath() + u"/../info/"_s +
                                     QFileInfo(inTrash).fileName() + u".trashinfo"_s);
            return trashed && exists(trashedFile.trashInfo) ? trashedFile : StepFile{};
        };
        const StepFile trashed = toTrash(file);
        QVERIFY(!trashed.to.empty());
        const std::int64_t step = journal_->record(StepKind::Trash, {trashed});

        QCOMPARE(history_->undo().turned, 1);
        QCOMPARE(readFile(file), "the music");
        QVERIFY(!exists(trashed.to));
        QVERIFY(!exists(trashed.trashInfo));

        // Another x.mp3 in the trash meanwhile: the redo gets another name.
        QVERIFY(::mkdir(path("other").c_str(), 0755) == 0);
        QVERIFY(writeFile(path("other/x.mp3"), "another"));
        QVERIFY(!toTrash(path("other/x.mp3")).to.empty());
        QCOMPARE(history_->redo().turned, 1);
        QVERIFY(!exists(file));
        const StepFile again = journal_->files(step)[0];
        QVERIFY2(again.to != trashed.to, (again.to + " " + trashed.to).c_str());
        QCOMPARE(readFile(again.to), "the music");
        QVERIFY(exists(again.trashInfo));

        restart();
        QCOMPARE(history_->undo().turned, 1);
        QCOMPARE(readFile(file), "the music");
        QCOMPARE(readFile(trashed.to), "another");
        QVERIFY(!exists(again.trashInfo));
    }

    void newFolder()
    {
        const std::string folder = path("made");
        QVERIFY(::mkdir(folder.c_str(), 0755) == 0);
        journal_->record(StepKind::NewFolder, {moved({}, "made")});
        QCOMPARE(history_->undo().turned, 1);
        QVERIFY(!exists(folder));
        restart();
        QCOMPARE(history_->redo().turned, 1);
        QVERIFY(exists(folder));

        QVERIFY(writeFile(folder + "/song.mp3", "music"));
        const auto refused = history_->undo();
        QCOMPARE(refused.refused, 1);
        QVERIFY2(refused.lines[0].contains(u"不是空的"_s), qPrintable(refused.lines[0]));
        QCOMPARE(readFile(folder + "/song.mp3"), "music");
    }

    // A new step ends the redo chain: redo takes back only the steps undone
    // since the last new one, the one undone last first; the others stay in
    // the history as undone.
    void newStepEndsTheRedoChain()
    {
        const QByteArray oldHead = tagOfSize("Old", 300);
        for (const char* name : {"a.mp3", "b.mp3"})
            QVERIFY(writeFile(path(name), music(oldHead)));
        const QByteArray headA = tagOfSize("A", 300);
        const QByteArray headB = tagOfSize("B", 300);
        const std::int64_t a = write(StepKind::FieldChange, {changeTo(path("a.mp3"), headA, {})});
        QCOMPARE(history_->undo().turned, 1);
        const std::int64_t b = write(StepKind::FieldChange, {changeTo(path("b.mp3"), headB, {})});
        QCOMPARE(history_->undo().turned, 1);
        restart();
        QCOMPARE(history_->nextRedo(), b);
        QCOMPARE(history_->redo().turned, 1);
        QCOMPARE(readFile(path("b.mp3")), music(headB));
        QCOMPARE(readFile(path("a.mp3")), music(oldHead));
        QCOMPARE(history_->nextRedo(), 0);
        QVERIFY(!history_->redo().any);
        QCOMPARE(readFile(path("a.mp3")), music(oldHead));
        const auto steps = journal_->steps();
        QCOMPARE(steps.back().id, a);
        QVERIFY(steps.back().undone);

        // Undone before and after a new step: the later undo comes back
        // first, then the new step; the ones it replaced never.
        std::vector<std::int64_t> made;
        for (const char* name : {"d1", "d2", "d3"}) {
            QVERIFY(::mkdir(path(name).c_str(), 0755) == 0);
            made.push_back(journal_->record(StepKind::NewFolder, {moved({}, name)}));
        }
        QCOMPARE(history_->undoTo(made[1]).turned, 2);
        QVERIFY(::mkdir(path("d4").c_str(), 0755) == 0);
        const std::int64_t d4 = journal_->record(StepKind::NewFolder, {moved({}, "d4")});
        QCOMPARE(history_->undo().turned, 1);
        QCOMPARE(history_->nextUndo(), made[0]);
        QCOMPARE(history_->undo().turned, 1);
        restart();
        QCOMPARE(history_->nextRedo(), made[0]);
        QCOMPARE(history_->redo().turned, 1);
        QCOMPARE(history_->nextRedo(), d4);
        QCOMPARE(history_->redo().turned, 1);
        QCOMPARE(history_->nextRedo(), 0);
        QVERIFY(!exists(path("d2")) && !exists(path("d3")));
    }

    // A batch killed while another copy of the program (the window) holds
    // the journal open: the next undo finishes the dead writer's step and
    // takes back every file it had written (those after the kill may be
    // written already: a slice is written while the one before is reported).
    void killedBatchIsUndoneWhileAnotherCopyRuns()
    {
        constexpr int Files = 6;
        constexpr int Killed = 3; // files written before the kill
        const QByteArray oldHead = tagOfSize("Old", 300);
        const QByteArray newHead = tagOfSize("New", 300);
        std::vector<tags::TagChange> changes;
        for (int i = 0; i < Files; ++i) {
            const std::string file = path(std::to_string(i) + ".mp3");
            QVERIFY(writeFile(file, music(oldHead)));
            changes.push_back(changeTo(file, newHead, {}));
        }
        const pid_t child = ::fork();
        if (child == 0) {
            Journal journal(path("state/journal.sqlite"));
            operations::TagWrites writes(&journal, StepKind::FieldChange);
            for (const tags::TagChange& change : changes)
                writes.add(change);
            writes.write([](std::size_t index, const operations::Outcome&) {
                if (index + 1 == Killed)
                    ::raise(SIGKILL);
            });
            ::_exit(0);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status));
        int written = 0;
        for (int i = 0; i < Files; ++i) {
            const QByteArray bytes = readFile(changes[i].path());
            QVERIFY(bytes == music(newHead) || (i >= Killed && bytes == music(oldHead)));
            written += bytes == music(newHead) ? 1 : 0;
        }

        const auto undone = history_->undo();
        QVERIFY2(undone.lines.empty(),
                 qPrintable(undone.lines.empty() ? QString() : undone.lines[0]));
        QCOMPARE(undone.turned, written);
        QCOMPARE(undone.refused, 0);
        for (const tags::TagChange& change : changes)
            QCOMPARE(readFile(change.path()), music(oldHead));
    }

    // Another program changes a file of the batch after its change was made
    // and before its write: that file is refused, and neither the batch nor
    // its undo writes over that program's bytes (here a frame of 10 KB added).
    void fileChangedDuringTheBatchIsLeftAlone()
    {
        const QByteArray oldHead = tagOfSize("Old", 300);
        const QByteArray newHead = tagOfSize("New", 300);
        const QByteArray others = music(tagOfSize("Other program", 300 + 10240));
        std::vector<tags::TagChange> changes;
        for (const char* name : {"0.mp3", "1.mp3"}) {
            QVERIFY(writeFile(path(name), music(oldHead)));
            changes.push_back(changeTo(path(name), newHead, {}));
        }
        operations::TagWrites writes(journal_.get(), StepKind::FieldChange);
        for (const tags::TagChange& change : changes)
            writes.add(change);
        QVERIFY(writeFromAnotherProcess(changes[1].path(), others));
        std::vector<operations::Outcome> outcomes;
        writes.write(
            [&](std::size_t, const operations::Outcome& outcome) { outcomes.push_back(outcome); });
        QVERIFY(outcomes[0].succeeded);
        QVERIFY(!outcomes[1].succeeded);
        QCOMPARE(outcomes[1].message, u"文件已被其他程序修改"_s);
        QCOMPARE(readFile(changes[1].path()), others);
        QCOMPARE(journal_->steps().front().files, 1);
        restart();
        QCOMPARE(readFile(changes[1].path()), others);
        QCOMPARE(history_->undo().turned, 1);
        QCOMPARE(readFile(changes[0].path()), music(oldHead));
        QCOMPARE(readFile(changes[1].path()), others);
    }

    // New frames that fill the old tag's room to the byte: written in place,
    // the head exactly as long as before and whole, the audio and the
    // trailer where they were; undone byte for byte.
    void headFillingItsRoomExactly()
    {
        const QByteArray oldFrames = testsupport::frame23("TIT2", testsupport::textData(0, "Old"));
        const QByteArray tail = testsupport::id3v1Trailer("Old");
        const auto render = [&](const std::string& file) -> std::optional<tags::TagChange> {
            TID3v2 v2;
            if (!v2.ReadFromFile(file))
                return std::nullopt;
            // Every field filled: no frame of the new tag ends in a zero
            // byte, so its last byte tells a whole head from a short one.
            v2.Title = tags::legacyText("A new and longer title");
            v2.Artist = tags::legacyText("Artist");
            v2.Album = tags::legacyText("Album");
            v2.Year = tags::legacyText("1979");
            v2.Genre = tags::legacyText("Pop");
            v2.Comment = tags::legacyText("Comment");
            return operations::tagChange(file, nullptr, &v2);
        };
        // The frames the new title takes, measured in a roomy tag.
        QVERIFY(
            writeFile(path("roomy.mp3"), music(testsupport::id3v2Tag(3, oldFrames, 1000), tail)));
        const auto roomy = render(path("roomy.mp3"));
        QVERIFY(roomy);
        const std::string& head = roomy->after().head;
        std::size_t end = 10;
        while (end + 10 <= head.size() && head[end] != '\0')
            end +=
                10 +
                std::size_t(
                    QByteArray::fromStdString(head.substr(end + 4, 4)).toHex().toUInt(nullptr, 16));
        const QByteArray frames = QByteArray::fromStdString(head.substr(10, end - 10));
        QVERIFY(frames.size() > oldFrames.size());
        QVERIFY(!frames.endsWith('\0'));

        const QByteArray oldHead =
            testsupport::id3v2Tag(3, oldFrames, int(frames.size() - oldFrames.size()));
        const QByteArray before = music(oldHead, tail);
        QVERIFY(writeFile(path("exact.mp3"), before));
        const auto exact = render(path("exact.mp3"));
        QVERIFY(exact);
        QVERIFY(exact->inPlace());
        const QByteArray newHead = testsupport::id3v2Tag(3, frames);
        QCOMPARE(newHead.size(), oldHead.size());
        QCOMPARE(QByteArray::fromStdString(exact->after().head), newHead);
        write(StepKind::Save, {*exact});
        QCOMPARE(readFile(path("exact.mp3")), music(newHead, tail));
        TID3v2 reread;
        QVERIFY(reread.ReadFromFile(path("exact.mp3")));
        QCOMPARE(reread.Title, tags::legacyText("A new and longer title"));
        QCOMPARE(history_->undo().turned, 1);
        QCOMPARE(readFile(path("exact.mp3")), before);
    }

    void undoTo()
    {
        std::vector<std::int64_t> steps;
        for (const char* name : {"d1", "d2", "d3"}) {
            QVERIFY(::mkdir(path(name).c_str(), 0755) == 0);
            steps.push_back(journal_->record(StepKind::NewFolder, {moved({}, name)}));
        }
        const auto outcome = history_->undoTo(steps[1]);
        QCOMPARE(outcome.turned, 2);
        QVERIFY(exists(path("d1")));
        QVERIFY(!exists(path("d2")));
        QVERIFY(!exists(path("d3")));
        restart();
        QCOMPARE(history_->nextUndo(), steps[0]);
        QCOMPARE(history_->nextRedo(), steps[1]);
        QCOMPARE(history_->redo().turned, 1);
        QVERIFY(exists(path("d2")));
        QCOMPARE(history_->nextRedo(), steps[2]);
        QCOMPARE(history_->nextUndo(), steps[1]);
    }
};

MP3T_TEST_GUILESS_MAIN(HistoryTest)
#include "HistoryTest.moc"
