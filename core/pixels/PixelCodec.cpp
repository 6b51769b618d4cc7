#include "core/pixels/PixelCodec.h"

#include <bit>
#include <cstring>

namespace vem {

namespace {

// 16-bit pixels without masks hold 5 bits per channel: red 14-10, green 9-5, blue 4-0.
constexpr std::uint32_t kMasks555[3] = {0x7C00, 0x03E0, 0x001F};
// Widening tables are worth building only for narrow channels.
constexpr std::uint32_t kMaxWidenTable = 0xFFF;
constexpr std::size_t kNearestCacheSize = 4096;

// round(v * 255 / max), exact, half up.
inline std::uint32_t widen(std::uint32_t v, std::uint32_t max) {
    return static_cast<std::uint32_t>((std::uint64_t(v) * 510 + max) / (std::uint64_t(max) * 2));
}
// round(c * max / 255), exact, half up.
inline std::uint32_t narrow(std::uint32_t c, std::uint32_t max) {
    return static_cast<std::uint32_t>((std::uint64_t(c) * max * 2 + 255) / 510);
}

inline std::uint32_t load16(const std::uint8_t* p) { return p[0] | (std::uint32_t(p[1]) << 8); }
inline std::uint32_t load32(const std::uint8_t* p) {
    return p[0] | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}
inline void put32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

inline TColor quadColor(const TRGBQuad& q) { return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue); }

std::vector<TRGBQuad> makeTable(std::initializer_list<TColor> colors) {
    std::vector<TRGBQuad> t;
    for (TColor c : colors) t.push_back({GetBValue(c), GetGValue(c), GetRValue(c), 0});
    return t;
}

// The halftone table of pd8Bit: a 6 x 6 x 6 colour cube (levels 0, 51, ... 255,
// blue varying fastest) followed by 40 greys i * 255 / 41 rounded (i = 1..40),
// which fall between the cube's six grey levels.
std::vector<TRGBQuad> makeHalftone() {
    std::vector<TRGBQuad> t;
    t.reserve(256);
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                t.push_back({static_cast<std::uint8_t>(b * 51), static_cast<std::uint8_t>(g * 51),
                             static_cast<std::uint8_t>(r * 51), 0});
    for (int i = 1; i <= 40; ++i) {
        auto v = static_cast<std::uint8_t>((i * 510 + 41) / 82);
        t.push_back({v, v, v, 0});
    }
    return t;
}

} // namespace

const std::vector<TRGBQuad>& StandardColorTable(TPixelDepth depth) {
    static const std::vector<TRGBQuad> mono = makeTable({clBlack, clWhite});
    // The 16 standard colours in their usual order: the dark half, light grey,
    // dark grey, then the bright half.
    static const std::vector<TRGBQuad> vga = makeTable({
        RGB(0, 0, 0), RGB(128, 0, 0), RGB(0, 128, 0), RGB(128, 128, 0),
        RGB(0, 0, 128), RGB(128, 0, 128), RGB(0, 128, 128), RGB(192, 192, 192),
        RGB(128, 128, 128), RGB(255, 0, 0), RGB(0, 255, 0), RGB(255, 255, 0),
        RGB(0, 0, 255), RGB(255, 0, 255), RGB(0, 255, 255), RGB(255, 255, 255),
    });
    static const std::vector<TRGBQuad> halftone = makeHalftone();
    static const std::vector<TRGBQuad> none;
    switch (depth) {
    case TPixelDepth::pd1Bit: return mono;
    case TPixelDepth::pd4Bit: return vga;
    case TPixelDepth::pd8Bit: return halftone;
    default: return none;
    }
}

PixelCodec::PixelCodec(const TBitmapImage& image) : bitCount_(image.Device ? DeviceBitCount : image.BitCount) {
    const std::uint32_t* masks = nullptr;
    if (image.Device) {
        layout_ = Layout::Bgr32;
    } else {
        switch (image.BitCount) {
        case 1: case 2: case 4: case 8:
            layout_ = Layout::Indexed;
            break;
        case 16:
            layout_ = Layout::Masked16;
            masks = image.Compression == 0 ? kMasks555 : image.Masks.data();
            break;
        case 24:
            layout_ = Layout::Bgr24;
            break;
        case 32:
            if (image.Compression == 0) {
                layout_ = Layout::Bgr32;
            } else {
                layout_ = Layout::Masked32;
                masks = image.Masks.data();
            }
            break;
        default:
            layout_ = Layout::Unknown;
        }
    }
    if (masks) {
        for (int i = 0; i < 3; ++i) {
            masks_[i] = masks[i];
            shift_[i] = masks[i] ? std::countr_zero(masks[i]) : 0;
            max_[i] = masks[i] >> shift_[i];
        }
    }
    // Never index past what the store holds, nor past 256 entries.
    table_ = image.ColorTable.data();
    tableSize_ = static_cast<int>(image.ColorTable.size() < 256 ? image.ColorTable.size() : 256);
}

