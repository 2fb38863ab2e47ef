// Text output and measurement with Pango: DrawTextW, ExtTextOutW and the
// extent and metric queries.
//
// One layout is measured and then drawn, so DT_CALCRECT reports exactly the
// rectangle that drawing fills. Lines are placed by hand (left, centred or
// right within the rectangle) from the layout's own line extents.
#include <algorithm>
#include <memory>
#include <cstring>
#include <string>
#include <vector>

#include "platform/base/log.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/handles.h"

using namespace skyvane::gdi;

namespace {

DeviceContext* DC(HDC hdc) { return ContextOf(hdc); }

// UTF-8 text with, for each UTF-16 unit of the input, its byte offset.
struct Utf8Text {
    std::string bytes;
    std::vector<int> offsets;  // one per UTF-16 unit, plus the end
};

Utf8Text ToUtf8WithOffsets(std::u16string_view s) {
    Utf8Text out;
    out.bytes.reserve(s.size() + 8);
    out.offsets.reserve(s.size() + 1);
    for (std::size_t i = 0; i < s.size(); ++i) {
        out.offsets.push_back(static_cast<int>(out.bytes.size()));
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            out.offsets.push_back(static_cast<int>(out.bytes.size()));
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;  // a lone surrogate
        }
        if (c < 0x80) {
            out.bytes += static_cast<char>(c);
        } else if (c < 0x800) {
            out.bytes += static_cast<char>(0xC0 | (c >> 6));
            out.bytes += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out.bytes += static_cast<char>(0xE0 | (c >> 12));
            out.bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out.bytes += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out.bytes += static_cast<char>(0xF0 | (c >> 18));
            out.bytes += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out.bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out.bytes += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    out.offsets.push_back(static_cast<int>(out.bytes.size()));
    return out;
}

std::u16string_view Input(LPCWSTR s, int n) {
    if (!s) return {};
    if (n < 0) {
        std::size_t len = 0;
        while (s[len]) ++len;
        return std::u16string_view(s, len);
    }
    return std::u16string_view(s, static_cast<std::size_t>(n));
}

// A layout of one text in one font, with its lines' extents in pixels.
class Layout {
public:
    struct Line {
        PangoLayoutLine* line;
        int y, height, width, baseline;  // relative to the layout's top
    };

    Layout(const Font& font, const std::string& utf8, PangoAttrList* attributes, int wrapWidth, int maxHeight,
           bool ellipsis) {
        layout_ = pango_layout_new(TextContext());
        pango_layout_set_font_description(layout_, font.Description());
        pango_layout_set_text(layout_, utf8.data(), static_cast<int>(utf8.size()));
        if (font.Underline() || font.StrikeOut()) {
            if (!attributes) attributes = pango_attr_list_new();
            if (font.Underline()) pango_attr_list_insert(attributes, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
            if (font.StrikeOut()) pango_attr_list_insert(attributes, pango_attr_strikethrough_new(TRUE));
        }
        if (attributes) {
            pango_layout_set_attributes(layout_, attributes);
            pango_attr_list_unref(attributes);
        }
        if (wrapWidth >= 0) {
            pango_layout_set_width(layout_, std::max(wrapWidth, 1) * PANGO_SCALE);
            pango_layout_set_wrap(layout_, PANGO_WRAP_WORD_CHAR);
        }
        if (ellipsis && wrapWidth >= 0) {
            pango_layout_set_ellipsize(layout_, PANGO_ELLIPSIZE_END);
            if (maxHeight > 0) pango_layout_set_height(layout_, maxHeight * PANGO_SCALE);
        }
        PangoLayoutIter* it = pango_layout_get_iter(layout_);
        do {
            PangoRectangle logical;
            pango_layout_iter_get_line_extents(it, nullptr, &logical);
            Line l;
            l.line = pango_layout_iter_get_line_readonly(it);
            l.y = PANGO_PIXELS(logical.y);
            l.height = PANGO_PIXELS(logical.y + logical.height) - l.y;
            l.width = PANGO_PIXELS_CEIL(logical.width);
            l.baseline = PANGO_PIXELS(pango_layout_iter_get_baseline(it));
            lines_.push_back(l);
        } while (pango_layout_iter_next_line(it));
        pango_layout_iter_free(it);
        for (const Line& l : lines_) {
            width_ = std::max(width_, l.width);
            height_ = std::max(height_, l.y + l.height);
        }
        // Glyphs may reach past their advance (the overhang of an italic or
        // a "y"); the measured box takes them in, so that text drawn into it
        // stays inside.
        PangoRectangle ink;
        pango_layout_get_pixel_extents(layout_, &ink, nullptr);
        inkWidth_ = std::max(width_, ink.x + ink.width);
    }
    ~Layout() { g_object_unref(layout_); }
    Layout(const Layout&) = delete;
    Layout& operator=(const Layout&) = delete;

    int Width() const { return width_; }
    // The width including any overhang of the glyphs.
    int InkWidth() const { return inkWidth_; }
    int Height() const { return height_; }
    const std::vector<Line>& Lines() const { return lines_; }
    PangoLayout* Get() const { return layout_; }

    // Draws every line; x of each line from the alignment within [left, right).
    void Draw(cairo_t* cr, const DeviceContext::State& s, int left, int right, int top, UINT align) const {
        for (const Line& l : lines_) {
            int x = left;
            if (align & DT_CENTER) x = left + (right - left - l.width) / 2;
            else if (align & DT_RIGHT) x = right - l.width;
            if (s.bkMode == OPAQUE) {
                Rgb bk = ToRgb(s.bkColour);
                cairo_set_source_rgb(cr, bk.r, bk.g, bk.b);
                cairo_rectangle(cr, x, top + l.y, l.width, l.height);
                cairo_fill(cr);
            }
            Rgb fg = ToRgb(s.textColour);
            cairo_set_source_rgb(cr, fg.r, fg.g, fg.b);
            cairo_move_to(cr, x, top + l.baseline);
            pango_cairo_show_layout_line(cr, l.line);
        }
    }

private:
    PangoLayout* layout_;
    std::vector<Line> lines_;
    int width_ = 0, height_ = 0, inkWidth_ = 0;
};

// DrawTextW's text: line breaks for the format, and "&" prefixes turned into
// underlines.
struct Prepared {
    std::string utf8;
    PangoAttrList* attributes = nullptr;
};

Prepared Prepare(std::u16string_view in, UINT format) {
    std::u16string text;
    text.reserve(in.size());
    std::vector<std::size_t> underlined;  // positions in text
    bool single = format & DT_SINGLELINE;
    for (std::size_t i = 0; i < in.size(); ++i) {
        char16_t c = in[i];
        if (c == u'&' && !(format & DT_NOPREFIX)) {
            if (i + 1 < in.size() && in[i + 1] == u'&') {
                text += u'&';
                ++i;
            } else if (i + 1 < in.size()) {
                underlined.push_back(text.size());
            }
            continue;
        }
        if (c == u'\r' || c == u'\n') {
            if (single) {
                text += u' ';
            } else {
                if (c == u'\r' && i + 1 < in.size() && in[i + 1] == u'\n') ++i;
                text += u'\n';
            }
            continue;
        }
        text += c;
    }
    Prepared p;
    Utf8Text u = ToUtf8WithOffsets(text);
    p.utf8 = std::move(u.bytes);
    for (std::size_t pos : underlined) {
        if (!p.attributes) p.attributes = pango_attr_list_new();
        PangoAttribute* a = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
        a->start_index = u.offsets[pos];
        a->end_index = u.offsets[std::min(pos + 1, text.size())];
        pango_attr_list_insert(p.attributes, a);
    }
    return p;
}

// The layouts of the last texts drawn on this thread. A text is commonly
// measured (DT_CALCRECT) and then drawn at once; the second call finds the
// layout the first one made.
class LayoutCache {
public:
    std::shared_ptr<Layout> Get(const std::shared_ptr<Font>& font, std::u16string_view text, UINT format, int wrapWidth,
                                int maxHeight) {
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            Entry& e = entries_[i];
            if (e.font == font && e.format == format && e.wrapWidth == wrapWidth && e.maxHeight == maxHeight &&
                e.text == text) {
                std::rotate(entries_.begin(), entries_.begin() + i, entries_.begin() + i + 1);
                return entries_.front().layout;
            }
        }
        Prepared prepared = Prepare(text, format);
        auto layout = std::make_shared<Layout>(*font, prepared.utf8, prepared.attributes, wrapWidth, maxHeight,
                                               (format & DT_END_ELLIPSIS) != 0);
        entries_.insert(entries_.begin(), Entry{font, std::u16string(text), format, wrapWidth, maxHeight, layout});
        if (entries_.size() > kSize) entries_.pop_back();
        return layout;
    }

private:
    struct Entry {
        std::shared_ptr<Font> font;  // held, so that its address names no other font meanwhile
        std::u16string text;
        UINT format;
        int wrapWidth, maxHeight;
        std::shared_ptr<Layout> layout;
    };
    static constexpr std::size_t kSize = 16;
    std::vector<Entry> entries_;
};

LayoutCache& Cache() {
    thread_local LayoutCache cache;
    return cache;
}

}  // namespace

int DrawTextW(HDC hDC, LPCWSTR lpString, int nCount, LPRECT lpRect, UINT uFormat) {
    DeviceContext* dc = DC(hDC);
    if (!dc) return 0;
    if (!lpRect || (!lpString && nCount != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string_view text = Input(lpString, nCount);
    const DeviceContext::State& s = dc->Current();
    RECT& r = *lpRect;
    if (text.empty()) {
        if (uFormat & DT_CALCRECT) {
            r.right = r.left;
            r.bottom = r.top;
        }
        return 0;
    }
    bool single = uFormat & DT_SINGLELINE;
    int rectWidth = std::max<LONG>(0, r.right - r.left);
    bool wrap = (uFormat & DT_WORDBREAK) && !single;
    bool ellipsis = uFormat & DT_END_ELLIPSIS;
    int wrapWidth = (wrap || ellipsis) ? rectWidth : -1;
    // Only what shapes the lines makes a layout differ.
    UINT shaping = uFormat & (DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS | DT_WORDBREAK);
    std::shared_ptr<Layout> cached = Cache().Get(s.font, text, shaping, wrapWidth, wrap ? r.bottom - r.top : 0);
    const Layout& layout = *cached;

    int height = layout.Height();
    if (uFormat & DT_CALCRECT) {
        r.right = r.left + layout.InkWidth();
        r.bottom = r.top + height;
        return height;
    }
    int top = r.top;
    if (single && (uFormat & DT_VCENTER)) top = (r.top + r.bottom - height) / 2;
    else if (single && (uFormat & DT_BOTTOM)) top = r.bottom - height;
    {
        DeviceContext::Paint p(*dc);
        if (p) {
            if (!(uFormat & DT_NOCLIP)) {
                cairo_rectangle(p.get(), r.left, r.top, r.right - r.left, r.bottom - r.top);
                cairo_clip(p.get());
            }
            layout.Draw(p.get(), s, r.left, r.right, top, uFormat & (DT_CENTER | DT_RIGHT));
        }
    }
    if (single && (uFormat & (DT_VCENTER | DT_BOTTOM))) return top + height - r.top;
    return height;
}

BOOL ExtTextOutW(HDC hdc, int X, int Y, UINT fuOptions, const RECT* lprc, LPCWSTR lpString, UINT cbCount,
                 const int* lpDx) {
    DeviceContext* dc = DC(hdc);
    if (!dc) return FALSE;
    const DeviceContext::State& s = dc->Current();
    DeviceContext::Paint p(*dc);
    if (!p) return TRUE;
    if (lprc && (fuOptions & ETO_OPAQUE)) {
        Rgb bk = ToRgb(s.bkColour);
        cairo_set_source_rgb(p.get(), bk.r, bk.g, bk.b);
        cairo_rectangle(p.get(), lprc->left, lprc->top, lprc->right - lprc->left, lprc->bottom - lprc->top);
        cairo_fill(p.get());
    }
    if (lprc && (fuOptions & ETO_CLIPPED)) {
        cairo_rectangle(p.get(), lprc->left, lprc->top, lprc->right - lprc->left, lprc->bottom - lprc->top);
        cairo_clip(p.get());
    }
    std::u16string_view text = Input(lpString, lpString ? static_cast<int>(cbCount) : 0);
    if (text.empty()) return TRUE;
    Layout layout(*s.font, ToUtf8WithOffsets(text).bytes, nullptr, -1, 0, false);
    int x = X, y = Y;
    UINT h = s.textAlign & (TA_CENTER | TA_RIGHT);
    if (h == TA_CENTER) x -= layout.Width() / 2;
    else if (h == TA_RIGHT) x -= layout.Width();
    if ((s.textAlign & TA_BASELINE) == TA_BASELINE) y -= layout.Lines().front().baseline;
    else if (s.textAlign & TA_BOTTOM) y -= layout.Height();
    layout.Draw(p.get(), s, x, x + layout.Width(), y, 0);
    return TRUE;
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR lpString, int c, LPSIZE lpSize) {
    return GetTextExtentExPointW(hdc, lpString, c, 0, nullptr, nullptr, lpSize);
}

BOOL GetTextExtentExPointW(HDC hdc, LPCWSTR lpszStr, int cchString, int nMaxExtent, LPINT lpnFit, LPINT alpDx,
                           LPSIZE lpSize) {
    DeviceContext* dc = DC(hdc);
    if (!dc) return FALSE;
    if (!lpSize || cchString < 0 || (!lpszStr && cchString > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const Font& font = *dc->Current().font;
    std::u16string_view text(lpszStr ? lpszStr : u"", static_cast<std::size_t>(cchString));
    if (text.empty()) {
        const FontMetrics& m = font.Metrics();
        *lpSize = SIZE{0, m.ascent + m.descent};
        if (lpnFit) *lpnFit = 0;
        return TRUE;
    }
    Utf8Text u = ToUtf8WithOffsets(text);
    Layout layout(font, u.bytes, nullptr, -1, 0, false);
    *lpSize = SIZE{layout.Width(), layout.Height()};
    if (lpnFit || alpDx) {
        int fit = 0;
        for (int i = 0; i < cchString; ++i) {
            // The extent up to the end of character i: the start of the next one.
            int x;
            if (i + 1 < cchString) {
                PangoRectangle pos;
                pango_layout_index_to_pos(layout.Get(), u.offsets[i + 1], &pos);
                x = PANGO_PIXELS(pos.x);
            } else {
                x = layout.Width();
            }
            if (alpDx) alpDx[i] = x;
            if (lpnFit && x <= nMaxExtent) fit = i + 1;
        }
        if (lpnFit) *lpnFit = fit;
    }
    return TRUE;
}

BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW lptm) {
    DeviceContext* dc = DC(hdc);
    if (!dc || !lptm) return FALSE;
    const Font& font = *dc->Current().font;
    const FontMetrics& m = font.Metrics();
    const LOGFONTW& lf = font.LogFont();
    std::memset(lptm, 0, sizeof *lptm);
    lptm->tmAscent = m.ascent;
    lptm->tmDescent = m.descent;
    lptm->tmHeight = m.ascent + m.descent;
    lptm->tmInternalLeading = std::max(0, lptm->tmHeight - m.emHeight);
    lptm->tmAveCharWidth = m.averageCharWidth;
    lptm->tmMaxCharWidth = m.maxCharWidth;
    lptm->tmWeight = lf.lfWeight <= 0 ? FW_NORMAL : lf.lfWeight;
    lptm->tmDigitizedAspectX = lptm->tmDigitizedAspectY = 96;
    lptm->tmFirstChar = 0x20;
    lptm->tmLastChar = 0xFFFC;
    lptm->tmDefaultChar = u'?';
    lptm->tmBreakChar = u' ';
    lptm->tmItalic = lf.lfItalic;
    lptm->tmUnderlined = lf.lfUnderline;
    lptm->tmStruckOut = lf.lfStrikeOut;
    lptm->tmPitchAndFamily = FF_SWISS | 0x06;  // variable pitch, vector, TrueType
    lptm->tmCharSet = DEFAULT_CHARSET;
    return TRUE;
}

int GetTextFaceW(HDC hdc, int nCount, LPWSTR lpFaceName) {
    DeviceContext* dc = DC(hdc);
    if (!dc) return 0;
    const std::u16string& face = dc->Current().font->Metrics().family;
    if (!lpFaceName) return static_cast<int>(face.size()) + 1;
    if (nCount <= 0) return 0;
    int n = std::min<int>(nCount - 1, static_cast<int>(face.size()));
    std::memcpy(lpFaceName, face.data(), n * sizeof(WCHAR));
    lpFaceName[n] = 0;
    return n + 1;
}
