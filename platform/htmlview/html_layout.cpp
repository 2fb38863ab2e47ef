#include "platform/htmlview/html_layout.h"

#include <algorithm>
#include <cmath>

#include "platform/gdi/font.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/kernel/system_info.h"

namespace skyvane::htmlview {
namespace {

constexpr COLORREF kLinkColour = RGB(0, 0, 238);

void SetColour(cairo_t* cr, COLORREF c) {
    cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}

PangoAttribute* Ranged(PangoAttribute* a, int start, int end) {
    a->start_index = static_cast<guint>(start);
    a->end_index = static_cast<guint>(end);
    return a;
}

}  // namespace

HtmlLayout::HtmlLayout(const Document& doc, int width, int basePixels, const std::u16string& face)
    : background_(doc.background.value_or(RGB(255, 255, 255))), text_(doc.text.value_or(RGB(0, 0, 0))) {
    basePixels_ = doc.fontPoints > 0 ? doc.fontPoints * skyvane::ScreenDpi() / 72.0 : basePixels;
    std::u16string wanted = doc.fontFace.empty() ? face : doc.fontFace;
    family_ = ToUtf8(wanted) + ",DejaVu Sans Condensed,Sans";
    int margin = std::max(2, static_cast<int>(basePixels_ / 3));
    int inner = std::max(1, width - 2 * margin);
    int gap = static_cast<int>(basePixels_ * 0.6);
    int y = margin;
    bool first = true;
    for (const Block& b : doc.blocks) {
        if (b.spaced && !first) y += gap;
        first = false;
        if (b.rule) {
            rules_.push_back(Rule{margin, y + gap / 2, inner});
            y += gap + 1;
            continue;
        }
        if (!b.cells.empty()) {
            int n = static_cast<int>(b.cells.size());
            int cellWidth = inner / n, rowHeight = 0, pad = 2;
            for (int k = 0; k < n; ++k) {
                Piece p = MakePiece(b.cells[k], cellWidth - 2 * pad, b.align, false);
                p.x = margin + k * cellWidth + pad;
                p.y = y + pad;
                rowHeight = std::max(rowHeight, p.height + 2 * pad);
                pieces_.push_back(std::move(p));
            }
            y += rowHeight;
            continue;
        }
        Piece p = MakePiece(b.runs, inner, b.align, false);
        p.x = margin;
        p.y = y;
        y += p.height;
        pieces_.push_back(std::move(p));
        if (b.spaced) y += gap;
    }
    height_ = y + margin;
}

HtmlLayout::~HtmlLayout() {
    for (Piece& p : pieces_)
        if (p.layout) g_object_unref(p.layout);
}

HtmlLayout::Piece HtmlLayout::MakePiece(const std::vector<Run>& runs, int width, Align align, bool bold) const {
    Piece p;
    p.layout = pango_layout_new(skyvane::gdi::TextContext());
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, family_.c_str());
    pango_font_description_set_absolute_size(desc, basePixels_ * PANGO_SCALE);
    if (bold) pango_font_description_set_weight(desc, PANGO_WEIGHT_BOLD);
    pango_layout_set_font_description(p.layout, desc);
    pango_font_description_free(desc);
    std::string text;
    PangoAttrList* attrs = pango_attr_list_new();
    for (const Run& r : runs) {
        int start = static_cast<int>(text.size());
        text += ToUtf8(r.text);
        int end = static_cast<int>(text.size());
        if (start == end) continue;
        if (r.bold) pango_attr_list_insert(attrs, Ranged(pango_attr_weight_new(PANGO_WEIGHT_BOLD), start, end));
        if (r.italic) pango_attr_list_insert(attrs, Ranged(pango_attr_style_new(PANGO_STYLE_ITALIC), start, end));
        if (r.sizeStep != 0) {
            double scale = std::pow(r.sizeStep < 0 ? 0.83 : 1.2, std::abs(r.sizeStep));
            pango_attr_list_insert(attrs, Ranged(pango_attr_size_new_absolute(static_cast<int>(basePixels_ * scale * PANGO_SCALE)), start, end));
        }
        std::optional<COLORREF> colour = r.colour;
        if (!r.href.empty()) {
            if (!colour) colour = kLinkColour;
            pango_attr_list_insert(attrs, Ranged(pango_attr_underline_new(PANGO_UNDERLINE_SINGLE), start, end));
            p.links.push_back(Link{start, end, r.href});
        }
        if (colour)
            pango_attr_list_insert(attrs, Ranged(pango_attr_foreground_new(GetRValue(*colour) * 257, GetGValue(*colour) * 257,
                                                                           GetBValue(*colour) * 257), start, end));
    }
    pango_layout_set_text(p.layout, text.data(), static_cast<int>(text.size()));
    pango_layout_set_attributes(p.layout, attrs);
    pango_attr_list_unref(attrs);
    pango_layout_set_width(p.layout, std::max(1, width) * PANGO_SCALE);
    pango_layout_set_wrap(p.layout, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_alignment(p.layout, align == Align::Center ? PANGO_ALIGN_CENTER : align == Align::Right ? PANGO_ALIGN_RIGHT : PANGO_ALIGN_LEFT);
    int w, h;
    pango_layout_get_pixel_size(p.layout, &w, &h);
    p.width = width;
    p.height = h;
    return p;
}

void HtmlLayout::Draw(cairo_t* cr, int scroll) const {
    for (const Rule& r : rules_) {
        SetColour(cr, RGB(128, 128, 128));
        cairo_rectangle(cr, r.x, r.y - scroll, r.width, 1);
        cairo_fill(cr);
    }
    for (const Piece& p : pieces_) {
        SetColour(cr, text_);
        cairo_move_to(cr, p.x, p.y - scroll);
        pango_cairo_show_layout(cr, p.layout);
    }
}

std::u16string HtmlLayout::LinkAt(int x, int y) const {
    for (const Piece& p : pieces_) {
        if (p.links.empty() || y < p.y || y >= p.y + p.height || x < p.x || x >= p.x + p.width) continue;
        int index = 0, trailing = 0;
        if (!pango_layout_xy_to_index(p.layout, (x - p.x) * PANGO_SCALE, (y - p.y) * PANGO_SCALE, &index, &trailing)) continue;
        for (const Link& l : p.links)
            if (index >= l.start && index < l.end) return l.href;
    }
    return u"";
}

}  // namespace skyvane::htmlview
