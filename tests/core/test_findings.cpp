// Replays every input the fuzzers found trouble with (tests/data/findings/
// <target>/) and every fuzz seed (fuzz/corpus/<target>/): each must load or be
// refused with one of the program's own exceptions, and what loads must
// survive a save and a reload unchanged; a grower input must grow the region
// that its definition gives. The findings also have tests of their own below,
// stating what the fixed reader does with them.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/base/Errors.h"
#include "core/base/IntText.h"
#include "core/formats/Icon.h"
#include "core/formats/Metafile.h"
#include "core/formats/Stream.h"
#include "core/pixels/Bitmap.h"
#include "support/BmpBuilder.h"
#include "support/GrowerCheck.h"

using namespace vem;
using namespace vem::test;
namespace fs = std::filesystem;

namespace {

struct Input {
    std::string target; // fuzz_bmp, fuzz_icon, fuzz_wmf, fuzz_emf, fuzz_inttext, fuzz_grower
    std::string path;
};

std::vector<Input> inputsOf(const fs::path& root) {
    std::vector<Input> out;
    if (!fs::is_directory(root)) return out;
    for (const auto& dir : fs::directory_iterator(root)) {
        if (!dir.is_directory()) continue;
        for (const auto& file : fs::directory_iterator(dir.path()))
            if (file.is_regular_file() && file.path().extension() != ".md")
                out.push_back({dir.path().filename().string(), file.path().string()});
    }
    std::sort(out.begin(), out.end(), [](const Input& a, const Input& b) { return a.path < b.path; });
    return out;
}

const fs::path FindingsDir = fs::path(VEM_TEST_DATA_DIR) / "findings";
const fs::path SeedsDir = fs::path(VEM_TEST_DATA_DIR) / ".." / ".." / "fuzz" / "corpus";

std::vector<Input> allInputs() {
    std::vector<Input> all = inputsOf(FindingsDir);
    const std::vector<Input> seeds = inputsOf(SeedsDir);
    all.insert(all.end(), seeds.begin(), seeds.end());
    return all;
}

std::string caseName(const ::testing::TestParamInfo<Input>& info) {
    const fs::path p(info.param.path);
    std::string name = p.parent_path().parent_path().filename().string() + "_" + info.param.target + "_" +
                       p.filename().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

// The load, or the program's own refusal; any other exception escapes and
// fails the test.
template <typename G>
bool tryLoad(G& graphic, const Bytes& bytes) {
    TMemoryStream in(bytes);
    try {
        graphic.LoadFromStream(in);
        return true;
    } catch (const Exception&) {
        return false;
    }
}

template <typename G>
Bytes saved(G& graphic) {
    TVectorWriteStream out;
    graphic.SaveToStream(out);
    return out.Bytes;
}

void replayBitmap(const Bytes& bytes) {
    TBitmap first;
    if (!tryLoad(first, bytes) || !first.Image().HasPixels()) return;
    TBitmap second;
    LoadBmp(second, SaveBmp(first));
    ASSERT_EQ(second.Width(), first.Width());
    ASSERT_EQ(second.Height(), first.Height());
    for (int y = 0; y < first.Height(); ++y)
        for (int x = 0; x < first.Width(); ++x)
            ASSERT_EQ(second.PixelColor(x, y), first.PixelColor(x, y)) << "pixel " << x << ", " << y;
}

template <typename G>
void replayKeptBytes(const Bytes& bytes) {
    G first;
    if (!tryLoad(first, bytes)) return;
    EXPECT_EQ(saved(first), bytes);
    G second;
    ASSERT_TRUE(tryLoad(second, saved(first)));
    EXPECT_EQ(second.Width(), first.Width());
    EXPECT_EQ(second.Height(), first.Height());
}

class FuzzInput : public ::testing::TestWithParam<Input> {};

TEST_P(FuzzInput, LoadsOrIsRefusedWithOurOwnMessage) {
    const Input& in = GetParam();
    const Bytes bytes = ReadFileBytes(in.path);
    if (in.target == "fuzz_bmp") {
        replayBitmap(bytes);
    } else if (in.target == "fuzz_icon") {
        replayKeptBytes<TIcon>(bytes);
    } else if (in.target == "fuzz_wmf" || in.target == "fuzz_emf") {
        replayKeptBytes<TMetafile>(bytes);
    } else if (in.target == "fuzz_grower") {
        EXPECT_EQ(CheckGrower(bytes.data(), bytes.size()), "");
    } else if (in.target == "fuzz_inttext") {
        const std::string text(bytes.begin(), bytes.end());
        std::int32_t value = 0;
        if (TryStrToInt(text, value))
            EXPECT_EQ(StrToInt(text), value);
        else
            EXPECT_THROW(StrToInt(text), EConvertError);
    } else {
        FAIL() << "no fuzz target named " << in.target;
    }
}

INSTANTIATE_TEST_SUITE_P(Kept, FuzzInput, ::testing::ValuesIn(allInputs()), caseName);

TEST(FuzzInputs, EveryTargetHasSeedsAndTheFindingsAreThere) {
    const std::vector<Input> seeds = inputsOf(SeedsDir);
    for (const char* target : {"fuzz_bmp", "fuzz_icon", "fuzz_wmf", "fuzz_emf", "fuzz_inttext", "fuzz_grower"})
        EXPECT_TRUE(std::any_of(seeds.begin(), seeds.end(), [&](const Input& i) { return i.target == target; }))
            << target;
    EXPECT_FALSE(inputsOf(FindingsDir).empty());
}

// --- The findings, one by one ------------------------------------------------

// Bit-field files whose three masks are all zero. Read as zeros they showed
// every pixel black, but were written back with the default masks and so
// turned into colours: they are read as the defaults now.
struct ZeroMasks {
    const char* name;
    std::uint16_t bits;
    Bytes file;
    TColor first; // colour of pixel (0, 0) under the default masks
};

class ZeroMasksFinding : public ::testing::TestWithParam<ZeroMasks> {};

TEST_P(ZeroMasksFinding, ReadAsTheDefaultMasksAndSavedUnchanged) {
    const ZeroMasks& c = GetParam();
    TBitmap bmp;
    LoadBmp(bmp, c.file);
    EXPECT_EQ(bmp.PixelColor(0, 0), c.first);
    const Bytes out = SaveBmp(bmp);
    ASSERT_GE(out.size(), 66u);
    EXPECT_EQ(U32(out, 30), 3u);
    TBitmap again;
    LoadBmp(again, out);
    EXPECT_EQ(again.PixelColor(0, 0), c.first);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ZeroMasksFinding,
    ::testing::Values(
        ZeroMasks{"Info32", 32, BmpBuilder(1, 1, 32).Compression(3).Masks(0, 0, 0).Row({0x10, 0x20, 0x30, 0}).Build(),
                  RGB(0x30, 0x20, 0x10)},
        // 0xFFFF in 5-6-5: every channel full.
        ZeroMasks{"Info16", 16, BmpBuilder(1, 1, 16).Compression(3).Masks(0, 0, 0).Row({0xFF, 0xFF}).Build(),
                  RGB(255, 255, 255)},
        // A 108-byte header carrying the (zero) masks in its own bytes.
        ZeroMasks{"LongHeader32", 32,
                  BmpBuilder(1, 1, 32).HeaderSize(108).Compression(3).Row({0x01, 0x02, 0x03, 0}).Build(),
                  RGB(3, 2, 1)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ZeroMasksFinding, TheKeptFileLoadsWithTheDefaultMasks) {
    TBitmap bmp;
    LoadBmp(bmp, ReadFileBytes((FindingsDir / "fuzz_bmp" / "zero-masks-v4-header.bmp").string()));
    EXPECT_EQ(bmp.Image().Masks, (std::array<std::uint32_t, 3>{0x00FF0000, 0x0000FF00, 0x000000FF}));
}

} // namespace
