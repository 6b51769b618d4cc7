#include "support/GrowerCheck.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/base/Errors.h"
#include "core/pixels/Bitmap.h"
#include "core/pixels/PixelCodec.h"
#include "core/pixels/PixelRuns.h"
#include "core/workspace/RegionGrower.h"
#include "core/workspace/Workspace.h"

namespace vem::test {

namespace {

constexpr int MaxSide = 48;

// A difference from the reference, with the pixel where it shows.
struct Mismatch {
    std::string what;
};

[[noreturn]] void fail(const char* what, int x = -1, int y = -1) {
    throw Mismatch{std::string(what) + " (x " + std::to_string(x) + ", y " + std::to_string(y) + ")"};
}

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
    std::uint8_t u8() { return p_ < end_ ? *p_++ : 0; }
    std::uint32_t u32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= std::uint32_t(u8()) << (8 * i);
        return v;
    }
    bool empty() const { return p_ >= end_; }

private:
    const std::uint8_t* p_;
    const std::uint8_t* end_;
};

// Mostly the ends of the ranges the levels are clamped into; otherwise any
// 32-bit value.
std::int32_t level(Input& in) {
    static constexpr std::int32_t special[] = {INT_MIN, INT_MIN + 1, -256, -255, -1,   0,     1,           2,
                                               3,       5,           8,    16,   32,   64,    127,         128,
                                               254,     255,         256,  1000, 4096, 70000, INT_MAX - 1, INT_MAX};
    constexpr std::uint8_t count = sizeof special / sizeof special[0];
    const std::uint8_t pick = in.u8();
    return pick < 8 * count ? special[pick % count] : static_cast<std::int32_t>(in.u32());
}

struct Kind {
    std::uint16_t bits;
    std::uint32_t compression;
    bool device;
    bool inputMasks; // masks from the input rather than the fixed ones below
    std::array<std::uint32_t, 3> masks;
};

// 1, 4 and 8 bits; 15 bits; 16 bits 565; 16 bits with masks from the input;
// 24 and 32 bits; 32 bits with masks from the input; the device format.
constexpr Kind kKinds[] = {
    {1, 0, false, false, {}},  {4, 0, false, false, {}},  {8, 0, false, false, {}},
    {16, 0, false, false, {}}, {16, 3, false, false, {0xF800, 0x07E0, 0x001F}},
    {16, 3, false, true, {}},  {24, 0, false, false, {}}, {32, 0, false, false, {}},
    {32, 3, false, true, {}},  {32, 0, true, false, {}},
};
constexpr std::size_t kKindCount = sizeof kKinds / sizeof kKinds[0];

// A run of Width bits from bit Shift, kept inside Bits; width 0 is an empty mask.
std::uint32_t maskOf(std::uint8_t shift, std::uint8_t width, int bits) {
    const int s = shift % bits;
    const int w = std::min<int>(width % (bits + 1), bits - s);
    return w == 0 ? 0 : ((w >= 32 ? ~0u : (1u << w) - 1) << s);
}

std::unique_ptr<TBitmap> makePicture(Input& in, std::uint8_t kindByte, int width, int height, std::uint8_t flags,
                                     int tableSize, const std::array<std::uint32_t, 3>& masks) {
    const Kind kind = kKinds[kindByte % kKindCount];
    auto img = std::make_shared<TBitmapImage>();
    img->Width = width;
    img->BitCount = kind.device ? DeviceBitCount : kind.bits;
    img->Device = kind.device;
    img->Compression = kind.compression;
    img->Masks = kind.inputMasks ? masks : kind.masks;
    // The device format is bottom-up by definition.
    img->StoredHeight = (flags & 1) && !kind.device ? -height : height;
    img->ColorTable.resize(static_cast<std::size_t>(tableSize));
    for (TRGBQuad& q : img->ColorTable) q = {in.u8(), in.u8(), in.u8(), in.u8()};

    const std::size_t stride = img->Stride();
    img->Pixels = PixelBlock::Zeroed(stride * static_cast<std::size_t>(height));
    if (flags & 8) {
        std::uint32_t palette[8];
        for (auto& v : palette) v = in.u32();
        PixelCodec codec(*img);
        const std::uint32_t keep = img->BitCount >= 32 ? ~0u : (1u << img->BitCount) - 1;
        for (int s = 0; s < height; ++s) {
            std::uint8_t* row = img->StoredRow(s);
            for (int x = 0; x < width; ++x) codec.Store(row, x, palette[in.u8() & 7] & keep);
        }
    } else {
        for (int s = 0; s < height; ++s) {
            std::uint8_t* row = img->StoredRow(s);
            if (in.empty() && s > 0)
                std::memcpy(row, img->StoredRow(s - 1), stride);
            else
                for (std::size_t i = 0; i < stride; ++i) row[i] = in.u8();
        }
    }
    auto bmp = std::make_unique<TBitmap>();
    bmp->SetImage(std::move(img));
    return bmp;
}

