#include "cli/Context.h"

#include "cli/Output.h"
#include "platform/FileNameCodec.h"
#include "settings/IniFile.h"

using namespace Qt::StringLiterals;

namespace cli {

Context::Context()
{
    const TIniFile ini;
    core_.setSettings({settings::readShowId(ini),
                       settings::readTextEncoding(ini) == settings::TextEncoding::Gbk,
                       settings::readLegacyCodePage(ini)});
}

QJsonObject Context::fileObject(const QString& path)
{
    return cli::fileObject(path, core_.detector(), core_.codePage());
}

QString Context::shownName(const QString& path)
{
    return core_.shownName(path.mid(path.lastIndexOf(u'/') + 1));
}

operations::Journal* Context::journal(Result& result)
{
    if (core_.journalTried())
        return core_.journal();
    const operations::Core::Opening opening = core_.openJournal();
    for (const QString& notice : opening.notices)
        result.warn(notice);
    for (const std::string& path : opening.recovered)
        result.errors.push_back(QByteArray::fromStdString(path) + ": 恢复了中断的写入");
    for (const std::string& path : opening.leftAlone)
        result.errors.push_back(QByteArray::fromStdString(path) + ": 已被其他程序修改, 未恢复");
    if (!opening.failure.isEmpty())
        result.warn(opening.failure);
    return core_.journal();
}

void Context::recordMoves(operations::StepKind kind, const std::vector<operations::StepFile>& files,
                          Result& result)
{
    if (files.empty())
        return;
    journal(result);
    if (const QString problem = core_.record(kind, files); !problem.isEmpty())
        result.warn(problem);
}

void Context::flushJournal(Result& result)
{
    if (const QString problem = core_.flush(); !problem.isEmpty())
        result.warn(problem);
}

} // namespace cli
