#include "shell/ShellBrowser.h"

#include "platform/ShellClipboard.h"
#include "platform/ShellItem.h"

#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;
using platform::ItemIdList;

namespace {

void makeFile(const QString& path, qint64 size = 0)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(QByteArray(size, 'x')), size);
}

QString errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EShellBrowserError& e) {
        return e.message();
    }
    return {};
}

QStringList enumerated(TShellBrowser& browser)
{
    QStringList names;
    while (browser.Next())
        names.append(browser.ObjectName());
    names.sort();
    return names;
}

// Picks the menu action of that object name instead of showing the menu.
void pickInMenu(const QString& name)
{
    TShellBrowser::ui().execMenu = [name](QMenu& menu, const QPoint&) -> QAction* {
        for (QAction* action : menu.findChildren<QAction*>()) {
            if (action->objectName() == name)
                return action;
        }
        return nullptr;
    };
}

} // namespace

class ShellBrowserTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void newBrowser();
    void filterText_data();
    void filterText();
    void filterAppliesToFilesOnly();
    void folderIsParsedOnlyWhenItChanges();
    void folderErrors();
    void objectNameOfRootAndFile();
    void objectNameNotFound();
    void goUpWalksToTheDesktop();
    void enumeratesTheDesktop();
    void detailsOfTheCurrentItem();
    void specialFolders();
    void followsTheFolderOnDisk();
    void iconsOfTheSystemList();
    void contextMenuCopiesTheControlsItems();
    void contextMenuRespectsReadOnlyAndTheSelectHandler();
    void linkTarget();

private:
    QString path(const QString& name) const { return QDir(dir_->path()).filePath(name); }
    std::unique_ptr<QTemporaryDir> dir_;
    TShellBrowser::Ui savedUi_;
};

void ShellBrowserTest::init()
{
    savedUi_ = TShellBrowser::ui();
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(dir_->path()).mkdir(u"Music"_s));
    makeFile(path(u"SONG.MP3"_s), 1);
    makeFile(path(u"a.wav"_s), 1536);
    makeFile(path(u"song.mp3.bak"_s));
    makeFile(path(u"empty.mp3"_s));
}

void ShellBrowserTest::cleanup()
{
    TShellBrowser::ui() = savedUi_;
}

void ShellBrowserTest::newBrowser()
{
    TShellBrowser browser;
    QCOMPARE(browser.Filter(), u"*"_s);
    QVERIFY(browser.Folder().isEmpty());
    QCOMPARE(browser.GetFolderSpecialIndex(), SF_DRIVES);
    QCOMPARE(browser.Version(), u"TShellBrowser V2.3"_s);
    QVERIFY(browser.ObjectName().isEmpty());
    QCOMPARE(browser.IconNumber(), -1);
    QVERIFY(!browser.IsFolder());
}

void ShellBrowserTest::filterText_data()
{
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("read");
    QTest::newRow("empty") << QString() << u"*"_s;
    QTest::newRow("one pattern") << u"*.mp3"_s << u"*.mp3"_s;
    QTest::newRow("trailing separator") << u"*.mp3;*.wav;"_s << u"*.mp3;*.wav"_s;
    QTest::newRow("empty pattern kept") << u"*.mp3;;*.wav"_s << u"*.mp3;;*.wav"_s;
}

void ShellBrowserTest::filterText()
{
    QFETCH(QString, written);
    QFETCH(QString, read);
    TShellBrowser browser;
    browser.SetFilter(written);
    QCOMPARE(browser.Filter(), read);
}

void ShellBrowserTest::filterAppliesToFilesOnly()
{
    TShellBrowser browser;
    browser.SetFolder(dir_->path());
    browser.SetFilter(u"*.mp3;*.wav"_s);
    QCOMPARE(enumerated(browser),
             (QStringList{u"Music"_s, u"SONG.MP3"_s, u"a.wav"_s, u"empty.mp3"_s}));
    QCOMPARE(enumerated(browser).size(), 4); // a finished enumeration starts again
    browser.SetFilter(u"?.wav"_s);
    QCOMPARE(enumerated(browser), (QStringList{u"Music"_s, u"a.wav"_s}));
}

void ShellBrowserTest::folderIsParsedOnlyWhenItChanges()
{
    TShellBrowser browser;
    browser.SetFolder(dir_->path());
    QCOMPARE(browser.Folder(), dir_->path() + u"/"_s);
    browser.SetObjectName(u"a.wav"_s);
    browser.SetFolder(dir_->path() + u"/"_s); // the same folder: nothing happens
    QCOMPARE(browser.ObjectName(), u"a.wav"_s);
    QVERIFY(QDir(dir_->path()).mkdir(u"music"_s));
    browser.SetFolder(path(u"Music/"_s));
    browser.SetFolder(path(u"music/"_s)); // another folder on this file system
    QCOMPARE(browser.Folder(), path(u"music/"_s));
    browser.SetFolder(u"/"_s);
    QCOMPARE(browser.Folder(), u"/"_s);
}

