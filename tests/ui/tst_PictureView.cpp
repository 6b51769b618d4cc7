// The drawing of the core's pictures: every stored layout, both orientations,
// exposed parts at scroll offsets and edges, the preview's scaling, and
// pictures that show nothing.
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include <QDir>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include "Application.h"
#include "core/formats/Icon.h"
#include "core/pixels/Bitmap.h"
#include "core/workspace/Picture.h"
#include "PictureView.h"

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

// What the screen shows where nothing was drawn.
const QRgb Untouched = qRgb(0xFE, 0x01, 0xFE);

// The reference: each pixel read on its own through the bitmap's own depth.
QRgb referencePixel(const vem::TBitmap& bitmap, int x, int y) {
    const vem::TColor c = bitmap.PixelColor(x, y);
    return qRgb(vem::GetRValue(c), vem::GetGValue(c), vem::GetBValue(c));
}

// A VIEW-sized screen scrolled by OFFSET over the picture, on which DRAW paints
// in picture coordinates what EXPOSED (picture coordinates) asks for.
template <class Draw>
QImage screenOf(QSize view, QPoint offset, const Draw& draw) {
    QImage screen(view, QImage::Format_RGB32);
    screen.fill(Untouched);
    QPainter painter(&screen);
    painter.translate(-offset);
    draw(painter);
    return screen;
}

// Pictures built in code beside the corpus: odd widths, both orientations,
// the depths whose rows the drawing converts without the codec.
std::vector<std::pair<QString, std::shared_ptr<vem::TBitmapImage>>> builtStores() {
    std::vector<std::pair<QString, std::shared_ptr<vem::TBitmapImage>>> out;
    for (int bitCount : {1, 4, 8, 16, 24, 32})
        for (bool topDown : {false, true}) {
            StoreLayout layout{.width = 37, .bitCount = bitCount, .topDown = topDown};
            for (int i = 0; i < (bitCount <= 8 ? 1 << bitCount : 0); ++i)
                layout.table.push_back({std::uint8_t(i * 37), std::uint8_t(i * 91), std::uint8_t(i * 13), 0});
            Rows rows(23, Bytes(static_cast<std::size_t>(vem::RowStride(layout.width, bitCount))));
            for (std::size_t y = 0; y < rows.size(); ++y)
                for (std::size_t b = 0; b < rows[y].size(); ++b) rows[y][b] = std::uint8_t(y * 131 + b * 29 + (b * b >> 3));
            out.emplace_back(QStringLiteral("built %1-bit%2").arg(bitCount).arg(topDown ? " top-down" : ""),
                             makeStore(layout, rows));
        }
    StoreLayout device{.width = 19, .bitCount = 32, .device = true};
    Rows rows(11, Bytes(19 * 4));
    for (std::size_t y = 0; y < rows.size(); ++y)
        for (std::size_t b = 0; b < rows[y].size(); ++b) rows[y][b] = std::uint8_t(y * 7 + b * 53);
    out.emplace_back(QStringLiteral("built device"), makeStore(device, rows));
    return out;
}

} // namespace

Q_DECLARE_METATYPE(StoreLayout)
Q_DECLARE_METATYPE(std::vector<QRgb>)

class TestPictureView : public QObject {
    Q_OBJECT
private slots:
    void layouts_data();
    void layouts();
    void picturesWithoutPixelsShowNothing();
    void shortPixelBlockIsNotRead();
    void exposedPartsMatchPixelReads();
    void scaledDrawingTakesNearestPixels();
    void zoomedDrawingAndPicking();
    void reducedCopiesDrawTheSameMeans();
    void damagedStoresDrawNothing();
};

