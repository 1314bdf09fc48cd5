// Batches of moves that give names up to one another (swaps, rings, chains in
// any order) on real files, failures inside them, and damaged input: every
// item ends at its new place, its old one, or a temporary name it reports,
// with its bytes; nothing is replaced.

#include "operations/MoveBatch.h"
#include "tests/support/NativeNameFiles.h"
#include "tests/support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QHash>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <numeric>
#include <random>

using namespace Qt::StringLiterals;
using namespace nativetest;
using operations::ItemMove;
using operations::MoveDone;

namespace {

// Moves as names in one folder: from, to, from, to, ...
using Names = QByteArrayList;

QByteArray bytesOf(const QByteArray& name)
{
    return "bytes of " + name;
}

// The sources, each once, in order.
Names sourcesOf(const Names& moves)
{
    Names sources;
    for (qsizetype i = 0; i < moves.size(); i += 2) {
        if (!sources.contains(moves[i]))
            sources.append(moves[i]);
    }
    return sources;
}

// How many moves have the source.
qsizetype sharers(const Names& moves, const QByteArray& source)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < moves.size(); i += 2)
        count += moves[i] == source ? 1 : 0;
    return count;
}

// The real move, counted; the calls listed fail (EIO) and touch nothing.
struct Calls {
    QList<int> failing;
    int count = 0;

    operations::MoveCall call()
    {
        return [this](const QString& from, const QString& to) {
            if (failing.contains(++count)) {
                errno = EIO;
                return false;
            }
            return operations::moveItem(from, to);
        };
    }
};

} // namespace

