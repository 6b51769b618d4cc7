// Every file of the third-party BMP corpus, driven by its expected.tsv: size,
// orientation, depth, pixel block, colour table, pixels against the reference
// decodes, the bytes of a save right after loading, or the exact refusal.
#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "core/base/Errors.h"
#include "core/pixels/Bitmap.h"
#include "support/BmpBuilder.h"

using namespace vem;
using namespace vem::test;

namespace {

const std::string SuiteDir = std::string(VEM_TEST_DATA_DIR) + "/bmpsuite/";

struct Row {
    std::map<std::string, std::string> f;
    const std::string& operator[](const std::string& k) const { return f.at(k); }
    long num(const std::string& k) const { return std::stol(f.at(k)); }
};

std::vector<Row> readTable() {
    std::ifstream in(SuiteDir + "expected.tsv");
    std::vector<std::string> names;
    std::vector<Row> rows;
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::stringstream ss(line);
        for (std::string c; std::getline(ss, c, '\t');) cells.push_back(c);
        if (names.empty()) {
            names = cells;
            continue;
        }
        Row r;
        for (std::size_t i = 0; i < names.size(); ++i) r.f[names[i]] = i < cells.size() ? cells[i] : "";
        rows.push_back(r);
    }
    return rows;
}

// The outcomes we chose where the corpus leaves the decision to us.
struct Choice {
    std::string exception, message; // empty: the file loads
    int width = 0, height = 0;
    std::string depth, pixels;
};
const std::map<std::string, Choice> Choices = {
    {"q/pal8os2v2-16.bmp", {"EInvalidGraphic", "ビットマップイメージが不正です", 0, 0, "", ""}},
    {"q/pal8oversizepal.bmp", {"", "", 127, 64, "pd8Bit", "exact:pal8"}},
    {"q/rgb24largepal.bmp", {"", "", 127, 64, "pd24Bit", "exact:rgb24"}},
    {"b/badpalettesize.bmp", {"EReadError", "ストリームからの読み込みエラー", 0, 0, "", ""}},
    {"b/badrle.bmp", {"", "", 127, 64, "pdDevice", "exact:badrle"}},
    {"b/badrle4.bmp", {"", "", 127, 64, "pdDevice", "exact:badrle4"}},
    {"b/badrle4bis.bmp", {"", "", 127, 64, "pdDevice", "exact:badrle4bis"}},
    {"b/badrle4ter.bmp", {"", "", 127, 64, "pdDevice", "exact:badrle4ter"}},
    {"b/badrlebis.bmp", {"", "", 127, 64, "pdDevice", "exact:badrlebis"}},
    {"b/badrleter.bmp", {"", "", 127, 64, "pdDevice", "exact:badrleter"}},
    {"b/badwidth.bmp", {"EInvalidGraphic", "ビットマップイメージが不正です", 0, 0, "", ""}},
    {"b/reallybig.bmp", {"EOutOfMemory", "メモリが足りません", 0, 0, "", ""}},
};

struct Rgb {
    int r, g, b;
};

struct Pam {
    int width = 0, height = 0;
    Bytes data;
    Rgb at(int x, int y) const {
        const std::uint8_t* p = data.data() + (static_cast<std::size_t>(y) * width + x) * 3;
        return {p[0], p[1], p[2]};
    }
};

Pam readPam(const std::string& name) {
    Bytes bytes = ReadFileBytes(SuiteDir + "ref/" + name + ".pam");
    std::string text(bytes.begin(), bytes.end());
    std::size_t end = text.find("ENDHDR\n");
    std::istringstream head(text.substr(0, end));
    Pam pam;
    for (std::string key; head >> key;) {
        if (key == "WIDTH") head >> pam.width;
        else if (key == "HEIGHT") head >> pam.height;
    }
    pam.data.assign(bytes.begin() + static_cast<long>(end + 7), bytes.end());
    return pam;
}

// An independent decode of the store's pixel (X, Y), channels of n bits
// widened by round(v * 255 / (2^n - 1)).
int channel(std::uint32_t pixel, std::uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask), bits = std::popcount(mask);
    const std::uint64_t v = (pixel & mask) >> shift, max = (std::uint64_t(1) << bits) - 1;
    return static_cast<int>(std::lround(static_cast<double>(v) * 255.0 / static_cast<double>(max)));
}

