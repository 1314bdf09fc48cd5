#pragma once

#include <QString>

#include <cstddef>
#include <optional>
#include <vector>

// What a folder's file system takes as a file name, and the names already in
// it: the renaming plans check new names against both before anything moves.
namespace platform {

struct NameRules {
    // Two names that differ only in letter case are one (vfat, exfat, SMB).
    bool ignoresCase = false;
    // The longest name in bytes, and for the Windows-born file systems also
    // in UTF-16 units (0: no such limit).
    std::size_t maxBytes = 255;
    std::size_t maxUnits = 0;
    // Characters refused besides "/" and NUL; control characters too when
    // refusesControls is set.
    QString refused;
    bool refusesControls = false;
};

// The rules of the file system the folder lies on; the rules of a Linux file
// system when it cannot be asked.
NameRules NameRulesOf(const QString& folder);

// The names of every entry of the folder ("." and ".." aside), decoded so
// that each gives its bytes back; nullopt when the folder cannot be read.
std::optional<std::vector<QString>> FolderEntries(const QString& folder);

} // namespace platform
