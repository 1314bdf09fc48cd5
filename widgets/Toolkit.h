#pragma once

#include <QFont>

class QFrame;

// Fonts and frames of the forms' designed look. The forms are laid out in
// pixels at 96 dpi, so the fonts are sized in pixels too: text then fits its
// fixed place whatever the screen's resolution.
namespace widgets {

// Pixels at 96 dpi for a size in points (9 pt -> 12 px, 10.5 pt -> 14 px).
int pixelsAt96Dpi(qreal points);

// "宋体" by name, with the installed CJK fonts as fall-back.
QFont songTiFont(qreal points, bool bold = false);

// The desktop's default interface font (the designed "MS Sans Serif").
QFont uiFont(qreal points);

// A panel with a raised inner and a lowered outer bevel: an etched frame.
void setRaisedLoweredBevel(QFrame* frame);

} // namespace widgets
