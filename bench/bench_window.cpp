// Speed and memory of the program with big pictures as a person meets them:
// each command through the main window's own handler, followed by the
// repaint of every window it changed, in a 1500 x 950 main window on the
// offscreen platform. Each is reported beside the engine's share of the same
// work, timed in the same iteration, as "x_engine" (the median of the
// iterations' ratios; times are medians too):
// - open: the open command's load of a 24-bit picture into the original and
//   the finished picture (one read, shared by both) and the first paint,
//   beside two TPicture::LoadFile calls;
// - right click: the erase gesture with 右クリ近似色, beside
//   TWorkspace::EraseGesture on a workspace without windows;
// - scroll: the main window's client area scrolled by one screen and repainted;
// - memory: the peak resident size of a child process that opens a picture
//   and right-clicks it once (at 100 % and in the fitted view), beside
//   `vem-cli erase` on the same file;
// - zoom: "全体を表示" with its first repaint beside one TPicture::LoadFile,
//   later repaints of the fitted view, one Ctrl+wheel step from every zoom
//   step, and a right click in the fitted view beside the engine's gesture.
// - undo: on a grid of flat patches of about 5 % each, the right click with
//   結果を原画に即反映 recorded as a step beside the same click with the
//   history off ("x_off"), and undo and redo of such steps with their repaint.
// - erase loop: right clicks with 結果を原画に即反映 one after another, each
//   erasing one patch, with the minor page faults of each click after the
//   second one (fresh memory shows as faults), with the history off and on.
// Pictures: the engine benchmark's blobs (one flat blob with +-2 noise over
// about half the picture), 近似LV 6, 限界LV 12, at 16 and 64 megapixels.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QMdiArea>
#include <QPaintEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QWheelEvent>

#include "BenchPictures.h"
#include "core/workspace/Picture.h"
#include "core/workspace/Workspace.h"
#include "ui/Application.h"
#include "ui/ImageWindow.h"
#include "ui/ImageWindows.h"
#include "ui/MainForm.h"

using namespace vem;
using namespace vembench;

