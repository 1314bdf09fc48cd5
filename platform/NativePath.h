#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <string>

// Paths between QString and the bytes the kernel has, for every file name,
// UTF-8 or not (platform/FileNameCodec.h). Qt's own file classes encode names
// as UTF-8 and cannot reach a file whose name is other bytes; these helpers
// stand in for the Qt calls the program needs on such names.
namespace platform {

// The path's bytes as the kernel takes them.
std::string NativePath(const QString& path);

// A folder named by an environment variable, its bytes kept; empty when the
// variable is unset or empty.
QString EnvironmentPath(const char* variable);

// $HOME, cleaned; "/" when it is unset, as QDir::homePath answers.
QString HomePath();

// The working folder as the kernel has it; empty when it cannot be read.
QString WorkingFolder();

// An absolute, clean path: a relative one is taken from the working folder.
QString AbsolutePath(const QString& path);

// The path with links, "." and ".." resolved (realpath); empty when it does
// not lead to anything.
QString CanonicalPath(const QString& path);

// The file: URL of a path, as QUrl::fromLocalFile gives it for a UTF-8 name.
// Other names are written as their bytes, percent-encoded (from an absolute
// path), so that other programs find the same file.
QUrl FileUrl(const QString& path);

// The local path of a file: URL, percent-encoded bytes that are not UTF-8
// included; empty for a URL that is not a local file.
QString LocalFileOf(const QUrl& url);

} // namespace platform