// The grower's definition, pixel by pixel: the start joins untested; a
// neighbour (no diagonals) joins when on every channel it lies within the
// limit level of the resolved target and within the approximation level of
// the pixel it was reached from, bounds clamped into 0..255.
std::vector<char> referenceRegion(const TBitmap& bmp, const TConvSettings& s) {
    const int w = bmp.Width(), h = bmp.Height();
    auto clamp = [](std::int64_t v) { return std::clamp<std::int64_t>(v, 0, 255); };
    const TColor t = ResolveColor(s.TargetColor);
    const std::int64_t target[3] = {GetRValue(t), GetGValue(t), GetBValue(t)};
    std::vector<char> in(static_cast<std::size_t>(w) * h, 0);
    in[static_cast<std::size_t>(s.PointY) * w + s.PointX] = 1;
    std::deque<std::pair<int, int>> queue{{s.PointX, s.PointY}};
    while (!queue.empty()) {
        const auto [x, y] = queue.front();
        queue.pop_front();
        const TColor cur = bmp.PixelColor(x, y);
        const std::int64_t from[3] = {GetRValue(cur), GetGValue(cur), GetBValue(cur)};
        static constexpr int dx[4] = {0, 1, 0, -1}, dy[4] = {-1, 0, 1, 0};
        for (int d = 0; d < 4; ++d) {
            const int nx = x + dx[d], ny = y + dy[d];
            if (nx < 0 || ny < 0 || nx >= w || ny >= h || in[static_cast<std::size_t>(ny) * w + nx]) continue;
            const TColor c = bmp.PixelColor(nx, ny);
            const std::int64_t v[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
            bool joins = true;
            for (int i = 0; i < 3; ++i)
                joins = joins && clamp(target[i] - s.LimitLV) <= v[i] && v[i] <= clamp(target[i] + s.LimitLV) &&
                        clamp(from[i] - s.ApproxLV) <= v[i] && v[i] <= clamp(from[i] + s.ApproxLV);
            if (!joins) continue;
            in[static_cast<std::size_t>(ny) * w + nx] = 1;
            queue.emplace_back(nx, ny);
        }
    }
    return in;
}

// The mask is a 24-bit picture of the source's size: white, the region in the
// bytes of the resolved target colour.
void checkMask(const TGraphic* graphic, const std::vector<char>& region, int w, int h, TColor target) {
    const auto* mask = dynamic_cast<const TBitmap*>(graphic);
    if (!mask || mask->PixelDepth() != TPixelDepth::pd24Bit) fail("the mask is no 24-bit bitmap");
    if (mask->Width() != w || mask->Height() != h) fail("the mask has another size", mask->Width(), mask->Height());
    const TColor r = ResolveColor(target);
    const TColor fill = RGB(GetRValue(r), GetGValue(r), GetBValue(r));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (mask->PixelColor(x, y) != (region[static_cast<std::size_t>(y) * w + x] ? fill : clWhite))
                fail("the mask differs from the reference region", x, y);
}

void growDirectly(const TBitmap& source, const TConvSettings& s, const std::vector<char>& region, bool inside,
                  std::size_t stackLimit) {
    TPicture original;
    original.AssignGraphic(&source);
    TForm3 grower;
    grower.FormCreate(s, original);
    if (stackLimit) grower.SpanStackLimit = stackLimit;
    grower.Button1Click();
    if (!inside) {
        if (grower.Count != 0 || grower.Image2.Picture().Graphic()) fail("a start outside the picture grew something");
        return;
    }
    const int w = source.Width(), h = source.Height();
    checkMask(grower.Image2.Picture().Graphic(), region, w, h, s.TargetColor);
    int count = 0;
    TRect box{w, h, 0, 0};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (region[static_cast<std::size_t>(y) * w + x]) {
                ++count;
                box = {std::min(box.Left, x), std::min(box.Top, y), std::max(box.Right, x + 1), std::max(box.Bottom, y + 1)};
            }
    if (grower.Count != count) fail("Count differs from the reference region's size", grower.Count, count);
    if (!(grower.Bounds == box)) fail("Bounds differ from the reference region's");
}

void putPicture(TImageSlot& slot, const TBitmap& bitmap) {
    slot.Image1.Picture().AssignGraphic(&bitmap);
    slot.Image1.SetBounds(bitmap.Width(), bitmap.Height());
    slot.RenewWorkBmp();
}

// Mode 4 as the program runs it, with an editing picture that may lend its
// pixel block to the mask.
void growInWorkspace(const TBitmap& source, const TConvSettings& s, const std::vector<char>& region, bool inside,
                     bool donor) {
    TWorkspace ws;
    putPicture(ws.Original, source);
    {
        TBitmap editing;
        editing.SetWidth(donor ? source.Width() : 3);
        editing.SetHeight(donor ? source.Height() : 2);
        editing.SetPixelDepth(TPixelDepth::pd24Bit);
        putPicture(ws.Editing, editing);
    }
    ws.Settings = s;
    ws.Settings.ConvMode = 4;
    if (ws.RunConversion() != inside) fail("mode 4 ran where it must not, or refused a start inside");
    if (!inside) {
        // Renewing the finished slot's WorkBmp leaves an empty bitmap there.
        const TGraphic* finished = ws.Finished.Image1.Picture().Graphic();
        if (finished && !finished->Empty()) fail("a refused mode 4 made a finished picture");
        return;
    }
    const int w = source.Width(), h = source.Height();
    checkMask(ws.Editing.Image1.Picture().Graphic(), region, w, h, s.TargetColor);
    const auto* finished = dynamic_cast<const TBitmap*>(ws.Finished.Image1.Picture().Graphic());
    if (!finished || finished->Width() != w || finished->Height() != h) fail("the finished picture is missing");
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (finished->PixelColor(x, y) != source.PixelColor(x, y)) fail("the finished picture differs from the original", x, y);
}

void check(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    const std::uint8_t kind = in.u8();
    const int width = 1 + in.u8() % MaxSide;
    const int height = 1 + in.u8() % MaxSide;
    const std::uint8_t flags = in.u8();
    const int bits = kKinds[kind % kKindCount].bits;
    // Up to the full table of an indexed depth, short tables included; the
    // deeper depths may carry a table they do not use.
    const int tableSize = (in.u8() | in.u8() << 8) % ((bits <= 8 ? 1 << bits : 16) + 1);
    std::array<std::uint32_t, 3> masks{};
    for (auto& m : masks) {
        const std::uint8_t shift = in.u8();
        m = maskOf(shift, in.u8(), bits);
    }

    TConvSettings s;
    s.LimitLV = level(in);
    s.ApproxLV = level(in);
    const std::uint8_t targetKind = in.u8() % 4;
    const std::uint32_t targetValue = in.u32();
    const std::uint8_t startKind = in.u8();
    s.PointX = startKind < 224 ? in.u8() % (width + 4) - 2 : static_cast<std::int32_t>(in.u32());
    s.PointY = startKind < 224 ? in.u8() % (height + 4) - 2 : static_cast<std::int32_t>(in.u32());

    const auto source = makePicture(in, kind, width, height, flags, tableSize, masks);
    switch (targetKind) {
    case 0: // the colour of a pixel of the picture, as a left click picks it
        s.TargetColor = source->PixelColor(static_cast<int>(targetValue % width), static_cast<int>((targetValue >> 8) % height));
        break;
    case 1: s.TargetColor = static_cast<TColor>(targetValue & 0xFFFFFF); break;
    case 2: s.TargetColor = SystemColor(static_cast<int>(targetValue)); break;
    default: s.TargetColor = static_cast<TColor>(targetValue); break; // any top byte
    }

    const bool inside = s.PointX >= 0 && s.PointY >= 0 && s.PointX < width && s.PointY < height;
    const std::vector<char> region = inside ? referenceRegion(*source, s) : std::vector<char>();
    const PixelBlock before = source->Image().Pixels.Clone();

    // Every run-measuring path the processor offers, the plain loops included.
    struct BestPathAfter {
        ~BestPathAfter() { SetVectorPath(BestVectorPath()); }
    } restore;
    for (int path = 0; path <= static_cast<int>(BestVectorPath()); ++path) {
        SetVectorPath(static_cast<TVectorPath>(path));
        growDirectly(*source, s, region, inside, 0);
    }
    SetVectorPath(BestVectorPath());
    // With room for only a few waiting spans the rest are parked and picked up
    // in later sweeps; the region must not change.
    if (flags & 4) growDirectly(*source, s, region, inside, 1 + (flags >> 5));
    if (flags & 2) growInWorkspace(*source, s, region, inside, flags & 16);

    if (std::memcmp(before.data(), source->Image().Pixels.data(), before.size()) != 0) fail("the original changed");
}

} // namespace

std::string CheckGrower(const std::uint8_t* data, std::size_t size) {
    try {
        check(data, size);
    } catch (const Mismatch& m) {
        return m.what;
    } catch (const Exception& e) {
        return std::string("the grower raised ") + e.ClassName() + ": " + e.Message;
    }
    return {};
}

} // namespace vem::test
