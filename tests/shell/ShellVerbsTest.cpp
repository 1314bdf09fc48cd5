#include "shell/ShellBrowser.h"

#include "platform/ShellClipboard.h"
#include "platform/ShellFileOps.h"

#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using platform::ReplaceChoice;

namespace {

void makeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Every path below a folder, relative to it, with each file's bytes.
QStringList treeOf(const QString& folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = QDir(folder).relativeFilePath(path);
        entries.append(it.fileInfo().isDir() ? name + u"/"_s
                                             : name + u"="_s + QString::fromLatin1(contents(path)));
    }
    entries.sort();
    return entries;
}

QString trash()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(u"Trash"_s);
}
QString trashFiles()
{
    return QDir(trash()).filePath(u"files"_s);
}

QStringList entriesOf(const QString& folder)
{
    QStringList names = QDir(folder).entryList(QDir::Hidden | QDir::AllEntries |
                                               QDir::NoDotAndDotDot | QDir::System);
    names.sort();
    return names;
}

} // namespace

class ShellVerbsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void copyAndPasteBetweenFolders();
    void cutAndPasteAFolderKeepsEveryFile();
    void pasteAsksBeforeReplacing_data();
    void pasteAsksBeforeReplacing();
    void copyIntoItsOwnFolderGetsANewName();
    void folderIsNeverPastedIntoItself();
    void failedCopyLeavesNothingBehind();
    void deleteGoesToTheTrashAfterConfirmation();
    void deleteNeedsTheCanDeleteAttribute();
    void openVerbs();

private:
    QString path(const QString& name) const { return QDir(dir_->path()).filePath(name); }
    std::unique_ptr<QTemporaryDir> dir_;
    TShellBrowser::Ui savedUi_;
    QStringList asked_;
};

void ShellVerbsTest::init()
{
    savedUi_ = TShellBrowser::ui();
    asked_.clear();
    TShellBrowser::ui().askReplace = [this](const QString& target) {
        asked_.append(target);
        return ReplaceChoice::Skip;
    };
    TShellBrowser::ui().confirmDelete = [](const QStringList&) {
        return true;
    };
    TShellBrowser::ui().openFile = [this](const QString& path) {
        asked_.append(u"open "_s + path);
        return true;
    };
    dir_ = std::make_unique<QTemporaryDir>();
    QDir dir(dir_->path());
    QVERIFY(dir.mkpath(u"from/Album/CD1"_s) && dir.mkdir(u"to"_s));
    makeFile(path(u"from/a.mp3"_s), "aaa");
    makeFile(path(u"from/Album/01.mp3"_s), "one");
    makeFile(path(u"from/Album/CD1/.hidden"_s), "h");
    QVERIFY(QFile::link(u"01.mp3"_s, path(u"from/Album/link.mp3"_s)));
}

void ShellVerbsTest::cleanup()
{
    TShellBrowser::ui() = savedUi_;
}

void ShellVerbsTest::copyAndPasteBetweenFolders()
{
    TShellBrowser from;
    from.SetFolder(path(u"from"_s));
    from.MultiObjects = QStringList{u"a.mp3"_s, u"Album"_s};
    QVERIFY(from.ExecuteVerb(u"copy"_s));
    QVERIFY(!platform::ReadClipboardFiles().cut);

    TShellBrowser to;
    to.SetFolder(path(u"to"_s));
    QVERIFY(to.pasteIntoFolder());
    QCOMPARE(treeOf(path(u"to"_s)), treeOf(path(u"from"_s)));
    QCOMPARE(QFile::symLinkTarget(path(u"to/Album/link.mp3"_s)), path(u"to/Album/01.mp3"_s));
    QVERIFY(QFile::exists(path(u"from/a.mp3"_s)));
    QVERIFY(asked_.isEmpty());
    // No staging folder is left behind.
    QCOMPARE(entriesOf(path(u"to"_s)), (QStringList{u"Album"_s, u"a.mp3"_s}));
}

