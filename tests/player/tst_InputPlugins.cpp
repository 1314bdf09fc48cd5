#include "tests/support/TestEnvironment.h"

#include "player/InputPlugins.h"
#include "player/Winamp.h"

#include <QDir>
#include <QFile>
#include <QObject>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QString kTestPlugin = QStringLiteral(MP3T_TEST_PLUGIN);
const QString kNoExportPlugin = QStringLiteral(MP3T_TEST_PLUGIN_NOEXPORT);
const QString kEnd = QString(QChar(u'\0'));
} // namespace

class TestInputPlugins : public QObject {
    Q_OBJECT

    // A player folder with the given plug-in files: "test" is the test
    // plug-in, "noexport" a library without the export, "text" no library.
    QString playerWith(const QTemporaryDir& dir, const QStringList& plugins)
    {
        QDir(dir.path()).mkpath(u"Plugins"_s);
        for (const QString& entry : plugins) {
            const QString kind = entry.section(u':', 0, 0);
            const QString target = dir.filePath(u"Plugins/"_s + entry.section(u':', 1, 1));
            if (kind == u"text"_s) {
                QFile file(target);
                if (!file.open(QIODevice::WriteOnly) || file.write("not a library") < 0)
                    qFatal("cannot write %s", qPrintable(target));
            } else if (!QFile::copy(kind == u"test"_s ? kTestPlugin : kNoExportPlugin, target)) {
                qFatal("cannot copy the plug-in to %s", qPrintable(target));
            }
        }
        return dir.filePath(u"Winamp.exe"_s);
    }

private Q_SLOTS:
    void cleanup() { qunsetenv("MP3T_TEST_EXTENSIONS"); }

    void filter_data()
    {
        QTest::addColumn<QByteArray>("list"); // "|" for each zero character
        QTest::addColumn<QStringList>("plugins");
        QTest::addColumn<QString>("expected");
        const QStringList one{u"test:in_test.dll"_s};
        QTest::newRow("one pair") << QByteArray("MP3;MP2;MP1|MPEG audio|") << one
                                  << u"All supported types|*.MP3;*.MP2;*.MP1|"
                                     u"MPEG audio|*.MP3;*.MP2;*.MP1"_s;
        QTest::newRow("ACK and DOH in any case")
            << QByteArray("ack|Doh|") << one
            << u"All supported types|*.MP1;*.MP2;*.MP3|"
               u"MPEG Audio Files (*.MP1;*.MP2;*.MP3)|*.MP1;*.MP2;*.MP3"_s;
        QTest::newRow("two pairs and one extension")
            << QByteArray("MP3|MPEG|WAV;VOC|Sound|") << one
            << u"All supported types|*.MP3;*.WAV;*.VOC|MPEG|*.MP3|Sound|*.WAV;*.VOC"_s;
        QTest::newRow("extensions without description")
            << QByteArray("MP3|MPEG|OGG|") << one
            << u"All supported types|*.MP3;*.OGG|MPEG|*.MP3"_s;
        QTest::newRow("two plug-ins")
            << QByteArray("MP3|MPEG|") << QStringList{u"test:in_b.dll"_s, u"test:in_a.dll"_s}
            << u"All supported types|*.MP3;*.MP3|MPEG|*.MP3|MPEG|*.MP3"_s;
        QTest::newRow("libraries that are no plug-ins")
            << QByteArray("MP3|MPEG|")
            << QStringList{u"noexport:in_a.dll"_s, u"text:in_b.dll"_s, u"test:in_c.dll"_s}
            << u"All supported types|*.MP3|MPEG|*.MP3"_s;
        QTest::newRow("other names are not asked")
            << QByteArray("MP3|MPEG|") << QStringList{u"test:out_test.dll"_s, u"test:in_x.so"_s}
            << u"All supported types||"_s;
        QTest::newRow("no description at all")
            << QByteArray("none") << one << u"All supported types||"_s;
        QTest::newRow("plug-in that throws")
            << QByteArray("throw") << one << u"All supported types||"_s;
        QTest::newRow("no plug-ins")
            << QByteArray("MP3|MPEG|") << QStringList() << u"All supported types||"_s;
        // The zero of the description at index 1024 is the last one read.
        QTest::newRow("pair ending at index 1024")
            << QByteArray("MP3|") + QByteArray(1020, 'd') + '|' << one
            << u"All supported types|*.MP3|"_s + QString(1020, u'd') + u"|*.MP3"_s;
        QTest::newRow("pair ending at index 1025")
            << QByteArray("MP3|") + QByteArray(1021, 'd') + '|' << one
            << u"All supported types|*.MP3|"_s;
    }
    void filter()
    {
        QFETCH(QByteArray, list);
        QFETCH(QStringList, plugins);
        QFETCH(QString, expected);
        qputenv("MP3T_TEST_EXTENSIONS", list);
        const QTemporaryDir dir;
        QVERIFY(dir.isValid());
        TWinamp winamp;
        winamp.PathToWinAmp = playerWith(dir, plugins);
        QCOMPARE(winamp.SupportFormats(), expected + kEnd);
    }

    void folderOfThePlayerPath_data()
    {
        QTest::addColumn<QString>("relativePath"); // from the temporary folder; "" for none
        QTest::addColumn<bool>("found");
        QTest::newRow("program in the folder") << u"Winamp.exe"_s << true;
        QTest::newRow("path ending in a separator") << u""_s << true;
        QTest::newRow("missing folder") << u"nowhere/Winamp.exe"_s << false;
    }
    void folderOfThePlayerPath()
    {
        QFETCH(QString, relativePath);
        QFETCH(bool, found);
        const QTemporaryDir dir;
        QVERIFY(dir.isValid());
        playerWith(dir, {u"test:in_test.dll"_s});
        const QString path = dir.path() + u'/' + relativePath;
        QCOMPARE(player::inputPluginFilter(path) != u"All supported types||"_s + kEnd, found);
    }

    void relativePlayerPathLoadsNothing()
    {
        // Libraries are never taken from the current folder.
        const QTemporaryDir dir;
        QVERIFY(dir.isValid());
        playerWith(dir, {u"test:in_test.dll"_s});
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        const QString empty = player::inputPluginFilter(QString());
        const QString relative = player::inputPluginFilter(u"Winamp.exe"_s);
        QVERIFY(QDir::setCurrent(before));
        QCOMPARE(empty, u"All supported types||"_s + kEnd);
        QCOMPARE(relative, u"All supported types||"_s + kEnd);
    }
};

MP3T_TEST_GUILESS_MAIN(TestInputPlugins)
#include "tst_InputPlugins.moc"
