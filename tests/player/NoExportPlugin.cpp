// A shared library in the plug-in folder that is no input plug-in: it lacks
// the export the player asks for.
extern "C" __attribute__((visibility("default"))) int winampGetOutModule()
{
    return 0;
}
