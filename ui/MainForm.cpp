#include "MainForm.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QLayout>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>

#include "ErrorDisplay.h"
#include "FormControls.h"
#include "Glyphs.h"
#include "ImageWindow.h"
#include "OpenPictureDialog.h"
#include "SaveDialog.h"

namespace {

// Every handler runs through the one shared catch, so no failure unwinds
// through Qt's event dispatch.
template <class Handler>
auto guarded(TMainForm* form, Handler handler) {
    return [form, handler] { vemui::Guarded([&] { (form->*handler)(); }); };
}

// The tool bar's geometry, fixed in pixels.
constexpr int kToolBarHeight = 30;
constexpr int kGlyphButtonWidth = 23;
constexpr int kControlHeight = 22;
constexpr int kControlTop = (kToolBarHeight - kControlHeight) / 2 - 1;

// The zoom box follows the last button (which ends at 751) after a gap.
constexpr int kZoomBoxLeft = 756;
constexpr int kZoomBoxWidth = 70;

// The tool bar's panel asks for room for all its controls (the zoom box ends
// at 826, then the indent again) but insists on none: a frame made
// narrower cuts the controls off at its right edge, as a tool bar that does
// not wrap does, and stays sizeable.
class TToolBarPanel : public QWidget {
public:
    using QWidget::QWidget;
    QSize sizeHint() const override { return QSize(kZoomBoxLeft + kZoomBoxWidth + 5, kToolBarHeight); }
    QSize minimumSizeHint() const override { return QSize(0, kToolBarHeight); }
};

} // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("MainForm"));
    // The window's font, which its controls take over: 11-pixel characters.
    QFont f = font();
    f.setPixelSize(11);
    setFont(f);
    ImageList1 = new vemui::TImageList(this);
    createActions();
    createMenus();
    createToolBar();
    createMdiArea();
    createDialogs();
    FormCreate();
}

TMainForm::~TMainForm() {
    // The image windows refer to the workspace's slots: they go first, while
    // the workspace still exists.
    Workspace.OnCaption = nullptr;
    History.OnChange = nullptr;
    const QVector<TMDIChild*> children = children_;
    children_.clear();
    qDeleteAll(children);
}

void TMainForm::FormCreate() {
    setWindowTitle(QString::fromStdString(Workspace.TitleText));
    // The pixel-rule runs report their progress in the caption, row by row.
    Workspace.OnCaption = [this](const std::string& text) { setWindowTitle(QString::fromStdString(text)); };
    setAcceptDrops(true);
    CheckBox2->setEnabled(false);
    History.OnChange = [this] { UpdateUndoItems(); };
    UpdateUndoItems();
}

QAction* TMainForm::newAction(const char* name, const QString& category, const QString& caption, int glyph,
                              const QString& hint) {
    auto* a = new QAction(caption, ActionList1);
    a->setObjectName(QString::fromLatin1(name));
    a->setProperty("Category", category);
    a->setProperty("ImageIndex", glyph);
    a->setProperty("Hint", hint);
    if (glyph >= 0) a->setIcon(ImageList1->Icon(glyph));
    // The part of a hint before the bar is the tooltip, the rest the long hint.
    const int bar = hint.indexOf(QLatin1Char('|'));
    a->setToolTip(bar < 0 ? hint : hint.left(bar));
    a->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
    // Shortcuts work from every window of the program, but not past a modal
    // dialog: Qt blocks application shortcuts of windows a modal dialog blocks.
    a->setShortcutContext(Qt::ApplicationShortcut);
    addAction(a);
    return a;
}

