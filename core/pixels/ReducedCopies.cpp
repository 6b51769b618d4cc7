#include "core/pixels/ReducedCopies.h"

#include <algorithm>
#include <new>
#include <vector>

#include "core/pixels/Color.h"
#include "core/pixels/PaintedBits.h"
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
          plain24_(store.Plain24()),
          plain32_(store.Device || (store.Compression == 0 && store.BitCount == 32)) {}

    // Rows handed out straight from the store, each at its own address;
    // decoded rows all share the one buffer.
    bool Plain() const { return plain24_; }

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

// Adding rows into 16-bit sums is most of the work of a level: built twice,
// with and without the wider vector instructions, and chosen at load time.
#if defined(__x86_64__) && !defined(__AVX2__)
#define VEM_ROW_SUM_CLONES [[gnu::target_clones("avx2", "default")]]
#else
#define VEM_ROW_SUM_CLONES
#endif

// SUM[K] += A[K] + B[K] + C[K] + D[K] for K in FROM .. TO-1; B, C and D
// may be null together, for one row.
VEM_ROW_SUM_CLONES void addFourRows(std::uint16_t* sum, const std::uint8_t* a, const std::uint8_t* b,
                                    const std::uint8_t* c, const std::uint8_t* d, std::size_t from, std::size_t to) {
    if (!b) {
        for (std::size_t k = from; k < to; ++k) sum[k] = static_cast<std::uint16_t>(sum[k] + a[k]);
        return;
    }
    for (std::size_t k = from; k < to; ++k) sum[k] = static_cast<std::uint16_t>(sum[k] + a[k] + b[k] + c[k] + d[k]);
}

// A picture painted over one colour (the wand's mask) needs no pixel read
// for levels whose boxes hold this many pixels or more across: a level pixel
// follows from how many pixels of its box the bit map marks. Smaller boxes
// are counted faster from the pixels themselves.
constexpr int kFewestCountedShift = 3;

const TPaintedBits* countableBits(const TBitmapImage& store, int shift) {
    const TPaintedBits* p = store.Painted.get();
    if (!p || p->HasBase || !p->Bits || shift < kFewestCountedShift) return nullptr;
    if (!store.Plain24()) return nullptr;
    if (p->Bits->Width != store.Width || p->Bits->Height != store.Height()) return nullptr;
    return p;
}

} // namespace

TReducedCopies::TReducedCopies(const TBitmapImage& store) : store_(store) {
    const std::int32_t width = store.Width, height = store.Height();
    if (!store.HasPixels() || width <= 0 || height <= 0 || store.BitCount == 0) return;
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) < MinPixels) return;
    // The deepest levels first: a level may be had while all of them
    // together stay under a third of the store's block.
    const std::uint64_t budget = store.Pixels.size() / 3;
    int last = 1;
    while (last + 1 < static_cast<int>(levels_.size()) && (halved(width, last) > 1 || halved(height, last) > 1)) ++last;
    std::uint64_t total = 0;
    for (int shift = last; shift >= 1; --shift) {
        const std::uint64_t bytes = 3 * static_cast<std::uint64_t>(halved(width, shift)) * halved(height, shift);
        if (total + bytes >= budget) break;
        total += bytes;
        first_ = shift;
        last_ = last;
    }
}

const TReducedLevel* TReducedCopies::Level(int shift) const {
    shift = std::min(shift, last_);
    if (shift < first_ || first_ == 0) return nullptr;
    TReducedLevel& level = levels_[static_cast<std::size_t>(shift)];
    if (!level.Bgr) make(level, shift);
    return level.Bgr ? &level : nullptr;
}

// Each level pixel is the rounded mean of the 2^SHIFT x 2^SHIFT store pixels
// beneath it (more in the last column and row). The rows of a level row are
// first added byte by byte (contiguous, so the compiler makes vector code of
// it), then each pixel's columns are joined.
void TReducedCopies::make(TReducedLevel& level, int shift) const {
    const std::int64_t w = halved(store_.Width, shift), h = halved(store_.Height(), shift);
    std::unique_ptr<std::uint8_t[]> bgr(new (std::nothrow) std::uint8_t[3 * static_cast<std::size_t>(w * h)]);
    if (!bgr) return;
    TReducedLevel made;
    made.Shift = shift;
    made.Width = static_cast<std::int32_t>(w);
    made.Height = static_cast<std::int32_t>(h);
    made.Bgr = std::move(bgr);
    if (fill(made, 0, w, 0, h)) level = std::move(made);
}

