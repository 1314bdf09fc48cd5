// Every frame of a file in the dialog of the list's pop-up menu: frames of
// each kind added, edited and removed, the others kept byte for byte, the
// APEv2 tag kept or removed, a file changed meanwhile refused; and the lyrics
// files beside the MP3s imported and exported through the menu. TagLib reads
// what the window wrote.

#include "tests/app/MainWindowFixture.h"
#include "tests/support/TestEnvironment.h"

#include <QTreeWidget>

#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/urllinkframe.h>

using namespace apptest;
using namespace testsupport;

namespace {

QString journalFolder()
{
    return qEnvironmentVariable("XDG_STATE_HOME") + u"/mp3tagloom"_s;
}

QString ql(const TagLib::String& s)
{
    return QString::fromStdString(s.to8Bit(true));
}

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((v >> (8 * i)) & 0xFF);
    return b;
}

// An APEv2 tag with a header and two items, as ReplayGain tools write it.
QByteArray apeTag()
{
    const QByteArray items = le32(8) + le32(0) + "REPLAYGAIN_TRACK_GAIN" + '\0' + "-6.20 dB" +
                             le32(6) + le32(0) + "Title" + '\0' + u"童话"_s.toUtf8();
    const quint32 size = quint32(items.size() + 32);
    const auto field = [&](quint32 flags) {
        return "APETAGEX" + le32(2000) + le32(size) + le32(2) + le32(flags) + QByteArray(8, '\0');
    };
    return field(0xA0000000u) + items + field(0x80000000u);
}

// Frames the dialog cannot show, and a cover: kept byte for byte.
const QByteArray kUnknown = frame23("XQZ9", "\x01\x02\x03 opaque"_ba);
const QByteArray kPrivate = frame23("PRIV", "owner\0\xDE\xAD\xBE\xEF"_ba);
const QByteArray kCover =
    frame23("APIC", "\0image/jpeg\0\x03\0"_ba + "\xFF\xD8\xFF\xE0 not a real jpeg"_ba);

QByteArray richMp3()
{
    const QByteArray frames = frame23("TIT2", textData(0, "Old title")) + kUnknown +
                              frame23("TXXX", textData(0, "mood\0sad"_ba)) + kCover +
                              frame23("COMM", textData(0, "eng\0old comment"_ba)) + kPrivate;
    return id3v2Tag(3, frames, 256) + silentMpegFrames();
}

QTreeWidget* frameList(QDialog* d)
{
    return d->findChild<QTreeWidget*>(u"ListViewFrames"_s);
}

// The list's rows as "tag ID text".
QStringList frameRows(QDialog* d)
{
    QStringList rows;
    QTreeWidget* list = frameList(d);
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        rows << item->text(0) + u' ' + item->text(1) + u' ' + item->text(3);
    }
    return rows;
}

int rowOf(QDialog* d, const QString& id)
{
    QTreeWidget* list = frameList(d);
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->text(1) == id)
            return i;
    }
    return -1;
}

void choose(QDialog* d, const QString& id)
{
    QTreeWidget* list = frameList(d);
    list->setFocus();
    list->clearSelection();
    list->setCurrentItem(list->topLevelItem(rowOf(d, id)));
    list->topLevelItem(rowOf(d, id))->setSelected(true);
}

void click(QWidget* d, const QString& name)
{
    d->findChild<QPushButton*>(name)->click();
}

QString said(QDialog* d)
{
    return d->findChild<QLabel*>(u"LabelFramesStatus"_s)->text();
}

// Fills the frame editor and confirms; what it refused with, when it did, is
// kept in `refusal` and the editor cancelled.
ModalAnswers::Answer fill(const QString& id, const QString& description, const QString& language,
                          const QString& value, QString* refusal = nullptr)
{
    return [=](QWidget* editor) {
        auto* combo = editor->findChild<QComboBox*>(u"ComboFrameId"_s);
        if (combo->isEnabled())
            combo->setCurrentText(id);
        auto* describedBy = editor->findChild<QLineEdit*>(u"EditFrameDescription"_s);
        if (describedBy->isEnabled())
            describedBy->setText(description);
        auto* languageOf = editor->findChild<QLineEdit*>(u"EditFrameLanguage"_s);
        if (languageOf->isEnabled())
            languageOf->setText(language);
        editor->findChild<QPlainTextEdit*>(u"EditFrameValue"_s)->setPlainText(value);
        click(editor, u"BtnFrameOk"_s);
        if (editor->isVisible()) {
            if (refusal)
                *refusal = editor->findChild<QLabel*>(u"LabelFrameRefusal"_s)->text();
            click(editor, u"BtnFrameCancel"_s);
        }
    };
}

