// A parsed HTML document laid out at a width with Pango: where each
// paragraph and table cell lies, drawing it, and finding the link under a
// point.
#pragma once

#include <pango/pangocairo.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/htmlview/html_document.h"

namespace skyvane::htmlview {

class HtmlLayout {
public:
    // basePixels: the text size when the document names none; face likewise.
    HtmlLayout(const Document& doc, int width, int basePixels, const std::u16string& face);
    ~HtmlLayout();
    HtmlLayout(const HtmlLayout&) = delete;
    HtmlLayout& operator=(const HtmlLayout&) = delete;

    int Height() const { return height_; }
    COLORREF Background() const { return background_; }
    // Draws with the content's top at y = -scroll.
    void Draw(cairo_t* cr, int scroll) const;
    // The address of the link at a point of the content, or empty.
    std::u16string LinkAt(int x, int y) const;

private:
    struct Link {
        int start, end;  // byte range in the piece's text
        std::u16string href;
    };
    struct Piece {
        PangoLayout* layout = nullptr;
        int x = 0, y = 0, width = 0, height = 0;
        std::vector<Link> links;
    };
    struct Rule {
        int x, y, width;
    };

    Piece MakePiece(const std::vector<Run>& runs, int width, Align align, bool bold) const;

    std::vector<Piece> pieces_;
    std::vector<Rule> rules_;
    int height_ = 0;
    COLORREF background_, text_;
    double basePixels_;
    std::string family_;
};

}  // namespace skyvane::htmlview
