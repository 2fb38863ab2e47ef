// The SDL2 back end: each shown top-level window is a real window showing
// its surface at the back end's scale; mouse, touch (as SDL turns it into
// the mouse), wheel, keys and text become the platform's messages.
//
// Placement: the device's screen is laid on the desktop where the first
// window without an owner appears (centred); every window then sits at its
// own screen position from there, so menus and drop-down lists open beside
// the control that opened them. A window gets the desktop's frame and title
// unless it is owned and has no WS_CAPTION (menus, lists, message boxes) or
// asks to be borderless with WS_EX_TOOLWINDOW; WS_EX_TOPMOST keeps it above
// other windows. Both together make a desktop widget.
#include <SDL2/SDL.h>

#include <map>
#include <memory>

#include "platform/base/log.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/user/backend.h"
#include "platform/user/input.h"
#include "platform/user/message_queue.h"
#include "platform/user/user.h"
#include "platform/user/window.h"

namespace skyvane::user {
namespace {

struct Native {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int width = 0, height = 0;  // of the texture, in pixels
};

// The platform's key code of an SDL key, 0 for keys it has none for.
UINT VirtualKey(SDL_Keycode k) {
    if (k >= SDLK_a && k <= SDLK_z) return 'A' + (k - SDLK_a);
    if (k >= SDLK_0 && k <= SDLK_9) return '0' + (k - SDLK_0);
    if (k >= SDLK_F1 && k <= SDLK_F12) return VK_F1 + (k - SDLK_F1);
    switch (k) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_HOME: return VK_HOME;
    case SDLK_END: return VK_END;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_UP: return VK_UP;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT: return VK_MENU;
    case SDLK_MINUS: return VK_OEM_MINUS;
    case SDLK_KP_MINUS: return VK_SUBTRACT;
    case SDLK_PERIOD: return 0xBE;
    case SDLK_COMMA: return 0xBC;
    default: return 0;
    }
}

// Keys whose character comes as SDL text input.
bool MakesText(SDL_Keycode k) { return k >= SDLK_SPACE && k < SDLK_DELETE; }

class SdlBackend : public Backend {
public:
    explicit SdlBackend(int scale) : scale_(scale), wakeEvent_(SDL_RegisterEvents(1)) { SDL_StartTextInput(); }

