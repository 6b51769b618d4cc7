#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/base/Errors.h"
#include "core/formats/Icon.h"
#include "core/formats/Metafile.h"
#include "core/formats/Stream.h"
#include "core/pixels/Bitmap.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void put(Bytes& b, std::size_t at, std::uint32_t v, int size = 4) {
    for (int i = 0; i < size; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void append(Bytes& b, std::uint32_t v, int size = 4) {
    b.resize(b.size() + size);
    put(b, b.size() - size, v, size);
}
void put16(Bytes& b, std::size_t at, std::uint32_t v) { put(b, at, v, 2); }
void put32(Bytes& b, std::size_t at, std::uint32_t v) { put(b, at, v); }

// --- Icons ------------------------------------------------------------------

// One DIB image of W x H pixels at Bits per pixel: header, table, colour rows
// and the 1-bit transparency rows.
Bytes dibImage(int w, int h, int bits) {
    Bytes b(40, 0);
    put32(b, 0, 40);
    put32(b, 4, static_cast<std::uint32_t>(w));
    put32(b, 8, static_cast<std::uint32_t>(2 * h));
    put16(b, 12, 1);
    put16(b, 14, static_cast<std::uint32_t>(bits));
    const std::size_t colours = bits <= 8 ? (1u << bits) : 0;
    const std::size_t size = 40 + 4 * colours + vem::RowStride(w, bits) * h + vem::RowStride(w, 1) * h;
    b.resize(size, 0x55);
    return b;
}

Bytes pngImage() {
    Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    b.resize(b.size() + 13 + 4, 0);
    return b;
}

struct IconEntry {
    std::uint8_t width, height;
    Bytes image;
};

Bytes iconFile(const std::vector<IconEntry>& entries, std::uint32_t type = 1) {
    Bytes b(6, 0);
    put16(b, 2, type);
    put16(b, 4, static_cast<std::uint32_t>(entries.size()));
    std::size_t offset = 6 + 16 * entries.size();
    for (const auto& e : entries) {
        b.insert(b.end(), {e.width, e.height, 0, 0, 1, 0, 32, 0});
        append(b, static_cast<std::uint32_t>(e.image.size()));
        append(b, static_cast<std::uint32_t>(offset));
        offset += e.image.size();
    }
    for (const auto& e : entries) b.insert(b.end(), e.image.begin(), e.image.end());
    return b;
}

Bytes plainIcon() { return iconFile({{32, 32, dibImage(32, 32, 4)}}); }

template <class G>
void load(G& graphic, const Bytes& bytes) {
    vem::TMemoryStream stream(bytes);
    graphic.LoadFromStream(stream);
}

template <class G>
Bytes save(G& graphic) {
    vem::TVectorWriteStream out;
    graphic.SaveToStream(out);
    return out.Bytes;
}

TEST(Icon, ValidFilesGiveTheFirstEntrysSizeAndSaveUnchanged) {
    struct Case {
        Bytes file;
        int width, height;
    };
    const Case cases[] = {
        {plainIcon(), 32, 32},
        {iconFile({{16, 24, dibImage(16, 24, 8)}}), 16, 24},
        {iconFile({{0, 0, pngImage()}}), 256, 256},
        {iconFile({{48, 48, dibImage(48, 48, 32)}, {16, 16, pngImage()}}), 48, 48},
        {iconFile({{1, 1, dibImage(1, 1, 1)}}, 0), 1, 1}, // type 0 is taken as an icon too
    };
    for (const auto& c : cases) {
        vem::TIcon icon;
        int changes = 0;
        icon.OnChange = [&] { ++changes; };
        load(icon, c.file);
        EXPECT_FALSE(icon.Empty());
        EXPECT_EQ(icon.Width(), c.width);
        EXPECT_EQ(icon.Height(), c.height);
        EXPECT_EQ(changes, 1);
        EXPECT_EQ(save(icon), c.file);
    }
}

struct Damage {
    const char* name;
    std::function<Bytes()> make;
};

class DamagedIcon : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedIcon, IsRefusedAndLeavesTheIconAsItWas) {
    vem::TIcon icon;
    load(icon, plainIcon());
    try {
        load(icon, GetParam().make());
        FAIL() << "accepted";
    } catch (const vem::EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "アイコンイメージが不正です");
    }
    EXPECT_EQ(icon.Width(), 32);
    EXPECT_EQ(save(icon), plainIcon());
}

