// The image list shared by the tool bar, the menus and the actions: 18 glyphs
// of 16 x 16 pixels, drawn in code so the program ships no image files.
#pragma once

#include <QIcon>
#include <QObject>
#include <QPixmap>
#include <QVector>

namespace vemui {

// Numbers of the glyphs that have a fixed meaning.
enum GlyphIndex {
    glCut = 0,
    glCopy = 1,
    glPaste = 2,
    glNew = 6,
    glOpen = 7,       // an opening folder
    glSave = 8,       // a floppy disk
    glConvert = 13,   // a magnifying glass with two red circular arrows
    glTileHorz = 15,  // two windows one above the other
    glTileVert = 16,  // two windows side by side
    glCascade = 17,   // three cascaded windows
};

inline constexpr int GlyphCount = 18;
inline constexpr int GlyphSize = 16;

// Draws glyph Index (0 .. GlyphCount-1) on a transparent 16 x 16 pixmap;
// any other index gives a null pixmap. Needs a QGuiApplication.
QPixmap DrawGlyph(int index);

// The image list object of the main window ("ImageList1").
class TImageList : public QObject {
    Q_OBJECT
public:
    explicit TImageList(QObject* owner);
    int Count() const { return static_cast<int>(glyphs_.size()); }
    // The glyph as an icon; a null icon for an index outside the list.
    QIcon Icon(int index) const;
    QPixmap Pixmap(int index) const;

private:
    QVector<QPixmap> glyphs_;
};

} // namespace vemui
