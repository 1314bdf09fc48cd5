// The journal of changes: where it lives, what survives a restart, the bounds
// of the history, damaged databases, and the recovery of interrupted writes.

#include "operations/Journal.h"
#include "operations/History.h"
#include "tests/operations/JournalFiles.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace journalfiles;
using operations::FileWrite;
using operations::Journal;
using operations::StepFile;
using operations::StepKind;

namespace {

const QByteArray OldHead = tagOfSize("Old title", 300);
const QByteArray NewHead = tagOfSize("New title, longer", 300);
const QByteArray OldTail = testsupport::id3v1Trailer("Old");
const QByteArray NewTail = testsupport::id3v1Trailer("New");

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((v >> (8 * i)) & 0xFF);
    return b;
}

// An APEv2 tag of one item, header and footer, as ReplayGain tools write it.
QByteArray apeTag()
{
    const QByteArray items = le32(8) + le32(0) + "REPLAYGAIN_TRACK_GAIN" + '\0' + "-6.20 dB";
    const quint32 size = quint32(items.size() + 32);
    const auto field = [&](quint32 flags) {
        return "APETAGEX" + le32(2000) + le32(size) + le32(1) + le32(flags) + QByteArray(8, '\0');
    };
    return field(0xA0000000u) + items + field(0x80000000u);
}

const QByteArray WithApe = journalfiles::music(OldHead, apeTag() + OldTail);
const QByteArray WithoutApe = journalfiles::music(OldHead, OldTail);

// How far a write of one file got when the program died.
enum class Reached { Nothing, Half, Whole };

void reach(const tags::TagChange& change, Reached reached)
{
    if (reached == Reached::Half)
        QVERIFY(writeAt(change.path(), NewHead.left(NewHead.size() / 2), 0));
    if (reached == Reached::Whole)
        QVERIFY(tags::writeInPlace(change).written());
}

StepFile renamed(const std::string& from, const std::string& to)
{
    StepFile file;
    file.from = from;
    file.to = to;
    return file;
}

void setEnv(const char* name, const QByteArray& value, bool set)
{
    if (set)
        qputenv(name, value);
    else
        qunsetenv(name);
}

// The journal as the previous versions wrote it: each image whole in its
// file's row, a head without its trailing padding (its size apart).
// Version 1 had no redo_ended.
class OldJournal {
public:
    OldJournal(const std::string& file, int version)
    {
        const std::string folder = file.substr(0, file.find_last_of('/'));
        ::mkdir(folder.c_str(), 0700);
        if (sqlite3_open(file.c_str(), &db_) != SQLITE_OK)
            throw std::runtime_error("cannot make " + file);
        const std::string schema =
            std::string("PRAGMA auto_vacuum=INCREMENTAL; PRAGMA journal_mode=WAL;"
                        "CREATE TABLE steps(id INTEGER PRIMARY KEY AUTOINCREMENT, "
                        "time INTEGER NOT NULL, kind INTEGER NOT NULL, state INTEGER NOT NULL, "
                        "undone INTEGER NOT NULL DEFAULT 0") +
            (version >= 2 ? ", redo_ended INTEGER NOT NULL DEFAULT 0);" : ");") +
            "CREATE TABLE files(step INTEGER NOT NULL REFERENCES steps(id), "
            "idx INTEGER NOT NULL, tagged INTEGER NOT NULL, done INTEGER NOT NULL, "
            "pending INTEGER NOT NULL, bytes INTEGER NOT NULL, before_size INTEGER NOT NULL, "
            "after_size INTEGER NOT NULL, before_head_size INTEGER NOT NULL, "
            "after_head_size INTEGER NOT NULL, path BLOB NOT NULL, source BLOB NOT NULL, "
            "target BLOB NOT NULL, trash_info BLOB NOT NULL, before_head BLOB NOT NULL, "
            "before_tail BLOB NOT NULL, after_head BLOB NOT NULL, after_tail BLOB NOT NULL, "
            "PRIMARY KEY(step, idx));"
            "CREATE INDEX files_summary ON files(step, done, bytes);"
            "PRAGMA application_id=1295209546; PRAGMA user_version=" +
            std::to_string(version) + ";";
        run(schema);
    }
    ~OldJournal() { sqlite3_close(db_); }
    OldJournal(const OldJournal&) = delete;
    OldJournal& operator=(const OldJournal&) = delete;

