// System colours: one plain, light style shared by every control.
#include "platform/gdi/objects.h"
#include "platform/user/user.h"

namespace {

constexpr int kColourCount = COLOR_STATICTEXT + 1;

constexpr COLORREF kColours[kColourCount] = {
    RGB(224, 224, 224),  // COLOR_SCROLLBAR
    RGB(255, 255, 255),  // COLOR_BACKGROUND
    RGB(0, 84, 166),     // COLOR_ACTIVECAPTION
    RGB(128, 128, 128),  // COLOR_INACTIVECAPTION
    RGB(255, 255, 255),  // COLOR_MENU
    RGB(255, 255, 255),  // COLOR_WINDOW
    RGB(128, 128, 128),  // COLOR_WINDOWFRAME
    RGB(0, 0, 0),        // COLOR_MENUTEXT
    RGB(0, 0, 0),        // COLOR_WINDOWTEXT
    RGB(255, 255, 255),  // COLOR_CAPTIONTEXT
    RGB(128, 128, 128),  // COLOR_ACTIVEBORDER
    RGB(192, 192, 192),  // COLOR_INACTIVEBORDER
    RGB(255, 255, 255),  // COLOR_APPWORKSPACE
    RGB(0, 84, 166),     // COLOR_HIGHLIGHT
    RGB(255, 255, 255),  // COLOR_HIGHLIGHTTEXT
    RGB(232, 232, 232),  // COLOR_BTNFACE
    RGB(140, 140, 140),  // COLOR_BTNSHADOW
    RGB(160, 160, 160),  // COLOR_GRAYTEXT
    RGB(0, 0, 0),        // COLOR_BTNTEXT
    RGB(224, 224, 224),  // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255),  // COLOR_BTNHIGHLIGHT
    RGB(64, 64, 64),     // COLOR_3DDKSHADOW
    RGB(208, 208, 208),  // COLOR_3DLIGHT
    RGB(0, 0, 0),        // COLOR_INFOTEXT
    RGB(255, 255, 225),  // COLOR_INFOBK
    RGB(255, 255, 255),  // COLOR_STATIC
    RGB(0, 0, 0),        // COLOR_STATICTEXT
};

}  // namespace

DWORD GetSysColor(int nIndex) { return nIndex >= 0 && nIndex < kColourCount ? kColours[nIndex] : 0; }

HBRUSH GetSysColorBrush(int nIndex) {
    struct Brushes {
        HBRUSH brushes[kColourCount];
        Brushes() {
            for (int i = 0; i < kColourCount; ++i)
                brushes[i] = static_cast<HBRUSH>(
                    skyvane::gdi::AddObject(std::make_shared<skyvane::gdi::Brush>(kColours[i]), /*stock=*/true));
        }
    };
    static auto* all = new Brushes;
    return nIndex >= 0 && nIndex < kColourCount ? all->brushes[nIndex] : nullptr;
}
