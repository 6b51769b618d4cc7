// Speed and size of the transparent PNG export at 16 megapixels, each figure
// beside a plain libpng encode of the same RGBA rows (prepared in memory
// beforehand) at zlib level 6 with adaptive filtering, written to a file in
// the same folder, measured in the same iteration:
// - photo: a smooth gradient with +-8 noise, and a flat background region
//   (the background colour) outside an ellipse, about 30 % of the picture;
// - cutout: flat shapes of four colours on the flat background.
// Counters: medians of user and system time of this thread for both
// (export_user_ms, export_sys_ms, ref_user_ms, ref_sys_ms), of the
// iterations' time ratios (x_time, user + system), the file sizes in MB and
// their ratio (x_size). The export's time includes its row conversion from
// the 24-bit picture and the flush to disk of the safe save.
//
// Built with the program, it also times the export command through the main
// window at 64 megapixels (photo): the real dialog answered at once, then the
// handler, beside SaveTransparentPng on the same bitmap (x_engine).
//
//   cmake --preset bench && cmake --build --preset bench --target bench_export
//   build/bench/bench/bench_export
#include <benchmark/benchmark.h>

#include <png.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BenchPictures.h"
#include "export/PngExport.h"

#if VEM_BENCH_PROGRAM
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

#include "core/workspace/Picture.h"
#include "ui/Application.h"
#include "ui/MainForm.h"
#endif

using namespace vem;
using namespace vembench;

