// The readers when memory runs out: an allocation the size of the file fails,
// and the load must end in EOutOfMemory "メモリが足りません" with the graphic
// unchanged. This executable replaces the global operator new so that large
// allocations can be made to fail; the other tests keep the real one.
#include <cstdlib>
#include <functional>
#include <new>

#include <gtest/gtest.h>

#include "core/base/Errors.h"
#include "core/formats/Icon.h"
#include "core/formats/Metafile.h"
#include "core/formats/Stream.h"
#include "core/pixels/Bitmap.h"
#include "support/BmpBuilder.h"

namespace {
// Allocations above this many bytes throw std::bad_alloc.
std::size_t failAbove = static_cast<std::size_t>(-1);
std::size_t ownAllocations = 0;
} // namespace

void* operator new(std::size_t size) {
    ++ownAllocations;
    if (size > failAbove) throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

using namespace vem;
using namespace vem::test;

namespace {

struct LowMemory {
    explicit LowMemory(std::size_t limit) { failAbove = limit; }
    ~LowMemory() { failAbove = static_cast<std::size_t>(-1); }
    LowMemory(const LowMemory&) = delete;
    LowMemory& operator=(const LowMemory&) = delete;
};

Bytes padded(Bytes b, std::size_t size) {
    b.resize(size, 0);
    return b;
}

struct Kind {
    const char* name;
    std::function<std::unique_ptr<TGraphic>()> make;
    Bytes file; // a valid file of more than 256 bytes
};

class OutOfMemory : public ::testing::TestWithParam<Kind> {};

// A memory checker such as valgrind puts its own operator new in place of ours.
bool ownOperatorNew() {
    const std::size_t before = ownAllocations;
    int* volatile probe = new int(0); // volatile: the pair may not be left out
    delete probe;
    return ownAllocations != before;
}

TEST_P(OutOfMemory, WhileKeepingTheFileRaisesOutOfMemoryAndKeepsTheGraphic) {
    if (!ownOperatorNew()) GTEST_SKIP() << "operator new is replaced by a memory checker";
    const Kind& k = GetParam();
    std::unique_ptr<TGraphic> graphic = k.make();
    {
        TMemoryStream in(k.file);
        graphic->LoadFromStream(in); // it loads with memory enough
    }
    const int width = graphic->Width();
    std::unique_ptr<TGraphic> fresh = k.make();
    TMemoryStream in(k.file);
    try {
        const LowMemory low(k.file.size() - 1);
        fresh->LoadFromStream(in);
        FAIL() << "loaded";
    } catch (const EOutOfMemory& e) {
        EXPECT_EQ(e.Message, "メモリが足りません");
    }
    EXPECT_TRUE(fresh->Empty());
    EXPECT_GT(width, 0);
}

Bytes iconFile() {
    // One 2 x 2 image at 4 bits: header, 16 colours, colour and mask rows.
    Bytes b = {0, 0, 1, 0, 1, 0, 2, 2, 0, 0, 1, 0, 4, 0, 120, 0, 0, 0, 22, 0, 0, 0};
    Bytes image(120, 0);
    image[0] = 40, image[4] = 2, image[8] = 4, image[12] = 1, image[14] = 4;
    b.insert(b.end(), image.begin(), image.end());
    return padded(b, 300); // trailing bytes after the image are allowed
}

Bytes emfFile() {
    Bytes b(88, 0);
    b[0] = 1, b[4] = 88, b[32] = 0xFE, b[36] = 0xFE; // frame 254 x 254: 0.1 inch
    b[40] = ' ', b[41] = 'E', b[42] = 'M', b[43] = 'F';
    const Bytes end = {14, 0, 0, 0, 20, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0, 20, 0, 0, 0};
    b.insert(b.end(), end.begin(), end.end());
    return padded(b, 300);
}

Bytes runLengthFile() {
    return BmpBuilder(4, 2, 8).Compression(1).ClrUsed(2).Table({{0, 0, 0}, {255, 255, 255}})
        .Pixels(padded({4, 1, 0, 0, 4, 0, 0, 1}, 300))
        .Build();
}

INSTANTIATE_TEST_SUITE_P(
    Readers, OutOfMemory,
    ::testing::Values(Kind{"Icon", [] { return std::make_unique<TIcon>(); }, iconFile()},
                      Kind{"Metafile", [] { return std::make_unique<TMetafile>(); }, emfFile()},
                      Kind{"RunLengthBitmap", [] { return std::make_unique<TBitmap>(); }, runLengthFile()}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
