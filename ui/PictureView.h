// The one place where the core's pixels reach the screen. A window shows at
// most a screenful of a picture of any size, so nothing here converts more
// than the part a paint event exposes: the windows draw straight from the
// slot's pixel store, and no display copy of a whole picture is ever kept.
#pragma once

#include <memory>

#include <QImage>
#include <QRect>
#include <QWidget>

#include "core/workspace/Picture.h"
#include "Zoom.h"

class QPainter;

namespace vemui {

// The one widget that shows a vem::TImage: the image windows' pictures, the
// settings dialog's colour swatches and the open dialog's preview. It draws
// the image where the image's own placement puts it (DestRect): unscaled at
// the top-left for the windows and the swatches, stretched for the preview.
class TPictureView : public QWidget {
    Q_OBJECT
public:
    // Shows IMAGE, owned elsewhere and outliving the view, at the image's
    // size; the owner calls PictureChanged after each change.
    TPictureView(vem::TImage& image, QWidget* parent);
    // Shows an image of its own, of W x H pixels, which always takes the
    // view's size and repaints the view after each change.
    TPictureView(int width, int height, QWidget* parent);
    ~TPictureView() override;

    vem::TImage& Image() { return *image_; }
    const vem::TImage& Image() const { return *image_; }
    // The picture changed: the whole view is repainted.
    void PictureChanged();
    // A bitmap whose pixels cannot be read says "画像が不正です" in place of
    // the picture (the preview) rather than leaving the area blank.
    void SetSaysWhenInvalid(bool on) { saysWhenInvalid_ = on; }
    // True when the picture on show is a bitmap with a size but no pixels
    // that can be read.
    bool DrawFailed() const;
    // The zoom the picture is drawn at from the view's top-left (100 % at
    // first); the owner sizes the view to match. Presses are mapped through it.
    void SetZoom(const TZoom& zoom);
    const TZoom& Zoom() const { return zoom_; }

signals:
    // Every press, and the second press of a double click, at the picture
    // pixel drawn under the pointer (at 100 %: the view's pixel under the
    // pointer, rounded down). Beyond the picture, a column or row at or past
    // its end.
    void Pressed(Qt::MouseButton button, int x, int y);
    // NOTCHES turns of the wheel with Ctrl held (up positive) at POS in the view.
    void ZoomWheel(int notches, QPointF pos);
    // A left press and a release on the view, as a push button has it.
    void Clicked();
    // A left double click.
    void DoubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    std::unique_ptr<vem::TImage> own_;
    vem::TImage* image_;
    bool saysWhenInvalid_ = false;
    bool leftPressed_ = false;
    TZoom zoom_;
    int wheelTurn_ = 0;
    void press(QMouseEvent* event);
};

// True when the picture holds a bitmap whose store can be read: pixels in a
// known layout and a block as long as its header claims. Everything else
// (no graphic, an icon or a metafile, an empty or damaged bitmap) draws nothing.
bool CanDrawPicture(const vem::TPicture& picture);

// Draws the picture unscaled, its top-left pixel at the painter's origin,
// where EXPOSED (painter coordinates) meets the picture. Reads only the
// exposed rows and columns of the store, as it is: showing a picture never
// unshares or otherwise alters its bitmap. Never raises: a buffer that cannot
// be had leaves the area undrawn.
void DrawPicture(QPainter& painter, const vem::TPicture& picture, const QRect& exposed);

// Draws the picture stretched into DEST where EXPOSED meets it, one picture
// pixel per screen pixel: the one under the centre of that screen pixel
// (ScaledSource). Never raises.
void DrawPictureScaled(QPainter& painter, const vem::TPicture& picture, const QRect& dest, const QRect& exposed);

// Draws the picture at ZOOM from the painter's origin where EXPOSED meets
// it: nearest pixel at and above 100 %, the mean of each screen pixel's box of
// picture pixels below (TZoom::Source). Reads only the rows and columns the
// exposed part shows. Never raises.
void DrawPictureZoomed(QPainter& painter, const vem::TPicture& picture, const TZoom& zoom, const QRect& exposed);

// The source column (or row) that screen pixel I of a span of DEST pixels
// shows from a span of SOURCE pixels: the one under the screen pixel's centre.
// Both spans positive; the result lies in 0 .. SOURCE-1.
int ScaledSource(qint64 i, qint64 source, qint64 dest);

// Pixels SOURCE (picture coordinates, clipped to the picture) of the
// picture's bitmap as a Format_RGB32 image, top row first. A null image when
// nothing can be drawn or the part is empty. For tests and tools: the windows
// draw through DrawPicture.
QImage PictureToQImage(const vem::TPicture& picture, const QRect& source);
// The whole picture as above.
QImage PictureToQImage(const vem::TPicture& picture);

} // namespace vemui