void TMainForm::createActions() {
    ActionList1 = new QObject(this);
    ActionList1->setObjectName(QStringLiteral("ActionList1"));
    const QString file = QStringLiteral("ファイル");
    const QString fileEn = QStringLiteral("File");
    const QString edit = QStringLiteral("Edit");
    const QString window = QStringLiteral("Window");

    FileNew1 = newAction("FileNew1", file, QStringLiteral("新規作成(&N)"), vemui::glNew,
                         QStringLiteral("新規作成|新しいファイルを作成"));
    FileNew1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));

    FileOpen1 = newAction("FileOpen1", file, QStringLiteral("開く(&O)"), vemui::glOpen,
                          QStringLiteral("開く|ファイルを開く"));
    FileOpen1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(FileOpen1, &QAction::triggered, this, guarded(this, &TMainForm::FileOpen1Execute));

    FileClose1 = newAction("FileClose1", fileEn, QStringLiteral("閉じる(&C)"), -1,
                           QStringLiteral("閉じる|現在のファイルを閉じる"));

    FileSave1 = newAction("FileSave1", fileEn, QStringLiteral("上書き保存(&S)"), vemui::glSave,
                          QStringLiteral("上書き保存|現在のファイルを保存"));
    FileSave1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));

    FileSaveAs1 = newAction("FileSaveAs1", fileEn, QStringLiteral("名前を付けて保存"), -1,
                            QStringLiteral("名前を付けて保存|現在のファイルを別名で保存"));

    FileExit1 = newAction("FileExit1", fileEn, QStringLiteral("終了(&X)"), -1,
                          QStringLiteral("終了|アプリケーションを終了"));
    connect(FileExit1, &QAction::triggered, this, guarded(this, &TMainForm::FileExit1Execute));

    // Cut, copy and paste would act on a focused edit control only, and no
    // window that receives them has one: they never do anything. A text field
    // that does have the focus takes these keys before any shortcut.
    EditCut1 = newAction("EditCut1", edit, QStringLiteral("切り取り(&T)"), vemui::glCut,
                         QStringLiteral("切り取り|選択部分を切り取り、クリップボードに送る"));
    EditCut1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    EditCopy1 = newAction("EditCopy1", edit, QStringLiteral("コピー(&C)"), vemui::glCopy,
                          QStringLiteral("コピー|選択範囲をクリップボードにコピー"));
    EditCopy1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    EditPaste1 = newAction("EditPaste1", edit, QStringLiteral("貼り付け(&P)"), vemui::glPaste,
                           QStringLiteral("貼り付け|クリップボードの内容を貼り付ける"));
    EditPaste1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));

    WindowCascade1 = newAction("WindowCascade1", window, QStringLiteral("重ねて表示(&C)"), vemui::glCascade,
                               QStringLiteral("重ねて表示"));
    connect(WindowCascade1, &QAction::triggered, this, guarded(this, &TMainForm::CascadeWindows));
    WindowTileHorizontal1 = newAction("WindowTileHorizontal1", window, QStringLiteral("上下に並べて表示(&H)"),
                                      vemui::glTileHorz, QStringLiteral("上下に並べて表示"));
    connect(WindowTileHorizontal1, &QAction::triggered, this, guarded(this, &TMainForm::TileHorizontal));
    WindowTileVertical1 = newAction("WindowTileVertical1", window, QStringLiteral("左右に並べて表示(&V)"),
                                    vemui::glTileVert, QStringLiteral("左右に並べて表示"));
    connect(WindowTileVertical1, &QAction::triggered, this, guarded(this, &TMainForm::TileVertical));
    WindowMinimizeAll1 = newAction("WindowMinimizeAll1", window, QStringLiteral("すべてを最小化(&M)"), -1,
                                   QStringLiteral("最小化"));
    connect(WindowMinimizeAll1, &QAction::triggered, this, guarded(this, &TMainForm::MinimizeAll));
    WindowArrangeAll1 = newAction("WindowArrangeAll1", window, QStringLiteral("すべて整列(&A)"), -1,
                                  QStringLiteral("すべて整列"));
    connect(WindowArrangeAll1, &QAction::triggered, this, guarded(this, &TMainForm::ArrangeIcons));

    // The commands added beside the design's, each with its shortcuts:
    // - zoom: Ctrl++ also as Ctrl+= and Ctrl+;, where + needs Shift;
    // - undo and redo act on the pictures. A text field that has the focus
    //   keeps these keys for its own text, as it keeps cut, copy and paste.
    const QString view = QStringLiteral("View");
    const struct {
        QAction*& action;
        const char* name;
        const QString& category;
        const char* caption;
        const char* hint;
        QList<QKeySequence> keys;
        void (TMainForm::*handler)();
    } added[] = {
        {ViewZoomIn1, "ViewZoomIn1", view, "拡大(&I)", "拡大",
         {Qt::CTRL | Qt::Key_Plus, Qt::CTRL | Qt::Key_Equal, Qt::CTRL | Qt::Key_Semicolon},
         &TMainForm::ViewZoomIn1Execute},
        {ViewZoomOut1, "ViewZoomOut1", view, "縮小(&O)", "縮小", {Qt::CTRL | Qt::Key_Minus}, &TMainForm::ViewZoomOut1Execute},
        {ViewActualSize1, "ViewActualSize1", view, "等倍表示(&A)", "等倍表示", {Qt::CTRL | Qt::Key_1},
         &TMainForm::ViewActualSize1Execute},
        {ViewFitAll1, "ViewFitAll1", view, "全体を表示(&F)", "全体を表示", {Qt::CTRL | Qt::Key_0},
         &TMainForm::ViewFitAll1Execute},
        {EditUndo1, "EditUndo1", edit, "元に戻す(&U)", "元に戻す", {Qt::CTRL | Qt::Key_Z}, &TMainForm::EditUndo1Execute},
        {EditRedo1, "EditRedo1", edit, "やり直し(&R)", "やり直し", {Qt::CTRL | Qt::Key_Y, Qt::CTRL | Qt::SHIFT | Qt::Key_Z},
         &TMainForm::EditRedo1Execute},
    };
    for (const auto& a : added) {
        a.action = newAction(a.name, a.category, QString::fromUtf8(a.caption), -1, QString::fromUtf8(a.hint));
        a.action->setShortcuts(a.keys);
        connect(a.action, &QAction::triggered, this, guarded(this, a.handler));
    }

    HelpAbout1 = newAction("HelpAbout1", QStringLiteral("Help"), QStringLiteral("バージョン情報(&A)..."), -1,
                           QStringLiteral("バージョン情報|プログラムの情報，バージョン番号，および著作権を表示します"));
    connect(HelpAbout1, &QAction::triggered, this, guarded(this, &TMainForm::HelpAbout1Execute));
}

