// The adapter from the core's pictures to QImage: every stored layout, both
// orientations, and pictures that show nothing.
#include <cstring>
#include <memory>
#include <vector>

#include <QTest>

#include "Application.h"
#include "PictureImage.h"
#include "core/Bitmap.h"
#include "core/Icon.h"
#include "core/Picture.h"

using Bytes = std::vector<std::uint8_t>;
using Rows = std::vector<Bytes>; // each picture row's pixel bytes, top row first
Q_DECLARE_METATYPE(Rows)

namespace {

struct StoreLayout {
    int width = 0;
    int bitCount = 24;
    bool topDown = false;
    bool device = false;
    std::uint32_t compression = 0;
    std::array<std::uint32_t, 3> masks{};
    std::vector<vem::TRGBQuad> table{};
};

// A store holding Rows in storage order; padding bytes are filled with 0xCD so
// that reading them would show.
std::shared_ptr<vem::TBitmapImage> makeStore(const StoreLayout& layout, const Rows& rows) {
    auto store = std::make_shared<vem::TBitmapImage>();
    const int height = static_cast<int>(rows.size());
    store->Width = layout.width;
    store->StoredHeight = layout.topDown ? -height : height;
    store->BitCount = static_cast<std::uint16_t>(layout.bitCount);
    store->Compression = layout.compression;
    store->Masks = layout.masks;
    store->Device = layout.device;
    store->ColorTable = layout.table;
    const std::uint64_t stride = store->Stride();
    store->Pixels = vem::PixelBlock::Uninitialized(stride * static_cast<std::uint64_t>(height));
    std::memset(store->Pixels.data(), 0xCD, store->Pixels.size());
    for (int y = 0; y < height; ++y) std::memcpy(store->PictureRow(y), rows[y].data(), rows[y].size());
    return store;
}

void holdStore(vem::TPicture& picture, std::shared_ptr<vem::TBitmapImage> store) {
    vem::TBitmap bitmap;
    bitmap.SetImage(std::move(store));
    picture.AssignGraphic(&bitmap);
}

std::vector<QRgb> pixelsOf(const QImage& image) {
    std::vector<QRgb> out;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) out.push_back(image.pixel(x, y));
    return out;
}

const QRgb A = qRgb(0x11, 0x22, 0x33), B = qRgb(0x44, 0x55, 0x66), C = qRgb(0x77, 0x88, 0x99);
const QRgb D = qRgb(0xAA, 0xBB, 0xCC), E = qRgb(0xDD, 0xEE, 0xFF), F = qRgb(0x01, 0x02, 0x03);

} // namespace

Q_DECLARE_METATYPE(StoreLayout)
Q_DECLARE_METATYPE(std::vector<QRgb>)

class TestPictureImage : public QObject {
    Q_OBJECT
private slots:
    void layouts_data();
    void layouts();
    void picturesWithoutPixelsShowNothing();
    void shortPixelBlockIsNotRead();
};

void TestPictureImage::layouts_data() {
    QTest::addColumn<StoreLayout>("layout");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<std::vector<QRgb>>("expected"); // top row first
    const Rows bgr24{{0x33, 0x22, 0x11, 0x66, 0x55, 0x44, 0x99, 0x88, 0x77},
                     {0xCC, 0xBB, 0xAA, 0xFF, 0xEE, 0xDD, 0x03, 0x02, 0x01}};
    const std::vector<QRgb> six{A, B, C, D, E, F};
    QTest::newRow("24-bit bottom-up") << StoreLayout{.width = 3} << bgr24 << six;
    QTest::newRow("24-bit top-down") << StoreLayout{.width = 3, .topDown = true} << bgr24 << six;
    const Rows bgrx32{{0x33, 0x22, 0x11, 0x00, 0x66, 0x55, 0x44, 0x7F, 0x99, 0x88, 0x77, 0xFF},
                      {0xCC, 0xBB, 0xAA, 0x12, 0xFF, 0xEE, 0xDD, 0x00, 0x03, 0x02, 0x01, 0x80}};
    QTest::newRow("32-bit, unused byte ignored") << StoreLayout{.width = 3, .bitCount = 32} << bgrx32 << six;
    QTest::newRow("device format") << StoreLayout{.width = 3, .bitCount = 32, .device = true} << bgrx32 << six;
    QTest::newRow("32-bit with masks")
        << StoreLayout{.width = 1, .bitCount = 32, .compression = 3, .masks = {0x000000FF, 0x0000FF00, 0x00FF0000}}
        << Rows{{0x11, 0x22, 0x33, 0x00}} << std::vector<QRgb>{qRgb(0x11, 0x22, 0x33)};
    QTest::newRow("16-bit 5-6-5")
        << StoreLayout{.width = 3, .bitCount = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F}}
        << Rows{{0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00}} << std::vector<QRgb>{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
    const std::vector<vem::TRGBQuad> two{{0x33, 0x22, 0x11, 0}, {0x66, 0x55, 0x44, 0}};
    QTest::newRow("8-bit, index past the table is black")
        << StoreLayout{.width = 3, .bitCount = 8, .table = two} << Rows{{1, 0, 200}, {0, 0, 1}}
        << std::vector<QRgb>{B, A, qRgb(0, 0, 0), A, A, B};
}

void TestPictureImage::layouts() {
    QFETCH(StoreLayout, layout);
    QFETCH(Rows, rows);
    QFETCH(std::vector<QRgb>, expected);
    vem::TPicture picture;
    holdStore(picture, makeStore(layout, rows));
    const QImage image = vemui::PictureToQImage(picture);
    QCOMPARE(image.format(), QImage::Format_RGB32);
    QCOMPARE(image.size(), QSize(layout.width, int(rows.size())));
    QCOMPARE(pixelsOf(image), expected);
}

void TestPictureImage::picturesWithoutPixelsShowNothing() {
    vem::TPicture none;
    QVERIFY(vemui::PictureToQImage(none).isNull());

    vem::TPicture icon;
    vem::TIcon emptyIcon;
    icon.AssignGraphic(&emptyIcon);
    QVERIFY(vemui::PictureToQImage(icon).isNull());

    vem::TPicture empty;
    empty.AsBitmap();
    QVERIFY(vemui::PictureToQImage(empty).isNull());

    // A width without a height: the bitmap has no pixels.
    vem::TPicture flat;
    flat.AsBitmap().SetWidth(5);
    QVERIFY(vemui::PictureToQImage(flat).isNull());
}

// A store whose block is shorter than its header says (a damaged store) is
// shown as nothing rather than read past its end.
void TestPictureImage::shortPixelBlockIsNotRead() {
    auto store = makeStore(StoreLayout{.width = 3}, Rows{{1, 2, 3, 4, 5, 6, 7, 8, 9}});
    store->StoredHeight = 2;
    vem::TPicture picture;
    holdStore(picture, store);
    QVERIFY(vemui::PictureToQImage(picture).isNull());
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    vemui::TApplication app(argc, argv);
    TestPictureImage test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_PictureImage.moc"
