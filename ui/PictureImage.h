// The one place where the core's pixels reach the screen. A window shows at
// most a screenful of a picture of any size, so nothing here converts more
// than the part a paint event exposes: the windows draw straight from the
// slot's pixel store, and no display copy of a whole picture is ever kept.
#pragma once

#include <QImage>
#include <QRect>

#include "core/Picture.h"

class QPainter;

namespace vemui {

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
