// Speed and memory of the conversion engine, each operation as the user
// triggers it (pictures in the slots, pictures out), beside a plain copy of one
// picture's bytes into an existing buffer measured in the same run. Every
// figure is also reported as "x_copy": its time over that copy's time.
//
// The pictures (24-bit, deterministic, at 16 and 64 megapixels) are the
// pair, the blobs and the spiral of EngineCases.h.
//
// Memory: "extra_B_per_px" is the peak resident growth during mode 4 beyond
// the picture the run leaves behind (the new mask), per picture pixel;
// "repeat_B_per_px" the whole growth when the mask replaces an earlier one.
#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <malloc.h>
#include <map>
#include <string>
#include <vector>

#include "EngineCases.h"
#include "core/pixels/Bitmap.h"
#include "core/workspace/Workspace.h"

using namespace vem;
using namespace vembench;

namespace {

// --- The copy every figure is compared with --------------------------------

std::map<int, double> gCopySeconds;

double measureCopy(int megapixels) {
    PictureCopy copy(megapixels);
    std::vector<double> runs;
    for (int i = 0; i < 7; ++i) runs.push_back(secondsOf(copy));
    return median(runs);
}

double copySeconds(int megapixels) {
    auto it = gCopySeconds.find(megapixels);
    if (it == gCopySeconds.end()) it = gCopySeconds.emplace(megapixels, measureCopy(megapixels)).first;
    return it->second;
}

void BM_Copy(benchmark::State& state) {
    const int mp = static_cast<int>(state.range(0));
    PictureCopy copy(mp);
    double total = 0;
    for (auto _ : state) {
        const double s = secondsOf(copy);
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
        const double s = secondsOf(op);
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
    loadPair(ws, sideOf(mp), mode);
    int captions = 0;
    ws.OnCaption = [&](const std::string&) { ++captions; };
    timed(state, mp, [&] { ws.RunConversion(); });
    state.counters["captions_per_run"] = static_cast<double>(captions) / static_cast<double>(state.iterations());
}

// --- Mode 4 and the gesture ----------------------------------------------------

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
    const double share = regionShare(ws.Editing.WorkBmp->Image());
    timed(state, mp, [&] { ws.RunConversion(); });
    state.counters["region_share"] = share;
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
