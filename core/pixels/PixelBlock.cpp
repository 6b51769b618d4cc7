#include "core/pixels/PixelBlock.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include <sys/mman.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define VEM_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define VEM_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define VEM_POISON(p, n) ((void)(p), (void)(n))
#define VEM_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

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

// The erase loop frees and allocates blocks of a picture's size at every
// click (the old finished picture, the old mask, the grower's bits). Fresh
// blocks cost a page fault per page and the kernel's clearing of each page,
// more than the click's own work on a big picture, so freed large blocks
// wait here for the next request of the same size. The spares are few and
// the first failed allocation gives them back.
class SparePool {
public:
    static constexpr std::size_t MinSize = std::size_t{1} << 20;
    static constexpr std::size_t MaxSpares = 6;

    std::uint8_t* Take(std::size_t size) {
        if (size < MinSize) return nullptr;
        const std::lock_guard lock(mutex_);
        for (auto it = spares_.rbegin(); it != spares_.rend(); ++it) {
            if (it->size != size) continue;
            std::uint8_t* data = it->data;
            spares_.erase(std::next(it).base());
            VEM_UNPOISON(data, size);
            return data;
        }
        return nullptr;
    }

    // False when the block is not kept (the caller frees it).
    bool Give(std::uint8_t* data, std::size_t size) {
        if (size < MinSize) return false;
        const std::lock_guard lock(mutex_);
        if (spares_.size() == MaxSpares) {
            std::free(spares_.front().data);
            spares_.erase(spares_.begin());
        }
        VEM_POISON(data, size);
        spares_.push_back({data, size});
        return true;
    }

    // Returns whether any spare was freed.
    bool Release() {
        const std::lock_guard lock(mutex_);
        const bool any = !spares_.empty();
        for (const Spare& s : spares_) {
            VEM_UNPOISON(s.data, s.size);
            std::free(s.data);
        }
        spares_.clear();
        return any;
    }

    std::size_t Count() {
        const std::lock_guard lock(mutex_);
        return spares_.size();
    }

private:
    struct Spare {
        std::uint8_t* data;
        std::size_t size;
    };
    std::mutex mutex_;
    std::vector<Spare> spares_;
};

// Never destroyed: blocks of other static objects may be freed after it
// would have been, at the program's exit.
SparePool& spares() {
    static auto* pool = new SparePool;
    return *pool;
}

// Allocates with Alloc, and once more after giving back the spares when
// memory runs out; raises EOutOfMemory when that fails too.
template <class Alloc> std::uint8_t* allocate(Alloc&& alloc) {
    auto* data = static_cast<std::uint8_t*>(alloc());
    if (!data && spares().Release()) data = static_cast<std::uint8_t*>(alloc());
    if (!data) RaiseOutOfMemory();
    return data;
}

void freeBlock(std::uint8_t* data, std::size_t size) {
    if (data && !spares().Give(data, size)) std::free(data);
}

} // namespace

PixelBlock::~PixelBlock() { freeBlock(data_, size_); }

PixelBlock::PixelBlock(PixelBlock&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

PixelBlock& PixelBlock::operator=(PixelBlock&& other) noexcept {
    if (this != &other) {
        freeBlock(data_, size_);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

PixelBlock PixelBlock::Zeroed(std::size_t size) {
    PixelBlock b;
    if (size == 0) return b;
    if ((b.data_ = spares().Take(size))) {
        std::memset(b.data_, 0, size);
    } else {
        b.data_ = allocate([size] { return std::calloc(size, 1); });
        preferHugePages(b.data_, size);
    }
    b.size_ = size;
    return b;
}

PixelBlock PixelBlock::Uninitialized(std::size_t size) {
    PixelBlock b;
    if (size == 0) return b;
    if (!(b.data_ = spares().Take(size))) {
        b.data_ = allocate([size] { return std::malloc(size); });
        preferHugePages(b.data_, size);
    }
    b.size_ = size;
    return b;
}

PixelBlock PixelBlock::Clone() const {
    PixelBlock b = Uninitialized(size_);
    if (size_) std::memcpy(b.data_, data_, size_);
    return b;
}

void PixelBlock::reset() {
    freeBlock(data_, size_);
    data_ = nullptr;
    size_ = 0;
}

} // namespace vem

namespace vem {

bool PixelBlock::ReleaseSpares() { return spares().Release(); }

std::size_t PixelBlock::SpareCount() { return spares().Count(); }

} // namespace vem
