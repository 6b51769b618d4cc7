#include "core/formats/ByteFields.h"

#include <new>

#include "core/base/Errors.h"
#include "core/formats/Stream.h"
#include "core/pixels/BitmapImage.h"

namespace vem {

std::vector<std::uint8_t> ReadRemaining(TStream& stream) {
    const std::uint64_t size = stream.Remaining();
    // These files are a few kilobytes; the bitmap's block limit is a generous bound.
    if (size > MaxBlockBytes) RaiseTooLarge();
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(size));
        // The catch's other outcome, an exception of another type, would take
        // a size past max_size(), which the bound above excludes.
    } catch (const std::bad_alloc&) { // LCOV_EXCL_BR_LINE
        RaiseOutOfMemory();
    }
    if (size > 0) stream.ReadBuffer(bytes.data(), bytes.size());
    return bytes;
}

} // namespace vem
