#include "shell/ShellControls.h"

#include "platform/ShellClipboard.h"
#include "tests/shell/ShellControlsTestSupport.h"
#include "tests/support/ItemPoint.h"
#include "tests/support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QStandardPaths>

#include <memory>

using namespace Qt::StringLiterals;
using namespace shelltest;

class ShellListTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void newListShowsTheComputer();
    void pathEndsInASeparator();
    void missingPathRaisesOrShowsABoxWhileLoading();
    void filterListsFoldersAndMatchingFiles();
    void hiddenItems();
    void columnsFromTheBrowser();
    void detailsFalseShowsOneColumn();
    void headerClicksSortBySize();
    void anotherFolderIsListedInTheChosenOrder();
    void burstOfChangesIsMergedOnce();
    void changesWaitWhileHeld();
    void shownFolderVanishing();
    void keysOpenAndGoUp();
    void deleteKeyTrashesTheSelection();
    void copyAndPasteKeys();
    void cutItemsThatVanishAreReported();
    void renameByEditingTheCaption();
    void contextMenus();
    void doubleClick();
    void addItemVeto();
    void filesDroppedWithPlatformDragAndDrop();

private:
    // A shown list of that folder with Filter "*".
    TShellList& listAt(const QString& folder);
    std::unique_ptr<TShellList> list_;
    std::unique_ptr<Answers> answers_;
};

void ShellListTest::init()
{
    answers_ = std::make_unique<Answers>();
    makeDirs(home(u"music/Sub"_s));
    makeFile(home(u"music/song.mp3"_s), 3000);
    makeFile(home(u"music/Cover.jpg"_s), 1000);
    makeFile(home(u"music/big.mp3"_s), 9000);
}

void ShellListTest::cleanup()
{
    list_.reset();
    answers_.reset();
    QVERIFY(QDir::home().removeRecursively() && QDir().mkpath(QDir::homePath()));
}

TShellList& ShellListTest::listAt(const QString& folder)
{
    list_ = std::make_unique<TShellList>();
    list_->resize(500, 400);
    list_->setPath(folder);
    list_->show();
    if (!QTest::qWaitForWindowExposed(list_.get()))
        qWarning("the list was not exposed");
    return *list_;
}

void ShellListTest::newListShowsTheComputer()
{
    TShellList list;
    QCOMPARE(list.Version(), u"TShellList V2.3"_s);
    list.show();
    QVERIFY(list.Path().isEmpty());
    QCOMPARE(list.SpecialFolder(), SF_DRIVES);
    QVERIFY(captions(list).contains(u"文件系统"_s));
}

void ShellListTest::pathEndsInASeparator()
{
    TShellList& list = listAt(home(u"music"_s));
    QCOMPARE(list.Path(), home(u"music/"_s));
    QCOMPARE(list.SpecialFolder(), SF_FILESYSTEMFOLDER);
    int populated = 0;
    list.OnPopulated = [&](QObject*) {
        ++populated;
    };
    list.setPath(home(u"music/"_s)); // the same folder is read again
    QCOMPARE(populated, 1);
}

void ShellListTest::missingPathRaisesOrShowsABoxWhileLoading()
{
    TShellLink link;
    LinkRecorder tree(link);
    TShellList list;
    list.setShellLink(&link);
    const QString missing = home(u"missing"_s);
    list.setLoading(true);
    list.setPath(home(u"music"_s));
    list.setPath(missing);
    QCOMPARE(answers_->errors, QStringList{u"Cannot find path: "_s + missing});
    QCOMPARE(list.topLevelItemCount(), 0); // nothing is read while loading
    list.setLoading(false);
    QCOMPARE(list.Path(), home(u"music/"_s));
    QCOMPARE(list.topLevelItemCount(), 4);
    QCOMPARE(errorOf([&] { list.setPath(missing); }), u"Cannot Find Folder: "_s + missing);
    QCOMPARE(answers_->errors.size(), 1);
    QCOMPARE(list.Path(), home(u"music/"_s));
    QCOMPARE(tree.folders.back(), home(u"music"_s));
}

