#include "app/PropertyPage.h"

#include <QComboBox>
#include <QLineEdit>
#include <QValidator>

#include <algorithm>
#include <initializer_list>

namespace {

constexpr int kYearTyping = 4;

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
