// Whole small files held in memory, and the little-endian fields read from them.
#pragma once

#include <cstdint>
#include <vector>

namespace vem {

class TStream;

// Every byte from the stream's position to its end, for the kinds that keep
// their file whole (icons, metafiles). A stream longer than MaxBlockBytes, or a
// failed allocation, raises EOutOfMemory before anything is read.
std::vector<std::uint8_t> ReadRemaining(TStream& stream);

// Little-endian fields at P; the caller has checked that they lie inside its buffer.
inline std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
inline std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Fields at byte offset At of B; the caller has checked that they lie inside B.
inline std::uint32_t le16(const std::vector<std::uint8_t>& b, std::uint64_t at) { return le16(&b[at]); }
inline std::uint32_t le32(const std::vector<std::uint8_t>& b, std::uint64_t at) { return le32(&b[at]); }

} // namespace vem
