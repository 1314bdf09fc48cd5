#include "shell/ShellLink.h"

#include "tests/support/TestEnvironment.h"

#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using platform::ItemIdList;

namespace {

// A stand-in for a shell control: records what the link sends and, like the
// folder tree, reports a folder it is told to show back to the link.
class Control : public QObject {
public:
    explicit Control(TShellLink& link) : link_(link) { link.AddControl(this); }

    QList<int> received;
    QByteArray lastFolder;
    bool reportsBack = false;

protected:
    void customEvent(QEvent* e) override
    {
        received.append(int(e->type()));
        if (e->type() != TShellLink::FolderChanged)
            return;
        const ItemIdList& folder = static_cast<TShellLinkFolderEvent*>(e)->idList();
        lastFolder = folder.bytes();
        if (reportsBack)
            link_.NotifyFolderChange(this, folder);
    }

private:
    TShellLink& link_;
};

} // namespace

class ShellLinkTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void folderChangeReachesTheOthersOnce();
    void disabledLinkPassesNothingOn();
    void selectAllReachesTheOthers();
    void refreshMessages();
    void destroyedControlIsNeverMessaged();
    void version();
};

void ShellLinkTest::folderChangeReachesTheOthersOnce()
{
    TShellLink link;
    int changes = 0;
    link.OnChange = [&](QObject* sender) {
        QCOMPARE(sender, &link);
        QVERIFY(link.Enabled());
        ++changes;
    };
    Control tree(link), list(link);
    tree.reportsBack = list.reportsBack = true;
    const ItemIdList folder = ItemIdList::fromItem("music");
    link.NotifyFolderChange(&tree, folder);
    QCOMPARE(list.received, QList<int>{1664});
    QCOMPARE(list.lastFolder, folder.bytes());
    QVERIFY(tree.received.isEmpty()); // the sender is not told, not even by the echo
    QCOMPARE(changes, 1);
    QVERIFY(link.Enabled());
}

void ShellLinkTest::disabledLinkPassesNothingOn()
{
    TShellLink link;
    int changes = 0;
    link.OnChange = [&](QObject*) {
        ++changes;
    };
    Control tree(link), list(link);
    link.SetEnabled(false);
    link.NotifyFolderChange(&tree, ItemIdList::fromItem("music"));
    link.NotifySelectAll(&tree);
    link.NotifyRefresh(&list);
    link.NotifyRefreshSelection(&list);
    QVERIFY(tree.received.isEmpty());
    QVERIFY(list.received.isEmpty());
    QCOMPARE(changes, 0);
}

void ShellLinkTest::selectAllReachesTheOthers()
{
    TShellLink link;
    int changes = 0;
    link.OnChange = [&](QObject*) {
        ++changes;
    };
    Control tree(link), list(link);
    link.NotifySelectAll(&tree);
    QCOMPARE(list.received, QList<int>{1665});
    QVERIFY(tree.received.isEmpty());
    QCOMPARE(changes, 0);
}

void ShellLinkTest::refreshMessages()
{
    TShellLink link;
    Control tree(link), list(link), third(link);
    link.AddControl(&list); // joins once
    link.NotifyRefresh(&tree);
    link.NotifyRefreshSelection(&list);
    QCOMPARE(list.received, QList<int>{1666});
    QCOMPARE(third.received, (QList<int>{1666, 1667}));
    QCOMPARE(tree.received, QList<int>{1667});
    link.RemoveControl(&third);
    link.NotifyRefresh(&tree);
    QCOMPARE(third.received.size(), 2);
}

void ShellLinkTest::destroyedControlIsNeverMessaged()
{
    TShellLink link;
    Control tree(link);
    auto list = std::make_unique<Control>(link);
    list.reset();
    link.NotifyFolderChange(&tree, ItemIdList::fromItem("music")); // must not touch the freed one
    Control again(link);
    link.NotifySelectAll(&tree);
    QCOMPARE(again.received, QList<int>{1665});
}

void ShellLinkTest::version()
{
    TShellLink link;
    QCOMPARE(link.Version(), u"TShellLink V2.3"_s);
}

MP3T_TEST_GUILESS_MAIN(ShellLinkTest)
#include "ShellLinkTest.moc"
