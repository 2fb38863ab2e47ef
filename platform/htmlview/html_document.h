// The small HTML the system writes, read into blocks of styled runs: the
// parser behind the HTML view. Unknown tags are skipped with their text kept;
// the contents of head, title, style and script are not shown.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/gdi/gdi_types.h"

namespace skyvane::htmlview {

struct Run {
    std::u16string text;
    bool bold = false;
    bool italic = false;
    int sizeStep = 0;  // -1 for each <small>, +1 for each <big> or heading level
    std::optional<COLORREF> colour;
    std::u16string href;  // non-empty inside a link
};

enum class Align { Left, Center, Right };

// A paragraph (or a heading, a list item, a line of text between blocks),
// or a table row when cells is not empty.
struct Block {
    std::vector<Run> runs;
    std::vector<std::vector<Run>> cells;
    Align align = Align::Left;
    bool spaced = false;  // a paragraph: a gap before and after
    bool rule = false;    // <hr>
};

struct Document {
    std::vector<Block> blocks;
    std::optional<COLORREF> background;
    std::optional<COLORREF> text;
    int fontPoints = 0;  // from the body's style; 0: the control's default
    std::u16string fontFace;
    Align align = Align::Left;
};

Document ParseHtml(std::u16string_view html);

// A colour in one of the forms HTML gives: "#rgb", "#rrggbb" or a name.
std::optional<COLORREF> ParseColour(std::u16string_view text);

}  // namespace skyvane::htmlview
