#pragma once

#include "tags/TagImage.h"

#include <cstdint>
#include <string>

// The 148 genre names an ID3v1 genre byte stands for, index 0..147.
extern const char* const GenreNames[148];

// The ID3v1 trailer of one file: the last 128 bytes, "TAG" and fixed fields.
// Texts are code-page bytes as they stand in the file.
class TID3v1 {
public:
    TID3v1();

    // Resets the object, then reads the trailer. True whenever the file's
    // last 128 bytes could be read, whether or not a tag is there.
    bool ReadFromFile(const std::string& FileName);
    // The same from the trailer of the file's image (tags/TagImage.h), read
    // once for a change: false, nothing read, for the odd file the image
    // leaves in doubt (one too small for its ID3v2 tag and a trailer both),
    // which ReadFromFile tells apart.
    bool ReadFromImage(const tags::TagImage& image);
    // Cuts an existing trailer off the file; fields unchanged.
    bool RemoveFromFile(const std::string& FileName);
    // Writes the fields as the file's trailer: over an existing one in place,
    // otherwise appended.
    bool SaveToFile(const std::string& FileName);
    // The 128 bytes SaveToFile writes.
    std::string Rendered() const;

    // Trailing bytes of 0x20 and below go, then the text is cut to 30 bytes
    // (the year to 4) before a character that would not fit.
    void SetTitle(const std::string& Value);
    void SetArtist(const std::string& Value);
    void SetAlbum(const std::string& Value);
    void SetYear(const std::string& Value);
    void SetComment(const std::string& Value);
    void SetGenreID(uint8_t Value);
    // 1..255 is saved as a version 1.1 trailer (byte 125 zero, the number at
    // 126, the comment cut to 28 bytes); 0 is no track number.
    void SetTrack(uint8_t Value);
    // GenreNames[GenreID()], or empty text for 148..255.
    std::string Genre() const;

    bool Exists() const { return exists_; }
    // 1 = version 1.0, 2 = version 1.1.
    uint8_t VersionID() const { return versionID_; }
    const std::string& Title() const { return title_; }
    const std::string& Artist() const { return artist_; }
    const std::string& Album() const { return album_; }
    const std::string& Year() const { return year_; }
    const std::string& Comment() const { return comment_; }
    uint8_t Track() const { return track_; }
    uint8_t GenreID() const { return genreID_; }

private:
    void take(const std::string& trailer); // 128 bytes beginning with "TAG"

    bool exists_ = false;
    uint8_t versionID_ = 1;
    std::string title_, artist_, album_, year_, comment_;
    uint8_t track_ = 0;
    uint8_t genreID_ = 255;
};
