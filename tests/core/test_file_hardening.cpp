// The file layer under hostile or unusual input: faults found by review, and
// the reader and writer paths the other tests leave untouched.
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/base/Errors.h"
#include "core/formats/Icon.h"
#include "core/formats/Metafile.h"
#include "core/formats/Stream.h"
#include "core/pixels/Bitmap.h"
#include "support/BmpBuilder.h"

using namespace vem;
using namespace vem::test;
namespace fs = std::filesystem;

namespace {

// A core-header picture widened or heightened past 65535 pixels was written
// with its sides cut to 16 bits, so the saved file described another picture
// than its rows. It is written with the info header instead.
struct WideCore {
    const char* name;
    int width, height;
};

class WideCoreBitmap : public ::testing::TestWithParam<WideCore> {};

TEST_P(WideCoreBitmap, IsWrittenWithTheInfoHeaderAndReloadsUnchanged) {
    const int w = GetParam().width, h = GetParam().height;
    TBitmap bmp;
    LoadBmp(bmp, BmpBuilder(1, 1, 1).Core().Table({{0, 0, 0}, {255, 255, 255}}).Row({0x80}).Build());
    ASSERT_TRUE(bmp.Image().CoreHeader);
    bmp.SetWidth(w);
    bmp.SetHeight(h);
    bmp.Surface().SetPixelColor(w - 1, h - 1, clBlack);

    const Bytes out = SaveBmp(bmp);
    EXPECT_EQ(U32(out, 14), 40u);
    EXPECT_EQ(I32(out, 18), w);
    EXPECT_EQ(I32(out, 22), h);
    TBitmap again;
    LoadBmp(again, out);
    ASSERT_EQ(again.Width(), w);
    ASSERT_EQ(again.Height(), h);
    EXPECT_EQ(again.PixelColor(0, 0), clWhite);
    EXPECT_EQ(again.PixelColor(w - 1, h - 1), clBlack);
    EXPECT_EQ(again.PixelColor(w - 2, h - 1), bmp.PixelColor(w - 2, h - 1));
}

INSTANTIATE_TEST_SUITE_P(Sides, WideCoreBitmap,
                         ::testing::Values(WideCore{"Wide", 65536 + 40, 2}, WideCore{"Tall", 3, 65536}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WideCoreBitmap, AtTheLimitKeepsTheCoreHeader) {
    TBitmap bmp;
    LoadBmp(bmp, BmpBuilder(1, 1, 1).Core().Table({{0, 0, 0}, {255, 255, 255}}).Row({0x80}).Build());
    bmp.SetWidth(65535);
    const Bytes out = SaveBmp(bmp);
    EXPECT_EQ(U32(out, 14), 12u);
    EXPECT_EQ(U16(out, 18), 65535);
}


// A header of 41 to 51 bytes holds only the first of the masks that a
// longer header carries; the missing ones are 0.
TEST(BmpHeaderTail, AHeaderCutInsideTheMasksKeepsTheMasksItHas) {
    TBitmap bmp;
    LoadBmp(bmp, BmpBuilder(1, 1, 32)
                     .HeaderSize(44)
                     .HeaderTail({0x00, 0x00, 0xFF, 0x00})
                     .Compression(3)
                     .Row({0x11, 0x22, 0x33, 0x44})
                     .Build());
    EXPECT_EQ(bmp.Image().Masks, (std::array<std::uint32_t, 3>{0x00FF0000, 0, 0}));
    EXPECT_EQ(bmp.PixelColor(0, 0), RGB(0x33, 0, 0));
}

TEST(BmpRunLength, ZeroWidthLoadsWithoutPixels) {
    TBitmap bmp;
    LoadBmp(bmp, BmpBuilder(0, 2, 8).Compression(1).ClrUsed(1).Table({{1, 2, 3}}).Pixels({2, 0, 0, 1}).Build());
    EXPECT_EQ(bmp.Width(), 0);
    EXPECT_EQ(bmp.Height(), 2);
    EXPECT_FALSE(bmp.Image().HasPixels());
}

// A stream that claims more bytes than any file the reader keeps whole: the
// file header, a run-length info header, then zeros said to go on for 2 GiB.
class EndlessStream : public TStream {
public:
    explicit EndlessStream(Bytes head) : head_(std::move(head)) {}
    std::size_t Read(void* buffer, std::size_t count) override {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, Remaining()));
        auto* out = static_cast<std::uint8_t*>(buffer);
        for (std::size_t i = 0; i < n; ++i, ++pos_) out[i] = pos_ < head_.size() ? head_[pos_] : 0;
        return n;
    }
    std::uint64_t Remaining() const override { return head_.size() + (std::uint64_t(2) << 30) - pos_; }

private:
    Bytes head_;
    std::uint64_t pos_ = 0;
};

