// The report list on its own: the cells it draws from its rows, the drag
// data it gives, and the selection as the window reads and sets it.
#include "app/ReportList.h"
#include "shell/ShellControlSupport.h"
#include "tests/support/TestEnvironment.h"

#include <QHash>
#include <QHeaderView>
#include <QMimeData>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <numeric>

using namespace Qt::StringLiterals;

namespace {

TReportRow tagged(const QString& name, std::array<QString, 6> tags)
{
    TReportRow row;
    row.name = name;
    row.shown = name;
    row.setTags(tags);
    row.hasTag = true;
    return row;
}

std::vector<TReportRow> numberedRows(int count)
{
    std::vector<TReportRow> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back(tagged(QString::number(i) + u".mp3"_s, {}));
    return rows;
}

QString cell(const QAbstractItemModel& model, int row, int column)
{
    return model.index(row, column).data().toString();
}

// A row with a title, a track and a comment.
TReportRow song(const QString& name, const QString& title, const QString& track = {},
                const QString& comment = {})
{
    TReportRow row = tagged(name, {title, {}, {}, {}, {}, comment});
    row.setTag(TReportModel::TrackColumn - TReportModel::TitleColumn, track);
    return row;
}

QStringList names(const TReportList& list)
{
    QStringList out;
    for (int i = 0; i < list.rowCount(); ++i)
        out << list.rows().name(i);
    return out;
}

QStringList shownNames(const TReportList& list)
{
    QStringList out;
    for (int i = 0; i < list.rowCount(); ++i) {
        if (!list.isRowHidden(i, {}))
            out << list.rows().name(i);
    }
    return out;
}

// A click on a column's header, where the user sorts by it.
void clickHeader(TReportList& list, int column)
{
    QHeaderView* header = list.header();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

struct ShownList {
    ShownList()
    {
        for (int c = 0; c < TReportModel::ColumnCount; ++c)
            list.header()->resizeSection(c, 60);
        list.resize(900, 300);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
    }
    TReportList list;
};

} // namespace

class ReportListTest : public QObject {
    Q_OBJECT

private slots:
    void cellsComeFromTheRowsTags()
    {
        TReportModel model;
        std::vector<TReportRow> rows;
        rows.push_back(tagged(u"a.mp3"_s, {u"T"_s, u"Ar"_s, u"Al"_s, u"1999"_s, u"Pop"_s, u"C"_s}));
        rows.back().setFields({u"T"_s, u"Ar"_s, u"Al"_s, u"1999"_s, u"Pop"_s, u"C"_s, u"3/12"_s,
                               u"1"_s, u"AA"_s, u"Co"_s});
        model.setRows(std::move(rows));
        QCOMPARE(model.columnCount(), 11);
        QStringList cells;
        QStringList captions;
        for (int c = 0; c < model.columnCount(); ++c) {
            cells << cell(model, 0, c);
            captions << model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        }
        QCOMPARE(cells, (QStringList{u"a.mp3"_s, u"T"_s, u"Ar"_s, u"Al"_s, u"1999"_s, u"Pop"_s,
                                     u"C"_s, u"3/12"_s, u"1"_s, u"AA"_s, u"Co"_s}));
        QCOMPARE(captions.mid(7), (QStringList{u"音轨"_s, u"碟号"_s, u"专辑艺术家"_s, u"作曲"_s}));
        // Setting the six the renaming reads leaves the others.
        model.changeRow(0, [](TReportRow& row) { row.setTags({u"T2"_s, {}, {}, {}, {}, {}}); });
        QCOMPARE(cell(model, 0, TReportModel::TitleColumn), u"T2"_s);
        QCOMPARE(cell(model, 0, TReportModel::ComposerColumn), u"Co"_s);
    }

    void anUnreadFileShowsItsNameOnly()
    {
        TReportModel model;
        TReportRow row = tagged(u"a.mp3"_s, {u"left"_s, u"over"_s});
        row.hasTag = false;
        std::vector<TReportRow> rows;
        rows.push_back(row);
        model.setRows(std::move(rows));
        QCOMPARE(cell(model, 0, 0), u"a.mp3"_s);
        for (int c = 1; c < 7; ++c)
            QVERIFY(!model.index(0, c).data().isValid());
    }