void ShellBrowserTest::folderErrors()
{
    TShellBrowser browser;
    browser.SetFolder(dir_->path());
    const QString missing = path(u"missing"_s);
    QCOMPARE(errorOf([&] { browser.SetFolder(missing); }), u"Cannot Find Folder: "_s + missing);
    QCOMPARE(browser.Folder(), dir_->path() + u"/"_s);
    QCOMPARE(errorOf([&] { browser.SetFolder(path(u"a.wav"_s)); }),
             u"ShellBrowser.SetFolderIDList: Desktop.BindToObject: Could not get Folder"_s);
    QCOMPARE(errorOf([&] { browser.SetFolder(u"relative/path"_s); }),
             u"Cannot Find Folder: relative/path"_s);
}

void ShellBrowserTest::objectNameOfRootAndFile()
{
    TShellBrowser browser;
    browser.SetObjectName(u"/"_s);
    QCOMPARE(browser.GetFolderSpecialIndex(), SF_DRIVES);
    QVERIFY(browser.Folder().isEmpty());
    QCOMPARE(browser.ObjectName(), u"/"_s);
    QVERIFY(browser.IsFolder());

    browser.SetObjectName(path(u"a.wav"_s));
    QCOMPARE(browser.Folder(), dir_->path() + u"/"_s);
    QCOMPARE(browser.ObjectName(), u"a.wav"_s);
    browser.SetObjectName(path(u"Music/"_s)); // a trailing separator is dropped
    QCOMPARE(browser.ObjectName(), u"Music"_s);
    QVERIFY(browser.IsFolder());
    browser.SetObjectName(QString());
    QVERIFY(browser.ObjectName().isEmpty());
}

void ShellBrowserTest::objectNameNotFound()
{
    TShellBrowser browser;
    browser.SetFolder(dir_->path());
    QCOMPARE(errorOf([&] { browser.SetObjectName(u"nothing.mp3"_s); }),
             u"Error! Cannot find Object \"nothing.mp3\" in Folder \""_s + dir_->path() + u"/\""_s);
    TShellBrowser desktop;
    desktop.SetSpecialFolder(SF_DESKTOP);
    desktop.SetObjectName(u"计算机"_s); // a virtual item, found by its display name
    QCOMPARE(desktop.GetObjectSpecialIndex(), SF_DRIVES);
}

void ShellBrowserTest::goUpWalksToTheDesktop()
{
    TShellBrowser browser;
    browser.SetFolder(path(u"Music"_s));
    QVERIFY(browser.GoUp());
    QCOMPARE(browser.Folder(), dir_->path() + u"/"_s);
    QCOMPARE(browser.ObjectName(), u"Music"_s);
    QVERIFY(browser.OpenObject());
    QCOMPARE(browser.Folder(), path(u"Music/"_s));
    browser.SetFolder(u"/"_s);
    QVERIFY(browser.GoUp());
    QCOMPARE(browser.GetFolderSpecialIndex(), SF_DRIVES);
    QCOMPARE(browser.ObjectName(), u"/"_s);
    QVERIFY(browser.GoUp());
    QCOMPARE(browser.GetFolderSpecialIndex(), SF_DESKTOP);
    QCOMPARE(browser.GetDisplayName(), u"计算机"_s);
    QVERIFY(browser.GoUp()); // the desktop stays the desktop, without an item
    QCOMPARE(browser.GetFolderSpecialIndex(), SF_DESKTOP);
    QVERIFY(browser.GetObjectIDList().isNull());
    browser.SetFolderIDList(ItemIdList());
    QVERIFY(!browser.GoUp());
}

void ShellBrowserTest::enumeratesTheDesktop()
{
    TShellBrowser browser;
    browser.SetSpecialFolder(SF_DESKTOP);
    browser.FileSystemOnly = true;
    QStringList names;
    while (browser.Next())
        names.append(browser.GetDisplayName());
    QCOMPARE(names, (QStringList{u"计算机"_s, u"主文件夹"_s}));
    QCOMPARE(TShellBrowser::desktopDisplayName(), u"桌面"_s);
    QVERIFY(TShellBrowser::desktopIconNumber() >= 0);
}

