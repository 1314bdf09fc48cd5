#include "platform/FolderNames.h"

#include "platform/FileNameCodec.h"
#include "platform/NativePath.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <sys/vfs.h>

namespace platform {

namespace {

// statfs's f_type of the file systems that keep Windows' rules for names.
constexpr long kMsdosMagic = 0x4d44;
constexpr long kExfatMagic = 0x2011BAB0;
constexpr long kNtfs3Magic = 0x7366746e;
constexpr long kSmbMagic = 0x517B;
constexpr long kCifsMagic = 0xFF534D42;
constexpr long kSmb2Magic = 0xFE534D42;

bool keepsWindowsRules(long type)
{
    switch (type) {
    case kMsdosMagic:
    case kExfatMagic:
    case kNtfs3Magic:
    case kSmbMagic:
    case kCifsMagic:
    case kSmb2Magic:
        return true;
    default:
        return false;
    }
}

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

} // namespace

NameRules NameRulesOf(const QString& folder)
{
    NameRules rules;
    struct ::statfs fs {};
    if (::statfs(NativePath(folder).c_str(), &fs) != 0)
        return rules;
    if (fs.f_namelen > 0)
        rules.maxBytes = std::size_t(fs.f_namelen);
    // f_type's width differs between architectures; the magic numbers are 32 bits.
    if (keepsWindowsRules(long(static_cast<unsigned int>(fs.f_type)))) {
        rules.ignoresCase = true;
        rules.maxUnits = 255;
        rules.refused = QStringLiteral("\"*:<>?\\|");
        rules.refusesControls = true;
    }
    return rules;
}

std::optional<std::vector<QString>> FolderEntries(const QString& folder)
{
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(NativePath(folder).c_str()));
    if (!dir)
        return std::nullopt;
    std::vector<QString> names;
    errno = 0;
    while (const dirent* e = ::readdir(dir.get())) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.push_back(decodeFileName(QByteArray(e->d_name)));
        errno = 0;
    }
    if (errno != 0)
        return std::nullopt; // a folder not read to its end would hide names
    return names;
}

} // namespace platform
