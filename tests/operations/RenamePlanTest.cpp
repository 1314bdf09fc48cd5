// The plans of a renaming and of a drop, worked out before anything moves,
// and the fields read out of file names by a pattern.

#include "operations/RenamePlan.h"
#include "operations/FieldsFromName.h"

#include <QTest>

using namespace Qt::StringLiterals;
using operations::PlanState;

Q_DECLARE_METATYPE(PlanState)

namespace {

// "a.mp3>X" is the row a.mp3 whose pattern gives X.
std::vector<operations::NameSource> sources(const QStringList& rows)
{
    std::vector<operations::NameSource> out;
    for (const QString& row : rows) {
        const QStringList parts = row.split(u'>');
        out.push_back({parts[0], parts.value(1)});
    }
    return out;
}

std::vector<QString> entries(const QStringList& names)
{
    return {names.begin(), names.end()};
}

QList<PlanState> states(const std::vector<operations::PlannedName>& plan)
{
    QList<PlanState> out;
    for (const auto& row : plan)
        out << row.state;
    return out;
}

platform::NameRules windowsRules()
{
    platform::NameRules rules;
    rules.ignoresCase = true;
    rules.maxBytes = 1530; // vfat counts UTF-16 units, reports bytes for UTF-8
    rules.maxUnits = 255;
    rules.refused = u"\"*:<>?\\|"_s;
    rules.refusesControls = true;
    return rules;
}

} // namespace

class RenamePlanTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void renameStates_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("others"); // entries of the folder that are no rows
        QTest::addColumn<QList<PlanState>>("expected");
        using S = PlanState;
        QTest::newRow("plain") << QStringList{u"a.mp3>A"_s} << QStringList{} << QList<S>{S::Rename};
        QTest::newRow("already so named") << QStringList{u"A.MP3>A"_s, u"b.mp3>B"_s}
                                          << QStringList{} << QList<S>{S::Unchanged, S::Rename};
        QTest::newRow("only the case of the extension")
            << QStringList{u"A.mp3>A"_s} << QStringList{} << QList<S>{S::Rename};
        QTest::newRow("two rows want one name: both stay")
            << QStringList{u"a.mp3>Same"_s, u"b.mp3>Same"_s, u"c.mp3>C"_s} << QStringList{}
            << QList<S>{S::Conflict, S::Conflict, S::Rename};
        QTest::newRow("another file has it")
            << QStringList{u"a.mp3>Taken"_s} << QStringList{u"Taken.MP3"_s}
            << QList<S>{S::Conflict};
        QTest::newRow("a folder has it")
            << QStringList{u"a.mp3>Sub"_s} << QStringList{u"Sub.MP3"_s} << QList<S>{S::Conflict};
        QTest::newRow("swap") << QStringList{u"A.MP3>B"_s, u"B.MP3>A"_s} << QStringList{}
                              << QList<S>{S::Rename, S::Rename};
        QTest::newRow("chain") << QStringList{u"A.MP3>B"_s, u"B.MP3>C"_s, u"C.MP3>D"_s}
                               << QStringList{} << QList<S>{S::Rename, S::Rename, S::Rename};
        // C cannot go (a file holds D), so B cannot take C's name, so A
        // cannot take B's.
        QTest::newRow("a blocked chain blocks back to its start")
            << QStringList{u"A.MP3>B"_s, u"B.MP3>C"_s, u"C.MP3>D"_s} << QStringList{u"D.MP3"_s}
            << QList<S>{S::Conflict, S::Conflict, S::Conflict};
        QTest::newRow("a row with an empty name keeps its name from the others")
            << QStringList{u"x.MP3>"_s, u"y.mp3>x"_s, u"z.mp3>y"_s} << QStringList{}
            << QList<S>{S::Empty, S::Conflict, S::Rename};
        QTest::newRow("empty, dots and blanks") << QStringList{u"a.mp3>"_s, u"b.mp3> . "_s}
                                                << QStringList{} << QList<S>{S::Empty, S::Empty};
        QTest::newRow("too long for the file system")
            << QStringList{u"a.mp3>"_s + QString(252, u'x'), u"b.mp3>"_s + QString(251, u'x')}
            << QStringList{} << QList<S>{S::Invalid, S::Rename};
        QTest::newRow("Chinese names count in bytes")
            << QStringList{u"a.mp3>"_s + QString(84, u'歌')} << QStringList{}
            << QList<S>{S::Invalid};
        QTest::newRow("an invalid row's name stays taken")
            << QStringList{u"a.MP3>"_s + QString(300, u'x'), u"b.mp3>a"_s} << QStringList{}
            << QList<S>{S::Invalid, S::Conflict};
    }
    void renameStates()
    {
        QFETCH(QStringList, rows);
        QFETCH(QStringList, others);
        QFETCH(QList<PlanState>, expected);
        const auto rowSources = sources(rows);
        std::vector<QString> folder = entries(others);
        for (const auto& row : rowSources)
            folder.push_back(row.name);
        const auto plan = operations::planRenames(rowSources, folder, platform::NameRules{});
        QCOMPARE(states(plan), expected);
        for (const auto& row : plan)
            QCOMPARE(row.note.isEmpty(),
                     row.state == PlanState::Rename || row.state == PlanState::Unchanged);
    }

    void aRowWhoseOwnNameIsWantedIsAConflictOnlyWhenItStays()
    {
        // "b.mp3" stays (its new name is empty); "a.mp3" wants "b.MP3", not
        // "b.mp3": on a file system that ignores case these are one name.
        const auto rows = sources({u"a.mp3>b"_s, u"b.mp3>"_s});
        const std::vector<QString> folder{u"a.mp3"_s, u"b.mp3"_s};
        QCOMPARE(states(operations::planRenames(rows, folder, platform::NameRules{})),
                 (QList<PlanState>{PlanState::Rename, PlanState::Empty}));
        const auto plan = operations::planRenames(rows, folder, windowsRules());
        QCOMPARE(states(plan), (QList<PlanState>{PlanState::Conflict, PlanState::Empty}));
        QVERIFY(plan[0].note.contains(u"b.mp3"_s));
    }

    void windowsFileSystems()
    {
        const auto rows = sources({u"a.mp3>AC_DC: Live"_s, u"b.mp3>what?"_s, u"song.mp3>Song"_s,
                                   u"c.mp3>x"_s, u"d.mp3>X"_s, u"e.mp3>"_s + QString(256, u'歌')});
        std::vector<QString> folder;
        for (const auto& row : rows)
            folder.push_back(row.name);
        const auto plan = operations::planRenames(rows, folder, windowsRules());
        QCOMPARE(states(plan),
                 (QList<PlanState>{PlanState::Invalid, PlanState::Invalid, PlanState::Rename,
                                   PlanState::Conflict, PlanState::Conflict, PlanState::Invalid}));
        QVERIFY(plan[0].note.contains(u"“:”"_s));
        QVERIFY(plan[5].note.contains(u"字符"_s));
    }

    void movesSkipOrKeepBoth()
    {
        const std::vector<QString> names{u"a.mp3"_s, u"b.mp3"_s, u"c"_s, u"d.mp3"_s};
        const std::vector<QString> target{u"b.mp3"_s, u"b (2).mp3"_s, u"c"_s, u"other.mp3"_s};
        const platform::NameRules rules;
        auto plan = operations::planMoves(names, target, rules, operations::ClashChoice::Skip);
        QCOMPARE(states(plan), (QList<PlanState>{PlanState::Rename, PlanState::Conflict,
                                                 PlanState::Conflict, PlanState::Rename}));
        QCOMPARE(plan[0].newName, u"a.mp3"_s);
        plan = operations::planMoves(names, target, rules, operations::ClashChoice::KeepBoth);
        QCOMPARE(states(plan), (QList<PlanState>{PlanState::Rename, PlanState::Rename,
                                                 PlanState::Rename, PlanState::Rename}));
        QCOMPARE(plan[1].newName, u"b (3).mp3"_s); // "b (2).mp3" is taken too
        QCOMPARE(plan[2].newName, u"c (2)"_s);     // no extension
        QCOMPARE(plan[3].newName, u"d.mp3"_s);
    }

    void movesOntoAFileSystemThatIgnoresCase()
    {
        // Two files of a Linux folder that differ in case only are one name
        // on a memory card.
        const std::vector<QString> names{u"Song.mp3"_s, u"song.mp3"_s, u"a:b.mp3"_s};
        auto plan = operations::planMoves(names, {}, windowsRules(), operations::ClashChoice::Skip);
        QCOMPARE(states(plan),
                 (QList<PlanState>{PlanState::Rename, PlanState::Conflict, PlanState::Invalid}));
        plan = operations::planMoves(names, {u"SONG (2).MP3"_s}, windowsRules(),
                                     operations::ClashChoice::KeepBoth);
        QCOMPARE(plan[1].newName, u"song (3).mp3"_s);
        QCOMPARE(plan[2].state, PlanState::Invalid);
    }

    void fieldsFromNames_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("matches");
        QTest::addColumn<QStringList>("values"); // %1..%9, "-" for none
        QTest::newRow("artist - title, Chinese")
            << u"%2 - %1"_s << u"歌手 - 歌名"_s << true
            << QStringList{u"歌名"_s, u"歌手"_s, u"-"_s, u"-"_s, u"-"_s,
                           u"-"_s,    u"-"_s,    u"-"_s, u"-"_s};
        QTest::newRow("the last placeholder takes the rest")
            << u"%2 - %1"_s << u"A - B - C"_s << true
            << QStringList{u"B - C"_s, u"A"_s, u"-"_s, u"-"_s, u"-"_s,
                           u"-"_s,     u"-"_s, u"-"_s, u"-"_s};
        QTest::newRow("a track number skipped by a placeholder not set")
            << u"%4. %2 - %1"_s << u"07. 王菲 - 红豆"_s << true
            << QStringList{u"红豆"_s, u"王菲"_s, u"-"_s, u"07"_s, u"-"_s,
                           u"-"_s,    u"-"_s,    u"-"_s, u"-"_s};
        QTest::newRow("track, disc and album artist")
            << u"%7. %9 - %1 (%8)"_s << u"03. 群星 - 歌名 (1/2)"_s << true
            << QStringList{u"歌名"_s, u"-"_s,  u"-"_s,   u"-"_s,   u"-"_s,
                           u"-"_s,    u"03"_s, u"1/2"_s, u"群星"_s};
        QTest::newRow("no separator in the name")
            << u"%2 - %1"_s << u"红豆"_s << false << QStringList{};
        QTest::newRow("a placeholder takes one character at least")
            << u"%2 - %1"_s << u" - 红豆"_s << false << QStringList{};
        QTest::newRow("text of the pattern is not an expression")
            << u"(%2) [%1].*"_s << u"(Band) [Song].*"_s << true
            << QStringList{u"Song"_s, u"Band"_s, u"-"_s, u"-"_s, u"-"_s,
                           u"-"_s,    u"-"_s,    u"-"_s, u"-"_s};
        QTest::newRow("text of the pattern must be there")
            << u"(%2) [%1].*"_s << u"(Band) [Song].xx"_s << false << QStringList{};
        QTest::newRow("a placeholder repeats with the same text")
            << u"%1 - %2 (%1)"_s << u"Song - Band (Song)"_s << true
            << QStringList{u"Song"_s, u"Band"_s, u"-"_s, u"-"_s, u"-"_s,
                           u"-"_s,    u"-"_s,    u"-"_s, u"-"_s};
        QTest::newRow("a repeated placeholder with other text")
            << u"%1 - %2 (%1)"_s << u"Song - Band (Live)"_s << false << QStringList{};
        QTest::newRow("%0 and a lone % are text")
            << u"%0%%1"_s << u"%0%x"_s << true
            << QStringList{u"x"_s, u"-"_s, u"-"_s, u"-"_s, u"-"_s, u"-"_s, u"-"_s, u"-"_s, u"-"_s};
    }
    void fieldsFromNames()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        QFETCH(bool, matches);
        QFETCH(QStringList, values);
        const operations::FieldsFromName fields(pattern);
        const auto found = fields.match(name);
        QCOMPARE(found.has_value(), matches);
        if (!found)
            return;
        for (int n = 0; n < 9; ++n) {
            QCOMPARE(fields.holds(n + 1), values[n] != u"-"_s);
            QCOMPARE((*found)[std::size_t(n)].value_or(u"-"_s), values[n]);
        }
    }
};

QTEST_GUILESS_MAIN(RenamePlanTest)
#include "RenamePlanTest.moc"