void ShellBrowserTest::detailsOfTheCurrentItem()
{
    TShellBrowser browser;
    browser.SetFolder(dir_->path());
    const QStringList headers{u"Name"_s, u"Size"_s, u"Type"_s, u"Changed"_s, QString()};
    for (int c = 0; c < headers.size(); ++c)
        QCOMPARE(browser.GetDetail(c, true), headers[c]);
    QCOMPARE(browser.GetColumnInfo(0).width, 150);
    browser.SetObjectName(u"SONG.MP3"_s);
    QCOMPARE(browser.GetDetail(0, false), u"SONG.MP3"_s);
    QCOMPARE(browser.GetDetail(1, false), u"1 KB"_s);
    QCOMPARE(browser.GetDetail(2, false), u"MP3 audio"_s);
    QVERIFY(!browser.GetDetail(3, false).isEmpty());
    browser.SetObjectName(u"empty.mp3"_s);
    QCOMPARE(browser.GetDetail(1, false), u"0 KB"_s);
    browser.SetObjectName(u"a.wav"_s);
    QCOMPARE(browser.GetDetail(1, false), u"2 KB"_s);
    browser.SetObjectName(u"Music"_s);
    QVERIFY(browser.GetDetail(1, false).isEmpty());

    const ItemIdList music = browser.GetObjectIDList();
    browser.SetObjectName(u"a.wav"_s);
    QCOMPARE(browser.compareIDs(0, music, browser.GetObjectIDList()), -1);
    QCOMPARE(platform::SHGetPathFromIDListA(browser.GetAbsoluteIDList()), path(u"a.wav"_s));
}

void ShellBrowserTest::specialFolders()
{
    TShellBrowser browser;
    QVERIFY(!browser.SetSpecialFolder(SF_PERSONAL)); // no Documents folder yet
    QVERIFY(!browser.SetSpecialFolder(SF_BITBUCKET));
    QVERIFY(!browser.SetSpecialFolder(SF_FILESYSTEMFOLDER));
    QVERIFY(QDir::home().mkpath(u"Documents"_s));
    QVERIFY(browser.SetSpecialFolder(SF_PERSONAL));
    QCOMPARE(browser.Folder(), QDir::home().filePath(u"Documents/"_s));
    QCOMPARE(browser.GetFolderSpecialIndex(), SF_PERSONAL);
    browser.SetFolder(dir_->path());
    QCOMPARE(browser.GetFolderSpecialIndex(), SF_FILESYSTEMFOLDER);
    QVERIFY(QDir::home().removeRecursively() && QDir().mkpath(QDir::homePath()));
}

void ShellBrowserTest::followsTheFolderOnDisk()
{
    TShellBrowser browser;
    browser.SetFolder(dir_->path());
    int changes = 0;
    browser.SetOnFileChange([&](QObject* sender) {
        QCOMPARE(sender, &browser);
        ++changes;
    });
    makeFile(path(u"new.mp3"_s));
    QTRY_COMPARE(changes, 1);
    browser.SetFolder(path(u"Music"_s)); // the monitor follows the folder
    makeFile(path(u"Music/inside.mp3"_s));
    QTRY_COMPARE(changes, 2);
    browser.SetOnFileChange({});
    makeFile(path(u"Music/unseen.mp3"_s));
    browser.SetOnFileChange([&](QObject*) { ++changes; });
    QVERIFY(QDir(dir_->path()).rename(u"Music/unseen.mp3"_s, u"Music/seen.mp3"_s));
    QTRY_COMPARE(changes, 3);
}

void ShellBrowserTest::iconsOfTheSystemList()
{
    TShellBrowser browser;
    browser.SetFolder(dir_->path());
    browser.SetObjectName(u"SONG.MP3"_s);
    const int mp3 = browser.IconNumber();
    TSystemImageList small;
    QVERIFY(small.ShareImages());
    QCOMPARE(small.Size(), si_small);
    QVERIFY(!small.icon(mp3).isNull());
    QCOMPARE(small.pixmap(mp3).size(), QSize(16, 16));
    QVERIFY(small.icon(small.count()).isNull());
    TSystemImageList large;
    int changes = 0;
    large.OnChange = [&](QObject*) {
        ++changes;
    };
    large.SetSize(si_large);
    large.SetShareImages(false);
    QCOMPARE(changes, 2);
    QCOMPARE(large.pixmap(mp3).size(), QSize(32, 32));
}

