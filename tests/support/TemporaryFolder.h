#pragma once

#include <QByteArray>
#include <QString>

namespace testsupport {

// A temporary folder removed whole when it goes, names that are not UTF-8
// included: QTemporaryDir removes through QDir, which cannot see such names,
// and leaves them and their folders behind. Named as QTemporaryDir names its
// folders ("<program>-XXXXXX" in the temporary folder) or by a template
// ending in "XXXXXX".
class TemporaryFolder {
public:
    TemporaryFolder();
    explicit TemporaryFolder(const QString& templatePath);
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    bool isValid() const { return !native_.isEmpty(); }
    QString path() const;
    QString filePath(const QString& name) const;

private:
    QByteArray native_;
};

// Removes a file, or a folder with everything in it, by the names' bytes; a
// folder a test made read-only is opened first. False when anything stays.
bool removeTree(const QByteArray& path);

} // namespace testsupport
