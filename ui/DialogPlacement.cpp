#include "DialogPlacement.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "ErrorDisplay.h"

namespace vemui {
namespace {

// Integer division rounded toward minus infinity (C++ rounds toward zero).
int floorDiv(int a, int b) {
    const int q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

class PlaceOnShow : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched == parent()) PlaceCommonDialog(static_cast<QWidget*>(watched));
        return false;
    }
};

} // namespace

QPoint CommonDialogTopLeft(const QRect& monitor, const QSize& size) {
    return QPoint(monitor.left() + floorDiv(monitor.width() - size.width(), 2),
                  monitor.top() + (monitor.height() - size.height()) / 3);
}

QScreen* CommonDialogScreen(const QWidget* dialog) {
    const QWidget* reference = QApplication::activeWindow();
    if (!reference || reference == dialog) reference = ApplicationWindow();
    if (reference && reference != dialog)
        if (QScreen* screen = reference->screen()) return screen;
    return QGuiApplication::primaryScreen();
}

void PlaceCommonDialog(QWidget* dialog) {
    if (!dialog) return;
    QScreen* screen = CommonDialogScreen(dialog);
    if (!screen) return;
    dialog->move(CommonDialogTopLeft(screen->geometry(), dialog->frameGeometry().size()));
}

void PlaceCommonDialogWhenShown(QWidget* dialog) {
    if (dialog) dialog->installEventFilter(new PlaceOnShow(dialog));
}

} // namespace vemui
