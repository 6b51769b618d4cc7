// The main window's zoom: one zoom for the three image windows, so the same
// picture pixel sits at the same place in each, set by the "表示(&V)" menu,
// the zoom box and Ctrl with the wheel over a picture.
#include <algorithm>
#include <cmath>

#include <QComboBox>
#include <QMdiArea>
#include <QScrollBar>

#include "ImageWindow.h"
#include "MainForm.h"

void TMainForm::ViewZoomIn1Execute() { SetZoom(zoom_.Up()); }

void TMainForm::ViewZoomOut1Execute() { SetZoom(zoom_.Down()); }

void TMainForm::ViewActualSize1Execute() { SetZoom(vemui::TZoom()); }

void TMainForm::ViewFitAll1Execute() {
    TileVertical();
    const QVector<TMDIChild*> tiled = arrangeable();
    if (tiled.isEmpty()) return;
    // Fitting never enlarges past the largest step: an empty window's 1 x 1
    // control would otherwise ask for thousands of percent.
    vemui::TZoom fit = vemui::TZoom::Steps().back();
    for (TMDIChild* c : tiled) {
        // The frame's title bar and borders are the window's contents margins.
        const QMargins frame = c->contentsMargins();
        const QSize room = c->size().shrunkBy(frame);
        const vemui::TZoom own =
            vemui::TZoom::Fit(room.width(), room.height(), c->Slot().Image1.Width(), c->Slot().Image1.Height());
        fit = std::min(fit, own);
    }
    SetZoom(fit);
}

void TMainForm::ComboBox2Select(int index) {
    const QVector<vemui::TZoom>& steps = vemui::TZoom::Steps();
    if (index >= 0 && index < steps.size()) SetZoom(steps[index]);
}

void TMainForm::SetZoom(const vemui::TZoom& zoom) {
    zoom_ = zoom;
    for (TMDIChild* c : children_) c->SetZoom(zoom);
    const int step = static_cast<int>(vemui::TZoom::Steps().indexOf(zoom));
    // A zoom between the steps (a fitted one) shows as the box's placeholder.
    if (step < 0) ComboBox2->setPlaceholderText(zoom.Text());
    ComboBox2->setCurrentIndex(step);
}

void TMainForm::ZoomAround(TMDIChild* window, int notches, QPointF pos) {
    vemui::TZoom next = zoom_;
    for (int i = 0; i < std::abs(notches); ++i) next = notches > 0 ? next.Up() : next.Down();
    if (next == zoom_) return;
    QWidget* view = window->Image1();
    QWidget* viewport = MdiArea->viewport();
    const QPointF before = QPointF(view->mapTo(viewport, QPoint(0, 0))) + pos;
    const QPointF picturePoint = pos / zoom_.Factor();
    SetZoom(next);
    const QPointF after = QPointF(view->mapTo(viewport, QPoint(0, 0))) + picturePoint * next.Factor();
    // The windows have grown or shrunk from their top-left corners; scrolling
    // by the difference brings the pixel back under the pointer.
    const QPointF shift = after - before;
    QScrollBar* across = MdiArea->horizontalScrollBar();
    QScrollBar* down = MdiArea->verticalScrollBar();
    across->setValue(across->value() + static_cast<int>(std::lround(shift.x())));
    down->setValue(down->value() + static_cast<int>(std::lround(shift.y())));
}
