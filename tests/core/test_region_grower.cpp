#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <deque>
#include <random>
#include <vector>

#include "core/base/Errors.h"
#include "core/pixels/PixelCodec.h"
#include "core/pixels/PixelRuns.h"
#include "core/workspace/RegionGrower.h"
#include "support/EnginePictures.h"
#include "support/SpiralCorridor.h"

namespace vem {
namespace {

using test::MakeBitmap24;
using test::MakeRandomBitmap;

// The grower's definition, pixel by pixel and breadth first: the start joins
// untested; a neighbour (above, right, below, left) joins when it has not yet
// joined, lies within the target bounds and within the step bounds of the
// pixel being expanded; bounds are Rint'ed in wide arithmetic.
std::vector<char> referenceRegion(const TBitmap& bmp, const TConvSettings& s) {
    const int w = bmp.Width(), h = bmp.Height();
    auto rint = [](long long v) { return v < 0 ? 0LL : v > 255 ? 255LL : v; };
    const TColor t = ResolveColor(s.TargetColor);
    const long long tc[3] = {GetRValue(t), GetGValue(t), GetBValue(t)};
    std::vector<char> in(static_cast<std::size_t>(w) * h, 0);
    std::deque<std::pair<int, int>> queue{{s.PointX, s.PointY}};
    in[static_cast<std::size_t>(s.PointY) * w + s.PointX] = 1;
    while (!queue.empty()) {
        const auto [x, y] = queue.front();
        queue.pop_front();
        const TColor cur = bmp.PixelColor(x, y);
        const long long cc[3] = {GetRValue(cur), GetGValue(cur), GetBValue(cur)};
        const int dx[4] = {0, 1, 0, -1}, dy[4] = {-1, 0, 1, 0};
        for (int d = 0; d < 4; ++d) {
            const int nx = x + dx[d], ny = y + dy[d];
            if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
            char& mark = in[static_cast<std::size_t>(ny) * w + nx];
            if (mark) continue;
            const TColor c = bmp.PixelColor(nx, ny);
            const long long v[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
            bool ok = true;
            for (int i = 0; i < 3; ++i) {
                ok = ok && rint(tc[i] - s.LimitLV) <= v[i] && v[i] <= rint(tc[i] + s.LimitLV);
                ok = ok && rint(cc[i] - s.ApproxLV) <= v[i] && v[i] <= rint(cc[i] + s.ApproxLV);
            }
            if (!ok) continue;
            mark = 1;
            queue.emplace_back(nx, ny);
        }
    }
    return in;
}

struct Grown {
    std::unique_ptr<TForm3> grower = std::make_unique<TForm3>();
    TPicture original;
    const TBitmap* mask() const { return dynamic_cast<const TBitmap*>(grower->Image2.Picture().Graphic()); }
};

std::unique_ptr<Grown> grow(const TBitmap& source, const TConvSettings& s, std::size_t stackLimit = 0) {
    auto g = std::make_unique<Grown>();
    g->original.AssignGraphic(&source);
    g->grower->FormCreate(s, g->original);
    if (stackLimit) g->grower->SpanStackLimit = stackLimit;
    g->grower->Button1Click();
    return g;
}

// The mask is white with the region in the target colour, and Count is the
// region's size.
void expectMask(const Grown& g, const std::vector<char>& region, int w, int h, TColor fill) {
    const TBitmap* mask = g.mask();
    ASSERT_NE(mask, nullptr);
    ASSERT_EQ(mask->PixelDepth(), TPixelDepth::pd24Bit);
    ASSERT_EQ(mask->Width(), w);
    ASSERT_EQ(mask->Height(), h);
    int expectedCount = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool in = region[static_cast<std::size_t>(y) * w + x];
            expectedCount += in;
            ASSERT_EQ(mask->PixelColor(x, y), in ? ResolveColor(fill) : clWhite) << "at " << x << "," << y;
        }
    EXPECT_EQ(g.grower->Count, expectedCount);
}

// Level pairs to draw from: negative, zero, small, wide, the 32-bit ends.
struct LevelCase {
    const char* name;
    std::vector<int> limits;
    std::vector<int> approxes;
    int colors;
    int noise;
};

void PrintTo(const LevelCase& c, std::ostream* os) { *os << c.name; }

class GrowerMatchesReference : public ::testing::TestWithParam<LevelCase> {};

TEST_P(GrowerMatchesReference, OnRandomPictures) {
    const LevelCase& c = GetParam();
    std::mt19937 rng(12345);
    long largest = 0;
    for (int round = 0; round < 60; ++round) {
        const int w = std::uniform_int_distribution<int>(1, 70)(rng);
        const int h = std::uniform_int_distribution<int>(1, 40)(rng);
        auto bmp = MakeRandomBitmap(w, h, rng, c.colors, c.noise);
        TConvSettings s;
        // Starts on the border every other round.
        s.PointX = round % 2 ? std::uniform_int_distribution<int>(0, 1)(rng) * (w - 1)
                             : std::uniform_int_distribution<int>(0, w - 1)(rng);
        s.PointY = std::uniform_int_distribution<int>(0, h - 1)(rng);
        s.LimitLV = c.limits[static_cast<std::size_t>(round) % c.limits.size()];
        s.ApproxLV = c.approxes[static_cast<std::size_t>(round / 3) % c.approxes.size()];
        // The target is mostly the start pixel's colour, sometimes another pixel's.
        const int tx = round % 4 == 3 ? std::uniform_int_distribution<int>(0, w - 1)(rng) : s.PointX;
        s.TargetColor = bmp->PixelColor(tx, s.PointY);
        SCOPED_TRACE(testing::Message() << "round " << round << " " << w << "x" << h << " limit " << s.LimitLV
                                        << " approx " << s.ApproxLV);
        const auto region = referenceRegion(*bmp, s);
        largest = std::max<long>(largest, std::count(region.begin(), region.end(), 1));
        // Every path of the run loops this processor has, the plain one included.
        for (int path = 0; path <= static_cast<int>(BestVectorPath()); ++path) {
            SCOPED_TRACE(testing::Message() << "vector path " << path);
            SetVectorPath(static_cast<TVectorPath>(path));
            expectMask(*grow(*bmp, s), region, w, h, s.TargetColor);
        }
        SetVectorPath(BestVectorPath());
        // With almost no room for waiting spans, the parked-span path must
        // find the same region.
        expectMask(*grow(*bmp, s, 1), region, w, h, s.TargetColor);
    }
    // The table must keep exercising real regions, not single pixels.
    EXPECT_GT(largest, 40);
}

INSTANTIATE_TEST_SUITE_P(
    Levels, GrowerMatchesReference,
    ::testing::Values(LevelCase{"flat_zero", {0}, {0}, 3, 0},
                      LevelCase{"negative", {-1, 5, INT_MIN}, {-1, INT_MIN, 4}, 3, 2},
                      LevelCase{"noisy_small", {4, 8, 12}, {2, 3, 6}, 4, 3},
                      LevelCase{"wide_limit_tight_step", {255, INT_MAX}, {1, 2, 3}, 2, 1},
                      LevelCase{"wide_step_small_limit", {2, 6}, {255, INT_MAX}, 3, 3},
                      LevelCase{"many_colours", {30, 60}, {20, 40}, 12, 10}),
    [](const auto& info) { return std::string(info.param.name); });

// The run loops of every vector path against the plain ones, on rows of few
// colours with small noise (long runs, broken now and then), from every start.
TEST(PixelRuns, VectorPathsAgreeWithThePlainLoops) {
    std::mt19937 rng(2024);
    auto byte = [&](int lo, int hi) { return static_cast<std::uint8_t>(std::uniform_int_distribution<int>(lo, hi)(rng)); };
    for (int round = 0; round < 200; ++round) {
        const int width = std::uniform_int_distribution<int>(2, 200)(rng);
        std::vector<std::uint8_t> row(3 * static_cast<std::size_t>(width)), above(row.size());
        for (auto* r : {&row, &above})
            for (std::size_t i = 0; i < r->size(); ++i) (*r)[i] = static_cast<std::uint8_t>(100 + (i % 3) * 20 + byte(0, 6));
        for (int i = 0; i < 3; ++i) row[3 * static_cast<std::size_t>(byte(0, static_cast<std::uint8_t>(width - 1))) + i % 3] = byte(0, 255);
        const TRunTest t({byte(90, 125), byte(90, 125), byte(90, 125)}, {byte(135, 170), byte(135, 170), byte(135, 170)},
                         round % 50 == 49 ? -1 : byte(0, 7));
        for (int from = 1; from + 1 < width; ++from) {
            int expected[3] = {};
            for (int path = 0; path <= static_cast<int>(BestVectorPath()); ++path) {
                SetVectorPath(static_cast<TVectorPath>(path));
                const int got[3] = {RunRight(row.data(), width, from, width, t), RunLeft(row.data(), width, from, 0, t),
                                    FirstJoining(row.data(), above.data(), width, from, width, t)};
                if (path == 0) std::copy(got, got + 3, expected);
                ASSERT_EQ(std::vector<int>(got, got + 3), std::vector<int>(expected, expected + 3))
                    << "round " << round << " path " << path << " from " << from;
            }
        }
    }
    SetVectorPath(BestVectorPath());
}

// A square spiral corridor one pixel wide, walked up, down, left and right,
// with a noisy corridor colour: the fill must follow it to its end and no further.
TEST(RegionGrower, FollowsASpiralCorridorToItsEnd) {
    for (int side : {7, 24, 41}) {
        const SpiralCorridor spiral = MakeSpiralCorridor(side);
        const std::vector<char>& corridor = spiral.Cells;
        const int x = spiral.EndX, y = spiral.EndY;
        auto bmp = MakeBitmap24(side, side, [&](int px, int py) {
            const auto n = static_cast<std::uint8_t>((px * 7 + py * 3) % 5);
            return spiral.At(px, py) ? RGB(100 + n, 160, 220 - n) : RGB(20, 20 + n, 20);
        });
        TConvSettings s;
        s.TargetColor = RGB(102, 160, 218);
        s.LimitLV = 2;
        s.ApproxLV = 4;
        // Entered at the outer end and at the inner end (which walks it backwards).
        for (const auto& [sx, sy] : {std::pair{0, 0}, std::pair{x, y}}) {
            s.PointX = sx;
            s.PointY = sy;
            SCOPED_TRACE(testing::Message() << side << " from " << sx << "," << sy);
            const auto region = referenceRegion(*bmp, s);
            EXPECT_EQ(region, corridor);
            expectMask(*grow(*bmp, s), region, side, side, s.TargetColor);
        }
    }
}

TEST(RegionGrower, DiagonalLineDoesNotConnect) {
    const TColor line = RGB(255, 0, 0);
    auto bmp = MakeBitmap24(6, 6, [&](int x, int y) { return x == y ? line : RGB(0, 0, 255); });
    TConvSettings s;
    s.TargetColor = line;
    s.PointX = s.PointY = 2;
    auto g = grow(*bmp, s);
    EXPECT_EQ(g->grower->Count, 1);
    EXPECT_EQ(g->mask()->PixelColor(2, 2), line);
    EXPECT_EQ(g->mask()->PixelColor(3, 3), clWhite);
    EXPECT_EQ(g->mask()->PixelColor(1, 1), clWhite);
}

TEST(RegionGrower, WhiteTargetLeavesAMaskThatLooksEmpty) {
    auto bmp = MakeBitmap24(8, 5, [](int x, int y) { return x < 3 && y < 4 ? clWhite : RGB(0, 90, 0); });
    TConvSettings s;
    s.TargetColor = clWhite;
    s.PointX = 2;
    s.PointY = 3;
    auto g = grow(*bmp, s);
    std::vector<char> blob(40, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 3; ++x) blob[static_cast<std::size_t>(y) * 8 + x] = 1;
    expectMask(*g, blob, 8, 5, s.TargetColor); // white in and out of the region
    EXPECT_EQ(g->mask()->PixelColor(0, 0), g->mask()->PixelColor(7, 4));
}

TEST(RegionGrower, SystemColourTargetIsResolvedForBoundsAndPaintedResolved) {
    const TColor face = ResolveColor(clBtnFace);
    auto bmp = MakeBitmap24(3, 3, [&](int x, int) { return x < 2 ? face : clBlack; });
    TConvSettings s;
    s.TargetColor = clBtnFace;
    auto g = grow(*bmp, s);
    EXPECT_EQ(g->grower->FillColor, clBtnFace);
    EXPECT_EQ(g->grower->Count, 6);
    EXPECT_EQ(g->mask()->PixelColor(1, 2), face);
}

TEST(RegionGrower, ReadsSourcesOfOtherDepthsThroughTheirColours) {
    std::mt19937 rng(7);
    for (TPixelDepth depth : {TPixelDepth::pd8Bit, TPixelDepth::pd16Bit, TPixelDepth::pd32Bit, TPixelDepth::pdDevice}) {
        auto bmp = MakeRandomBitmap(30, 20, rng, 3, 0);
        bmp->SetPixelDepth(depth);
        TConvSettings s;
        s.PointX = 11;
        s.PointY = 7;
        s.TargetColor = bmp->PixelColor(11, 7);
        s.LimitLV = 40;
        s.ApproxLV = 40;
        SCOPED_TRACE(PixelDepthName(depth));
        expectMask(*grow(*bmp, s), referenceRegion(*bmp, s), 30, 20, s.TargetColor);
    }
}

TEST(RegionGrower, CreationDerivesBoundsThroughRint) {
    auto bmp = MakeBitmap24(2, 2, [](int, int) { return clBlack; });
    TPicture original;
    original.AssignGraphic(bmp.get());
    TConvSettings s;
    s.TargetColor = RGB(250, 3, 128);
    s.LimitLV = 10;
    s.ApproxLV = -4;
    s.PointX = 1;
    TForm3 g;
    g.FormCreate(s, original);
    EXPECT_EQ(g.FillColor, s.TargetColor);
    EXPECT_EQ(std::vector<int>({g.MinR, g.MaxR, g.MinG, g.MaxG, g.MinB, g.MaxB}),
              std::vector<int>({240, 255, 0, 13, 118, 138}));
    EXPECT_EQ(g.ApproxLV, -4);
    EXPECT_EQ(g.StartX, 1);
    EXPECT_EQ(g.Count, 0);
    s.LimitLV = INT_MIN; // the subtraction must not wrap around
    g.FormCreate(s, original);
    EXPECT_EQ(std::vector<int>({g.MinR, g.MaxR}), std::vector<int>({255, 0}));
    EXPECT_EQ(TForm3::Rint(-1), 0);
    EXPECT_EQ(TForm3::Rint(256), 255);
    EXPECT_EQ(TForm3::Rint(77), 77);
    EXPECT_EQ(TForm3::Rint(std::int64_t(INT_MAX) + 300), 255);
}

// The single steps, driven breadth first by the test itself, find the same
// region as the definition, and paint it into a device-format mask.
TEST(RegionGrower, LiteralStepsFollowTheDefinition) {
    std::mt19937 rng(99);
    for (int round = 0; round < 20; ++round) {
        auto bmp = MakeRandomBitmap(17, 11, rng, 3, 2);
        TConvSettings s;
        s.PointX = round % 17;
        s.PointY = round % 11;
        s.TargetColor = bmp->PixelColor(s.PointX, s.PointY);
        s.LimitLV = 6;
        s.ApproxLV = 3;
        TPicture original;
        original.AssignGraphic(bmp.get());
        TForm3 g;
        g.FormCreate(s, original);
        g.SetSel(g.StartX, g.StartY);
        std::deque<std::pair<int, int>> queue{{g.StartX, g.StartY}};
        while (!queue.empty()) {
            const auto [x, y] = queue.front();
            queue.pop_front();
            g.GetRGB(g.Image1.Picture().AsBitmap(), x, y, g.CurR, g.CurG, g.CurB);
            const int dx[4] = {0, 1, 0, -1}, dy[4] = {-1, 0, 1, 0};
            for (int d = 0; d < 4; ++d) {
                const bool wasFree = g.IsFree(x + dx[d], y + dy[d]);
                g.Rootcheck(x, y, d);
                if (wasFree && !g.IsFree(x + dx[d], y + dy[d])) queue.emplace_back(x + dx[d], y + dy[d]);
            }
        }
        const auto region = referenceRegion(*bmp, s);
        const auto* mask = dynamic_cast<const TBitmap*>(g.Image2.Picture().Graphic());
        ASSERT_NE(mask, nullptr);
        EXPECT_EQ(mask->PixelDepth(), TPixelDepth::pdDevice);
        int count = 0;
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < 17; ++x) {
                const bool in = region[static_cast<std::size_t>(y) * 17 + x];
                count += in;
                ASSERT_EQ(mask->PixelColor(x, y), in ? s.TargetColor : clWhite);
            }
        EXPECT_EQ(g.Count, count);
    }
}

TEST(RegionGrower, LiteralStepsRejectWhatTheyMust) {
    // 3 x 1: grey 50, grey 52, grey 90.
    const int greys[3] = {50, 52, 90};
    auto bmp = MakeBitmap24(3, 1, [&](int x, int) {
        const auto v = static_cast<std::uint8_t>(greys[x]);
        return RGB(v, v, v);
    });
    TPicture original;
    original.AssignGraphic(bmp.get());
    TConvSettings s;
    s.TargetColor = RGB(50, 50, 50);
    s.LimitLV = 45;
    s.ApproxLV = 2;
    TForm3 g;
    g.FormCreate(s, original);
    g.CurR = g.CurG = g.CurB = 50;
    EXPECT_FALSE(g.pixCheck(-1, 0));
    EXPECT_FALSE(g.pixCheck(0, 1));
    EXPECT_TRUE(g.pixCheck(1, 0));
    EXPECT_FALSE(g.pixCheck(2, 0)); // in the target range, but a step of 40
    g.CurR = g.CurG = g.CurB = 89;
    EXPECT_TRUE(g.pixCheck(2, 0));
    g.MaxR = 89; // red now outside the target range
    EXPECT_FALSE(g.pixCheck(2, 0));
    g.Rootcheck(0, 0, 7);                   // no such direction
    EXPECT_EQ(g.Count, 0);
    g.SetSel(1, 0);
    EXPECT_FALSE(g.IsFree(1, 0));
    EXPECT_FALSE(g.IsFree(5, 0));
    g.CurR = g.CurG = g.CurB = 52;
    EXPECT_FALSE(g.pixCheck(1, 0)); // joined already
    g.SetSel(9, 9);                 // outside: nothing
    EXPECT_EQ(g.Count, 1);
    std::uint8_t r, gr, b;
    EXPECT_EQ(g.GetRGB(g.Image1.Picture().AsBitmap(), 99, -5, r, gr, b), RGB(90, 90, 90)); // clamped to (2, 0)
    TBitmap narrow;
    narrow.AssignFrom(MakeBitmap24(1, 1, [](int, int) { return clBlack; }).get());
    EXPECT_THROW(g.GetRGB(narrow, 2, 0, r, gr, b), EInvalidGraphicOperation);
}

} // namespace
} // namespace vem
