// Speed and memory of the conversion engine, each operation as the user
// triggers it (pictures in the slots, pictures out), beside a plain copy of one
// picture's bytes into an existing buffer measured in the same run. Every
// figure is also reported as "x_copy": its time over that copy's time.
//
// Pictures (24-bit, deterministic), at 16 and 64 megapixels:
// - pair: an original of noisy texture and an editing picture that differs
//   from it on about half the pixels, in patches (modes 0-3);
// - blobs: flat-colour blobs with +-2 noise, the start's blob about half the
//   picture; 近似LV 6, 限界LV 12, target = the blob's colour (mode 4, gesture);
// - spiral: a square spiral corridor one pixel wide between one-pixel walls,
//   entered at (0, 0), about half the picture, +-4 noise; 近似LV 8, 限界LV 4.
//
// Memory: "extra_B_per_px" is the peak resident growth during mode 4 beyond
// the picture the run leaves behind (the new mask), per picture pixel;
// "repeat_B_per_px" the whole growth when the mask replaces an earlier one.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <malloc.h>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchPictures.h"
#include "core/pixels/Bitmap.h"
#include "core/workspace/Workspace.h"
#include "support/SpiralCorridor.h"

#ifdef VEM_BENCH_OPENCV
#include <opencv2/imgproc.hpp>
#endif

using namespace vem;
using namespace vembench;

namespace {

std::unique_ptr<TBitmap> pairOriginal(int side) {
    return makePicture(side, side, [](int x, int y) {
        const std::uint32_t h = hash(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), 1);
        return RGB(static_cast<std::uint8_t>(h), static_cast<std::uint8_t>(h >> 8), static_cast<std::uint8_t>(h >> 16));
    });
}

// Differs from the original in about half of its 8 x 8 patches.
std::unique_ptr<TBitmap> pairEditing(const TBitmap& original) {
    const TBitmapImage& o = original.Image();
    return makePicture(o.Width, o.Height(), [&](int x, int y) {
        const std::uint8_t* p = o.PictureRow(y) + 3 * x;
        const bool differs = hash(static_cast<std::uint32_t>(x / 8), static_cast<std::uint32_t>(y / 8), 3) & 1;
        return differs ? RGB(static_cast<std::uint8_t>(p[2] ^ 0x40), p[1], p[0]) : RGB(p[2], p[1], p[0]);
    });
}

constexpr TColor kCorridor = RGB(100, 160, 220);

std::unique_ptr<TBitmap> spiral(int side) {
    const SpiralCorridor corridor = MakeSpiralCorridor(side);
    return makePicture(side, side, [&](int px, int py) { return noisy(corridor.At(px, py) ? kCorridor : RGB(20, 20, 20), px, py, 4); });
}

// --- The copy every figure is compared with --------------------------------

std::map<int, double> gCopySeconds;