    // state: 0 settled, 1 writing, 2 turning back, 3 turning forward.
    void addStep(std::int64_t id, StepKind kind, int state, bool undone = false)
    {
        run("INSERT INTO steps(id, time, kind, state, undone) VALUES(" + std::to_string(id) +
            ", 0, " + std::to_string(int(kind)) + ", " + std::to_string(state) + ", " +
            (undone ? "1" : "0") + ")");
    }
    void addFile(std::int64_t step, int index, const StepFile& file, bool pending = false)
    {
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db_,
                           "INSERT INTO files(step, idx, path, tagged, before_head, before_tail, "
                           "before_size, after_head, after_tail, after_size, source, target, "
                           "trash_info, done, bytes, pending, before_head_size, after_head_size) "
                           "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, "
                           "?15, ?16, ?17, ?18)",
                           -1, &insert, nullptr);
        const tags::TagImage& before = file.tags.before();
        const tags::TagImage& after = file.tags.after();
        const auto blob = [&](int at, const std::string& bytes) {
            sqlite3_bind_blob64(insert, at, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
        };
        const auto unpadded = [](const std::string& head) {
            return head.substr(0, head.find_last_not_of('\0') + 1);
        };
        sqlite3_bind_int64(insert, 1, step);
        sqlite3_bind_int64(insert, 2, index);
        blob(3, file.tags.path());
        sqlite3_bind_int(insert, 4, file.tags.path().empty() ? 0 : 1);
        blob(5, unpadded(before.head));
        blob(6, before.tail);
        sqlite3_bind_int64(insert, 7, std::int64_t(before.size));
        blob(8, unpadded(after.head));
        blob(9, after.tail);
        sqlite3_bind_int64(insert, 10, std::int64_t(after.size));
        blob(11, file.from);
        blob(12, file.to);
        blob(13, file.trashInfo);
        sqlite3_bind_int(insert, 14, file.done ? 1 : 0);
        sqlite3_bind_int64(insert, 15,
                           std::int64_t(before.head.size() + before.tail.size() +
                                        after.head.size() + after.tail.size()));
        sqlite3_bind_int(insert, 16, pending ? 1 : 0);
        sqlite3_bind_int64(insert, 17, std::int64_t(before.head.size()));
        sqlite3_bind_int64(insert, 18, std::int64_t(after.head.size()));
        const int rc = sqlite3_step(insert);
        sqlite3_finalize(insert);
        if (rc != SQLITE_DONE)
            throw std::runtime_error(sqlite3_errmsg(db_));
    }

private:
    void run(const std::string& sql)
    {
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db_));
    }
    sqlite3* db_ = nullptr;
};

} // namespace

Q_DECLARE_METATYPE(Reached)

class JournalTest : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::TemporaryFolder> dir_;

    std::string path(const char* name) const { return dir_->path().toStdString() + "/" + name; }
    std::string journalFile() const { return path("state/journal.sqlite"); }
    // A file with the old tags, and the change that gives it the new ones.
    tags::TagChange musicFile(const char* name) const
    {
        const std::string file = path(name);
        if (!writeFile(file, music(OldHead, OldTail)))
            throw std::runtime_error("cannot write " + file);
        return changeTo(file, NewHead, NewTail);
    }

