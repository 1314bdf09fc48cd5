#include "shell/ShellControls.h"

#include "tests/shell/ShellControlsTestSupport.h"
#include "tests/support/ItemPoint.h"
#include "tests/support/TestEnvironment.h"

#include <QSplitter>

#include <memory>

using namespace Qt::StringLiterals;
using namespace shelltest;

// The folder tree and the shell file list joined by a link, as the main window
// joins them.
class ShellControlsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void loadingAsTheMainWindowDoes();
    void treeSelectionIsShownByTheList();
    void listPathIsSelectedInTheTree();
    void ctrlAInTheTreeSelectsTheWholeList();
    void refreshKeysReachTheOtherControl();
    void folderDeletedInTheListLeavesTheTree();
    void shownFolderVanishingOnDisk();
    void disabledLinkPassesNothingOn();

private:
    void build();
    std::unique_ptr<Answers> answers_;
    std::unique_ptr<QSplitter> window_;
    TShellLink* link_ = nullptr;
    TShellTree* tree_ = nullptr;
    TShellList* list_ = nullptr;
    int changes_ = 0;
};

void ShellControlsTest::init()
{
    answers_ = std::make_unique<Answers>();
    makeDirs(home(u"music/Sub/deeper"_s));
    makeDirs(home(u"music/Other"_s));
    makeFile(home(u"music/song.mp3"_s), 100);
    makeFile(home(u"music/Cover.jpg"_s), 100);
    changes_ = 0;
}

void ShellControlsTest::cleanup()
{
    window_.reset();
    answers_.reset();
    QVERIFY(QDir::home().removeRecursively() && QDir().mkpath(QDir::homePath()));
}

