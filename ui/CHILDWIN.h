// The image window: one MDI child presenting one slot of the workspace.
#pragma once

#include <QMdiSubWindow>
#include <QRect>
#include <QString>
#include <QWidget>

#include "core/Workspace.h"

class TMainForm;
class TMDIChild;

// The picture control: draws the slot's picture unscaled at its top-left,
// clipped to its own size (the slot's extent), straight from the slot's pixel
// store and only where a paint event exposes it, and reports mouse presses in
// picture coordinates.
class TImageControl : public QWidget {
    Q_OBJECT
public:
    TImageControl(TMDIChild* owner, const vem::TImage& image, QWidget* parent);
    // The picture changed: the whole control is repainted.
    void PictureChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    // The second press of a double click arrives here instead of as a press.
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    TMDIChild* owner_;
    const vem::TImage& image_;
    void press(QMouseEvent* event);
};

// Base of the three image windows; never instantiated itself. The slot lives
// in the main window's workspace and outlives the window's hiding: the close
// box only hides the window.
class TMDIChild : public QMdiSubWindow {
    Q_OBJECT
public:
    ~TMDIChild() override;

    virtual QString KindName() const;
    vem::TImageSlot& Slot() const { return slot_; }
    TImageControl* Image1() const { return image1_; }
    // Client area size the window wants: the picture control's size.
    QSize ClientSize() const;

    // A press on the picture control at picture pixel (X, Y).
    void Image1MouseDown(Qt::MouseButton button, int x, int y);

protected:
    // Adds itself to Owner's MDI area with a tool-window frame and the slot's
    // first caption; the caller shows it.
    TMDIChild(TMainForm* owner, vem::TImageSlot& slot);
    // FormClose: the window hides instead of closing.
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    TMainForm* owner_;
    vem::TImageSlot& slot_;
    QWidget* client_;
    TImageControl* image1_;
    // A resize asked for while minimised, applied when the window is restored.
    bool fitPending_ = false;
    // Where the window stood before it was minimised.
    QRect normalGeometry_;
    void imageChanged();
    void captionChanged();
    void fitToContent();
};
