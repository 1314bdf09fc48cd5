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

// font, condensed (to no less than 85 % of its width) so that text fits in
// width pixels: the fall-back fonts are a little wider than "宋体", and a
// caption must not run under the control beside it. Unchanged if it fits.
QFont condensedToFit(const QFont& font, const QString& text, int width);

// A panel with a raised inner and a lowered outer bevel: an etched frame.
void setRaisedLoweredBevel(QFrame* frame);

} // namespace widgets
