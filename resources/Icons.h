#pragma once

#include <QIcon>
#include <QPixmap>

// The program's pictures, from its resource file.
namespace resources {

// The main window's image list: 16 x 16 images, index 0..14.
inline constexpr int kMainImageCount = 15;
enum MainImage : int {
    ImageBatchEdit = 1,     // tab "批量改属性"
    ImagePropertyEdit = 4,  // tab "属性编辑"
    ImageRename = 5,        // tab "批量改文件名"
    ImageLog = 6,           // tab "日志"
    ImageFirstDocument = 8, // 8..12: documents with a red, yellow, green, blue, magenta clip
};

// The image of index; a null pixmap outside 0..14.
QPixmap mainImage(int index);
// The same as an icon that is sharp on screens of double density too (its
// 32 x 32 twin); a null icon outside 0..14.
QIcon mainIcon(int index);

// The window icon, in 16, 32, 48 and 256 pixels.
QIcon appIcon();

// The About box's picture: 66 x 66 as the window measures it, painted with
// twice the pixels for screens of double density.
QPixmap aboutPicture();

} // namespace resources
