// Makes the picture of the main window shown in the README and the user guide
// (docs/images/main-window.png unless OUTPUT is given): three generated
// pictures loaded into the three windows, a "一致部分を残す" run, and the window
// grabbed on the offscreen platform. Usage: vem-screenshot [OUTPUT.png]
#include <cmath>
#include <cstdint>
#include <cstdio>

#include <QDir>
#include <QMdiArea>
#include <QPixmap>
#include <QTemporaryDir>

#include "core/pixels/Bitmap.h"
#include "core/workspace/Picture.h"
#include "ui/Application.h"
#include "ui/ErrorDisplay.h"
#include "ui/ImageWindow.h"
#include "ui/MainForm.h"

namespace {

constexpr int W = 200;
constexpr int H = 150;

bool inBall(int x, int y) { return (x - 70) * (x - 70) + (y - 80) * (y - 80) < 38 * 38; }
bool inBox(int x, int y) { return x >= 120 && x < 175 && y >= 40 && y < 120; }

// The original: a sky-to-grass background with a red ball and a blue box.
vem::TColor original(int x, int y) {
    if (inBall(x, y)) {
        const int shade = std::max(0, 230 - static_cast<int>(std::hypot(x - 58, y - 68) * 3));
        return vem::RGB(200 + shade / 9, shade / 3, shade / 4);
    }
    if (inBox(x, y)) return vem::RGB(40, 70, 190 + (x - 120));
    if (y < 100) return vem::RGB(120 + y / 2, 170 + y / 3, 250);
    return vem::RGB(60, 150 + (x % 7), 60);
}

// The retouched copy: the background blotted out in magenta, the objects kept.
vem::TColor editing(int x, int y) {
    return inBall(x, y) || inBox(x, y) ? original(x, y) : vem::RGB(255, 0, 255);
}

void writePicture(const QString& path, vem::TColor (*colorAt)(int, int)) {
    vem::TPicture picture;
    vem::TBitmap bitmap;
    bitmap.SetPixelDepth(vem::TPixelDepth::pd24Bit);
    bitmap.SetWidth(W);
    bitmap.SetHeight(H);
    for (int y = 0; y < H; ++y) {
        std::uint8_t* row = bitmap.Row(y);
        for (int x = 0; x < W; ++x) {
            const vem::TColor c = colorAt(x, y);
            row[3 * x] = vem::GetBValue(c);
            row[3 * x + 1] = vem::GetGValue(c);
            row[3 * x + 2] = vem::GetRValue(c);
        }
    }
    picture.AssignGraphic(&bitmap);
    picture.SaveFile(path.toStdString());
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    vemui::TApplication app(argc, argv);
    const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/images/main-window.png");
    QTemporaryDir dir;
    bool ok = true;
    vemui::SetErrorBoxHook([&ok](const QString&, const QString& text) {
        std::fprintf(stderr, "vem-screenshot: %s\n", text.toUtf8().constData());
        ok = false;
    });

    CreateApplicationForms();
    MainForm->resize(840, 300);
    MainForm->show();
    vemui::Guarded([&] {
        const QString a = dir.filePath(QStringLiteral("original.bmp"));
        const QString b = dir.filePath(QStringLiteral("editing.bmp"));
        writePicture(a, original);
        writePicture(b, editing);
        MainForm->LoadByTarget(1, a);
        MainForm->LoadByTarget(2, b);
        vem::TConvSettings& s = MainForm->Workspace.Settings;
        s.ConvMode = 0;
        s.BackColor = vem::RGB(255, 255, 255);
        MainForm->Workspace.RunConversion();
    });
    // Side by side at their own size, finished window active.
    int x = 0;
    for (TMDIChild* c : MainForm->ImageWindows()) {
        c->move(x, 0);
        x += c->width() + 8;
    }
    MainForm->MdiArea->setActiveSubWindow(MainForm->ImageWindows().back());
    QCoreApplication::processEvents();

    if (ok) {
        QDir().mkpath(QFileInfo(output).absolutePath());
        ok = MainForm->grab().save(output, "PNG");
        if (!ok) std::fprintf(stderr, "vem-screenshot: cannot write %s\n", output.toUtf8().constData());
    }
    DestroyApplicationForms();
    return ok ? 0 : 1;
}
