#include "core/pixels/PaintedBits.h"

#include <algorithm>
#include <bit>

#include "core/pixels/BitmapImage.h"

namespace vem {
namespace {

bool plain24(const TBitmapImage& s) { return s.Plain24() && s.HasPixels(); }

bool fits(const TPixelBits& bits, const TBitmapImage& store) {
    return bits.Width == store.Width && bits.Height == store.Height() &&
           bits.WordsPerRow == (static_cast<std::size_t>(bits.Width) + 63) / 64 &&
           bits.Words.size() >= bits.WordsPerRow * 8 * static_cast<std::size_t>(bits.Height);
}

} // namespace

bool PaintedDifference(const TBitmapImage& a, const TBitmapImage& b, TPixelArea& area) {
    const TPaintedBits* pa = a.Painted.get();
    const TPaintedBits* pb = b.Painted.get();
    if (!pa || !pb || !pa->Bits || !pb->Bits || !plain24(a) || !plain24(b)) return false;
    if (a.Width != b.Width || a.StoredHeight != b.StoredHeight || a.Pixels.size() != b.Pixels.size()) return false;
    if (!fits(*pa->Bits, a) || !fits(*pb->Bits, b) || pa->HasBase != pb->HasBase) return false;
    if (pa->HasBase) {
        const std::shared_ptr<const char> base = pa->Base.lock();
        if (!base || base != pb->Base.lock()) return false;
    } else if (pa->BaseColour != pb->BaseColour) {
        return false;
    }
    // Pixels set in both differ only when the two colours do.
    const bool sameColour = pa->Colour == pb->Colour;
    const std::int64_t top = std::max(0, std::min(pa->Top, pb->Top));
    const std::int64_t bottom = std::min<std::int64_t>(a.Height(), std::max(pa->Bottom, pb->Bottom));
    const std::int64_t left = std::max(0, std::min(pa->Left, pb->Left));
    const std::int64_t right = std::min<std::int64_t>(a.Width, std::max(pa->Right, pb->Right));
    area = {a.Width, a.Height(), 0, 0};
    if (left < right)
        for (std::int64_t y = top; y < bottom; ++y) {
            const std::uint64_t* ra = pa->Bits->Row(y);
            const std::uint64_t* rb = pb->Bits->Row(y);
            for (std::int64_t w = left >> 6; w <= (right - 1) >> 6; ++w) {
                const auto k = static_cast<std::size_t>(w);
                const std::uint64_t d = sameColour ? ra[k] ^ rb[k] : ra[k] | rb[k];
                if (d == 0) continue;
                area.Left = std::min<std::int64_t>(area.Left, w * 64 + std::countr_zero(d));
                area.Right = std::max<std::int64_t>(area.Right, w * 64 + 64 - std::countl_zero(d));
                area.Top = std::min(area.Top, y);
                area.Bottom = y + 1;
            }
        }
    if (area.Empty()) area = {};
    return true;
}

// Counting bits is most of the work: built twice, with and without the
// processor's population count, and chosen when the program loads.
#if defined(__x86_64__) && !defined(__POPCNT__)
#define VEM_POPCOUNT_CLONES [[gnu::target_clones("popcnt", "default")]]
#else
#define VEM_POPCOUNT_CLONES
#endif

VEM_POPCOUNT_CLONES void AddBoxCounts(const TPixelBits& bits, std::int64_t y, int shift, std::int64_t i0, std::int64_t i1,
                  std::int64_t boxes, std::uint64_t* counts) {
    const std::uint64_t* row = bits.Row(y);
    // Every box but the last lies within one word (narrow boxes) or is whole
    // words (wide ones): boxes start at multiples of 2^SHIFT.
    const std::int64_t whole = std::min(i1, boxes - 1);
    std::int64_t i = i0;
    if (shift < 6) {
        const std::uint64_t mask = (std::uint64_t(1) << (1 << shift)) - 1;
        for (; i < whole; ++i) {
            const std::int64_t left = i << shift;
            counts[i] += static_cast<std::uint64_t>(
                std::popcount((row[static_cast<std::size_t>(left >> 6)] >> (left & 63)) & mask));
        }
    } else {
        const std::int64_t words = std::int64_t(1) << (shift - 6);
        for (; i < whole; ++i) {
            const std::uint64_t* w = row + static_cast<std::size_t>((i << shift) >> 6);
            std::uint64_t n = 0;
            for (std::int64_t k = 0; k < words; ++k) n += static_cast<std::uint64_t>(std::popcount(w[k]));
            counts[i] += n;
        }
    }
    if (i < i1) counts[i] += CountBits(bits, i << shift, y, bits.Width, y + 1);
}

VEM_POPCOUNT_CLONES std::uint64_t CountBits(const TPixelBits& bits, std::int64_t left, std::int64_t top, std::int64_t right,
                        std::int64_t bottom) {
    left = std::max<std::int64_t>(left, 0);
    top = std::max<std::int64_t>(top, 0);
    right = std::min<std::int64_t>(right, bits.Width);
    bottom = std::min<std::int64_t>(bottom, bits.Height);
    std::uint64_t count = 0;
    for (std::int64_t y = top; y < bottom; ++y) {
        const std::uint64_t* row = bits.Row(y);
        for (std::int64_t x = left; x < right;) {
            const int offset = static_cast<int>(x & 63);
            const std::int64_t n = std::min<std::int64_t>(64 - offset, right - x);
            std::uint64_t word = row[static_cast<std::size_t>(x >> 6)] >> offset;
            if (n < 64) word &= (std::uint64_t(1) << n) - 1;
            count += static_cast<std::uint64_t>(std::popcount(word));
            x += n;
        }
    }
    return count;
}

} // namespace vem
