#include "core/workspace/StorePatch.h"

#include <algorithm>
#include <cstring>

namespace vem {

namespace {

// Exchanges N bytes at A and B through a small buffer.
void swapBytes(std::uint8_t* a, std::uint8_t* b, std::uint64_t n) {
    std::uint8_t buffer[4096];
    while (n > 0) {
        const std::size_t k = static_cast<std::size_t>(std::min<std::uint64_t>(n, sizeof buffer));
        std::memcpy(buffer, a, k);
        std::memcpy(a, b, k);
        std::memcpy(b, buffer, k);
        a += k;
        b += k;
        n -= k;
    }
}

} // namespace

bool DiffersOnlyByPreparation(const TBitmapImage& a, const TBitmapImage& b) {
    return a.Width == b.Width && a.StoredHeight == b.StoredHeight && a.BitCount == b.BitCount &&
           a.Compression == b.Compression && a.Masks == b.Masks && a.Device == b.Device &&
           a.ColorTable == b.ColorTable && a.XPelsPerMeter == b.XPelsPerMeter &&
           a.YPelsPerMeter == b.YPelsPerMeter && a.CoreHeader == b.CoreHeader;
}

std::unique_ptr<TStorePatch> TStorePatch::Make(const TBitmapImage& before, const TBitmapImage& after,
                                               const TByteArea& area) {
    const std::uint64_t size = before.Pixels.size();
    if (after.Pixels.size() != size) return nullptr;
    auto patch = std::make_unique<TStorePatch>();
    patch->blockSize_ = size;
    const std::uint8_t* was = before.Pixels.data();
    const std::uint8_t* now = after.Pixels.data();
    std::uint64_t kept = 0;
    std::uint64_t next = 0; // pieces before this one are compared already
    for (std::uint64_t r = area.First; r < area.First + area.Count; ++r) {
        const std::uint64_t end = std::min(r * area.Stride + area.To, size);
        for (std::uint64_t at = std::max(next, (r * area.Stride + area.From) / PatchPiece * PatchPiece); at < end;
             at += PatchPiece) {
            const std::uint64_t n = std::min<std::uint64_t>(PatchPiece, size - at);
            next = at + n;
            if (std::memcmp(was + at, now + at, static_cast<std::size_t>(n)) == 0) continue;
            if (!patch->runs_.empty() && patch->runs_.back().offset + patch->runs_.back().length == at)
                patch->runs_.back().length += n;
            else
                patch->runs_.push_back({at, n});
            kept += n;
            if (kept > size / 2) return nullptr;
        }
    }
    patch->bytes_ = PixelBlock::Uninitialized(static_cast<std::size_t>(kept));
    std::uint8_t* out = patch->bytes_.data();
    for (const Run& r : patch->runs_) {
        std::memcpy(out, was + r.offset, static_cast<std::size_t>(r.length));
        out += r.length;
    }
    patch->header_ = before.HeaderCopy();
    return patch;
}

void TStorePatch::Exchange(TBitmapImage& store) noexcept {
    store.SwapHeader(*header_);
    store.Converted.reset();
    store.PixelsChanging();
    std::uint8_t* kept = bytes_.data();
    for (const Run& r : runs_) {
        swapBytes(store.Pixels.data() + r.offset, kept, r.length);
        kept += r.length;
    }
}

std::uint64_t TStorePatch::Bytes() const {
    return sizeof(TStorePatch) + sizeof(TBitmapImage) + bytes_.size() + runs_.capacity() * sizeof(Run) +
           header_->ColorTable.size() * sizeof(TRGBQuad) + header_->SavedFile.size();
}

bool TStorePatch::OnlyPreparation(const TBitmapImage& store) const {
    return runs_.empty() && DiffersOnlyByPreparation(*header_, store);
}

} // namespace vem
