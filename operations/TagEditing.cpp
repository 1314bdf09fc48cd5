#include "operations/TagEditing.h"

#include "operations/TagText.h"
#include "platform/CodePage.h"
#include "platform/FileOps.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <system_error>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

std::string native(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// Widget texts longer than this are cut before an ID3v1 setter sees them; the
// setters then cut to the field's width.
constexpr int kV1TextLimit = 255;

std::string v1Text(const QString& text)
{
    return platform::TextToAnsi(text.left(kV1TextLimit));
}

bool writesV1(int showId)
{
    return showId == ShowV1Only || showId == PreferV2;
}
bool writesV2(int showId)
{
    return showId == ShowV2Only || showId == PreferV2;
}

// Why a write that reported failure could not be made, as far as the file
// and its folder tell.
QString failureReason(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return u"文件不存在"_s;
    if (!info.isFile())
        return u"不是文件"_s;
    if (platform::IsReadOnly(path))
        return u"文件只读"_s;
    if (platform::IsReadOnly(info.absolutePath()))
        return u"文件夹只读"_s;
    return u"写入失败"_s;
}

} // namespace

SaveOutcome saveProperties(TID3v1& v1, TID3v2& v2, int showId, const QString& path,
                           const PropertyValues& page)
{
    if (!writesV1(showId) && !writesV2(showId))
        return {false, u"显示优先级无效"_s};
    const std::string file = native(path);
    if (writesV1(showId))
        v1.ReadFromFile(file);
    // A field the page shows as the file has it keeps its frame.
    if (writesV2(showId))
        v2.ReadFromFile(file);
    v1.SetTitle(v1Text(page.title));
    v1.SetArtist(v1Text(page.artist));
    v1.SetAlbum(v1Text(page.album));
    v1.SetYear(v1Text(page.year));
    v1.SetGenreID(page.genreIndex >= 0 && page.genreIndex < 256 ? uint8_t(page.genreIndex) : 255);
    v1.SetComment(v1Text(page.comment));

    v2.Title = editedText(page.title, v2.Title);
    v2.Artist = editedText(page.artist, v2.Artist);
    v2.Album = editedText(page.album, v2.Album);
    v2.Year = editedText(page.year, v2.Year);
    v2.Genre = editedText(page.genreText, v2.Genre);
    v2.Comment = editedText(page.comment, v2.Comment);

    bool ok = true;
    QString systemError;
    if (writesV1(showId))
        ok = v1.SaveToFile(file);
    if (writesV2(showId)) {
        try {
            ok = v2.SaveToFile(file) && ok;
        } catch (const std::system_error& e) {
            ok = false;
            systemError = QString::fromLocal8Bit(e.code().message());
        }
    }
    if (ok)
        return {true, {}};
    return {false, systemError.isEmpty() ? failureReason(path) : u"写入失败: "_s + systemError};
}

FieldChangeOutcome changeFields(TID3v1& v1, TID3v2& v2, int showId, const QString& path,
                                const FieldValues& values)
{
    FieldChangeOutcome outcome;
    // A priority outside the three names no version to write.
    if (!values.any() || !(writesV1(showId) || writesV2(showId)))
        return outcome;
    const std::string file = native(path);
    v1.ReadFromFile(file);
    v2.ReadFromFile(file);
    if (values.title) {
        v1.SetTitle(v1Text(*values.title));
        v2.Title = editedText(*values.title, v2.Title);
    }
    if (values.artist) {
        v1.SetArtist(v1Text(*values.artist));
        v2.Artist = editedText(*values.artist, v2.Artist);
    }
    if (values.album) {
        v1.SetAlbum(v1Text(*values.album));
        v2.Album = editedText(*values.album, v2.Album);
    }
    outcome.written = true;
    bool ok = true;
    if (writesV1(showId))
        ok = v1.SaveToFile(file) && ok;
    if (writesV2(showId))
        ok = v2.SaveToFile(file) && ok;
    outcome.succeeded = ok;
    return outcome;
}

QString titleFromFileName(const QString& caption)
{
    return caption.left(std::max<qsizetype>(0, caption.size() - 4));
}

} // namespace operations