TEST(BmpRunLength, AFileTooLargeToKeepRaisesOutOfMemoryBeforeCopying) {
    Bytes head = BmpBuilder(4, 4, 8).Compression(1).ClrUsed(1).Build();
    head.resize(14 + 40);
    EndlessStream in(head);
    TBitmap bmp;
    try {
        bmp.LoadFromStream(in);
        FAIL() << "loaded";
    } catch (const EOutOfMemory& e) {
        EXPECT_EQ(e.Message, "メモリが足りません");
    }
    EXPECT_TRUE(bmp.Empty());
}

TEST(IconAndMetafile, AStreamLargerThanAnyIconOrMetafileRaisesOutOfMemoryUnread) {
    TIcon ico;
    EndlessStream iconIn(Bytes{0, 0, 1, 0});
    EXPECT_THROW(ico.LoadFromStream(iconIn), EOutOfMemory);
    EXPECT_EQ(iconIn.Remaining(), 4 + (std::uint64_t(2) << 30));
    TMetafile mf;
    EndlessStream metafileIn(Bytes{1, 0, 0, 0});
    EXPECT_THROW(mf.LoadFromStream(metafileIn), EOutOfMemory);
    EXPECT_TRUE(ico.Empty());
    EXPECT_TRUE(mf.Empty());
}

// --- Icons and metafiles: damage the other tests do not try --------------------

void put(Bytes& b, std::size_t at, std::uint32_t v, int size) {
    for (int i = 0; i < size; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}
void append(Bytes& b, std::uint32_t v, int size = 4) {
    b.resize(b.size() + static_cast<std::size_t>(size));
    put(b, b.size() - static_cast<std::size_t>(size), v, size);
}

// One image of the given bytes in an icon directory of one entry.
Bytes icon(const Bytes& image) {
    Bytes b;
    append(b, 0, 2);
    append(b, 1, 2);
    append(b, 1, 2);
    b.insert(b.end(), {16, 16, 0, 0, 1, 0, 32, 0});
    append(b, static_cast<std::uint32_t>(image.size()));
    append(b, 22);
    b.insert(b.end(), image.begin(), image.end());
    return b;
}

// A 2 x 2 DIB image: header (height counting both row sets), table, rows.
Bytes dib(std::int32_t width, std::int32_t height, std::uint16_t bits, std::uint32_t clrUsed, std::size_t tail) {
    Bytes b(40, 0);
    put(b, 0, 40, 4);
    put(b, 4, static_cast<std::uint32_t>(width), 4);
    put(b, 8, static_cast<std::uint32_t>(height), 4);
    put(b, 12, 1, 2);
    put(b, 14, bits, 2);
    put(b, 32, clrUsed, 4);
    b.resize(b.size() + tail, 0x33);
    return b;
}

Bytes png(std::uint32_t chunkLength, const char* chunk, std::size_t size) {
    Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    append(b, __builtin_bswap32(chunkLength));
    b.insert(b.end(), chunk, chunk + 4);
    b.resize(size, 0);
    return b;
}

struct IconCase {
    const char* name;
    Bytes file;
    bool valid;
};

class IconImages : public ::testing::TestWithParam<IconCase> {};

TEST_P(IconImages, AreCheckedBeforeTheIconIsTaken) {
    TIcon ico;
    TMemoryStream in(GetParam().file);
    if (GetParam().valid) {
        ico.LoadFromStream(in);
        EXPECT_EQ(ico.Width(), 16);
        return;
    }
    try {
        ico.LoadFromStream(in);
        FAIL() << "accepted";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "アイコンイメージが不正です");
    }
    EXPECT_TRUE(ico.Empty());
}

// 2 x 2 at 4 bits: 16 table entries, then 2 colour rows and 2 mask rows of 4 bytes.
constexpr std::size_t Dib4Tail = 64 + 8 + 8;

