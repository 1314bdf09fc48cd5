#pragma once

#include "operations/TagField.h"
#include "platform/LegacyText.h"

#include <QList>
#include <QMetaObject>
#include <QString>

#include <array>
#include <cstddef>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;

// The fields of the property page and what they held when they were last
// filled or saved, so that the window can tell typed edits that would be lost.
// With several files shown a field the files do not share shows keepText(),
// and only the fields the user changed are measured for ID3v1.
class TPropertyPage {
public:
    struct Values {
        QString title, artist, album, year, genre, comment;
        QString track, disc, albumArtist, composer;
        bool operator==(const Values&) const = default;

        // The fields the page shows (all but the lyrics).
        const QString& value(operations::Field field) const;
        QString& value(operations::Field field);
    };
    // The page's fields, in the order of operations::Field.
    static constexpr std::array<operations::Field, 10> kFields = {
        operations::Field::Title,   operations::Field::Artist, operations::Field::Album,
        operations::Field::Year,    operations::Field::Genre,  operations::Field::Comment,
        operations::Field::Track,   operations::Field::Disc,   operations::Field::AlbumArtist,
        operations::Field::Composer};
    // What a field shows where the files shown differ: left so, it is not written.
    static QString keepText();

    struct Fields {
        QLineEdit* title = nullptr;
        QLineEdit* artist = nullptr;
        QLineEdit* album = nullptr;
        QLineEdit* year = nullptr;
        QComboBox* genre = nullptr;
        QLineEdit* comment = nullptr;
        QLineEdit* track = nullptr;
        QLineEdit* disc = nullptr;
        QLineEdit* albumArtist = nullptr;
        QLineEdit* composer = nullptr;
        QLabel* v1Fit = nullptr;  // names the fields ID3v1 will cut
        QLabel* lyrics = nullptr; // whether the file holds lyrics
    };

    explicit TPropertyPage(const Fields& fields);
    ~TPropertyPage();
    TPropertyPage(const TPropertyPage&) = delete;
    TPropertyPage& operator=(const TPropertyPage&) = delete;

    // Enables each field and sets its text; the genre box selects the name
    // the text is (letter case aside), none for any other text. `v2Fields`
    // false: the fields only ID3v2 holds are disabled, as nothing would keep
    // them. `several`: the values are those of several files.
    void fill(const Values& values, bool v2Fields = true, bool several = false);
    // "歌词: 有 (23 行)", "歌词: 无"; for several files how many hold lyrics,
    // "歌词: 有 (3/12)".
    void showLyrics(const QString& lyrics);
    void showLyrics(std::size_t holding, std::size_t files);
    // Empty and disabled.
    void clear();
    // Empty and enabled: a file whose tag could not be shown. Nothing of the
    // file shown before stays, so a save writes only what the user types.
    void empty();

    Values values() const;
    // The fields whose text is no longer the one filled or saved.
    std::vector<operations::Field> changedFields() const;
    // The genre box's chosen position among the names, -1 for none.
    int genreIndex() const;

    // The texts now are the file's: the page holds no unsaved edits.
    void markUnmodified();
    bool isModified() const;

    // Whether a save writes ID3v1 (by the priority), the comment's room
    // there (28 bytes beside a track number, else 30) and the code page
    // ID3v1 is written in: the fit label follows. A track typed on the page
    // decides the comment's room in place of the file's.
    void setV1Target(bool writesV1, int commentWidth,
                     platform::LegacyCodePage codePage = platform::LegacyCodePage::Gbk);
    // The fields ID3v1 will change: those it cuts, counted in its code-page
    // bytes (a Chinese character is two in GBK), and those with characters
    // its code page lacks: "ID3v1将截断: 标题, 专辑; 将替换字符: 作者";
    // empty when all fit as they are. A track number over 255 is cut too.
    QString v1Overflow() const;

private:
    class YearValidator;

    void showV1Fit();
    bool measured(operations::Field field) const;
    int commentWidth() const;

    Fields f_;
    YearValidator* year_; // owned by the year field
    Values unmodified_;
    bool several_ = false;
    bool writesV1_ = false;
    int commentWidth_ = 30;
    platform::LegacyCodePage v1CodePage_ = platform::LegacyCodePage::Gbk;
    QList<QMetaObject::Connection> connections_;
};