    void aLegacyNameIsShownAsReadAndKeptWhole()
    {
        TReportModel model;
        TReportRow row;
        row.name = u"\xDCB2\xDCE2.mp3"_s; // two GBK bytes kept as they are
        row.shown = u"测.mp3"_s;
        row.legacyName = true;
        std::vector<TReportRow> rows;
        rows.push_back(row);
        model.setRows(std::move(rows));
        QCOMPARE(cell(model, 0, 0), u"测.mp3"_s);
        QCOMPARE(model.row(0).name, row.name);
    }

    void aRowIsReadOnceWhenFirstNeeded()
    {
        TReportModel model;
        QHash<QString, int> reads;
        model.setReader([&](TReportRow& row) {
            ++reads[row.name];
            row.stamp = 42;
            row.setTags({u"T "_s + row.name, u"Ar"_s, {}, {}, {}, {}});
            row.hasTag = true;
        });
        model.setRows(numberedRows(3));
        QVERIFY(reads.isEmpty());
        // Names and icons are drawn without reading the file.
        QCOMPARE(cell(model, 1, TReportModel::NameColumn), u"1.mp3"_s);
        model.index(1, TReportModel::NameColumn).data(Qt::DecorationRole);
        QVERIFY(reads.isEmpty());
        QCOMPARE(cell(model, 1, TReportModel::TitleColumn), u"T 1.mp3"_s);
        QCOMPARE(cell(model, 1, TReportModel::ArtistColumn), u"Ar"_s);
        QCOMPARE(model.row(1).tags()[0], u"T 1.mp3"_s);
        QCOMPARE(model.row(1).stamp, std::uint64_t(42));
        QCOMPARE(reads, (QHash<QString, int>{{u"1.mp3"_s, 1}}));
        QVERIFY(model.isRead(1));
        QVERIFY(!model.isRead(0));
        // A file changed on disk is read again, on purpose.
        model.rereadRow(1);
        QCOMPARE(reads.value(u"1.mp3"_s), 2);
    }

    void aRenamedRowIsReadUnderItsNewName()
    {
        TReportModel model;
        QStringList reads;
        model.setReader([&](TReportRow& row) {
            reads.append(row.name);
            row.setTags({u"T "_s + row.name, {}, {}, {}, {}, {}});
            row.hasTag = true;
        });
        model.setRows(numberedRows(2));
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.renameRow(0, [](TReportRow& row) { row.name = row.shown = u"new.mp3"_s; });
        QVERIFY(reads.isEmpty());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(cell(model, 0, TReportModel::NameColumn), u"new.mp3"_s);
        QCOMPARE(cell(model, 0, TReportModel::TitleColumn), u"T new.mp3"_s);
        QCOMPARE(reads, QStringList{u"new.mp3"_s});
    }

    void aRowNeverPaintedIsRightWhenACommandReadsIt()
    {
        TReportModel model;
        model.setReader([](TReportRow& row) {
            row.setTags({u"T"_s, u"Ar"_s, u"Al"_s, u"1999"_s, u"Pop"_s, u"C"_s});
            row.hasTag = true;
        });
        model.setRows(numberedRows(2));
        // The renaming pattern and the previews read the row's tags.
        QCOMPARE(model.row(1).tags(),
                 (std::array<QString, 6>{u"T"_s, u"Ar"_s, u"Al"_s, u"1999"_s, u"Pop"_s, u"C"_s}));
        // A batch sets one tag of a row no one looked at: the others stay.
        model.changeRow(0, [](TReportRow& row) { row.setTag(1, u"New"_s); });
        QCOMPARE(model.row(0).tags(),
                 (std::array<QString, 6>{u"T"_s, u"New"_s, u"Al"_s, u"1999"_s, u"Pop"_s, u"C"_s}));
        QCOMPARE(cell(model, 0, TReportModel::AlbumColumn), u"Al"_s);
    }

