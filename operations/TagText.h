#pragma once

#include "tags/Text.h"

#include <QString>

#include <string>

// Tag texts to and from what the window shows, in one place: the code page
// of legacy texts, and which form an edited text is written in.
namespace operations {

// The text as a widget shows it: UTF-8 for Unicode, the code page for legacy bytes.
QString shownText(const tags::Text& text);

// A widget's text for a tag: code-page bytes.
tags::Text legacyFromWidget(const QString& text);

// What a field gets from a widget: the text it was read as while the widget
// shows just that, so that saving leaves its frame alone; else the widget's
// text (see legacyFromWidget).
tags::Text editedText(const QString& widget, const tags::Text& read);

// A copy of ID3v1 bytes for the ID3v2 field that holds `current`: the field
// stays when it already shows the same text.
tags::Text fromV1(const std::string& v1Bytes, const tags::Text& current);

// The bytes an ID3v1 field gets from an ID3v2 text: the code page.
std::string toV1(const tags::Text& text);

} // namespace operations
