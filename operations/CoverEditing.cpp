#include "operations/CoverEditing.h"

#include "operations/TagCopying.h"
#include "operations/TagWrites.h"
#include "platform/NativePath.h"
#include "platform/SystemError.h"
#include "tags/FileIo.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tags/PictureHeader.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <iterator>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

const QByteArray kJpegSignature("\xFF\xD8\xFF", 3);
const QByteArray kPngSignature("\x89PNG\r\n\x1A\n", 8);

QString systemError(int error)
{
    return platform::SystemErrorText(error);
}

std::optional<tags::TagChange> coverChange(const QString& path, const tags::CoverEdit& edit,
                                           QString* reason, const TextRules& rules = {})
{
    auto change = tags::beginChange(platform::NativePath(path));
    if (!change) {
        if (reason)
            *reason = failureReason(path);
        return std::nullopt;
    }
    // A tag made for the cover holds the file's ID3v1 texts too.
    TID3v1 v1;
    TID3v2 v2;
    const std::string file = platform::NativePath(path);
    const bool fromV1 = !edit.remove && v1.ReadFromFile(file) && v2.ReadFromFile(file) &&
                        fillNewV2FromV1(v1, v2, rules.forFile(v1, v2));
    auto head = fromV1 ? v2.RenderHead(change->before(), &edit)
                       : TID3v2::RenderCoverHead(change->before(), edit);
    if (!head) {
        if (reason)
            *reason = u"ID3v2标签中有无法保留的内容,未写入"_s;
        return std::nullopt;
    }
    change->setHead(std::move(*head));
    return change;
}

// Its structure walked whole: a file that starts like a picture but is cut
// short or damaged is not taken.
bool isWholePicture(const QByteArray& bytes, const QString& mime)
{
    const std::string_view view(bytes.constData(), std::size_t(bytes.size()));
    return (mime == u"image/jpeg"_s ? tags::jpegSize(view) : tags::pngSize(view)).has_value();
}

bool isSameFile(const std::string& a, const std::string& b)
{
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && tags::isSameFile(sa, sb);
}

// The bytes in a new file beside `target`, flushed; its name, or the errno.
struct Written {
    std::string temporary;
    int error = 0;
};
Written writeBeside(const std::string& target, const QByteArray& data, mode_t mode)
{
    std::string name = tags::folderOf(target) + "/.mp3tagloom-cover-XXXXXX";
    const tags::FileDescriptor fd(::mkostemp(name.data(), O_CLOEXEC));
    if (!fd)
        return {{}, errno};
    int error = tags::writeAllAt(fd.get(), std::string_view(data.constData(), data.size()), 0);
    if (error == 0 && (::fchmod(fd.get(), mode) != 0 || ::fsync(fd.get()) != 0))
        error = errno;
    if (error != 0) {
        ::unlink(name.c_str());
        return {{}, error};
    }
    return {name, 0};
}

} // namespace

QString imageMimeType(const QByteArray& bytes)
{
    if (bytes.startsWith(kJpegSignature))
        return u"image/jpeg"_s;
    if (bytes.startsWith(kPngSignature))
        return u"image/png"_s;
    return {};
}

std::optional<CoverImage> readCoverFile(const QString& path, QString* error)
{
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    struct stat st {};
    const tags::FileDescriptor fd = tags::openForReading(platform::NativePath(path), st);
    if (!fd)
        return fail(errno == ENOENT ? u"文件不存在"_s : systemError(errno));
    if (st.st_size > kMaxCoverFile)
        return fail(u"图片超过16 MB,未使用"_s);
    // One byte more than allowed tells a file that grew since.
    const auto bytes = tags::readAt(fd.get(), 0, std::size_t(kMaxCoverFile) + 1);
    if (!bytes)
        return fail(systemError(errno));
    if (bytes->size() > std::size_t(kMaxCoverFile))
        return fail(u"图片超过16 MB,未使用"_s);
    CoverImage image{QByteArray::fromStdString(*bytes), {}};
    image.mime = imageMimeType(image.data);
    if (image.mime.isEmpty())
        return fail(u"不是JPEG或PNG图片"_s);
    if (!isWholePicture(image.data, image.mime))
        return fail(u"图片已损坏或不完整,无法读取"_s);
    return image;
}

QString pictureTypeName(std::uint8_t type)
{
    static const char16_t* const names[] = {
        u"其他图片", u"文件图标",   u"其他文件图标", u"封面",   u"封底",     u"宣传页",
        u"盘面",     u"主要演出者", u"演出者",       u"指挥",   u"乐队",     u"作曲",
        u"作词",     u"录音地点",   u"录音时",       u"演出时", u"视频截图", u"鲜艳的鱼",
        u"插图",     u"乐队标志",   u"出品方标志"};
    if (type < std::size(names))
        return QString::fromUtf16(names[type]);
    return u"类型 %1"_s.arg(type);
}

std::optional<tags::Picture> readCover(const QString& path)
{
    return tags::frontCover(platform::NativePath(path));
}

std::optional<tags::TagChange> setCoverChange(const QString& path, const CoverImage& image,
                                              QString* reason, const TextRules& rules)
{
    return coverChange(path, {false, image.mime.toStdString(), image.data.toStdString()}, reason,
                       rules);
}

std::optional<tags::TagChange> removeCoverChange(const QString& path, QString* reason)
{
    return coverChange(path, {true, {}, {}}, reason);
}

QString removedPictureName(const tags::TagChange& change)
{
    if (!change.changes())
        return {};
    const auto shown = tags::frontCover(change.before());
    return shown ? pictureTypeName(shown->type) : QString();
}

QString coverFileName(const QString& mp3Path, const QString& mime)
{
    QString name = mp3Path.mid(mp3Path.lastIndexOf(u'/') + 1);
    if (name.endsWith(u".mp3"_s, Qt::CaseInsensitive))
        name.chop(4);
    return name + (mime == u"image/png"_s ? u".png"_s : u".jpg"_s);
}

Outcome exportCover(const QByteArray& data, const QString& mp3Path, const QString& target)
{
    const std::string to = platform::NativePath(target);
    if (isSameFile(to, platform::NativePath(mp3Path)))
        return {false, u"不能覆盖MP3文件本身"_s};
    struct stat st {};
    const bool exists = ::stat(to.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode))
        return {false, u"不是文件"_s};
    // A file replaced keeps its permissions; a new one gets the usual ones.
    const Written written = writeBeside(to, data, exists ? st.st_mode & 07777 : 0644);
    if (written.error != 0)
        return {false,
                tags::isOutOfRoom(written.error) ? u"磁盘已满"_s : systemError(written.error)};
    if (::rename(written.temporary.c_str(), to.c_str()) != 0) {
        const int error = errno;
        ::unlink(written.temporary.c_str());
        return {false, systemError(error)};
    }
    return {true, {}};
}

} // namespace operations
