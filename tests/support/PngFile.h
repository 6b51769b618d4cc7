// PNG files read back through libpng's own reader, so that the tests of the
// program's PNG writer never check it with its own code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/pixels/Color.h"

namespace vem::test {

struct PngPicture {
    // True when libpng read the file and found 8-bit RGBA in it.
    bool Rgba8 = false;
    int Width = 0, Height = 0;
    // Red, green, blue, alpha per pixel, rows top first, exactly as stored
    // (never premultiplied).
    std::vector<std::uint8_t> Rgba;

    TColor Rgb(int x, int y) const;
    int Alpha(int x, int y) const;
};

PngPicture ReadPng(const std::string& fileName);

} // namespace vem::test
