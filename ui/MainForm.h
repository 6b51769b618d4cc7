// The main window: the MDI frame holding the three image windows, its tool
// bar, menus and actions, and the commands they run on the workspace.
#pragma once

#include <string>

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <QVector>

#include "core/workspace/History.h"
#include "core/workspace/Workspace.h"
#include "Zoom.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QMdiArea;
class QMenu;
class QMenuBar;
class QPushButton;
class QToolBar;
class QToolButton;
class TMDIChild;

namespace vemui {
class TImageList;
class TAboutBox;
class TOpenPictureDialog;
class TSaveDialog;
} // namespace vemui

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The slots and the settings. Declared before the controls' pointers so
    // that it exists before any image window refers to it.
    vem::TWorkspace Workspace;
    // Every command that changes a picture runs through it, as one step.
    vem::THistory History{Workspace};

    QMenuBar* MainMenu1 = nullptr;
    QMenu* File1 = nullptr;
    QMenu* Window1 = nullptr;
    QAction* N1 = nullptr;
    QAction* FileExitItem = nullptr;
    QAction* WindowCascadeItem = nullptr;
    QAction* WindowTileItem = nullptr;
    QAction* WindowArrangeItem = nullptr;
    QAction* WindowMinimizeItem = nullptr;
    QObject* ActionList1 = nullptr;
    QAction* EditCut1 = nullptr;
    QAction* EditCopy1 = nullptr;
    QAction* EditPaste1 = nullptr;
    QAction* FileNew1 = nullptr;
    QAction* FileSave1 = nullptr;
    QAction* FileExit1 = nullptr;
    QAction* FileOpen1 = nullptr;
    QAction* FileSaveAs1 = nullptr;
    QAction* WindowCascade1 = nullptr;
    QAction* WindowTileHorizontal1 = nullptr;
    QAction* WindowArrangeAll1 = nullptr;
    QAction* WindowMinimizeAll1 = nullptr;
    QAction* HelpAbout1 = nullptr;
    QAction* EditUndo1 = nullptr;
    QAction* EditRedo1 = nullptr;
    QAction* FileClose1 = nullptr;
    QAction* WindowTileVertical1 = nullptr;
    QAction* WindowTileItem2 = nullptr;
    QToolBar* ToolBar2 = nullptr;
    QToolButton* ToolButton1 = nullptr;
    QFrame* ToolButton3 = nullptr;
    QToolButton* ToolButton8 = nullptr;
    QToolButton* ToolButton10 = nullptr;
    QToolButton* ToolButton11 = nullptr;
    vemui::TImageList* ImageList1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QFrame* ToolButton4 = nullptr;
    QToolButton* ToolButton2 = nullptr;
    QFrame* ToolButton5 = nullptr;
    QToolButton* ToolButton12 = nullptr;
    // The open dialog and the save dialog shared by both save commands: one
    // each for the whole run, so each proposes the name accepted last.
    vemui::TOpenPictureDialog* OpenDialog = nullptr;
    vemui::TSaveDialog* SaveDialog = nullptr;
    // The transparent PNG export's own dialog, remembering its own name.
    vemui::TSaveDialog* PngSaveDialog = nullptr;
    QAction* N2 = nullptr;
    // "透過PNGで保存(&P)...": the finished picture as a PNG, the background colour transparent.
    QAction* N5 = nullptr;
    QMenu* N3 = nullptr;
    QAction* N4 = nullptr;
    QAction* N6 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QMdiArea* MdiArea = nullptr;
    // The zoom of the three image windows: the menu "表示(&V)", its actions
    // and the tool bar's zoom box after the last of the design's controls.
    QMenu* View1 = nullptr;
    QAction* ViewZoomIn1 = nullptr;
    QAction* ViewZoomOut1 = nullptr;
    QAction* ViewActualSize1 = nullptr;
    QAction* ViewFitAll1 = nullptr;
    QComboBox* ComboBox2 = nullptr;

    // The tool bar's controls from left to right, separators included: the
    // positions that N2Click and N4Click count.
    QVector<QWidget*> ToolBarControls;

    // --- Handlers ---
    void FormCreate();
    void FileOpen1Execute();
    void FileExit1Execute();
    void HelpAbout1Execute();
    void ToolButton12Click();
    void ToolButton2Click();
    void N2Click();
    void N5Click();
    void N4Click();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void CheckBox1Click();
    void EditUndo1Execute();
    void EditRedo1Execute();
    // Enables "元に戻す(&U)" and "やり直し(&R)" while there is a step for them.
    void UpdateUndoItems();

    // A drop of FILENAMES (full paths, in the order the drop listed them):
    // asks for the target with the load-target dialog, then loads the first
    // file only on OK. Runs as its own event after the drop (see dropEvent).
    void WMDropFiles(const QStringList& fileNames);

    // 1: original and finished, 2: editing, anything else: nothing.
    void LoadByTarget(int target, const QString& fileName);
    // The open command's target: ComboBox1's selected entry plus 1, or 0 when
    // the edited text names no entry.
    int OpenTarget() const;

    // --- Window commands ---
    void CascadeWindows();
    // Full-width bands stacked top to bottom.
    void TileHorizontal();
    // Full-height bands side by side.
    void TileVertical();
    void MinimizeAll();
    // Minimised windows in rows along the bottom of the client area.
    void ArrangeIcons();
    // Rebuilds the window list below the items of "ウィンドウ(&W)".
    void UpdateWindowList();

    // --- Zoom ---
    void ViewZoomIn1Execute();
    void ViewZoomOut1Execute();
    void ViewActualSize1Execute();
    // Tiles the windows side by side, then zooms so that each tiled window's
    // picture control fits its tile, frame included (3200 % at most).
    void ViewFitAll1Execute();
    void ComboBox2Select(int index);
    // Draws every image window at ZOOM, sizes them to match and shows the
    // zoom in the zoom box.
    void SetZoom(const vemui::TZoom& zoom);
    const vemui::TZoom& Zoom() const { return zoom_; }
    // NOTCHES steps up (down when negative) with the pixel of WINDOW's picture
    // under POS (view coordinates) kept under the pointer, by scrolling the
    // client area as far as it scrolls.
    void ZoomAround(TMDIChild* window, int notches, QPointF pos);

    // --- The image windows ---
    // CHILD joins the MDI area (the caller shows it), and its presses reach
    // PictureMouseDown.
    void AddImageWindow(TMDIChild* child);
    // The image windows in creation order.
    const QVector<TMDIChild*>& ImageWindows() const { return children_; }
    // A press on a window's picture of SLOT at picture pixel (X, Y): left
    // picks, right erases when "右クリ近似色" is on (and applies the result
    // when "結果を原画に即反映" is), other buttons do nothing.
    void PictureMouseDown(vem::TImageSlot& slot, Qt::MouseButton button, int x, int y);

