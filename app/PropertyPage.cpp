#include "app/PropertyPage.h"

#include "platform/LegacyText.h"
#include "tags/NumberPair.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QValidator>

#include <algorithm>
#include <initializer_list>

using namespace Qt::StringLiterals;
using operations::Field;

namespace {

constexpr int kYearTyping = 4;
constexpr int kV1TrackLimit = 255;

// A text as ID3v1 holds it: code-page bytes without trailing blanks.
std::string v1Bytes(const QString& text, platform::LegacyCodePage codePage)
{
    std::string bytes = platform::encodeLegacy(text, codePage);
    while (!bytes.empty() && static_cast<unsigned char>(bytes.back()) <= 0x20)
        bytes.pop_back();
    return bytes;
}

// Whether the code page lacks a character of the text, which is then
// written as its base letter or '?'.
bool losesCharacters(const QString& text, platform::LegacyCodePage codePage)
{
    return platform::decodeLegacy(platform::encodeLegacy(text, codePage), codePage) !=
           text.left(text.indexOf(QChar(0)));
}

// The lines of a lyrics text, a last line break aside: "\r\n", "\n" and
// "\r" each end one.
qsizetype lyricsLines(QString text)
{
    text.replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n');
    if (text.endsWith(u'\n'))
        text.chop(1);
    return text.isEmpty() ? 0 : text.count(u'\n') + 1;
}

} // namespace

const QString& TPropertyPage::Values::value(Field field) const
{
    return const_cast<Values*>(this)->value(field);
}

QString& TPropertyPage::Values::value(Field field)
{
    std::array<QString*, kFields.size()> all = {&title,   &artist, &album, &year,        &genre,
                                                &comment, &track,  &disc,  &albumArtist, &composer};
    // The lyrics have no field here: they are shown, not edited.
    Q_ASSERT(std::size_t(field) < all.size());
    return *all[std::size_t(field)];
}

QString TPropertyPage::keepText()
{
    return u"<保留>"_s;
}

// The year takes at most four typed characters, but a longer stored year
// ("1999-2000") is shown whole and may be shortened. A paste is cut to the
// limit, as a maximum length would cut it. QLineEdit validates setText too:
// the page's own texts pass while `filling` is set.
class TPropertyPage::YearValidator : public QValidator {
public:
    explicit YearValidator(QLineEdit* edit) : QValidator(edit), previous_(edit->text())
    {
        // The edit's own text is already the proposed one while it validates.
        connect(edit, &QLineEdit::textChanged, this, [this](const QString& t) { previous_ = t; });
    }

    bool filling = false;

    State validate(QString& input, int& pos) const override
    {
        if (filling || input.size() <= std::max<qsizetype>(kYearTyping, previous_.size()))
            return Acceptable;
        if (previous_.size() > kYearTyping)
            return Invalid;
        input.truncate(kYearTyping);
        pos = std::min(pos, kYearTyping);
        return Acceptable;
    }

private:
    QString previous_;
};

TPropertyPage::TPropertyPage(const Fields& fields) : f_(fields)
{
    year_ = new YearValidator(f_.year);
    f_.year->setValidator(year_);
    for (QLineEdit* edit : {f_.title, f_.artist, f_.album, f_.year, f_.comment, f_.track})
        connections_ << QObject::connect(edit, &QLineEdit::textChanged, f_.v1Fit,
                                         [this] { showV1Fit(); });
}

TPropertyPage::~TPropertyPage()
{
    for (const QMetaObject::Connection& c : connections_)
        QObject::disconnect(c);
}

void TPropertyPage::setV1Target(bool writesV1, int commentWidth, platform::LegacyCodePage codePage)
{
    writesV1_ = writesV1;
    commentWidth_ = commentWidth;
    v1CodePage_ = codePage;
    showV1Fit();
}

