// Conversion modes 0-3: the finished picture becomes a copy of the original,
// and every position of the original slot's extent that the mode's rule
// selects is painted with the background colour.
//
// The rules are defined pixel by pixel through Row and SetPixelColor; this
// loop gives the same pictures, captions and failure states a row at a time:
// - the finished copy is written row by row while the rows are compared, into
//   the old finished pixel block when it fits;
// - every bitmap that the per-pixel reads would pass through Row is prepared
//   once (which drops saved run-length bytes and zeroes colours used), the
//   finished one only when something is painted;
// - a read past the rows or columns of a picture raises the row-range error at
//   the position where the per-pixel run would have, with the pixels before it
//   painted; the rest of the finished copy is still filled from the original.
#include "core/workspace/Workspace.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/base/Errors.h"
#include "core/pixels/PaintedBits.h"
#include "core/pixels/PixelCodec.h"
#include "core/pixels/ReducedCopies.h"

namespace vem {

namespace {

constexpr int kSlice = 1024;

enum Mode { KeepMatchMode = 0, EraseMatchMode = 1, KeepColorMode = 2, EraseColorMode = 3 };

// Gives Finished (which shares Source) a store of its own, equal to Source
// in everything but pixels, which the run fills row by row.
void installPrivateCopy(TBitmap& finished, const TBitmapImage& source, PixelBlock recycled) {
    auto store = source.HeaderCopy();
    const std::size_t bytes = source.Pixels.size();
    if (recycled.size() != bytes) recycled.reset();
    store->Pixels = recycled.empty() ? PixelBlock::Uninitialized(bytes) : std::move(recycled);
    finished.SetImage(std::move(store));
}

static_assert(std::endian::native == std::endian::little, "24-bit pixels are loaded as little-endian words");

// A 24-bit pixel as B | G << 8 | R << 16; the 4-byte load reads one byte past
// the pixel, so it is used only where the row goes on.
inline std::uint32_t load24Word(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v & 0xFFFFFFu;
}
inline std::uint32_t load24(const std::uint8_t* p) {
    return p[0] | static_cast<std::uint32_t>(p[1]) << 8 | static_cast<std::uint32_t>(p[2]) << 16;
}

#if defined(__SSE2__)
// Four 24-bit pixels per step: a byte-equality mask of their twelve bytes
// becomes four pixel bits, and four pixel bits a byte mask for the blend.
struct SseTables {
    std::uint8_t pixelsEqual[4096];
    alignas(16) std::uint8_t blend[16][16];
    constexpr SseTables() : pixelsEqual{}, blend{} {
        for (int m = 0; m < 4096; ++m)
            for (int k = 0; k < 4; ++k)
                if (((m >> (3 * k)) & 7) == 7) pixelsEqual[m] = static_cast<std::uint8_t>(pixelsEqual[m] | 1 << k);
        for (int s = 0; s < 16; ++s)
            for (int i = 0; i < 12; ++i) blend[s][i] = (s >> (i / 3)) & 1 ? 0xFF : 0;
    }
};
constexpr SseTables kSse;

inline __m128i pixelPattern(std::uint32_t bgr) {
    alignas(16) std::uint8_t bytes[16];
    for (int i = 0; i < 16; ++i) bytes[i] = static_cast<std::uint8_t>(bgr >> (8 * (i % 3)));
    return _mm_load_si128(reinterpret_cast<const __m128i*>(bytes));
}
#endif

// What the column steps of one fused row share: the background and the
// wanted editing colour as 24-bit words, and whether equal pixels are the
// selected ones (Flip 0) or the others (Flip all ones).
struct Fused24 {
    std::uint32_t back;
    std::uint32_t wanted; // 0xFFFFFFFF when no 24-bit value can equal the target
    std::uint32_t flip;
    // cppcheck-suppress unusedStructMember ; read by the column steps, which are templates
    bool canEqual; // comparing with the original, or a target that can match
};

#if defined(__SSE2__)
// Four pixels per step from column 0; returns the first column not done.
// Sixteen bytes are read and written at 3x: they must lie inside the row.
template <bool CompareOriginal>
int fusedSse(const std::uint8_t* o, const std::uint8_t* e, std::uint8_t* d, int n, const Fused24& f,
             std::uint64_t& selectedAny) {
    const __m128i backV = pixelPattern(f.back), wantedV = pixelPattern(f.wanted & 0xFFFFFF);
    const int flip4 = f.flip ? 0xF : 0;
    const int equalMask = f.canEqual ? 0xFFF : 0;
    int anyBits = 0;
    int x = 0;
    for (; x + 6 <= n; x += 4) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(o + 3 * static_cast<std::ptrdiff_t>(x)));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(e + 3 * static_cast<std::ptrdiff_t>(x)));
        const int m = _mm_movemask_epi8(_mm_cmpeq_epi8(CompareOriginal ? a : wantedV, b)) & equalMask;
        const int selected = kSse.pixelsEqual[m] ^ flip4;
        anyBits |= selected;
        const __m128i mask = _mm_load_si128(reinterpret_cast<const __m128i*>(kSse.blend[selected]));
        const __m128i out = _mm_or_si128(_mm_and_si128(mask, backV), _mm_andnot_si128(mask, a));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * static_cast<std::ptrdiff_t>(x)), out);
    }
    selectedAny |= static_cast<std::uint64_t>(anyBits);
    return x;
}
#endif

