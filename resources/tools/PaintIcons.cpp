// Paints the program's pictures into PNG files: the fifteen 16 x 16 images (and their 32 x 32
// twins) of the main window's image list, the window icon in four sizes and the About box's
// picture; and the icon the desktop shows for the installed program, as an SVG and as PNGs in the
// sizes of the hicolor theme. The files are committed; rerun this after changing the art:
//
//   cmake --build <build> --target paint_icons
//
// (or run <build>/resources/mp3t_paint_icons <images folder> <theme folder>
// by hand).

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>

#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

using Painter = std::function<void(QPainter&)>;

const QColor kOutline(70, 70, 80);
const QColor kPaper(255, 255, 255);
// The name desktops look the program's icon up by: its desktop file's name.
const QString kAppId = u"io.github.mp3tagloom.Mp3Tagloom"_s;

// Every image is drawn on a 16 x 16 grid and scaled to its size.
QImage paint(int size, const Painter& draw)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    draw(p);
    return image;
}

QPen pen(const QColor& color, qreal width = 1.0)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A sheet of paper with a folded top-right corner.
void page(QPainter& p, const QRectF& r, const QColor& fill = kPaper)
{
    const qreal fold = r.width() * 0.35;
    QPainterPath path;
    path.moveTo(r.topLeft());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.bottomRight());
    path.lineTo(r.bottomLeft());
    path.closeSubpath();
    p.setPen(pen(kOutline));
    p.setBrush(fill);
    p.drawPath(path);
    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    p.setBrush(QColor(215, 215, 225));
    p.drawPath(corner);
}

// Lines of text, one pixel high on pixel rows, so that they stay crisp.
void textLines(QPainter& p, qreal left, qreal right, qreal top, int count, qreal step = 2.0)
{
    p.setPen(QPen(QColor(110, 125, 170), 1.0, Qt::SolidLine, Qt::FlatCap));
    for (int i = 0; i < count; ++i) {
        const qreal y = top + i * step + 0.5;
        p.drawLine(QPointF(left, y), QPointF(right, y));
    }
}

// A pencil from the lower left to the upper right, its tip at tip.
void pencil(QPainter& p, const QPointF& tip)
{
    p.save();
    p.translate(tip);
    p.rotate(-45);
    p.setPen(pen(QColor(90, 60, 20), 0.7));
    p.setBrush(QColor(245, 170, 40));
    p.drawRect(QRectF(3, -1.3, 7, 2.6));
    p.setBrush(QColor(240, 215, 170));
    QPolygonF point{QPointF(0, 0), QPointF(3, -1.3), QPointF(3, 1.3)};
    p.drawPolygon(point);
    p.setBrush(QColor(230, 110, 130));
    p.drawRect(QRectF(10, -1.3, 1.6, 2.6));
    p.restore();
}

void note(QPainter& p, const QColor& color)
{
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(QRectF(2.5, 10.5, 4.5, 3.5));
    p.drawEllipse(QRectF(9, 9, 4.5, 3.5));
    p.setPen(pen(color, 1.4));
    p.drawLine(QPointF(6.6, 12), QPointF(6.6, 3));
    p.drawLine(QPointF(13.1, 10.5), QPointF(13.1, 1.8));
    p.setPen(pen(color, 2.0));
    p.drawLine(QPointF(6.6, 3.2), QPointF(13.1, 2));
}

// A price tag, hole on the left.
void tag(QPainter& p, const QColor& fill, const QRectF& r)
{
    QPainterPath path;
    const qreal tip = r.height() / 2;
    path.moveTo(r.left() + tip, r.top());
    path.lineTo(r.right(), r.top());
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left() + tip, r.bottom());
    path.lineTo(r.left(), r.center().y());
    path.closeSubpath();
    p.setPen(pen(kOutline));
    p.setBrush(fill);
    p.drawPath(path);
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(r.left() + tip * 0.9, r.center().y()), r.height() * 0.12,
                  r.height() * 0.12);
}

