// The drawing layer against plain Cairo and Pango drawing the same content,
// interleaved in every iteration so that both see the same machine state:
//  - a 240×80 home-screen frame: background, three alpha-blended 32-pixel
//    icons and one colour-keyed icon, nine texts measured and drawn as the
//    home item draws its cells, and the copy of the frame to the screen;
//    once with the same texts every frame (the drawing layer keeps their
//    layouts) and once with new texts every frame (it cannot);
//  - AlphaBlend of a 96×96 premultiplied image.
// Each benchmark reports the medians of both and their ratio. The aim: the
// frame under 2 ms and within 1.5× of plain Cairo.
#include <benchmark/benchmark.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi/font.h"
#include "platform/gdi/gdi.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// A 32-bit premultiplied picture: a disc fading out to its edge.
void PaintIcon(std::uint32_t* px, int size, int stride, std::uint32_t colour) {
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            int dx = 2 * x - size + 1, dy = 2 * y - size + 1;
            int d = dx * dx + dy * dy, r = size * size;
            int a = d >= r ? 0 : 255 - 255 * d / r;
            int red = ((colour >> 16) & 0xFF) * a / 255, green = ((colour >> 8) & 0xFF) * a / 255, blue = (colour & 0xFF) * a / 255;
            px[y * stride + x] = (std::uint32_t(a) << 24) | (red << 16) | (green << 8) | blue;
        }
}

struct Text {
    const char16_t* text;
    int height, weight;
    RECT rect;
    UINT format;
};

const Text kTexts[] = {
    {u"Moscow", -14, 700, {40, 2, 160, 20}, DT_SINGLELINE},
    {u"23/15", -20, 500, {40, 18, 120, 42}, DT_SINGLELINE | DT_BOTTOM},
    {u"°", -10, 400, {86, 20, 100, 32}, DT_SINGLELINE},
    {u"C", -13, 400, {94, 24, 110, 42}, DT_SINGLELINE | DT_BOTTOM},
    {u"12:45", -13, 400, {180, 2, 238, 20}, DT_SINGLELINE | DT_BOTTOM},
    {u"Partly Cloudy, UV: Moderate, Wind: NNE 5 m/s, 1012 hPa", -11, 400, {112, 22, 238, 62}, DT_WORDBREAK},
    {u"Mon", -11, 400, {4, 62, 60, 78}, DT_SINGLELINE | DT_CENTER},
    {u"Tue", -11, 400, {84, 62, 140, 78}, DT_SINGLELINE | DT_CENTER},
    {u"Wed", -11, 400, {164, 62, 220, 78}, DT_SINGLELINE | DT_CENTER},
};
constexpr int kTextCount = sizeof kTexts / sizeof kTexts[0];
const int kIconX[] = {4, 84, 164};

