// PNG files read back through libpng's own reader, so that the tests of the
// program's PNG writer never check it with its own code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/pixels/Color.h"

namespace vem::test {

struct PngPicture {
    // False when libpng cannot read the file as a PNG.
    bool Read = false;
    // From the header, as stored: 8 and 6 for 8-bit RGBA.
    int BitDepth = 0, ColorType = 0;
    int Width = 0, Height = 0;
    // Red, green, blue, alpha per pixel, rows top first, exactly as stored
    // (never premultiplied).
    std::vector<std::uint8_t> Rgba;

    TColor Rgb(int x, int y) const;
    int Alpha(int x, int y) const;
};

PngPicture ReadPng(const std::string& fileName);

} // namespace vem::test
