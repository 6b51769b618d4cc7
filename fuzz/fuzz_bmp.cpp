// Bytes -> TBitmap. Whatever loads must save, and the saved file must load
// back to the same picture, pixel for pixel.
#include <cstdint>
#include <cstdlib>
#include <cstdio>

#include "core/base/Errors.h"
#include "core/formats/Stream.h"
#include "core/pixels/Bitmap.h"

namespace {

// Saving writes the whole block; above this the round trip would spend the
// fuzzer's time and memory copying zeros that no input byte decided.
constexpr std::uint64_t MaxRoundTripBytes = std::uint64_t(4) << 20;
// Past this many pixels only every Step-th row and column is compared.
constexpr std::uint64_t FullCompareLimit = std::uint64_t(1) << 14;

[[noreturn]] void fail(const char* what, int x = -1, int y = -1) {
    std::fprintf(stderr, "fuzz_bmp: %s (x %d, y %d)\n", what, x, y);
    std::abort();
}

// Saves Source, loads the bytes back and compares every pixel (every Step-th
// row and column of a large picture) with Reference.
void compareReloaded(vem::TBitmap& source, const vem::TBitmap& reference) {
    vem::TVectorWriteStream out;
    source.SaveToStream(out);
    vem::TBitmap second;
    vem::TMemoryStream in(out.Bytes);
    try {
        second.LoadFromStream(in);
    } catch (const vem::Exception& e) {
        std::fprintf(stderr, "%s: %s\n", e.ClassName(), e.Message.c_str());
        fail("a saved picture does not load");
    }
    if (second.Width() != reference.Width() || second.Height() != reference.Height()) fail("size changed");
    const std::uint64_t pixels = std::uint64_t(reference.Width()) * std::uint64_t(reference.Height());
    const int step = pixels <= FullCompareLimit ? 1 : 7;
    for (int y = 0; y < reference.Height(); y += step)
        for (int x = 0; x < reference.Width(); x += step)
            if (reference.PixelColor(x, y) != second.PixelColor(x, y)) fail("pixel changed", x, y);
}

void roundTrip(vem::TBitmap& first) {
    const vem::TBitmapImage& im = first.Image();
    if (!im.HasPixels()) return;
    if (im.SavedFile.empty() && im.Pixels.size() > MaxRoundTripBytes) return;
    compareReloaded(first, first);
    // A run-length picture is saved as the file it came from until its first
    // change; once changed it goes out through the device-format writer.
    if (!im.SavedFile.empty() && im.Pixels.size() <= MaxRoundTripBytes) {
        vem::TBitmap changed;
        changed.AssignFrom(&first);
        changed.PrepareChange();
        compareReloaded(changed, first);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vem::TBitmap bitmap;
    vem::TMemoryStream stream(data, size);
    try {
        bitmap.LoadFromStream(stream);
    } catch (const vem::Exception&) {
        return 0; // refused with one of the program's own messages
    }
    roundTrip(bitmap);
    return 0;
}
