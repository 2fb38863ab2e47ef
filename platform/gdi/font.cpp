#include "platform/gdi/font.h"

#include <cmath>
#include <cstring>

#include "platform/base/log.h"
#include "platform/base/wide_string.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/kernel/system_info.h"

namespace skyvane::gdi {
namespace {

// The face name is a fixed array that may lack its terminator.
std::size_t FaceLength(const WCHAR* s) {
    std::size_t n = 0;
    while (n < LF_FACESIZE && s[n]) ++n;
    return n;
}

// The faces the platform's software names for "the usual font" become the
// narrow sans face, which has the proportions of the platform's own.
std::string FamilyFor(const LOGFONTW& lf) {
    std::u16string face(lf.lfFaceName, FaceLength(lf.lfFaceName));
    if (face.empty() || EqualsNoCase(face, u"Tahoma") || EqualsNoCase(face, u"System") ||
        EqualsNoCase(face, u"MS Sans Serif"))
        return "DejaVu Sans Condensed,DejaVu Sans,Sans";
    return ToUtf8(face) + ",Sans";
}

struct Extent {
    double ascent, descent;
};

Extent ExtentAt(PangoFontDescription* description, double pixels) {
    pango_font_description_set_absolute_size(description, pixels * PANGO_SCALE);
    PangoFont* font = pango_context_load_font(TextContext(), description);
    Extent m{pixels * 0.8, pixels * 0.2};
    if (font) {
        PangoFontMetrics* fm = pango_font_get_metrics(font, nullptr);
        m.ascent = pango_font_metrics_get_ascent(fm) / double(PANGO_SCALE);
        m.descent = pango_font_metrics_get_descent(fm) / double(PANGO_SCALE);
        pango_font_metrics_unref(fm);
        g_object_unref(font);
    }
    return m;
}

}  // namespace

Font::Font(const LOGFONTW& logFont) : logFont_(logFont) {
    description_ = pango_font_description_new();
    pango_font_description_set_family(description_, FamilyFor(logFont).c_str());
    int weight = logFont.lfWeight <= 0 ? FW_NORMAL : std::min<int>(std::max<int>(logFont.lfWeight, 100), 1000);
    pango_font_description_set_weight(description_, static_cast<PangoWeight>(weight));
    pango_font_description_set_style(description_, logFont.lfItalic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    double pixels;
    if (logFont.lfHeight < 0) {
        pixels = -static_cast<double>(logFont.lfHeight);
    } else if (logFont.lfHeight > 0) {
        // A cell height: find the em size whose ascent + descent makes it.
        Extent m = ExtentAt(description_, 100.0);
        pixels = std::max(1.0, std::floor(logFont.lfHeight * 100.0 / (m.ascent + m.descent) + 0.5));
    } else {
        pixels = 12.0 * skyvane::ScreenDpi() / 96.0;
    }
    pango_font_description_set_absolute_size(description_, pixels * PANGO_SCALE);
    if (logFont.lfWidth != 0) SKYVANE_LOG("gdi", "CreateFontIndirectW: lfWidth %d is ignored", (int)logFont.lfWidth);
}

Font::~Font() { pango_font_description_free(description_); }

int Font::Describe(int cbBuffer, void* out) const {
    if (!out) return sizeof(LOGFONTW);
    if (cbBuffer < static_cast<int>(sizeof(LOGFONTW))) return 0;
    std::memcpy(out, &logFont_, sizeof logFont_);
    return sizeof(LOGFONTW);
}

const FontMetrics& Font::Metrics() const {
    std::call_once(metricsOnce_, [this] {
        FontMetrics& m = metrics_;
        m.emHeight = static_cast<int>(pango_font_description_get_size(description_) / PANGO_SCALE);
        PangoFont* font = pango_context_load_font(TextContext(), description_);
        if (!font) {
            m.ascent = m.emHeight;
            m.averageCharWidth = m.maxCharWidth = m.emHeight / 2;
            return;
        }
        PangoFontMetrics* fm = pango_font_get_metrics(font, nullptr);
        m.ascent = PANGO_PIXELS_CEIL(pango_font_metrics_get_ascent(fm));
        m.descent = PANGO_PIXELS_CEIL(pango_font_metrics_get_descent(fm));
        m.averageCharWidth = PANGO_PIXELS(pango_font_metrics_get_approximate_char_width(fm));
        m.maxCharWidth = PANGO_PIXELS(pango_font_metrics_get_approximate_digit_width(fm)) * 2;
        pango_font_metrics_unref(fm);
        PangoFontDescription* resolved = pango_font_describe(font);
        const char* family = pango_font_description_get_family(resolved);
        m.family = FromUtf8(family ? family : "");
        pango_font_description_free(resolved);
        g_object_unref(font);
    });
    return metrics_;
}

std::shared_ptr<Font> SystemFont() {
    LOGFONTW lf{};
    lf.lfHeight = -(12 * skyvane::ScreenDpi() + 48) / 96;
    lf.lfWeight = FW_NORMAL;
    std::memcpy(lf.lfFaceName, u"Tahoma", sizeof(u"Tahoma"));
    return std::make_shared<Font>(lf);
}

PangoContext* TextContext() {
    struct Holder {
        PangoContext* context;
        Holder() {
            // The thread's own font map: Pango's font maps are not shared
            // between threads.
            context = pango_font_map_create_context(pango_cairo_font_map_get_default());
            cairo_font_options_t* options = cairo_font_options_create();
            cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
            cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
            cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
            pango_cairo_context_set_font_options(context, options);
            cairo_font_options_destroy(options);
            pango_cairo_context_set_resolution(context, 96.0);
        }
        ~Holder() { g_object_unref(context); }
    };
    thread_local Holder holder;
    return holder.context;
}

}  // namespace skyvane::gdi

using namespace skyvane::gdi;

HFONT CreateFontIndirectW(const LOGFONTW* lplf) {
    if (!lplf) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return static_cast<HFONT>(AddObject(std::make_shared<Font>(*lplf)));
}