// The working rows of an average over store rows, sized for the store's width.
struct TReducedCopies::Scratch {
    std::unique_ptr<std::uint8_t[]> buffer;
    std::unique_ptr<TColor[]> colors;
    std::unique_ptr<std::uint32_t[]> columns;
    std::unique_ptr<std::uint16_t[]> narrow;
    // False when the memory cannot be had.
    bool Make(std::int32_t width, int shift) {
        const std::size_t rowBytes = 3 * static_cast<std::size_t>(width);
        buffer.reset(new (std::nothrow) std::uint8_t[rowBytes]);
        colors.reset(new (std::nothrow) TColor[static_cast<std::size_t>(width)]);
        columns.reset(new (std::nothrow) std::uint32_t[rowBytes]);
        // Up to 257 rows (the last level row may take 2^SHIFT + 1 .. 2^(SHIFT+1) - 1)
        // of bytes add up within 16 bits while 2^SHIFT is at most 128; 16-bit
        // sums go twice as fast.
        narrow.reset(shift <= 7 ? new (std::nothrow) std::uint16_t[rowBytes] : nullptr);
        return buffer && colors && columns && (shift > 7 || narrow);
    }
};

bool TReducedCopies::fill(TReducedLevel& level, std::int64_t i0, std::int64_t i1, std::int64_t j0,
                          std::int64_t j1) const {
    if (const TPaintedBits* painted = countableBits(store_, level.Shift)) {
        fillCounted(*painted, level, i0, i1, j0, j1);
        return true;
    }
    Scratch scratch;
    if (!scratch.Make(store_.Width, level.Shift)) return false;
    average(scratch, level, i0, i1, j0, j1);
    return true;
}

void TReducedCopies::average(Scratch& scratch, TReducedLevel& level, std::int64_t i0, std::int64_t i1,
                             std::int64_t j0, std::int64_t j1) const {
    const int shift = level.Shift;
    const std::int32_t width = store_.Width, height = store_.Height();
    const std::int64_t w = level.Width, h = level.Height;
    const std::unique_ptr<std::uint32_t[]>& columns = scratch.columns;
    const std::unique_ptr<std::uint16_t[]>& narrow = scratch.narrow;
    const BgrRows rows(store_, scratch.buffer.get(), scratch.colors.get());
    // Only the bytes of the store columns beneath level columns I0 .. I1-1 are added.
    const std::size_t from = 3 * static_cast<std::size_t>(boxStart(i0, shift, w, width));
    const std::size_t to = 3 * static_cast<std::size_t>(boxStart(i1, shift, w, width));
    for (std::int64_t j = j0; j < j1; ++j) {
        const std::int64_t top = boxStart(j, shift, h, height), bottom = boxStart(j + 1, shift, h, height);
        if (narrow && bottom - top <= 257) {
            std::fill(narrow.get() + from, narrow.get() + to, std::uint16_t(0));
            std::int64_t y = top;
            // Plain rows four at a time: a quarter of the traffic through the sums.
            for (; rows.Plain() && y + 3 < bottom; y += 4) {
                const std::uint8_t* a = rows.Row(static_cast<int>(y));
                const std::uint8_t* b = rows.Row(static_cast<int>(y + 1));
                const std::uint8_t* c = rows.Row(static_cast<int>(y + 2));
                const std::uint8_t* d = rows.Row(static_cast<int>(y + 3));
                addFourRows(narrow.get(), a, b, c, d, from, to);
            }
            for (; y < bottom; ++y) addFourRows(narrow.get(), rows.Row(static_cast<int>(y)), nullptr, nullptr, nullptr, from, to);
            std::copy(narrow.get() + from, narrow.get() + to, columns.get() + from);
        } else {
            std::fill(columns.get() + from, columns.get() + to, 0u);
            for (std::int64_t y = top; y < bottom; ++y) {
                const std::uint8_t* row = rows.Row(static_cast<int>(y));
                std::uint32_t* sum = columns.get();
                for (std::size_t k = from; k < to; ++k) sum[k] += row[k];
            }
        }
        std::uint8_t* out = level.Bgr.get() + 3 * static_cast<std::size_t>(j * w);
        for (std::int64_t i = i0; i < i1; ++i) {
            const std::int64_t left = boxStart(i, shift, w, width), right = boxStart(i + 1, shift, w, width);
            std::uint64_t b = 0, g = 0, r = 0;
            for (const std::uint32_t* p = columns.get() + 3 * left; p < columns.get() + 3 * right; p += 3) {
                b += p[0];
                g += p[1];
                r += p[2];
            }
            // Never 0: every box holds at least one pixel (the guard says so to the checker).
            const auto count = std::max<std::uint64_t>(1, static_cast<std::uint64_t>((right - left) * (bottom - top)));
            out[3 * i] = static_cast<std::uint8_t>((b + count / 2) / count);
            out[3 * i + 1] = static_cast<std::uint8_t>((g + count / 2) / count);
            out[3 * i + 2] = static_cast<std::uint8_t>((r + count / 2) / count);
        }
    }
}