// A document with a paper clip of the given colour over its left edge.
void clippedDocument(QPainter& p, const QColor& clip)
{
    page(p, QRectF(3.5, 1.5, 10, 13));
    textLines(p, 6, 12, 6, 4);
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(clip.darker(130), 2.0));
    p.drawRoundedRect(QRectF(2.5, 0.8, 3.2, 8.5), 1.6, 1.6);
    p.setPen(pen(clip, 1.2));
    p.drawRoundedRect(QRectF(2.5, 0.8, 3.2, 8.5), 1.6, 1.6);
    p.drawLine(QPointF(4.1, 3), QPointF(4.1, 7.5));
}

void batchEdit(QPainter& p)
{
    page(p, QRectF(5.5, 0.5, 9, 11), QColor(225, 230, 245));
    page(p, QRectF(3.5, 2.5, 9, 11), QColor(240, 242, 250));
    page(p, QRectF(1.5, 4.5, 9, 11));
    textLines(p, 3, 8, 8, 3);
    pencil(p, QPointF(7.5, 14.5));
}

void rename(QPainter& p)
{
    p.setPen(pen(kOutline));
    p.setBrush(kPaper);
    p.drawRect(QRectF(0.5, 4.5, 15, 8));
    QFont font(u"DejaVu Sans"_s);
    font.setPixelSize(7);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(30, 60, 160));
    p.drawText(QRectF(1.5, 4.5, 10, 8), Qt::AlignVCenter | Qt::AlignLeft, u"ab"_s);
    p.setPen(pen(QColor(200, 30, 30), 1.0));
    p.drawLine(QPointF(11.5, 3), QPointF(11.5, 14));
    p.drawLine(QPointF(10, 3), QPointF(13, 3));
    p.drawLine(QPointF(10, 14), QPointF(13, 14));
}

void propertyEdit(QPainter& p)
{
    page(p, QRectF(1.5, 0.5, 11, 14));
    textLines(p, 3, 10, 5, 4);
    tag(p, QColor(250, 200, 60), QRectF(3, 1.5, 6, 2.6));
    pencil(p, QPointF(9.5, 14.5));
}

void log(QPainter& p)
{
    p.setPen(pen(kOutline));
    p.setBrush(QColor(255, 250, 215));
    p.drawRect(QRectF(2.5, 2.5, 11, 13));
    textLines(p, 4, 12, 6, 5);
    p.setPen(pen(QColor(80, 80, 90), 1.0));
    p.setBrush(QColor(190, 190, 200));
    for (qreal x = 4.5; x < 13; x += 2.5)
        p.drawEllipse(QPointF(x, 2.5), 0.9, 1.4);
}

void folder(QPainter& p)
{
    p.setPen(pen(QColor(140, 100, 20)));
    p.setBrush(QColor(250, 210, 90));
    QPainterPath path;
    path.moveTo(1.5, 3.5);
    path.lineTo(6, 3.5);
    path.lineTo(7.5, 5);
    path.lineTo(14.5, 5);
    path.lineTo(14.5, 13.5);
    path.lineTo(1.5, 13.5);
    path.closeSubpath();
    p.drawPath(path);
    p.setBrush(QColor(255, 228, 130));
    p.drawRect(QRectF(1.5, 6.5, 13, 7));
}

void disc(QPainter& p)
{
    QRadialGradient g(QPointF(8, 8), 7);
    g.setColorAt(0, QColor(250, 250, 255));
    g.setColorAt(0.6, QColor(190, 210, 240));
    g.setColorAt(1, QColor(230, 190, 240));
    p.setPen(pen(kOutline));
    p.setBrush(g);
    p.drawEllipse(QPointF(8, 8), 6.8, 6.8);
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(8, 8), 1.8, 1.8);
}

void speaker(QPainter& p)
{
    p.setPen(pen(kOutline));
    p.setBrush(QColor(120, 130, 150));
    QPolygonF body{QPointF(2, 6),    QPointF(5, 6),  QPointF(9, 2.5),
                   QPointF(9, 13.5), QPointF(5, 10), QPointF(2, 10)};
    p.drawPolygon(body);
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(QColor(40, 120, 200), 1.2));
    p.drawArc(QRectF(8, 5, 5, 6), -60 * 16, 120 * 16);
    p.drawArc(QRectF(8, 2.5, 7, 11), -60 * 16, 120 * 16);
}

