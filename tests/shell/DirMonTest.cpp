#include "shell/DirMon.h"

#include "platform/Exception.h"

#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

int threadCount()
{
    return int(QDir(u"/proc/self/task"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

void makeFile(const QString& path, const QByteArray& bytes = {})
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Counts the monitor's events and its starts and stops.
struct Counter {
    int changes = 0;
    int starts = 0;
    int stops = 0;
    void attach(TDirMon& mon)
    {
        mon.OnDirChange = [this](QObject*) {
            ++changes;
        };
        mon.OnStart = [this](QObject*) {
            ++starts;
        };
        mon.OnStop = [this](QObject*) {
            ++stops;
        };
    }
};

QString messageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const platform::Exception& e) {
        return e.message();
    }
    return {};
}

} // namespace

class DirMonTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void filterStartsAsFileNames();
    void filterBitsRoundTrip();
    void nameFilterNeverAsksForWrites();
    void eventMatching_data();
    void eventMatching();
    void directoryText_data();
    void directoryText();
    void sameDirectoryDoesNotRestart();
    void emptyDirectoryStops();
    void errors();
    void reportsNameChanges_data();
    void reportsNameChanges();
    void sizeOrTimeAloneIsNotReported();
    void nestedWatchesNewSubFolders();
    void unwatchableDirectoryStaysQuiet();
    void nothingAfterStop();
    void throwingHandlerIsSwallowed();
    void handlerMayDestroyTheMonitor();
    void leavesNoThreadBehind();

private:
    QString path(const QString& name) const { return QDir(dir_->path()).filePath(name); }
    std::unique_ptr<QTemporaryDir> dir_;
};

void DirMonTest::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void DirMonTest::filterStartsAsFileNames()
{
    const TDirMon mon;
    QCOMPARE(mon.NotifyFilter(), TDirMonType({dmcFileName}));
    QVERIFY(!mon.Nested);
    QVERIFY(!mon.Running());
    QVERIFY(mon.Directory().isEmpty());
}

void DirMonTest::filterBitsRoundTrip()
{
    TDirMon mon;
    for (int set = 0; set < 64; ++set) {
        TDirMonType filter;
        for (int v = dmcFileName; v <= dmcSecurity; ++v) {
            if (set & (1 << v))
                filter += TDirMonValue(v);
        }
        mon.SetNotifyFilter(filter);
        QCOMPARE(mon.NotifyFilter(), filter);
    }
    QCOMPARE(dirmon::FilterBits({dmcFileName, dmcSecurity}), 0x101u);
    QCOMPARE(dirmon::FilterBits({dmcDirName, dmcSize, dmcLastWrite, dmcAttributes}), 0x01Eu);
}

void DirMonTest::nameFilterNeverAsksForWrites()
{
    const quint32 mask = dirmon::InotifyMask(dirmon::FilterBits({dmcFileName, dmcDirName}), false);
    QCOMPARE(mask & (IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB), 0u);
    QCOMPARE(mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO),
             quint32(IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO));
    QCOMPARE(dirmon::InotifyMask(0x008, false), quint32(IN_MODIFY | IN_CLOSE_WRITE));
    QCOMPARE(dirmon::InotifyMask(0x100, false), quint32(IN_ATTRIB));
}

void DirMonTest::eventMatching_data()
{
    QTest::addColumn<quint32>("event");
    QTest::addColumn<quint32>("filter");
    QTest::addColumn<bool>("reported");
    const quint32 files = 0x001, folders = 0x002, attributes = 0x004, size = 0x008;
    QTest::newRow("file created, file names") << quint32(IN_CREATE) << files << true;
    QTest::newRow("file created, folder names") << quint32(IN_CREATE) << folders << false;
    QTest::newRow("folder created, folder names")
        << quint32(IN_CREATE | IN_ISDIR) << folders << true;
    QTest::newRow("folder created, file names") << quint32(IN_CREATE | IN_ISDIR) << files << false;
    QTest::newRow("file renamed away") << quint32(IN_MOVED_FROM) << files << true;
    QTest::newRow("folder deleted") << quint32(IN_DELETE | IN_ISDIR) << folders << true;
    QTest::newRow("file written, names") << quint32(IN_MODIFY) << (files | folders) << false;
    QTest::newRow("file written, size") << quint32(IN_CLOSE_WRITE) << size << true;
    QTest::newRow("time changed, names") << quint32(IN_ATTRIB) << (files | folders) << false;
    QTest::newRow("mode changed, attributes") << quint32(IN_ATTRIB) << attributes << true;
    QTest::newRow("events lost") << quint32(IN_Q_OVERFLOW) << files << true;
}

