#include "core/pixels/PixelBlock.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include <sys/mman.h>

#include "core/base/Errors.h"

namespace vem {

namespace {

// A picture's first pass writes every page of its fresh block, and each
// 4 KiB page is a fault of its own: 49,000 of them for a 64-megapixel
// picture, which on a virtual machine cost more than the pass itself. Large
// blocks ask for 2 MiB pages, so the same pass takes a few hundred faults.
constexpr std::size_t kHugePage = std::size_t{2} << 20;

void preferHugePages(void* block, std::size_t size) {
    if (size < 2 * kHugePage) return;
    const auto begin = (reinterpret_cast<std::uintptr_t>(block) + kHugePage - 1) & ~(kHugePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(block) + size) & ~(kHugePage - 1);
    // Only advice: where the kernel has no large pages the block works the
    // same with small ones, so a refusal changes nothing.
    if (end > begin) (void)madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

} // namespace

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
    preferHugePages(b.data_, size);
    b.size_ = size;
    return b;
}

PixelBlock PixelBlock::Uninitialized(std::size_t size) {
    PixelBlock b;
    if (size == 0) return b;
    b.data_ = static_cast<std::uint8_t*>(std::malloc(size));
    if (!b.data_) RaiseOutOfMemory();
    preferHugePages(b.data_, size);
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
