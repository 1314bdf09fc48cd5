#pragma once

#include "operations/Outcome.h"
#include "operations/TagText.h"
#include "tags/ID3v2Pictures.h"
#include "tags/TagImage.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// The front cover of a file's ID3v2 tag: read for the window, set from a
// picture file or removed through the batch writer (operations/TagWrites.h),
// and saved to a file of its own.
namespace operations {

// The largest picture file taken as a cover.
constexpr qint64 kMaxCoverFile = 16 * 1024 * 1024;

struct CoverImage {
    QByteArray data;
    QString mime; // "image/jpeg" or "image/png"
};

// "image/jpeg" or "image/png" by the bytes' own signature; empty for others.
QString imageMimeType(const QByteArray& bytes);

// The picture file chosen as a cover: a JPEG or a PNG by its content,
// whatever its name says, of kMaxCoverFile at most, that decodes as a picture.
// nullopt, `error` saying why in words, for anything else.
std::optional<CoverImage> readCoverFile(const QString& path, QString* error = nullptr);

// The Chinese name of an ID3v2 picture type ("封面", "封底", ...); "类型 N"
// for a number the standard does not name.
QString pictureTypeName(std::uint8_t type);

// The file's front cover for display (tags/ID3v2Pictures.h); nullopt when it
// has none or cannot be read.
std::optional<tags::Picture> readCover(const QString& path);

// The change that makes the image the file's front cover (in place of its
// picture of type 3, or added), or removes the picture shown as its cover (a
// file without one gets a change that changes nothing), the texts and every
// other frame kept; ready for TagWrites under StepKind::Cover.
// nullopt when the file cannot be read or its tag not rewritten without
// losing a frame; `reason` then says why. A file without an ID3v2 tag gets
// one that starts as a copy of its ID3v1, its texts read and written by the
// rules.
std::optional<tags::TagChange> setCoverChange(const QString& path, const CoverImage& image,
                                              QString* reason = nullptr,
                                              const TextRules& rules = {});
std::optional<tags::TagChange> removeCoverChange(const QString& path, QString* reason = nullptr);
// The type's name of the picture a removal takes out of the file; empty when
// the change removes none.
QString removedPictureName(const tags::TagChange& change);

// The name an exported cover is offered under: the MP3's name with ".jpg" or,
// for "image/png", ".png" in place of its extension.
QString coverFileName(const QString& mp3Path, const QString& mime);

// Writes the picture's bytes exactly to `target`, through a copy renamed over
// it, so that a failure leaves what was there. Never over the MP3 itself.
Outcome exportCover(const QByteArray& data, const QString& mp3Path, const QString& target);

} // namespace operations