// Opens a dialog over FormFrames with `open` and answers it once, as soon as
// it is shown; nothing is answered when `open` shows none.
void answering(const std::function<void()>& open, const ModalAnswers::Answer& answer)
{
    const auto armed = std::make_shared<bool>(true);
    QWidget* const under = QApplication::activeModalWidget();
    QTimer::singleShot(0, [armed, under, answer] {
        QWidget* modal = QApplication::activeModalWidget();
        if (*armed && modal && modal != under)
            answer(modal);
    });
    open();
    *armed = false;
}

ModalAnswers::Answer pressing(QMessageBox::StandardButton button)
{
    return [button](QWidget* box) {
        qobject_cast<QMessageBox*>(box)->button(button)->click();
    };
}

// Runs `steps` in FormFrames opened on the selected row through the menu; the
// dialog is closed after them, unasked, whatever they did.
bool inFrames(const Program& program, const std::function<void(QDialog*)>& steps)
{
    bool opened = false;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!d || d->objectName() != u"FormFrames"_s || d->windowTitle() != u"全部帧"_s)
            return;
        opened = true;
        steps(d);
        if (d->isVisible())
            d->done(QDialog::Rejected);
    });
    Q_EMIT program.main().ui.PopupMenuList->aboutToShow();
    program.main().ui.MenuFrames->trigger();
    return opened;
}

void undo(const Program& program)
{
    QVERIFY(program.main().ui.MenuUndo->isEnabled());
    program.main().ui.MenuUndo->trigger();
}

} // namespace

class FramesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QFile::remove(settingsPath());
        QDir(journalFolder()).removeRecursively();
    }

    void menuFollowsTheSelection()
    {
        MusicFolder music;
        music.add(u"a.mp3"_s, richMp3());
        music.add(u"b.mp3"_s, richMp3());
        Program program(music.path());
        const TFormMain& w = program.main();
        const auto states = [&] {
            Q_EMIT w.ui.PopupMenuList->aboutToShow();
            return QList{w.ui.MenuFrames->isEnabled(), w.ui.MenuLyricsImport->isEnabled(),
                         w.ui.MenuLyricsExport->isEnabled()};
        };
        QCOMPARE(states(), (QList{false, false, false}));
        program.select({0});
        QCOMPARE(states(), (QList{true, true, true}));
        program.select({0, 1});
        QCOMPARE(states(), (QList{false, true, true}));
        QCOMPARE(w.ui.MenuFrames->text(), u"全部帧(&F)..."_s);
        QCOMPARE(w.ui.MenuLyricsImport->text(), u"导入歌词(&L)"_s);
        QCOMPARE(w.ui.MenuLyricsExport->text(), u"导出歌词(&X)"_s);
    }

    void everyKindAddedEditedAndDeleted()
    {
        MusicFolder music;
        const QString path = music.add(u"a.mp3"_s, richMp3());
        const QByteArray original = readBytes(path);
        Program program(music.path());
        program.select({0});
        QStringList shown;
        QString saved;
        QVERIFY(inFrames(program, [&](QDialog* d) {
            shown = frameRows(d);
            choose(d, u"TIT2"_s);
            answering([&] { QTest::keyClick(frameList(d), Qt::Key_Return); },
                      fill({}, {}, {}, u"新标题"_s));
            choose(d, u"COMM"_s);
            answering([&] { click(d, u"BtnFrameEdit"_s); },
                      fill({}, u"短评"_s, u"chi"_s, u"改过的注释"_s));
            choose(d, u"TXXX"_s);
            QTest::keyClick(frameList(d), Qt::Key_Delete);
            for (const auto& added :
                 {fill(u"TPE2"_s, {}, {}, u"专辑艺术家"_s),
                  fill(u"TXXX"_s, u"心情"_s, {}, u"快乐"_s),
                  fill(u"USLT"_s, {}, u"XXX"_s, u"[00:01.00]第一行\n[00:02.50]第二行"_s),
                  fill(u"WOAR"_s, {}, {}, u"https://example.com/a"_s)})
                answering([&] { click(d, u"BtnFrameAdd"_s); }, added);
            click(d, u"BtnFramesSave"_s);
            saved = said(d);
        }));
        QCOMPARE(shown, (QStringList{u"ID3v2 TIT2 Old title"_s,
                                     u"ID3v2 XQZ9 (无法显示) 01 02 03 20 6f 70 61 71 75 65"_s,
                                     u"ID3v2 TXXX mood: sad"_s, shown[3],
                                     u"ID3v2 COMM old comment"_s, shown[5]}));
        QVERIFY2(shown[3].startsWith(u"ID3v2 APIC 封面"_s), qPrintable(shown[3]));
        QVERIFY2(shown[5].startsWith(u"ID3v2 PRIV "_s), qPrintable(shown[5]));
        QVERIFY2(saved.startsWith(u"已保存"_s), qPrintable(saved));

        const QByteArray now = readBytes(path);
        for (const QByteArray& kept : {kUnknown, kPrivate, kCover})
            QVERIFY(now.contains(kept));
        TagLib::MPEG::File file(nativePath(path).c_str());
        TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
        QVERIFY(tag);
        QCOMPARE(ql(tag->title()), u"新标题"_s);
        QCOMPARE(ql(tag->frameListMap()["TPE2"].front()->toString()), u"专辑艺术家"_s);
        auto* txxx = TagLib::ID3v2::UserTextIdentificationFrame::find(
            tag, TagLib::String("心情", TagLib::String::UTF8));
        QVERIFY(txxx);
        QCOMPARE(ql(txxx->fieldList().back()), u"快乐"_s);
        QVERIFY(!TagLib::ID3v2::UserTextIdentificationFrame::find(tag, "mood"));
        auto* comm =
            dynamic_cast<TagLib::ID3v2::CommentsFrame*>(tag->frameListMap()["COMM"].front());
        QCOMPARE(ql(comm->description()), u"短评"_s);
        QCOMPARE(QByteArray(comm->language().data(), 3), "chi"_ba);
        QCOMPARE(ql(comm->text()), u"改过的注释"_s);
        QCOMPARE(tag->frameListMap()["COMM"].size(), 1u);
        auto* uslt = dynamic_cast<TagLib::ID3v2::UnsynchronizedLyricsFrame*>(
            tag->frameListMap()["USLT"].front());
        QCOMPARE(ql(uslt->text()), u"[00:01.00]第一行\n[00:02.50]第二行"_s);
        QCOMPARE(ql(tag->frameListMap()["WOAR"].front()->toString()), u"https://example.com/a"_s);
        QCOMPARE(tag->frameListMap()["APIC"].size(), 1u);

        // The list's row shows the new title; the save is one step of the history.
        QCOMPARE(program.text(0, 1), u"新标题"_s);
        QVERIFY(program.log().contains(u"a.mp3修改帧."_s));
        undo(program);
        QCOMPARE(readBytes(path), original);
        QCOMPARE(program.text(0, 1), u"Old title"_s);
    }

    void refusedFramesSayWhy_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("reason");
        QTest::newRow("three letters") << u"TIT"_s << u""_s << u"x"_s << u"四个大写字母"_s;
        QTest::newRow("a picture") << u"APIC"_s << u""_s << u"x"_s << u"只能设置文本帧"_s;
        QTest::newRow("language of two") << u"COMM"_s << u"zh"_s << u"x"_s << u"三个字母"_s;
        QTest::newRow("empty text") << u"TPE1"_s << u""_s << u""_s << u"内容为空"_s;
        QTest::newRow("URL with a space") << u"WOAR"_s << u""_s << u"http://a b"_s << u"ASCII"_s;
    }
    void refusedFramesSayWhy()
    {
        QFETCH(QString, id);
        QFETCH(QString, language);
        QFETCH(QString, value);
        QFETCH(QString, reason);
        MusicFolder music;
        const QString path = music.add(u"a.mp3"_s, richMp3());
        Program program(music.path());
        program.select({0});
        QString refusal;
        QStringList after;
        QVERIFY(inFrames(program, [&](QDialog* d) {
            answering([&] { click(d, u"BtnFrameAdd"_s); },
                      fill(id, u"d"_s, language, value, &refusal));
            after = frameRows(d);
        }));
        QVERIFY2(refusal.contains(reason), qPrintable(refusal));
        QCOMPARE(after.size(), 6);
        QCOMPARE(readBytes(path), richMp3());
    }

    void readOnlyRowsAndClosingAsks()
    {
        MusicFolder music;
        const QString path = music.add(u"a.mp3"_s, richMp3() + id3v1Trailer("v1 title"));
        const QByteArray original = readBytes(path);
        Program program(music.path());
        program.select({0});
        QString refusedEdit;
        bool stayedOpen = false;
        QStringList asked;
        QVERIFY(inFrames(program, [&](QDialog* d) {
            choose(d, u"title"_s); // the ID3v1 field
            click(d, u"BtnFrameEdit"_s);
            refusedEdit = said(d);
            choose(d, u"XQZ9"_s);
            click(d, u"BtnFrameEdit"_s); // a frame we cannot show: kept, not edited
            refusedEdit += u'|' + said(d);
            choose(d, u"TIT2"_s);
            QTest::keyClick(frameList(d), Qt::Key_Delete);
            const auto ask = [&](QMessageBox::StandardButton button) {
                return [&asked, button](QWidget* box) {
                    asked << qobject_cast<QMessageBox*>(box)->text();
                    pressing(button)(box);
                };
            };
            answering([&] { click(d, u"BtnFramesClose"_s); }, ask(QMessageBox::Cancel));
            stayedOpen = d->isVisible();
            answering([&] { click(d, u"BtnFramesClose"_s); }, ask(QMessageBox::Discard));
            stayedOpen = stayedOpen && !d->isVisible();
        }));
        QVERIFY2(refusedEdit.contains(u"只读"_s) && refusedEdit.contains(u"无法在这里编辑"_s),
                 qPrintable(refusedEdit));
        QVERIFY(stayedOpen);
        QCOMPARE(asked, (QStringList{u"帧已修改, 是否保存?"_s, u"帧已修改, 是否保存?"_s}));
        QCOMPARE(readBytes(path), original);
    }

    void closingWithChangesSavesWhenAsked()
    {
        MusicFolder music;
        const QString path = music.add(u"a.mp3"_s, richMp3());
        Program program(music.path());
        program.select({0});
        QVERIFY(inFrames(program, [&](QDialog* d) {
            choose(d, u"COMM"_s);
            click(d, u"BtnFrameDelete"_s);
            answering([&] { click(d, u"BtnFramesClose"_s); }, pressing(QMessageBox::Save));
        }));
        QVERIFY2(program.log().contains(u"a.mp3修改帧."_s), qPrintable(program.log()));
        TagLib::MPEG::File file(nativePath(path).c_str());
        QVERIFY(file.ID3v2Tag()->frameListMap()["COMM"].isEmpty());
        QCOMPARE(ql(file.ID3v2Tag()->title()), u"Old title"_s);
    }

    // Every frame of the fields deleted: gone from the tag, not left empty;
    // the frames the dialog cannot show and the cover byte for byte; one step.
    void deletedFieldFramesAreGone()
    {
        const QList<QByteArray> ids{"TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON",
                                    "COMM", "TPOS", "TPE2", "TCOM", "USLT"};
        QByteArray frames = kUnknown + kCover;
        for (const QByteArray& id : ids) {
            const QByteArray text = id == "COMM" || id == "USLT" ? "eng\0text "_ba + id : id + "1";
            frames += frame23(id.constData(), textData(0, text));
        }
        MusicFolder music;
        const QString path =
            music.add(u"a.mp3"_s, id3v2Tag(3, frames + kPrivate, 64) + silentMpegFrames());
        const QByteArray original = readBytes(path);
        Program program(music.path());
        program.select({0});
        QString saved;
        QVERIFY(inFrames(program, [&](QDialog* d) {
            for (const QByteArray& id : ids) {
                choose(d, QString::fromLatin1(id));
                click(d, u"BtnFrameDelete"_s);
            }
            click(d, u"BtnFramesSave"_s);
            saved = said(d);
        }));
        QVERIFY2(saved.startsWith(u"已保存"_s), qPrintable(saved));
        {
            TagLib::MPEG::File file(nativePath(path).c_str());
            const auto map = file.ID3v2Tag()->frameListMap();
            for (const QByteArray& id : ids)
                QVERIFY2(map[id.constData()].isEmpty(), id.constData());
            QVERIFY(map["TDRC"].isEmpty());
            QCOMPARE(file.ID3v2Tag()->frameList().size(), 3u);
        }
        QCOMPARE(readBytes(path).mid(10, kUnknown.size() + kCover.size() + kPrivate.size()),
                 kUnknown + kCover + kPrivate);
        undo(program);
        QCOMPARE(readBytes(path), original);
    }

    void apeTagKeptThroughASaveAndRemovedOnRequest()
    {
        MusicFolder music;
        const QByteArray audio = silentMpegFrames();
        const QString path =
            music.add(u"a.mp3"_s, id3v2Tag(3, frame23("TIT2", textData(0, "T")), 64) + audio +
                                      apeTag() + id3v1Trailer("v1 title"));
        Program program(music.path());
        program.select({0});
        QStringList shown;
        QString removed;
        QVERIFY(inFrames(program, [&](QDialog* d) {
            shown = frameRows(d);
            choose(d, u"TIT2"_s);
            answering([&] { click(d, u"BtnFrameEdit"_s); }, fill({}, {}, {}, u"新的"_s));
            click(d, u"BtnFramesSave"_s);
        }));
        QVERIFY(shown.contains(u"APEv2 REPLAYGAIN_TRACK_GAIN -6.20 dB"_s));
        QVERIFY(shown.contains(u"APEv2 Title 童话"_s));
        QVERIFY(shown.contains(u"ID3v1 title v1 title"_s));
        QVERIFY(readBytes(path).contains(audio + apeTag() + id3v1Trailer("v1 title")));
        {
            TagLib::MPEG::File file(nativePath(path).c_str());
            QVERIFY(file.hasAPETag());
            QCOMPARE(ql(file.ID3v2Tag()->title()), u"新的"_s);
        }

        const QByteArray withApe = readBytes(path);
        QVERIFY(inFrames(program, [&](QDialog* d) {
            click(d, u"BtnApeRemove"_s);
            QVERIFY(!d->findChild<QPushButton*>(u"BtnApeRemove"_s)->isEnabled());
            click(d, u"BtnFramesSave"_s);
            removed = said(d);
            shown = frameRows(d);
        }));
        QVERIFY2(removed.contains(u"删除 APEv2 标签"_s), qPrintable(removed));
        QVERIFY(!shown.join(u'\n').contains(u"APEv2"_s));
        const QByteArray withoutApe = readBytes(path);
        QVERIFY(withoutApe.endsWith(audio + id3v1Trailer("v1 title")));
        {
            TagLib::MPEG::File file(nativePath(path).c_str());
            QVERIFY(!file.hasAPETag());
            QCOMPARE(ql(file.ID3v1Tag()->title()), u"v1 title"_s);
            QCOMPARE(ql(file.ID3v2Tag()->title()), u"新的"_s);
        }

        // A step of the history: undone byte for byte, and redone.
        undo(program);
        QCOMPARE(readBytes(path), withApe);
        program.main().ui.MenuRedo->trigger();
        QCOMPARE(readBytes(path), withoutApe);
    }

    // The frames edited and the APEv2 tag cut off in one save: one step.
    void apeRemovedWithFrameEditsIsOneStep()
    {
        MusicFolder music;
        const QByteArray original =
            id3v2Tag(3, frame23("TIT2", textData(0, "T")), 64) + silentMpegFrames() + apeTag();
        const QString path = music.add(u"a.mp3"_s, original);
        Program program(music.path());
        program.select({0});
        QString saved;
        QVERIFY(inFrames(program, [&](QDialog* d) {
            choose(d, u"TIT2"_s);
            answering([&] { click(d, u"BtnFrameEdit"_s); }, fill({}, {}, {}, u"新的"_s));
            click(d, u"BtnApeRemove"_s);
            click(d, u"BtnFramesSave"_s);
            saved = said(d);
        }));
        QVERIFY2(saved.contains(u"修改帧, 删除 APEv2 标签"_s), qPrintable(saved));
        {
            TagLib::MPEG::File file(nativePath(path).c_str());
            QVERIFY(!file.hasAPETag());
            QCOMPARE(ql(file.ID3v2Tag()->title()), u"新的"_s);
        }
        undo(program);
        QCOMPARE(readBytes(path), original);
    }

    void fileChangedMeanwhileIsRefused()
    {
        MusicFolder music;
        const QString path = music.add(u"a.mp3"_s, richMp3());
        Program program(music.path());
        program.select({0});
        QString saved;
        const QByteArray theirs =
            id3v2Tag(3, frame23("TIT2", textData(0, "Theirs")), 256) + silentMpegFrames();
        QVERIFY(inFrames(program, [&](QDialog* d) {
            choose(d, u"TIT2"_s);
            click(d, u"BtnFrameDelete"_s);
            writeBytes(path, theirs);
            click(d, u"BtnFramesSave"_s);
            saved = said(d);
        }));
        QVERIFY2(saved.contains(u"已被其他程序修改"_s), qPrintable(saved));
        QCOMPARE(readBytes(path), theirs);
        QVERIFY(program.log().contains(u"修改帧失败"_s));
    }

    void lyricsImportedInEveryEncoding()
    {
        MusicFolder music;
        const QString text = u"[00:01.00]童话 第一句\n[00:05.20]听说白雪公主"_s;
        const QString big5Text = u"[00:01.00]聽說 童話\n[00:05.20]我願變成"_s;
        struct Lrc {
            QString name;
            QByteArray bytes;
            QString encoding;
            QString text;
        };
        const QList<Lrc> lrcs{
            {u"utf8"_s, text.toUtf8(), u"UTF-8"_s, text},
            {u"bom"_s, "\xEF\xBB\xBF"_ba + text.toUtf8(), u"UTF-8 (BOM)"_s, text},
            {u"gbk"_s, encoded("GBK", text), u"GBK"_s, text},
            {u"big5"_s, encoded("Big5", big5Text), u"Big5"_s, big5Text},
        };
        QMap<QString, QByteArray> before;
        for (const Lrc& lrc : lrcs) {
            before[lrc.name] = richMp3();
            music.add(lrc.name + u".mp3"_s, richMp3());
            writeBytes(music.file(lrc.name + u".lrc"_s), lrc.bytes);
        }
        music.add(u"none.mp3"_s, richMp3());
        Program program(music.path());
        program.main().ui.MenuSelAll->trigger();
        Q_EMIT program.main().ui.PopupMenuList->aboutToShow();
        program.main().ui.MenuLyricsImport->trigger();

        for (const Lrc& lrc : lrcs) {
            TagLib::MPEG::File file(nativePath(music.file(lrc.name + u".mp3"_s)).c_str());
            const auto frames = file.ID3v2Tag()->frameListMap()["USLT"];
            QCOMPARE(frames.size(), 1u);
            auto* uslt = dynamic_cast<TagLib::ID3v2::UnsynchronizedLyricsFrame*>(frames.front());
            QCOMPARE(ql(uslt->text()), lrc.text);
            QCOMPARE(QByteArray(uslt->language().data(), 3), "XXX"_ba);
            QVERIFY(uslt->description().isEmpty());
            QVERIFY2(
                program.log().contains(lrc.name + u".mp3导入歌词 ("_s + lrc.encoding + u")."_s),
                qPrintable(program.log()));
        }
        QVERIFY2(program.log().contains(u"none.mp3导入歌词失败: 没有歌词文件"_s),
                 qPrintable(program.log()));
        QCOMPARE(readBytes(music.file(u"none.mp3"_s)), richMp3());

        // One step for all.
        undo(program);
        for (const Lrc& lrc : lrcs)
            QCOMPARE(readBytes(music.file(lrc.name + u".mp3"_s)), before[lrc.name]);
    }

    void lyricsExportAsksBeforeOverwriting()
    {
        MusicFolder music;
        const QString lyrics = u"[00:01.00]第一行\n[00:02.00]second"_s;
        const QByteArray mp3 =
            id3v2Tag(3, frame23("USLT", "\x01XXX\xFF\xFE\0\0"_ba + utf16WithBom(lyrics)), 64) +
            silentMpegFrames();
        music.add(u"a.mp3"_s, mp3);
        music.add(u"b.mp3"_s, mp3);
        const QString lrcA = music.file(u"a.lrc"_s);
        writeBytes(lrcA, "old lyrics");
        Program program(music.path());
        program.select({0, 1});
        const auto exportWith = [&](QMessageBox::StandardButton button) {
            ModalAnswers question({pressing(button)});
            Q_EMIT program.main().ui.PopupMenuList->aboutToShow();
            program.main().ui.MenuLyricsExport->trigger();
            return question.messages();
        };
        QCOMPARE(exportWith(QMessageBox::No).size(), 1);
        QCOMPARE(readBytes(lrcA), "old lyrics"_ba);
        QCOMPARE(readBytes(music.file(u"b.lrc"_s)), lyrics.toUtf8());
        QVERIFY(program.log().contains(u"a.lrc已存在, 未覆盖."_s));

        QFile::remove(music.file(u"b.lrc"_s));
        QCOMPARE(exportWith(QMessageBox::Yes).size(), 1);
        QCOMPARE(readBytes(lrcA), lyrics.toUtf8());
        QCOMPARE(readBytes(music.file(u"b.lrc"_s)), lyrics.toUtf8());
    }
};

QTEST_MAIN(FramesTest)
#include "FramesTest.moc"