// Two pixels (six bytes) per step from column X through eight-byte words, then
// one pixel per step through four-byte words, while the row goes on past the
// word; returns the first column not done. The bytes written past a pixel are
// overwritten by the next step.
template <bool CompareOriginal>
int fusedWords(const std::uint8_t* o, const std::uint8_t* e, std::uint8_t* d, int x, int n, const Fused24& f,
               std::uint64_t& selectedAny) {
    constexpr std::uint64_t low = 0xFFFFFF, high = low << 24;
    const std::uint64_t flip2 = f.flip ? low | high : 0;
    const std::uint64_t back2 = f.back | std::uint64_t(f.back) << 24;
    const std::uint64_t wanted2 = (f.wanted | std::uint64_t(f.wanted) << 24) & (low | high);
    const std::uint64_t canEqual = f.canEqual ? ~std::uint64_t(0) : 0;
    for (; x + 2 < n; x += 2) {
        std::uint64_t a, b;
        std::memcpy(&a, o + 3 * static_cast<std::ptrdiff_t>(x), 8);
        std::memcpy(&b, e + 3 * static_cast<std::ptrdiff_t>(x), 8);
        const std::uint64_t diff = CompareOriginal ? a ^ b : (b & (low | high)) ^ wanted2;
        const std::uint64_t equal = (((0 - static_cast<std::uint64_t>((diff & low) == 0)) & low) |
                                     ((0 - static_cast<std::uint64_t>((diff & high) == 0)) & high)) &
                                    canEqual;
        const std::uint64_t selected = equal ^ flip2;
        selectedAny |= selected;
        const std::uint64_t out = (back2 & selected) | (a & ~selected);
        std::memcpy(d + 3 * static_cast<std::ptrdiff_t>(x), &out, 8);
    }
    for (; x + 1 < n; ++x) {
        const std::uint32_t a = load24Word(o + 3 * static_cast<std::ptrdiff_t>(x));
        const std::uint32_t b = load24Word(e + 3 * static_cast<std::ptrdiff_t>(x));
        const std::uint32_t equal = 0u - static_cast<std::uint32_t>(CompareOriginal ? a == b : b == f.wanted);
        const std::uint32_t selected = equal ^ f.flip;
        selectedAny |= selected;
        const std::uint32_t out = (f.back & selected) | (a & ~selected);
        std::memcpy(d + 3 * static_cast<std::ptrdiff_t>(x), &out, 4);
    }
    return x;
}

