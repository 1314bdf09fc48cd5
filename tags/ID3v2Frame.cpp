#include "tags/ID3v2Frame.h"

#include "tags/FileIo.h"
#include "tags/TextCodec.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>
#include <vector>

namespace tags::id3v2 {

namespace {

constexpr std::size_t ReadChunk = 4096;

unsigned byteAt(const char* p, std::size_t i)
{
    return static_cast<unsigned char>(p[i]);
}

std::uint32_t bigEndian(const char* p, std::size_t n)
{
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < n; ++i)
        v = (v << 8) | byteAt(p, i);
    return v;
}

bool isSyncsafe(const char* p)
{
    return ((byteAt(p, 0) | byteAt(p, 1) | byteAt(p, 2) | byteAt(p, 3)) & 0x80) == 0;
}

// The header's rule counts every size byte whole; in a valid size that is the
// same as 7 bits each.
std::uint32_t syncsafeValue(const char* p)
{
    return (byteAt(p, 0) << 21) + (byteAt(p, 1) << 14) + (byteAt(p, 2) << 7) + byteAt(p, 3);
}

std::string bigEndianBytes(std::uint32_t v)
{
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

bool isValidId(const char* p, std::size_t n)
{
    return std::all_of(p, p + n,
                       [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

std::size_t idSizeOf(std::uint8_t major)
{
    return major == 2 ? 3 : 4;
}

std::size_t frameHeaderSizeOf(std::uint8_t major)
{
    return major == 2 ? 6 : 10;
}

// The data size a frame header gives.
std::uint64_t frameSizeOf(const char* header, std::uint8_t major)
{
    if (major == 2)
        return bigEndian(header + 3, 3);
    if (major == 4 && isSyncsafe(header + 4))
        return syncsafeValue(header + 4);
    return bigEndian(header + 4, 4); // v2.3, and v2.4 sizes written plainly by some programs
}

// The start of a frame ID: every ID begins with a capital letter. A shorter
// view (an ID cut by the tag's end) is checked as far as it goes.
bool startsLikeId(std::string_view bytes, std::uint8_t major)
{
    const std::string_view id = bytes.substr(0, idSizeOf(major));
    return !id.empty() && id.front() >= 'A' && id.front() <= 'Z' && isValidId(id.data(), id.size());
}

// A whole frame header at the start of bytes, its frame within them.
bool isWholeFrameHeader(std::string_view bytes, std::uint8_t major)
{
    const std::size_t headerSize = frameHeaderSizeOf(major);
    return bytes.size() >= headerSize && startsLikeId(bytes, major) &&
           frameSizeOf(bytes.data(), major) <= bytes.size() - headerSize;
}

// Whether every byte from pos to the end is 0x00, read a chunk at a time.
bool isZeroFrom(TagBytes& bytes, std::uint64_t pos)
{
    while (pos < bytes.end()) {
        const auto n =
            static_cast<std::size_t>(std::min<std::uint64_t>(ReadChunk, bytes.end() - pos));
        const char* p = bytes.view(pos, n);
        if (!p || !std::all_of(p, p + n, [](char c) { return c == '\0'; }))
            return false;
        pos += n;
    }
    return true;
}

// An extended header's size as it declares it, when that is one at all.
std::optional<std::uint64_t> extendedHeaderSize(TagBytes& bytes, const Header& header)
{
    const char* p = bytes.view(HeaderSize, 4);
    if (!p)
        return std::nullopt;
    // v2.3 counts the extended header without its size field, v2.4 with it.
    const std::uint64_t size =
        header.major == 3 ? std::uint64_t(bigEndian(p, 4)) + 4 : std::uint64_t(syncsafeValue(p));
    if (size < 6 || size > bytes.end() - HeaderSize)
        return std::nullopt;
    return size;
}

// Version 2.2 frames and their names in version 2.3, or 2.4 where only that
// has them (carried like the v2.4 frames of a v2.4 tag), with the same data
// (a picture's and a link's are converted). The second block are the frames
// iTunes writes: sort orders, compilation, podcast, grouping and movement.
constexpr std::pair<std::string_view, std::string_view> V22Ids[] = {
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"EQU", "EQUA"},
    {"ETC", "ETCO"}, {"GEO", "GEOB"}, {"IPL", "IPLS"}, {"LNK", "LINK"}, {"MCI", "MCDI"},
    {"MLL", "MLLT"}, {"PIC", "APIC"}, {"POP", "POPM"}, {"REV", "RVRB"}, {"RVA", "RVAD"},
    {"SLT", "SYLT"}, {"STC", "SYTC"}, {"TAL", "TALB"}, {"TBP", "TBPM"}, {"TCM", "TCOM"},
    {"TCO", "TCON"}, {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDY", "TDLY"}, {"TEN", "TENC"},
    {"TFT", "TFLT"}, {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"},
    {"TMT", "TMED"}, {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"},
    {"TOT", "TOAL"}, {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"},
    {"TPA", "TPOS"}, {"TPB", "TPUB"}, {"TRC", "TSRC"}, {"TRD", "TRDA"}, {"TRK", "TRCK"},
    {"TSI", "TSIZ"}, {"TSS", "TSSE"}, {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"},
    {"TXT", "TEXT"}, {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"}, {"ULT", "USLT"},
    {"WAF", "WOAF"}, {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"},
    {"WPB", "WPUB"}, {"WXX", "WXXX"},

    {"GP1", "GRP1"}, {"MVI", "MVIN"}, {"MVN", "MVNM"}, {"PCS", "PCST"}, {"TCP", "TCMP"},
    {"TCT", "TCAT"}, {"TDR", "TDRL"}, {"TDS", "TDES"}, {"TID", "TGID"}, {"TKW", "TKWD"},
    {"TS2", "TSO2"}, {"TSA", "TSOA"}, {"TSC", "TSOC"}, {"TSP", "TSOP"}, {"TST", "TSOT"},
    {"WFD", "WFED"},
};

// A v2.2 picture names its format in three letters where v2.3 has a MIME type.
std::optional<Frame> pictureFromV22(std::string_view data)
{
    if (data.size() < 5)
        return std::nullopt;
    std::string format(data.substr(1, 3));
    std::transform(format.begin(), format.end(), format.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    // "-->" marks a picture given by its URL, in both versions.
    const std::string mime = format == "jpg"   ? "image/jpeg"
                             : format == "-->" ? format
                                               : "image/" + format;
    Frame f{"APIC", 0, {}};
    f.data = std::string(data.substr(0, 1)) + mime + '\0' + std::string(data.substr(4));
    return f;
}

// A v2.2 link names the frame it stands for in three letters; v2.3 frame IDs
// have four. nullopt for a link to a frame no later version has.
std::optional<Frame> linkFromV22(std::string_view data)
{
    if (data.size() < 3)
        return std::nullopt;
    const std::string id = v23Id(data.substr(0, 3), 2);
    if (id.empty())
        return std::nullopt;
    return Frame{"LINK", 0, id + std::string(data.substr(3))};
}

// v2.4 frame flags and the bytes they add, in v2.3 form: status bits move one
// place up; the extra bytes come in v2.3's order (size, method, group).
std::optional<Frame> fromV24(const StoredFrame& stored, std::string_view data, const Header& header)
{
    const unsigned status = stored.flags >> 8;
    const unsigned format = stored.flags & 0xFF;
    const bool grouped = format & 0x40, compressed = format & 0x08, encrypted = format & 0x04;
    const bool hasLength = format & 0x01;
    const std::size_t extra = (grouped ? 1 : 0) + (encrypted ? 1 : 0) + (hasLength ? 4 : 0);
    if (data.size() < extra || (compressed && !hasLength))
        return std::nullopt;
    const std::string group(data.substr(0, grouped ? 1 : 0));
    const std::string method(data.substr(group.size(), encrypted ? 1 : 0));
    const std::uint32_t length = hasLength ? syncsafeValue(data.data() + extra - 4) : 0;
    std::string body(data.substr(extra));
    if ((format & 0x02) || header.unsynchronised())
        body = resynchronised(body);

    Frame f{stored.id, 0, {}};
    f.flags = static_cast<std::uint16_t>((((status << 1) & 0xE0) << 8) | (compressed ? 0x80 : 0) |
                                         (encrypted ? 0x40 : 0) | (grouped ? 0x20 : 0));
    if (compressed)
        f.data = bigEndianBytes(length);
    f.data += method + group + body;
    return f;
}

enum class Part { Raw1, Raw3, Latin1String, EncodedString, EncodedRest, RawRest };
using Layout = std::array<Part, 4>;

// Where the encoded texts of a frame are; nullopt for a layout we do not know.
std::optional<Layout> layoutOf(std::string_view id)
{
    using enum Part;
    if (id.front() == 'T')
        return Layout{EncodedRest, RawRest, RawRest, RawRest};
    if (id == "COMM" || id == "USLT" || id == "USER")
        return Layout{Raw3, EncodedRest, RawRest, RawRest};
    if (id == "WXXX")
        return Layout{EncodedString, RawRest, RawRest, RawRest};
    if (id == "APIC")
        return Layout{Latin1String, Raw1, EncodedString, RawRest};
    if (id == "GEOB")
        return Layout{Latin1String, EncodedString, EncodedString, RawRest};
    return std::nullopt;
}

// Re-encodes one part of a frame's data at pos; pos moves past it. False for
// UTF-8 that is not.
bool reencodePart(Part part, std::string_view in, std::size_t& pos, std::uint8_t encoding,
                  std::string& out)
{
    const std::string terminator(2, '\0');
    switch (part) {
    case Part::Raw1:
    case Part::Raw3: {
        const std::size_t n = std::min<std::size_t>(part == Part::Raw1 ? 1 : 3, in.size() - pos);
        out += in.substr(pos, n);
        pos += n;
        return true;
    }
    case Part::Latin1String: {
        const std::size_t end = std::min(in.find('\0', pos), in.size() - 1);
        out += in.substr(pos, end + 1 - pos);
        pos = end + 1;
        return true;
    }
    case Part::EncodedString: {
        const std::size_t end = findTerminator(in, pos, encoding);
        const auto text = toUtf16WithBom(in.substr(pos, end - pos), encoding);
        if (!text)
            return false;
        out += *text;
        if (end == std::string_view::npos) {
            pos = in.size();
            return true;
        }
        out += terminator;
        pos = end + terminatorSize(encoding);
        return true;
    }
    case Part::EncodedRest: {
        bool first = true;
        for (const std::string_view piece : splitStrings(in.substr(pos), encoding)) {
            if (!first)
                out += terminator;
            first = false;
            const auto text = toUtf16WithBom(piece, encoding);
            if (!text)
                return false;
            out += *text;
        }
        pos = in.size();
        return true;
    }
    case Part::RawRest:
        out += in.substr(pos);
        pos = in.size();
        return true;
    }
    return true;
}

} // namespace

std::optional<Header> parseHeader(std::string_view first)
{
    if (first.size() < HeaderSize || first.substr(0, 3) != "ID3")
        return std::nullopt;
    Header h;
    h.major = static_cast<std::uint8_t>(first[3]);
    h.flags = static_cast<std::uint8_t>(first[5]);
    h.declared = syncsafeValue(first.data() + 6);
    return h;
}

std::uint64_t tagSize(const Header& header, std::uint64_t fileSize)
{
    const bool footer = header.major == 4 && (header.flags & 0x10);
    const std::uint64_t size = header.declared + HeaderSize + (footer ? HeaderSize : 0);
    return size > fileSize ? 0 : size;
}

std::string resynchronised(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out += bytes[i];
        if (bytes[i] == '\xFF' && i + 1 < bytes.size() && bytes[i + 1] == '\0')
            ++i;
    }
    return out;
}

TagBytes::TagBytes(std::string whole) : buffer_(std::move(whole)), end_(buffer_.size()) {}

TagBytes::TagBytes(int fd, std::string first, std::uint64_t end)
    : fd_(fd), buffer_(std::move(first)), end_(end)
{
}

const char* TagBytes::view(std::uint64_t offset, std::size_t length)
{
    if (offset > end_ || length > end_ - offset)
        return nullptr;
    if (offset >= base_ && offset - base_ <= buffer_.size() &&
        length <= buffer_.size() - (offset - base_))
        return buffer_.data() + (offset - base_);
    if (fd_ < 0)
        return nullptr;
    const std::uint64_t want = std::min<std::uint64_t>(std::max(length, ReadChunk), end_ - offset);
    auto bytes = readAt(fd_, offset, static_cast<std::size_t>(want));
    if (!bytes || bytes->size() < length)
        return nullptr;
    buffer_ = std::move(*bytes);
    base_ = offset;
    return buffer_.data();
}

std::optional<TagBytes> openTag(int fd, std::string first, const Header& header)
{
    const std::uint64_t end = HeaderSize + header.declared;
    if (header.major == 4 || !header.unsynchronised())
        return TagBytes(fd, std::move(first), end);
    if (first.size() < end) {
        auto whole = readAt(fd, 0, static_cast<std::size_t>(end));
        if (!whole)
            return std::nullopt;
        first = std::move(*whole);
    }
    const std::string_view tag = std::string_view(first).substr(0, end);
    return TagBytes(std::string(tag.substr(0, HeaderSize)) +
                    resynchronised(tag.substr(HeaderSize)));
}

std::optional<std::uint64_t> framesBegin(TagBytes& bytes, const Header& header)
{
    if (!header.extended())
        return HeaderSize;
    // An extended header begins with size bytes no frame ID has, so a frame
    // at 10 means the flag is wrong; so does nothing but padding.
    StoredFrame first;
    if (FrameWalker(bytes, header.major, HeaderSize).next(first))
        return HeaderSize;
    if (const auto size = extendedHeaderSize(bytes, header))
        return HeaderSize + *size;
    if (isZeroFrom(bytes, HeaderSize))
        return HeaderSize;
    return std::nullopt;
}

FrameWalker::FrameWalker(TagBytes& bytes, std::uint8_t major, std::uint64_t begin)
    : bytes_(bytes), major_(major), pos_(begin)
{
}

bool FrameWalker::next(StoredFrame& frame)
{
    const std::size_t idSize = idSizeOf(major_);
    const std::size_t headerSize = frameHeaderSizeOf(major_);
    const char* h = bytes_.view(pos_, headerSize);
    if (!h || !isValidId(h, idSize))
        return false;
    const std::uint64_t size = frameSizeOf(h, major_);
    const std::uint64_t dataOffset = pos_ + headerSize;
    if (size > bytes_.end() - dataOffset)
        return false;
    frame.id.assign(h, idSize);
    frame.flags = major_ == 2 ? 0 : static_cast<std::uint16_t>(bigEndian(h + 8, 2));
    frame.offset = dataOffset;
    frame.size = static_cast<std::uint32_t>(size);
    pos_ = dataOffset + size;
    return true;
}

bool holdsNoFrame(TagBytes& bytes, std::uint8_t major, std::uint64_t pos)
{
    if (pos >= bytes.end())
        return true;
    const auto length = static_cast<std::size_t>(bytes.end() - pos);
    const char* p = bytes.view(pos, length);
    if (!p)
        return false;
    const std::string_view rest(p, length);
    if (rest.find_first_not_of('\0') == std::string_view::npos)
        return true;
    // Where the next frame was due, an ID is a frame the walk could not
    // follow, whatever its size says. Further on, stray bytes in the padding
    // (a tagger's signature, the end of an old text, 0xFF or spaces) are told
    // from a frame by its whole header: an ID and a size that fits in the
    // tag, which text hardly ever gives, its size bytes being far too large.
    if (startsLikeId(rest, major))
        return false;
    for (std::size_t i = 1; i < rest.size(); ++i) {
        if (isWholeFrameHeader(rest.substr(i), major))
            return false;
    }
    return true;
}

std::string v23Id(std::string_view storedId, std::uint8_t major)
{
    if (major != 2)
        return std::string(storedId);
    for (const auto& [from, to] : V22Ids) {
        if (from == storedId)
            return std::string(to);
    }
    return {};
}

std::optional<Frame> toV23Form(const StoredFrame& stored, std::string_view data,
                               const Header& header)
{
    switch (header.major) {
    case 2: {
        const std::string id = v23Id(stored.id, 2);
        if (id.empty())
            return std::nullopt;
        if (id == "APIC")
            return pictureFromV22(data);
        if (id == "LINK")
            return linkFromV22(data);
        return Frame{id, 0, std::string(data)};
    }
    case 4:
        return fromV24(stored, data, header);
    default:
        return Frame{stored.id, stored.flags, std::string(data)};
    }
}

Frame reencodedForV23(Frame frame)
{
    if (frame.compressed() || frame.encrypted())
        return frame;
    const std::size_t start = frame.grouped() ? 1 : 0;
    const auto layout = layoutOf(frame.id);
    if (frame.data.size() <= start || !layout)
        return frame;
    const auto encoding = static_cast<std::uint8_t>(frame.data[start]);
    if (encoding != Utf8 && encoding != Utf16BE)
        return frame;
    const std::string_view in(frame.data);
    std::string out(in.substr(0, start));
    out += static_cast<char>(Utf16);
    std::size_t pos = start + 1;
    for (const Part part : *layout) {
        if (pos < in.size() && !reencodePart(part, in, pos, encoding, out)) {
            // Bytes that are no UTF-8 are read as legacy bytes; they stay so.
            frame.data[start] = static_cast<char>(Latin1);
            return frame;
        }
    }
    frame.data = std::move(out);
    return frame;
}

Frame textFrame(std::string_view id, std::string_view text)
{
    return Frame{std::string(id), 0, '\0' + std::string(text)};
}

namespace {

// A text of several strings holds them separated by 0x00 (tags/TextCodec.h);
// each is a string of its own in the frame, so that each gets its mark.
std::vector<std::string> stringsOf(const std::string& text)
{
    std::vector<std::string> strings;
    for (const std::string_view piece : splitStrings(text, Latin1))
        strings.emplace_back(piece);
    return strings;
}

} // namespace

std::optional<Frame> fieldFrame(std::string_view id, const Text& text)
{
    const auto encoded = encodedStrings(stringsOf(text.bytes), text.unicode);
    if (!encoded)
        return std::nullopt;
    return Frame{std::string(id), 0, static_cast<char>(encoded->encoding) + encoded->bytes};
}

std::optional<Frame> commentFrame(const Text& text)
{
    return describedFrame("COMM", "eng", Text(), text);
}

std::optional<Frame> describedFrame(std::string_view id, std::string_view language,
                                    const Text& description, const Text& text)
{
    // Both strings share one encoding: legacy bytes cannot become UTF-16 here.
    if ((description.unicode != text.unicode && !isAscii(description.bytes)) ||
        description.bytes.find('\0') != std::string::npos)
        return std::nullopt;
    // The description is a string of the text's encoding, an empty one too:
    // in UTF-16 a byte-order mark and the terminator, as other taggers write it.
    std::vector<std::string> strings = stringsOf(text.bytes);
    strings.insert(strings.begin(), description.bytes);
    const auto encoded = encodedStrings(strings, text.unicode);
    if (!encoded)
        return std::nullopt;
    const std::string_view lang = language.size() == 3 ? language : "XXX";
    return Frame{std::string(id), 0,
                 static_cast<char>(encoded->encoding) + std::string(lang) + encoded->bytes};
}

std::string serialized(const Frame& frame)
{
    std::string out = frame.id.substr(0, 4);
    out += bigEndianBytes(static_cast<std::uint32_t>(frame.data.size()));
    out += static_cast<char>(frame.flags >> 8);
    out += static_cast<char>(frame.flags & 0xFF);
    out += frame.data;
    return out;
}

std::string syncsafe(std::uint32_t value)
{
    return {static_cast<char>((value >> 21) & 0x7F), static_cast<char>((value >> 14) & 0x7F),
            static_cast<char>((value >> 7) & 0x7F), static_cast<char>(value & 0x7F)};
}

} // namespace tags::id3v2
