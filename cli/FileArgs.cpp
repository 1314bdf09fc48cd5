#include "cli/FileArgs.h"

#include "cli/Commands.h"
#include "cli/Context.h"

#include "platform/FileNameCodec.h"
#include "platform/FolderNames.h"
#include "platform/NativePath.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace cli {

QString systemError()
{
    return platform::SystemErrorText(errno);
}

std::optional<QString> notAFile(const QString& path)
{
    const std::string native = platform::NativePath(path);
    struct ::stat st {};
    if (::stat(native.c_str(), &st) != 0)
        return errno == ENOENT ? u"文件不存在"_s : systemError();
    if (S_ISDIR(st.st_mode))
        return u"是文件夹"_s;
    if (!S_ISREG(st.st_mode))
        return u"不是文件"_s;
    if (::access(native.c_str(), R_OK) != 0)
        return systemError();
    return std::nullopt;
}

bool isFolder(const QString& path, bool followLinks)
{
    const std::string native = platform::NativePath(path);
    struct ::stat st {};
    const int got = followLinks ? ::stat(native.c_str(), &st) : ::lstat(native.c_str(), &st);
    return got == 0 && S_ISDIR(st.st_mode);
}

namespace {

void listFolder(const QString& prefix, bool recursive, std::vector<Entry>& entries)
{
    const QString folder = prefix.isEmpty() ? u"."_s : prefix;
    auto names = platform::FolderEntries(folder);
    if (!names) {
        entries.push_back({folder, u"无法读取文件夹: "_s + systemError()});
        return;
    }
    std::sort(names->begin(), names->end(), [](const QString& a, const QString& b) {
        return platform::encodeFileName(a) < platform::encodeFileName(b);
    });
    std::vector<QString> subfolders;
    for (const QString& name : *names) {
        const QString path = prefix + name;
        if (isFolder(path, false)) {
            if (recursive)
                subfolders.push_back(path + u'/');
        } else if (name.endsWith(u".mp3"_s, Qt::CaseInsensitive) && !notAFile(path)) {
            entries.push_back({path, std::nullopt});
        }
    }
    for (const QString& subfolder : subfolders)
        listFolder(subfolder, recursive, entries);
}

} // namespace

std::vector<Entry> listPaths(const std::vector<QString>& operands, bool recursive)
{
    std::vector<Entry> entries;
    if (operands.empty())
        listFolder({}, recursive, entries);
    for (const QString& operand : operands) {
        if (isFolder(operand, true))
            listFolder(operand.endsWith(u'/') ? operand : operand + u'/', recursive, entries);
        else
            entries.push_back({operand, notAFile(operand)});
    }
    return entries;
}

std::vector<Entry> distinctFiles(const std::vector<QString>& operands, std::size_t first)
{
    std::vector<Entry> files;
    std::set<QString> seen;
    for (std::size_t i = first; i < operands.size(); ++i) {
        const QString& path = operands[i];
        const QString canonical = platform::CanonicalPath(path);
        if (canonical.isEmpty() || seen.insert(canonical).second)
            files.push_back({path, notAFile(path)});
    }
    return files;
}

OptionDef priorityOption()
{
    return {u"priority"_s,
            {},
            true,
            u"v1|v2|prefer-v2"_s,
            u"标签版本的优先级; 默认为设置中的 (default: the settings')"_s};
}

std::optional<operations::Priority> runPriority(const ParsedArgs& args, Context& context,
                                                Result& result)
{
    if (args.has(u"priority"_s)) {
        const QString name = args.value(u"priority"_s);
        if (name == u"v1"_s)
            return operations::Priority::V1Only;
        if (name == u"v2"_s)
            return operations::Priority::V2Only;
        if (name == u"prefer-v2"_s)
            return operations::Priority::PreferV2;
        result = badUsage(u"未知的优先级 "_s + name + u" (v1, v2, prefer-v2)"_s);
        return std::nullopt;
    }
    if (const auto priority = context.settingsPriority())
        return priority;
    result.status = SomeFailed;
    result.warn(u"设置中的 SysInfo/ShowId="_s + QString::number(context.showId()) +
                u" 不是有效的优先级; 请用 --priority 指定"_s);
    return std::nullopt;
}

} // namespace cli
