#include "platform/user/controls/control.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "platform/gdi/gdi.h"
#include "platform/user/controls/control_paint.h"

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
    default: break;
    }
    std::optional<LRESULT> handled = Handle(msg, wParam, lParam);
    if (handled) return handled;
    if (msg == WM_SETTEXT) {
        LRESULT r = DefWindowProcW(hwnd_, msg, wParam, lParam);
        Redraw();
        return r;
    }
    if (msg == WM_ENABLE) {
        Redraw();
        return 0;
    }
    return std::nullopt;
}

int Control::ItemHeight(bool ownerDrawn, UINT ctlType) const {
    int height = paint::LineHeight(Font()) + paint::Scaled(4);
    if (!ownerDrawn) return height;
    MEASUREITEMSTRUCT mis{ctlType, static_cast<UINT>(Id()), 0, 0, static_cast<UINT>(height), 0};
    SendMessageW(Parent(), WM_MEASUREITEM, Id(), reinterpret_cast<LPARAM>(&mis));
    return std::max<int>(1, mis.itemHeight);
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

COLORREF Control::PaintField(HDC dc) const {
    ParentColours(WM_CTLCOLOREDIT, dc);
    COLORREF ink = Enabled() ? GetTextColor(dc) : GetSysColor(COLOR_GRAYTEXT);
    paint::Field(dc, Client(), Enabled());
    return ink;
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
