#include "platform/user/backend.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "platform/base/log.h"
#include "platform/gdi/dc.h"
#include "platform/user/window.h"

namespace skyvane::user {
namespace {

std::mutex g_mutex;
std::unique_ptr<Backend>& Slot() {
    static auto* slot = new std::unique_ptr<Backend>;  // outlives the windows destroyed at exit
    return *slot;
}

int ScaleFromEnvironment() {
    const char* s = std::getenv("SKYVANE_SCALE");
    int scale = s ? std::atoi(s) : 0;
    return scale >= 1 && scale <= 4 ? scale : 0;
}

std::unique_ptr<Backend> Choose(const std::string& wanted) {
    bool display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    bool sdl = wanted == "sdl" || (wanted.empty() && display);
    if (sdl) {
        if (auto backend = MakeSdlBackend(ScaleFromEnvironment())) return backend;
        if (wanted == "sdl")
            std::fprintf(stderr, "Skyvane: no window can be opened on this display (SDL2); drawing off-screen instead.\n");
    } else if (!wanted.empty() && wanted != "headless") {
        std::fprintf(stderr, "Skyvane: SKYVANE_BACKEND=%s is not known (use headless or sdl); drawing off-screen.\n",
                     wanted.c_str());
    }
    return MakeHeadlessBackend();
}

void Install(std::unique_ptr<Backend> backend) {
    skyvane::gdi::SetScreenScale(backend->Scale());
    SKYVANE_LOG("user", "back end %s at scale %d", backend->Name(), backend->Scale());
    Slot() = std::move(backend);
}

}  // namespace

Backend& TheBackend() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!Slot()) {
        const char* wanted = std::getenv("SKYVANE_BACKEND");
        Install(Choose(wanted ? wanted : ""));
    }
    return *Slot();
}

bool UseBackend(const std::string& name) {
    if (!TopLevelWindows().empty()) return false;
    std::unique_ptr<Backend> backend = name == "sdl" ? MakeSdlBackend(ScaleFromEnvironment())
                                       : name == "headless" ? MakeHeadlessBackend() : nullptr;
    if (!backend) return false;
    std::lock_guard<std::mutex> lock(g_mutex);
    Install(std::move(backend));
    return true;
}

}  // namespace skyvane::user
