// The image windows: sizing, captions, the close box, and how mouse presses
// on the picture reach the picking.
#include <QCheckBox>
#include <QMdiArea>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "ui/ImageWindow.h"
#include "ui/ImageWindows.h"
#include "UiTestHelpers.h"

using namespace uitest;

namespace {

std::uint32_t gradient(int x, int y) { return std::uint32_t((x * 7) & 0xFF) << 16 | std::uint32_t((y * 5) & 0xFF) << 8 | 0x40; }

TMDIChild* child(int n) {
    return n == 1 ? static_cast<TMDIChild*>(MDIChild1) : n == 2 ? static_cast<TMDIChild*>(MDIChild2)
                                                                : static_cast<TMDIChild*>(MDIChild3);
}

} // namespace

class TestImageWindow : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    QString bmp(const QString& name, int w, int h, std::uint32_t (*f)(int, int) = gradient) {
        return WriteFile(dir_.filePath(name), Bmp24(w, h, f));
    }
    vem::TConvSettings& settings() { return MainForm->Workspace.Settings; }

private slots:
    void init() {
        CatchUnexpectedBoxes();
        CreateApplicationForms();
        MainForm->resize(800, 600);
        MainForm->show();
    }
    void cleanup() {
        DestroyApplicationForms();
        QVERIFY2(UnexpectedBoxes().isEmpty(), qPrintable(UnexpectedBoxes().join(QLatin1Char('\n'))));
    }

    void frameAndKind() {
        const QString kinds[] = {"原画", "編集用", "完成"};
        for (int n = 1; n <= 3; ++n) {
            TMDIChild* c = child(n);
            QCOMPARE(c->objectName(), QStringLiteral("MDIChild%1").arg(n));
            QCOMPARE(c->KindName(), kinds[n - 1]);
            QVERIFY(c->windowFlags().testFlag(Qt::WindowCloseButtonHint));
            QVERIFY(!c->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
            QVERIFY(!c->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
            QCOMPARE(c->mdiArea(), MainForm->MdiArea);
        }
    }

    void loadSizesAndNamesWindows() {
        OpenThroughDialog(0, bmp("a.bmp", 64, 48));
        for (int n : {1, 3}) {
            // As wide as the picture, or as the caption needs where that is wider.
            QCOMPARE(child(n)->widget()->height(), 48);
            QCOMPARE(child(n)->widget()->width(), std::max(64, child(n)->TitleBarWidth() - child(n)->width() +
                                                                   child(n)->widget()->width()));
            QCOMPARE(child(n)->Image1()->size(), QSize(64, 48));
        }
        QCOMPARE(MDIChild1->windowTitle(), QStringLiteral("原画:64×48"));
        QCOMPARE(MDIChild3->windowTitle(), QStringLiteral("完成:64×48"));
        QCOMPARE(MDIChild2->windowTitle(), QStringLiteral("MDIChild2"));
        QCOMPARE(MDIChild2->Image1()->size(), QSize(1, 1));
        // What is drawn is the picture, unscaled from the top-left.
        const QImage shot = MDIChild1->Image1()->grab().toImage();
        QCOMPARE(shot.size(), QSize(64, 48));
        QCOMPARE(shot.pixel(63, 47) & 0xFFFFFF, gradient(63, 47));
        QCOMPARE(shot.pixel(0, 0) & 0xFFFFFF, gradient(0, 0));
    }

    void copyKeepsSizeAndCaption() {
        OpenThroughDialog(1, bmp("big.bmp", 40, 30));
        OpenThroughDialog(0, bmp("small.bmp", 10, 8));
        const QSize before = MDIChild2->size();
        MainForm->Button2->click(); // 原画→編集用
        QCOMPARE(MDIChild2->size(), before);
        QCOMPARE(MDIChild2->Image1()->size(), QSize(40, 30));
        QCOMPARE(MDIChild2->windowTitle(), QStringLiteral("編集用:40×30"));
        // Beyond the smaller picture the window's background shows.
        const QImage shot = MDIChild2->widget()->grab().toImage();
        QCOMPARE(shot.pixel(5, 5) & 0xFFFFFF, gradient(5, 5));
        QCOMPARE(QColor(shot.pixel(30, 20)), MDIChild2->widget()->palette().color(QPalette::Button));
    }

    void finishedWindowFollowsItsPicture() {
        OpenThroughDialog(0, bmp("a.bmp", 12, 9));
        OpenThroughDialog(1, bmp("b.bmp", 12, 9));
        MainForm->Workspace.Finished.Image1.SetBounds(3, 3);
        QCOMPARE(MDIChild3->Image1()->size(), QSize(3, 3));
        WhenModal([](QWidget* w) { w->findChild<QPushButton*>(QStringLiteral("OKBtn"))->click(); });
        MainForm->ToolButton2->click();
        QCOMPARE(MDIChild3->Image1()->size(), QSize(12, 9));
        // The client area is the picture's size, but never narrower than the title bar needs.
        QCOMPARE(MDIChild3->widget()->height(), 9);
        QVERIFY(MDIChild3->widget()->width() >= 12);
    }

    void largePictureGivesScrollBars() {
        OpenThroughDialog(0, bmp("huge.bmp", 1200, 900));
        QCoreApplication::processEvents();
        QVERIFY(MainForm->MdiArea->horizontalScrollBar()->maximum() > 0);
        QVERIFY(MainForm->MdiArea->verticalScrollBar()->maximum() > 0);
    }

    void closeBoxHides() {
        OpenThroughDialog(0, bmp("a.bmp", 5, 5));
        QVERIFY(!MDIChild1->close());
        QVERIFY(MDIChild1->isHidden());
        QCOMPARE(MainForm->MdiArea->subWindowList().size(), 3);
        QCOMPARE(MDIChild1->Slot().Image1.Picture().Width(), 5);
        // Commands still reach the hidden window's slot.
        MainForm->Button2->click();
        QCOMPARE(ShownPixel(MainForm->Workspace.Editing, 4, 4), gradient(4, 4));
    }

    void leftPickUsesFlooredPosition_data() {
        QTest::addColumn<int>("window");
        QTest::addColumn<QPointF>("pos");
        QTest::addColumn<QPoint>("pixel");
        QTest::newRow("original") << 1 << QPointF(10.0, 20.0) << QPoint(10, 20);
        QTest::newRow("finished, fraction") << 3 << QPointF(4.9, 7.6) << QPoint(4, 7);
        QTest::newRow("last column") << 1 << QPointF(29.99, 24.5) << QPoint(29, 24);
    }
    void leftPickUsesFlooredPosition() {
        QFETCH(int, window);
        QFETCH(QPointF, pos);
        QFETCH(QPoint, pixel);
        OpenThroughDialog(0, bmp("p.bmp", 30, 25));
        Click(child(window)->Image1(), Qt::LeftButton, pos);
        QCOMPARE(settings().PointX, pixel.x());
        QCOMPARE(settings().PointY, pixel.y());
        const std::uint32_t c = gradient(pixel.x(), pixel.y());
        QCOMPARE(settings().TargetColor, vem::RGB(c >> 16, (c >> 8) & 0xFF, c & 0xFF));
        QCOMPARE(child(window)->Slot().PixR, std::uint8_t(c >> 16));
    }

    void pressesThatDoNothing_data() {
        QTest::addColumn<int>("window");
        QTest::addColumn<int>("button");
        QTest::addColumn<QPointF>("pos");
        QTest::addColumn<bool>("rightPick");
        QTest::newRow("middle") << 1 << int(Qt::MiddleButton) << QPointF(3, 3) << true;
        QTest::newRow("right, 右クリ近似色 off") << 1 << int(Qt::RightButton) << QPointF(3, 3) << false;
        QTest::newRow("empty window") << 2 << int(Qt::LeftButton) << QPointF(0, 0) << true;
        QTest::newRow("right on empty window") << 2 << int(Qt::RightButton) << QPointF(0, 0) << true;
    }
    void pressesThatDoNothing() {
        QFETCH(int, window);
        QFETCH(int, button);
        QFETCH(QPointF, pos);
        QFETCH(bool, rightPick);
        ErrorBoxes boxes;
        OpenThroughDialog(0, bmp("p.bmp", 8, 8));
        MainForm->CheckBox1->setChecked(rightPick);
        Click(child(window)->Image1(), Qt::MouseButton(button), pos);
        QCOMPARE(settings().PointX, 0);
        QCOMPARE(settings().PointY, 0);
        QCOMPARE(settings().TargetColor, 0);
        QCOMPARE(MainForm->windowTitle(), QStringLiteral("ヴェム～VEM～　"));
        QVERIFY(boxes.Texts.isEmpty());
    }

    void pickOutsidePictureIsIgnored() {
        ErrorBoxes boxes;
        OpenThroughDialog(1, bmp("big.bmp", 20, 20));
        OpenThroughDialog(0, bmp("small.bmp", 5, 5));
        MainForm->Button2->click(); // the editing control stays 20 x 20, its picture is 5 x 5
        Click(MDIChild2->Image1(), Qt::LeftButton, QPointF(12, 12));
        MainForm->CheckBox1->setChecked(true);
        Click(MDIChild2->Image1(), Qt::RightButton, QPointF(12, 12));
        QCOMPARE(settings().PointX, 0);
        QVERIFY(boxes.Texts.isEmpty());
        QCOMPARE(ShownPixel(MainForm->Workspace.Finished, 4, 4), gradient(4, 4));
    }

    void doubleClickCountsTwice() {
        OpenThroughDialog(0, bmp("p.bmp", 6, 6));
        MainForm->CheckBox1->setChecked(true);
        MainForm->CheckBox2->setChecked(true);
        QSignalSpy copies(MainForm->Button2, &QPushButton::clicked);
        Click(MDIChild1->Image1(), Qt::RightButton, QPointF(2, 2), true);
        QCOMPARE(copies.count(), 2);
    }

    // A minimised window comes back from a double click on its own bar, where
    // and as large as it was, with the close box alone on its frame again.
    void restoredFromItsOwnBar() {
        TMDIChild* w = MDIChild1;
        const QRect before = w->geometry();
        MainForm->WindowMinimizeAll1->trigger();
        QVERIFY(w->isMinimized());
        // The pointer comes over the bar before the double click, as a real one does.
        const QPointF onBar(8, w->height() / 2);
        QMouseEvent hover(QEvent::MouseMove, onBar, w->mapToGlobal(onBar), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &hover);
        Click(w, Qt::LeftButton, onBar, true);
        QVERIFY(!w->isMinimized());
        QCOMPARE(w->geometry(), before);
        QVERIFY(!w->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!w->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    }

    void conversionLeavesMinimisedFinishedWindow() {
        OpenThroughDialog(0, bmp("a.bmp", 4, 4));
        OpenThroughDialog(1, bmp("b.bmp", 4, 4));
        MDIChild3->showMinimized();
        MainForm->MdiArea->setActiveSubWindow(MDIChild1);
        WhenModal([](QWidget* w) { w->findChild<QPushButton*>(QStringLiteral("OKBtn"))->click(); });
        MainForm->ToolButton2->click();
        QVERIFY(MDIChild3->isMinimized());
        QCOMPARE(MainForm->MdiArea->activeSubWindow(), MDIChild1);

        // A hidden finished window is shown again by a run.
        MDIChild3->showNormal();
        MDIChild3->close();
        WhenModal([](QWidget* w) { w->findChild<QPushButton*>(QStringLiteral("OKBtn"))->click(); });
        MainForm->ToolButton2->click();
        QVERIFY(MDIChild3->isVisible());
    }
};

VEM_UI_TEST_MAIN(TestImageWindow)
#include "tst_ImageWindow.moc"
