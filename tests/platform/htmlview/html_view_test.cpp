// The HTML view: what the parser makes of the pages the system writes, what
// the control draws, pages read from files in their encodings, and links.
#include <cairo.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "platform/htmlview/html_document.h"
#include "platform/htmlview/htmlview.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/user/backend.h"
#include "platform/user/input.h"
#include "platform/user/ui_fixture.h"

namespace {

using skyvane::htmlview::Align;
using skyvane::htmlview::ParseHtml;
using skyvane::test::UiTest;

// The page the details view builds for an alert (title, time line, text, small print).
const char16_t kAlertPage[] =
    u"<html><head>    <title>Skyvane weather</title>    <style>overflow-x:hidden;</style></head>"
    u"<body style=\"font-size: 10pt; color: #000000; font-style: normal; font-family: Nina; text-align: center; "
    u"background-color: #C0C0C0;\"><p><b>Flood Watch</b></p><p><b>From 17.05.2024 10:00 <br/>To 18.05.2024 06:00</b></p>"
    u"<p>Heavy rain may cause <font color=\"red\">flooding</font> &amp; mudslides.</p>"
    u"<small><p>Issued by the national service</p></small></body></html>";

std::u16string Text(const std::vector<skyvane::htmlview::Run>& runs) {
    std::u16string out;
    for (const auto& r : runs) out += r.text;
    return out;
}

TEST(HtmlParser, TheAlertPage) {
    auto doc = ParseHtml(kAlertPage);
    ASSERT_EQ(doc.blocks.size(), 4u);
    EXPECT_EQ(doc.background, RGB(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(doc.text, RGB(0, 0, 0));
    EXPECT_EQ(doc.fontPoints, 10);
    EXPECT_EQ(doc.fontFace, u"Nina");
    EXPECT_EQ(Text(doc.blocks[0].runs), u"Flood Watch");  // the title is not shown
    EXPECT_TRUE(doc.blocks[0].runs[0].bold);
    EXPECT_EQ(doc.blocks[0].align, Align::Center);
    EXPECT_EQ(Text(doc.blocks[1].runs), u"From 17.05.2024 10:00 \nTo 18.05.2024 06:00");
    const auto& body = doc.blocks[2].runs;
    EXPECT_EQ(Text(body), u"Heavy rain may cause flooding & mudslides.");
    ASSERT_EQ(body.size(), 3u);
    EXPECT_EQ(body[1].colour, RGB(255, 0, 0));
    EXPECT_FALSE(body[0].colour.has_value());
    EXPECT_EQ(doc.blocks[3].runs[0].sizeStep, -1);
}

TEST(HtmlParser, PiecesTheSystemUses) {
    struct Case {
        int line;
        const char16_t* html;
        const char16_t* firstBlockText;
        std::size_t blocks;
    } cases[] = {
        {__LINE__, u"<p>a  \r\n  b</p>", u"a b", 1},                         // white space collapses
        {__LINE__, u"<p>&lt;x&gt; &#1046;&#x416; &nbsp;&unknown;</p>", u"<x> ЖЖ \u00A0&unknown;", 1},
        {__LINE__, u"<!-- note --><p>shown</p><script>hidden()</script>", u"shown", 1},
        {__LINE__, u"<table><tr><td>Mon</td><td>23</td></tr><tr><th>Tue</th><td>19</td></tr></table>", u"", 2},
        {__LINE__, u"<center>in the middle</center><p align=right>right</p>", u"in the middle", 2},
        {__LINE__, u"<p>unclosed <b>bold", u"unclosed bold", 1},
        {__LINE__, u"plain text <a href=\"http://example.org/map\">map</a>", u"plain text map", 1},
        {__LINE__, u"<p><font color=#12G>bad colour</font></p>", u"bad colour", 1},
        {__LINE__, u"<p>a<", u"a<", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        auto doc = ParseHtml(c.html);
        ASSERT_EQ(doc.blocks.size(), c.blocks);
        EXPECT_EQ(Text(doc.blocks[0].runs), c.firstBlockText);
    }
    auto table = ParseHtml(u"<table><tr><td>Mon</td><td>23</td></tr><tr><th>Tue</th><td>19</td></tr></table>");
    ASSERT_EQ(table.blocks[1].cells.size(), 2u);
    EXPECT_EQ(Text(table.blocks[1].cells[0]), u"Tue");
    EXPECT_TRUE(table.blocks[1].cells[0][0].bold);
    auto link = ParseHtml(u"plain text <a href=\"http://example.org/map\">map</a>");
    EXPECT_EQ(link.blocks[0].runs.back().href, u"http://example.org/map");
    EXPECT_EQ(ParseHtml(u"<center>x</center><p align=right>right</p>").blocks[1].align, Align::Right);
    EXPECT_FALSE(ParseHtml(u"<p><font color=#12G>bad colour</font></p>").blocks[0].runs[0].colour.has_value());
    EXPECT_EQ(skyvane::htmlview::ParseColour(u"#abc"), RGB(0xAA, 0xBB, 0xCC));
    EXPECT_EQ(skyvane::htmlview::ParseColour(u" Navy "), RGB(0, 0, 128));
}

class HtmlView : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        ASSERT_TRUE(InitHTMLControl(nullptr));
        parent_ = MakeWindow(
            [this](HWND, UINT msg, WPARAM, LPARAM lp) -> std::optional<LRESULT> {
                if (msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lp)->code == NM_HOTSPOT) {
                    hotspots.push_back(reinterpret_cast<NM_HTMLVIEWW*>(lp)->szTarget);
                    return takeLinks ? 1 : 0;
                }
                return std::nullopt;
            },
            WS_POPUP | WS_VISIBLE, RECT{0, 0, 240, 200});
        view_ = CreateWindowExW(0, WC_HTML, u"", WS_CHILD | WS_VISIBLE, 0, 0, 240, 200, parent_, nullptr, nullptr, nullptr);
        ASSERT_TRUE(view_);
    }

    // The view saved as PNG and read back.
    cairo_surface_t* Snapshot(const char* name) {
        std::string path = TempPath(name);
        EXPECT_TRUE(skyvane::user::SaveWindowPng(view_, path));
        return cairo_image_surface_create_from_png(path.c_str());
    }
    static std::uint32_t At(cairo_surface_t* s, int x, int y) {
        return reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s))[x] & 0xFFFFFF;
    }

    HWND parent_ = nullptr, view_ = nullptr;
    std::vector<std::u16string> hotspots;
    bool takeLinks = true;
};

