#include "PictureView.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWheelEvent>

#include "core/pixels/Bitmap.h"
#include "core/pixels/PixelCodec.h"
#include "core/pixels/ReducedCopies.h"

namespace vemui {
namespace {

// Rows converted per drawImage call: enough to keep the call overhead small,
// few enough that the band stays in the cache and its buffer stays small.
constexpr int BandRows = 32;
// Columns decoded at a time through the codec, into a buffer on the stack, so
// that drawing allocates nothing but its band.
constexpr int DecodeChunk = 256;

inline QRgb toRgb32(vem::TColor c) { return qRgb(vem::GetRValue(c), vem::GetGValue(c), vem::GetBValue(c)); }

// The bitmap store of a picture when it can be read whole; null otherwise.
const vem::TBitmapImage* readableStore(const vem::TPicture& picture) {
    const auto* bitmap = dynamic_cast<const vem::TBitmap*>(picture.Graphic());
    if (!bitmap) return nullptr;
    const vem::TBitmapImage& store = bitmap->Image();
    // HasPixels also refuses a store whose block is shorter than its header
    // claims: it is shown as nothing rather than read past its end.
    if (!store.HasPixels() || store.Width <= 0 || store.Height() <= 0 || store.BitCount == 0) return nullptr;
    return &store;
}

// The source pixels of successive screen pixels, as ScaledSource gives them,
// without a division per pixel: the numerator grows by twice the source span
// at each step, so quotient and remainder advance by fixed amounts.
class ScaleStepper {
public:
    ScaleStepper(qint64 i0, qint64 source, qint64 dest)
        : twoDest_(2 * dest), stepQ_(2 * source / twoDest_), stepR_(2 * source % twoDest_) {
        const qint64 numerator = (2 * i0 + 1) * source;
        q_ = numerator / twoDest_;
        r_ = numerator % twoDest_;
    }
    int Source() const { return static_cast<int>(q_); }
    void Next() {
        q_ += stepQ_;
        r_ += stepR_;
        if (r_ >= twoDest_) {
            r_ -= twoDest_;
            ++q_;
        }
    }

private:
    qint64 twoDest_, stepQ_, stepR_, q_ = 0, r_ = 0;
};

// Converts pixels of one store into screen rows. Plain 24- and 32-bit rows,
// nearly every picture the program shows, skip the codec.
class RowConverter {
public:
    explicit RowConverter(const vem::TBitmapImage& store)
        : store_(store), codec_(store), plain_(store.Compression == 0 || store.Device),
          bitCount_(store.Device ? vem::DeviceBitCount : store.BitCount) {}

    // Columns X0 .. X0+COUNT-1 of picture row Y into DST.
    void Columns(int y, int x0, int count, QRgb* dst) const {
        const std::uint8_t* row = store_.PictureRow(y);
        if (plain_ && bitCount_ == 24) {
            const std::uint8_t* src = row + 3 * static_cast<std::size_t>(x0);
            for (int x = 0; x < count; ++x, src += 3) dst[x] = qRgb(src[2], src[1], src[0]);
        } else if (plain_ && bitCount_ == 32) {
            // Blue, green, red, unused: on a little-endian machine exactly
            // RGB32 once the unused byte is forced to 0xFF.
            static_assert(std::endian::native == std::endian::little);
            std::memcpy(dst, row + 4 * static_cast<std::size_t>(x0), static_cast<std::size_t>(count) * 4);
            for (int x = 0; x < count; ++x) dst[x] |= 0xFF000000u;
        } else {
            vem::TColor colors[DecodeChunk];
            for (int done = 0; done < count; done += DecodeChunk) {
                const int n = std::min(DecodeChunk, count - done);
                codec_.DecodeRow(row, x0 + done, n, colors);
                for (int i = 0; i < n; ++i) dst[done + i] = toRgb32(colors[i]);
            }
        }
    }

