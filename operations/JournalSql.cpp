#include "operations/JournalSql.h"

#include "platform/FileNameCodec.h"
#include "platform/LegacyText.h"
#include "tags/FileIo.h"

using namespace Qt::StringLiterals;

namespace operations::sql {

QString shown(std::string_view path)
{
    platform::LegacyDetector detector;
    return platform::shownFileName(QByteArray(path.data(), qsizetype(path.size())), detector);
}

JournalError errorOf(std::string_view file, const QString& what)
{
    return JournalError((u"修改日志 "_s + shown(file) + u": "_s + what).toStdString());
}

bool isDiskFull(sqlite3* db)
{
    return sqlite3_errcode(db) == SQLITE_FULL || tags::isOutOfRoom(sqlite3_system_errno(db));
}

[[noreturn]] void failSql(sqlite3* db)
{
    const char* file = sqlite3_db_filename(db, "main");
    throw errorOf(file ? file : "",
                  isDiskFull(db) ? u"磁盘已满"_s : QString::fromUtf8(sqlite3_errmsg(db)));
}

void exec(sqlite3* db, const char* sql)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        failSql(db);
}

std::int64_t single(sqlite3* db, const char* sql)
{
    Statement query(db, sql);
    return query.next() ? query.integer(0) : 0;
}

std::vector<std::int64_t> integers(sqlite3* db, const char* sql, std::int64_t parameter)
{
    Statement query(db, sql);
    query.bind(1, parameter);
    std::vector<std::int64_t> values;
    while (query.next())
        values.push_back(query.integer(0));
    return values;
}

} // namespace operations::sql