INSTANTIATE_TEST_SUITE_P(
    Damage, IconImages,
    ::testing::Values(IconCase{"Dib4", icon(dib(2, 4, 4, 0, Dib4Tail)), true},
                      IconCase{"DibOwnTableSize", icon(dib(2, 4, 4, 2, 8 + 16)), true},
                      IconCase{"DibTableLargerThanImage", icon(dib(2, 4, 4, 1000, Dib4Tail)), false},
                      IconCase{"DibRowsCut", icon(dib(2, 4, 4, 0, Dib4Tail - 1)), false},
                      IconCase{"DibShorterThanHeader", icon(Bytes(39, 0)), false},
                      IconCase{"DibHeaderSize12", icon([] {
                                   Bytes b = dib(2, 4, 4, 0, Dib4Tail);
                                   b[0] = 12;
                                   return b;
                               }()),
                               false},
                      IconCase{"DibZeroWidth", icon(dib(0, 4, 4, 0, Dib4Tail)), false},
                      IconCase{"DibNegativeHeight", icon(dib(2, -4, 4, 0, Dib4Tail)), false},
                      IconCase{"DibBitCount2", icon(dib(2, 4, 2, 0, Dib4Tail)), false},
                      IconCase{"Dib32NoTable", icon(dib(2, 4, 32, 0, 16 + 8)), true},
                      IconCase{"Png", icon(png(13, "IHDR", 33)), true},
                      IconCase{"PngCut", icon(png(13, "IHDR", 32)), false},
                      IconCase{"PngFirstChunkNotHeader", icon(png(13, "IDAT", 33)), false},
                      IconCase{"PngHeaderLength", icon(png(12, "IHDR", 33)), false},
                      // Fewer than 8 bytes cannot be a PNG: checked, and refused, as a DIB.
                      IconCase{"SevenBytes", icon(Bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A}), false}),
    [](const auto& info) { return std::string(info.param.name); });

Bytes wmfHeader(std::uint16_t type, std::uint16_t words, std::uint16_t version) {
    Bytes b;
    append(b, type, 2);
    append(b, words, 2);
    append(b, version, 2);
    append(b, 0);
    append(b, 0, 2);
    append(b, 0);
    append(b, 0, 2);
    return b;
}

Bytes withRecords(Bytes b, std::initializer_list<std::pair<std::uint32_t, std::uint16_t>> records) {
    for (auto [words, function] : records) {
        append(b, words);
        append(b, function, 2);
        b.resize(b.size() + 2 * words - 6, 0);
    }
    return b;
}

Bytes emfFile(std::uint32_t headerBytes, std::uint32_t signature, std::uint32_t endBytes) {
    Bytes b(headerBytes < 88 ? 88 : headerBytes, 0);
    put(b, 0, 1, 4);
    put(b, 4, headerBytes, 4);
    put(b, 32, 254, 4); // frame right: 0.1 inch
    put(b, 36, 508, 4);
    put(b, 40, signature, 4);
    append(b, 14);
    append(b, endBytes);
    b.resize(b.size() + (endBytes > 8 ? endBytes - 8 : 0), 0);
    return b;
}

constexpr std::uint32_t EmfSignature = 0x464D4520;

struct MetafileCase {
    const char* name;
    Bytes file;
    int width, height; // -1: refused
};

class MetafileLayouts : public ::testing::TestWithParam<MetafileCase> {};

