#include "app/CommandLine.h"

#include "platform/FileNameCodec.h"

#include <cstring>

using namespace Qt::StringLiterals;

namespace {

QString usage()
{
    return u"用法: mp3tagloom [文件夹或MP3文件]\n"
           u"打开文件夹(或MP3文件所在的文件夹并选中该文件),不给出时打开上次的文件夹.\n"
           u"Usage: mp3tagloom [FOLDER-OR-MP3-FILE]\n"_s;
}

TCommandLine fail(const QString& why)
{
    return {{}, true, 2, u"mp3tagloom: "_s + why + u'\n' + usage()};
}

} // namespace

TCommandLine ParseCommandLine(int argc, const char* const* argv)
{
    TCommandLine line;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (options && std::strcmp(arg, "--") == 0) {
            options = false;
            continue;
        }
        if (options && (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0))
            return {{}, true, 0, usage()};
        if (options && std::strcmp(arg, "--version") == 0)
            return {{}, true, 0, u"mp3tagloom 1.0\n"_s};
        if (options && arg[0] == '-' && arg[1] != '\0')
            return fail(u"未知的选项 "_s + QString::fromLocal8Bit(arg));
        if (!line.path.isEmpty())
            return fail(u"只能给出一个文件夹或文件"_s);
        // The bytes as the kernel has them: a GBK name opens like any other.
        line.path = platform::decodeFileName(QByteArray(arg));
        if (line.path.isEmpty())
            return fail(u"路径为空"_s);
    }
    return line;
}
