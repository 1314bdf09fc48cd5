#pragma once

#include "operations/Journal.h"

#include <QString>

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The journal's way with SQLite: statements that throw JournalError, with
// the user's words for what went wrong.
namespace operations::sql {

// A path as the user reads it (a legacy name decoded).
QString shown(std::string_view path);
JournalError errorOf(std::string_view file, const QString& what);
// SQLite says "disk I/O error" for most writes the disk had no room for.
bool isDiskFull(sqlite3* db);
[[noreturn]] void failSql(sqlite3* db);
void exec(sqlite3* db, const char* sql);

class Statement {
public:
    Statement(sqlite3* db, const char* sql) : db_(db)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK)
            failSql(db);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int at, std::int64_t value)
    {
        check(sqlite3_bind_int64(stmt_, at, value));
        return *this;
    }
    // Never NULL: an empty blob is bound as one.
    Statement& bindBlob(int at, std::string_view bytes)
    {
        check(sqlite3_bind_blob64(stmt_, at, bytes.empty() ? "" : bytes.data(), bytes.size(),
                                  SQLITE_STATIC));
        return *this;
    }
    // True while there is a row to read.
    bool next()
    {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            failSql(db_);
        return false;
    }
    void run()
    {
        while (next()) {
        }
        reset();
    }
    // Ready to run again, whatever rows were left unread.
    void reset() { sqlite3_reset(stmt_); }
    std::int64_t integer(int column) const { return sqlite3_column_int64(stmt_, column); }
    std::string blob(int column) const
    {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
        return bytes ? std::string(bytes, std::size_t(sqlite3_column_bytes(stmt_, column)))
                     : std::string();
    }
    std::string text(int column) const
    {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return text ? std::string(text) : std::string();
    }

private:
    void check(int rc) const
    {
        if (rc != SQLITE_OK)
            failSql(db_);
    }
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// The first column of the first row; 0 when there is none.
std::int64_t single(sqlite3* db, const char* sql);
// The first column of every row, ?1 bound to `parameter`.
std::vector<std::int64_t> integers(sqlite3* db, const char* sql, std::int64_t parameter);

// A write transaction; rolled back unless committed. A durable one is on
// disk when commit returns; the others may be lost by a crash of the system
// but never torn (WAL keeps the database whole either way).
class Transaction {
public:
    Transaction(sqlite3* db, bool durable) : db_(db)
    {
        exec(db, durable ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=NORMAL");
        exec(db, "BEGIN IMMEDIATE");
    }
    ~Transaction()
    {
        if (!committed_)
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit()
    {
        exec(db_, "COMMIT");
        committed_ = true;
    }

private:
    sqlite3* db_;
    bool committed_ = false;
};

} // namespace operations::sql
