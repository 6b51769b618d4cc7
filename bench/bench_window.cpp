// Speed and memory of the program with big pictures as a person meets them:
// each command through the main window's own handler, followed by the
// repaint of every window it changed, in a 1500 x 950 main window on the
// offscreen platform. Each is reported beside the engine's share of the same
// work, timed in the same iteration, as "x_engine" (the median of the
// iterations' ratios; times are medians too):
// - open: the open command's load of a 24-bit picture (original, then the
//   finished picture) and the first paint, beside two TPicture::LoadFile calls;
// - right click: the erase gesture with 右クリ近似色, beside
//   TWorkspace::EraseGesture on a workspace without windows;
// - scroll: the main window's client area scrolled by one screen and repainted;
// - memory: the peak resident size of a child process that opens a picture
//   and right-clicks it once (at 100 % and in the fitted view), beside
//   `vem-cli erase` on the same file;
// - zoom: "全体を表示" with its first repaint beside one TPicture::LoadFile,
//   later repaints of the fitted view, one Ctrl+wheel step from every zoom
//   step, and a right click in the fitted view beside the engine's gesture.
// Pictures: the engine benchmark's blobs (one flat blob with +-2 noise over
// about half the picture), 近似LV 6, 限界LV 12, at 16 and 64 megapixels.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

std::string pictureFile(int megapixels) { return (gFolder / ("blobs" + std::to_string(megapixels) + ".bmp")).string(); }

void writePictures() {
    gFolder = std::filesystem::temp_directory_path() / ("vem-bench-window-" + std::to_string(::getpid()));
    std::filesystem::create_directories(gFolder);
    for (int mp : {16, 64}) {
        TPicture picture;
        picture.AssignGraphic(blobs(sideOf(mp)).get());
        picture.SaveFile(pictureFile(mp));
    }
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
    engine.Settings.ApproxLV = Approx;
    engine.Settings.LimitLV = Limit;
    engine.LoadByTarget(1, pictureFile(mp));
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
    engine.Settings.ApproxLV = Approx;
    engine.Settings.LimitLV = Limit;
    engine.LoadByTarget(1, pictureFile(mp));
    freshPictures(mp);
    MainForm->ViewFitAll1->trigger();
    settle();
    paired(
        state, [&] { engine.EraseGesture(engine.Original, side / 4, side / 2, false); },
        [&] { MDIChild1->Image1MouseDown(Qt::RightButton, side / 4, side / 2); });
}

// --- Memory ----------------------------------------------------------------------

// Runs ARGS to its end and returns its peak resident size in MB (0 on failure).
double peakMegabytes(const std::vector<std::string>& args) {
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

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 4 && std::string(argv[1]).starts_with("--memory-child")) {
        gFolder = argv[3];
        int childArgc = 1;
        return memoryChild(childArgc, argv, std::stoi(argv[2]), std::string(argv[1]) == "--memory-child-fitted");
    }
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
