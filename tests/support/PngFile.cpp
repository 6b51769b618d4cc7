#include "support/PngFile.h"

#include <png.h>

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
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, fileName.c_str())) return result;
    // The format as stored; 8-bit RGBA out of it is then a plain copy: no
    // premultiplying, no gamma.
    const bool rgba8 = image.format == PNG_FORMAT_RGBA;
    image.format = PNG_FORMAT_RGBA;
    result.Rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, result.Rgba.data(), 0, nullptr)) return result;
    result.Rgba8 = rgba8;
    result.Width = static_cast<int>(image.width);
    result.Height = static_cast<int>(image.height);
    return result;
}

} // namespace vem::test
