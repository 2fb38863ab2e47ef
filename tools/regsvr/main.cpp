// skyvane-regsvr: registers an in-process COM server in the device, or
// removes its registration, by calling the library's own DllRegisterServer or
// DllUnregisterServer, as the platform's regsvr tool does.
//
//   skyvane-regsvr [-u] LIBRARY
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/base/win_types.h"

int main(int argc, char** argv) {
    bool unregister = false;
    const char* library = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-u") == 0) unregister = true;
        else if (!library) library = argv[i];
        else library = nullptr, i = argc;
    }
    if (!library) {
        std::fputs("usage: skyvane-regsvr [-u] LIBRARY\n", stderr);
        return 2;
    }
    // The registration writes the full path; a relative one would not load
    // from another folder.
    std::error_code ec;
    std::string path = std::filesystem::absolute(library, ec).string();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "skyvane-regsvr: cannot load %s: %s\n", path.c_str(), dlerror());
        return 1;
    }
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto fn = reinterpret_cast<HRESULT (*)()>(dlsym(handle, entry));
    if (!fn) {
        std::fprintf(stderr, "skyvane-regsvr: %s has no %s\n", path.c_str(), entry);
        dlclose(handle);
        return 1;
    }
    HRESULT hr = fn();
    dlclose(handle);
    if (FAILED(hr)) {
        std::fprintf(stderr, "skyvane-regsvr: %s of %s failed: 0x%08X\n", entry, path.c_str(), unsigned(hr));
        return 1;
    }
    std::printf("%s: %s succeeded\n", path.c_str(), entry);
    return 0;
}