TEST_P(MetafileLayouts, AreMeasuredOrRefused) {
    TMetafile mf;
    TMemoryStream in(GetParam().file);
    if (GetParam().width >= 0) {
        mf.LoadFromStream(in);
        EXPECT_EQ(mf.Width(), GetParam().width);
        EXPECT_EQ(mf.Height(), GetParam().height);
        return;
    }
    try {
        mf.LoadFromStream(in);
        FAIL() << "accepted";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "メタファイルが不正です");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Damage, MetafileLayouts,
    ::testing::Values(
        MetafileCase{"DiskWmf", withRecords(wmfHeader(2, 9, 0x0100), {{3, 0}}), 0, 0},
        MetafileCase{"WmfHeaderSize8", withRecords(wmfHeader(1, 8, 0x0300), {{3, 0}}), -1, -1},
        MetafileCase{"WmfRecordOfTwoWords", withRecords(wmfHeader(1, 9, 0x0300), {{2, 0x0103}, {3, 0}}), -1, -1},
        MetafileCase{"WmfExtentRecordTooShort", withRecords(wmfHeader(1, 9, 0x0300), {{4, 0x020C}, {3, 0}}), -1, -1},
        MetafileCase{"PlaceableCut", Bytes{0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 0, 0, 0, 0}, -1, -1},
        MetafileCase{"EmfTenthOfAnInch", emfFile(88, EmfSignature, 20), 10, 19},
        MetafileCase{"EmfSignature", emfFile(88, 0x464D4521, 20), -1, -1},
        MetafileCase{"EmfHeaderRecordTooShort", emfFile(84, EmfSignature, 20), -1, -1},
        MetafileCase{"EmfRecordNotWholeWords", emfFile(88, EmfSignature, 22), -1, -1},
        MetafileCase{"EmfRecordShorterThanItsHead", emfFile(88, EmfSignature, 4), -1, -1},
        // Starts like an EMF header but is too short for one: read, and refused, as a WMF.
        MetafileCase{"ShortFileStartingWithOne", Bytes{1, 0, 0, 0, 0, 0, 0, 0, 0, 0}, -1, -1}),
    [](const auto& info) { return std::string(info.param.name); });

// Assigning between the kinds, and the operations that keep the bytes.
TEST(IconAndMetafile, AssignCopiesTheSameKindAndRefusesTheOthersByName) {
    const Bytes iconFile = icon(dib(2, 4, 4, 0, Dib4Tail)), emf = emfFile(88, EmfSignature, 20);
    TIcon ico;
    TMemoryStream in(iconFile);
    ico.LoadFromStream(in);
    TMetafile mf;
    TMemoryStream min(emf);
    mf.LoadFromStream(min);
    TBitmap bmp;

    const auto refusal = [](const std::function<void()>& assign) {
        try {
            assign();
        } catch (const EConvertError& e) {
            return e.Message;
        }
        return std::string("no error");
    };
    EXPECT_EQ(refusal([&] { ico.AssignFrom(&mf); }), "TMetafile を TIcon に代入できません");
    EXPECT_EQ(refusal([&] { ico.AssignFrom(static_cast<TGraphic*>(&bmp)); }), "TBitmap を TIcon に代入できません");
    EXPECT_EQ(refusal([&] { mf.AssignFrom(&ico); }), "TIcon を TMetafile に代入できません");
    EXPECT_EQ(refusal([&] { mf.AssignFrom(static_cast<TGraphic*>(&bmp)); }), "TBitmap を TMetafile に代入できません");

    int changes = 0;
    ico.OnChange = [&] { ++changes; };
    ico.AssignFrom(&ico);
    EXPECT_EQ(changes, 0) << "assigning an icon to itself changes nothing";
    EXPECT_EQ(ico.Width(), 16);
    ico.SetWidth(16);
    ico.SetHeight(16);
    EXPECT_THROW(ico.SetHeight(17), EInvalidGraphicOperation);
    TIcon copy;
    copy.AssignFrom(&ico);
    TVectorWriteStream a, b;
    ico.SaveToStream(a);
    copy.SaveToStream(b);
    EXPECT_EQ(a.Bytes, b.Bytes);
    copy.AssignFrom(nullptr);
    EXPECT_TRUE(copy.Empty());
    TVectorWriteStream none;
    copy.SaveToStream(none);
    EXPECT_TRUE(none.Bytes.empty());

    mf.AssignFrom(&mf);
    EXPECT_EQ(mf.Width(), 10);
    auto fresh = mf.NewEmpty();
    EXPECT_TRUE(fresh->Empty());
    EXPECT_STREQ(fresh->KindName(), "metafile");
}

// --- The file layer -----------------------------------------------------------

class FileLayer : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vem-file-layer-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        RestoreFileSystemCalls();
        fs::remove_all(dir);
    }
    std::string dir;
};

TEST_F(FileLayer, AFileThatShrinksWhileReadEndsWhereItEndsNow) {
    const std::string name = dir + "/shrinks.bmp";
    std::ofstream(name, std::ios::binary) << std::string(100, 'x');
    TFileReadStream in(name);
    ASSERT_EQ(in.Remaining(), 100u);
    ASSERT_EQ(::truncate(name.c_str(), 40), 0);
    std::uint8_t buffer[100];
    EXPECT_EQ(in.Read(buffer, sizeof buffer), 40u);
    EXPECT_EQ(in.Remaining(), 0u);
}