Rgb decode(const TBitmapImage& im, int x, int y) {
    const std::uint8_t* row = im.PictureRow(y);
    if (im.Device || im.BitCount == 24 || (im.BitCount == 32 && im.Compression == 0)) {
        const std::uint8_t* p = row + x * (im.Device ? 4 : im.BitCount / 8);
        return {p[2], p[1], p[0]};
    }
    if (im.BitCount <= 8) {
        const int per = 8 / im.BitCount;
        const unsigned byte = row[x / per];
        const unsigned index = (byte >> (8 - im.BitCount * (x % per + 1))) & ((1u << im.BitCount) - 1);
        EXPECT_LT(index, im.ColorTable.size());
        const TRGBQuad q = index < im.ColorTable.size() ? im.ColorTable[index] : TRGBQuad{};
        return {q.rgbRed, q.rgbGreen, q.rgbBlue};
    }
    std::array<std::uint32_t, 3> m = im.Masks;
    std::uint32_t pixel;
    if (im.BitCount == 16) {
        pixel = row[2 * x] | row[2 * x + 1] << 8;
        if (im.Compression == 0) m = {0x7C00, 0x03E0, 0x001F};
    } else {
        std::memcpy(&pixel, row + 4 * x, 4); // little-endian machine
    }
    return {channel(pixel, m[0]), channel(pixel, m[1]), channel(pixel, m[2])};
}

void expectPixels(const TBitmap& bmp, const std::string& rule) {
    if (rule == "bytes") return;
    const std::size_t colon = rule.find(':');
    const std::string kind = rule.substr(0, colon);
    std::string name = rule.substr(colon + 1);
    if (kind == "fill") name = name.substr(0, name.find(',')); // skipped pixels are black
    const int tolerance = kind == "scaled" ? 1 : 0;
    const Pam ref = readPam(name);
    ASSERT_EQ(ref.width, bmp.Width());
    ASSERT_EQ(ref.height, bmp.Height());
    int bad = 0;
    for (int y = 0; y < ref.height; ++y)
        for (int x = 0; x < ref.width; ++x) {
            const Rgb got = decode(bmp.Image(), x, y), want = ref.at(x, y);
            if (std::abs(got.r - want.r) > tolerance || std::abs(got.g - want.g) > tolerance ||
                std::abs(got.b - want.b) > tolerance) {
                if (++bad <= 3)
                    ADD_FAILURE() << "pixel " << x << "," << y << " is " << got.r << "," << got.g << "," << got.b
                                  << " expected " << want.r << "," << want.g << "," << want.b;
            }
        }
    EXPECT_EQ(bad, 0);
}

class BmpSuite : public ::testing::TestWithParam<Row> {};

void expectRefusal(const Bytes& file, const std::string& exception, const std::string& message) {
    TBitmap bmp;
    try {
        LoadBmp(bmp, file);
        ADD_FAILURE() << "loaded, expected " << exception;
    } catch (const Exception& e) {
        EXPECT_EQ(e.ClassName(), exception);
        EXPECT_EQ(e.Message, message);
    }
    EXPECT_TRUE(bmp.Empty()); // the bitmap is left as it was
}

// The pixel block is the file's bytes [pix_off, pix_off + pix_len), then zeros.
void expectBlock(const TBitmapImage& im, const Bytes& file, const Row& row) {
    const std::size_t off = row.num("pix_off"), len = row.num("pix_len"), block = row.num("block_len");
    ASSERT_EQ(im.Pixels.size(), block);
    EXPECT_EQ(0, std::memcmp(im.Pixels.data(), file.data() + off, len));
    for (std::size_t i = len; i < block; ++i) ASSERT_EQ(im.Pixels.data()[i], 0) << "block byte " << i;
}