void TestPictureView::layouts_data() {
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

void TestPictureView::layouts() {
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

void TestPictureView::picturesWithoutPixelsShowNothing() {
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
void TestPictureView::shortPixelBlockIsNotRead() {
    auto store = makeStore(StoreLayout{.width = 3}, Rows{{1, 2, 3, 4, 5, 6, 7, 8, 9}});
    store->StoredHeight = 2;
    vem::TPicture picture;
    holdStore(picture, store);
    QVERIFY(vemui::PictureToQImage(picture).isNull());
}

// Every picture of the corpus and every built layout, drawn at scroll offsets
// through exposed rectangles (one-pixel ones at each edge among them): each
// pixel inside the picture and the rectangle equals the pixel read on its
// own, and nothing outside is touched.
void TestPictureView::exposedPartsMatchPixelReads() {
    std::vector<std::pair<QString, std::unique_ptr<vem::TPicture>>> pictures;
    const QString corpus = QStringLiteral(VEM_TEST_DATA_DIR "/bmpsuite/");
    for (const QString& folder : {QStringLiteral("g"), QStringLiteral("q")})
        for (const QString& name : QDir(corpus + folder).entryList({"*.bmp"}, QDir::Files)) {
            auto picture = std::make_unique<vem::TPicture>();
            try {
                picture->LoadFile((corpus + folder + "/" + name).toStdString());
            } catch (const std::exception&) {
                continue; // refused files are the reader's tests' business
            }
            if (dynamic_cast<const vem::TBitmap*>(picture->Graphic())) pictures.emplace_back(folder + "/" + name, std::move(picture));
        }
    QVERIFY(pictures.size() > 40);
    for (auto& [name, store] : builtStores()) {
        pictures.emplace_back(name, std::make_unique<vem::TPicture>());
        holdStore(*pictures.back().second, store);
    }
    for (const auto& [name, held] : pictures) {
        const vem::TPicture& picture = *held;
        const auto& bitmap = *dynamic_cast<const vem::TBitmap*>(picture.Graphic());
        const int w = bitmap.Width(), h = bitmap.Height();
        if (w <= 0 || h <= 0) continue;
        const QSize view(std::max(1, w * 2 / 3), std::max(1, h * 2 / 3));
        const std::vector<QPoint> offsets{{0, 0}, {w / 3, h / 5}, {w - view.width(), h - view.height()}, {-3, -2}};
        for (const QPoint offset : offsets) {
            const QRect visible(offset, view);
            const std::vector<QRect> exposures{visible,
                                               QRect(visible.left() + 1, visible.top() + 2, view.width() / 2, 3),
                                               QRect(0, 0, 1, 1), QRect(w - 1, 0, 1, 1), QRect(0, h - 1, 1, 1),
                                               QRect(w - 1, h - 1, 1, 1), QRect(0, h / 2, w, 1), QRect(w / 2, 0, 1, h)};
            for (const QRect& exposed : exposures) {
                const QImage screen = screenOf(view, offset, [&](QPainter& p) { vemui::DrawPicture(p, picture, exposed); });
                for (int sy = 0; sy < view.height(); ++sy)
                    for (int sx = 0; sx < view.width(); ++sx) {
                        const QPoint at(sx + offset.x(), sy + offset.y());
                        const bool drawn = exposed.contains(at) && at.x() >= 0 && at.y() >= 0 && at.x() < w && at.y() < h;
                        const QRgb want = drawn ? referencePixel(bitmap, at.x(), at.y()) : Untouched;
                        if (screen.pixel(sx, sy) != want)
                            QFAIL(qPrintable(QStringLiteral("%1: offset (%2,%3), exposed (%4,%5 %6x%7), pixel (%8,%9)")
                                                 .arg(name).arg(offset.x()).arg(offset.y()).arg(exposed.x())
                                                 .arg(exposed.y()).arg(exposed.width()).arg(exposed.height())
                                                 .arg(at.x()).arg(at.y())));
                    }
            }
        }
    }
}

// The preview's stretched picture against a plain nearest-pixel scaler: each
// screen pixel shows the picture pixel under its centre.
void TestPictureView::scaledDrawingTakesNearestPixels() {
    for (auto& [name, store] : builtStores()) {
        vem::TPicture picture;
        holdStore(picture, store);
        const auto& bitmap = *dynamic_cast<const vem::TBitmap*>(picture.Graphic());
        const int w = bitmap.Width(), h = bitmap.Height();
        const std::vector<QRect> targets{{3, 4, 100, 13}, {0, 0, 11, 71}, {2, 1, 1, 1}, {0, 0, w * 3 + 1, h * 2 - 1}, {5, 0, w, h}};
        for (const QRect& dest : targets) {
            const QSize view(dest.right() + 4, dest.bottom() + 3);
            for (const QRect& exposed : {QRect(QPoint(0, 0), view), QRect(dest.left() + dest.width() / 2, 0, 2, view.height())}) {
                const QImage screen = screenOf(view, QPoint(0, 0), [&](QPainter& p) {
                    vemui::DrawPictureScaled(p, picture, dest, exposed);
                });
                for (int y = 0; y < view.height(); ++y)
                    for (int x = 0; x < view.width(); ++x) {
                        QRgb want = Untouched;
                        if (dest.contains(x, y) && exposed.contains(x, y)) {
                            const int sx = int(std::floor((x - dest.left() + 0.5) * w / dest.width()));
                            const int sy = int(std::floor((y - dest.top() + 0.5) * h / dest.height()));
                            want = referencePixel(bitmap, sx, sy);
                        }
                        if (screen.pixel(x, y) != want)
                            QFAIL(qPrintable(QStringLiteral("%1 into (%2,%3 %4x%5): pixel (%6,%7)").arg(name).arg(dest.x())
                                                 .arg(dest.y()).arg(dest.width()).arg(dest.height()).arg(x).arg(y)));
                    }
            }
        }
    }
}

// A plain reference of the zoomed screen, pixel by pixel: at and above 100 %
// each picture pixel fills the screen pixels whose leading edge lies on it;
// below, each picture pixel joins the screen pixel its trailing edge falls in,
// which shows the rounded mean of the pixels it gathered.
QImage zoomedReference(const vem::TBitmap& bitmap, const vemui::TZoom& z) {
    const qint64 w = bitmap.Width(), h = bitmap.Height(), n = z.Num(), d = z.Den();
    const auto screenOf = [&](qint64 v) { return ((v + 1) * n + d - 1) / d - 1; };
    const int sw = int((w * n + d - 1) / d), sh = int((h * n + d - 1) / d);
    QImage out(sw, sh, QImage::Format_RGB32);
    if (n >= d) {
        for (int sy = 0; sy < sh; ++sy)
            for (int sx = 0; sx < sw; ++sx) {
                int x = 0, y = 0;
                while ((x + 1) * n <= sx * d) ++x;
                while ((y + 1) * n <= sy * d) ++y;
                out.setPixel(sx, sy, referencePixel(bitmap, x, y));
            }
        return out;
    }
    std::vector<std::array<qint64, 4>> sums(std::size_t(sw) * std::size_t(sh));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QRgb c = referencePixel(bitmap, x, y);
            auto& sum = sums[std::size_t(screenOf(y) * sw + screenOf(x))];
            sum[0] += qRed(c), sum[1] += qGreen(c), sum[2] += qBlue(c), ++sum[3];
        }
    for (int sy = 0; sy < sh; ++sy)
        for (int sx = 0; sx < sw; ++sx) {
            const auto& sum = sums[std::size_t(sy * sw + sx)];
            out.setPixel(sx, sy, qRgb(int((sum[0] + sum[3] / 2) / sum[3]), int((sum[1] + sum[3] / 2) / sum[3]),
                                      int((sum[2] + sum[3] / 2) / sum[3])));
        }
    return out;
}

// Every zoom step and two fitted zooms, every depth: the drawing of whole and
// partial exposures against the reference, and presses at the first and last
// screen pixels of each row and column, at fractions of them and just beyond
// the picture, against the pixels the reference draws there.
void TestPictureView::zoomedDrawingAndPicking() {
    QVector<vemui::TZoom> zooms = vemui::TZoom::Steps();
    zooms << vemui::TZoom(1713, 10000) << vemui::TZoom(37, 23);
    for (auto& [name, store] : builtStores()) {
        vem::TImage image(1, 1);
        holdStore(image.Picture(), store);
        const auto& bitmap = *dynamic_cast<const vem::TBitmap*>(image.Picture().Graphic());
        const int w = bitmap.Width(), h = bitmap.Height();
        vemui::TPictureView view(image, nullptr);
        QSignalSpy pressed(&view, &vemui::TPictureView::Pressed);
        for (const vemui::TZoom& zoom : zooms) {
            const QString where = QStringLiteral("%1 at %2/%3").arg(name).arg(zoom.Num()).arg(zoom.Den());
            const QImage want = zoomedReference(bitmap, zoom);
            const QSize screen(want.width() + 2, want.height() + 1);
            for (const QRect& exposed : {QRect(QPoint(0, 0), screen), QRect(want.width() / 3, 1, want.width() / 2 + 1, 3),
                                         QRect(want.width() - 1, want.height() - 1, 1, 1)}) {
                const QImage shot = screenOf(screen, QPoint(0, 0), [&](QPainter& p) {
                    vemui::DrawPictureZoomed(p, image.Picture(), zoom, exposed);
                });
                for (int y = 0; y < screen.height(); ++y)
                    for (int x = 0; x < screen.width(); ++x) {
                        const bool drawn = exposed.contains(x, y) && x < want.width() && y < want.height();
                        if (shot.pixel(x, y) != (drawn ? want.pixel(x, y) : Untouched))
                            QFAIL(qPrintable(QStringLiteral("%1: pixel (%2,%3)").arg(where).arg(x).arg(y)));
                    }
            }
            view.SetZoom(zoom);
            // The screen pixels of the picture's edges, and one past them.
            const auto probes = [](int last) {
                return QVector<double>{0, 0.5, 1.25, std::max(0, last - 1) + 0.5, last + 0.75, last + 1.0};
            };
            const auto reduced = zoom.Reduces();
            for (double px : probes(want.width() - 1))
                for (double py : probes(want.height() - 1)) {
                    QMouseEvent press(QEvent::MouseButtonPress, QPointF(px, py), QPointF(px, py), Qt::LeftButton,
                                      Qt::LeftButton, Qt::NoModifier);
                    QApplication::sendEvent(&view, &press);
                    const QList<QVariant> got = pressed.takeLast();
                    const int x = got[1].toInt(), y = got[2].toInt();
                    const QString at = QStringLiteral("%1: press (%2,%3) picked (%4,%5)").arg(where).arg(px).arg(py).arg(x).arg(y);
                    const int sx = int(px), sy = int(py);
                    if (sx >= want.width() || sy >= want.height()) {
                        QVERIFY2(x >= w || y >= h, qPrintable(at));
                        continue;
                    }
                    QVERIFY2(x >= 0 && x < w && y >= 0 && y < h, qPrintable(at));
                    if (!reduced) {
                        QVERIFY2(want.pixel(sx, sy) == referencePixel(bitmap, x, y), qPrintable(at));
                        QVERIFY2(x * zoom.Num() <= sx * zoom.Den() && sx * zoom.Den() < (x + 1) * zoom.Num(), qPrintable(at));
                    } else {
                        // One of the pixels whose mean is drawn there: its trailing edge
                        // falls in that screen pixel.
                        const auto screenOf = [&](qint64 v) { return ((v + 1) * zoom.Num() + zoom.Den() - 1) / zoom.Den() - 1; };
                        QVERIFY2(screenOf(x) == sx && screenOf(y) == sy, qPrintable(at));
                    }
                }
        }
    }
}

// A big picture is drawn below 100 % from its reduced copies: on flat blocks
// that the halving steps keep whole, exactly what averaging the picture gives.
void TestPictureView::reducedCopiesDrawTheSameMeans() {
    const int side = 1024;
    Rows rows(side, Bytes(3 * side));
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < 3 * side; ++x) rows[y][x] = std::uint8_t((x / 3 / 16) * 37 + (y / 16) * 11 + x % 3 * 80);
    vem::TPicture picture;
    holdStore(picture, makeStore(StoreLayout{.width = side}, rows));
    const auto& bitmap = *dynamic_cast<const vem::TBitmap*>(picture.Graphic());
    for (const vemui::TZoom zoom : {vemui::TZoom(1, 2), vemui::TZoom(1, 4), vemui::TZoom(1, 16), vemui::TZoom(1, 64)}) {
        const QImage want = zoomedReference(bitmap, zoom);
        const QImage shot = screenOf(want.size(), QPoint(0, 0), [&](QPainter& p) {
            vemui::DrawPictureZoomed(p, picture, zoom, QRect(QPoint(0, 0), want.size()));
        });
        QCOMPARE(shot, want);
    }
    QVERIFY(bitmap.Image().Reduced != nullptr);
}

// A store whose block is shorter than its header claims, and one with a
// size but no block, draw nothing by either road, without raising.
void TestPictureView::damagedStoresDrawNothing() {
    auto shortBlock = makeStore(StoreLayout{.width = 3}, Rows{{1, 2, 3, 4, 5, 6, 7, 8, 9}});
    shortBlock->StoredHeight = 40;
    auto noBlock = std::make_shared<vem::TBitmapImage>();
    noBlock->Width = 10;
    noBlock->StoredHeight = 10;
    noBlock->BitCount = 24;
    for (const auto& store : {shortBlock, noBlock}) {
        vem::TPicture picture;
        holdStore(picture, store);
        QVERIFY(!vemui::CanDrawPicture(picture));
        const QImage screen = screenOf(QSize(12, 41), QPoint(0, 0), [&](QPainter& p) {
            vemui::DrawPicture(p, picture, QRect(0, 0, 12, 41));
            vemui::DrawPictureScaled(p, picture, QRect(0, 0, 12, 41), QRect(0, 0, 12, 41));
        });
        QCOMPARE(screen.pixel(0, 0), Untouched);
        QCOMPARE(screen.pixel(2, 39), Untouched);
        QCOMPARE(screen.pixel(11, 40), Untouched);
    }
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    vemui::TApplication app(argc, argv);
    TestPictureView test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_PictureView.moc"
