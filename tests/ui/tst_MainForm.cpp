// The main window: its controls, menus and actions, the commands they run and
// the roads through the whole program.
#include <QAction>
#include <QColorDialog>
#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QWheelEvent>

#include "ui/AboutBox.h"
#include "ui/Glyphs.h"
#include "ui/ImageWindow.h"
#include "ui/ImageWindows.h"
#include "ui/LoadTargetDialog.h"
#include "ui/OpenPictureDialog.h"
#include "ui/SaveDialog.h"
#include "ui/SettingsDialog.h"
#include "UiTestHelpers.h"

using namespace uitest;

namespace {

QWidget* toolBarControl(const char* name) { return MainForm->ToolBar2->findChild<QWidget*>(QLatin1String(name)); }

QAction* action(const char* name) { return MainForm->findChild<QAction*>(QLatin1String(name)); }

// Clicks OK in the settings dialog after choosing the mode button Radio.
void ConvertThroughDialog(const char* radio) {
    WhenModal([radio](QWidget* w) {
        QVERIFY2(w && w->objectName() == QLatin1String("OKRightDlg"), "the settings dialog is not open");
        auto* mode = w->findChild<QRadioButton*>(QLatin1String(radio));
        QVERIFY(mode);
        mode->click();
        w->findChild<QPushButton*>(QStringLiteral("OKBtn"))->click();
    });
}

} // namespace

class TestMainForm : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    QString path(const QString& name) const { return dir_.filePath(name); }