void DirMonTest::eventMatching()
{
    QFETCH(quint32, event);
    QFETCH(quint32, filter);
    QFETCH(bool, reported);
    QCOMPARE(dirmon::EventMatches(event, filter, false), reported);
}

void DirMonTest::directoryText_data()
{
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("read");
    QTest::newRow("root keeps its separator") << u"/"_s << u"/"_s;
    QTest::newRow("trailing separator dropped") << u"/tmp/Music/"_s << u"/tmp/Music"_s;
    QTest::newRow("no separator") << u"/tmp/Music"_s << u"/tmp/Music"_s;
}

void DirMonTest::directoryText()
{
    QFETCH(QString, written);
    QFETCH(QString, read);
    TDirMon mon;
    mon.SetDirectory(written);
    QCOMPARE(mon.Directory(), read);
}

void DirMonTest::sameDirectoryDoesNotRestart()
{
    TDirMon mon;
    Counter count;
    count.attach(mon);
    mon.SetDirectory(dir_->path());
    QVERIFY(mon.Running());
    mon.SetDirectory(dir_->path() + u"/"_s);
    QCOMPARE(count.starts, 1);
    QCOMPARE(count.stops, 0);
    mon.SetDirectory(path(u"other"_s)); // different: restarts, even though it cannot be watched
    QCOMPARE(count.starts, 2);
    QCOMPARE(count.stops, 1);
}

void DirMonTest::emptyDirectoryStops()
{
    TDirMon mon;
    Counter count;
    count.attach(mon);
    mon.SetDirectory(dir_->path());
    mon.SetDirectory(QString());
    QVERIFY(!mon.Running());
    QCOMPARE(count.starts, 1);
    QCOMPARE(count.stops, 1);
    mon.Start(); // without a directory: nothing
    QVERIFY(!mon.Running());
}

void DirMonTest::errors()
{
    TDirMon mon;
    QCOMPARE(messageOf([&] { mon.Stop(); }), u"DirMon not started"_s);
    mon.SetDirectory(dir_->path());
    QCOMPARE(messageOf([&] { mon.SetNotifyFilter({dmcSize}); }),
             u"Unable to change NotifyFilter when DirMon is running"_s);
    QCOMPARE(mon.NotifyFilter(), TDirMonType({dmcFileName}));
    mon.Stop();
    QCOMPARE(messageOf([&] { mon.SetNotifyFilter({dmcSize}); }), QString());
}

void DirMonTest::reportsNameChanges_data()
{
    QTest::addColumn<QString>("change");
    for (const char* change : {"create file", "delete file", "rename file", "create folder",
                               "delete folder", "rename folder", "create link"})
        QTest::newRow(change) << QString::fromLatin1(change);
}

void DirMonTest::reportsNameChanges()
{
    QFETCH(QString, change);
    makeFile(path(u"old.mp3"_s));
    QVERIFY(QDir(dir_->path()).mkdir(u"Old"_s));
    TDirMon mon;
    Counter count;
    count.attach(mon);
    mon.SetNotifyFilter({dmcFileName, dmcDirName});
    mon.SetDirectory(dir_->path());
    QDir dir(dir_->path());
    if (change == u"create file"_s)
        makeFile(path(u"new.mp3"_s));
    else if (change == u"delete file"_s)
        QVERIFY(dir.remove(u"old.mp3"_s));
    else if (change == u"rename file"_s)
        QVERIFY(dir.rename(u"old.mp3"_s, u"new.mp3"_s));
    else if (change == u"create folder"_s)
        QVERIFY(dir.mkdir(u"New"_s));
    else if (change == u"delete folder"_s)
        QVERIFY(dir.rmdir(u"Old"_s));
    else if (change == u"rename folder"_s)
        QVERIFY(dir.rename(u"Old"_s, u"New"_s));
    else
        QVERIFY(QFile::link(u"old.mp3"_s, path(u"link.mp3"_s)));
    QTRY_VERIFY(count.changes >= 1);
}