namespace {

constexpr TColor kBack = RGB(255, 0, 255);
constexpr int kRuns = 5;

std::filesystem::path gFolder;

std::string fileIn(const std::string& name) { return (gFolder / name).string(); }

// Processor time of this thread, user and system apart, and the wall clock.
struct Clock {
    double user = 0, sys = 0;
    static Clock now() {
        rusage ru{};
        getrusage(RUSAGE_THREAD, &ru);
        return {static_cast<double>(ru.ru_utime.tv_sec) + static_cast<double>(ru.ru_utime.tv_usec) * 1e-6,
                static_cast<double>(ru.ru_stime.tv_sec) + static_cast<double>(ru.ru_stime.tv_usec) * 1e-6};
    }
    Clock operator-(const Clock& o) const { return {user - o.user, sys - o.sys}; }
    double total() const { return user + sys; }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A photograph-like picture: smooth colour gradients with noise inside an
// ellipse, the flat background colour outside it.
std::unique_ptr<TBitmap> photo(int side) {
    const double c = side / 2.0, rx = side * 0.5, ry = side * 0.45;
    return makePicture(side, side, [&](int x, int y) {
        const double dx = (x - c) / rx, dy = (y - c) / ry;
        if (dx * dx + dy * dy > 1.0) return kBack;
        const TColor smooth = RGB(clampByte(40 + 180 * x / side), clampByte(200 - 150 * y / side),
                                  clampByte(90 + static_cast<int>(60 * std::sin(6.2831853 * (x + y) / side))));
        return noisy(smooth, x, y, 8);
    });
}

// Flat shapes on the flat background, as a cut-out from a drawing.
std::unique_ptr<TBitmap> cutout(int side) {
    const double cell = side / 8.0;
    const TColor colours[] = {RGB(200, 40, 40), RGB(40, 160, 60), RGB(30, 60, 200), RGB(240, 200, 40)};
    return makePicture(side, side, [&](int x, int y) {
        const int cx = static_cast<int>(x / cell), cy = static_cast<int>(y / cell);
        const double dx = x - (cx + 0.5) * cell, dy = y - (cy + 0.5) * cell;
        if ((cx + cy) % 2 == 0 && dx * dx + dy * dy < cell * cell * 0.16) return colours[(cx + 2 * cy) % 4];
        if ((cx + cy) % 2 == 1 && std::abs(dx) < cell * 0.3 && std::abs(dy) < cell * 0.2) return colours[(cx + cy) % 4];
        return kBack;
    });
}

// The picture's rows as the export writes them, made once.
std::vector<std::uint8_t> rgbaOf(const TBitmap& bitmap) {
    std::vector<std::uint8_t> rgba;
    rgba.reserve(static_cast<std::size_t>(bitmap.Width()) * static_cast<std::size_t>(bitmap.Height()) * 4);
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) {
            const TColor c = bitmap.PixelColor(x, y);
            rgba.insert(rgba.end(), {GetRValue(c), GetGValue(c), GetBValue(c), std::uint8_t(c == kBack ? 0 : 255)});
        }
    return rgba;
}

// The reference: libpng's plain road, rows from memory to a stdio file.
void plainEncode(const std::vector<std::uint8_t>& rgba, int width, int height, const std::string& file) {
    std::FILE* f = std::fopen(file.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (!f || !png || !info || setjmp(png_jmpbuf(png))) std::abort();
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 6);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
    png_write_info(png, info);
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    for (int y = 0; y < height; ++y) png_write_row(png, rgba.data() + stride * static_cast<std::size_t>(y));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

double megabytes(const std::string& file) { return static_cast<double>(std::filesystem::file_size(file)) / 1e6; }

// Each iteration runs the reference, then OPERATION, timed apart; the file
// sizes are those of the last iteration (every iteration writes the same).
template <class Operation>
void paired(benchmark::State& state, const std::function<void()>& reference, const std::string& refFile,
            Operation&& operation, const std::string& file, const char* ratioName) {
    std::vector<double> refUser, refSys, user, sys, ratios;
    for (auto _ : state) {
        const Clock t0 = Clock::now();
        reference();
        const Clock t1 = Clock::now();
        operation();
        const Clock t2 = Clock::now();
        const Clock ref = t1 - t0, op = t2 - t1;
        state.SetIterationTime(op.total());
        refUser.push_back(ref.user);
        refSys.push_back(ref.sys);
        user.push_back(op.user);
        sys.push_back(op.sys);
        if (ref.total() > 0) ratios.push_back(op.total() / ref.total());
    }
    state.counters["export_user_ms"] = median(user) * 1e3;
    state.counters["export_sys_ms"] = median(sys) * 1e3;
    state.counters["ref_user_ms"] = median(refUser) * 1e3;
    state.counters["ref_sys_ms"] = median(refSys) * 1e3;
    state.counters[ratioName] = median(ratios);
    if (!refFile.empty()) {
        state.counters["size_MB"] = megabytes(file);
        state.counters["ref_size_MB"] = megabytes(refFile);
        state.counters["x_size"] = megabytes(file) / megabytes(refFile);
    }
}

void exportBeside(benchmark::State& state, const TBitmap& bitmap) {
    const std::vector<std::uint8_t> rgba = rgbaOf(bitmap);
    const std::string out = fileIn("export.png"), ref = fileIn("reference.png");
    paired(
        state, [&] { plainEncode(rgba, bitmap.Width(), bitmap.Height(), ref); }, ref,
        [&] { SaveTransparentPng(bitmap, kBack, out); }, out, "x_time");
}

void BM_ExportPhoto(benchmark::State& state) { exportBeside(state, *photo(sideOf(16))); }
void BM_ExportCutout(benchmark::State& state) { exportBeside(state, *cutout(sideOf(16))); }

BENCHMARK(BM_ExportPhoto)->UseManualTime()->Iterations(kRuns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportCutout)->UseManualTime()->Iterations(kRuns)->Unit(benchmark::kMillisecond);

#if VEM_BENCH_PROGRAM
// The export command through the main window: ファイル → 透過PNGで保存, its
// dialog answered as soon as it shows, beside the engine's own export.
void BM_ProgramExport(benchmark::State& state) {
    const int side = sideOf(static_cast<int>(state.range(0)));
    const std::string picture = fileIn("photo.bmp");
    {
        TPicture p;
        p.AssignGraphic(photo(side).get());
        p.SaveFile(picture);
    }
    MainForm->LoadByTarget(1, QString::fromStdString(picture));
    MainForm->Workspace.Settings.BackColor = kBack;
    const TBitmap& finished = *MainForm->Workspace.Finished.WorkBmp;
    const std::string out = fileIn("program.png");
    paired(
        state, [&] { SaveTransparentPng(finished, kBack, fileIn("engine.png")); }, "",
        [&] {
            QTimer::singleShot(0, qApp, [&out] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                if (!dialog) std::abort();
                dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QString::fromStdString(out));
                static_cast<QDialog*>(dialog)->accept();
            });
            MainForm->N5->trigger();
        },
        out, "x_engine");
    std::filesystem::remove(picture);
}
BENCHMARK(BM_ProgramExport)->Arg(64)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
#endif

} // namespace

int main(int argc, char** argv) {
#if VEM_BENCH_PROGRAM
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    vemui::TApplication app(argc, argv);
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    // Every file goes to one folder, the export's and the reference's alike.
    gFolder = std::filesystem::temp_directory_path() / ("vem-bench-export-" + std::to_string(::getpid()));
    std::filesystem::create_directories(gFolder);
#if VEM_BENCH_PROGRAM
    CreateApplicationForms();
    MainForm->resize(1500, 950);
    MainForm->show();
#endif
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
#if VEM_BENCH_PROGRAM
    DestroyApplicationForms();
#endif
    std::filesystem::remove_all(gFolder);
    return 0;
}