protected:
    // Files dragged from a file manager (text/uri-list of local files).
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QVector<TMDIChild*> children_;
    QVector<QAction*> windowListItems_;
    vemui::TZoom zoom_;

    void createActions();
    void createMenus();
    void createToolBar();
    void createMdiArea();
    void createDialogs();
    QAction* newAction(const char* name, const QString& category, const QString& caption, int glyph,
                       const QString& hint);
    QAction* newItem(QMenu* menu, const char* name, QAction* boundTo);
    QToolButton* newGlyphButton(QWidget* bar, const char* name, int left);
    QFrame* newSeparator(QWidget* bar, const char* name, int left, int width);
    void clickToolBarControl(int position);
    void saveSlot(vem::TImageSlot& slot);
    TMDIChild* windowOf(const vem::TImageSlot& slot) const;
    void tile(Qt::Orientation bands);
    QVector<TMDIChild*> arrangeable() const;
};

// The program's forms, reachable from everywhere while the program runs.
extern TMainForm* MainForm;
extern vemui::TAboutBox* AboutBox;

// Start-up in the program's order: MainForm, the hidden AboutBox, then
// MDIChild1..3, each visible and empty. Destroy undoes it (tests create the
// forms afresh for each case).
void CreateApplicationForms();
void DestroyApplicationForms();
