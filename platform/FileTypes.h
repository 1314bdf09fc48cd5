#pragma once

#include <QMimeType>
#include <QString>

namespace platform {

// The MIME type of a file judged by its name alone (no content is read). The
// answer for a name with a single extension is looked up once per extension,
// so that a folder of a thousand MP3 files costs one lookup.
QMimeType FileMimeType(const QString& fileName);
// The type's description ("MP3 audio"), cached as the type is.
QString FileTypeName(const QString& fileName);

// inode/directory, and the type of a link whose target is missing.
QMimeType DirectoryMimeType();
QMimeType BrokenLinkMimeType();

} // namespace platform
