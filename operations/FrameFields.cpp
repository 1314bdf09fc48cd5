#include "operations/FrameFields.h"

#include "operations/TagField.h"
#include "platform/NativePath.h"
#include "tags/APEv2.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tags/ID3v2Frame.h"
#include "tags/ID3v2FrameList.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

bool carriesDescription(QStringView id)
{
    return id == u"TXXX" || id == u"WXXX" || id == u"COMM" || id == u"USLT";
}

bool isFrameId(QStringView id)
{
    return id.size() == 4 && id.front().isUpper() && std::all_of(id.begin(), id.end(), [](QChar c) {
               return (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
           });
}

// Whether the listed frame is one the key names; without a description the
// first of the ID when reading, the one without a description when setting.
bool names(const tags::FrameSummary& frame, const FrameKey& key, bool setting,
           const FileTexts& texts)
{
    if (QString::fromLatin1(frame.id) != key.id)
        return false;
    if (!carriesDescription(key.id) || (!setting && !key.description))
        return true;
    return texts.shown(frame.description) == key.description.value_or(QString());
}

// The edits one set makes of the listed frames; nullopt when the value
// cannot be written in the frame.
std::optional<tags::FrameEdits> editsOf(const std::vector<tags::FrameSummary>& frames,
                                        const FrameSet& set, const FileTexts& texts)
{
    tags::FrameEdits edits;
    std::vector<std::size_t> named;
    for (const tags::FrameSummary& frame : frames) {
        if (names(frame, set.key, true, texts))
            named.push_back(frame.index);
    }
    if (set.value.isEmpty()) {
        edits.removed = named;
        return edits;
    }
    const auto replaced = std::find_if(frames.begin(), frames.end(), [&](const auto& frame) {
        return !named.empty() && frame.index == named.front();
    });
    const std::string language =
        set.language
            ? *set.language
            : (replaced != frames.end() && replaced->language.size() == 3 ? replaced->language
                                                                          : std::string("XXX"));
    auto frame = frameOf(set, language, texts);
    if (!frame)
        return std::nullopt;
    if (named.empty()) {
        edits.added.push_back(std::move(*frame));
        return edits;
    }
    edits.replaced.emplace_back(named.front(), std::move(*frame));
    edits.removed.assign(named.begin() + 1, named.end());
    return edits;
}

TagRow textRow(const QString& tag, const QString& id, const QString& name, const QString& text,
               std::uint64_t size)
{
    TagRow row;
    row.tag = tag;
    row.id = id;
    row.name = name;
    row.text = text;
    row.size = size;
    return row;
}

QString v1Name(Field field)
{
    switch (field) {
    case Field::Title:
        return u"标题"_s;
    case Field::Artist:
        return u"艺术家"_s;
    case Field::Album:
        return u"专辑"_s;
    case Field::Year:
        return u"年份"_s;
    case Field::Genre:
        return u"流派"_s;
    case Field::Comment:
        return u"注释"_s;
    default:
        return u"音轨"_s;
    }
}

void addV1Rows(const TID3v1& v1, const FileTexts& texts, std::vector<TagRow>& rows)
{
    const auto add = [&](Field field, const QString& text, std::uint64_t size) {
        if (!text.isEmpty())
            rows.push_back(textRow(u"ID3v1"_s, fieldName(field), v1Name(field), text, size));
    };
    add(Field::Title, texts.shown(v1.Title()), v1.Title().size());
    add(Field::Artist, texts.shown(v1.Artist()), v1.Artist().size());
    add(Field::Album, texts.shown(v1.Album()), v1.Album().size());
    add(Field::Year, texts.shown(v1.Year()), v1.Year().size());
    add(Field::Comment, texts.shown(v1.Comment()), v1.Comment().size());
    add(Field::Track, v1.Track() > 0 ? QString::number(v1.Track()) : QString(), 1);
    add(Field::Genre, QString::fromLatin1(v1.Genre()), 1);
}

void addApeRows(const tags::ApeTag& ape, std::vector<TagRow>& rows)
{
    if (ape.items.empty()) {
        rows.push_back(textRow(u"APEv2"_s, u"APEv2"_s, u"APEv2标签"_s,
                               u"无法读取的项目, %1 字节"_s.arg(ape.size), ape.size));
        return;
    }
    for (const tags::ApeItem& item : ape.items) {
        TagRow row = textRow(u"APEv2"_s, QString::fromLatin1(item.key), {}, {}, item.value.size());
        if (item.binary()) {
            row.shown = false;
            row.data = QByteArray::fromStdString(item.value);
        } else {
            row.text = QString::fromUtf8(item.value);
        }
        rows.push_back(std::move(row));
    }
}

} // namespace

