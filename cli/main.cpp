// mp3tagloom-cli: the window's commands for scripts and terminals, without a
// display.

#include "cli/Dispatcher.h"
#include "platform/FileNameCodec.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    // The arguments' bytes, before anything reads them in a locale: a GBK
    // file name reaches the file it names.
    std::vector<QString> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(platform::decodeFileName(QByteArray(argv[i])));
    QCoreApplication app(argc, argv);
    const cli::Answer answer = cli::runCommandLine(args);
    std::fwrite(answer.out.constData(), 1, std::size_t(answer.out.size()), stdout);
    std::fwrite(answer.err.constData(), 1, std::size_t(answer.err.size()), stderr);
    return std::fflush(stdout) == 0 ? answer.status : 1;
}
