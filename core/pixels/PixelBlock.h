// An owned, possibly uninitialised heap block for pixel data.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vem {

// std::vector would zero every byte on allocation; pixel blocks of a gigabyte
// are filled by a reader or a copy anyway, so they are allocated raw. Zeroed()
// uses calloc, whose large blocks come straight from the kernel already zero.
// Every failed allocation raises EOutOfMemory.
// Large blocks are not freed at once: a few wait as spares for the next
// request of the same size, which then costs no fresh memory.
class PixelBlock {
public:
    PixelBlock() = default;
    ~PixelBlock();
    PixelBlock(PixelBlock&& other) noexcept;
    PixelBlock& operator=(PixelBlock&& other) noexcept;
    PixelBlock(const PixelBlock&) = delete;
    PixelBlock& operator=(const PixelBlock&) = delete;

    static PixelBlock Zeroed(std::size_t size);
    static PixelBlock Uninitialized(std::size_t size);
    PixelBlock Clone() const;

    std::uint8_t* data() { return data_; }
    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    void reset();

    // Frees every spare block; returns whether there was any.
    static bool ReleaseSpares();
    static std::size_t SpareCount();

private:
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace vem
