#include "core/pixels/Bitmap.h"

#include <algorithm>
#include <cstring>

#include "core/base/Errors.h"
#include "core/pixels/PixelCodec.h"
#include "core/pixels/ReducedCopies.h"

namespace vem {

namespace {

// Rows are converted in slices of this many pixels, so a very wide row never
// needs a colour buffer of its own size.
constexpr int kSlice = 4096;

// Bytes of a W x H block at the given bit count, refused before anything is
// allocated when the picture or the block is larger than the program allows.
std::size_t checkedBlockBytes(std::int64_t width, std::int64_t height, int bitCount) {
    const std::uint64_t pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (pixels > MaxPixels) RaiseTooLarge();
    const std::uint64_t bytes = RowStride(width, bitCount) * static_cast<std::uint64_t>(height);
    if (bytes > MaxBlockBytes) RaiseTooLarge();
    return static_cast<std::size_t>(bytes);
}

// Copies the first Count pixels of a row into another row of the same depth;
// bits of the destination's last byte beyond them are kept.
void copyLeadingPixels(const std::uint8_t* from, std::uint8_t* to, std::int64_t count, int bitCount) {
    const std::uint64_t bits = static_cast<std::uint64_t>(count) * static_cast<unsigned>(bitCount);
    const std::size_t whole = static_cast<std::size_t>(bits / 8);
    std::memcpy(to, from, whole);
    if (const unsigned rest = static_cast<unsigned>(bits % 8)) {
        const unsigned mask = (0xFF00u >> rest) & 0xFFu; // the leftmost pixels lie in the high bits
        to[whole] = static_cast<std::uint8_t>((to[whole] & ~mask) | (from[whole] & mask));
    }
}

// The store of a bitmap sized to W x H: the same depth, table, orientation and
// flags; the overlapping top-left pixels kept, the rest filled with Fill.
// A new empty store (no bit count yet) becomes a device-format one.
std::shared_ptr<TBitmapImage> resizedStore(const TBitmapImage& old, int width, int height, TColor fill) {
    auto img = std::make_shared<TBitmapImage>();
    img->Width = width;
    img->StoredHeight = old.TopDown() ? -height : height;
    img->BitCount = old.BitCount;
    img->Compression = old.Compression;
    img->Masks = old.Masks;
    img->Device = old.Device;
    img->ColorTable = old.ColorTable;
    img->XPelsPerMeter = old.XPelsPerMeter;
    img->YPelsPerMeter = old.YPelsPerMeter;
    img->CoreHeader = old.CoreHeader;
    if (old.BitCount == 0) {
        img->Device = true;
        img->BitCount = DeviceBitCount;
        img->Compression = 0;
    }
    if (width <= 0 || height <= 0) return img;

    img->Pixels = PixelBlock::Zeroed(checkedBlockBytes(width, height, img->BitCount));
    const std::uint64_t stride = img->Stride();
    // Fill one row, then copy it to every row; the kept pixels go on top.
    {
        PixelCodec codec(*img);
        const std::uint32_t stored = codec.Encode(fill);
        std::uint8_t* first = img->StoredRow(0);
        for (int x = 0; x < width; ++x) codec.Store(first, x, stored);
        for (int s = 1; s < height; ++s) std::memcpy(img->StoredRow(s), first, stride);
    }
    if (old.HasPixels()) {
        const int keepWidth = std::min(width, old.Width);
        const int keepHeight = std::min(height, old.Height());
        for (int y = 0; y < keepHeight; ++y)
            copyLeadingPixels(old.PictureRow(y), img->PictureRow(y), keepWidth, img->BitCount);
    }
    return img;
}

// A new bottom-up store of the given depth holding Source's pixels.
std::shared_ptr<TBitmapImage> convertedStore(const TBitmapImage& source, TPixelDepth depth) {
    auto img = std::make_shared<TBitmapImage>();
    img->Width = source.Width;
    img->StoredHeight = source.Height();
    img->CoreHeader = source.CoreHeader;
    switch (depth) {
    case TPixelDepth::pdDevice: img->Device = true; img->BitCount = DeviceBitCount; break;
    case TPixelDepth::pd1Bit: img->BitCount = 1; break;
    case TPixelDepth::pd4Bit: img->BitCount = 4; break;
    case TPixelDepth::pd8Bit: img->BitCount = 8; break;
    case TPixelDepth::pd15Bit: img->BitCount = 16; break;
    case TPixelDepth::pd16Bit:
        img->BitCount = 16;
        img->Compression = 3;
        img->Masks = {0xF800, 0x07E0, 0x001F};
        break;
    case TPixelDepth::pd24Bit: img->BitCount = 24; break;
    case TPixelDepth::pd32Bit: img->BitCount = 32; break;
    case TPixelDepth::pdCustom: throw EInvalidGraphic(msg::InvalidPixelFormat);
    }
    img->ColorTable = StandardColorTable(depth);
    const int width = img->Width, height = img->Height();
    if (width <= 0 || height <= 0) return img;

    img->Pixels = PixelBlock::Zeroed(checkedBlockBytes(width, height, img->BitCount));
    if (!source.HasPixels()) return img;
    const PixelCodec in(source);
    PixelCodec out(*img);
    TColor slice[kSlice];
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* from = source.PictureRow(y);
        std::uint8_t* to = img->PictureRow(y);
        for (int x0 = 0; x0 < width; x0 += kSlice) {
            const int n = std::min(kSlice, width - x0);
            in.DecodeRow(from, x0, n, slice);
            out.EncodeRow(slice, n, to, x0);
        }
    }
    return img;
}

} // namespace

