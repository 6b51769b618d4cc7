// The value forms that vem-cli accepts on its command line.
#pragma once

#include <cstdint>
#include <string>

#include "core/pixels/Color.h"

namespace vemcli {

// "#RRGGBB" (hex digits) or "R,G,B" (decimal 0-255 each) into RGB(R, G, B).
bool ParseColor(const std::string& text, vem::TColor& color);
// "X,Y", each an integer as the settings dialog reads its fields.
bool ParsePoint(const std::string& text, std::int32_t& x, std::int32_t& y);

} // namespace vemcli