namespace {

// The set bits under each box of level row J, for boxes I0 .. I1-1: rows and
// columns outside the painted rectangle hold none and are not read.
void countRow(const TPaintedBits& painted, const TReducedLevel& level, std::int64_t j, std::int64_t i0,
              std::int64_t i1, std::int32_t height, std::vector<std::uint64_t>& counts) {
    const int shift = level.Shift;
    const std::int64_t w = level.Width, h = level.Height;
    std::fill(counts.begin() + i0, counts.begin() + i1, std::uint64_t(0));
    if (painted.Left >= painted.Right) return;
    // The last box takes the rest of the row.
    const std::int64_t from = std::max(i0, std::min(w - 1, std::int64_t{painted.Left} >> shift));
    const std::int64_t to = std::min(i1, std::min(w - 1, std::max<std::int64_t>(painted.Right - 1, 0) >> shift) + 1);
    const std::int64_t top = std::max<std::int64_t>(boxStart(j, shift, h, height), painted.Top);
    const std::int64_t bottom = std::min<std::int64_t>(boxStart(j + 1, shift, h, height), painted.Bottom);
    for (std::int64_t y = top; y < bottom && from < to; ++y)
        AddBoxCounts(*painted.Bits, y, shift, from, to, w, counts.data());
}

} // namespace

void TReducedCopies::fillCounted(const TPaintedBits& painted, TReducedLevel& level, std::int64_t i0, std::int64_t i1,
                                 std::int64_t j0, std::int64_t j1) const {
    const int shift = level.Shift;
    const std::int32_t width = store_.Width, height = store_.Height();
    const std::int64_t w = level.Width, h = level.Height;
    std::vector<std::uint64_t> counts(static_cast<std::size_t>(w));
    for (std::int64_t j = j0; j < j1; ++j) {
        const std::int64_t top = boxStart(j, shift, h, height), bottom = boxStart(j + 1, shift, h, height);
        countRow(painted, level, j, i0, i1, height, counts);
        std::uint8_t* out = level.Bgr.get() + 3 * static_cast<std::size_t>(j * w);
        for (std::int64_t i = i0; i < i1; ++i) {
            const std::int64_t left = boxStart(i, shift, w, width), right = boxStart(i + 1, shift, w, width);
            const std::uint64_t n = counts[static_cast<std::size_t>(i)];
            const auto count = std::max<std::uint64_t>(1, static_cast<std::uint64_t>((right - left) * (bottom - top)));
            for (int c = 0; c < 3; ++c) {
                const std::uint64_t in = (painted.Colour >> (8 * c)) & 0xFF, base = (painted.BaseColour >> (8 * c)) & 0xFF;
                const std::uint64_t sum = n * in + (count - n) * base;
                out[3 * i + c] = static_cast<std::uint8_t>((sum + count / 2) / count);
            }
        }
    }
}

std::shared_ptr<const TReducedCopies> TReducedCopies::CopyFor(const TBitmapImage& store) const { return copyFor(store); }

std::shared_ptr<TReducedCopies> TReducedCopies::copyFor(const TBitmapImage& store) const {
    auto copy = std::make_shared<TReducedCopies>(store);
    for (std::size_t shift = 0; shift < levels_.size(); ++shift) {
        const TReducedLevel& from = levels_[shift];
        if (!from.Bgr) continue;
        const std::size_t bytes = 3 * static_cast<std::size_t>(from.Width) * static_cast<std::size_t>(from.Height);
        std::unique_ptr<std::uint8_t[]> bgr(new (std::nothrow) std::uint8_t[bytes]);
        // Without the memory the level is made again when it is needed.
        if (!bgr) continue;
        std::copy_n(from.Bgr.get(), bytes, bgr.get());
        TReducedLevel& to = copy->levels_[shift];
        to.Shift = from.Shift;
        to.Width = from.Width;
        to.Height = from.Height;
        to.Bgr = std::move(bgr);
    }
    return copy;
}

