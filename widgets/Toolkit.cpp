#include "widgets/Toolkit.h"

#include <QApplication>
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
    font.setFamilies({u"宋体"_s, u"SimSun"_s, u"NSimSun"_s, u"WenQuanYi Micro Hei"_s,
                      u"Noto Sans CJK SC"_s, u"Noto Serif CJK SC"_s, u"AR PL UMing CN"_s});
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

void setRaisedLoweredBevel(QFrame* frame)
{
    // Qt's sunken box is drawn as a groove: a lowered line outside a raised one.
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setLineWidth(1);
    frame->setMidLineWidth(0);
}

} // namespace widgets
