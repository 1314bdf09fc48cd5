// An input plug-in for the tests. Its extension list comes from the
// environment so that one library serves every case: MP3T_TEST_EXTENSIONS
// with "|" for each zero character, "none" for no description at all,
// "throw" for a plug-in that fails while it is asked.
#include "player/InModule.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {
char extensions[4096];
In_ModuleHead module{1, "Test input plug-in", 0, 0, extensions};
} // namespace

extern "C" __attribute__((visibility("default"))) In_ModuleHead* winampGetInModule2()
{
    const char* list = std::getenv("MP3T_TEST_EXTENSIONS");
    if (!list)
        list = "MP3;MP2;MP1|MPEG audio|";
    if (std::strcmp(list, "none") == 0)
        return nullptr;
    if (std::strcmp(list, "throw") == 0)
        throw std::runtime_error("broken plug-in");
    std::memset(extensions, 0, sizeof extensions);
    for (std::size_t i = 0; list[i] != '\0' && i + 2 < sizeof extensions; ++i)
        extensions[i] = list[i] == '|' ? '\0' : list[i];
    return &module;
}
