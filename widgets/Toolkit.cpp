#include "widgets/Toolkit.h"

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>

#include <cmath>

using namespace Qt::StringLiterals;

namespace widgets {

int pixelsAt96Dpi(qreal points)
{
    return int(std::lround(points * 96.0 / 72.0));
}

QFont songTiFont(qreal points, bool bold)
{
    QFont font;
    // "宋体" sets Latin letters at half the width of a Chinese character; the
    // fall-backs that do the same come first, so that texts keep the width
    // the forms were laid out for.
    font.setFamilies({u"宋体"_s, u"SimSun"_s, u"NSimSun"_s, u"WenQuanYi Micro Hei Mono"_s,
                      u"Noto Sans Mono CJK SC"_s, u"WenQuanYi Micro Hei"_s, u"Noto Sans CJK SC"_s});
    font.setPixelSize(pixelsAt96Dpi(points));
    font.setBold(bold);
    return font;
}

QFont uiFont(qreal points)
{
    QFont font = QApplication::font();
    font.setPixelSize(pixelsAt96Dpi(points));
    return font;
}

QFont condensedToFit(const QFont& font, const QString& text, int width)
{
    QFont condensed = font;
    for (int stretch = 100; stretch >= 85; --stretch) {
        condensed.setStretch(stretch);
        if (QFontMetrics(condensed).horizontalAdvance(text) <= width)
            return stretch == 100 ? font : condensed;
    }
    return condensed;
}

void setRaisedLoweredBevel(QFrame* frame)
{
    // Qt's sunken box is drawn as a groove: a lowered line outside a raised one.
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setLineWidth(1);
    frame->setMidLineWidth(0);
}

} // namespace widgets