void ShellBrowserTest::contextMenuCopiesTheControlsItems()
{
    QMenu controlMenu;
    QAction* refresh = controlMenu.addAction(u"刷新"_s);
    refresh->setObjectName(u"MenuItemRefresh"_s);
    QMenu* sub = controlMenu.addMenu(u"更多"_s);
    sub->menuAction()->setObjectName(u"MenuItemMore"_s);
    QAction* deep = sub->addAction(u"子项"_s);
    deep->setObjectName(u"MenuItemDeep"_s);
    QSignalSpy refreshed(refresh, &QAction::triggered);
    QSignalSpy deepTriggered(deep, &QAction::triggered);

    TShellBrowser browser;
    browser.SetFolder(dir_->path());
    browser.SetObjectName(u"a.wav"_s);
    pickInMenu(u"MenuItemRefresh2"_s);
    QVERIFY(browser.ShowContextMenu(QPoint(1, 1), &controlMenu).isEmpty());
    QCOMPARE(refreshed.count(), 1);
    browser.SetObjectName(u"a.wav"_s);
    pickInMenu(u"MenuItemDeep2"_s);
    QVERIFY(browser.ShowContextMenu(QPoint(1, 1), &controlMenu).isEmpty());
    QCOMPARE(deepTriggered.count(), 1);

    browser.SetObjectName(u"a.wav"_s);
    pickInMenu(u"copy"_s);
    QCOMPARE(browser.ShowContextMenu(QPoint(1, 1), &controlMenu), u"copy"_s);
    QCOMPARE(platform::ReadClipboardFiles().paths, QStringList{path(u"a.wav"_s)});

    browser.MultiObjects = QStringList{u"a.wav"_s, u"SONG.MP3"_s};
    pickInMenu(u"cut"_s);
    QCOMPARE(browser.ShowContextMenu(QPoint(1, 1), nullptr), u"cut"_s);
    QVERIFY(browser.MultiObjects.isEmpty());
    const platform::ClipboardFiles files = platform::ReadClipboardFiles();
    QVERIFY(files.cut);
    QCOMPARE(files.paths, (QStringList{path(u"a.wav"_s), path(u"SONG.MP3"_s)}));

    pickInMenu(u"rename"_s); // offered only with a rename handler
    browser.SetObjectName(u"a.wav"_s);
    QVERIFY(browser.ShowContextMenu(QPoint(1, 1), nullptr).isEmpty());
    int renames = 0;
    browser.OnRename = [&](QObject*) {
        ++renames;
    };
    browser.SetObjectName(u"a.wav"_s);
    QCOMPARE(browser.ShowContextMenu(QPoint(1, 1), nullptr), u"rename"_s);
    QCOMPARE(renames, 1);
}

void ShellBrowserTest::contextMenuRespectsReadOnlyAndTheSelectHandler()
{
    int confirmations = 0;
    TShellBrowser::ui().confirmDelete = [&](const QStringList&) {
        ++confirmations;
        return true;
    };
    TShellBrowser browser;
    browser.SetFolder(dir_->path());
    browser.ReadOnly = true;
    browser.SetObjectName(u"a.wav"_s);
    pickInMenu(u"delete"_s);
    QVERIFY(browser.ShowContextMenu(QPoint(1, 1), nullptr).isEmpty());
    QVERIFY(QFile::exists(path(u"a.wav"_s)));
    QCOMPARE(confirmations, 0);

    QStringList asked;
    browser.OnContextMenuSelect = [&](const QString& verb, bool& execute) {
        asked.append(verb);
        execute = asked.size() > 1;
    };
    browser.SetObjectName(u"a.wav"_s);
    QVERIFY(browser.ShowContextMenu(QPoint(1, 1), nullptr).isEmpty()); // vetoed
    browser.SetObjectName(u"a.wav"_s);
    QCOMPARE(browser.ShowContextMenu(QPoint(1, 1), nullptr),
             u"delete"_s); // allowed despite ReadOnly
    QCOMPARE(asked, (QStringList{u"delete"_s, u"delete"_s}));
    QVERIFY(!QFile::exists(path(u"a.wav"_s)));
    QCOMPARE(confirmations, 1);
}

void ShellBrowserTest::linkTarget()
{
    QVERIFY(QFile::link(path(u"Music"_s), path(u"ToMusic"_s)));
    QVERIFY(QFile::link(path(u"a.wav"_s), path(u"ToWav"_s)));
    TShellBrowser browser;
    browser.SetFolder(dir_->path());
    browser.SetObjectName(u"ToMusic"_s);
    QVERIFY(browser.IsLink() && browser.IsFolder());
    QCOMPARE(browser.GetLinkTarget(), path(u"Music"_s));
    browser.SetObjectName(u"ToWav"_s);
    QVERIFY(browser.IsLink());
    QVERIFY(browser.GetLinkTarget().isEmpty());
    browser.SetObjectName(u"a.wav"_s);
    QVERIFY(browser.GetLinkTarget().isEmpty());
}

MP3T_TEST_MAIN(ShellBrowserTest)
#include "ShellBrowserTest.moc"
