#include "shell/DirMon.h"
#include "shell/ShellControls.h"
#include "shell/ShellStrings.h"

#include "platform/FileTree.h"
#include "platform/NativePath.h"
#include "platform/ShellItem.h"
#include "platform/Trash.h"
#include "tests/shell/ShellControlsTestSupport.h"
#include "tests/support/NativeNameFiles.h"
#include "tests/support/TestEnvironment.h"

#include <QTemporaryDir>

#include <memory>

using namespace Qt::StringLiterals;
using namespace nativetest;

// The shell controls on files named in GBK, as Windows archives unpack them:
// every name shown or handed on must lead back to the same bytes.
class NonUtf8NamesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void browserNamesTheFileByItsBytes_data();
    void browserNamesTheFileByItsBytes();
    void pathParsesBackToTheSameBytes_data();
    void pathParsesBackToTheSameBytes();
    void listShowsTheFileAndItsColumns();
    void browserRenames_data();
    void browserRenames();
    void deleteTrashesTheFile();
    void clipboardCopyAndPaste_data();
    void clipboardCopyAndPaste();
    void linkToAFolderNamedInGbk();
    void monitorWatchesAFolderNamedInGbk();

private:
    QByteArray at(const QByteArray& relative) const { return root_ + '/' + relative; }
    std::unique_ptr<testsupport::TemporaryFolder> dir_;
    QByteArray root_;
    QByteArray song_ = gbk(u"老歌.mp3"_s);
    QByteArray folder_ = gbk(u"光良"_s);
};

void NonUtf8NamesTest::init()
{
    dir_ = std::make_unique<testsupport::TemporaryFolder>();
    QVERIFY(dir_->isValid());
    root_ = native(dir_->path());
    QVERIFY(makeFileAt(at(song_), QByteArray(3000, 'x')));
    QVERIFY(makeFolderAt(at(folder_)) &&
            makeFileAt(at(folder_ + '/' + song_), QByteArray(3000, 'i')));
}

// Qt cannot remove what it cannot name: the test's files go by their bytes.
void NonUtf8NamesTest::cleanup()
{
    platform::RemoveTree(root_.toStdString());
    platform::RemoveTree(platform::NativePath(platform::HomeTrashPath()));
}

void NonUtf8NamesTest::browserNamesTheFileByItsBytes_data()
{
    QTest::addColumn<QByteArray>("folder"); // relative; empty: the test's folder
    QTest::newRow("UTF-8 folder") << QByteArray();
    QTest::newRow("GBK folder") << folder_;
}

void NonUtf8NamesTest::browserNamesTheFileByItsBytes()
{
    QFETCH(QByteArray, folder);
    const QByteArray path = folder.isEmpty() ? root_ : at(folder);
    TShellBrowser browser;
    browser.SetFolder(decoded(path));
    QByteArrayList names;
    while (browser.Next()) {
        QCOMPARE(native(browser.ObjectName()), native(browser.GetDisplayName()));
        names.append(native(browser.GetDisplayName()));
    }
    std::sort(names.begin(), names.end());
    QCOMPARE(names, namesIn(path));
    browser.SetObjectName(decoded(song_));
    QCOMPARE(browser.GetDetail(1, false), u"3 KB"_s);
    QCOMPARE(browser.GetDetail(2, false), u"MP3 audio"_s);
}

void NonUtf8NamesTest::pathParsesBackToTheSameBytes_data()
{
    QTest::addColumn<QByteArray>("relative");
    QTest::newRow("file") << song_;
    QTest::newRow("folder") << folder_;
    QTest::newRow("file in the folder") << folder_ + '/' + song_;
}

void NonUtf8NamesTest::pathParsesBackToTheSameBytes()
{
    QFETCH(QByteArray, relative);
    const platform::ItemIdList parsed = platform::ParsePath(decoded(at(relative)));
    QVERIFY(!parsed.isNull());
    QCOMPARE(native(platform::SHGetPathFromIDListA(parsed)), at(relative));
    TShellBrowser browser;
    browser.SetObjectName(decoded(at(relative)));
    QCOMPARE(native(browser.Folder() + browser.ObjectName()), at(relative));
}

