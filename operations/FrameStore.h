#pragma once

#include "operations/JournalSql.h"

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// The tag images of the journal's steps, each distinct frame stored once.
// A region of a file (its ID3v2 head, its ID3v1 trailer) is kept as a
// layout: the tag header as it is, references to stored frames, and a count
// of padding bytes. A frame is addressed by a hash of its bytes, so that a
// cover met again, in another file or another step, costs a reference.
// Bytes that do not parse as frames are stored whole, as one piece: the
// layout gives back the region byte for byte, whatever it holds.
namespace operations {

class FrameStore {
public:
    explicit FrameStore(sqlite3* db) : db_(db) {}
    sqlite3* database() const { return db_; }

    // The tables, in a database that has none yet.
    static void createTables(sqlite3* db);

    // The layout of `region`; `frames`: split into the ID3v2 tag's pieces
    // (a head), or kept as one piece (a trailer). The pieces not stored yet
    // are stored, and every piece is recorded as used by `step`. The bytes
    // given stay valid while this object is used: equal large pieces are
    // found by comparing them, not hashing them again.
    std::string store(std::int64_t step, std::string_view region, bool frames);
    // The layout of a file's end: the APEv2 tag an image holds (none when
    // empty) and the trailer, each as one piece, stored as `store` does.
    std::string storeEnd(std::int64_t step, std::string_view ape, std::string_view trailer);
    // The bytes this object stored anew.
    std::int64_t added() const { return added_; }

    // The region a layout stands for. JournalError when a piece is missing.
    std::string load(std::string_view layout);
    // The end a layout of storeEnd stands for; a layout of a trailer alone
    // (`store`) gives no APEv2 tag. JournalError as for load.
    struct End {
        std::string ape, trailer;
    };
    End loadEnd(std::string_view layout);

    // The frames `step` used, its uses forgotten.
    static std::vector<std::int64_t> release(sqlite3* db, std::int64_t step);
    // Deletes the frames among `candidates` that no step uses any more; the
    // bytes freed.
    static std::int64_t sweep(sqlite3* db, const std::vector<std::int64_t>& candidates);
    // The bytes of every frame stored.
    static std::int64_t storedBytes(sqlite3* db);

private:
    std::int64_t idOf(std::int64_t step, std::string_view piece);
    std::int64_t lookUp(const std::string& hash, std::string_view piece);
    void use(std::int64_t step, std::int64_t id);
    const std::string& piece(std::int64_t id);

    sqlite3* db_;
    std::int64_t added_ = 0;
    std::unordered_map<std::string, std::int64_t> ids_; // by hash
    // Large pieces met, by size: compared before they are hashed.
    std::map<std::size_t, std::vector<std::pair<std::string_view, std::int64_t>>> large_;
    std::unordered_set<std::int64_t> used_; // by the step being stored
    std::int64_t usedStep_ = 0;
    std::unordered_map<std::int64_t, std::string> loaded_;
    // Prepared once per object: a step looks up thousands of pieces.
    std::optional<sql::Statement> find_, insert_, use_, load_;
};

} // namespace operations
