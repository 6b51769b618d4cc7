// The image window: one MDI child presenting one slot of the workspace.
#pragma once

#include <QMdiSubWindow>
#include <QRect>
#include <QString>
#include <QWidget>

#include "core/workspace/Workspace.h"
#include "PictureView.h"

// Base of the three image windows; never instantiated itself. The slot lives
// in the main window's workspace and outlives the window's hiding: the close
// box only hides the window. The window knows nothing of its owner: the owner
// adds it to its MDI area and connects its Pressed signal.
class TMDIChild : public QMdiSubWindow {
    Q_OBJECT
public:
    ~TMDIChild() override;

    virtual QString KindName() const;
    vem::TImageSlot& Slot() const { return slot_; }
    vemui::TPictureView* Image1() const { return image1_; }
    // Client area size the window wants: the picture control's size at the
    // window's zoom, rounded up.
    QSize ClientSize() const;
    // Draws the picture at ZOOM and sizes the window to match.
    void SetZoom(const vemui::TZoom& zoom);
    const vemui::TZoom& Zoom() const { return image1_->Zoom(); }
    // The width the window needs so that its title bar shows the whole caption.
    int TitleBarWidth() const;
    // The frame around the client area, and never narrower than the caption
    // needs: the size that fitting and cascading give the window.
    QSize sizeHint() const override;

    // A press on the picture control at picture pixel (X, Y): passed on as Pressed.
    void Image1MouseDown(Qt::MouseButton button, int x, int y);

signals:
    void Pressed(vem::TImageSlot& slot, Qt::MouseButton button, int x, int y);

protected:
    // A tool-window frame with the slot's first caption and the object name
    // "MDIChildN" of slot N; the owner adds it to its MDI area and shows it.
    explicit TMDIChild(vem::TImageSlot& slot);
    // The kind name of the window's slot, which each of the three windows gives.
    QString SlotKindName() const;
    // FormClose: the window hides instead of closing.
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    vem::TImageSlot& slot_;
    QWidget* client_;
    vemui::TPictureView* image1_;
    // A resize asked for while minimised, applied when the window is restored.
    bool fitPending_ = false;
    // Where the window stood before it was minimised.
    QRect normalGeometry_;
    void imageChanged();
    void captionChanged();
    void fitToContent();
};
