#include "tags/ID3v2Fields.h"

#include "tags/Gb18030.h"
#include "tags/ID3v1.h"
#include "tags/TextCodec.h"

#include <algorithm>

namespace tags::id3v2 {

namespace {

constexpr std::size_t GenreCount = 148;

bool isBlank(char c)
{
    return static_cast<unsigned char>(c) <= 0x20;
}

bool isNumber(std::string_view s)
{
    return !s.empty() && s.size() <= 3 &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The name of a genre number, or nothing for a number without one.
std::optional<std::string> nameOf(std::string_view number)
{
    const unsigned n = unsigned(std::stoul(std::string(number)));
    if (n >= GenreCount)
        return std::nullopt;
    return GenreNames[n];
}

// The frame's data behind the group byte; nullopt when we cannot read it.
std::optional<std::string_view> payloadOf(const Frame& frame)
{
    if (frame.compressed() || frame.encrypted())
        return std::nullopt;
    std::string_view data(frame.data);
    if (frame.grouped())
        data.remove_prefix(std::min<std::size_t>(1, data.size()));
    return data;
}

std::optional<Field> fieldOf(std::string_view id)
{
    if (id == "TIT2")
        return Field::Title;
    if (id == "TPE1")
        return Field::Artist;
    if (id == "TALB")
        return Field::Album;
    if (id == "TRCK")
        return Field::Track;
    if (id == "TYER")
        return Field::Year;
    if (id == "TCON")
        return Field::Genre;
    if (id == "COMM")
        return Field::Comment;
    if (id == "TPOS")
        return Field::Disc;
    if (id == "TPE2")
        return Field::AlbumArtist;
    if (id == "TCOM")
        return Field::Composer;
    if (id == "USLT")
        return Field::Lyrics;
    return std::nullopt;
}

} // namespace

std::string trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

Text trimmed(const Text& text)
{
    return {trimmed(text.bytes), text.unicode};
}

std::string genreName(std::string_view text, std::uint8_t major)
{
    // v2.3 writes "(n)" references, optionally followed by a refinement; a
    // refinement that itself begins with "(" is escaped as "((".
    std::string_view rest = text;
    std::optional<std::string> referenced;
    bool hadReference = false;
    while (rest.size() >= 2 && rest[0] == '(' && rest[1] != '(') {
        const std::size_t close = rest.find(')');
        if (close == std::string_view::npos)
            break;
        const std::string_view inner = rest.substr(1, close - 1);
        std::optional<std::string> name;
        if (isNumber(inner))
            name = nameOf(inner);
        else if (inner == "RX")
            name = "Remix";
        else if (inner == "CR")
            name = "Cover";
        else
            break;
        if (!hadReference)
            referenced = name;
        hadReference = true;
        rest.remove_prefix(close + 1);
    }
    if (rest.substr(0, 2) == "((")
        rest.remove_prefix(1);
    if (!hadReference) {
        if (major == 4 && isNumber(rest))
            return nameOf(rest).value_or(std::string(rest));
        return std::string(rest);
    }
    if (!rest.empty())
        return std::string(rest);
    return referenced.value_or(std::string(text));
}

std::optional<Text> textOf(const Frame& frame)
{
    const auto data = payloadOf(frame);
    if (!data)
        return std::nullopt;
    if (data->empty())
        return Text();
    const auto encoding = static_cast<std::uint8_t>(data->front());
    if (encoding > Utf8) // no encoding byte at all: the bytes are the text
        return legacyText(std::string(*data));
    return decodedText(data->substr(1), encoding);
}

Frame genreFrameForV23(Frame tcon)
{
    const auto text = textOf(tcon);
    const std::string number = text ? trimmed(text->bytes) : std::string();
    if (!isNumber(number) || !nameOf(number))
        return tcon;
    // The frame's flags and group stay; the text is plain ASCII.
    const std::string group = tcon.data.substr(0, tcon.grouped() ? 1 : 0);
    tcon.data = group + '\0' + "(" + number + ")";
    return tcon;
}

std::optional<CommentParts> commentOf(const Frame& frame)
{
    const auto data = payloadOf(frame);
    if (!data)
        return std::nullopt;
    if (data->size() < 4)
        return CommentParts{};
    const std::string language(data->substr(1, 3));
    const std::string_view rest = data->substr(4); // encoding byte and language
    const auto encoding = readEncoding(rest, static_cast<std::uint8_t>(data->front()));
    const std::size_t end = findTerminator(rest, 0, encoding);
    if (end == std::string_view::npos)
        return CommentParts{decodedText(rest, encoding), {}, language};
    return CommentParts{decodedText(rest.substr(0, end), encoding),
                        decodedText(rest.substr(end + terminatorSize(encoding)), encoding),
                        language};
}

bool holdsListedTexts(std::string_view id)
{
    return (!id.empty() && id.front() == 'T') || id == "COMM" || id == "USLT";
}

std::optional<LegacyStrings> legacyStringsOf(const Frame& frame)
{
    const auto data = payloadOf(frame);
    if (!holdsListedTexts(frame.id) || !data || data->empty())
        return std::nullopt;
    LegacyStrings out;
    out.head = std::string_view(frame.data).substr(0, frame.data.size() - data->size());
    const auto declared = static_cast<std::uint8_t>(data->front());
    if (frame.id.front() == 'T' && declared > Utf8) {
        out.strings = splitStrings(*data, Latin1);
        return out;
    }
    const std::size_t language = frame.id.front() == 'T' ? 0 : 3;
    if (data->size() < 1 + language)
        return std::nullopt;
    out.language = data->substr(1, language);
    const std::string_view strings = data->substr(1 + language);
    if (readEncoding(strings, declared) != Latin1)
        return std::nullopt;
    out.strings = splitStrings(strings, Latin1);
    return out;
}

bool FieldCollector::isCandidate(std::string_view id)
{
    return fieldOf(id).has_value() || id == "TDRC";
}

void FieldCollector::add(const Frame& frame, std::size_t index)
{
    if (frame.id == "TDRC") {
        if (recorded_)
            return;
        if (const auto text = textOf(frame)) {
            const std::string t = trimmed(text->bytes);
            const std::size_t year = text->unicode ? utf8Chars(t, 4) : gb18030Chars(t, 4);
            recorded_ =
                Found{index, {trimmed(std::string_view(t).substr(0, year)), text->unicode}, {}, {}};
        }
        return;
    }
    const auto field = fieldOf(frame.id);
    if (!field)
        return;
    auto& slot = first_[std::size_t(*field)];
    if (slot)
        return;
    if (*field == Field::Comment || *field == Field::Lyrics) {
        addDescribed(*field, frame, index);
        return;
    }
    if (const auto text = textOf(frame)) {
        Text t = trimmed(*text);
        if (*field == Field::Genre)
            t.bytes = genreName(t.bytes, major_);
        slot = Found{index, std::move(t), {}, {}};
    }
}

void FieldCollector::addDescribed(Field field, const Frame& frame, std::size_t index)
{
    const auto parts = commentOf(frame);
    if (!parts)
        return;
    Found found{index, trimmed(parts->text), parts->language, parts->description};
    auto& described = field == Field::Comment ? describedComment_ : describedLyrics_;
    if (parts->description.bytes.empty())
        first_[std::size_t(field)] = std::move(found);
    else if (!described)
        described = std::move(found);
}

const std::optional<FieldCollector::Found>& FieldCollector::found(Field field) const
{
    const auto& own = first_[std::size_t(field)];
    if (field == Field::Year) {
        if (major_ == 4)
            return recorded_ ? recorded_ : own;
        return own ? own : recorded_;
    }
    if (field == Field::Comment && !own)
        return describedComment_;
    if (field == Field::Lyrics && !own)
        return describedLyrics_;
    return own;
}

Text FieldCollector::text(Field field) const
{
    const auto& f = found(field);
    return f ? f->text : Text();
}

std::optional<std::size_t> FieldCollector::source(Field field) const
{
    const auto& f = found(field);
    return f ? std::optional<std::size_t>(f->index) : std::nullopt;
}

bool FieldCollector::commentIsDescribed() const
{
    return !first_[std::size_t(Field::Comment)] && describedComment_;
}

std::string FieldCollector::lyricsLanguage() const
{
    const auto& f = found(Field::Lyrics);
    return f ? f->language : std::string();
}

Text FieldCollector::lyricsDescription() const
{
    const auto& f = found(Field::Lyrics);
    return f ? f->description : Text();
}

} // namespace tags::id3v2
