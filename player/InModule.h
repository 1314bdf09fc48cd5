#pragma once

#include <cstdint>

// The head of the module description that an input plug-in returns from its
// export "winampGetInModule2" (a C function without arguments). Only the
// fifth field is read: the list of file extensions.
//
// Layout on our platform: the description's first fields are each as wide as
// a pointer, so the fifth field sits at offset 4 * sizeof(void*) (32 bytes on
// 64-bit Linux). Fields after it are the plug-in's business.
//
// The extension list is a run of zero-terminated texts ending in an empty
// one: pairs of an extension list ("MP3;MP2;MP1", no points) and its
// description ("MPEG audio").
struct In_ModuleHead {
    std::intptr_t version;
    const char* description;
    std::uintptr_t hMainWindow;
    std::uintptr_t hDllInstance;
    const char* FileExtensions;
};

using WinampGetInModule2 = In_ModuleHead* (*)();

inline constexpr const char* kInModuleExport = "winampGetInModule2";
