#include "resources/Icons.h"

#include <QString>

using namespace Qt::StringLiterals;

// Registering the resources by name also pulls their object file out of a
// static library that holds it, where nothing else would refer to it.
static void initResources()
{
    Q_INIT_RESOURCE(mp3tagloom);
}

namespace resources {

namespace {

QString imagePath(const QString& name)
{
    static const bool registered = (initResources(), true);
    Q_UNUSED(registered);
    return u":/mp3tagloom/images/"_s + name;
}

} // namespace

QPixmap mainImage(int index)
{
    if (index < 0 || index >= kMainImageCount)
        return {};
    return QPixmap(imagePath(u"main%1.png"_s.arg(index, 2, 10, QChar(u'0'))));
}

QIcon mainIcon(int index)
{
    if (index < 0 || index >= kMainImageCount)
        return {};
    const QString name = u"main%1"_s.arg(index, 2, 10, QChar(u'0'));
    QIcon icon;
    icon.addFile(imagePath(name + u".png"_s), QSize(16, 16));
    icon.addFile(imagePath(name + u"@2x.png"_s), QSize(32, 32));
    return icon;
}

QIcon appIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48, 256})
        icon.addFile(imagePath(u"app%1.png"_s.arg(size)), QSize(size, size));
    return icon;
}

QPixmap aboutPicture()
{
    QPixmap picture(imagePath(u"about@2x.png"_s));
    picture.setDevicePixelRatio(2.0);
    return picture;
}

} // namespace resources