private slots:
    void init() { StartForms(); }
    void cleanup() {
        const QString boxes = StopForms();
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes));
    }

    void startUpState() {
        QCOMPARE(MainForm->windowTitle(), QStringLiteral("ヴェム～VEM～　"));
        QCOMPARE(MDIChild1->windowTitle(), QStringLiteral("MDIChild1"));
        QCOMPARE(MDIChild2->windowTitle(), QStringLiteral("MDIChild2"));
        QCOMPARE(MDIChild3->windowTitle(), QStringLiteral("MDIChild3"));
        for (TMDIChild* c : {static_cast<TMDIChild*>(MDIChild1), static_cast<TMDIChild*>(MDIChild2),
                             static_cast<TMDIChild*>(MDIChild3)}) {
            QVERIFY(c->isVisible());
            QVERIFY(!c->isMinimized() && !c->isMaximized());
            QCOMPARE(c->Image1()->size(), QSize(1, 1));
            QVERIFY(c->Slot().Image1.Picture().Graphic() == nullptr);
        }
        QCOMPARE(MainForm->MdiArea->subWindowList().size(), 3);
        QVERIFY(AboutBox && !AboutBox->isVisible());
        QCOMPARE(MainForm->ComboBox1->currentText(), QStringLiteral("原画を読み込む"));
        QVERIFY(!MainForm->CheckBox1->isChecked());
        QVERIFY(!MainForm->CheckBox2->isChecked());
        QVERIFY(!MainForm->CheckBox2->isEnabled());
        QCOMPARE(MainForm->OpenTarget(), 1);
    }

    void toolBarLayout_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("tooltip");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << "ComboBox1" << 5 << 145 << "" << "";
        QTest::newRow("1") << "ToolButton1" << 150 << 23 << "開く" << "";
        QTest::newRow("2") << "ToolButton12" << 173 << 23 << "" << "";
        QTest::newRow("3") << "ToolButton3" << 196 << 12 << "" << "";
        QTest::newRow("4") << "ToolButton8" << 208 << 23 << "重ねて表示" << "";
        QTest::newRow("5") << "ToolButton10" << 231 << 23 << "上下に並べて表示" << "";
        QTest::newRow("6") << "ToolButton11" << 254 << 23 << "左右に並べて表示" << "";
        QTest::newRow("7") << "ToolButton4" << 277 << 8 << "" << "";
        QTest::newRow("8") << "ToolButton2" << 285 << 23 << "変換" << "";
        QTest::newRow("9") << "CheckBox1" << 308 << 85 << "" << "右クリ近似色";
        QTest::newRow("10") << "ToolButton5" << 393 << 8 << "" << "";
        QTest::newRow("11") << "CheckBox2" << 401 << 125 << "" << "結果を原画に即反映";
        QTest::newRow("12") << "Button2" << 526 << 75 << "" << "原画→編集用";
        QTest::newRow("13") << "Button3" << 601 << 75 << "" << "完成→原画";
        QTest::newRow("14") << "Button1" << 676 << 75 << "" << "編集用を保存";
        QTest::newRow("15") << "ComboBox2" << 756 << 70 << "" << "";
    }
    void toolBarLayout() {
        QFETCH(QString, name);
        QFETCH(int, left);
        QFETCH(int, width);
        QFETCH(QString, tooltip);
        QFETCH(QString, text);
        const int position = QString::fromLatin1(QTest::currentDataTag()).toInt();
        QWidget* w = toolBarControl(name.toLatin1().constData());
        QVERIFY(w);
        QCOMPARE(MainForm->ToolBarControls.value(position), w);
        QCOMPARE(w->mapTo(MainForm->ToolBar2, QPoint(0, 0)).x(), left);
        QCOMPARE(w->width(), width);
        QCOMPARE(w->toolTip(), tooltip);
        if (auto* t = qobject_cast<QToolButton*>(w)) {
            // Glyph buttons show their glyph only, whatever their action's caption.
            QCOMPARE(t->toolButtonStyle(), Qt::ToolButtonIconOnly);
            QVERIFY(!t->icon().isNull());
            QCOMPARE(t->height(), 22);
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            QCOMPARE(b->text(), text);
            QCOMPARE(b->height(), 22);
        }
    }

    void toolBarShape() {
        QCOMPARE(MainForm->ToolBarControls.size(), 16);
        QCOMPARE(MainForm->ToolBar2->height(), 30);
        QCOMPARE(MainForm->ComboBox1->count(), 2);
        QCOMPARE(MainForm->ComboBox1->itemText(1), QStringLiteral("編集用を読み込む"));
        QVERIFY(MainForm->ComboBox1->isEditable());
        // Tab order of the focusable controls.
        QWidget* expected[] = {MainForm->ComboBox1, MainForm->Button1, MainForm->Button2,
                               MainForm->Button3,   MainForm->CheckBox1, MainForm->CheckBox2};
        for (int i = 0; i + 1 < 6; ++i) {
            QWidget* next = expected[i]->nextInFocusChain();
            while (next && next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
            // The combo box's own line edit sits between it and the next control.
            if (next && next->parentWidget() == expected[i]) next = next->nextInFocusChain();
            QCOMPARE(next, expected[i + 1]);
        }
    }

    // A frame narrower than the tool bar cuts its controls off at the right
    // edge; it neither refuses the width nor moves controls elsewhere.
    void narrowFrameCutsTheToolBar() {
        QVERIFY(MainForm->minimumSizeHint().width() < 300);
        MainForm->resize(300, 400);
        QTRY_COMPARE(MainForm->width(), 300);
        QWidget* panel = MainForm->ToolBar2->findChild<QWidget*>(QStringLiteral("ToolBar2Panel"));
        QVERIFY(panel && panel->isVisible());
        QCOMPARE(MainForm->ComboBox1->mapTo(MainForm->ToolBar2, QPoint(0, 0)).x(), 5);
        QCOMPARE(MainForm->Button1->mapTo(MainForm->ToolBar2, QPoint(0, 0)).x(), 676);
        QVERIFY(MainForm->ComboBox1->isVisible());
    }

    void actions_data() {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<int>("glyph");
        QTest::newRow("FileNew1") << "ファイル" << "新規作成(&N)" << "新規作成|新しいファイルを作成" << "Ctrl+N" << 6;
        QTest::newRow("FileOpen1") << "ファイル" << "開く(&O)" << "開く|ファイルを開く" << "Ctrl+O" << 7;
        QTest::newRow("FileClose1") << "File" << "閉じる(&C)" << "閉じる|現在のファイルを閉じる" << "" << -1;
        QTest::newRow("FileSave1") << "File" << "上書き保存(&S)" << "上書き保存|現在のファイルを保存" << "Ctrl+S" << 8;
        QTest::newRow("FileSaveAs1") << "File" << "名前を付けて保存" << "名前を付けて保存|現在のファイルを別名で保存"
                                     << "" << -1;
        QTest::newRow("FileExit1") << "File" << "終了(&X)" << "終了|アプリケーションを終了" << "" << -1;
        QTest::newRow("EditCut1") << "Edit" << "切り取り(&T)" << "切り取り|選択部分を切り取り、クリップボードに送る"
                                  << "Ctrl+X" << 0;
        QTest::newRow("EditCopy1") << "Edit" << "コピー(&C)" << "コピー|選択範囲をクリップボードにコピー" << "Ctrl+C" << 1;
        QTest::newRow("EditPaste1") << "Edit" << "貼り付け(&P)" << "貼り付け|クリップボードの内容を貼り付ける"
                                    << "Ctrl+V" << 2;
        QTest::newRow("WindowCascade1") << "Window" << "重ねて表示(&C)" << "重ねて表示" << "" << 17;
        QTest::newRow("WindowTileHorizontal1") << "Window" << "上下に並べて表示(&H)" << "上下に並べて表示" << "" << 15;
        QTest::newRow("WindowTileVertical1") << "Window" << "左右に並べて表示(&V)" << "左右に並べて表示" << "" << 16;
        QTest::newRow("WindowMinimizeAll1") << "Window" << "すべてを最小化(&M)" << "最小化" << "" << -1;
        QTest::newRow("WindowArrangeAll1") << "Window" << "すべて整列(&A)" << "すべて整列" << "" << -1;
        QTest::newRow("ViewZoomIn1") << "View" << "拡大(&I)" << "拡大" << "Ctrl++" << -1;
        QTest::newRow("ViewZoomOut1") << "View" << "縮小(&O)" << "縮小" << "Ctrl+-" << -1;
        QTest::newRow("ViewActualSize1") << "View" << "等倍表示(&A)" << "等倍表示" << "Ctrl+1" << -1;
        QTest::newRow("ViewFitAll1") << "View" << "全体を表示(&F)" << "全体を表示" << "Ctrl+0" << -1;
        QTest::newRow("EditUndo1") << "Edit" << "元に戻す(&U)" << "元に戻す" << "Ctrl+Z" << -1;
        QTest::newRow("EditRedo1") << "Edit" << "やり直し(&R)" << "やり直し" << "Ctrl+Y" << -1;
        QTest::newRow("HelpAbout1") << "Help" << "バージョン情報(&A)..."
                                    << "バージョン情報|プログラムの情報，バージョン番号，および著作権を表示します" << ""
                                    << -1;
    }
    void actions() {
        QFETCH(QString, category);
        QFETCH(QString, caption);
        QFETCH(QString, hint);
        QFETCH(QString, shortcut);
        QFETCH(int, glyph);
        QAction* a = action(QTest::currentDataTag());
        QVERIFY(a);
        QCOMPARE(a->property("Category").toString(), category);
        QCOMPARE(a->text(), caption);
        QCOMPARE(a->property("Hint").toString(), hint);
        QCOMPARE(a->toolTip(), hint.section(QLatin1Char('|'), 0, 0));
        QCOMPARE(a->shortcut().toString(QKeySequence::PortableText), shortcut);
        QCOMPARE(a->property("ImageIndex").toInt(), glyph);
        QCOMPARE(a->icon().isNull(), glyph < 0);
    }

    void menus() {
        auto texts = [](QMenu* m) {
            QStringList t;
            for (QAction* a : m->actions()) t << (a->isSeparator() ? QStringLiteral("-") : a->text());
            return t;
        };
        QStringList bar;
        for (QAction* a : MainForm->MainMenu1->actions()) bar << a->text();
        QCOMPARE(bar, QStringList({"ファイル(&F)", "編集", "表示(&V)", "ウィンドウ(&W)"}));
        QCOMPARE(texts(MainForm->View1), QStringList({"拡大(&I)", "縮小(&O)", "等倍表示(&A)", "全体を表示(&F)"}));
        QCOMPARE(texts(MainForm->File1), QStringList({"保存", "透過PNGで保存(&P)...", "-", "終了(&X)"}));
        QCOMPARE(texts(MainForm->N3), QStringList({"元に戻す(&U)", "やり直し(&R)", "-", "変換"}));
        QCOMPARE(texts(MainForm->Window1).mid(0, 5),
                 QStringList({"重ねて表示(&C)", "上下に並べて表示(&H)", "左右に並べて表示(&V)", "すべてを最小化(&M)",
                              "すべて整列(&A)"}));
        // Menu items show no shortcut, and only the tiling and cascade items a glyph.
        for (QAction* a : MainForm->File1->actions()) QVERIFY(a->shortcut().isEmpty());
        QVERIFY(MainForm->WindowCascadeItem->icon().cacheKey() == MainForm->WindowCascade1->icon().cacheKey());
        QVERIFY(MainForm->WindowMinimizeItem->icon().isNull());
        QCOMPARE(MainForm->File1->menuAction()->statusTip(), QStringLiteral("ファイル関連のコマンド"));
        QCOMPARE(MainForm->Window1->menuAction()->statusTip(), QStringLiteral("ウィンドウ関連のコマンド"));
    }

    void imageList() {
        QCOMPARE(MainForm->ImageList1->Count(), 18);
        QList<QImage> seen;
        for (int i = 0; i < 18; ++i) {
            const QImage g = MainForm->ImageList1->Pixmap(i).toImage();
            QCOMPARE(g.size(), QSize(16, 16));
            for (const QImage& other : seen) QVERIFY2(g != other, qPrintable(QStringLiteral("glyph %1 repeats").arg(i)));
            seen << g;
        }
        QVERIFY(MainForm->ImageList1->Pixmap(18).isNull());
    }

    void exitClosesTheMainWindow() {
        MainForm->FileExitItem->trigger();
        QVERIFY(!MainForm->isVisible());
    }

    void checkBoxCoupling() {
        QCheckBox* c1 = MainForm->CheckBox1;
        QCheckBox* c2 = MainForm->CheckBox2;
        QTest::mouseClick(c1, Qt::LeftButton);
        QVERIFY(c1->isChecked());
        QVERIFY(c2->isEnabled());
        QVERIFY(!c2->isChecked());
        QTest::mouseClick(c2, Qt::LeftButton);
        QVERIFY(c2->isChecked());
        QTest::mouseClick(c1, Qt::LeftButton);
        QVERIFY(!c2->isEnabled());
        QVERIFY(!c2->isChecked());
        QTest::mouseClick(c1, Qt::LeftButton);
        QVERIFY(c2->isEnabled());
        QVERIFY(!c2->isChecked());
    }

    void tiling() {
        const QRect area = MainForm->MdiArea->viewport()->rect();
        MainForm->WindowTileHorizontal1->trigger();
        int y = area.top();
        for (TMDIChild* c : MainForm->ImageWindows()) {
            QCOMPARE(c->x(), area.left());
            QCOMPARE(c->width(), area.width());
            QCOMPARE(c->y(), y);
            QVERIFY(qAbs(c->height() - area.height() / 3) <= 1);
            y += c->height();
        }
        QCOMPARE(y, area.bottom() + 1);

        MainForm->ToolButton11->click(); // side by side
        int x = area.left();
        for (TMDIChild* c : MainForm->ImageWindows()) {
            QCOMPARE(c->y(), area.top());
            QCOMPARE(c->height(), area.height());
            QCOMPARE(c->x(), x);
            QVERIFY(qAbs(c->width() - area.width() / 3) <= 1);
            x += c->width();
        }
        QCOMPARE(x, area.right() + 1);

        // Cascading puts them back at their own size, each down and right of the one before.
        MainForm->ToolButton8->click();
        QList<QPoint> corners;
        for (TMDIChild* c : MainForm->ImageWindows()) {
            QCOMPARE(c->size(), c->sizeHint());
            corners << c->pos();
        }
        std::sort(corners.begin(), corners.end(), [](QPoint a, QPoint b) { return a.x() < b.x(); });
        QVERIFY(corners[0].y() < corners[1].y() && corners[1].y() < corners[2].y());
        QVERIFY(corners[0].x() < corners[1].x() && corners[1].x() < corners[2].x());
    }

    // Start-up puts the windows where the cascade command puts them, in
    // creation order, each at its own size.
    void startUpCascade() {
        QList<QRect> atStart;
        for (TMDIChild* c : MainForm->ImageWindows()) atStart << c->geometry();
        QVERIFY(atStart[0].top() < atStart[1].top() && atStart[1].top() < atStart[2].top());
        QVERIFY(atStart[0].left() < atStart[1].left() && atStart[1].left() < atStart[2].left());
        MainForm->WindowCascade1->trigger();
        QList<QRect> cascaded;
        for (TMDIChild* c : MainForm->ImageWindows()) cascaded << c->geometry();
        QCOMPARE(atStart, cascaded);
    }

    // Every dialog asks for the close box alone; where the window manager
    // minimises one anyway, it comes back at once instead of taking the
    // program off the screen.
    void dialogFrames_data() {
        QTest::addColumn<QString>("name");
        for (const char* name : {"OKBottomDlg", "OKRightDlg", "ColorDialog1", "AboutBox", "OpenDialog", "SaveDialog",
                                 "PreviewForm"})
            QTest::newRow(name) << name;
    }
    void dialogFrames() {
        QFETCH(QString, name);
        vemui::TOKBottomDlg loadTarget(MainForm);
        vemui::TOKRightDlg settings(MainForm->Workspace.Settings, MainForm);
        vem::TPicture picture;
        vemui::TPreviewForm* preview = new vemui::TPreviewForm(picture, MainForm);
        const auto dropPreview = qScopeGuard([preview] { delete preview; });
        const QMap<QString, QWidget*> dialogs{{"OKBottomDlg", &loadTarget},
                                              {"OKRightDlg", &settings},
                                              {"ColorDialog1", settings.ColorDialog1},
                                              {"AboutBox", AboutBox},
                                              {"OpenDialog", MainForm->OpenDialog},
                                              {"SaveDialog", MainForm->SaveDialog},
                                              {"PreviewForm", preview}};
        QWidget* dialog = dialogs.value(name);
        QVERIFY(dialog);
        QVERIFY(dialog->windowFlags().testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!(dialog->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        dialog->show();
        dialog->showMinimized();
        QTRY_VERIFY(!dialog->isMinimized());
        QVERIFY(dialog->isVisible());
        dialog->hide();
    }

    void minimizeAndArrange() {
        MainForm->WindowMinimizeAll1->trigger();
        for (TMDIChild* c : MainForm->ImageWindows()) QVERIFY(c->isMinimized());
        MainForm->ImageWindows()[0]->move(300, 40);
        MainForm->WindowArrangeAll1->trigger();
        // In a row along the bottom, left to right in creation order.
        const QRect area = MainForm->MdiArea->viewport()->rect();
        int x = area.left();
        for (TMDIChild* c : MainForm->ImageWindows()) {
            QCOMPARE(c->x(), x);
            QCOMPARE(c->geometry().bottom(), area.bottom());
            x += c->width();
        }
        // A tiling leaves minimised windows as they are and restores none.
        MDIChild2->showNormal();
        MainForm->WindowTileHorizontal1->trigger();
        QVERIFY(MDIChild1->isMinimized());
        QCOMPARE(MDIChild2->width(), area.width());
        QVERIFY(MDIChild2->geometry().bottom() < MDIChild1->y());
    }

    void windowList() {
        MainForm->MdiArea->setActiveSubWindow(MDIChild3);
        MainForm->UpdateWindowList();
        QStringList texts;
        QList<bool> checked;
        for (int i = 1; i <= 3; ++i) {
            QAction* a = MainForm->Window1->findChild<QAction*>(QStringLiteral("WindowListItem%1").arg(i));
            QVERIFY(a);
            texts << a->text();
            checked << a->isChecked();
        }
        QCOMPARE(texts, QStringList({"&1 MDIChild1", "&2 MDIChild2", "&3 MDIChild3"}));
        QCOMPARE(checked, QList<bool>({false, false, true}));

        // The close box hides a window; its item brings it back, active.
        MDIChild1->close();
        QVERIFY(MDIChild1->isHidden());
        MainForm->UpdateWindowList();
        MainForm->Window1->findChild<QAction*>(QStringLiteral("WindowListItem1"))->trigger();
        QVERIFY(MDIChild1->isVisible());
        QCOMPARE(MainForm->MdiArea->activeSubWindow(), MDIChild1);
        MainForm->UpdateWindowList(); // rebuilt, not appended
        QCOMPARE(MainForm->Window1->actions().size(), 5 + 1 + 3);
    }

    void shortcuts() {
        QVERIFY(QTest::qWaitForWindowActive(MainForm));
        // Ctrl+O from inside an image window opens the open dialog.
        QString opened;
        WhenModal([&opened](QWidget* w) {
            if (auto* d = qobject_cast<QFileDialog*>(w)) {
                opened = d->metaObject()->className();
                d->reject();
            }
        });
        MDIChild2->Image1()->setFocus();
        QTest::keyClick(MDIChild2->Image1(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(opened, QStringLiteral("vemui::TOpenPictureDialog"));

        // Ctrl+N, Ctrl+S and the editing keys run nothing: no dialog, no change.
        ErrorBoxes boxes;
        bool modal = false;
        for (Qt::Key k : {Qt::Key_N, Qt::Key_S, Qt::Key_X, Qt::Key_C, Qt::Key_V}) {
            WhenModal([&modal](QWidget* w) {
                if (w) {
                    modal = true;
                    w->close();
                }
            });
            QTest::keyClick(MainForm, k, Qt::ControlModifier);
            QCoreApplication::processEvents();
        }
        QVERIFY(!modal);
        QVERIFY(boxes.Texts.isEmpty());
        QCOMPARE(MainForm->ComboBox1->currentText(), QStringLiteral("原画を読み込む"));
    }

    void noShortcutPastModalDialog() {
        QVERIFY(QTest::qWaitForWindowActive(MainForm));
        bool fileDialogOpened = false;
        WhenModal([&fileDialogOpened](QWidget* w) {
            QVERIFY(w == AboutBox);
            // Should the shortcut get through, its dialog is closed again.
            WhenModal([&fileDialogOpened](QWidget* inner) {
                if (qobject_cast<QFileDialog*>(inner)) {
                    fileDialogOpened = true;
                    static_cast<QDialog*>(inner)->reject();
                }
            });
            QTest::keyClick(w, Qt::Key_O, Qt::ControlModifier);
            QCoreApplication::processEvents();
            static_cast<QDialog*>(w)->reject();
        });
        MainForm->HelpAbout1->trigger();
        QVERIFY(!fileDialogOpened);
    }

    // Undo and redo from the menu and by their keys from any window; never
    // past a modal dialog, and only while there is a step for them.
    void undoAndRedo() {
        QVERIFY(QTest::qWaitForWindowActive(MainForm));
        QAction* undo = MainForm->EditUndo1;
        QAction* redo = MainForm->EditRedo1;
        QVERIFY(!undo->isEnabled() && !redo->isEnabled());
        QCOMPARE(redo->shortcuts().value(1), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
        auto scene = [](int x, int) { return x < 4 ? 0xFF0000u : 0x0000FFu; };
        MainForm->LoadByTarget(1, WriteFile(path("u.bmp"), Bmp24(8, 3, scene)));
        QVERIFY(undo->isEnabled() && !redo->isEnabled());

        MainForm->CheckBox1->click();
        MainForm->CheckBox2->click();
        Click(MDIChild1->Image1(), Qt::LeftButton, QPointF(1, 1)); // a pick is no step
        Click(MDIChild1->Image1(), Qt::RightButton, QPointF(1, 1));
        QCOMPARE(MainForm->History.UndoSteps(), 2u); // the gesture and its two copies: one step
        QCOMPARE(ShownPixel(MainForm->Workspace.Editing, 1, 1), 0x000000u);

        QTest::keyClick(MDIChild2->Image1(), Qt::Key_Z, Qt::ControlModifier);
        for (int n : {1, 3}) QCOMPARE(ShownPixel(MainForm->Workspace.Slot(n), 1, 1), 0xFF0000u);
        QCOMPARE(MDIChild2->windowTitle(), QStringLiteral("MDIChild2"));
        QVERIFY(MainForm->Workspace.Editing.Image1.Picture().Graphic() == nullptr);
        QVERIFY(undo->isEnabled() && redo->isEnabled());
        WhenModal([](QWidget* w) {
            QTest::keyClick(w, Qt::Key_Z, Qt::ControlModifier);
            static_cast<QDialog*>(w)->reject();
        });
        MainForm->HelpAbout1->trigger();
        QCOMPARE(MainForm->History.UndoSteps(), 1u);
        MainForm->N3->actions().first()->trigger();
        QCOMPARE(MDIChild1->windowTitle(), QStringLiteral("MDIChild1"));
        QVERIFY(MainForm->Workspace.Original.Image1.Picture().Graphic() == nullptr);
        QVERIFY(!undo->isEnabled());

        QTest::keyClick(MainForm, Qt::Key_Y, Qt::ControlModifier);
        QTest::keyClick(MDIChild3->Image1(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(MDIChild1->windowTitle(), QStringLiteral("原画:8×3"));
        QCOMPARE(ShownPixel(MainForm->Workspace.Finished, 1, 1), 0x000000u);
        QVERIFY(!redo->isEnabled());
    }

    void roadLoadCopyConvertSave() {
        const QByteArray original = Bmp24(7, 5, [](int x, int y) { return std::uint32_t(0x102030 * (x + 1) + y * 9); });
        OpenThroughDialog(0, WriteFile(path("road.bmp"), original));
        QCOMPARE(MDIChild1->windowTitle(), QStringLiteral("原画:7×5"));
        QCOMPARE(MDIChild3->windowTitle(), QStringLiteral("完成:7×5"));
        QCOMPARE(MDIChild2->windowTitle(), QStringLiteral("MDIChild2"));

        MainForm->Button2->click(); // 原画→編集用
        QCOMPARE(ShownPixel(MainForm->Workspace.Editing, 6, 4), ShownPixel(MainForm->Workspace.Original, 6, 4));

        ConvertThroughDialog("RadioButton1");
        MainForm->ToolButton2->click();
        QCOMPARE(MainForm->windowTitle(), QStringLiteral("ヴェム～VEM～　100%"));

        // "保存" in the menu saves the finished picture.
        const QString saved = path("road-out.bmp");
        ChooseFile(saved);
        MainForm->N2->trigger();
        QFile f(saved);
        QVERIFY(f.open(QIODevice::ReadOnly));
        int w = 0, h = 0, ow = 0, oh = 0;
        const auto out = BmpPixels(f.readAll(), w, h);
        const auto in = BmpPixels(original, ow, oh);
        QCOMPARE(QSize(w, h), QSize(7, 5));
        QCOMPARE(out, in);
    }

    void conversionModes_data() {
        QTest::addColumn<QString>("radio");
        QTest::addColumn<bool>("keepMatch");
        QTest::newRow("一致部分を残す") << "RadioButton1" << true;
        QTest::newRow("一致部分を消す") << "RadioButton2" << false;
    }
    void conversionModes() {
        QFETCH(QString, radio);
        QFETCH(bool, keepMatch);
        auto a = [](int x, int y) { return std::uint32_t(0x204060 + x * 3 + y * 0x100); };
        auto b = [&a](int x, int y) { return (x + y) % 3 == 0 ? 0x00FF00u : a(x, y); };
        OpenThroughDialog(0, WriteFile(path("a.bmp"), Bmp24(6, 4, a)));
        OpenThroughDialog(1, WriteFile(path("b.bmp"), Bmp24(6, 4, b)));
        QCOMPARE(MDIChild2->windowTitle(), QStringLiteral("編集用:6×4"));

        const QByteArray r = radio.toLatin1();
        ConvertThroughDialog(r.constData());
        MainForm->N4->trigger(); // "変換" in the menu runs the same command
        QVERIFY(MDIChild3->isVisible());
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x) {
                const bool same = a(x, y) == b(x, y);
                const std::uint32_t expected = same == keepMatch ? a(x, y) : 0x000000;
                QCOMPARE(ShownPixel(MainForm->Workspace.Finished, x, y), expected);
            }
        QCOMPARE(MainForm->windowTitle(), QStringLiteral("ヴェム～VEM～　100%"));
    }

    void cancelRunsNothing() {
        OpenThroughDialog(0, WriteFile(path("c.bmp"), Bmp24(3, 3, [](int, int) { return 0x123456u; })));
        MainForm->Workspace.Finished.Image1.Picture().AsBitmap().Surface().SetPixelColor(0, 0, vem::RGB(1, 2, 3));
        WhenModal([](QWidget* w) {
            w->findChild<QRadioButton*>(QStringLiteral("RadioButton2"))->click();
            w->findChild<QPushButton*>(QStringLiteral("CancelBtn"))->click();
        });
        MainForm->ToolButton2->click();
        QCOMPARE(ShownPixel(MainForm->Workspace.Finished, 0, 0), 0x010203u);
        QCOMPARE(MainForm->windowTitle(), QStringLiteral("ヴェム～VEM～　"));
        QCOMPARE(MainForm->Workspace.Settings.ConvMode, 1); // the choice stays stored
    }

    void rightClickGesture_data() {
        QTest::addColumn<bool>("apply");
        QTest::newRow("finished only") << false;
        QTest::newRow("結果を原画に即反映") << true;
    }
    void rightClickGesture() {
        QFETCH(bool, apply);
        // White, with two separate red squares.
        auto picture = [](int x, int y) {
            const bool first = x >= 1 && x <= 3 && y >= 1 && y <= 3;
            const bool second = x >= 6 && x <= 8 && y >= 6 && y <= 8;
            return first || second ? 0xFF0000u : 0xFFFFFFu;
        };
        OpenThroughDialog(0, WriteFile(path("squares.bmp"), Bmp24(10, 10, picture)));
        QTest::mouseClick(MainForm->CheckBox1, Qt::LeftButton);
        if (apply) QTest::mouseClick(MainForm->CheckBox2, Qt::LeftButton);

        Click(MDIChild1->Image1(), Qt::RightButton, QPointF(2.5, 2.5));
        Click(MDIChild1->Image1(), Qt::RightButton, QPointF(7.2, 7.9));
        QCOMPARE(MainForm->Workspace.Settings.PointX, 7);
        QCOMPARE(MainForm->Workspace.Settings.PointY, 7);
        QCOMPARE(MainForm->Workspace.Settings.TargetColor, vem::RGB(255, 0, 0));

        const vem::TImageSlot& fin = MainForm->Workspace.Finished;
        QCOMPARE(ShownPixel(fin, 7, 7), 0x000000u);
        QCOMPARE(ShownPixel(fin, 0, 0), 0xFFFFFFu);
        QCOMPARE(ShownPixel(fin, 2, 2), apply ? 0x000000u : 0xFF0000u);
        QCOMPARE(ShownPixel(MainForm->Workspace.Original, 7, 7), apply ? 0x000000u : 0xFF0000u);
        QCOMPARE(ShownPixel(MainForm->Workspace.Original, 2, 2), apply ? 0x000000u : 0xFF0000u);
        if (apply) {
            QCOMPARE(ShownPixel(MainForm->Workspace.Editing, 2, 2), 0x000000u);
            QCOMPARE(ShownPixel(MainForm->Workspace.Editing, 7, 7), 0x000000u);
        } else {
            // The editing picture holds the last click's mask: its region in red on white.
            QCOMPARE(ShownPixel(MainForm->Workspace.Editing, 7, 7), 0xFF0000u);
            QCOMPARE(ShownPixel(MainForm->Workspace.Editing, 2, 2), 0xFFFFFFu);
        }
        QCOMPARE(MainForm->windowTitle(), QStringLiteral("ヴェム～VEM～　100%"));
    }

    // One zoom for the three windows: the commands by their keys from an image
    // window, the zoom box, the windows' sizes, presses picking the pixel drawn
    // under the pointer, the fitted view and Ctrl with the wheel.
    void zoom() {
        OpenThroughDialog(0, WriteFile(path("z.bmp"), Bmp24(64, 48, [](int x, int y) { return std::uint32_t(x * 4 + (y << 10)); })));
        MainForm->Button2->click();
        QVERIFY(QTest::qWaitForWindowActive(MainForm));
        // The editing window that only received a copy keeps its 1 x 1 control.
        const auto sizes = [](QSize want) {
            QCOMPARE(MDIChild1->Image1()->size(), want);
            QCOMPARE(MDIChild3->Image1()->size(), want);
        };
        MDIChild2->Image1()->setFocus();
        QTest::keyClick(MDIChild2->Image1(), Qt::Key_Equal, Qt::ControlModifier);
        QCOMPARE(MainForm->ComboBox2->currentText(), QStringLiteral("150%"));
        sizes(QSize(96, 72));
        QCOMPARE(MDIChild2->Image1()->size(), QSize(2, 2));
        QTest::keyClick(MDIChild2->Image1(), Qt::Key_Minus, Qt::ControlModifier);
        QTest::keyClick(MDIChild2->Image1(), Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(MainForm->ComboBox2->currentText(), QStringLiteral("66.7%"));
        sizes(QSize(43, 32));
        QTest::keyClick(MDIChild2->Image1(), Qt::Key_1, Qt::ControlModifier);
        sizes(QSize(64, 48));
        emit MainForm->ComboBox2->activated(MainForm->ComboBox2->findText(QStringLiteral("300%")));
        sizes(QSize(192, 144));
        Click(MDIChild1->Image1(), Qt::LeftButton, QPointF(11.9, 20.9));
        QCOMPARE(QPoint(MainForm->Workspace.Settings.PointX, MainForm->Workspace.Settings.PointY), QPoint(3, 6));
        // A load keeps the zoom.
        OpenThroughDialog(1, WriteFile(path("e.bmp"), Bmp24(10, 5, [](int, int) { return 0u; })));
        QCOMPARE(MDIChild2->Image1()->size(), QSize(30, 15));

        QTest::keyClick(MainForm, Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(MainForm->ComboBox2->currentIndex(), -1);
        QCOMPARE(MainForm->ComboBox2->placeholderText(), MainForm->Zoom().Text());
        const QRect area = MainForm->MdiArea->viewport()->rect();
        bool filled = false;
        for (int i = 0; i < 3; ++i) {
            TMDIChild* c = MainForm->ImageWindows()[i];
            const QRect tile(area.left() + area.width() * i / 3, area.top(), area.width() / 3, area.height());
            QVERIFY2(tile.adjusted(0, 0, 1, 0).contains(c->geometry()), qPrintable(QStringLiteral("window %1").arg(i)));
            filled |= c->height() >= tile.height() - 1 || c->width() >= tile.width() - 1;
        }
        QVERIFY(filled);

        // The pixel under the pointer stays there.
        const QPointF pos(30.5, 20.5);
        const QPoint global = MDIChild1->Image1()->mapToGlobal(pos.toPoint());
        const vemui::TZoom before = MainForm->Zoom();
        const qint64 pixel = before.Pick(pos.x(), 64);
        QWheelEvent up(pos, MDIChild1->Image1()->mapToGlobal(pos), QPoint(), QPoint(0, 120), Qt::NoButton,
                       Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(MDIChild1->Image1(), &up);
        QCOMPARE(MainForm->Zoom(), before.Up());
        const QPoint now = MDIChild1->Image1()->mapFromGlobal(global);
        QVERIFY(qAbs(MainForm->Zoom().Pick(now.x() + 0.5, 64) - pixel) <= 1);
        QWheelEvent plain(pos, MDIChild1->Image1()->mapToGlobal(pos), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(MDIChild1->Image1(), &plain);
        QCOMPARE(MainForm->Zoom(), before.Up());
    }

    void failingLoadShowsTheBox() {
        ErrorBoxes boxes;
        const QString bad = WriteFile(path("notes.txt"), QByteArray("hello"));
        OpenThroughDialog(0, bad);
        QCOMPARE(boxes.Texts, QStringList({"拡張子 .txt の画像形式は処理できません."}));
        QCOMPARE(MDIChild1->windowTitle(), QStringLiteral("MDIChild1"));
        QCOMPARE(MDIChild3->windowTitle(), QStringLiteral("MDIChild3"));
        // The program goes on: the next command works.
        OpenThroughDialog(1, WriteFile(path("ok.bmp"), Bmp24(2, 3, [](int, int) { return 0u; })));
        QCOMPARE(MDIChild2->windowTitle(), QStringLiteral("編集用:2×3"));
    }

    void openTarget_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("edited");
        QTest::addColumn<int>("target");
        QTest::newRow("original") << 0 << QString() << 1;
        QTest::newRow("editing") << 1 << QString() << 2;
        QTest::newRow("edited text") << 1 << "なにか" << 0;
    }
    void openTarget() {
        QFETCH(int, index);
        QFETCH(QString, edited);
        QFETCH(int, target);
        MainForm->ComboBox1->setCurrentIndex(index);
        if (!edited.isNull()) MainForm->ComboBox1->lineEdit()->setText(edited);
        QCOMPARE(MainForm->OpenTarget(), target);
        if (target == 0) {
            ChooseFile(WriteFile(path("t.bmp"), Bmp24(2, 2, [](int, int) { return 0u; })));
            MainForm->FileOpen1->trigger();
            for (TMDIChild* c : MainForm->ImageWindows())
                QVERIFY(c->windowTitle().startsWith(QLatin1String("MDIChild")));
        }
    }

    void saveTwoSlotsThroughOneDialog() {
        OpenThroughDialog(0, WriteFile(path("s.bmp"), Bmp24(4, 2, [](int x, int) { return 0x111111u * x; })));
        const QString editingOut = path("editing-out");
        // Nothing at all is written for an editing slot without a picture.
        ChooseFile(editingOut);
        MainForm->Button1->click();
        QVERIFY(!QFile::exists(editingOut));
        // The dialog proposes the last name; the name is used as typed.
        MainForm->Button2->click();
        QString proposed;
        WhenModal([&proposed](QWidget* w) {
            auto* d = qobject_cast<QFileDialog*>(w);
            proposed = d->selectedFiles().value(0);
            static_cast<QDialog*>(d)->accept();
        });
        MainForm->Button1->click();
        QCOMPARE(proposed, editingOut);
        QVERIFY(QFile::exists(editingOut));
        QVERIFY(!QFile::exists(editingOut + QStringLiteral(".bmp")));
    }

    // Last: every dialog of the cases above has come and gone.
    void leavesNoSettingsFile() {
        DestroyApplicationForms();
        CreateApplicationForms();
        QStringList found;
        QDirIterator it(HomeDir(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) found << it.next();
        QVERIFY2(found.filter(QStringLiteral("QtProject")).isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
    }
};

VEM_UI_TEST_MAIN(TestMainForm)
#include "tst_MainForm.moc"