TEST_F(FileLayer, ADeviceReadsAsEmpty) {
    // Its size is unknown; /dev/zero would otherwise never end.
    TFileReadStream in("/dev/zero");
    EXPECT_EQ(in.Remaining(), 0u);
    TBitmap bmp;
    bmp.LoadFromStream(in);
    EXPECT_TRUE(bmp.Empty());
}

TEST_F(FileLayer, ATargetBelowAPlainFileCannotBeCreated) {
    const std::string file = dir + "/plain";
    std::ofstream(file) << "x";
    try {
        TSafeFileWriter w(file + "/x.bmp");
        FAIL() << "created";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message.rfind("ファイル \"" + file + "/x.bmp\". ", 0), 0u) << e.Message;
    }
}

// Interrupted writes are repeated; a writer is finished after its commit.
TEST_F(FileLayer, InterruptedWritesAreRepeatedAndACommittedWriterTakesNoMore) {
    static int interruptions;
    interruptions = 0;
    ActiveFileSystemCalls().write = [](int fd, const void* buffer, std::size_t count) -> long {
        if (interruptions++ < 2) {
            errno = EINTR;
            return -1;
        }
        return ::write(fd, buffer, count);
    };
    const std::string name = dir + "/out.bin";
    Bytes bytes((std::size_t(2) << 20) + 7);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
    TSafeFileWriter w(name);
    // A small write, then one that no longer fits the buffer but is smaller
    // than it, then the rest.
    w.Write(bytes.data(), 600000);
    w.Write(bytes.data() + 600000, 500000);
    w.Write(bytes.data() + 1100000, bytes.size() - 1100000);
    w.Commit();
    EXPECT_GE(interruptions, 3);
    EXPECT_EQ(ReadFileBytes(name), bytes);
    EXPECT_THROW(w.Write(bytes.data(), 1), EWriteError);
    EXPECT_THROW(w.Commit(), EWriteError);
}


TEST_F(FileLayer, InterruptedReadsAreRepeatedAndAFailedReadRaisesReadError) {
    const std::string name = dir + "/in.bin";
    std::ofstream(name, std::ios::binary) << std::string(100, 'r');
    static int calls;
    calls = 0;
    // Interrupted once, then at most 30 bytes a call, then an I/O error.
    ActiveFileSystemCalls().read = [](int fd, void* buffer, std::size_t count) -> long {
        if (++calls == 1) {
            errno = EINTR;
            return -1;
        }
        if (calls > 4) {
            errno = EIO;
            return -1;
        }
        return ::read(fd, buffer, std::min<std::size_t>(count, 30));
    };
    TFileReadStream in(name);
    std::uint8_t buffer[100] = {};
    in.ReadBuffer(buffer, 90);
    EXPECT_EQ(buffer[89], 'r');
    EXPECT_EQ(in.Remaining(), 10u);
    try {
        in.ReadBuffer(buffer, 10);
        FAIL() << "read";
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message, "ストリームからの読み込みエラー");
    }
}

TEST_F(FileLayer, AFailedPermissionChangeRaisesCreateErrorAndLeavesNothing) {
    const std::string name = dir + "/old.bmp";
    std::ofstream(name, std::ios::binary) << "old";
    ActiveFileSystemCalls().fchmod = [](int, unsigned) {
        errno = EPERM;
        return -1;
    };
    try {
        TSafeFileWriter w(name);
        FAIL() << "created";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message, "ファイル \"" + name + "\". Operation not permitted を作成できません");
    }
    EXPECT_EQ(ReadFileBytes(name), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(FileLayer, ANameWithoutFolderIsSavedInTheCurrentFolder) {
    struct Back {
        fs::path to = fs::current_path();
        ~Back() { fs::current_path(to); }
    };
    {
        const Back back;
        fs::current_path(dir);
        TSafeFileWriter w("plain.bin");
        w.Write("abc", 3);
        w.Commit();
    }
    EXPECT_EQ(ReadFileBytes(dir + "/plain.bin"), (Bytes{'a', 'b', 'c'}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

} // namespace