TEST_F(HtmlView, DrawsTheBackgroundCentredTextAndRedText) {
    SendMessageW(view_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u""));
    SendMessageW(view_, DTM_ADDTEXTW, FALSE, reinterpret_cast<LPARAM>(kAlertPage));
    SendMessageW(view_, DTM_ENDOFSOURCE, 0, 0);
    cairo_surface_t* png = Snapshot("alert.png");
    ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(At(png, 1, 1), 0xC0C0C0u);
    EXPECT_EQ(At(png, 238, 198), 0xC0C0C0u);
    int inkLeft = 240, inkRight = 0, red = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 240; ++x) {
            std::uint32_t p = At(png, x, y);
            if (p == 0xC0C0C0u) continue;
            if (y < 30) {
                inkLeft = std::min(inkLeft, x);
                inkRight = std::max(inkRight, x);
            }
            if (((p >> 16) & 0xFF) > 200 && ((p >> 8) & 0xFF) < 90) ++red;
        }
    EXPECT_NEAR((inkLeft + inkRight) / 2, 120, 6);  // the title is centred
    EXPECT_GT(red, 20);                             // "flooding" is red
    cairo_surface_destroy(png);
}

TEST_F(HtmlView, ReadsFilesInTheirEncodingAndReportsLinks) {
    struct Case {
        int line;
        std::string bytes;
        const char16_t* href;
    } cases[] = {
        // UTF-16 little-endian with its mark, as the system's log pages are written.
        {__LINE__, [] {
             std::u16string page = u"<p><a href=\"карта\">Карта погоды</a></p>";
             std::string b = "\xFF\xFE";
             for (char16_t c : page) b += {char(c & 0xFF), char(c >> 8)};
             return b;
         }(), u"карта"},
        {__LINE__, [] {
             std::u16string page = u"<p><a href=\"Ελλάδα\">Ελλάδα</a></p>";
             std::string b = "\xFE\xFF";
             for (char16_t c : page) b += {char(c >> 8), char(c & 0xFF)};
             return b;
         }(), u"Ελλάδα"},
        {__LINE__, "\xEF\xBB\xBF<p><a href=\"s\xC3\xBC" "d\">s\xC3\xBC" "d</a></p>", u"süd"},
        {__LINE__, "<p><a href=\"caf\xE9\">caf\xE9</a></p>", u"café"},  // not UTF-8: the code page (1252)
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::string path = TempPath("page.htm");
        std::ofstream(path, std::ios::binary) << c.bytes;
        std::u16string url = u"file://" + skyvane::FromUtf8(path);
        ASSERT_TRUE(SendMessageW(view_, DTM_NAVIGATE, 0, reinterpret_cast<LPARAM>(url.c_str())));
        hotspots.clear();
        skyvane::user::InjectClick(view_, 12, 8);  // on the link's first letters
        Pump();
        ASSERT_EQ(hotspots.size(), 1u);
        EXPECT_EQ(hotspots[0], c.href);
    }
    EXPECT_FALSE(SendMessageW(view_, DTM_NAVIGATE, 0, reinterpret_cast<LPARAM>(u"file:///no/such/page.htm")));
}

