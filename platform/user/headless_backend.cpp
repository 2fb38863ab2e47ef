// The headless back end: windows exist only as their surfaces.
#include <memory>

#include "platform/user/backend.h"
#include "platform/user/message_queue.h"
#include "platform/user/window.h"

namespace skyvane::user {
namespace {

class HeadlessBackend : public Backend {
public:
    const char* Name() const override { return "headless"; }
    int Scale() const override { return scale_; }
    void Show(Window&) override {}
    void Hide(Window&) override {}
    void Destroyed(HWND) override {}
    void Present(Window& top) override {
        if (top.surface) top.surface->dirty = false;
    }
    void SetCursor(CursorShape) override {}
    void Pump() override {}
    void Wait(ThreadQueue& queue, int timeoutMs) override { queue.WaitForPost(timeoutMs); }
    void Wake() override {}

    int scale_ = 1;
};

}  // namespace

std::unique_ptr<Backend> MakeHeadlessBackend() {
    auto backend = std::make_unique<HeadlessBackend>();
    if (const char* s = std::getenv("SKYVANE_SCALE")) {
        int scale = std::atoi(s);
        if (scale >= 1 && scale <= 4) backend->scale_ = scale;
    }
    return backend;
}

}  // namespace skyvane::user
