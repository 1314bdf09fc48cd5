// The window's file and folder commands as steps, and what it lists of a
// folder: each file's outcome, and only what went is recorded.

#include "operations/ItemSteps.h"
#include "operations/FolderListing.h"
#include "platform/NativePath.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;
using namespace testsupport;

namespace {

bool makeFile(const QString& path, const QByteArray& bytes = "music")
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class ItemStepsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A folder row never goes to the trash with its contents; a file does,
    // and only it is in the step.
    void trashOnlyFiles()
    {
        TemporaryFolder dir;
        const QString folder = dir.path() + u'/';
        QVERIFY(makeFile(folder + u"a.mp3"_s));
        QVERIFY(QDir(folder).mkdir(u"sub"_s));
        const auto step = operations::trashFiles({folder + u"a.mp3"_s, folder + u"sub"_s});
        QCOMPARE(step.outcomes.size(), 2u);
        QVERIFY(step.outcomes[0].succeeded);
        QVERIFY(!step.outcomes[1].succeeded && !step.outcomes[1].reason.isEmpty());
        QCOMPARE(step.files.size(), 1u);
        QCOMPARE(step.files[0].from, platform::NativePath(folder + u"a.mp3"_s));
        QVERIFY(!QFile::exists(folder + u"a.mp3"_s));
        QVERIFY(QFile::exists(QString::fromStdString(step.files[0].to)));
        QVERIFY(QDir(folder + u"sub"_s).exists());
    }

    // One outcome per entry of the plan: a conflict keeps its note and
    // replaces nothing.
    void movesUnderThePlan()
    {
        TemporaryFolder dir;
        const QString folder = dir.path() + u'/';
        QVERIFY(QDir(folder).mkdir(u"to"_s));
        QVERIFY(makeFile(folder + u"a.mp3"_s, "a"));
        QVERIFY(makeFile(folder + u"b.mp3"_s, "b"));
        QVERIFY(makeFile(folder + u"to/b.mp3"_s, "other"));
        const std::vector<operations::PlannedName> plan{
            {u"a.mp3"_s, u"a.mp3"_s, operations::PlanState::Rename, {}},
            {u"b.mp3"_s, u"b.mp3"_s, operations::PlanState::Conflict, u"目标文件夹已有同名的项"_s},
        };
        const auto step = operations::moveFilesInto(folder, folder + u"to"_s, plan);
        QCOMPARE(step.outcomes.size(), 2u);
        QVERIFY(step.outcomes[0].succeeded);
        QCOMPARE(step.outcomes[0].file, folder + u"to/a.mp3"_s);
        QVERIFY(!step.outcomes[1].succeeded);
        QCOMPARE(step.outcomes[1].reason, u"目标文件夹已有同名的项"_s);
        QCOMPARE(step.files.size(), 1u);
        QVERIFY(QFile::exists(folder + u"b.mp3"_s));
        QFile kept(folder + u"to/b.mp3"_s);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("other"));
    }

    void newFolderOnce()
    {
        TemporaryFolder dir;
        const QString path = dir.path() + u"/made"_s;
        const auto made = operations::makeFolder(path);
        QVERIFY(made.outcomes[0].succeeded);
        QCOMPARE(made.files.size(), 1u);
        const auto again = operations::makeFolder(path);
        QVERIFY(!again.outcomes[0].succeeded);
        QVERIFY(again.files.empty());
    }

    // Captions without their extension: the first file found decides for
    // the whole folder; a folder and what is gone are left out.
    void listedFilesGuessTheSuffix()
    {
        TemporaryFolder dir;
        const QString folder = dir.path() + u'/';
        QVERIFY(QDir(folder).mkdir(u"sub"_s));
        QVERIFY(makeFile(folder + u"a.mp3"_s));
        QVERIFY(makeFile(folder + u"b.MP3"_s));
        const auto bare = operations::listedFiles(folder, {u"a"_s, u"gone"_s, u"sub"_s, u"b"_s});
        QCOMPARE(bare.size(), 2u);
        QCOMPARE(bare[0].index, 0);
        QCOMPARE(bare[0].name, u"a.MP3"_s);
        QCOMPARE(bare[1].index, 3);
        QCOMPARE(bare[1].name, u"b.MP3"_s);
        const auto whole = operations::listedFiles(folder, {u"a.mp3"_s, u"b"_s, u"b.MP3"_s});
        QCOMPARE(whole.size(), 2u);
        QCOMPARE(whole[0].name, u"a.mp3"_s);
        QCOMPARE(whole[1].name, u"b.MP3"_s);
    }
};

MP3T_TEST_GUILESS_MAIN(ItemStepsTest)
#include "ItemStepsTest.moc"
