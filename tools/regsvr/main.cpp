// skyvane-regsvr: registers an in-process COM server in the device, or
// removes its registration, by calling the library's own DllRegisterServer or
// DllUnregisterServer, as the platform's regsvr tool does.
//
//   skyvane-regsvr [-u] LIBRARY
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/com/server_library.h"

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
    std::string error;
    if (FAILED(skyvane::RegisterServerLibrary(library, unregister, &error))) {
        std::fprintf(stderr, "skyvane-regsvr: %s\n", error.c_str());
        return 1;
    }
    std::error_code ec;
    std::printf("%s: %s succeeded\n", std::filesystem::absolute(library, ec).c_str(),
                unregister ? "DllUnregisterServer" : "DllRegisterServer");
    return 0;
}