// The frame drawn through the platform's drawing functions.
class GdiFrame {
public:
    GdiFrame() {
        screen_ = CreateCompatibleDC(nullptr);
        screenBitmap_ = CreateCompatibleBitmap(screen_, 240, 80);
        SelectObject(screen_, screenBitmap_);
        frame_ = CreateCompatibleDC(screen_);
        frameBitmap_ = CreateCompatibleBitmap(screen_, 240, 80);
        SelectObject(frame_, frameBitmap_);
        icons_ = CreateCompatibleDC(nullptr);
        BITMAPINFO bi{};
        bi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 32, -32, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        iconBitmap_ = CreateDIBSection(icons_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        PaintIcon(static_cast<std::uint32_t*>(bits), 32, 32, 0xF0A020);
        SelectObject(icons_, iconBitmap_);
        // A 24-bit style picture on white, drawn with white as the key.
        keyed_ = CreateCompatibleDC(nullptr);
        keyedBitmap_ = CreateCompatibleBitmap(screen_, 32, 32);
        SelectObject(keyed_, keyedBitmap_);
        RECT all{0, 0, 32, 32};
        FillRect(keyed_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        SelectObject(keyed_, GetStockObject(GRAY_BRUSH));
        Ellipse(keyed_, 4, 4, 28, 28);
        background_ = CreateSolidBrush(RGB(230, 240, 255));
        for (int i = 0; i < kTextCount; ++i) {
            LOGFONTW lf{};
            lf.lfHeight = kTexts[i].height;
            lf.lfWeight = kTexts[i].weight;
            std::memcpy(lf.lfFaceName, u"Tahoma", sizeof(u"Tahoma"));
            fonts_[i] = CreateFontIndirectW(&lf);
        }
    }
    ~GdiFrame() {
        for (HFONT f : fonts_) DeleteObject(f);
        DeleteObject(background_);
        DeleteDC(screen_);
        DeleteDC(frame_);
        DeleteDC(icons_);
        DeleteDC(keyed_);
        DeleteObject(screenBitmap_);
        DeleteObject(frameBitmap_);
        DeleteObject(iconBitmap_);
        DeleteObject(keyedBitmap_);
    }

    void Draw(const std::vector<std::u16string>& texts) {
        RECT all{0, 0, 240, 80};
        FillRect(frame_, &all, background_);
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        for (int x : kIconX) AlphaBlend(frame_, x, 24, 32, 32, icons_, 0, 0, 32, 32, blend);
        TransparentImage(frame_, 200, 30, 32, 32, keyed_, 0, 0, 32, 32, RGB(255, 255, 255));
        SetBkMode(frame_, TRANSPARENT);
        SetTextColor(frame_, RGB(20, 20, 60));
        for (int i = 0; i < kTextCount; ++i) {
            // As the home item draws a cell: measured first, then drawn.
            SelectObject(frame_, fonts_[i]);
            RECT measured = kTexts[i].rect;
            DrawTextW(frame_, texts[i].c_str(), -1, &measured, kTexts[i].format | DT_CALCRECT);
            RECT r = kTexts[i].rect;
            DrawTextW(frame_, texts[i].c_str(), -1, &r, kTexts[i].format);
        }
        BitBlt(screen_, 0, 0, 240, 80, frame_, 0, 0, SRCCOPY);
    }

private:
    HDC screen_, frame_, icons_, keyed_;
    HBITMAP screenBitmap_, frameBitmap_, iconBitmap_, keyedBitmap_;
    HBRUSH background_;
    HFONT fonts_[kTextCount];
};

// The same frame drawn straight with Cairo and Pango.
class CairoFrame {
public:
    CairoFrame() {
        screen_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 240, 80);
        frame_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 240, 80);
        icon_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 32, 32);
        PaintIcon(reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(icon_)), 32,
                  cairo_image_surface_get_stride(icon_) / 4, 0xF0A020);
        cairo_surface_mark_dirty(icon_);
        keyed_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 32, 32);
        cairo_t* k = cairo_create(keyed_);
        cairo_set_source_rgb(k, 0.5, 0.5, 0.5);
        cairo_arc(k, 16, 16, 12, 0, 6.2832);
        cairo_fill(k);
        cairo_destroy(k);
        context_ = pango_font_map_create_context(pango_cairo_font_map_get_default());
        // The same text rendering as the drawing layer's.
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
        pango_cairo_context_set_font_options(context_, options);
        cairo_font_options_destroy(options);
        for (int i = 0; i < kTextCount; ++i) {
            fonts_[i] = pango_font_description_from_string("DejaVu Sans Condensed");
            pango_font_description_set_absolute_size(fonts_[i], -kTexts[i].height * PANGO_SCALE);
            pango_font_description_set_weight(fonts_[i], static_cast<PangoWeight>(kTexts[i].weight));
        }
        cr_ = cairo_create(frame_);
        screenCr_ = cairo_create(screen_);
    }
    ~CairoFrame() {
        for (auto* f : fonts_) pango_font_description_free(f);
        g_object_unref(context_);
        cairo_destroy(cr_);
        cairo_destroy(screenCr_);
        for (auto* s : {screen_, frame_, icon_, keyed_}) cairo_surface_destroy(s);
    }

    void Draw(const std::vector<std::u16string>& texts) {
        cairo_set_source_rgb(cr_, 230 / 255.0, 240 / 255.0, 1.0);
        cairo_paint(cr_);
        for (int x : kIconX) {
            cairo_set_source_surface(cr_, icon_, x, 24);
            cairo_paint(cr_);
        }
        cairo_set_source_surface(cr_, keyed_, 200, 30);
        cairo_paint(cr_);
        for (int i = 0; i < kTextCount; ++i) {
            const Text& t = kTexts[i];
            std::string utf8;
            for (char16_t c : texts[i]) {
                if (c < 0x80) utf8 += char(c);
                else utf8 += {char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F))};
            }
            PangoLayout* layout = pango_layout_new(context_);
            pango_layout_set_font_description(layout, fonts_[i]);
            pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
            if (t.format & DT_WORDBREAK) {
                pango_layout_set_width(layout, (t.rect.right - t.rect.left) * PANGO_SCALE);
                pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
            }
            int w, h;
            pango_layout_get_pixel_size(layout, &w, &h);
            int x = t.rect.left, y = t.rect.top;
            if (t.format & DT_CENTER) x = (t.rect.left + t.rect.right - w) / 2;
            if (t.format & DT_BOTTOM) y = t.rect.bottom - h;
            cairo_save(cr_);
            cairo_rectangle(cr_, t.rect.left, t.rect.top, t.rect.right - t.rect.left, t.rect.bottom - t.rect.top);
            cairo_clip(cr_);
            cairo_set_source_rgb(cr_, 20 / 255.0, 20 / 255.0, 60 / 255.0);
            cairo_move_to(cr_, x, y);
            pango_cairo_show_layout(cr_, layout);
            cairo_restore(cr_);
            g_object_unref(layout);
        }
        cairo_surface_flush(frame_);
        cairo_set_source_surface(screenCr_, frame_, 0, 0);
        cairo_set_operator(screenCr_, CAIRO_OPERATOR_SOURCE);
        cairo_paint(screenCr_);
        cairo_surface_flush(screen_);
    }

