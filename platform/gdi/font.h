// Fonts: a LOGFONTW turned into a Pango font description, with the metrics
// GDI reports for it.
//
// lfHeight < 0 asks for a character (em) height of -lfHeight pixels; > 0 for
// a cell height (ascent + descent) of lfHeight pixels; 0 for the system
// font's size. The platform's usual faces ("Tahoma", "System", none) become
// the narrow sans face installed here; any face fontconfig does not know falls
// back to the default sans face, and characters missing from the face come
// from other fonts (fontconfig's fallback).
#pragma once

#include <pango/pangocairo.h>

#include <memory>
#include <mutex>
#include <string>

#include "platform/gdi/objects.h"

namespace skyvane::gdi {

struct FontMetrics {
    int ascent = 0;
    int descent = 0;
    int emHeight = 0;  // the character height in pixels
    int averageCharWidth = 0;
    int maxCharWidth = 0;
    std::u16string family;  // as fontconfig resolved it
};

class Font : public GdiObject {
public:
    explicit Font(const LOGFONTW& logFont);
    ~Font() override;
    DWORD Type() const override { return OBJ_FONT; }
    int Describe(int cbBuffer, void* out) const override;

    const LOGFONTW& LogFont() const { return logFont_; }
    const PangoFontDescription* Description() const { return description_; }
    const FontMetrics& Metrics() const;
    bool Underline() const { return logFont_.lfUnderline != 0; }
    bool StrikeOut() const { return logFont_.lfStrikeOut != 0; }

private:
    LOGFONTW logFont_;
    PangoFontDescription* description_;
    mutable std::once_flag metricsOnce_;
    mutable FontMetrics metrics_;
};

// The stock SYSTEM_FONT: the default face at 12 pixels scaled by the dpi.
std::shared_ptr<Font> SystemFont();

// The Pango context text is laid out with on this thread: grey anti-aliasing,
// slight hinting and whole-pixel advances, as the platform's text looks.
PangoContext* TextContext();

}  // namespace skyvane::gdi