void DirMonTest::sizeOrTimeAloneIsNotReported()
{
    makeFile(path(u"song.mp3"_s), "abc");
    TDirMon mon;
    Counter count;
    count.attach(mon);
    mon.SetNotifyFilter({dmcFileName, dmcDirName});
    mon.SetDirectory(dir_->path());
    QFile song(path(u"song.mp3"_s));
    QVERIFY(song.open(QIODevice::Append) && song.write("more") == 4);
    song.close();
    const struct ::timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
    QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(song.fileName()).constData(), times, 0) == 0);
    QVERIFY(song.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    // The name change afterwards is the one report (the kernel is not even
    // asked for writes or attribute changes, see nameFilterNeverAsksForWrites).
    makeFile(path(u"marker"_s));
    QTRY_COMPARE(count.changes, 1);
    QCOMPARE(count.changes, 1);
}

void DirMonTest::nestedWatchesNewSubFolders()
{
    QVERIFY(QDir(dir_->path()).mkpath(u"a/b"_s));
    TDirMon mon;
    Counter count;
    count.attach(mon);
    mon.Nested = true;
    mon.SetNotifyFilter({dmcFileName, dmcDirName});
    mon.SetDirectory(dir_->path());
    makeFile(path(u"a/b/deep.mp3"_s));
    QTRY_COMPARE(count.changes, 1);
    QVERIFY(QDir(dir_->path()).mkdir(u"a/new"_s));
    QTRY_COMPARE(count.changes, 2);
    makeFile(path(u"a/new/inside.mp3"_s)); // watched since it appeared
    QTRY_COMPARE(count.changes, 3);
}

void DirMonTest::unwatchableDirectoryStaysQuiet()
{
    TDirMon mon;
    Counter count;
    count.attach(mon);
    makeFile(path(u"plain-file"_s));
    mon.SetDirectory(path(u"plain-file"_s));
    QVERIFY(mon.Running());
    QCOMPARE(count.starts, 1);
    mon.Stop(); // returns at once: the worker has already ended
    QCOMPARE(count.stops, 1);
    QCOMPARE(count.changes, 0);
}

void DirMonTest::nothingAfterStop()
{
    TDirMon mon;
    Counter count;
    count.attach(mon);
    mon.SetDirectory(dir_->path());
    makeFile(path(u"new.mp3"_s));
    mon.Stop();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(count.changes, 0);
}

void DirMonTest::throwingHandlerIsSwallowed()
{
    TDirMon mon;
    int calls = 0;
    mon.OnDirChange = [&](QObject* sender) {
        QCOMPARE(sender, &mon);
        ++calls;
        throw platform::Exception(u"handler failed"_s);
    };
    mon.SetDirectory(dir_->path());
    makeFile(path(u"one"_s));
    QTRY_COMPARE(calls, 1);
    makeFile(path(u"two"_s));
    QTRY_COMPARE(calls, 2);
}

void DirMonTest::handlerMayDestroyTheMonitor()
{
    auto mon = std::make_unique<TDirMon>();
    int calls = 0;
    mon->OnDirChange = [&](QObject*) {
        ++calls;
        mon.reset();
    };
    mon->SetDirectory(dir_->path());
    makeFile(path(u"one"_s));
    QTRY_COMPARE(calls, 1);
    QVERIFY(!mon);
    makeFile(path(u"two"_s));
    QTest::qWait(0); // lets the receiver go
    QCOMPARE(calls, 1);
}

void DirMonTest::leavesNoThreadBehind()
{
    const int before = threadCount();
    {
        TDirMon mon;
        mon.SetDirectory(dir_->path());
        QCOMPARE(threadCount(), before + 1);
        mon.Stop();
        // A joined thread's task entry can outlive the join by a moment; a leaked one never goes.
        QTRY_COMPARE_WITH_TIMEOUT(threadCount(), before, 2000);
        mon.Start();
        QCOMPARE(threadCount(), before + 1);
    } // destroyed while running
    QTRY_COMPARE_WITH_TIMEOUT(threadCount(), before, 2000);
}

MP3T_TEST_GUILESS_MAIN(DirMonTest)
#include "DirMonTest.moc"