private:
    cairo_surface_t *screen_, *frame_, *icon_, *keyed_;
    cairo_t *cr_, *screenCr_;
    PangoContext* context_;
    PangoFontDescription* fonts_[kTextCount];
};

void Report(benchmark::State& state, const char* what, std::vector<double>& ours, std::vector<double>& plain) {
    double m1 = Median(ours), m2 = Median(plain);
    state.counters["gdi_ms"] = m1;
    state.counters["cairo_ms"] = m2;
    state.counters["ratio"] = m2 > 0 ? m1 / m2 : 0;
    std::fprintf(stderr, "%s: GDI %.3f ms, plain Cairo %.3f ms, ratio %.2f (medians of %zu)\n", what, m1, m2,
                 m2 > 0 ? m1 / m2 : 0.0, ours.size());
}

// The frame's texts; with a frame number, each text changed so that no
// frame repeats the one before (as when the clock or the weather moves on).
std::vector<std::u16string> Texts(int frame) {
    std::vector<std::u16string> texts;
    for (const Text& t : kTexts) {
        std::u16string text = t.text;
        if (frame >= 0) text += u" " + std::u16string(1, char16_t(u'0' + frame % 10)) + char16_t(u'0' + frame / 10 % 10);
        texts.push_back(text);
    }
    return texts;
}

// changing: every frame draws new texts; otherwise the same texts again, as
// the home item redraws on its timer.
void Frame(benchmark::State& state, bool changing) {
    GdiFrame gdi;
    CairoFrame cairo;
    gdi.Draw(Texts(-1));  // fonts and glyphs loaded before timing
    cairo.Draw(Texts(-1));
    std::vector<double> ours, plain;
    int frame = 0;
    for (auto _ : state) {
        std::vector<std::u16string> texts = Texts(changing ? frame++ : -1);
        auto t0 = Clock::now();
        gdi.Draw(texts);
        auto t1 = Clock::now();
        cairo.Draw(texts);
        auto t2 = Clock::now();
        ours.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        plain.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
    Report(state, changing ? "240x80 frame, new texts each frame" : "240x80 frame, same texts", ours, plain);
}

void BM_Frame240x80_SameTexts(benchmark::State& state) { Frame(state, false); }
void BM_Frame240x80_NewTexts(benchmark::State& state) { Frame(state, true); }

void BM_AlphaBlend96(benchmark::State& state) {
    HDC dst = CreateCompatibleDC(nullptr);
    HBITMAP dstBitmap = CreateCompatibleBitmap(dst, 96, 96);
    SelectObject(dst, dstBitmap);
    RECT all{0, 0, 96, 96};
    FillRect(dst, &all, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    HDC src = CreateCompatibleDC(nullptr);
    BITMAPINFO bi{};
    bi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 96, -96, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP srcBitmap = CreateDIBSection(src, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    PaintIcon(static_cast<std::uint32_t*>(bits), 96, 96, 0x2080F0);
    SelectObject(src, srcBitmap);

    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 96, 96);
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 96, 96);
    PaintIcon(reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(image)), 96,
              cairo_image_surface_get_stride(image) / 4, 0x2080F0);
    cairo_surface_mark_dirty(image);
    cairo_t* cr = cairo_create(target);

    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    std::vector<double> ours, plain;
    for (auto _ : state) {
        auto t0 = Clock::now();
        AlphaBlend(dst, 0, 0, 96, 96, src, 0, 0, 96, 96, blend);
        auto t1 = Clock::now();
        cairo_set_source_surface(cr, image, 0, 0);
        cairo_paint(cr);
        cairo_surface_flush(target);
        auto t2 = Clock::now();
        ours.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        plain.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
    Report(state, "AlphaBlend 96x96", ours, plain);
    cairo_destroy(cr);
    cairo_surface_destroy(image);
    cairo_surface_destroy(target);
    DeleteDC(src);
    DeleteDC(dst);
    DeleteObject(srcBitmap);
    DeleteObject(dstBitmap);
}

BENCHMARK(BM_Frame240x80_SameTexts)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Frame240x80_NewTexts)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_AlphaBlend96)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
    // A device of its own, so that the dpi read from the device profile is
    // the default and nothing is written into the user's device.
    char root[] = "/tmp/skyvane-gdi-bench-XXXXXX";
    if (mkdtemp(root)) setenv("SKYVANE_ROOT", root, 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::string command = std::string("rm -rf ") + root;
    return std::system(command.c_str()) == 0 ? 0 : 1;
}