void ShellListTest::filterListsFoldersAndMatchingFiles()
{
    TShellList& list = listAt(home(u"music"_s));
    list.setFilter(u"*.mp3"_s);
    QCOMPARE(captions(list), (QStringList{u"Sub"_s, u"big.mp3"_s, u"song.mp3"_s}));
    list.setFilter(u"*.JPG;*.txt"_s);
    QCOMPARE(captions(list), (QStringList{u"Sub"_s, u"Cover.jpg"_s}));
}

void ShellListTest::hiddenItems()
{
    makeFile(home(u"music/.hidden.mp3"_s));
    TShellList& list = listAt(home(u"music"_s));
    QVERIFY(captions(list).contains(u".hidden.mp3"_s));
    list.setShowHidden(false);
    QVERIFY(!captions(list).contains(u".hidden.mp3"_s));
    QCOMPARE(list.topLevelItemCount(), 4);
}

void ShellListTest::columnsFromTheBrowser()
{
    TShellList& list = listAt(home(u"music"_s));
    const QTreeWidgetItem* header = list.headerItem();
    QCOMPARE(list.columnCount(), 4);
    QCOMPARE((QStringList{header->text(0), header->text(1), header->text(2), header->text(3)}),
             (QStringList{u"Name"_s, u"Size"_s, u"Type"_s, u"Changed"_s}));
    QCOMPARE(list.columnWidth(0), 150);
    QCOMPARE(list.columnWidth(1), 60);
    const QTreeWidgetItem* song = list.findItems(u"song.mp3"_s, Qt::MatchExactly).value(0);
    QVERIFY(song);
    QCOMPARE(song->text(1), u"3 KB"_s);
    QCOMPARE(song->text(2), u"MP3 audio"_s);
    QVERIFY(!song->text(3).isEmpty());
    QVERIFY(!song->icon(0).isNull());
    QCOMPARE(song->data(1, Qt::TextAlignmentRole).toInt() & Qt::AlignRight, int(Qt::AlignRight));
    // Widths the user gave are kept from one folder to the next.
    list.setColumnWidth(0, 300);
    list.setPath(home(u"music/Sub"_s));
    QCOMPARE(list.columnWidth(0), 300);
}

void ShellListTest::detailsFalseShowsOneColumn()
{
    TShellList& list = listAt(home(u"music"_s));
    list.setDetails(false);
    QCOMPARE(list.columnCount(), 1);
    QCOMPARE(list.headerItem()->text(0), u"Name"_s);
    QVERIFY(list.topLevelItem(0)->text(1).isEmpty());
    list.setDetails(true);
    QCOMPARE(list.columnCount(), 4);
}

