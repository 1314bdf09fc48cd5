// A mixed collection as users keep it: GBK in frames that declare ISO-8859-1
// and in ID3v1, UTF-16 and UTF-8 frames, Big5, and Western texts. Each is
// shown right by the list and the page, survives an edit, and what the window
// writes reads right in an independent reader.

#include "tests/app/MainWindowFixture.h"
#include "tests/support/NativeNameFiles.h"
#include "tests/support/TestEnvironment.h"

#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "widgets/RadioGroup.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>

using namespace apptest;
using namespace testsupport;

namespace {

QByteArray legacyV2(const char* codec, const QString& title, const QString& artist)
{
    return id3v2Tag(3,
                    frame23("TIT2", textData(0, encoded(codec, title))) +
                        frame23("TPE1", textData(0, encoded(codec, artist))),
                    64) +
           silentMpegFrames();
}

QByteArray legacyV1(const char* codec, const QString& title, const QString& artist)
{
    return silentMpegFrames() + id3v1Trailer(encoded(codec, title), encoded(codec, artist));
}

// The title and artist as TagLib reads them.
QStringList readByTagLib(const QString& path)
{
    const TagLib::FileRef file(QFile::encodeName(path).constData());
    if (file.isNull() || !file.tag())
        return {};
    return {QString::fromStdString(file.tag()->title().to8Bit(true)),
            QString::fromStdString(file.tag()->artist().to8Bit(true))};
}

struct Song {
    QString file;
    QByteArray bytes;
    QString title;
    QString artist;
};

QList<Song> collection()
{
    return {
        {u"gbk-v2.mp3"_s, legacyV2("GBK", u"童话"_s, u"光良"_s), u"童话"_s, u"光良"_s},
        {u"gbk-v1.mp3"_s, legacyV1("GBK", u"后来"_s, u"刘若英"_s), u"后来"_s, u"刘若英"_s},
        {u"utf16.mp3"_s,
         id3v2Tag(3, frame23("TIT2", textData(1, utf16WithBom(u"晴天"_s))) +
                         frame23("TPE1", textData(1, utf16WithBom(u"周杰伦"_s)))) +
             silentMpegFrames(),
         u"晴天"_s, u"周杰伦"_s},
        {u"utf8-v24.mp3"_s,
         id3v2Tag(4, frame24("TIT2", textData(3, "夜曲")) + frame24("TPE1", textData(3, "Jay"))) +
             silentMpegFrames(),
         u"夜曲"_s, u"Jay"_s},
        {u"big5-v2.mp3"_s, legacyV2("Big5", u"月亮代表我的心"_s, u"鄧麗君"_s), u"月亮代表我的心"_s,
         u"鄧麗君"_s},
        {u"big5-v1.mp3"_s, legacyV1("Big5", u"甜蜜蜜"_s, u"鄧麗君"_s), u"甜蜜蜜"_s, u"鄧麗君"_s},
        {u"latin-v2.mp3"_s, legacyV2("windows-1252", u"Café Début"_s, u"Zoé"_s), u"Café Début"_s,
         u"Zoé"_s},
        {u"latin-v1.mp3"_s, legacyV1("windows-1252", u"Déjà vu"_s, u"Björk"_s), u"Déjà vu"_s,
         u"Björk"_s},
    };
}

} // namespace

class TextFidelityTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QFile::remove(settingsPath()); }

    void everyKindIsShownRight()
    {
        MusicFolder music;
        const QList<Song> songs = collection();
        for (const Song& song : songs)
            music.add(song.file, song.bytes);
        Program program(music.path());
        TFormMain& w = program.main();
        for (const Song& song : songs) {
            const int row = program.captions().indexOf(song.file);
            QVERIFY2(row >= 0, qPrintable(song.file));
            QCOMPARE(program.cells(row).mid(0, 2), QStringList({song.title, song.artist}));
            program.clickRow(row);
            QCOMPARE(w.ui.EditTitle->text(), song.title);
            QCOMPARE(w.ui.EditArt->text(), song.artist);
        }
    }

    // Bytes that read as well in GBK as in Big5 follow the preferred code
    // page of the settings.
    void undecidedTextsFollowThePreferredCodePage_data()
    {
        QTest::addColumn<QString>("preferred");
        QTest::addColumn<bool>("readAsBig5");
        QTest::newRow("default") << QString() << false;
        QTest::newRow("Big5") << u"Big5"_s << true;
        QTest::newRow("unknown name") << u"EBCDIC"_s << false;
    }
    void undecidedTextsFollowThePreferredCodePage()
    {
        QFETCH(QString, preferred);
        QFETCH(bool, readAsBig5);
        MusicFolder music;
        music.add(u"a.mp3"_s, legacyV1("Big5", u"煎熬"_s, {}));
        if (!preferred.isEmpty())
            writeSetting(u"SysInfo"_s, u"LegacyCodePage"_s, preferred);
        Program program(music.path());
        QCOMPARE(program.cells(0).at(0) == u"煎熬"_s, readAsBig5);
    }

    // The write encoding chosen in the options dialog takes effect at once.
    void optionsDialogSetsTheWriteEncoding()
    {
        MusicFolder music;
        music.add(u"a.mp3"_s, silentMpegFrames());
        Program program(music.path());
        TFormMain& w = program.main();
        QCOMPARE(w.core().encoding(), operations::WriteEncoding::Unicode);
        const ModalAnswers answers({[](QWidget* dialog) {
            auto* group = dialog->findChild<TRadioGroup*>(u"RadioGrpEncoding"_s);
            group->setItemIndex(1);
            dialog->findChild<QPushButton*>(u"BtnOk"_s)->click();
        }});
        w.ui.MenuItemOption->trigger();
        QCOMPARE(w.core().encoding(), operations::WriteEncoding::Gbk);
        program.clickRow(0);
        w.ui.EditTitle->setText(u"老歌"_s);
        w.ui.BtnChgProp->click();
        TID3v2 tag;
        tag.ReadFromFile(nativePath(music.file(u"a.mp3"_s)));
        QCOMPARE(tag.Title, tags::legacyText(gbk(u"老歌"_s).toStdString()));
    }

    // An edit of the artist under each write encoding (both tags written, the
    // default priority): the title the user left alone keeps its bytes, the
    // artist reads back as typed, here and in TagLib (Unicode), or as GBK
    // bytes (the GBK profile).
    void everyKindSurvivesAnEdit_data()
    {
        QTest::addColumn<QString>("encoding");
        QTest::newRow("unicode") << u"unicode"_s;
        QTest::newRow("gbk") << u"gbk"_s;
    }
    void everyKindSurvivesAnEdit()
    {
        QFETCH(QString, encoding);
        MusicFolder music;
        const QList<Song> songs = collection();
        for (const Song& song : songs)
            music.add(song.file, song.bytes);
        writeSetting(u"SysInfo"_s, u"TextEncoding"_s, encoding);
        Program program(music.path());
        TFormMain& w = program.main();
        for (const Song& song : songs) {
            program.clickRow(program.captions().indexOf(song.file));
            const QString typed = song.artist + u" 和朋友"_s;
            w.ui.EditArt->setText(typed);
            // GBK lacks "ö": the GBK profile writes its base letter.
            const QString artist =
                encoding == u"gbk"_s ? QString(typed).replace(u'ö', u'o') : typed;
            w.ui.BtnChgProp->click();
            QVERIFY2(program.log().endsWith(music.file(song.file) + u"修改属性."_s),
                     qPrintable(song.file));
            const int row = program.captions().indexOf(song.file);
            QCOMPARE(program.cells(row).mid(0, 2), QStringList({song.title, artist}));
            TID3v2 tag;
            tag.ReadFromFile(nativePath(music.file(song.file)));
            if (encoding == u"unicode"_s) {
                QCOMPARE(tag.Artist, tags::unicodeText(artist.toStdString()));
                QCOMPARE(readByTagLib(music.file(song.file)).value(1), artist);
            } else {
                QCOMPARE(tag.Artist, tags::legacyText(gbk(artist).toStdString()));
            }
        }
        // The Big5 title nobody touched: as it was shown, in the form of the
        // profile, so that the tag holds one form throughout.
        const QByteArray big5 = readBytes(music.file(u"big5-v2.mp3"_s));
        const QByteArray title = encoding == u"unicode"_s
                                     ? textData(1, utf16WithBom(u"月亮代表我的心"_s))
                                     : textData(0, encoded("GBK", u"月亮代表我的心"_s));
        QVERIFY(big5.contains(frame23("TIT2", title)));
    }

    // The inspector lists each selected file's legacy texts as its code page
    // reads them, lets the user read a file in another one, and converts them
    // to Unicode; a file that is Unicode already is left alone.
    void inspectorConvertsToUnicode()
    {
        MusicFolder music;
        const QByteArray unicodeFile = collection().at(2).bytes;
        music.add(u"a-gbk.mp3"_s, legacyV2("GBK", u"童话"_s, u"光良"_s));
        music.add(u"b-big5.mp3"_s, legacyV2("Big5", u"月亮代表我的心"_s, u"鄧麗君"_s) +
                                       id3v1Trailer(encoded("Big5", u"甜蜜蜜"_s)));
        music.add(u"c-utf16.mp3"_s, unicodeFile);
        Program program(music.path());
        TFormMain& w = program.main();
        w.ui.MenuSelAll->trigger();
        QStringList shown;
        QStringList overridden;
        const auto inspect = [&](QWidget* dialog) {
            auto* list = dialog->findChild<QTreeWidget*>(u"ListViewEncoding"_s);
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                shown << list->topLevelItem(i)->text(1) + u'=' + list->topLevelItem(i)->text(4);
            // Read the Big5 file as GBK, then as detected again.
            auto* combo = dialog->findChild<QComboBox*>(u"ComboCodec"_s);
            list->topLevelItem(2)->setSelected(true);
            combo->setCurrentIndex(1);
            Q_EMIT combo->activated(1);
            overridden << list->topLevelItem(2)->text(3) + u'=' + list->topLevelItem(3)->text(3);
            combo->setCurrentIndex(0);
            Q_EMIT combo->activated(0);
            dialog->findChild<QPushButton*>(u"BtnConvert"_s)->click();
        };
        const ModalAnswers answers({inspect});
        w.ui.MenuEncoding->trigger();
        QCOMPARE(shown, QStringList({u"标题=童话"_s, u"作者=光良"_s, u"标题=月亮代表我的心"_s,
                                     u"作者=鄧麗君"_s, u"ID3v1 标题=甜蜜蜜"_s}));
        QCOMPARE(overridden, QStringList{u"GBK=GBK"_s});
        QCOMPARE(program.log(), music.file(u"a-gbk.mp3"_s) + u"编码转换.\n"_s +
                                    music.file(u"b-big5.mp3"_s) + u"编码转换."_s);
        QCOMPARE(program.status(2), u"共修改:2  成功:2  失败:0"_s);
        QCOMPARE(readBytes(music.file(u"c-utf16.mp3"_s)), unicodeFile);
        QCOMPARE(readByTagLib(music.file(u"a-gbk.mp3"_s)), QStringList({u"童话"_s, u"光良"_s}));
        QCOMPARE(readByTagLib(music.file(u"b-big5.mp3"_s)),
                 QStringList({u"月亮代表我的心"_s, u"鄧麗君"_s}));
        TID3v2 v2;
        v2.ReadFromFile(nativePath(music.file(u"b-big5.mp3"_s)));
        QVERIFY(v2.LegacyTexts().empty());
        TID3v1 v1;
        v1.ReadFromFile(nativePath(music.file(u"b-big5.mp3"_s)));
        QCOMPARE(v1.Title(), gbk(u"甜蜜蜜"_s).toStdString());
        QCOMPARE(program.cells(1).mid(0, 2), QStringList({u"月亮代表我的心"_s, u"鄧麗君"_s}));
    }

    // A file unzipped from a Windows archive has a GBK name: it is listed by
    // the name it reads as, its tags are read and saved, and the menu gives
    // it the UTF-8 form of that name.
    void gbkFileNameIsShownUsedAndRepaired()
    {
        MusicFolder music;
        const QByteArray folder = QFile::encodeName(music.path());
        const QByteArray gbkName = nativetest::gbk(u"老歌.mp3"_s);
        QVERIFY(nativetest::makeFileAt(folder + gbkName, legacyV2("GBK", u"老歌"_s, u"歌手"_s)));
        Program program(music.path());
        TFormMain& w = program.main();
        QCOMPARE(program.captions(), QStringList{u"老歌.mp3"_s});
        QCOMPARE(program.cells(0).mid(0, 2), QStringList({u"老歌"_s, u"歌手"_s}));
        program.clickRow(0);
        w.ui.EditAlbum->setText(u"专辑"_s);
        w.ui.BtnChgProp->click();
        // The log names the file as the list does.
        QVERIFY2(program.log().endsWith(music.file(u"老歌.mp3"_s) + u"修改属性."_s),
                 qPrintable(program.log()));
        QVERIFY(nativetest::readAt(folder + gbkName).contains(utf16WithBom(u"专辑"_s)));

        program.select({0});
        w.PopupMenuListPopup();
        QVERIFY(w.ui.MenuFixName->isEnabled());
        w.ui.MenuFixName->trigger();
        QCOMPARE(nativetest::namesIn(folder), QByteArrayList{u"老歌.mp3"_s.toUtf8()});
        QVERIFY(program.log().endsWith(music.file(u"老歌.mp3"_s) + u"->"_s +
                                       music.file(u"老歌.mp3"_s)));
        QCOMPARE(program.captions(), QStringList{u"老歌.mp3"_s});
        w.PopupMenuListPopup();
        QVERIFY(!w.ui.MenuFixName->isEnabled());
        // The repaired file is the same music with the same tags.
        QVERIFY(readBytes(music.file(u"老歌.mp3"_s)).contains(utf16WithBom(u"专辑"_s)));
    }

    // The repair never replaces a file that has the UTF-8 name already.
    void nameRepairNeverReplaces()
    {
        MusicFolder music;
        const QByteArray folder = QFile::encodeName(music.path());
        const QByteArray gbkName = nativetest::gbk(u"老歌.mp3"_s);
        QVERIFY(nativetest::makeFileAt(folder + gbkName, legacyV1("GBK", u"甲"_s, {})));
        music.add(u"老歌.mp3"_s, legacyV1("GBK", u"乙"_s, {}));
        Program program(music.path());
        TFormMain& w = program.main();
        w.ui.MenuSelAll->trigger();
        w.ui.MenuFixName->trigger();
        // The plan says why before anything moves.
        QVERIFY2(program.log().endsWith(u"修复文件名失败！(文件夹中已有“老歌.mp3”)"_s),
                 qPrintable(program.log()));
        QCOMPARE(nativetest::namesIn(folder).size(), 2);
        QVERIFY(readBytes(music.file(u"老歌.mp3"_s)).contains(gbk(u"乙"_s)));
        ::unlink((folder + gbkName).constData()); // QTemporaryDir cannot remove it
    }

    // The window repairs a name as the command line does: a Shift-JIS name
    // to Japanese, shown so in the list first; a name no code page reads
    // with confidence stays, and the log says why.
    void nameRepairOnlyWhenSure()
    {
        MusicFolder music;
        const QByteArray folder = QFile::encodeName(music.path());
        const QByteArray japanese = "\x93\xFA\x96\x7B\x8C\xEA.mp3";
        const QByteArray unknown = "\x80\xFF.mp3";
        QVERIFY(nativetest::makeFileAt(folder + japanese, legacyV1("GBK", u"甲"_s, {})));
        QVERIFY(nativetest::makeFileAt(folder + unknown, legacyV1("GBK", u"乙"_s, {})));
        Program program(music.path());
        TFormMain& w = program.main();
        QVERIFY(program.captions().contains(u"日本語.mp3"_s));
        w.ui.MenuSelAll->trigger();
        w.ui.MenuFixName->trigger();
        QVERIFY(program.log().contains(u"修复文件名失败！(无法确定编码)"_s));
        QVERIFY(program.log().contains(u"->"_s + music.file(u"日本語.mp3"_s)));
        QCOMPARE(nativetest::namesIn(folder), QByteArrayList({unknown, u"日本語.mp3"_s.toUtf8()}));
    }

    // A repaired name the file system would refuse (its UTF-8 bytes too long
    // where the GBK ones fit) is planned as such: the file keeps its name,
    // and the log says why, as the command line's plan does.
    void nameRepairPlansFirst()
    {
        MusicFolder music;
        const QByteArray folder = QFile::encodeName(music.path());
        const QString longName = u"老歌新曲"_s.repeated(28) + u".mp3"_s;
        const QByteArray gbkName = nativetest::gbk(longName);
        QVERIFY(gbkName.size() < 255 && longName.toUtf8().size() > 255);
        QVERIFY(nativetest::makeFileAt(folder + gbkName, legacyV1("GBK", u"甲"_s, {})));
        Program program(music.path());
        TFormMain& w = program.main();
        w.ui.MenuSelAll->trigger();
        w.ui.MenuFixName->trigger();
        QVERIFY2(program.log().contains(u"修复文件名失败！(文件名过长("_s),
                 qPrintable(program.log()));
        QCOMPARE(nativetest::namesIn(folder), QByteArrayList{gbkName});
        ::unlink((folder + gbkName).constData()); // QTemporaryDir cannot remove it
    }

    // A rename by the tags of a Western file: the accents reach the name,
    // never a replacement character.
    void renamingKeepsAccents()
    {
        MusicFolder music;
        music.add(u"a.mp3"_s, legacyV2("windows-1252", u"Café Début"_s, u"Zoé"_s));
        Program program(music.path());
        TFormMain& w = program.main();
        program.select({0});
        w.ui.EditNameFormat->setText(u"%2 - %1"_s);
        runRenaming(w);
        QVERIFY(QFile::exists(music.file(u"Zoé - Café Début.MP3"_s)));
        QVERIFY(!program.log().contains(QChar(0xFFFD)));
    }
};

MP3T_TEST_MAIN(TextFidelityTest)
#include "TextFidelityTest.moc"
