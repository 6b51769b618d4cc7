#include "core/workspace/Picture.h"

#include <algorithm>
#include <utility>

#include "core/base/Errors.h"
#include "core/base/FileNames.h"
#include "core/formats/FileFormats.h"
#include "core/formats/Stream.h"

namespace vem {

void TPicture::AssignGraphic(const TGraphic* g) {
    std::unique_ptr<TGraphic> copy;
    if (g) {
        copy = g->NewEmpty();
        copy->AssignFrom(g);
    }
    install(std::move(copy));
}

TBitmap& TPicture::AsBitmap() {
    // cppcheck-suppress constVariable ; returned as a writable reference
    if (auto* bitmap = dynamic_cast<TBitmap*>(graphic_.get())) return *bitmap;
    auto fresh = std::make_unique<TBitmap>();
    TBitmap& result = *fresh;
    install(std::move(fresh));
    return result;
}

int TPicture::Width() const { return graphic_ ? graphic_->Width() : 0; }

int TPicture::Height() const { return graphic_ ? graphic_->Height() : 0; }

void TPicture::LoadFile(const std::string& fileName) {
    const std::string extension = ExtractExtension(fileName);
    const TFileFormat* format = TFileFormatsList::Instance().Find(extension);
    if (!format) throw EInvalidGraphic(FormatMessage(msg::UnknownExtension, {extension}));
    std::unique_ptr<TGraphic> graphic = format->Create();
    {
        TFileReadStream stream(fileName);
        graphic->LoadFromStream(stream);
    }
    install(std::move(graphic));
}

void TPicture::SaveFile(const std::string& fileName) const {
    if (!graphic_) return;
    TSafeFileWriter file(fileName);
    graphic_->SaveToStream(file);
    file.Commit();
}

// The new graphic replaces the old one only if its report goes through: should
// the owner's handler fail, the old graphic is put back and the new one dropped.
void TPicture::install(std::unique_ptr<TGraphic> g) {
    if (g) g->OnChange = [this] { changed(); };
    std::unique_ptr<TGraphic> old = std::exchange(graphic_, std::move(g));
    try {
        changed();
    } catch (...) {
        graphic_ = std::move(old);
        throw;
    }
}

void TPicture::changed() {
    ++changes_;
    if (OnChange) OnChange();
}

TImage::TImage(int width, int height) : width_(std::max(width, 0)), height_(std::max(height, 0)) {
    picture_.OnChange = [this] { pictureChanged(); };
}

void TImage::SetWidth(int w) { SetBounds(w, height_); }

void TImage::SetHeight(int h) { SetBounds(width_, h); }

void TImage::SetBounds(int w, int h) {
    w = std::max(w, 0);
    h = std::max(h, 0);
    if (w == width_ && h == height_) return;
    width_ = w;
    height_ = h;
    changed();
}

void TImage::pictureChanged() {
    const int w = picture_.Width(), h = picture_.Height();
    if (AutoSize && w > 0 && h > 0) {
        width_ = w;
        height_ = h;
    }
    changed();
}

void TImage::changed() {
    if (OnChange) OnChange();
}

TCanvas& TImage::Surface() {
    if (!picture_.Graphic()) {
        // The blank bitmap: sized width first, then height, while it has no
        // surface yet, so every pixel is white.
        TBitmap blank;
        blank.SetWidth(width_);
        blank.SetHeight(height_);
        picture_.AssignGraphic(&blank);
    }
    if (auto* bitmap = dynamic_cast<TBitmap*>(picture_.Graphic())) return bitmap->Surface();
    throw EInvalidOperation(msg::ChangeNeedsBitmap);
}

TRect TImage::DestRect(int clientWidth, int clientHeight) const {
    const int w = picture_.Width(), h = picture_.Height();
    const int cw = clientWidth, ch = clientHeight;
    int dw = w, dh = h;
    if (Stretch || (Proportional && (w > cw || h > ch))) {
        if (Proportional && w > 0 && h > 0) {
            const double r = static_cast<double>(w) / h;
            if (w > h) {
                dw = cw;
                dh = static_cast<int>(cw / r);
                if (dh > ch) {
                    dh = ch;
                    dw = static_cast<int>(ch * r);
                }
            } else {
                dh = ch;
                dw = static_cast<int>(ch * r);
                if (dw > cw) {
                    dw = cw;
                    dh = static_cast<int>(cw / r);
                }
            }
        } else {
            dw = cw;
            dh = ch;
        }
    }
    TRect rect{0, 0, dw, dh};
    if (Center) {
        const int dx = (cw - dw) / 2, dy = (ch - dh) / 2;
        rect = {dx, dy, dx + dw, dy + dh};
    }
    return rect;
}

} // namespace vem