TBitmap::TBitmap() : image_(std::make_shared<TBitmapImage>()) {}

TBitmap::~TBitmap() = default;

void TBitmap::AssignFrom(const TGraphic* source) {
    if (!source) {
        AssignFrom(static_cast<const TBitmap*>(nullptr));
        return;
    }
    const auto* bitmap = dynamic_cast<const TBitmap*>(source);
    if (!bitmap) throw EConvertError(FormatMessage(msg::CannotAssign, {source->ClassName(), ClassName()}));
    AssignFrom(bitmap);
}

void TBitmap::AssignFrom(const TBitmap* source) {
    image_ = source ? source->image_ : std::make_shared<TBitmapImage>();
    Changed();
}

bool TBitmap::Empty() const { return image_->Width == 0 || image_->Height() == 0; }

int TBitmap::Width() const { return image_->Width; }

int TBitmap::Height() const { return image_->Height(); }

void TBitmap::SetWidth(int width) {
    width = std::max(width, 0);
    if (width == Width()) return;
    const TColor fill = canvas_ ? ResolveColor(canvas_->BrushColor()) : clWhite;
    SetImage(resizedStore(*image_, width, Height(), fill));
}

void TBitmap::SetHeight(int height) {
    height = std::max(height, 0);
    if (height == Height()) return;
    const TColor fill = canvas_ ? ResolveColor(canvas_->BrushColor()) : clWhite;
    SetImage(resizedStore(*image_, Width(), height, fill));
}

std::unique_ptr<TGraphic> TBitmap::NewEmpty() const { return std::make_unique<TBitmap>(); }

std::uint8_t* TBitmap::Row(int y) {
    PrepareChange();
    return preparedRow(y);
}

const std::uint8_t* TBitmap::ReadRow(int y) {
    PrepareRead();
    return preparedRow(y);
}

std::uint8_t* TBitmap::preparedRow(int y) {
    TBitmapImage& img = *image_;
    if (y < 0 || y >= img.Height() || !img.HasPixels()) RaiseScanLineError();
    const std::int64_t stored = img.TopDown() ? y : img.Height() - 1 - y;
    if (!img.Device) return img.StoredRow(stored);
    // Device pixels are handed out only as a converted copy, made afresh here
    // because the preparation above has just dropped the previous one.
    if (img.Converted.empty()) img.Converted = img.Pixels.Clone();
    return img.Converted.data() + static_cast<std::uint64_t>(stored) * img.Stride();
}

TPixelDepth TBitmap::PixelDepth() const { return image_->Depth(); }

