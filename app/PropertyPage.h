#pragma once

#include <QString>

class QComboBox;
class QLineEdit;

// The fields of the property page and what they held when they were last
// filled or saved, so that the window can tell typed edits that would be lost.
class TPropertyPage {
public:
    struct Values {
        QString title, artist, album, year, genre, comment;
        bool operator==(const Values&) const = default;
    };

    struct Fields {
        QLineEdit* title = nullptr;
        QLineEdit* artist = nullptr;
        QLineEdit* album = nullptr;
        QLineEdit* year = nullptr;
        QComboBox* genre = nullptr;
        QLineEdit* comment = nullptr;
    };

    explicit TPropertyPage(const Fields& fields);

    // Enables each field and sets its text; the genre box selects the name
    // the text is (letter case aside), none for any other text.
    void fill(const Values& values);
    // Empty and disabled.
    void clear();
    // Empty and enabled: a file whose tag could not be shown. Nothing of the
    // file shown before stays, so a save writes only what the user types.
    void empty();

    Values values() const;
    // The genre box's chosen position among the names, -1 for none.
    int genreIndex() const;

    // The texts now are the file's: the page holds no unsaved edits.
    void markUnmodified();
    bool isModified() const;

private:
    class YearValidator;

    Fields f_;
    YearValidator* year_; // owned by the year field
    Values unmodified_;
};
