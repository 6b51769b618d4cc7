// The main window's image windows: how each joins the MDI area, what a press
// on its picture does, the window commands and the window list of the
// "ウィンドウ(&W)" menu.
#include <algorithm>

#include <QAction>
#include <QCheckBox>
#include <QMdiArea>
#include <QMenu>
#include <QPushButton>

#include "ErrorDisplay.h"
#include "ImageWindow.h"
#include "MainForm.h"

void TMainForm::AddImageWindow(TMDIChild* child) {
    MdiArea->addSubWindow(child);
    children_.push_back(child);
    connect(child, &TMDIChild::Pressed, this, [this](vem::TImageSlot& slot, Qt::MouseButton button, int x, int y) {
        vemui::Guarded([&] { PictureMouseDown(slot, button, x, y); });
    });
    connect(child->Image1(), &vemui::TPictureView::ZoomWheel, this, [this, child](int notches, QPointF pos) {
        vemui::Guarded([&] { ZoomAround(child, notches, pos); });
    });
    child->SetZoom(zoom_);
}

TMDIChild* TMainForm::windowOf(const vem::TImageSlot& slot) const {
    for (TMDIChild* c : children_)
        if (&c->Slot() == &slot) return c;
    return nullptr;
}

void TMainForm::PictureMouseDown(vem::TImageSlot& slot, Qt::MouseButton button, int x, int y) {
    vem::TMouseButton pressed;
    switch (button) {
    case Qt::LeftButton: pressed = vem::TMouseButton::mbLeft; break;
    case Qt::RightButton: pressed = vem::TMouseButton::mbRight; break;
    case Qt::MiddleButton: pressed = vem::TMouseButton::mbMiddle; break;
    default: return;
    }
    // The result goes back through the two buttons, exactly as the user's
    // clicks on them would.
    auto press = [&] {
        if (Workspace.Image1MouseDown(slot, pressed, x, y, CheckBox1->isChecked(), false) && CheckBox2->isChecked()) {
            Button3->click();
            Button2->click();
        }
    };
    // The gesture and its copies are one step; a pick changes no picture.
    if (pressed == vem::TMouseButton::mbRight && CheckBox1->isChecked())
        History.Run(press);
    else
        press();
}

QVector<TMDIChild*> TMainForm::arrangeable() const {
    // Hidden windows (closed by their close box) and minimised ones keep
    // their places; a maximised one is restored first.
    QVector<TMDIChild*> result;
    for (TMDIChild* c : children_) {
        if (c->isHidden() || c->isMinimized()) continue;
        if (c->isMaximized()) c->showNormal();
        result.push_back(c);
    }
    return result;
}

void TMainForm::CascadeWindows() { MdiArea->cascadeSubWindows(); }

void TMainForm::TileHorizontal() { tile(Qt::Horizontal); }

void TMainForm::TileVertical() { tile(Qt::Vertical); }

void TMainForm::tile(Qt::Orientation bands) {
    const QVector<TMDIChild*> windows = arrangeable();
    if (windows.isEmpty()) return;
    ArrangeIcons();
    QRect area = MdiArea->viewport()->rect();
    // Leave the row of minimised windows along the bottom uncovered.
    int iconTop = area.bottom() + 1;
    for (TMDIChild* c : children_)
        if (c->isVisible() && c->isMinimized()) iconTop = std::min(iconTop, c->y());
    if (iconTop > area.top()) area.setBottom(iconTop - 1);

    const qint64 n = windows.size();
    for (qint64 i = 0; i < n; ++i) {
        QRect r;
        if (bands == Qt::Horizontal) {
            const int top = area.top() + static_cast<int>(area.height() * i / n);
            const int bottom = area.top() + static_cast<int>(area.height() * (i + 1) / n);
            r = QRect(area.left(), top, area.width(), bottom - top);
        } else {
            const int left = area.left() + static_cast<int>(area.width() * i / n);
            const int right = area.left() + static_cast<int>(area.width() * (i + 1) / n);
            r = QRect(left, area.top(), right - left, area.height());
        }
        windows[i]->setGeometry(r);
    }
}

void TMainForm::MinimizeAll() {
    for (TMDIChild* c : children_)
        if (!c->isHidden()) c->showMinimized();
}

void TMainForm::ArrangeIcons() {
    const QRect area = MdiArea->viewport()->rect();
    int x = area.left();
    int rowBottom = area.bottom() + 1;
    int rowHeight = 0;
    for (TMDIChild* c : children_) {
        if (c->isHidden() || !c->isMinimized()) continue;
        const QSize s = c->size();
        if (x > area.left() && x + s.width() > area.right() + 1) {
            x = area.left();
            rowBottom -= rowHeight;
            rowHeight = 0;
        }
        c->move(x, rowBottom - s.height());
        x += s.width();
        rowHeight = std::max(rowHeight, s.height());
    }
}

void TMainForm::UpdateWindowList() {
    for (QAction* a : windowListItems_) {
        Window1->removeAction(a);
        delete a;
    }
    windowListItems_.clear();
    if (children_.isEmpty()) return;

    QAction* separator = Window1->addSeparator();
    separator->setObjectName(QStringLiteral("WindowListSeparator"));
    windowListItems_.push_back(separator);
    QMdiSubWindow* active = MdiArea->activeSubWindow();
    int number = 1;
    for (TMDIChild* c : children_) {
        const QString caption = c->windowTitle();
        // The number is the item's accelerator for the first nine windows.
        const QString text = number < 10 ? QStringLiteral("&%1 %2").arg(number).arg(caption)
                                         : QStringLiteral("%1 %2").arg(number).arg(caption);
        QAction* item = Window1->addAction(text);
        item->setObjectName(QStringLiteral("WindowListItem%1").arg(number));
        item->setCheckable(true);
        item->setChecked(c == active && c->isVisible());
        connect(item, &QAction::triggered, this, [this, c] {
            vemui::Guarded([&] {
                if (c->isHidden()) c->show();
                if (c->isMinimized()) c->showNormal();
                MdiArea->setActiveSubWindow(c);
            });
        });
        windowListItems_.push_back(item);
        ++number;
    }
}
