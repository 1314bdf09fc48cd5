#include "operations/FrameStore.h"

#include "operations/JournalSql.h"
#include "tags/ID3v2Frame.h"

#include <QCryptographicHash>

#include <algorithm>
#include <cstring>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

using sql::Statement;

// A frame is found by the first 8 bytes of its hash (a small index, so that
// storing a new frame changes few pages), then told by the whole hash.
constexpr const char* Tables = R"(
CREATE TABLE IF NOT EXISTS frames(
    id INTEGER PRIMARY KEY,
    key INTEGER NOT NULL,
    size INTEGER NOT NULL,
    hash BLOB NOT NULL,
    bytes BLOB NOT NULL);
CREATE INDEX IF NOT EXISTS frames_key ON frames(key);
CREATE TABLE IF NOT EXISTS uses(
    step INTEGER NOT NULL,
    frame INTEGER NOT NULL,
    PRIMARY KEY(step, frame)) WITHOUT ROWID;
)";

// The entries of a layout, each a tag byte and a number.
constexpr char Literal = 'L'; // the number of bytes that follow, as they are
constexpr char Stored = 'F';  // a frame's id
constexpr char Zeros = 'Z';   // the number of zero bytes
// Only first in the layout of a file's end: the id of the APEv2 tag in front
// of the trailer. A journal of before it has none, and loads as it did.
constexpr char Ape = 'A';

// Pieces at least this large are compared with those met before hashing.
constexpr std::size_t LargePiece = 4096;

void putNumber(std::string& out, std::uint64_t n)
{
    while (n >= 0x80) {
        out += char(0x80 | (n & 0x7F));
        n >>= 7;
    }
    out += char(n);
}

bool takeNumber(std::string_view& in, std::uint64_t& n)
{
    n = 0;
    for (int shift = 0; !in.empty() && shift < 64; shift += 7) {
        const auto byte = std::uint8_t(in.front());
        in.remove_prefix(1);
        n |= std::uint64_t(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0)
            return true;
    }
    return false;
}

std::string hashOf(std::string_view bytes)
{
    const QByteArray hash = QCryptographicHash::hash(
        QByteArrayView(bytes.data(), qsizetype(bytes.size())), QCryptographicHash::Blake2b_256);
    return hash.toStdString();
}

std::int64_t keyOf(const std::string& hash)
{
    std::int64_t key = 0;
    std::memcpy(&key, hash.data(), sizeof key);
    return key;
}

struct Piece {
    char kind;
    std::size_t offset;
    std::size_t length;
};

// The end of `region` past its last byte that is not zero.
std::size_t endOfContent(std::string_view region, std::size_t from)
{
    const auto last = region.find_last_not_of('\0');
    return last == std::string_view::npos || last < from ? from : last + 1;
}

// Where the ID3v2 tag's frames lie: the header (and an extended header) as
// it is, then each frame its own piece. Where no frame could be read, the
// offset the walk stopped at; 0 without a tag.
std::size_t framePieces(std::string_view head, std::vector<Piece>& pieces)
{
    using namespace tags::id3v2;
    if (head.size() < HeaderSize)
        return 0;
    const auto header = parseHeader(head);
    if (!header || !header->readable())
        return 0;
    TagBytes bytes{std::string(head)};
    const std::uint64_t begin = framesBegin(bytes, *header).value_or(HeaderSize);
    if (begin > head.size())
        return 0;
    pieces.push_back({Literal, 0, std::size_t(begin)});
    const std::uint64_t frameHeader = header->major == 2 ? 6 : 10;
    FrameWalker walker(bytes, header->major, begin);
    std::uint64_t at = begin;
    StoredFrame frame;
    while (walker.next(frame)) {
        const std::uint64_t start = frame.offset - frameHeader;
        const std::uint64_t end = frame.offset + frame.size;
        // The walk is trusted for where frames begin and end, never for
        // what lies between them: anything it passed over is kept too.
        if (start < at || end > head.size())
            break;
        if (start > at)
            pieces.push_back({Stored, std::size_t(at), std::size_t(start - at)});
        pieces.push_back({Stored, std::size_t(start), std::size_t(end - start)});
        at = end;
    }
    return std::size_t(at);
}

std::vector<Piece> piecesOf(std::string_view region, bool frames)
{
    std::vector<Piece> pieces;
    if (!frames) {
        if (!region.empty())
            pieces.push_back({Stored, 0, region.size()});
        return pieces;
    }
    const std::size_t rest = framePieces(region, pieces);
    // Padding is counted; bytes before it that no frame holds are stored
    // whole, as one piece.
    const std::size_t content = endOfContent(region, rest);
    if (content > rest)
        pieces.push_back({Stored, rest, content - rest});
    if (region.size() > content)
        pieces.push_back({Zeros, content, region.size() - content});
    return pieces;
}

} // namespace

void FrameStore::createTables(sqlite3* db)
{
    sql::exec(db, Tables);
}

std::string FrameStore::store(std::int64_t step, std::string_view region, bool frames)
{
    std::string layout;
    for (const Piece& piece : piecesOf(region, frames)) {
        layout += piece.kind;
        if (piece.kind == Stored) {
            putNumber(layout, std::uint64_t(idOf(step, region.substr(piece.offset, piece.length))));
            continue;
        }
        putNumber(layout, piece.length);
        if (piece.kind == Literal)
            layout.append(region.substr(piece.offset, piece.length));
    }
    return layout;
}

