// Tag commands run over many files as one step: a file written by another
// program between its change's making and its write is refused, the batch fields take what
// the name pattern names and leave the rest, and a cover change says when a
// file has nothing to change.

#include "operations/CoverCommand.h"
#include "operations/FieldsCommand.h"
#include "operations/Journal.h"
#include "tags/ID3v2.h"
#include "tags/ID3v2Pictures.h"
#include "tests/operations/JournalFiles.h"
#include "tests/support/Mp3Bytes.h"
#include "tests/support/TemporaryFolder.h"
#include "tests/support/TestEnvironment.h"

#include <functional>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;
using namespace journalfiles;
using operations::FieldSources;
using operations::FileOutcome;
using operations::TagPlan;

namespace {

const operations::CoverImage kJpeg{QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray(200, '\x11'),
                                   u"image/jpeg"_s};

// Each file's plan as it is made, and its outcome once written.
struct Ran {
    std::vector<TagPlan> plans;
    std::vector<FileOutcome> outcomes;
};

Ran runOn(const operations::TagCommand& command, const QStringList& files,
          operations::Journal* journal, const std::function<void()>& beforeWrites = {})
{
    Ran ran;
    operations::TagRunner runner(command, journal,
                                 [&](std::size_t, const TagPlan&, const FileOutcome& outcome) {
                                     ran.outcomes.push_back(outcome);
                                 });
    for (const QString& file : files)
        ran.plans.push_back(runner.add(file));
    if (beforeWrites)
        beforeWrites();
    runner.finish();
    return ran;
}

QString shownAsIs(const QString& name)
{
    return name;
}

} // namespace

class TagCommandTest : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::TemporaryFolder> dir_;
    std::unique_ptr<operations::Journal> journal_;

    QString file(const QString& name) const { return dir_->path() + u'/' + name; }

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<testsupport::TemporaryFolder>();
        journal_ = std::make_unique<operations::Journal>(
            (dir_->path() + u"/journal.sqlite"_s).toStdString());
    }
    void cleanup() { journal_.reset(); }

    // Another program retitles a file after its cover change was made, its
    // tag of the same size: the run leaves that file as the other program
    // wrote it and says so; the others get the cover.
    void coverRefusesAFileChangedSinceMade()
    {
        const QString a = file(u"a.mp3"_s);
        const QString b = file(u"b.mp3"_s);
        QVERIFY(writeFile(a.toStdString(), music(tagOfSize("A", 1024))));
        QVERIFY(writeFile(b.toStdString(), music(tagOfSize("B", 1024))));
        const auto covers = operations::CoverCommand::setting(kJpeg);
        const QByteArray theirs = music(tagOfSize("X", 1024));
        const Ran ran = runOn(covers.command(), {a, b}, journal_.get(),
                              [&] { QVERIFY(writeFile(b.toStdString(), theirs)); });
        QVERIFY(ran.plans[0].ready && ran.plans[1].ready);
        const auto& outcomes = ran.outcomes;
        QCOMPARE(outcomes.size(), std::size_t(2));
        QVERIFY(outcomes[0].succeeded);
        QVERIFY(!outcomes[1].succeeded);
        QCOMPARE(outcomes[1].reason, u"文件已被其他程序修改"_s);
        QCOMPARE(testsupport::readBytes(b), theirs);
        const auto cover = tags::frontCover(a.toStdString());
        QVERIFY(cover);
        QCOMPARE(QByteArray::fromStdString(cover->data), kJpeg.data);
    }

    // A file without a cover has nothing to remove: no write is due, and the
    // reason says why.
    void removingACoverThatIsNotThere()
    {
        const QString a = file(u"a.mp3"_s);
        const QByteArray bytes = music(tagOfSize("A", 512));
        QVERIFY(writeFile(a.toStdString(), bytes));
        const auto removal = operations::CoverCommand::removing();
        const Ran ran = runOn(removal.command(), {a}, journal_.get());
        const TagPlan& plan = ran.plans.at(0);
        QVERIFY(!plan.due);
        QVERIFY(!plan.ready);
        QCOMPARE(plan.reason, u"没有封面"_s);
        QCOMPARE(testsupport::readBytes(a), bytes);
    }

    void fieldsFromNames_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("values"); // title, artist, album; "-" for kept
        QTest::newRow("title and artist named, album kept")
            << u"%2 - %1"_s << u"王菲 - 红豆.mp3"_s << QStringList{u"红豆"_s, u"王菲"_s, u"-"_s};
        QTest::newRow("artist and album named, title kept")
            << u"%2 - %3"_s << u"王菲 - 唱游.mp3"_s << QStringList{u"-"_s, u"王菲"_s, u"唱游"_s};
        QTest::newRow("only matched placeholders")
            << u"%4. %1"_s << u"07. Song.mp3"_s << QStringList{u"Song"_s, u"-"_s, u"-"_s};
        QTest::newRow("no pattern: the whole name")
            << QString() << u"a.b.mp3"_s << QStringList{u"a.b"_s, u"a.b"_s, u"a.b"_s};
        QTest::newRow("a name that does not fit") << u"%2 - %1"_s << u"zz.mp3"_s << QStringList{};
    }
    // Title, artist and album all "from the name": what the pattern names is
    // set, the rest stays as the file has it; the file is written so.
    void fieldsFromNames()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        QFETCH(QStringList, values);
        const QString path = file(name);
        const QByteArray old =
            testsupport::id3v2Tag(3,
                                  testsupport::frame23("TIT2", testsupport::textData(0, "t0")) +
                                      testsupport::frame23("TPE1", testsupport::textData(0, "a0")) +
                                      testsupport::frame23("TALB", testsupport::textData(0, "b0")),
                                  64);
        QVERIFY(writeFile(path.toStdString(), music(old)));
        FieldSources sources;
        std::fill_n(sources.from.begin(), 3, FieldSources::From::Name);
        sources.pattern = pattern;
        const operations::FieldsCommand fields(sources, operations::Priority::V2Only, {},
                                               shownAsIs);
        const auto found = fields.valuesFor(path);
        const Ran ran = runOn(fields.command(), {path}, journal_.get());
        const TagPlan& plan = ran.plans.at(0);
        if (values.isEmpty()) {
            QVERIFY(!found);
            QVERIFY(!plan.ready);
            QCOMPARE(plan.reason, u"文件名与格式不符"_s);
            return;
        }
        QVERIFY(found);
        const std::array<std::optional<QString>, 3> got{found->title, found->artist, found->album};
        for (std::size_t f = 0; f < got.size(); ++f)
            QCOMPARE(got[f].value_or(u"-"_s), values[qsizetype(f)]);

        QVERIFY(ran.outcomes.at(0).succeeded);
        TID3v2 v2;
        v2.ReadFromFile(path.toStdString());
        const std::array<QString, 3> before{u"t0"_s, u"a0"_s, u"b0"_s};
        const std::array<const tags::Text*, 3> now{&v2.Title, &v2.Artist, &v2.Album};
        for (std::size_t f = 0; f < now.size(); ++f) {
            const QString expected =
                values[qsizetype(f)] == u"-"_s ? before[f] : values[qsizetype(f)];
            // Kept texts keep their legacy bytes; set ones are Unicode.
            QCOMPARE(QString::fromStdString(now[f]->bytes), expected);
        }
    }
};

MP3T_TEST_GUILESS_MAIN(TagCommandTest)
#include "TagCommandTest.moc"