Bytes withIcon(const std::function<void(Bytes&)>& change) {
    Bytes b = plainIcon();
    change(b);
    return b;
}

// A 2 x 2 24-bit BMP file, as found in a file wrongly named .ico or .wmf.
Bytes bmpFile() {
    Bytes b(54 + 16, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, static_cast<std::uint32_t>(b.size()));
    put32(b, 10, 54);
    put32(b, 14, 40);
    put32(b, 18, 2);
    put32(b, 22, 2);
    put16(b, 26, 1);
    put16(b, 28, 24);
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Icons, DamagedIcon,
    ::testing::Values(
        Damage{"Empty", [] { return Bytes{}; }},
        Damage{"ShortDirectory", [] { return Bytes{0, 0, 1, 0, 1}; }},
        Damage{"Reserved", [] { return withIcon([](Bytes& b) { b[0] = 1; }); }},
        Damage{"Cursor", [] { return withIcon([](Bytes& b) { b[2] = 2; }); }},
        Damage{"NoImages", [] { return withIcon([](Bytes& b) { b[4] = 0; }); }},
        Damage{"MoreEntriesThanFile", [] { return withIcon([](Bytes& b) { put16(b, 4, 0xFFFF); }); }},
        Damage{"OffsetPastEnd", [] { return withIcon([](Bytes& b) { put32(b, 18, 0xFFFFFFF0u); }); }},
        Damage{"LengthPastEnd", [] { return withIcon([](Bytes& b) { put32(b, 14, 0xFFFFFFFFu); }); }},
        Damage{"OffsetInDirectory", [] { return withIcon([](Bytes& b) { put32(b, 18, 6); }); }},
        Damage{"Truncated", [] { return withIcon([](Bytes& b) { b.resize(b.size() - 1); }); }},
        Damage{"HeaderSize12", [] { return withIcon([](Bytes& b) { put32(b, 22, 12); }); }},
        Damage{"NegativeHeight", [] { return withIcon([](Bytes& b) { put32(b, 22 + 8, 0xFFFFFFC0u); }); }},
        Damage{"BitCount3", [] { return withIcon([](Bytes& b) { put16(b, 22 + 14, 3); }); }},
        Damage{"HugeDib", [] { return withIcon([](Bytes& b) { put32(b, 22 + 4, 0x7FFFFFFF); put32(b, 22 + 8, 0x7FFFFFFF); }); }},
        Damage{"PngWithoutIhdr",
               [] {
                   Bytes png = pngImage();
                   png[12] = 'I';
                   png[13] = 'D';
                   png[14] = 'A';
                   png[15] = 'T';
                   return iconFile({{0, 0, png}});
               }},
        Damage{"BmpContent", [] { return bmpFile(); }}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Metafiles --------------------------------------------------------------

// Plain WMF records: each a size in words, a function and its parameters.
Bytes wmfRecord(std::uint32_t function, std::vector<std::int16_t> params = {}) {
    Bytes b;
    append(b, static_cast<std::uint32_t>(3 + params.size()));
    append(b, function, 2);
    for (auto p : params) append(b, static_cast<std::uint16_t>(p), 2);
    return b;
}

Bytes plainWmf(const std::vector<Bytes>& records, std::uint32_t version = 0x0300) {
    Bytes b(18, 0);
    put16(b, 0, 1);
    put16(b, 2, 9);
    put16(b, 4, version);
    for (const auto& r : records) b.insert(b.end(), r.begin(), r.end());
    const Bytes eof = wmfRecord(0);
    b.insert(b.end(), eof.begin(), eof.end());
    put32(b, 6, static_cast<std::uint32_t>(b.size() / 2));
    return b;
}

Bytes setWindowExt(std::int16_t x, std::int16_t y) { return wmfRecord(0x020C, {y, x}); }

Bytes placeableWmf(std::int16_t left, std::int16_t top, std::int16_t right, std::int16_t bottom, std::uint16_t inch) {
    Bytes b(22, 0);
    put32(b, 0, 0x9AC6CDD7u);
    put16(b, 6, static_cast<std::uint16_t>(left));
    put16(b, 8, static_cast<std::uint16_t>(top));
    put16(b, 10, static_cast<std::uint16_t>(right));
    put16(b, 12, static_cast<std::uint16_t>(bottom));
    put16(b, 14, inch);
    std::uint32_t sum = 0;
    for (int i = 0; i < 20; i += 2) sum ^= b[i] | (b[i + 1] << 8);
    put16(b, 20, sum);
    const Bytes body = plainWmf({wmfRecord(0x0103, {8})}); // SetMapMode
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// An EMF: the 88-byte header record, one more record, the end record.
Bytes emf(std::int32_t frameLeft, std::int32_t frameTop, std::int32_t frameRight, std::int32_t frameBottom) {
    Bytes b(88, 0);
    put32(b, 0, 1);
    put32(b, 4, 88);
    const std::int32_t frame[4] = {frameLeft, frameTop, frameRight, frameBottom};
    for (int i = 0; i < 4; ++i) put32(b, 24 + 4 * i, static_cast<std::uint32_t>(frame[i]));
    b[40] = ' ', b[41] = 'E', b[42] = 'M', b[43] = 'F';
    put32(b, 44, 0x10000);
    // SetWindowExtEx (type 9, 16 bytes), then the end record (type 14, 20 bytes).
    for (std::uint32_t v : {9u, 16u, 100u, 50u, 14u, 20u, 0u, 16u, 20u}) append(b, v);
    put32(b, 48, static_cast<std::uint32_t>(b.size()));
    put32(b, 52, 3);
    return b;
}

TEST(Metafile, ValidFilesAreMeasuredAndSavedUnchanged) {
    struct Case {
        const char* name;
        Bytes file;
        int width, height;
        bool enhanced;
    };
    const Case cases[] = {
        {"placeable 1 x 0.5 inch", placeableWmf(0, 0, 1440, 720, 1440), 96, 48, false},
        {"placeable offset box", placeableWmf(-100, 200, 100, 300, 96), 200, 100, false},
        {"placeable rounds to nearest", placeableWmf(0, 0, 5, 3, 10), 48, 29, false},
        {"plain with extent", plainWmf({wmfRecord(0x0103, {8}), setWindowExt(100, 50)}), 100, 50, false},
        {"plain, first extent counts", plainWmf({setWindowExt(7, 9), setWindowExt(100, 50)}), 7, 9, false},
        {"plain flipped axes", plainWmf({setWindowExt(-640, -480)}), 640, 480, false},
        {"plain without extent", plainWmf({}, 0x0100), 0, 0, false},
        {"plain largest extent", plainWmf({setWindowExt(32767, 1)}), 32767, 1, false},
        {"emf 1 x 0.5 inch", emf(0, 0, 2540, 1270), 96, 48, true},
        {"emf offset frame", emf(1000, 1000, 3540, 1000), 96, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        vem::TMetafile m;
        int changes = 0;
        m.OnChange = [&] { ++changes; };
        load(m, c.file);
        EXPECT_FALSE(m.Empty());
        EXPECT_EQ(m.Width(), c.width);
        EXPECT_EQ(m.Height(), c.height);
        EXPECT_EQ(m.Enhanced(), c.enhanced);
        EXPECT_EQ(changes, 1);
        EXPECT_EQ(save(m), c.file);
    }
}

class DamagedMetafile : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedMetafile, IsRefusedAndLeavesTheMetafileAsItWas) {
    vem::TMetafile m;
    const Bytes good = emf(0, 0, 2540, 2540);
    load(m, good);
    try {
        load(m, GetParam().make());
        FAIL() << "accepted";
    } catch (const vem::EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "メタファイルが不正です");
    }
    EXPECT_EQ(m.Width(), 96);
    EXPECT_TRUE(m.Enhanced());
    EXPECT_EQ(save(m), good);
}

Bytes changed(Bytes b, const std::function<void(Bytes&)>& change) {
    change(b);
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Metafiles, DamagedMetafile,
    ::testing::Values(
        Damage{"Empty", [] { return Bytes{}; }},
        Damage{"BmpContent", [] { return bmpFile(); }},
        Damage{"IconContent", [] { return plainIcon(); }},
        Damage{"PlaceableChecksum", [] { return changed(placeableWmf(0, 0, 96, 96, 96), [](Bytes& b) { b[20] ^= 1; }); }},
        Damage{"PlaceableHeaderOnly", [] { return changed(placeableWmf(0, 0, 96, 96, 96), [](Bytes& b) { b.resize(22); }); }},
        Damage{"PlaceableZeroInch", [] { return placeableWmf(0, 0, 96, 96, 0); }},
        Damage{"PlaceableInvertedBox", [] { return placeableWmf(96, 0, 0, 96, 96); }},
        Damage{"PlaceableTooWide", [] { return placeableWmf(-32768, 0, 32767, 96, 1); }},
        Damage{"PlaceableBadBody", [] { return changed(placeableWmf(0, 0, 96, 96, 96), [](Bytes& b) { b[22] = 7; }); }},
        Damage{"WmfType3", [] { return changed(plainWmf({}), [](Bytes& b) { b[0] = 3; }); }},
        Damage{"WmfVersion", [] { return plainWmf({}, 0x0200); }},
        Damage{"WmfNoEndRecord", [] { return changed(plainWmf({setWindowExt(1, 1)}), [](Bytes& b) { b.resize(b.size() - 6); }); }},
        Damage{"WmfRecordPastEnd", [] { return changed(plainWmf({setWindowExt(1, 1)}), [](Bytes& b) { put32(b, 18, 0x7FFFFFFF); }); }},
        Damage{"WmfExtentTooLarge", [] { return plainWmf({setWindowExt(-32768, 10)}); }},
        Damage{"WmfShortExtentRecord", [] { return plainWmf({wmfRecord(0x020C, {5})}); }},
        Damage{"EmfSignature", [] { return changed(emf(0, 0, 100, 100), [](Bytes& b) { b[41] = 'X'; }); }},
        Damage{"EmfRecordNotWords", [] { return changed(emf(0, 0, 100, 100), [](Bytes& b) { put32(b, 92, 17); }); }},
        Damage{"EmfRecordPastEnd", [] { return changed(emf(0, 0, 100, 100), [](Bytes& b) { put32(b, 92, 0xFFFFFFF0u); }); }},
        Damage{"EmfNoEndRecord", [] { return changed(emf(0, 0, 100, 100), [](Bytes& b) { b.resize(b.size() - 20); }); }},
        Damage{"EmfNegativeFrame", [] { return emf(2540, 0, 0, 2540); }},
        Damage{"EmfFrameTooLarge", [] { return emf(0, 0, 2540 * 400, 2540); }},
        Damage{"EmfExtremeFrame", [] { return emf(INT32_MIN, 0, INT32_MAX, 2540); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IconAndMetafile, AssignCopiesTheSameKindOnly) {
    vem::TIcon icon, iconCopy;
    vem::TMetafile metafile, metafileCopy;
    load(icon, plainIcon());
    load(metafile, emf(0, 0, 2540, 1270));
    iconCopy.AssignFrom(&icon);
    metafileCopy.AssignFrom(&metafile);
    EXPECT_EQ(iconCopy.Width(), 32);
    EXPECT_EQ(save(iconCopy), plainIcon());
    EXPECT_TRUE(metafileCopy.Enhanced());
    EXPECT_EQ(save(metafileCopy), save(metafile));

    // An icon's size is that of its images; a metafile's shown size may change
    // while its recorded bytes stay as read.
    EXPECT_THROW(icon.SetWidth(16), vem::EInvalidGraphicOperation);
    metafileCopy.SetWidth(200);
    metafileCopy.SetHeight(-5);
    EXPECT_EQ(metafileCopy.Width(), 200);
    EXPECT_EQ(metafileCopy.Height(), 0);
    EXPECT_EQ(save(metafileCopy), save(metafile));

    try {
        icon.AssignFrom(&metafile);
        ADD_FAILURE() << "accepted";
    } catch (const vem::EConvertError& e) {
        EXPECT_EQ(e.Message, "TMetafile を TIcon に代入できません");
    }
    EXPECT_THROW(metafile.AssignFrom(&icon), vem::EConvertError);
    EXPECT_EQ(icon.Width(), 32);
    metafile.AssignFrom(nullptr);
    EXPECT_TRUE(metafile.Empty());
    EXPECT_TRUE(save(metafile).empty());
}

// A stream that claims far more bytes than any sane file: the readers must
// refuse it before allocating, and must not read it.
class EndlessStream : public vem::TStream {
public:
    std::size_t Read(void*, std::size_t) override {
        ++reads;
        return 0;
    }
    std::uint64_t Remaining() const override { return std::uint64_t(1) << 40; }
    int reads = 0;
};

TEST(IconAndMetafile, HugeStreamsAreRefusedBeforeAllocating) {
    EndlessStream s1, s2;
    vem::TIcon icon;
    vem::TMetafile metafile;
    EXPECT_THROW(icon.LoadFromStream(s1), vem::EOutOfMemory);
    EXPECT_THROW(metafile.LoadFromStream(s2), vem::EOutOfMemory);
    EXPECT_EQ(s1.reads + s2.reads, 0);
}

} // namespace