void ShellListTest::headerClicksSortBySize()
{
    TShellList& list = listAt(home(u"music"_s));
    QCOMPARE(captions(list), (QStringList{u"Sub"_s, u"big.mp3"_s, u"Cover.jpg"_s, u"song.mp3"_s}));
    QHeaderView* header = list.header();
    const auto click = [&](int column) {
        const QPoint at(header->sectionViewportPosition(column) + 10, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    };
    click(1);
    QCOMPARE(captions(list), (QStringList{u"Sub"_s, u"Cover.jpg"_s, u"song.mp3"_s, u"big.mp3"_s}));
    click(1);
    QCOMPARE(list.SortOrder(), Qt::DescendingOrder);
    QCOMPARE(captions(list), (QStringList{u"big.mp3"_s, u"song.mp3"_s, u"Cover.jpg"_s, u"Sub"_s}));
    click(1);
    QCOMPARE(list.SortOrder(), Qt::AscendingOrder);
    QCOMPARE(captions(list).front(), u"Sub"_s);
    click(0);
    QCOMPARE(list.SortColumn(), 0);
    QCOMPARE(captions(list), (QStringList{u"Sub"_s, u"big.mp3"_s, u"Cover.jpg"_s, u"song.mp3"_s}));
}

void ShellListTest::anotherFolderIsListedInTheChosenOrder()
{
    makeDirs(home(u"album/Scans"_s));
    makeFile(home(u"album/track10.mp3"_s), 2000);
    makeFile(home(u"album/Track2.mp3"_s), 2000);
    makeFile(home(u"album/track1.mp3"_s), 5000);
    makeFile(home(u"album/a.jpg"_s), 100);
    TShellList& list = listAt(home(u"album"_s));
    // Folders first, then numbers by value, case ignored.
    QCOMPARE(captions(list), (QStringList{u"Scans"_s, u"a.jpg"_s, u"track1.mp3"_s, u"Track2.mp3"_s,
                                          u"track10.mp3"_s}));
    list.sortItemsBy(1, Qt::DescendingOrder);
    list.setPath(home(u"music"_s));
    QCOMPARE(list.header()->sortIndicatorSection(), 1);
    QCOMPARE(list.header()->sortIndicatorOrder(), Qt::DescendingOrder);
    QCOMPARE(captions(list), (QStringList{u"big.mp3"_s, u"song.mp3"_s, u"Cover.jpg"_s, u"Sub"_s}));
    // Equal sizes keep the order by name, reversed with the rest.
    list.setPath(home(u"album"_s));
    QCOMPARE(captions(list), (QStringList{u"track1.mp3"_s, u"track10.mp3"_s, u"Track2.mp3"_s,
                                          u"a.jpg"_s, u"Scans"_s}));
}

// While a batch writes the folder's files, the list does not read the
// folder again; what changed is merged once the hold ends.
void ShellListTest::changesWaitWhileHeld()
{
    makeDirs(home(u"incoming"_s));
    makeFile(home(u"incoming/new.mp3"_s), 100);
    TShellList& list = listAt(home(u"music"_s));
    bool held = true;
    list.setRefreshHeld([&held] { return held; });
    const int before = list.topLevelItemCount();
    QVERIFY(QFile::copy(home(u"incoming/new.mp3"_s), home(u"music/new.mp3"_s)));
    QTest::qWait(1200); // past the quiet time of a merge
    QCOMPARE(list.topLevelItemCount(), before);
    held = false;
    QTRY_COMPARE_WITH_TIMEOUT(list.topLevelItemCount(), before + 1, 5000);
    list.setRefreshHeld({});
}

void ShellListTest::burstOfChangesIsMergedOnce()
{
    makeDirs(home(u"incoming"_s));
    for (int i = 0; i < 10; ++i)
        makeFile(home(u"incoming/%1.mp3"_s.arg(i)), 100);
    TShellList& list = listAt(home(u"music"_s));
    QSignalSpy merged(list.model(), &QAbstractItemModel::rowsInserted);
    QElapsedTimer sinceLast;
    for (int i = 0; i < 10; ++i) {
        QVERIFY(QFile::copy(home(u"incoming/%1.mp3"_s.arg(i)), home(u"music/%1.mp3"_s.arg(i))));
        sinceLast.start();
    }
    QTRY_COMPARE_WITH_TIMEOUT(list.topLevelItemCount(), 14, 5000);
    QCOMPARE(merged.count(), 1);
    QVERIFY2(sinceLast.elapsed() >= 450, qPrintable(QString::number(sinceLast.elapsed())));
    QTest::qWait(700); // no second merge follows
    QCOMPARE(merged.count(), 1);
    QCOMPARE(captions(list).mid(0, 4),
             (QStringList{u"Sub"_s, u"big.mp3"_s, u"Cover.jpg"_s, u"song.mp3"_s}));
}

void ShellListTest::shownFolderVanishing()
{
    makeFile(home(u"music/Sub/inner.mp3"_s));
    TShellList& list = listAt(home(u"music/Sub"_s));
    QCOMPARE(captions(list), QStringList{u"inner.mp3"_s});
    QVERIFY(QDir(home(u"music/Sub"_s)).removeRecursively());
    QTRY_COMPARE(list.topLevelItemCount(), 0);
    QVERIFY(list.Populate()); // still a list, showing nothing
    QCOMPARE(list.topLevelItemCount(), 0);
    QVERIFY(answers_->errors.isEmpty());
    list.setPath(home(u"music"_s));
    QCOMPARE(list.topLevelItemCount(), 3);
}

void ShellListTest::keysOpenAndGoUp()
{
    TShellLink link;
    LinkRecorder tree(link);
    TShellList& list = listAt(home(u"music"_s));
    list.setShellLink(&link);
    list.setCurrentItem(list.topLevelItem(0)); // Sub
    QTest::keyClick(&list, Qt::Key_Return);
    QCOMPARE(list.Path(), home(u"music/Sub/"_s));
    QCOMPARE(tree.folders, QStringList{home(u"music/Sub"_s)});
    QTest::keyClick(&list, Qt::Key_Backspace);
    QCOMPARE(list.Path(), home(u"music/"_s));
    QCOMPARE(tree.folders.back(), home(u"music"_s));
    QCOMPARE(list.topLevelItemCount(), 4);

    QList<QString> opened;
    TShellBrowser::ui().openFile = [&](const QString& path) {
        opened.append(path);
        return true;
    };
    list.setCurrentItem(list.findItems(u"song.mp3"_s, Qt::MatchExactly).value(0));
    QTest::keyClick(&list, Qt::Key_Return);
    QCOMPARE(opened, QList<QString>{home(u"music/song.mp3"_s)});
    QCOMPARE(list.Path(), home(u"music/"_s));
}

void ShellListTest::deleteKeyTrashesTheSelection()
{
    TShellLink link;
    LinkRecorder tree(link);
    QList<Operation> operations;
    TShellList& list = listAt(home(u"music"_s));
    list.setShellLink(&link);
    list.OnOperation = recordInto(operations);
    list.findItems(u"song.mp3"_s, Qt::MatchExactly).value(0)->setSelected(true);
    list.findItems(u"Cover.jpg"_s, Qt::MatchExactly).value(0)->setSelected(true);
    list.setReadOnly(true);
    QTest::keyClick(&list, Qt::Key_Delete);
    QVERIFY(answers_->asked.isEmpty());
    list.setReadOnly(false);
    answers_->confirm = false;
    QTest::keyClick(&list, Qt::Key_Delete);
    QCOMPARE(list.topLevelItemCount(), 4);
    answers_->confirm = true;
    QTest::keyClick(&list, Qt::Key_Delete);
    QVERIFY(!QFile::exists(home(u"music/song.mp3"_s)));
    QCOMPARE(captions(list), (QStringList{u"Sub"_s, u"big.mp3"_s}));
    QCOMPARE(operations.size(), 1);
    QCOMPARE(operations[0].code, ShellOperation::Deleted);
    QCOMPARE(operations[0].files,
             (QStringList{home(u"music/Cover.jpg"_s), home(u"music/song.mp3"_s)}));
    QCOMPARE(tree.messages.back(), int(TShellLink::RefreshSelection));
    const QDir trash(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                     u"/Trash/files"_s);
    QVERIFY(trash.exists(u"song.mp3"_s) && trash.exists(u"Cover.jpg"_s));
}

void ShellListTest::copyAndPasteKeys()
{
    QList<Operation> operations;
    TShellList& list = listAt(home(u"music"_s));
    list.OnOperation = recordInto(operations);
    list.setCurrentItem(list.findItems(u"song.mp3"_s, Qt::MatchExactly).value(0));
    QTest::keyClick(&list, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(platform::ReadClipboardFiles().paths, QStringList{home(u"music/song.mp3"_s)});
    QTest::keyClick(&list, Qt::Key_V, Qt::ControlModifier);
    const QString copy = home(u"music/song - 副本.mp3"_s);
    QVERIFY(QFile::exists(copy)); // a copy beside it, never over it
    QCOMPARE(operations.size(), 1);
    QCOMPARE(operations[0].code, ShellOperation::Pasted);
    QCOMPARE(operations[0].destination, home(u"music/"_s));
    QTRY_VERIFY(captions(list).contains(u"song - 副本.mp3"_s)); // merged in
}

void ShellListTest::cutItemsThatVanishAreReported()
{
    QList<Operation> operations;
    TShellList& list = listAt(home(u"music"_s));
    list.OnOperation = recordInto(operations);
    QTreeWidgetItem* song = list.findItems(u"song.mp3"_s, Qt::MatchExactly).value(0);
    list.setCurrentItem(song);
    QTest::keyClick(&list, Qt::Key_X, Qt::ControlModifier);
    QVERIFY(static_cast<TShellListItem*>(song)->isCut());
    QVERIFY(platform::ReadClipboardFiles().cut);
    QVERIFY(QFile::rename(home(u"music/song.mp3"_s), home(u"song.mp3"_s))); // pasted elsewhere
    QTRY_COMPARE(operations.size(), 1);
    QCOMPARE(operations[0].code, ShellOperation::CutItemsVanished);
    QCOMPARE(operations[0].files, QStringList{home(u"music/song.mp3"_s)});
    QCOMPARE(list.topLevelItemCount(), 3);
}

void ShellListTest::renameByEditingTheCaption()
{
    QList<Operation> operations;
    TShellList& list = listAt(home(u"music"_s));
    list.OnOperation = recordInto(operations);
    QTreeWidgetItem* song = list.findItems(u"song.mp3"_s, Qt::MatchExactly).value(0);
    list.setCurrentItem(song);
    QTest::keyClick(&list, Qt::Key_F2);
    auto* editor = list.viewport()->findChild<QLineEdit*>();
    QVERIFY(editor);
    editor->setText(u"歌.mp3"_s);
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(song->text(0), u"歌.mp3"_s);
    QVERIFY(QFile::exists(home(u"music/歌.mp3"_s)));
    QCOMPARE(operations.size(), 1);
    QCOMPARE(operations[0].code, ShellOperation::Renamed);
    QCOMPARE(operations[0].files, QStringList{home(u"music/song.mp3"_s)});
    QCOMPARE(operations[0].destination, u"歌.mp3"_s);
    list.setReadOnly(true);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    list.editItem(song);
    QVERIFY(!list.viewport()->findChild<QLineEdit*>());
}

void ShellListTest::contextMenus()
{
    QMenu background;
    background.addAction(u"刷新"_s);
    QMenu own;
    QAction* play = own.addAction(u"播放"_s);
    play->setObjectName(u"MenuPlay"_s);
    int played = 0;
    connect(play, &QAction::triggered, this, [&] { ++played; });
    QList<Operation> operations;
    TShellList& list = listAt(home(u"music"_s));
    list.setBackgroundPopupMenu(&background);
    list.setPopupMenu(&own);
    list.OnOperation = recordInto(operations);
    const auto rightClick = [&](const QPoint& at) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, list.viewport()->mapToGlobal(at));
        QApplication::sendEvent(list.viewport(), &event);
    };

    rightClick(QPoint(10, list.viewport()->height() - 5)); // below the rows
    QTRY_VERIFY(background.isVisible());
    background.hide();

    QTreeWidgetItem* song = list.findItems(u"song.mp3"_s, Qt::MatchExactly).value(0);
    list.setCurrentItem(song);
    pickInMenu(u"MenuPlay2"_s);
    rightClick(testsupport::pointOn(list, song));
    QCOMPARE(played, 1);

    pickInMenu(u"delete"_s);
    list.setReadOnly(true);
    QTest::keyClick(&list, Qt::Key_F10, Qt::ShiftModifier);
    QVERIFY(QFile::exists(home(u"music/song.mp3"_s)));
    list.setReadOnly(false);
    QTest::keyClick(&list, Qt::Key_F10, Qt::ShiftModifier);
    QVERIFY(!QFile::exists(home(u"music/song.mp3"_s)));
    QCOMPARE(operations.size(), 1);
    QCOMPARE(operations[0].code, ShellOperation::Deleted);
    QVERIFY(!captions(list).contains(u"song.mp3"_s));

    pickInMenu(u"open"_s); // a folder opened from the menu is shown
    list.setCurrentItem(list.topLevelItem(0));
    rightClick(testsupport::pointOn(list, list.topLevelItem(0)));
    QCOMPARE(list.Path(), home(u"music/Sub/"_s));
}

