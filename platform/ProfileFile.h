#pragma once

#include <QString>

// The profile (INI) file functions the program's settings rely on. A file is
// sections ("[name]" lines) of "key=value" lines, UTF-8 text.
//
// Section and key names are matched without regard to case, and the first
// match wins. Each call opens and closes the file; nothing is cached.
namespace platform {

// The value of key in section, trimmed of surrounding blanks, or defaultValue
// when the file, the section or the key is missing. Like the platform's call
// with a buffer of 2048 characters: at most 2047 characters are returned.
QString GetPrivateProfileStringA(const QString& section, const QString& key,
                                 const QString& defaultValue, const QString& fileName);

// Sets key in section to value, creating the file, the section or the key as
// needed; every other line stays byte for byte as it was. The file is
// replaced atomically, so a crash never leaves half a file. Returns false,
// with the file unchanged, when the write cannot be done: the folder or the
// file is not writable, the file cannot be read, or a name or the value
// would break the file's lines (a line break, "=" in a key, "]" in a section).
bool WritePrivateProfileStringA(const QString& section, const QString& key, const QString& value,
                                const QString& fileName);

// Where a profile file name lives: a bare name (no "/") in the user's
// configuration folder ($XDG_CONFIG_HOME, by default ~/.config), one file for
// every run; any other name as it is.
QString ProfilePath(const QString& fileName);

} // namespace platform
