#include "shell/ShellControls.h"

#include "platform/ShellClipboard.h"
#include "tests/shell/ShellControlsTestSupport.h"
#include "tests/support/ItemPoint.h"
#include "tests/support/TestEnvironment.h"

#include <QMimeData>

#include <memory>

using namespace Qt::StringLiterals;
using namespace shelltest;

// What the folder tree and the shell file list do alike, asked of each.
class ShellViewTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void cutKeyUnlessReadOnly_data() { views(); }
    void cutKeyUnlessReadOnly();
    void leftClickRaisesOnClick_data() { views(); }
    void leftClickRaisesOnClick();
    void frameworkDropAsksTheHandlers_data() { views(); }
    void frameworkDropAsksTheHandlers();

private:
    static void views();
    // A shown view of the "music" folder with an item selected (the tree: the
    // folder Sub; the list: song.mp3) and its path; folder: another folder's item.
    TShellView& shownView();
    std::unique_ptr<TShellView> view_;
    std::unique_ptr<Answers> answers_;
    QString selectedPath_;
    QTreeWidgetItem* folder_ = nullptr;
};

void ShellViewTest::views()
{
    QTest::addColumn<bool>("tree");
    QTest::newRow("tree") << true;
    QTest::newRow("list") << false;
}

void ShellViewTest::init()
{
    answers_ = std::make_unique<Answers>();
    makeDirs(home(u"music/Sub"_s));
    makeDirs(home(u"music/Other"_s));
    makeFile(home(u"music/song.mp3"_s), 10);
    makeFile(home(u"elsewhere.mp3"_s), 10);
}

void ShellViewTest::cleanup()
{
    view_.reset();
    answers_.reset();
    QVERIFY(QDir::home().removeRecursively() && QDir().mkpath(QDir::homePath()));
}

TShellView& ShellViewTest::shownView()
{
    QFETCH(bool, tree);
    if (tree) {
        auto* folders = new TShellTree;
        view_.reset(folders);
        folders->setRootedAt(SF_DESKTOP);
        folders->setSelectedFolder(home(u"music/Sub"_s));
        folder_ = folders->currentItem()->parent()->child(0);
        selectedPath_ = home(u"music/Sub"_s);
    } else {
        auto* files = new TShellList;
        view_.reset(files);
        files->setPath(home(u"music"_s));
        files->setCurrentItem(files->findItems(u"song.mp3"_s, Qt::MatchExactly).value(0));
        folder_ = files->findItems(u"Other"_s, Qt::MatchExactly).value(0);
        selectedPath_ = home(u"music/song.mp3"_s);
    }
    view_->resize(400, 600);
    view_->show();
    if (!QTest::qWaitForWindowExposed(view_.get()))
        qWarning("the view was not exposed");
    view_->scrollToItem(view_->currentItem(), QAbstractItemView::PositionAtCenter);
    return *view_;
}

void ShellViewTest::cutKeyUnlessReadOnly()
{
    TShellView& view = shownView();
    QVERIFY(platform::SetClipboardFiles({home(u"elsewhere.mp3"_s)}, false));
    view.setReadOnly(true);
    QTest::keyClick(&view, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(platform::ReadClipboardFiles().paths, QStringList{home(u"elsewhere.mp3"_s)});
    view.setReadOnly(false);
    QTest::keyClick(&view, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(platform::ReadClipboardFiles().paths, QStringList{selectedPath_});
    QVERIFY(platform::ReadClipboardFiles().cut);
    QVERIFY(QFile::exists(selectedPath_)); // cut is no move yet
}

void ShellViewTest::leftClickRaisesOnClick()
{
    TShellView& view = shownView();
    QList<QObject*> clicks;
    view.OnClick = [&](QObject* sender) {
        clicks.append(sender);
    };
    const QPoint at = testsupport::pointOn(view, folder_);
    QTest::mouseClick(view.viewport(), Qt::MiddleButton, {}, at);
    QVERIFY(clicks.isEmpty());
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(clicks, QList<QObject*>{&view});
    QCOMPARE(view.currentItem(), folder_);
}

void ShellViewTest::frameworkDropAsksTheHandlers()
{
    TShellView& view = shownView();
    const QPoint at = testsupport::pointOn(view, folder_);
    bool accept = false;
    QList<QPoint> asked;
    view.OnDragOver = [&](QObject* sender, QObject*, int x, int y, bool& acceptIt) {
        QCOMPARE(sender, &view);
        QVERIFY(acceptIt); // starts true
        asked.append(QPoint(x, y));
        acceptIt = accept;
    };
    QList<QPoint> drops;
    view.OnDragDrop = [&](QObject*, QObject*, int x, int y) {
        drops.append(QPoint(x, y));
    };
    QMimeData data; // rows of another view
    data.setData(u"application/x-qabstractitemmodeldatalist"_s, QByteArray());
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;

    QDragEnterEvent refused(at, actions, &data, Qt::LeftButton, {});
    QApplication::sendEvent(view.viewport(), &refused);
    QVERIFY(!refused.isAccepted());
    QCOMPARE(asked, QList<QPoint>{at});
    QVERIFY(!view.dropTarget());

    accept = true;
    QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, {});
    QApplication::sendEvent(view.viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QCOMPARE(enter.dropAction(), Qt::CopyAction);
    QCOMPARE(view.dropTarget(), folder_);
    QDropEvent drop(at, actions, &data, Qt::LeftButton, {});
    QApplication::sendEvent(view.viewport(), &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(drops, QList<QPoint>{at});
    QVERIFY(!view.dropTarget());

    // With platform drag and drop the handlers are not asked.
    view.setOleDragDrop(true);
    QDragEnterEvent files(at, actions, &data, Qt::LeftButton, {});
    QApplication::sendEvent(view.viewport(), &files);
    QVERIFY(!files.isAccepted());
    QCOMPARE(asked.size(), 3);
}

MP3T_TEST_MAIN(ShellViewTest)
#include "ShellViewTest.moc"
