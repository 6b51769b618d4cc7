#include "PixelBlock.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "Errors.h"

namespace vem {

PixelBlock::~PixelBlock() { std::free(data_); }

PixelBlock::PixelBlock(PixelBlock&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

PixelBlock& PixelBlock::operator=(PixelBlock&& other) noexcept {
    if (this != &other) {
        std::free(data_);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

PixelBlock PixelBlock::Zeroed(std::size_t size) {
    PixelBlock b;
    if (size == 0) return b;
    b.data_ = static_cast<std::uint8_t*>(std::calloc(size, 1));
    if (!b.data_) RaiseOutOfMemory();
    b.size_ = size;
    return b;
}

PixelBlock PixelBlock::Uninitialized(std::size_t size) {
    PixelBlock b;
    if (size == 0) return b;
    b.data_ = static_cast<std::uint8_t*>(std::malloc(size));
    if (!b.data_) RaiseOutOfMemory();
    b.size_ = size;
    return b;
}

PixelBlock PixelBlock::Clone() const {
    PixelBlock b = Uninitialized(size_);
    if (size_) std::memcpy(b.data_, data_, size_);
    return b;
}

void PixelBlock::reset() {
    std::free(data_);
    data_ = nullptr;
    size_ = 0;
}

} // namespace vem
