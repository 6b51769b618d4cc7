#include "core/pixels/BitmapImage.h"

#include <utility>

namespace vem {

const char* PixelDepthName(TPixelDepth d) {
    switch (d) {
    case TPixelDepth::pdDevice: return "pdDevice";
    case TPixelDepth::pd1Bit: return "pd1Bit";
    case TPixelDepth::pd4Bit: return "pd4Bit";
    case TPixelDepth::pd8Bit: return "pd8Bit";
    case TPixelDepth::pd15Bit: return "pd15Bit";
    case TPixelDepth::pd16Bit: return "pd16Bit";
    case TPixelDepth::pd24Bit: return "pd24Bit";
    case TPixelDepth::pd32Bit: return "pd32Bit";
    case TPixelDepth::pdCustom: return "pdCustom";
    }
    return "pdCustom";
}

TPixelDepth TBitmapImage::Depth() const {
    if (Device || BitCount == 0) return TPixelDepth::pdDevice;
    switch (BitCount) {
    case 1: return TPixelDepth::pd1Bit;
    case 4: return TPixelDepth::pd4Bit;
    case 8: return TPixelDepth::pd8Bit;
    case 16:
        if (Compression == 0) return TPixelDepth::pd15Bit;
        return Masks[1] == 0x07E0 ? TPixelDepth::pd16Bit : TPixelDepth::pdCustom;
    case 24: return Compression == 0 ? TPixelDepth::pd24Bit : TPixelDepth::pdCustom;
    case 32: return Compression == 0 ? TPixelDepth::pd32Bit : TPixelDepth::pdCustom;
    default: return TPixelDepth::pdCustom;
    }
}

std::weak_ptr<const char> TBitmapImage::PixelsToken() const {
    if (!token_) token_ = std::make_shared<const char>();
    return token_;
}

void TBitmapImage::PixelsChanging() {
    Reduced.reset();
    Painted.reset();
    token_.reset();
}

std::shared_ptr<TBitmapImage> TBitmapImage::Clone() const {
    auto c = HeaderCopy();
    c->Pixels = Pixels.Clone();
    return c;
}

std::shared_ptr<TBitmapImage> TBitmapImage::HeaderCopy() const {
    auto c = std::make_shared<TBitmapImage>();
    c->Width = Width;
    c->StoredHeight = StoredHeight;
    c->BitCount = BitCount;
    c->Compression = Compression;
    c->Masks = Masks;
    c->Device = Device;
    c->ColorTable = ColorTable;
    c->XPelsPerMeter = XPelsPerMeter;
    c->YPelsPerMeter = YPelsPerMeter;
    c->ClrUsed = ClrUsed;
    c->ClrImportant = ClrImportant;
    c->SavedFile = SavedFile;
    c->CoreHeader = CoreHeader;
    return c;
}

void TBitmapImage::SwapHeader(TBitmapImage& other) noexcept {
    using std::swap;
    swap(Width, other.Width);
    swap(StoredHeight, other.StoredHeight);
    swap(BitCount, other.BitCount);
    swap(Compression, other.Compression);
    swap(Masks, other.Masks);
    swap(Device, other.Device);
    swap(ColorTable, other.ColorTable);
    swap(XPelsPerMeter, other.XPelsPerMeter);
    swap(YPelsPerMeter, other.YPelsPerMeter);
    swap(ClrUsed, other.ClrUsed);
    swap(ClrImportant, other.ClrImportant);
    swap(SavedFile, other.SavedFile);
    swap(CoreHeader, other.CoreHeader);
}

} // namespace vem