// The whole finished row at once for 24-bit pictures: each of the first
// Count columns is the original's pixel or the background, the rest of the
// row (and its padding) the original's bytes. O is the original's row (read
// for the copy, and compared when CompareOriginal); D is null past the
// finished picture's rows. Returns whether any position was selected.
template <bool CompareOriginal>
bool fusedRow24(const std::uint8_t* o, const std::uint8_t* e, std::uint8_t* d, int count, int destWidth,
                std::size_t stride, std::uint32_t back, std::uint32_t target, bool targetPlain, bool paintOnEqual) {
    const int n = d ? std::min(count, destWidth) : 0;
    // Selection as an all-ones mask: patches of differing pixels would make
    // a branch per pixel unpredictable.
    const Fused24 f{back, targetPlain ? target : 0xFFFFFFFFu, paintOnEqual ? 0u : ~0u,
                    CompareOriginal || targetPlain};
    std::uint64_t selectedAny = 0;
    int x = 0;
#if defined(__SSE2__)
    x = fusedSse<CompareOriginal>(o, e, d, n, f, selectedAny);
#endif
    x = fusedWords<CompareOriginal>(o, e, d, x, n, f, selectedAny);
    bool any = selectedAny != 0;
    for (; x < count; ++x) {
        const std::uint32_t b = load24(e + 3 * static_cast<std::ptrdiff_t>(x));
        const std::uint32_t a = CompareOriginal || x < n ? load24(o + 3 * static_cast<std::ptrdiff_t>(x)) : 0;
        const bool equal = CompareOriginal ? a == b : targetPlain && b == target;
        const bool selected = equal == paintOnEqual;
        any |= selected;
        if (x < n) {
            std::uint8_t* w = d + 3 * static_cast<std::ptrdiff_t>(x);
            const std::uint32_t out = selected ? back : a;
            w[0] = static_cast<std::uint8_t>(out);
            w[1] = static_cast<std::uint8_t>(out >> 8);
            w[2] = static_cast<std::uint8_t>(out >> 16);
        }
    }
    if (d) std::memcpy(d + 3 * static_cast<std::size_t>(n), o + 3 * static_cast<std::size_t>(n), stride - 3 * static_cast<std::size_t>(n));
    return any;
}

// One row of a run: columns 0 .. Count-1 of the compared rows (Orig null for
// modes 2 and 3), painted into Dest (null when the finished picture has no
// such row) up to DestWidth. Returns whether any position was selected.
struct RowPainter {
    TColor target;
    bool paintOnEqual;
    const TBitmapImage* orig;
    const TBitmapImage& edit;
    const TBitmapImage* dest;
    std::uint32_t storedBack;

    bool paintAny(const std::uint8_t* o, const std::uint8_t* e, std::uint8_t* d, int count, int destWidth) const {
        const std::unique_ptr<PixelCodec> oc = orig ? std::make_unique<PixelCodec>(*orig) : nullptr;
        const PixelCodec ec(edit);
        const std::unique_ptr<PixelCodec> dc = dest ? std::make_unique<PixelCodec>(*dest) : nullptr;
        TColor ocol[kSlice], ecol[kSlice];
        bool any = false;
        for (int x0 = 0; x0 < count; x0 += kSlice) {
            const int n = std::min(kSlice, count - x0);
            ec.DecodeRow(e, x0, n, ecol);
            if (oc) oc->DecodeRow(o, x0, n, ocol);
            for (int i = 0; i < n; ++i) {
                const bool equal = oc ? ocol[i] == ecol[i] : ecol[i] == target;
                if (equal != paintOnEqual) continue;
                any = true;
                if (d && x0 + i < destWidth) dc->Store(d, x0 + i, storedBack);
            }
        }
        return any;
    }
};

// One run of a rule over the rows of the original slot's extent: the per-row
// checks of the compared pictures, the fast or the general row, the copy of
// the finished rows, and what the finished bitmap is told at the end.
class PixelRuleRun {
public:
    PixelRuleRun(Mode mode, const TConvSettings& settings, TBitmap* orig, TBitmap* edit, const TBitmap& source,
                 TBitmap& finished, bool copying)
        : readsOriginal_(mode == KeepMatchMode || mode == EraseMatchMode),
          paintOnEqual_(mode == EraseMatchMode || mode == EraseColorMode), target_(settings.TargetColor),
          orig_(orig), edit_(edit), finished_(finished), dest_(finished.MutableImage()),
          destRows_(copying ? dest_.Height() : 0), stride_(static_cast<std::size_t>(dest_.Stride())),
          // SetPixelColor's stored form of the background colour in the finished depth.
          storedBack_(PixelCodec(dest_).Encode(ResolveColor(settings.BackColor))) {
        // The first read of the original (at 0, 0) comes before anything else.
        if (readsOriginal_ && orig_) orig_->PrepareRead();
        // Taken after that: preparing the original may give it a new store.
        from_ = &source.Image();
    }

