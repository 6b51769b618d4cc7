// The settings every conversion reads: mode, colours, start point, levels.
#pragma once

#include <cstdint>

#include "core/pixels/Color.h"

namespace vem {

// The conversion settings; all 0 at start.
struct TConvSettings {
    std::int32_t ConvMode = 0;
    TColor TargetColor = 0;
    TColor BackColor = 0;
    std::int32_t PointX = 0;
    std::int32_t PointY = 0;
    std::int32_t ApproxLV = 0;
    std::int32_t LimitLV = 0;
};

} // namespace vem