std::shared_ptr<const TReducedCopies> TReducedCopies::DeriveFor(const TBitmapImage& store, std::int64_t left,
                                                                 std::int64_t top, std::int64_t right,
                                                                 std::int64_t bottom) const {
    auto copy = copyFor(store);
    left = std::max<std::int64_t>(left, 0);
    top = std::max<std::int64_t>(top, 0);
    right = std::min<std::int64_t>(right, store.Width);
    bottom = std::min<std::int64_t>(bottom, store.Height());
    if (left >= right || top >= bottom) return copy;
    // Painted over these copies' own pixels: most boxes need no pixel read.
    const TPaintedBits* painted = store.Painted.get();
    if (painted && (!painted->HasBase || !painted->Bits || painted->Base.lock() != store_.PixelsToken().lock() ||
                    painted->Bits->Width != store.Width || painted->Bits->Height != store.Height()))
        painted = nullptr;
    for (TReducedLevel& level : copy->levels_) {
        if (!level.Bgr) continue;
        // The level pixels whose boxes reach into the area; the last column
        // and row of a level take what the rounding leaves over.
        const std::int64_t w = level.Width, h = level.Height;
        const std::int64_t i0 = std::min(w - 1, left >> level.Shift), i1 = std::min(w, ((right - 1) >> level.Shift) + 1);
        const std::int64_t j0 = std::min(h - 1, top >> level.Shift), j1 = std::min(h, ((bottom - 1) >> level.Shift) + 1);
        const bool lastColumn = ((right - 1) >> level.Shift) >= w - 1, lastRow = ((bottom - 1) >> level.Shift) >= h - 1;
        const bool made = painted && level.Shift >= kFewestCountedShift
                              ? copy->deriveCounted(*painted, level, i0, lastColumn ? w : i1, j0, lastRow ? h : j1)
                                  : copy->fill(level, i0, lastColumn ? w : i1, j0, lastRow ? h : j1);
        if (!made) level.Bgr.reset();
    }
    return copy;
}

// A box that no painted pixel reaches keeps the base's level pixel, one that
// they fill is their colour; only the boxes of the region's edge are averaged
// from the store, run by run along each level row.
bool TReducedCopies::deriveCounted(const TPaintedBits& painted, TReducedLevel& level, std::int64_t i0,
                                   std::int64_t i1, std::int64_t j0, std::int64_t j1) const {
    const int shift = level.Shift;
    const std::int32_t width = store_.Width, height = store_.Height();
    const std::int64_t w = level.Width, h = level.Height;
    std::vector<std::uint64_t> counts(static_cast<std::size_t>(w));
    Scratch scratch;
    bool scratchMade = false;
    for (std::int64_t j = j0; j < j1; ++j) {
        const std::int64_t top = boxStart(j, shift, h, height), bottom = boxStart(j + 1, shift, h, height);
        countRow(painted, level, j, i0, i1, height, counts);
        std::uint8_t* out = level.Bgr.get() + 3 * static_cast<std::size_t>(j * w);
        std::int64_t edge = -1; // first box of the current run of edge boxes
        for (std::int64_t i = i0; i <= i1; ++i) {
            bool mixed = false;
            if (i < i1) {
                const std::int64_t left = boxStart(i, shift, w, width), right = boxStart(i + 1, shift, w, width);
                const std::uint64_t n = counts[static_cast<std::size_t>(i)];
                const bool full = n == static_cast<std::uint64_t>((right - left) * (bottom - top));
                if (full)
                    for (int c = 0; c < 3; ++c) out[3 * i + c] = static_cast<std::uint8_t>(painted.Colour >> (8 * c));
                mixed = n > 0 && !full;
            }
            if (mixed && edge < 0) edge = i;
            if (mixed || edge < 0) continue;
            if (!scratchMade && !scratch.Make(width, shift)) return false;
            scratchMade = true;
            average(scratch, level, edge, i, j, j + 1);
            edge = -1;
        }
    }
    return true;
}

std::uint64_t TReducedCopies::Bytes() const {
    std::uint64_t total = 0;
    for (const TReducedLevel& level : levels_)
        if (level.Bgr) total += 3 * static_cast<std::uint64_t>(level.Width) * static_cast<std::uint64_t>(level.Height);
    return total;
}

const TReducedCopies& ReducedCopiesOf(const TBitmapImage& store) {
    if (!store.Reduced) store.Reduced = std::make_shared<const TReducedCopies>(store);
    return *store.Reduced;
}

} // namespace vem