void TBitmap::SetPixelDepth(TPixelDepth depth) {
    if (depth == PixelDepth()) return;
    // The new store is built from the current one without touching it, so a
    // store shared with other bitmaps needs no private copy first.
    SetImage(convertedStore(*image_, depth));
}

TCanvas& TBitmap::Surface() {
    if (!canvas_) canvas_ = std::make_unique<TCanvas>(*this);
    return *canvas_;
}

void TBitmap::PrepareChange() { prepare(false); }

void TBitmap::PrepareRead() { prepare(true); }

void TBitmap::prepare(bool pixelsStay) {
    // A read that would change nothing in the store needs no private copy:
    // its pixels stay, and so do its header and its reduced copies. Sharing
    // on saves a whole copy per read of a store that an undo step or another
    // window also holds.
    if (pixelsStay && !image_->Device && image_->ClrUsed == 0 && image_->ClrImportant == 0 &&
        image_->SavedFile.empty())
        return;
    if (image_.use_count() > 1) {
        auto copy = image_->Clone();
        if (pixelsStay && image_->Reduced) copy->Reduced = image_->Reduced->CopyFor(*copy);
        image_ = std::move(copy);
    } else {
        if (image_->Device) image_->Converted.reset();
        if (!pixelsStay) image_->PixelsChanging();
    }
    image_->ClrUsed = 0;
    image_->ClrImportant = 0;
    std::vector<std::uint8_t>().swap(image_->SavedFile);
}

void TBitmap::SetImage(std::shared_ptr<TBitmapImage> image) {
    image_ = image ? std::move(image) : std::make_shared<TBitmapImage>();
    Changed();
}

TColor TBitmap::PixelColor(int x, int y) const {
    const TBitmapImage& img = *image_;
    if (x < 0 || y < 0 || x >= img.Width || y >= img.Height() || !img.HasPixels()) RaiseScanLineError();
    const std::uint8_t* row = img.PictureRow(y);
    // The engine reads whole pictures pixel by pixel: the common layouts skip the codec.
    if (img.Device || (img.BitCount == 32 && img.Compression == 0)) {
        const std::uint8_t* p = row + 4 * static_cast<std::size_t>(x);
        return RGB(p[2], p[1], p[0]);
    }
    if (img.BitCount == 24) {
        const std::uint8_t* p = row + 3 * static_cast<std::size_t>(x);
        return RGB(p[2], p[1], p[0]);
    }
    return PixelCodec(img).Decode(row, x);
}

void TCanvas::SetPixelColor(int x, int y, TColor color) {
    bitmap_.PrepareChange();
    TBitmapImage& img = bitmap_.MutableImage();
    if (x >= 0 && y >= 0 && x < img.Width && y < img.Height() && img.HasPixels()) {
        const PixelCodec codec(img);
        codec.Store(img.PictureRow(y), x, codec.Encode(ResolveColor(color)));
    }
    bitmap_.NotifyChanged();
}

void TCanvas::DrawRectangle(int x1, int y1, int x2, int y2) {
    bitmap_.PrepareChange();
    TBitmapImage& img = bitmap_.MutableImage();
    const int left = std::max(x1, 0), top = std::max(y1, 0);
    const int right = std::min(x2, img.Width), bottom = std::min(y2, img.Height());
    if (x1 < x2 && y1 < y2 && left < right && top < bottom && img.HasPixels()) {
        const PixelCodec codec(img);
        const std::uint32_t brush = codec.Encode(ResolveColor(brushColor_));
        const std::uint32_t pen = codec.Encode(ResolveColor(PenColor()));
        // The outline is the rectangle's own first and last columns and rows
        // (right and bottom edges excluded), wherever clipping leaves them.
        const std::int64_t lastColumn = std::int64_t(x2) - 1, lastRow = std::int64_t(y2) - 1;
        for (int y = top; y < bottom; ++y) {
            std::uint8_t* row = img.PictureRow(y);
            const bool edgeRow = y == y1 || y == lastRow;
            for (int x = left; x < right; ++x)
                codec.Store(row, x, edgeRow || x == x1 || x == lastColumn ? pen : brush);
        }
    }
    bitmap_.NotifyChanged();
}

} // namespace vem
