#include "core/workspace/RegionGrower.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

#include "core/base/Errors.h"
#include "core/pixels/PaintedBits.h"
#include "core/pixels/PixelCodec.h"
#include "core/pixels/PixelRuns.h"

namespace vem {

namespace {

// Colours inside the fill are packed like TColor (red in the low byte).
constexpr int red(std::uint32_t c) { return static_cast<int>(c & 0xFF); }
constexpr int green(std::uint32_t c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int blue(std::uint32_t c) { return static_cast<int>((c >> 16) & 0xFF); }

// Pixels of an uncompressed 24-bit store, addressed by picture row.
class Bgr24Source {
public:
    explicit Bgr24Source(const TBitmapImage& img) {
        const auto stride = static_cast<std::ptrdiff_t>(img.Stride());
        if (img.TopDown()) {
            base_ = img.Pixels.data();
            step_ = stride;
        } else {
            base_ = img.Pixels.data() + (img.Height() - 1) * stride;
            step_ = -stride;
        }
    }
    const std::uint8_t* row(int y) const { return base_ + y * step_; }
    std::uint32_t at(const std::uint8_t* row, int x) const {
        const std::uint8_t* p = row + 3 * static_cast<std::ptrdiff_t>(x);
        return p[2] | static_cast<std::uint32_t>(p[1]) << 8 | static_cast<std::uint32_t>(p[0]) << 16;
    }
    std::uint32_t at(int x, int y) const { return at(row(y), x); }
    void prefetch(int x, int y) const { __builtin_prefetch(base_ + y * step_ + 3 * static_cast<std::ptrdiff_t>(x)); }

private:
    const std::uint8_t* base_;
    std::ptrdiff_t step_;
};

// Any other depth, through the store's own codec.
class CodecSource {
public:
    explicit CodecSource(const TBitmapImage& img) : img_(img), codec_(img) {}
    const std::uint8_t* row(int y) const { return img_.PictureRow(y); }
    std::uint32_t at(const std::uint8_t* row, int x) const { return static_cast<std::uint32_t>(codec_.Decode(row, x)); }
    std::uint32_t at(int x, int y) const { return at(row(y), x); }
    void prefetch(int, int) const {}

private:
    const TBitmapImage& img_;
    PixelCodec codec_;
};

template <class T> void assignOrRaise(std::vector<T>& v, std::size_t n, const T& value) {
    try {
        v.assign(n, value);
    } catch (const std::bad_alloc&) {
        RaiseOutOfMemory();
    }
}

} // namespace

int TForm3::Rint(std::int64_t v) { return v < 0 ? 0 : v > 255 ? 255 : static_cast<int>(v); }

void TForm3::FormCreate(const TConvSettings& settings, TPicture& original) {
    FillColor = settings.TargetColor;
    LimitLV = settings.LimitLV;
    const TColor target = ResolveColor(settings.TargetColor);
    const std::int64_t tr = GetRValue(target), tg = GetGValue(target), tb = GetBValue(target);
    MinR = static_cast<std::uint8_t>(Rint(tr - LimitLV));
    MinG = static_cast<std::uint8_t>(Rint(tg - LimitLV));
    MinB = static_cast<std::uint8_t>(Rint(tb - LimitLV));
    MaxR = static_cast<std::uint8_t>(Rint(tr + LimitLV));
    MaxG = static_cast<std::uint8_t>(Rint(tg + LimitLV));
    MaxB = static_cast<std::uint8_t>(Rint(tb + LimitLV));
    ApproxLV = settings.ApproxLV;

    Image1.Picture().AssignGraphic(&original.AsBitmap());
    const TBitmap& source = Image1.Picture().AsBitmap();
    const bool hasPixels = source.Image().HasPixels();
    width_ = hasPixels ? source.Width() : 0;
    height_ = hasPixels ? source.Height() : 0;
    Image1.SetBounds(source.Width(), source.Height());
    Image2.SetBounds(source.Width(), source.Height());

    StartX = settings.PointX;
    StartY = settings.PointY;
    Count = 0;
    unexpanded_.clear();

    wordsPerRow_ = (static_cast<std::size_t>(width_) + 63) / 64;
    joinedWords_ = wordsPerRow_ * static_cast<std::size_t>(height_);
    joinedBlock_ = PixelBlock::Zeroed(joinedWords_ * sizeof(std::uint64_t));
    joined_ = reinterpret_cast<std::uint64_t*>(joinedBlock_.data());
    parked_.clear();
    anyParked_ = false;
    const std::size_t pixels = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
    SpanStackLimit = std::max<std::size_t>(1024, pixels / 32);
}

void TForm3::Button1Click() { FloodFill(); }

bool TForm3::IsFree(int x, int y) const { return inside(x, y) && !isJoined(x, y); }

TColor TForm3::GetRGB(TBitmap& bmp, int x, int y, std::uint8_t& r, std::uint8_t& g, std::uint8_t& b) {
    x = std::max(0, std::min(x, Image1.Width() - 1));
    y = std::max(0, std::min(y, Image1.Height() - 1));
    const std::uint8_t* row = bmp.Row(y);
    // The clamp follows the grower's area, which may be wider than Bmp.
    if (x >= bmp.Width()) RaiseScanLineError();
    const TColor c = PixelCodec(bmp.Image()).Decode(row, x);
    r = GetRValue(c);
    g = GetGValue(c);
    b = GetBValue(c);
    return c;
}

bool TForm3::pixCheck(int x, int y) {
    if (!inside(x, y)) return false;
    std::uint8_t r, g, b;
    GetRGB(Image1.Picture().AsBitmap(), x, y, r, g, b);
    if (!IsFree(x, y)) return false;
    if (r < MinR || r > MaxR || g < MinG || g > MaxG || b < MinB || b > MaxB) return false;
    const std::int64_t a = ApproxLV;
    return Rint(CurR - a) <= r && r <= Rint(CurR + a) && Rint(CurG - a) <= g && g <= Rint(CurG + a) &&
           Rint(CurB - a) <= b && b <= Rint(CurB + a);
}

void TForm3::Rootcheck(int x, int y, int direction) {
    static constexpr int dx[4] = {0, 1, 0, -1};
    static constexpr int dy[4] = {-1, 0, 1, 0};
    if (direction < 0 || direction > 3) return;
    const std::int64_t nx = std::int64_t(x) + dx[direction], ny = std::int64_t(y) + dy[direction];
    if (!inside(nx, ny)) return;
    if (pixCheck(static_cast<int>(nx), static_cast<int>(ny))) SetSel(static_cast<int>(nx), static_cast<int>(ny));
}

void TForm3::SetSel(int x, int y) {
    if (!inside(x, y)) return;
    Image2.Surface().SetPixelColor(x, y, FillColor);
    markJoined(x, y);
    unexpanded_.emplace_back(x, y);
    ++Count;
}

void TForm3::FloodFill() {
    if (!inside(StartX, StartY)) return;
    // The start pixel joins without any test, even when its colour lies
    // outside the target range.
    if (!isJoined(StartX, StartY)) {
        markJoined(StartX, StartY);
        ++Count;
    }
    unexpanded_.emplace_back(StartX, StartY);
    const TBitmapImage& img = Image1.Picture().AsBitmap().Image();
    if (img.Plain24())
        grow(Bgr24Source(img));
    else
        grow(CodecSource(img));
    buildMask();
}

// --- The span fill ---------------------------------------------------------

// The two tests as unsigned range checks, one comparison per channel.
struct TForm3::Criterion {
    unsigned min[3], span[3]; // channel in range when (v - min) <= span, unsigned
    unsigned bias, limit;      // step allowed when (v - cur + bias) <= limit, unsigned
    TRunTest runs;             // the same tests on stored bytes, for whole runs of 24-bit pixels
    bool inRange(std::uint32_t c) const {
        return static_cast<unsigned>(red(c)) - min[0] <= span[0] && static_cast<unsigned>(green(c)) - min[1] <= span[1] &&
               static_cast<unsigned>(blue(c)) - min[2] <= span[2];
    }
    // Rint(cur - A) <= v <= Rint(cur + A) on every channel is |v - cur| <= A
    // for A >= 0, and holds for no value when A < 0.
    bool near(std::uint32_t c, std::uint32_t cur) const {
        return static_cast<unsigned>(red(c) - red(cur)) + bias <= limit &&
               static_cast<unsigned>(green(c) - green(cur)) + bias <= limit &&
               static_cast<unsigned>(blue(c) - blue(cur)) + bias <= limit;
    }
    bool joins(std::uint32_t c, std::uint32_t cur) const { return inRange(c) && near(c, cur); }
};

namespace {

// A narrow span is most likely part of a vertical corridor, which the fill
// walks one row at a time: every row is a cache miss in the picture and in
// the joined bits. Fetching the rows a few steps ahead hides most of that wait.
constexpr int kPrefetchRows = 16;
} // namespace

TForm3::Criterion TForm3::makeCriterion() const {
    Criterion c{};
    const int lo[3] = {MinR, MinG, MinB}, hi[3] = {MaxR, MaxG, MaxB};
    for (int i = 0; i < 3; ++i) {
        // An empty range (a negative limit) gets a lower bound no byte reaches.
        c.min[i] = hi[i] >= lo[i] ? static_cast<unsigned>(lo[i]) : 256u;
        c.span[i] = hi[i] >= lo[i] ? static_cast<unsigned>(hi[i] - lo[i]) : 0u;
    }
    if (ApproxLV < 0) {
        c.bias = 0x10000; // differences lie within +-255: never at or below 0
        c.limit = 0;
    } else {
        const unsigned a = static_cast<unsigned>(std::min(ApproxLV, 255));
        c.bias = a;
        c.limit = 2 * a;
    }
    // Stored order is blue, green, red.
    c.runs = TRunTest({MinB, MinG, MinR}, {MaxB, MaxG, MaxR}, ApproxLV);
    return c;
}

// Joins the free neighbours left and right of (X, Y), which has joined, as
// far as the steps allow, and returns the span.
template <class Source>
[[gnu::always_inline]] inline TForm3::Span TForm3::extend(const Source& source, const Criterion& crit, int x, int y) {
    const std::uint8_t* row = source.row(y);
    if constexpr (std::is_same_v<Source, Bgr24Source>) return extendRuns(crit, row, x, y);
    const std::uint32_t seed = source.at(row, x);
    int left = x;
    for (std::uint32_t cur = seed; left > 0 && !isJoined(left - 1, y);) {
        const std::uint32_t c = source.at(row, left - 1);
        if (!crit.joins(c, cur)) break;
        --left;
        cur = c;
    }
    int right = x;
    for (std::uint32_t cur = seed; right + 1 < width_ && !isJoined(right + 1, y);) {
        const std::uint32_t c = source.at(row, right + 1);
        if (!crit.joins(c, cur)) break;
        ++right;
        cur = c;
    }
    // The bits are set afterwards: each loop moves away from what it joined.
    if (left < x) markRange(y, left, x - 1);
    if (right > x) markRange(y, x + 1, right);
    Count += right - left;
    return {y, left, right};
}

namespace {
// The runs of a row are measured a piece at a time, each piece cut short at
// the first pixel that has joined already: a run never needs testing past
// that pixel, and a long row already joined is not tested in vain.
constexpr int kRunPiece = 256;
constexpr int kShortStretch = 8;
} // namespace

int TForm3::nextJoined(int y, int from, int end) const {
    const std::uint64_t* bits = joined_ + static_cast<std::size_t>(y) * wordsPerRow_;
    std::size_t w = static_cast<unsigned>(from) >> 6;
    std::uint64_t word = bits[w] & (~std::uint64_t(0) << (from & 63));
    const std::size_t lastWord = static_cast<unsigned>(end - 1) >> 6;
    while (!word) {
        if (++w > lastWord) return end;
        word = bits[w];
    }
    return std::min(end, static_cast<int>(w * 64) + std::countr_zero(word));
}

int TForm3::previousJoined(int y, int from, int begin) const {
    const std::uint64_t* bits = joined_ + static_cast<std::size_t>(y) * wordsPerRow_;
    std::size_t w = static_cast<unsigned>(from) >> 6;
    std::uint64_t word = bits[w] & (~std::uint64_t(0) >> (63 - (from & 63)));
    const std::size_t firstWord = static_cast<unsigned>(begin) >> 6;
    while (!word) {
        if (w == firstWord) return begin - 1;
        word = bits[--w];
    }
    return std::max(begin - 1, static_cast<int>(w * 64) + 63 - std::countl_zero(word));
}

// Extend for plain 24-bit rows, whole runs at a time. Both are inlined: in a
// vertical corridor they run once per row, and a span handed back through
// memory stalls the processor on every call.
[[gnu::always_inline]] inline TForm3::Span TForm3::extendRuns(const Criterion& crit, const std::uint8_t* row, int x, int y) {
    // A pixel of a corridor one pixel wide has no neighbour to join in its
    // row: one test each way, before any run is measured.
    auto joinsFrom = [&](int from, int to) {
        return to >= 0 && to < width_ && !isJoined(to, y) && crit.runs.Joins(row + 3 * std::ptrdiff_t{to}, row + 3 * std::ptrdiff_t{from});
    };
    int right = joinsFrom(x, x + 1) ? x + 2 : width_ + 1;
    while (right < width_) {
        const int piece = std::min(width_, right + kRunPiece);
        const int free = nextJoined(y, right, piece);
        const int end = RunRight(row, width_, right, free, crit.runs);
        right = end;
        if (end < piece) break;
    }
    right = right > width_ ? x : right - 1;
    int left = joinsFrom(x, x - 1) ? x - 2 : -2;
    while (left >= 0) {
        const int piece = std::max(0, left - kRunPiece + 1);
        const int free = previousJoined(y, left, piece) + 1;
        const int end = RunLeft(row, width_, left, free, crit.runs);
        left = end;
        if (end >= piece) break;
    }
    left = left < -1 ? x : left + 1;
    if (left < x) markRange(y, left, x - 1);
    if (right > x) markRange(y, x + 1, right);
    Count += right - left;
    return {y, left, right};
}

void TForm3::markRange(int y, int from, int to) {
    std::uint64_t* row = joined_ + static_cast<std::size_t>(y) * wordsPerRow_;
    const unsigned first = static_cast<unsigned>(from) >> 6, last = static_cast<unsigned>(to) >> 6;
    const std::uint64_t headMask = ~std::uint64_t(0) << (from & 63);
    const std::uint64_t tailMask = ~std::uint64_t(0) >> (63 - (to & 63));
    if (first == last) {
        row[first] |= headMask & tailMask;
        return;
    }
    row[first] |= headMask;
    for (unsigned w = first + 1; w < last; ++w) row[w] = ~std::uint64_t(0);
    row[last] |= tailMask;
}

// (X, Y) has just joined from the row before it in direction Dir (+1 down,
// -1 up). While the region goes on as a corridor one pixel wide, it is
// followed here row after row: such a pixel has no neighbour left to try but
// the next one in Dir, and a plain loop lets the processor fetch the coming
// rows while the current one is tested. A wider span is queued as usual.
// Returns the right end of the span at row Y.
template <class Source> int TForm3::follow(const Source& source, const Criterion& crit, int x, int y, int dir) {
    int firstRight = -1;
    for (;;) {
        const Span span = extend(source, crit, x, y);
        if (firstRight < 0) firstRight = span.right;
        if (span.left != x || span.right != x) {
            pushSpan(span);
            return firstRight;
        }
        const int ny = y + dir;
        if (ny < 0 || ny >= height_ || isJoined(x, ny)) return firstRight;
        const int ahead = ny + kPrefetchRows * dir;
        if (ahead >= 0 && ahead < height_) {
            source.prefetch(x, ahead);
            __builtin_prefetch(joined_ + static_cast<std::size_t>(ahead) * wordsPerRow_ + (static_cast<unsigned>(x) >> 6));
        }
        const std::uint32_t c = source.at(x, ny);
        if (!crit.joins(c, source.at(x, y))) return firstRight;
        markJoined(x, ny);
        ++Count;
        y = ny;
    }
}

// Tries row NY from every pixel of Span (which lies on the row next to it).
template <class Source> void TForm3::scanRow(const Source& source, const Criterion& crit, int ny, const Span& span) {
    const std::uint64_t* bits = joined_ + static_cast<std::size_t>(ny) * wordsPerRow_;
    const std::uint8_t* row = source.row(ny);
    const std::uint8_t* from = source.row(span.y);
    if constexpr (std::is_same_v<Source, Bgr24Source>) {
        // Each stretch of free pixels (within one word of the bits) is tested
        // many pixels at a time for the first one that joins.
        const int stop = span.right + 1;
        for (int x = span.left; x < stop;) {
            const std::uint64_t word = bits[static_cast<unsigned>(x) >> 6] >> (x & 63);
            const int wordEnd = (x | 63) + 1;
            // The shift brings in zeros, which read as free past the word's end.
            x += std::countr_zero(~word);
            if (x >= wordEnd) continue;
            if (x >= stop) break;
            const std::uint64_t ahead = bits[static_cast<unsigned>(x) >> 6] >> (x & 63);
            const int freeEnd = std::min({stop, wordEnd, ahead ? x + std::countr_zero(ahead) : wordEnd});
            int k = x;
            // A short stretch (a corridor's span) is cheaper tested pixel by pixel.
            if (freeEnd - x < kShortStretch)
                while (k < freeEnd && !crit.runs.Joins(row + 3 * std::ptrdiff_t{k}, from + 3 * std::ptrdiff_t{k})) ++k;
            else
                k = FirstJoining(row, from, width_, x, freeEnd, crit.runs);
            if (k == freeEnd) {
                x = freeEnd;
                continue;
            }
            markJoined(k, ny);
            ++Count;
            x = follow(source, crit, k, ny, ny - span.y) + 1;
        }
        return;
    }
    for (int x = span.left; x <= span.right;) {
        const std::uint64_t word = bits[static_cast<unsigned>(x) >> 6];
        if (word == ~std::uint64_t(0)) { // 64 joined pixels: nothing to try
            x = (x | 63) + 1;
            continue;
        }
        if (!((word >> (x & 63)) & 1)) {
            const std::uint32_t c = source.at(row, x);
            if (crit.joins(c, source.at(from, x))) {
                markJoined(x, ny);
                ++Count;
                x = follow(source, crit, x, ny, ny - span.y) + 1;
                continue;
            }
        }
        ++x;
    }
}

void TForm3::pushSpan(const Span& span) {
    if (stack_.size() < SpanStackLimit) {
        stack_.push_back(span);
        return;
    }
    if (parked_.empty()) assignOrRaise(parked_, joinedWords_, std::uint64_t(0));
    std::uint64_t* row = parked_.data() + static_cast<std::size_t>(span.y) * wordsPerRow_;
    for (int x = span.left; x <= span.right; ++x) row[static_cast<unsigned>(x) >> 6] |= std::uint64_t(1) << (x & 63);
    anyParked_ = true;
}

constexpr int kNarrowSpan = 4;

template <class Source> void TForm3::drain(const Source& source, const Criterion& crit) {
    while (!stack_.empty()) {
        const Span span = stack_.back();
        stack_.pop_back();
        if (span.right - span.left < kNarrowSpan) {
            for (const int y : {span.y - kPrefetchRows, span.y + kPrefetchRows}) {
                if (y < 0 || y >= height_) continue;
                source.prefetch(span.left, y);
                __builtin_prefetch(joined_ + static_cast<std::size_t>(y) * wordsPerRow_ +
                                   (static_cast<unsigned>(span.left) >> 6));
            }
        }
        if (span.y > 0) scanRow(source, crit, span.y - 1, span);
        if (span.y + 1 < height_) scanRow(source, crit, span.y + 1, span);
    }
}

// One sweep over the parked pixels: each run of them becomes a span again.
// Returns whether anything was parked.
template <class Source> bool TForm3::unpark(const Source& source, const Criterion& crit) {
    bool found = false;
    for (int y = 0; y < height_; ++y) {
        std::uint64_t* row = parked_.data() + static_cast<std::size_t>(y) * wordsPerRow_;
        for (std::size_t w = 0; w < wordsPerRow_; ++w) {
            while (row[w]) {
                const int left = static_cast<int>(w * 64) + std::countr_zero(row[w]);
                int right = left;
                auto parkedAt = [&](int x) { return (row[static_cast<unsigned>(x) >> 6] >> (x & 63)) & 1; };
                while (right + 1 < width_ && parkedAt(right + 1)) ++right;
                for (int x = left; x <= right; ++x) row[static_cast<unsigned>(x) >> 6] &= ~(std::uint64_t(1) << (x & 63));
                found = true;
                stack_.push_back({y, left, right});
                drain(source, crit);
            }
        }
    }
    return found;
}

template <class Source> void TForm3::grow(const Source& source) {
    const Criterion crit = makeCriterion();
    for (const auto& [x, y] : unexpanded_) pushSpan(extend(source, crit, x, y));
    unexpanded_.clear();
    drain(source, crit);
    while (anyParked_) {
        anyParked_ = false;
        unpark(source, crit);
    }
    std::vector<std::uint64_t>().swap(parked_);
    std::vector<Span>().swap(stack_);
}

// The literal grower paints a blank device-format bitmap and the caller
// converts it to 24 bits; both steps keep colours exactly, so the 24-bit mask
// is written directly: white, FillColor's bytes where a pixel joined.
void TForm3::buildMask() {
    auto img = std::make_shared<TBitmapImage>();
    img->Width = width_;
    img->StoredHeight = height_;
    img->BitCount = 24;
    const std::uint64_t stride = img->Stride();
    const std::uint64_t bytes = stride * static_cast<std::uint64_t>(height_);
    if (bytes > MaxBlockBytes) RaiseTooLarge();
    if (MaskDonor && MaskDonor->SharedImage().use_count() == 2 && MaskDonor->Image().Pixels.size() == bytes)
        img->Pixels = std::move(MaskDonor->MutableImage().Pixels);
    else
        img->Pixels = PixelBlock::Uninitialized(static_cast<std::size_t>(bytes));

    const TColor fill = ResolveColor(FillColor);
    const std::uint8_t fb = GetBValue(fill), fg = GetGValue(fill), fr = GetRValue(fill);
    // The 24 bytes of every pattern of 8 mask pixels, white or the fill: a
    // word of mixed bits (the edge of a region, a row across corridors) is
    // then written eight pixels per copy instead of testing each bit.
    std::vector<std::uint8_t> octets(std::size_t{256} * 24);
    for (std::size_t bits = 0; bits < 256; ++bits)
        for (std::size_t i = 0; i < 8; ++i) {
            const bool in = (bits >> i) & 1;
            std::uint8_t* q = octets.data() + 24 * bits + 3 * i;
            q[0] = in ? fb : 0xFF;
            q[1] = in ? fg : 0xFF;
            q[2] = in ? fr : 0xFF;
        }
    const std::size_t pixelBytes = 3 * static_cast<std::size_t>(width_);
    Bounds = {width_, height_, 0, 0};
    for (int y = 0; y < height_; ++y) {
        std::uint8_t* row = img->PictureRow(y);
        std::memset(row + pixelBytes, 0, stride - pixelBytes);
        const std::uint64_t* bits = joined_ + static_cast<std::size_t>(y) * wordsPerRow_;
        for (std::size_t w = 0; w < wordsPerRow_; ++w) {
            const int x0 = static_cast<int>(w * 64);
            const int n = std::min(64, width_ - x0);
            std::uint8_t* p = row + 3 * static_cast<std::size_t>(x0);
            const std::uint64_t word = bits[w];
            if (word != 0) {
                Bounds.Left = std::min(Bounds.Left, x0 + std::countr_zero(word));
                Bounds.Right = std::max(Bounds.Right, x0 + 64 - std::countl_zero(word));
                Bounds.Top = std::min(Bounds.Top, y);
                Bounds.Bottom = y + 1;
            }
            int i = 0;
            for (; i + 8 <= n; i += 8, p += 24) std::memcpy(p, octets.data() + 24 * ((word >> i) & 0xFF), 24);
            for (; i < n; ++i, p += 3) std::memcpy(p, octets.data() + 24 * ((word >> i) & 1), 3);
        }
    }
    if (Bounds.Right <= Bounds.Left) Bounds = {};
    // The mask says how it was painted, with a copy of the bits: the
    // grower's own change if its single steps are used afterwards.
    auto bits = std::make_shared<TPixelBits>();
    bits->Words = joinedBlock_.Clone();
    bits->WordsPerRow = wordsPerRow_;
    bits->Width = width_;
    bits->Height = height_;
    auto note = std::make_shared<TPaintedBits>();
    note->Bits = std::move(bits);
    note->Left = Bounds.Left;
    note->Top = Bounds.Top;
    note->Right = Bounds.Right;
    note->Bottom = Bounds.Bottom;
    note->Colour = PackedBgr(fill);
    note->BaseColour = 0xFFFFFF;
    img->Painted = std::move(note);
    TBitmap mask;
    mask.SetImage(std::move(img));
    Image2.Picture().AssignGraphic(&mask);
}

} // namespace vem