    // Compares and paints picture row Y over columns 0 .. Width-1, raising the
    // row-range error where the per-pixel run would (after the columns before it).
    void PaintRow(int y, std::int64_t width) {
        std::int64_t limit = width;
        const std::uint8_t* o = readsOriginal_ ? originalRow(y, limit) : nullptr;
        const std::uint8_t* e = editingRow(y, limit);
        const bool any = paintColumns(y, o, e, static_cast<int>(limit));
        if (any) {
            firstSelected_ = firstSelected_ < 0 ? y : firstSelected_;
            lastSelected_ = y;
        }
        if (any && !painted_) {
            // The first SetPixelColor prepares the finished bitmap, which is
            // private by now: only colours used and saved bytes go.
            finished_.PrepareChange();
            painted_ = true;
        }
        if (limit < width) RaiseScanLineError();
    }

    // The rows where the finished copy may differ from the original's store,
    // as stored rows of the finished block.
    TPixelTrail::Painted PaintedRows(const TBitmap& source) const {
        TPixelTrail::Painted p{source.SharedImage(), finished_.SharedImage(), 0, -1};
        if (firstSelected_ < 0) return p;
        const bool topDown = dest_.TopDown();
        const std::int64_t last = dest_.Height() - 1;
        p.FirstRow = topDown ? firstSelected_ : last - lastSelected_;
        p.LastRow = topDown ? lastSelected_ : last - firstSelected_;
        return p;
    }

    // Picture rows First .. Last are the only ones where anything was
    // selected; false when nothing was.
    bool SelectedRows(int& first, int& last) const {
        first = firstSelected_;
        last = lastSelected_;
        return firstSelected_ >= 0;
    }

    // After the last row or a failure: the rest of the finished copy is
    // filled from the original, and a painted bitmap reports its change.
    void Finish() {
        copyRowsBefore(destRows_);
        if (painted_) finished_.NotifyChanged();
    }

private:
    const bool readsOriginal_;
    const bool paintOnEqual_;
    const TColor target_;
    TBitmap* const orig_;
    TBitmap* const edit_;
    const TBitmapImage* from_;
    TBitmap& finished_;
    TBitmapImage& dest_;
    const int destRows_;
    const std::size_t stride_;
    const std::uint32_t storedBack_;
    int copied_ = 0;
    bool editPrepared_ = false;
    bool painted_ = false;
    int firstSelected_ = -1, lastSelected_ = -1;

    const std::uint8_t* originalRow(int y, std::int64_t& limit) const {
        if (!orig_ || y >= orig_->Height() || !orig_->Image().HasPixels()) RaiseScanLineError();
        limit = std::min<std::int64_t>(limit, orig_->Width());
        return orig_->Image().PictureRow(y);
    }

    const std::uint8_t* editingRow(int y, std::int64_t& limit) {
        if (!editPrepared_) {
            if (!edit_) RaiseScanLineError();
            edit_->PrepareRead();
            editPrepared_ = true;
        }
        if (y >= edit_->Height() || !edit_->Image().HasPixels()) RaiseScanLineError();
        limit = std::min<std::int64_t>(limit, edit_->Width());
        return edit_->Image().PictureRow(y);
    }

    void copyRowsBefore(int end) {
        for (; copied_ < end; ++copied_) std::memcpy(dest_.PictureRow(copied_), from_->PictureRow(copied_), stride_);
    }

    // Columns 0 .. Count-1 of row Y; returns whether any position was selected.
    bool paintColumns(int y, const std::uint8_t* o, const std::uint8_t* e, int count) {
        const bool destRow = y < destRows_;
        std::uint8_t* d = destRow ? dest_.PictureRow(y) : nullptr;
        const std::uint8_t* src = destRow ? from_->PictureRow(y) : nullptr;
        const bool fast = edit_->Image().Plain24() && (!destRow || dest_.Plain24()) && (!o || o == src);
        if (!fast) {
            if (destRow) copyRowsBefore(y + 1);
            const RowPainter painter{target_, paintOnEqual_, o ? &orig_->Image() : nullptr, edit_->Image(),
                                     destRow ? &dest_ : nullptr, storedBack_};
            return painter.paintAny(o, e, d, count, dest_.Width);
        }
        const std::uint32_t target = GetBValue(target_) | GetGValue(target_) << 8 | GetRValue(target_) << 16;
        const bool plain = (target_ & 0xFF000000) == 0;
        if (destRow) copied_ = y + 1;
        return o ? fusedRow24<true>(src, e, d, count, dest_.Width, stride_, storedBack_, target, plain, paintOnEqual_)
                 : fusedRow24<false>(src, e, d, count, dest_.Width, stride_, storedBack_, target, plain, paintOnEqual_);
    }
};