double measureCopy(int megapixels) {
    const std::size_t bytes = static_cast<std::size_t>(sideOf(megapixels)) * sideOf(megapixels) * 3;
    std::vector<std::uint8_t> from(bytes, 1), to(bytes, 2);
    std::vector<double> runs;
    for (int i = 0; i < 7; ++i) {
        const double t0 = threadSeconds();
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        runs.push_back(threadSeconds() - t0);
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

double copySeconds(int megapixels) {
    auto it = gCopySeconds.find(megapixels);
    if (it == gCopySeconds.end()) it = gCopySeconds.emplace(megapixels, measureCopy(megapixels)).first;
    return it->second;
}

void BM_Copy(benchmark::State& state) {
    const int mp = static_cast<int>(state.range(0));
    const std::size_t bytes = static_cast<std::size_t>(sideOf(mp)) * sideOf(mp) * 3;
    std::vector<std::uint8_t> from(bytes, 1), to(bytes, 2);
    double total = 0;
    for (auto _ : state) {
        const double t0 = threadSeconds();
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        const double s = threadSeconds() - t0;
        state.SetIterationTime(s);
        total += s;
    }
    gCopySeconds[mp] = total / static_cast<double>(state.iterations());
    state.counters["x_copy"] = 1.0;
}

// Times Op once per iteration and reports it against the copy.
template <class Op> void timed(benchmark::State& state, int megapixels, Op&& op) {
    double total = 0;
    for (auto _ : state) {
        const double t0 = threadSeconds();
        op();
        const double s = threadSeconds() - t0;
        state.SetIterationTime(s);
        total += s;
    }
    state.counters["x_copy"] = total / static_cast<double>(state.iterations()) / copySeconds(megapixels);
}

long residentKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
    return 0;
}

// --- Modes 0-3 ----------------------------------------------------------------

void BM_PixelRule(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    const int mp = static_cast<int>(state.range(1));
    TWorkspace ws;
    {
        auto original = pairOriginal(sideOf(mp));
        auto editing = pairEditing(*original);
        ws.Original.Image1.Picture().AssignGraphic(original.get());
        ws.Finished.Image1.Picture().AssignGraphic(pairOriginal(sideOf(mp)).get()); // a second load of the file
        ws.Editing.Image1.Picture().AssignGraphic(editing.get());
    }
    for (TImageSlot* s : {&ws.Original, &ws.Editing, &ws.Finished}) s->RenewWorkBmp();
    ws.Original.Image1.SetBounds(sideOf(mp), sideOf(mp));
    ws.Settings.ConvMode = mode;
    ws.Settings.TargetColor = RGB(1, 2, 3);
    ws.Settings.BackColor = RGB(255, 0, 255);
    int captions = 0;
    ws.OnCaption = [&](const std::string&) { ++captions; };
    timed(state, mp, [&] { ws.RunConversion(); });
    state.counters["captions_per_run"] = static_cast<double>(captions) / static_cast<double>(state.iterations());
}

// --- Mode 4 and the gesture ----------------------------------------------------

struct GrowCase {
    std::unique_ptr<TBitmap> (*make)(int);
    TColor target;
    int approx, limit, startX, startY;
};

GrowCase growCase(int which, int side) {
    if (which == 0) return {blobs, kBlob, 6, 12, side / 4, side / 2};
    return {spiral, kCorridor, 8, 4, 0, 0};
}

void loadForGrowing(TWorkspace& ws, const GrowCase& c, int side) {
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

void BM_ApproxFromPoint(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const int mp = static_cast<int>(state.range(1));
    const int side = sideOf(mp);
    TWorkspace ws;
    const GrowCase c = growCase(which, side);
    loadForGrowing(ws, c, side);
    ws.Settings.ConvMode = 4;

    // Memory, from the peak resident size (reset just before a run): once with
    // an empty editing slot, so that the mask is a new picture and everything
    // beyond it is the grower's own; once as in repeated use, where the mask
    // is written over the previous one.
    auto peakGrowth = [&] {
        std::ofstream("/proc/self/clear_refs") << "5";
        const long before = residentKiB("VmRSS:");
        ws.RunConversion();
        return static_cast<double>(residentKiB("VmHWM:") - before) * 1024.0;
    };
    ws.RunConversion(); // the finished picture now shares the original's store
    ws.Editing.Image1.Picture().AssignGraphic(nullptr);
    ws.Editing.WorkBmp = nullptr;
    const double fresh = peakGrowth();
    const double repeated = peakGrowth();
    const double maskBytes = static_cast<double>(ws.Editing.WorkBmp->Image().Pixels.size());
    const double pixels = static_cast<double>(side) * side;

    long joined = 0;
    {
        const TBitmapImage& m = ws.Editing.WorkBmp->Image();
        for (int y = 0; y < side; ++y) {
            const std::uint8_t* row = m.PictureRow(y);
            for (int x = 0; x < side; ++x) joined += row[3 * x] != 0xFF || row[3 * x + 1] != 0xFF || row[3 * x + 2] != 0xFF;
        }
    }
    timed(state, mp, [&] { ws.RunConversion(); });
    state.counters["region_share"] = static_cast<double>(joined) / pixels;
    state.counters["extra_B_per_px"] = (fresh - maskBytes) / pixels;
    state.counters["repeat_B_per_px"] = repeated / pixels;
}

void BM_Gesture(benchmark::State& state) {
    const int mp = static_cast<int>(state.range(0));
    const int side = sideOf(mp);
    TWorkspace ws;
    const GrowCase c = growCase(0, side);
    loadForGrowing(ws, c, side);
    timed(state, mp, [&] { ws.EraseGesture(ws.Original, c.startX, c.startY, false); });
}

#ifdef VEM_BENCH_OPENCV
// The peer: 4-connected floating-range fill (+-近似LV), mask only.
void BM_OpenCVFloodFill(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const int mp = static_cast<int>(state.range(1));
    const int side = sideOf(mp);
    const GrowCase c = growCase(which, side);
    auto picture = c.make(side);
    TBitmapImage& img = picture->MutableImage();
    // Stored rows are bottom-up: the matrix is the picture upside down.
    cv::Mat source(side, side, CV_8UC3, img.Pixels.data(), static_cast<std::size_t>(img.Stride()));
    cv::Mat mask(side + 2, side + 2, CV_8UC1);
    const cv::Point seed(c.startX, side - 1 - c.startY);
    const cv::Scalar level(c.approx, c.approx, c.approx);
    timed(state, mp, [&] {
        mask.setTo(0);
        cv::floodFill(source, mask, seed, cv::Scalar(), nullptr, level, level, 4 | cv::FLOODFILL_MASK_ONLY | (255 << 8));
    });
}
#endif

} // namespace

BENCHMARK(BM_Copy)->Arg(1)->Arg(16)->Arg(64)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PixelRule)
    ->ArgNames({"mode", "MP"})
    ->ArgsProduct({{0, 1, 2, 3}, {1, 16, 64}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ApproxFromPoint)
    ->ArgNames({"spiral", "MP"})
    ->ArgsProduct({{0, 1}, {16, 64}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gesture)->ArgName("MP")->Arg(1)->Arg(64)->UseManualTime()->Unit(benchmark::kMillisecond);
#ifdef VEM_BENCH_OPENCV
BENCHMARK(BM_OpenCVFloodFill)
    ->ArgNames({"spiral", "MP"})
    ->ArgsProduct({{0, 1}, {16, 64}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
#endif

int main(int argc, char** argv) {
    // A fixed threshold: every large block is mapped on allocation and
    // unmapped on release, so resident-size growth shows what a run allocates.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
