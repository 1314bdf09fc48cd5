#include "tags/ID3v2FrameList.h"

#include "tags/ID3v2Fields.h"
#include "tags/PictureHeader.h"
#include "tags/TextCodec.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tags {

using namespace id3v2;

namespace {

// clang-format off
constexpr std::pair<std::string_view, std::string_view> Names[] = {
    {"TIT2", "标题"}, {"TPE1", "艺术家"}, {"TALB", "专辑"}, {"TRCK", "音轨"},
    {"TPOS", "碟号"}, {"TPE2", "专辑艺术家"}, {"TCOM", "作曲"}, {"USLT", "歌词"},
    {"APIC", "图片"}, {"COMM", "注释"}, {"TYER", "年份"}, {"TDRC", "年份"},
    {"TCON", "流派"}, {"TXXX", "自定义文本"}, {"WXXX", "自定义链接"},
    {"TIT1", "内容组"}, {"TIT3", "副标题"}, {"TPE3", "指挥"}, {"TPE4", "混音"},
    {"TEXT", "作词"}, {"TPUB", "发行商"}, {"TCOP", "版权"}, {"TENC", "编码者"},
    {"TSSE", "编码设置"}, {"TLEN", "时长"}, {"TBPM", "节拍"}, {"TKEY", "调性"},
    {"TLAN", "语言"}, {"TSRC", "ISRC"}, {"TMED", "媒体类型"}, {"TOAL", "原专辑"},
    {"TOPE", "原艺术家"}, {"TOLY", "原作词"}, {"TORY", "原发行年份"},
    {"TDOR", "原发行时间"}, {"TDAT", "日期"}, {"TIME", "时间"}, {"TCMP", "合辑"},
    {"TSOA", "专辑排序"}, {"TSOP", "艺术家排序"}, {"TSOT", "标题排序"},
    {"TSO2", "专辑艺术家排序"}, {"TSOC", "作曲排序"}, {"TDRL", "发行时间"},
    {"WCOM", "购买链接"}, {"WCOP", "版权链接"}, {"WOAF", "音频文件链接"},
    {"WOAR", "艺术家链接"}, {"WOAS", "音源链接"}, {"WORS", "电台链接"},
    {"WPAY", "付款链接"}, {"WPUB", "发行商链接"},
    {"PRIV", "私有数据"}, {"UFID", "唯一标识"}, {"POPM", "评分"}, {"PCNT", "播放次数"},
    {"GEOB", "附加对象"}, {"SYLT", "同步歌词"}, {"RVA2", "音量调整"},
    {"RVAD", "音量调整"}, {"MCDI", "光盘标识"}, {"USER", "使用条款"},
};
constexpr std::array<std::string_view, 21> PictureTypes = {
    "其他", "文件图标", "其他图标", "封面", "封底", "内页", "媒体", "主唱", "艺术家",
    "指挥", "乐队", "作曲", "作词", "录音地点", "录音中", "演出中", "视频截图",
    "鱼", "插图", "乐队标志", "发行商标志",
};
// clang-format on

bool isFrameId(std::string_view id, char first)
{
    return id.size() == 4 && id.front() == first && std::all_of(id.begin(), id.end(), [](char c) {
               return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
           });
}

bool holdsNul(const Text& text)
{
    return text.bytes.find('\0') != std::string::npos;
}

// The strings of a text, one after the other as a list shows them.
Text joined(Text text)
{
    std::string out;
    for (const std::string_view piece : splitStrings(text.bytes, Latin1)) {
        if (!out.empty())
            out += " / ";
        out += piece;
    }
    text.bytes = std::move(out);
    return text;
}

std::string bytesText(std::uint64_t size)
{
    if (size < 1024)
        return std::to_string(size) + " B";
    if (size < (1u << 20))
        return std::to_string((size + 512) / 1024) + " KB";
    const std::uint64_t tenths = (size * 10 + (1u << 19)) / (1u << 20);
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " MB";
}

// Description and text of "TXXX" and "WXXX": encoding byte, description,
// then the text (a Latin-1 URL for "WXXX").
void userFrame(const Frame& frame, std::string_view data, FrameSummary& out)
{
    const auto encoding = readEncoding(data.substr(1), static_cast<std::uint8_t>(data.front()));
    const std::string_view rest = data.substr(1);
    const std::size_t end = findTerminator(rest, 0, encoding);
    out.description = decodedText(rest.substr(0, end), encoding);
    const std::string_view value = end == std::string_view::npos
                                       ? std::string_view()
                                       : rest.substr(end + terminatorSize(encoding));
    out.text = frame.id == "WXXX" ? legacyText(std::string(value.substr(0, value.find('\0'))))
                                  : joined(decodedText(value, encoding));
}

void pictureFrame(std::string_view data, FrameSummary& out)
{
    const std::size_t mimeEnd = data.find('\0', 1);
    if (mimeEnd == std::string_view::npos || mimeEnd + 1 >= data.size())
        return;
    const auto encoding = static_cast<std::uint8_t>(data.front());
    const auto type = static_cast<std::uint8_t>(data[mimeEnd + 1]);
    const std::string_view rest = data.substr(mimeEnd + 2);
    const std::size_t end = findTerminator(rest, 0, encoding);
    if (end == std::string_view::npos)
        return;
    out.description = decodedText(rest.substr(0, end), encoding);
    const std::string_view image = rest.substr(end + terminatorSize(encoding));
    const std::string typeName =
        type < PictureTypes.size() ? std::string(PictureTypes[type]) : std::to_string(type);
    out.text = unicodeText(typeName + ", " + pictureSummary(data.substr(1, mimeEnd - 1), image));
    out.shown = true;
}

FrameSummary summaryOf(const Frame& frame, std::uint64_t storedSize)
{
    FrameSummary out;
    out.id = frame.id;
    out.name = frameName(frame.id);
    out.size = storedSize;
    const std::string_view data = frame.data;
    const bool readable = !frame.compressed() && !frame.encrypted() && !frame.grouped();
    if (readable && !data.empty()) {
        if (frame.id == "TXXX" || frame.id == "WXXX") {
            userFrame(frame, data, out);
            out.shown = true;
        } else if (frame.id.front() == 'T') {
            out.text = joined(textOf(frame).value_or(Text()));
            out.shown = true;
        } else if (frame.id.front() == 'W') {
            out.text = legacyText(std::string(data.substr(0, data.find('\0'))));
            out.shown = true;
        } else if (frame.id == "COMM" || frame.id == "USLT") {
            if (const auto parts = commentOf(frame)) {
                out.description = parts->description;
                out.text = parts->text;
                out.language = parts->language;
                out.shown = true;
            }
        } else if (frame.id == "APIC") {
            pictureFrame(data, out);
        }
    }
    if (!out.shown)
        out.data = frame.data;
    return out;
}

} // namespace

