// The desktop icon as installed: desktops pick the SVG or the PNG of a size
// as they please, so each must show the same picture.

#include "tests/support/TestEnvironment.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdlib>

using namespace Qt::StringLiterals;

class IconFilesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void svgIsSmallVectors();
    void pngMatchesSvg_data();
    void pngMatchesSvg();
};

namespace {

const QString kTheme = QString::fromUtf8(MP3T_ICON_THEME);
const QString kId = u"io.github.mp3tagloom.Mp3Tagloom"_s;

QString svgPath()
{
    return kTheme + u"/scalable/apps/"_s + kId + u".svg"_s;
}

QImage renderSvg(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer svg(svgPath());
    QPainter p(&image);
    svg.render(&p);
    return image;
}

// The mean difference of the four channels over all pixels, 0..255.
double meanDifference(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row);
            const QRgb q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q)) + std::abs(qAlpha(p) - qAlpha(q));
        }
    return sum / (4.0 * x.width() * x.height());
}

} // namespace

void IconFilesTest::svgIsSmallVectors()
{
    QSvgRenderer svg(svgPath());
    QVERIFY2(svg.isValid(), qPrintable(svgPath()));
    // The grid the art is drawn on, whatever size the desktop asks for.
    QCOMPARE(svg.viewBoxF(), QRectF(0, 0, 16, 16));
    // A bitmap drawn into it would be embedded as base64, many times larger.
    QVERIFY(QFileInfo(svgPath()).size() < 16 * 1024);
}

void IconFilesTest::pngMatchesSvg_data()
{
    QTest::addColumn<int>("size");
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        QTest::addRow("%dx%d", size, size) << size;
}

void IconFilesTest::pngMatchesSvg()
{
    QFETCH(int, size);
    const QString path = kTheme + u"/%1x%1/apps/"_s.arg(size) + kId + u".png"_s;
    const QImage png(path);
    QVERIFY2(!png.isNull(), qPrintable(path));
    QCOMPARE(png.size(), QSize(size, size));
    // Both are antialiased by the same painter; only rounding may differ.
    const double difference = meanDifference(png, renderSvg(size));
    QVERIFY2(difference < 1.0, qPrintable(QString::number(difference)));
}

MP3T_TEST_MAIN_IMPL(IconFilesTest, QGuiApplication)
#include "IconFilesTest.moc"