std::string FrameStore::storeEnd(std::int64_t step, std::string_view ape, std::string_view trailer)
{
    std::string layout;
    if (!ape.empty()) {
        layout += Ape;
        putNumber(layout, std::uint64_t(idOf(step, ape)));
    }
    return layout + store(step, trailer, false);
}

std::int64_t FrameStore::idOf(std::int64_t step, std::string_view piece)
{
    std::int64_t id = 0;
    if (piece.size() >= LargePiece) {
        for (const auto& [bytes, known] : large_[piece.size()]) {
            if (bytes == piece)
                id = known;
        }
    }
    if (id == 0) {
        const std::string hash = hashOf(piece);
        const auto known = ids_.find(hash);
        id = known != ids_.end() ? known->second : lookUp(hash, piece);
        ids_.emplace(hash, id);
        if (piece.size() >= LargePiece)
            large_[piece.size()].emplace_back(piece, id);
    }
    use(step, id);
    return id;
}

// The stored frame of that hash, stored now when there is none.
std::int64_t FrameStore::lookUp(const std::string& hash, std::string_view piece)
{
    if (!find_)
        find_.emplace(db_, "SELECT id, hash FROM frames WHERE key = ?1");
    find_->bind(1, keyOf(hash));
    std::int64_t found = 0;
    while (found == 0 && find_->next()) {
        if (find_->blob(1) == hash)
            found = find_->integer(0);
    }
    find_->reset();
    if (found != 0)
        return found;
    if (!insert_)
        insert_.emplace(db_, "INSERT INTO frames(key, size, hash, bytes) VALUES(?1, ?2, ?3, ?4)");
    insert_->bind(1, keyOf(hash)).bind(2, std::int64_t(piece.size()));
    insert_->bindBlob(3, hash).bindBlob(4, piece).run();
    added_ += std::int64_t(piece.size());
    return sqlite3_last_insert_rowid(db_);
}

void FrameStore::use(std::int64_t step, std::int64_t id)
{
    if (step != usedStep_) {
        used_.clear();
        usedStep_ = step;
    }
    if (!used_.insert(id).second)
        return;
    if (!use_)
        use_.emplace(db_, "INSERT OR IGNORE INTO uses(step, frame) VALUES(?1, ?2)");
    use_->bind(1, step).bind(2, id).run();
}

std::string FrameStore::load(std::string_view layout)
{
    std::string region;
    while (!layout.empty()) {
        const char kind = layout.front();
        layout.remove_prefix(1);
        std::uint64_t n = 0;
        if (!takeNumber(layout, n) || (kind == Literal && n > layout.size()) ||
            (kind != Literal && kind != Stored && kind != Zeros))
            throw sql::errorOf(sqlite3_db_filename(db_, "main"), u"文件已损坏 (标签布局)"_s);
        if (kind == Literal) {
            region.append(layout.substr(0, std::size_t(n)));
            layout.remove_prefix(std::size_t(n));
        } else if (kind == Zeros) {
            region.append(std::size_t(n), '\0');
        } else {
            region += piece(std::int64_t(n));
        }
    }
    return region;
}

FrameStore::End FrameStore::loadEnd(std::string_view layout)
{
    End end;
    if (!layout.empty() && layout.front() == Ape) {
        layout.remove_prefix(1);
        std::uint64_t n = 0;
        if (!takeNumber(layout, n))
            throw sql::errorOf(sqlite3_db_filename(db_, "main"), u"文件已损坏 (标签布局)"_s);
        end.ape = piece(std::int64_t(n));
    }
    end.trailer = load(layout);
    return end;
}

const std::string& FrameStore::piece(std::int64_t id)
{
    auto known = loaded_.find(id);
    if (known != loaded_.end())
        return known->second;
    if (!load_)
        load_.emplace(db_, "SELECT bytes FROM frames WHERE id = ?1");
    load_->bind(1, id);
    const bool found = load_->next();
    std::string bytes = found ? load_->blob(0) : std::string();
    load_->reset();
    if (!found)
        throw sql::errorOf(sqlite3_db_filename(db_, "main"), u"文件已损坏 (缺少标签帧)"_s);
    return loaded_.emplace(id, std::move(bytes)).first->second;
}

std::vector<std::int64_t> FrameStore::release(sqlite3* db, std::int64_t step)
{
    std::vector<std::int64_t> frames =
        sql::integers(db, "SELECT frame FROM uses WHERE step = ?1", step);
    Statement forget(db, "DELETE FROM uses WHERE step = ?1");
    forget.bind(1, step).run();
    return frames;
}

// One pass over the uses, however many candidates: an index of the uses by
// frame would cost every step pages all over it.
std::int64_t FrameStore::sweep(sqlite3* db, const std::vector<std::int64_t>& candidates)
{
    if (candidates.empty())
        return 0;
    std::unordered_set<std::int64_t> used;
    {
        Statement query(db, "SELECT frame FROM uses");
        while (query.next())
            used.insert(query.integer(0));
    }
    std::int64_t freed = 0;
    Statement size(db, "SELECT size FROM frames WHERE id = ?1");
    Statement remove(db, "DELETE FROM frames WHERE id = ?1");
    std::unordered_set<std::int64_t> gone;
    for (const std::int64_t id : candidates) {
        if (used.count(id) != 0 || !gone.insert(id).second)
            continue;
        size.bind(1, id);
        if (size.next())
            freed += size.integer(0);
        size.reset();
        remove.bind(1, id).run();
    }
    return freed;
}

std::int64_t FrameStore::storedBytes(sqlite3* db)
{
    return sql::single(db, "SELECT total(size) FROM frames");
}

} // namespace operations
