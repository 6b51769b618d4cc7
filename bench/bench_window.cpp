// Speed and memory of the program with big pictures as a person meets them:
// each command through the main window's own handler, followed by the
// repaint of every window it changed, in a 1500 x 950 main window on the
// offscreen platform. Each is reported beside the engine's share of the same
// work, measured in the same run, as "x_engine" (medians over the timed runs):
// - open: the open command's load of a 24-bit picture (original, then the
//   finished picture) and the first paint, beside two TPicture::LoadFile calls;
// - right click: the erase gesture with 右クリ近似色, beside
//   TWorkspace::EraseGesture on a workspace without windows;
// - scroll: the main window's client area scrolled by one screen and repainted;
// - memory: the peak resident size of a child process that opens a picture
//   and right-clicks it once, beside `vem-cli erase` on the same file.
// Pictures: the engine benchmark's blobs (one flat blob with +-2 noise over
// about half the picture), 近似LV 6, 限界LV 12, at 16 and 64 megapixels.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QMdiArea>
#include <QPaintEvent>
#include <QScrollBar>

#include "BenchPictures.h"
#include "core/Picture.h"
#include "core/Workspace.h"
#include "ui/Application.h"
#include "ui/CHILDWIN.h"
#include "ui/MAIN.h"
#include "ui/Unit1.h"

using namespace vem;
using namespace vembench;

namespace {

constexpr int Approx = 6;
constexpr int Limit = 12;
constexpr int Runs = 7;

std::filesystem::path gFolder;
// The engine's median seconds per step and picture size, filled by the
// reference benchmarks that run first.
std::map<std::pair<std::string, int>, double> gEngine;

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

// Times OP once per iteration (processor time of this thread: the repaint
// happens on it too) and reports the median, as milliseconds and against the
// engine's median for KEY when there is one; a reference records its own.
template <class Op> void timed(benchmark::State& state, const std::string& key, bool reference, Op&& op) {
    const int mp = static_cast<int>(state.range(0));
    std::vector<double> runs;
    for (auto _ : state) {
        const double t0 = threadSeconds();
        op();
        const double s = threadSeconds() - t0;
        state.SetIterationTime(s);
        runs.push_back(s);
    }
    const double m = median(runs);
    state.counters["median_ms"] = m * 1e3;
    if (reference) gEngine[{key, mp}] = m;
    auto it = gEngine.find({key, mp});
    if (it != gEngine.end()) state.counters["x_engine"] = m / it->second;
}

// Times COMMAND followed by the repaint it causes, as timed() does, and
// reports the two parts' medians as well.
template <class Command> void timedCommand(benchmark::State& state, const std::string& key, Command&& command) {
    PaintCounter painted;
    qApp->installEventFilter(&painted);
    std::vector<double> commandRuns, repaintRuns;
    timed(state, key, false, [&] {
        const double t0 = threadSeconds();
        command();
        const double t1 = threadSeconds();
        settle();
        commandRuns.push_back(t1 - t0);
        repaintRuns.push_back(threadSeconds() - t1);
    });
    qApp->removeEventFilter(&painted);
    state.counters["command_ms"] = median(commandRuns) * 1e3;
    state.counters["repaint_ms"] = median(repaintRuns) * 1e3;
    state.counters["painted_px"] = painted.pixels / static_cast<double>(state.iterations());
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

void BM_LoadFileTwice(benchmark::State& state) {
    const std::string file = pictureFile(static_cast<int>(state.range(0)));
    TPicture original, finished;
    timed(state, "open", true, [&] {
        original.LoadFile(file);
        finished.LoadFile(file);
    });
}

void BM_OpenCommand(benchmark::State& state) {
    const QString file = QString::fromStdString(pictureFile(static_cast<int>(state.range(0))));
    timedCommand(state, "open", [&] { MainForm->LoadByTarget(1, file); });
}

// --- Right click ---------------------------------------------------------------

void BM_EraseGesture(benchmark::State& state) {
    const int mp = static_cast<int>(state.range(0));
    TWorkspace ws;
    ws.Settings.ApproxLV = Approx;
    ws.Settings.LimitLV = Limit;
    ws.LoadByTarget(1, pictureFile(mp));
    const int side = sideOf(mp);
    timed(state, "click", true, [&] { ws.EraseGesture(ws.Original, side / 4, side / 2, false); });
}

void BM_RightClick(benchmark::State& state) {
    const int mp = static_cast<int>(state.range(0));
    const int side = sideOf(mp);
    MainForm->LoadByTarget(1, QString::fromStdString(pictureFile(mp)));
    settle();
    timedCommand(state, "click", [&] { MainForm->PictureMouseDown(*MDIChild1, Qt::RightButton, side / 4, side / 2); });
}

// --- Scroll ----------------------------------------------------------------------

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
    timedCommand(state, "scroll", [&] {
        if (bar->value() + screen > bar->maximum()) direction = -1;
        if (bar->value() - screen < bar->minimum()) direction = 1;
        bar->setValue(bar->value() + direction * screen);
    });
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

// The child's road: start the program's forms, open the picture, right-click
// it once, and let every window repaint.
int memoryChild(int argc, char** argv, int mp) {
    vemui::TApplication app(argc, argv);
    CreateApplicationForms();
    prepareWindows();
    MainForm->LoadByTarget(1, QString::fromStdString(pictureFile(mp)));
    settle();
    MainForm->PictureMouseDown(*MDIChild1, Qt::RightButton, sideOf(mp) / 4, sideOf(mp) / 2);
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
        program = peakMegabytes({"/proc/self/exe", "--memory-child", std::to_string(mp), gFolder.string()});
        cli = peakMegabytes({VEM_CLI_PATH, "erase", "--original", file, "--at",
                             std::to_string(side / 4) + "," + std::to_string(side / 2), "--approx", std::to_string(Approx),
                             "--limit", std::to_string(Limit), "--out", (gFolder / "erased.bmp").string()});
    }
    state.counters["program_MB"] = program;
    state.counters["cli_MB"] = cli;
    state.counters["x_cli"] = cli > 0 ? program / cli : 0;
}

void sizes(benchmark::internal::Benchmark* b) { b->Arg(16)->Arg(64)->UseManualTime()->Iterations(Runs)->Unit(benchmark::kMillisecond); }

BENCHMARK(BM_LoadFileTwice)->Apply(sizes);
BENCHMARK(BM_OpenCommand)->Apply(sizes);
BENCHMARK(BM_EraseGesture)->Apply(sizes);
BENCHMARK(BM_RightClick)->Apply(sizes);
BENCHMARK(BM_ScrollOneScreen)->Arg(16)->Arg(64)->UseManualTime()->Iterations(4 * Runs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakMemory)->Arg(64)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 4 && std::string(argv[1]) == "--memory-child") {
        gFolder = argv[3];
        int childArgc = 1;
        return memoryChild(childArgc, argv, std::stoi(argv[2]));
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
