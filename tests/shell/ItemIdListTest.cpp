#include "platform/ItemIdList.h"
#include "platform/ShellItem.h"
#include "platform/ShellNamespace.h"

#include "tests/support/TestEnvironment.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using platform::ItemIdList;

class ItemIdListTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void layoutOfOneItem();
    void nullAndEmptyDiffer();
    void hostileBytes_data();
    void hostileBytes();
    void splitsAndJoins();
    void hostileItemsLeadNowhere_data();
    void hostileItemsLeadNowhere();
    void roundTripsThroughParseCopyAndComparison();
};

void ItemIdListTest::layoutOfOneItem()
{
    const ItemIdList list = ItemIdList::fromItem("abc");
    // count 5 (two count bytes + three payload bytes), little-endian, then the zero count
    QCOMPARE(list.bytes(), QByteArray("\x05\x00"
                                      "abc\x00\x00",
                                      7));
    QCOMPARE(list.count(), 1);
    QCOMPARE(list.payload(0), QByteArrayView("abc"));
    QVERIFY(ItemIdList::fromItem(QByteArray(65533, 'x')).byteSize() == 65537);
    QVERIFY(ItemIdList::fromItem(QByteArray(65534, 'x')).isNull());
}

void ItemIdListTest::nullAndEmptyDiffer()
{
    QVERIFY(ItemIdList().isNull());
    QVERIFY(!ItemIdList::empty().isNull());
    QVERIFY(ItemIdList::empty().isEmpty());
    QCOMPARE(ItemIdList::empty().count(), 0);
    QVERIFY(!(ItemIdList() == ItemIdList::empty()));
    QVERIFY(ItemIdList().joined(ItemIdList()).isNull());
    QCOMPARE(ItemIdList().joined(ItemIdList::fromItem("a")), ItemIdList::fromItem("a"));
}

void ItemIdListTest::hostileBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("count"); // -1: rejected
    QTest::newRow("nothing") << QByteArray() << -1;
    QTest::newRow("one byte") << QByteArray(1, '\0') << -1;
    QTest::newRow("terminator only") << QByteArray(2, '\0') << 0;
    QTest::newRow("count 1") << QByteArray("\x01\x00\x00\x00", 4) << -1;
    QTest::newRow("count past the end") << QByteArray("\x09\x00"
                                                      "ab\x00\x00",
                                                      6)
                                        << -1;
    QTest::newRow("no terminator") << QByteArray("\x03\x00x", 3) << -1;
    QTest::newRow("count 0xFFFF") << QByteArray("\xFF\xFFxx", 4) << -1;
    QTest::newRow("two items") << QByteArray("\x03\x00x\x04\x00yz\x00\x00", 9) << 2;
    QTest::newRow("bytes after terminator") << QByteArray("\x03\x00x\x00\x00junk", 9) << 1;
}

void ItemIdListTest::hostileBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, count);
    const ItemIdList list = ItemIdList::fromBytes(bytes);
    QCOMPARE(list.isNull(), count < 0);
    if (count >= 0) {
        QCOMPARE(list.count(), count);
        QCOMPARE(ItemIdList::fromBytes(list.bytes()), list);
    }
}

void ItemIdListTest::splitsAndJoins()
{
    const ItemIdList list = ItemIdList::fromItem("a")
                                .joined(ItemIdList::fromItem("bb"))
                                .joined(ItemIdList::fromItem("ccc"));
    QCOMPARE(list.count(), 3);
    QCOMPARE(list.parent(), ItemIdList::fromItem("a").joined(ItemIdList::fromItem("bb")));
    QCOMPARE(list.last(), ItemIdList::fromItem("ccc"));
    QCOMPARE(list.from(1), ItemIdList::fromItem("bb").joined(ItemIdList::fromItem("ccc")));
    QCOMPARE(list.first(0), ItemIdList::empty());
    QCOMPARE(list.parent().joined(list.last()), list);
    QVERIFY(list.item(3).isNull());
    QVERIFY(list.payload(7).isEmpty());
    QCOMPARE(list.copy(), list);
}

