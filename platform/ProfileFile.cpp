#include "platform/ProfileFile.h"

#include "platform/FileOps.h"
#include "platform/FileTree.h"
#include "platform/NativePath.h"

#include <QByteArrayList>
#include <QDir>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace platform {

namespace {

// The platform's callers read into 2048 characters, the last one the NUL.
constexpr qsizetype kMaxValueChars = 2047;

QString configHome()
{
    const QString dir = EnvironmentPath("XDG_CONFIG_HOME");
    // A relative value is to be ignored, as the XDG rules say.
    if (!dir.isEmpty() && QDir::isAbsolutePath(dir))
        return dir;
    return HomePath() + u"/.config"_s;
}

bool isBareName(const QString& fileName)
{
    return !fileName.contains(u'/');
}

// The file as its lines, each with its own line end (the last may have
// none), so that lines we do not touch are written back byte for byte.
QByteArrayList splitLines(const QByteArray& data)
{
    QByteArrayList lines;
    qsizetype start = 0;
    while (start < data.size()) {
        const qsizetype nl = data.indexOf('\n', start);
        const qsizetype end = nl < 0 ? data.size() : nl + 1;
        lines.append(data.mid(start, end - start));
        start = end;
    }
    return lines;
}

bool hasLineEnd(const QByteArray& line)
{
    return line.endsWith('\n');
}

QString lineText(QByteArray line, bool first)
{
    if (first && line.startsWith("\xEF\xBB\xBF"))
        line.remove(0, 3);
    return QString::fromUtf8(line).trimmed();
}

bool parseSection(const QString& text, QString* name)
{
    if (!text.startsWith(u'['))
        return false;
    const qsizetype close = text.indexOf(u']');
    *name = text.mid(1, close < 0 ? -1 : close - 1).trimmed();
    return true;
}

bool parseEntry(const QString& text, QString* key, QString* value)
{
    const qsizetype eq = text.indexOf(u'=');
    if (eq < 0 || text.startsWith(u';'))
        return false;
    *key = text.left(eq).trimmed();
    *value = text.mid(eq + 1).trimmed();
    return true;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Where section and key are in the file; -1 for what is not there.
struct Location {
    qsizetype section = -1;   // the section's header line
    qsizetype lastEntry = -1; // the section's last non-blank line
    qsizetype key = -1;
    QString value;
};

Location locate(const QByteArrayList& lines, const QString& section, const QString& key)
{
    Location at;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString text = lineText(lines.at(i), i == 0);
        QString name;
        if (parseSection(text, &name)) {
            if (at.section >= 0)
                break; // only the first matching section counts
            if (sameName(name, section))
                at.section = at.lastEntry = i;
            continue;
        }
        if (at.section < 0)
            continue;
        if (!text.isEmpty())
            at.lastEntry = i;
        QString entryKey;
        QString entryValue;
        if (parseEntry(text, &entryKey, &entryValue) && sameName(entryKey, key)) {
            at.key = i;
            at.value = entryValue;
            break;
        }
    }
    return at;
}

QString truncated(const QString& text)
{
    if (text.size() <= kMaxValueChars)
        return text;
    qsizetype n = kMaxValueChars;
    if (text.at(n - 1).isHighSurrogate())
        --n; // never keep half a character
    return text.left(n);
}

bool validNames(const QString& section, const QString& key, const QString& value)
{
    const auto breaksLine = [](const QString& s) {
        return s.contains(u'\n') || s.contains(u'\r') || s.contains(QChar(0));
    };
    if (section.isEmpty() || key.isEmpty() || breaksLine(section) || breaksLine(key) ||
        breaksLine(value))
        return false;
    return !section.contains(u']') && !key.contains(u'=') && !key.startsWith(u'[') &&
           !key.startsWith(u';');
}

// The file's bytes; false when it exists but cannot be read (writing it
// then would lose what it holds). The file functions here are POSIX calls on
// the name's own bytes: Qt's could not reach a folder whose name is not UTF-8.
bool readFile(const QString& path, QByteArray* data)
{
    const FileDescriptor fd(::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        return errno == ENOENT || errno == ENOTDIR;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0;
        data->append(buffer, qsizetype(n));
    }
}

bool isFolder(const std::string& path)
{
    struct ::stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string parentOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Like mkdir -p, with the mode of new folders 0777 less the umask.
bool makeFolders(const std::string& path)
{
    for (auto slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (!isFolder(part) && ::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    return isFolder(path);
}

// A link is written through, so that a profile linked from elsewhere stays
// linked; a loop of links leaves the name as it is.
std::string linkTarget(const std::string& path)
{
    std::string current = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct ::stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        std::string target(std::size_t(PATH_MAX), '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n <= 0 || std::size_t(n) >= target.size())
            return path;
        target.resize(std::size_t(n));
        current = target.front() == '/' ? target : parentOf(current) + '/' + target;
    }
    return path;
}

// A new file beside `target`, created with 0666 less the umask; -1 on failure.
int createBeside(const std::string& target, std::string* temp)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        *temp = target + ".mp3t-" + std::to_string(QRandomGenerator::global()->generate());
        const int fd = ::open(temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

QByteArray lineEnd(const QByteArrayList& lines)
{
    return !lines.isEmpty() && lines.first().endsWith("\r\n") ? "\r\n"_ba : "\n"_ba;
}

void insertLine(QByteArrayList* lines, qsizetype at, const QByteArray& line, const QByteArray& eol)
{
    if (at > 0 && !hasLineEnd(lines->at(at - 1)))
        (*lines)[at - 1].append(eol);
    lines->insert(at, line + eol);
}

void setEntry(QByteArrayList* lines, const QString& section, const QString& key,
              const QString& value)
{
    const QByteArray eol = lineEnd(*lines);
    const QByteArray entry = (key + u'=' + value).toUtf8();
    const Location at = locate(*lines, section, key);
    if (at.key >= 0) {
        QByteArray& line = (*lines)[at.key];
        const QByteArray ownEnd = line.endsWith("\r\n") ? "\r\n"_ba
                                  : line.endsWith('\n') ? "\n"_ba
                                                        : ""_ba;
        line = entry + ownEnd;
    } else if (at.section >= 0) {
        insertLine(lines, at.lastEntry + 1, entry, eol);
    } else {
        insertLine(lines, lines->size(), (u'[' + section + u']').toUtf8(), eol);
        insertLine(lines, lines->size(), entry, eol);
    }
}

// Written in full beside the file and renamed over it, so that a crash leaves
// the old file or the new one, never half of one. The file keeps its
// permission bits.
bool saveFile(const QString& path, const QByteArray& data)
{
    const std::string target = linkTarget(NativePath(path));
    struct ::stat st {};
    const bool existed = ::stat(target.c_str(), &st) == 0;
    std::string temp;
    FileDescriptor fd(createBeside(target, &temp));
    if (!fd.valid())
        return false;
    const bool written = (!existed || ::fchmod(fd.get(), st.st_mode & 07777) == 0) &&
                         WriteAll(fd.get(), data.constData(), std::size_t(data.size())) &&
                         ::fsync(fd.get()) == 0 && fd.close();
    if (written && ::rename(temp.c_str(), target.c_str()) == 0)
        return true;
    ::unlink(temp.c_str()); // the old file stays as it was
    return false;
}

} // namespace

QString ProfilePath(const QString& fileName)
{
    if (fileName.isEmpty() || !isBareName(fileName))
        return fileName;
    return configHome() + u'/' + fileName;
}

QString GetPrivateProfileStringA(const QString& section, const QString& key,
                                 const QString& defaultValue, const QString& fileName)
{
    QByteArray data;
    const QString path = ProfilePath(fileName);
    if (path.isEmpty() || !readFile(path, &data))
        return truncated(defaultValue);
    const Location at = locate(splitLines(data), section.trimmed(), key.trimmed());
    return truncated(at.key >= 0 ? at.value : defaultValue);
}

bool WritePrivateProfileStringA(const QString& section, const QString& key, const QString& value,
                                const QString& fileName)
{
    const QString path = ProfilePath(fileName);
    if (path.isEmpty() || !validNames(section.trimmed(), key.trimmed(), value))
        return false;
    // A rename over a file the user may not write would bypass its
    // permissions (root ignores them), so such a file is refused here.
    if (isFolder(NativePath(path)) || IsReadOnly(path))
        return false;
    QByteArray data;
    if (!readFile(path, &data))
        return false;
    if (isBareName(fileName) && !makeFolders(parentOf(NativePath(path))))
        return false;
    QByteArrayList lines = splitLines(data);
    setEntry(&lines, section.trimmed(), key.trimmed(), value);
    return saveFile(path, lines.join());
}

} // namespace platform
