#include "platform/CodePage.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace platform {

namespace {
constexpr const char* kCodePage = "GB18030";
}

QString AnsiToText(const std::string& bytes)
{
    const auto end = bytes.find('\0');
    QByteArray data(bytes.data(), qsizetype(end == std::string::npos ? bytes.size() : end));
    // The decoder keeps an unfinished sequence back for the next call; a NUL
    // after the text flushes it as U+FFFD, and is then taken off again.
    data.append('\0');
    QStringDecoder decoder(kCodePage);
    QString text = decoder.decode(data);
    text.chop(1);
    return text;
}

std::string TextToAnsi(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    QString clean = nul < 0 ? text : text.left(nul);
    for (qsizetype i = 0; i < clean.size(); ++i) {
        const QChar c = clean.at(i);
        if (c.isHighSurrogate() && i + 1 < clean.size() && clean.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            clean[i] = QLatin1Char('?');
    }
    QStringEncoder encoder(kCodePage);
    const QByteArray bytes = encoder.encode(clean);
    return bytes.toStdString();
}

} // namespace platform
