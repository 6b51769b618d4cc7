#include "Glyphs.h"

#include <cmath>

#include <QPainter>
#include <QPainterPath>

namespace vemui {

namespace {

const QColor kInk(0, 0, 0);
const QColor kPaper(255, 255, 255);
const QColor kWindowBlue(0, 0, 128);
const QColor kFolder(230, 190, 60);
const QColor kFolderDark(160, 120, 20);

// A small window: a white body with a dark blue title bar, outlined in black.
void drawWindow(QPainter& p, const QRect& r) {
    p.setPen(kInk);
    p.setBrush(kPaper);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.fillRect(QRect(r.left() + 1, r.top() + 1, r.width() - 2, 2), kWindowBlue);
}

void drawPage(QPainter& p, const QRect& r) {
    p.setPen(kInk);
    p.setBrush(kPaper);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.setPen(QColor(128, 128, 128));
    for (int y = r.top() + 3; y < r.bottom() - 1; y += 2) p.drawLine(r.left() + 2, y, r.right() - 2, y);
}

void drawOpenFolder(QPainter& p) {
    p.setPen(kFolderDark);
    p.setBrush(kFolder);
    p.drawRect(1, 4, 11, 9);                 // the back of the folder
    p.drawRect(1, 3, 4, 1);                  // its tab
    QPolygon front;                          // the flap swinging open
    front << QPoint(3, 7) << QPoint(15, 7) << QPoint(12, 14) << QPoint(1, 14);
    p.setBrush(QColor(250, 220, 110));
    p.drawPolygon(front);
    p.setPen(kInk);                          // an arrow leaving the folder
    p.drawLine(10, 1, 14, 1);
    p.drawLine(14, 1, 14, 4);
    p.drawLine(13, 3, 15, 3);
}

void drawFloppy(QPainter& p) {
    p.setPen(kInk);
    p.setBrush(QColor(40, 40, 140));
    p.drawRect(1, 1, 13, 13);
    p.setBrush(kPaper);
    p.drawRect(3, 1, 9, 5);                  // the label
    p.setBrush(QColor(190, 190, 190));
    p.drawRect(4, 9, 7, 5);                  // the metal shutter
    p.fillRect(8, 10, 2, 3, kInk);
}

void drawConvert(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    QPen red(QColor(220, 0, 0), 1.5);
    p.setPen(red);
    p.setBrush(Qt::NoBrush);
    // Two circular arrows around the glass, one on each side.
    p.drawArc(QRectF(1.5, 1.5, 13, 13), 30 * 16, 120 * 16);
    p.drawArc(QRectF(1.5, 1.5, 13, 13), 210 * 16, 120 * 16);
    p.setBrush(QColor(220, 0, 0));
    p.setPen(Qt::NoPen);
    p.drawPolygon(QPolygonF() << QPointF(1, 5) << QPointF(5, 5) << QPointF(3, 8));
    p.drawPolygon(QPolygonF() << QPointF(15, 11) << QPointF(11, 11) << QPointF(13, 8));
    // The magnifying glass in the middle.
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(QColor(200, 230, 255));
    p.drawEllipse(QRectF(4.5, 4.5, 5.5, 5.5));
    p.setPen(QPen(kInk, 2.0));
    p.drawLine(QPointF(9.5, 9.5), QPointF(12, 12));
}

void drawScissors(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(kInk, 1.2));
    p.drawLine(QPointF(4, 1), QPointF(10, 10));
    p.drawLine(QPointF(12, 1), QPointF(6, 10));
    p.setPen(QPen(QColor(0, 0, 160), 1.2));
    p.drawEllipse(QRectF(2, 10, 4, 4));
    p.drawEllipse(QRectF(10, 10, 4, 4));
}

void drawClipboard(QPainter& p) {
    p.setPen(kInk);
    p.setBrush(QColor(170, 120, 60));
    p.drawRect(2, 2, 10, 12);
    p.setBrush(QColor(190, 190, 190));
    p.drawRect(5, 1, 4, 2);
    drawPage(p, QRect(7, 6, 8, 10));
}

void drawArrow(QPainter& p, bool right) {
    p.setPen(kInk);
    p.setBrush(QColor(0, 150, 0));
    QPolygon a;
    if (right)
        a << QPoint(2, 6) << QPoint(8, 6) << QPoint(8, 2) << QPoint(14, 8) << QPoint(8, 14) << QPoint(8, 10)
          << QPoint(2, 10);
    else
        a << QPoint(14, 6) << QPoint(8, 6) << QPoint(8, 2) << QPoint(2, 8) << QPoint(8, 14) << QPoint(8, 10)
          << QPoint(14, 10);
    p.drawPolygon(a);
}

void drawSimpleShape(QPainter& p, int index) {
    p.setRenderHint(QPainter::Antialiasing, true);
    switch (index) {
    case 3: // a question mark in a circle: help
        p.setPen(kInk);
        p.setBrush(QColor(255, 255, 160));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
        break;
    case 4: { // a printer
        p.setRenderHint(QPainter::Antialiasing, false);
        drawPage(p, QRect(4, 1, 8, 6));
        p.setPen(kInk);
        p.setBrush(QColor(190, 190, 190));
        p.drawRect(1, 7, 13, 6);
        p.fillRect(11, 9, 2, 1, QColor(0, 160, 0));
        break;
    }
    case 5: // a red cross: delete
        p.setPen(QPen(QColor(200, 0, 0), 2.5));
        p.drawLine(QPointF(3, 3), QPointF(13, 13));
        p.drawLine(QPointF(13, 3), QPointF(3, 13));
        break;
    case 9: // a green tick
        p.setPen(QPen(QColor(0, 140, 0), 2.5));
        p.drawPolyline(QPolygonF() << QPointF(2, 8) << QPointF(6, 12) << QPointF(14, 3));
        break;
    case 10:
    case 11:
        p.setRenderHint(QPainter::Antialiasing, false);
        drawArrow(p, index == 11);
        break;
    case 12: { // a yellow star
        QPolygonF star;
        for (int i = 0; i < 10; ++i) {
            const double r = (i % 2) ? 3.0 : 7.0;
            const double a = -M_PI / 2 + i * M_PI / 5;
            star << QPointF(8 + r * std::cos(a), 8.5 + r * std::sin(a));
        }
        p.setPen(kFolderDark);
        p.setBrush(QColor(255, 215, 0));
        p.drawPolygon(star);
        break;
    }
    case 14: // a pencil
        p.setPen(kInk);
        p.setBrush(QColor(240, 180, 40));
        p.drawPolygon(QPolygonF() << QPointF(3, 13) << QPointF(4, 10) << QPointF(12, 2) << QPointF(14, 4)
                                  << QPointF(6, 12));
        break;
    default:
        break;
    }
}

} // namespace

