#pragma once

#include "platform/LegacyText.h"

#include <QList>
#include <QMetaObject>
#include <QString>

class QComboBox;
class QLabel;
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
        QLabel* v1Fit = nullptr; // names the fields ID3v1 will cut
    };

    explicit TPropertyPage(const Fields& fields);
    ~TPropertyPage();
    TPropertyPage(const TPropertyPage&) = delete;
    TPropertyPage& operator=(const TPropertyPage&) = delete;

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

    // Whether a save writes ID3v1 (by the priority), the comment's room
    // there (28 bytes beside a track number, else 30) and the code page
    // ID3v1 is written in: the fit label follows.
    void setV1Target(bool writesV1, int commentWidth,
                     platform::LegacyCodePage codePage = platform::LegacyCodePage::Gbk);
    // The fields ID3v1 will change: those it cuts, counted in its code-page
    // bytes (a Chinese character is two in GBK), and those with characters
    // its code page lacks: "ID3v1将截断: 标题, 专辑; 将替换字符: 作者";
    // empty when all fit as they are.
    QString v1Overflow() const;

private:
    class YearValidator;

    void showV1Fit();

    Fields f_;
    YearValidator* year_; // owned by the year field
    Values unmodified_;
    bool writesV1_ = false;
    int commentWidth_ = 30;
    platform::LegacyCodePage v1CodePage_ = platform::LegacyCodePage::Gbk;
    QList<QMetaObject::Connection> connections_;
};
