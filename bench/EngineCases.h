// The engine benchmarks' cases, shared by bench_engine (the engine beside a
// copy) and bench_peer (the engine beside a peer library and bare loops), so
// that both time the same work on the same pictures:
// - pair: an original of noisy texture and an editing picture that differs
//   from it on about half the pixels, in patches (modes 0-3);
// - blobs: flat-colour blobs with +-2 noise, the start's blob about half the
//   picture; 近似LV 6, 限界LV 12, target = the blob's colour (mode 4, gesture);
// - spiral: a square spiral corridor one pixel wide between one-pixel walls,
//   entered at (0, 0), about half the picture, +-4 noise; 近似LV 8, 限界LV 4.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "BenchPictures.h"
#include "core/pixels/Bitmap.h"
#include "core/workspace/Workspace.h"
#include "support/SpiralCorridor.h"

namespace vembench {

// --- Timing ----------------------------------------------------------------------

template <class Op> double secondsOf(Op&& op) {
    const double t0 = threadSeconds();
    op();
    return threadSeconds() - t0;
}

inline double median(std::vector<double> runs) {
    if (runs.empty()) return 0;
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

// The reference of the engine's figures: one picture's bytes copied into an
// existing buffer (both touched before, so no page is fresh).
class PictureCopy {
public:
    explicit PictureCopy(int megapixels)
        : from_(static_cast<std::size_t>(sideOf(megapixels)) * sideOf(megapixels) * 3, 1), to_(from_.size(), 2) {}
    void operator()() {
        std::memcpy(to_.data(), from_.data(), from_.size());
        benchmark::DoNotOptimize(to_.data());
    }

private:
    std::vector<std::uint8_t> from_, to_;
};

// --- Modes 0-3 ----------------------------------------------------------------

inline std::unique_ptr<TBitmap> pairOriginal(int side) {
    return makePicture(side, side, [](int x, int y) {
        const std::uint32_t h = hash(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), 1);
        return RGB(static_cast<std::uint8_t>(h), static_cast<std::uint8_t>(h >> 8), static_cast<std::uint8_t>(h >> 16));
    });
}

// Differs from the original in about half of its 8 x 8 patches.
inline std::unique_ptr<TBitmap> pairEditing(const TBitmap& original) {
    const TBitmapImage& o = original.Image();
    return makePicture(o.Width, o.Height(), [&](int x, int y) {
        const std::uint8_t* p = o.PictureRow(y) + 3 * x;
        const bool differs = hash(static_cast<std::uint32_t>(x / 8), static_cast<std::uint32_t>(y / 8), 3) & 1;
        return differs ? RGB(static_cast<std::uint8_t>(p[2] ^ 0x40), p[1], p[0]) : RGB(p[2], p[1], p[0]);
    });
}

// The three slots as after loading the pair (the finished picture is a
// second load of the original's file), ready for Mode.
inline void loadPair(TWorkspace& ws, int side, int mode) {
    {
        auto original = pairOriginal(side);
        auto editing = pairEditing(*original);
        ws.Original.Image1.Picture().AssignGraphic(original.get());
        ws.Finished.Image1.Picture().AssignGraphic(pairOriginal(side).get());
        ws.Editing.Image1.Picture().AssignGraphic(editing.get());
    }
    for (TImageSlot* s : {&ws.Original, &ws.Editing, &ws.Finished}) s->RenewWorkBmp();
    ws.Original.Image1.SetBounds(side, side);
    ws.Settings.ConvMode = mode;
    ws.Settings.TargetColor = RGB(1, 2, 3);
    ws.Settings.BackColor = RGB(255, 0, 255);
}

// --- Mode 4 and the gesture ----------------------------------------------------

constexpr TColor kCorridor = RGB(100, 160, 220);

inline std::unique_ptr<TBitmap> spiral(int side) {
    const SpiralCorridor corridor = MakeSpiralCorridor(side);
    return makePicture(side, side, [&](int px, int py) { return noisy(corridor.At(px, py) ? kCorridor : RGB(20, 20, 20), px, py, 4); });
}

struct GrowCase {
    std::unique_ptr<TBitmap> (*make)(int);
    TColor target;
    int approx, limit, startX, startY;
};

// 0 the blobs, 1 the spiral.
inline GrowCase growCase(int which, int side) {
    if (which == 0) return {blobs, kBlob, 6, 12, side / 4, side / 2};
    return {spiral, kCorridor, 8, 4, 0, 0};
}

// The case's picture in the original and the finished slot, its levels and
// start point in the settings.
inline void loadForGrowing(TWorkspace& ws, const GrowCase& c, int side) {
    auto picture = c.make(side);
    ws.Original.Image1.Picture().AssignGraphic(picture.get());
    ws.Finished.Image1.Picture().AssignGraphic(c.make(side).get());
    for (TImageSlot* s : {&ws.Original, &ws.Finished}) {
        s->Image1.SetBounds(side, side);
        s->RenewWorkBmp();
    }
    ws.Settings.TargetColor = c.target;
    ws.Settings.ApproxLV = c.approx;
    ws.Settings.LimitLV = c.limit;
    ws.Settings.PointX = c.startX;
    ws.Settings.PointY = c.startY;
    ws.Settings.BackColor = clWhite;
}

// The share of a 24-bit mask's pixels that are not white: the region grown.
inline double regionShare(const TBitmapImage& mask) {
    long joined = 0;
    for (int y = 0; y < mask.Height(); ++y) {
        const std::uint8_t* row = mask.PictureRow(y);
        for (int x = 0; x < mask.Width; ++x) joined += row[3 * x] != 0xFF || row[3 * x + 1] != 0xFF || row[3 * x + 2] != 0xFF;
    }
    return static_cast<double>(joined) / (static_cast<double>(mask.Width) * mask.Height());
}

} // namespace vembench