// Mode 3 over a mask that says how it was painted (the wand's) paints just
// the mask's region when the target is the region's colour and not the
// rest's, and every picture and extent has one size: the finished copy is
// then the original with that region in the background, and its store is
// told so.
void notePaintedRegion(const TConvSettings& settings, const TImage& extent, const TBitmap* edit, TBitmap& finished,
                       const TBitmapImage& source) {
    const TPaintedBits* mask = edit ? edit->Image().Painted.get() : nullptr;
    if (!mask || mask->HasBase || !mask->Bits || (settings.TargetColor & 0xFF000000) != 0 ||
        mask->Colour != PackedBgr(settings.TargetColor) || mask->Colour == mask->BaseColour)
        return;
    const TBitmapImage& m = edit->Image();
    TBitmapImage& f = finished.MutableImage();
    for (const TBitmapImage* s : {&m, &source, static_cast<const TBitmapImage*>(&f)})
        if (!s->Plain24() || !s->HasPixels() || s->Width != source.Width || s->Height() != source.Height()) return;
    if (extent.Width() != source.Width || extent.Height() != source.Height() || f.StoredHeight != source.StoredHeight)
        return;
    auto note = std::make_shared<TPaintedBits>(*mask);
    note->Colour = PackedBgr(settings.BackColor);
    note->HasBase = true;
    note->Base = source.PixelsToken();
    f.Painted = std::move(note);
}

} // namespace

void TWorkspace::KeepMatch() { runPixelRule(KeepMatchMode, {}); }
void TWorkspace::EraseMatch() { runPixelRule(EraseMatchMode, {}); }
void TWorkspace::KeepColorMatch() { runPixelRule(KeepColorMode, {}); }
void TWorkspace::EraseColorMatch() { runPixelRule(EraseColorMode, {}); }

void TWorkspace::runPixelRule(int mode, PixelBlock spare, std::int64_t paintLeft, std::int64_t paintRight) {
    WorkBmpGuard guard{*this};
    lastCaption_.clear();
    PixelBlock recycled = finishedFromOriginal();
    if (recycled.empty()) recycled = std::move(spare);
    // Frees a block that was not taken; a moved-from block is empty already.
    spare.reset(); // NOLINT(bugprone-use-after-move)

    const std::int64_t width = Original.Image1.Width(), height = Original.Image1.Height();
    // No rows: nothing to do. No columns: no position to visit, and no
    // percentage either (the total would be 0).
    if (height <= 0 || width <= 0) return;

    TBitmap& finished = Finished.Image1.Picture().AsBitmap();
    const TBitmap& source = Original.Image1.Picture().AsBitmap();
    const bool copying = source.Image().HasPixels();
    if (copying)
        installPrivateCopy(finished, source.Image(), std::move(recycled));
    else
        recycled.reset();

    const TPixelTrail::Store originalBefore = trailStore(Original), editingBefore = trailStore(Editing);
    PixelRuleRun run(static_cast<Mode>(mode), Settings, Original.WorkBmp, Editing.WorkBmp, source, finished,
                     copying);
    // Preparing the compared pictures for reading copies a shared store
    // without changing a pixel; the finished copy differs only where selected.
    auto note = [&] {
        noteSamePixels(originalBefore, Original.WorkBmp);
        noteSamePixels(editingBefore, Editing.WorkBmp);
        if (Trail && copying) Trail->PaintedRows.push_back(run.PaintedRows(source));
    };
    try {
        for (std::int64_t y = 0; y < height; ++y) {
            run.PaintRow(static_cast<int>(y), width);
            // ((y + 1) * W * 100) div (W * H) is ((y + 1) * 100) div H: no overflow.
            setCaption(TitleText + std::to_string((y + 1) * 100 / height) + "%");
        }
    } catch (...) {
        run.Finish();
        note();
        throw;
    }
    run.Finish();
    note();
    if (mode == EraseColorMode && copying) notePaintedRegion(Settings, Original.Image1, Editing.WorkBmp, finished, source.Image());
    // A zoomed-out view of the original has reduced copies; the finished copy
    // differs from it only where painted, so only that area of them is made again.
    if (const auto& reduced = source.Image().Reduced; reduced && copying) {
        int first = 0, last = -1;
        run.SelectedRows(first, last);
        finished.MutableImage().Reduced = reduced->DeriveFor(finished.Image(), paintLeft, first, paintRight, last + 1);
    }
}

} // namespace vem
