#include "support/EnginePictures.h"

#include "core/pixels/PixelCodec.h"

namespace vem::test {

std::unique_ptr<TBitmap> MakeBitmap24(int width, int height, const PixelFunction& f, bool topDown) {
    auto img = std::make_shared<TBitmapImage>();
    img->Width = width;
    img->StoredHeight = topDown ? -height : height;
    img->BitCount = 24;
    img->Pixels = PixelBlock::Zeroed(static_cast<std::size_t>(img->Stride() * static_cast<std::uint64_t>(height)));
    const PixelCodec codec(*img);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) codec.Store(img->PictureRow(y), x, codec.Encode(f(x, y)));
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetImage(std::move(img));
    return bitmap;
}

std::unique_ptr<TBitmap> MakeRandomBitmap(int width, int height, std::mt19937& rng, int colors, int noise) {
    std::vector<TColor> palette;
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < colors; ++i) palette.push_back(RGB(byte(rng), byte(rng), byte(rng)));
    std::uniform_int_distribution<int> pick(0, colors - 1);
    std::uniform_int_distribution<int> jitter(-noise, noise);
    // Patches of one palette colour (cells of a random size), with one pixel
    // in six of another colour, so that regions of every size occur.
    const int cell = std::uniform_int_distribution<int>(1, 9)(rng);
    const int cellsX = width / cell + 1, cellsY = height / cell + 1;
    std::vector<int> cellColor(static_cast<std::size_t>(cellsX) * cellsY);
    for (int& c : cellColor) c = pick(rng);
    std::uniform_int_distribution<int> stray(0, 5);
    auto clamp = [](int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
    std::vector<TColor> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int index = stray(rng) == 0 ? pick(rng) : cellColor[static_cast<std::size_t>(y / cell) * cellsX + x / cell];
            const TColor c = palette[static_cast<std::size_t>(index)];
            pixels[static_cast<std::size_t>(y) * width + x] =
                RGB(clamp(GetRValue(c) + jitter(rng)), clamp(GetGValue(c) + jitter(rng)), clamp(GetBValue(c) + jitter(rng)));
        }
    return MakeBitmap24(width, height, [&](int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; });
}

void PutPicture(TImageSlot& slot, const TBitmap& bitmap, bool keepExtent) {
    slot.Image1.Picture().AssignGraphic(&bitmap);
    if (!keepExtent) slot.Image1.SetBounds(bitmap.Width(), bitmap.Height());
    slot.RenewWorkBmp();
}

TColor PixelAt(const TImageSlot& slot, int x, int y) {
    const auto* bitmap = dynamic_cast<const TBitmap*>(slot.Image1.Picture().Graphic());
    return bitmap ? bitmap->PixelColor(x, y) : -1;
}

bool PictureEquals(const TImageSlot& slot, int width, int height, const PixelFunction& f) {
    if (slot.Image1.Picture().Width() != width || slot.Image1.Picture().Height() != height) return false;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (PixelAt(slot, x, y) != f(x, y)) return false;
    return true;
}

} // namespace vem::test
