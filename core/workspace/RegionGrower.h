// The region grower of mode 4: a magic-wand fill from one point of the
// original picture into a white mask.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/pixels/Color.h"
#include "core/pixels/PixelBlock.h"
#include "core/workspace/ConvSettings.h"
#include "core/workspace/Picture.h"

namespace vem {

// Created for one run: FormCreate, Button1Click, take the mask from Image2,
// destroy. The region is the start pixel plus every pixel reached from it
// through direct neighbours (no diagonals) where each pixel after the start lies
// within LimitLV of TargetColor on every channel and each step changes every
// channel by at most ApproxLV. That set does not depend on the visiting order,
// so FloodFill grows it by horizontal spans instead of pixel by pixel, and
// keeps one bit per pixel instead of an order map.
class TForm3 {
public:
    TForm3() = default;
    TForm3(const TForm3&) = delete;
    TForm3& operator=(const TForm3&) = delete;

    // Takes the levels, the target and the start point from Settings and a
    // copy of Original's bitmap as the source. The limit level is converted
    // into the target bounds before the approximation level is stored.
    void FormCreate(const TConvSettings& settings, TPicture& original);

    // Runs FloodFill.
    void Button1Click();
    // Grows the region from (StartX, StartY) and leaves the mask in Image2's
    // picture: a bottom-up 24-bit W x H bitmap, white, the region in FillColor
    // (the bytes a device bitmap painted with FillColor converts to). A start
    // point outside the source grows nothing and leaves Image2 as it was.
    void FloodFill();

    // The single steps of the grower, one pixel at a time. FloodFill does not
    // use them, but they keep the same state: pixels joined through SetSel are
    // expanded by a later FloodFill like the start pixel.

    // May (X, Y) join now, given CurR/CurG/CurB: inside the source, not
    // joined yet, in the target range, and within ApproxLV of the current colour.
    bool pixCheck(int x, int y);
    // Reads pixel (X, Y) of Bmp through its own depth, X and Y first clamped
    // into Image1's area; returns RGB(R, G, B). A column past Bmp's width, or
    // a bitmap without that row, raises the row-range error.
    TColor GetRGB(TBitmap& bmp, int x, int y, std::uint8_t& r, std::uint8_t& g, std::uint8_t& b);
    // Tries one neighbour of (X, Y): 0 above, 1 right, 2 below, 3 left; any
    // other direction does nothing.
    void Rootcheck(int x, int y, int direction);
    // Joins (X, Y): paints it in FillColor on Image2's surface (creating the
    // blank white device-format mask on first use), marks it, counts it.
    // A position outside the source does nothing.
    void SetSel(int x, int y);
    // True when (X, Y) has not joined; false outside the source.
    bool IsFree(int x, int y) const;
    // V clamped into 0 .. 255. Takes 64 bits so that a level near the ends of
    // the 32-bit range cannot overflow the subtraction before it.
    static int Rint(std::int64_t v);

    TImage Image1; // the source, a copy of the original picture
    TImage Image2; // the mask
    std::int32_t StartX = 0, StartY = 0;
    std::int32_t Count = 0; // pixels joined so far
    // The smallest rectangle holding every joined pixel, once FloodFill has
    // built the mask; empty before, and when nothing joined.
    TRect Bounds;
    std::uint8_t CurR = 0, CurG = 0, CurB = 0;
    TColor FillColor = 0;
    std::int32_t ApproxLV = 0;
    std::int32_t LimitLV = 0;
    std::uint8_t MinR = 0, MaxR = 0, MinG = 0, MaxG = 0, MinB = 0, MaxB = 0;

    // A bitmap whose pixel block the mask may be written into, when it is the
    // only user of its store and the block has the mask's size (the picture
    // the mask is about to replace). Its pixels are gone afterwards.
    TBitmap* MaskDonor = nullptr;

    // How many horizontal spans may wait for their rows above and below before
    // further ones are parked in a second bit map (keeps memory bounded on
    // pathological pictures). Set by FormCreate; tests may lower it.
    std::size_t SpanStackLimit = 0;

private:
    struct Span {
        std::int32_t y, left, right;
    };
    struct Criterion; // the two tests, prepared once per fill
    Criterion makeCriterion() const;
    int width_ = 0, height_ = 0;
    std::size_t wordsPerRow_ = 0;
    // One bit per pixel, rows word-aligned; a pixel block, so that the next
    // click's grower takes the same memory again.
    PixelBlock joinedBlock_;
    std::uint64_t* joined_ = nullptr;
    std::size_t joinedWords_ = 0;
    std::vector<std::uint64_t> parked_;  // spans waiting when the stack is full
    bool anyParked_ = false;
    std::vector<Span> stack_;
    // Joined pixels whose neighbours have not been tried yet (SetSel's work list).
    std::vector<std::pair<std::int32_t, std::int32_t>> unexpanded_;

    bool inside(std::int64_t x, std::int64_t y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
    bool isJoined(int x, int y) const {
        return (joined_[static_cast<std::size_t>(y) * wordsPerRow_ + (static_cast<unsigned>(x) >> 6)] >> (x & 63)) & 1;
    }
    void markJoined(int x, int y) {
        joined_[static_cast<std::size_t>(y) * wordsPerRow_ + (static_cast<unsigned>(x) >> 6)] |= std::uint64_t(1) << (x & 63);
    }
    void markRange(int y, int from, int to);
    // The first joined pixel of row Y in FROM .. END-1 (END when none), and
    // the last one in BEGIN .. FROM (BEGIN - 1 when none).
    int nextJoined(int y, int from, int end) const;
    int previousJoined(int y, int from, int begin) const;
    Span extendRuns(const Criterion& crit, const std::uint8_t* row, int x, int y);
    template <class Source> void grow(const Source& source);
    template <class Source> Span extend(const Source& source, const Criterion& crit, int x, int y);
    template <class Source> int follow(const Source& source, const Criterion& crit, int x, int y, int dir);
    template <class Source> void scanRow(const Source& source, const Criterion& crit, int ny, const Span& span);
    void pushSpan(const Span& span);
    template <class Source> void drain(const Source& source, const Criterion& crit);
    template <class Source> bool unpark(const Source& source, const Criterion& crit);
    void buildMask();
};

} // namespace vem
