#pragma once

#include <cstdint>
#include <string>

// The ID3v2 tag at the start of one file: versions 2.2, 2.3 and 2.4 are read,
// version 2.3 is written. Texts are code-page bytes; texts the file stores in
// UTF-16 or UTF-8 are converted to the code page.
class TID3v2 {
public:
    TID3v2();

    // Resets the object, then reads the tag. True whenever the file's first
    // 10 bytes could be read, whether or not a tag is there.
    bool ReadFromFile(const std::string& FileName);

    // Writes the six texts as a new v2.3 tag in place of the file's old one,
    // keeping every other frame of the old tag and every byte after it. The
    // new file is written as FileName + ".tdexbak" and renamed over the old
    // one only when complete, so that a failure leaves the file as it was
    // (and removes the copy). False for a file the user cannot write and for
    // a full disk; other errors of the operating system throw
    // std::system_error. Neither resets nor updates the object.
    bool SaveToFile(const std::string& FileName);

    bool Exists() const { return exists_; }
    uint8_t VersionID() const { return versionID_; }
    // The whole tag in bytes, header included; 0 when the header declares
    // more than the file holds.
    int32_t Size() const { return size_; }

    std::string Title, Artist, Album, Year, Genre, Comment;

private:
    bool exists_ = false;
    uint8_t versionID_ = 0;
    int32_t size_ = 0;
};
