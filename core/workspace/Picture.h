// The picture container and the display-independent image control.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/pixels/Bitmap.h"

namespace vem {

class TPicture {
public:
    TPicture() = default;
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    // The owned graphic, or null.
    TGraphic* Graphic() const { return graphic_.get(); }
    // The graphic becomes a copy of G (a new graphic of G's kind; bitmaps share
    // G's store), or none for null; the change is reported.
    void AssignGraphic(const TGraphic* g);
    // The graphic as a bitmap: anything else (none, icon, metafile) is replaced
    // by a new empty bitmap first. The reference stays valid until the graphic
    // is replaced.
    TBitmap& AsBitmap();
    int Width() const;
    int Height() const;
    // Reads a file into a new graphic of the kind its extension names; on
    // failure the picture keeps its previous graphic.
    void LoadFile(const std::string& fileName);
    // Writes the graphic to the file (safely, see TSafeFileWriter); nothing at
    // all when the picture holds no graphic.
    void SaveFile(const std::string& fileName) const;

    // Set by the owning image control; called after each replacement or change.
    std::function<void()> OnChange;
    // How many replacements and changes have been reported so far.
    std::uint64_t ChangeCount() const { return changes_; }

private:
    std::unique_ptr<TGraphic> graphic_;
    std::uint64_t changes_ = 0;
    void install(std::unique_ptr<TGraphic> g);
    void changed();
};

struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool operator==(const TRect&) const = default;
};

// An image control without a screen: its own size, its picture, AutoSize and
// the placement options. The user interface draws it.
class TImage {
public:
    explicit TImage(int width = 0, int height = 0);
    TImage(const TImage&) = delete;
    TImage& operator=(const TImage&) = delete;

    TPicture& Picture() { return picture_; }
    const TPicture& Picture() const { return picture_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetWidth(int w);
    void SetHeight(int h);
    void SetBounds(int w, int h);

    // Whenever the picture changes to one of non-zero width and height, the
    // control takes the picture's size.
    bool AutoSize = false;
    bool Stretch = false;
    bool Proportional = false;
    bool Center = false;

    // The canvas of the picture's bitmap; an empty picture first gets a blank
    // white device-format bitmap of the control's size. A picture holding an
    // icon or a metafile raises EInvalidOperation.
    TCanvas& Surface();

    // Where the picture is drawn inside a client area of CW x CH pixels.
    TRect DestRect(int clientWidth, int clientHeight) const;

    // Called after every change of the control's size or its picture.
    std::function<void()> OnChange;

private:
    TPicture picture_;
    int width_;
    int height_;
    void pictureChanged();
    void changed();
};

} // namespace vem
