#include "app/PropertyPage.h"

#include "platform/LegacyText.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QValidator>

#include <algorithm>
#include <initializer_list>

using namespace Qt::StringLiterals;

namespace {

constexpr int kYearTyping = 4;

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

} // namespace

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
    for (QLineEdit* edit : {f_.title, f_.artist, f_.album, f_.year, f_.comment})
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
        const QLineEdit* edit;
        int width;
        QString name;
    } fields[] = {{f_.title, 30, u"标题"_s},
                  {f_.artist, 30, u"作者"_s},
                  {f_.album, 30, u"专辑"_s},
                  {f_.year, 4, u"年代"_s},
                  {f_.comment, commentWidth_, u"备注"_s}};
    QStringList cut;
    QStringList replaced;
    for (const auto& field : fields) {
        const QString text = field.edit->text();
        // As the ID3v1 setters take it: trailing blanks go before the count.
        if (int(v1Bytes(text, v1CodePage_).size()) > field.width)
            cut << field.name;
        if (losesCharacters(text, v1CodePage_))
            replaced << field.name;
    }
    QStringList parts;
    if (!cut.isEmpty())
        parts << u"将截断: "_s + cut.join(u", "_s);
    if (!replaced.isEmpty())
        parts << u"将替换字符: "_s + replaced.join(u", "_s);
    return parts.isEmpty() ? QString() : u"ID3v1"_s + parts.join(u"; "_s);
}

void TPropertyPage::showV1Fit()
{
    f_.v1Fit->setText(v1Overflow());
}

void TPropertyPage::fill(const Values& values)
{
    const auto set = [](QLineEdit* edit, const QString& text) {
        edit->setEnabled(true);
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
}

void TPropertyPage::clear()
{
    for (QLineEdit* edit : {f_.title, f_.artist, f_.album, f_.year}) {
        edit->clear();
        edit->setEnabled(false);
    }
    f_.genre->setCurrentIndex(-1);
    f_.genre->setEditText(QString());
    f_.genre->setEnabled(false);
    f_.comment->clear();
    f_.comment->setEnabled(false);
    markUnmodified();
}

void TPropertyPage::empty()
{
    fill({});
}

TPropertyPage::Values TPropertyPage::values() const
{
    return {f_.title->text(), f_.artist->text(),       f_.album->text(),
            f_.year->text(),  f_.genre->currentText(), f_.comment->text()};
}

int TPropertyPage::genreIndex() const
{
    const QString text = f_.genre->currentText();
    return text.isEmpty() ? -1 : f_.genre->findText(text, Qt::MatchFixedString);
}

void TPropertyPage::markUnmodified()
{
    unmodified_ = values();
}

bool TPropertyPage::isModified() const
{
    return values() != unmodified_;
}