    // COUNT screen pixels of picture row Y, stretched from the picture's
    // width to DESTWIDTH, starting at screen column I0 of that span, into DST.
    void Samples(int y, qint64 i0, int count, qint64 destWidth, QRgb* dst) const {
        const std::uint8_t* row = store_.PictureRow(y);
        ScaleStepper column(i0, store_.Width, destWidth);
        if (plain_ && bitCount_ == 24) {
            for (int i = 0; i < count; ++i, column.Next()) {
                const std::uint8_t* p = row + 3 * static_cast<std::size_t>(column.Source());
                dst[i] = qRgb(p[2], p[1], p[0]);
            }
        } else {
            for (int i = 0; i < count; ++i, column.Next()) dst[i] = toRgb32(codec_.Decode(row, column.Source()));
        }
    }

private:
    const vem::TBitmapImage& store_;
    vem::PixelCodec codec_;
    bool plain_;
    int bitCount_;
};

// Fills AREA (screen coordinates) band by band: FILL(Y, DST) writes the
// area's width of pixels of screen row Y.
template <class Fill>
void drawBands(QPainter& painter, const QRect& area, const Fill& fill) {
    if (area.isEmpty()) return;
    QImage band(area.width(), std::min(BandRows, area.height()), QImage::Format_RGB32);
    if (band.isNull()) return;
    for (int top = area.top(); top <= area.bottom(); top += band.height()) {
        const int rows = std::min(band.height(), area.bottom() + 1 - top);
        for (int r = 0; r < rows; ++r) fill(top + r, reinterpret_cast<QRgb*>(band.scanLine(r)));
        painter.drawImage(QPoint(area.left(), top), band, QRect(0, 0, area.width(), rows));
    }
}

QRect pictureRect(const vem::TBitmapImage& store) { return QRect(0, 0, store.Width, store.Height()); }

// A buffer for one paint call; a size that cannot be had leaves the area
// undrawn, as a band that cannot be had does.
template <class T>
std::unique_ptr<T[]> paintBuffer(qint64 count) {
    return std::unique_ptr<T[]>(new (std::nothrow) T[static_cast<std::size_t>(count)]());
}

// The first source pixel of each screen pixel FIRST .. FIRST+COUNT-1 of a
// source of SIZE pixels shown over SHOWN screen pixels, and after them where
// the last box ends: the source's end for the last screen pixel shown.
// Clamped into the source, for reduced copies a little short of the picture.
void boxStarts(const TZoom& zoom, qint64 first, int count, qint64 size, qint64 shown, qint64* starts) {
    for (int i = 0; i <= count; ++i) starts[i] = std::min(zoom.Source(first + i), size - 1);
    if (first + count == shown) starts[count] = size;
}

// At and above 100 %: every screen pixel shows the picture pixel its leading
// edge lies on. A picture row is decoded and spread once, then copied to the
// screen rows that repeat it.
void drawEnlarged(QPainter& painter, const vem::TBitmapImage& store, const TZoom& zoom, const QRect& area) {
    const qint64 first = zoom.Source(area.left());
    const qint64 span = zoom.Source(area.right()) - first + 1;
    auto decoded = paintBuffer<QRgb>(span);
    auto line = paintBuffer<QRgb>(area.width());
    auto columns = paintBuffer<int>(area.width());
    if (!decoded || !line || !columns) return;
    for (int i = 0; i < area.width(); ++i) columns[i] = static_cast<int>(zoom.Source(area.left() + i) - first);
    const RowConverter convert(store);
    qint64 lineRow = -1;
    drawBands(painter, area, [&](int y, QRgb* dst) {
        const qint64 row = zoom.Source(y);
        if (row != lineRow) {
            convert.Columns(static_cast<int>(row), static_cast<int>(first), static_cast<int>(span), decoded.get());
            for (int i = 0; i < area.width(); ++i) line[i] = decoded[columns[i]];
            lineRow = row;
        }
        std::memcpy(dst, line.get(), static_cast<std::size_t>(area.width()) * sizeof(QRgb));
    });
}

// Below 100 %: every screen pixel shows the rounded mean of the source pixels
// in its box, so thin lines and noise fade rather than vanish. The source is
// the picture (ZOOM its own) or one of its reduced copies (ZOOM scaled to it),
// WIDTH x HEIGHT pixels whose rows ROWOF(Y, FIRST, COUNT, OUT) decodes; SHOWN
// is the picture's size on the screen.
template <class RowOf>
void drawAveraged(QPainter& painter, const RowOf& rowOf, qint64 width, qint64 height, const TZoom& zoom,
                  QSize shown, const QRect& area) {
    const int w = area.width();
    auto starts = paintBuffer<qint64>(w + 1);
    if (!starts) return;
    boxStarts(zoom, area.left(), w, width, shown.width(), starts.get());
    const qint64 first = starts[0];
    const qint64 span = starts[w] - first;
    auto decoded = paintBuffer<QRgb>(span);
    auto sums = paintBuffer<std::uint64_t>(3 * static_cast<qint64>(w));
    if (!decoded || !sums) return;
    drawBands(painter, area, [&](int y, QRgb* dst) {
        qint64 rows[2];
        boxStarts(zoom, y, 1, height, shown.height(), rows);
        rows[1] = std::max(rows[1], rows[0] + 1);
        std::fill_n(sums.get(), 3 * static_cast<qint64>(w), 0);
        for (qint64 row = rows[0]; row < rows[1]; ++row) {
            if constexpr (requires { rowOf.Bgr(0); }) {
                // Rows of blue, green, red bytes are added as they lie.
                const std::uint8_t* bgr = rowOf.Bgr(static_cast<int>(row));
                for (int i = 0; i < w; ++i) {
                    std::uint64_t* sum = sums.get() + 3 * i;
                    const std::uint8_t* end = bgr + 3 * std::max(starts[i + 1], starts[i] + 1);
                    for (const std::uint8_t* p = bgr + 3 * starts[i]; p < end; p += 3) {
                        sum[0] += p[2];
                        sum[1] += p[1];
                        sum[2] += p[0];
                    }
                }
                continue;
            } else {
                rowOf(static_cast<int>(row), first, span, decoded.get());
            }
            for (int i = 0; i < w; ++i) {
                std::uint64_t* sum = sums.get() + 3 * i;
                const QRgb* end = decoded.get() + (std::max(starts[i + 1], starts[i] + 1) - first);
                for (const QRgb* px = decoded.get() + (starts[i] - first); px < end; ++px) {
                    sum[0] += static_cast<std::uint64_t>(qRed(*px));
                    sum[1] += static_cast<std::uint64_t>(qGreen(*px));
                    sum[2] += static_cast<std::uint64_t>(qBlue(*px));
                }
            }
        }
        // Dividing by a box's size is the costliest step of a pixel: for a
        // box of fewer than 2^16 pixels, whose rounded sums stay below 2^24,
        // multiplying by 2^40 / size rounded up and keeping the top bits gives
        // exactly the quotient. Neighbouring boxes mostly share a size.
        std::uint64_t lastCount = 0, reciprocal = 0;
        for (int i = 0; i < w; ++i) {
            const qint64 across = std::max<qint64>(starts[i + 1] - starts[i], 1);
            const auto count = static_cast<std::uint64_t>(across * (rows[1] - rows[0]));
            const std::uint64_t* sum = sums.get() + 3 * i;
            if (count < (std::uint64_t(1) << 16)) {
                if (count != lastCount) {
                    lastCount = count;
                    reciprocal = (std::uint64_t(1) << 40) / count + 1;
                }
                const auto mean = [&](int c) { return static_cast<int>(((sum[c] + count / 2) * reciprocal) >> 40); };
                dst[i] = qRgb(mean(0), mean(1), mean(2));
            } else {
                const auto mean = [&](int c) { return static_cast<int>((sum[c] + count / 2) / count); };
                dst[i] = qRgb(mean(0), mean(1), mean(2));
            }
        }
    });
}

// Below 100 % on a big picture: from the reduced copy of the largest shrink
// that a screen pixel still covers whole, when the store has one.
void drawReduced(QPainter& painter, const vem::TBitmapImage& store, const TZoom& zoom, QSize shown, const QRect& area) {
    int shift = 0;
    while (shift < 30 && (zoom.Num() << (shift + 1)) <= zoom.Den()) ++shift;
    const vem::TReducedLevel* level = shift > 0 ? vem::ReducedCopiesOf(store).Level(shift) : nullptr;
    if (!level && store.Plain24()) {
        struct StoreRows {
            const vem::TBitmapImage& store;
            const std::uint8_t* Bgr(int y) const { return store.PictureRow(y); }
        } rowOf{store};
        drawAveraged(painter, rowOf, store.Width, store.Height(), zoom, shown, area);
        return;
    }
    if (!level) {
        const RowConverter convert(store);
        const auto rowOf = [&](int y, qint64 first, qint64 span, QRgb* out) {
            convert.Columns(y, static_cast<int>(first), static_cast<int>(span), out);
        };
        drawAveraged(painter, rowOf, store.Width, store.Height(), zoom, shown, area);
        return;
    }
    struct LevelRows {
        const vem::TReducedLevel* level;
        const std::uint8_t* Bgr(int y) const { return level->Row(y); }
    } rowOf{level};
    drawAveraged(painter, rowOf, level->Width, level->Height, TZoom(zoom.Num() << level->Shift, zoom.Den()), shown,
                 area);
}

} // namespace

bool CanDrawPicture(const vem::TPicture& picture) { return readableStore(picture) != nullptr; }

int ScaledSource(qint64 i, qint64 source, qint64 dest) {
    // The centre of screen pixel I lies at (I + 1/2) * SOURCE / DEST in the
    // picture; in integers, without rounding twice.
    return static_cast<int>(((2 * i + 1) * source) / (2 * dest));
}

void DrawPicture(QPainter& painter, const vem::TPicture& picture, const QRect& exposed) {
    const vem::TBitmapImage* store = readableStore(picture);
    if (!store) return;
    const QRect area = exposed & pictureRect(*store);
    const RowConverter convert(*store);
    drawBands(painter, area, [&](int y, QRgb* dst) { convert.Columns(y, area.left(), area.width(), dst); });
}

void DrawPictureScaled(QPainter& painter, const vem::TPicture& picture, const QRect& dest, const QRect& exposed) {
    const vem::TBitmapImage* store = readableStore(picture);
    if (!store || dest.isEmpty()) return;
    const QRect area = exposed & dest;
    const RowConverter convert(*store);
    const qint64 firstColumn = area.left() - dest.left();
    drawBands(painter, area, [&](int y, QRgb* dst) {
        const int source = ScaledSource(y - dest.top(), store->Height(), dest.height());
        convert.Samples(source, firstColumn, area.width(), dest.width(), dst);
    });
}

void DrawPictureZoomed(QPainter& painter, const vem::TPicture& picture, const TZoom& zoom, const QRect& exposed) {
    const vem::TBitmapImage* store = readableStore(picture);
    if (!store) return;
    const QRect shown(0, 0, static_cast<int>(zoom.Scaled(store->Width)), static_cast<int>(zoom.Scaled(store->Height())));
    const QRect area = exposed & shown;
    if (area.isEmpty()) return;
    if (zoom.Reduces())
        drawReduced(painter, *store, zoom, shown.size(), area);
    else
        drawEnlarged(painter, *store, zoom, area);
}

QImage PictureToQImage(const vem::TPicture& picture, const QRect& source) {
    const vem::TBitmapImage* store = readableStore(picture);
    if (!store) return QImage();
    const QRect area = source & pictureRect(*store);
    if (area.isEmpty()) return QImage();
    QImage image(area.size(), QImage::Format_RGB32);
    if (image.isNull()) return QImage();
    const RowConverter convert(*store);
    for (int r = 0; r < area.height(); ++r)
        convert.Columns(area.top() + r, area.left(), area.width(), reinterpret_cast<QRgb*>(image.scanLine(r)));
    return image;
}

QImage PictureToQImage(const vem::TPicture& picture) {
    const vem::TBitmapImage* store = readableStore(picture);
    return store ? PictureToQImage(picture, pictureRect(*store)) : QImage();
}

TPictureView::TPictureView(vem::TImage& image, QWidget* parent) : QWidget(parent), image_(&image) {
    setFixedSize(image.Width(), image.Height());
}

TPictureView::TPictureView(int width, int height, QWidget* parent)
    : QWidget(parent), own_(std::make_unique<vem::TImage>(width, height)), image_(own_.get()) {
    resize(width, height);
    own_->OnChange = [this] { update(); };
}

TPictureView::~TPictureView() {
    if (own_) own_->OnChange = nullptr;
}

void TPictureView::PictureChanged() { update(); }

bool TPictureView::DrawFailed() const {
    const vem::TPicture& picture = image_->Picture();
    return dynamic_cast<const vem::TBitmap*>(picture.Graphic()) && picture.Width() > 0 && picture.Height() > 0 &&
           !CanDrawPicture(picture);
}

// Only the rectangles the event exposes are converted: after a scroll that is
// the strip coming into view, not the picture. Drawing never reaches the
// error box: a picture that cannot be drawn leaves its area blank, or says
// so where the view is asked to.
void TPictureView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (saysWhenInvalid_ && DrawFailed()) {
        painter.drawText(rect(), Qt::AlignCenter, QString::fromUtf8("画像が不正です"));
        return;
    }
    const vem::TPicture& picture = image_->Picture();
    const vem::TRect r = image_->DestRect(width(), height());
    const QRect dest(r.Left, r.Top, r.Width(), r.Height());
    const bool unscaled = dest.width() == picture.Width() && dest.height() == picture.Height();
    for (const QRect& exposed : event->region()) {
        if (!zoom_.IsOne()) {
            DrawPictureZoomed(painter, picture, zoom_, exposed);
            continue;
        }
        if (!unscaled) {
            DrawPictureScaled(painter, picture, dest, exposed);
            continue;
        }
        painter.save();
        painter.translate(dest.topLeft());
        DrawPicture(painter, picture, exposed.translated(-dest.topLeft()));
        painter.restore();
    }
}

