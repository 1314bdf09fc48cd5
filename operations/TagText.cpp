#include "operations/TagText.h"

#include "platform/CodePage.h"

namespace operations {

QString shownText(const tags::Text& text)
{
    // Up to the first NUL, as the code page shows a legacy text.
    return text.unicode ? QString::fromUtf8(text.bytes.c_str()) : platform::AnsiToText(text.bytes);
}

tags::Text legacyFromWidget(const QString& text)
{
    return tags::legacyText(platform::TextToAnsi(text));
}

tags::Text editedText(const QString& widget, const tags::Text& read)
{
    return widget == shownText(read) ? read : legacyFromWidget(widget);
}

tags::Text fromV1(const std::string& v1Bytes, const tags::Text& current)
{
    if (current.unicode && shownText(current) == platform::AnsiToText(v1Bytes))
        return current;
    return tags::legacyText(v1Bytes);
}

std::string toV1(const tags::Text& text)
{
    return text.unicode ? platform::TextToAnsi(shownText(text)) : text.bytes;
}

} // namespace operations