void ShellVerbsTest::cutAndPasteAFolderKeepsEveryFile()
{
    const QStringList before = treeOf(path(u"from/Album"_s));
    TShellBrowser from;
    from.SetFolder(path(u"from"_s));
    from.SetObjectName(u"Album"_s);
    QVERIFY(from.ExecuteVerb(u"CUT"_s));
    QVERIFY(platform::ReadClipboardFiles().cut);
    TShellBrowser to;
    to.SetFolder(dir_->path());
    to.SetObjectName(u"to"_s); // paste on a folder item goes into it
    QVERIFY(to.ExecuteVerb(u"paste"_s));
    QCOMPARE(treeOf(path(u"to/Album"_s)), before);
    QVERIFY(!QFile::exists(path(u"from/Album"_s)));
}

void ShellVerbsTest::pasteAsksBeforeReplacing_data()
{
    QTest::addColumn<int>("choice");
    QTest::addColumn<bool>("cut");
    QTest::addColumn<QByteArray>("result");
    QTest::addColumn<bool>("sourceStays");
    QTest::newRow("copy, skip") << int(ReplaceChoice::Skip) << false << "old"_ba << true;
    QTest::newRow("copy, cancel") << int(ReplaceChoice::Cancel) << false << "old"_ba << true;
    QTest::newRow("copy, replace") << int(ReplaceChoice::Replace) << false << "aaa"_ba << true;
    QTest::newRow("cut, skip") << int(ReplaceChoice::Skip) << true << "old"_ba << true;
    QTest::newRow("cut, replace") << int(ReplaceChoice::Replace) << true << "aaa"_ba << false;
}

void ShellVerbsTest::pasteAsksBeforeReplacing()
{
    QFETCH(int, choice);
    QFETCH(bool, cut);
    QFETCH(QByteArray, result);
    QFETCH(bool, sourceStays);
    makeFile(path(u"to/a.mp3"_s), "old");
    TShellBrowser::ui().askReplace = [&](const QString& target) {
        asked_.append(target);
        return ReplaceChoice(choice);
    };
    QVERIFY(platform::SetClipboardFiles({path(u"from/a.mp3"_s)}, cut));
    TShellBrowser to;
    to.SetFolder(path(u"to"_s));
    QCOMPARE(to.pasteIntoFolder(), choice != int(ReplaceChoice::Cancel));
    QCOMPARE(asked_, QStringList{path(u"to/a.mp3"_s)});
    QCOMPARE(contents(path(u"to/a.mp3"_s)), result);
    QCOMPARE(QFile::exists(path(u"from/a.mp3"_s)), sourceStays);
    // A replaced file is in the trash, never gone.
    QCOMPARE(QFile::exists(QDir(trashFiles()).filePath(u"a.mp3"_s)),
             choice == int(ReplaceChoice::Replace));
    QDir(trash()).removeRecursively();
}

void ShellVerbsTest::copyIntoItsOwnFolderGetsANewName()
{
    QVERIFY(platform::SetClipboardFiles({path(u"from/a.mp3"_s), path(u"from/Album"_s)}, false));
    TShellBrowser from;
    from.SetFolder(path(u"from"_s));
    QVERIFY(from.pasteIntoFolder());
    QVERIFY(from.pasteIntoFolder());
    QCOMPARE(contents(path(u"from/a - 副本.mp3"_s)), "aaa"_ba);
    QCOMPARE(contents(path(u"from/a - 副本 (2).mp3"_s)), "aaa"_ba);
    QCOMPARE(treeOf(path(u"from/Album - 副本"_s)), treeOf(path(u"from/Album"_s)));
    QVERIFY(asked_.isEmpty());

    QVERIFY(platform::SetClipboardFiles({path(u"from/a.mp3"_s)}, true));
    QVERIFY(from.pasteIntoFolder()); // a cut into its own folder stays as it is
    QCOMPARE(contents(path(u"from/a.mp3"_s)), "aaa"_ba);
}

void ShellVerbsTest::folderIsNeverPastedIntoItself()
{
    const QStringList before = treeOf(path(u"from"_s));
    for (const bool cut : {false, true}) {
        QVERIFY(platform::SetClipboardFiles({path(u"from/Album"_s)}, cut));
        TShellBrowser inside;
        inside.SetFolder(path(u"from/Album/CD1"_s));
        QVERIFY(!inside.pasteIntoFolder());
    }
    QCOMPARE(treeOf(path(u"from"_s)), before);
}