QPixmap DrawGlyph(int index) {
    if (index < 0 || index >= GlyphCount) return QPixmap();
    QPixmap pm(GlyphSize, GlyphSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    switch (index) {
    case glCut: drawScissors(p); break;
    case glCopy:
        drawPage(p, QRect(1, 1, 9, 11));
        drawPage(p, QRect(6, 5, 9, 11));
        break;
    case glPaste: drawClipboard(p); break;
    case glNew: drawPage(p, QRect(3, 1, 10, 14)); break;
    case glOpen: drawOpenFolder(p); break;
    case glSave: drawFloppy(p); break;
    case glConvert: drawConvert(p); break;
    case glTileHorz:
        drawWindow(p, QRect(1, 1, 14, 7));
        drawWindow(p, QRect(1, 8, 14, 7));
        break;
    case glTileVert:
        drawWindow(p, QRect(1, 1, 7, 14));
        drawWindow(p, QRect(8, 1, 7, 14));
        break;
    case glCascade:
        drawWindow(p, QRect(1, 1, 9, 8));
        drawWindow(p, QRect(4, 4, 9, 8));
        drawWindow(p, QRect(7, 7, 9, 8));
        break;
    default: drawSimpleShape(p, index); break;
    }
    return pm;
}

TImageList::TImageList(QObject* owner) : QObject(owner) {
    setObjectName(QStringLiteral("ImageList1"));
    for (int i = 0; i < GlyphCount; ++i) glyphs_.push_back(DrawGlyph(i));
}

QIcon TImageList::Icon(int index) const {
    if (index < 0 || index >= Count()) return QIcon();
    return QIcon(glyphs_[index]);
}

QPixmap TImageList::Pixmap(int index) const {
    if (index < 0 || index >= Count()) return QPixmap();
    return glyphs_[index];
}

} // namespace vemui
