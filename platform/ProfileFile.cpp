#include "platform/ProfileFile.h"

#include "platform/FileOps.h"

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace platform {

namespace {

// The platform's callers read into 2048 characters, the last one the NUL.
constexpr qsizetype kMaxValueChars = 2047;

QString configHome()
{
    const QString dir = QFile::decodeName(qgetenv("XDG_CONFIG_HOME"));
    // A relative value is to be ignored, as the XDG rules say.
    if (!dir.isEmpty() && QDir::isAbsolutePath(dir))
        return dir;
    return QDir::homePath() + u"/.config"_s;
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
// then would lose what it holds).
bool readFile(const QString& path, QByteArray* data)
{
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *data = file.readAll();
    return file.error() == QFileDevice::NoError;
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

bool saveFile(const QString& path, const QByteArray& data)
{
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(data) != data.size())
        return false; // the temporary file is removed, the old one stays
    return file.commit();
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
    if (QFileInfo(path).isDir() || IsReadOnly(path))
        return false;
    QByteArray data;
    if (!readFile(path, &data))
        return false;
    if (isBareName(fileName) && !QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QByteArrayList lines = splitLines(data);
    setEntry(&lines, section.trimmed(), key.trimmed(), value);
    return saveFile(path, lines.join());
}

} // namespace platform
