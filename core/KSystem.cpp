#include "KSystem.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "Errors.h"
#include "PixelFormat.h"

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
    std::uint32_t at(int x, int y) const {
        const std::uint8_t* p = base_ + y * step_ + 3 * static_cast<std::ptrdiff_t>(x);
        return p[2] | static_cast<std::uint32_t>(p[1]) << 8 | static_cast<std::uint32_t>(p[0]) << 16;
    }

private:
    const std::uint8_t* base_;
    std::ptrdiff_t step_;
};

// Any other depth, through the store's own codec.
class CodecSource {
public:
    explicit CodecSource(const TBitmapImage& img) : img_(img), codec_(img) {}
    std::uint32_t at(int x, int y) const { return static_cast<std::uint32_t>(codec_.Decode(img_.PictureRow(y), x)); }

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
    assignOrRaise(joined_, wordsPerRow_ * static_cast<std::size_t>(height_), std::uint64_t(0));
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
    if (!img.Device && img.BitCount == 24 && img.Compression == 0)
        grow(Bgr24Source(img));
    else
        grow(CodecSource(img));
    buildMask();
}

// --- The span fill ---------------------------------------------------------

namespace {
struct Criterion {
    int minR, maxR, minG, maxG, minB, maxB, approx;
    bool inRange(std::uint32_t c) const {
        const int r = red(c), g = green(c), b = blue(c);
        return r >= minR && r <= maxR && g >= minG && g <= maxG && b >= minB && b <= maxB;
    }
    // Rint(cur - A) <= v <= Rint(cur + A) on every channel is |v - cur| <= A
    // for A >= 0, and holds for no value when A < 0.
    bool near(std::uint32_t c, std::uint32_t cur) const {
        return std::abs(red(c) - red(cur)) <= approx && std::abs(green(c) - green(cur)) <= approx &&
               std::abs(blue(c) - blue(cur)) <= approx;
    }
};

Criterion criterionOf(const TForm3& f) {
    return {f.MinR, f.MaxR, f.MinG, f.MaxG, f.MinB, f.MaxB, f.ApproxLV < 0 ? -1 : std::min(f.ApproxLV, 255)};
}
} // namespace

// Joins the free neighbours left and right of (X, Y), which has joined, as
// far as the steps allow; queues the whole span for its rows above and below.
// Returns the span's right end.
template <class Source> int TForm3::extend(const Source& source, int x, int y) {
    const Criterion crit = criterionOf(*this);
    const std::uint32_t seed = source.at(x, y);
    int left = x;
    for (std::uint32_t cur = seed; left > 0 && !isJoined(left - 1, y);) {
        const std::uint32_t c = source.at(left - 1, y);
        if (!crit.inRange(c) || !crit.near(c, cur)) break;
        markJoined(--left, y);
        ++Count;
        cur = c;
    }
    int right = x;
    for (std::uint32_t cur = seed; right + 1 < width_ && !isJoined(right + 1, y);) {
        const std::uint32_t c = source.at(right + 1, y);
        if (!crit.inRange(c) || !crit.near(c, cur)) break;
        markJoined(++right, y);
        ++Count;
        cur = c;
    }
    pushSpan({y, left, right});
    return right;
}

// Tries row NY from every pixel of Span (which lies on the row next to it).
template <class Source> void TForm3::scanRow(const Source& source, int ny, const Span& span) {
    const Criterion crit = criterionOf(*this);
    const std::uint64_t* bits = joined_.data() + static_cast<std::size_t>(ny) * wordsPerRow_;
    for (int x = span.left; x <= span.right;) {
        const std::uint64_t word = bits[static_cast<unsigned>(x) >> 6];
        if (word == ~std::uint64_t(0)) { // 64 joined pixels: nothing to try
            x = (x | 63) + 1;
            continue;
        }
        if (!((word >> (x & 63)) & 1)) {
            const std::uint32_t c = source.at(x, ny);
            if (crit.inRange(c) && crit.near(c, source.at(x, span.y))) {
                markJoined(x, ny);
                ++Count;
                x = extend(source, x, ny) + 1;
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
    if (parked_.empty()) assignOrRaise(parked_, joined_.size(), std::uint64_t(0));
    std::uint64_t* row = parked_.data() + static_cast<std::size_t>(span.y) * wordsPerRow_;
    for (int x = span.left; x <= span.right; ++x) row[static_cast<unsigned>(x) >> 6] |= std::uint64_t(1) << (x & 63);
    anyParked_ = true;
}

template <class Source> void TForm3::drain(const Source& source) {
    while (!stack_.empty()) {
        const Span span = stack_.back();
        stack_.pop_back();
        if (span.y > 0) scanRow(source, span.y - 1, span);
        if (span.y + 1 < height_) scanRow(source, span.y + 1, span);
    }
}

// One sweep over the parked pixels: each run of them becomes a span again.
// Returns whether anything was parked.
template <class Source> bool TForm3::unpark(const Source& source) {
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
                drain(source);
            }
        }
    }
    return found;
}

template <class Source> void TForm3::grow(const Source& source) {
    for (const auto& [x, y] : unexpanded_) extend(source, x, y);
    unexpanded_.clear();
    drain(source);
    while (anyParked_) {
        anyParked_ = false;
        unpark(source);
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
    if (bytes > MaxBlockBytes) RaiseOutOfMemory();
    img->Pixels = PixelBlock::Uninitialized(static_cast<std::size_t>(bytes));

    const TColor fill = ResolveColor(FillColor);
    const std::uint8_t fb = GetBValue(fill), fg = GetGValue(fill), fr = GetRValue(fill);
    std::uint8_t fillRun[64 * 3];
    for (int i = 0; i < 64; ++i) {
        fillRun[3 * i] = fb;
        fillRun[3 * i + 1] = fg;
        fillRun[3 * i + 2] = fr;
    }
    const std::size_t pixelBytes = 3 * static_cast<std::size_t>(width_);
    for (int y = 0; y < height_; ++y) {
        std::uint8_t* row = img->PictureRow(y);
        std::memset(row + pixelBytes, 0, stride - pixelBytes);
        const std::uint64_t* bits = joined_.data() + static_cast<std::size_t>(y) * wordsPerRow_;
        for (std::size_t w = 0; w < wordsPerRow_; ++w) {
            const int x0 = static_cast<int>(w * 64);
            const int n = std::min(64, width_ - x0);
            std::uint8_t* p = row + 3 * static_cast<std::size_t>(x0);
            const std::uint64_t word = bits[w];
            if (word == 0) {
                std::memset(p, 0xFF, 3 * static_cast<std::size_t>(n));
            } else if (n == 64 && word == ~std::uint64_t(0)) {
                std::memcpy(p, fillRun, sizeof fillRun);
            } else {
                for (int i = 0; i < n; ++i, p += 3) {
                    if ((word >> i) & 1) {
                        p[0] = fb;
                        p[1] = fg;
                        p[2] = fr;
                    } else {
                        p[0] = p[1] = p[2] = 0xFF;
                    }
                }
            }
        }
    }
    TBitmap mask;
    mask.SetImage(std::move(img));
    Image2.Picture().AssignGraphic(&mask);
}

} // namespace vem
