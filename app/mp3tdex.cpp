// Mp3Tagloom: the program entry.

#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/Forms.h"
#include "platform/MprisBridge.h"
#include "platform/WindowMessages.h"

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

int answer(const TCommandLine& line)
{
    std::fputs(line.output.toLocal8Bit().constData(), line.status == 0 ? stdout : stderr);
    return line.status;
}

} // namespace

int main(int argc, char** argv)
{
    // --help and --version answer without a display.
    if (const TCommandLine asked = ParseCommandLine(argc, argv); asked.exit && asked.status == 0)
        return answer(asked);
    TApplication app(argc, argv);
    app.setTitle(u"Mp3Tagweave v2.1"_s);
    // Qt took its own options (-platform, ...) out of argv.
    const TCommandLine line = ParseCommandLine(argc, argv);
    if (line.exit)
        return answer(line);
    // The media player is whichever player offers MPRIS on the session bus.
    platform::MprisBridge playerBridge;
    platform::WindowBackendScope playerWindows(playerBridge);
    TProgramForms forms(line.path);
    forms.showMain();
    return app.exec();
}