TColor PixelCodec::decodeMasked(std::uint32_t word) const {
    std::uint32_t c[3];
    for (int i = 0; i < 3; ++i)
        c[i] = max_[i] ? widen((word & masks_[i]) >> shift_[i], max_[i]) : 0;
    return RGB(static_cast<std::uint8_t>(c[0]), static_cast<std::uint8_t>(c[1]), static_cast<std::uint8_t>(c[2]));
}

TColor PixelCodec::Decode(const std::uint8_t* row, int x) const {
    const auto ux = static_cast<std::size_t>(x);
    switch (layout_) {
    case Layout::Indexed: {
        std::uint32_t index;
        if (bitCount_ == 8) {
            index = row[ux];
        } else {
            const std::uint64_t bit = std::uint64_t(ux) * static_cast<unsigned>(bitCount_);
            const unsigned shift = 8 - static_cast<unsigned>(bitCount_) - static_cast<unsigned>(bit & 7);
            index = (row[bit >> 3] >> shift) & ((1u << bitCount_) - 1);
        }
        return index < static_cast<std::uint32_t>(tableSize_) ? quadColor(table_[index]) : clBlack;
    }
    case Layout::Bgr24: {
        const std::uint8_t* p = row + 3 * ux;
        return RGB(p[2], p[1], p[0]);
    }
    case Layout::Bgr32: {
        const std::uint8_t* p = row + 4 * ux;
        return RGB(p[2], p[1], p[0]);
    }
    case Layout::Masked16: return decodeMasked(load16(row + 2 * ux));
    case Layout::Masked32: return decodeMasked(load32(row + 4 * ux));
    case Layout::Unknown: break;
    }
    return clBlack;
}

void PixelCodec::DecodeRow(const std::uint8_t* row, int x0, int count, TColor* out) const {
    if (count <= 0) return;
    const auto start = static_cast<std::size_t>(x0);
    const auto n = static_cast<std::size_t>(count);
    switch (layout_) {
    case Layout::Bgr24: {
        const std::uint8_t* p = row + 3 * start;
        for (std::size_t i = 0; i < n; ++i, p += 3)
            out[i] = RGB(p[2], p[1], p[0]);
        return;
    }
    case Layout::Bgr32: {
        const std::uint8_t* p = row + 4 * start;
        for (std::size_t i = 0; i < n; ++i, p += 4) out[i] = RGB(p[2], p[1], p[0]);
        return;
    }
    case Layout::Indexed:
        if (bitCount_ == 8) {
            TColor table[256];
            for (int i = 0; i < 256; ++i) table[i] = i < tableSize_ ? quadColor(table_[i]) : clBlack;
            for (std::size_t i = 0; i < n; ++i) out[i] = table[row[start + i]];
            return;
        }
        for (std::size_t i = 0; i < n; ++i) out[i] = Decode(row, static_cast<int>(start + i));
        return;
    case Layout::Masked16:
    case Layout::Masked32: {
        const bool narrowChannels = max_[0] <= kMaxWidenTable && max_[1] <= kMaxWidenTable && max_[2] <= kMaxWidenTable;
        if (!narrowChannels) {
            for (std::size_t i = 0; i < n; ++i) out[i] = Decode(row, static_cast<int>(start + i));
            return;
        }
        if (widen_[0].empty()) {
            for (int c = 0; c < 3; ++c) {
                widen_[c].resize(max_[c] + 1);
                for (std::uint32_t v = 0; v <= max_[c]; ++v)
                    widen_[c][v] = static_cast<std::uint8_t>(max_[c] ? widen(v, max_[c]) : 0);
            }
        }
        const std::uint8_t* r = widen_[0].data();
        const std::uint8_t* g = widen_[1].data();
        const std::uint8_t* b = widen_[2].data();
        const int bytes = layout_ == Layout::Masked16 ? 2 : 4;
        const std::uint8_t* p = row + static_cast<std::size_t>(bytes) * start;
        for (std::size_t i = 0; i < n; ++i, p += bytes) {
            const std::uint32_t w = bytes == 2 ? load16(p) : load32(p);
            out[i] = RGB(r[(w & masks_[0]) >> shift_[0]], g[(w & masks_[1]) >> shift_[1]], b[(w & masks_[2]) >> shift_[2]]);
        }
        return;
    }
    case Layout::Unknown:
        for (std::size_t i = 0; i < n; ++i) out[i] = clBlack;
        return;
    }
}

std::uint32_t PixelCodec::nearestIndex(TColor rgb) const {
    const int r = GetRValue(rgb), g = GetGValue(rgb), b = GetBValue(rgb);
    std::uint32_t best = 0;
    int bestDistance = 0x7FFFFFFF;
    for (int i = 0; i < tableSize_; ++i) {
        const int dr = table_[i].rgbRed - r;
        int d = dr * dr;
        if (d >= bestDistance) continue; // cannot win, nor tie with an earlier entry
        const int dg = table_[i].rgbGreen - g, db = table_[i].rgbBlue - b;
        d += dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = static_cast<std::uint32_t>(i);
            if (d == 0) break;
        }
    }
    return best;
}