void ShellListTest::doubleClick()
{
    TShellList& list = listAt(home(u"music"_s));
    const QPoint sub = testsupport::pointOn(list, list.topLevelItem(0));
    int handled = 0;
    list.OnDblClick = [&](QObject*) {
        ++handled;
    };
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, sub);
    QCOMPARE(handled, 1);
    QCOMPARE(list.Path(), home(u"music/"_s));
    list.OnDblClick = {};
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, sub);
    QCOMPARE(list.Path(), home(u"music/Sub/"_s));
}

void ShellListTest::addItemVeto()
{
    QStringList events;
    TShellList list;
    list.OnCreateColumns = [&](QObject*) {
        events.append(u"columns"_s);
    };
    list.OnAddItem = [&](QObject*, QTreeWidgetItem* item, bool& canAdd) {
        events.append(item->text(0) + u' ' + item->text(1));
        canAdd = !item->text(0).endsWith(u".jpg"_s);
    };
    list.OnPopulated = [&](QObject*) {
        events.append(u"populated"_s);
    };
    list.setPath(home(u"music"_s));
    QCOMPARE(events.front(), u"columns"_s);
    QCOMPARE(events.back(), u"populated"_s);
    events.sort(); // the folder's order on disk is its own
    QCOMPARE(events, (QStringList{u"Cover.jpg 1 KB"_s, u"Sub "_s, u"big.mp3 9 KB"_s, u"columns"_s,
                                  u"populated"_s, u"song.mp3 3 KB"_s}));
    QCOMPARE(captions(list), (QStringList{u"Sub"_s, u"big.mp3"_s, u"song.mp3"_s}));
}