void ItemIdListTest::hostileItemsLeadNowhere_data()
{
    using platform::ShellItem;
    QTest::addColumn<QByteArray>("bytes");
    const auto entry = [](const QByteArray& name, bool directory) {
        ShellItem item;
        item.name = name;
        item.directory = directory;
        return item.toIdList();
    };
    const ItemIdList root =
        ShellItem::computer().toIdList().joined(ShellItem::volume(u"/"_s).toIdList());
    QTest::newRow("name ..") << root.joined(entry("..", true)).bytes();
    QTest::newRow("name with /") << root.joined(entry("a/b", true)).bytes();
    QTest::newRow("empty name") << root.joined(entry("", true)).bytes();
    QTest::newRow("entry inside a file")
        << root.joined(entry("f", false)).joined(entry("g", false)).bytes();
    QTest::newRow("volume outside computer") << ShellItem::volume(u"/"_s).toIdList().bytes();
    QTest::newRow("relative volume")
        << ShellItem::computer().toIdList().joined(ShellItem::volume(u"tmp"_s).toIdList()).bytes();
    QTest::newRow("entry on the desktop") << entry("tmp", true).bytes();
    QTest::newRow("unknown kind") << ItemIdList::fromItem("\x09xyz").bytes();
    QTest::newRow("cut-short entry") << root.joined(ItemIdList::fromItem("\x04\x01")).bytes();
}

void ItemIdListTest::hostileItemsLeadNowhere()
{
    QFETCH(QByteArray, bytes);
    const ItemIdList list = ItemIdList::fromBytes(bytes);
    QVERIFY(!list.isNull());
    QVERIFY(!platform::ResolveIdList(list));
    QVERIFY(platform::SHGetPathFromIDListA(list).isEmpty());
    QVERIFY(!platform::ShellFolder::bind(list));
}

void ItemIdListTest::roundTripsThroughParseCopyAndComparison()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(u"sub"_s));
    QFile file(dir.filePath(u"sub/song.mp3"_s));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("abc") == 3);
    file.close();

    const ItemIdList parsed = platform::ParsePath(dir.filePath(u"sub/song.mp3"_s));
    QVERIFY(!parsed.isNull());
    QCOMPARE(platform::SHGetPathFromIDListA(parsed), dir.filePath(u"sub/song.mp3"_s));
    QCOMPARE(ItemIdList::fromBytes(parsed.bytes()), parsed);
    QCOMPARE(parsed.copy(), parsed);

    // The same file as the folder's enumeration names it: the item is equal
    // byte for byte. (Items carry their times, and the temporary folder's
    // parents change while other programs run: the whole lists are compared
    // by where they lead.)
    const auto folder = platform::ShellFolder::bind(parsed.parent());
    QVERIFY(folder);
    platform::ShellEnumerator items = folder->enumObjects();
    const ItemIdList enumerated = items.next();
    QCOMPARE(enumerated, parsed.last());
    QCOMPARE(platform::SHGetPathFromIDListA(folder->idList().joined(enumerated)),
             platform::SHGetPathFromIDListA(parsed));
    QCOMPARE(folder->compareIds(0, enumerated, parsed.last()), 0);

    // Once the file has changed the bytes differ, but it is still the same item.
    QVERIFY(file.open(QIODevice::Append) && file.write("more") == 4);
    file.close();
    const ItemIdList changed = platform::ParsePath(dir.filePath(u"sub/song.mp3"_s));
    QVERIFY(!(changed == parsed));
    QCOMPARE(platform::CompareAbsoluteIDs(changed, parsed), 0);
    QCOMPARE(folder->compareIds(0, changed.last(), parsed.last()), 0);
    QVERIFY(folder->compareIds(1, changed.last(), parsed.last()) > 0);
}

MP3T_TEST_GUILESS_MAIN(ItemIdListTest)
#include "ItemIdListTest.moc"