namespace {

constexpr int Approx = 6;
constexpr int Limit = 12;
constexpr int Runs = 7;

std::filesystem::path gFolder;

std::string pictureFile(int megapixels, const char* kind = "blobs") {
    return (gFolder / (kind + std::to_string(megapixels) + ".bmp")).string();
}

void writePictures() {
    gFolder = std::filesystem::temp_directory_path() / ("vem-bench-window-" + std::to_string(::getpid()));
    std::filesystem::create_directories(gFolder);
    for (int mp : {16, 64}) {
        TPicture picture;
        picture.AssignGraphic(blobs(sideOf(mp)).get());
        picture.SaveFile(pictureFile(mp));
    }
    TPicture picture;
    picture.AssignGraphic(patches(sideOf(64)).get());
    picture.SaveFile(pictureFile(64, "patches"));
}

// Lets every deferred repaint happen, as the event loop would after a command.
void settle() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// Counts the screen pixels the picture controls paint, to show that a repaint
// stays within the screen whatever the picture's size.
class PaintCounter : public QObject {
public:
    double pixels = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->objectName() == QLatin1String("Image1"))
            for (const QRect& r : static_cast<QPaintEvent*>(event)->region()) pixels += double(r.width()) * r.height();
        return false;
    }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Each iteration times ENGINE (the engine's own share of the work) and then
// COMMAND followed by the repaint it causes, in processor time of this thread
// (the repaint happens on it too). Taking the two side by side in every
// iteration lets both meet the same state of a shared machine; the ratio is
// the median of the iterations' ratios. A null ENGINE times the command alone.
// SETUP, when given, runs untimed before each iteration.
template <class Command>
void paired(benchmark::State& state, const std::function<void()>& engine, Command&& command,
            const std::function<void()>& setup = {}) {
    PaintCounter painted;
    std::vector<double> engineRuns, commandRuns, repaintRuns, totals, ratios;
    for (auto _ : state) {
        if (setup) setup();
        const double t0 = threadSeconds();
        if (engine) engine();
        const double t1 = threadSeconds();
        qApp->installEventFilter(&painted);
        command();
        const double t2 = threadSeconds();
        settle();
        const double t3 = threadSeconds();
        qApp->removeEventFilter(&painted);
        state.SetIterationTime(t3 - t1);
        engineRuns.push_back(t1 - t0);
        commandRuns.push_back(t2 - t1);
        repaintRuns.push_back(t3 - t2);
        totals.push_back(t3 - t1);
        if (engine && t1 > t0) ratios.push_back((t3 - t1) / (t1 - t0));
    }
    state.counters["median_ms"] = median(totals) * 1e3;
    state.counters["command_ms"] = median(commandRuns) * 1e3;
    state.counters["repaint_ms"] = median(repaintRuns) * 1e3;
    state.counters["painted_px"] = painted.pixels / static_cast<double>(state.iterations());
    if (!ratios.empty()) {
        state.counters["engine_ms"] = median(engineRuns) * 1e3;
        state.counters["x_engine"] = median(ratios);
    }
}

void prepareWindows() {
    MainForm->resize(1500, 950);
    MainForm->show();
    MainForm->CheckBox1->setChecked(true);
    MainForm->Workspace.Settings.ApproxLV = Approx;
    MainForm->Workspace.Settings.LimitLV = Limit;
    settle();
}

// A workspace without windows holding the MP picture, with the levels the
// program's clicks use: the engine's share of a right click.
void prepareEngine(TWorkspace& engine, int mp) {
    engine.Settings.ApproxLV = Approx;
    engine.Settings.LimitLV = Limit;
    engine.LoadByTarget(1, pictureFile(mp));
}

// --- Open ----------------------------------------------------------------------

// Beside two TPicture::LoadFile calls of the same file.
void BM_OpenCommand(benchmark::State& state) {
    const std::string file = pictureFile(static_cast<int>(state.range(0)));
    TPicture original, finished;
    paired(
        state,
        [&] {
            original.LoadFile(file);
            finished.LoadFile(file);
        },
        [&] { MainForm->LoadByTarget(1, QString::fromStdString(file)); });
}

// --- Right click -----------------------------------------------------------------

// Beside TWorkspace::EraseGesture on a workspace without windows.
void BM_RightClick(benchmark::State& state) {
    const int mp = static_cast<int>(state.range(0));
    const int side = sideOf(mp);
    TWorkspace engine;
    prepareEngine(engine, mp);
    MainForm->LoadByTarget(1, QString::fromStdString(pictureFile(mp)));
    settle();
    paired(
        state, [&] { engine.EraseGesture(engine.Original, side / 4, side / 2, false); },
        [&] { MDIChild1->Image1MouseDown(Qt::RightButton, side / 4, side / 2); });
}

// --- Scroll ------------------------------------------------------------------------

void BM_ScrollOneScreen(benchmark::State& state) {
    const int mp = static_cast<int>(state.range(0));
    MainForm->LoadByTarget(1, QString::fromStdString(pictureFile(mp)));
    settle();
    // The scroll bar's own page step is the area's content, not its view.
    QScrollBar* bar = MainForm->MdiArea->verticalScrollBar();
    const int screen = MainForm->MdiArea->viewport()->height();
    bar->setValue(0);
    settle();
    int direction = 1;
    paired(state, nullptr, [&] {
        if (bar->value() + screen > bar->maximum()) direction = -1;
        if (bar->value() - screen < bar->minimum()) direction = 1;
        bar->setValue(bar->value() + direction * screen);
    });
}

// --- Zoom ------------------------------------------------------------------------

// Both pictures loaded afresh at 100 % (so no reduced copies exist yet), the
// editing picture a copy of the original: the state a user fits from.
void freshPictures(int mp) {
    MainForm->SetZoom(vemui::TZoom());
    MainForm->CascadeWindows();
    MainForm->LoadByTarget(1, QString::fromStdString(pictureFile(mp)));
    MainForm->Button2->click();
    settle();
}

// "全体を表示" with the first repaint of the three windows, beside one
// TPicture::LoadFile of the same picture.
void BM_FitCommand(benchmark::State& state) {
    const int mp = static_cast<int>(state.range(0));
    TPicture reference;
    paired(
        state, [&] { reference.LoadFile(pictureFile(mp)); }, [] { MainForm->ViewFitAll1->trigger(); },
        [&] { freshPictures(mp); });
}

// Any later repaint of the three windows at the fitted zoom.
void BM_FittedRepaint(benchmark::State& state) {
    freshPictures(static_cast<int>(state.range(0)));
    MainForm->ViewFitAll1->trigger();
    settle();
    paired(state, nullptr, [] {
        for (TMDIChild* c : MainForm->ImageWindows()) c->Image1()->update();
    });
}

// One notch of Ctrl with the wheel over the original's picture, with its
// repaint, from each step (range(1)) up and back down.
void BM_ZoomStep(benchmark::State& state) {
    freshPictures(static_cast<int>(state.range(0)));
    const vemui::TZoom from = vemui::TZoom::Steps()[static_cast<int>(state.range(1))];
    MainForm->SetZoom(from);
    settle();
    int notch = from.Up() == from ? -120 : 120;
    paired(state, nullptr, [&] {
        QWidget* view = MDIChild1->Image1();
        const QPointF pos(std::min(view->width(), 400) / 2.0, std::min(view->height(), 400) / 2.0);
        QWheelEvent wheel(pos, view->mapToGlobal(pos), QPoint(), QPoint(0, notch), Qt::NoButton, Qt::ControlModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &wheel);
        notch = -notch;
    });
}

// A right click at the fitted zoom, beside TWorkspace::EraseGesture.
void BM_FittedRightClick(benchmark::State& state) {
    const int mp = static_cast<int>(state.range(0));
    const int side = sideOf(mp);
    TWorkspace engine;
    prepareEngine(engine, mp);
    freshPictures(mp);
    MainForm->ViewFitAll1->trigger();
    settle();
    paired(
        state, [&] { engine.EraseGesture(engine.Original, side / 4, side / 2, false); },
        [&] { MDIChild1->Image1MouseDown(Qt::RightButton, side / 4, side / 2); });
}

// --- Undo ------------------------------------------------------------------------

// The patches loaded into all three windows (原画→編集用 after the open), the
// levels at 0 and both check boxes on: each right click erases one patch from
// all three pictures.
void loadPatches(int mp) {
    MainForm->SetZoom(vemui::TZoom());
    MainForm->History.Clear();
    MainForm->LoadByTarget(1, QString::fromStdString(pictureFile(mp, "patches")));
    MainForm->Button2->click();
    MainForm->Workspace.Settings.ApproxLV = 0;
    MainForm->Workspace.Settings.LimitLV = 0;
    MainForm->CheckBox2->setChecked(true);
    settle();
}

double erasePatch(int mp, int k) {
    const auto [x, y] = patchCentre(sideOf(mp), k % (PatchColumns * PatchRows));
    const double t0 = threadSeconds();
    MDIChild1->Image1MouseDown(Qt::RightButton, x, y);
    settle();
    return threadSeconds() - t0;
}

void restoreSettings() {
    MainForm->CheckBox2->setChecked(false);
    MainForm->Workspace.Settings.ApproxLV = Approx;
    MainForm->Workspace.Settings.LimitLV = Limit;
    MainForm->History.Recording = true;
}

// The right click with its repaint, recorded as a step, beside the same click
// with the history off; the two take turns at going first.
void BM_EraseRecorded(benchmark::State& state) {
    const int mp = static_cast<int>(state.range(0));
    loadPatches(mp);
    std::vector<double> on, off, ratios, stepBytes;
    int k = 0;
    for (auto _ : state) {
        if (k + 2 > PatchColumns * PatchRows) {
            loadPatches(mp);
            k = 0;
        }
        double recorded = 0, plain = 0;
        for (int turn = 0; turn < 2; ++turn) {
            const bool recording = (turn == 0) == (state.iterations() % 2 == 0);
            MainForm->History.Recording = recording;
            const double before = static_cast<double>(MainForm->History.Bytes());
            (recording ? recorded : plain) = erasePatch(mp, k++);
            if (recording) stepBytes.push_back(static_cast<double>(MainForm->History.Bytes()) - before);
        }
        state.SetIterationTime(recorded);
        on.push_back(recorded);
        off.push_back(plain);
        ratios.push_back(recorded / plain);
    }
    restoreSettings();
    state.counters["recorded_ms"] = median(on) * 1e3;
    state.counters["off_ms"] = median(off) * 1e3;
    state.counters["x_off"] = median(ratios);
    state.counters["step_MB"] = median(stepBytes) / 1e6;
}

// Twenty steps in a row, then undo of all and redo of all, each with its
// repaint: the history's size after each step, whether it stayed under the
// cap, and whether undoing everything gave back the loaded picture in all
// three windows, byte for byte.
bool slotsHold(const TBitmapImage& loaded) {
    for (int n = 1; n <= 3; ++n) {
        const auto* b = dynamic_cast<const TBitmap*>(MainForm->Workspace.Slot(n).Image1.Picture().Graphic());
        if (!b) return false;
        const TBitmapImage& i = b->Image();
        if (i.Width != loaded.Width || i.StoredHeight != loaded.StoredHeight || i.BitCount != loaded.BitCount ||
            i.Pixels.size() != loaded.Pixels.size() ||
            std::memcmp(i.Pixels.data(), loaded.Pixels.data(), i.Pixels.size()) != 0)
            return false;
    }
    return true;
}

void BM_UndoRedo(benchmark::State& state) {
    const int mp = static_cast<int>(state.range(0));
    constexpr int Steps = PatchColumns * PatchRows;
    TPicture loaded;
    loaded.LoadFile(pictureFile(mp, "patches"));
    std::vector<double> undo, redo, stepSizes;
    bool underCap = true, sameAsLoaded = true;
    double largest = 0;
    for (auto _ : state) {
        loadPatches(mp);
        // What the load and the copy keep (the pictures they replaced) is not the steps'.
        const double start = static_cast<double>(MainForm->History.Bytes());
        for (int k = 0; k < Steps; ++k) {
            const double before = static_cast<double>(MainForm->History.Bytes());
            erasePatch(mp, k);
            const double bytes = static_cast<double>(MainForm->History.Bytes());
            stepSizes.push_back(bytes - before);
            largest = std::max(largest, bytes - start);
            underCap = underCap && bytes <= static_cast<double>(MainForm->History.Cap);
        }
        if (MainForm->History.UndoSteps() < static_cast<std::size_t>(Steps)) underCap = false;
        double total = 0;
        for (auto [action, times] : {std::pair{MainForm->EditUndo1, &undo}, std::pair{MainForm->EditRedo1, &redo}}) {
            for (int k = 0; k < Steps; ++k) {
                const double t0 = threadSeconds();
                action->trigger();
                settle();
                times->push_back(threadSeconds() - t0);
                total += times->back();
            }
            if (action == MainForm->EditUndo1)
                sameAsLoaded = sameAsLoaded && slotsHold(dynamic_cast<const TBitmap&>(*loaded.Graphic()).Image());
        }
        state.SetIterationTime(total);
    }
    restoreSettings();
    state.counters["undo_ms"] = median(undo) * 1e3;
    state.counters["redo_ms"] = median(redo) * 1e3;
    state.counters["step_MB"] = median(stepSizes) / 1e6;
    state.counters["steps_MB"] = largest / 1e6;
    state.counters["cap_MB"] = static_cast<double>(MainForm->History.Cap) / 1e6;
    state.counters["under_cap"] = underCap ? 1 : 0;
    state.counters["undone_to_loaded"] = sameAsLoaded ? 1 : 0;
    if (!underCap || !sameAsLoaded) state.SkipWithError("the history dropped a step or undo did not give back the picture");
}

// --- Erase loop ------------------------------------------------------------------

long minorFaults() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// Clicks on the patches one after another with the copy-back on; the first
// two clicks of each round fill the program's spare memory and are not counted.
void BM_EraseLoop(benchmark::State& state) {
    const int mp = static_cast<int>(state.range(0));
    const bool recording = state.range(1) != 0;
    std::vector<double> faults, times;
    int k = PatchColumns * PatchRows;
    for (auto _ : state) {
        if (k + 1 >= PatchColumns * PatchRows) {
            loadPatches(mp);
            MainForm->History.Recording = recording;
            erasePatch(mp, 0);
            erasePatch(mp, 1);
            k = 2;
        }
        const long before = minorFaults();
        const double seconds = erasePatch(mp, k++);
        faults.push_back(static_cast<double>(minorFaults() - before));
        times.push_back(seconds);
        state.SetIterationTime(seconds);
    }
    restoreSettings();
    state.counters["median_ms"] = median(times) * 1e3;
    state.counters["faults_per_click"] = median(faults);
    state.counters["most_faults"] = *std::max_element(faults.begin(), faults.end());
}

// --- Memory ----------------------------------------------------------------------

// Runs ARGS (the program's path first) to its end and returns its peak
// resident size in MB (0 on failure).
double runMeasured(const std::vector<std::string>& args) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return 0;
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// A child's peak, as the kernel reports it, starts at the size of the process
// it was forked from: the forked copy counts until the new program replaces
// it. So the measured children are started by a small process forked before
// any picture exists, which takes one command a line (arguments separated
// by tabs) and answers each with the peak.
struct Spawner {
    FILE* commands = nullptr;
    FILE* answers = nullptr;

    void Start() {
        int down[2], up[2];
        if (::pipe(down) != 0 || ::pipe(up) != 0) return;
        if (::fork() == 0) {
            ::close(down[1]);
            ::close(up[0]);
            FILE* in = ::fdopen(down[0], "r");
            FILE* out = ::fdopen(up[1], "w");
            char line[8192];
            while (in && out && std::fgets(line, sizeof line, in)) {
                std::vector<std::string> args{""};
                for (const char* c = line; *c && *c != '\n'; ++c) {
                    if (*c == '\t')
                        args.emplace_back();
                    else
                        args.back() += *c;
                }
                std::fprintf(out, "%f\n", runMeasured(args));
                std::fflush(out);
            }
            ::_exit(0);
        }
        ::close(down[0]);
        ::close(up[1]);
        commands = ::fdopen(down[1], "w");
        answers = ::fdopen(up[0], "r");
    }

    double Peak(const std::vector<std::string>& args) const {
        if (!commands || !answers) return 0;
        for (std::size_t i = 0; i < args.size(); ++i) std::fprintf(commands, "%s%s", i ? "\t" : "", args[i].c_str());
        std::fprintf(commands, "\n");
        std::fflush(commands);
        double megabytes = 0;
        return std::fscanf(answers, "%lf", &megabytes) == 1 ? megabytes : 0;
    }
} gSpawner;

double peakMegabytes(const std::vector<std::string>& args) { return gSpawner.Peak(args); }

// The child's road: start the program's forms, open the picture, with FIT
// fit the view, right-click the picture once, and let every window repaint.
int memoryChild(int argc, char** argv, int mp, bool fit) {
    vemui::TApplication app(argc, argv);
    CreateApplicationForms();
    prepareWindows();
    MainForm->LoadByTarget(1, QString::fromStdString(pictureFile(mp)));
    settle();
    if (fit) MainForm->ViewFitAll1->trigger();
    settle();
    MDIChild1->Image1MouseDown(Qt::RightButton, sideOf(mp) / 4, sideOf(mp) / 2);
    settle();
    DestroyApplicationForms();
    return 0;
}

void BM_PeakMemory(benchmark::State& state) {
    const int mp = static_cast<int>(state.range(0));
    const int side = sideOf(mp);
    const std::string file = pictureFile(mp);
    double program = 0, cli = 0;
    for (auto _ : state) {
        program = peakMegabytes({"/proc/self/exe", state.range(1) ? "--memory-child-fitted" : "--memory-child",
                                 std::to_string(mp), gFolder.string()});
        cli = peakMegabytes({VEM_CLI_PATH, "erase", "--original", file, "--at",
                             std::to_string(side / 4) + "," + std::to_string(side / 2), "--approx", std::to_string(Approx),
                             "--limit", std::to_string(Limit), "--out", (gFolder / "erased.bmp").string()});
    }
    state.counters["program_MB"] = program;
    state.counters["cli_MB"] = cli;
    state.counters["x_cli"] = cli > 0 ? program / cli : 0;
}

void sizes(benchmark::internal::Benchmark* b) { b->Arg(16)->Arg(64)->UseManualTime()->Iterations(Runs)->Unit(benchmark::kMillisecond); }

BENCHMARK(BM_OpenCommand)->Apply(sizes);
BENCHMARK(BM_RightClick)->Apply(sizes);
BENCHMARK(BM_ScrollOneScreen)->Arg(16)->Arg(64)->UseManualTime()->Iterations(4 * Runs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakMemory)->ArgNames({"mp", "fitted"})->Args({64, 0})->Args({64, 1})->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FitCommand)->Apply(sizes);
BENCHMARK(BM_FittedRepaint)->Arg(64)->UseManualTime()->Iterations(4 * Runs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZoomStep)
    ->ArgNames({"mp", "step"})
    ->ArgsProduct({{64}, benchmark::CreateDenseRange(0, 18, 1)})
    ->UseManualTime()
    ->Iterations(2 * Runs)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FittedRightClick)->Arg(64)->UseManualTime()->Iterations(Runs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EraseRecorded)->Arg(64)->UseManualTime()->Iterations(2 * Runs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EraseLoop)
    ->ArgNames({"mp", "history"})
    ->Args({64, 0})
    ->Args({64, 1})
    ->UseManualTime()
    ->Iterations(3 * Runs)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoRedo)->Arg(64)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 4 && std::string(argv[1]).starts_with("--memory-child")) {
        gFolder = argv[3];
        int childArgc = 1;
        return memoryChild(childArgc, argv, std::stoi(argv[2]), std::string(argv[1]) == "--memory-child-fitted");
    }
    gSpawner.Start();
    vemui::TApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    writePictures();
    CreateApplicationForms();
    prepareWindows();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    DestroyApplicationForms();
    std::filesystem::remove_all(gFolder);
    return 0;
}
