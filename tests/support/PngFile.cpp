#include "support/PngFile.h"

#include <png.h>

#include <cstdio>

namespace vem::test {

namespace {

std::size_t at(const PngPicture& p, int x, int y) {
    return (static_cast<std::size_t>(y) * static_cast<std::size_t>(p.Width) + static_cast<std::size_t>(x)) * 4;
}

} // namespace

TColor PngPicture::Rgb(int x, int y) const {
    const std::size_t i = at(*this, x, y);
    return RGB(Rgba[i], Rgba[i + 1], Rgba[i + 2]);
}

int PngPicture::Alpha(int x, int y) const { return Rgba[at(*this, x, y) + 3]; }

PngPicture ReadPng(const std::string& fileName) {
    PngPicture result;
    // The header's own fields: the simplified reader below converts whatever
    // it finds into the format asked for.
    if (std::FILE* f = std::fopen(fileName.c_str(), "rb")) {
        unsigned char head[26] = {};
        if (std::fread(head, 1, sizeof head, f) == sizeof head && png_sig_cmp(head, 0, 8) == 0) {
            result.BitDepth = head[24];
            result.ColorType = head[25];
        }
        std::fclose(f);
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, fileName.c_str())) return result;
    // 8-bit RGBA out of an 8-bit RGBA file is a plain copy: no premultiplying,
    // no gamma.
    image.format = PNG_FORMAT_RGBA;
    result.Rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, result.Rgba.data(), 0, nullptr)) {
        png_image_free(&image);
        result.Rgba.clear();
        return result;
    }
    result.Read = true;
    result.Width = static_cast<int>(image.width);
    result.Height = static_cast<int>(image.height);
    return result;
}

} // namespace vem::test
