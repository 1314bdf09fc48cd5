// The report list as the user arranges it: columns chosen from the header's
// menu and moved, kept to the next start; a click on a header sorts, and the
// batches follow the order shown; the filter field keeps the rows that
// contain its text, also in the next folder.

#include "tests/app/MainWindowFixture.h"
#include "tests/support/TestEnvironment.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QHeaderView>

using namespace apptest;
using namespace testsupport;

namespace {

// A file whose ID3v2.3 tag has these texts in UTF-16 (empty ones left out).
QString addSong(const MusicFolder& music, const QString& name, const QString& title,
                const QString& track = {}, const QString& composer = {})
{
    QByteArray frames;
    const auto add = [&frames](const char* id, const QString& text) {
        if (!text.isEmpty())
            frames += frame23(id, textData(1, utf16WithBom(text)));
    };
    add("TIT2", title);
    add("TRCK", track);
    add("TCOM", composer);
    return music.add(name, id3v2Tag(3, frames, 16) + silentMpegFrames());
}

// A click on a column's header, where the user sorts by it.
void clickHeader(TReportList& list, int column)
{
    QHeaderView* header = list.header();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

// The header's menu as a right click opens it.
QMenu* openColumnsMenu(TReportList& list)
{
    QHeaderView* header = list.header();
    const QPoint at(10, header->height() / 2);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, header->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(header->viewport(), &event);
    auto* menu = list.findChild<QMenu*>(u"PopupMenuColumns"_s);
    return menu && menu->isVisible() ? menu : nullptr;
}

QAction* menuItem(QMenu& menu, const QString& caption)
{
    for (QAction* action : menu.actions()) {
        if (action->text() == caption)
            return action;
    }
    return nullptr;
}

// The names of the rows the list shows, top to bottom.
QStringList shownNames(const Program& program)
{
    QStringList names;
    for (int i = 0; i < program.rows(); ++i) {
        if (!program.list()->isRowHidden(i, {}))
            names << program.text(i, TReportModel::NameColumn);
    }
    return names;
}

// The same in code point order, where the folder's order does not matter.
QStringList shownSet(const Program& program)
{
    QStringList names = shownNames(program);
    names.sort();
    return names;
}

QStringList shownCaptions(const TReportList& list)
{
    QStringList captions;
    const QHeaderView* header = list.header();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (!header->isSectionHidden(column))
            captions << list.model()->headerData(column, Qt::Horizontal).toString();
    }
    return captions;
}

} // namespace

class ListViewTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QFile::remove(settingsPath()); }

    void chosenColumnsAndTheirOrderComeBackAtTheNextStart()
    {
        MusicFolder music;
        addSong(music, u"a.mp3"_s, u"Title"_s, u"3/12"_s, u"巴赫"_s);
        {
            Program program(music.path());
            TReportList& list = *program.list();
            QCOMPARE(shownCaptions(list), (QStringList{u"文件名"_s, u"标题"_s, u"作者"_s, u"专辑"_s,
                                                       u"年代"_s, u"类型"_s}));
            QMenu* menu = openColumnsMenu(list);
            QVERIFY(menu);
            QVERIFY(!menuItem(*menu, u"音轨"_s)->isChecked());
            menuItem(*menu, u"音轨"_s)->trigger();
            menuItem(*menu, u"作曲"_s)->trigger();
            menuItem(*menu, u"专辑"_s)->trigger(); // hidden
            menu->hide();
            QCOMPARE(program.text(0, TReportModel::TrackColumn), u"3/12"_s);
            QCOMPARE(program.text(0, TReportModel::ComposerColumn), u"巴赫"_s);
            // The user drags the track column next to the name.
            QHeaderView* header = list.header();
            header->moveSection(header->visualIndex(TReportModel::TrackColumn), 1);
            program.main().close();
        }
        Program program(music.path());
        program.forms().showMain();
        TReportList& list = *program.list();
        QCOMPARE(shownCaptions(list), (QStringList{u"文件名"_s, u"音轨"_s, u"标题"_s, u"作者"_s,
                                                   u"年代"_s, u"类型"_s, u"作曲"_s}));
        QMenu* menu = openColumnsMenu(list);
        QVERIFY(menu);
        QVERIFY(menuItem(*menu, u"作曲"_s)->isChecked());
        QVERIFY(!menuItem(*menu, u"专辑"_s)->isChecked());
        menu->hide();
    }

    // The widths the user gave the columns come back: the columns added to
    // the list too, one hidden since and shown again, in the order the user
    // moved them to.
    void columnWidthsComeBackAtTheNextStart()
    {
        MusicFolder music;
        addSong(music, u"a.mp3"_s, u"Title"_s, u"3/12"_s, u"巴赫"_s);
        const std::array<QString, 5> captions{u"备注"_s, u"音轨"_s, u"碟号"_s, u"专辑艺术家"_s,
                                              u"作曲"_s};
        const std::array<int, 5> columns{TReportModel::CommentColumn, TReportModel::TrackColumn,
                                         TReportModel::DiscColumn, TReportModel::AlbumArtistColumn,
                                         TReportModel::ComposerColumn};
        {
            Program program(music.path());
            TReportList& list = *program.list();
            QMenu* menu = openColumnsMenu(list);
            QVERIFY(menu);
            for (const QString& caption : captions)
                menuItem(*menu, caption)->trigger();
            menu->hide();
            QHeaderView* header = list.header();
            // The genre last, where it takes the rest of the width; the
            // track next to the name.
            header->moveSection(header->visualIndex(TReportModel::GenreColumn),
                                header->count() - 1);
            header->moveSection(header->visualIndex(TReportModel::TrackColumn), 1);
            for (std::size_t k = 0; k < columns.size(); ++k)
                header->resizeSection(columns[k], 61 + int(k)); // as the user drags them
            menu = openColumnsMenu(list);
            QVERIFY(menu);
            menuItem(*menu, u"碟号"_s)->trigger(); // hidden again, at its width
            menu->hide();
            program.main().close();
        }
        Program program(music.path());
        program.forms().showMain();
        TReportList& list = *program.list();
        QHeaderView* header = list.header();
        QVERIFY(header->isSectionHidden(TReportModel::DiscColumn));
        QCOMPARE(header->visualIndex(TReportModel::TrackColumn), 1);
        QMenu* menu = openColumnsMenu(list);
        QVERIFY(menu);
        menuItem(*menu, u"碟号"_s)->trigger();
        menu->hide();
        for (std::size_t k = 0; k < columns.size(); ++k)
            QCOMPARE(header->sectionSize(columns[k]), 61 + int(k));
    }

    // A folder's rows have their tags read soon after it is opened, also
    // the rows never drawn: the filter's first key finds them there.
    void theRowsOfAFolderAreReadInTheBackground()
    {
        MusicFolder music;
        constexpr int kFiles = 300;
        for (int i = 0; i < kFiles; ++i)
            addSong(music, u"%1.mp3"_s.arg(i, 3, 10, QChar(u'0')), u"Song %1"_s.arg(i));
        Program program(music.path());
        TReportList& list = *program.list();
        QCOMPARE(list.rowCount(), kFiles);
        const auto allRead = [&list] {
            for (int i = 0; i < list.rowCount(); ++i) {
                if (!list.rows().isRead(i))
                    return false;
            }
            return true;
        };
        QTRY_VERIFY_WITH_TIMEOUT(allRead(), 20000);
        QVERIFY(!list.readingRows());
        QCOMPARE(program.text(kFiles - 1, TReportModel::TitleColumn), u"Song 299"_s);
    }

    void headerClicksSortAndBatchesFollowTheShownOrder()
    {
        MusicFolder music;
        addSong(music, u"1.mp3"_s, u"中间"_s, u"10"_s);
        addSong(music, u"2.mp3"_s, u"北方"_s, u"2"_s);
        addSong(music, u"3.mp3"_s, u"阿姨"_s, u"3/12"_s);
        addSong(music, u"4.mp3"_s, QString(), QString());
        Program program(music.path());
        TFormMain& w = program.main();
        TReportList& list = *program.list();
        list.setColumnHidden(TReportModel::TrackColumn, false);
        clickHeader(list, TReportModel::TrackColumn);
        QCOMPARE(shownNames(program),
                 (QStringList{u"2.mp3"_s, u"3.mp3"_s, u"1.mp3"_s, u"4.mp3"_s}));

        // All selected, then the filter hides two rows: the batch writes the
        // others, in the order shown, and leaves the hidden ones alone.
        w.ui.MenuSelAll->trigger();
        QTest::keyClicks(w.ui.EditFilter, u"1"_s); // "1.mp3", and the track "3/12"
        QCOMPARE(shownNames(program), (QStringList{u"3.mp3"_s, u"1.mp3"_s}));
        w.ui.CheckBoxArtist->setChecked(true);
        w.ui.EditMArtist->setText(u"歌手"_s);
        w.ui.BtnChgMProp->click();
        QCOMPARE(program.log(), music.file(u"3.mp3"_s) + u"修改作者.\n"_s + music.file(u"1.mp3"_s) +
                                    u"修改作者."_s);
        // The rows read again keep the order and the filter.
        QCOMPARE(shownNames(program), (QStringList{u"3.mp3"_s, u"1.mp3"_s}));
        w.ui.EditFilter->clear();
        QCOMPARE(shownNames(program),
                 (QStringList{u"2.mp3"_s, u"3.mp3"_s, u"1.mp3"_s, u"4.mp3"_s}));
        QCOMPARE(program.text(0, TReportModel::ArtistColumn), QString());
    }

    // The page saved, the next row shown is selected, also when the new
    // title sorts the file elsewhere or the filter hides its neighbour.
    void aSaveSelectsTheRowShownAfterTheFile()
    {
        MusicFolder music;
        addSong(music, u"a.mp3"_s, u"A one"_s);
        addSong(music, u"b.mp3"_s, u"B two"_s);
        addSong(music, u"c.mp3"_s, u"C one"_s);
        addSong(music, u"d.mp3"_s, u"D two"_s);
        Program program(music.path());
        TFormMain& w = program.main();
        clickHeader(*program.list(), TReportModel::TitleColumn);
        program.clickRow(0);
        w.ui.EditTitle->setText(u"Z one"_s);
        w.ui.BtnChgProp->click();
        QCOMPARE(shownNames(program),
                 (QStringList{u"b.mp3"_s, u"c.mp3"_s, u"d.mp3"_s, u"a.mp3"_s}));
        QCOMPARE(w.ui.EditFile->text(), music.file(u"b.mp3"_s));
        // The row after b.mp3 is hidden: the one shown after it is next.
        QTest::keyClicks(w.ui.EditFilter, u"two"_s);
        QCOMPARE(shownNames(program), (QStringList{u"b.mp3"_s, u"d.mp3"_s}));
        program.clickRow(0);
        w.ui.EditTitle->setText(u"B2 two"_s);
        w.ui.BtnChgProp->click();
        QCOMPARE(w.ui.EditFile->text(), music.file(u"d.mp3"_s));
        QCOMPARE(program.list()->selectedRows(), std::vector<int>{2});
    }

    void theFilterKeepsMatchingRowsAlsoInTheNextFolder()
    {
        MusicFolder music;
        addSong(music, u"Love Me.mp3"_s, u"one"_s);
        addSong(music, u"b.mp3"_s, u"Lovely Day"_s, {}, u"LOVE"_s);
        addSong(music, u"c.mp3"_s, u"Other"_s, {}, u"love"_s);
        const QString other = music.subfolder(u"other"_s) + u'/';
        addSong(music, u"other/d.mp3"_s, u"GLOVES"_s);
        addSong(music, u"other/e.mp3"_s, u"none"_s);
        Program program(music.path());
        TFormMain& w = program.main();
        QVERIFY(w.ui.LabelFilter->text() == u"筛选"_s);
        const int c = int(program.captions().indexOf(u"c.mp3"_s));
        program.select({c});
        QTest::keyClicks(w.ui.EditFilter, u"lOVe"_s);
        // By name or by a shown cell, whatever the case; the composer is not shown.
        QCOMPARE(shownSet(program), (QStringList{u"Love Me.mp3"_s, u"b.mp3"_s}));
        QVERIFY(program.list()->selectedRows().empty());
        QVERIFY(program.selected().isEmpty());
        // The next folder is shown through the same filter.
        program.showFolder(other);
        QCOMPARE(w.ui.EditFilter->text(), u"lOVe"_s);
        QCOMPARE(shownSet(program), QStringList{u"d.mp3"_s});
        w.ui.EditFilter->clear();
        QCOMPARE(shownSet(program), (QStringList{u"d.mp3"_s, u"e.mp3"_s}));
    }
};

MP3T_TEST_MAIN(ListViewTest)
#include "ListViewTest.moc"