std::uint32_t PixelCodec::nearestCached(TColor rgb) {
    if (nearest_.empty()) nearest_.assign(kNearestCacheSize, 0);
    const auto key = static_cast<std::uint32_t>(rgb) & 0xFFFFFFu;
    const std::size_t slot = (key * 2654435761u) >> 20 & (kNearestCacheSize - 1);
    // An entry is (1 << 40) | colour << 8 | index; 0 marks an empty slot.
    const std::uint64_t entry = nearest_[slot];
    if ((entry >> 8) == ((std::uint64_t(1) << 32) | key)) return static_cast<std::uint32_t>(entry & 0xFF);
    const std::uint32_t index = nearestIndex(static_cast<TColor>(key));
    nearest_[slot] = (std::uint64_t(1) << 40) | (std::uint64_t(key) << 8) | index;
    return index;
}

std::uint32_t PixelCodec::Encode(TColor rgb) const {
    const std::uint32_t r = GetRValue(rgb), g = GetGValue(rgb), b = GetBValue(rgb);
    switch (layout_) {
    case Layout::Indexed: return nearestIndex(rgb);
    case Layout::Bgr24:
    case Layout::Bgr32: return b | g << 8 | r << 16;
    case Layout::Masked16:
    case Layout::Masked32: {
        const std::uint32_t c[3] = {r, g, b};
        std::uint32_t word = 0;
        for (int i = 0; i < 3; ++i)
            if (max_[i]) word |= (narrow(c[i], max_[i]) << shift_[i]) & masks_[i];
        return word;
    }
    case Layout::Unknown: break;
    }
    return 0;
}

void PixelCodec::Store(std::uint8_t* row, int x, std::uint32_t stored) const {
    const auto ux = static_cast<std::size_t>(x);
    switch (layout_) {
    case Layout::Indexed:
        if (bitCount_ == 8) {
            row[ux] = static_cast<std::uint8_t>(stored);
        } else {
            const std::uint64_t bit = std::uint64_t(ux) * static_cast<unsigned>(bitCount_);
            const unsigned shift = 8 - static_cast<unsigned>(bitCount_) - static_cast<unsigned>(bit & 7);
            const unsigned mask = ((1u << bitCount_) - 1) << shift;
            std::uint8_t& byte = row[bit >> 3];
            byte = static_cast<std::uint8_t>((byte & ~mask) | ((stored << shift) & mask));
        }
        return;
    case Layout::Bgr24: {
        std::uint8_t* p = row + 3 * ux;
        p[0] = static_cast<std::uint8_t>(stored);
        p[1] = static_cast<std::uint8_t>(stored >> 8);
        p[2] = static_cast<std::uint8_t>(stored >> 16);
        return;
    }
    case Layout::Bgr32:
    case Layout::Masked32: put32(row + 4 * ux, stored); return;
    case Layout::Masked16: {
        std::uint8_t* p = row + 2 * ux;
        p[0] = static_cast<std::uint8_t>(stored);
        p[1] = static_cast<std::uint8_t>(stored >> 8);
        return;
    }
    case Layout::Unknown: return;
    }
}

void PixelCodec::EncodeRow(const TColor* in, int count, std::uint8_t* row, int x0) {
    if (count <= 0) return;
    const auto start = static_cast<std::size_t>(x0);
    const auto n = static_cast<std::size_t>(count);
    switch (layout_) {
    case Layout::Bgr24: {
        std::uint8_t* p = row + 3 * start;
        for (std::size_t i = 0; i < n; ++i, p += 3) {
            p[0] = GetBValue(in[i]);
            p[1] = GetGValue(in[i]);
            p[2] = GetRValue(in[i]);
        }
        return;
    }
    case Layout::Bgr32: {
        std::uint8_t* p = row + 4 * start;
        for (std::size_t i = 0; i < n; ++i, p += 4) {
            p[0] = GetBValue(in[i]);
            p[1] = GetGValue(in[i]);
            p[2] = GetRValue(in[i]);
            p[3] = 0;
        }
        return;
    }
    case Layout::Indexed:
        for (std::size_t i = 0; i < n; ++i) Store(row, static_cast<int>(start + i), nearestCached(in[i]));
        return;
    case Layout::Masked16:
    case Layout::Masked32: {
        if (narrow_.empty()) {
            narrow_.resize(std::size_t(3) * 256);
            for (std::uint32_t v = 0; v < 256; ++v) {
                narrow_[v] = Encode(RGB(static_cast<std::uint8_t>(v), 0, 0));
                narrow_[256 + v] = Encode(RGB(0, static_cast<std::uint8_t>(v), 0));
                narrow_[512 + v] = Encode(RGB(0, 0, static_cast<std::uint8_t>(v)));
            }
        }
        const std::uint32_t* lut = narrow_.data();
        for (std::size_t i = 0; i < n; ++i) {
            const TColor c = in[i];
            Store(row, static_cast<int>(start + i), lut[GetRValue(c)] | lut[256 + GetGValue(c)] | lut[512 + GetBValue(c)]);
        }
        return;
    }
    case Layout::Unknown:
        return;
    }
}

} // namespace vem
