#pragma once

#include "platform/LegacyText.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <vector>

// What a command hands back, and how it reaches the terminal: one JSON
// document for scripts, or columns for people.
namespace cli {

// The exit statuses.
enum Status { AllDone = 0, SomeFailed = 1, BadUsage = 2 };

// One cell of a text table: the bytes to write and the columns they take.
struct Cell {
    QByteArray bytes;
    int width = 0;
};
Cell textCell(const QString& text);
// A path as the kernel has it: written as its bytes, whatever they are.
Cell pathCell(const QString& path);

struct Result {
    int status = AllDone;
    QJsonArray json;                     // one object per file or step
    std::vector<std::vector<Cell>> rows; // the same for people
    std::vector<QByteArray> errors;      // one line each, for standard error

    void fail(const QString& path, const QString& why);
    void warn(const QString& line);
};

// Terminal columns the text takes: two for East Asian wide and fullwidth
// characters, none for combining marks and controls; a byte of a name that
// is not UTF-8 takes one, as terminals show it.
int displayWidth(const QString& text);

// Rows with every column but the last padded to its widest cell, two spaces
// apart; one line per row.
QByteArray formatTable(const std::vector<std::vector<Cell>>& rows);

// A path for JSON: {"file": text}; a path that is not UTF-8 gets its text as
// the legacy code page reads it (per component) and "path_bytes": its bytes
// percent-encoded (RFC 3986: all but unreserved characters and '/').
QJsonObject fileObject(const QString& path, platform::LegacyDetector& detector,
                       platform::LegacyCodePage preferred);

} // namespace cli
