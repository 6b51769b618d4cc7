#include "PictureImage.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/Bitmap.h"
#include "core/Errors.h"
#include "core/PixelFormat.h"

namespace vemui {
namespace {

inline QRgb toRgb32(vem::TColor c) { return qRgb(vem::GetRValue(c), vem::GetGValue(c), vem::GetBValue(c)); }

void copy24(const std::uint8_t* src, QRgb* dst, int width) {
    for (int x = 0; x < width; ++x, src += 3) dst[x] = qRgb(src[2], src[1], src[0]);
}

// Blue, green, red, unused: on a little-endian machine exactly RGB32 once the
// unused byte is forced to 0xFF.
void copy32(const std::uint8_t* src, QRgb* dst, int width) {
    static_assert(std::endian::native == std::endian::little);
    std::memcpy(dst, src, static_cast<std::size_t>(width) * 4);
    for (int x = 0; x < width; ++x) dst[x] |= 0xFF000000u;
}

} // namespace

QImage PictureToQImage(const vem::TPicture& picture) {
    const auto* bitmap = dynamic_cast<const vem::TBitmap*>(picture.Graphic());
    if (!bitmap) return QImage();
    const vem::TBitmapImage& store = bitmap->Image();
    const int width = store.Width;
    const int height = store.Height();
    if (!store.HasPixels() || width <= 0 || height <= 0 || store.BitCount == 0) return QImage();
    // A store whose block is shorter than its header claims is shown as
    // nothing rather than read past its end.
    const std::uint64_t need = store.Stride() * static_cast<std::uint64_t>(height);
    if (need > store.Pixels.size()) return QImage();

    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) vem::RaiseOutOfMemory();

    const bool plain = store.Compression == 0;
    if (plain && store.BitCount == 24) {
        for (int y = 0; y < height; ++y)
            copy24(store.PictureRow(y), reinterpret_cast<QRgb*>(image.scanLine(y)), width);
    } else if (plain && store.BitCount == 32) {
        for (int y = 0; y < height; ++y)
            copy32(store.PictureRow(y), reinterpret_cast<QRgb*>(image.scanLine(y)), width);
    } else {
        const vem::PixelCodec codec(store);
        std::vector<vem::TColor> colors(static_cast<std::size_t>(width));
        for (int y = 0; y < height; ++y) {
            codec.DecodeRow(store.PictureRow(y), 0, width, colors.data());
            auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < width; ++x) dst[x] = toRgb32(colors[static_cast<std::size_t>(x)]);
        }
    }
    return image;
}

} // namespace vemui
