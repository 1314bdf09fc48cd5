#pragma once

#include "tags/Text.h"
#include "tests/support/Mp3Bytes.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QMetaType>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <string>
#include <sys/resource.h>

// Helpers shared by the tag tests.
namespace tagtest {

// Files of one test, in a fresh temporary folder.
class Files {
public:
    QString path(const QString& name) const { return dir_.filePath(name); }
    std::string native(const QString& name) const { return testsupport::nativePath(path(name)); }
    QString write(const QString& name, const QByteArray& bytes) const
    {
        testsupport::writeBytes(path(name), bytes);
        return path(name);
    }
    QByteArray read(const QString& name) const { return testsupport::readBytes(path(name)); }
    bool exists(const QString& name) const { return QFileInfo::exists(path(name)); }
    QStringList names() const
    {
        return QDir(dir_.path())
            .entryList(QDir::Files | QDir::Dirs | QDir::System | QDir::Hidden |
                       QDir::NoDotAndDotDot);
    }

private:
    QTemporaryDir dir_;
};

// The data of a text frame in ISO-8859-1 and in UTF-8, and a C++ string's bytes.
inline QByteArray latin1(const QByteArray& s)
{
    return testsupport::textData(0, s);
}
inline QByteArray utf8(const QString& s)
{
    return testsupport::textData(3, s.toUtf8());
}
inline QByteArray qb(const std::string& s)
{
    return QByteArray::fromStdString(s);
}

// Tag texts: legacy bytes, and Unicode as UTF-8.
inline tags::Text legacy(const QByteArray& bytes)
{
    return tags::legacyText(bytes.toStdString());
}
inline tags::Text unicode(const QString& text)
{
    return tags::unicodeText(text.toUtf8().toStdString());
}

// Unsynchronisation as a writer applies it: 0x00 after every 0xFF that is
// followed by 0xE0 or more, by 0x00, or by nothing.
inline QByteArray unsynchronised(const QByteArray& bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes.size(); ++i) {
        out += bytes[i];
        const bool last = i + 1 == bytes.size();
        if (quint8(bytes[i]) == 0xFF && (last || quint8(bytes[i + 1]) >= 0xE0 || bytes[i + 1] == 0))
            out += '\0';
    }
    return out;
}

// While it lives, no file may grow beyond `bytes`: writes beyond fail as on
// a full disk (root is bound by it too).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

// Encoding byte, language, description, 0x00, text: a Latin-1 comment.
inline QByteArray commentData(const QByteArray& description, const QByteArray& text,
                              const QByteArray& language = "eng")
{
    return QByteArray(1, '\0') + language + description + QByteArray(1, '\0') + text;
}

// The frames of the v2.3 tag at the start of a file, each whole (header and
// data), up to the padding.
inline QList<QByteArray> framesOf(const QByteArray& file)
{
    const auto byte = [&](qsizetype i) {
        return quint32(quint8(file.at(i)));
    };
    if (!file.startsWith("ID3") || file.size() < 10)
        return {};
    const qsizetype end = 10 + ((byte(6) << 21) | (byte(7) << 14) | (byte(8) << 7) | byte(9));
    QList<QByteArray> frames;
    for (qsizetype pos = 10; pos + 10 <= end && file.at(pos) != 0;) {
        const qsizetype size =
            (byte(pos + 4) << 24) | (byte(pos + 5) << 16) | (byte(pos + 6) << 8) | byte(pos + 7);
        frames << file.mid(pos, 10 + size);
        pos += 10 + size;
    }
    return frames;
}

// What follows the v2.3 tag at the start of a file.
inline QByteArray afterTag(const QByteArray& file)
{
    const auto byte = [&](qsizetype i) {
        return quint32(quint8(file.at(i)));
    };
    return file.mid(10 + ((byte(6) << 21) | (byte(7) << 14) | (byte(8) << 7) | byte(9)));
}

} // namespace tagtest

namespace tags {
// How QCOMPARE shows a text that differs.
inline char* toString(const Text& text)
{
    const QByteArray shown = (text.unicode ? "unicode \"" : "legacy \"") +
                             QByteArray::fromStdString(text.bytes) + "\" (" +
                             QByteArray::fromStdString(text.bytes).toHex(' ') + ")";
    return qstrdup(shown.constData());
}
} // namespace tags

Q_DECLARE_METATYPE(tags::Text)