QAction* TMainForm::newItem(QMenu* menu, const char* name, QAction* boundTo) {
    // An item bound to an action shows the action's caption, hint and glyph
    // (but not its shortcut) and runs the action.
    auto* item = new QAction(boundTo->text(), menu);
    item->setObjectName(QString::fromLatin1(name));
    item->setIcon(boundTo->icon());
    item->setToolTip(boundTo->toolTip());
    item->setStatusTip(boundTo->statusTip());
    connect(item, &QAction::triggered, boundTo, &QAction::trigger);
    menu->addAction(item);
    return item;
}

void TMainForm::createMenus() {
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));

    File1 = MainMenu1->addMenu(QStringLiteral("ファイル(&F)"));
    File1->setObjectName(QStringLiteral("File1"));
    File1->menuAction()->setStatusTip(QStringLiteral("ファイル関連のコマンド"));
    N2 = File1->addAction(QStringLiteral("保存"));
    N2->setObjectName(QStringLiteral("N2"));
    connect(N2, &QAction::triggered, this, guarded(this, &TMainForm::N2Click));
    N5 = File1->addAction(QStringLiteral("透過PNGで保存(&P)..."));
    N5->setObjectName(QStringLiteral("N5"));
    connect(N5, &QAction::triggered, this, guarded(this, &TMainForm::N5Click));
    N1 = File1->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    FileExitItem = newItem(File1, "FileExitItem", FileExit1);

    N3 = MainMenu1->addMenu(QStringLiteral("編集"));
    N3->setObjectName(QStringLiteral("N3"));
    // The actions themselves, so that the items show their shortcuts.
    N3->addAction(EditUndo1);
    N3->addAction(EditRedo1);
    N6 = N3->addSeparator();
    N6->setObjectName(QStringLiteral("N6"));
    N4 = N3->addAction(QStringLiteral("変換"));
    N4->setObjectName(QStringLiteral("N4"));
    connect(N4, &QAction::triggered, this, guarded(this, &TMainForm::N4Click));

    // The zoom commands show their shortcuts, as a viewer's menu does.
    View1 = MainMenu1->addMenu(QStringLiteral("表示(&V)"));
    View1->setObjectName(QStringLiteral("View1"));
    View1->addActions({ViewZoomIn1, ViewZoomOut1, ViewActualSize1, ViewFitAll1});

    Window1 = MainMenu1->addMenu(QStringLiteral("ウィンドウ(&W)"));
    Window1->setObjectName(QStringLiteral("Window1"));
    Window1->menuAction()->setStatusTip(QStringLiteral("ウィンドウ関連のコマンド"));
    WindowCascadeItem = newItem(Window1, "WindowCascadeItem", WindowCascade1);
    WindowTileItem = newItem(Window1, "WindowTileItem", WindowTileHorizontal1);
    WindowTileItem2 = newItem(Window1, "WindowTileItem2", WindowTileVertical1);
    WindowMinimizeItem = newItem(Window1, "WindowMinimizeItem", WindowMinimizeAll1);
    WindowArrangeItem = newItem(Window1, "WindowArrangeItem", WindowArrangeAll1);
    connect(Window1, &QMenu::aboutToShow, this, guarded(this, &TMainForm::UpdateWindowList));
}

