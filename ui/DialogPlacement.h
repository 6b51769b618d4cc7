// Where the program's common dialogs (open, save, colour) appear: on the
// monitor of the window the user is working in, centred across and one third
// of the free height down.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QScreen;
class QWidget;

namespace vemui {

// The top-left corner of a dialog window of SIZE (frame included) placed on
// MONITOR: left = monitor left + (monitor width - width) / 2 rounded down,
// top = monitor top + (monitor height - height) / 3 rounded toward zero. The
// two roundings differ only for a dialog larger than the monitor.
QPoint CommonDialogTopLeft(const QRect& monitor, const QSize& size);

// The screen whose monitor a common dialog opening now belongs on: that of the
// active window other than DIALOG itself, else the program's main window,
// else the primary screen. Null only when no screen exists at all.
QScreen* CommonDialogScreen(const QWidget* dialog);

// Moves DIALOG (without resizing or activating it) to CommonDialogTopLeft on
// the whole area of CommonDialogScreen's monitor. The whole monitor, not its
// area free of panels, is what the rule measures; the colour dialog measures
// the same way, so all three dialogs line up.
void PlaceCommonDialog(QWidget* dialog);

// Places DIALOG by PlaceCommonDialog every time it is about to appear: after
// its layout has given it its size, before the window is mapped. The filter
// doing so is a child of DIALOG and goes with it.
void PlaceCommonDialogWhenShown(QWidget* dialog);

} // namespace vemui
