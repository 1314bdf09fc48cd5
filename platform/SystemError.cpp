#include "platform/SystemError.h"

#include <cerrno>
#include <system_error>

using namespace Qt::StringLiterals;

namespace platform {

namespace {

struct Known {
    int error;
    const char16_t* text;
};

// Those a user of a tag editor meets: files, folders, disks and removable media.
constexpr Known known[] = {
    {EACCES, u"权限不足"},
    {EPERM, u"权限不足"},
    {EROFS, u"文件只读(只读的文件系统)"},
    {ENOSPC, u"磁盘已满"},
    {EDQUOT, u"磁盘配额已满"},
    {ENOENT, u"文件或文件夹不存在"},
    {EEXIST, u"已有同名的项"},
    {ENOTEMPTY, u"文件夹不是空的"},
    {ENOTDIR, u"路径中的一项不是文件夹"},
    {EISDIR, u"是文件夹"},
    {ENAMETOOLONG, u"文件名太长"},
    {EXDEV, u"不能跨磁盘移动"},
    {EBUSY, u"文件正被占用"},
    {ETXTBSY, u"文件正被占用"},
    {EIO, u"读写错误(磁盘或介质可能已损坏)"},
    {EFBIG, u"文件太大"},
    {EMFILE, u"打开的文件太多"},
    {ENFILE, u"打开的文件太多"},
    {ENOMEM, u"内存不足"},
    {ELOOP, u"符号链接层次太多"},
    {ENODEV, u"设备不存在"},
    {ENXIO, u"设备不存在"},
    {EAGAIN, u"资源暂时不可用"},
    {EINTR, u"操作被中断"},
    {EINVAL, u"参数无效"},
};

} // namespace

QString SystemErrorText(int error)
{
    for (const Known& k : known) {
        if (k.error == error)
            return QString::fromUtf16(k.text);
    }
    return u"系统错误: "_s + QString::fromLocal8Bit(std::generic_category().message(error));
}

} // namespace platform