QToolButton* TMainForm::newGlyphButton(QWidget* bar, const char* name, int left) {
    auto* b = new QToolButton(bar);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(left, kControlTop, kGlyphButtonWidth, kControlHeight);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBarControls.push_back(b);
    return b;
}

QFrame* TMainForm::newSeparator(QWidget* bar, const char* name, int left, int width) {
    auto* s = new QFrame(bar);
    s->setObjectName(QString::fromLatin1(name));
    s->setFrameShape(QFrame::VLine);
    s->setFrameShadow(QFrame::Sunken);
    s->setGeometry(left, kControlTop, width, kControlHeight);
    ToolBarControls.push_back(s);
    return s;
}

void TMainForm::createToolBar() {
    ToolBar2 = new QToolBar(this);
    ToolBar2->setObjectName(QStringLiteral("ToolBar2"));
    ToolBar2->setMovable(false);
    ToolBar2->setFloatable(false);
    ToolBar2->setFixedHeight(kToolBarHeight);
    ToolBar2->layout()->setContentsMargins(0, 0, 0, 0);
    ToolBar2->layout()->setSpacing(0);
    ToolBar2->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, ToolBar2);
    ToolBar2->toggleViewAction()->setVisible(false);

    // The controls sit at fixed positions, so they live on one plain panel
    // that fills the tool bar; the tool bar never wraps or reorders them.
    auto* bar = new TToolBarPanel(ToolBar2);
    bar->setObjectName(QStringLiteral("ToolBar2Panel"));
    bar->setFixedHeight(kToolBarHeight);
    bar->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    ToolBar2->addWidget(bar);

    ComboBox1 = new QComboBox(bar);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->addItem(QStringLiteral("原画を読み込む"));
    ComboBox1->addItem(QStringLiteral("編集用を読み込む"));
    ComboBox1->setCurrentIndex(0);
    ComboBox1->setGeometry(5, kControlTop, 145, kControlHeight);
    // A file dragged from a file manager also offers its name as text, which
    // the edit field would take in: a drop anywhere on the frame window goes
    // to the frame and asks for the load target instead.
    ComboBox1->lineEdit()->setAcceptDrops(false);
    ToolBarControls.push_back(ComboBox1);

    ToolButton1 = newGlyphButton(bar, "ToolButton1", 150);
    ToolButton1->setDefaultAction(FileOpen1);

    ToolButton12 = newGlyphButton(bar, "ToolButton12", 173);
    ToolButton12->setIcon(ImageList1->Icon(vemui::glSave));
    connect(ToolButton12, &QToolButton::clicked, this, guarded(this, &TMainForm::ToolButton12Click));

    ToolButton3 = newSeparator(bar, "ToolButton3", 196, 12);

    ToolButton8 = newGlyphButton(bar, "ToolButton8", 208);
    ToolButton8->setDefaultAction(WindowCascade1);
    ToolButton10 = newGlyphButton(bar, "ToolButton10", 231);
    ToolButton10->setDefaultAction(WindowTileHorizontal1);
    ToolButton11 = newGlyphButton(bar, "ToolButton11", 254);
    ToolButton11->setDefaultAction(WindowTileVertical1);

    ToolButton4 = newSeparator(bar, "ToolButton4", 277, 8);

    ToolButton2 = newGlyphButton(bar, "ToolButton2", 285);
    ToolButton2->setIcon(ImageList1->Icon(vemui::glConvert));
    ToolButton2->setToolTip(QStringLiteral("変換"));
    connect(ToolButton2, &QToolButton::clicked, this, guarded(this, &TMainForm::ToolButton2Click));

    CheckBox1 = new QCheckBox(QStringLiteral("右クリ近似色"), bar);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(308, kControlTop, 85, kControlHeight);
    connect(CheckBox1, &QCheckBox::toggled, this, guarded(this, &TMainForm::CheckBox1Click));
    ToolBarControls.push_back(CheckBox1);

    ToolButton5 = newSeparator(bar, "ToolButton5", 393, 8);

    CheckBox2 = new QCheckBox(QStringLiteral("結果を原画に即反映"), bar);
    CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
    CheckBox2->setGeometry(401, kControlTop, 125, kControlHeight);
    ToolBarControls.push_back(CheckBox2);

    const struct {
        QPushButton*& button;
        const char* name;
        const char* caption;
        int left;
        void (TMainForm::*handler)();
    } buttons[] = {
        {Button2, "Button2", "原画→編集用", 526, &TMainForm::Button2Click},
        {Button3, "Button3", "完成→原画", 601, &TMainForm::Button3Click},
        {Button1, "Button1", "編集用を保存", 676, &TMainForm::Button1Click},
    };
    for (const auto& b : buttons) {
        b.button = new QPushButton(QString::fromUtf8(b.caption), bar);
        b.button->setObjectName(QString::fromLatin1(b.name));
        b.button->setGeometry(b.left, kControlTop, 75, kControlHeight);
        b.button->setAutoDefault(false);
        connect(b.button, &QPushButton::clicked, this, guarded(this, b.handler));
        ToolBarControls.push_back(b.button);
    }

    // The zoom box, after the design's controls: it lists the steps and shows
    // any zoom, a fitted one too, as its placeholder. It takes no focus, so
    // the tab order stays as it was.
    ComboBox2 = new QComboBox(bar);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    for (const vemui::TZoom& step : vemui::TZoom::Steps()) ComboBox2->addItem(step.Text());
    ComboBox2->setCurrentIndex(static_cast<int>(vemui::TZoom::Steps().indexOf(vemui::TZoom())));
    ComboBox2->setMaxVisibleItems(static_cast<int>(vemui::TZoom::Steps().size()));
    ComboBox2->setFocusPolicy(Qt::NoFocus);
    ComboBox2->setGeometry(kZoomBoxLeft, kControlTop, kZoomBoxWidth, kControlHeight);
    connect(ComboBox2, &QComboBox::activated, this,
            [this](int index) { vemui::Guarded([&] { ComboBox2Select(index); }); });
    ToolBarControls.push_back(ComboBox2);

    setTabOrder(ComboBox1, Button1);
    setTabOrder(Button1, Button2);
    setTabOrder(Button2, Button3);
    setTabOrder(Button3, CheckBox1);
    setTabOrder(CheckBox1, CheckBox2);
}

void TMainForm::createMdiArea() {
    MdiArea = new QMdiArea(this);
    MdiArea->setObjectName(QStringLiteral("MdiArea"));
    MdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    MdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(MdiArea);
    // At start-up each image window goes to the next cascade position, the
    // one the cascade command would give it; Qt would spread new windows side
    // by side instead. Those positions depend on the client area's size,
    // known only when the area is first shown: then the windows are cascaded
    // once, which also sizes each to its content.
    vemui::onEvent(MdiArea, QEvent::Show, [area = MdiArea] { area->cascadeSubWindows(); }, true);
}

void TMainForm::createDialogs() {
    OpenDialog = new vemui::TOpenPictureDialog(this);
    SaveDialog = new vemui::TSaveDialog(this);
    PngSaveDialog = new vemui::TSaveDialog(this, vemui::PngExportKind);
}
