// The finished picture as a PNG file with real transparency, for programs
// that take a cut-out (page layouts, slides, games, web pages) rather than a
// picture with a background colour painted in.
#pragma once

#include <functional>
#include <string>

#include "core/pixels/Bitmap.h"
#include "core/pixels/Color.h"
#include "core/workspace/Workspace.h"

namespace vem {

// Called after each row written, with the number of rows done so far.
using RowsDone = std::function<void(int rows)>;

// Writes BITMAP as an 8-bit RGBA PNG to exactly FILENAME, safely (see
// TSafeFileWriter): a failure leaves any old file untouched.
// - Each pixel's RGB is its colour read through the bitmap's own depth, as
//   the pixel rules read it; it is never premultiplied, so a transparent
//   pixel keeps its colour.
// - Alpha is 0 where that colour equals KEY as the bitmap's depth stores it
//   (what painting KEY into the bitmap leaves there: KEY itself in 24 and 32
//   bits, the nearest table entry or the narrowed channels in the others),
//   255 everywhere else.
// Failures: the file's create error (EFCreateError), EWriteError for a short
// or failed write, EOutOfMemory. A bitmap without pixels writes nothing: a
// PNG cannot be empty.
void SaveTransparentPng(const TBitmap& bitmap, TColor key, const std::string& fileName,
                        const RowsDone& rowsDone = {});

// The export command: the finished slot's picture with the settings'
// background colour transparent. While it runs, OnCaption receives TitleText
// and the percentage done (each text once), as a conversion's progress; when
// it ends, by success or failure, TitleText alone. A finished picture that is
// no bitmap with pixels (nothing loaded yet, an icon, a metafile) writes
// nothing, as the save writes nothing for a picture without a graphic.
void ExportFinishedPng(TWorkspace& ws, const std::string& fileName);

} // namespace vem
