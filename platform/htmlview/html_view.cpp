// The HTML view control's window: the text it was given, its layout at the
// window's width, scrolling, and links.
#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>

#include "platform/base/log.h"
#include "platform/base/wide_string.h"
#include "platform/gdi/dc.h"
#include "platform/htmlview/html_layout.h"
#include "platform/htmlview/htmlview.h"
#include "platform/kernel/device_root.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/shell/shell.h"
#include "platform/user/controls/control.h"
#include "platform/user/controls/control_paint.h"
#include "platform/user/controls/scroll_bar.h"

namespace skyvane::htmlview {
namespace {

using user::Control;
using user::VScrollBar;
namespace paint = user::paint;

// A file's text: UTF-16 (either order) or UTF-8 by its byte-order mark,
// else UTF-8 when it reads as UTF-8, else the device's code page.
std::u16string DecodeFile(const std::string& bytes) {
    auto b = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 && ((b(0) == 0xFF && b(1) == 0xFE) || (b(0) == 0xFE && b(1) == 0xFF))) {
        bool little = b(0) == 0xFF;
        std::u16string out;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            out += static_cast<char16_t>(little ? b(i) | (b(i + 1) << 8) : (b(i) << 8) | b(i + 1));
        return out;
    }
    std::string_view text(bytes);
    if (text.size() >= 3 && b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF) text.remove_prefix(3);
    std::u16string utf16 = FromUtf8(text);
    if (utf16.find(u'\uFFFD') == std::u16string::npos || text.find("\xEF\xBF\xBD") != std::string_view::npos) return utf16;
    return FromAnsi(text);
}

// Plain text shown as it is: markup characters escaped, lines kept.
std::u16string Escape(std::u16string_view text) {
    std::u16string out;
    for (char16_t c : text) {
        if (c == u'<') out += u"&lt;";
        else if (c == u'>') out += u"&gt;";
        else if (c == u'&') out += u"&amp;";
        else if (c == u'\n') out += u"<br>";
        else if (c != u'\r') out += c;
    }
    return out;
}

class HtmlView : public Control {
public:
    HtmlView(HWND hwnd, const CREATESTRUCTW&) : Control(hwnd) {}

protected:
    std::optional<LRESULT> Handle(UINT msg, WPARAM wParam, LPARAM lParam) override {
        switch (msg) {
        case WM_SETTEXT:
            source_ = lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"";
            Changed();
            return TRUE;
        case DTM_ADDTEXTW:
            if (lParam) source_ += wParam ? Escape(reinterpret_cast<LPCWSTR>(lParam)) : std::u16string(reinterpret_cast<LPCWSTR>(lParam));
            Changed();
            return 0;
        case DTM_ADDTEXT:
            if (lParam) {
                std::u16string text = FromAnsi(reinterpret_cast<const char*>(lParam));
                source_ += wParam ? Escape(text) : text;
            }
            Changed();
            return 0;
        case DTM_ENDOFSOURCE: Changed(); return 0;
        case DTM_CLEAR: source_.clear(); Changed(); return 0;
        case DTM_NAVIGATE: return Navigate(reinterpret_cast<LPCWSTR>(lParam));
        case DTM_ANCHOR:
        case DTM_ANCHORW:
        case DTM_ENABLESHRINK:
        case DTM_SCROLLINTOVIEW:
        case DTM_SELECTALL:
        case DTM_SETIMAGE:
        case DTM_IMAGEFAIL: return 0;
        case DTM_ISSELECTION: return FALSE;
        case WM_SIZE: layout_.reset(); Redraw(); return 0;
        case WM_PAINT: Paint(); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_GETDLGCODE: return DLGC_WANTARROWS;
        case WM_LBUTTONDOWN: MouseDown(lParam); return 0;
        case WM_MOUSEMOVE:
            if (thumbGrab_ >= 0) ScrollTo(ThumbScroll(GET_Y_LPARAM(lParam) - thumbGrab_));
            return 0;
        case WM_LBUTTONUP: MouseUp(lParam); return 0;
        case WM_MOUSEWHEEL: ScrollTo(scroll_ + user::WheelRows(wheel_, wParam) * Line()); return 0;
        case WM_KEYDOWN: Key(static_cast<UINT>(wParam)); return 0;
        default: return std::nullopt;
        }
    }

    void FontChanged() override { Changed(); }

private:
    void Changed() {
        doc_ = ParseHtml(source_);
        layout_.reset();
        scroll_ = 0;
        Redraw();
    }