TEST_F(HtmlView, UnansweredLinksOpenWithTheShell) {
    std::string out = TempPath("opened.txt");
    std::string opener = TempPath("opener.sh");
    std::ofstream(opener) << "#!/bin/sh\necho \"$1\" > " << out << "\n";
    chmod(opener.c_str(), 0755);
    skyvane::test::ScopedEnv env("SKYVANE_OPENER", opener.c_str());
    takeLinks = false;
    SetWindowTextW(view_, u"<a href=\"http://example.org/radar\">Current Radar</a>");
    skyvane::user::InjectClick(view_, 12, 8);
    Pump();
    ASSERT_EQ(hotspots.size(), 1u);
    std::string opened;
    for (int i = 0; i < 200 && opened.empty(); ++i) {
        usleep(10000);
        std::ifstream in(out);
        std::getline(in, opened);
    }
    EXPECT_EQ(opened, "http://example.org/radar");
    // A tap beside the link opens nothing.
    hotspots.clear();
    skyvane::user::InjectClick(view_, 200, 150);
    Pump();
    EXPECT_TRUE(hotspots.empty());
}

TEST_F(HtmlView, PlainTextIsShownAsItIs) {
    // Plain text (wParam TRUE) keeps its markup characters and line breaks;
    // DTM_CLEAR empties the view.
    SendMessageW(view_, DTM_ADDTEXTW, TRUE, reinterpret_cast<LPARAM>(u"<a href=\"x\">not a link</a>\nline two"));
    SendMessageW(view_, DTM_ENDOFSOURCE, 0, 0);
    skyvane::user::InjectClick(view_, 12, 8);
    Pump();
    EXPECT_TRUE(hotspots.empty());
    cairo_surface_t* text = Snapshot("plain.png");
    int rowsWithInk = 0;
    for (int y = 0; y < 60; ++y) {
        bool ink = false;
        for (int x = 0; x < 230; ++x) ink |= At(text, x, y) != 0xFFFFFFu;
        rowsWithInk += ink;
    }
    EXPECT_GT(rowsWithInk, 16);  // two lines of text
    cairo_surface_destroy(text);
    SendMessageW(view_, DTM_CLEAR, 0, 0);
    cairo_surface_t* empty = Snapshot("empty.png");
    int ink = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 240; ++x) ink += At(empty, x, y) != 0xFFFFFFu;
    EXPECT_EQ(ink, 0);
    cairo_surface_destroy(empty);
}

TEST_F(HtmlView, LongPagesScroll) {
    std::u16string page;
    for (int i = 0; i < 60; ++i) page += u"<p>Paragraph number " + skyvane::FromUtf8(std::to_string(i)) + u"</p>";
    SetWindowTextW(view_, page.c_str());
    cairo_surface_t* top = Snapshot("top.png");
    SetFocus(view_);
    skyvane::user::InjectKeyPress(VK_END);
    Pump();
    cairo_surface_t* end = Snapshot("end.png");
    int differing = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) differing += At(top, x, y) != At(end, x, y);
    EXPECT_GT(differing, 100);  // other paragraphs show
    std::uint32_t barTop = At(end, 235, 100);
    EXPECT_NE(barTop, 0xFFFFFFu);  // a scroll bar along the right edge
    cairo_surface_destroy(top);
    cairo_surface_destroy(end);
}

}  // namespace
