#include "shell/ShellControls.h"

#include "platform/ShellClipboard.h"
#include "tests/shell/ShellControlsTestSupport.h"
#include "tests/support/ItemPoint.h"
#include "tests/support/TestEnvironment.h"

#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QStandardPaths>

#include <memory>

using namespace Qt::StringLiterals;
using namespace shelltest;

class ShellTreeTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void rootedAtTheDesktop();
    void selectedFolderExpandsTheChain();
    void missingFolderRaisesExceptWhileLoading();
    void arrowKeysTellTheLinkOnceOfTheLastNode();
    void clickTellsTheLinkAfterTheShortDelay();
    void refreshTreeMergesChangesOnDisk();
    void vanishedSelectedFolderLeavesAWorkingTree();
    void hiddenFolders();
    void deleteKeyTrashesTheFolder();
    void copyAndPasteKeys();
    void contextMenuWithTheTreesOwnMenu();
    void renameByEditingTheLabel();
    void frameworkDragAndDrop();
    void dragScrollsOnlyWhileItStaysNearAnEdge();
    void filesDroppedWithPlatformDragAndDrop_data();
    void filesDroppedWithPlatformDragAndDrop();
    void rootedAtAFileSystemFolder();

private:
    // A shown tree rooted at the desktop, with that folder selected.
    TShellTree& treeAt(const QString& folder);
    std::unique_ptr<TShellTree> tree_;
    std::unique_ptr<Answers> answers_;
};

void ShellTreeTest::init()
{
    answers_ = std::make_unique<Answers>();
    makeDirs(home(u"music/a"_s));
    makeDirs(home(u"music/c/x"_s));
    makeDirs(home(u"music/e"_s));
}

void ShellTreeTest::cleanup()
{
    tree_.reset();
    answers_.reset();
    QVERIFY(QDir::home().removeRecursively() && QDir().mkpath(QDir::homePath()));
}

TShellTree& ShellTreeTest::treeAt(const QString& folder)
{
    tree_ = std::make_unique<TShellTree>();
    tree_->resize(300, 600);
    tree_->setRootedAt(SF_DESKTOP);
    tree_->setSelectedFolder(folder);
    tree_->show();
    if (!QTest::qWaitForWindowExposed(tree_.get()))
        qWarning("the tree was not exposed");
    tree_->scrollToItem(tree_->currentItem(), QAbstractItemView::PositionAtCenter);
    return *tree_;
}

