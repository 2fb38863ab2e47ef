// What every control shares: its state object behind the window, its font,
// notifications to the parent and the colours the parent chooses.
#pragma once

#include <memory>
#include <optional>

#include "platform/user/controls/controls.h"
#include "platform/user/user.h"

namespace skyvane::user {

class Control {
public:
    explicit Control(HWND hwnd) : hwnd_(hwnd) {}
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // Font messages first, then the control's own handling; nothing means
    // the default window procedure, except that a new text or a change of
    // enabled state is shown at once.
    std::optional<LRESULT> Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);

protected:
    virtual std::optional<LRESULT> Handle(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
    // After WM_SETFONT.
    virtual void FontChanged() {}

    HWND Hwnd() const { return hwnd_; }
    DWORD Style() const { return static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)); }
    int Id() const { return static_cast<int>(GetWindowLongPtrW(hwnd_, GWLP_ID)); }
    HWND Parent() const { return GetParent(hwnd_); }
    HFONT Font() const;
    RECT Client() const;
    bool Enabled() const { return IsWindowEnabled(hwnd_) != FALSE; }
    bool Focused() const { return GetFocus() == hwnd_; }
    void Redraw() const { InvalidateRect(hwnd_, nullptr, TRUE); }
    // WM_COMMAND with the id and the code to the parent.
    void Notify(WORD code) const;
    // The row height a control of the font would take, or for an owner-drawn
    // one what the parent answers WM_MEASUREITEM with.
    int ItemHeight(bool ownerDrawn, UINT ctlType) const;
    // WM_NOTIFY to the parent: fills the record's header and returns the answer.
    LRESULT NotifyParent(NMHDR& header, UINT code) const;
    // Paints an edit-like field's face in the colours the parent gives
    // (WM_CTLCOLOREDIT) and sets the text colour; returns the text colour.
    COLORREF PaintField(HDC dc) const;
    // Asks the parent for colours (WM_CTLCOLOR*), which it sets on dc; the
    // brush to fill the background with.
    HBRUSH ParentColours(UINT ctlColourMessage, HDC dc) const;

private:
    HWND hwnd_;
    HFONT font_ = nullptr;
};

// The object behind a control window.
Control* FindControl(HWND hwnd);
void AttachControl(HWND hwnd, std::unique_ptr<Control> control);
void DetachControl(HWND hwnd);

// The class procedure of a control type T, constructed as T(hwnd, createStruct).
template <class T>
LRESULT ControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE)
        AttachControl(hwnd, std::make_unique<T>(hwnd, *reinterpret_cast<const CREATESTRUCTW*>(lParam)));
    std::optional<LRESULT> result;
    if (Control* c = FindControl(hwnd)) result = c->Dispatch(msg, wParam, lParam);
    LRESULT r = result ? *result : DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) DetachControl(hwnd);
    return r;
}

// Registers a control class once per process.
void RegisterControlClass(const char16_t* name, WNDPROC proc, UINT style = 0);

}  // namespace skyvane::user