void NonUtf8NamesTest::listShowsTheFileAndItsColumns()
{
    TShellList list;
    list.setPath(dir_->path());
    const QTreeWidgetItem* row = nullptr;
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        if (native(list.topLevelItem(i)->text(0)) == song_)
            row = list.topLevelItem(i);
    }
    QVERIFY(row);
    QCOMPARE(row->text(1), u"3 KB"_s);
    QCOMPARE(row->text(2), u"MP3 audio"_s);
    QVERIFY(!row->text(3).isEmpty());
    QVERIFY(!row->icon(0).isNull());
}

void NonUtf8NamesTest::browserRenames_data()
{
    QTest::addColumn<QByteArray>("newName");
    QTest::newRow("to another GBK name") << gbk(u"新歌.mp3"_s);
    QTest::newRow("to UTF-8") << u"老歌.mp3"_s.toUtf8();
}

void NonUtf8NamesTest::browserRenames()
{
    QFETCH(QByteArray, newName);
    TShellBrowser browser;
    browser.SetFolder(dir_->path());
    browser.SetObjectName(decoded(song_));
    bool ok = false;
    QCOMPARE(native(browser.RenameObject(decoded(newName), &ok)), newName);
    QVERIFY(ok);
    QVERIFY(!existsAt(at(song_)));
    QCOMPARE(readAt(at(newName)).size(), 3000);
}

void NonUtf8NamesTest::deleteTrashesTheFile()
{
    const shelltest::Answers answers;
    TShellBrowser browser;
    browser.SetFolder(dir_->path());
    browser.SetObjectName(decoded(song_));
    QVERIFY(browser.ExecuteVerb(u"delete"_s));
    QVERIFY(!existsAt(at(song_)));
    QCOMPARE(readAt(native(platform::HomeTrashPath()) + "/files/" + song_).size(), 3000);
    // The question names the file as it reads, not as escaped bytes.
    QCOMPARE(answers.asked.size(), 1);
    QVERIFY(ShellStrings::ConfirmDelete(answers.asked).contains(u"“老歌.mp3”"_s));
}

void NonUtf8NamesTest::clipboardCopyAndPaste_data()
{
    QTest::addColumn<QString>("verb");
    QTest::newRow("copy") << u"copy"_s;
    QTest::newRow("cut") << u"cut"_s;
}

void NonUtf8NamesTest::clipboardCopyAndPaste()
{
    QFETCH(QString, verb);
    QVERIFY(makeFolderAt(at("to")));
    TShellBrowser from;
    from.SetFolder(dir_->path());
    from.MultiObjects = QStringList{decoded(song_), decoded(folder_)};
    QVERIFY(from.ExecuteVerb(verb));
    TShellBrowser to;
    to.SetFolder(decoded(at("to")));
    QVERIFY(to.pasteIntoFolder());
    QCOMPARE(namesIn(at("to")), (QByteArrayList{folder_, song_}));
    QCOMPARE(readAt(at("to/" + folder_ + '/' + song_)), QByteArray(3000, 'i'));
    QCOMPARE(existsAt(at(song_)), verb == u"copy"_s);
}

void NonUtf8NamesTest::linkToAFolderNamedInGbk()
{
    QVERIFY(::symlink(folder_.constData(), at("link").constData()) == 0);
    TShellBrowser browser;
    browser.SetFolder(dir_->path());
    browser.SetObjectName(u"link"_s);
    QCOMPARE(native(browser.GetLinkTarget()), at(folder_));
}

void NonUtf8NamesTest::monitorWatchesAFolderNamedInGbk()
{
    TDirMon monitor;
    int changes = 0;
    monitor.OnDirChange = [&changes](QObject*) {
        ++changes;
    };
    monitor.SetDirectory(decoded(at(folder_)));
    QVERIFY(monitor.Running());
    QVERIFY(makeFileAt(at(folder_ + "/new.mp3"), "new"));
    QTRY_VERIFY_WITH_TIMEOUT(changes > 0, 5000);
}

MP3T_TEST_MAIN(NonUtf8NamesTest)
#include "NonUtf8NamesTest.moc"