void ShellTreeTest::rootedAtTheDesktop()
{
    TShellTree tree;
    QCOMPARE(tree.Version(), u"TShellTree V2.3"_s);
    tree.setRootedAt(SF_DESKTOP);
    QCOMPARE(tree.topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree.topLevelItem(0);
    QCOMPARE(root->text(0), u"桌面"_s);
    QCOMPARE(childTexts(root), (QStringList{u"计算机"_s, u"主文件夹"_s}));
    QCOMPARE(tree.currentItem(), root->child(0));
    QVERIFY(tree.GetNodePath(root->child(0)).isEmpty());
    QVERIFY(tree.SelectedFolder().isEmpty());
    QCOMPARE(tree.SpecialFolder(), SF_DRIVES);

    tree.setSelectedFolder(u"/"_s);
    QCOMPARE(tree.currentItem()->text(0), u"文件系统"_s);
    QCOMPARE(tree.GetNodePath(tree.currentItem()), u"/"_s);
    QCOMPARE(tree.SelectedFolder(), u"/"_s);
    QCOMPARE(tree.SpecialFolder(), SF_FILESYSTEMFOLDER);
    tree.setSelectedFolder(QString()); // empty text: "计算机"
    QCOMPARE(tree.currentItem(), root->child(0));
    QVERIFY(tree.GetNodePath(nullptr).isEmpty());
}

void ShellTreeTest::selectedFolderExpandsTheChain()
{
    makeDirs(home(u"deep/1/2/3/4"_s));
    TShellTree tree;
    tree.setRootedAt(SF_DESKTOP);
    tree.setSelectedFolder(home(u"deep/1/2/3/4"_s));
    QTreeWidgetItem* node = tree.currentItem();
    QCOMPARE(node->text(0), u"4"_s);
    QCOMPARE(tree.SelectedFolder(), home(u"deep/1/2/3/4/"_s));
    QCOMPARE(tree.GetNodePath(node), home(u"deep/1/2/3/4"_s));
    QStringList chain;
    for (QTreeWidgetItem* up = node->parent(); up; up = up->parent()) {
        QVERIFY2(up->isExpanded(), qPrintable(up->text(0)));
        chain.prepend(up->text(0));
    }
    QCOMPARE(chain.mid(0, 3), (QStringList{u"桌面"_s, u"计算机"_s, u"文件系统"_s}));
    QCOMPARE(chain.mid(chain.size() - 4), (QStringList{u"deep"_s, u"1"_s, u"2"_s, u"3"_s}));
    // Siblings are read too, in the folder's order: folders by name.
    tree.setSelectedFolder(home(u"music/"_s));
    QCOMPARE(childTexts(tree.currentItem()->parent()).filter(u"music"_s), QStringList{u"music"_s});
    tree.currentItem()->setExpanded(true);
    QCOMPARE(childTexts(tree.currentItem()), (QStringList{u"a"_s, u"c"_s, u"e"_s}));
}

void ShellTreeTest::missingFolderRaisesExceptWhileLoading()
{
    TShellTree tree;
    tree.setRootedAt(SF_DESKTOP);
    tree.setSelectedFolder(home(u"music/a"_s));
    const QString missing = home(u"music/missing"_s);
    QCOMPARE(errorOf([&] { tree.setSelectedFolder(missing); }),
             u"Cannot Find Folder: "_s + missing);
    QCOMPARE(tree.SelectedFolder(), home(u"music/a/"_s)); // the selection stays
    QCOMPARE(errorOf([&] { tree.setSelectedFolder(u"relative"_s); }),
             u"Cannot Find Folder: relative"_s);
    tree.setLoading(true);
    QVERIFY(errorOf([&] { tree.setSelectedFolder(missing); }).isEmpty());
    tree.setLoading(false);
}

void ShellTreeTest::arrowKeysTellTheLinkOnceOfTheLastNode()
{
    for (const QString& name : {u"s1"_s, u"s2"_s, u"s3"_s, u"s4"_s, u"s5"_s, u"s6"_s})
        makeDirs(home(u"walk/"_s + name));
    TShellLink link;
    LinkRecorder list(link);
    int changes = 0;
    link.OnChange = [&](QObject*) {
        ++changes;
    };
    TShellTree& tree = treeAt(home(u"walk/s1"_s));
    tree.setShellLink(&link);
    tree.setFocus();
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(&tree, Qt::Key_Down);
    QCOMPARE(tree.currentItem()->text(0), u"s6"_s);
    QVERIFY(list.folders.isEmpty()); // not before the user pauses
    QTRY_COMPARE_WITH_TIMEOUT(list.folders.size(), 1, 3000);
    QCOMPARE(list.folders.front(), home(u"walk/s6"_s));
    QCOMPARE(changes, 1);
}

void ShellTreeTest::clickTellsTheLinkAfterTheShortDelay()
{
    TShellLink link;
    LinkRecorder list(link);
    int clicks = 0;
    TShellTree& tree = treeAt(home(u"music/a"_s));
    tree.setShellLink(&link);
    tree.OnClick = [&](QObject* sender) {
        QCOMPARE(sender, &tree);
        ++clicks;
    };
    QTreeWidgetItem* e = tree.currentItem()->parent()->child(2);
    QCOMPARE(e->text(0), u"e"_s);
    tree.scrollToItem(e);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, testsupport::pointOn(tree, e));
    QCOMPARE(clicks, 1);
    QCOMPARE(tree.currentItem(), e);
    QVERIFY(list.folders.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(list.folders, QStringList{home(u"music/e"_s)}, 700);
    // Writing SelectedFolder tells the link at once, and once: each telling
    // makes the list read the whole folder.
    tree.setSelectedFolder(home(u"music/c"_s));
    QCOMPARE(list.folders.size(), 2);
    QCOMPARE(list.folders.back(), home(u"music/c"_s));
    tree.setSelectedFolder(home(u"music/c"_s)); // already selected: once
    QCOMPARE(list.folders.size(), 3);
}

void ShellTreeTest::refreshTreeMergesChangesOnDisk()
{
    TShellTree& tree = treeAt(home(u"music/c/x"_s));
    QTreeWidgetItem* music = tree.currentItem()->parent()->parent();
    QTreeWidgetItem* c = music->child(1);
    QCOMPARE(childTexts(music), (QStringList{u"a"_s, u"c"_s, u"e"_s}));
    QVERIFY(c->isExpanded());
    makeDirs(home(u"music/d"_s));
    makeDirs(home(u"music/c/y"_s));
    QVERIFY(QDir(home(u"music/a"_s)).removeRecursively());
    tree.RefreshTree();
    QCOMPARE(childTexts(music), (QStringList{u"c"_s, u"d"_s, u"e"_s}));
    QCOMPARE(music->child(0), c); // the same node, still expanded
    QVERIFY(c->isExpanded());
    QCOMPARE(childTexts(c), (QStringList{u"x"_s, u"y"_s}));
    QCOMPARE(tree.currentItem()->text(0), u"x"_s);
    QCOMPARE(tree.SelectedFolder(), home(u"music/c/x/"_s));
}

void ShellTreeTest::vanishedSelectedFolderLeavesAWorkingTree()
{
    TShellLink link;
    LinkRecorder list(link);
    TShellTree& tree = treeAt(home(u"music/c/x"_s));
    tree.setShellLink(&link);
    QVERIFY(QDir(home(u"music/c"_s)).removeRecursively());
    tree.RefreshTree();
    QCOMPARE(tree.SelectedFolder(), home(u"music/"_s)); // the folder around the vanished one
    QCOMPARE(childTexts(tree.currentItem()), (QStringList{u"a"_s, u"e"_s}));
    QTRY_COMPARE(list.folders, QStringList{home(u"music"_s)}); // and the list shows it
    tree.setSelectedFolder(home(u"music/e"_s));
    QCOMPARE(tree.SelectedFolder(), home(u"music/e/"_s));
}

void ShellTreeTest::hiddenFolders()
{
    makeDirs(home(u"music/.cache"_s));
    TShellTree& tree = treeAt(home(u"music/c"_s));
    QTreeWidgetItem* music = tree.currentItem()->parent();
    QVERIFY(childTexts(music).contains(u".cache"_s));
    const auto* cache =
        static_cast<TShellTreeItem*>(music->child(int(childTexts(music).indexOf(u".cache"_s))));
    QVERIFY(cache->isHidden() && !cache->isCut()); // drawn dimmed
    tree.setShowHidden(false);
    QCOMPARE(tree.SelectedFolder(), home(u"music/c/"_s)); // kept across the rebuild
    QCOMPARE(childTexts(tree.currentItem()->parent()), (QStringList{u"a"_s, u"c"_s, u"e"_s}));
}

void ShellTreeTest::deleteKeyTrashesTheFolder()
{
    QList<Operation> operations;
    TShellTree& tree = treeAt(home(u"music/c"_s));
    tree.OnOperation = recordInto(operations);
    answers_->confirm = false;
    QTest::keyClick(&tree, Qt::Key_Delete);
    QVERIFY(QFileInfo::exists(home(u"music/c"_s)));
    QCOMPARE(answers_->asked, QStringList{home(u"music/c"_s)});
    tree.setReadOnly(true);
    QTest::keyClick(&tree, Qt::Key_Delete);
    QCOMPARE(answers_->asked.size(), 1); // not even asked

    tree.setReadOnly(false);
    answers_->confirm = true;
    QTest::keyClick(&tree, Qt::Key_Delete);
    QVERIFY(!QFileInfo::exists(home(u"music/c"_s)));
    const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QVERIFY(QFileInfo::exists(trash + u"/Trash/files/c"_s)); // in the trash, not gone
    QCOMPARE(operations.size(), 1);
    QCOMPARE(operations[0].code, ShellOperation::Deleted);
    QCOMPARE(operations[0].files, QStringList{home(u"music/c"_s)});
    QCOMPARE(childTexts(tree.currentItem()->parent()), (QStringList{u"a"_s, u"e"_s}));
}

void ShellTreeTest::copyAndPasteKeys()
{
    makeFile(home(u"song.mp3"_s), 10);
    QList<Operation> operations;
    TShellTree& tree = treeAt(home(u"music/a"_s));
    tree.OnOperation = recordInto(operations);
    QTest::keyClick(&tree, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(platform::ReadClipboardFiles().paths, QStringList{home(u"music/a"_s)});

    QVERIFY(platform::SetClipboardFiles({home(u"song.mp3"_s)}, false));
    tree.setReadOnly(true);
    QTest::keyClick(&tree, Qt::Key_V, Qt::ControlModifier);
    QVERIFY(!QFile::exists(home(u"music/a/song.mp3"_s)));
    tree.setReadOnly(false);
    QTest::keyClick(&tree, Qt::Key_V, Qt::ControlModifier);
    QVERIFY(QFile::exists(home(u"music/a/song.mp3"_s)));
    QVERIFY(QFile::exists(home(u"song.mp3"_s)));
    QCOMPARE(operations.size(), 1);
    QCOMPARE(operations[0].code, ShellOperation::Pasted);
    QCOMPARE(operations[0].files, QStringList{home(u"song.mp3"_s)});
    QCOMPARE(operations[0].destination, home(u"music/a/"_s));

    // A pasted folder shows up below the node it went into.
    QVERIFY(platform::SetClipboardFiles({home(u"music/e"_s)}, false));
    QTest::keyClick(&tree, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(childTexts(tree.currentItem()), QStringList{u"e"_s});
}

void ShellTreeTest::contextMenuWithTheTreesOwnMenu()
{
    QMenu own;
    QAction* create = own.addAction(u"新建子目录"_s);
    create->setObjectName(u"MenuCreSub"_s);
    int created = 0;
    connect(create, &QAction::triggered, this, [&] { ++created; });
    QList<Operation> operations;
    TShellTree& tree = treeAt(home(u"music/c"_s));
    tree.setPopupMenu(&own);
    tree.OnOperation = recordInto(operations);
    const QPoint at = testsupport::pointOn(tree, tree.currentItem());
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, tree.viewport()->mapToGlobal(at));

    pickInMenu(u"MenuCreSub2"_s);
    QApplication::sendEvent(tree.viewport(), &click);
    QCOMPARE(created, 1);

    pickInMenu(u"cut"_s);
    QTest::keyClick(&tree, Qt::Key_F10, Qt::ShiftModifier);
    QVERIFY(static_cast<TShellTreeItem*>(tree.currentItem())->isCut());
    QCOMPARE(platform::ReadClipboardFiles().paths, QStringList{home(u"music/c"_s)});

    tree.setReadOnly(true); // no delete from the menu
    pickInMenu(u"delete"_s);
    QApplication::sendEvent(tree.viewport(), &click);
    QVERIFY(QFileInfo::exists(home(u"music/c"_s)));
    tree.setReadOnly(false);
    QApplication::sendEvent(tree.viewport(), &click);
    QVERIFY(!QFileInfo::exists(home(u"music/c"_s)));
    QCOMPARE(operations.size(), 1);
    QCOMPARE(operations[0].code, ShellOperation::Deleted);

    tree.setShellContextMenu(false); // the tree's own menu alone
    QApplication::sendEvent(tree.viewport(), &click);
    QTRY_VERIFY(own.isVisible());
    own.hide();
}

void ShellTreeTest::renameByEditingTheLabel()
{
    TShellLink link;
    LinkRecorder list(link);
    QList<Operation> operations;
    TShellTree& tree = treeAt(home(u"music/c/x"_s));
    tree.setShellLink(&link);
    tree.OnOperation = recordInto(operations);
    QTreeWidgetItem* c = tree.currentItem()->parent();
    tree.setCurrentItem(c);
    list.folders.clear();
    QTest::keyClick(&tree, Qt::Key_F2);
    auto* editor = tree.viewport()->findChild<QLineEdit*>();
    QVERIFY(editor);
    editor->setText(u"c2"_s);
    QTest::keyClick(editor, Qt::Key_Return); // the editor commits from the event loop
    QTRY_VERIFY(QFileInfo(home(u"music/c2/x"_s)).isDir());
    QCOMPARE(c->text(0), u"c2"_s);
    QCOMPARE(operations.size(), 1);
    QCOMPARE(operations[0].code, ShellOperation::Renamed);
    QCOMPARE(operations[0].files, QStringList{home(u"music/c"_s)});
    QCOMPARE(operations[0].destination, u"c2"_s);
    QCOMPARE(list.folders.back(), home(u"music/c2"_s));
    QCOMPARE(tree.GetNodePath(c->child(0)), home(u"music/c2/x"_s)); // nodes below follow

    // A name that exists is not taken: nothing is replaced.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the old editor
    tree.editItem(c);
    editor = tree.viewport()->findChild<QLineEdit*>();
    QVERIFY(editor);
    editor->setText(u"e"_s);
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(!tree.viewport()->findChild<QLineEdit*>() ||
                !tree.viewport()->findChild<QLineEdit*>()->isVisible());
    QCOMPARE(c->text(0), u"c2"_s);
    QVERIFY(QFileInfo(home(u"music/e"_s)).isDir() && QFileInfo(home(u"music/c2"_s)).isDir());
    QCOMPARE(operations.size(), 1);
}

void ShellTreeTest::dragScrollsOnlyWhileItStaysNearAnEdge()
{
    for (int i = 0; i < 60; ++i)
        makeDirs(home(u"music/a/%1"_s.arg(i, 2, 10, QLatin1Char('0'))));
    TShellTree& tree = treeAt(home(u"music/a/30"_s));
    tree.OnDragOver = [](QObject*, QObject*, int, int, bool& accept) {
        accept = true;
    };
    QMimeData data;
    const QRect viewport = tree.viewport()->rect();
    const auto dragTo = [&](QPoint at) {
        QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(tree.viewport(), &move);
    };
    QDragEnterEvent enter(viewport.center(), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(tree.viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QScrollBar* bar = tree.verticalScrollBar();
    const int top = bar->value();
    QVERIFY(top > 0 && top < bar->maximum());

    // Crossing the band at the bottom edge and going on leaves the tree still.
    dragTo(QPoint(viewport.center().x(), viewport.bottom() - 5));
    QCOMPARE(bar->value(), top);
    dragTo(viewport.center());
    QTest::qWait(250);
    QCOMPARE(bar->value(), top);

    // Staying there scrolls down, step by step; the middle stops it.
    dragTo(QPoint(viewport.center().x(), viewport.bottom() - 5));
    QTRY_VERIFY(bar->value() > top + 1);
    dragTo(viewport.center());
    const int reached = bar->value();
    QTest::qWait(250);
    QCOMPARE(bar->value(), reached);
    QDragLeaveEvent leave;
    QApplication::sendEvent(tree.viewport(), &leave);
}

void ShellTreeTest::frameworkDragAndDrop()
{
    TShellTree& tree = treeAt(home(u"music/a"_s));
    QTreeWidgetItem* e = tree.currentItem()->parent()->child(2);
    const QPoint at = testsupport::pointOn(tree, e);
    bool accept = false;
    QPoint asked;
    tree.OnDragOver = [&](QObject* sender, QObject*, int x, int y, bool& acceptIt) {
        QCOMPARE(sender, &tree);
        QVERIFY(acceptIt); // starts true
        asked = QPoint(x, y);
        acceptIt = accept;
    };
    QList<QPoint> drops;
    tree.OnDragDrop = [&](QObject*, QObject*, int x, int y) {
        drops.append(QPoint(x, y));
    };
    QMimeData data;
    data.setData(u"application/x-qabstractitemmodeldatalist"_s, QByteArray());
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;

    QDragEnterEvent refused(at, actions, &data, Qt::LeftButton, {});
    QApplication::sendEvent(tree.viewport(), &refused);
    QVERIFY(!refused.isAccepted());
    QCOMPARE(asked, at);
    QVERIFY(!tree.dropTarget());

    accept = true; // Qt sends moves and the drop only where an enter was accepted
    QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, {});
    QApplication::sendEvent(tree.viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDragMoveEvent move(at, actions, &data, Qt::LeftButton, {});
    QApplication::sendEvent(tree.viewport(), &move);
    QVERIFY(move.isAccepted());
    QCOMPARE(move.dropAction(), Qt::CopyAction); // the source removes no rows itself
    QCOMPARE(tree.dropTarget(), e);
    QVERIFY(e->data(0, Qt::BackgroundRole).isValid()); // highlighted

    QDropEvent drop(at, actions, &data, Qt::LeftButton, {});
    QApplication::sendEvent(tree.viewport(), &drop);
    QCOMPARE(drops, QList<QPoint>{at});
    QVERIFY(!tree.dropTarget());
    QVERIFY(!e->data(0, Qt::BackgroundRole).isValid());
    QCOMPARE(tree.GetNodePath(tree.itemAt(drops[0])), home(u"music/e"_s));
}

void ShellTreeTest::filesDroppedWithPlatformDragAndDrop_data()
{
    QTest::addColumn<Qt::DropAction>("action");
    QTest::addColumn<TShellOperations>("code");
    QTest::addColumn<bool>("sourceStays");
    QTest::newRow("copy") << Qt::CopyAction << ShellOperation::DroppedCopy << true;
    QTest::newRow("move") << Qt::MoveAction << ShellOperation::DroppedMove << false;
}

void ShellTreeTest::filesDroppedWithPlatformDragAndDrop()
{
    QFETCH(Qt::DropAction, action);
    QFETCH(TShellOperations, code);
    QFETCH(bool, sourceStays);
    makeFile(home(u"song.mp3"_s), 10);
    makeFile(home(u"music/e/song.mp3"_s), 3); // already there: the user is asked
    platform::ReplaceChoice answer = platform::ReplaceChoice::Skip;
    TShellBrowser::ui().askReplace = [&](const QString&) {
        return answer;
    };
    QList<Operation> operations;
    TShellTree& tree = treeAt(home(u"music/a"_s));
    tree.setOleDragDrop(true);
    tree.OnOperation = recordInto(operations);
    const QPoint a = testsupport::pointOn(tree, tree.currentItem());
    const QPoint e = testsupport::pointOn(tree, tree.currentItem()->parent()->child(2));
    std::unique_ptr<QMimeData> data(platform::CreateFilesMimeData({home(u"song.mp3"_s)}, false));

    const auto drop = [&](const QPoint& at) {
        QDragEnterEvent enter(at, action, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(tree.viewport(), &enter);
        QDropEvent dropped(at, action, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(tree.viewport(), &dropped);
        return enter.isAccepted() && dropped.isAccepted();
    };
    QVERIFY(drop(e));
    QCOMPARE(QFileInfo(home(u"music/e/song.mp3"_s)).size(), 3);
    QVERIFY(operations.isEmpty());

    QVERIFY(drop(a));
    QCOMPARE(QFileInfo(home(u"music/a/song.mp3"_s)).size(), 10);
    QCOMPARE(QFile::exists(home(u"song.mp3"_s)), sourceStays);
    QCOMPARE(operations.size(), 1);
    QCOMPARE(operations[0].code, code);
    QCOMPARE(operations[0].destination, home(u"music/a"_s));

    tree.setReadOnly(true);
    QDragEnterEvent refused(a, action, data.get(), Qt::LeftButton, {});
    QApplication::sendEvent(tree.viewport(), &refused);
    QVERIFY(!refused.isAccepted());
}

void ShellTreeTest::rootedAtAFileSystemFolder()
{
    TShellTree tree;
    tree.setRootedAtFileSystemFolder(home(u"music"_s));
    QCOMPARE(tree.RootedAt(), SF_FILESYSTEMFOLDER);
    QCOMPARE(tree.topLevelItem(0)->text(0), u"music"_s);
    QCOMPARE(childTexts(tree.topLevelItem(0)), (QStringList{u"a"_s, u"c"_s, u"e"_s}));
    tree.setSelectedFolder(home(u"music/c/x"_s));
    QCOMPARE(tree.SelectedFolder(), home(u"music/c/x/"_s));
    tree.setSelectedFolder(home(u"music"_s));
    QCOMPARE(tree.currentItem(), tree.topLevelItem(0));
    QVERIFY(!errorOf([&] { tree.setSelectedFolder(home(u"elsewhere"_s)); }).isEmpty());
    // The link's folders outside the root leave the tree where it is.
    TShellLink link;
    tree.setShellLink(&link);
    link.NotifyFolderChange(nullptr, platform::ParsePath(home(u"music/e"_s)));
    QCOMPARE(tree.SelectedFolder(), home(u"music/e/"_s));
    link.NotifyFolderChange(nullptr, platform::ParsePath(QDir::homePath()));
    QCOMPARE(tree.SelectedFolder(), home(u"music/e/"_s));
    QVERIFY(answers_->errors.isEmpty());
}

MP3T_TEST_MAIN(ShellTreeTest)
#include "ShellTreeTest.moc"
