#include "platform/user/controls/control.h"

#include <mutex>
#include <unordered_map>

#include "platform/gdi/gdi.h"

namespace skyvane::user {
namespace {

struct States {
    std::mutex mutex;
    std::unordered_map<HWND, std::unique_ptr<Control>> controls;
};

States& TheStates() {
    static auto* states = new States;
    return *states;
}

}  // namespace

std::optional<LRESULT> Control::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_SETFONT:
        font_ = reinterpret_cast<HFONT>(wParam);
        FontChanged();
        if (LOWORD(lParam)) Redraw();
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(font_);
    default: return Handle(msg, wParam, lParam);
    }
}

HFONT Control::Font() const { return font_ ? font_ : static_cast<HFONT>(GetStockObject(SYSTEM_FONT)); }

RECT Control::Client() const {
    RECT r{};
    GetClientRect(hwnd_, &r);
    return r;
}

void Control::Notify(WORD code) const {
    if (HWND parent = Parent())
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(Id(), code), reinterpret_cast<LPARAM>(hwnd_));
}

LRESULT Control::NotifyParent(NMHDR& header, UINT code) const {
    header.hwndFrom = hwnd_;
    header.idFrom = static_cast<UINT_PTR>(Id());
    header.code = code;
    HWND parent = Parent();
    return parent ? SendMessageW(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header)) : 0;
}

HBRUSH Control::ParentColours(UINT ctlColourMessage, HDC dc) const {
    HWND parent = Parent();
    HBRUSH brush = parent ? reinterpret_cast<HBRUSH>(SendMessageW(parent, ctlColourMessage, reinterpret_cast<WPARAM>(dc),
                                                                  reinterpret_cast<LPARAM>(hwnd_)))
                          : nullptr;
    if (!brush) brush = reinterpret_cast<HBRUSH>(DefWindowProcW(hwnd_, ctlColourMessage, reinterpret_cast<WPARAM>(dc),
                                                                reinterpret_cast<LPARAM>(hwnd_)));
    return brush;
}

Control* FindControl(HWND hwnd) {
    States& s = TheStates();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.controls.find(hwnd);
    return it == s.controls.end() ? nullptr : it->second.get();
}

void AttachControl(HWND hwnd, std::unique_ptr<Control> control) {
    States& s = TheStates();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.controls[hwnd] = std::move(control);
}

void DetachControl(HWND hwnd) {
    std::unique_ptr<Control> doomed;
    States& s = TheStates();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.controls.find(hwnd);
    if (it == s.controls.end()) return;
    doomed = std::move(it->second);
    s.controls.erase(it);
}

void RegisterControlClass(const char16_t* name, WNDPROC proc, UINT style) {
    WNDCLASSW wc{};
    wc.style = style | CS_GLOBALCLASS;
    wc.lpfnWndProc = proc;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    RegisterClassW(&wc);
}

}  // namespace skyvane::user