// The main window's designed values, applied while the form loads.
void ShellControlsTest::build()
{
    window_ = std::make_unique<QSplitter>();
    link_ = new TShellLink(window_.get());
    tree_ = new TShellTree(window_.get());
    list_ = new TShellList(window_.get());
    tree_->setLoading(true);
    list_->setLoading(true);
    tree_->setShellLink(link_);
    tree_->setRootedAt(SF_DESKTOP);
    tree_->setSelectedFolder(QDir::homePath() + u'/');
    tree_->setFileSystemOnly(true);
    tree_->setFilter(u"*"_s);
    list_->setShellLink(link_);
    list_->setFilter(u"*.mp3"_s);
    list_->setPath(QDir::homePath() + u'/');
    list_->setFileSystemOnly(true);
    tree_->setLoading(false);
    list_->setLoading(false);
    link_->OnChange = [this](QObject* sender) {
        QCOMPARE(sender, link_);
        ++changes_;
    };
    window_->resize(700, 700);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

void ShellControlsTest::loadingAsTheMainWindowDoes()
{
    build();
    QCOMPARE(tree_->SelectedFolder(), QDir::homePath() + u'/');
    QCOMPARE(list_->Path(), QDir::homePath() + u'/');
    QCOMPARE(captions(*list_), QStringList{u"music"_s});
    // After loading a folder that cannot be found raises the error instead.
    const QString missing = home(u"missing"_s);
    QCOMPARE(errorOf([&] { list_->setPath(missing); }), u"Cannot Find Folder: "_s + missing);
    QVERIFY(answers_->errors.isEmpty());
    QCOMPARE(changes_, 0);
    QCOMPARE(tree_->SelectedFolder(), QDir::homePath() + u'/');
}

void ShellControlsTest::treeSelectionIsShownByTheList()
{
    build();
    list_->setPath(home(u"music"_s));
    changes_ = 0;
    tree_->currentItem()->setExpanded(true);
    QTreeWidgetItem* other = tree_->currentItem()->child(0);
    QCOMPARE(other->text(0), u"Other"_s);
    tree_->scrollToItem(other);
    QTest::mouseClick(tree_->viewport(), Qt::LeftButton, {}, testsupport::pointOn(*tree_, other));
    QTRY_COMPARE(list_->Path(), home(u"music/Other/"_s));
    QCOMPARE(changes_, 1);
    QCOMPARE(list_->topLevelItemCount(), 0);
    QCOMPARE(tree_->SelectedFolder(), home(u"music/Other/"_s));
}

void ShellControlsTest::listPathIsSelectedInTheTree()
{
    build();
    list_->setPath(home(u"music/Sub/deeper"_s));
    QCOMPARE(tree_->SelectedFolder(), home(u"music/Sub/deeper/"_s));
    QCOMPARE(changes_, 1);
    // The list opening a folder leads the tree there too.
    list_->setPath(home(u"music"_s));
    list_->setFilter(u"*"_s);
    list_->setCurrentItem(list_->findItems(u"Sub"_s, Qt::MatchExactly).value(0));
    QTest::keyClick(list_, Qt::Key_Return);
    QCOMPARE(tree_->SelectedFolder(), home(u"music/Sub/"_s));
    QCOMPARE(changes_, 3);
    QTest::qWait(200); // the tree's own delay tells nothing more
    QCOMPARE(changes_, 3);
}

void ShellControlsTest::ctrlAInTheTreeSelectsTheWholeList()
{
    build();
    list_->setPath(home(u"music"_s));
    QCOMPARE(list_->topLevelItemCount(), 3);
    QVERIFY(list_->selectedItems().isEmpty());
    QTest::keyClick(tree_, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(list_->selectedItems().size(), 3);
}

void ShellControlsTest::refreshKeysReachTheOtherControl()
{
    build();
    list_->setPath(home(u"music"_s));
    int populated = 0;
    list_->OnPopulated = [&](QObject*) {
        ++populated;
    };
    makeDirs(home(u"music/New"_s));
    QTest::keyClick(tree_, Qt::Key_F5);
    QCOMPARE(populated, 1);
    tree_->currentItem()->setExpanded(true);
    QVERIFY(childTexts(tree_->currentItem()).contains(u"New"_s));
    makeDirs(home(u"music/Newer"_s));
    QTest::keyClick(list_, Qt::Key_F5);
    QCOMPARE(populated, 2);
    QVERIFY(childTexts(tree_->currentItem()).contains(u"Newer"_s));
}

void ShellControlsTest::folderDeletedInTheListLeavesTheTree()
{
    build();
    list_->setPath(home(u"music"_s));
    list_->setFilter(u"*"_s);
    tree_->currentItem()->setExpanded(true);
    QCOMPARE(childTexts(tree_->currentItem()), (QStringList{u"Other"_s, u"Sub"_s}));
    list_->findItems(u"Sub"_s, Qt::MatchExactly).value(0)->setSelected(true);
    QTest::keyClick(list_, Qt::Key_Delete);
    QVERIFY(!QFileInfo::exists(home(u"music/Sub"_s)));
    QCOMPARE(childTexts(tree_->currentItem()), QStringList{u"Other"_s});
    QCOMPARE(tree_->SelectedFolder(), home(u"music/"_s));
}

void ShellControlsTest::shownFolderVanishingOnDisk()
{
    build();
    list_->setFilter(u"*"_s);
    list_->setPath(home(u"music/Sub"_s));
    QCOMPARE(captions(*list_), QStringList{u"deeper"_s});
    QVERIFY(QDir(home(u"music/Sub"_s)).removeRecursively());
    QTRY_COMPARE(list_->topLevelItemCount(), 0); // an empty list, no error
    QVERIFY(answers_->errors.isEmpty());
    changes_ = 0;
    tree_->RefreshTree();
    QCOMPARE(tree_->SelectedFolder(), home(u"music/"_s));
    QTRY_COMPARE(list_->Path(), home(u"music/"_s)); // and the list follows the tree
    QCOMPARE(changes_, 1);
    QCOMPARE(captions(*list_), (QStringList{u"Other"_s, u"Cover.jpg"_s, u"song.mp3"_s}));
}

void ShellControlsTest::disabledLinkPassesNothingOn()
{
    build();
    link_->SetEnabled(false);
    list_->setPath(home(u"music"_s));
    QCOMPARE(tree_->SelectedFolder(), QDir::homePath() + u'/');
    tree_->setSelectedFolder(home(u"music/Other"_s));
    QTest::qWait(200);
    QCOMPARE(list_->Path(), home(u"music/"_s));
    QCOMPARE(changes_, 0);
}

MP3T_TEST_MAIN(ShellControlsTest)
#include "ShellControlsTest.moc"