    ~SdlBackend() override {
        for (auto& [hwnd, n] : windows_) Release(n);
        SDL_StopTextInput();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    const char* Name() const override { return "sdl"; }
    int Scale() const override { return scale_; }

    void Show(Window& top) override {
        Native& n = windows_[top.handle];
        int w = std::max<LONG>(1, top.rect.right - top.rect.left) * scale_;
        int h = std::max<LONG>(1, top.rect.bottom - top.rect.top) * scale_;
        Window* owner = FindQuiet(top.owner);
        bool borderless = (top.exStyle & WS_EX_TOOLWINDOW) || (owner && !(top.style & WS_CAPTION));
        if (!n.window) {
            Uint32 flags = SDL_WINDOW_HIDDEN | (borderless ? SDL_WINDOW_BORDERLESS : 0) |
                           ((top.exStyle & WS_EX_TOPMOST) ? SDL_WINDOW_ALWAYS_ON_TOP : 0) |
                           (owner && !(top.style & WS_CAPTION) ? SDL_WINDOW_POPUP_MENU : 0);
            std::string title = ToUtf8(top.text);
            bool placed = originKnown_;
            n.window = SDL_CreateWindow(title.c_str(), placed ? origin_.x + top.rect.left * scale_ : SDL_WINDOWPOS_CENTERED,
                                        placed ? origin_.y + top.rect.top * scale_ : SDL_WINDOWPOS_CENTERED, w, h, flags);
            if (!n.window) {
                SKYVANE_LOG("user", "SDL_CreateWindow: %s", SDL_GetError());
                windows_.erase(top.handle);
                return;
            }
            if (!placed) {
                int x, y;
                SDL_GetWindowPosition(n.window, &x, &y);
                origin_ = POINT{x - top.rect.left * scale_, y - top.rect.top * scale_};
                originKnown_ = true;
            }
            n.renderer = SDL_CreateRenderer(n.window, -1, 0);
            if (!n.renderer) n.renderer = SDL_CreateRenderer(n.window, -1, SDL_RENDERER_SOFTWARE);
        } else {
            SDL_SetWindowTitle(n.window, ToUtf8(top.text).c_str());
            SDL_SetWindowSize(n.window, w, h);
            SDL_SetWindowPosition(n.window, origin_.x + top.rect.left * scale_, origin_.y + top.rect.top * scale_);
        }
        SDL_ShowWindow(n.window);
        if (top.surface) top.surface->dirty = true;
    }

    void Hide(Window& top) override {
        auto it = windows_.find(top.handle);
        if (it != windows_.end() && it->second.window) SDL_HideWindow(it->second.window);
    }

    void Destroyed(HWND top) override {
        auto it = windows_.find(top);
        if (it == windows_.end()) return;
        Release(it->second);
        windows_.erase(it);
    }

    void Present(Window& top) override {
        if (!top.surface) return;
        top.surface->dirty = false;
        auto it = windows_.find(top.handle);
        if (it == windows_.end() || !it->second.renderer) return;
        Native& n = it->second;
        cairo_surface_t* s = top.surface->surface;
        cairo_surface_flush(s);
        int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
        if (!n.texture || n.width != w || n.height != h) {
            if (n.texture) SDL_DestroyTexture(n.texture);
            n.texture = SDL_CreateTexture(n.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, w, h);
            n.width = w;
            n.height = h;
        }
        SDL_UpdateTexture(n.texture, nullptr, cairo_image_surface_get_data(s), cairo_image_surface_get_stride(s));
        SDL_RenderClear(n.renderer);
        SDL_RenderCopy(n.renderer, n.texture, nullptr, nullptr);
        SDL_RenderPresent(n.renderer);
    }

    void SetCursor(CursorShape shape) override {
        SDL_SystemCursor id = shape == CursorShape::Wait ? SDL_SYSTEM_CURSOR_WAIT : SDL_SYSTEM_CURSOR_ARROW;
        if (!cursors_[id]) cursors_[id] = SDL_CreateSystemCursor(id);
        if (cursors_[id]) SDL_SetCursor(cursors_[id]);
    }

    void Pump() override {
        SDL_Event e;
        while (SDL_PollEvent(&e)) Translate(e);
    }

    void Wait(ThreadQueue& queue, int timeoutMs) override {
        if (queue.HasPending()) return;
        SDL_Event e;
        // SDL wakes for native input and for the event Wake() pushes.
        if (SDL_WaitEventTimeout(&e, timeoutMs < 0 ? 1000 : std::max(1, timeoutMs))) Translate(e);
        Pump();
    }

    void Wake() override {
        SDL_Event e{};
        e.type = wakeEvent_;
        SDL_PushEvent(&e);
    }

    bool DesktopRect(HWND top, RECT& out) override {
        auto it = windows_.find(top);
        if (it == windows_.end() || !it->second.window) return false;
        int x, y, w, h;
        SDL_GetWindowPosition(it->second.window, &x, &y);
        SDL_GetWindowSize(it->second.window, &w, &h);
        out = RECT{x, y, x + w, y + h};
        return true;
    }

private:
    static void Release(Native& n) {
        if (n.texture) SDL_DestroyTexture(n.texture);
        if (n.renderer) SDL_DestroyRenderer(n.renderer);
        if (n.window) SDL_DestroyWindow(n.window);
        n = Native{};
    }

    HWND Owner(Uint32 windowId) const {
        SDL_Window* w = SDL_GetWindowFromID(windowId);
        for (const auto& [hwnd, n] : windows_)
            if (n.window == w) return hwnd;
        return nullptr;
    }

    void Translate(const SDL_Event& e) {
        switch (e.type) {
        case SDL_WINDOWEVENT: {
            HWND hwnd = Owner(e.window.windowID);
            if (!hwnd) return;
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) PostMessageW(hwnd, WM_CLOSE, 0, 0);
            if (e.window.event == SDL_WINDOWEVENT_EXPOSED)
                if (Window* w = FindQuiet(hwnd)) Present(*w);
            return;
        }
        case SDL_MOUSEMOTION:
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            HWND hwnd = Owner(e.type == SDL_MOUSEMOTION ? e.motion.windowID : e.button.windowID);
            if (!hwnd) return;
            int x = (e.type == SDL_MOUSEMOTION ? e.motion.x : e.button.x) / scale_;
            int y = (e.type == SDL_MOUSEMOTION ? e.motion.y : e.button.y) / scale_;
            lastMouse_ = POINT{x, y};
            if (e.type != SDL_MOUSEMOTION && e.button.button != SDL_BUTTON_LEFT) return;
            UINT msg = e.type == SDL_MOUSEMOTION ? WM_MOUSEMOVE : e.type == SDL_MOUSEBUTTONDOWN ? WM_LBUTTONDOWN : WM_LBUTTONUP;
            InjectMouse(hwnd, msg, x, y);
            return;
        }
        case SDL_MOUSEWHEEL: {
            HWND hwnd = Owner(e.wheel.windowID);
            if (hwnd) InjectWheel(hwnd, lastMouse_.x, lastMouse_.y, e.wheel.y * WHEEL_DELTA);
            return;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            UINT vk = VirtualKey(e.key.keysym.sym);
            if (vk) InjectKey(vk, e.type == SDL_KEYDOWN, MakesText(e.key.keysym.sym) ? kTextArrivesSeparately : 0);
            return;
        }
        case SDL_TEXTINPUT: InjectText(FromUtf8(e.text.text)); return;
        default: return;
        }
    }

    int scale_;
    Uint32 wakeEvent_;
    std::map<HWND, Native> windows_;
    std::map<SDL_SystemCursor, SDL_Cursor*> cursors_;
    POINT origin_{0, 0};
    bool originKnown_ = false;
    POINT lastMouse_{0, 0};
};

}  // namespace

std::unique_ptr<Backend> MakeSdlBackend(int scale) {
    // Ctrl-C and SIGTERM keep their usual meaning for the program.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        SKYVANE_LOG("user", "SDL2 video: %s", SDL_GetError());
        return nullptr;
    }
    if (scale < 1) {
        // Crisp at twice the size on a high-dpi desktop.
        float ddpi = 0, hdpi = 0, vdpi = 0;
        scale = SDL_GetDisplayDPI(0, &ddpi, &hdpi, &vdpi) == 0 && hdpi >= 144.0f ? 2 : 1;
    }
    return std::make_unique<SdlBackend>(scale);
}

}  // namespace skyvane::user
