#include "core/pixels/ReducedCopies.h"

#include <algorithm>
#include <new>

#include "core/pixels/Color.h"
#include "core/pixels/PixelCodec.h"

namespace vem {
namespace {

std::int32_t halved(std::int32_t size, int shift) { return std::max<std::int32_t>(1, size >> shift); }

// The first of the SIZE source pixels that output pixel I of COUNT averages
// (2^SHIFT of them, the last one taking the rest).
std::int64_t boxStart(std::int64_t i, int shift, std::int64_t count, std::int64_t size) {
    return i >= count ? size : std::min(size, i << shift);
}

// One source row as blue, green, red bytes: plain 24-bit rows as they are,
// everything else decoded into BUFFER.
class BgrRows {
public:
    BgrRows(const TBitmapImage& store, std::uint8_t* buffer, TColor* colors)
        : store_(store), codec_(store), buffer_(buffer), colors_(colors),
          plain24_(!store.Device && store.Compression == 0 && store.BitCount == 24),
          plain32_(store.Device || (store.Compression == 0 && store.BitCount == 32)) {}

    const std::uint8_t* Row(int y) const {
        const std::uint8_t* row = store_.PictureRow(y);
        if (plain24_) return row;
        const std::size_t w = static_cast<std::size_t>(store_.Width);
        if (plain32_) {
            for (std::size_t x = 0; x < w; ++x) std::copy_n(row + 4 * x, 3, buffer_ + 3 * x);
        } else {
            codec_.DecodeRow(row, 0, store_.Width, colors_);
            for (std::size_t x = 0; x < w; ++x) {
                buffer_[3 * x] = GetBValue(colors_[x]);
                buffer_[3 * x + 1] = GetGValue(colors_[x]);
                buffer_[3 * x + 2] = GetRValue(colors_[x]);
            }
        }
        return buffer_;
    }

private:
    const TBitmapImage& store_;
    PixelCodec codec_;
    std::uint8_t* buffer_;
    TColor* colors_;
    bool plain24_, plain32_;
};

// Averages SOURCE (WIDTH x HEIGHT, rows given by ROWOF as blue-green-red
// bytes) into LEVEL, 2^SHIFT source pixels a side per level pixel.
template <class RowOf>
void average(const RowOf& rowOf, std::int32_t width, std::int32_t height, int shift, TReducedLevel& level,
             std::uint64_t* sums) {
    const std::int64_t w = level.Width, h = level.Height;
    for (std::int64_t j = 0; j < h; ++j) {
        std::fill_n(sums, 3 * w, 0);
        const std::int64_t top = boxStart(j, shift, h, height), bottom = boxStart(j + 1, shift, h, height);
        for (std::int64_t y = top; y < bottom; ++y) {
            const std::uint8_t* row = rowOf(static_cast<int>(y));
            for (std::int64_t i = 0; i < w; ++i) {
                std::uint64_t* sum = sums + 3 * i;
                const std::int64_t end = boxStart(i + 1, shift, w, width);
                for (std::int64_t x = boxStart(i, shift, w, width); x < end; ++x) {
                    sum[0] += row[3 * x];
                    sum[1] += row[3 * x + 1];
                    sum[2] += row[3 * x + 2];
                }
            }
        }
        std::uint8_t* out = level.Row(static_cast<int>(j));
        for (std::int64_t i = 0; i < w; ++i) {
            const auto count = static_cast<std::uint64_t>(
                (boxStart(i + 1, shift, w, width) - boxStart(i, shift, w, width)) * (bottom - top));
            for (int c = 0; c < 3; ++c) out[3 * i + c] = static_cast<std::uint8_t>((sums[3 * i + c] + count / 2) / count);
        }
    }
}

} // namespace

TReducedCopies::TReducedCopies(const TBitmapImage& store) {
    const std::int32_t width = store.Width, height = store.Height();
    if (!store.HasPixels() || width <= 0 || height <= 0 || store.BitCount == 0) return;
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) < MinPixels) return;
    // The deepest levels first: each level is added while all of them
    // together stay under a third of the store's block.
    const std::uint64_t budget = store.Pixels.size() / 3;
    int last = 1;
    while (last < static_cast<int>(levels_.size()) && (halved(width, last) > 1 || halved(height, last) > 1)) ++last;
    std::uint64_t total = 0;
    int first = last + 1;
    for (int shift = last; shift >= 1; --shift) {
        const std::uint64_t bytes = 3 * static_cast<std::uint64_t>(halved(width, shift)) * halved(height, shift);
        if (total + bytes >= budget) break;
        total += bytes;
        first = shift;
    }
    if (first > last) return;

    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[3 * static_cast<std::size_t>(width)]);
    std::unique_ptr<TColor[]> colors(new (std::nothrow) TColor[static_cast<std::size_t>(width)]);
    std::unique_ptr<std::uint64_t[]> sums(new (std::nothrow) std::uint64_t[3 * static_cast<std::size_t>(width)]);
    if (!buffer || !colors || !sums) return;
    const BgrRows rows(store, buffer.get(), colors.get());
    for (int shift = first; shift <= last; ++shift) {
        TReducedLevel& level = levels_[static_cast<std::size_t>(count_)];
        level.Shift = shift;
        level.Width = halved(width, shift);
        level.Height = halved(height, shift);
        level.Bgr.reset(new (std::nothrow) std::uint8_t[3 * static_cast<std::size_t>(level.Width) * level.Height]);
        if (!level.Bgr) return;
        if (count_ == 0) {
            average([&](int y) { return rows.Row(y); }, width, height, shift, level, sums.get());
        } else {
            // Each further level halves the one before it.
            const TReducedLevel& above = levels_[static_cast<std::size_t>(count_ - 1)];
            average([&](int y) { return above.Row(y); }, above.Width, above.Height, 1, level, sums.get());
        }
        ++count_;
    }
}

const TReducedLevel* TReducedCopies::Level(int shift) const {
    const TReducedLevel* found = nullptr;
    for (int i = 0; i < count_ && levels_[static_cast<std::size_t>(i)].Shift <= shift; ++i)
        found = &levels_[static_cast<std::size_t>(i)];
    return found;
}

std::uint64_t TReducedCopies::Bytes() const {
    std::uint64_t total = 0;
    for (int i = 0; i < count_; ++i) {
        const TReducedLevel& level = levels_[static_cast<std::size_t>(i)];
        total += 3 * static_cast<std::uint64_t>(level.Width) * static_cast<std::uint64_t>(level.Height);
    }
    return total;
}

const TReducedCopies& ReducedCopiesOf(const TBitmapImage& store) {
    if (!store.Reduced) store.Reduced = std::make_shared<const TReducedCopies>(store);
    return *store.Reduced;
}

} // namespace vem
