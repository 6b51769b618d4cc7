// The one place where the core's pixels become a QImage for the screen.
#pragma once

#include <QImage>

#include "core/Picture.h"

namespace vemui {

// The picture's bitmap as a Format_RGB32 image, top row first. A null image
// when the picture holds no graphic, an icon or a metafile, or a bitmap
// without pixels. Reads the store as it is: no change is prepared, so showing
// a picture never unshares or otherwise alters its bitmap.
QImage PictureToQImage(const vem::TPicture& picture);

} // namespace vemui
