// The bytes of a pixel store that one change touched, kept so that the
// change can be taken back and made again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/pixels/BitmapImage.h"

namespace vem {

// Blocks are compared, and their differing parts kept, in pieces of this many
// bytes: small enough that a compact region costs little more than its own
// pixels, large enough that the list of pieces stays short.
inline constexpr std::size_t PatchPiece = 256;

// Where two blocks may differ: bytes From .. To-1 of each of Count rows of
// Stride bytes, the first of them row First.
struct TByteArea {
    std::uint64_t First = 0, Count = 0, Stride = 0, From = 0, To = 0;
    static TByteArea Block(std::uint64_t size) { return {0, size > 0 ? 1u : 0u, size, 0, size}; }
};

// True when A and B differ at most in what preparing a change resets
// (colours used and important, the saved run-length file).
bool DiffersOnlyByPreparation(const TBitmapImage& a, const TBitmapImage& b);

class TStorePatch {
public:
    // Before's header and the pieces of Before's block, among those meeting
    // Area, that differ from After's block of the same size. Null when they
    // would fill more than half the block: the whole store costs as much and
    // is put back faster. May raise EOutOfMemory.
    static std::unique_ptr<TStorePatch> Make(const TBitmapImage& before, const TBitmapImage& after,
                                             const TByteArea& area);

    // Exchanges the kept header and pieces with Store's, whose block has the
    // size this patch was made for; drops Store's converted and reduced copies.
    void Exchange(TBitmapImage& store) noexcept;

    std::uint64_t BlockSize() const { return blockSize_; }
    // The memory the patch holds.
    std::uint64_t Bytes() const;
    // No piece differs, and the header differs from Store's at most in what
    // preparing a change resets.
    bool OnlyPreparation(const TBitmapImage& store) const;

private:
    struct Run {
        std::uint64_t offset, length;
    };
    std::shared_ptr<TBitmapImage> header_;
    std::vector<Run> runs_;
    PixelBlock bytes_;
    std::uint64_t blockSize_ = 0;
};

} // namespace vem