private Q_SLOTS:
    void init() { dir_ = std::make_unique<testsupport::TemporaryFolder>(); }

    void defaultFile_data()
    {
        QTest::addColumn<bool>("set");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("expected"); // below $HOME unless absolute
        QTest::newRow("unset") << false << QByteArray() << u"/.local/state/mp3tagloom"_s;
        QTest::newRow("empty") << true << QByteArray() << u"/.local/state/mp3tagloom"_s;
        QTest::newRow("relative") << true << QByteArray("state") << u"/.local/state/mp3tagloom"_s;
        QTest::newRow("absolute") << true << QByteArray("/var/x/") << u"/var/x/mp3tagloom"_s;
    }
    void defaultFile()
    {
        QFETCH(bool, set);
        QFETCH(QByteArray, value);
        QFETCH(QString, expected);
        const QByteArray saved = qgetenv("XDG_STATE_HOME");
        setEnv("XDG_STATE_HOME", value, set);
        const QString file = QString::fromStdString(Journal::defaultFile());
        setEnv("XDG_STATE_HOME", saved, true);
        const QString home =
            expected.startsWith(u"/var"_s) ? QString() : qEnvironmentVariable("HOME");
        QCOMPARE(file, home + expected + u"/journal.sqlite"_s);
    }

    void foldersAreTheUsersAlone()
    {
        const Journal journal(path("a/b/journal.sqlite"));
        for (const char* folder : {"a", "a/b"}) {
            struct ::stat st {};
            QCOMPARE(::stat(path(folder).c_str(), &st), 0);
            QCOMPARE(st.st_mode & 0777, 0700u);
        }
    }

    void stepsSurviveRestart()
    {
        // A name that is not UTF-8 (GBK) is stored as its bytes.
        const tags::TagChange change = musicFile("\xC0\xCF.mp3");
        std::int64_t saved = 0;
        {
            Journal journal(journalFile());
            saved = journal.beginWrites(StepKind::Save, {change});
            QVERIFY(tags::writeInPlace(change).written());
            journal.endWrites(saved, {FileWrite::Written});
            StepFile trashed = renamed(path("x.mp3"), path("Trash/files/x.mp3"));
            trashed.trashInfo = path("Trash/info/x.mp3.trashinfo");
            trashed.done = false;
            journal.record(StepKind::Trash, {renamed(path("\xC0\xCF"), path("new")), trashed});
        }
        const Journal journal(journalFile());
        QVERIFY(journal.recovered().empty());
        const auto steps = journal.steps();
        QCOMPARE(steps.size(), 2u);
        QCOMPARE(steps[0].kind, StepKind::Trash);
        QCOMPARE(steps[0].files, 2);
        QCOMPARE(steps[0].done, 1);
        QCOMPARE(steps[1].id, saved);
        QCOMPARE(steps[1].kind, StepKind::Save);
        QVERIFY(!steps[1].undone);

        const auto tagFiles = journal.files(saved);
        QCOMPARE(tagFiles.size(), 1u);
        QCOMPARE(tagFiles[0].tags.path(), change.path());
        QVERIFY(tagFiles[0].tags.before() == change.before());
        QVERIFY(tagFiles[0].tags.after() == change.after());
        QVERIFY(tagFiles[0].done);
        const auto moved = journal.files(steps[0].id);
        QCOMPARE(moved.size(), 2u);
        QCOMPARE(moved[0].from, path("\xC0\xCF"));
        QCOMPARE(moved[0].to, path("new"));
        QVERIFY(moved[0].tags.path().empty());
        QCOMPARE(moved[1].trashInfo, path("Trash/info/x.mp3.trashinfo"));
        QVERIFY(!moved[1].done);
    }

    // The step keeps the files written, numbered as files() gives them, and
    // goes when none was.
    void stepKeepsWrittenFiles()
    {
        Journal journal(journalFile());
        const std::vector<tags::TagChange> changes{musicFile("0.mp3"), musicFile("1.mp3"),
                                                   musicFile("2.mp3")};
        const std::int64_t step = journal.beginWrites(StepKind::FieldChange, changes);
        reach(changes[0], Reached::Whole);
        reach(changes[2], Reached::Whole);
        journal.endWrites(step, {FileWrite::Written, FileWrite::NotStarted, FileWrite::Written});
        auto files = journal.files(step);
        QCOMPARE(files.size(), 2u);
        QCOMPARE(files[1].tags.path(), changes[2].path());
        // Index 1 is the third file now.
        files[1].from = "marked";
        journal.setFile(step, 1, files[1]);
        journal.endTurn(step, false, {true, false});
        files = journal.files(step);
        QCOMPARE(files[1].from, "marked");
        QVERIFY(files[0].done);
        QVERIFY(!files[1].done);

        const std::int64_t none = journal.beginWrites(StepKind::FieldChange, {musicFile("3.mp3")});
        journal.endWrites(none, {FileWrite::NotStarted});
        QCOMPARE(journal.steps().front().id, step);

        // A run stopped early: the rows past its last write were not started.
        const std::vector<tags::TagChange> cut{musicFile("4.mp3"), musicFile("5.mp3"),
                                               musicFile("6.mp3")};
        const std::int64_t stopped = journal.beginWrites(StepKind::FieldChange, cut);
        reach(cut[0], Reached::Whole);
        journal.endWrites(stopped, {FileWrite::Written});
        QCOMPARE(journal.files(stopped).size(), 1u);
        journal.flushWrites();
        files = journal.files(stopped);
        QCOMPARE(files.size(), 1u);
        QCOMPARE(files[0].tags.path(), cut[0].path());
        QVERIFY(files[0].done);
        QCOMPARE(readFile(cut[1].path()), music(OldHead, OldTail));
    }

    void historyBounds()
    {
        std::vector<std::int64_t> ids;
        {
            Journal journal(journalFile());
            for (int i = 0; i < Journal::MaxSteps + 3; ++i)
                ids.push_back(journal.record(StepKind::NewFolder, {renamed({}, "folder")}));
            QCOMPARE(journal.record(StepKind::Move, {}), 0);
        }
        const Journal journal(journalFile());
        const auto steps = journal.steps();
        QCOMPARE(int(steps.size()), Journal::MaxSteps);
        QCOMPARE(steps.front().id, ids.back());
        QCOMPARE(steps.back().id, ids[3]);
    }

    // Tag steps are bounded in a running program too: the flush after a
    // batch trims the history, without waiting for the next start.
    void tagStepsAreTrimmedWhenFlushed()
    {
        Journal journal(journalFile());
        const tags::TagChange change = musicFile("t.mp3");
        for (int i = 0; i < Journal::MaxSteps + 2; ++i) {
            const tags::TagChange turn = i % 2 == 0 ? change : change.reversed();
            const std::int64_t step = journal.beginWrites(StepKind::Save, {turn});
            QVERIFY(tags::writeInPlace(turn).written());
            journal.endWrites(step, {FileWrite::Written});
            journal.flushWrites();
        }
        QCOMPARE(int(journal.steps().size()), Journal::MaxSteps);
    }

    void damagedFile_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("not a database") << u"text"_s;
        QTest::newRow("another program's database") << u"foreign"_s;
        QTest::newRow("a newer journal") << u"newer"_s;
        QTest::newRow("pages overwritten") << u"pages"_s;
    }
    void damagedFile()
    {
        QFETCH(QString, damage);
        const std::string file = journalFile();
        if (damage == u"text"_s) {
            QVERIFY(::mkdir(path("state").c_str(), 0700) == 0);
            QVERIFY(writeFile(file, QByteArray(8192, 'x')));
        } else if (damage == u"pages"_s) {
            {
                // Images large enough to spill into pages of their own.
                Journal journal(file);
                tags::TagChange big("x", {std::string(100000, 'a'), {}, 100100, {}});
                big.setHead(std::string(100000, 'b'));
                StepFile bigFile;
                bigFile.tags = big;
                journal.record(StepKind::Save, {bigFile});
            }
            const QByteArray whole = readFile(file);
            QVERIFY(writeAt(file, QByteArray(8192, 'U'), off_t(whole.size() - 8192)));
        } else {
            QVERIFY(::mkdir(path("state").c_str(), 0700) == 0);
            sqlite3* db = nullptr;
            QCOMPARE(sqlite3_open(file.c_str(), &db), SQLITE_OK);
            const char* sql = damage == u"foreign"_s ? "CREATE TABLE songs(title TEXT)"
                                                     : "PRAGMA application_id=1295209546;"
                                                       "PRAGMA user_version=99;"
                                                       "CREATE TABLE later(x)";
            QCOMPARE(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(db);
        }
        const QByteArray before = readFile(file);
        try {
            const Journal journal(file);
            QFAIL("a damaged journal was opened");
        } catch (const operations::JournalError& e) {
            QVERIFY2(std::string(e.what()).find(file) != std::string::npos, e.what());
            // One line; what SQLite's check lists goes to the log.
            QVERIFY2(std::string(e.what()).find('\n') == std::string::npos, e.what());
        }
        QCOMPARE(readFile(file), before);
    }

    // A journal cut to nothing is not taken silently for a new one: it is
    // kept aside under a name of its own, said, and a new one made.
    void emptyJournalIsSetAside()
    {
        {
            Journal journal(journalFile());
            journal.record(StepKind::NewFolder, {renamed({}, path("folder"))});
        }
        QVERIFY(::truncate(journalFile().c_str(), 0) == 0);
        Journal journal(journalFile());
        QCOMPARE(journal.notices().size(), 1u);
        const QString notice = QString::fromStdString(journal.notices()[0]);
        QVERIFY2(notice.contains(u"0 字节"_s) && notice.contains(u"journal.sqlite.damaged-"_s),
                 qPrintable(notice));
        const QStringList aside = QDir(QString::fromStdString(path("state")))
                                      .entryList({u"journal.sqlite.damaged-*"_s}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        QVERIFY(notice.contains(aside[0]));
        QVERIFY(journal.steps().empty());
        QVERIFY(journal.record(StepKind::NewFolder, {renamed({}, path("folder"))}) != 0);
        QVERIFY(Journal(journalFile()).notices().empty());
    }

    // A journal on a full disk says so: "磁盘已满", not SQLite's "disk I/O
    // error". (A limit on the size of files the process writes stands in for
    // a full disk: the journal cannot grow.)
    void fullDiskIsSaid()
    {
        const tags::TagChange change = musicFile("1.mp3");
        tags::TagChange big = change;
        big.setHead(std::string(4 << 20, 'x'));
        {
            const Journal made(journalFile());
        }
        int pipe[2] = {-1, -1};
        QVERIFY(::pipe(pipe) == 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{1 << 20, 1 << 20};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            std::string said = "no error";
            try {
                Journal journal(journalFile());
                journal.beginWrites(StepKind::Save, {big});
            } catch (const operations::JournalError& e) {
                said = e.what();
            }
            const bool sent = ::write(pipe[1], said.data(), said.size()) == ssize_t(said.size());
            ::_exit(sent ? 0 : 1);
        }
        ::close(pipe[1]);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        char buffer[1024] = {};
        const ssize_t got = ::read(pipe[0], buffer, sizeof buffer - 1);
        ::close(pipe[0]);
        QVERIFY(got > 0);
        const QString said = QString::fromUtf8(buffer, got);
        QVERIFY2(said.endsWith(u": 磁盘已满"_s), qPrintable(said));
    }

    // A journal of the first version is brought up to date in place: every
    // step kept, and an undone step that a newer one in force replaced is no
    // longer redone.
    void firstVersionIsMigrated()
    {
        std::vector<std::int64_t> made{1, 2, 3, 4};
        {
            OldJournal old(journalFile(), 1);
            // Undone: the first (a newer step is in force) and the last.
            for (const std::int64_t step : made) {
                const std::string folder = path("f") + std::to_string(step);
                QVERIFY(::mkdir(folder.c_str(), 0700) == 0);
                old.addStep(step, StepKind::NewFolder, 0, step == 1 || step == 4);
                old.addFile(step, 0, renamed({}, folder));
            }
        }

        Journal journal(journalFile());
        const auto steps = journal.steps();
        QCOMPARE(steps.size(), 4u);
        QVERIFY(steps[0].undone && !steps[0].redoEnded);
        QVERIFY(steps[3].undone && steps[3].redoEnded);
        QVERIFY(!steps[1].undone && !steps[2].undone);
        operations::History history(journal);
        QCOMPARE(history.nextRedo(), made[3]);
        QCOMPARE(history.undo().turned, 1);
        QCOMPARE(history.undo().turned, 1);
        QCOMPARE(history.nextRedo(), made[1]);
    }

    // A journal of the previous version, which kept whole images, is brought
    // up to date: its settled step is undone and redone byte for byte, and
    // its open step, whose writer died mid-write, is recovered.
    void secondVersionIsUpgraded()
    {
        const tags::TagChange settled = musicFile("settled.mp3");
        const tags::TagChange open = musicFile("open.mp3");
        reach(settled, Reached::Whole);
        reach(open, Reached::Half);
        {
            OldJournal old(journalFile(), 2);
            old.addStep(1, StepKind::Save, 0);
            old.addFile(1, 0, {settled, {}, {}, {}, true});
            old.addStep(2, StepKind::FieldChange, 1);
            old.addFile(2, 0, {open, {}, {}, {}, false}, true);
        }
        Journal journal(journalFile());
        QCOMPARE(journal.recovered(), std::vector<std::string>{open.path()});
        QCOMPARE(readFile(open.path()), music(OldHead, OldTail));
        const auto steps = journal.steps();
        QCOMPARE(steps.size(), 1u);
        QCOMPARE(steps[0].id, 1);
        const auto files = journal.files(1);
        QCOMPARE(files.size(), 1u);
        QVERIFY(files[0].tags.before() == settled.before());
        QVERIFY(files[0].tags.after() == settled.after());
        operations::History history(journal);
        QCOMPARE(history.undo().turned, 1);
        QCOMPARE(readFile(settled.path()), music(OldHead, OldTail));
        QCOMPARE(history.redo().turned, 1);
        QCOMPARE(readFile(settled.path()), music(NewHead, NewTail));
    }

    // Two files of one batch, each as far as the write got; after the restart
    // each holds its old bytes or its new ones, whole.
    void recovery_data()
    {
        QTest::addColumn<Reached>("first");
        QTest::addColumn<Reached>("second");
        QTest::newRow("torn, written") << Reached::Half << Reached::Whole;
        QTest::newRow("written, not reached") << Reached::Whole << Reached::Nothing;
        QTest::newRow("torn, not reached") << Reached::Half << Reached::Nothing;
        QTest::newRow("both written") << Reached::Whole << Reached::Whole;
    }
    void recovery()
    {
        QFETCH(Reached, first);
        QFETCH(Reached, second);
        const std::vector<tags::TagChange> changes{musicFile("1.mp3"), musicFile("2.mp3")};
        {
            Journal journal(journalFile());
            journal.beginWrites(StepKind::FieldChange, changes);
            reach(changes[0], first);
            reach(changes[1], second);
        } // the program dies: no endWrites
        const Journal journal(journalFile());
        // The files found torn, each now whole; a file written whole is not
        // reported.
        std::vector<std::string> torn;
        for (const auto& [change, got] : {std::pair(changes[0], first), {changes[1], second}}) {
            if (got == Reached::Half)
                torn.push_back(change.path());
        }
        QCOMPARE(journal.recovered(), torn);
        int written = 0;
        for (const auto& [change, reached] : {std::pair(changes[0], first), {changes[1], second}}) {
            const bool whole = reached == Reached::Whole;
            QCOMPARE(readFile(change.path()),
                     music(whole ? NewHead : OldHead, whole ? NewTail : OldTail));
            written += whole ? 1 : 0;
        }
        const auto steps = journal.steps();
        QCOMPARE(int(steps.size()), written > 0 ? 1 : 0);
        if (written > 0) {
            QCOMPARE(steps[0].files, written);
            QCOMPARE(steps[0].done, written);
        }
    }

    // A file another program changed before the batch began is not the
    // batch's: a crash leaves that program's bytes.
    void recoveryLeavesOthersBytes()
    {
        const tags::TagChange change = musicFile("1.mp3");
        const QByteArray others = music(tagOfSize("Another program", 300), OldTail);
        QVERIFY(writeFile(change.path(), others));
        {
            Journal journal(journalFile());
            journal.beginWrites(StepKind::Save, {change});
        }
        const Journal journal(journalFile());
        QCOMPARE(readFile(change.path()), others);
        QVERIFY(journal.steps().empty());
    }

    // Another program changes the file after the step began. Recovery after a
    // crash puts back only what a torn write in place can leave (each byte of
    // the regions old or new, the size one of the two): another size, or
    // other bytes, are that program's and stay, reported.
    void recoveryLeavesLaterChanges_data()
    {
        QTest::addColumn<QByteArray>("others");
        QTest::newRow("a 10 KB frame added")
            << music(tagOfSize("Another program", 300 + 10240), OldTail);
        QTest::newRow("another tag in the same room")
            << music(tagOfSize("Another program", 300), OldTail);
        QTest::newRow("another trailer") << music(OldHead, testsupport::id3v1Trailer("Other"));
    }
    void recoveryLeavesLaterChanges()
    {
        QFETCH(QByteArray, others);
        const tags::TagChange change = musicFile("1.mp3");
        {
            Journal journal(journalFile());
            journal.beginWrites(StepKind::Save, {change});
            QVERIFY(writeFromAnotherProcess(change.path(), others));
        } // the program dies: no endWrites
        const Journal journal(journalFile());
        QCOMPARE(readFile(change.path()), others);
        QVERIFY(journal.recovered().empty());
        QCOMPARE(journal.leftAlone(), std::vector<std::string>{change.path()});
    }

    // A file whose write was refused (another program changed it after the
    // step began) is never written when the step ends, whatever it holds;
    // only a write that began and failed is put back.
    void onlyStartedWritesArePutBack()
    {
        const std::vector<tags::TagChange> changes{musicFile("1.mp3"), musicFile("2.mp3")};
        // Half the new head: the one a torn write leaves, or another
        // program's own edit; only the writer knows which.
        const QByteArray half = NewHead.left(NewHead.size() / 2);
        Journal journal(journalFile());
        const std::int64_t step = journal.beginWrites(StepKind::FieldChange, changes);
        QVERIFY(writeAt(changes[0].path(), half, 0));
        const QByteArray others = readFile(changes[0].path());
        QVERIFY(writeAt(changes[1].path(), half, 0));
        journal.endWrites(step, {FileWrite::NotStarted, FileWrite::Torn});
        QCOMPARE(readFile(changes[0].path()), others);
        QCOMPARE(readFile(changes[1].path()), music(OldHead, OldTail));
        QVERIFY(journal.steps().empty());
    }

    // The same for an undo: a file refused by the turn stays as it is.
    void refusedTurnIsNotPutBack()
    {
        const tags::TagChange change = musicFile("1.mp3");
        Journal journal(journalFile());
        const std::int64_t step = journal.beginWrites(StepKind::Save, {change});
        reach(change, Reached::Whole);
        journal.endWrites(step, {FileWrite::Written});
        journal.beginTurn(step, false);
        QVERIFY(writeAt(change.path(), OldHead.left(OldHead.size() / 2), 0));
        const QByteArray others = readFile(change.path());
        journal.endTurn(step, false, {true}, {FileWrite::NotStarted});
        QCOMPARE(readFile(change.path()), others);
    }

    // A file moved away between its write and the flush still has its bytes
    // made durable where it went, and the step settles.
    void fileMovedBeforeTheFlush()
    {
        const tags::TagChange change = musicFile("1.mp3");
        Journal journal(journalFile());
        const std::int64_t step = journal.beginWrites(StepKind::Save, {change});
        reach(change, Reached::Whole);
        journal.endWrites(step, {FileWrite::Written});
        QVERIFY(::rename(change.path().c_str(), path("moved.mp3").c_str()) == 0);
        journal.flushWrites();
        QVERIFY(!journal.steps().front().open);
    }

    // A step a running program writes cannot be undone from another one:
    // said, and nothing turned.
    void runningStepIsNotUndone()
    {
        const tags::TagChange change = musicFile("1.mp3");
        Journal running(journalFile());
        const std::int64_t step = running.beginWrites(StepKind::Save, {change});
        reach(change, Reached::Whole);
        Journal other(journalFile());
        QVERIFY(other.steps().front().open);
        operations::History history(other);
        QCOMPARE(history.nextUndo(), step);
        const auto outcome = history.undo();
        QCOMPARE(outcome.turned, 0);
        QCOMPARE(outcome.lines.size(), 1u);
        QVERIFY2(outcome.lines[0].contains(u"另一个程序"_s), qPrintable(outcome.lines[0]));
        QCOMPARE(readFile(change.path()), music(NewHead, NewTail));
        running.endWrites(step, {FileWrite::Written});
        running.flushWrites();
        QCOMPARE(history.undo().turned, 1);
        QCOMPARE(readFile(change.path()), music(OldHead, OldTail));
    }

    // The APEv2 tag cut off is a step like any other: undone byte for byte
    // and redone after a restart, the old bytes loaded from the journal; a
    // file changed since is left alone.
    void apeRemovalIsUndone()
    {
        const std::string file = path("1.mp3");
        QVERIFY(writeFile(file, WithApe));
        auto change = tags::beginChange(file, true);
        QVERIFY(change);
        QCOMPARE(QByteArray::fromStdString(change->before().ape), apeTag());
        change->setApe({});
        QVERIFY(!change->inPlace());
        {
            Journal journal(journalFile());
            const std::int64_t step = journal.beginWrites(StepKind::Save, {*change});
            QVERIFY(tags::writeStaged(*change).written());
            journal.endWrites(step, {FileWrite::Written});
        }
        QCOMPARE(readFile(file), WithoutApe);
        Journal journal(journalFile());
        operations::History history(journal);
        QCOMPARE(history.undo().turned, 1);
        QCOMPARE(readFile(file), WithApe);
        QCOMPARE(history.redo().turned, 1);
        QCOMPARE(readFile(file), WithoutApe);

        // Another tag in the same room: not what the step left.
        const QByteArray others = music(tagOfSize("Another program", 300), OldTail);
        QVERIFY(writeFile(file, others));
        const auto refused = history.undo();
        QCOMPARE(refused.refused, 1);
        QCOMPARE(readFile(file), others);
    }

    // The program dies around the copy that cuts the tag off: the file is
    // whole either way, and the step holds exactly what it found.
    void apeRemovalRecovered_data()
    {
        QTest::addColumn<bool>("written");
        QTest::newRow("before the copy") << false;
        QTest::newRow("after the copy") << true;
    }
    void apeRemovalRecovered()
    {
        QFETCH(bool, written);
        const std::string file = path("1.mp3");
        QVERIFY(writeFile(file, WithApe));
        auto change = tags::beginChange(file, true);
        QVERIFY(change);
        change->setApe({});
        {
            Journal journal(journalFile());
            journal.beginWrites(StepKind::Save, {*change});
            if (written)
                QVERIFY(tags::writeStaged(*change).written());
        } // no endWrites
        Journal journal(journalFile());
        QVERIFY(journal.recovered().empty());
        QCOMPARE(readFile(file), written ? WithoutApe : WithApe);
        QCOMPARE(int(journal.steps().size()), written ? 1 : 0);
        if (written) {
            operations::History history(journal);
            QCOMPARE(history.undo().turned, 1);
            QCOMPARE(readFile(file), WithApe);
        }
    }

    // A step open in a copy of the program that runs is a write in progress,
    // not a crash: another copy opening the journal leaves it alone.
    void runningCopyIsNotRecovered()
    {
        const tags::TagChange change = musicFile("1.mp3");
        auto running = std::make_unique<Journal>(journalFile());
        running->beginWrites(StepKind::Save, {change});
        reach(change, Reached::Half);
        const QByteArray midWrite = readFile(change.path());
        {
            const Journal second(journalFile());
            QVERIFY(second.recovered().empty());
            QCOMPARE(readFile(change.path()), midWrite);
        }
        running.reset(); // dies without endWrites
        const Journal next(journalFile());
        QCOMPARE(next.recovered().size(), 1u);
        QCOMPARE(readFile(change.path()), music(OldHead, OldTail));
    }

    // An undo cut short: the file torn on its way back gets the image the
    // undo started from, and the step can still be undone.
    void interruptedUndo()
    {
        const tags::TagChange change = musicFile("1.mp3");
        std::int64_t step = 0;
        {
            Journal journal(journalFile());
            step = journal.beginWrites(StepKind::Save, {change});
            reach(change, Reached::Whole);
            journal.endWrites(step, {FileWrite::Written});
            journal.beginTurn(step, false);
            QVERIFY(writeAt(change.path(), OldHead.left(OldHead.size() / 2), 0));
        }
        Journal journal(journalFile());
        QCOMPARE(journal.recovered().size(), 1u);
        QCOMPARE(readFile(change.path()), music(NewHead, NewTail));
        operations::History history(journal);
        QCOMPARE(history.nextUndo(), step);
        const auto outcome = history.undo();
        QCOMPARE(outcome.turned, 1);
        QCOMPARE(readFile(change.path()), music(OldHead, OldTail));
    }
};

MP3T_TEST_GUILESS_MAIN(JournalTest)
#include "JournalTest.moc"
