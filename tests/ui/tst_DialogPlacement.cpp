// Where the common dialogs appear: the rule's arithmetic, and a real dialog
// placed by it each time it shows.
#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include "Application.h"
#include "DialogPlacement.h"

class TestDialogPlacement : public QObject {
    Q_OBJECT
private slots:
    void topLeft_data();
    void topLeft();
    void dialogPlacedEachTimeItShows();
};

void TestDialogPlacement::topLeft_data() {
    QTest::addColumn<QRect>("monitor");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("even") << QRect(0, 0, 1920, 1080) << QSize(400, 300) << QPoint(760, 260);
    QTest::newRow("odd remainders") << QRect(0, 0, 1001, 1000) << QSize(400, 300) << QPoint(300, 233);
    QTest::newRow("monitor offset") << QRect(100, 50, 800, 600) << QSize(200, 101) << QPoint(400, 216);
    QTest::newRow("monitor left of primary") << QRect(-1280, -200, 1280, 1024) << QSize(500, 400)
                                             << QPoint(-890, 8);
    // Larger than the monitor: across rounds down, down rounds toward zero.
    QTest::newRow("too wide and tall") << QRect(0, 0, 800, 600) << QSize(1001, 700) << QPoint(-101, -33);
    QTest::newRow("too large, offset") << QRect(-1280, 0, 1280, 1024) << QSize(1283, 1031) << QPoint(-1282, -2);
}

void TestDialogPlacement::topLeft() {
    QFETCH(QRect, monitor);
    QFETCH(QSize, size);
    QFETCH(QPoint, expected);
    QCOMPARE(vemui::CommonDialogTopLeft(monitor, size), expected);
}

void TestDialogPlacement::dialogPlacedEachTimeItShows() {
    QDialog dialog;
    dialog.resize(301, 200);
    vemui::PlaceCommonDialogWhenShown(&dialog);
    const QRect monitor = QGuiApplication::primaryScreen()->geometry();
    for (int round = 0; round < 2; ++round) {
        dialog.move(3, 4);
        dialog.show();
        QCOMPARE(dialog.size(), QSize(301, 200));
        QCOMPARE(dialog.pos(), vemui::CommonDialogTopLeft(monitor, dialog.frameGeometry().size()));
        dialog.hide();
    }
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    vemui::TApplication app(argc, argv);
    TestDialogPlacement test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_DialogPlacement.moc"
