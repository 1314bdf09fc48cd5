#pragma once

#include <QString>

#include <stdexcept>

namespace platform {

// The program's own errors. what() is the message in UTF-8; the application's
// general error handler shows it in a message box and returns to the event loop.
class Exception : public std::runtime_error {
public:
    explicit Exception(const QString& message)
        : std::runtime_error(message.toUtf8().toStdString()), message_(message)
    {
    }
    const QString& message() const { return message_; }

private:
    QString message_;
};

// A text that should be a decimal integer and is not.
class EConvertError : public Exception {
public:
    explicit EConvertError(const QString& value)
        : Exception(QStringLiteral("'%1' is not a valid integer value").arg(value))
    {
    }
};

} // namespace platform