void TPictureView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (own_) own_->SetBounds(width(), height());
}

void TPictureView::mousePressEvent(QMouseEvent* event) { press(event); }

// The second press of a double click arrives here instead of as a press.
void TPictureView::mouseDoubleClickEvent(QMouseEvent* event) {
    press(event);
    if (event->button() == Qt::LeftButton) emit DoubleClicked();
}

void TPictureView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !leftPressed_) return;
    leftPressed_ = false;
    if (rect().contains(event->position().toPoint())) emit Clicked();
}

void TPictureView::press(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton) leftPressed_ = true;
    // Through the drawing's own mapping, so the pixel picked is the one drawn
    // under the pointer; at 100 % that is the pixel under the pointer rounded
    // down, never to nearest, so a press on the last column never names the
    // column past the picture.
    const QPointF pos = event->position();
    const vem::TPicture& picture = image_->Picture();
    const auto pick = [](qint64 v) { return static_cast<int>(std::min<qint64>(v, INT_MAX)); };
    emit Pressed(event->button(), pick(zoom_.Pick(pos.x(), picture.Width())),
                 pick(zoom_.Pick(pos.y(), picture.Height())));
}

void TPictureView::SetZoom(const TZoom& zoom) {
    if (zoom == zoom_) return;
    zoom_ = zoom;
    update();
}

// Ctrl with the wheel zooms, one step per notch (a touchpad's small turns add
// up to notches); the plain wheel goes on to the client area, which scrolls.
void TPictureView::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) {
        event->ignore();
        return;
    }
    event->accept();
    wheelTurn_ += event->angleDelta().y();
    const int notches = wheelTurn_ / QWheelEvent::DefaultDeltasPerStep;
    wheelTurn_ -= notches * QWheelEvent::DefaultDeltasPerStep;
    if (notches != 0) emit ZoomWheel(notches, event->position());
}

} // namespace vemui
