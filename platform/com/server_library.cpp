#include "platform/com/server_library.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>

#include "platform/base/log.h"

namespace skyvane {

HRESULT RegisterServerLibrary(const std::string& library, bool unregister, std::string* error) {
    std::string ignored;
    std::string& why = error ? *error : ignored;
    why.clear();
    std::error_code ec;
    const std::string path = std::filesystem::absolute(library, ec).string();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        why = "cannot load " + path + ": " + dlerror();
        SKYVANE_LOG("com", "%s", why.c_str());
        return E_FAIL;
    }
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto fn = reinterpret_cast<HRESULT (*)()>(dlsym(handle, entry));
    if (!fn) {
        why = path + " has no " + entry;
        SKYVANE_LOG("com", "%s", why.c_str());
        dlclose(handle);
        return E_FAIL;
    }
    const HRESULT hr = fn();
    dlclose(handle);
    if (FAILED(hr)) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", unsigned(hr));
        why = std::string(entry) + " of " + path + " failed with " + code;
        SKYVANE_LOG("com", "%s", why.c_str());
    }
    return hr;
}

}  // namespace skyvane