QString TPropertyPage::v1Overflow() const
{
    if (!writesV1_)
        return {};
    const struct {
        Field field;
        const QLineEdit* edit;
        int width;
        QString name;
    } fields[] = {{Field::Title, f_.title, 30, u"标题"_s},
                  {Field::Artist, f_.artist, 30, u"作者"_s},
                  {Field::Album, f_.album, 30, u"专辑"_s},
                  {Field::Year, f_.year, 4, u"年代"_s},
                  {Field::Comment, f_.comment, commentWidth(), u"备注"_s}};
    QStringList cut;
    QStringList replaced;
    for (const auto& field : fields) {
        if (!measured(field.field))
            continue;
        const QString text = field.edit->text();
        // As the ID3v1 setters take it: trailing blanks go before the count.
        if (int(v1Bytes(text, v1CodePage_).size()) > field.width)
            cut << field.name;
        if (losesCharacters(text, v1CodePage_))
            replaced << field.name;
    }
    // ID3v1.1 holds track numbers up to 255; a higher one is not written there.
    if (measured(Field::Track)) {
        const auto track = tags::parseNumberPair(f_.track->text().toStdString());
        if (track && track->number > kV1TrackLimit)
            cut << u"音轨"_s;
    }
    QStringList parts;
    if (!cut.isEmpty())
        parts << u"将截断: "_s + cut.join(u", "_s);
    if (!replaced.isEmpty())
        parts << u"将替换字符: "_s + replaced.join(u", "_s);
    return parts.isEmpty() ? QString() : u"ID3v1"_s + parts.join(u"; "_s);
}

// One file's fields are all written; of several files only those the user
// changed.
bool TPropertyPage::measured(Field field) const
{
    return !several_ || values().value(field) != unmodified_.value(field);
}

// A track typed on the page takes the comment's last two bytes, or gives
// them back; else the file's own track decides.
int TPropertyPage::commentWidth() const
{
    const QString track = f_.track->text();
    if (track == unmodified_.track)
        return commentWidth_;
    return tags::id3v1TrackOf(track.trimmed().toStdString()) > 0 ? 28 : 30;
}

void TPropertyPage::showV1Fit()
{
    f_.v1Fit->setText(v1Overflow());
}

void TPropertyPage::showLyrics(const QString& lyrics)
{
    const qsizetype lines = lyricsLines(lyrics);
    f_.lyrics->setText(lines > 0 ? u"歌词: 有 (%1 行)"_s.arg(lines) : u"歌词: 无"_s);
}

void TPropertyPage::showLyrics(std::size_t holding, std::size_t files)
{
    f_.lyrics->setText(holding == 0 ? u"歌词: 无"_s
                                    : u"歌词: 有 (%1/%2)"_s.arg(holding).arg(files));
}

void TPropertyPage::fill(const Values& values, bool v2Fields, bool several)
{
    several_ = several;
    const auto set = [](QLineEdit* edit, const QString& text, bool enabled = true) {
        edit->setEnabled(enabled);
        edit->setText(text);
    };
    set(f_.title, values.title);
    set(f_.artist, values.artist);
    set(f_.album, values.album);
    year_->filling = true;
    set(f_.year, values.year);
    year_->filling = false;
    f_.genre->setEnabled(true);
    const int index =
        values.genre.isEmpty() ? -1 : f_.genre->findText(values.genre, Qt::MatchFixedString);
    f_.genre->setCurrentIndex(index);
    if (index < 0)
        f_.genre->setEditText(values.genre);
    set(f_.comment, values.comment);
    set(f_.track, values.track);
    set(f_.disc, values.disc, v2Fields);
    set(f_.albumArtist, values.albumArtist, v2Fields);
    set(f_.composer, values.composer, v2Fields);
}

void TPropertyPage::clear()
{
    several_ = false;
    for (QLineEdit* edit : {f_.title, f_.artist, f_.album, f_.year}) {
        edit->clear();
        edit->setEnabled(false);
    }
    f_.genre->setCurrentIndex(-1);
    f_.genre->setEditText(QString());
    f_.genre->setEnabled(false);
    for (QLineEdit* edit : {f_.comment, f_.track, f_.disc, f_.albumArtist, f_.composer}) {
        edit->clear();
        edit->setEnabled(false);
    }
    f_.lyrics->clear();
    markUnmodified();
}

void TPropertyPage::empty()
{
    fill({});
}

TPropertyPage::Values TPropertyPage::values() const
{
    return {f_.title->text(),        f_.artist->text(),  f_.album->text(), f_.year->text(),
            f_.genre->currentText(), f_.comment->text(), f_.track->text(), f_.disc->text(),
            f_.albumArtist->text(),  f_.composer->text()};
}

std::vector<Field> TPropertyPage::changedFields() const
{
    const Values now = values();
    std::vector<Field> changed;
    for (const Field field : kFields) {
        if (now.value(field) != unmodified_.value(field))
            changed.push_back(field);
    }
    return changed;
}

int TPropertyPage::genreIndex() const
{
    const QString text = f_.genre->currentText();
    return text.isEmpty() ? -1 : f_.genre->findText(text, Qt::MatchFixedString);
}

void TPropertyPage::markUnmodified()
{
    unmodified_ = values();
    showV1Fit();
}

bool TPropertyPage::isModified() const
{
    return values() != unmodified_;
}