void check(QPainter& p)
{
    p.setPen(pen(QColor(30, 140, 50), 2.4));
    p.drawPolyline(QPolygonF{QPointF(2.5, 8.5), QPointF(6.5, 12.5), QPointF(13.5, 3.5)});
}

// The program's own picture: a tag with a note on a blue tile.
void appPicture(QPainter& p)
{
    QLinearGradient g(QPointF(0, 0), QPointF(16, 16));
    g.setColorAt(0, QColor(70, 110, 230));
    g.setColorAt(1, QColor(120, 60, 190));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3.2, 3.2);
    p.save();
    p.translate(8, 8);
    p.rotate(-30);
    p.translate(-8, -8);
    tag(p, QColor(255, 215, 80), QRectF(1.2, 5.2, 13.6, 6.6));
    p.restore();
    p.save();
    p.translate(5.2, 4.4);
    p.scale(0.5, 0.5);
    note(p, QColor(40, 40, 90));
    p.restore();
}

std::vector<Painter> mainImages()
{
    return {
        [](QPainter& p) { note(p, QColor(40, 80, 190)); },
        batchEdit,
        folder,
        disc,
        propertyEdit,
        rename,
        log,
        [](QPainter& p) { tag(p, QColor(250, 200, 60), QRectF(1, 4, 14, 8)); },
        [](QPainter& p) { clippedDocument(p, QColor(220, 30, 30)); },
        [](QPainter& p) { clippedDocument(p, QColor(235, 200, 0)); },
        [](QPainter& p) { clippedDocument(p, QColor(20, 170, 40)); },
        [](QPainter& p) { clippedDocument(p, QColor(30, 80, 230)); },
        [](QPainter& p) { clippedDocument(p, QColor(220, 30, 200)); },
        speaker,
        check,
    };
}

bool cannotWrite(const QString& path)
{
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

bool save(const QImage& image, const QString& path)
{
    return image.save(path, "PNG") || cannotWrite(path);
}

// The same strokes as vectors: the 16 x 16 grid is the SVG's view box, so
// every size is drawn from the art itself rather than from a scaled bitmap.
bool saveSvg(const Painter& draw, const QString& path)
{
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(QSize(16, 16));
    svg.setViewBox(QRectF(0, 0, 16, 16));
    svg.setTitle(u"Mp3Tagloom"_s);
    QPainter p;
    if (!p.begin(&svg))
        return cannotWrite(path);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return p.end() || cannotWrite(path);
}

// The hicolor theme's layout, <size>/apps/<id>.<png|svg>, under themeFolder.
bool paintThemeIcons(const QDir& themeFolder)
{
    const QString scalable = themeFolder.filePath(u"scalable/apps"_s);
    bool ok =
        QDir().mkpath(scalable) && saveSvg(appPicture, QDir(scalable).filePath(kAppId + u".svg"_s));
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString folder = themeFolder.filePath(u"%1x%1/apps"_s.arg(size));
        ok = QDir().mkpath(folder) &&
             save(paint(size, appPicture), QDir(folder).filePath(kAppId + u".png"_s)) && ok;
    }
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <images folder> <icon theme folder>\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    bool ok = QDir().mkpath(out.path());
    const std::vector<Painter> images = mainImages();
    // Each with its "@2x" twin, which Qt takes on screens of double density.
    for (int i = 0; i < int(images.size()); ++i) {
        const QString name = u"main%1"_s.arg(i, 2, 10, QChar(u'0'));
        ok = save(paint(16, images[size_t(i)]), out.filePath(name + u".png"_s)) && ok;
        ok = save(paint(32, images[size_t(i)]), out.filePath(name + u"@2x.png"_s)) && ok;
    }
    for (const int size : {16, 32, 48, 256})
        ok = save(paint(size, appPicture), out.filePath(u"app%1.png"_s.arg(size))) && ok;
    ok = save(paint(66, appPicture), out.filePath(u"about.png"_s)) && ok;
    ok = save(paint(132, appPicture), out.filePath(u"about@2x.png"_s)) && ok;
    ok = paintThemeIcons(QDir(QString::fromLocal8Bit(argv[2]))) && ok;
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