class MoveBatchTest : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::TemporaryFolder> dir_;
    QByteArray root_;

    QByteArray at(const QByteArray& name) const { return root_ + '/' + name; }

    std::vector<ItemMove> movesOf(const Names& names) const
    {
        std::vector<ItemMove> moves;
        for (qsizetype i = 0; i + 1 < names.size(); i += 2)
            moves.push_back({decoded(at(names[i])), decoded(at(names[i + 1]))});
        return moves;
    }

    // Each source made with its own bytes, then the batch; each index is
    // reported once, with the result returned.
    std::vector<MoveDone> run(const Names& names, Calls& calls)
    {
        for (const QByteArray& source : sourcesOf(names)) {
            if (!makeFileAt(at(source), bytesOf(source)))
                return {};
        }
        const std::vector<ItemMove> moves = movesOf(names);
        std::vector<int> reported(moves.size(), 0);
        std::vector<MoveDone> seen(moves.size());
        auto results = operations::moveAll(
            moves,
            [&](std::size_t i, const MoveDone& result) {
                ++reported.at(i);
                seen.at(i) = result;
            },
            calls.call());
        for (std::size_t i = 0; i < results.size(); ++i) {
            const bool same = seen[i].moved == results[i].moved &&
                              seen[i].error == results[i].error && seen[i].at == results[i].at;
            if (reported[i] != 1 || !same)
                return {};
        }
        return results;
    }

    // Every item is in the folder once, with its bytes, and where its result
    // says: at `to`, at `at`, or (a failed move of a source no other move
    // shares) at `from`.
    void checkNothingLost(const Names& names, const std::vector<MoveDone>& results)
    {
        const Names sources = sourcesOf(names);
        const QByteArrayList present = namesIn(root_);
        QCOMPARE(present.size(), sources.size());
        QByteArrayList contents;
        for (const QByteArray& name : present)
            contents.append(readAt(at(name)));
        for (const QByteArray& source : sources)
            QCOMPARE(contents.count(bytesOf(source)), 1);
        QCOMPARE(results.size(), std::size_t(names.size() / 2));
        for (std::size_t k = 0; k < results.size(); ++k) {
            const QByteArray from = names[qsizetype(2 * k)];
            const QByteArray to = names[qsizetype(2 * k + 1)];
            const MoveDone& result = results[k];
            QVERIFY2(result.moved == (result.error == 0), from + " -> " + to);
            if (result.moved)
                QCOMPARE(readAt(at(to)), bytesOf(from));
            else if (!result.at.isEmpty())
                QCOMPARE(readAt(native(result.at)), bytesOf(from));
            else if (sharers(names, from) == 1)
                QCOMPARE(readAt(at(from)), bytesOf(from));
        }
    }

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<testsupport::TemporaryFolder>();
        QVERIFY(dir_->isValid());
        root_ = native(dir_->path());
    }

    void allMoved_data()
    {
        QTest::addColumn<Names>("moves");
        QTest::addColumn<Names>("others"); // files the batch must leave alone
        QTest::addColumn<int>("calls");    // of the move function

        QTest::newRow("swap") << Names{"a", "b", "b", "a"} << Names{} << 3;
        QTest::newRow("ring of three") << Names{"a", "b", "b", "c", "c", "a"} << Names{} << 4;
        // A chain a->b->c->d, in every order of the list.
        std::vector<int> order{0, 1, 2};
        do {
            const Names links{"a", "b", "b", "c", "c", "d"};
            Names moves;
            QByteArray row = "chain in order";
            for (const int link : order) {
                moves << links[2 * link] << links[2 * link + 1];
                row += ' ' + QByteArray::number(link);
            }
            QTest::newRow(row.constData()) << moves << Names{} << 3;
        } while (std::next_permutation(order.begin(), order.end()));
        QTest::newRow("rings and a chain")
            << Names{"y", "z", "a", "b", "b", "a", "c", "d", "d", "e", "e", "c", "x", "y"}
            << Names{} << 9;
        QTest::newRow("names not UTF-8")
            << Names{gbk(u"老歌.mp3"_s), gbk(u"新歌.mp3"_s), gbk(u"新歌.mp3"_s), gbk(u"老歌.mp3"_s)}
            << Names{} << 3;
        QTest::newRow("temporary name taken") << Names{"a", "b", "b", "a"} << Names{"~1~a"} << 3;
        QTest::newRow("unchanged name") << Names{"a", "a", "b", "c"} << Names{} << 1;
        const QByteArray longA = QByteArray(250, 'x') + "a.mp3";
        const QByteArray longB = QByteArray(250, 'x') + "b.mp3";
        QTest::newRow("longest names") << Names{longA, longB, longB, longA} << Names{} << 3;
    }
    void allMoved()
    {
        QFETCH(Names, moves);
        QFETCH(Names, others);
        QFETCH(int, calls);
        for (const QByteArray& other : others)
            QVERIFY(makeFileAt(at(other), "another's"));
        Calls counted;
        const std::vector<MoveDone> results = run(moves, counted);
        QCOMPARE(results.size(), std::size_t(moves.size() / 2));
        QByteArrayList expected = others;
        for (std::size_t k = 0; k < results.size(); ++k) {
            QVERIFY(results[k].moved);
            QCOMPARE(results[k].error, 0);
            QVERIFY(results[k].at.isEmpty());
            const QByteArray& to = moves[qsizetype(2 * k + 1)];
            QCOMPARE(readAt(at(to)), bytesOf(moves[qsizetype(2 * k)]));
            expected.append(to);
        }
        for (const QByteArray& other : others)
            QCOMPARE(readAt(at(other)), "another's");
        std::sort(expected.begin(), expected.end());
        QCOMPARE(namesIn(root_), expected); // no temporary name left behind
        QCOMPARE(counted.count, calls);
    }

    // A place nobody gives up: that move fails, the others are made.
    void ontoExistingFile()
    {
        QVERIFY(makeFileAt(at("y"), "y's own"));
        Calls calls;
        const auto results = run({"x", "y", "p", "q"}, calls);
        QCOMPARE(results.size(), 2u);
        QVERIFY(!results[0].moved);
        QCOMPARE(results[0].error, EEXIST);
        QVERIFY(results[0].at.isEmpty());
        QCOMPARE(readAt(at("x")), bytesOf("x"));
        QCOMPARE(readAt(at("y")), "y's own");
        QVERIFY(results[1].moved);
        QCOMPARE(readAt(at("q")), bytesOf("p"));
    }

    void failures_data()
    {
        QTest::addColumn<Names>("moves");
        QTest::addColumn<QList<int>>("failing"); // the calls that fail
        QTest::addColumn<int>("moved");
        QTest::addColumn<int>("aside"); // items left at a temporary name

        // Calls: a to the side, b->a, a to b; then a back when b->a failed.
        const Names swap{"a", "b", "b", "a"};
        QTest::newRow("swap, aside") << swap << QList<int>{1} << 0 << 0;
        QTest::newRow("swap, into the freed place") << swap << QList<int>{2} << 0 << 0;
        QTest::newRow("swap, the last one") << swap << QList<int>{3} << 1 << 1;
        QTest::newRow("swap, not back either") << swap << QList<int>{2, 3} << 0 << 1;
        // Calls: a to the side, c->a, b->c, a to b.
        const Names ring{"a", "b", "b", "c", "c", "a"};
        QTest::newRow("ring, aside") << ring << QList<int>{1} << 0 << 0;
        QTest::newRow("ring, into the freed place") << ring << QList<int>{2} << 0 << 0;
        QTest::newRow("ring, in the middle") << ring << QList<int>{3} << 1 << 1;
        QTest::newRow("ring, the last one") << ring << QList<int>{4} << 2 << 1;
        // Calls: c->d, b->c, a->b.
        const Names chain{"a", "b", "b", "c", "c", "d"};
        QTest::newRow("chain, its free end") << chain << QList<int>{1} << 0 << 0;
        QTest::newRow("chain, in the middle") << chain << QList<int>{2} << 1 << 0;
    }
    void failures()
    {
        QFETCH(Names, moves);
        QFETCH(QList<int>, failing);
        QFETCH(int, moved);
        QFETCH(int, aside);
        Calls calls{failing};
        const auto results = run(moves, calls);
        checkNothingLost(moves, results);
        QCOMPARE(int(std::count_if(results.begin(), results.end(),
                                   [](const MoveDone& r) { return r.moved; })),
                 moved);
        QCOMPARE(int(std::count_if(results.begin(), results.end(),
                                   [](const MoveDone& r) { return !r.at.isEmpty(); })),
                 aside);
    }

    // Moves that share a source or a target come from a damaged journal:
    // they go first, one by one as given, and lose nothing; none is taken
    // for part of a ring and put aside.
    void sharedNames_data()
    {
        QTest::addColumn<Names>("moves");
        QTest::addColumn<int>("calls");
        QTest::newRow("one source twice") << Names{"a", "b", "a", "c"} << 2;
        QTest::newRow("one target twice") << Names{"a", "c", "b", "c"} << 2;
        QTest::newRow("one target twice, then given up")
            << Names{"a", "c", "b", "c", "c", "d"} << 3;
        QTest::newRow("swap and a source twice") << Names{"a", "b", "b", "a", "a", "c"} << 3;
        QTest::newRow("ring and a target twice")
            << Names{"a", "b", "b", "c", "c", "a", "d", "a"} << 4;
    }
    void sharedNames()
    {
        QFETCH(Names, moves);
        QFETCH(int, calls);
        Calls counted;
        const auto results = run(moves, counted);
        checkNothingLost(moves, results);
        for (const MoveDone& result : results)
            QVERIFY(result.at.isEmpty());
        QCOMPARE(counted.count, calls);
    }

    // Ten thousand moves in a chain given from its far end, and a ring of as
    // many, on a file system in memory: the time is the batch's own.
    void manyMoves()
    {
        constexpr int count = 10000;
        const QString base = dir_->path() + u"/missing/"_s;
        QHash<QString, int> items; // place -> item
        std::vector<ItemMove> moves;
        const auto place = [&](QChar kind, int n) {
            return base + kind + QString::number(n);
        };
        for (int n = 0; n < count; ++n) {
            moves.push_back({place(u'c', n), place(u'c', n + 1)});
            items.insert(place(u'c', n), n);
        }
        std::vector<int> ring(count);
        std::iota(ring.begin(), ring.end(), 0);
        std::shuffle(ring.begin(), ring.end(), std::mt19937(7));
        for (int k = 0; k < count; ++k) {
            moves.push_back({place(u'r', ring[k]), place(u'r', ring[(k + 1) % count])});
            items.insert(place(u'r', ring[k]), count + ring[k]);
        }
        const QHash<QString, int> before = items;
        const operations::MoveCall inMemory = [&items](const QString& from, const QString& to) {
            const auto it = items.find(from);
            errno = items.contains(to) ? EEXIST : it == items.end() ? ENOENT : 0;
            if (errno != 0)
                return false;
            const int item = *it;
            items.erase(it);
            items.insert(to, item);
            return true;
        };
        QElapsedTimer timer;
        timer.start();
        const auto results = operations::moveAll(moves, {}, inMemory);
        const qint64 elapsed = timer.elapsed();
        QCOMPARE(items.size(), before.size());
        std::size_t misplaced = 0;
        for (std::size_t k = 0; k < moves.size(); ++k) {
            if (!results[k].moved || items.value(moves[k].to, -1) != before.value(moves[k].from))
                ++misplaced;
        }
        QCOMPARE(misplaced, 0u);
        QVERIFY2(elapsed < 3000, qPrintable(QString::number(elapsed) + u" ms"_s));
    }
};

MP3T_TEST_GUILESS_MAIN(MoveBatchTest)
#include "MoveBatchTest.moc"
