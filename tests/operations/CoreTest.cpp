// The core both heads share: the settings as read, the journal opened once
// with its problems said in words, steps recorded and flushed.

#include "operations/Core.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;
using operations::Core;

class CoreTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void settingsAsRead()
    {
        const Core legacy({0, true, u"big5"_s});
        QCOMPARE(legacy.priority(), operations::Priority::V1Only);
        QCOMPARE(legacy.encoding(), operations::WriteEncoding::Gbk);
        QCOMPARE(legacy.codePage(), platform::LegacyCodePage::Big5);
        QCOMPARE(legacy.textRules().preferred, platform::LegacyCodePage::Big5);
        QCOMPARE(legacy.textRules().detector, &legacy.detector());

        // A code page nobody knows reads as GBK; a priority outside 0..2 is none.
        const Core odd({7, false, u"klingon"_s});
        QCOMPARE(odd.showId(), 7);
        QVERIFY(!odd.priority());
        QCOMPARE(odd.encoding(), operations::WriteEncoding::Unicode);
        QCOMPARE(odd.codePage(), platform::LegacyCodePage::Gbk);
    }

    // Without a journal nothing is recorded and nothing goes wrong.
    void noJournalYet()
    {
        Core core;
        QVERIFY(!core.journalTried());
        QVERIFY(!core.journal() && !core.history());
        operations::StepFile made;
        made.to = "/nowhere/made";
        QVERIFY(core.record(operations::StepKind::NewFolder, {made}).isEmpty());
        QVERIFY(core.flush().isEmpty());
    }

    void journalOpenedAndRecorded()
    {
        Core core;
        const Core::Opening opening = core.openJournal();
        QVERIFY2(opening.failure.isEmpty(), qPrintable(opening.failure));
        QVERIFY(core.journalTried() && core.journal() && core.history());
        operations::StepFile made;
        made.to = QDir::tempPath().toStdString() + "/made";
        QVERIFY(core.record(operations::StepKind::NewFolder, {made}).isEmpty());
        QCOMPARE(core.journal()->steps().size(), std::size_t(1));
        QCOMPARE(core.history()->nextUndo(), core.journal()->steps().front().id);
        QVERIFY(core.flush().isEmpty());
    }

    // A state folder that is a file: the journal cannot be opened, and the
    // core says so in words and goes on without it.
    void journalThatCannotOpen()
    {
        const QByteArray state = qgetenv("XDG_STATE_HOME");
        const QString blocked = QString::fromLocal8Bit(state) + u"/blocked"_s;
        QFile file(blocked);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        qputenv("XDG_STATE_HOME", blocked.toLocal8Bit());
        Core core;
        const Core::Opening opening = core.openJournal();
        qputenv("XDG_STATE_HOME", state);
        QVERIFY2(opening.failure.startsWith(u"操作历史无法打开: "_s), qPrintable(opening.failure));
        QVERIFY(core.journalTried() && !core.journal() && !core.history());
    }
};

MP3T_TEST_GUILESS_MAIN(CoreTest)
#include "CoreTest.moc"
