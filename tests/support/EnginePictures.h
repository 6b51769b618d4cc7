// Pictures built in code for the engine tests: stores filled from a function,
// slots given a picture the way a file load would, pixels read back.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <random>

#include "core/pixels/Bitmap.h"
#include "core/workspace/Workspace.h"

namespace vem::test {

using PixelFunction = std::function<TColor(int x, int y)>;

// A 24-bit bitmap (bottom-up unless TopDown) with pixel (x, y) = F(x, y).
std::unique_ptr<TBitmap> MakeBitmap24(int width, int height, const PixelFunction& f, bool topDown = false);

// A picture of patches of random colours drawn from a palette of Colors
// entries, with stray pixels; Noise adds up to that much per channel.
std::unique_ptr<TBitmap> MakeRandomBitmap(int width, int height, std::mt19937& rng, int colors, int noise = 0);

// Puts a copy of Bitmap into the slot as FileLoad would: picture, extent
// (unless KeepExtent), WorkBmp, caption.
void PutPicture(TImageSlot& slot, const TBitmap& bitmap, bool keepExtent = false);

// Colour of pixel (x, y) of the slot's picture, through its own depth.
TColor PixelAt(const TImageSlot& slot, int x, int y);

// Every pixel of the slot's picture equals the function's value.
bool PictureEquals(const TImageSlot& slot, int width, int height, const PixelFunction& f);

} // namespace vem::test
