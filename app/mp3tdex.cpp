// Mp3Tagloom: the program entry.

#include "app/Application.h"
#include "app/Forms.h"
#include "platform/MprisBridge.h"
#include "platform/WindowMessages.h"

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    app.setTitle(u"Mp3Tagweave v2.1"_s);
    // The media player is whichever player offers MPRIS on the session bus.
    platform::MprisBridge playerBridge;
    platform::WindowBackendScope playerWindows(playerBridge);
    TProgramForms forms;
    forms.showMain();
    return app.exec();
}