void expectTable(const TBitmapImage& im, const Bytes& file, const Row& row) {
    const long n = row.num("table_n");
    ASSERT_EQ(im.ColorTable.size(), static_cast<std::size_t>(n));
    if (n == 0) return;
    const long off = row.num("table_off"), entry = row.num("table_entry");
    for (long i = 0; i < n; ++i) {
        const std::uint8_t* p = file.data() + off + i * entry;
        EXPECT_EQ(im.ColorTable[i], (TRGBQuad{p[0], p[1], p[2], 0})) << "entry " << i;
    }
}

void expectSave(TBitmap& bmp, const Bytes& file, const std::string& save) {
    const Bytes saved = SaveBmp(bmp);
    if (save == "same") {
        EXPECT_EQ(saved, file);
    } else if (save[0] == '=') {
        EXPECT_EQ(saved, ReadFileBytes(SuiteDir + save.substr(1)));
    } else {
        ASSERT_EQ(save.rfind("new:", 0), 0u) << save;
        EXPECT_NE(saved, file);
        std::istringstream words(save.substr(4));
        std::size_t length = 0;
        if (words >> length && save.find(" bytes") != std::string::npos) {
            EXPECT_EQ(saved.size(), length);
        }
        // What was written reads back as the same picture.
        TBitmap again;
        LoadBmp(again, saved);
        const TBitmapImage &a = bmp.Image(), &b = again.Image();
        EXPECT_EQ(b.Width, a.Width);
        EXPECT_EQ(b.StoredHeight, a.StoredHeight);
        EXPECT_EQ(again.PixelDepth(), bmp.PixelDepth());
        EXPECT_EQ(b.Masks, a.Masks);
        EXPECT_EQ(b.ColorTable, a.ColorTable);
        ASSERT_EQ(b.Pixels.size(), a.Pixels.size());
        EXPECT_EQ(0, std::memcmp(b.Pixels.data(), a.Pixels.data(), a.Pixels.size()));
    }
}

TEST_P(BmpSuite, ReadsAsExpected) {
    const Row& row = GetParam();
    const std::string verdict = row["verdict"];
    const Bytes file = ReadFileBytes(SuiteDir + row["file"]);
    ASSERT_FALSE(file.empty());

    if (verdict == "REFUSE" || verdict == "REFUSE-PLATFORM") {
        // Of the two refusals allowed for an image that cannot be made, ours
        // is EInvalidGraphic: there is no platform error to report.
        expectRefusal(file, "EInvalidGraphic", row["message"]);
        return;
    }
    if (verdict == "CHOICE") {
        const Choice& c = Choices.at(row["file"]);
        if (!c.exception.empty()) {
            expectRefusal(file, c.exception, c.message);
            return;
        }
        TBitmap bmp;
        LoadBmp(bmp, file);
        EXPECT_EQ(bmp.Width(), c.width);
        EXPECT_EQ(bmp.Height(), c.height);
        EXPECT_STREQ(PixelDepthName(bmp.PixelDepth()), c.depth.c_str());
        expectPixels(bmp, c.pixels);
        return;
    }

    TBitmap bmp;
    LoadBmp(bmp, file);
    const TBitmapImage& im = bmp.Image();
    EXPECT_EQ(bmp.Width(), row.num("width"));
    EXPECT_EQ(bmp.Height(), row.num("height"));
    EXPECT_EQ(im.TopDown(), row["topdown"] == "1");
    EXPECT_STREQ(PixelDepthName(bmp.PixelDepth()), row["depth"].c_str());
    if (im.Device) {
        EXPECT_EQ(im.SavedFile, file); // kept for a save before any change
    } else {
        expectBlock(im, file, row);
        expectTable(im, file, row);
    }
    expectPixels(bmp, row["pixels"]);
    expectSave(bmp, file, row["save"]);
}

std::string rowName(const ::testing::TestParamInfo<Row>& info) {
    std::string name = info.param["file"];
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name.substr(0, name.size() - 4);
}

INSTANTIATE_TEST_SUITE_P(Corpus, BmpSuite, ::testing::ValuesIn(readTable()), rowName);

TEST(BmpSuiteTable, CoversEveryFile) {
    const auto rows = readTable();
    EXPECT_EQ(rows.size(), 89u);
    std::size_t choices = 0;
    for (const Row& r : rows) choices += r["verdict"] == "CHOICE";
    EXPECT_EQ(choices, Choices.size());
}

} // namespace