    LRESULT Navigate(LPCWSTR url) {
        if (!url) return FALSE;
        std::u16string_view address(url);
        if (!EqualsNoCase(address.substr(0, 7), u"file://")) {
            // Only local pages are shown here; anything else goes to the desktop's browser.
            SHELLEXECUTEINFOW info{};
            info.cbSize = sizeof info;
            info.lpFile = url;
            return ShellExecuteExW(&info);
        }
        std::u16string_view path = address.substr(7);
        std::string host = !path.empty() && path[0] == u'\\' ? HostPath(path) : ToUtf8(path);
        std::ifstream in(host, std::ios::binary);
        if (!in) {
            SKYVANE_LOG("htmlview", "cannot read %s", host.c_str());
            source_ = Escape(u"The page cannot be shown: " + std::u16string(path));
            Changed();
            return FALSE;
        }
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        source_ = DecodeFile(bytes);
        Changed();
        return TRUE;
    }

    int BasePixels() const {
        LOGFONTW lf{};
        if (GetObjectW(Font(), sizeof lf, &lf) && lf.lfHeight < 0) return -lf.lfHeight;
        return paint::Scaled(12);
    }
    int Line() const { return BasePixels() * 4 / 3; }

    HtmlLayout& Layout() {
        if (!layout_) {
            RECT c = Client();
            layout_ = std::make_unique<HtmlLayout>(doc_, c.right, BasePixels(), u"Tahoma");
            // With a scroll bar the text is laid out again beside it.
            if (layout_->Height() > c.bottom)
                layout_ = std::make_unique<HtmlLayout>(doc_, c.right - VScrollBar::Width(), BasePixels(), u"Tahoma");
        }
        return *layout_;
    }

    bool HasBar() { return Layout().Height() > Client().bottom; }
    int MaxScroll() { return std::max(0, Layout().Height() - static_cast<int>(Client().bottom)); }
    void ScrollTo(int y) {
        int old = scroll_;
        scroll_ = std::clamp(y, 0, MaxScroll());
        if (scroll_ != old) Redraw();
    }

    // The scroll bar counts in lines of text.
    VScrollBar Bar() {
        RECT c = Client();
        int line = Line();
        return VScrollBar(RECT{c.right - VScrollBar::Width(), 0, c.right, c.bottom}, scroll_ / line,
                          std::max(1, static_cast<int>(c.bottom) / line), (Layout().Height() + line - 1) / line);
    }
    int ThumbScroll(int y) { return Bar().FirstForThumbTop(y) * Line(); }

    void Key(UINT vk) {
        int page = std::max(Line(), static_cast<int>(Client().bottom) - Line());
        switch (vk) {
        case VK_UP: ScrollTo(scroll_ - Line()); break;
        case VK_DOWN: ScrollTo(scroll_ + Line()); break;
        case VK_PRIOR: ScrollTo(scroll_ - page); break;
        case VK_NEXT: ScrollTo(scroll_ + page); break;
        case VK_HOME: ScrollTo(0); break;
        case VK_END: ScrollTo(MaxScroll()); break;
        default: break;
        }
    }

    void MouseDown(LPARAM lParam) {
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        SetFocus(Hwnd());
        if (HasBar()) {
            // The bar counts in lines; a page is the window less a line.
            int page = std::max(1, static_cast<int>(Client().bottom) / Line() - 1);
            if (auto lines = Bar().Press(p, page, Hwnd(), thumbGrab_)) {
                ScrollTo(scroll_ + *lines * Line());
                return;
            }
        }
        pressedLink_ = Layout().LinkAt(p.x, p.y + scroll_);
    }

    void MouseUp(LPARAM lParam) {
        if (thumbGrab_ >= 0) {
            thumbGrab_ = -1;
            ReleaseCapture();
            return;
        }
        std::u16string link = Layout().LinkAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam) + scroll_);
        if (link.empty() || link != pressedLink_) return;
        pressedLink_.clear();
        NM_HTMLVIEWW nm{};
        nm.szTarget = link.c_str();
        nm.szData = u"";
        if (NotifyParent(nm.hdr, NM_HOTSPOT)) return;  // the parent took it
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.lpVerb = u"open";
        info.lpFile = link.c_str();
        ShellExecuteExW(&info);
    }

    void Paint() {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Hwnd(), &ps);
        RECT c = Client();
        HtmlLayout& layout = Layout();
        paint::Fill(dc, c, layout.Background());
        if (auto* context = gdi::FindDC(dc)) {
            gdi::DeviceContext::Paint p(*context);
            if (p) layout.Draw(p.get(), scroll_);
        }
        if (HasBar()) Bar().Draw(dc);
        EndPaint(Hwnd(), &ps);
    }

    std::u16string source_;
    Document doc_;
    std::unique_ptr<HtmlLayout> layout_;
    int scroll_ = 0, wheel_ = 0, thumbGrab_ = -1;
    std::u16string pressedLink_;
};

}  // namespace
}  // namespace skyvane::htmlview

BOOL InitHTMLControl(HINSTANCE hinst) {
    skyvane::user::RegisterControlClass(WC_HTML, skyvane::user::ControlProc<skyvane::htmlview::HtmlView>, 0);
    return TRUE;
}