std::optional<tags::id3v2::Frame> frameOf(const FrameSet& set, const std::string& language,
                                          const FileTexts& texts)
{
    namespace id3v2 = tags::id3v2;
    const std::string id = set.key.id.toStdString();
    const tags::Text description = texts.written(set.key.description.value_or(QString()));
    const std::string url = set.value.toStdString();
    if (id == "TXXX")
        return id3v2::newUserTextFrame(description, texts.written(set.value));
    if (id == "WXXX")
        return id3v2::newUserUrlFrame(description, url);
    if (id == "COMM")
        return id3v2::newCommentFrame(language, description, texts.written(set.value));
    if (id == "USLT")
        return tags::id3v2::describedFrame("USLT", language, description, texts.written(set.value));
    if (id.front() == 'W')
        return id3v2::newUrlFrame(id, url);
    return id3v2::newTextFrame(id, texts.written(set.value));
}

std::optional<FrameKey> frameKeyOf(QStringView text)
{
    const qsizetype colon = text.indexOf(u':');
    const QStringView id = colon < 0 ? text : text.left(colon);
    if (!isFrameId(id))
        return std::nullopt;
    FrameKey key{id.toString(), std::nullopt};
    if (colon >= 0)
        key.description = text.mid(colon + 1).toString();
    return key;
}

QString unsettableReason(const FrameKey& key)
{
    const QChar kind = key.id.front();
    if (kind != u'T' && kind != u'W' && key.id != u"COMM"_s && key.id != u"USLT"_s)
        return u"只能设置文本帧 (T***), 网址帧 (W***), COMM 和 USLT, 不能设置 "_s + key.id;
    if (key.description && !carriesDescription(key.id))
        return key.id + u" 没有描述, 只有 TXXX, WXXX, COMM, USLT 有"_s;
    return {};
}

bool setFrames(tags::TagChange& change, const std::vector<FrameSet>& sets, const FileTexts& texts,
               QString* reason)
{
    tags::TagChange edited = change;
    for (const FrameSet& set : sets) {
        const tags::TagImage image = edited.after();
        const auto edits = editsOf(tags::listFrames(image), set, texts);
        if (!edits) {
            if (reason)
                *reason = set.key.id + u" 帧不能保存这个值"_s;
            return false;
        }
        auto head = TID3v2::RenderFrameEdits(image, *edits);
        if (!head) {
            if (reason)
                *reason = u"ID3v2标签中有无法保留的内容,未写入"_s;
            return false;
        }
        edited.setHead(std::move(*head));
    }
    change = std::move(edited);
    return true;
}

std::optional<std::vector<TagRow>> readTagRows(TID3v1& v1, TID3v2& v2, const QString& path,
                                               const TextRules& rules)
{
    const std::string file = platform::NativePath(path);
    const auto image = tags::readTagImage(file);
    if (!image)
        return std::nullopt;
    v1.ReadFromFile(file);
    v2.ReadFromFile(file);
    const FileTexts texts = rules.forFile(v1, v2);
    std::vector<TagRow> rows;
    for (const tags::FrameSummary& frame : tags::listFrames(*image)) {
        TagRow row{u"ID3v2"_s,
                   QString::fromLatin1(frame.id),
                   QString::fromUtf8(frame.name),
                   texts.shown(frame.description),
                   QString::fromLatin1(frame.language),
                   frame.shown ? texts.shown(frame.text) : QString(),
                   frame.size,
                   frame.shown,
                   QByteArray::fromStdString(frame.data),
                   frame.index};
        rows.push_back(std::move(row));
    }
    if (v1.Exists())
        addV1Rows(v1, texts, rows);
    if (const auto ape = tags::readApeTag(file))
        addApeRows(*ape, rows);
    return rows;
}

QString frameText(const std::vector<TagRow>& rows, const FrameKey& key)
{
    for (const TagRow& row : rows) {
        if (row.tag != u"ID3v2"_s || row.id != key.id)
            continue;
        if (carriesDescription(key.id) && key.description && row.description != *key.description)
            continue;
        return row.shown ? row.text : u"%1 字节"_s.arg(row.size);
    }
    return {};
}

} // namespace operations
