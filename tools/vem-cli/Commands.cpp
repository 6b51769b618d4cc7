#include "Commands.h"

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <iostream>
#include <new>

#include "core/base/Errors.h"
#include "core/pixels/Bitmap.h"
#include "core/workspace/Picture.h"
#include "core/workspace/Workspace.h"
#include "export/PngExport.h"

namespace vemcli {

namespace {

// Runs Body; a failure is written to stderr as the error box would show it,
// preceded by Prefix, and gives status 1.
int reportFailures(const std::string& prefix, const std::function<void()>& body) {
    try {
        body();
        return 0;
    } catch (const vem::Exception& e) {
        std::cerr << prefix << vem::ErrorBoxText(e.Message) << '\n';
    } catch (const std::bad_alloc&) {
        std::cerr << prefix << vem::ErrorBoxText(vem::msg::OutOfMemory) << '\n';
    }
    return 1;
}

std::string sizeText(int width, int height) { return std::to_string(width) + "×" + std::to_string(height); }

std::string describe(const vem::TGraphic& graphic) {
    if (auto bitmap = dynamic_cast<const vem::TBitmap*>(&graphic))
        return sizeText(bitmap->Width(), bitmap->Height()) + " " + vem::PixelDepthName(bitmap->PixelDepth());
    return std::string(graphic.KindName()) + " " + sizeText(graphic.Width(), graphic.Height());
}

// The caption during a run goes to a terminal only: in a pipe or a log the
// carriage-return updates would be noise.
class Progress {
public:
    explicit Progress(vem::TWorkspace& ws) {
        if (!isatty(STDERR_FILENO)) return;
        ws.OnCaption = [this, &ws](const std::string& text) {
            // The caption going back to the title ends an export: the last
            // percentage stays on the line.
            if (text == ws.TitleText) return;
            std::cerr << '\r' << text << std::flush;
            shown_ = true;
        };
    }
    ~Progress() {
        if (shown_) std::cerr << '\n';
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

private:
    bool shown_ = false;
};

void loadPictures(vem::TWorkspace& ws, const std::string& original, const std::string& editing) {
    ws.LoadByTarget(1, original);
    if (!editing.empty()) ws.LoadByTarget(2, editing);
}

void savePictures(vem::TWorkspace& ws, const std::optional<std::string>& out,
                  const std::optional<std::string>& pngOut, const std::string& maskOut) {
    if (out) ws.SaveSlot(ws.Finished, *out);
    if (!maskOut.empty()) ws.SaveSlot(ws.Editing, maskOut);
    if (pngOut) vem::ExportFinishedPng(ws, *pngOut);
}

} // namespace

int RunInfo(const std::vector<std::string>& files) {
    int status = 0;
    for (const auto& file : files) {
        status |= reportFailures(file + ": ", [&] {
            vem::TPicture picture;
            picture.LoadFile(file);
            std::cout << file << ": " << describe(*picture.Graphic()) << '\n';
        });
    }
    return status;
}

int RunCopy(const std::string& in, const std::string& out) {
    return reportFailures("", [&] {
        vem::TPicture picture;
        picture.LoadFile(in);
        picture.SaveFile(out);
    });
}

int RunConvert(const ConvertOptions& o) {
    bool rejected = false;
    const int status = reportFailures("", [&] {
        vem::TWorkspace ws;
        Progress progress(ws);
        loadPictures(ws, o.Original, o.Editing);
        auto& s = ws.Settings;
        s.ConvMode = o.Mode;
        if (o.Target) s.TargetColor = *o.Target;
        if (o.Back) s.BackColor = *o.Back;
        if (o.PointX) s.PointX = *o.PointX;
        if (o.PointY) s.PointY = *o.PointY;
        if (o.Approx) s.ApproxLV = *o.Approx;
        if (o.Limit) s.LimitLV = *o.Limit;
        if (!ws.RunConversion()) {
            // The program does nothing silently here; a script must hear it.
            std::cerr << "--point " << s.PointX << ',' << s.PointY
                      << ": no pixel of the original there, nothing converted\n";
            rejected = true;
            return;
        }
        savePictures(ws, o.Out, o.PngOut, o.MaskOut);
    });
    return rejected ? 1 : status;
}

int RunErase(const EraseOptions& o) {
    return reportFailures("", [&] {
        vem::TWorkspace ws;
        Progress progress(ws);
        loadPictures(ws, o.Original, o.Editing);
        auto& s = ws.Settings;
        if (o.Approx) s.ApproxLV = *o.Approx;
        if (o.Limit) s.LimitLV = *o.Limit;
        if (o.Back) s.BackColor = *o.Back;
        for (const auto& at : o.At) {
            // A click off the picture does nothing in the program either; say
            // so, since a script cannot see it.
            if (!ws.EraseGesture(ws.Slot(o.From), at.X, at.Y, o.Apply))
                std::cerr << "--at " << at.X << ',' << at.Y << ": no pixel there, nothing erased\n";
        }
        savePictures(ws, o.Out, o.PngOut, o.MaskOut);
    });
}

} // namespace vemcli
