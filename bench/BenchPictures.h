// Deterministic pictures for the benchmarks, built in memory, and the clock
// they are timed with.
#pragma once

#include <cmath>
#include <cstdint>
#include <ctime>
#include <memory>
#include <utility>

#include "core/pixels/Bitmap.h"

namespace vembench {

using namespace vem;

// The machine is shared: the processor time of this thread (page faults
// included) is steadier than the wall clock, for the copy and the operations alike.
inline double threadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// A small integer hash: deterministic noise without a generator's state.
inline std::uint32_t hash(std::uint32_t x, std::uint32_t y, std::uint32_t salt) {
    std::uint32_t h = x * 0x9E3779B1u ^ (y + salt) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

inline std::uint8_t clampByte(int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

inline int sideOf(int megapixels) { return megapixels == 64 ? 8192 : megapixels == 16 ? 4096 : 1024; }

template <class F> std::unique_ptr<TBitmap> makePicture(int w, int h, F&& colourAt) {
    auto img = std::make_shared<TBitmapImage>();
    img->Width = w;
    img->StoredHeight = h;
    img->BitCount = 24;
    img->Pixels = PixelBlock::Uninitialized(static_cast<std::size_t>(img->Stride() * static_cast<std::uint64_t>(h)));
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = img->PictureRow(y);
        for (int x = 0; x < w; ++x) {
            const TColor c = colourAt(x, y);
            row[3 * x] = GetBValue(c);
            row[3 * x + 1] = GetGValue(c);
            row[3 * x + 2] = GetRValue(c);
        }
    }
    auto b = std::make_unique<TBitmap>();
    b->SetImage(std::move(img));
    return b;
}

inline TColor noisy(TColor c, int x, int y, int amount) {
    const std::uint32_t h = hash(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), 7);
    const int span = 2 * amount + 1;
    return RGB(clampByte(GetRValue(c) + static_cast<int>(h % span) - amount),
               clampByte(GetGValue(c) + static_cast<int>((h >> 8) % span) - amount),
               clampByte(GetBValue(c) + static_cast<int>((h >> 16) % span) - amount));
}

constexpr TColor kBlob = RGB(200, 120, 60);

// The left half (a wavy edge) is one blob with round holes of other colours;
// the right half holds blobs of several other colours.
inline std::unique_ptr<TBitmap> blobs(int side) {
    const double cell = side / 16.0;
    return makePicture(side, side, [&](int x, int y) {
        const double edge = side / 2.0 + side / 20.0 * std::sin(y * 6.2831853 * 3 / side);
        const int cx = static_cast<int>(x / cell), cy = static_cast<int>(y / cell);
        const double dx = x - (cx + 0.5) * cell, dy = y - (cy + 0.5) * cell;
        const bool inHole = dx * dx + dy * dy < cell * cell * 0.04;
        TColor c;
        if (x < edge)
            c = inHole ? RGB(30, 30, 220) : kBlob;
        else
            c = (cx + cy) % 3 == 0 ? RGB(40, 200, 40) : (cx + cy) % 3 == 1 ? RGB(220, 40, 40) : RGB(90, 90, 90);
        return noisy(c, x, y, 2);
    });
}

// A grid of flat patches, PatchColumns x PatchRows, each of its own colour:
// a right click with the levels at 0 erases exactly one patch, about 5 % of
// the picture at 5 x 4.
constexpr int PatchColumns = 5, PatchRows = 4;

inline std::unique_ptr<TBitmap> patches(int side) {
    return makePicture(side, side, [&](int x, int y) {
        const int k = y * PatchRows / side * PatchColumns + x * PatchColumns / side;
        return RGB(40 + 9 * k, 200 - 7 * k, 90 + 5 * k);
    });
}

// The middle of patch K.
inline std::pair<int, int> patchCentre(int side, int k) {
    return {(2 * (k % PatchColumns) + 1) * side / (2 * PatchColumns), (2 * (k / PatchColumns) + 1) * side / (2 * PatchRows)};
}

} // namespace vembench