void ShellVerbsTest::failedCopyLeavesNothingBehind()
{
    // A pipe cannot be copied: the copy of its folder fails part-way.
    QVERIFY(::mkfifo(QFile::encodeName(path(u"from/Album/pipe"_s)).constData(), 0600) == 0);
    QVERIFY(!platform::CopyItem(path(u"from/Album"_s), path(u"to/Album"_s)));
    QCOMPARE(entriesOf(path(u"to"_s)), QStringList());
    QVERIFY(!platform::CopyItem(path(u"from/a.mp3"_s), path(u"from/Album/01.mp3"_s)));
    QCOMPARE(contents(path(u"from/Album/01.mp3"_s)), "one"_ba);
}

void ShellVerbsTest::deleteGoesToTheTrashAfterConfirmation()
{
    QStringList confirmed;
    bool answer = false;
    TShellBrowser::ui().confirmDelete = [&](const QStringList& paths) {
        confirmed = paths;
        return answer;
    };
    TShellBrowser browser;
    browser.SetFolder(path(u"from"_s));
    browser.SetObjectName(u"a.mp3"_s);
    QVERIFY(!browser.ExecuteVerb(u"delete"_s)); // the user said no
    QCOMPARE(confirmed, QStringList{path(u"from/a.mp3"_s)});
    QVERIFY(QFile::exists(path(u"from/a.mp3"_s)));

    answer = true;
    browser.MultiObjects = QStringList{u"a.mp3"_s, u"Album"_s};
    QVERIFY(browser.ExecuteVerb(u"Delete"_s));
    QVERIFY(!QFile::exists(path(u"from/a.mp3"_s)));
    QCOMPARE(contents(QDir(trashFiles()).filePath(u"a.mp3"_s)), "aaa"_ba);
    QCOMPARE(contents(QDir(trashFiles()).filePath(u"Album/01.mp3"_s)), "one"_ba);
    QVERIFY(QDir(trash()).removeRecursively());
}

void ShellVerbsTest::deleteNeedsTheCanDeleteAttribute()
{
    const QByteArray folder = QFile::encodeName(path(u"from"_s));
    QVERIFY(::chmod(folder.constData(), 0555) == 0); // read-only, even for root
    TShellBrowser browser;
    browser.SetFolder(path(u"from"_s));
    browser.SetObjectName(u"a.mp3"_s);
    QVERIFY(!browser.ExecuteVerb(u"delete"_s));
    browser.MultiObjects = QStringList{u"a.mp3"_s, u"Album"_s};
    QVERIFY(!browser.ExecuteVerb(u"delete"_s));
    browser.SetObjectName(u"a.mp3"_s);
    QVERIFY(!browser.ExecuteVerb(u"cut"_s));
    QVERIFY(platform::SetClipboardFiles({path(u"to"_s)}, false));
    QVERIFY(!browser.pasteIntoFolder());
    ::chmod(folder.constData(), 0755);
    QVERIFY(QFile::exists(path(u"from/a.mp3"_s)) && QFile::exists(path(u"from/Album"_s)));
    QVERIFY(!QFile::exists(path(u"from/to"_s)));
}

void ShellVerbsTest::openVerbs()
{
    TShellBrowser browser;
    browser.SetFolder(path(u"from"_s));
    browser.SetObjectName(u"Album"_s);
    QVERIFY(browser.ExecuteVerb(QString())); // "default" on a folder shows it
    QCOMPARE(browser.Folder(), path(u"from/Album/"_s));
    browser.SetObjectName(u"01.mp3"_s);
    QVERIFY(browser.ExecuteVerb(u"open"_s));
    QCOMPARE(asked_, QStringList{u"open "_s + path(u"from/Album/01.mp3"_s)});
    browser.SetObjectName(QString());
    QVERIFY(!browser.ExecuteVerb(u"open"_s)); // nothing to run it on
    browser.SetObjectName(u"01.mp3"_s);
    QVERIFY(!browser.ExecuteVerb(u"properties"_s));
}

MP3T_TEST_MAIN(ShellVerbsTest)
#include "ShellVerbsTest.moc"
