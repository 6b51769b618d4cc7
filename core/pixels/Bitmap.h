// Bitmaps: the bitmap graphic over its shared pixel store, and its drawing surface.
#pragma once

#include <cstdint>
#include <memory>

#include "core/pixels/BitmapImage.h"
#include "core/pixels/Color.h"
#include "core/pixels/Graphic.h"

namespace vem {

class TCanvas;

class TBitmap : public TGraphic {
public:
    TBitmap();
    ~TBitmap() override;

    // TGraphic
    void AssignFrom(const TGraphic* source) override; // a TBitmap or null; another kind raises EConvertError
    bool Empty() const override;
    int Width() const override;
    int Height() const override;
    // Sizing (negative sizes count as 0; more than MaxPixels pixels or a block
    // over MaxBlockBytes raises EOutOfMemory and changes nothing): a new empty
    // bitmap becomes device format, any other keeps its depth, table and
    // orientation and its overlapping top-left pixels; new area takes the
    // surface's brush colour once the bitmap has a surface, white before.
    void SetWidth(int width) override;
    void SetHeight(int height) override;
    std::unique_ptr<TGraphic> NewEmpty() const override;
    void LoadFromStream(TStream& stream) override;   // the BMP reader
    void SaveToStream(TWriteStream& stream) override; // the BMP writer
    const char* KindName() const override { return "bitmap"; }
    const char* ClassName() const override { return "TBitmap"; }

    void AssignFrom(const TBitmap* source);

    // Address of picture row Y (0 = top). Prepares a change first, even for a
    // read; raises the row-range error for Y outside 0 .. Height-1 (and always
    // for a bitmap without pixels). For a device-format bitmap the address is
    // into a fresh converted copy, and writes through it are lost at the next
    // change. The address stays valid until the next operation on this bitmap.
    std::uint8_t* Row(int y);
    // Row for a caller that only reads: the same preparation through
    // PrepareRead, so the reduced copies stay.
    const std::uint8_t* ReadRow(int y);

    TPixelDepth PixelDepth() const;
    // Converts every pixel into a new bottom-up store of that depth (nothing
    // for the current depth; pdCustom raises EInvalidGraphic). Other bitmaps
    // sharing the old store keep it.
    void SetPixelDepth(TPixelDepth depth);

    // The drawing surface, created on first use and owned by the bitmap.
    TCanvas& Surface();

    // --- Direct access for the engine, the reader and the display ---------
    // These do what Row and SetPixelColor do, without repeating the
    // preparation for every pixel.

    // The preparation of a change: make a shared store private, drop the
    // device conversion, zero colours used/important, drop the saved file.
    void PrepareChange();
    // The same preparation for a caller that only reads the pixels: they stay
    // as they are, so their reduced copies stay too (a private copy gets its
    // own). A store it would not change (no device conversion, colours
    // used/important zero, no saved file) stays shared.
    void PrepareRead();
    const TBitmapImage& Image() const { return *image_; }
    // The store, writable; call PrepareChange() first so that no other bitmap
    // shares it. Writes to Pixels are the bitmap's real pixels (device ones too).
    TBitmapImage& MutableImage() { return *image_; }
    // Shares this bitmap's store (for a read-only view that must outlive changes).
    std::shared_ptr<const TBitmapImage> SharedImage() const { return image_; }
    // Installs a new store (the reader, depth changes) and reports the change.
    void SetImage(std::shared_ptr<TBitmapImage> image);
    // Colour of pixel (X, Y) read through the bitmap's own depth; no
    // preparation. Raises the row-range error outside the bitmap.
    TColor PixelColor(int x, int y) const;
    // Tells the owner that pixels changed (after direct writes).
    void NotifyChanged() { Changed(); }

private:
    std::shared_ptr<TBitmapImage> image_;
    // Row's work after the preparation.
    std::uint8_t* preparedRow(int y);
    void prepare(bool pixelsStay);
    std::unique_ptr<TCanvas> canvas_;
    friend class TCanvas;
};

// The drawing surface of one bitmap. Pen: black, one pixel, solid.
// Brush: white and solid until set.
class TCanvas {
public:
    explicit TCanvas(TBitmap& bitmap) : bitmap_(bitmap) {}
    // Paints one pixel with ResolveColor(Color) in the bitmap's depth;
    // positions outside the bitmap are ignored.
    void SetPixelColor(int x, int y, TColor color);
    TColor BrushColor() const { return brushColor_; }
    void SetBrushColor(TColor c) { brushColor_ = c; }
    TColor PenColor() const { return clBlack; }
    // Fills columns X1..X2-1, rows Y1..Y2-1 with the brush colour and outlines
    // them with the pen; clipped to the bitmap. Nothing is drawn when X2 <= X1
    // or Y2 <= Y1. Both operations report a change, even when nothing was drawn.
    void DrawRectangle(int x1, int y1, int x2, int y2);

private:
    TBitmap& bitmap_;
    TColor brushColor_ = clWhite;
};

} // namespace vem