std::string frameName(std::string_view id)
{
    for (const auto& [frameId, name] : Names) {
        if (frameId == id)
            return std::string(name);
    }
    if (isFrameId(id, 'W'))
        return "链接";
    return {};
}

std::string pictureSummary(std::string_view mime, std::string_view data)
{
    std::optional<PictureSize> size;
    std::string format;
    if (data.substr(0, 3) == "\xFF\xD8\xFF") {
        format = "JPEG";
        size = jpegSize(data);
    } else if (data.substr(0, 8) == "\x89PNG\r\n\x1A\n") {
        format = "PNG";
        size = pngSize(data);
    } else {
        format = std::string(mime.empty() ? std::string_view("?") : mime);
    }
    std::string out = format + " ";
    if (size)
        out += std::to_string(size->width) + "×" + std::to_string(size->height) + ", ";
    return out + bytesText(data.size());
}

std::vector<FrameSummary> listFrames(const TagImage& image)
{
    std::vector<FrameSummary> list;
    const auto header = parseHeader(image.head);
    if (!header || !header->readable() || image.head.size() < HeaderSize + header->declared)
        return list;
    const auto end = static_cast<std::size_t>(HeaderSize + header->declared);
    auto bytes = openTag(-1, image.head.substr(0, end), *header);
    if (!bytes)
        return list;
    const auto begin = framesBegin(*bytes, *header);
    if (!begin)
        return list;
    FrameWalker walker(*bytes, header->major, *begin);
    StoredFrame stored;
    while (walker.next(stored)) {
        const char* data = bytes->view(stored.offset, stored.size);
        const std::string_view raw(data ? data : "", data ? stored.size : 0);
        const auto frame = toV23Form(stored, raw, *header);
        FrameSummary summary =
            frame
                ? summaryOf(reencodedForV23(*frame), stored.size)
                : FrameSummary{0, stored.id, {}, {}, {}, {}, stored.size, false, std::string(raw)};
        summary.index = list.size();
        list.push_back(std::move(summary));
    }
    return list;
}

namespace id3v2 {

std::optional<Frame> newTextFrame(std::string_view id, const Text& text)
{
    if (!isFrameId(id, 'T') || id == "TXXX" || holdsNul(text))
        return std::nullopt;
    return fieldFrame(id, text);
}

std::optional<Frame> newUserTextFrame(const Text& description, const Text& text)
{
    if (holdsNul(text))
        return std::nullopt;
    // The same layout as a comment's, less the language.
    auto frame = describedFrame("TXXX", "XXX", description, text);
    if (frame)
        frame->data.erase(1, 3);
    return frame;
}

std::optional<Frame> newCommentFrame(std::string_view language, const Text& description,
                                     const Text& text)
{
    if (holdsNul(text))
        return std::nullopt;
    return describedFrame("COMM", language, description, text);
}

std::optional<Frame> newUrlFrame(std::string_view id, std::string_view url)
{
    if (!isFrameId(id, 'W') || id == "WXXX" || !isAscii(url) ||
        url.find('\0') != std::string_view::npos)
        return std::nullopt;
    return Frame{std::string(id), 0, std::string(url)};
}

std::optional<Frame> newUserUrlFrame(const Text& description, std::string_view url)
{
    if (!isAscii(url) || url.find('\0') != std::string_view::npos || holdsNul(description))
        return std::nullopt;
    // The description in its encoding, terminated; the URL is always Latin-1.
    const auto encoded = encodedStrings({description.bytes}, description.unicode);
    if (!encoded)
        return std::nullopt;
    return Frame{"WXXX", 0,
                 static_cast<char>(encoded->encoding) + encoded->bytes +
                     std::string(terminatorSize(encoded->encoding), '\0') + std::string(url)};
}

} // namespace id3v2

} // namespace tags