void ShellListTest::filesDroppedWithPlatformDragAndDrop()
{
    makeFile(home(u"new.mp3"_s), 10);
    QList<Operation> operations;
    TShellList& list = listAt(home(u"music"_s));
    list.OnOperation = recordInto(operations);
    std::unique_ptr<QMimeData> data(platform::CreateFilesMimeData({home(u"new.mp3"_s)}, false));
    const auto drop = [&](const QPoint& at) {
        QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(list.viewport(), &enter);
        QDropEvent dropped(at, Qt::CopyAction, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(list.viewport(), &dropped);
        return enter.isAccepted();
    };
    const QPoint sub = testsupport::pointOn(list, list.topLevelItem(0));
    QVERIFY(!drop(sub)); // only with OleDragDrop
    list.setOleDragDrop(true);
    QVERIFY(drop(sub));
    QVERIFY(QFile::exists(home(u"music/Sub/new.mp3"_s)));
    QVERIFY(drop(QPoint(10, list.viewport()->height() - 5)));
    QVERIFY(QFile::exists(home(u"music/new.mp3"_s)));
    QCOMPARE(operations.size(), 2);
    QCOMPARE(operations[0].code, ShellOperation::DroppedCopy);
    QCOMPARE(operations[0].destination, home(u"music/Sub"_s));
    QCOMPARE(operations[1].destination, home(u"music/"_s));
    QTRY_VERIFY(captions(list).contains(u"new.mp3"_s));
}

MP3T_TEST_MAIN(ShellListTest)
#include "ShellListTest.moc"