    void captionsAndIcons()
    {
        TReportModel model;
        QStringList captions;
        for (int c = 0; c < 6; ++c)
            captions << model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        QCOMPARE(captions,
                 (QStringList{u"文件名"_s, u"标题"_s, u"作者"_s, u"专辑"_s, u"年代"_s, u"类型"_s}));
        QPixmap red(16, 16);
        red.fill(Qt::red);
        QPixmap blue(16, 16);
        blue.fill(Qt::blue);
        const QList<QIcon> icons{QIcon(red), QIcon(blue)};
        model.setIcons(icons);
        std::vector<TReportRow> rows = numberedRows(2);
        rows[1].icon = 1;
        model.setRows(std::move(rows));
        QCOMPARE(model.index(0, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey(),
                 icons[0].cacheKey());
        QCOMPARE(model.index(1, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey(),
                 icons[1].cacheKey());
        QVERIFY(!model.index(1, 1).data(Qt::DecorationRole).isValid());
    }

    void aChangedRowIsRedrawn()
    {
        TReportModel model;
        model.setRows(numberedRows(3));
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.changeRow(1, [](TReportRow& row) { row.setTag(0, u"new"_s); });
        QCOMPARE(cell(model, 1, 1), u"new"_s);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 1);
        model.removeRowAt(0);
        QCOMPARE(model.count(), 2);
        QCOMPARE(cell(model, 0, 1), u"new"_s);
    }

    void dragsNameTheList()
    {
        TReportList list;
        list.setObjectName(u"ListViewMain"_s);
        list.setRows(numberedRows(2));
        const std::unique_ptr<QMimeData> data(list.model()->mimeData({list.model()->index(1, 0)}));
        const QString format = QString::fromLatin1(ShellControls::DragSourceFormat);
        QVERIFY(data->hasFormat(format));
        QVERIFY(data->data(format).endsWith(" ListViewMain"));
    }

    void selectedRowsComeInListOrder()
    {
        TReportList list;
        list.setRows(numberedRows(8));
        QItemSelectionModel* selection = list.selectionModel();
        for (const int row : {5, 1, 3})
            selection->select(list.model()->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(list.selectedRows(), (std::vector<int>{1, 3, 5}));
        QCOMPARE(list.firstSelectedRow(), 1);
        QVERIFY(list.isRowSelected(3));
        QVERIFY(!list.isRowSelected(2));
        list.clearSelection();
        QCOMPARE(list.firstSelectedRow(), -1);
        QVERIFY(list.selectedRows().empty());
    }

    void neighbouringRowsAreSelectedAsOneRange()
    {
        TReportList list;
        list.setRows(numberedRows(10));
        list.selectRows({4, 2, 3, 7});
        QCOMPARE(list.selectedRows(), (std::vector<int>{2, 3, 4, 7}));
        QCOMPARE(list.selectionModel()->selection().size(), 2);
        // Whole rows, as a click selects them.
        QVERIFY(list.selectionModel()->isRowSelected(3, {}));
    }

    void newRowsClearTheSelectionAsAChange()
    {
        TReportList list;
        list.setRows(numberedRows(3));
        list.selectRows({1});
        QSignalSpy changed(list.selectionModel(), &QItemSelectionModel::selectionChanged);
        list.setRows(numberedRows(3));
        QCOMPARE(changed.count(), 1);
        QVERIFY(list.selectedRows().empty());
    }

    void aHeaderClickSortsNumbersAsNumbersAndTextsByPinyin()
    {
        ShownList shown;
        TReportList& list = shown.list;
        std::vector<TReportRow> rows;
        rows.push_back(song(u"a.mp3"_s, u"中国"_s, u"10"_s));
        rows.push_back(song(u"b.mp3"_s, u"北京"_s, u"2"_s));
        rows.push_back(song(u"c.mp3"_s, {}, u"3/12"_s));
        rows.push_back(song(u"d.mp3"_s, u"阿里"_s, {}));
        rows.push_back(song(u"e.mp3"_s, u" "_s, u"B-side"_s));
        list.setRows(std::move(rows));
        // Unsorted until asked: the folder's order.
        QCOMPARE(names(list),
                 (QStringList{u"a.mp3"_s, u"b.mp3"_s, u"c.mp3"_s, u"d.mp3"_s, u"e.mp3"_s}));
        list.selectRows({0}); // a.mp3, also the current row
        list.setCurrentRow(0);
        clickHeader(list, TReportModel::TitleColumn);
        QCOMPARE(names(list),
                 (QStringList{u"d.mp3"_s, u"b.mp3"_s, u"a.mp3"_s, u"c.mp3"_s, u"e.mp3"_s}));
        // The selection goes with its row.
        QCOMPARE(list.selectedRows(), std::vector<int>{2});
        QCOMPARE(list.currentRow(), 2);
        // Again: reversed, the empty cells still last.
        clickHeader(list, TReportModel::TitleColumn);
        QCOMPARE(names(list),
                 (QStringList{u"a.mp3"_s, u"b.mp3"_s, u"d.mp3"_s, u"c.mp3"_s, u"e.mp3"_s}));
        QCOMPARE(list.selectedRows(), std::vector<int>{0});
        // "2" before "3/12" before "10"; a text after the numbers; none last.
        clickHeader(list, TReportModel::TrackColumn);
        QCOMPARE(names(list),
                 (QStringList{u"b.mp3"_s, u"c.mp3"_s, u"a.mp3"_s, u"e.mp3"_s, u"d.mp3"_s}));
        clickHeader(list, TReportModel::TrackColumn);
        QCOMPARE(names(list),
                 (QStringList{u"a.mp3"_s, u"c.mp3"_s, u"b.mp3"_s, u"e.mp3"_s, u"d.mp3"_s}));
        // The next rows come sorted the same way.
        std::vector<TReportRow> next;
        next.push_back(song(u"x.mp3"_s, {}, u"9"_s));
        next.push_back(song(u"y.mp3"_s, {}, u"11"_s));
        list.setRows(std::move(next));
        QCOMPARE(names(list), (QStringList{u"y.mp3"_s, u"x.mp3"_s}));
    }

    void latinTextsSortInTheirUsualOrder()
    {
        ShownList shown;
        TReportList& list = shown.list;
        std::vector<TReportRow> rows;
        for (const QString& name : {u"cherry 10.mp3"_s, u"Banana.mp3"_s, u"cherry 9.mp3"_s,
                                    u"apple.mp3"_s, u"Äpfel.mp3"_s})
            rows.push_back(song(name, {}));
        list.setRows(std::move(rows));
        clickHeader(list, TReportModel::NameColumn);
        // Not by code points ("B" < "a" < "c" < "Ä"); digits as numbers.
        QCOMPARE(names(list), (QStringList{u"Äpfel.mp3"_s, u"apple.mp3"_s, u"Banana.mp3"_s,
                                           u"cherry 9.mp3"_s, u"cherry 10.mp3"_s}));
    }

    void theFilterHidesAndDeselectsWhatDoesNotMatch()
    {
        TReportList list;
        list.setColumnHidden(TReportModel::CommentColumn, true);
        std::vector<TReportRow> rows;
        rows.push_back(song(u"Love.mp3"_s, u"one"_s));
        rows.push_back(song(u"b.mp3"_s, u"LOVELY"_s));
        rows.push_back(song(u"c.mp3"_s, u"two"_s, {}, u"love"_s));
        rows.push_back(song(u"d.mp3"_s, u"three"_s));
        list.setRows(std::move(rows));
        list.selectRows({0, 2, 3});
        list.setFilter(u"lOVe"_s);
        // By the name or a shown cell, whatever the case; not by the hidden comment.
        QCOMPARE(shownNames(list), (QStringList{u"Love.mp3"_s, u"b.mp3"_s}));
        QCOMPARE(list.selectedRows(), std::vector<int>{0});
        QVERIFY(!list.selectionModel()->isRowSelected(2, {}));
        QVERIFY(!list.selectionModel()->isRowSelected(3, {}));
        // "Select all" and the program's own selecting keep to the shown rows.
        list.selectAll();
        QCOMPARE(list.selectedRows(), (std::vector<int>{0, 1}));
        list.clearSelection();
        list.selectRows({1, 2});
        QCOMPARE(list.selectedRows(), std::vector<int>{1});
        QCOMPARE(list.firstSelectedRow(), 1);
        // The comment shown, it counts.
        list.setColumnHidden(TReportModel::CommentColumn, false);
        list.refilter();
        QCOMPARE(shownNames(list), (QStringList{u"Love.mp3"_s, u"b.mp3"_s, u"c.mp3"_s}));
        // Sorting keeps each row's state.
        list.rows().sort(TReportModel::TitleColumn, Qt::DescendingOrder);
        QCOMPARE(names(list), (QStringList{u"c.mp3"_s, u"d.mp3"_s, u"Love.mp3"_s, u"b.mp3"_s}));
        QCOMPARE(shownNames(list), (QStringList{u"c.mp3"_s, u"Love.mp3"_s, u"b.mp3"_s}));
        // New rows are filtered (and sorted) as they come; an empty filter shows all.
        std::vector<TReportRow> next;
        next.push_back(song(u"x.mp3"_s, u"gloves"_s));
        next.push_back(song(u"y.mp3"_s, u"none"_s));
        list.setRows(std::move(next));
        QCOMPARE(shownNames(list), QStringList{u"x.mp3"_s});
        list.setFilter({});
        QCOMPARE(shownNames(list), (QStringList{u"y.mp3"_s, u"x.mp3"_s}));
    }

    // Typed while the rows' tags are still being read: no row that matches
    // by a tag not read yet is hidden, and the list settles on the filter
    // as the reading goes on; a row it then hides is deselected.
    void aFilterTypedBeforeTheTagsAreReadHidesNoMatchingRow()
    {
        constexpr int kRows = 2000;
        int reads = 0;
        bool paused = false;
        TReportList list;
        list.setReadingPaused([&] { return paused; });
        // Every third title matches; no name does.
        const auto loves = [](int i) {
            return i % 3 == 0;
        };
        list.rows().setReader([&](TReportRow& row) {
            ++reads;
            const int i = row.name.section(u'.', 0, 0).toInt();
            row.setTags({loves(i) ? u"Love %1"_s.arg(i) : u"Rain"_s, {}, {}, {}, {}, {}});
            row.hasTag = true;
        });
        list.setRows(numberedRows(kRows));
        std::vector<int> all(kRows);
        std::iota(all.begin(), all.end(), 0);
        list.selectRows(all);
        list.setFilter(u"LOVE"_s);
        QVERIFY(reads < kRows); // the key did not wait for every file
        for (int i = 0; i < kRows; ++i) {
            if (loves(i))
                QVERIFY2(!list.isRowHidden(i, {}), qPrintable(QString::number(i)));
            else if (list.rows().isRead(i))
                QVERIFY2(list.isRowHidden(i, {}), qPrintable(QString::number(i)));
        }
        // Paused (a batch writes the files), nothing more is read.
        paused = true;
        const int before = reads;
        QTest::qWait(150);
        QCOMPARE(reads, before);
        paused = false;
        QTRY_VERIFY_WITH_TIMEOUT(!list.readingRows(), 20000);
        QCOMPARE(reads, kRows);
        std::vector<int> matching;
        for (int i = 0; i < kRows; ++i) {
            if (loves(i))
                matching.push_back(i);
        }
        QCOMPARE(int(shownNames(list).size()), int(matching.size()));
        QCOMPARE(list.selectedRows(), matching);
        QVERIFY(!list.selectionModel()->isRowSelected(kRows - 1, {}));
    }

    void currentRowIsNotSelected()
    {
        TReportList list;
        list.setRows(numberedRows(3));
        list.setCurrentRow(2);
        QCOMPARE(list.currentRow(), 2);
        QVERIFY(list.selectedRows().empty());
    }
};

MP3T_TEST_MAIN(ReportListTest)
#include "ReportListTest.moc"
