#include "resources/Icons.h"

#include "tests/support/TestEnvironment.h"

#include <QImage>
#include <QTest>

class ResourcesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void mainImagesAre16x16();
    void picturesAreSharpAtDoubleDensity();
    void documentClipsHaveTheirColours_data();
    void documentClipsHaveTheirColours();
    void appIconHasItsSizes();
    void aboutPictureLoads();
};

void ResourcesTest::mainImagesAre16x16()
{
    for (int i = 0; i < resources::kMainImageCount; ++i) {
        const QPixmap image = resources::mainImage(i);
        QVERIFY2(!image.isNull(), qPrintable(QString::number(i)));
        QCOMPARE(image.size(), QSize(16, 16));
    }
    QVERIFY(resources::mainImage(-1).isNull());
    QVERIFY(resources::mainImage(resources::kMainImageCount).isNull());
}

// On a screen of double density the icons and the About picture come from
// pixels painted at that density, not from the small ones stretched.
void ResourcesTest::picturesAreSharpAtDoubleDensity()
{
    for (int i = 0; i < resources::kMainImageCount; ++i) {
        const QPixmap sharp = resources::mainIcon(i).pixmap(QSize(16, 16), 2.0);
        QCOMPARE(sharp.size(), QSize(32, 32));
        QCOMPARE(resources::mainIcon(i).pixmap(QSize(16, 16), 1.0).size(), QSize(16, 16));
    }
    QVERIFY(resources::mainIcon(resources::kMainImageCount).isNull());
    const QPixmap about = resources::aboutPicture();
    QCOMPARE(about.size(), QSize(132, 132));
    QCOMPARE(about.deviceIndependentSize(), QSizeF(66, 66));
}

void ResourcesTest::documentClipsHaveTheirColours_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("hue");
    QTest::newRow("red") << 8 << 0;
    QTest::newRow("yellow") << 9 << 60;
    QTest::newRow("green") << 10 << 120;
    QTest::newRow("blue") << 11 << 240;
    QTest::newRow("magenta") << 12 << 300;
}

// The row icons are told apart by their clip's colour: the most saturated
// pixel of each has the colour's hue.
void ResourcesTest::documentClipsHaveTheirColours()
{
    QFETCH(int, index);
    QFETCH(int, hue);
    const QImage image = resources::mainImage(index).toImage();
    QColor strongest;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() == 255 && c.hsvSaturation() > strongest.hsvSaturation())
                strongest = c;
        }
    }
    QVERIFY(strongest.hsvSaturation() > 200);
    const int distance = std::abs(strongest.hsvHue() - hue);
    QVERIFY2(std::min(distance, 360 - distance) < 25, qPrintable(strongest.name()));
}

void ResourcesTest::appIconHasItsSizes()
{
    const QIcon icon = resources::appIcon();
    QVERIFY(!icon.isNull());
    for (const int size : {16, 32, 48, 256})
        QVERIFY2(icon.availableSizes().contains(QSize(size, size)),
                 qPrintable(QString::number(size)));
}

void ResourcesTest::aboutPictureLoads()
{
    QVERIFY(!resources::aboutPicture().isNull());
}

MP3T_TEST_MAIN(ResourcesTest)
#include "ResourcesTest.moc"
