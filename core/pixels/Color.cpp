#include "core/pixels/Color.h"

namespace vem {

namespace {
// A plausible light desktop scheme for the 31 user-interface colour indices
// (scroll bar, background, active caption, ... , menu bar). Without a
// platform to ask, the program uses these fixed values.
constexpr TColor kSystemColors[31] = {
    RGB(200, 200, 200), // 0 scroll bar
    RGB(58, 110, 165),  // 1 background
    RGB(10, 36, 106),   // 2 active caption
    RGB(128, 128, 128), // 3 inactive caption
    RGB(240, 240, 240), // 4 menu
    RGB(255, 255, 255), // 5 window
    RGB(100, 100, 100), // 6 window frame
    RGB(0, 0, 0),       // 7 menu text
    RGB(0, 0, 0),       // 8 window text
    RGB(255, 255, 255), // 9 caption text
    RGB(180, 180, 180), // 10 active border
    RGB(244, 247, 252), // 11 inactive border
    RGB(171, 171, 171), // 12 application workspace
    RGB(0, 120, 215),   // 13 highlight
    RGB(255, 255, 255), // 14 highlight text
    RGB(240, 240, 240), // 15 button face
    RGB(160, 160, 160), // 16 button shadow
    RGB(109, 109, 109), // 17 grey text
    RGB(0, 0, 0),       // 18 button text
    RGB(216, 228, 248), // 19 inactive caption text
    RGB(255, 255, 255), // 20 button highlight
    RGB(105, 105, 105), // 21 3D dark shadow
    RGB(227, 227, 227), // 22 3D light
    RGB(0, 0, 0),       // 23 info text
    RGB(255, 255, 225), // 24 info background
    RGB(0, 0, 0),       // 25 unused
    RGB(0, 102, 204),   // 26 hot light
    RGB(185, 209, 234), // 27 gradient active caption
    RGB(215, 228, 242), // 28 gradient inactive caption
    RGB(0, 120, 215),   // 29 menu highlight
    RGB(240, 240, 240), // 30 menu bar
};
} // namespace

TColor ResolveColor(TColor c) {
    if (c >= 0) return c;
    const unsigned index = static_cast<unsigned>(c) & 0xFFu;
    // An index past the table reads as black, as the platform answers for unknown indices.
    return index < sizeof kSystemColors / sizeof kSystemColors[0] ? kSystemColors[index] : clBlack;
}

} // namespace vem
